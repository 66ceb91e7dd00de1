// A measurement from its start to its saved file, on the real main window
// with the simulated sine as input and fakes for the subsystems around it.
#include "main/main_window.h"

#include "measurement_run_fixture.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <mutex>

#include "audio/audio_device_setup.h"
#include "audio/level_results.h"
#include "audio/value_reader.h"
#include "audio/vu_meter_thread.h"
#include "main/session_end_watch.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/simulated_audio.h"
#include "store/crash_backups.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "store/preset_handler.h"
#include "support/fake_services.h"
#include "support/tone_records.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using platform::Registry;
using test_support::ProcessUntil;

using test_support::MeasurementRunConcurrent;
using test_support::kOffsetFor94;
using test_support::kSecond;

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(MeasurementRunConcurrent, ATwelveSecondRunEndsAsOneCompleteProtectedFile) {
    StartProgram();
    StartRun();
    EXPECT_EQ(Marker(), 1);
    EXPECT_EQ(Running(), true);
    const platform::TDateTime start = messDaten.load()->GetStartTime();
    ASSERT_TRUE(StoredAtLeast(12));

    dialogs.ScriptMessage(platform::kMessageRight);  // "Sure to stop the Measurement?" -> Exit
    window->aStopMessungExecute();
    ASSERT_FALSE(window->GetMessungLaeuft());
    EXPECT_EQ(Marker(), 0);
    EXPECT_EQ(Running(), false);
    EXPECT_FALSE(window->KeepsAwake());

    TDaten file;
    ASSERT_EQ(file.LoadFromFile(Target(), 1), 0);
    const int32_t count = file.GetWerteAnzahl();
    ASSERT_GE(count, 12);
    const platform::TDateTime stop = file.GetStopTime();
    EXPECT_GT(stop, start);
    // The record closed by the stop is stored too: none is missing at the end.
    EXPECT_NEAR(file.GetWert(count - 1).TimeStamp, stop, 1.01 * kSecond);
    EXPECT_TRUE(test_support::RecordsOfTheTone(file, Preset().messungen[kPresetEntryLeqK].Dauer));
    using test_support::MinuteOf;
    EXPECT_EQ(file.GetNumBlocks(), 1 + static_cast<int32_t>(MinuteOf(stop) - MinuteOf(start)));
    EXPECT_EQ(QFileInfo(Target()).permissions() & QFileDevice::WriteOwner, 0);
    EXPECT_EQ(file.GetVorschrift(), Preset().vor);
    // The closing block's protocol lines, then the end of the measurement.
    const QStringList memo = window->MemoLines();
    EXPECT_TRUE(memo.filter(QRegularExpression(QStringLiteral("^End: "))).size() >= 1) << memo.join('\n').toStdString();
    EXPECT_TRUE(memo.last().endsWith(QStringLiteral(": End of Measurement")));

    // The longer values backup holds the file's first records, byte for byte.
    QByteArray backup;
    for (int32_t n : {1, 2}) {
        const QByteArray bytes =
            ReadBytes(platform::FindFileNoCase(window->Fields().basisPfad, WerteBackupName(n)));
        if (bytes.size() > backup.size()) backup = bytes;
    }
    ASSERT_GE(backup.size(), 44 * (count - 3));
    for (int32_t i = 0; i < backup.size() / 44; ++i) {
        TSaveIT6 v;
        std::memcpy(&v, backup.constData() + 44 * i, 44);
        const TSaveIT6 stored = file.GetWert(i);
        EXPECT_EQ(std::memcmp(&v, &stored, 44), 0) << "backup record " << i;
    }
    EXPECT_FALSE(MessagesOf(file).join('\n').contains(QStringLiteral("lost")));
    EXPECT_EQ(dialogs.unscriptedCount(), 0);
}

