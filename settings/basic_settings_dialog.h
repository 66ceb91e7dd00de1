#pragma once
// The basic settings: one or two microphones with the level meters'
// assignment, the report password switches, the precision class and the
// calibration and verification reminders. The opener sets every value, shows
// the dialog and reads every value back when it ends with 1; the dialog
// stores nothing itself.
#include <QDialog>

#include <array>
#include <cstdint>

#include "ui_kit/select_box.h"

class QLabel;
class QSpinBox;
class TPaintBox32;
class TTickRows;

class TGrundeinstellung : public QDialog {
public:
    enum Tick {
        CheckOne, CheckTwo, CheckVu0, CheckVu1, CheckVu2, CheckPW, CheckPwForce, CheckClass2, CheckClass1,
        CheckClassOff, CheckCalStart, CheckEKal, CheckOffStart, CheckEoff, kTickCount
    };

    explicit TGrundeinstellung(QWidget* owner, double dpi = 0);

    void SetMikroanzahl(int32_t count);
    int32_t GetMikroanzahl() const { return mAnzahl; }
    void SetVuAssign(int32_t mode);
    int32_t GetVuAssign() const { return vuMode; }
    void SetUsePw(bool on);
    bool GetUsePw() const;
    void SetForcePw(bool on);
    bool GetForcePw() const;
    void SetPrecision(int32_t precisionClass);
    int32_t GetPrecision() const { return myPrecisionLatch; }
    void SetIntervallK(int32_t days);
    void SetIntervallO(int32_t days);
    int32_t GetIntervallK() const;
    int32_t GetIntervallO() const;
    void SetEKal(bool on);
    void SetEOff(bool on);
    void SetSKal(bool on);
    void SetSOff(bool on);
    bool GetEKal() const;
    bool GetEOff() const;
    bool GetSKal() const;
    bool GetSOff() const;

    // A click on the tick as the mouse gives it.
    void ClickTick(Tick tick);
    const TSelBox& Box(Tick tick) const { return ticks_[tick]; }
    TTickRows* TickBox(Tick tick) const { return boxes_[tick]; }
    void ApplyScale(double dpi);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateMicChoice();
    void RepaintAll();

    int32_t mAnzahl = 1;
    int32_t vuMode = 2;
    int32_t myPrecisionLatch = 0;
    double mySf = 1.0;
    std::array<TSelBox, kTickCount> ticks_;
    std::array<TTickRows*, kTickCount> boxes_{};
    std::array<QLabel*, 6> headers_{};
    QLabel* KalIntervall = nullptr;
    QLabel* IntervallOff = nullptr;
    QLabel* daysK = nullptr;
    QLabel* daysO = nullptr;
    QSpinBox* seKalIntervall = nullptr;
    QSpinBox* seOffIntervall = nullptr;
    TPaintBox32* pbCancel = nullptr;
    TPaintBox32* pbOk = nullptr;
};
