#pragma once
// An in-process MIDI device for tests and machines without MIDI: inputs and
// outputs by name, messages fed into the open inputs by the test (from any
// thread, as a driver's thread would), and every message sent to an output
// kept for the test to read. A device can be unplugged while it is open:
// it leaves the lists, its input receives nothing more and sends to its
// output are refused, as with a real device gone away.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <mutex>
#include <vector>

#include "platform/midi_ports.h"

namespace platform {

class MidiLoopback : public MidiSystem {
public:
    struct SentMessage {
        QString device;
        QByteArray bytes;
    };

    MidiLoopback(QStringList inputs, QStringList outputs);
    ~MidiLoopback() override;

    QStringList InputNames() override;
    QStringList OutputNames() override;
    std::unique_ptr<MidiInPort> OpenInput(const QString& name, MidiInputCallback callback) override;
    std::unique_ptr<MidiOutPort> OpenOutput(const QString& name) override;

    // Delivers one message to every open input of the device; false when
    // none is open. Any thread; returns after the callbacks have run.
    bool Feed(const QString& device, const QByteArray& bytes);
    // Removes the device (inputs and outputs of that name) from the lists.
    void Unplug(const QString& device);
    void PlugIn(const QString& device, bool input, bool output);

    QList<SentMessage> Sent() const;
    // The sent messages as upper-case hex, one string per message
    // ("90 10 7F"), for tests that compare whole sequences.
    QStringList SentHex() const;
    void ClearSent();
    int OpenInputCount() const;
    int OpenOutputCount() const;

private:
    class InPort;
    class OutPort;
    friend class InPort;
    friend class OutPort;

    struct OpenInputEntry {
        InPort* port;
        QString device;
        MidiInputCallback callback;
    };

    void CloseInput(InPort* port);
    void CloseOutput(OutPort* port);
    bool SendFrom(const OutPort* port, const uint8_t* bytes, size_t size);

    // Feed holds it while callbacks run, so a closed input's callback has
    // returned when its close returns; the open/close paths never call out.
    mutable std::recursive_mutex lock_;
    QStringList inputs_;
    QStringList outputs_;
    std::vector<OpenInputEntry> openInputs_;
    std::vector<std::pair<OutPort*, QString>> openOutputs_;
    QList<SentMessage> sent_;
};

}  // namespace platform
