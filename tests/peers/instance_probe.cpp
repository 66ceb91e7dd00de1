// A program start as far as the single-instance guard goes, for the tests that
// need separate processes. Takes the guard for the name given as its argument
// (in the folder its environment names) and prints one line:
//   "first"            it holds the guard; it then prints "raised" for each
//                      raise request and runs until its stdin closes
//   "already running"  followed by "answered" or "unanswered" for its own
//                      raise request to the running instance; exits 0
//   "failed: <why>"    exits 2
#include "platform/single_instance.h"

#include "peer_io.h"

using peer_io::Say;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        Say(QStringLiteral("usage: instance_probe <name>"));
        return 64;
    }
    const QString name = QString::fromLocal8Bit(argv[1]);
    QString why;
    switch (platform::AcquireInstanceGuard(name, &why)) {
        case platform::InstanceGuard::Failed:
            Say(QStringLiteral("failed: ") + why);
            return 2;
        case platform::InstanceGuard::AlreadyRunning:
            Say(QStringLiteral("already running"));
            Say(platform::AskRunningInstanceToRaise(name, 10000) ? QStringLiteral("answered")
                                                                  : QStringLiteral("unanswered"));
            return 0;
        case platform::InstanceGuard::First:
            break;
    }
    platform::SetRaiseRequestHandler([] { Say(QStringLiteral("raised")); });
    peer_io::WatchStdin(app);
    Say(QStringLiteral("first"));
    return app.exec();
}
