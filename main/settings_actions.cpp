// The main window's side of the settings dialogs: it fills them from its
// settings, shows them and, on OK, takes every value back, writes the
// registry and brings the result into force. The dialogs never touch the
// registry themselves.
#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include "audio/vu_meter_thread.h"
#include "main/main_window.h"
#include "main/web_display.h"
#include "main/sftp_upload_service.h"
#include "platform/registry.h"
#include "remote/dmx_data.h"
#include "remote/ip_handling.h"
#include "remote/web_tls.h"
#include "reports/name_creator.h"
#include "reports/sftp_manager.h"
#include "reports/symbolic_path.h"
#include "settings/basic_settings_dialog.h"
#include "settings/certificate_dialog.h"
#include "settings/measurement_options_dialog.h"
#include "settings/modal_runner.h"
#include "settings/regulation_choice_dialog.h"
#include "settings/options_dialog.h"
#include "store/measurement_store.h"
#include "store/password_encryption.h"
#include "store/preset_handler.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"

namespace {

constexpr int32_t kStatusOptionsOpen = 6;
constexpr int32_t kArtNetSetupOff = -1;
constexpr int32_t kArtNetSetupDark = 255;
constexpr int32_t kRedrawAfterOptions = 3;
constexpr int kShortestKeyPhrase = 4;

QAction* NamedItem(QWidget* root, const char* name) { return root->findChild<QAction*>(QString::fromLatin1(name)); }

// x 0 centres over the window; x > 0 is the left edge, x < 0 the right edge
// at -x; y likewise for the top and the bottom edge.
QPoint OptionsPosition(const QWidget& window, const QSize& size, int32_t x, int32_t y) {
    QPoint at = window.geometry().topLeft();
    at.rx() += static_cast<int>(std::nearbyint((window.width() - size.width()) / 2.0));
    at.ry() += static_cast<int>(std::nearbyint((window.height() - size.height()) / 2.0));
    if (x > 0) at.setX(x);
    if (x < 0) at.setX(-x - size.width());
    if (y > 0) at.setY(y);
    if (y < 0) at.setY(-y - size.height());
    return FitRectToWorkArea(QRect(at, size));
}

}  // namespace

void TVTProMaster::WireSettingsActions() {
    WireMeasurementMenuActions();
    const std::pair<const char*, void (TVTProMaster::*)()> items[] = {
        {"aSelMV", &TVTProMaster::aSelMVExecute},
        {"aEditMv", &TVTProMaster::EditUserPreset},
        {"DoGrundeinstellung", &TVTProMaster::ShowGrundeinstellung},
        {"mmEOptionen", &TVTProMaster::mmEOptionenClick}};
    for (const auto& [name, action] : items) {
        QAction* item = NamedItem(this, name);
        if (item == nullptr) continue;
        item->setEnabled(true);
        connect(item, &QAction::triggered, this, [this, action = action] { (this->*action)(); });
    }
}

void TVTProMaster::aSelMVExecute() {
    TVTPresetHandler* handler = presetHandler.load();
    if (handler == nullptr) return;
    TSelectMV dialog(this);
    dialog.move(FitRectToWorkArea(QRect(geometry().center() - QPoint(dialog.width() / 2, dialog.height() / 2),
                                        dialog.size())));
    dialog.SetCurrentPresetByName(language.load() == 2 ? curPreset.InfoE : curPreset.InfoD);
    if (RunModal(dialog) != 1) return;
    const int32_t id = dialog.GetPresetId();
    if (!handler->IsValidPresetId(id)) return;
    handler->SetCurrent(id);
    lastPresetId = id;
    curPreset = handler->GetPreset(-1);
    ApplyRunSettings();
}

void TVTProMaster::EditUserPreset() {
    StopFindPeak();
    TVTPresetHandler* handler = presetHandler.load();
    if (handler == nullptr || GetMessungLaeuft()) return;
    const TVTPreset before = handler->GetPreset(-2);
    TOptionenMessung dialog(this);
    dialog.move(FitRectToWorkArea(QRect(geometry().center() - QPoint(dialog.width() / 2, dialog.height() / 2),
                                        dialog.size())));
    dialog.InitUserPreset(before);
    if (RunModal(dialog) == 1) {
        TDaten* store = defaultDaten.load();
        curPreset.naKoS = dialog.GetDecimals();
        if (store != nullptr) store->SetNKS(curPreset.naKoS);
        if (peakDisplay_) peakDisplay_->FitPeakFont();
        settings_.bCheckCal = dialog.IsKalStart();
        settings_.bCheckMax = dialog.IsMaxHeadroom();
        settings_.bCalStop = dialog.IsKalEnde();
        if (store != nullptr) SaveDefaultStore(*store);
        handler->SetCurrent(lastPresetId);
        ApplyRunSettings();
        SaveSettings();
    } else {
        handler->SetPreset(-2, before);
    }
    handler->SavePresetIntern(kSettingsKey);
    if (TDaten* display = fields_.AnzeigeDaten.load(); display && defaultDaten.load())
        defaultDaten.load()->CopyTo(*display);
    if (pbRunten_) pbRunten_->Invalidate();
}

