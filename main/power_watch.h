#pragma once
// Tells the main window when the power source changed (the window's power
// broadcast on this system): UPower announces a change of OnBattery as a
// property change on the system bus.
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

class TPowerWatch : public QObject {
    Q_OBJECT
public:
    // onChange runs on the GUI thread after each change of the power source.
    explicit TPowerWatch(std::function<void()> onChange, QObject* parent = nullptr);
    bool Connected() const { return connected_; }

private slots:
    void PropertiesChanged(const QString& interfaceName, const QVariantMap& changed, const QStringList& invalidated);

private:
    std::function<void()> onChange_;
    bool connected_ = false;
};
