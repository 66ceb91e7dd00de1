#pragma once
// The program started as a whole in the test's process: offscreen, on
// temporary folders and a temporary settings hive, with scripted answers to
// its message boxes.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "audio/audio_device_setup.h"
#include "main/main_window.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "platform/simulated_audio.h"
#include "platform/user_dialogs.h"
#include "settings/basic_settings_dialog.h"
#include "settings/modal_runner.h"
#include "support/hide_machine_sound_devices.h"
#include "support/process_until.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"
#include "ui_kit/gui_test_app.h"

namespace test_support {

using platform::KnownFolder;
using platform::Registry;


inline bool IsLit(TColor32 pixel) {
    return pixel == clGreen32 || pixel == clYellow32 || pixel == clRed32;
}

class MainWindowConcurrent : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        QApplication::setQuitOnLastWindowClosed(false);
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(test_support::HideMachineSoundDevices());
        platform::SetKnownFolderOverride(KnownFolder::AppData, dir.filePath("data"));
        platform::SetKnownFolderOverride(KnownFolder::Documents, dir.filePath("docs"));
        platform::SetKnownFolderOverride(KnownFolder::UserConfig, dir.filePath("config"));
        Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
        platform::SetUserDialogs(&dialogs);
        language.store(2);
        // A fresh hive's start shows the basic settings; cancelled, they change nothing.
        SetModalRunner<TGrundeinstellung>([this](TGrundeinstellung&) {
            ++basicSettingsShown;
            return 0;
        });
        // A start with no interface chosen opens the audio device dialog
        // modally: answered here, so that no test waits on it.
        SetIOSelectShow([this](TIOSelect&) {
            ++audioSetupShows;
            return 2;  // Cancel
        });
    }
    void TearDown() override {
        window.reset();
        SetModalRunner<TGrundeinstellung>({});
        SetIOSelectShow(nullptr);
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
        options.observeNotifications = [this](uintptr_t code, intptr_t argument) {
            seen.push_back(code);
            handled.emplace_back(code, argument);
        };
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
    std::vector<std::pair<uintptr_t, intptr_t>> handled;  // the same with their arguments
    int basicSettingsShown = 0;
    int audioSetupShows = 0;  // the audio device dialog's shows, each answered with Cancel
};

}  // namespace test_support
