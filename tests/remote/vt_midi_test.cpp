// The MIDI object on the loopback device: what its decoders make of every
// kind of received message, what reaches the output device for each call,
// the main window's drive of the outputs, the registry round trip and the
// device watch.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <atomic>
#include <thread>

#include "platform/registry.h"
#include "remote/midi_device_watch.h"
#include "remote/midi_loopback_fixture.h"
#include "support/fake_main_window.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using midi_test::Bytes;
using midi_test::kDesk;
using midi_test::Packed;
using midi_test::Posted;

class MidiObject : public midi_test::MidiLoopbackFixture {};

// --- Decoders ------------------------------------------------------------------

struct ShortCase {
    const char* what;
    int32_t mode;
    bool inSync;
    int32_t syncNote;
    int32_t idOn;
    uint32_t message;
    int32_t expected;
};

TEST_F(MidiObject, ShortMessagesDecodeByMode) {
    const ShortCase cases[] = {
        {"mode 1 start note", 1, true, 42, 40, 0x90 | 40 << 8 | 100 << 16, kMidiStart},
        {"mode 1 start note with velocity 0", 1, true, 42, 40, 0x90 | 40 << 8, kMidiStart},
        {"mode 1 stop note off", 1, true, 42, 40, 0x80 | 41 << 8, kMidiStop},
        {"mode 1 stop note as note on", 1, true, 42, 40, 0x90 | 41 << 8 | 100 << 16, kMidiNoAction},
        {"mode 1 sync request", 1, true, 42, 40, 0x90 | 42 << 8 | 100 << 16, kMidiSyncRequest},
        {"mode 1 sync wins over start on one note", 1, true, 40, 40, 0x90 | 40 << 8 | 100 << 16, kMidiSyncRequest},
        {"mode 1 sync switched off", 1, false, 40, 40, 0x90 | 40 << 8 | 100 << 16, kMidiStart},
        {"channel is not examined", 1, true, 42, 40, 0x95 | 40 << 8 | 100 << 16, kMidiStart},
        {"mode 2 stop is velocity 0", 2, true, 42, 40, 0x90 | 41 << 8, kMidiStop},
        {"mode 2 start needs velocity", 2, true, 42, 40, 0x90 | 40 << 8, kMidiNoAction},
        {"mode 2 start", 2, true, 42, 40, 0x90 | 40 << 8 | 5 << 16, kMidiStart},
        {"mode 2 note off gives nothing", 2, true, 42, 40, 0x80 | 41 << 8, kMidiNoAction},
        {"mode 2 knows no sync request", 2, true, 42, 40, 0x90 | 42 << 8 | 100 << 16, kMidiNoAction},
        {"mode 3 notes do nothing", 3, true, 42, 40, 0x90 | 40 << 8 | 100 << 16, kMidiNoAction},
        {"mode 4 notes do nothing", 4, true, 42, 40, 0x80 | 41 << 8, kMidiNoAction},
    };
    for (const ShortCase& c : cases) {
        midi->SetInModeId(c.mode);
        midi->SetInSync(c.inSync);
        midi->SetKInSync(c.syncNote);
        midi->SetInIdOn(c.idOn);
        EXPECT_EQ(midi->GetStatusShort(c.message), c.expected) << c.what;
    }
    const TmidiInfo info = TVtMidi::SplitInput(0x93 | 40 << 8 | 100 << 16);
    EXPECT_EQ(info.Kanal, 3);
    EXPECT_EQ(info.Command, 9);
    EXPECT_EQ(info.Id, 40);
    EXPECT_EQ(info.velocity, 100);
}

struct LongCase {
    const char* what;
    int32_t mode;
    QByteArray bytes;
    int32_t expected;
};

QByteArray Padded(QByteArray head, int total) {
    head.append(QByteArray(total - head.size() - 1, '\0'));
    head.append('\xF7');
    return head;
}