void TVTProMaster::ShowGrundeinstellung() {
    StopFindPeak();
    TGrundeinstellung dialog(this);
    bool confirmedBefore = settings_.grundEin;
    dialog.SetVuAssign(fields_.VUAssign.load());
    const int32_t assign = inputAssign.load();
    // Only the two known assignments say how many microphones there are.
    if (assign != 1 && assign != 3) confirmedBefore = false;
    dialog.SetMikroanzahl(assign == 3 ? 2 : 1);
    HideRunten();
    dialog.SetUsePw(allowPW);
    dialog.SetForcePw(forcePW);
    dialog.SetPrecision(settings_.precision);
    dialog.SetEKal(settings_.kalErinnern);
    dialog.SetEOff(settings_.offErinnern);
    dialog.SetIntervallO(settings_.offIntervall);
    dialog.SetIntervallK(settings_.kalIntervall);
    dialog.SetSKal(settings_.kalOnStart);
    dialog.SetSOff(settings_.offOnStart);
    if (RunModal(dialog) == 1) {
        if (dialog.GetVuAssign() != fields_.VUAssign.load()) {
            fields_.VUAssign.store(dialog.GetVuAssign());
            UpdateVuLayout();
        }
        SetMicConfig(confirmedBefore, dialog.GetMikroanzahl() == 2);
        allowPW = dialog.GetUsePw();
        forcePW = dialog.GetForcePw();
        settings_.kalErinnern = dialog.GetEKal();
        settings_.offErinnern = dialog.GetEOff();
        settings_.kalIntervall = dialog.GetIntervallK();
        settings_.offIntervall = dialog.GetIntervallO();
        settings_.kalOnStart = dialog.GetSKal();
        settings_.offOnStart = dialog.GetSOff();
        settings_.precision = dialog.GetPrecision();
        settings_.grundEin = true;
        SaveSettingsOnExit();
    }
    ShowRunten();
    DrawVuLabels();
}

void TVTProMaster::ShowOptionen(int32_t page, int32_t x, int32_t y) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    StopFindPeak();
    TDMXData* dmx = dmxData.load();
    if (dmx != nullptr) {
        dmx->BackItUp(0);
        PostMainNotify(kNotifyArtNetSetup, kArtNetSetupDark);
    }
    fields_.statusMessung.store(kStatusOptionsOpen);
    TOptionsHooks hooks;
    hooks.checkTsHost = [this](const QString& host) { return CheckTsHost(host); };
    hooks.manageCertificate = [this](QWidget*, QPoint at, QString& path, QString& phrase) {
        const QString stored = CertificatePassword(settings_.theKeyName).value_or(QString());
        TSSLManager manager(this, [stored](const QString& file) { return CheckCertificateFile(file, stored); });
        manager.SetCertFileName(path);
        manager.move(FitRectToWorkArea(QRect(at, manager.size())));
        if (RunModal(manager) != 1) return false;
        path = manager.GetCertFileName();
        phrase = manager.GetPw();
        return true;
    };
    TvtpOptionen dialog(this, std::move(hooks));
    dialog.move(OptionsPosition(*this, dialog.size(), x, y));
    FillOptions(dialog);
    dialog.Select_Window(page);
    QApplication::restoreOverrideCursor();
    const int result = RunModal(dialog);
    if (result == 1) {
        lastOptionsPage_ = dialog.GetSelectedWindowID();
        // The web server restarts with the options, so the new phrase comes first.
        const QString newPhrase = dialog.GetSSLPW();
        if (newPhrase.length() >= kShortestKeyPhrase)
            settings_.theKeyName = EncipherText(newPhrase, TCipherKind::Twofish, THashKind::Sha256,
                                                QString::fromLatin1(kCertKeyPhrase));
        TakeOptions(dialog);
    } else {
        if (dmx != nullptr) dmx->RestoreBackUp(0);
        if (nameCreator_ != nullptr) nameCreator_->RestoreBackUp();
    }
    if (artNet_) {
        artNet_->SetArtNetSetupMode(kArtNetSetupOff);
        if (dmx != nullptr && dmx->GetUseIt())
            artNet_->StartArtNet();
        else
            artNet_->StopArtNet();
    }
    if (TDaten* display = fields_.AnzeigeDaten.load(); display && defaultDaten.load())
        defaultDaten.load()->CopyTo(*display);
    PostMainNotify(kNotifyForceValueRedraw, kRedrawAfterOptions);
    fields_.statusMessung.store(logoOnStop ? kStatusOptionsOpen : 0);
}

