#pragma once
// How the peers of the tests talk to the test that started them: they answer
// with lines on stdout, take commands as lines on stdin and end when their
// stdin closes (also when the test dies).
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QString>

#include <cstdio>
#include <functional>

#include <unistd.h>

namespace peer_io {

inline void Say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Passes each line of stdin to onLine (when given) and quits app at its end.
// The notifier belongs to app.
inline void WatchStdin(QCoreApplication& app, std::function<void(const QString&)> onLine = {}) {
    auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    QObject::connect(input, &QSocketNotifier::activated, &app, [&app, input, onLine, pending = QByteArray()]() mutable {
        char buffer[256];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input->setEnabled(false);
            app.quit();
            return;
        }
        pending.append(buffer, n);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            if (onLine) onLine(QString::fromUtf8(pending.left(end)).trimmed());
            pending.remove(0, end + 1);
        }
    });
}

}  // namespace peer_io
