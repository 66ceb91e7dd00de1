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
//   value_displays.cpp      the display areas and the peak display
//   shut_down.cpp           close request, power check, destruction
//   main_form.cpp           the panels, the menus and the colour scheme
//   main_form_layout.cpp    where the panels go at a size and scale
//   command_line.cpp        the file named on the command line
//   time_change_watch.cpp   the system clock being set
//   power_watch.cpp         the power source changing
//   measurement_start.cpp   the ways into a measurement and its preparation
//   measurement_storing.cpp values and blocks stored while it runs
//   measurement_stop.cpp    the stop, the saves and the finish
//   limit_events.cpp        limit states, over-limit latches and maxima
//   crash_markers.cpp       the registry markers of an unfinished measurement
//   recording_control.cpp   the WAV recordings of limit events
//   event_list_popups.cpp   the message list, the peak popups, the state line after a language change
//   info_panels.cpp         event list, lower info area, block table, logo, clock line
//   main_panels.cpp         the window's side of those panels
//   status_line.cpp         the status line and its three slots
//   top_bar.cpp             the top bar and the menu bar's toggle
//   display_picker.cpp      element names and descriptions, the area popup, the picker
//   main_menus.cpp          the main menu, the Layout menu, the drawn menu bar
//   window_icons.cpp        the icon collection and logos, the tray icon
//   remote_outputs.cpp      the DMX data, the Art-Net output and the time-server client
#include <QMainWindow>
#include <QPoint>
#include <QStringList>

#include <functional>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/wav_recorder.h"
#include "calibration/calibration_log.h"
#include "calibration/correction_wizard_core.h"
#include "calibration/location_store.h"
#include "calibration/wizard_host.h"
#include "main/display_areas.h"
#include "main/display_readings.h"
#include "main/event_messages.h"
#include "main/info_panels.h"
#include "main/icon_collection.h"
#include "main/main_form_layout.h"
#include "main/notification_dispatch.h"
#include "main/peak_display.h"
#include "main/program_settings.h"
#include "main/worker_threads.h"
#include "main/wizard_host.h"
#include "platform/date_time.h"
#include "platform/keep_awake.h"
#include "platform/window_messages.h"
#include "remote/art_net_drive.h"
#include "remote/time_server_client.h"
#include "reports/measurement_viewer.h"
#include "reports/report_data_entry.h"
#include "store/measurement_records.h"
#include "ui_kit/services/calibration_services.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/services/report_services.h"

