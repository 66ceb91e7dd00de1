// Creation of the main window and the start sequence that brings the
// program into its idle state.
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "audio/audio_back_ends.h"
#include "audio/audio_start_stop.h"
#include "audio/wasapi_devices.h"
#include "main/command_line.h"
#include "main/graph_view.h"
#include "main/zoom_window.h"
#include "main/main_window.h"
#include "main/web_display.h"
#include "main/power_watch.h"
#include "main/time_change_watch.h"
#include "main/vu_meter_view.h"
#include "main/sftp_upload_service.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "platform/user_dialogs.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "store/password_encryption.h"
#include "store/preset_handler.h"
#include "ui_kit/info_window.h"
#include "ui_kit/level_bars.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"
#include "ui_kit/system_services.h"
#include "ui_kit/target_file.h"
#include "ui_kit/text_table.h"

namespace {

const QString kFolderName = QStringLiteral("Veltaro_2026");
const QString kOldFolderName = QStringLiteral("Veltaro_2025");
const QString kDefaultStoreFile = QStringLiteral("Default.vtm");
const QString kIamRunning = QStringLiteral("IamRunning");

constexpr intptr_t kArtNetBlackoutSetup = 254;
constexpr int32_t kWebSessionLimit = 10;
constexpr int32_t kStartNoticeTimeoutMs = 15000;
constexpr int kWaveHeaderSize = 48;

// A known folder, or the program folder when the system has none to give.
QString KnownFolderOrProgramFolder(platform::KnownFolder folder) {
    const QString path = platform::KnownFolderPath(folder);
    if (!path.isEmpty() && QDir().mkpath(path)) return path;
    return platform::KnownFolderPath(platform::KnownFolder::ProgramFolder);
}

}  // namespace

TVTProMaster::TVTProMaster(const StartOptions& options) : QMainWindow(nullptr) {
    FormCreate(options);
}

// The long-lived objects are made in a fixed order: each step may rely on
// everything made before it, and the worker threads start only once all
// they read exists.
void TVTProMaster::FormCreate(const StartOptions& options) {
    // The lower parts reach the window through this interface from now on;
    // it stays registered until every thread that may call it has ended.
    RegisterMainWindowServices(this);
    CreateRemoteOutputs();
    StartCalibrationServices();
    observeNotifications_ = options.observeNotifications;
    defaultDaten.store(nullptr);
    messDaten.store(nullptr);
    fields_.noCalReason.store(0);
    ClearRunState();
    fields_.headerSize.store(kWaveHeaderSize);

    setFont(QFont(QStringLiteral("VERDANA")));
    SetUiScale(LogicalDpiOf(this));
    uiFontName = QStringLiteral("VERDANA");

    mainReady.store(true);
    canSetForeGround_ = false;

    migrated_ = OfferMigration();

    handle_ = platform::RegisterWindow([this](uint32_t msg, uintptr_t w, intptr_t l) {
        if (msg == WM_MAIN_NOTIFY) WMMainNotify(w, l);
        else if (msg == WM_INPUT_RUNNING) OnInputState(w, l);
        else AudioWindowMessage(msg, w, l);
    });
    mainWnd.store(handle_);
    RegisterNotifications();
    new TTimeChangeWatch([this] { TimeChanged(); }, this);
    new TPowerWatch([this] { CheckPowerStatus(); }, this);

    fields_.statusMessung.store(0);
    CreateAudioSyncObjects();
    hBlocker_ = std::make_unique<TBlocker>();
    leqPercentRef.store(kStartLeqPercentRef);
    AllocateSampleRings();
    fields_.isFindPeak.store(false);

    if (!RunCipherSelfTest()) return;

    fields_.AnzeigeDaten.store(new TDaten());
    leaving_ = false;
    fields_.WaveDeviceName.clear();
    fields_.ASIODeviceName.clear();
    fields_.waveInID.store(-1);
    fields_.IOMode.store(-1);

    SettingsContext context;
    DetermineFolders();
    context.userPfad = fields_.userPfad;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) context.workArea = screen->availableGeometry();
    settingsTable_ = SettingsTable(settings_, fields_, context);
    SetGroupDefaults(settingsTable_, SettingGroup::Options);

    CreatePresetHandler();
    CreateLocationStore();
    settings_.autoStart = false;
    allowPW = true;
    forcePW = false;
    QDir().mkpath(fields_.basisPfad);
    defaultDatenDatei_ = fields_.basisPfad + QLatin1Char('/') + kDefaultStoreFile;
    if (migrated_) {
        const QString oldDefault = basisPfadOld_ + QLatin1Char('/') + kDefaultStoreFile;
        if (QFileInfo::exists(oldDefault) && !QFileInfo::exists(defaultDatenDatei_))
            QFile::copy(oldDefault, defaultDatenDatei_);
    }

    LoadOptions();
    sftpUpload_ = std::make_unique<TSftpUploadService>(this);
    CreateReportObjects();
    fields_.statusMessung.store(logoOnStop ? 6 : 0);

    wasAudio_ = std::make_unique<TWasAudio>();
    wasapiLayer.store(wasAudio_.get());
    wasapiAvailable = wasAudio_->Init(handle_, WM_MAIN_NOTIFY, kNotifySessionEvent, 3);

    InstallThreadFailureNotification();
    workers_ = std::make_unique<TWorkerThreads>([this] { return settings_.rlz.load(); });
    workers_->StartVuThread();
    fields_.hVuThread.store(workers_->VuThread());
    workers_->StartCalcer();
    workers_->StartClockThread();

    EvaluateCommandLine(options.arguments);
    WriteIamRunning(true);
    SetInfoLine(GetLangText(209));

    defaultDaten.store(new TDaten());
    LoadDefaultStore();
    CreateWebDisplay();
    CreateMidiDevice();

    BuildForm();
    WireCalibrationActions();
    WireCorrectionActions();
    WireLocationTextMenu();
    SetDisplayColors(displayLayout.load(), true);
    messDaten.store(new TDaten());
    WireAudioInterfaces();
    ResetMidiOutputs();
    PostMainNotify(kNotifyClockTick, 0);

    const uint64_t version = static_cast<uint64_t>(getVersionID());
    versionText_ = QStringLiteral("%1.%2.%3.%4 (64 Bit)")
                       .arg(version >> 48)
                       .arg((version >> 32) & 0xFFFF)
                       .arg((version >> 16) & 0xFFFF)
                       .arg(version & 0xFFFF);
    messungLaeuft_.store(false);
    ResetVuPeakLatch();

    if (QWidget* splash = options.splash) {
        splash->hide();
        splash->deleteLater();
    }

    LoadSettings();
    if (!settings_.autoStart) ShowStartUpNotice(options.answerStartNoticeAtOnce);
    InitAfterCreate();
    formCreated_ = true;
}