// A stop that comes after the calculation closed a whole interval but before
// its notification was handled stores that interval too, ahead of the stop's
// own unfinished one: the protocol has no gap.
TEST_F(MeasurementRunConcurrent, AnIntervalClosedJustBeforeTheStopIsStoredWithIt) {
    StartProgram();
    StartRun();
    ASSERT_TRUE(StoredAtLeast(2));
    // Our own reader stands in for the calculation's: it closed the interval
    // (whose notification is still queued) and then the stop's unfinished one.
    window->Workers().StopCalcer();
    wertCreate.store(new TWertCreate());
    // The run may already have crossed a minute of its own.
    TDaten* run = messDaten.load();
    const int32_t before = run->GetNumBlocks();
    TBlockDaten8 newest{};
    if (before > 0) run->GetBlock(before - 1, newest);
    const int32_t missedId = before > 0 ? newest.id + 1 : 1;
    const platform::TDateTime newestEnd = newest.ende;  // packed fields are read by value
    {
        std::lock_guard guard(valueLock);
        lastIntervalBlock = TBlockDaten8{};
        lastIntervalBlock.id = missedId;
        lastIntervalBlock.start = std::max(run->GetStartTime(), newestEnd);
        lastIntervalBlock.ende = lastIntervalBlock.start + 60 * kSecond;
        lastIntervalBlock.leq = std::pow(10.0, 9.0);
        lastBlock = lastIntervalBlock;
        lastBlock.id = missedId + 1;
        lastBlock.start = lastIntervalBlock.ende;
        lastBlock.ende = lastBlock.start + 5 * kSecond;
    }
    const platform::TDateTime stopAt = lastBlock.ende;
    dialogs.ScriptMessage(platform::kMessageRight);
    window->aStopMessungExecute();
    ASSERT_FALSE(window->GetMessungLaeuft());
    QCoreApplication::processEvents();  // the interval's own notification, now too late

    TDaten file;
    ASSERT_EQ(file.LoadFromFile(Target(), 1), 0);
    ASSERT_EQ(file.GetNumBlocks(), before + 2);
    TBlockDaten8 missed{}, last{};
    file.GetBlock(before, missed);
    file.GetBlock(before + 1, last);
    const int32_t missedStored = missed.id;
    const int32_t lastStored = last.id;
    EXPECT_EQ(missedStored, missedId);
    EXPECT_EQ(lastStored, missedId + 1);
    EXPECT_DOUBLE_EQ(file.GetStopTime(), stopAt);
    const QStringList ends = window->MemoLines().filter(QRegularExpression(QStringLiteral("^End: ")));
    EXPECT_EQ(ends.size(), before + 2) << window->MemoLines().join('\n').toStdString();
    delete wertCreate.exchange(nullptr);
    window->StartCalcer();
}