class QMenu;
class QAction;
class TPaintBox32;
class TBlocker;
class TVuMeterView;
class TWasAudio;
class TVTPresetHandler;
class TDaten;
class TEndOfMeasurement;
class TSessionEndWatch;
struct TVTPreset;
class THinweise;
class TGraphView;
class TZoomControl;
class TWertCreate;
class TSelectDisplay;
class TBitmap32;
class QRectF;
class TTrayIcon;
class TSftpUploadService;
class TVtNameCreator;
class TReportNamingService;
class TAudioBackEnds;
class TWebDisplay;
class TKalibrierung;
class TCalLogEdit;
class TShowCalTable;
struct TWebCalWizardPanel;
class TVtMidi;
class TMidiDeviceWatch;
class TKorrWizard;
class TEditKorr;
class TvtpOptionen;

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
    void HideRunten() override;
    void ShowRunten() override;
    void SetDisplayColors(int32_t scheme, bool force) override;
    void ApplyLanguage(int32_t lang, bool force) override;
    void StopRecording() override;
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
    // The end of the session is asked for: refused while a measurement runs
    // and the session end is to be blocked; agreeing lets the close pass.
    bool QueryEndSession();
    // The session ends: a running measurement stops without questions.
    void EndSessionStop();
    TSessionEndWatch* SessionEndWatch() const { return sessionEndWatch_; }
    void Beenden1Click() { close(); }
    // The time stamped by the last clock tick (notification 14).
    platform::TDateTime LastClockTick() const { return zeitSpeicher_; }
    void TimeChanged();

    // A new scale for pixels per inch dpi: the sizes follow, the panels are laid out again.
    void SetUiScale(double dpi);

    // The level meter of the right panel.
    TVuMeterView* VuMeter() const { return vuView_; }
    TPaintBox32* pbVU() const;

    // --- The measurement run ---
    // The ways in: the menu's start (with the level check), the DIN start,
    // the start without the level check, and the automatic start.
    void aMessungStartenExecute();
    void StartDinMessung();
    void aFreeStartExecute();
    void AutoStartMessung();
    bool IsLevelHighEnough();
    void StartMessung();
    // 0 when the default store got a save name, 1 when the user cancelled.
    int32_t ChooseSaveName();
    bool TryingToStart() const { return tryToStart_; }
    // A monitored Leq and short-term Leq get a display area when none shows them.
    static void EnsureLevelDisplays(const TVTPreset& preset);
    // Stop modes: 1 the user (asks), 2 session end or audio failure (asks
    // nothing, writes the emergency copy too), 3 the planned end.
    void aStopMessungExecute() { StopMessung(1); }
    void StopMessung(int32_t mode);
    void AudioFailureStop();
    void FinishFromEndDialog(int32_t mode);
    bool EndDialogOpen() const { return hEOM_ != nullptr; }
    void ShowHintsEditor(int32_t position);
    void EndHinweise(bool save);
    // While running: codes 47, 49 and 258.
    void StoreNewValues(int32_t id);
    void BlockClosed(int32_t blockNumber);
    void PeriodicBackup();
    void ShowNextPeriod();
    void WriteBlockProtocol(int32_t index);
    // Limit states and maxima (codes 46, 48, 55, 56, 57).
    void PeakState(int32_t state);
    void LeqState(int32_t state);
    void LeqKState(int32_t state);
    void TakeMaxPeak();
    void TakeMaxLeq();
    // The first monitored energy-averaged quantity whose limit its
    // calculator offset cannot reach, or -1.
    int32_t FindLimitAboveHeadroom();
    // What the run shows: the protocol lines of the information area and the
    // status-line slots (0 state, 2 file).
    const QStringList& MemoLines() const { return memoLines_; }
    QString StatusSlot(int32_t slot) const;
    QString MeasurementFileName() const { return measurementFile_; }
    int32_t StatusInfo() const { return statusInfo_; }
    bool KeepsAwake() const { return keepAwake_.SleepBlocked() || keepAwake_.ScreenBlocked(); }
    // --- Level graph and zoom window ---
    TGraphView* GraphView() const { return graphView_.get(); }
    TZoomControl* ZoomControl() const { return zoom_.get(); }
    void ShowZoomWindow(const QString& theNewInfo, const QString& theHeader, int32_t zoomId);
    void CloseZoomWindow();
    void RefreshEventZoom(bool showIt);
    // --- Value displays: the four areas and the peak display (value_displays.cpp) ---
    // Notification 45: with full (argument 15) the current values are fetched first.
    void UpdateValues(bool full);
    void RefreshValueDisplays();
    // Notification 257: the top areas are redrawn at the next update.
    void ForceValueRedraw();
    // Resets the held slow-RMS maxima of the loudest-location search.
    void ResetFindPeak();
    TDisplayAreas* DisplayAreas() const { return displayAreas_.get(); }
    TPeakDisplay* PeakDisplay() const { return peakDisplay_.get(); }
    TPaintBox32* pbTop() const { return pbTop_; }
    TPaintBox32* pbMitte() const { return pbMitte_; }
    TPaintBox32* pbPeakDisplay() const { return pbPeakDisplay_; }
    bool korrOn = false;  // a correction measurement runs
    // --- Restore of an aborted run (crash_markers.cpp) ---
    // The restore dialog at startDir; a restored file becomes the current measurement file.
    void RestoreAbortedRun(const QString& startDir);
    // The protocol menu's item "Restore the report of a crashed Measurement".
    void AbgebrocheneMessungwiederherstellen1Click();
    // --- Limit events, recordings, event list popups and parameter texts ---
    // Notification 11: the maxima text of the lower information area.
    void ShowMaxText();
    // Brings the window to the front once when a monitored level comes within aeLimit dB of its limit.
    void CheckAutoFront(double headroom, int32_t quantity);
    // Starts a recording of the input, or extends the running one.
    void StartRecording();
    // The next recording's file: REC_<n>.WAV beside or under the measurement file.
    QString RecordingFileName();
    bool Recording() const { return hRec_ != nullptr; }
    // The measurement's messages, and the two peak popups of the peak display.
    void ShowMessageList();
    void ShowMaxPeakPopup();
    void ShowBlockPeakPopup();
    // --- Info panels, status line, top bar and the display element picker ---
    // Slot 0..2 of the status line; a changed text posts its repaint (323).
    void SetStatusInfo(int32_t slot, const QString& text) override;
    TInfoPanels* InfoPanels() const { return infoPanels_.get(); }
    TPaintBox32* pbStatus() const { return pbStatus_; }
    TPaintBox32* pbTopBar() const { return pbTopBar_; }
    TPaintBox32* pbIpInfo() const { return pbIpInfo_; }
    TPaintBox32* pbInfoMessung() const { return pbInfoMessung_; }
    TPaintBox32* pbRunten() const { return pbRunten_; }
    TPaintBox32* pbMInfo() const { return pbMInfo_; }
    TPaintBox32* pbLogo() const { return pbLogo_; }
    bool CanStartFromTopBar();
    bool MenuBarShown() const;
    void ToggleMenuBar();
    int32_t TopBarHitAt(int x) const;
    void TopBarPress(int32_t square);
    // A left click on display area 1..4 at a screen point.
    void ShowAreaInfo(int32_t area, QPoint global);
    void SelectDisplayElement(int32_t area);
    // Notification 322: the picker's answer.
    void DisplayElementChosen(intptr_t answer);
    TSelectDisplay* DisplayPicker() const { return hSelDis_; }
    // --- Layout, colour scheme, menus, icons and tray (main_form.cpp, main_menus.cpp) ---
    // The left column's width follows the client width; then every panel is placed.
    void FormResize();
    void FormShow();
    void pLeftFullResize();
    void pRightResize();
    void PlaceLogo();
    void PlaceLowerInfo();
    // The size of the window's icons: rnd(22 x scale).
    int32_t IconSize() const { return iIcon_; }
    const TIconCollection& Icons() const { return *icons_; }
    // Draws logo 0 ("day") or 1 ("Night") into area.
    void DrawLogo(QPainter& painter, int32_t index, const QRectF& area);
    void SetIconColors();
    // The Layout menu: its ticks when it opens, and its choices.
    void LayoutClick();
    void mmLBoldLabelClick();
    void mmLHideMenuClick();
    TTrayIcon* TrayIcon() const { return trayIcon_; }
    // A click on the tray icon or its balloon: the window comes back to the front.
    void tIconBalloonClick();
    // The window reached a screen of another pixels per inch.
    void FormAfterMonitorDpiChanged(double dpi) { SetUiScale(dpi); }
    // The event list's popup: its item when it opens, and the item itself.
    void PrepareEventListMenu();
    void ClearEvent1Click();
    // --- Remote outputs: DMX over Art-Net and the time server (remote_outputs.cpp) ---
    int32_t GetLimitState(int32_t quantity) override;
    // Takes the clock offset from the time server while syncWebTime is set.
    void SyncWebTime();
    // The options page's server test: the server's date-time, 0 without an answer.
    platform::TDateTime CheckTsHost(const QString& host);
    TArtNetDrive* ArtNet() const { return artNet_.get(); }
    TTimeServerClient* TimeServer() const { return timeServer_.get(); }
    // --- Report naming and printing (report_wiring.cpp, report_printing.cpp) ---
    TVtNameCreator* NameCreator() const { return nameCreator_; }
    // Prints a measurement file; a missing file is reported. With askSettings
    // (or incomplete printer settings) the print options and printer dialogs come first.
    void PrintIt(const QString& file, bool askSettings);
    // Prints measurement files chosen in the open dialog.
    void PrintFromFiles(bool askSettings);
    // The protocol menu's items, set as the menu opens.
    void PrepareReportMenu();
    // --- Calibration: status, offsets, corrections, pre-start checks and log (calibration_*.cpp) ---
    // Bit 0 the calibration is valid, bit 1 the corrections are.
    int32_t ApplyCalibration();
    void CheckCalStatus();
    void SetCalNeeded(int32_t reason);
    void SetMicConfig(bool ask, bool twoMics);
    void ResetCalibration();
    QString CalReminderText() const;
    void ShowCalReminder();
    void ResetKorrData();
    void ClearKorrValues();
    void ShowKorrStatus();
    // Answers of the start: 1 cancel, 2 start, 3 calibrate, 4 options, 5 data entry.
    int32_t ShowStartInfo(platform::TDateTime calTime, int32_t fileCheck);
    // 0 start, 1 cancel, 3 calibrate.
    int32_t CheckHeadroom();
    void RunCalibration();
    double ReadRefVal();
    void InitCalLog();
    // False when the log could not be saved; it then stays in memory.
    bool EndCalLog();
    bool SaveCalLog();
    QString CalLogFile() const;
    int32_t StatusID() const { return fields_.StatusID.load(); }
    const QString& StatusHint() const { return statusHint_; }
    int32_t KalStatus() const { return kalStatus_; }
    // The calibration services the window registered are the ones in use
    // (a test may have registered its own before).
    bool OwnsCalibration() const;

    // --- Audio interfaces: back-ends, test signal, device dialog (audio_interfaces.cpp) ---
    // The window messages of the audio input: 0xB0 (the input runs) and 0xB2 (a driver's request).
    void AudioWindowMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam);
    QMenu* LevelMenu() const { return popVol_; }
    // --- Web display: address list, web server and its snapshot (web_display.cpp) ---
    TWebDisplay* WebDisplay() const { return webDisplay_.get(); }
    // The settings apply's step for the web server.
    void ApplyWebServerSetting();

    // --- MIDI: the MIDI object, its device watch and the setup dialog (midi_device.cpp) ---
    void mmEMidiClick();
    TVtMidi* MidiDevice() const { return midi_; }

    // --- Calibration run, remark editor and log table (calibration_run.cpp) ---
    void DoKalibrierung(bool canEdit, bool isVerification);
    void CalibrateUnlessEditingLocations(bool isVerification);
    void VerifyAfterMeasurement();
    // The open calibration wizard, nullptr otherwise.
    TKalibrierung* CalibrationWizard() const { return hCal_; }
    QString CalLogPresetText() const;
    bool NeedsCalLogRemark(bool isPre, double delta) const;
    void OpenCalLogEdit(bool canEdit, bool isOff);
    void CalLogEditDone(int32_t mode);
    void AfterCalLogEntry(bool isCalibration);
    bool AskClearCorrections();
    TCalLogEdit* CalLogEditor() const { return hCLE_; }
    // The calibration-log table: opened anew from its menu item, freed on notification 298.
    void ShowCalTable();
    void CalTableDone();
    TShowCalTable* CalTable() const { return hCalTable_; }
    // Where the wizards read the levels from; the window's own unless replaced.
    void SetWizardHost(std::unique_ptr<WizardHost> host) { wizardHost_ = std::move(host); }
    // --- Location corrections: store, correction wizard, location texts (correction_control.cpp, location_text_menu.cpp) ---
    // The action "Get Correction Data": an open location editor comes to the front instead.
    void aGetKorrExecute();
    // The correction run; throws what its set-up or the default store's save throws.
    void DoKorrektur();
    void SetKorrIpState(bool on);
    TKorrLocation* LocationStore() const { return korrLocation_.get(); }
    TKorrWizard* CorrectionWizard() const { return hKF_; }
    platform::WindowHandle CorrectionWizardHandle() const;
    // The idle save: writes the location store when it changed.
    void SaveLocationsWhenIdle();
    void OpenEditKorr(int32_t flags);
    void EditKorrDone(bool accepted);
    void UpdateImmiMenu(bool show);
    TEditKorr* LocationEditor() const { return hEditKorr_; }
    // --- Report dialogs and the measurement viewer (report_dialogs_wiring.cpp, viewer_window.cpp) ---
    // Shows the running measurement, or else file, in the viewer; without
    // either the viewer asks for a file.
    void ShowProtocol(const QString& file);
    TProtokoll* Viewer() const { return hProt_.get(); }
    // The report data entry for the default store (menu "miDaten").
    void EditMessungData();
    // Runs instead of the data entry's modal loop (tests): gets the filled
    // dialog and answers its result.
    std::function<int(TMessProtokollEingabe&)> runDataEntry;
    // --- Settings dialogs: options, basic settings, measurement options, regulation (settings_actions.cpp) ---
    // Opens the program options on page at x, y ((0, 0) centred over the window).
    void ShowOptionen(int32_t page, int32_t x, int32_t y);
    void mmEOptionenClick() { ShowOptionen(lastOptionsPage_, 0, 0); }
    int32_t LastOptionsPage() const { return lastOptionsPage_; }
    void ShowGrundeinstellung();
    void EditUserPreset();
    void aSelMVExecute();
    // The measurement menu opens: why a start is not possible yet, and the start's caption.
    void DIN1590551Click();
    // The info menu's current parameters.
    void mInfoParameterClick();
    QString CurrentParametersText() const;
    // The four 16-bit parts of a version number, most significant first, joined by ".".
    static QString MakeVersionString(int64_t version);
    QString GetVersionString() { return MakeVersionString(getVersionID()); }
    void ShowAbout();
    // --- Loudest-location search (loudest_location_search.cpp) ---
    // The items lsMic (false) and lsRef (true).
    void FindPeakClick(bool reference);
    void SetFindPeak(bool on);

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
    void RegisterRunNotifications();
    void ApplyWindowPlacement();
    // shut_down.cpp
    bool FormCloseQuery();
    void WatchSessionEnd();
    void FormDestroy();
    void SaveDefaultStore(TDaten& store);
    // measurement_start.cpp
    void ApplyPresetToDefaultStore();
    void StartPrepared();
    void InitMessungDaten(const QString& name);
    void SetMessungLaeuft(const QString& fileName, platform::TDateTime startTime);
    void ShowHeadroomError(int32_t quantity);
    void ResetLimitStates();
    void HideTrayIcon();
    void CloseProtocolWindow();
    void BuildMeasureMenu();
    // The menus of the idle or the running program.
    void SetIdleMenus(bool idle);
    QString FallbackSaveName() const;
    // measurement_storing.cpp
    // False when the record has left the value reader's ring.
    bool StoreSaveRecord(int32_t id);
    void StoreDisplayRecord(int32_t id);
    void StoreRecordsUpTo(int32_t id);
    int32_t NewestRecordId() const;
    void StoreBlock();
    void StoreIntervalClosedBeforeStop();
    void ShowBlockStatus(int32_t index);
    int32_t TakeNewClips(int32_t& latch);
    // measurement_stop.cpp
    void aufzeichnungStoppenExecute();
    void AddStopTimeLine();
    // Each save answers whether a copy of the measurement reached a file.
    bool SaveAtStop();
    bool SaveMeasurement(const QString& fileName, const QString& password);
    bool SaveWithNewName();
    bool SaveNotstopFile(bool alsoOwnName);
    void ShowEndDialog(int32_t mode, bool savedAtStop);
    void FinishMessung(int32_t mode, const QString& password, bool savedAtStop);
    void ResetStatusMessung();
    // limit_events.cpp
    void LeqEvent(int32_t type);
    void LeqKEvent(int32_t type);
    void PeakEvent(bool over);
    void AddTimeServerStamp();

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
    TSessionEndWatch* sessionEndWatch_ = nullptr;  // a child of the window
    bool windowsEnde_ = false;
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

    // The measurement run.
    QMenu* measureMenu_ = nullptr;
    QAction* startAction_ = nullptr;
    QAction* dinStartAction_ = nullptr;
    QAction* freeStartAction_ = nullptr;
    QAction* stopAction_ = nullptr;
    bool tryToStart_ = false;
    int32_t statusInfo_ = 0;
    int32_t lastStoredValue_ = -1;
    int32_t inputAssignLatch_ = 1;
    int32_t lastLeqBarVal_ = -1;
    int32_t paintCount_ = 0;
    int32_t oldEWFull_ = 0;
    int32_t oldEW10_ = 0;
    int32_t startLineIndex_ = 0;
    int32_t werteClipLatch_ = 0;
    int32_t blockClipLatch_ = 0;
    bool backupFailureReported_ = false;
    bool savedAtStop_ = false;  // the stop's save wrote a copy (kept while the end dialog is open)
    QString measurementFile_;
    QStringList memoLines_;
    std::array<QString, 3> statusSlots_;
    std::unique_ptr<TEndOfMeasurement> hEOM_;
    std::unique_ptr<THinweise> hintsEditor_;
    platform::KeepAwake keepAwake_;
    // Limit states: -1 none yet, 0 normal, 1 warning, 2 over the limit.
    int32_t statusLeq_ = -1;
    int32_t statusLeqK_ = -1;
    int32_t statusPeak_ = -1;
    bool isOverLeq_ = false;
    bool isOverLeqK_ = false;
    bool isOverPeak_ = false;
    double maxPeak_ = 0.0;
    platform::TDateTime maxPeakTime_ = 0.0;
    // Level graph and zoom window (graph_view.cpp, zoom_window.cpp, main_graph.cpp).
    void CreateGraphView();
    std::unique_ptr<TGraphView> graphView_;
    std::unique_ptr<TZoomControl> zoom_;
    // Value displays (value_displays.cpp)
    void BuildValueDisplays();
    std::unique_ptr<TEngineDisplayReadings> displayReadings_;
    std::unique_ptr<TDisplayAreas> displayAreas_;
    std::unique_ptr<TPeakDisplay> peakDisplay_;
    // Restore of an aborted run (crash_markers.cpp): the start-up check.
    void CheckForAbortedRun();
    // Limit events and recordings (limit_events.cpp, recording_control.cpp, event_list_popups.cpp).
    void RegisterEventNotifications();
    void LimitEvent(bool& latch, bool over, int32_t quantity, const QString& label, bool writeLine);
    void LeqFirstOverLimit();
    void TakeLeqMaxima(const TWertCreate& reader);
    void CheckAllAutoFront();
    void StartRecorder(const QString& fileName);
    void ExtendRecording();
    void ForgetEndedRecorders();
    void ShowLanguageRunStatus();
    int32_t limitOverLatch_ = 0;  // bit q: quantity q brought the window to the front
    int32_t recId_ = 0;           // the last recording's number in this measurement
    std::unique_ptr<TRecordIt> hRec_;
    std::vector<std::unique_ptr<TRecordIt>> stoppedRecorders_;
    // Info panels, status line, top bar and the display element picker
    void WireStatusLine();
    void WireTopBar();
    void BuildInfoPanels();
    // The clock line, the run's tables and the top bar follow the clock tick.
    void RepaintTickPanels();
    std::function<void(TBitmap32&, int32_t, const QRectF&)> IconPainter();
    std::unique_ptr<TInfoPanels> infoPanels_;
    TSelectDisplay* hSelDis_ = nullptr;
    int32_t topBarSquares_ = -1;  // what the top bar last showed: bit 0 running, bit 1 startable
    // Layout, colour scheme, menus, icons and tray (main_form.cpp, main_menus.cpp)
    void NamePanels();
    void BuildMainMenu();
    void BuildLayoutMenu();
    void PrepareSettingsMenu();
    void PrepareLanguageMenu();
    void CreateTrayIcon();
    void BuildEventListMenu();
    void WatchScreenDpi();
    void ShowTrayEvent(const QString& text);
    std::unique_ptr<TIconCollection> icons_;
    TTrayIcon* trayIcon_ = nullptr;  // a child of the window; none without a tray
    int32_t iIcon_ = 22;
    MainFormGeometry geometry_;
    QMenu* dataMenu_ = nullptr;
    QMenu* reportMenu_ = nullptr;
    QMenu* infoMenu_ = nullptr;
    QMenu* layoutMenu_ = nullptr;
    QMenu* languageMenu_ = nullptr;
    QAction* lsRefAction_ = nullptr;
    QAction* germanAction_ = nullptr;
    QAction* englishAction_ = nullptr;
    QAction* sunnyAction_ = nullptr;
    QAction* darkAction_ = nullptr;
    QAction* fullSizeAction_ = nullptr;
    QAction* hideMenuAction_ = nullptr;
    QAction* boldLabelAction_ = nullptr;
    QMenu* eventListMenu_ = nullptr;
    QAction* clearEventAction_ = nullptr;
    // Remote outputs (remote_outputs.cpp)
    void CreateRemoteOutputs();
    void RegisterRemoteNotifications();
    void LoadRemoteSettings();
    bool SaveRemoteSettings();
    void StopRemoteOutputs();
    void DestroyRemoteOutputs();
    std::unique_ptr<TArtNetDrive> artNet_;
    std::unique_ptr<TTimeServerClient> timeServer_;

    // The SFTP upload and its settings (sftp_upload_service.cpp)
    std::unique_ptr<TSftpUploadService> sftpUpload_;
    // --- Report naming and printing (report_wiring.cpp, report_printing.cpp) ---
    // The name builder and the printer settings from the program key; the
    // builder published and behind the naming seam.
    void CreateReportObjects();
    // Stores the builder when asked, takes it off the seam and frees it.
    void ReleaseReportObjects(bool save);
    // Connects the protocol menu's print items.
    void WirePrintActions();
    bool PrintProtocolFile(const QString& file, bool askSettings);
    void RememberPrinter();
    QAction* printCurrentAction_ = nullptr;
    QAction* printStoredAction_ = nullptr;
    QAction* printDirectAction_ = nullptr;
    QAction* printLastDirectAction_ = nullptr;
    TVtNameCreator* nameCreator_ = nullptr;
    TReportNamingService* reportNamingService_ = nullptr;
    // Calibration (calibration_control.cpp, calibration_status.cpp, calibration_pre_start.cpp)
    void StartCalibrationServices();
    void EndCalibrationServices();
    void RegisterCalibrationNotifications();
    void WireCalibrationActions();
    void StartUpCorrectionStatus();
    bool StartUpApplyCalibration();
    void ReloadCalLog();
    // At exit: saved when it can be, and never left published past the window.
    void FinishCalLog();
    void DeriveCalStatus();
    int32_t InputDifferences();
    void OnInputState(uintptr_t code, intptr_t runStateWord);
    QStringList StartInfoModeLines() const;
    QAction* CalAction(const char* name) const;
    // Whole days between two date-times, counted positive.
    static double WholeDaysBetween(platform::TDateTime a, platform::TDateTime b);
    std::unique_ptr<CalibrationServices> calibrationServices_;
    std::unique_ptr<TCalLog> calLogOwner_;
    QString statusHint_;
    int32_t kalStatus_ = 0;
    // Audio interfaces: back-ends, test signal, device dialog (audio_interfaces.cpp)
    void WireAudioInterfaces();
    void BuildLevelMenu();
    void RegisterAudioNotifications();
    std::unique_ptr<TAudioBackEnds> audioBackEnds_;
    QMenu* popVol_ = nullptr;
    // Web display (web_display.cpp)
    void CreateWebDisplay();
    void StopWebDisplay();
    std::unique_ptr<TWebDisplay> webDisplay_;

    // MIDI object, device watch and menu item (midi_device.cpp)
    void CreateMidiDevice();
    void FreeMidiDevice();
    void AddMidiMenuItem();
    TVtMidi* midi_ = nullptr;  // owned; freed at shut-down
    TMidiDeviceWatch* midiWatch_ = nullptr;
    QAction* midiAction_ = nullptr;

    // Calibration run and remark editor (calibration_run.cpp)
    void PrepareCalibrationRun();
    void ForceCalibrationWindows();
    void RestoreAfterCalibration(int32_t leqKSeconds, int32_t peakSamples);
    bool RunCalibrationWizard(bool canEdit, bool isVerification);
    bool ApplyCalibrationResult(const TKalibrierung& wizard, int result, bool canEdit, bool isVerification);
    void RememberCalibrationInput();
    // Web clients (calibration_web.cpp)
    void ConnectCalibrationToWeb();
    TWebCalWizardPanel CalibrationPanel() const;
    void PublishCalibrationStatus(int32_t status);
    std::unique_ptr<WizardHost> wizardHost_;
    TKalibrierung* hCal_ = nullptr;  // owned by the run while it is open
    TCalLogEdit* hCLE_ = nullptr;    // owned; freed when it reports its end
    TShowCalTable* hCalTable_ = nullptr;  // owned; freed when it reports its end
    // Location corrections (correction_control.cpp, location_text_menu.cpp)
    void CreateLocationStore();
    void FreeLocationStore();
    void RegisterCorrectionNotifications();
    void WireCorrectionActions();
    void StartUpCorrectionQuestion(bool laeuft);
    void RestoreAfterCorrectionRun(const TVTPreset& saved);
    void PrepareCorrectionWizard(TKorrWizard& wizard);
    void TakeCorrectionResult(TKorrWizard& wizard, int result);
    void SetImmiMenus(bool idle);
    void WireLocationTextMenu();
    KorrEnvironment CorrectionEnvironment();
    std::unique_ptr<TKorrLocation> korrLocation_;
    std::unique_ptr<CorrectionSums> korrSums_;
    TKorrWizard* hKF_ = nullptr;
    bool bKorIpState_ = false;
    TEditKorr* hEditKorr_ = nullptr;
    // Report dialogs and the measurement viewer (report_dialogs_wiring.cpp, viewer_window.cpp)
    void StartReportDialogs();
    void EndReportDialogs();
    std::unique_ptr<ReportServices> reportDialogs_;
    void WireViewerAction();
    void RegisterViewerNotifications();
    void ViewerClosed(int32_t how);
    std::unique_ptr<TProtokoll> hProt_;
    int32_t lastProtMode_ = 3;
    QPoint protPos_{-1, -1};
    int32_t lastPindex_ = 0;
    // Settings dialogs (settings_actions.cpp)
    void WireSettingsActions();
    void WireMeasurementMenuActions();
    void FillOptions(TvtpOptionen& dialog);
    void TakeOptions(TvtpOptionen& dialog);
    void ApplyOptions();
    int32_t lastOptionsPage_ = 0;
    // The start sequence run again on an answer of the info window (start_sequence_again.cpp)
    void RunStartSequenceAgain();
    bool startSequenceRuns_ = false;
    // Audio set-up at start (audio_interfaces.cpp)
    void StartUpAudioSetup();
    // Loudest-location search (loudest_location_search.cpp)
    void WireLoudestLocationSearch();
    void StartFindPeak();
    void EndFindPeak();
    void PostFindPeakState();
    // The one host both wizards read the levels from (wizard_host.cpp).
    WizardHost& WizardHostInUse();
};
