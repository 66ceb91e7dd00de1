#pragma once
// MIDI devices as the program sees them: lists of input and output devices
// by stable name, an input that hands every received message to a callback,
// and an output that sends short messages.
//
// The real back-end is RtMidi: the ALSA sequencer when its device opens,
// else JACK (which lists nothing while no JACK server runs). RtMidi's ALSA
// names end in client:port numbers that change between sessions
// ("Midi Through:Midi Through Port-0 14:0"); they are dropped so that a
// stored name finds its device again. JACK names are kept as they are. The
// program's own ports (client "Veltaro") are never listed.
//
// Tests replace the back-end with the in-process loopback device
// (midi_loopback.h) through UseMidiSystem.
//
// Threads: lists, opens, closes and sends run on the GUI thread. The input
// callback runs on the back-end's own thread (RtMidi's, or the thread that
// feeds the loopback device); once the input object is destroyed no call of
// its callback runs or follows.
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// One complete MIDI message (a system-exclusive message arrives whole, from
// F0 to F7).
using MidiInputCallback = std::function<void(const uint8_t* bytes, size_t size)>;

class MidiInPort {
public:
    virtual ~MidiInPort() = default;
};

class MidiOutPort {
public:
    virtual ~MidiOutPort() = default;
    // False when the back-end refused the message.
    virtual bool Send(const uint8_t* bytes, size_t size) = 0;
};

class MidiSystem {
public:
    virtual ~MidiSystem() = default;
    virtual QStringList InputNames() = 0;
    virtual QStringList OutputNames() = 0;
    // The last device whose name equals `name` without regard to letter
    // case; nullptr when there is none or it cannot be opened. The input
    // passes system-exclusive messages and drops timing and active sensing.
    virtual std::unique_ptr<MidiInPort> OpenInput(const QString& name, MidiInputCallback callback) = 0;
    virtual std::unique_ptr<MidiOutPort> OpenOutput(const QString& name) = 0;
};

// The back-end in use: the one set with UseMidiSystem, else RtMidi.
MidiSystem& Midi();
// nullptr returns to RtMidi. The caller keeps `system` alive while it is set.
void UseMidiSystem(MidiSystem* system);

// The client name of the program's own ports.
inline constexpr char kMidiClientName[] = "Veltaro";

// RtMidi's port name as the program lists it: ALSA's trailing client:port
// numbers dropped; an empty text for the program's own ports.
QString StableMidiName(const std::string& rtMidiName, bool alsa);
// Index of the last entry equal to `name` without regard to letter case, -1
// when none is.
int LastMidiNameMatch(const QStringList& names, const QString& name);

}  // namespace platform
