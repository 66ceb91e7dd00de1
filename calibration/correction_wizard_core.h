#pragma once
// The correction wizard's steps, measurements and results without a window:
// TaKorr holds everything the wizard decides and shows, and its dialog
// (correction_wizard_window.h) only paints that state and forwards clicks,
// keys and timer ticks. Timers are explicit here: the owner runs a tick
// function while the matching flag is set, so tests drive a measurement tick
// by tick with injected levels.
//
// All of it runs on the main thread. The web server's threads never read
// this object: the main window copies GetWebString() into its snapshot.
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/date_time.h"

class TDaten;
class TKorrLocation;
class WizardHost;

// The calculation thread's correction sums (RMS amplitudes, full scale 1.0).
class CorrectionSums {
public:
    virtual ~CorrectionSums() = default;
    virtual void StartGetKorr() = 0;
    virtual void StopGetKorr(double& valA, double& valC, double& valZ) = 0;
    virtual bool GetKorrVal(double& valA, double& valC, double& valZ) = 0;
    virtual void GetKorrVgl(double& valA, double& valC, double& valZ) = 0;
};

// What the wizard reads of its surroundings; absent parts are nullptr or empty.
struct KorrEnvironment {
    WizardHost* host = nullptr;        // nullptr: no main window
    TKorrLocation* store = nullptr;    // nullptr: no location store
    CorrectionSums* sums = nullptr;    // nullptr: no calculation thread
    bool outputRunning = false;
    int32_t waveOutId = -1;
    // The capture and render volumes of the session in tenths of a dB; only
    // the shared-mode interface has them, elsewhere every volume check passes.
    bool sessionVolumes = false;
    std::function<int32_t()> captureVolume;
    std::function<int32_t()> renderVolume;
    double calM = 0.0;                 // the default store's calibration of M
    double calR = 0.0;                 // and of R
    QString immissionText;             // the default store's text 1
    bool allowDirectEntry = false;
    std::function<platform::TDateTime()> now;  // the corrected clock unless a test sets one
};

enum class KorrPage { tsART, tsVglConfig, tsDualMicCal, tsEdit, tsImmi, tsMessMess, tsRECH, tsLoad, tsError, tsEnde, tsLocList };

inline constexpr int32_t kKorrNone = -1;
inline constexpr int32_t kKorrOneMic = 1;
inline constexpr int32_t kKorrNoCorrection = 2;
inline constexpr int32_t kKorrTwoMics = 3;
inline constexpr int32_t kKorrImport = 4;
inline constexpr int32_t kKorrDirect = 5;
inline constexpr double kKorrInvalid = -1000.0;
inline constexpr int32_t kStepListEntries = 17;
inline constexpr int32_t kSpinMin = -60;
inline constexpr int32_t kSpinMax = 0;
inline constexpr int32_t kMutedLevel = -90;

// The wizard's modal end.
enum class KorrResult { Open, Ok, Cancel };

class TaKorr {
public:
    // Runs the creation steps, including the reuse offer and its questions.
    explicit TaKorr(KorrEnvironment env);

    // --- set-up by the main window, in this order ---
    void SetMode(bool canDualMode, int32_t minSpl, bool music);
    void SetEOrtText(const QString& text) { eOrtText = text; }
    void SetDirectInfo(const QString& locA, const QString& locC, const QString& locZ);
    void SetKorrCalcText(const QString& text) { calcMemo = text; }
    QString GetKorrCalcText() const { return calcMemo; }
    void SetKorrEText(const QString& text) { eOrtText = text; }
    void SetCorrMode(int32_t kMode);
    void SetCorrFileName(const QString& name);
    // The three direct-entry fields (0 A, 1 C, 2 Z): each change converts the
    // text with the current number format; -1000 and a red field when it fails.
    void SetDirectField(int32_t index, const QString& text);
    void UseIp(bool useIpForKor);
    // The method page of the start, unless the reuse offer opened the list.
    void Begin();

    // --- results ---
    bool SetKorrResults(TDaten& theData);
    int32_t GetCancelMode() const { return cancelledOnList_ ? KorrMode : kKorrNone; }
    int32_t GetResultArt() const { return KorrMode == kKorrImport ? KorrModeLoad : KorrMode; }
    QString GetCorrFileName() const { return loadFileName; }
    platform::TDateTime GetVKorrDate() const { return VKorrDate; }
    bool GetUseIP() const { return useIp_; }
    bool IsIpEnabled() const;
    QString GetWebString() const;
    QString LocSummaryText() const;
    KorrResult Result() const { return result_; }

