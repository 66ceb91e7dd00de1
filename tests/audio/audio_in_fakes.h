#pragma once
// What the audio-input tests share: a main window with the fields the input
// reads and a message handler that records what is posted to it, the
// neighbouring back-ends recording what is asked of them, and a fixture that
// points the registry at a temporary folder and scripts the dialogs.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QUuid>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

#include "audio/audio_peers.h"
#include "platform/asio_driver.h"
#include "platform/registry.h"
#include "platform/simulated_audio.h"
#include "store/measurement_store.h"
#include "platform/user_dialogs.h"
#include "platform/wave_audio.h"
#include "platform/window_messages.h"
#include "support/fake_main_window.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"

namespace audio_in_test {

// The shared test main window, which also answers the calculation's set-up
// (offsets of 120 dB, A weighting), with a switch for a running measurement
// and counters of what the input asks of it.
class FakeMainWindow : public test_support::FakeMainWindow {
public:
    std::atomic<bool> measuring{false};
    int updateVuLayoutCalls = 0;
    int stopRecordingCalls = 0;
    std::vector<QString> eventMessages;

    bool GetMessungLaeuft() override { return measuring.load(); }
    void UpdateIt() override { QCoreApplication::processEvents(); }
    void UpdateVuLayout() override { ++updateVuLayoutCalls; }
    void StopRecording() override { ++stopRecordingCalls; }
    void AddEventMessage(const QString& text, bool, bool) override { eventMessages.push_back(text); }
};

class RecordingPeers : public AudioPeers {
public:
    std::vector<QString> calls;
    bool driverOpen = false;

    void StartAsioIn(bool withOutput) override { calls.push_back(withOutput ? "StartAsioIn(out)" : "StartAsioIn"); }
    bool AsioDriverOpen() override { return driverOpen; }
    void CloseAsio() override { calls.push_back("CloseAsio"); }
    std::optional<double> AsioSampleRate() override { return 48000.0; }
    bool wasapiStarts = false;  // OpenWasapiIn sets the input running

    void OpenWasapiIn() override {
        calls.push_back("OpenWasapiIn");
        if (wasapiStarts) SetInputRunning(true);
    }
    void CloseWasapiIn() override { calls.push_back("CloseWasapiIn"); }
    bool CheckInputVolume() override {
        calls.push_back("CheckInputVolume");
        return true;
    }
    void StopAudioOut() override { calls.push_back("StopAudioOut"); }
};

struct Message {
    uint32_t msg;
    uintptr_t wParam;
    intptr_t lParam;
    bool operator==(const Message&) const = default;
};

inline void PrintTo(const Message& m, std::ostream* os) {
    *os << "{" << std::hex << m.msg << std::dec << ", " << m.wParam << ", " << m.lParam << "}";
}

// A QCoreApplication for the whole test program, made on first use.
inline QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "audio_in_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app =
        QCoreApplication::instance() ? QCoreApplication::instance() : new QCoreApplication(argc, argv);
    return *app;
}

