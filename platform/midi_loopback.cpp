#include "platform/midi_loopback.h"

#include <algorithm>

namespace platform {

class MidiLoopback::InPort : public MidiInPort {
public:
    explicit InPort(MidiLoopback& owner) : owner_(owner) {}
    ~InPort() override { owner_.CloseInput(this); }

private:
    MidiLoopback& owner_;
};

class MidiLoopback::OutPort : public MidiOutPort {
public:
    explicit OutPort(MidiLoopback& owner) : owner_(owner) {}
    ~OutPort() override { owner_.CloseOutput(this); }
    bool Send(const uint8_t* bytes, size_t size) override { return owner_.SendFrom(this, bytes, size); }

private:
    MidiLoopback& owner_;
};

MidiLoopback::MidiLoopback(QStringList inputs, QStringList outputs)
    : inputs_(std::move(inputs)), outputs_(std::move(outputs)) {}

MidiLoopback::~MidiLoopback() = default;

QStringList MidiLoopback::InputNames() {
    std::lock_guard guard(lock_);
    return inputs_;
}

QStringList MidiLoopback::OutputNames() {
    std::lock_guard guard(lock_);
    return outputs_;
}

std::unique_ptr<MidiInPort> MidiLoopback::OpenInput(const QString& name, MidiInputCallback callback) {
    std::lock_guard guard(lock_);
    const int index = LastMidiNameMatch(inputs_, name);
    if (index < 0 || !callback) return nullptr;
    auto port = std::make_unique<InPort>(*this);
    openInputs_.push_back({port.get(), inputs_[index], std::move(callback)});
    return port;
}

std::unique_ptr<MidiOutPort> MidiLoopback::OpenOutput(const QString& name) {
    std::lock_guard guard(lock_);
    const int index = LastMidiNameMatch(outputs_, name);
    if (index < 0) return nullptr;
    auto port = std::make_unique<OutPort>(*this);
    openOutputs_.emplace_back(port.get(), outputs_[index]);
    return port;
}

bool MidiLoopback::Feed(const QString& device, const QByteArray& bytes) {
    std::lock_guard guard(lock_);
    bool delivered = false;
    for (const OpenInputEntry& entry : openInputs_) {
        if (entry.device.compare(device, Qt::CaseInsensitive) != 0) continue;
        entry.callback(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
        delivered = true;
    }
    return delivered;
}

void MidiLoopback::Unplug(const QString& device) {
    std::lock_guard guard(lock_);
    const auto same = [&device](const QString& name) { return name.compare(device, Qt::CaseInsensitive) == 0; };
    inputs_.removeIf(same);
    outputs_.removeIf(same);
    // The port objects stay with their owners; they only stop working.
    std::erase_if(openInputs_, [&same](const OpenInputEntry& entry) { return same(entry.device); });
    for (auto& output : openOutputs_)
        if (same(output.second)) output.second.clear();
}

void MidiLoopback::PlugIn(const QString& device, bool input, bool output) {
    std::lock_guard guard(lock_);
    if (input) inputs_ << device;
    if (output) outputs_ << device;
}

void MidiLoopback::CloseInput(InPort* port) {
    std::lock_guard guard(lock_);
    std::erase_if(openInputs_, [port](const OpenInputEntry& entry) { return entry.port == port; });
}

void MidiLoopback::CloseOutput(OutPort* port) {
    std::lock_guard guard(lock_);
    std::erase_if(openOutputs_, [port](const auto& output) { return output.first == port; });
}

bool MidiLoopback::SendFrom(const OutPort* port, const uint8_t* bytes, size_t size) {
    std::lock_guard guard(lock_);
    const auto open = std::find_if(openOutputs_.begin(), openOutputs_.end(),
                                   [port](const auto& output) { return output.first == port; });
    // An unplugged device keeps its port object but takes nothing more.
    if (open == openOutputs_.end() || open->second.isEmpty() || bytes == nullptr || size == 0) return false;
    sent_.append({open->second, QByteArray(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size))});
    return true;
}

QList<MidiLoopback::SentMessage> MidiLoopback::Sent() const {
    std::lock_guard guard(lock_);
    return sent_;
}

QStringList MidiLoopback::SentHex() const {
    std::lock_guard guard(lock_);
    QStringList lines;
    for (const SentMessage& message : sent_) lines << QString::fromLatin1(message.bytes.toHex(' ').toUpper());
    return lines;
}

void MidiLoopback::ClearSent() {
    std::lock_guard guard(lock_);
    sent_.clear();
}

int MidiLoopback::OpenInputCount() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(openInputs_.size());
}

int MidiLoopback::OpenOutputCount() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(openOutputs_.size());
}

}  // namespace platform
