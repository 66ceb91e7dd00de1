#include "platform/system_bus.h"

#include <QDBusConnectionInterface>

namespace platform {
namespace {

struct PrivateBus {
    QString address;
    QString connectionName;  // empty: the machine's system bus
    int generation = 0;
};

PrivateBus& Bus() {
    static PrivateBus bus;
    return bus;
}

}  // namespace

void SetSystemBusAddress(const QString& address) {
    PrivateBus& bus = Bus();
    if (!bus.connectionName.isEmpty()) QDBusConnection::disconnectFromBus(bus.connectionName);
    bus.address = address;
    // A new name for each address: a connection name once used stays bound
    // to its first address.
    bus.connectionName =
        address.isEmpty() ? QString() : QStringLiteral("veltaro-system-bus-%1").arg(++bus.generation);
}

QDBusConnection SystemBus() {
    const PrivateBus& bus = Bus();
    if (bus.connectionName.isEmpty()) return QDBusConnection::systemBus();
    return QDBusConnection::connectToBus(bus.address, bus.connectionName);
}

bool SystemBusHasService(const QString& name) {
    const QDBusConnection bus = SystemBus();
    if (!bus.isConnected() || bus.interface() == nullptr) return false;
    const QDBusReply<bool> reply = bus.interface()->isServiceRegistered(name);
    return reply.isValid() && reply.value();
}

}  // namespace platform
