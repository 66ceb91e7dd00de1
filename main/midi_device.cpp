// The MIDI object's place in the main window: created with the program and
// registered as the MIDI output, its settings loaded and its devices opened;
// the watch for unplugged devices; saved and freed at shut-down.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "main/main_window.h"
#include "remote/midi_device_watch.h"
#include "remote/midi_setup_dialog.h"
#include "remote/vt_midi.h"
#include "ui_kit/services/midi_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"

void TVTProMaster::CreateMidiDevice() {
    // A MIDI output registered before the window (a test's recorder) stays.
    if (MidiObject() != nullptr) return;
    midi_ = new TVtMidi();
    midiDevice.store(midi_);
    RegisterMidiObject(midi_);
    midi_->UpdateMidiCCEnable();
    midi_->LoadFromReg(kSettingsKey);
    midi_->SetMessageHandle(handle_);
    midi_->StartMidiIn();
    midi_->StartMidiOut();
    // A device unplugged during a show is reported and closed; the run goes on.
    midiWatch_ = new TMidiDeviceWatch(
        *midi_, [this](const QString& text) { AddEventMessage(text, false, true); }, this);
}

void TVTProMaster::FreeMidiDevice() {
    if (midi_ == nullptr) return;
    delete midiWatch_;
    midiWatch_ = nullptr;
    RegisterMidiObject(nullptr);
    midiDevice.store(nullptr);
    midi_->SaveToReg(kSettingsKey);
    delete midi_;
    midi_ = nullptr;
}

void TVTProMaster::AddMidiMenuItem() {
    midiAction_ = new QAction(QStringLiteral("MIDI"), settingsMenu_);
    midiAction_->setObjectName(QStringLiteral("mmEMidi"));
    settingsMenu_->insertAction(resetSettingsAction_, midiAction_);
    connect(midiAction_, &QAction::triggered, this, [this] { mmEMidiClick(); });
}

void TVTProMaster::mmEMidiClick() {
    if (midi_ == nullptr) return;
    {
        TMidiSetup dialog(this, midi_);
        // Below the settings menu's entry in the menu bar.
        if (QMenuBar* bar = menuBar(); bar && settingsMenu_) {
            const QRect entry = bar->actionGeometry(settingsMenu_->menuAction());
            dialog.move(bar->mapToGlobal(entry.bottomLeft() + QPoint(0, 1)));
        }
        dialog.exec();
    }  // freeing the dialog closes input and output
    // The dialog has closed input and output and may have changed the devices.
    midi_->SetMessageHandle(handle_);
    if (midi_->GetUseMidi()) {
        midi_->StartMidiIn();
        midi_->StartMidiOut();
    }
}
