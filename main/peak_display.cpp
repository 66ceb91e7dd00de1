#include "main/peak_display.h"

#include <QApplication>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <utility>

#include "audio/test_signal.h"
#include "main/display_areas.h"
#include "main/icon_collection.h"
#include "ui_kit/display_texts.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"
#include "ui_kit/text_helpers.h"

namespace {

constexpr int32_t kFieldCurrent = 4;
constexpr int32_t kFieldBlock = 5;
constexpr int32_t kFieldMax = 6;
constexpr int32_t kFieldNoise = 7;
constexpr int32_t kFirstRepeatMs = 350;
constexpr int32_t kRepeatMs = 125;
constexpr int32_t kStepDown = 1;
constexpr int32_t kStepUp = 2;

QString Fixed(double v) { return FixedText(v, DisplayDecimals()); }

int32_t ClampLevel(int32_t level) { return std::clamp(level, kLowestOutputLevel, kHighestOutputLevel); }

int32_t RightOf(const QRect& r) { return r.x() + r.width(); }
int32_t BottomOf(const QRect& r) { return r.y() + r.height(); }

bool InSpan(int v, int low, int highExclusive) { return v >= low && v < highExclusive; }

}  // namespace

TPeakDisplay::TPeakDisplay(TPaintBox32* box, std::atomic<int32_t>& outLevelDB, Hooks hooks)
    : box_(box), outLevelDB_(outLevelDB), hooks_(std::move(hooks)) {
    box_->OnPaintBuffer = [this](TPaintBox32*) {
        LayoutPeakDisplay();
        ShowPeakC();
    };
    box_->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton b, int x, int y) { OnMouseDown(b, x, y); };
    box_->OnMouseMove = [this](TPaintBox32*, int x, int y) { OnMouseMove(x, y); };
    box_->OnMouseUp = [this](TPaintBox32*, Qt::MouseButton b, int x, int y) { OnMouseUp(b, x, y); };
    box_->OnMouseLeave = [this](TPaintBox32*) { OnMouseLeave(); };
    QObject::connect(&stepTimer_, &QTimer::timeout, [this] { StepLevelTimer(); });
}

TPeakDisplay::~TPeakDisplay() {
    box_->OnPaintBuffer = nullptr;
    box_->OnMouseDown = nullptr;
    box_->OnMouseMove = nullptr;
    box_->OnMouseUp = nullptr;
    box_->OnMouseLeave = nullptr;
}

void TPeakDisplay::LayoutPeakDisplay() {
    const QRect c = box_->ClientRect();
    const int32_t g = RoundI(7 * UIScale);
    const int32_t s = UISpace;
    const int32_t h = std::max(0, RoundI((c.height() - 2.5 * g - s) / 3.0));
    const int32_t left = c.x() + s;
    const int32_t right = RightOf(c) - s;
    FieldRect[kFieldCurrent] = RectFromEdges(left, s, right, s + h);
    FieldRect[kFieldBlock] = RectFromEdges(left, BottomOf(FieldRect[kFieldCurrent]) + g, right,
                                   BottomOf(FieldRect[kFieldCurrent]) + g + h);
    FieldRect[kFieldMax] =
        RectFromEdges(left, BottomOf(FieldRect[kFieldBlock]) + g, right, BottomOf(FieldRect[kFieldBlock]) + g + h);
    FieldRect[kFieldNoise] = RectFromEdges(left, FieldRect[kFieldBlock].y(), right, BottomOf(FieldRect[kFieldMax]));
    FitPeakFont();
    PostMainNotify(kNotifyVuLayout, 3);
}

void TPeakDisplay::FitPeakFont() {
    TBitmap32& bitmap = box_->Buffer();
    const int32_t decimals = DisplayDecimals();
    QString sample = QStringLiteral("199");
    if (decimals > 0) sample += QLatin1Char('.') + QString(decimals, QLatin1Char('9'));
    bitmap.Font.height = -50;
    const QSize extent = bitmap.TextExtent(sample);
    const QRect& f5 = FieldRect[kFieldBlock];
    const double fh = extent.height() > 0 ? static_cast<double>(f5.height()) / extent.height() : 0.0;
    const double fw = extent.width() > 0 ? 0.45 * f5.width() / extent.width() : 0.0;
    // A box too small for any text still gets the smallest font, never the
    // default size that a height of 0 would mean.
    peakFont_ = std::min(-1, RoundI(-50 * std::max(0.0, std::min(fh, fw))));
    peakCaptionFont_ = std::min(-1, RoundI(0.3 * peakFont_));
    for (int32_t field : {kFieldCurrent, kFieldBlock, kFieldMax}) SetFieldTextLine(bitmap, field, peakFont_, true);
}