    // --- buttons, boxes and keys ---
    void LeftButton();
    void MiddleButtonAction();
    void RightButton();
    void DoNextStep();
    void CancelWizard();
    void ChooseMethod(int32_t method);
    void ChooseDurationBox(int32_t index);  // 0 .. 4: 15, 30, 45, 60, 120 s
    void ToggleUseIp();
    void TogglePink();
    void SetMemoText(const QString& text) { memoText_ = text; UpdateMemoRule(); }
    void SetCalcMemo(const QString& text) { calcMemo = text; }
    // Asks whether to delete the location and does it.
    void AskDeleteLocation(int32_t entryId);
    // The tree's selection on the import page: the panel text and Next.
    void SelectImportFile(const QString& path);
    // The level buttons and the spin's context menu; a double click on the spin.
    void LevelButton(int32_t target);
    void LevelMenuChoice(int32_t target);
    void SpinDoubleClick();
    void SetSpin(int32_t value);
    // A notification posted to the wizard's window.
    void HandleCode(int32_t code, int64_t argument);

    // --- timers: run the tick while its flag is set ---
    bool MessTimerOn() const { return messTimerOn_; }
    int32_t MessInterval() const { return messInterval_; }
    bool LevelChangeOn() const { return levelChangeOn_; }
    bool ErrorTimerOn() const { return errorTimerOn_; }
    void MessTick();
    void LevelTick();
    void ErrorTick();

    // --- what the pages show ---
    int32_t Step() const { return cIndex; }
    KorrPage Page() const { return page_; }
    bool NextVisible() const { return nextVisible_; }
    bool MiddleVisible() const { return middleVisible_; }
    QString LeftCaption() const;
    QString MiddleCaption() const;
    QString RightCaption() const;
    bool LeftIsBack() const;
    const std::array<QString, 3>& EditLines() const { return editLines_; }
    const QString& MemoText() const { return memoText_; }
    // Counts every change of the memo's text by the wizard, so the page knows to take it.
    int32_t MemoRevision() const { return memoRevision_; }
    bool EditHintVisible() const { return page_ == KorrPage::tsEdit && !nextVisible_; }
    int32_t StepMark() const { return rectIndex_; }
    bool StepMarkRed() const { return markRed_; }
    bool StepEntryVisible(int32_t entry) const;
    bool MethodSelected(int32_t method) const;
    bool MethodOffered(int32_t method) const;
    int32_t Duration() const;
    bool DurationEnabled(int32_t index) const { return index >= 3 || !doMusic; }
    bool UseIpBoxVisible() const;
    bool MusicHintVisible() const { return doMusic; }
    bool IsDualMode() const { return KorrMode == kKorrTwoMics && canDual; }
    bool DoMusic() const { return doMusic; }
    TKorrLocation* LocationStore() const { return env_.store; }

    struct ImmiView {
        QString header1, header2;
        bool placementVisible = true;
        QString placement1, placement2;
        bool warningVisible = false;
        bool levelControlsVisible = false, levelControlsEnabled = false;
        bool pinkVisible = false, pinkEnabled = true, pinkChecked = false;
        bool infoVisible = false;
        QString info1, info2;
        bool dualMonitorVisible = false;
    };
    struct MessView {
        bool headerVisible = true;
        bool placementVisible = true;
        bool warningVisible = false;
        bool hintVisible = true;
        QString hint;
        QString statusLine;
        bool monitorVisible = false;
    };
    const ImmiView& Immi() const { return immi_; }
    const MessView& Mess() const { return mess_; }
    QString Progress1() const { return progress1_; }
    QString Progress2() const { return progress2_; }
    bool Progress1Visible() const { return progress1Visible_; }
    bool Progress2Visible() const { return progress2Visible_; }
    int32_t SpinValue() const { return seOutVol_; }
    bool WaitCursor() const { return waitCursor_; }
    QString WarnHeader() const { return warnHeader; }
    QString WarnText() const { return warnText; }
    bool IsWarnInfo() const { return isWarnInfo; }
    QString PinkBoxLine() const;
    QString ImportPanelText() const { return panelText_; }
    bool DirectFieldRed(int32_t index) const { return directRed_[static_cast<size_t>(index)]; }
    QString DecimalHint() const;
    // Result page: value, description and time of A, C, Z.
    double ResultValue(int32_t i) const;
    QString ResultText(int32_t i) const;
    platform::TDateTime ResultTime(int32_t i) const;
    // Ratios of the live monitors (-1000 none) and their differences in tenths of a dB.
    double Ratio(int32_t i) const { return zr_[static_cast<size_t>(i)]; }
    int32_t MonitorTenths(int32_t i) const { return wl_[static_cast<size_t>(i)].load(); }
    double MonitorDb(int32_t i) const;
    // Volume checks.
    bool InVolUnchanged();
    bool OutVolUnchanged() const;
    bool VolumesUnchanged() const;
    bool OfferReuse();

    // Red from above 0.95 dB or below -25 dB, green from -25 to below -0.95, else yellow.
    enum class CorrTone { Red, Green, Yellow };
    static CorrTone CorrColor(double value);
    // "15s", "30s", "45s", "1 min", else "2 min".
    static QString DurationText(int32_t seconds);