TEST_F(MeasurementRunConcurrent, PendingRecordsAreStoredInOrderAndOnlyTheNewestIsShown) {
    StartProgram();
    StartRun();
    // Our own reader stands in for the calculation's, which would post too.
    window->Workers().StopCalcer();
    auto* reader = new TWertCreate();
    wertCreate.store(reader);
    for (int32_t id = 0; id <= 7; ++id) {
        TSaveIT6 record;
        record.id = id;
        record.leq = std::pow(10.0, 9.0);  // the reader gives dB back
        reader->AddValue(record);
    }
    const size_t before = seen.size();
    window->StoreNewValues(4);
    ASSERT_TRUE(ProcessUntil([&] { return CountSeen(2, before) >= 1 && CountSeen(kNotifyPeriodicBackup, before) >= 1; }));
    TDaten* run = messDaten.load();
    TDaten* display = window->Fields().AnzeigeDaten.load();
    const int32_t stored = run->GetWerteAnzahl();
    const int32_t shown = display->GetWerteAnzahl();
    clipCounter.fetch_add(3);
    const size_t mark = seen.size();
    window->StoreNewValues(7);
    window->StoreNewValues(7);  // nothing new
    window->StoreNewValues(3);
    ProcessUntil([&] { return CountSeen(kNotifyPeriodicBackup, mark) >= 1; });
    QCoreApplication::processEvents();
    EXPECT_EQ(run->GetWerteAnzahl(), stored + 3);
    EXPECT_EQ(display->GetWerteAnzahl(), shown + 1);
    EXPECT_EQ(run->GetWert(stored).id, 5);
    EXPECT_EQ(run->GetWert(stored + 2).id, 7);
    EXPECT_EQ(display->GetWert(shown).id, 7);
    EXPECT_EQ(run->GetWert(stored).clipCount, 3);
    EXPECT_EQ(run->GetWert(stored + 1).clipCount, 0);
    EXPECT_EQ(CountSeen(kNotifyPeriodicBackup, mark), 1);
    EXPECT_EQ(CountSeen(2, mark), 1);

    // Records that left the ring of 20 are told as one event line.
    for (int32_t id = 8; id <= 40; ++id) {
        TSaveIT6 record;
        record.id = id;
        record.leq = 1e9;
        reader->AddValue(record);
    }
    window->StoreNewValues(40);
    EXPECT_EQ(MessagesOf(*messDaten.load()).filter(QStringLiteral("stored values lost")),
              QStringList{QStringLiteral("13 stored values lost: the program was blocked too long")});

    delete wertCreate.exchange(nullptr);
    window->StartCalcer();
    window->StopMessung(2);
    EXPECT_FALSE(window->GetMessungLaeuft());
}

TEST_F(MeasurementRunConcurrent, RefusedStartsLeaveTheProgramIdleAndReadyForTheNext) {
    StartProgram();
    ASSERT_TRUE(HearsTheTone());
    const auto refused = [&](const char* what) {
        EXPECT_FALSE(window->TryingToStart()) << what;
        EXPECT_FALSE(window->GetMessungLaeuft()) << what;
    };
    // The target check of each start creates the file; no replace question yet.
    window->Settings().overWritePrompt = false;
    for (int32_t answer : {1, 3, 4, 5}) {
        calibration.startInfoAnswer = answer;
        window->aMessungStartenExecute();
        refused("pre-start answer");
    }
    EXPECT_EQ(calibration.calibrations, 1);
    calibration.startInfoAnswer = 2;

    calibration.headroomAnswer = 1;
    window->aMessungStartenExecute();
    refused("headroom check cancelled");
    calibration.headroomAnswer = 0;

    // The Leq limit of 137 dB lies above what full scale stands for.
    calibration.offsets = {134.0, 134.0, 134.0};
    calibration.ApplyCalibration();
    TVTPreset preset = Preset();
    preset.messungen[kPresetEntryLeq].Rot = 137;
    preset.messungen[kPresetEntryLeq].Status = 2;
    preset.messungen[kPresetEntryLeq].ART = 1;
    UsePreset(preset);
    dialogs.ScriptMessage(platform::kMessageRight);  // Got It
    window->aMessungStartenExecute();
    refused("headroom");
    ASSERT_FALSE(dialogs.messages().empty());
    EXPECT_EQ(dialogs.messages().back().header, QStringLiteral("Insufficent Headroom"));
    EXPECT_TRUE(dialogs.messages().back().text.contains(defaultDaten.load()->GetLEQLabel(2)));
    preset.messungen[kPresetEntryLeq].Rot = 99;
    UsePreset(preset);

    defaultDaten.load()->SetKorrArt(-1);
    window->aMessungStartenExecute();
    refused("no correction");
    EXPECT_EQ(calibration.korrekturRuns, 1);
    calibration.korrekturAction = [] { defaultDaten.load()->SetKorrArt(0); };

    ASSERT_TRUE(QFileInfo::exists(Target()));
    window->Settings().overWritePrompt = true;
    dialogs.ScriptMessage(platform::kMessageLeft);  // "Existing File Name" -> Cancel
    window->aMessungStartenExecute();
    refused("replace cancelled");
    EXPECT_EQ(dialogs.messages().back().header, QStringLiteral("Existing File Name"));

    // Only Replace starts; the correction wizard ran as part of it.
    dialogs.ScriptMessage(platform::kMessageRight);
    window->aMessungStartenExecute();
    EXPECT_TRUE(window->GetMessungLaeuft());
    EXPECT_FALSE(window->TryingToStart());
    EXPECT_EQ(dialogs.unscriptedCount(), 0);
}

