#include "settings/basic_settings_dialog.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QSpinBox>

#include <algorithm>

#include "settings/dialog_parts.h"
#include "settings/tick_rows.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kTickLabels[TGrundeinstellung::kTickCount] = {481, 482, 483, 484, 485, 1003, 1004,
                                                                1075, 1074, 1081, 1077, 1082, 1078, 1082};
// Header texts: microphones, assignment, password, precision, calibration, verification.
constexpr int32_t kHeaders[6] = {479, 480, 1086, 1076, 430, 1087};
constexpr int32_t kVuModeOfTick[3] = {2, 1, 3};

}  // namespace

TGrundeinstellung::TGrundeinstellung(QWidget* owner, double dpi)
    : QDialog(owner, kSettingsDialogFlags) {
    SetUpSettingsDialog(*this, 210);
    for (int i = 0; i < kTickCount; ++i) {
        ticks_[i].SetLabel(kTickLabels[i]);
        const auto tick = static_cast<Tick>(i);
        boxes_[i] = NewClickTick(this, &ticks_[i], [this, tick] { ClickTick(tick); });
    }
    ticks_[CheckVu0].SetSelected(true);
    for (const Tick t : {CheckVu0, CheckVu1, CheckVu2}) ticks_[t].SetEnable(false);
    for (int i = 0; i < 6; ++i) {
        headers_[i] = new QLabel(GetLangText(kHeaders[i]), this);
        QFont bold = headers_[i]->font();
        bold.setBold(true);
        headers_[i]->setFont(bold);
    }
    KalIntervall = new QLabel(GetLangText(1083), this);
    IntervallOff = new QLabel(GetLangText(1084), this);
    daysK = new QLabel(GetLangText(1085), this);
    daysO = new QLabel(GetLangText(1085), this);
    seKalIntervall = new QSpinBox(this);
    seKalIntervall->setObjectName(QStringLiteral("seKalIntervall"));
    seKalIntervall->setRange(1, 360);
    seOffIntervall = new QSpinBox(this);
    seOffIntervall->setObjectName(QStringLiteral("seOffIntervall"));
    seOffIntervall->setRange(1, 133);
    pbCancel = NewFlatButton(this, 403, [this] { done(2); });
    pbOk = NewFlatButton(this, 427, [this] { done(1); });
    ApplyScale(dpi > 0 ? dpi : LogicalDpiOf(owner != nullptr ? owner : this));
}