TEST_F(MidiObject, SystemExclusiveMessagesDecodeByMode) {
    midi->SetInIdOn(40);
    const LongCase cases[] = {
        {"MMC play", 3, Bytes({0xF0, 0x7F, 0x7F, 0x06, 0x02, 0xF7}), kMidiStart},
        {"MMC stop", 3, Bytes({0xF0, 0x7F, 0x7F, 0x06, 0x01, 0xF7}), kMidiStop},
        {"MMC record strobe", 3, Bytes({0xF0, 0x7F, 0x7F, 0x06, 0x06, 0xF7}), kMidiStart},
        {"MMC other command", 3, Bytes({0xF0, 0x7F, 0x7F, 0x06, 0x07, 0xF7}), kMidiNoAction},
        {"MMC one byte too many", 3, Bytes({0xF0, 0x7F, 0x7F, 0x06, 0x02, 0x00, 0xF7}), kMidiBadLength},
        {"MMC other device", 3, Bytes({0xF0, 0x7F, 0x05, 0x06, 0x02, 0xF7}), kMidiOtherDevice},
        {"MMC own device id", 3, Bytes({0xF0, 0x7F, 40, 0x06, 0x02, 0xF7}), kMidiStart},
        {"MMC wrong sub-id", 3, Bytes({0xF0, 0x7F, 0x7F, 0x07, 0x02, 0xF7}), kMidiBadCommand},
        {"non-real-time message", 3, Bytes({0xF0, 0x7E, 0x7F, 0x06, 0x02, 0xF7}), kMidiNotUniversal},
        {"no end byte", 3, Bytes({0xF0, 0x7F, 0x7F, 0x06, 0x02, 0x00}), kMidiNotUniversal},
        {"empty", 3, QByteArray(), kMidiBadLength},
        {"one byte", 3, Bytes({0xF0}), kMidiBadLength},
        {"three bytes", 3, Bytes({0xF0, 0x7F, 0xF7}), kMidiBadLength},
        {"64 KiB in MMC", 3, Padded(Bytes({0xF0, 0x7F, 0x7F, 0x06, 0x02}), 65536), kMidiBadLength},
        {"MSC go", 4, Bytes({0xF0, 0x7F, 0x7F, 0x02, 0x10, 0x01, 0xF7}), kMidiStart},
        {"MSC stop", 4, Bytes({0xF0, 0x7F, 0x7F, 0x02, 0x10, 0x02, 0xF7}), kMidiStop},
        {"MSC other command", 4, Bytes({0xF0, 0x7F, 0x7F, 0x02, 0x10, 0x05, 0xF7}), kMidiNoAction},
        {"MSC lighting format", 4, Bytes({0xF0, 0x7F, 0x7F, 0x02, 0x01, 0x01, 0xF7}), kMidiBadCommand},
        {"MSC without command", 4, Bytes({0xF0, 0x7F, 0x7F, 0x02, 0x10, 0xF7}), kMidiBadLength},
        {"MSC go with cue data, 300 bytes", 4, Padded(Bytes({0xF0, 0x7F, 0x7F, 0x02, 0x10, 0x01}), 300), kMidiStart},
        {"note modes take no system-exclusive command", 1, Bytes({0xF0, 0x7F, 0x7F, 0x06, 0x02, 0xF7}),
         kMidiNoAction},
    };
    for (const LongCase& c : cases) {
        midi->SetInModeId(c.mode);
        EXPECT_EQ(midi->GetStatusLong(c.bytes), c.expected) << c.what;
    }
}

// --- Input ---------------------------------------------------------------------

struct InputCase {
    const char* what;
    int32_t mode;
    bool testMode;
    QByteArray bytes;
    std::vector<Posted> expected;
};

TEST_F(MidiObject, InputPostsNotesOfItsChannelOnly) {
    const InputCase cases[] = {
        {"note on", 1, false, Bytes({0x90, 40, 100}), {{kMidiNoteOn, Packed(0x90, 40, 100)}}},
        {"note on with velocity 0 stays a note on", 1, false, Bytes({0x90, 40, 0}), {{kMidiNoteOn, Packed(0x90, 40, 0)}}},
        {"note off", 2, false, Bytes({0x80, 41, 64}), {{kMidiNoteOff, Packed(0x80, 41, 64)}}},
        {"note on another channel", 1, false, Bytes({0x91, 40, 100}), {}},
        {"another channel in test mode", 1, true, Bytes({0x91, 40, 100}), {{kMidiOtherChannel, Packed(0x91, 40, 100)}}},
        {"notes still posted in a system-exclusive mode", 3, false, Bytes({0x90, 40, 100}),
         {{kMidiNoteOn, Packed(0x90, 40, 100)}}},
        {"controller", 1, true, Bytes({0xB0, 7, 100}), {}},
        {"program change", 1, true, Bytes({0xC0, 5}), {}},
        {"pitch bend", 1, true, Bytes({0xE0, 0, 64}), {}},
        {"one-byte note on", 1, true, Bytes({0x90}), {}},
        {"two-byte note on", 1, true, Bytes({0x90, 40}), {}},
        {"system-exclusive in a note mode", 1, true, Bytes({0xF0, 0x7F, 0x7F, 0x06, 0x02, 0xF7}), {}},
    };
    for (const InputCase& c : cases) {
        midi->SetInModeId(c.mode);
        midi->SetTestMode(c.testMode);
        ASSERT_TRUE(midi->StartMidiIn()) << c.what;
        EXPECT_EQ(FeedAndCollect(c.bytes), c.expected) << c.what;
    }
}