TColor32 TPeakDisplay::GetPeakColor32(double value) {
    if (!(value >= 1)) return clNeutral32;
    return Color32(GetPeakColor(value));
}

TColor TPeakDisplay::GetPeakColor(double value) {
    const DisplayReadings* r = displayReadings();
    if (r == nullptr || std::isnan(value)) return clGreen;
    if (value > r->RealLimit(2)) return clRed;
    if (value > r->RealWarn(2)) return clYellow;
    return clGreen;
}

void TPeakDisplay::ShowPeakC() {
    box_->BeginUpdate();
    TBitmap32& bitmap = box_->Buffer();
    if (!bitmap.Empty()) {
        bitmap.Clear(clBack32);
        refreshDisplay_ = false;
        SideTextHeight = peakCaptionFont_;  // the row captions
        DrawCurrentPeakRow(bitmap);
        if (FindPeak()) DrawNoiseControl(bitmap);
        else DrawBlockPeakRow(bitmap);
        if (Running()) DrawMaxPeakRow(bitmap);
    }
    box_->EndUpdate();
}

void TPeakDisplay::DrawCurrentPeakRow(TBitmap32& bitmap) {
    const QRect& field = FieldRect[kFieldCurrent];
    if (field.width() <= 0 || field.height() <= 0) return;
    double amplitude = hooks_.currentPeak ? hooks_.currentPeak() : 0.0;
    if (amplitude > 0 && std::isfinite(amplitude)) oldPeak_ = amplitude;
    else amplitude = oldPeak_;
    const double offset = appliedCalOffset[2].load();
    double v = 0.0;
    QString text = QStringLiteral("CAL");
    if (offset > 0 && amplitude > 0) {
        v = offset + 20.0 * std::log10(amplitude);
        if (!std::isfinite(v)) v = 0.0;
        text = v > 0 ? Fixed(v) : QStringLiteral("---");
        if (v > serPeakLatch) serPeakLatch = RoundI(v);
        if (v > CPeakTransfer) CPeakTransfer = v;
    }
    DrawPeakRow(bitmap, kFieldCurrent, v, text);
    DrawFieldSideText(bitmap, kFieldCurrent, DisplayCaptionText(16, Running()));
}

void TPeakDisplay::DrawBlockPeakRow(TBitmap32& bitmap) {
    const DisplayReadings* r = displayReadings();
    if (r == nullptr || !r->IsInterval()) {
        bitmap.FillRect(FieldRect[kFieldBlock], clBack32);
        return;
    }
    if (!Running()) return;
    double b = hooks_.blockPeak ? hooks_.blockPeak() : 0.0;
    if (!std::isfinite(b)) b = 0.0;
    oldIMax_ = b;
    DrawPeakRow(bitmap, kFieldBlock, b, b > 0 ? Fixed(b) : QStringLiteral("---"));
    DrawFieldSideText(bitmap, kFieldBlock, DisplayCaptionText(17, true));
}

void TPeakDisplay::DrawMaxPeakRow(TBitmap32& bitmap) {
    const double m = std::isfinite(maxPeak) ? maxPeak : 0.0;
    DrawPeakRow(bitmap, kFieldMax, m, m > 0 ? Fixed(m) : QStringLiteral("---"));
    DrawFieldSideText(bitmap, kFieldMax, DisplayCaptionText(18, true));
}

void TPeakDisplay::DrawPeakRow(TBitmap32& bitmap, int32_t field, double value, const QString& text) {
    const bool light = displayLayout.load() == kSchemeLight;
    DrawFieldFrame(bitmap, field, light ? GetPeakColor32(value) : clPanel32, FieldFramed, true, FieldRadius);
    DrawFieldUnit(bitmap, field, text, light ? clValueText : GetPeakColor(value), peakFont_);
}

