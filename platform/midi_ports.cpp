#include "platform/midi_ports.h"

#include <RtMidi.h>
#include <fcntl.h>
#include <unistd.h>

#include <QRegularExpression>

#include <atomic>
#include <mutex>
#include <vector>

namespace platform {

namespace {

constexpr char kInputPortName[] = "Veltaro In";
constexpr char kOutputPortName[] = "Veltaro Out";

// Containers and many servers have no sequencer device; RtMidi's ALSA API
// then fails in its constructor, so the choice is made before it is asked.
bool SequencerOpens() {
    const int fd = ::open("/dev/snd/seq", O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

RtMidi::Api ChosenApi() {
    static const RtMidi::Api api = SequencerOpens() ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
    return api;
}

bool UsesAlsa() { return ChosenApi() == RtMidi::LINUX_ALSA; }

// RtMidi reports warnings (no JACK server, a port that vanished) through this
// instead of printing them; a failure shows in the port counts and in
// isPortOpen, which the callers test.
void IgnoreRtMidiReport(RtMidiError::Type, const std::string&, void*) {}

template <class Port>
std::unique_ptr<Port> MakeRtMidiPort() {
    try {
        auto port = std::make_unique<Port>(ChosenApi(), kMidiClientName);
        port->setErrorCallback(&IgnoreRtMidiReport, nullptr);
        return port;
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

// The stable names in RtMidi's port order; the program's own ports stay in
// the list as empty entries so that an index still names RtMidi's port.
QStringList PortNames(RtMidi& port) {
    QStringList names;
    try {
        const unsigned int count = port.getPortCount();
        for (unsigned int i = 0; i < count; ++i) names << StableMidiName(port.getPortName(i), UsesAlsa());
    } catch (const RtMidiError&) {
        names.clear();
    }
    return names;
}

QStringList WithoutOwnPorts(QStringList names) {
    names.removeAll(QString());
    return names;
}

class RtMidiInPort : public MidiInPort {
public:
    RtMidiInPort(std::unique_ptr<RtMidiIn> in, MidiInputCallback callback)
        : callback_(std::move(callback)), in_(std::move(in)) {}

    bool Open(unsigned int index) {
        try {
            in_->ignoreTypes(false, true, true);
            in_->setCallback(&RtMidiInPort::Receive, this);
            in_->openPort(index, kInputPortName);
            return in_->isPortOpen();
        } catch (const RtMidiError&) {
            return false;
        }
    }

    ~RtMidiInPort() override {
        // RtMidi ends its input thread (ALSA) or its JACK client here; only
        // then may the callback go.
        try {
            in_->closePort();
        } catch (...) {
        }
        in_.reset();
    }

private:
    static void Receive(double, std::vector<unsigned char>* message, void* self) {
        if (message == nullptr || message->empty()) return;
        try {
            static_cast<RtMidiInPort*>(self)->callback_(message->data(), message->size());
        } catch (...) {
            // Nothing may escape into RtMidi's thread.
        }
    }

    MidiInputCallback callback_;
    std::unique_ptr<RtMidiIn> in_;
};

class RtMidiOutPort : public MidiOutPort {
public:
    explicit RtMidiOutPort(std::unique_ptr<RtMidiOut> out) : out_(std::move(out)) {}

    bool Open(unsigned int index) {
        try {
            out_->openPort(index, kOutputPortName);
            return out_->isPortOpen();
        } catch (const RtMidiError&) {
            return false;
        }
    }

    ~RtMidiOutPort() override {
        try {
            out_->closePort();
        } catch (...) {
        }
    }

    bool Send(const uint8_t* bytes, size_t size) override {
        if (bytes == nullptr || size == 0) return false;
        try {
            out_->sendMessage(bytes, size);
            return true;
        } catch (const RtMidiError&) {
            return false;
        }
    }

private:
    std::unique_ptr<RtMidiOut> out_;
};

class RtMidiSystem : public MidiSystem {
public:
    QStringList InputNames() override { return WithoutOwnPorts(ListerNames<RtMidiIn>()); }
    QStringList OutputNames() override { return WithoutOwnPorts(ListerNames<RtMidiOut>()); }

    std::unique_ptr<MidiInPort> OpenInput(const QString& name, MidiInputCallback callback) override {
        // No name, no client: JACK would otherwise be asked for nothing.
        if (name.isEmpty()) return nullptr;
        auto in = MakeRtMidiPort<RtMidiIn>();
        if (!in) return nullptr;
        const int index = LastMidiNameMatch(PortNames(*in), name);
        if (index < 0) return nullptr;
        auto port = std::make_unique<RtMidiInPort>(std::move(in), std::move(callback));
        if (!port->Open(static_cast<unsigned int>(index))) return nullptr;
        return port;
    }

    std::unique_ptr<MidiOutPort> OpenOutput(const QString& name) override {
        if (name.isEmpty()) return nullptr;
        auto out = MakeRtMidiPort<RtMidiOut>();
        if (!out) return nullptr;
        const int index = LastMidiNameMatch(PortNames(*out), name);
        if (index < 0) return nullptr;
        auto port = std::make_unique<RtMidiOutPort>(std::move(out));
        if (!port->Open(static_cast<unsigned int>(index))) return nullptr;
        return port;
    }

private:
    // A fresh client for each look: a client kept from before a restart of
    // the JACK server would list nothing for ever after.
    template <class Port>
    static QStringList ListerNames() {
        const auto lister = MakeRtMidiPort<Port>();
        return lister ? PortNames(*lister) : QStringList();
    }
};

std::atomic<MidiSystem*> chosenSystem{nullptr};

}  // namespace

MidiSystem& Midi() {
    if (MidiSystem* system = chosenSystem.load(std::memory_order_acquire)) return *system;
    static RtMidiSystem rtMidi;
    return rtMidi;
}

void UseMidiSystem(MidiSystem* system) { chosenSystem.store(system, std::memory_order_release); }

QString StableMidiName(const std::string& rtMidiName, bool alsa) {
    QString name = QString::fromStdString(rtMidiName);
    if (alsa) {
        static const QRegularExpression clientPort(QStringLiteral(" \\d+:\\d+$"));
        name.remove(clientPort);
    }
    static const QRegularExpression ownClient(QStringLiteral("^%1(-\\d+)?:").arg(QLatin1String(kMidiClientName)));
    if (ownClient.match(name).hasMatch()) return QString();
    return name;
}

int LastMidiNameMatch(const QStringList& names, const QString& name) {
    if (name.isEmpty()) return -1;
    for (int i = static_cast<int>(names.size()) - 1; i >= 0; --i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace platform