TEST_F(MidiObject, SystemExclusiveArrivesWholeAndStaysFetchable) {
    midi->SetInModeId(kMidiInMachineControl);
    ASSERT_TRUE(midi->StartMidiIn());
    for (const int size : {1, 2, 6, 300, 65536}) {
        const QByteArray message = Padded(Bytes({0xF0}), std::max(size, 2)).left(size);
        const std::vector<Posted> got = FeedAndCollect(message);
        ASSERT_EQ(got.size(), 1u) << size;
        EXPECT_EQ(got[0].kind, kMidiSysEx);
        EXPECT_EQ(midi->GetLongIn(got[0].data), message) << size;
    }
    // A fast sender: only the newest messages stay, an old number gives
    // nothing instead of another message's bytes.
    std::vector<intptr_t> numbers;
    for (int i = 0; i < 40; ++i) {
        loopback.Feed(kDesk, Bytes({0xF0, 0x7F, 0x7F, 0x06, i, 0xF7}));
    }
    posted.clear();
    QCoreApplication::processEvents();
    ASSERT_EQ(posted.size(), 40u);
    EXPECT_TRUE(midi->GetLongIn(posted.front().data).isEmpty());
    EXPECT_EQ(midi->GetLongIn(posted.back().data), Bytes({0xF0, 0x7F, 0x7F, 0x06, 39, 0xF7}));
    EXPECT_EQ(midi->GetLongIn(posted[40 - TVtMidi::kSysExKept].data), Bytes({0xF0, 0x7F, 0x7F, 0x06, 8, 0xF7}));
    EXPECT_TRUE(midi->GetLongIn(-1).isEmpty());
    EXPECT_TRUE(midi->GetLongIn(1'000'000).isEmpty());
}

TEST_F(MidiObject, ClosedInputOrVanishedWindowPostsNothing) {
    ASSERT_TRUE(midi->StartMidiIn());
    EXPECT_TRUE(midi->GetMidiStatus());
    EXPECT_TRUE(midi->EndMidiIn());
    EXPECT_FALSE(midi->GetMidiStatus());
    EXPECT_TRUE(FeedAndCollect(Bytes({0x90, 40, 100})).empty());

    // A mode change while open (a cancelled dialog test) still closes at once.
    midi->SetInModeId(kMidiInShowControl);
    ASSERT_TRUE(midi->StartMidiIn());
    midi->SetInModeId(kMidiInNoteOnOff);
    EXPECT_TRUE(midi->EndMidiIn());
    EXPECT_EQ(loopback.OpenInputCount(), 0);

    ASSERT_TRUE(midi->StartMidiIn());
    platform::UnregisterWindow(window);
    EXPECT_TRUE(FeedAndCollect(Bytes({0x90, 40, 100})).empty());

    midi->SetMidiInName(QStringLiteral("No such desk"));
    EXPECT_FALSE(midi->StartMidiIn());
    midi->SetMidiInName(QString());
    EXPECT_FALSE(midi->StartMidiIn());
}

TEST_F(MidiObject, DeviceNamesMatchWithoutCaseAndTheLastOneWins) {
    platform::MidiLoopback two({QStringLiteral("Pad"), QStringLiteral("PAD")}, {QStringLiteral("Pad")});
    platform::UseMidiSystem(&two);
    midi->SetMidiInName(QStringLiteral("pad"));
    ASSERT_TRUE(midi->StartMidiIn());
    EXPECT_EQ(midi->OpenInputName(), QStringLiteral("pad"));
    // The long or non-ASCII name of a real device is matched the same way.
    const QString longName = QString(200, QChar(u'ä')) + QStringLiteral(" Ü-Pult");
    two.PlugIn(longName, false, true);
    midi->SetMidiOutName(longName.toUpper());
    midi->StartMidiOut();
    EXPECT_TRUE(midi->OutIsOpen());
    midi->EndMidiIn();
    midi->StopMidiOut();
    platform::UseMidiSystem(&loopback);
}