TEST_F(MeasurementRunConcurrent, ASecondStartDuringTheFirstStartsNothing) {
    StartProgram();
    ASSERT_TRUE(HearsTheTone());
    int nestedInfos = -1;
    struct ReentrantCalibration : test_support::FakeCalibration {
        std::function<void()> during;
        int32_t ShowStartInfo(platform::TDateTime t, int32_t f) override {
            if (during) during();
            return FakeCalibration::ShowStartInfo(t, f);
        }
    } reentrant;
    reentrant.offsets = calibration.offsets;
    reentrant.during = [&] {
        EXPECT_TRUE(window->TryingToStart());
        window->aFreeStartExecute();
        nestedInfos = reentrant.startInfos;
    };
    RegisterCalibrationServices(&reentrant);
    window->aFreeStartExecute();  // no level check: the start itself is under test
    EXPECT_EQ(nestedInfos, 0);  // the second start returned before any dialog
    EXPECT_EQ(reentrant.startInfos, 1);
    EXPECT_TRUE(window->GetMessungLaeuft());
    window->StopMessung(2);
    RegisterCalibrationServices(&calibration);
}

TEST_F(MeasurementRunConcurrent, TooLowAnInputAsksAndOnlyStartMeasurementStarts) {
    StartProgram(-200.0);
    ASSERT_TRUE(ProcessUntil([this] { return window->Workers().VuThread() != nullptr; }));
    dialogs.ScriptMessage(platform::kMessageRight);  // Cancel
    window->aMessungStartenExecute();
    EXPECT_FALSE(window->GetMessungLaeuft());
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, QStringLiteral("Input level too low. Please check audio chain"));
    dialogs.ScriptMessage(platform::kMessageLeft);  // Start Measurement
    window->aMessungStartenExecute();
    EXPECT_TRUE(window->GetMessungLaeuft());
}

TEST_F(MeasurementRunConcurrent, AnAutomaticStartAsksNothingAndNamesItsRegulation) {
    StartProgram();
    window->Settings().autoStart = true;
    window->Settings().doFileName = false;  // no name: one from the start time
    ASSERT_TRUE(HearsTheTone());
    dialogs.ScriptSaveFileCancel();
    window->aMessungStartenExecute();
    ASSERT_TRUE(window->GetMessungLaeuft());
    EXPECT_EQ(calibration.startInfos, 0);
    EXPECT_EQ(calibration.headroomChecks, 0);
    EXPECT_EQ(messDaten.load()->GetVorschrift(), Preset().vor + QStringLiteral(" (Auto-Start)"));
    const QString name = messDaten.load()->GetSaveName();
    EXPECT_TRUE(name.startsWith(window->Fields().userPfad + QLatin1Char('/'))) << name.toStdString();
    EXPECT_TRUE(dialogs.messages().empty());
    window->StopMessung(2);
    EXPECT_TRUE(QFileInfo::exists(name));
}