void TVTProMaster::FillOptions(TvtpOptionen& dialog) {
    TDaten* store = defaultDaten.load();
    dialog.SetLogoOnStop(logoOnStop);
    dialog.SetPeakRelease(settings_.rlz.load());
    dialog.SetPort(settings_.ipPort);
    dialog.SetBlinkMode(static_cast<uint32_t>(BlinkMode.load()));
    const TColor colours[4] = {printColorLeq, printColorLeqK, printColorPeak, printColorGrid};
    for (int i = 0; i < 4; ++i) dialog.SetPrintColor(i, colours[i]);
    dialog.SetOWPrompt(settings_.overWritePrompt);
    for (int area = 0; area < 4; ++area) dialog.SetAreaElement(area, areaChannel[area].load());
    dialog.SetShowInfoOnClick(settings_.showInfo);
    dialog.SetShowLeqBar(settings_.showProgress);
    dialog.SetUseSSL(settings_.doSSL);
    dialog.SetCertFile(settings_.theCertFile);
    dialog.SetBlockWin(blockWinExit);
    dialog.SetAutoFn(settings_.doAutoFileName);
    dialog.SetUseFn(settings_.doFileName);
    dialog.fnl = settings_.sRecFileName;
    dialog.dnl = settings_.sRecDir;
    dialog.SetAutoStart(settings_.autoStart);
    dialog.SetReadOnly(settings_.makeReadOnly);
    dialog.SetClModes(clModePre, clModePost);
    dialog.SetClPreset(clModePreset);
    dialog.checkAutoStart();
    dialog.showFNL();
    dialog.showDNL();
    dialog.SetSaveInterval(store != nullptr ? store->GetDrawInterval() : 60);
    dialog.SetRecordingTimes(recPre, recPost, recMax);
    dialog.SetRecPeak(recRecordP);
    dialog.SetUseRecSubDir(recUseSubDir);
    dialog.SetCheckKStart(settings_.checkKorrStart);
    dialog.SetCheckKSetup(settings_.checkKorrSetup);
    dialog.SetMinKorrSpl(store != nullptr ? store->GetMinKorrSpl() : -60);
    dialog.SetMusikKorr(store != nullptr && store->GetMusicKorr());
    dialog.SetAllowCalc(AllowKorrCalc);
    dialog.SetSymFolder(nameCreator_ != nullptr && nameCreator_->GetUseSymbolicPath());
    if (nameCreator_ != nullptr) nameCreator_->DoBackUp();
    dialog.SetAELimit(settings_.aeLimit);
    dialog.SetAEMode(settings_.aeMode);
    dialog.SetUseMyDocs(settings_.useMyDocuments);
    dialog.SetTsUse(settings_.tsUse);
    dialog.SetTsStartup(settings_.tsStartUp);
    dialog.SetTsStart(settings_.tsStart);
    dialog.SetTsEnd(settings_.tsEnd);
    dialog.SetTsHost(settings_.tsHost);
    dialog.SetTSShowInfo(settings_.tsShowInfo);
    if (TSFTPManager* sftp = sftpManager.load()) {
        dialog.SetSFTP(sftp->GetHost(), sftp->GetUser(), sftp->GetPW(), sftp->GetSubDir(), sftp->GetPort(),
                       sftp->GetUseV6(), sftp->GetSavePW(), sftp->GetOverWrite());
        dialog.SetSFTPUse(sftp->GetAutoTrans());
    }
}

