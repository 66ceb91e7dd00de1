#pragma once
// The calibration wizard without its window: the steps, the level check, the
// measuring run and its evaluation. The levels come from a WizardHost, the
// time of acceptance and the capture volume from injected functions, and the
// three timers of the window are explicit ticks here: the window (or a test)
// calls LevelTick, RunTick and ShowNextTick while the matching Timer...On()
// answers true. After every command and tick the window redraws from the
// getters; nothing here touches a widget.
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "calibration/wizard_host.h"
#include "platform/date_time.h"

class TCalLog;

class TKalibrierungCore {
public:
    // The pages of the window.
    enum class Page { Choice, Description, Nominal, Meter, Connect, Result, Warning };
    // What the connect page shows: the instructions, the level check or the run.
    enum class ConnectView { Labels, LevelCheck, Run };
    // Colours of the six level indicators.
    enum class Light { White, Green, Yellow, Red };
    // Microphone choices of the choice page.
    enum class Mics { MeasuringOnly, Both, ReferenceOnly };

    static constexpr int32_t kResultNone = 0;
    static constexpr int32_t kResultAccepted = 1;
    static constexpr int32_t kResultCancelled = 2;
    static constexpr int32_t kButtonHidden = 0;
    static constexpr int32_t kButtonApply = 1;
    static constexpr int32_t kButtonNext = 2;
    static constexpr int32_t kButtonStart = 3;
    static constexpr int32_t kButtonRepeat = 4;
    static constexpr int32_t kButtonRepeatStep = 5;
    static constexpr int32_t kStepListSize = 14;
    static constexpr double kNoCrest = 200.0;

    explicit TKalibrierungCore(WizardHost& host, const TCalLog* log = nullptr);

    // --- set-up by the caller ---
    void SetMode(int32_t newCalMode, double lastRefVal, platform::TDateTime lastCalTimeM, int32_t berechnungsArt,
                 double lastKalVal, int32_t kalPos, bool showVgl, platform::TDateTime lastCalTimeR,
                 double lastCalValR, double previousVal);
    void SetCalibratorText(const QString& text) { calibratorText_ = text; }
    void SetRefVol(int32_t newVol) { volRef_ = newVol; }
    // The capture volume of the WASAPI input in tenths of a dB; nullopt
    // while the input is not a WASAPI one.
    void SetCaptureVolumeSource(std::function<std::optional<int32_t>()> source) { captureVolume_ = std::move(source); }
    // The local time an accepted result is stamped with.
    void SetClock(std::function<platform::TDateTime()> now) { now_ = std::move(now); }

    // --- commands ---
    // 0 cancel, 1 start the level check, 3 accept, 4 repeat, 5 step action,
    // 6 close accepted; other values do nothing.
    void ControlKal(int32_t cMode);
    // The command of the right-hand or the middle button in its current mode.
    void RightButtonCommand() { ButtonCommand(modeBRechts_); }
    void MiddleButtonCommand() { ButtonCommand(modeBMitte_); }
    // The remote command codes 261 to 267 sent to the wizard's window.
    void TalkToMe(int32_t code);
    void Restart(bool fromBeginning);
    // Choice page.
    void ChooseKind(int32_t berechnungsArt);
    void ChooseMics(Mics mics);
    // Entering the nominal-level (or meter-reading) page and editing its entry.
    void ShowNominalPage();
    void EditReference(const QString& text);
    // The IP-control tick.
    void SetIpControl(bool on);

    // --- ticks ---
    void LevelTick();
    void RunTick();
    void ShowNextTick();
    bool LevelTimerOn() const { return tLevel_; }
    bool RunTimerOn() const { return tMess_; }
    bool ShowNextTimerOn() const { return tShowNext_; }

    // --- results ---
    int32_t ModalResult() const { return modalResult_; }
    double GetCalM() const { return KalM_; }
    double GetCalR() const { return KalR_; }
    platform::TDateTime GetCTM() const { return Cal_Time_M_; }
    platform::TDateTime GetCTR() const { return Cal_Time_R_; }
    double GetRefVal() const { return refVal_; }
    bool GetMCG() const { return MicCalGood_; }
    int32_t GetKalArtId() const { return Berechnungs_art_ == 1 ? 1 : 0; }
    bool OnlyRef() const { return CurrentMic_ == 2 && DualMode_ == 1; }
    QString GetCalibratorText() const { return calibratorText_; }
    double GetCalLogDif() const { return calLogDif_; }
    int32_t GetRefVol() const { return volRef_; }

    // --- remote getters ---
    int32_t GetProz() const { return webTimeValue_; }
    double GetCrest() const { return crestVal_; }
    double GetMaxDb() const;
    bool IpEnabled() const { return checkUseIp_; }
    QString GetInfoText() const { return warnungText_; }
    int32_t GetMicId() const;

