#include "main/web_display.h"

#include "main/main_window.h"
#include "platform/known_folders.h"
#include "remote/ip_handling.h"
#include "remote/web_server.h"
#include "store/measurement_store.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kPublishIntervalMs = 100;
constexpr int32_t kStartFailedText = 838;
constexpr int32_t kStartFailedHeader = 839;
constexpr int32_t kGotItButton = 1126;

}  // namespace

TWebDisplay::TWebDisplay(TVTProMaster& window) : window_(window), ipHandling_(std::make_unique<TIpHandling>()) {
    ipHandling.store(ipHandling_.get());

    TWebCommandActions actions;
    actions.post = [](platform::WindowHandle target, uintptr_t code, intptr_t argument) {
        platform::PostMessage(target, WM_MAIN_NOTIFY, code, argument);
    };
    actions.resetFindPeak = [] {
        if (MainWindowServices* main = mainWindowServices()) main->ResetFindPeak();
    };
    TWebServerHooks hooks;
    hooks.settings = [this] {
        const TProgramSettings& s = window_.Settings();
        return TWebServerSettings{s.ipPort, s.doSSL, s.theCertFile, s.theKeyName};
    };
    hooks.clearDoSSL = [this] { window_.Settings().doSSL = false; };
    hooks.reportStartFailure = [this](int32_t port) { ReportStartFailure(port); };
    TWebServerConfig config;
    config.docsFolder = window_.GetMyProgDir() + QStringLiteral("/htmlDocs");
    server_ = std::make_unique<TWebServer>(*ipHandling_, board_, std::move(actions), std::move(hooks), config);
    RegisterWebServices(server_.get());

    publishTimer_.setInterval(kPublishIntervalMs);
    connect(&publishTimer_, &QTimer::timeout, this, [this] { Publish(); });
}

void TWebDisplay::Shutdown() {
    publishTimer_.stop();
    if (webServices() == server_.get()) RegisterWebServices(nullptr);
    server_->StopWebServer();
}

TWebDisplay::~TWebDisplay() {
    Shutdown();
    ipHandling.store(nullptr);
}

void TWebDisplay::ApplyServerSetting() {
    if (ipHandling_->IsUseIp()) {
        Publish();
        server_->StartWebServer();
    } else {
        server_->StopWebServer();
    }
    if (server_->WebServerActive())
        publishTimer_.start();
    else
        publishTimer_.stop();
}

void TWebDisplay::Publish() { board_.Publish(TakeSnapshot()); }

TWebSnapshot TWebDisplay::TakeSnapshot() const {
    TWebSnapshot s;
    if (const TDisplayAreas* areas = window_.DisplayAreas()) {
        const TFieldCaches& c = areas->Caches();
        s.feldWert = c.aFeldWert;
        s.feldLabel = c.aFeldLabel;
        s.statusWert = c.aStatusWert;
        s.statusLabel = c.aStatusLabel;
        s.statusColor = c.aStatusColor;
    }
    s.statusMessung = window_.Fields().statusMessung.load();
    s.statusInfo = window_.StatusInfo();
    s.mainWindow = window_.Handle();
    if (const TDaten* store = messDaten.load()) s.blocks = store->GetNumBlocks();
    if (const TDaten* store = defaultDaten.load()) {
        s.eventName = store->GetVeranstaltung();
        s.warnPeak = store->GetWarnPeak();
        s.storedValues = store->GetWerteAnzahl();
    }
    if (sources_.kalStatus) s.kalStatus = sources_.kalStatus();
    if (sources_.calibration) s.cal = sources_.calibration();
    if (sources_.correction) s.kor = sources_.correction();
    if (sources_.calLog) s.calLog = sources_.calLog();
    return s;
}

void TWebDisplay::ReportStartFailure(int32_t port) {
    QString text = GetLangText(kStartFailedText);
    text.replace(QStringLiteral("%s"), QString::number(port));
    AskMessage(text, kStartFailedText, kStartFailedHeader, 0, 0, kGotItButton, &window_);
}

void TVTProMaster::CreateWebDisplay() { webDisplay_ = std::make_unique<TWebDisplay>(*this); }

void TVTProMaster::StopWebDisplay() {
    if (webDisplay_) webDisplay_->Shutdown();
}

void TVTProMaster::ApplyWebServerSetting() {
    if (webDisplay_) webDisplay_->ApplyServerSetting();
}