void TPeakDisplay::DrawNoiseControl(TBitmap32& bitmap) {
    if (!IsOutputRunning()) {
        if (hooks_.setStatusInfo) hooks_.setStatusInfo(2, GetLangText(1139));
        downShown_ = upShown_ = false;
        return;
    }
    const QRect& f7 = FieldRect[kFieldNoise];
    bitmap.FillRect(f7, clBack32);
    const int32_t g = RoundI(17.5 * UIScale);
    const int32_t l = RoundI(24 * UIScale);
    const int32_t wedgeBottom = BottomOf(f7) - g;
    const int32_t wedgeTop = wedgeBottom - RoundI(0.3 * FieldRect[kFieldMax].height());
    volRect_ = RectFromEdges(f7.x() + g, wedgeTop, RightOf(f7) - g, wedgeBottom);
    const int32_t stripBottom = wedgeTop - g;
    tasteRect_ = RectFromEdges(volRect_.x(), stripBottom - l, RightOf(volRect_), stripBottom);
    arrowRect_ = RectFromEdges(RightOf(tasteRect_) - 2 * l, tasteRect_.y(), RightOf(tasteRect_), stripBottom);
    DrawNoiseSwitch(bitmap);
    DrawNoiseCaption(bitmap);
    DrawWedge(bitmap);
    DrawStepButtons(bitmap);
}

void TPeakDisplay::DrawNoiseSwitch(TBitmap32& bitmap) {
    const int32_t l = tasteRect_.height();
    sPinkNoise_.SetColors(clLightGrey32, clGreen32);
    sPinkNoise_.SetWidth(2 * l);
    sPinkNoise_.SetPos(QPoint(tasteRect_.x() + l, tasteRect_.y() + l / 2));
    sPinkNoise_.DrawSwitch(bitmap, !testSignalOn.load());
}

void TPeakDisplay::DrawNoiseCaption(TBitmap32& bitmap) {
    bitmap.Font.height = peakCaptionFont_;
    bitmap.Font.bold = true;
    bitmap.Font.color = clText;
    const QString caption = GetLangText(21);
    const QSize extent = bitmap.TextExtent(caption);
    const int32_t x = RoundI(volRect_.x() + (volRect_.width() - extent.width()) * 0.5);
    const int32_t bottom = tasteRect_.y() - tasteRect_.height();
    bitmap.Textout(x, bottom - extent.height(), caption);
    bitmap.Font.bold = false;
}

void TPeakDisplay::DrawWedge(TBitmap32& bitmap) {
    const double left = volRect_.x();
    const double right = RightOf(volRect_);
    const double top = volRect_.y();
    const double bottom = BottomOf(volRect_);
    auto canvas = CreateCanvas32(bitmap);
    SetCanvasColors(canvas.get(), clText32, clText32, 2 * UIScale);
    canvas->FillBrush().visible = false;
    canvas->Polygon({QPointF(right, bottom), QPointF(left, bottom), QPointF(right, top)});
    const int32_t level = outLevelDB_.load();
    if (level <= kLowestOutputLevel) return;
    const double fraction = std::min(1.0, (level - kLowestOutputLevel) / 80.0);
    const double x = left + (right - left) * fraction;
    canvas->FillBrush().visible = true;
    canvas->StrokeBrush().visible = false;
    canvas->Polygon({QPointF(left, bottom), QPointF(x, bottom), QPointF(x, bottom - (bottom - top) * fraction)});
}

void TPeakDisplay::DrawStepButtons(TBitmap32& bitmap) {
    const int32_t l = arrowRect_.height();
    const QRect down(arrowRect_.x(), arrowRect_.y(), l, l);
    const QRect up(RightOf(arrowRect_) - l, arrowRect_.y(), l, l);
    const int32_t level = outLevelDB_.load();
    downShown_ = level >= kLowestOutputLevel + 1;
    upShown_ = level < kHighestOutputLevel;
    auto button = [&](const QRect& square, int32_t icon, int32_t hoverState) {
        if (hover_ == hoverState) bitmap.FillRect(square, clHover32);
        if (hooks_.drawIcon) hooks_.drawIcon(bitmap, icon, QRectF(square));
    };
    if (downShown_) button(down, kIconStepDown, kStepDown);
    if (upShown_) button(up, kIconStepUp, kStepUp);
}

