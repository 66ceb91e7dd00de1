#include "platform/keep_awake.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include "platform/system_bus.h"

namespace platform {

namespace {

const QString kScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
constexpr int kCallTimeoutMs = 3000;

bool ScreenSaverPresent(const QDBusConnection& bus) {
    if (!bus.isConnected() || bus.interface() == nullptr) return false;
    return bus.interface()->isServiceRegistered(kScreenSaverService).value();
}

QDBusMessage ScreenSaverCall(const QString& method) {
    return QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath, kScreenSaverService, method);
}

}  // namespace

void KeepAwake::Take(const QString& who, const QString& why) {
    if (!sleep_.Held() && SystemBusHasService(QStringLiteral("org.freedesktop.login1"))) sleep_.Take(who, why);
    if (screenHeld_) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!ScreenSaverPresent(bus)) return;
    QDBusMessage call = ScreenSaverCall(QStringLiteral("Inhibit"));
    call << who << why;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
    screenCookie_ = reply.arguments().constFirst().toUInt();
    screenHeld_ = true;
}

void KeepAwake::Release() {
    sleep_.Release();
    if (!screenHeld_) return;
    screenHeld_ = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = ScreenSaverCall(QStringLiteral("UnInhibit"));
    call << screenCookie_;
    bus.call(call, QDBus::Block, kCallTimeoutMs);
}

}  // namespace platform
