#pragma once
// The correction wizard's dialog: the pages, the step list and the three
// buttons around TaKorr (correction_wizard_core.h). It paints the core's
// state, forwards clicks, keys and notifications to it, and runs its three
// timers while the core asks for them. Modal; the main window creates it for
// one run and frees it after taking the results.
#include <QDialog>
#include <QTimer>

#include <array>
#include <memory>

#include "calibration/correction_wizard_core.h"
#include "platform/window_messages.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QStackedWidget;
class QTreeView;
class QFileSystemModel;
class TBitmap32;
class TPaintBox32;
class TSelBox;

class TKorrWizard : public QDialog {
public:
    // treeRoot: the folder the import page's tree starts at.
    TKorrWizard(KorrEnvironment env, const QString& treeRoot, QWidget* owner);
    ~TKorrWizard() override;

    TaKorr& Core() { return *core_; }
    // Takes notifications (WM_MAIN_NOTIFY) while the wizard lives.
    platform::WindowHandle Handle() const { return handle_; }
    // Runs after each change of the core's state (the web snapshot follows the wizard).
    std::function<void()> onStateChanged;

    // Lays the wizard out for a monitor of dpi pixels per inch.
    void ApplyDpi(double dpi);
    int32_t FontHeightUnit() const { return myFH_; }
    // Shows the core's state: pages, buttons, texts, timers; closes at the end.
    void Sync();

    // The parts tests and screenshots reach.
    TPaintBox32* LeftButton() const { return pbLeft_; }
    TPaintBox32* MiddleButton() const { return pbMiddle_; }
    TPaintBox32* RightButton() const { return pbRight_; }
    TPaintBox32* PagePaintBox(KorrPage page) const;
    TPaintBox32* StepList() const { return pbSteps_; }
    QPlainTextEdit* EditMemo() const { return editMemo_; }
    QPlainTextEdit* CalcMemo() const { return calcMemo_; }
    QLineEdit* DirectField(int32_t i) const { return directFields_[static_cast<size_t>(i)]; }
    QTreeView* ImportTree() const { return tree_; }
    QSpinBox* LevelSpin() const { return spin_; }
    // Where a click on the method (or duration) page selects entry i.
    QPoint MethodBoxPoint(int32_t method) const;
    QPoint DurationBoxPoint(int32_t index) const;
    QPoint LocationBlockPoint(int32_t block) const;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildPages();
    TPaintBox32* NewPageBox(KorrPage page);
    void WireButtons();
    void Act(const std::function<void()>& action);
    void LayoutButtons();
    void SyncTimers();
    void SyncEditPage();
    void SyncImmiControls();
    void SyncDirectFields();
    void OnMessage(uint32_t msg, uintptr_t code, intptr_t argument);
    // Painting.
    void PaintSteps(TPaintBox32* box);
    void PaintMethods(TPaintBox32* box);
    void PaintDurations(TPaintBox32* box);
    void PaintDualInfo(TPaintBox32* box);
    void PaintImmi(TPaintBox32* box);
    void PaintMess(TPaintBox32* box);
    void PaintWarning(TPaintBox32* box);
    void PaintResult(TPaintBox32* box);
    void PaintLocList(TPaintBox32* box);
    void PaintPanel(TPaintBox32* box);
    void PaintPath(TPaintBox32* box);
    void PaintMonitor(TBitmap32& buffer, const QRect& area);
    void PaintBoxes(TPaintBox32* box, int top, const std::vector<std::pair<QString, std::pair<bool, bool>>>& items,
                    std::vector<QRect>& hits);
    int HitIndex(const std::vector<QRect>& hits, int x, int y) const;
    void LocListMouseMove(int x, int y);

    std::unique_ptr<TaKorr> core_;
    platform::WindowHandle handle_ = 0;
    double scale_ = 1.0;
    int32_t myFH_ = -1;
    int32_t mySpace_ = 16;
    int32_t mySSpace_ = 7;
    bool begun_ = false;
    bool closing_ = false;
    int32_t memoRevision_ = -1;
    QStackedWidget* pages_ = nullptr;
    std::array<QWidget*, 11> pageWidgets_{};
    std::array<TPaintBox32*, 11> pageBoxes_{};
    TPaintBox32* pbSteps_ = nullptr;
    QWidget* buttonPanel_ = nullptr;
    TPaintBox32* pbLeft_ = nullptr;
    TPaintBox32* pbMiddle_ = nullptr;
    TPaintBox32* pbRight_ = nullptr;
    // tsEdit
    std::array<QLabel*, 3> editLabels_{};
    QPlainTextEdit* editMemo_ = nullptr;
    TPaintBox32* pbEditHint_ = nullptr;
    // tsImmi
    QSpinBox* spin_ = nullptr;
    std::array<TPaintBox32*, 5> levelButtons_{};
    TPaintBox32* pbPink_ = nullptr;
    std::unique_ptr<TSelBox> pinkBox_;
    // tsRECH
    QLabel* rechHeader_ = nullptr;
    QPlainTextEdit* calcMemo_ = nullptr;
    std::array<QLabel*, 3> directLabels_{};
    std::array<QLineEdit*, 3> directFields_{};
    QLabel* decimalHint_ = nullptr;
    QLabel* finishHint_ = nullptr;
    // tsLoad
    TPaintBox32* pbPath_ = nullptr;
    QTreeView* tree_ = nullptr;
    QFileSystemModel* model_ = nullptr;
    // Hit rectangles of the painted choices.
    std::vector<QRect> methodHits_, durationHits_;
    QRect ipHit_;
    std::vector<std::pair<QRect, int32_t>> locBlocks_;
    int32_t locListSel_ = -1;
    std::array<int32_t, 5> methodOrder_{kKorrOneMic, kKorrTwoMics, kKorrNoCorrection, kKorrImport, kKorrDirect};
    QTimer messTimer_, levelTimer_, errorTimer_;
    bool enterHeld_ = false;
};