TEST(LevelDisplayRules, AMonitoredLeqAndShortTermLeqGetAnArea) {
    struct Case {
        std::array<int32_t, 4> areas;
        int32_t leqStatus, leqKStatus;
        std::array<int32_t, 4> expected;
    };
    const Case cases[] = {
        {{0, 0, 5, 6}, 2, 0, {2, 0, 5, 6}},  // the Leq into area 1
        {{1, 0, 5, 6}, 2, 0, {1, 2, 5, 6}},  // area 1 shows the short-term Leq: area 2
        {{0, 0, 5, 6}, 2, 1, {2, 1, 5, 6}},  // then the short-term Leq beside it
        {{0, 0, 2, 6}, 0, 2, {1, 0, 2, 6}},  // Leq shown in area 3: short-term Leq into area 1
        {{3, 4, 5, 6}, 0, 0, {3, 4, 5, 6}},  // nothing monitored: nothing moves
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 4; ++i) areaChannel[i].store(c.areas[i]);
        TVTPreset preset;
        preset.messungen[kPresetEntryLeq].Status = c.leqStatus;
        preset.messungen[kPresetEntryLeqK].Status = c.leqKStatus;
        TVTProMaster::EnsureLevelDisplays(preset);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(areaChannel[i].load(), c.expected[i]) << "area " << i + 1;
    }
}

TEST_F(MeasurementRunConcurrent, StopsAskOnlyTheUserAndADeclinedStopChangesNothing) {
    StartProgram();
    TVTPreset moving = Preset();
    moving.messungen[kPresetEntryLeq].Dauer = -60;
    UsePreset(moving);
    window->StopMessung(1);  // idle: nothing to ask, nothing to stop
    EXPECT_TRUE(dialogs.messages().empty());

    StartRun();
    const int32_t status = window->Fields().statusMessung.load();
    dialogs.ScriptMessage(platform::kMessageLeft);  // Continue Measurement
    window->aStopMessungExecute();
    EXPECT_TRUE(window->GetMessungLaeuft());
    EXPECT_EQ(window->Fields().statusMessung.load(), status);
    EXPECT_EQ(Marker(), 1);

    // The planned end (code 52) stops without a question; a late one does nothing.
    PostMainNotify(kNotifyPlannedDurationReached, 3);
    ASSERT_TRUE(ProcessUntil([this] { return !window->GetMessungLaeuft(); }));
    EXPECT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(Marker(), 0);
    const QByteArray saved = ReadBytes(Target());
    PostMainNotify(kNotifyPlannedDurationReached, 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(ReadBytes(Target()), saved);
    // Outside fixed intervals the memo has no block lines.
    for (const QString& line : window->MemoLines()) EXPECT_FALSE(line.startsWith(QStringLiteral("End: ")));
}

TEST_F(MeasurementRunConcurrent, TheEndDialogHoldsTheRunStoppedUntilItIsDone) {
    StartProgram();
    TVTPreset preset = Preset();
    preset.endDirect = false;
    UsePreset(preset);
    reports.endPassword = QStringLiteral("secret");
    StartRun();
    window->StopMessung(3);
    EXPECT_FALSE(window->GetMessungLaeuft());
    EXPECT_TRUE(window->EndDialogOpen());
    EXPECT_EQ(reports.endDialogsShown, 1);
    EXPECT_EQ(Marker(), 2);
    EXPECT_EQ(Running(), false);
    PostMainNotify(kNotifyEndDialogDone, 0);
    ASSERT_TRUE(ProcessUntil([this] { return !window->EndDialogOpen(); }));
    EXPECT_EQ(Marker(), 0);
    TDaten file;
    dialogs.ScriptPassword(QStringLiteral("secret"));
    EXPECT_EQ(file.LoadFromFile(Target(), 1), 0);
}

TEST_F(MeasurementRunConcurrent, ASessionEndWritesTheEmergencyCopyAndTheOwnFileWithoutQuestions) {
    StartProgram();
    StartRun();
    window->StopMessung(2);
    EXPECT_TRUE(dialogs.messages().empty());
    const QString notstop = QDir(window->Fields().userPfad).filePath("Notstop0.vtm");
    TDaten copy, own;
    EXPECT_EQ(copy.LoadFromFile(notstop, 1), 0);
    EXPECT_EQ(own.LoadFromFile(Target(), 1), 0);
    EXPECT_EQ(copy.GetWerteAnzahl(), own.GetWerteAnzahl());
    EXPECT_EQ(Marker(), 0);
}

TEST_F(MeasurementRunConcurrent, SigtermDuringARunSavesItAndClosesTheWindow) {
    StartProgram();
    window->show();
    StartRun();
    ASSERT_TRUE(StoredAtLeast(2));
    ASSERT_TRUE(window->SessionEndWatch()->SignalsWatched());
    std::raise(SIGTERM);
    ASSERT_TRUE(ProcessUntil([this] { return !window->isVisible(); }));
    EXPECT_FALSE(window->GetMessungLaeuft());
    TDaten copy, own;
    ASSERT_EQ(copy.LoadFromFile(QDir(window->Fields().userPfad).filePath("Notstop0.vtm"), 1), 0);
    ASSERT_EQ(own.LoadFromFile(Target(), 1), 0);
    EXPECT_GE(own.GetWerteAnzahl(), 2);
    EXPECT_EQ(copy.GetWerteAnzahl(), own.GetWerteAnzahl());
    EXPECT_TRUE(MessagesOf(own).contains(GetLangText(865)));
    EXPECT_TRUE(dialogs.messages().empty());
    window.reset();
    EXPECT_EQ(ReadBool(QStringLiteral("IamRunning")), false);
    EXPECT_EQ(Marker(), 0);
}

TEST_F(MeasurementRunConcurrent, ClosingWhileMeasuringIsRefused) {
    StartProgram();
    window->show();
    StartRun();
    dialogs.ScriptMessage(platform::kMessageRight);  // Okay
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->GetMessungLaeuft());
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].header, GetLangText(78));  // "!STILL MEASURING!"
}