void TVTProMaster::TakeOptions(TvtpOptionen& dialog) {
    TDaten* store = defaultDaten.load();
    for (int area = 0; area < 4; ++area) areaChannel[area].store(dialog.GetAreaElement(area));
    settings_.showInfo = dialog.GetShowInfoOnClick();
    settings_.showProgress = dialog.GetShowLeqBar();
    settings_.theCertFile = dialog.GetCertFile();
    settings_.doSSL = QFileInfo::exists(settings_.theCertFile) && dialog.GetShowSSL();
    blockWinExit = dialog.GetBlockWin();
    printColorLeq = dialog.GetPrintColor(0);
    printColorLeqK = dialog.GetPrintColor(1);
    printColorPeak = dialog.GetPrintColor(2);
    printColorGrid = dialog.GetPrintColor(3);
    settings_.autoStart = dialog.GetAutostart();
    settings_.makeReadOnly = dialog.GetReadOnly();
    if (store != nullptr) store->SetMinKorrSpl(dialog.GetMinKorrSpl());
    clModePre = dialog.GetClModePre();
    clModePost = dialog.GetClModePost();
    clModePreset = dialog.GetClPreset();
    settings_.tsHost = dialog.GetTsHost();
    if (timeServer_) timeServer_->SetHost(settings_.tsHost);
    settings_.tsUse = dialog.GetTsUse();
    settings_.tsStartUp = dialog.GetTsStartup();
    settings_.tsStart = dialog.GetTsStart();
    settings_.tsEnd = dialog.GetTsEnd();
    settings_.tsShowInfo = dialog.GetTsShowInfo();
    settings_.rlz.store(dialog.GetPeakRelease());
    if (QAction* resetPeak = NamedItem(menuBar(), "resetVuPeak")) resetPeak->setVisible(settings_.rlz.load() == 0);
    settings_.aeLimit = dialog.GetAELimit();
    settings_.aeMode = dialog.GetAEMode();
    settings_.doAutoFileName = dialog.GetAutoFn();
    settings_.doFileName = dialog.GetUseFn();
    settings_.sRecFileName = dialog.fnl;
    settings_.sRecDir = dialog.dnl;
    settings_.useMyDocuments = dialog.GetUseMyDocs();
    BlinkMode.store(dialog.GetBlinkMode());
    if (store != nullptr) store->SetDrawInterval(dialog.GetSaveInterval());
    recPre = dialog.GetRecBefore();
    recPost = dialog.GetRecAfter();
    recMax = dialog.GetRecMax();
    recRecordP = dialog.GetRecPeak();
    recUseSubDir = dialog.GetUseRecSubDir();
    settings_.checkKorrStart = dialog.GetCheckKStart();
    settings_.checkKorrSetup = dialog.GetCheckKSetup();
    settings_.overWritePrompt = dialog.GetOWPrompt();
    if (store != nullptr) store->SetMusicKorr(dialog.GetMusikKorr());
    settings_.ipPort = dialog.GetPort();
    if (TIpHandling* ips = ipHandling.load())
        for (int32_t i = 0; i < ips->GetNumIps(); ++i) ips->SetIpState(i, dialog.IsIpActive(i));
    if (TSFTPManager* sftp = sftpManager.load()) {
        sftp->SetHost(dialog.GetSFTPHost());
        sftp->SetUser(dialog.GetSFTPUser());
        sftp->SetSavePW(dialog.GetSFTPSavePW());
        sftp->SetPW(dialog.GetSFTPpw());
        sftp->SetSubDir(dialog.GetSFTPSubDir());
        sftp->SetPort(dialog.GetSFTPPortId());
        sftp->SetUseV6(dialog.GetSFTPUseV6());
        sftp->SetOverWrite(dialog.GetSFTPOver());
        sftp->SetAutoTrans(dialog.GetSFTPUse());
    }
    AllowKorrCalc = dialog.GetAllowCalc();
    logoOnStop = dialog.GetLogoOnStop();
    if (nameCreator_ != nullptr) nameCreator_->SetUseSymbolicPath(dialog.GetSymFolder());
    ApplyOptions();
}

// Everything taken back is written and brought into force.
void TVTProMaster::ApplyOptions() {
    SaveSettings();
    SaveSettingsOnExit();
    {
        platform::Registry reg;
        if (reg.OpenKey(kSettingsKey, true)) {
            reg.WriteBool(QStringLiteral("showProgress"), settings_.showProgress);
            if (nameCreator_ != nullptr) nameCreator_->SaveToReg(&reg);
        }
        reg.CloseKey();
    }
    if (sftpUpload_) sftpUpload_->SaveSettings();
    if (TDaten* store = defaultDaten.load()) SaveDefaultStore(*store);
    if (TVuThread* vu = workers_->VuThread()) vu->resetLevelCalc();
    SetSymbolicPathDisplay(nameCreator_ != nullptr && nameCreator_->GetUseSymbolicPath());
    ApplyRunSettings();
    ApplyWebServerSetting();
    SyncWebTime();
}
