#include "platform/single_instance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr char kRaiseRequest[] = "raise";
constexpr char kRaiseAnswer[] = "raised";
// A request is one short line; anything longer is not one of ours.
constexpr qint64 kMaxRequestBytes = 64;

std::function<void()>& RaiseHandler() {
    static std::function<void()> handler;
    return handler;
}

QString SystemErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString Sentence(const QString& folder, const QString& reason) {
    return QStringLiteral("The single-instance guard could not be created in the folder %1: %2.").arg(folder, reason);
}

bool IsUsableName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_.-]{1,64}$"));
    return pattern.match(name).hasMatch() && name != QStringLiteral(".") && name != QStringLiteral("..");
}

QString FallbackFolder() {
    return QDir::tempPath() + QStringLiteral("/veltaro-%1").arg(static_cast<qulonglong>(getuid()));
}

// The folder of the guard files; without $XDG_RUNTIME_DIR a folder under the
// temporary folder that only this user may enter. A fallback folder that
// another user could have prepared is refused: whoever owns it could
// otherwise hold or fake the guard.
std::optional<QString> GuardFolder(QString* why) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) return runtime;
    const QString folder = FallbackFolder();
    const QByteArray path = QFile::encodeName(folder);
    if (mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        *why = Sentence(folder, SystemErrorText(errno));
        return std::nullopt;
    }
    struct stat info {};
    if (lstat(path.constData(), &info) != 0) {
        *why = Sentence(folder, SystemErrorText(errno));
        return std::nullopt;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid() || (info.st_mode & 077) != 0) {
        *why = Sentence(folder, QStringLiteral("it is not a private folder of the current user"));
        return std::nullopt;
    }
    return folder;
}

QString LockPath(const QString& folder, const QString& name) { return folder + QLatin1Char('/') + name + ".lock"; }
QString SocketPath(const QString& folder, const QString& name) { return folder + QLatin1Char('/') + name + ".socket"; }

int OpenLockFile(const QString& path) {
    return open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

// True while some process holds the lock of name (a probe that takes and
// drops a shared lock; it never blocks).
bool LockIsHeld(const QString& name) {
    QString unused;
    const std::optional<QString> folder = GuardFolder(&unused);
    if (!folder) return false;
    const int fd = open(QFile::encodeName(LockPath(*folder, name)).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return held;
}

void CallRaiseHandler() {
    const std::function<void()>& handler = RaiseHandler();
    if (!handler) return;
    try {
        handler();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "raise request handler failed: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "raise request handler failed\n");
    }
}

void AnswerRequest(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequestBytes) socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(kMaxRequestBytes + 1).trimmed();
    if (line == kRaiseRequest) {
        CallRaiseHandler();
        socket->write(QByteArray(kRaiseAnswer) + '\n');
        socket->flush();
    }
    socket->disconnectFromServer();
}

void ServeConnection(QLocalSocket* socket) {
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket] { AnswerRequest(socket); });
    if (socket->bytesAvailable() > 0) AnswerRequest(socket);
}

// Listens for raise requests; lives as long as the application object.
bool StartRaiseServer(const QString& path, QString* reason) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        *reason = QStringLiteral("the program has no application object yet");
        return false;
    }
    auto* server = new QLocalServer(app);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // Nobody listens on a socket file whose lock was free: its owner is gone.
    QLocalServer::removeServer(path);
    if (!server->listen(path)) {
        *reason = server->errorString();
        delete server;
        return false;
    }
    QObject::connect(server, &QLocalServer::newConnection, server, [server] {
        while (QLocalSocket* socket = server->nextPendingConnection()) ServeConnection(socket);
    });
    return true;
}

}  // namespace

InstanceGuard AcquireInstanceGuard(const QString& name, QString* why) {
    QString reason;
    InstanceGuard result = InstanceGuard::Failed;
    if (!IsUsableName(name)) {
        reason = QStringLiteral("The single-instance guard name \"%1\" is not a valid file name.").arg(name);
    } else if (const std::optional<QString> folder = GuardFolder(&reason)) {
        const int fd = OpenLockFile(LockPath(*folder, name));
        if (fd < 0) {
            reason = Sentence(*folder, SystemErrorText(errno));
        } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            close(fd);
            if (error == EWOULDBLOCK) {
                result = InstanceGuard::AlreadyRunning;
            } else {
                reason = Sentence(*folder, SystemErrorText(error));
            }
        } else {
            QString serverReason;
            if (StartRaiseServer(SocketPath(*folder, name), &serverReason)) {
                // The descriptor stays open, and the lock held, until the process ends.
                result = InstanceGuard::First;
            } else {
                close(fd);
                reason = Sentence(*folder, serverReason);
            }
        }
    }
    if (result == InstanceGuard::Failed && why != nullptr) *why = reason;
    return result;
}

bool AskRunningInstanceToRaise(const QString& name, int timeoutMs) {
    if (!IsUsableName(name)) return false;
    QString unused;
    const std::optional<QString> folder = GuardFolder(&unused);
    if (!folder) return false;
    const QString path = SocketPath(*folder, name);
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
            socket.write(QByteArray(kRaiseRequest) + '\n');
            while (!socket.canReadLine() && socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            }
            return socket.canReadLine() && socket.readLine(kMaxRequestBytes).trimmed() == kRaiseAnswer;
        }
        // The holder of the lock may not be listening yet; nobody holding it
        // means nobody will answer.
        if (deadline.hasExpired() || !LockIsHeld(name)) return false;
        QThread::msleep(10);
    }
}

void SetRaiseRequestHandler(std::function<void()> handler) { RaiseHandler() = std::move(handler); }

}  // namespace platform
