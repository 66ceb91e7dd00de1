// The main window's side of the audio interfaces: the back-ends it registers
// for the audio start and stop, the test-signal table and level it sets up
// while it is created, the level menu of the meter, and its handlers of the
// test signal (18, 19), the session events (259), the running input (0xB0)
// and the ASIO driver's requests (0xB2).
#include <QMenu>

#include "audio/asio_backend.h"
#include "audio/audio_back_ends.h"
#include "audio/audio_device_setup.h"
#include "audio/test_signal.h"
#include "audio/wasapi_streams.h"
#include "main/main_window.h"
#include "main/vu_meter_view.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr double kStartLevelDb = -60.0;

}  // namespace

void TVTProMaster::WireAudioInterfaces() {
    audioBackEnds_ = std::make_unique<TAudioBackEnds>();
    InitPinkNoiseBuffer();
    SetLevel(kStartLevelDb);
    BuildLevelMenu();
    // The settings menu's "Audio I/O Konfiguration", while no measurement runs.
    if (settingsMenu_ != nullptr) {
        if (auto* item = settingsMenu_->findChild<QAction*>(QStringLiteral("aSelectSC"))) {
            item->setEnabled(true);
            connect(item, &QAction::triggered, this, [] { aSelectSCExecute(); });
            connect(settingsMenu_, &QMenu::aboutToShow, item, [this, item] { item->setEnabled(!GetMessungLaeuft()); });
        }
    }
}

// A program whose interface was never chosen (or whose chosen endpoint is
// gone) asks for one while it starts, before anything is measured.
void TVTProMaster::StartUpAudioSetup() {
    if (fields_.IOMode.load() == -1) aSelectSCExecute();
}

void TVTProMaster::BuildLevelMenu() {
    if (!vuView_) return;
    popVol_ = new QMenu(this);
    popVol_->setObjectName(QStringLiteral("popVol"));
    for (const LevelMenuItem& item : LevelMenuItems()) {
        QAction* action = popVol_->addAction(item.caption);
        const int32_t level = item.level;
        connect(action, &QAction::triggered, this, [level] { N60dB2Click(level); });
    }
    vuView_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(vuView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (fields_.isFindPeak.load()) popVol_->popup(vuView_->mapToGlobal(at));
    });
}

void TVTProMaster::RegisterAudioNotifications() {
    dispatch_.Add(kNotifyTestSignalSwitch, [this](int32_t on) {
        if (TestSignalSwitch(on) && peakDisplay_) peakDisplay_->ShowPeakC();
    });
    dispatch_.Add(kNotifyTestSignalLevel, [](int32_t level) { TestSignalLevel(level); });
    dispatch_.Add(kNotifySessionEvent, [](int32_t event) { WasSessionEvent(event); });
}

void TVTProMaster::AudioWindowMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    if (msg == WM_ASIO_RESET)
        ResetASIODriver(lParam);
}
