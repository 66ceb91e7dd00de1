// The limit events of a running measurement, their MIDI notes, the event
// popups and the WAV recordings they start: on the real main window with the
// simulated sine as input, fakes for the subsystems around it and a
// recording fake for MIDI.
#include "main/main_window.h"

#include "measuring_window_fixture.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "audio/value_reader.h"
#include "audio/vu_meter_thread.h"
#include "platform/registry.h"
#include "platform/simulated_audio.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "store/preset_handler.h"
#include "support/fake_services.h"
#include "support/wav_read_back.h"
#include "ui_kit/info_window.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using platform::Registry;
using test_support::ProcessUntil;

// The tone reads 94 dB, its peak 97 dB.
class RecordingRunConcurrent : public test_support::MeasuringWindowConcurrent {
protected:
    void SetUp() override {
        MeasuringWindowConcurrent::SetUp();
        RegisterMidiObject(&midi);
    }
    void TearDown() override {
        MeasuringWindowConcurrent::TearDown();
        RegisterMidiObject(nullptr);
        recRecordP = false;
        recUseSubDir = true;
        recPre = 1;
        recPost = 4;
        recMax = 60;
    }

    // The program with the sine, the measurement file name, every quantity
    // forced into the protocol and the Leq in one-minute blocks.
    void StartProgram(double peakLimit, double sineLevelDb = -20.0) {
        WriteSettings([](Registry& reg) { reg.WriteString("WaveInName", platform::kSimulatedSineName); });
        WriteSettings([sineLevelDb](Registry& reg) { reg.WriteFloat("SineLevel", sineLevelDb); },
                      platform::kSimulatedAudioKey);
        Start();
        window->Settings().doFileName = true;
        window->Settings().doAutoFileName = false;
        window->Settings().tsEnd = false;
        defaultDaten.load()->SetDrawInterval(1);
        defaultDaten.load()->SetKorrArt(0);
        TVTPreset preset = presetHandler.load()->GetPreset(kDinPresetId);
        preset.messungen[kPresetEntryLeq].Dauer = 60;
        for (auto& entry : preset.messungen) {
            entry.Status = 2;
            // Within reach of the chain (full scale reads 117 dB), far above the tone.
            entry.Rot = 110.0;
            entry.Gelb = 105.0;
        }
        preset.messungen[kPresetEntryPeak].Rot = peakLimit;
        preset.messungen[kPresetEntryPeak].Gelb = peakLimit - 5.0;
        preset.endDirect = true;
        preset.offCheck = false;
        presetHandler.load()->SetPreset(kCurrentPresetId, preset);
    }
    // Starts a run into file once the recording ring holds more than the
    // pre-run; without the level check for a silent input.
    void StartRun(const QString& file, bool levelCheck = true) {
        window->Settings().sRecFileName = file;
        ASSERT_TRUE(ProcessUntil([] { return recRing.Position() > 2 * TRecordIt::kSampleRate; }));
        if (levelCheck) window->aMessungStartenExecute();
        else window->aFreeStartExecute();
        ASSERT_TRUE(window->GetMessungLaeuft());
    }
    void StopRun() {
        window->StopMessung(3);
        ASSERT_FALSE(window->GetMessungLaeuft());
    }
    // The texts of the event lines added since from lines were there, oldest first.
    QStringList EventsSince(qsizetype from) const {
        QStringList texts;
        const QStringList& lines = window->EventLines();
        for (qsizetype i = lines.size() - from - 1; i >= 0; --i) texts << lines[i].section(QStringLiteral(": "), 1);
        return texts;
    }
    void Notify(uintptr_t code, std::initializer_list<intptr_t> arguments) {
        for (intptr_t argument : arguments) window->WMMainNotify(code, argument);
    }
    QString Exceed(const QString& label) const { return GetLangText(896) + QLatin1Char(' ') + label; }
    QString FallBelow(const QString& label) const { return GetLangText(897) + QLatin1Char(' ') + label; }
    int CountSeen(uintptr_t code) const { return static_cast<int>(std::count(seen.begin(), seen.end(), code)); }

    test_support::FakeMidi midi;
};

