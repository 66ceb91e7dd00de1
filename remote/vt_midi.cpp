#include "remote/vt_midi.h"

#include <algorithm>

#include "platform/registry.h"
#include "ui_kit/notifications.h"

namespace {

constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kSysExStart = 0xF0;
constexpr uint8_t kSysExEnd = 0xF7;
constexpr uint8_t kUniversalRealTime = 0x7F;
constexpr uint8_t kAllDevices = 0x7F;
constexpr uint8_t kMachineControl = 0x06;
constexpr uint8_t kShowControl = 0x02;
constexpr uint8_t kShowControlSoundFormat = 0x10;
constexpr int32_t kLevelFloor = 30;

bool InRange(int32_t value, int32_t low, int32_t high) { return value >= low && value <= high; }
bool IsDataByte(int32_t value) { return InRange(value, 0, 127); }

QString Indexed(const char* name, int index) { return QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(index); }

// A stored value is taken only when it lies in the range the program itself
// writes; anything else keeps the current setting.
void ReadChecked(const platform::Registry& reg, const QString& name, int32_t low, int32_t high, int32_t& into) {
    if (const auto value = reg.ReadInteger(name); value && InRange(*value, low, high)) into = *value;
}
void ReadChecked(const platform::Registry& reg, const QString& name, uint8_t& into) {
    if (const auto value = reg.ReadInteger(name); value && IsDataByte(*value)) into = static_cast<uint8_t>(*value);
}
void ReadFlag(const platform::Registry& reg, const QString& name, bool& into) {
    if (const auto value = reg.ReadBool(name)) into = *value;
}
void ReadText(const platform::Registry& reg, const QString& name, QString& into) {
    if (const auto value = reg.ReadString(name)) into = *value;
}

uint8_t ControllerValue(int32_t level) { return static_cast<uint8_t>(std::clamp(level - kLevelFloor, 0, 127)); }

}  // namespace

TVtMidi::TVtMidi() { inChannel_.store(settings_.inKanal - 1); }

TVtMidi::~TVtMidi() {
    EndMidiIn();
    StopMidiOut();
}

// --- Settings ---------------------------------------------------------------

void TVtMidi::LoadFromReg(const QString& key) {
    platform::Registry reg;
    if (!reg.OpenKeyReadOnly(key)) return;
    TMidiSettings& s = settings_;
    ReadText(reg, QStringLiteral("MidiInDevice"), s.midiInName);
    ReadChecked(reg, QStringLiteral("MidiInModeId"), kMidiInNoteOnOff, kMidiInShowControl, s.inModeId);
    int32_t channel = s.inKanal;
    ReadChecked(reg, QStringLiteral("MidiInKanal"), 1, 16, channel);
    SetInMidiKanal(channel);
    ReadChecked(reg, QStringLiteral("MidiInIdOn"), 0, 127, s.inIdOn);
    ReadChecked(reg, QStringLiteral("MidiInIdOff"), 0, 127, s.inIdOff);
    ReadFlag(reg, QStringLiteral("MidiInFeedback"), s.inFeedback);
    ReadChecked(reg, QStringLiteral("MidiFBKanal"), 0, 127, s.fbKanal);
    ReadText(reg, QStringLiteral("MidiOutDevice"), s.midiOutName);
    ReadChecked(reg, QStringLiteral("MidiOutModeId"), kMidiOutNoteOff, kMidiOutVelocityZero, s.outModeId);
    ReadChecked(reg, QStringLiteral("MidiOutKanal"), 1, 16, s.outKanal);
    ReadFlag(reg, QStringLiteral("MidiInSync"), s.inSync);
    ReadChecked(reg, QStringLiteral("MidiKInSync"), 0, 127, s.kInSync);
    for (int i = 0; i < kMidiStatusNotes; ++i) ReadChecked(reg, Indexed("MidiOutMapping", i), s.outMapping[i]);
    for (int i = 0; i < kMidiControllers; ++i) ReadChecked(reg, Indexed("MidiCCList", i), s.ccList[i]);
    for (int i = 0; i < kMidiControllers; ++i) ReadFlag(reg, Indexed("MidiCCEnable", i), s.ccEnable[i]);
    for (int i = 0; i < kMidiQuantities; ++i) ReadFlag(reg, Indexed("MidiSendEnable", i), s.sendEnable[i]);
    ReadFlag(reg, QStringLiteral("MidiRunOnly"), s.runOnly);
    ReadFlag(reg, QStringLiteral("UseMidi"), s.useMidi);
}

