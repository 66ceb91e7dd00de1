#pragma once
// The measurement options: the user preset (id -2) edited live in the
// preset handler. Every change writes the whole record at once; the opener
// keeps a copy from before and writes it back unless the dialog ends with 1.
#include <QDialog>

#include <array>
#include <cstdint>

#include "store/measuring_preset.h"
#include "ui_kit/select_box.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSpinBox;
class TPaintBox32;
class TTickRows;

class TOptionenMessung : public QDialog {
public:
    enum Tick {
        CheckKalStart, CheckMaxHeadroom, CheckKalEnde, CheckAutoEnd, CheckLinkLeq, CheckUsePreV,
        CheckUeLeq, CheckUeLeqK, CheckUePeak, CheckPLeq, CheckPLeqK, CheckPPeak, kTickCount
    };
    enum List { cbLEQTime, cbLEQFilter, cbLeq10, cbLeqKFilter, cbMittelung, cbPeakMode, cbNKS, kListCount };
    enum Spin { seCGelb, seCrot, seAGelb, seARot, seKGelb, seKRot, kSpinCount };

    explicit TOptionenMessung(QWidget* owner, double dpi = 0);

    void InitUserPreset(const TVTPreset& p);
    bool IsKalStart() const { return uPreLa.kalAb; }
    bool IsMaxHeadroom() const { return uPreLa.checkH; }
    bool IsKalEnde() const { return uPreLa.offCheck; }
    int32_t GetDecimals() const;

    // A click on a tick as the mouse gives it.
    void ClickTick(Tick tick);
    // Chooses the list item that carries value (as the user would).
    bool ChooseItem(List list, int32_t value);
    // Types a value into a spin edit (it clamps, as the field does).
    void SetSpin(Spin spin, int value);
    // The limit popup: entering a field, then choosing a value.
    void EnterSpin(Spin spin);
    void ChooseLimit(int32_t value);
    void SetInfoText(const QString& text);
    void Load();
    void Save();
    // Writes corrections of the loaded record that no change has written yet.
    void Confirm();

    const TVTPreset& Record() const { return uPreLa; }
    const TSelBox& Box(Tick tick) const { return ticks_[tick]; }
    QComboBox* ListBox(List list) const { return lists_[list]; }
    QSpinBox* SpinBox(Spin spin) const { return spins_[spin]; }
    TTickRows* TickBox(Tick tick) const { return boxes_[tick]; }
    void ApplyScale(double dpi);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ControlsToPreset();
    void PresetToControls();
    void UpdateChecks();
    void SetLinkLeq(bool linked);
    void EnsureMonitoredLimit();
    void SetLeqTime(int32_t duration);
    void CorrectUnknownValues();
    void ShowListValue(List list, int32_t value);
    void ListChanged(List list);
    void SpinChanged(Spin spin);
    void StatusTick(int entry, bool monitored);
    void ShowStatusTicks();
    void RepaintTicks();

    TVTPreset uPreLa;
    bool isStartUp = true;
    bool unwrittenCorrections_ = false;
    int enteredSpin_ = -1;
    double mySf = 1.0;
    std::array<TSelBox, kTickCount> ticks_;
    std::array<TTickRows*, kTickCount> boxes_{};
    std::array<QComboBox*, kListCount> lists_{};
    std::array<QSpinBox*, kSpinCount> spins_{};
    std::array<QLabel*, kSpinCount> spinLabels_{};
    std::vector<QLabel*> headers_;
    std::vector<QLabel*> listLabels_;
    QLineEdit* edInfo = nullptr;
    QMenu* pmWerte = nullptr;
    TPaintBox32* pbCancel = nullptr;
    TPaintBox32* pbLoad = nullptr;
    TPaintBox32* pbSave = nullptr;
    TPaintBox32* pbOk = nullptr;
};

// The file name the save proposes for an info text: its first 30
// characters, without folder separators or control characters, and ".vup".
QString ProposedPresetFileName(const QString& infoText);
