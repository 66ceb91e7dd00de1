#include "settings/dmx_setup_dialog.h"

#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QSlider>

#include <algorithm>

#include "remote/dmx_data.h"
#include "settings/dialog_parts.h"
#include "settings/menu_header.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kColumns = 10;
constexpr int kRows = 8;
constexpr int kLastView = 440;
constexpr int32_t kMenuValues[5] = {0, 64, 128, 192, 255};
const char* const kMenuCaptions[5] = {"0%   (DMX: 0)", "25%  (DMX: 64)", "50%  (DMX: 128)", "75%   (DMX: 192)",
                                      "100% (DMX: 255)"};

QString ThreeDigits(int value) { return QStringLiteral("%1").arg(value, 3, 10, QLatin1Char('0')); }

}  // namespace

TDMXSetup::TDMXSetup(QWidget* owner, double dpi)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setModal(true);
    setPalette(SchemeWidgetPalette(palette()));
    setAutoFillBackground(true);
    pbMatrix = new TPaintBox32(this);
    pbMatrix->setObjectName(QStringLiteral("pbMatrix"));
    pbMatrix->OnPaintBuffer = [this](TPaintBox32* box) { PaintGrid(box); };
    pbMatrix->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton button, int x, int y) { GridMouseDown(button, x, y); };
    gbPos = new QScrollBar(Qt::Vertical, this);
    gbPos->setRange(0, kLastView / kColumns);
    connect(gbPos, &QScrollBar::valueChanged, this, [this](int position) {
        if (disStartPos == position * kColumns) return;
        disStartPos = position * kColumns;
        pbMatrix->Invalidate();
    });
    gbDMX = new QSlider(Qt::Vertical, this);
    gbDMX->setRange(0, 255);
    gbDMX->setPageStep(25);
    gbDMX->setInvertedAppearance(true);
    gbDMX->setTickInterval(10);
    gbDMX->setTickPosition(QSlider::TicksBothSides);
    connect(gbDMX, &QSlider::valueChanged, this, [this](int position) { SliderChanged(position); });
    popValues = new QMenu(this);
    for (QWidget* w : {static_cast<QWidget*>(pbMatrix), static_cast<QWidget*>(gbDMX)}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this, [this, w](QPoint at) {
            if (w == gbDMX) ValueMenu()->popup(w->mapToGlobal(at));
        });
    }
    pbCancel = NewFlatButton(this, 403, [this] { done(2); });
    pbOk = NewFlatButton(this, 427, [this] { done(1); });
    ApplyScale(dpi > 0 ? dpi : LogicalDpiOf(owner != nullptr ? owner : this));
}

void TDMXSetup::ApplyScale(double dpi) {
    mySf = dpi / 96.0;
    auto s = [this](int v) { return RoundI(v * mySf); };
    pbMatrix->setGeometry(s(8), s(8), s(334), s(217));
    gbPos->setGeometry(s(348), s(8), s(21), s(217));
    gbDMX->setGeometry(s(392), s(8), s(45), s(217));
    const int clientW = s(445);
    for (TPaintBox32* b : {pbCancel, pbOk}) InitButton(b, mySf, true);
    const int top = s(8) + s(217) + s(16);
    pbCancel->move(s(16), top);
    pbOk->move(clientW - s(16) - pbOk->width(), top);
    setFixedSize(clientW, top + pbOk->height() + s(16));
}

void TDMXSetup::Init(int32_t mode) {
    myMode = mode;
    if (TDMXData* dmx = dmxData.load()) {
        outVals = dmx->GetData(mode);
        haveData_ = true;
    }
    const std::pair<int32_t, int32_t> states[] = {{16, 899}, {17, 900}, {18, 901}, {20, 892}};
    for (const auto& [m, text] : states)
        if (m == mode) setWindowTitle(GetLangText(905) + QStringLiteral(": ") + GetLangText(text));
    SelectChannel(0);
}

int32_t TDMXSetup::Value(int32_t channel) const {
    return channel >= 0 && channel < 512 ? outVals[channel] : -1;
}

void TDMXSetup::SelectChannel(int32_t index) {
    if (index < 0 || index > 511 || index == selKanal) return;
    selKanal = index;
    while (index > disStartPos + kColumns * kRows - 1) disStartPos += kColumns;
    while (index < disStartPos && disStartPos > 9) disStartPos -= kColumns;
    gbPos->blockSignals(true);
    gbPos->setValue(disStartPos / kColumns);
    gbPos->blockSignals(false);
    pbMatrix->Invalidate();
    SyncSlider();
}

void TDMXSetup::SyncSlider() {
    if (selKanal < 0) return;
    gbDMX->setValue(255 - outVals[selKanal]);
}

void TDMXSetup::SendValue(int32_t channel) {
    if (TDMXData* dmx = dmxData.load()) dmx->UpdateVal(myMode, channel, outVals[channel]);
}

// The slider's top stands for 255; a position whose value is stored already
// changes nothing.
void TDMXSetup::SliderChanged(int position) {
    if (selKanal < 0) return;
    const int value = 255 - position;
    if (value == outVals[selKanal]) return;
    outVals[selKanal] = static_cast<uint8_t>(value);
    pbMatrix->Invalidate();
    SendValue(selKanal);
}

