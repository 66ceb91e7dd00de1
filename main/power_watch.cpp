#include "main/power_watch.h"

#include <QDBusConnection>

#include "platform/system_bus.h"

namespace {

const QString kUPowerService = QStringLiteral("org.freedesktop.UPower");
const QString kUPowerPath = QStringLiteral("/org/freedesktop/UPower");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

}  // namespace

TPowerWatch::TPowerWatch(std::function<void()> onChange, QObject* parent)
    : QObject(parent), onChange_(std::move(onChange)) {
    QDBusConnection bus = platform::SystemBus();
    if (!bus.isConnected()) return;  // no bus: the power source is checked at start and before a run only
    connected_ = bus.connect(kUPowerService, kUPowerPath, kPropertiesInterface, QStringLiteral("PropertiesChanged"),
                             this, SLOT(PropertiesChanged(QString, QVariantMap, QStringList)));
}

void TPowerWatch::PropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                                    const QStringList& invalidated) {
    if (interfaceName != kUPowerService) return;
    if (!changed.contains(QStringLiteral("OnBattery")) && !invalidated.contains(QStringLiteral("OnBattery"))) return;
    if (onChange_) onChange_();
}