void TVtMidi::SaveToReg(const QString& key) const {
    platform::Registry reg;
    if (!reg.OpenKey(key, true)) return;
    const TMidiSettings& s = settings_;
    reg.WriteString(QStringLiteral("MidiInDevice"), s.midiInName);
    reg.WriteInteger(QStringLiteral("MidiInModeId"), s.inModeId);
    reg.WriteInteger(QStringLiteral("MidiInKanal"), s.inKanal);
    reg.WriteInteger(QStringLiteral("MidiInIdOn"), s.inIdOn);
    reg.WriteInteger(QStringLiteral("MidiInIdOff"), s.inIdOff);
    reg.WriteBool(QStringLiteral("MidiInFeedback"), s.inFeedback);
    reg.WriteInteger(QStringLiteral("MidiFBKanal"), s.fbKanal);
    reg.WriteString(QStringLiteral("MidiOutDevice"), s.midiOutName);
    reg.WriteInteger(QStringLiteral("MidiOutModeId"), s.outModeId);
    reg.WriteInteger(QStringLiteral("MidiOutKanal"), s.outKanal);
    for (int i = 0; i < kMidiStatusNotes; ++i) reg.WriteInteger(Indexed("MidiOutMapping", i), s.outMapping[i]);
    for (int i = 0; i < kMidiControllers; ++i) reg.WriteInteger(Indexed("MidiCCList", i), s.ccList[i]);
    for (int i = 0; i < kMidiControllers; ++i) reg.WriteBool(Indexed("MidiCCEnable", i), s.ccEnable[i]);
    for (int i = 0; i < kMidiQuantities; ++i) reg.WriteBool(Indexed("MidiSendEnable", i), s.sendEnable[i]);
    reg.WriteBool(QStringLiteral("MidiRunOnly"), s.runOnly);
    reg.WriteBool(QStringLiteral("UseMidi"), s.useMidi);
    reg.WriteBool(QStringLiteral("MidiInSync"), s.inSync);
    reg.WriteInteger(QStringLiteral("MidiKInSync"), s.kInSync);
    reg.CloseKey();
}

void TVtMidi::RestoreBackup() {
    settings_ = backup_;
    inChannel_.store(settings_.inKanal - 1);
}

void TVtMidi::SetInModeId(int32_t mode) {
    if (InRange(mode, kMidiInNoteOnOff, kMidiInShowControl)) settings_.inModeId = mode;
}

void TVtMidi::SetInMidiKanal(int32_t channel) {
    if (!InRange(channel, 1, 16)) return;
    settings_.inKanal = channel;
    inChannel_.store(channel - 1);
}

void TVtMidi::SetInIdOn(int32_t id) {
    if (IsDataByte(id)) settings_.inIdOn = id;
}

void TVtMidi::SetInIdOff(int32_t id) {
    if (IsDataByte(id)) settings_.inIdOff = id;
}

bool TVtMidi::SetUseInFeedback(bool on) {
    const bool changed = settings_.inFeedback != on;
    settings_.inFeedback = on;
    return changed;
}

void TVtMidi::SetFBKanal(int32_t note) {
    if (IsDataByte(note)) settings_.fbKanal = note;
}

bool TVtMidi::SetOutModeId(int32_t mode) {
    if (!InRange(mode, kMidiOutNoteOff, kMidiOutVelocityZero) || mode == settings_.outModeId) return false;
    settings_.outModeId = mode;
    return true;
}

bool TVtMidi::SetOutMidiKanal(int32_t channel) {
    if (!InRange(channel, 1, 16) || channel == settings_.outKanal) return false;
    settings_.outKanal = channel;
    return true;
}

void TVtMidi::SetKInSync(int32_t note) {
    if (IsDataByte(note)) settings_.kInSync = note;
}

int32_t TVtMidi::GetOutMapping(int32_t index) const {
    return InRange(index, 0, kMidiStatusNotes - 1) ? settings_.outMapping[index] : -1;
}

void TVtMidi::SetOutMapping(const QByteArray& notes) {
    if (notes.size() != kMidiStatusNotes) return;
    for (int i = 0; i < kMidiStatusNotes; ++i) ChangeMapping(i, static_cast<uint8_t>(notes[i]));
}

void TVtMidi::ChangeMapping(int32_t index, int32_t note) {
    if (InRange(index, 0, kMidiStatusNotes - 1) && IsDataByte(note))
        settings_.outMapping[index] = static_cast<uint8_t>(note);
}

int32_t TVtMidi::GetCC(int32_t index) const {
    return InRange(index, 0, kMidiControllers - 1) ? settings_.ccList[index] : 0;
}

void TVtMidi::SetCC(int32_t index, int32_t number) {
    if (InRange(index, 0, kMidiControllers - 1)) settings_.ccList[index] = static_cast<uint8_t>(number & 0x7F);
}

bool TVtMidi::GetCCEnable(int32_t index) const {
    return InRange(index, 0, kMidiControllers - 1) && settings_.ccEnable[index];
}

void TVtMidi::SetCCEnable(int32_t index, bool on) {
    if (InRange(index, 0, kMidiControllers - 1)) settings_.ccEnable[index] = on;
}

