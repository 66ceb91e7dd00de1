#include "platform/power_status.h"

#include "platform/system_bus.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariant>

#include <optional>

namespace platform {
namespace {

const QString kUPowerService = QStringLiteral("org.freedesktop.UPower");
const QString kUPowerPath = QStringLiteral("/org/freedesktop/UPower");
const QString kDisplayDevicePath = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
const QString kDeviceInterface = QStringLiteral("org.freedesktop.UPower.Device");
// A power broadcast must not hang the window behind a stuck service.
constexpr int kCallTimeoutMs = 2000;

// UPower's warning levels of a device.
constexpr uint32_t kWarningLow = 3;
constexpr uint32_t kWarningCritical = 4;
constexpr uint32_t kWarningAction = 5;

std::optional<QVariant> GetProperty(const QString& path, const QString& interface, const QString& name) {
    QDBusMessage call = QDBusMessage::createMethodCall(kUPowerService, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << interface << name;
    const QDBusMessage reply = SystemBus().call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
    return qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant();
}

uint8_t BatteryFlagFor(uint32_t warningLevel) {
    switch (warningLevel) {
        case kWarningLow: return kBatteryLow;
        case kWarningCritical:
        case kWarningAction: return kBatteryCritical;
        default: return 0;
    }
}

}  // namespace

bool GetSystemPowerStatus(SystemPowerStatus* status) {
    if (status == nullptr) return false;
    const std::optional<QVariant> onBattery = GetProperty(kUPowerPath, kUPowerService, QStringLiteral("OnBattery"));
    if (!onBattery || onBattery->typeId() != QMetaType::Bool) return false;
    SystemPowerStatus result;
    result.acLineStatus = onBattery->toBool() ? kAcOffline : kAcOnline;
    const std::optional<QVariant> warning = GetProperty(kDisplayDevicePath, kDeviceInterface, QStringLiteral("WarningLevel"));
    bool isNumber = false;
    const uint32_t level = warning ? warning->toUInt(&isNumber) : 0;
    result.batteryFlag = isNumber ? BatteryFlagFor(level) : kNoSystemBattery;
    *status = result;
    return true;
}

}  // namespace platform