    // --- state the window draws ---
    int32_t Step() const { return cIndex_; }
    Page CurrentPage() const { return page_; }
    ConnectView View() const { return view_; }
    int32_t KalPos() const { return Kal_Pos_; }
    bool IsVerification() const { return Kal_Pos_ == 3 || Kal_Pos_ == 4; }
    bool TwoMicConfig() const { return KALART_ == 1; }
    bool EnableVgl() const { return enableVgl_; }
    int32_t Kind() const { return Berechnungs_art_; }
    int32_t DualMode() const { return DualMode_; }
    int32_t CurrentMic() const { return CurrentMic_; }
    Mics SelectedMics() const;
    int32_t RightMode() const { return modeBRechts_; }
    int32_t MiddleMode() const { return modeBMitte_; }
    bool RightVisible() const { return rightShown_ && modeBRechts_ != kButtonHidden; }
    bool MiddleVisible() const { return middleShown_ && modeBMitte_ != kButtonHidden; }
    bool ReferenceValid() const { return refValid_; }
    double RefVal() const { return refVal_; }
    double OldKalRef() const { return oldKalRef_; }
    const std::array<Light, 6>& Lights() const { return lights_; }
    int32_t VisibleLights() const { return IsVerification() ? 2 : 6; }
    bool CrestBoxShown() const { return crestShown_; }
    bool LowInputShown() const { return lowInputShown_; }
    double MaxDb() const { return maxDb_; }
    double CrestVal() const { return crestVal_; }
    // The level caption of the connect page, or empty for the run's caption.
    QString LevelCaption() const { return levelCaption_; }
    int32_t SampleCounter() const { return sampleCounter_; }
    int32_t MaxSamples() const { return maxSamples_; }
    QString WarningHeader() const { return warnungHeader_; }
    QString WarningText() const { return warnungText_; }
    bool WarningIsInformation() const { return warnungOk_; }
    bool UseOffsetWarning() const { return useOffsetWarning_; }
    QString CalLogInfo() const { return calLogInfo_; }
    double MaxLevelM() const { return maxDBCM_; }
    double MaxLevelR() const { return maxDBCR_; }
    double CalResM() const { return calResM_; }
    double CalResR() const { return calResR_; }
    platform::TDateTime LastCalTime() const { return lastCalTimeM_; }
    platform::TDateTime CalTimeM() const { return Cal_Time_M_; }
    platform::TDateTime CalTimeR() const { return Cal_Time_R_; }
    // The IP-control box is offered.
    bool IpBoxVisible();
    // Step list: which entries show, which one is marked and whether the
    // marker is in the alarm colour.
    bool StepVisible(int32_t entry) const;
    int32_t MarkedStep() const;
    bool MarkerAlarm() const { return markerAlarm_; }
    // Parsing of a reference-level entry with the regional decimal separator:
    // nullopt for anything but a number from 30 to 170 dB.
    static std::optional<double> ParseReference(const QString& text);

private:
    void ButtonCommand(int32_t mode);
    void StepAction();
    void StartLevelCheck();
    void StartRun();
    void AddCalSample();
    void AbortUnstable();
    void FinishRun();
    void EvaluateCalResult();
    void CheckCalLogOffset();
    void ShowWarningPage(const QString& header, const QString& text, bool ok);
    void Accept();
    void Repeat();
    void EnterChoice();
    void EnterConnect(int32_t step);
    void SetRight(int32_t mode) {
        modeBRechts_ = mode;
        rightShown_ = true;
    }
    void SetMiddle(int32_t mode) {
        modeBMitte_ = mode;
        middleShown_ = true;
    }
    void StopTimers() { tLevel_ = tMess_ = false; }
    void PostIpStatus(int32_t status);
    void PostReadyStatus();
    bool RemotePossible();
    void ReadMicLevels(double& peakSquare, double& rmsLevel);

    WizardHost& host_;
    const TCalLog* log_;
    std::function<std::optional<int32_t>()> captureVolume_;
    std::function<platform::TDateTime()> now_;

    int32_t Kal_Pos_ = 1;
    int32_t KALART_ = 0;
    int32_t Berechnungs_art_ = 0;
    bool enableVgl_ = false;
    int32_t DualMode_ = 1;
    int32_t CurrentMic_ = 1;
    int32_t cIndex_ = 1;
    Page page_ = Page::Choice;
    ConnectView view_ = ConnectView::Labels;
    double refVal_ = -100.0;
    bool refValid_ = false;
    double oldKalRef_ = -100.0;
    int32_t sampleCounter_ = 0;
    int32_t maxSamples_ = 100;
    double cLatch_ = 0.0;
    int32_t iCCounter_ = 0;
    double lLatch_ = 0.0;
    int32_t iACounter_ = 0;
    std::array<double, 2> aClatch_{};
    int32_t clpos_ = 0;
    double lowLimit_ = 0.0;
    double highLimit_ = 0.0;
    double limitFactor_;
    double cMessM_ = 0.0, cMessR_ = 0.0;
    double messValM_ = 0.0, messValR_ = 0.0;
    double maxDBCM_ = 0.0, maxDBCR_ = 0.0;
    double calResM_ = 0.0, calResR_ = 0.0;
    double KalM_ = 0.0, KalR_ = 0.0;
    platform::TDateTime Cal_Time_M_ = 0.0, Cal_Time_R_ = 0.0;
    platform::TDateTime lastCalTimeM_ = 0.0;
    bool MicCalGood_ = false;
    double Last_Result_ = 0.0;
    double crestVal_ = 0.0;
    double maxDb_ = -1.0;
    int32_t levelStatus_ = 0;
    double calLogDif_ = -1000.0;
    QString calLogInfo_;
    bool useOffsetWarning_ = false;
    int32_t iCounterShowWeiter_ = -1;
    int32_t iLowLevelBlink_ = 0;
    int32_t modeBRechts_ = kButtonNext;
    int32_t modeBMitte_ = kButtonHidden;
    bool rightShown_ = true;
    bool middleShown_ = false;
    QString warnungHeader_;
    QString warnungText_;
    bool warnungOk_ = false;
    int32_t volRef_ = 65551;
    int32_t webTimeValue_ = 0;
    bool checkUseIp_ = false;
    bool bothMicsChosen_ = true;
    bool tLevel_ = false;
    bool tMess_ = false;
    bool tShowNext_ = false;
    bool runAborted_ = false;
    int32_t modalResult_ = kResultNone;
    std::array<Light, 6> lights_{};
    bool crestShown_ = false;
    bool lowInputShown_ = false;
    QString levelCaption_;
    QString calibratorText_;
    bool markerAlarm_ = false;
};
