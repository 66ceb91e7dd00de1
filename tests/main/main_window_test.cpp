// The program started as a whole, offscreen, on temporary folders and a
// temporary settings hive, with the simulated sine as its input.
#include "main/main_window.h"

#include "main_window_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "audio/calculation_thread.h"
#include "audio/value_reader.h"
#include "main/vu_meter_view.h"
#include "platform/registry.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "store/preset_handler.h"
#include "ui_kit/level_bars.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using platform::Registry;
using test_support::IsLit;
using test_support::ProcessUntil;
using test_support::MainWindowConcurrent;

TEST_F(MainWindowConcurrent, AFirstStartComesUpIdleWithItsFoldersAndEndsClean) {
    UseSimulatedSine();
    Start();
    EXPECT_FALSE(window->GetMessungLaeuft());
    EXPECT_EQ(ReadBool("IamRunning"), true);
    const QString userFolder = dir.filePath("docs/Veltaro_2026");
    EXPECT_TRUE(QFileInfo(dir.filePath("data/Veltaro_2026")).isDir());
    EXPECT_TRUE(QFileInfo(userFolder + "/VT_PRESETS").isDir());
    EXPECT_EQ(window->GetUserPath(), userFolder);
    // No Default.vtm yet: the event data start afresh.
    ASSERT_TRUE(ProcessUntil([&] { return Saw(26); }));
    // The meter lights from the simulated sine.
    QElapsedTimer lit;
    lit.start();
    window->show();
    ASSERT_TRUE(ProcessUntil([&] {
        TPaintBox32* vu = window->pbVU();
        return !vuRect1.empty() && IsLit(vu->Buffer().Pixel(vuRect1.back().center().x(), vuRect1.back().center().y())) &&
               IsLit(vu->Buffer().Pixel(vuRect1[20].center().x(), vuRect1[20].center().y()));
    }));
    std::printf("meter lit %lld ms after the window was made\n", static_cast<long long>(lit.elapsed()));
    // A first run asks nothing; it only tells that no calibration is valid yet.
    const QString uncalibrated = GetLangText(105) + "\r\n" + GetLangText(106) + "\r\n\r\n";
    EXPECT_EQ(MessageTexts(), std::vector<QString>{uncalibrated});
    Exit();
    EXPECT_EQ(MessageTexts(), (std::vector<QString>{uncalibrated, GetLangText(80)}));
    EXPECT_EQ(ReadBool("IamRunning"), false);
    Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kSettingsKey));
    for (const char* atExit : {"Left", "LineWidth", "GrundEinstellung", "clModePost", "tsHost", "DisplayLayout"})
        EXPECT_TRUE(reg.ValueExists(atExit)) << atExit;
    EXPECT_EQ(reg.ReadInteger("clModePreset"), 4099);
    EXPECT_TRUE(QFileInfo(dir.filePath("data/Veltaro_2026/Default.vtm")).isFile());
}

TEST_F(MainWindowConcurrent, ContinueAppKeepsTheProgramRunning) {
    UseSimulatedSine();
    Start();
    dialogs.ScriptMessage(platform::kMessageLeft);
    window->show();
    window->Beenden1Click();
    EXPECT_TRUE(window->isVisible());
    Exit();
}

TEST_F(MainWindowConcurrent, ThePreviousVersionsSettingsAreOfferedOnceAndCancelLeavesThem) {
    WriteSettings([](Registry& reg) { reg.WriteInteger("IpPort", 8080); }, kPreviousSettingsKey);
    dialogs.ScriptMessage(platform::kMessageLeft);  // "Cancel"
    Start();
    ASSERT_FALSE(MessageTexts().empty());
    EXPECT_EQ(MessageTexts().front(), GetLangText(793));
    EXPECT_FALSE(window->MigrationDone());
    EXPECT_EQ(window->Settings().ipPort, 80);
    Exit();
    const auto offers = [this] {
        const std::vector<QString> texts = MessageTexts();
        return std::count(texts.begin(), texts.end(), GetLangText(793));
    };
    EXPECT_EQ(offers(), 1);
    Start();
    EXPECT_EQ(offers(), 1);  // not asked again
    Exit();
    Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kPreviousSettingsKey));
    EXPECT_EQ(reg.ReadInteger("IpPort"), 8080);
}

TEST_F(MainWindowConcurrent, AcceptedMigrationTakesTheOldKeyOver) {
    WriteSettings([](Registry& reg) { reg.WriteInteger("IpPort", 8080); }, kPreviousSettingsKey);
    dialogs.ScriptMessage(platform::kMessageRight);  // "Apply"
    Start();
    EXPECT_TRUE(window->MigrationDone());
    EXPECT_EQ(window->Settings().ipPort, 8080);
    Exit();
}