// Points the registry at a temporary folder, scripts the dialogs, registers
// the fake main window with a window that records its messages, and sizes
// the rings, as the main window's creation would.
class AudioInFixture : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        ASSERT_TRUE(dir.isValid());
        platform::Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
        platform::SetUserDialogs(&dialogs);
        AllocateSampleRings();
        recRing.Reset();
        ClearRunState();
        inputAssign.store(1);
        window = platform::RegisterWindow([this](uint32_t msg, uintptr_t w, intptr_t l) { messages.push_back({msg, w, l}); });
        mainWnd.store(window);
        mainReady.store(true);
        main.fields.IOMode = 0;
        main.fields.waveInID = -1;
        main.fields.waveOutID = -1;
        RegisterMainWindowServices(&main);
        RegisterAudioPeers(&peers);
        defaultDaten.store(&defaultStore);
    }

    void TearDown() override {
        defaultDaten.store(nullptr);
        RegisterAudioPeers(nullptr);
        RegisterMainWindowServices(nullptr);
        mainReady.store(false);
        mainWnd.store(0);
        platform::UnregisterWindow(window);
        platform::SetUserDialogs(nullptr);
        platform::Registry::SetHiveFiles({}, {});
        ClearRunState();
        inputAssign.store(1);
    }

    // Delivers what was posted so far.
    std::vector<Message> Delivered() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return messages;
    }

    std::vector<Message> NotificationsOnly() {
        std::vector<Message> out;
        for (const Message& m : Delivered())
            if (m.msg == WM_MAIN_NOTIFY) out.push_back(m);
        return out;
    }

    // An ASIO driver's installer entries in the test's machine hive, read
    // from disk from now on; answers the class id's text.
    QString InstallAsioDriver(const QString& name, const platform::Guid& clsid, const QString& library) {
        platform::Registry hive(dir.filePath("machine.hive"));
        const QString id = platform::GuidToText(clsid);
        EXPECT_TRUE(hive.OpenKey("software\\asio\\" + name, true));
        EXPECT_TRUE(hive.WriteString("clsid", id));
        EXPECT_TRUE(hive.OpenKey("software\\classes\\clsid\\" + id + "\\InprocServer32", true));
        EXPECT_TRUE(hive.WriteString(QString(), library));
        EXPECT_TRUE(hive.CloseKey());
        platform::Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
        return id;
    }

    // The driver installed and chosen as the interface: its first input (the
    // second one for two microphones) and first output, at most 1024 samples
    // a half-buffer, 48 kHz.
    void ChooseAsioDriver(const QString& name, const platform::Guid& clsid, const QString& library) {
        main.fields.AsioGuid = QUuid(InstallAsioDriver(name, clsid, library));
        main.fields.IOMode.store(1);
        main.fields.ASIODeviceName = name;
        main.fields.ASIOInputID.store(0);
        main.fields.ASIOInputIDV.store(1);
        main.fields.ASIOOutputID.store(0);
        main.fields.amb.store(1024);
        main.fields.asio96.store(false);
    }

    void ConfigureSimulated(const std::function<void(platform::Registry&)>& write) {
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey(platform::kSimulatedAudioKey, true));
        write(reg);
        ASSERT_TRUE(reg.CloseKey());
    }

    static int32_t FindInput(const QString& name) {
        const uint32_t n = platform::WaveInDeviceCount();
        for (uint32_t i = 0; i < n; ++i) {
            platform::WaveInCaps caps;
            if (platform::WaveInGetCaps(i, &caps) == platform::kWaveNoError && platform::ProductNameOf(caps) == name)
                return static_cast<int32_t>(i);
        }
        return -1;
    }

    static int32_t FindOutput(const QString& name) {
        const uint32_t n = platform::WaveOutDeviceCount();
        for (uint32_t i = 0; i < n; ++i) {
            platform::WaveOutCaps caps;
            if (platform::WaveOutGetCaps(i, &caps) == platform::kWaveNoError && platform::ProductNameOf(caps) == name)
                return static_cast<int32_t>(i);
        }
        return -1;
    }

    std::optional<bool> IOStartMarker() {
        platform::Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));  // read from disk
        platform::Registry reg;
        if (!reg.OpenKeyReadOnly(QStringLiteral("Software\\Brask Soft\\Veltaro2026"))) return std::nullopt;
        return reg.ReadBool(QStringLiteral("IOStart"));
    }

    QTemporaryDir dir;
    platform::ScriptedDialogs dialogs;
    FakeMainWindow main;
    RecordingPeers peers;
    TDaten defaultStore;
    platform::WindowHandle window = 0;
    std::vector<Message> messages;
};

// Waits, without sleeping, until the input has published count more blocks.
class BlockWaiter {
public:
    void Seen(int32_t position) {
        {
            std::lock_guard guard(lock_);
            positions_.push_back({std::chrono::steady_clock::now(), position});
        }
        changed_.notify_all();
    }

    void Clear() {
        std::lock_guard guard(lock_);
        positions_.clear();
    }

    bool WaitFor(size_t blocks, int timeoutMs = 30000) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return positions_.size() >= blocks; });
    }

    std::vector<std::pair<std::chrono::steady_clock::time_point, int32_t>> Positions() {
        std::lock_guard guard(lock_);
        return positions_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::pair<std::chrono::steady_clock::time_point, int32_t>> positions_;
};

}  // namespace audio_in_test
