#include "platform/shutdown_block.h"

#include "platform/system_bus.h"

#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

const QString kLogindService = QStringLiteral("org.freedesktop.login1");
constexpr int kCallTimeoutMs = 5000;

}  // namespace

bool ShutdownInhibitorAvailable() { return SystemBusHasService(kLogindService); }

bool LogindInhibitor::Take(const QString& who, const QString& why, QString* error) {
    const QDBusConnection bus = SystemBus();
    if (!bus.isConnected()) {
        if (error) *error = QStringLiteral("no system bus");
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kLogindService, QStringLiteral("/org/freedesktop/login1"),
                                                       QStringLiteral("org.freedesktop.login1.Manager"),
                                                       QStringLiteral("Inhibit"));
    call << what_ << who << why << QStringLiteral("block");
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        if (error) *error = reply.errorMessage().isEmpty() ? QStringLiteral("no answer from logind") : reply.errorMessage();
        return false;
    }
    const QDBusUnixFileDescriptor answer = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
    // The answer's descriptor closes with it: keep a copy of our own.
    const int fd = answer.isValid() ? fcntl(answer.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1;
    if (fd < 0) {
        if (error) *error = QStringLiteral("logind sent no usable descriptor");
        return false;
    }
    Release();
    fd_ = fd;
    return true;
}

bool LogindInhibitor::Release() {
    if (fd_ < 0) return false;
    close(fd_);
    fd_ = -1;
    return true;
}

}  // namespace platform
