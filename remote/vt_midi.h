#pragma once
// The MIDI object: one input and one output device. The output signals the
// state of Leq, short-term Leq and peak as status notes, the start and stop
// of a measurement as a feedback note, and five levels as controllers. The
// input posts received notes (and, in the two system-exclusive command modes,
// system-exclusive messages) as WM_MIDI_INPUT to the registered window and
// decodes them into commands. It holds all MIDI settings, a backup copy of
// them for a cancelled setup dialog, and their registry values.
//
// Threads: everything runs on the GUI thread except the input callback,
// which runs on the MIDI back-end's thread; it reads only atomics and the
// system-exclusive store (under its own lock) and reaches windows only by
// posting.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/midi_ports.h"
#include "platform/window_messages.h"
#include "remote/midi_drive.h"
#include "ui_kit/services/midi_services.h"

// One received short message split into its parts.
struct TmidiInfo {
    uint8_t Kanal = 0;     // channel 0..15 (low nibble of the status byte)
    uint8_t Command = 0;   // high nibble of the status byte: 8 note off, 9 note on
    uint8_t Id = 0;        // first data byte: the note number
    uint8_t velocity = 0;  // second data byte
};

// Notification kinds of WM_MIDI_INPUT (wParam).
inline constexpr uintptr_t kMidiNoteOn = 1;
inline constexpr uintptr_t kMidiNoteOff = 2;
inline constexpr uintptr_t kMidiSysEx = 3;          // lParam: the number for GetLongIn
inline constexpr uintptr_t kMidiOtherChannel = 4;  // test mode only

// Results of GetStatusShort and GetStatusLong.
inline constexpr int32_t kMidiStart = 1;
inline constexpr int32_t kMidiStop = 2;
inline constexpr int32_t kMidiNoAction = 3;
inline constexpr int32_t kMidiNotUniversal = 4;
inline constexpr int32_t kMidiBadCommand = 5;
inline constexpr int32_t kMidiOtherDevice = 6;
inline constexpr int32_t kMidiBadLength = 7;
inline constexpr int32_t kMidiSyncRequest = 8;

// Input command modes and output modes.
inline constexpr int32_t kMidiInNoteOnOff = 1;
inline constexpr int32_t kMidiInVelocity = 2;
inline constexpr int32_t kMidiInMachineControl = 3;
inline constexpr int32_t kMidiInShowControl = 4;
inline constexpr int32_t kMidiOutNoteOff = 1;
inline constexpr int32_t kMidiOutVelocityZero = 2;

inline constexpr int32_t kMidiStatusNotes = 9;
inline constexpr int32_t kMidiControllers = 5;
inline constexpr int32_t kMidiQuantities = 3;

// Every setting of the MIDI object; the backup is a second copy.
struct TMidiSettings {
    QString midiInName;
    int32_t inModeId = kMidiInNoteOnOff;
    int32_t inKanal = 1;
    int32_t inIdOn = 40;
    int32_t inIdOff = 41;
    bool inFeedback = true;
    int32_t fbKanal = 40;
    bool runOnly = true;
    bool useMidi = true;
    QString midiOutName;
    int32_t outModeId = kMidiOutNoteOff;
    int32_t outKanal = 1;
    std::array<uint8_t, kMidiStatusNotes> outMapping{16, 17, 18, 19, 20, 21, 22, 23, 24};
    std::array<uint8_t, kMidiControllers> ccList{16, 17, 18, 19, 20};
    std::array<bool, kMidiControllers> ccEnable{true, true, true, true, true};
    std::array<bool, kMidiQuantities> sendEnable{true, false, false};
    bool inSync = true;
    int32_t kInSync = 42;

    bool operator==(const TMidiSettings&) const = default;
};

class TVtMidi : public MidiServices {
public:
    TVtMidi();
    // Closes input and output: the input callback refers to this object.
    ~TVtMidi() override;
    TVtMidi(const TVtMidi&) = delete;
    TVtMidi& operator=(const TVtMidi&) = delete;

    // --- Settings ---
    void LoadFromReg(const QString& key);
    void SaveToReg(const QString& key) const;
    void DoBackUp() { backup_ = settings_; }
    void RestoreBackup();
    const TMidiSettings& Settings() const { return settings_; }

    QString GetMidiInName() const { return settings_.midiInName; }
    void SetMidiInName(const QString& name) { settings_.midiInName = name; }
    QString GetMidiOutName() const { return settings_.midiOutName; }
    void SetMidiOutName(const QString& name) { settings_.midiOutName = name; }
    int32_t GetInModeId() const { return settings_.inModeId; }
    void SetInModeId(int32_t mode);
    int32_t GetInMidiKanal() const { return settings_.inKanal; }
    void SetInMidiKanal(int32_t channel);
    int32_t GetInIdOn() const { return settings_.inIdOn; }
    void SetInIdOn(int32_t id);
    int32_t GetInIdOff() const { return settings_.inIdOff; }
    void SetInIdOff(int32_t id);
    bool GetUseInFeedback() const { return settings_.inFeedback; }
    bool SetUseInFeedback(bool on);
    int32_t GetFBKanal() const { return settings_.fbKanal; }
    void SetFBKanal(int32_t note);
    int32_t GetOutModeId() const { return settings_.outModeId; }
    bool SetOutModeId(int32_t mode);
    int32_t GetOutMidiKanal() const { return settings_.outKanal; }
    bool SetOutMidiKanal(int32_t channel);
    bool GetRunOnly() const { return settings_.runOnly; }
    void SetRunOnly(bool on) { settings_.runOnly = on; }
    bool GetUseMidi() const { return settings_.useMidi; }
    void SetUseMidi(bool on) { settings_.useMidi = on; }
    bool GetInSync() const { return settings_.inSync; }
    void SetInSync(bool on) { settings_.inSync = on; }
    int32_t GetKInSync() const { return settings_.kInSync; }
    void SetKInSync(int32_t note);