TEST_F(RecordingRunConcurrent, LimitStatesWriteEventsAndSendMidi) {
    StartProgram(115.0);
    // Idle: the short-term Leq's note reaches MIDI, but no line is written.
    const qsizetype idleLines = window->EventLines().size();
    Notify(kNotifyLeqKState, {2, 0});
    EXPECT_EQ(midi.sent, QStringList({"leqk 2", "leqk 0"}));
    EXPECT_EQ(window->EventLines().size(), idleLines);

    StartRun(dir.filePath("Limits.vtm"));
    EXPECT_TRUE(midi.sent.contains("status 1"));
    // The calculation's first reports have come in: from here the test's own
    // reports are the only changes (the tone stays far below every limit).
    ASSERT_TRUE(ProcessUntil([] { return messDaten.load()->GetWerteAnzahl() >= 2; }));
    const TDaten* store = defaultDaten.load();
    const QString peak = store->GetPeakLabel();
    const QString leq = store->GetLEQLabel(language.load());

    Notify(kNotifyPeakState, {1});
    Notify(kNotifyLeqState, {1});
    midi.sent.clear();
    qsizetype from = window->EventLines().size();
    Notify(kNotifyPeakState, {0, 2, 1, 2, 0});
    EXPECT_EQ(midi.sent, QStringList({"peak 0", "peak 2", "peak 1", "peak 2", "peak 0"}));
    EXPECT_EQ(EventsSince(from), QStringList({Exceed(peak), FallBelow(peak), Exceed(peak), FallBelow(peak)}));

    midi.sent.clear();
    from = window->EventLines().size();
    Notify(kNotifyLeqState, {0, 1, 0});
    EXPECT_EQ(EventsSince(from), QStringList());
    Notify(kNotifyLeqState, {2, 2});
    EXPECT_EQ(EventsSince(from), QStringList({Exceed(leq)}));
    EXPECT_EQ(midi.sent, QStringList({"leq 0", "leq 1", "leq 0", "leq 2"}));

    // A peak not forced into the protocol: its notes, nothing else.
    defaultDaten.load()->SetProtStatus(2, 2, 1);
    midi.sent.clear();
    from = window->EventLines().size();
    Notify(kNotifyPeakState, {2, 0});
    EXPECT_EQ(midi.sent, QStringList({"peak 2", "peak 0"}));
    EXPECT_EQ(EventsSince(from), QStringList());
    EXPECT_FALSE(window->Recording());

    // A new highest Leq: the maxima, controller 3 and the maxima text.
    midi.sent.clear();
    const int maxTexts = CountSeen(kNotifyMaxText);
    Notify(kNotifyNewLeqMax, {0});
    ASSERT_EQ(midi.sent.size(), 1);
    EXPECT_EQ(midi.sent[0], QStringLiteral("cc 3 %1").arg(std::lround(dispMaxLeq.load())));
    EXPECT_TRUE(ProcessUntil([&] { return CountSeen(kNotifyMaxText) > maxTexts; }));

    // In fixed intervals each first-over report of the Leq adds its line;
    // the maxima text leaves the lines alone.
    ASSERT_TRUE(store->GetIsInterval());
    const QStringList memo = window->MemoLines();
    Notify(kNotifyLeqOverLimit, {2, 2});
    const QStringList added = window->MemoLines().mid(memo.size());
    ASSERT_EQ(added.size(), 2);
    EXPECT_TRUE(added[0].startsWith(leq + QStringLiteral(" > 110 dB ") + GetLangText(575))) << added[0].toStdString();
    Notify(kNotifyMaxText, {0});
    EXPECT_EQ(window->MemoLines().size(), memo.size() + 2);
}