// --- Output --------------------------------------------------------------------

TEST_F(MidiObject, StatusNotesFollowTheStateOnBeforeOff) {
    OpenOutput();
    midi->SendLeqStatus(1);
    midi->SendLeqStatus(1);  // already signalled
    midi->SendLeqStatus(2);
    midi->SendLeqKStatus(2);  // its send enable is off by default
    midi->SendPeakStatus(1);
    EXPECT_EQ(loopback.SentHex(), QStringList({"90 11 7F", "80 10 00", "90 12 7F", "80 11 00"}));

    loopback.ClearSent();
    midi->SetSendEnable(2, true);
    midi->SetOutModeId(kMidiOutVelocityZero);
    midi->SetOutMidiKanal(16);
    midi->SendPeakStatus(2);
    midi->SendLeqStatus(0);
    EXPECT_EQ(loopback.SentHex(), QStringList({"9F 18 7F", "9F 16 00", "9F 10 7F", "9F 12 00"}));
}

TEST_F(MidiObject, FeedbackNoteByOutputMode) {
    OpenOutput();
    EXPECT_TRUE(midi->SendStatusInfo(1));
    EXPECT_TRUE(midi->SendStatusInfo(2));
    EXPECT_FALSE(midi->SendStatusInfo(3));
    midi->SetOutModeId(kMidiOutVelocityZero);
    EXPECT_TRUE(midi->SendStatusInfo(2));
    midi->SetUseInFeedback(false);
    EXPECT_FALSE(midi->SendStatusInfo(1));
    EXPECT_EQ(loopback.SentHex(), QStringList({"90 28 7F", "80 28 00", "90 28 00"}));
}

TEST_F(MidiObject, ControllersScaleLevelsAndLatch) {
    OpenOutput();
    const struct {
        int32_t level;
        const char* sent;
    } scale[] = {{29, "B0 10 00"}, {30, "B0 10 00"}, {100, "B0 10 46"}, {157, "B0 10 7F"}, {400, "B0 10 7F"}};
    for (const auto& c : scale) {
        loopback.ClearSent();
        midi->ResetCCLatches();
        midi->SendCC(0, c.level);
        EXPECT_EQ(loopback.SentHex(), QStringList{c.sent}) << c.level;
    }

    loopback.ClearSent();
    midi->ResetCCLatches();
    midi->SendCC(2, 100);
    midi->SendCC(2, 100);  // unchanged: latched
    midi->ResetCCLatches();
    midi->SendCC(2, 100);  // the reset lets it through again
    midi->ResetCCLatches();
    midi->SendCC(2, 1);    // equals the reset latch
    midi->SetCCEnable(3, false);
    midi->SendCC(3, 90);
    midi->SendCC(5, 90);
    midi->SendCC(-1, 90);
    midi->SetCC(4, 0xFF);  // stored to 7 bits
    midi->SendCC(4, 90);
    midi->SendLevel(1, 50);  // the dialog's test: no latch, no enable
    midi->SendLevel(1, 50);
    EXPECT_EQ(loopback.SentHex(),
              QStringList({"B0 12 46", "B0 12 46", "B0 7F 3C", "B0 11 14", "B0 11 14"}));
}

TEST_F(MidiObject, OutputStaysSilentWhenNotInUseOrClosed) {
    midi->SetUseMidi(false);
    midi->StartMidiOut();
    EXPECT_FALSE(midi->OutIsOpen());
    midi->SetUseMidi(true);
    midi->SendLeqStatus(1);
    midi->SendCC(0, 100);
    midi->SendLevel(0, 100);
    EXPECT_FALSE(midi->SendStatusInfo(1));
    EXPECT_TRUE(loopback.Sent().isEmpty());

    midi->SetMidiOutName(QStringLiteral("No such desk"));
    midi->StartMidiOut();
    EXPECT_FALSE(midi->OutIsOpen());
    midi->SetMidiOutName(kDesk);
    OpenOutput();
    midi->SetUseMidi(false);
    midi->SendOutStatus(0, true);
    midi->SetUseMidi(true);
    midi->SendOutStatus(9, true);
    midi->SendOutStatus(-1, true);
    EXPECT_TRUE(loopback.Sent().isEmpty());
}