    // Status note 0..8; -1 for another index.
    int32_t GetOutMapping(int32_t index) const;
    std::array<uint8_t, kMidiStatusNotes> GetOutMapping() const { return settings_.outMapping; }
    void SetOutMapping(const QByteArray& notes);
    void ChangeMapping(int32_t index, int32_t note);
    int32_t GetCC(int32_t index) const;
    void SetCC(int32_t index, int32_t number);
    bool GetCCEnable(int32_t index) const;
    void SetCCEnable(int32_t index, bool on);
    bool GetSendEnable(int32_t index) const;
    void SetSendEnable(int32_t index, bool on);

    void SetMessageHandle(platform::WindowHandle window) { messageWindow_.store(window); }
    platform::WindowHandle GetMessageHandle() const { return messageWindow_.load(); }
    void SetTestMode(bool on) { testMode_.store(on); }
    bool GetTestMode() const { return testMode_.load(); }

    // --- Devices ---
    static QStringList InputDeviceNames();
    static QStringList OutputDeviceNames();
    // The device names the open input and output were opened on; empty
    // while closed.
    QString OpenInputName() const { return openInName_; }
    QString OpenOutputName() const { return openOutName_; }

    // Called after each successful open of input or output (the device watch).
    void SetOpenedHook(std::function<void()> hook) { openedHook_ = std::move(hook); }

    // --- Input ---
    // Opens the input named in the settings; an open input is closed first.
    bool StartMidiIn();
    // Closes the input at once, whatever mode it was opened in.
    bool EndMidiIn();
    bool GetMidiStatus() const { return inIsOpen_.load(); }
    // The system-exclusive message that the notification with this number
    // announced; empty once it has left the store or for an unknown number.
    QByteArray GetLongIn(intptr_t number) const;
    static TmidiInfo SplitInput(uint32_t message);
    int32_t GetStatusShort(uint32_t message) const;
    int32_t GetStatusLong(const QByteArray& bytes) const;

    // --- Output ---
    void StartMidiOut();
    void StopMidiOut();
    bool OutIsOpen() const { return outIsOpen_.load(); }
    void SendOutStatus(int32_t index, bool on);
    void SendPeakStatus(int32_t state) override;
    void SendLeqStatus(int32_t state) override;
    void SendLeqKStatus(int32_t state) override;
    bool SendStatusInfo(int32_t status) override;
    void SendCC(int32_t index, int32_t level) override;
    void SendLevel(int32_t index, int32_t level);
    void ResetCCLatches() { oldVals_.fill(1); }
    // The normal range counted as signalled for all three quantities.
    void ForgetSignalledStates() { lastStates_.fill(0); }

    // --- The main window's drive ---
    void ResetMidiOutputs() override { drive_.ResetMidiOutputs(*this); }
    void SendMidiLevels() override { drive_.SendMidiLevels(*this); }
    void UpdateMidiCCEnable() override { drive_.UpdateMidiCCEnable(*this); }

    // Number of system-exclusive messages the store keeps for the receivers.
    static constexpr size_t kSysExKept = 32;

private:
    void ReceiveInput(const uint8_t* bytes, size_t size);
    void ReceiveShort(const uint8_t* bytes, size_t size);
    void ReceiveSysEx(const uint8_t* bytes, size_t size);
    void SendStateChange(int32_t quantity, int32_t state);
    void SendShort(uint8_t status, uint8_t first, uint8_t second);
    uint8_t OutChannel() const { return static_cast<uint8_t>((settings_.outKanal - 1) & 0x0F); }
    bool IsSysExMode() const;

    TMidiSettings settings_;
    TMidiSettings backup_;
    std::array<int32_t, kMidiControllers> oldVals_{};
    std::array<int32_t, kMidiQuantities> lastStates_{};
    TMidiDrive drive_;

    // Read by the input callback.
    std::atomic<bool> inIsOpen_{false};
    std::atomic<bool> outIsOpen_{false};
    std::atomic<bool> testMode_{false};
    std::atomic<int32_t> inChannel_{0};
    std::atomic<bool> inOpenedForSysEx_{false};
    std::atomic<platform::WindowHandle> messageWindow_{0};

    mutable std::mutex sysExLock_;
    std::deque<std::pair<intptr_t, QByteArray>> sysExKept_;
    intptr_t nextSysExNumber_ = 0;

    std::unique_ptr<platform::MidiInPort> inPort_;
    std::unique_ptr<platform::MidiOutPort> outPort_;
    QString openInName_;
    QString openOutName_;
    std::function<void()> openedHook_;
};