TEST_F(RecordingRunConcurrent, BringToFrontOnceUntilEveryLatchedLevelLeftTheZone) {
    StartProgram(115.0);
    StartRun(dir.filePath("Front.vtm"));
    // The tone's own checks stay far from every limit and never post.
    window->Settings().aeLimit = 3;
    window->CheckAutoFront(2.5, 0);   // the Leq comes close: to the front
    window->CheckAutoFront(2.0, 2);   // the peak too: not again
    window->CheckAutoFront(10.0, 0);  // the Leq leaves
    window->CheckAutoFront(10.0, 2);  // the peak leaves
    window->CheckAutoFront(1.0, 2);   // the next approach: to the front
    window->CheckAutoFront(10.0, 2);
    window->Settings().aeLimit = 0;
    window->CheckAutoFront(0.5, 1);   // close but below: nothing
    window->CheckAutoFront(-0.5, 1);  // over its limit: to the front
    ASSERT_TRUE(ProcessUntil([&] { return CountSeen(kNotifyBringToFront) >= 3; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(CountSeen(kNotifyBringToFront), 3);
}

TEST_F(RecordingRunConcurrent, MessageListPopupAndLanguageStatus) {
    StartProgram(115.0);
    StartRun(dir.filePath("Popups.vtm"));
    for (const char* text : {"first", "second", "third"}) window->AddEventMessage(QString::fromLatin1(text), false, false);
    const TDaten* run = messDaten.load();
    window->ShowMessageList();
    TinfoWindow* popup = infoWindow.load();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->head, GetLangText(861));
    const QStringList lines = popup->infoIntern.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), run->GetSmsCount());
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral(": third")));
    window->CloseInfoWindow();

    // A click on the peak display's maximum row.
    Notify(kNotifyPeakPopup, {1});
    popup = infoWindow.load();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->head, GetLangText(301));
    EXPECT_TRUE(popup->infoIntern.contains(QStringLiteral(" dB\r\n\r\n") + GetLangText(302)));
    window->CloseInfoWindow();

    Notify(kNotifyLanguage, {1, 2});
    const QString status = window->StatusSlot(0);
    EXPECT_TRUE(status.startsWith(GetLangText(61))) << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral(", "))) << status.toStdString();
}

TEST_F(RecordingRunConcurrent, APeriodWithoutAPeakShowsDashesInItsPopup) {
    StartProgram(115.0, -200.0);
    StartRun(dir.filePath("Silent.vtm"), false);
    ASSERT_TRUE(ProcessUntil([] { return messDaten.load()->GetWerteAnzahl() >= 1; }));
    ASSERT_TRUE(defaultDaten.load()->GetIsInterval());
    Notify(kNotifyPeakPopup, {0});
    TinfoWindow* popup = infoWindow.load();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->head, GetLangText(304));
    EXPECT_TRUE(popup->infoIntern.startsWith(QStringLiteral("---\r\n\r\n"))) << popup->infoIntern.toStdString();
    window->CloseInfoWindow();
}

// A tone over the peak limit from the start: the "Exceed" starts a recording
// with a second of pre-run that runs on for a second and ends by itself.
TEST_F(RecordingRunConcurrent, ExceedRecordsTheToneIntoTheMeasurementsFolder) {
    StartProgram(90.0);
    recRecordP = true;
    recUseSubDir = true;
    recPre = 1;
    recPost = 1;
    const QString measurement = dir.filePath("Show.vtm");
    StartRun(measurement);
    ASSERT_TRUE(ProcessUntil([&] { return window->Recording(); }));
    // A second "Exceed" while it runs extends it: no second file.
    Notify(kNotifyPeakState, {0, 2});
    ASSERT_TRUE(ProcessUntil([&] { return !window->Recording(); }));
    ASSERT_EQ(CountSeen(kNotifyRecorderEnded), 1);
    StopRun();

    const QString recording = dir.filePath("Show/REC_1.WAV");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Show/REC_2.WAV")));
    const auto wav = test_support::ReadWav(recording);
    ASSERT_TRUE(wav.opened);
    // The pre-run, then the run-on's five ticks (extended once by the
    // second "Exceed", which may come a tick after the first).
    const double seconds = static_cast<double>(wav.samples.size()) / TRecordIt::kSampleRate;
    EXPECT_GE(seconds, 1.0 + 1.25 - 0.25);
    EXPECT_LE(seconds, 1.0 + 2 * 1.25 + 0.25);
    double energy = 0.0;
    for (int16_t s : wav.samples) energy += (s / 32767.0) * (s / 32767.0);
    EXPECT_NEAR(10.0 * std::log10(energy / static_cast<double>(wav.samples.size())), -23.01, 0.1);
    EXPECT_EQ(wav.track, "1");

    TDaten file;
    ASSERT_EQ(file.LoadFromFile(measurement, 1), 0);
    QStringList messages;
    for (int32_t i = 0; i < file.GetSmsCount(); ++i) messages << file.GetSms(i).meldung;
    EXPECT_TRUE(messages.contains(Exceed(file.GetPeakLabel()))) << messages.join('|').toStdString();
    EXPECT_TRUE(messages.contains(recording)) << messages.join('|').toStdString();
}

