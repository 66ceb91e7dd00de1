#pragma once
// Watches the open MIDI devices: the back-ends do not report a device that
// was unplugged (sends to it still succeed), so once a second the names of
// the open input and output are looked up in the device lists. A device that
// is gone is closed and reported once; the next start of input or output
// opens it again when it is back. The timer runs only while a device is
// open. GUI thread.
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class TVtMidi;

class TMidiDeviceWatch : public QObject {
public:
    using Report = std::function<void(const QString& text)>;

    TMidiDeviceWatch(TVtMidi& midi, Report report, QObject* parent = nullptr);
    ~TMidiDeviceWatch() override;

    // One look at the lists; the timer calls it.
    void CheckDevices();

    static constexpr int kIntervalMs = 1000;

private:
    TVtMidi& midi_;
    Report report_;
    QTimer timer_;
};

// The event-list text for a device that went away, in the current language.
QString VanishedMidiDeviceText(const QString& device);
