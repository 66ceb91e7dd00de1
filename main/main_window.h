#pragma once
// The main window TVTProMaster: the run controller of the program. It builds
// every long-lived object in a fixed order when it is created, owns the
// stores and the worker threads, handles every notification of the workers
// and dialogs on the GUI thread, keeps the program settings and ends the
// program in a fixed order. Each concern lives in its own file in main/:
//   program_start.cpp       creation, start sequence, migration, command line
//   program_settings.cpp    the registry values and their defaults
//   settings_io.cpp         reading and writing them at their moments
//   notification_dispatch   the table of notification codes
//   notifications.cpp       the window's handlers of those codes
//   worker_threads.cpp      VU meter, calculation and clock threads
//   run_settings.cpp        bringing the preset and settings into force
//   event_messages.cpp      the event list
//   vu_meter_view.cpp       the level meter
//   shut_down.cpp           close request, power check, destruction
//   main_form.cpp           the panels, the menus and the colour scheme
//   main_form_layout.cpp    where the panels go at a size and scale
//   command_line.cpp        the file named on the command line
//   time_change_watch.cpp   the system clock being set
//   power_watch.cpp         the power source changing
#include <QMainWindow>
#include <QStringList>

#include <functional>

#include <atomic>
#include <cstdint>
#include <memory>

#include "main/event_messages.h"
#include "main/notification_dispatch.h"
#include "main/program_settings.h"
#include "main/worker_threads.h"
#include "platform/window_messages.h"
#include "ui_kit/services/main_window_services.h"

class QMenu;
class QAction;
class TPaintBox32;
class TBlocker;
class TVuMeterView;
class TWasAudio;
class TVTPresetHandler;
class TDaten;

// What the program was started with.
struct StartOptions {
    QStringList arguments;  // the command line without the program name
    // Answers the start-up notice as soon as it is shown; the start-up
    // benchmark sets it, so that it measures the start and not a reader.
    bool answerStartNoticeAtOnce = false;
    // The splash window the main block shows; the window hides and frees it.
    QWidget* splash = nullptr;
    // Sees every notification before its handler runs (tests).
    std::function<void(uintptr_t code, intptr_t argument)> observeNotifications;
};

// The program's main form.
class TVTProMaster : public QMainWindow, public MainWindowServices {
public:
    explicit TVTProMaster(const StartOptions& options);
    ~TVTProMaster() override;

    // --- MainWindowServices ---
    MainWindowFields& Fields() override { return fields_; }
    double GetKorr(int32_t quantity) override;
    int32_t GetPeakSamples() override;
    int32_t GetSamplesLeqKurz() override;
    int32_t GetLeqSamples() override;
    int32_t GetFilter(int32_t quantity) override;
    int32_t GetSaveIntervalSec() override;
    int32_t GetMessDauerMin() override;
    bool GetMessungLaeuft() override { return messungLaeuft_.load(); }
    double GetCPeak() override;
    QString GetTreeBasePath() override;
    QString GetUserPath() override { return fields_.userPfad; }
    int64_t getVersionID() override;
    void UpdateIt() override;
    QWidget* MainForm() override { return this; }
    void DrawSvgIcon(QPainter& painter, int32_t index, const QRectF& square) override;
    void AddEventMessage(const QString& text, bool tray, bool box) override;
    void UpdateVuLayout() override;
    void DrawVuLabels() override;
    void StopFindPeak() override;
    void CloseInfoWindow() override;
    void InfoAnswer(int32_t code) override;
    void HideRunten() override {}
    void ShowRunten() override {}
    void SetDisplayColors(int32_t scheme, bool force) override;
    void ApplyLanguage(int32_t lang, bool force) override;
    void StopRecording() override {}
    void DisableIoWatch() override {}

    // --- Start ---
    QString GetMyProgDir() const;
    QString GetBasicDir() const { return fields_.userPfad; }
    // The base folder when a file can be made in it and 300 MB are free, else empty.
    QString GetBasisPath() const;
    QString FileToOpen;
    QString PresetToLoad;
    bool MigrationDone() const { return migrated_; }
    // False when the creation had to stop (the program then ends).
    bool Created() const { return formCreated_; }

    // --- Settings ---
    TProgramSettings& Settings() { return settings_; }
    void LoadOptions();
    void LoadSettings();
    // Reads the device, layout and graph values, applies them and sends
    // notification 8 with the stored input assignment; answers Laeuft.
    bool LoadDeviceSettings();
    bool SaveSettings();
    bool SaveSettingsOnExit();
    // The menu item: asks, then puts the values back to their defaults.
    void ResetAllSettings();