// --- The main window's drive -----------------------------------------------------

class DrivenWindow : public test_support::FakeMainWindow {
public:
    bool running = false;
    double peak = 0.0;
    QStringList events;
    bool GetMessungLaeuft() override { return running; }
    double GetCPeak() override { return peak; }
    void AddEventMessage(const QString& text, bool, bool) override { events << text; }
};

class MidiDrive : public midi_test::MidiLoopbackFixture {
protected:
    void SetUp() override {
        MidiLoopbackFixture::SetUp();
        RegisterMainWindowServices(&window_);
        window_.settings.korr[2] = 120.0;
        for (int i = 0; i < kMidiQuantities; ++i) midi->SetSendEnable(i, true);
        OpenOutput();
    }
    void TearDown() override {
        RegisterMainWindowServices(nullptr);
        dispLeq.store(0.0);
        dispLeqK.store(0.0);
        MidiLoopbackFixture::TearDown();
    }
    DrivenWindow window_;
};

const QStringList kResetSequence = {"90 10 7F", "90 13 7F", "90 16 7F", "80 11 00", "80 12 00", "80 14 00", "80 15 00",
                                    "80 17 00", "80 18 00", "B0 13 00", "B0 14 00", "B0 10 00", "B0 11 00", "B0 12 00"};

TEST_F(MidiDrive, ResetPutsEveryLampAndControllerToNormal) {
    midi->SendLeqStatus(1);
    midi->SendCC(0, 120);
    loopback.ClearSent();
    midi->ResetMidiOutputs();
    EXPECT_EQ(loopback.SentHex(), kResetSequence);

    // The reset counts as signalling the normal range: the warning that was
    // signalled before it must light again.
    loopback.ClearSent();
    midi->SendLeqStatus(1);
    EXPECT_EQ(loopback.SentHex(), QStringList({"90 11 7F", "80 10 00"}));

    midi->SetOutModeId(kMidiOutVelocityZero);
    loopback.ClearSent();
    midi->ResetMidiOutputs();
    midi->SendPeakStatus(2);
    midi->SendStatusInfo(2);
    for (const QString& message : loopback.SentHex()) EXPECT_FALSE(message.startsWith('8')) << message.toStdString();
}

TEST_F(MidiDrive, LevelsFollowTheRunAndTheRunOnlySwitch) {
    midi->UpdateMidiCCEnable();
    dispLeq.store(95.4);
    dispLeqK.store(99.5);
    window_.peak = 0.1;  // -20 dBFS + 120 dB = 100 dB
    loopback.ClearSent();

    midi->SendMidiLevels();  // idle, run-only: nothing
    midi->SetRunOnly(false);
    midi->SendMidiLevels();  // idle: short-term Leq and peak, never the Leq
    window_.running = true;
    midi->SendMidiLevels();  // the Leq joins; the others are latched
    window_.peak = 0.0;
    midi->SendMidiLevels();  // no amplitude: controller value 0
    EXPECT_EQ(loopback.SentHex(), QStringList({"B0 11 46", "B0 12 46", "B0 10 41", "B0 12 00"}));
    EXPECT_EQ(TMidiDrive::PeakLevel(1.0, 120.0), 120);
    EXPECT_EQ(TMidiDrive::PeakLevel(-1.0, 120.0), 30);
    EXPECT_EQ(TMidiDrive::PeakLevel(1e300, 1e300), 1000);
}

TEST_F(MidiDrive, ControllersWaitForTheEnableAndItsLatchReset) {
    dispLeqK.store(99.0);
    midi->SetRunOnly(false);
    midi->SendMidiLevels();
    EXPECT_TRUE(loopback.Sent().isEmpty());
    midi->SendCC(1, 99);  // latched already
    loopback.ClearSent();
    midi->UpdateMidiCCEnable();
    midi->SendMidiLevels();
    EXPECT_EQ(loopback.SentHex(), QStringList({"B0 11 45", "B0 12 00"}));
}

// --- Device watch ----------------------------------------------------------------

