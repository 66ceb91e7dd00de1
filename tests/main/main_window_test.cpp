// The program started as a whole, offscreen, on temporary folders and a
// temporary settings hive, with the simulated sine as its input.
#include "main/main_window.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "audio/calculation_thread.h"
#include "audio/value_reader.h"
#include "main/vu_meter_view.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "platform/simulated_audio.h"
#include "platform/user_dialogs.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "store/preset_handler.h"
#include "platform/system_bus.h"
#include "support/hide_machine_sound_devices.h"
#include "support/peers.h"
#include "ui_kit/level_bars.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"
#include "ui_kit/text_table.h"

namespace {

using platform::KnownFolder;
using platform::Registry;

QApplication& App() {
    static int argc = 1;
    static char name[] = "main_window_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return app;
}

// Runs the event loop until done() holds; false when it did not within the bound.
bool ProcessUntil(const std::function<bool()>& done, int boundMs = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > boundMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

bool IsLit(TColor32 pixel) {
    return pixel == clGreen32 || pixel == clYellow32 || pixel == clRed32;
}

class MainWindowConcurrent : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(test_support::HideMachineSoundDevices());
        platform::SetKnownFolderOverride(KnownFolder::AppData, dir.filePath("data"));
        platform::SetKnownFolderOverride(KnownFolder::Documents, dir.filePath("docs"));
        platform::SetKnownFolderOverride(KnownFolder::UserConfig, dir.filePath("config"));
        Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
        platform::SetUserDialogs(&dialogs);
        language.store(2);
    }
    void TearDown() override {
        window.reset();
        platform::SetUserDialogs(nullptr);
        Registry::SetHiveFiles(QString(), QString());
        platform::ClearKnownFolderOverrides();
    }

    void WriteSettings(const std::function<void(Registry&)>& write, const QString& key = kSettingsKey) {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(key, true));
        write(reg);
        ASSERT_TRUE(reg.CloseKey());
    }
    void UseSimulatedSine() {
        WriteSettings([](Registry& reg) { reg.WriteString("WaveInName", platform::kSimulatedSineName); });
    }
    std::optional<bool> ReadBool(const QString& name) {
        Registry reg;
        if (!reg.OpenKeyReadOnly(kSettingsKey)) return std::nullopt;
        return reg.ReadBool(name);
    }
    void Start(QStringList arguments = {}) {
        StartOptions options;
        options.arguments = std::move(arguments);
        options.answerStartNoticeAtOnce = true;
        options.observeNotifications = [this](uintptr_t code, intptr_t) { seen.push_back(code); };
        window = std::make_unique<TVTProMaster>(options);
        ASSERT_TRUE(window->Created());
    }
    // Exit through the menu: the question answered with "Exit".
    void Exit() {
        dialogs.ScriptMessage(platform::kMessageRight);
        window->show();
        window->Beenden1Click();
        EXPECT_FALSE(window->isVisible());
        window.reset();
    }
    std::vector<QString> MessageTexts() const {
        std::vector<QString> texts;
        for (const auto& m : dialogs.messages()) texts.push_back(m.text);
        return texts;
    }
    bool Saw(uintptr_t code) const { return std::find(seen.begin(), seen.end(), code) != seen.end(); }

    QTemporaryDir dir;
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<TVTProMaster> window;
    std::vector<uintptr_t> seen;
};

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
    // No question on a first run but the exit question.
    EXPECT_TRUE(MessageTexts().empty());
    Exit();
    EXPECT_EQ(MessageTexts(), std::vector<QString>{GetLangText(80)});
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
    const size_t asked = MessageTexts().size();
    Start();
    EXPECT_EQ(MessageTexts().size(), asked);  // not asked again
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

TEST_F(MainWindowConcurrent, OnBatteryTheUserIsWarnedAtStartAndAtEachChangeOfThePowerSource) {
    peers::PrivateBus bus;
    ASSERT_FALSE(bus.Address().isEmpty());
    peers::PeerProcess upower;
    ASSERT_TRUE(peers::StartReadyPeer(upower, QStringLiteral("fake_upower"),
                                      {"--address", bus.Address(), "--on-battery", "--warning-level", "4"}));
    platform::SetSystemBusAddress(bus.Address());
    auto warnings = [&] {
        const auto all = dialogs.messages();
        return std::count_if(all.begin(), all.end(), [](const auto& m) { return m.text.contains(GetLangText(1184)); });
    };
    Start();
    EXPECT_EQ(warnings(), 1);
    EXPECT_TRUE(MessageTexts().front().startsWith(GetLangText(1185)));  // the battery is critical
    EXPECT_TRUE(window->IsOnBattery());
    upower.Write("OnBattery false");
    ASSERT_EQ(upower.ReadLine(), QStringLiteral("ok"));
    ASSERT_TRUE(ProcessUntil([&] { return !window->IsOnBattery(); }));
    upower.Write("OnBattery true");
    ASSERT_EQ(upower.ReadLine(), QStringLiteral("ok"));
    ASSERT_TRUE(ProcessUntil([&] { return warnings() == 2; }));
    Exit();
    platform::SetSystemBusAddress(QString());
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
