// A stand-in for logind's inhibitor on a private bus, for tests of the
// shutdown block:
//   fake_logind --address <bus address>
// It owns org.freedesktop.login1 and answers
// org.freedesktop.login1.Manager.Inhibit(what, who, why, mode) on
// /org/freedesktop/login1 with the write end of a pipe, printing
// "inhibit <what>|<who>|<why>|<mode>"; once every copy of that descriptor is
// closed it prints "released <n>" (n counts the inhibitors from 1). It prints
// "ready" once the name is owned and ends when its stdin closes.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QSocketNotifier>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include "peer_io.h"
#include "support/qt_dbus_tsan_suppressions.h"

namespace {

using peer_io::Say;

class Manager : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QVariantList args = message.arguments();
        if (message.interface() != QStringLiteral("org.freedesktop.login1.Manager") ||
            message.member() != QStringLiteral("Inhibit") || args.size() != 4) {
            connection.send(message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("only Inhibit")));
            return true;
        }
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) {
            connection.send(message.createErrorReply(QDBusError::Failed, QStringLiteral("no pipe")));
            return true;
        }
        const int number = ++count_;
        Say(QStringLiteral("inhibit %1|%2|%3|%4").arg(args[0].toString(), args[1].toString(), args[2].toString(),
                                                       args[3].toString()));
        // The read end sees the end of the pipe once every copy of the write
        // end is closed, in the program that holds it too.
        auto* watch = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
        QObject::connect(watch, &QSocketNotifier::activated, watch, [watch, number, fd = ends[0]] {
            char byte;
            if (read(fd, &byte, 1) > 0) return;
            watch->setEnabled(false);
            close(fd);
            Say(QStringLiteral("released %1").arg(number));
        });
        connection.send(message.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]))));
        close(ends[1]);
        return true;
    }

private:
    int count_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("address"), QStringLiteral("bus address"), QStringLiteral("address")});
    parser.process(app);

    QDBusConnection bus = QDBusConnection::connectToBus(parser.value(QStringLiteral("address")), QStringLiteral("fake"));
    Manager manager;
    if (!bus.isConnected() || !(bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing) ||
        !bus.registerVirtualObject(QStringLiteral("/org/freedesktop/login1"), &manager) ||
        !bus.registerService(QStringLiteral("org.freedesktop.login1"))) {
        std::fprintf(stderr, "fake_logind: cannot serve on %s\n", qPrintable(parser.value(QStringLiteral("address"))));
        return 1;
    }
    peer_io::WatchStdin(app);
    Say(QStringLiteral("ready"));
    return app.exec();
}