void TVTProMaster::InitAfterCreate() {
    const QString damage = platform::Registry::TakeDamageReport();
    if (!damage.isEmpty()) AskMessage(damage, 0, 101, 0, 0, 1054, this);
    CheckForAbortedRun();
    const bool laeuft = LoadDeviceSettings();
    ApplyWindowPlacement();
    webClientLimit.store(kWebSessionLimit);
    StartUpCorrectionQuestion(laeuft);
    StartUpCorrectionStatus();
    StartUpAudioSetup();
    InitVuLabels();
    vuView_->RebuildVuScale();
    const bool remindersDue = StartUpApplyCalibration();
    ResetMidiOutputs();
    if (TDaten* display = fields_.AnzeigeDaten.load(); display && defaultDaten.load())
        defaultDaten.load()->CopyTo(*display);
    if (!settings_.grundEin) ShowGrundeinstellung();
    CheckPowerStatus();
    if (!settings_.autoStart) {
        if (!FileToOpen.isEmpty() && QFileInfo(FileToOpen).isFile()) PostMainNotify(kNotifyOpenFileInViewer, 0);
        if (!PresetToLoad.isEmpty() && QFileInfo(PresetToLoad).isFile()) PostMainNotify(kNotifyPresetFileNamed, 0);
    }
    PostMainNotify(kNotifyArtNetSetup, kArtNetBlackoutSetup);
    WatchSessionEnd();
    // The automatic start runs once the window is complete.
    if (settings_.autoStart) QTimer::singleShot(0, this, [this] { AutoStartMessung(); });
    RefreshEventZoom(false);
    if (graphView_) graphView_->StartTimer();
    if (remindersDue) ShowCalReminder();
    ApplyWebServerSetting();
}

// The previous version's settings are offered once: only while the current
// key does not exist yet, which the start creates a moment later.
bool TVTProMaster::OfferMigration() {
    platform::Registry reg;
    if (!reg.KeyExists(kPreviousSettingsKey) || reg.KeyExists(kSettingsKey)) return false;
    if (AskMessageIds(793, 101, 403, 0, 427) != platform::kMessageRight) return false;
    if (!reg.CopyKey(kPreviousSettingsKey, kSettingsKey)) {
        AskMessage(reg.LastError(), 0, 101, 0, 0, 1054);
        return false;
    }
    return true;
}