    // The fields the step table names, public for the pages and tests.
    int32_t cIndex = 2;
    int32_t KorrMode = kKorrNone;
    bool canDual = false;
    bool doMusic = false;
    bool canOut = false;
    int32_t KorrModeLoad = kKorrNone;
    QString loadFileName;
    double klA = 0.0, klC = 0.0, klZ = 0.0;
    double meA = 0.0, meC = 0.0, meZ = 0.0;
    platform::TDateTime meT = 0.0;
    double aMess = 0.0, cMess = 0.0, zMess = 0.0;
    double aDirectV = 0.0, cDirectV = 0.0, zDirectV = 0.0;
    platform::TDateTime eGetTime = 0.0;
    QString eOrtText, imText;
    QString textReA, textReC, textReZ;
    QString ktA, ktC, ktZ;
    platform::TDateTime ldA = 0.0, ldC = 0.0, ldZ = 0.0, ldE = 0.0;
    platform::TDateTime VKorrDate = 0.0;
    int32_t messCount = 0, messEnd = 0, llc = 0;
    bool firstStartSampling = false;
    double latchRmsStart = 0.0;
    double Amp_Thres_Start = 0.001;
    double Amp_Jump_Max = 1.4142135623730951;
    double Amp_Jump_Min = 1.0 / 1.4142135623730951;
    bool checkAmpJitter = true;
    int32_t levelTarget = kSpinMin;
    QString warnHeader, warnText;
    bool isWarnInfo = false;
    QString calcMemo;

private:
    platform::TDateTime Now() const;
    TKorrLocation* Store() const { return env_.store; }
    bool MainReady() const;
    void Post(int32_t code, int64_t argument);
    void Send(int32_t code, int64_t argument);
    void SetStepMark(int32_t index);
    void ShowEditPage(int32_t line1, int32_t line2, int32_t line3, const QString& text);
    void SetMemo(const QString& text);
    void UpdateMemoRule();
    void ShowMethodPage();
    void ShowDurationPage();
    void ChooseDauer(int32_t value);
    void ShowLocList();
    void ShowResultPage();
    void PrepareImmiPage();
    void ShowMessPage();
    void ShowLevelSetting();
    void StartLevelRamp();
    void LockRunSettings();
    void ApplyPinkChoice();
    void SetInfoText1(const QString& text);
    void PostRemoteState();
    void AfterLocationAdded();
    void AddMeasuredLocation();
    void StartImmiAfterPink(int32_t levelStep, int32_t measureStep);
    void FurtherLocationVolumeCheck();
    void DirectMiddle();
    void GoToMeasuringDescription(int32_t step);
    void NextAtMethodPage();
    void NextAtStep1();
    void NextAtStep6();
    void NextAtStep7();
    void NextAtStep14();
    void NextAtLocList();
    // Measurements.
    void StartImmiMeasurement();
    void StartMessMeasurement();
    void StoreRunSettings();
    void StartMessTimer();
    void StopMessTimer();
    void SetProgText(const QString& text, int32_t kind);
    void StartSampling();
    void ImmiSamplingTick();
    void MessSamplingTick();
    void EndImmiMeasurement();
    void EndMessMeasurement();
    void AbortLevelLow();
    void AbortLevelJump();
    void AbortVolumeChanged(bool pinkNoise);
    void SetMonitor(int32_t i, double ratio, double calDiff);
    void ComputeCorrections(const std::array<double, 3>& immission, const std::array<double, 3>& reference,
                            double calDiff);
    void CheckPositiveCorr();
    bool LoadKorrFromFile(const QString& fileName);
    void HandBackTextsAndTimes(TDaten& theData, platform::TDateTime measured) const;
    bool DirectValid() const;
    int32_t CaptureVolume() const;
    int32_t RenderVolume() const;
    QString RemainingText(int32_t seconds) const;

    KorrEnvironment env_;
    KorrResult result_ = KorrResult::Open;
    KorrPage page_ = KorrPage::tsART;
    bool cancelAtOnce_ = false;
    bool cancelledOnList_ = false;
    bool nextVisible_ = true;
    bool middleVisible_ = false;
    std::array<QString, 3> editLines_;
    QString memoText_;
    int32_t memoRevision_ = 0;
    int32_t rectIndex_ = -1;
    bool markRed_ = false;
    bool useIp_ = false;
    bool pinkEnabled_ = true;
    bool usePink_ = false;
    bool messTimerOn_ = false;
    int32_t messInterval_ = 1000;
    bool levelChangeOn_ = false;
    bool errorTimerOn_ = false;
    bool waitCursor_ = false;
    int32_t seOutVol_ = kSpinMin;
    bool spinEnabled_ = true;
    ImmiView immi_;
    MessView mess_;
    QString progress1_, progress2_;
    bool progress1Visible_ = false, progress2Visible_ = false;
    QString panelText_;
    std::array<bool, 3> directRed_{false, false, false};
    std::array<double, 3> zr_{0.0, 0.0, 0.0};
    std::array<std::atomic<int32_t>, 3> wl_{};
};