TEST_F(MidiDrive, UnpluggedDeviceIsClosedAndReportedOnce) {
    QStringList reports;
    TMidiDeviceWatch watch(*midi, [&reports](const QString& text) { reports << text; });
    ASSERT_TRUE(midi->StartMidiIn());
    watch.CheckDevices();
    EXPECT_TRUE(reports.isEmpty());

    loopback.Unplug(kDesk);
    midi->SendCC(0, 100);  // a send to a vanished device is harmless
    watch.CheckDevices();
    watch.CheckDevices();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(QStringLiteral("\"Desk\""))) << reports[0].toStdString();
    EXPECT_FALSE(midi->GetMidiStatus());
    EXPECT_FALSE(midi->OutIsOpen());
    midi->SendLeqStatus(2);
    EXPECT_FALSE(midi->SendStatusInfo(1));

    // Back again: the next starts open it.
    loopback.PlugIn(kDesk, true, true);
    EXPECT_TRUE(midi->StartMidiIn());
    midi->StartMidiOut();
    EXPECT_TRUE(midi->OutIsOpen());

    const int32_t before = language.load();
    language.store(kLangGerman);
    EXPECT_TRUE(VanishedMidiDeviceText(kDesk).startsWith(QStringLiteral("Das MIDI-Gerät \"Desk\"")));
    language.store(before);
}

// --- Registry ------------------------------------------------------------------

class MidiRegistry : public midi_test::MidiLoopbackFixture {
protected:
    void SetUp() override {
        MidiLoopbackFixture::SetUp();
        ASSERT_TRUE(folder_.isValid());
        platform::Registry::SetHiveFiles(folder_.filePath("user.hive"), folder_.filePath("machine.hive"));
    }
    void TearDown() override {
        platform::Registry::SetHiveFiles(QString(), QString());
        MidiLoopbackFixture::TearDown();
    }
    QTemporaryDir folder_;
    const QString key_ = QStringLiteral("Software\\Brask Soft\\Veltaro2026");
};

TEST_F(MidiRegistry, SettingsRoundTripAndOnlyTheThreeSendEnables) {
    TVtMidi& m = *midi;
    m.SetMidiInName(QStringLiteral("Pult Ä"));
    m.SetMidiOutName(QStringLiteral("Licht"));
    m.SetInModeId(4);
    m.SetInMidiKanal(16);
    m.SetInIdOn(7);
    m.SetInIdOff(8);
    m.SetUseInFeedback(false);
    m.SetFBKanal(99);
    m.SetOutModeId(2);
    m.SetOutMidiKanal(3);
    m.SetRunOnly(false);
    m.SetUseMidi(false);
    m.SetInSync(false);
    m.SetKInSync(0);
    m.SetOutMapping(Bytes({1, 2, 3, 4, 5, 6, 7, 8, 127}));
    for (int i = 0; i < kMidiControllers; ++i) m.SetCC(i, 100 + i);
    m.SetCCEnable(2, false);
    m.SetSendEnable(0, false);
    m.SetSendEnable(2, true);
    m.SaveToReg(key_);

    TVtMidi loaded;
    loaded.LoadFromReg(key_);
    EXPECT_TRUE(loaded.Settings() == m.Settings());

    platform::Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(key_));
    const QStringList names = reg.GetValueNames();
    EXPECT_TRUE(names.contains(QStringLiteral("MidiSendEnable 2")));
    EXPECT_FALSE(names.contains(QStringLiteral("MidiSendEnable 3")));
    EXPECT_TRUE(names.contains(QStringLiteral("MidiOutMapping 8")));
    reg.CloseKey();

    ASSERT_TRUE(reg.OpenKey(key_, true));
    reg.WriteBool(QStringLiteral("MidiSendEnable 3"), true);
    reg.CloseKey();
    TVtMidi again;
    again.LoadFromReg(key_);
    EXPECT_FALSE(again.GetSendEnable(3));
    EXPECT_TRUE(again.Settings() == m.Settings());
}

TEST_F(MidiRegistry, ValuesTheProgramNeverWritesKeepTheDefaults) {
    platform::Registry reg;
    ASSERT_TRUE(reg.OpenKey(key_, true));
    reg.WriteInteger(QStringLiteral("midiinkanal"), 17);
    reg.WriteInteger(QStringLiteral("MidiOutKanal"), 0);
    reg.WriteInteger(QStringLiteral("MidiInModeId"), 5);
    reg.WriteInteger(QStringLiteral("MidiOutModeId"), 3);
    reg.WriteInteger(QStringLiteral("MidiInIdOn"), 128);
    reg.WriteInteger(QStringLiteral("MidiOutMapping 0"), 200);
    reg.WriteInteger(QStringLiteral("MidiCCList 1"), -1);
    reg.WriteString(QStringLiteral("MidiFBKanal"), QStringLiteral("40"));  // wrong type
    reg.WriteInteger(QStringLiteral("MidiKInSync"), 50);                 // a good one beside them
    reg.CloseKey();

    TVtMidi loaded;
    loaded.LoadFromReg(key_);
    TMidiSettings expected;
    expected.kInSync = 50;
    EXPECT_TRUE(loaded.Settings() == expected);

    TVtMidi untouched;
    untouched.LoadFromReg(QStringLiteral("Software\\Nobody"));
    EXPECT_TRUE(untouched.Settings() == TMidiSettings());
}

