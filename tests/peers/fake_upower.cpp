// A stand-in for UPower on a private bus, for tests of the power status:
//   fake_upower --address <bus address> [--on-battery] [--warning-level <n>]
//               [--no-display-device]
// It owns org.freedesktop.UPower and answers org.freedesktop.DBus.Properties.Get
// for OnBattery on /org/freedesktop/UPower and, unless told otherwise, for
// WarningLevel (UPower's numbers: 1 none, 3 low, 4 critical, 5 action) on
// /org/freedesktop/UPower/devices/DisplayDevice. It prints "ready" once the
// name is owned. Lines on its stdin change the values (a change of OnBattery
// is announced as UPower does, by PropertiesChanged) and are confirmed with
// "ok": "OnBattery true|false", "WarningLevel <n>". It ends when stdin closes.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>

#include <cstdio>
#include <functional>

#include "peer_io.h"
#include "support/qt_dbus_tsan_suppressions.h"

namespace {

using peer_io::Say;

struct PowerValues {
    bool onBattery = false;
    uint32_t warningLevel = 1;
};

// Answers Properties.Get for one object: interface and property names from
// the table, values read when asked.
class PropertyObject : public QDBusVirtualObject {
public:
    PropertyObject(QString interface, QString property, std::function<QVariant()> value)
        : interface_(std::move(interface)), property_(std::move(property)), value_(std::move(value)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QVariantList args = message.arguments();
        if (message.interface() != QStringLiteral("org.freedesktop.DBus.Properties") ||
            message.member() != QStringLiteral("Get") || args.size() != 2) {
            connection.send(message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("only Get")));
            return true;
        }
        if (args[0].toString() != interface_ || args[1].toString() != property_) {
            connection.send(message.createErrorReply(QDBusError::UnknownProperty, args[1].toString()));
            return true;
        }
        connection.send(message.createReply(QVariant::fromValue(QDBusVariant(value_()))));
        return true;
    }

private:
    QString interface_;
    QString property_;
    std::function<QVariant()> value_;
};

// UPower announces a new power source as a property change of its manager.
void AnnounceOnBattery(const QDBusConnection& bus, bool onBattery) {
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/UPower"),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.freedesktop.UPower")
           << QVariantMap{{QStringLiteral("OnBattery"), QVariant(onBattery)}} << QStringList();
    bus.send(signal);
}

void ApplyCommand(const QString& line, PowerValues& values, const QDBusConnection& bus) {
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() != 2) return;
    if (words[0] == QStringLiteral("OnBattery")) {
        values.onBattery = words[1] == QStringLiteral("true");
        AnnounceOnBattery(bus, values.onBattery);
    }
    if (words[0] == QStringLiteral("WarningLevel")) values.warningLevel = words[1].toUInt();
    Say(QStringLiteral("ok"));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("address"), QStringLiteral("bus address"), QStringLiteral("address")});
    parser.addOption({QStringLiteral("on-battery"), QStringLiteral("report running on battery")});
    parser.addOption({QStringLiteral("warning-level"), QStringLiteral("display device warning level"), QStringLiteral("n"), QStringLiteral("1")});
    parser.addOption({QStringLiteral("no-display-device"), QStringLiteral("have no display device")});
    parser.process(app);

    PowerValues values;
    values.onBattery = parser.isSet(QStringLiteral("on-battery"));
    values.warningLevel = parser.value(QStringLiteral("warning-level")).toUInt();

    QDBusConnection bus = QDBusConnection::connectToBus(parser.value(QStringLiteral("address")), QStringLiteral("fake"));
    PropertyObject manager(QStringLiteral("org.freedesktop.UPower"), QStringLiteral("OnBattery"),
                           [&] { return QVariant(values.onBattery); });
    PropertyObject display(QStringLiteral("org.freedesktop.UPower.Device"), QStringLiteral("WarningLevel"),
                           [&] { return QVariant::fromValue(values.warningLevel); });
    bool registered = bus.isConnected() && bus.registerVirtualObject(QStringLiteral("/org/freedesktop/UPower"), &manager);
    if (registered && !parser.isSet(QStringLiteral("no-display-device")))
        registered = bus.registerVirtualObject(QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice"), &display);
    if (!registered || !bus.registerService(QStringLiteral("org.freedesktop.UPower"))) {
        std::fprintf(stderr, "fake_upower: cannot serve on %s\n", qPrintable(parser.value(QStringLiteral("address"))));
        return 1;
    }

    peer_io::WatchStdin(app, [&](const QString& line) { ApplyCommand(line, values, bus); });
    Say(QStringLiteral("ready"));
    return app.exec();
}