bool TVtMidi::GetSendEnable(int32_t index) const {
    return InRange(index, 0, kMidiQuantities - 1) && settings_.sendEnable[index];
}

void TVtMidi::SetSendEnable(int32_t index, bool on) {
    if (InRange(index, 0, kMidiQuantities - 1)) settings_.sendEnable[index] = on;
}

bool TVtMidi::IsSysExMode() const {
    return settings_.inModeId == kMidiInMachineControl || settings_.inModeId == kMidiInShowControl;
}

// --- Devices and input --------------------------------------------------------

QStringList TVtMidi::InputDeviceNames() { return platform::Midi().InputNames(); }
QStringList TVtMidi::OutputDeviceNames() { return platform::Midi().OutputNames(); }

bool TVtMidi::StartMidiIn() {
    // A second open of the same device would leave the first one receiving.
    EndMidiIn();
    inOpenedForSysEx_.store(IsSysExMode());
    auto port = platform::Midi().OpenInput(settings_.midiInName,
                                           [this](const uint8_t* bytes, size_t size) { ReceiveInput(bytes, size); });
    if (!port) return false;
    inPort_ = std::move(port);
    openInName_ = settings_.midiInName;
    inIsOpen_.store(true);
    if (openedHook_) openedHook_();
    return true;
}

bool TVtMidi::EndMidiIn() {
    // RtMidi closes at once and no callback runs after the close: there are
    // no buffers to wait for, whatever mode the input was opened in.
    inPort_.reset();
    openInName_.clear();
    inIsOpen_.store(false);
    return true;
}

void TVtMidi::ReceiveInput(const uint8_t* bytes, size_t size) {
    if (bytes == nullptr || size == 0) return;
    if (bytes[0] == kSysExStart)
        ReceiveSysEx(bytes, size);
    else
        ReceiveShort(bytes, size);
}

void TVtMidi::ReceiveShort(const uint8_t* bytes, size_t size) {
    // A note message has two data bytes; a shorter one is not a note.
    if (size < 3) return;
    const uint8_t status = bytes[0];
    uintptr_t kind;
    switch (status & 0xF0) {
    case kNoteOn: kind = kMidiNoteOn; break;
    case kNoteOff: kind = kMidiNoteOff; break;
    default: return;
    }
    if ((status & 0x0F) != inChannel_.load()) {
        if (!testMode_.load()) return;
        kind = kMidiOtherChannel;
    }
    const uint32_t packed = status | (uint32_t{bytes[1]} << 8) | (uint32_t{bytes[2]} << 16);
    platform::PostMessage(messageWindow_.load(), WM_MIDI_INPUT, kind, static_cast<intptr_t>(packed));
}

void TVtMidi::ReceiveSysEx(const uint8_t* bytes, size_t size) {
    if (!inOpenedForSysEx_.load()) return;
    intptr_t number;
    {
        std::lock_guard guard(sysExLock_);
        number = nextSysExNumber_++;
        sysExKept_.emplace_back(number, QByteArray(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size)));
        while (sysExKept_.size() > kSysExKept) sysExKept_.pop_front();
    }
    platform::PostMessage(messageWindow_.load(), WM_MIDI_INPUT, kMidiSysEx, number);
}

QByteArray TVtMidi::GetLongIn(intptr_t number) const {
    std::lock_guard guard(sysExLock_);
    for (const auto& [kept, bytes] : sysExKept_)
        if (kept == number) return bytes;
    return {};
}

TmidiInfo TVtMidi::SplitInput(uint32_t message) {
    TmidiInfo info;
    info.Kanal = static_cast<uint8_t>(message & 0x0F);
    info.Command = static_cast<uint8_t>((message >> 4) & 0x0F);
    info.Id = static_cast<uint8_t>((message >> 8) & 0x7F);
    info.velocity = static_cast<uint8_t>((message >> 16) & 0x7F);
    return info;
}

int32_t TVtMidi::GetStatusShort(uint32_t message) const {
    const TmidiInfo info = SplitInput(message);
    const TMidiSettings& s = settings_;
    int32_t result = kMidiNoAction;
    if (s.inModeId == kMidiInNoteOnOff) {
        if (info.Command == 8 && info.Id == s.inIdOff) result = kMidiStop;
        if (info.Command == 9 && info.Id == s.inIdOn) result = kMidiStart;
        // The sync request wins when both use the same note.
        if (info.Command == 9 && info.Id == s.kInSync && s.inSync) result = kMidiSyncRequest;
    } else if (s.inModeId == kMidiInVelocity && info.Command == 9) {
        if (info.Id == s.inIdOff && info.velocity == 0) result = kMidiStop;
        if (info.Id == s.inIdOn && info.velocity > 0) result = kMidiStart;
    }
    return result;
}

