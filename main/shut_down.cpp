// How the program ends: the close request, the power check and the order in
// which the window stops the workers, saves what it holds and frees it.
#include <QCloseEvent>
#include <QDir>

#include <cmath>

#include "audio/audio_back_ends.h"
#include "audio/audio_start_stop.h"
#include "main/graph_view.h"
#include "main/main_window.h"
#include "main/web_display.h"
#include "main/session_end_watch.h"
#include "main/sftp_upload_service.h"
#include "main/zoom_window.h"
#include "platform/registry.h"
#include "store/measurement_store.h"
#include "store/preset_handler.h"
#include "platform/user_dialogs.h"
#include "ui_kit/message_box.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"
#include "ui_kit/system_services.h"
#include "ui_kit/text_table.h"
#include "audio/wasapi_devices.h"

namespace {

constexpr double kTimeJumpSeconds = 10.0;
constexpr double kSecondsPerDay = 86400.0;

}  // namespace

TVTProMaster::~TVTProMaster() { FormDestroy(); }

// The settings of the next measurement; a failed save is told, since the
// next start would begin with the defaults.
void TVTProMaster::SaveDefaultStore(TDaten& store) {
    QString why;
    try {
        if (!store.SaveToFile(defaultDatenDatei_, QString())) why = QStringLiteral("not written");
    } catch (const std::exception& e) {
        why = QString::fromLocal8Bit(e.what());
    }
    if (!why.isEmpty())
        AskMessage(QStringLiteral("%1\r\n%2").arg(QDir::toNativeSeparators(defaultDatenDatei_), why), 0, 101, 0, 0,
                   1054, this);
}

void TVTProMaster::closeEvent(QCloseEvent* event) {
    if (FormCloseQuery()) {
        event->accept();
    } else {
        event->ignore();
    }
}

bool TVTProMaster::FormCloseQuery() {
    CloseInfoWindow();
    CloseProtocolWindow();
    if (windowsEnde_) return true;
    if (GetMessungLaeuft()) {
        canSetForeGround_ = false;
        AskMessage(GetLangText(76) + QStringLiteral("\r\n") + GetLangText(77), 0, 78, 0, 0, 1054, this);
        canSetForeGround_ = true;
        return false;
    }
    return AskMessageIds(80, 101, 1125, 0, 208, this) == platform::kMessageRight;
}

bool TVTProMaster::QueryEndSession() {
    if (GetMessungLaeuft() && blockWinExit) return false;
    windowsEnde_ = true;
    return true;
}

void TVTProMaster::EndSessionStop() {
    CloseInfoWindow();
    CloseProtocolWindow();
    if (!GetMessungLaeuft() && !hEOM_) return;
    AddEventMessage(GetLangText(865), false, false);
    if (GetMessungLaeuft()) {
        StopMessung(2);
    } else {
        FinishFromEndDialog(2);  // stopped already, the end dialog was still open
    }
}

// The session's end reaches the program as a signal or a desktop logout: a
// running measurement is stopped and saved without questions, then the
// window closes.
void TVTProMaster::WatchSessionEnd() {
    if (sessionEndWatch_ != nullptr) return;  // the start sequence may run again
    SessionEndCallbacks callbacks;
    callbacks.refuseLogout = [this] { return !QueryEndSession(); };
    callbacks.logoutAgreed = [this] { EndSessionStop(); };
    callbacks.terminationRequested = [this](int) {
        windowsEnde_ = true;
        EndSessionStop();
        close();
    };
    sessionEndWatch_ = new TSessionEndWatch(std::move(callbacks), this);
}

bool TVTProMaster::CheckPowerStatus() {
    isAkku_ = false;
    const bool onMains = IsOnMains(true);
    if (pbStatus_) pbStatus_->Invalidate();
    if (onMains) return true;
    isAkku_ = true;
    QString text = GetLangText(1184);
    if (IsBatteryLow(false)) text = GetLangText(1185) + QStringLiteral("\r\n\r\n") + text;
    AskMessage(text, 0, 1183, 0, 0, 1054, this);
    return false;
}

void TVTProMaster::TimeChanged() {
    SyncWebTime();
    if (!GetMessungLaeuft()) return;
    const platform::TDateTime now = platform::SystemLocalNow();
    const double wholeSeconds = std::trunc(std::fabs(now - zeitSpeicher_) * kSecondsPerDay);
    if (wholeSeconds <= kTimeJumpSeconds) return;
    AddEventMessage(GetLangText(925) + QStringLiteral(": ") + EventTimeText(now), true, false);
}

// Every worker stops before what it reads is freed; the settings and the
// default store are saved while everything still exists.
void TVTProMaster::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    StopWebDisplay();
    delete sessionEndWatch_;  // no session end reaches a window being destroyed
    sessionEndWatch_ = nullptr;
    if (TVTPresetHandler* handler = presetHandler.load()) handler->SavePresetIntern(kSettingsKey);
    mainReady.store(false);
    if (workers_) workers_->StopClockThread();
    leaving_ = true;
    StopRemoteOutputs();
    if (graphView_) graphView_->StopTimer();
    CloseZoomWindow();
    EditKorrDone(false);
    if (formCreated_) StopAudioIn();
    audioBackEnds_.reset();  // ends a test signal still playing while its device object exists
    if (TDaten* store = defaultDaten.load(); store && formCreated_) SaveDefaultStore(*store);
    if (formCreated_) {
        SaveSettingsOnExit();
        SaveSettings();
        if (sftpUpload_) sftpUpload_->SaveSettings();
    }
    ReleaseReportObjects(formCreated_);
    FreeMidiDevice();
    CloseInfoWindow();
    if (workers_) {
        workers_->StopCalcer();
        fields_.hVuThread.store(nullptr);
        workers_->StopVuThread();
    }
    FinishCalLog();
    FreeLocationStore();
    delete fields_.AnzeigeDaten.exchange(nullptr);
    delete messDaten.exchange(nullptr);
    delete defaultDaten.exchange(nullptr);
    delete presetHandler.exchange(nullptr);
    wasapiLayer.store(nullptr);
    wasAudio_.reset();
    if (formCreated_) WriteIamRunning(false);
    platform::UnregisterWindow(handle_);
    mainWnd.store(0);
    DestroyRemoteOutputs();
    sftpUpload_.reset();
    EndCalibrationServices();
    RegisterMainWindowServices(nullptr);
}
