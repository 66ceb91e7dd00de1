#pragma once
// A loopback port and curl as the client of the web server's tests.
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A port nobody listens on right now.
inline int FreeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

struct CurlAnswer {
    int status = 0;
    QByteArray headers;
    QByteArray body;
    int exitCode = -1;
    QByteArray Header(const char* name) const {
        for (const QByteArray& line : headers.split('\n')) {
            const int colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
};

inline CurlAnswer RunCurl(QStringList args) {
    QTemporaryDir dir;
    const QString headers = dir.filePath(QStringLiteral("h")), body = dir.filePath(QStringLiteral("b"));
    args << QStringLiteral("-s") << QStringLiteral("-D") << headers << QStringLiteral("-o") << body
         << QStringLiteral("--max-time") << QStringLiteral("20");
    QProcess curl;
    curl.start(QStringLiteral("curl"), args);
    curl.waitForFinished(30000);
    CurlAnswer a;
    a.exitCode = curl.exitCode();
    QFile h(headers), b(body);
    if (h.open(QIODevice::ReadOnly)) a.headers = h.readAll();
    if (b.open(QIODevice::ReadOnly)) a.body = b.readAll();
    const QList<QByteArray> first = a.headers.split('\n').value(0).split(' ');
    a.status = first.value(1).toInt();
    return a;
}


// The web tests start curl, openssl and chromium while server threads run;
// under ThreadSanitizer a fork of a threaded process is allowed only so.
extern "C" __attribute__((weak)) const char* __tsan_default_options() { return "die_after_fork=0"; }