bool TPeakDisplay::RequestLevel(int32_t level) {
    level = ClampLevel(level);
    if (level == outLevelDB_.load()) return false;
    PostMainNotify(kNotifyTestSignalLevel, level);
    return true;
}

void TPeakDisplay::NoiseControlMouse(int x, int y, bool buttonDown) {
    if (InSpan(y, tasteRect_.y(), BottomOf(tasteRect_))) {
        int32_t hit = 0;
        if (sPinkNoise_.IsOn(x, y)) hit = 2;
        else if (sPinkNoise_.IsOff(x, y)) hit = 1;
        const bool on = hit == 2;
        if (hit != 0 && on != testSignalOn.load() && IsOutputRunning()) {
            PostMainNotify(kNotifyTestSignalSwitch, on ? 1 : 0);
            PostMainNotify(kNotifyNewValues, kNewValuesTestSignal);
        }
    }
    // A wedge without width has no level to point at.
    if (!buttonDown || volRect_.width() < 1 || !InSpan(y, volRect_.y(), BottomOf(volRect_) + 1)) return;
    int32_t level = outLevelDB_.load();
    if (x >= RightOf(volRect_)) level += 1;
    else if (x < volRect_.x()) level -= 1;
    else level = RoundI(static_cast<double>(x - volRect_.x()) / volRect_.width() * 80.0 - 80.0);
    RequestLevel(level);
}

void TPeakDisplay::StepLevelTimer() {
    stepTimer_.setInterval(kRepeatMs);
    if (!RequestLevel(RampStep(outLevelDB_.load(), stepDirection_))) stepTimer_.stop();
}

void TPeakDisplay::OnMouseDown(Qt::MouseButton button, int x, int y) {
    if (button != Qt::LeftButton) return;
    if (FindPeak()) {
        NoiseControlMouse(x, y, true);
        // The step buttons step once per press and then repeat while held.
        if (InSpan(y, arrowRect_.y(), BottomOf(arrowRect_)) && InSpan(x, arrowRect_.x(), RightOf(arrowRect_))) {
            const double c = arrowRect_.x() + arrowRect_.width() * 0.5;
            if (x < c - 1) stepDirection_ = kStepDown;
            else if (x > c + 2) stepDirection_ = kStepUp;
            else return;
            if (RequestLevel(RampStep(outLevelDB_.load(), stepDirection_))) stepTimer_.start(kFirstRepeatMs);
        }
        return;
    }
    if (!Running()) return;
    const QRect& f5 = FieldRect[kFieldBlock];
    if (!InSpan(x, f5.x(), RightOf(f5))) return;
    if (InSpan(y, f5.y(), BottomOf(f5))) PostMainNotify(kNotifyPeakPopup, 0);
    else if (InSpan(y, FieldRect[kFieldMax].y(), BottomOf(FieldRect[kFieldMax]))) PostMainNotify(kNotifyPeakPopup, 1);
}

void TPeakDisplay::OnMouseMove(int x, int y) {
    if (!FindPeak()) return;
    if (QApplication::mouseButtons() & Qt::LeftButton) {
        NoiseControlMouse(x, y, true);
        return;
    }
    int32_t hover = 0;
    if (InSpan(y, arrowRect_.y(), BottomOf(arrowRect_)) && InSpan(x, arrowRect_.x(), RightOf(arrowRect_)))
        hover = x < arrowRect_.x() + arrowRect_.width() / 2 ? kStepDown : kStepUp;
    if (hover == hover_) return;
    hover_ = hover;
    ShowPeakC();
}

// The press did what a click on the switch or a step button asks; the
// release only ends the repeat, so one click never switches or steps twice.
void TPeakDisplay::OnMouseUp(Qt::MouseButton, int, int) { stepTimer_.stop(); }

void TPeakDisplay::OnMouseLeave() {
    hover_ = 0;
    ShowPeakC();
    stepTimer_.stop();
}