void TGrundeinstellung::ApplyScale(double dpi) {
    mySf = dpi / 96.0;
    const int m = RoundI(16 * mySf);
    const int g = RoundI(7 * mySf);
    const int tickW = RoundI(320 * mySf);
    const int tickH = RoundI(25 * mySf);
    QFont font(QStringLiteral("VERDANA"));
    font.setPixelSize(RoundI(12 * mySf));
    setFont(font);
    for (QLabel* h : headers_) {
        QFont bold = font;
        bold.setBold(true);
        h->setFont(bold);
        h->adjustSize();
    }
    for (TTickRows* box : boxes_) box->SetScale(mySf);
    const int left = m;
    const int right = left + tickW + m;
    auto place = [&](Tick t, int x, int y) { boxes_[t]->setGeometry(x, y, tickW, tickH); };
    int y = g;
    headers_[0]->move(left, y);
    headers_[2]->move(right, y);
    y += headers_[0]->height() + g;
    place(CheckOne, left, y);
    place(CheckPW, right, y);
    y += tickH + g;
    place(CheckTwo, left, y);
    place(CheckPwForce, right, y);
    y += tickH + 2 * g;
    headers_[1]->move(left, y);
    headers_[3]->move(right, y);
    y += headers_[1]->height() + g;
    const int firstVu = y;
    for (const Tick t : {CheckVu0, CheckVu1, CheckVu2}) {
        place(t, left, y);
        y += tickH + g;
    }
    int yr = firstVu;
    for (const Tick t : {CheckClass2, CheckClass1, CheckClassOff}) {
        place(t, right, yr);
        yr += tickH + g;
    }
    y += g;
    headers_[4]->move(left, y);
    headers_[5]->move(right, y);
    y += headers_[4]->height() + g;
    place(CheckCalStart, left, y);
    place(CheckOffStart, right, y);
    y += tickH + g;
    KalIntervall->adjustSize();
    IntervallOff->adjustSize();
    KalIntervall->move(left, y);
    IntervallOff->move(right, y);
    y += KalIntervall->height() + RoundI(3 * mySf);
    const int spinW = RoundI(70 * mySf);
    seKalIntervall->setGeometry(left, y, spinW, tickH);
    seOffIntervall->setGeometry(right, y, spinW, tickH);
    daysK->adjustSize();
    daysO->adjustSize();
    daysK->move(left + spinW + RoundI(3 * mySf), y + (tickH - daysK->height()) / 2);
    daysO->move(right + spinW + RoundI(2 * mySf), y + (tickH - daysO->height()) / 2);
    y += tickH;
    place(CheckEKal, left, y);
    place(CheckEoff, right, y);
    y += tickH + 2 * g;
    const int clientW = right + tickW + m;
    for (TPaintBox32* b : {pbCancel, pbOk}) InitButton(b, mySf, true);
    pbCancel->move(m, y);
    pbOk->move(clientW - m - pbOk->width(), y);
    setFixedSize(clientW, y + pbOk->height() + g);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void TGrundeinstellung::RepaintAll() {
    for (TTickRows* box : boxes_) box->Invalidate();
}

// One microphone leaves the assignment to the inputs, so its ticks rest.
void TGrundeinstellung::UpdateMicChoice() {
    if (ticks_[CheckOne].GetIsSelected()) {
        ticks_[CheckTwo].SetSelected(false);
        mAnzahl = 1;
    } else {
        ticks_[CheckTwo].SetSelected(true);
        ticks_[CheckOne].SetSelected(false);
        mAnzahl = 2;
    }
    for (const Tick t : {CheckVu0, CheckVu1, CheckVu2}) ticks_[t].SetEnable(mAnzahl == 2);
    SetVuAssign(vuMode);
    RepaintAll();
}

void TGrundeinstellung::SetMikroanzahl(int32_t count) {
    if (count != 1 && count != 2) return;
    mAnzahl = count;
    ticks_[CheckOne].SetSelected(count == 1);
    ticks_[CheckTwo].SetSelected(count != 1);
    UpdateMicChoice();
}

void TGrundeinstellung::SetVuAssign(int32_t mode) {
    vuMode = mode;
    for (int i = 0; i < 3; ++i) ticks_[CheckVu0 + i].SetSelected(kVuModeOfTick[i] == mode);
    RepaintAll();
}

void TGrundeinstellung::SetUsePw(bool on) {
    ticks_[CheckPW].SetSelected(on);
    ticks_[CheckPwForce].SetEnable(on);
    RepaintAll();
}
bool TGrundeinstellung::GetUsePw() const { return ticks_[CheckPW].GetIsSelected(); }
void TGrundeinstellung::SetForcePw(bool on) {
    ticks_[CheckPwForce].SetSelected(on);
    RepaintAll();
}
bool TGrundeinstellung::GetForcePw() const {
    return ticks_[CheckPwForce].GetIsSelected() && ticks_[CheckPW].GetIsSelected();
}

void TGrundeinstellung::SetPrecision(int32_t precisionClass) {
    myPrecisionLatch = precisionClass;
    ticks_[CheckClass1].SetSelected(precisionClass == 1);
    ticks_[CheckClass2].SetSelected(precisionClass == 2);
    ticks_[CheckClassOff].SetSelected(precisionClass <= 0);
    RepaintAll();
}

void TGrundeinstellung::SetIntervallK(int32_t days) { seKalIntervall->setValue(std::clamp(days, 1, 360)); }
void TGrundeinstellung::SetIntervallO(int32_t days) { seOffIntervall->setValue(std::clamp(days, 1, 133)); }
int32_t TGrundeinstellung::GetIntervallK() const { return seKalIntervall->value(); }
int32_t TGrundeinstellung::GetIntervallO() const { return seOffIntervall->value(); }

void TGrundeinstellung::SetEKal(bool on) { ticks_[CheckEKal].SetSelected(on); RepaintAll(); }
void TGrundeinstellung::SetEOff(bool on) { ticks_[CheckEoff].SetSelected(on); RepaintAll(); }
void TGrundeinstellung::SetSKal(bool on) { ticks_[CheckCalStart].SetSelected(on); RepaintAll(); }
void TGrundeinstellung::SetSOff(bool on) { ticks_[CheckOffStart].SetSelected(on); RepaintAll(); }
bool TGrundeinstellung::GetEKal() const { return ticks_[CheckEKal].GetIsSelected(); }
bool TGrundeinstellung::GetEOff() const { return ticks_[CheckEoff].GetIsSelected(); }
bool TGrundeinstellung::GetSKal() const { return ticks_[CheckCalStart].GetIsSelected(); }
bool TGrundeinstellung::GetSOff() const { return ticks_[CheckOffStart].GetIsSelected(); }

void TGrundeinstellung::ClickTick(Tick tick) {
    switch (tick) {
    case CheckOne:
        ticks_[CheckOne].SetSelected(true);
        UpdateMicChoice();
        break;
    case CheckTwo:
        ticks_[CheckOne].SetSelected(false);
        UpdateMicChoice();
        break;
    case CheckVu0:
    case CheckVu1:
    case CheckVu2:
        if (ticks_[tick].GetIsEnabled()) SetVuAssign(kVuModeOfTick[tick - CheckVu0]);
        break;
    case CheckPW: SetUsePw(!GetUsePw()); break;
    case CheckPwForce:
        if (ticks_[CheckPwForce].GetIsEnabled()) SetForcePw(!ticks_[CheckPwForce].GetIsSelected());
        break;
    case CheckClass1: SetPrecision(1); break;
    case CheckClass2: SetPrecision(2); break;
    case CheckClassOff: SetPrecision(0); break;
    default:
        ticks_[tick].DoClick();
        RepaintAll();
        break;
    }
}

void TGrundeinstellung::keyPressEvent(QKeyEvent* event) {
    if (!AnswerEnterOrEscape(*this, *event, pbOk, pbCancel)) QDialog::keyPressEvent(event);
}