void TVTProMaster::DetermineFolders() {
    const QString baseRoot = KnownFolderOrProgramFolder(platform::KnownFolder::AppData);
    userRoot_ = KnownFolderOrProgramFolder(platform::KnownFolder::Documents);
    fields_.userPfad = userRoot_ + QLatin1Char('/') + kFolderName;
    userPresetPfad_ = UserPresetFolder(fields_.userPfad);
    QDir().mkpath(userPresetPfad_);
    basisPfadOld_ = baseRoot + QLatin1Char('/') + kOldFolderName;
    fields_.basisPfad = baseRoot + QLatin1Char('/') + kFolderName;
}

void TVTProMaster::EvaluateCommandLine(const QStringList& arguments) {
    const CommandLineFiles files = ParseCommandLine(arguments);
    FileToOpen = files.fileToOpen;
    PresetToLoad = files.presetToLoad;
}

// The welcome and liability notice; creation waits until it is answered.
void TVTProMaster::ShowStartUpNotice(bool answerAtOnce) {
    ShowInfoPopup(-1, -1, GetLangText(568) + QStringLiteral("\r\n\r\n") + GetLangText(573),
                  QStringLiteral("Veltaro Pro, Version ") + versionText_, kStartNoticeTimeoutMs, QString(), -1,
                  GetLangText(562), 0, 0, static_cast<int32_t>(std::nearbyint(350 * UIScale)), 1);
    if (answerAtOnce) PostMainNotifyAlways(kNotifyInfoAnswer, 0);
    // The answer arrives as notification 21, whose handler frees the window.
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &wait, [&wait] {
        if (infoWindow.load() == nullptr) wait.quit();
    });
    poll.start(15);
    if (infoWindow.load() != nullptr) wait.exec();
}

// The measurement files are enciphered with this cipher; a program whose
// cipher gives wrong results would write files nobody can read again.
bool TVTProMaster::RunCipherSelfTest() {
    if (CipherSelfTest(TCipherKind::Rijndael)) return true;
    AskMessage(QStringLiteral("The cipher self-test failed: measurement files cannot be protected safely. "
                              "Veltaro ends."),
               0, 101, 0, 0, 1054);
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(3); });
    return false;
}

void TVTProMaster::WriteIamRunning(bool running) {
    platform::Registry reg;
    if (reg.OpenKey(kSettingsKey, true)) reg.WriteBool(kIamRunning, running);
    reg.CloseKey();
}

void TVTProMaster::CreatePresetHandler() {
    auto* handler = new TVTPresetHandler(DefaultPresetFolder(), userPresetPfad_);
    presetHandler.store(handler);
    handler->SetCurrent(-3);
    handler->GetPresetIntern(kSettingsKey);
    curPreset = handler->GetPreset(-1);
    calcSetup_.TakeFrom(curPreset);
}

void TVTProMaster::LoadDefaultStore() {
    TDaten* store = defaultDaten.load();
    if (!QFileInfo::exists(defaultDatenDatei_)) {
        PostMainNotify(kNotifyNewEventData, 0);
        return;
    }
    QString why;
    if (store->LoadFromFile(defaultDatenDatei_, kLoadHeaderOnly, &why) != kLoadDone) {
        // The settings of the next measurement start afresh; the file stays
        // where it is, so nothing the user had is overwritten before exit.
        PostMainNotify(kNotifyNewEventData, 0);
        AddEventMessage(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(defaultDatenDatei_), why), false, false);
    }
}

void TVTProMaster::ApplyWindowPlacement() {
    QRect r = settings_.normalRect;
    // A placement too small to use (a damaged value) gives the default one.
    if (r.width() < 200 || r.height() < 150) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        r = DefaultWindowRect(screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080));
    }
    setGeometry(r);
    if (settings_.showCmd == 3) setWindowState(windowState() | Qt::WindowMaximized);
    ApplyFullSizeMode(this, settings_.isMaxi);
}

QString TVTProMaster::GetMyProgDir() const {
    return platform::KnownFolderPath(platform::KnownFolder::ProgramFolder);
}

QString TVTProMaster::GetTreeBasePath() { return settings_.useMyDocuments ? userRoot_ : QString(); }

QString TVTProMaster::GetBasisPath() const {
    const QString probe = fields_.basisPfad + QStringLiteral("/space.tst");
    const bool usable = CheckTargetFile(probe, 300) == 0;
    QFile::remove(probe);
    return usable ? fields_.basisPfad : QString();
}

int64_t TVTProMaster::getVersionID() {
    return static_cast<int64_t>(GetFileVersionNumber(QCoreApplication::applicationFilePath()));
}

void TVTProMaster::UpdateIt() { QCoreApplication::processEvents(); }