TEST_F(MidiObject, SettersRefuseOutOfRangeAndBackupRestoresEverything) {
    const TMidiSettings defaults = midi->Settings();
    midi->DoBackUp();
    midi->SetInMidiKanal(0);
    midi->SetInMidiKanal(17);
    midi->SetInModeId(9);
    midi->ChangeMapping(9, 10);
    midi->ChangeMapping(0, 128);
    midi->SetOutMapping(Bytes({1, 2, 3}));
    EXPECT_FALSE(midi->SetOutModeId(0));
    EXPECT_FALSE(midi->SetOutMidiKanal(1));  // unchanged
    EXPECT_TRUE(midi->Settings() == defaults);
    EXPECT_EQ(midi->GetOutMapping(9), -1);
    EXPECT_EQ(midi->GetCC(5), 0);
    EXPECT_FALSE(midi->GetCCEnable(-1));

    midi->SetInMidiKanal(2);
    midi->ChangeMapping(4, 60);
    EXPECT_TRUE(midi->SetUseInFeedback(false));
    EXPECT_FALSE(midi->SetUseInFeedback(false));
    midi->RestoreBackup();
    EXPECT_TRUE(midi->Settings() == defaults);
    // The channel the input accepts follows the restored setting.
    ASSERT_TRUE(midi->StartMidiIn());
    EXPECT_EQ(FeedAndCollect(Bytes({0x90, 40, 100})).size(), 1u);
}

// --- Threads --------------------------------------------------------------------

class MidiInputConcurrent : public midi_test::MidiLoopbackFixture {};

// The device's thread keeps delivering notes and system-exclusive messages
// while the main thread closes and reopens the input, changes its channel
// and mode and moves the receiving window; nothing is posted to a window
// that is gone and every delivered message arrives whole.
TEST_F(MidiInputConcurrent, InputWhileTheMainThreadClosesAndReregisters) {
    midi->SetInModeId(kMidiInShowControl);
    ASSERT_TRUE(midi->StartMidiIn());
    std::atomic<bool> stop{false};
    std::thread device([this, &stop] {
        const QByteArray note = Bytes({0x90, 40, 100});
        const QByteArray sysEx = Bytes({0xF0, 0x7F, 0x7F, 0x02, 0x10, 0x01, 0xF7});
        // A bounded burst: an endless one could keep the main thread's
        // event loop busy for ever.
        for (int i = 0; i < 20000 && !stop.load(); ++i) loopback.Feed(kDesk, i % 2 ? note : sysEx);
    });
    // The device's thread is delivering before the main thread starts moving.
    ASSERT_TRUE(midi_test::ProcessUntil([this] { return !posted.empty(); }));
    int received = 0;
    for (int round = 0; round < 200; ++round) {
        const platform::WindowHandle other = platform::RegisterWindow([&](uint32_t, uintptr_t kind, intptr_t data) {
            ++received;
            if (kind == kMidiSysEx) {
                const QByteArray bytes = midi->GetLongIn(data);
                EXPECT_TRUE(bytes.isEmpty() || bytes.size() == 7);
            }
        });
        midi->SetMessageHandle(other);
        QCoreApplication::processEvents();
        if (round % 3 == 0) {
            midi->EndMidiIn();
            midi->SetInMidiKanal(round % 2 ? 2 : 1);
            midi->SetTestMode(round % 2 == 0);
            midi->StartMidiIn();
        }
        platform::UnregisterWindow(other);
        midi->SetMessageHandle(window);
        QCoreApplication::processEvents();
    }
    stop.store(true);
    device.join();
    midi->EndMidiIn();
    QCoreApplication::processEvents();
    EXPECT_FALSE(posted.empty());
}

}  // namespace