    // --- Notifications ---
    // The handler of the notification message.
    void WMMainNotify(uintptr_t code, intptr_t argument);
    bool Leaving() const { return leaving_; }
    platform::WindowHandle Handle() const { return handle_; }

    // --- Worker threads and run settings ---
    TWorkerThreads& Workers() { return *workers_; }
    void StartCalcer() { workers_->StartCalcer(); }
    void StopCalcer() { workers_->StopCalcer(); }
    void ApplyRunSettings();
    void ApplyPresetLimits();
    void ResetVuPeakLatch();
    void ResetMidiOutputs();
    void ResetRunValues();
    // Notification 72: reports the failure as event lines and replaces a
    // failed calculation thread, once in a row.
    void ReportThreadFailure(int32_t code);
    int32_t GetInterval() const;
    bool NeedHighSpeed() { return GetMessungLaeuft(); }
    const QStringList& EventLines() const { return events_.Lines(); }

    // --- Shut-down and power ---
    bool CheckPowerStatus();
    bool IsOnBattery() const { return isAkku_; }
    void Beenden1Click() { close(); }
    // The time stamped by the last clock tick (notification 14).
    platform::TDateTime LastClockTick() const { return zeitSpeicher_; }
    void TimeChanged();

    // A new scale for pixels per inch dpi: the sizes follow, the panels are laid out again.
    void SetUiScale(double dpi);

    // The level meter of the right panel.
    TVuMeterView* VuMeter() const { return vuView_; }
    TPaintBox32* pbVU() const;

    // --- Restore of an aborted run (crash_markers.cpp) ---
    // The restore dialog at startDir; a restored file becomes the current measurement file.
    void RestoreAbortedRun(const QString& startDir);
    // The protocol menu's item "Restore the report of a crashed Measurement".
    void AbgebrocheneMessungwiederherstellen1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // program_start.cpp
    void FormCreate(const StartOptions& options);
    void InitAfterCreate();
    bool OfferMigration();
    void DetermineFolders();
    void EvaluateCommandLine(const QStringList& arguments);
    void ShowStartUpNotice(bool answerAtOnce);
    bool RunCipherSelfTest();
    void WriteIamRunning(bool running);
    void CreatePresetHandler();
    void LoadDefaultStore();
    void BuildForm();
    void BuildMenus();
    void RegisterNotifications();
    void ApplyWindowPlacement();
    // shut_down.cpp
    bool FormCloseQuery();
    void FormDestroy();
    void SaveDefaultStore(TDaten& store);
    // main_form.cpp
    void LayoutForm();

    MainWindowFields fields_;
    TProgramSettings settings_;
    std::vector<SettingBinding> settingsTable_;
    CalcSetupCopy calcSetup_;
    TNotifyDispatch dispatch_;
    TEventList events_;
    std::unique_ptr<TWorkerThreads> workers_;
    std::unique_ptr<TBlocker> hBlocker_;
    std::unique_ptr<TWasAudio> wasAudio_;
    platform::WindowHandle handle_ = 0;
    std::function<void(uintptr_t, intptr_t)> observeNotifications_;

    // Folders.
    QString basisPfadOld_;
    QString userRoot_;
    QString userPresetPfad_;
    QString defaultDatenDatei_;

    // State.
    std::atomic<bool> messungLaeuft_{false};
    bool leaving_ = false;
    bool migrated_ = false;
    bool isAkku_ = false;
    bool formCreated_ = false;
    bool destroyed_ = false;
    bool canSetForeGround_ = false;
    bool calcRestartedLast_ = false;  // the last failure report restarted the calculation
    bool refusedSetupReported_ = false;
    platform::TDateTime zeitSpeicher_ = 0.0;
    QString versionText_;

    // Form.
    QWidget* central_ = nullptr;
    TPaintBox32* pbTopBar_ = nullptr;
    TPaintBox32* pbStatus_ = nullptr;
    TPaintBox32* pbTop_ = nullptr;
    TPaintBox32* pbMitte_ = nullptr;
    TPaintBox32* pbGrafik_ = nullptr;
    TPaintBox32* pbSliderG_ = nullptr;
    TVuMeterView* vuView_ = nullptr;
    TPaintBox32* pbPeakDisplay_ = nullptr;
    TPaintBox32* pbInfoMessung_ = nullptr;
    TPaintBox32* pbLogo_ = nullptr;
    TPaintBox32* pbRunten_ = nullptr;
    TPaintBox32* pbMInfo_ = nullptr;
    TPaintBox32* pbIpInfo_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* settingsMenu_ = nullptr;
    QAction* exitAction_ = nullptr;
    QAction* resetSettingsAction_ = nullptr;

    // Restore of an aborted run (crash_markers.cpp): the start-up check.
    void CheckForAbortedRun();
};
