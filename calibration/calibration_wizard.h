#pragma once
// The window of the calibration wizard: pages without tabs, the step list on
// the right, three flat buttons and the status line at the bottom, and the
// drawn boxes of the level check and the run. What the steps do is the
// core's (calibration_wizard_core.h); the window forwards every click, key,
// remote command and timer tick to it and redraws from its state.
#include <QDialog>
#include <QRect>
#include <QTimer>

#include <array>
#include <memory>

#include "calibration/calibration_wizard_core.h"
#include "platform/window_messages.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/select_box.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QStackedWidget;

class TKalibrierung : public QDialog {
public:
    TKalibrierung(WizardHost& host, const TCalLog* log, QWidget* owner);
    ~TKalibrierung() override;

    TKalibrierungCore& Core() { return core_; }
    const TKalibrierungCore& Core() const { return core_; }

    // Set-up by the caller before exec().
    void SetMode(int32_t newCalMode, double lastRefVal, platform::TDateTime lastCalTimeM, int32_t berechnungsArt,
                 double lastKalVal, int32_t kalPos, bool showVgl, platform::TDateTime lastCalTimeR,
                 double lastCalValR, double previousVal);
    void SetCalibratorText(const QString& text);
    void EnableCalibratorEdit(bool canEdit);
    void EnableModeSelect(bool isEnabled);
    void SetRefVol(int32_t newVol) { core_.SetRefVol(newVol); }
    QString GetCalibratorText() const;

    // Where remote commands (261 to 267) are posted to.
    platform::WindowHandle Handle() const { return handle_; }
    // Runs a command code as the window message would.
    void TalkToMe(int32_t code);
    // After a command, a tick or a remote code: timers follow the core, the
    // window redraws and closes once the core has a result.
    void Sync();
    // What made the wizard stop when a step failed (it then ends cancelled);
    // empty otherwise.
    QString Failure() const { return failure_; }
    // The tick intervals of the level check and the run, and the delay of
    // the buttons after a warning page (250 ms and 3 s unless changed).
    void SetTickIntervals(int tickMs, int showNextMs);

    // The crest box's colour and text for a crest factor.
    static TColor32 CrestColor(double crest);
    static QString CrestText(double crest);
    // The remaining seconds line of the progress box.
    QString ProgressText() const;
    QString StatusLeft() const;
    QString StatusRight() const;
    QString ButtonCaption(int32_t mode) const;

    // Controls a test clicks or reads.
    TPaintBox32* pbCancel() const { return pbCancel_; }
    TPaintBox32* pbMitte() const { return pbMitte_; }
    TPaintBox32* pbRechts() const { return pbRechts_; }
    QLineEdit* EditCalibratorSpl() const { return editCalibratorSpl_; }
    QLineEdit* EditSplRef() const { return editSplRef_; }
    QMenu* NominalMenu() const { return popKalNenn_; }
    QPlainTextEdit* mKalibrator() const { return mKalibrator_; }
    QStackedWidget* Pages() const { return pcSelect_; }
    TPaintBox32* pbSteps() const { return pbSteps_; }
    TPaintBox32* pbCrest() const { return pBCrestCheck_; }
    TPaintBox32* pbLights() const { return pbLights_; }
    TPaintBox32* pbCalDataInfo() const { return pbCalDataInfo_; }
    TPaintBox32* pbUseIpControl() const { return pbUseIpControl_; }
    QTimer& LevelTimer() { return tLevel_; }
    QTimer& RunTimer() { return tMess_; }
    QTimer& ShowNextTimer() { return tShowNext_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void BuildPages();
    void BuildBottom();
    void Layout();
    void RefreshTexts();
    void RefreshButtons();
    void SyncTimers();
    void Act(const std::function<void()>& action);
    TPaintBox32* NewBox(QWidget* parent, const char* name, std::function<void(TPaintBox32*)> paint);
    QLabel* NewLabel(QWidget* parent, const char* name);
    void PaintSteps(TPaintBox32* box);
    void PaintStatus(TPaintBox32* box);
    void PaintLights(TPaintBox32* box);
    void PaintCrest(TPaintBox32* box);
    void PaintCalData(TPaintBox32* box);
    void PaintProgress(TPaintBox32* box);
    void PaintWarning(TPaintBox32* box);
    void PaintResultInfo(TPaintBox32* box);
    void PaintSelBox(TPaintBox32* box, TSelBox& sel);
    void PaintEditMark(TBitmap32& buffer, const QRect& area, bool hot);
    void ClickCalData(int x, int y);
    QString CaptionText() const;
    QString DecimalHint() const;

    TKalibrierungCore core_;
    platform::WindowHandle handle_ = 0;
    double mySf_ = 1.0;
    QTimer tLevel_;
    QTimer tMess_;
    QTimer tShowNext_;
    bool modeSelectEnabled_ = true;
    std::array<QRect, 2> aRectCalData_{};
    int32_t calDataHot_ = -1;
    QString failure_;

    QStackedWidget* pcSelect_ = nullptr;
    std::array<QWidget*, 7> pages_{};
    TPaintBox32* pbSteps_ = nullptr;
    QWidget* pUnten_ = nullptr;
    TPaintBox32* pbCancel_ = nullptr;
    TPaintBox32* pbMitte_ = nullptr;
    TPaintBox32* pbRechts_ = nullptr;
    TPaintBox32* pbStatus_ = nullptr;
    // Choice page.
    QLabel* headerMode_ = nullptr;
    QLabel* headerDual_ = nullptr;
    TSelBox checkCalCal_, checkCalSpl_, checkDBoth_, checkDMic_, checkDRef_, checkUseIp_;
    TPaintBox32* pbCalCal_ = nullptr;
    TPaintBox32* pbCalSpl_ = nullptr;
    TPaintBox32* pbDBoth_ = nullptr;
    TPaintBox32* pbDMic_ = nullptr;
    TPaintBox32* pbDRef_ = nullptr;
    // Description page.
    TPaintBox32* pbLt1_ = nullptr;
    QPlainTextEdit* mKalibrator_ = nullptr;
    // Nominal-level and meter pages.
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label8_ = nullptr;
    QLineEdit* editCalibratorSpl_ = nullptr;
    QMenu* popKalNenn_ = nullptr;
    QLabel* headerSplRef_ = nullptr;
    TPaintBox32* pbMRef_ = nullptr;
    QLabel* labelSplRef_ = nullptr;
    QLineEdit* editSplRef_ = nullptr;
    QLabel* labelSplDezimal_ = nullptr;
    // Connect page.
    std::array<QLabel*, 4> connectLabels_{};
    QLabel* lKalOn_ = nullptr;
    TPaintBox32* pbLights_ = nullptr;
    QLabel* lLowInput_ = nullptr;
    QLabel* lLowInput2_ = nullptr;
    TPaintBox32* pBCrestCheck_ = nullptr;
    TPaintBox32* pbCalDataInfo_ = nullptr;
    TPaintBox32* pbUseIpControl_ = nullptr;
    TPaintBox32* pbFortschritt_ = nullptr;
    // Result page.
    QLabel* lMikroInfo_ = nullptr;
    std::array<QLabel*, 5> resultLabels_{};
    TPaintBox32* pbResultInfo_ = nullptr;
    // Warning page.
    TPaintBox32* pbWarnung_ = nullptr;
};
