#pragma once
// The system bus that the power status and the shutdown block ask. It is the
// machine's system bus ($DBUS_SYSTEM_BUS_ADDRESS when set, as everywhere in
// D-Bus), unless a test pointed it at a private dbus-daemon. GUI thread only.
#include <QDBusConnection>
#include <QString>

namespace platform {

// Points every later system-bus call at the bus at address; an empty address
// goes back to the machine's system bus.
void SetSystemBusAddress(const QString& address);

// The connection to use; it may be disconnected when no bus is reachable.
QDBusConnection SystemBus();

// True when name is currently owned on the system bus.
bool SystemBusHasService(const QString& name);

}  // namespace platform
