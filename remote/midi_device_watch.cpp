#include "remote/midi_device_watch.h"

#include <QStringList>

#include "platform/midi_ports.h"
#include "remote/vt_midi.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

TMidiDeviceWatch::TMidiDeviceWatch(TVtMidi& midi, Report report, QObject* parent)
    : QObject(parent), midi_(midi), report_(std::move(report)) {
    timer_.setInterval(kIntervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { CheckDevices(); });
    midi_.SetOpenedHook([this] {
        if (!timer_.isActive()) timer_.start();
    });
    if (midi_.GetMidiStatus() || midi_.OutIsOpen()) timer_.start();
}

TMidiDeviceWatch::~TMidiDeviceWatch() { midi_.SetOpenedHook(nullptr); }

void TMidiDeviceWatch::CheckDevices() {
    QStringList vanished;
    const auto gone = [](const QStringList& listed, const QString& name) {
        return platform::LastMidiNameMatch(listed, name) < 0;
    };
    if (midi_.GetMidiStatus() && gone(TVtMidi::InputDeviceNames(), midi_.OpenInputName())) {
        vanished << midi_.OpenInputName();
        midi_.EndMidiIn();
    }
    if (midi_.OutIsOpen() && gone(TVtMidi::OutputDeviceNames(), midi_.OpenOutputName())) {
        // One device that served both directions is reported once.
        if (gone(vanished, midi_.OpenOutputName())) vanished << midi_.OpenOutputName();
        midi_.StopMidiOut();
    }
    if (!midi_.GetMidiStatus() && !midi_.OutIsOpen()) timer_.stop();
    for (const QString& device : vanished)
        if (report_) report_(VanishedMidiDeviceText(device));
}

QString VanishedMidiDeviceText(const QString& device) {
    if (language.load() == kLangGerman)
        return QStringLiteral("Das MIDI-Gerät \"%1\" ist nicht mehr vorhanden; MIDI über dieses Gerät ist beendet.")
            .arg(device);
    return QStringLiteral("The MIDI device \"%1\" is no longer present; MIDI through it has stopped.").arg(device);
}