int32_t TVtMidi::GetStatusLong(const QByteArray& bytes) const {
    const qsizetype n = bytes.size();
    const auto at = [&bytes](qsizetype i) { return static_cast<uint8_t>(bytes[i]); };
    if (n < 4) return kMidiBadLength;
    if (at(0) != kSysExStart || at(1) != kUniversalRealTime) return kMidiNotUniversal;
    if (at(2) != kAllDevices && at(2) != settings_.inIdOn) return kMidiOtherDevice;
    if (at(n - 1) != kSysExEnd) return kMidiNotUniversal;
    if (settings_.inModeId == kMidiInMachineControl) {
        if (n != 6) return kMidiBadLength;
        if (at(3) != kMachineControl) return kMidiBadCommand;
        switch (at(4)) {
        case 0x01: return kMidiStop;
        case 0x02:
        case 0x06: return kMidiStart;
        default: return kMidiNoAction;
        }
    }
    if (settings_.inModeId == kMidiInShowControl) {
        if (n < 7) return kMidiBadLength;
        if (at(3) != kShowControl || at(4) != kShowControlSoundFormat) return kMidiBadCommand;
        switch (at(5)) {
        case 0x01: return kMidiStart;
        case 0x02: return kMidiStop;
        default: return kMidiNoAction;
        }
    }
    return kMidiNoAction;
}

// --- Output -------------------------------------------------------------------

void TVtMidi::StartMidiOut() {
    StopMidiOut();
    ResetCCLatches();
    if (settings_.midiOutName.isEmpty() || !settings_.useMidi) return;
    outPort_ = platform::Midi().OpenOutput(settings_.midiOutName);
    if (!outPort_) return;
    openOutName_ = settings_.midiOutName;
    outIsOpen_.store(true);
    if (openedHook_) openedHook_();
}

void TVtMidi::StopMidiOut() {
    outPort_.reset();
    openOutName_.clear();
    outIsOpen_.store(false);
}

void TVtMidi::SendShort(uint8_t status, uint8_t first, uint8_t second) {
    if (!outPort_) return;
    const uint8_t message[3] = {status, static_cast<uint8_t>(first & 0x7F), static_cast<uint8_t>(second & 0x7F)};
    outPort_->Send(message, sizeof message);
}

void TVtMidi::SendOutStatus(int32_t index, bool on) {
    if (!settings_.useMidi || !outIsOpen_.load() || !InRange(index, 0, kMidiStatusNotes - 1)) return;
    if (!settings_.sendEnable[index / 3]) return;
    const uint8_t note = settings_.outMapping[index];
    const uint8_t ch = OutChannel();
    if (on)
        SendShort(kNoteOn | ch, note, 127);
    else
        SendShort((settings_.outModeId == kMidiOutVelocityZero ? kNoteOn : kNoteOff) | ch, note, 0);
}

void TVtMidi::SendStateChange(int32_t quantity, int32_t state) {
    if (!settings_.useMidi || !settings_.sendEnable[quantity] || !InRange(state, 0, 2)) return;
    const int32_t last = lastStates_[quantity];
    if (state == last) return;
    // On before off: the lamp of the new state lights before the old one goes.
    SendOutStatus(quantity * 3 + state, true);
    SendOutStatus(quantity * 3 + last, false);
    lastStates_[quantity] = state;
}

void TVtMidi::SendLeqStatus(int32_t state) { SendStateChange(0, state); }
void TVtMidi::SendLeqKStatus(int32_t state) { SendStateChange(1, state); }
void TVtMidi::SendPeakStatus(int32_t state) { SendStateChange(2, state); }

bool TVtMidi::SendStatusInfo(int32_t status) {
    if (!outIsOpen_.load() || !settings_.inFeedback) return false;
    const uint8_t ch = OutChannel();
    const auto note = static_cast<uint8_t>(settings_.fbKanal);
    if (status == 1) {
        SendShort(kNoteOn | ch, note, 127);
        return true;
    }
    if (status == 2) {
        SendShort((settings_.outModeId == kMidiOutVelocityZero ? kNoteOn : kNoteOff) | ch, note, 0);
        return true;
    }
    return false;
}

void TVtMidi::SendCC(int32_t index, int32_t level) {
    if (!InRange(index, 0, kMidiControllers - 1) || !settings_.ccEnable[index]) return;
    if (level == oldVals_[index]) return;
    // The latch follows even without an open output, as a device that
    // appears later starts from the reset of its opening.
    oldVals_[index] = level;
    SendShort(kControlChange | OutChannel(), settings_.ccList[index], ControllerValue(level));
}

void TVtMidi::SendLevel(int32_t index, int32_t level) {
    if (!outIsOpen_.load() || !InRange(index, 0, kMidiControllers - 1)) return;
    SendShort(kControlChange | OutChannel(), settings_.ccList[index], ControllerValue(level));
}