// The value reaches the DMX data here, not by way of the slider, so a step
// that the slider cannot show still reaches the lights.
void TDMXSetup::ChangeValue(int32_t step) {
    if (selKanal < 0) return;
    const int value = std::clamp(outVals[selKanal] + step, 0, 255);
    if (value == outVals[selKanal]) return;
    outVals[selKanal] = static_cast<uint8_t>(value);
    SendValue(selKanal);
    SyncSlider();
    pbMatrix->Invalidate();
}

void TDMXSetup::SetSelectedValue(int32_t value) {
    if (selKanal < 0) return;
    outVals[selKanal] = static_cast<uint8_t>(std::clamp(value, 0, 255));
    pbMatrix->Invalidate();
    SendValue(selKanal);
    SyncSlider();
}

void TDMXSetup::ResetAllChannels() {
    for (int32_t i = 0; i < 512; ++i) {
        outVals[i] = 0;
        SendValue(i);
    }
    SyncSlider();
    pbMatrix->Invalidate();
}

QMenu* TDMXSetup::ValueMenu() {
    popValues->clear();
    if (selKanal >= 0) AddMenuHeader(popValues, GetLangText(921).replace(QStringLiteral("%d"), QString::number(selKanal + 1)));
    for (int i = 0; i < 5; ++i) {
        const int32_t value = kMenuValues[i];
        popValues->addAction(QString::fromLatin1(kMenuCaptions[i]), this, [this, value] { SetSelectedValue(value); });
    }
    popValues->addSeparator();
    popValues->addAction(GetLangText(920), this, [this] { ResetAllChannels(); });
    return popValues;
}

void TDMXSetup::GridMouseDown(Qt::MouseButton button, int x, int y) {
    if (pbMatrix->width() <= 0 || pbMatrix->height() <= 0) return;
    const int column = std::min(kColumns - 1, x * kColumns / pbMatrix->width());
    const int row = std::min(kRows - 1, y * kRows / pbMatrix->height());
    const int index = disStartPos + kColumns * row + column;
    if (index != selKanal) SelectChannel(index);
    if (button == Qt::RightButton) ValueMenu()->popup(pbMatrix->mapToGlobal(QPoint(x, y)));
}

void TDMXSetup::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const bool none = mods == Qt::NoModifier;
    const bool shift = mods == Qt::ShiftModifier;
    const bool ctrl = mods == Qt::ControlModifier;
    if (!none && !shift && !ctrl) return QDialog::keyPressEvent(event);
    const int step = none ? 1 : shift ? 10 : 100;
    switch (event->key()) {
    case Qt::Key_Left: {
        int target = selKanal - 1;
        if (shift) target = selKanal % 10 == 0 ? selKanal - 10 : selKanal - selKanal % 10;
        if (ctrl) target = selKanal % 100 == 0 ? selKanal - 100 : selKanal - selKanal % 100;
        SelectChannel(target);
        return;
    }
    case Qt::Key_Right: {
        int target = selKanal + 1;
        if (shift) target = selKanal - selKanal % 10 + 10;
        if (ctrl) target = selKanal - selKanal % 100 + 100;
        SelectChannel(target);
        return;
    }
    case Qt::Key_Up: ChangeValue(step); return;
    case Qt::Key_Down: ChangeValue(-step); return;
    case Qt::Key_C:
        if (none) ChangeValue(-255);
        break;
    case Qt::Key_F:
        if (none) ChangeValue(255);
        break;
    default: break;
    }
    QDialog::keyPressEvent(event);
}

void TDMXSetup::PaintGrid(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    const int w = box->width();
    const int h = box->height();
    b.Clear(clBack32);
    b.FrameRect(box->ClientRect(), clText32);
    const double cw = w / static_cast<double>(kColumns);
    const double ch = h / static_cast<double>(kRows);
    for (int c = 1; c < kColumns; ++c) {
        const int x = RoundI(c * cw);
        const int bottom = disStartPos == kLastView && c > 2 ? RoundI((kRows - 1) * ch) : h - 1;
        b.VertLine(x, 0, bottom, clText32);
    }
    for (int r = 1; r < kRows; ++r) b.HorzLine(0, RoundI(r * ch), w - 1, clText32);
    b.Font.height = RoundI(-9.33 * mySf);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            const int index = disStartPos + kColumns * r + c;
            if (index > 511) continue;
            const QRect cell(RoundI(c * cw), RoundI(r * ch), RoundI((c + 1) * cw) - RoundI(c * cw),
                             RoundI((r + 1) * ch) - RoundI(r * ch));
            const bool selected = index == selKanal;
            if (selected)
                b.FillRect(cell.adjusted(0, 0, 1, 1), clText32);
            else if (outVals[index] != 0)
                b.FillRect(cell.adjusted(1, 1, 0, 0), clHover32);
            b.Font.color = selected ? clBack : clText;
            b.Font.bold = true;
            b.DrawText(QRect(cell.x(), cell.y() + 2, cell.width(), cell.height()), ThreeDigits(index + 1),
                       kTextCenter | kTextSingleLine);
            b.Font.bold = outVals[index] != 0;
            b.DrawText(QRect(cell.x(), cell.y(), cell.width(), cell.height() - 1), ThreeDigits(outVals[index]),
                       kTextCenter | kTextBottom | kTextSingleLine);
        }
    }
}