TEST_F(RecordingRunConcurrent, RecordingsBesideTheFileCountFromOneInEachRun) {
    StartProgram(115.0);
    recUseSubDir = false;
    recPost = 60;
    const QStringList names{QStringLiteral("Show"), QStringLiteral("Next")};
    for (int run = 1; run <= 2; ++run) {
        StartRun(dir.filePath(names[run - 1] + QStringLiteral(".vtm")));
        const int ended = CountSeen(kNotifyRecorderEnded);
        const int recordings = run == 1 ? 3 : 1;
        for (int i = 0; i < recordings; ++i) {
            window->StartRecording();
            ASSERT_TRUE(window->Recording());
            window->StopRecording();
            EXPECT_FALSE(window->Recording());
        }
        ASSERT_TRUE(ProcessUntil([&] { return CountSeen(kNotifyRecorderEnded) == ended + recordings; }));
        StopRun();
        for (int n = 1; n <= recordings; ++n) {
            EXPECT_TRUE(test_support::ReadWav(dir.filePath(names[run - 1] + QStringLiteral("_REC_%1.WAV").arg(n))).opened)
                << run << " " << n;
        }
    }
    // No measurement, no recording.
    window->StartRecording();
    EXPECT_FALSE(window->Recording());
}

TEST_F(RecordingRunConcurrent, AFolderDeletedUnderARecordingIsReportedAndLeavesNoFile) {
    StartProgram(115.0);
    StartRun(dir.filePath("Gone.vtm"));
    window->StartRecording();
    ASSERT_TRUE(window->Recording());
    ASSERT_TRUE(QDir(dir.filePath("Gone")).removeRecursively());
    const qsizetype from = window->EventLines().size();
    window->StopRecording();
    ASSERT_TRUE(ProcessUntil([&] { return CountSeen(kNotifyThreadFailure) > 0; }));
    // (A slow build may add lines of its own, about values it lost.)
    EXPECT_TRUE(EventsSince(from).contains(QStringLiteral("Record First Assign Crash")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Gone/REC_1.WAV")));
    EXPECT_TRUE(window->GetMessungLaeuft());
    // The recorder that failed is forgotten; its late end notice changes nothing.
    window->WMMainNotify(kNotifyRecorderEnded, 1);
    EXPECT_FALSE(window->Recording());
}

// The recordings' folder on a 50 MB file system, mounted in a mount
// namespace of the test's main thread only (where the window checks its
// targets); the namespace the test came from is joined again at the end.
class SmallFolder {
public:
    explicit SmallFolder(const QString& folder) : folder_(folder.toLocal8Bit()) {
        origin_ = open("/proc/thread-self/ns/mnt", O_RDONLY | O_CLOEXEC);
        if (origin_ < 0) {
            refused_ = Why("open /proc/thread-self/ns/mnt");
        } else if (unshare(CLONE_NEWNS) != 0) {
            refused_ = Why("unshare(CLONE_NEWNS)");
        } else if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            refused_ = Why("making / private");
        } else if (mount("tmpfs", folder_.constData(), "tmpfs", 0, "size=50m") != 0) {
            refused_ = Why("mounting a tmpfs");
        } else {
            mounted_ = true;
        }
    }
    ~SmallFolder() {
        if (mounted_) umount2(folder_.constData(), MNT_DETACH);
        if (origin_ >= 0) {
            setns(origin_, CLONE_NEWNS);
            close(origin_);
        }
    }
    const std::string& Refused() const { return refused_; }

private:
    static std::string Why(const char* step) { return std::string(step) + " refused: " + std::strerror(errno); }
    QByteArray folder_;
    int origin_ = -1;
    bool mounted_ = false;
    std::string refused_;
};

TEST_F(RecordingRunConcurrent, TooLittleSpaceForARecordingIsAnEventAndTheRunGoesOn) {
    StartProgram(115.0);
    ASSERT_TRUE(QDir(dir.path()).mkpath("Small"));
    SmallFolder small(dir.filePath("Small"));
    if (!small.Refused().empty()) GTEST_SKIP() << small.Refused();
    StartRun(dir.filePath("Small.vtm"));
    const qsizetype from = window->EventLines().size();
    window->StartRecording();
    EXPECT_FALSE(window->Recording());
    EXPECT_EQ(EventsSince(from), QStringList({GetLangText(916)}));
    EXPECT_TRUE(QDir(dir.filePath("Small")).isEmpty());
    EXPECT_TRUE(window->GetMessungLaeuft());
}

}  // namespace