TEST_F(MeasurementRunConcurrent, SigtermWhileIdleClosesWithoutAQuestion) {
    StartProgram();
    window->show();
    std::raise(SIGTERM);
    ASSERT_TRUE(ProcessUntil([this] { return !window->isVisible(); }));
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_FALSE(QFileInfo::exists(QDir(window->Fields().userPfad).filePath("Notstop0.vtm")));
}

TEST_F(MeasurementRunConcurrent, ALogoutIsRefusedWhileMeasuringOnlyWhenTheSessionEndIsBlocked) {
    struct Request : LogoutRequest {
        int cancelled = 0;
        void cancel() override { ++cancelled; }
    };
    StartProgram();
    StartRun();
    blockWinExit = true;
    Request refused;
    window->SessionEndWatch()->AnswerLogoutRequest(refused);
    EXPECT_EQ(refused.cancelled, 1);
    EXPECT_TRUE(window->GetMessungLaeuft());

    blockWinExit = false;
    Request agreed;
    window->SessionEndWatch()->AnswerLogoutRequest(agreed);
    EXPECT_EQ(agreed.cancelled, 0);
    EXPECT_FALSE(window->GetMessungLaeuft());
    EXPECT_TRUE(QFileInfo::exists(QDir(window->Fields().userPfad).filePath("Notstop0.vtm")));
    EXPECT_TRUE(dialogs.messages().empty());
    window->show();
    window->close();  // the session ends: the close asks nothing
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(MeasurementRunConcurrent, AFinishedFileUnderTheFixedNameIsNeverReplaced) {
    StartProgram();
    {
        QFile finished(Target());
        ASSERT_TRUE(finished.open(QIODevice::WriteOnly));
        finished.write("last week");
    }
    ASSERT_TRUE(QFile::setPermissions(Target(), QFileDevice::ReadOwner));
    window->Settings().overWritePrompt = false;
    for (int run = 0; run < 2; ++run) {
        StartRun();
        EXPECT_EQ(calibration.lastFileCheck, 2);  // the pre-start dialog is told
        dialogs.ScriptMessage(platform::kMessageRight);  // Exit
        dialogs.ScriptMessage(platform::kMessageRight);  // Got It ("Unable to save the file")
        window->aStopMessungExecute();
        EXPECT_FALSE(window->GetMessungLaeuft());
        EXPECT_EQ(ReadBytes(Target()), QByteArray("last week"));
        // Nine save prompts, none answered: the emergency copy keeps the run.
        EXPECT_TRUE(QFileInfo::exists(QDir(window->Fields().userPfad).filePath(QStringLiteral("Notstop%1.vtm").arg(run))));
    }
    EXPECT_EQ(dialogs.saveFileRequests().size(), 18u);
    EXPECT_EQ(Marker(), 0);
}

TEST_F(MeasurementRunConcurrent, NothingWritableKeepsTheCrashMarkerAndSaysSo) {
    StartProgram();
    QFile blocker(dir.filePath("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    window->Settings().sRecFileName = dir.filePath("not-a-folder/run.vtm");
    StartRun();
    window->Fields().userPfad = dir.filePath("not-a-folder/user");
    window->StopMessung(2);
    EXPECT_FALSE(window->GetMessungLaeuft());
    EXPECT_EQ(Marker(), 2);
    ASSERT_FALSE(dialogs.messages().empty());
    EXPECT_TRUE(dialogs.messages().back().text.contains(QStringLiteral("could not be saved")));
}

TEST_F(MeasurementRunConcurrent, ALevelOverItsLimitAtTheStartIsLoggedAsExceedInEveryRun) {
    StartProgram();
    TVTPreset preset = Preset();
    preset.messungen[kPresetEntryLeqK].Rot = 90;  // the tone reads 94 dB
    preset.messungen[kPresetEntryLeqK].Gelb = 85;
    preset.messungen[kPresetEntryLeqK].Status = 2;
    UsePreset(preset);
    window->Settings().overWritePrompt = false;
    for (int run = 0; run < 2; ++run) {
        StartRun();
        EXPECT_TRUE(ProcessUntil([this] { return Messages(QStringLiteral("Exceed")); })) << "run " << run;
        window->StopMessung(3);
    }
}

TEST_F(MeasurementRunConcurrent, AFailingCrashBackupIsToldOncePerRun) {
    StartProgram();
    StartRun();
    // The backup folder turns into a file: every backup from now on fails.
    const QString basis = window->Fields().basisPfad;
    ASSERT_TRUE(QDir(basis).removeRecursively());
    QFile blocker(basis);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const size_t mark = seen.size();
    ASSERT_TRUE(ProcessUntil([&] { return CountSeen(kNotifyPeriodicBackup, mark) >= 3; }));
    int told = 0;
    const TDaten* run = messDaten.load();
    for (int32_t i = 0; i < run->GetSmsCount(); ++i) {
        if (run->GetSms(i).meldung.contains(QStringLiteral("crash backup could not be written"))) ++told;
    }
    EXPECT_EQ(told, 1);
}

TEST_F(MeasurementRunConcurrent, ADeadAudioDeviceStopsTheRunAndOffersTheSetUp) {
    StartProgram();
    StartRun();
    dialogs.ScriptMessage(platform::kMessageRight);  // Audio Device Setup
    int setUpShown = 0;
    SetIOSelectShow([&setUpShown](TIOSelect&) {
        ++setUpShown;
        return int(QDialog::Rejected);
    });
    PostMainNotify(kNotifyAudioFailure, 0);
    ASSERT_TRUE(ProcessUntil([&] { return !window->GetMessungLaeuft() && setUpShown == 1; }));
    SetIOSelectShow(nullptr);
    EXPECT_EQ(dialogs.messages().back().header, QStringLiteral("AUDIO I/O NOT RUNNING!"));
    EXPECT_TRUE(dialogs.messages().back().text.contains(QStringLiteral("The measurment has been stopped.")));
    EXPECT_TRUE(QFileInfo::exists(QDir(window->Fields().userPfad).filePath("Notstop0.vtm")));
    EXPECT_EQ(Marker(), 0);
}

}  // namespace
