#pragma once
// Headless Chromium driven over its DevTools pipe (JSON messages ending in
// NUL on file descriptors 3 and 4), with a profile of its own.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <functional>

// The switches every run uses: no sandbox (tests run as root), no calls to
// Google, a profile that starts empty.
inline QStringList ChromiumSwitches(const QString& profile) {
    return {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
            QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-gpu"),
            QStringLiteral("--no-first-run"), QStringLiteral("--user-data-dir=") + profile};
}

class ChromiumPipe {
public:
    explicit ChromiumPipe(const QString& firstUrl) {
        int toChrome[2], fromChrome[2];
        if (::pipe2(toChrome, O_CLOEXEC) != 0 || ::pipe2(fromChrome, O_CLOEXEC) != 0) return;
        out_ = toChrome[1];
        in_ = fromChrome[0];
        const int childIn = toChrome[0], childOut = fromChrome[1];
        process_.setChildProcessModifier([childIn, childOut] {
            // Out of the way first, so that neither lands on 3 or 4 already
            // (dup2 onto itself would keep it closing on exec).
            const int in = ::fcntl(childIn, F_DUPFD, 100);
            const int out = ::fcntl(childOut, F_DUPFD, 100);
            ::dup2(in, 3);
            ::dup2(out, 4);
        });
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral("chromium"), ChromiumSwitches(profile_.path())
                                                          << QStringLiteral("--remote-debugging-pipe") << firstUrl);
        ::close(childIn);
        ::close(childOut);
        started_ = process_.waitForStarted(20000);
    }
    ~ChromiumPipe() {
        if (started_) Call("Browser.close", {});
        ::close(out_);
        ::close(in_);
        if (!process_.waitForFinished(10000)) process_.kill();
        process_.waitForFinished(5000);
    }
    bool Started() const { return started_; }

    // Sends a command and waits for its answer (events on the way are dropped).
    QJsonObject Call(const QString& method, const QJsonObject& params, const QString& session = QString()) {
        QJsonObject message{{QStringLiteral("id"), ++lastId_}, {QStringLiteral("method"), method},
                            {QStringLiteral("params"), params}};
        if (!session.isEmpty()) message[QStringLiteral("sessionId")] = session;
        QByteArray bytes = QJsonDocument(message).toJson(QJsonDocument::Compact);
        bytes.append('\0');
        for (qsizetype sent = 0; sent < bytes.size();) {
            const ssize_t n = ::write(out_, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent));
            if (n <= 0) return {};
            sent += n;
        }
        for (;;) {
            const QJsonObject answer = Next();
            if (answer.isEmpty()) return {};
            if (answer.value(QStringLiteral("id")).toInt() == lastId_) return answer;
        }
    }

    // The session of the first page target.
    QString AttachFirstPage() {
        const QJsonArray targets = Call(QStringLiteral("Target.getTargets"), {})
                                       .value(QStringLiteral("result")).toObject()
                                       .value(QStringLiteral("targetInfos")).toArray();
        for (const auto& t : targets) {
            const QJsonObject info = t.toObject();
            if (info.value(QStringLiteral("type")).toString() != QLatin1String("page")) continue;
            return Call(QStringLiteral("Target.attachToTarget"),
                        {{QStringLiteral("targetId"), info.value(QStringLiteral("targetId"))},
                         {QStringLiteral("flatten"), true}})
                .value(QStringLiteral("result")).toObject()
                .value(QStringLiteral("sessionId")).toString();
        }
        return {};
    }

    QJsonValue Evaluate(const QString& session, const QString& expression) {
        return Call(QStringLiteral("Runtime.evaluate"),
                    {{QStringLiteral("expression"), expression}, {QStringLiteral("returnByValue"), true},
                     {QStringLiteral("awaitPromise"), true}},
                    session)
            .value(QStringLiteral("result")).toObject()
            .value(QStringLiteral("result")).toObject()
            .value(QStringLiteral("value"));
    }

    // Evaluates expression until it gives true; false after 20 s.
    bool WaitUntil(const QString& session, const QString& expression, const std::function<void()>& meanwhile = {}) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            if (Evaluate(session, expression).toBool()) return true;
            if (meanwhile) meanwhile();
        }
        return false;
    }

private:
    // The next message, or an empty object once the pipe is closed or 20 s
    // pass without one.
    QJsonObject Next() {
        for (;;) {
            const qsizetype end = buffer_.indexOf('\0');
            if (end >= 0) {
                const QByteArray one = buffer_.left(end);
                buffer_.remove(0, end + 1);
                return QJsonDocument::fromJson(one).object();
            }
            pollfd p{in_, POLLIN, 0};
            if (::poll(&p, 1, 20000) <= 0) return {};
            char chunk[65536];
            const ssize_t n = ::read(in_, chunk, sizeof chunk);
            if (n <= 0) return {};
            buffer_.append(chunk, n);
        }
    }

    QTemporaryDir profile_;
    QProcess process_;
    int out_ = -1;
    int in_ = -1;
    bool started_ = false;
    int lastId_ = 0;
    QByteArray buffer_;
};