TEST_F(MainWindowConcurrent, TheCalculationReadsItsSetUpThroughTheGetters) {
    Start();
    EXPECT_EQ(window->GetFilter(3), 4);
    EXPECT_EQ(window->GetFilter(-1), 4);
    EXPECT_EQ(window->GetKorr(-1), -1.0);
    EXPECT_EQ(window->GetKorr(3), -1.0);
    // The built-in DIN 15905-5 preset: 30 min fixed, 10 s, peak over 2 samples.
    EXPECT_EQ(window->GetLeqSamples(), 1800 * 8);
    EXPECT_EQ(window->GetSamplesLeqKurz(), 80);
    EXPECT_EQ(window->GetPeakSamples(), 2);
    EXPECT_EQ(window->GetSaveIntervalSec(), defaultDaten.load()->GetDrawInterval());
    Exit();
}

TEST(WindowLengths, AreCountedIn125msBlocks) {
    EXPECT_EQ(LeqBlocksOf(-2, true), -2);     // the whole measurement
    EXPECT_EQ(LeqBlocksOf(-2, false), -16);   // the short-term Leq knows no such value
    EXPECT_EQ(LeqBlocksOf(1800, true), 14400);
    EXPECT_EQ(LeqBlocksOf(-600, true), -4800);
    EXPECT_EQ(LeqBlocksOf(300000000, true), 0);  // leaves 32 bits: refused, not an overflow
    EXPECT_EQ(LeqBlocksOf(-300000000, false), 0);
}

TEST_F(MainWindowConcurrent, AFailedCalculationIsReplacedOnceInARow) {
    Start();
    ASSERT_NE(calcer.load(), nullptr);
    const int starts = window->Workers().CalcStarts();
    platform::SendMessage(window->Handle(), WM_MAIN_NOTIFY, kNotifyThreadFailure, kThreadFailureCalculation);
    EXPECT_EQ(window->Workers().CalcStarts(), starts + 1);
    ASSERT_NE(calcer.load(), nullptr);
    EXPECT_EQ(wertCreate.load()->GetLeqFull(), 0.0);  // a new, empty reader
    // Failing again before one block was calculated: no second restart.
    platform::SendMessage(window->Handle(), WM_MAIN_NOTIFY, kNotifyThreadFailure, kThreadFailureCalculation);
    EXPECT_EQ(window->Workers().CalcStarts(), starts + 1);
    EXPECT_EQ(window->EventLines().size(), 3);
    EXPECT_TRUE(window->EventLines().at(0).endsWith(": Calcer Global Crash"));
    EXPECT_TRUE(window->EventLines().at(1).endsWith(": Calcer Global Restart"));
    Exit();
}

TEST_F(MainWindowConcurrent, ARefusedSetUpIsReportedOnceAndRestartsNothing) {
    Start();
    const int starts = window->Workers().CalcStarts();
    TVTPreset preset = presetHandler.load()->GetPreset(-1);
    preset.messungen[kPresetEntryLeq].Dauer = 300000000;
    presetHandler.load()->SetPreset(-1, preset);
    window->ApplyRunSettings();
    ASSERT_TRUE(ProcessUntil([&] { return window->EventLines().size() == 1; }));
    window->ApplyRunSettings();  // refused again, after the settings were applied anew
    ASSERT_TRUE(ProcessUntil([&] { return window->EventLines().size() == 2; }));
    EXPECT_EQ(window->Workers().CalcStarts(), starts);
    Exit();
}

TEST_F(MainWindowConcurrent, ADamagedSettingsHiveStartsOnDefaultsAndTellsTheUser) {
    QFile hive(dir.filePath("user.hive"));
    ASSERT_TRUE(hive.open(QIODevice::WriteOnly));
    hive.write("not a hive at all");
    hive.close();
    Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
    Start();
    ASSERT_FALSE(MessageTexts().empty());
    EXPECT_TRUE(MessageTexts().front().contains("user.hive"));
    EXPECT_EQ(window->Settings().ipPort, 80);
    Exit();
}

TEST_F(MainWindowConcurrent, ScreenshotsOfBothSchemesAtScaleOneAndTwo) {
    UseSimulatedSine();
    Start();
    window->show();
    const QString folder = QStringLiteral(VELTARO_BINARY_DIR) + "/screenshots";
    QDir().mkpath(folder);
    for (int scheme : {0, 1}) {
        for (int scale : {1, 2}) {
            window->SetDisplayColors(scheme, true);
            window->resize(990 * scale, 720 * scale);
            window->SetUiScale(96.0 * scale);
            ASSERT_TRUE(ProcessUntil([&] {
                TPaintBox32* vu = window->pbVU();
                return !vuRect1.empty() && vu->width() > 0 &&
                       IsLit(vu->Buffer().Pixel(vuRect1.back().center().x(), vuRect1.back().center().y()));
            }));
            const QImage shot = window->grab().toImage();
            const QString file = QStringLiteral("%1/main_window_scheme%2_scale%3.png").arg(folder).arg(scheme).arg(scale);
            ASSERT_TRUE(shot.save(file));
            EXPECT_EQ(shot.pixelColor(shot.width() - 5, shot.height() / 2), QColorOf(clBack));
        }
    }
    window->SetUiScale(96.0);
    Exit();
}

}  // namespace
