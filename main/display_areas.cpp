#include "main/display_areas.h"

#include <QLocale>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <utility>

#include "main/icon_collection.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr int32_t kMeasureHeight = -50;
constexpr int32_t kSmallestValueFont = -5;
constexpr int32_t kSmallestLabelFont = -3;
constexpr int32_t kSmallestField = 20;  // narrower fields show no value

// The elements the areas show in the loudest-location search mode.
constexpr int32_t kFindPeakTop = 14;
constexpr int32_t kFindPeakMiddle = 20;
constexpr int32_t kFindPeakMiddleTest = 101;
constexpr int32_t kFindPeakLowerLeft = 102;
constexpr int32_t kFindPeakLowerRight = 103;

int32_t AtLeast(int32_t fontHeight, int32_t smallest) { return std::min(fontHeight, smallest); }

// The ratio of room to measure, 0 for no room or nothing measured.
double Fit(double room, int measured) { return measured > 0 && room > 0 ? room / measured : 0.0; }

// "199" with the display decimals: the widest value an area has to hold.
QString ValueSample() {
    const int32_t decimals = DisplayDecimals();
    QString sample = QStringLiteral("199");
    if (decimals > 0) sample += QLocale().decimalPoint() + QString(decimals, QLatin1Char('9'));
    return sample;
}

// A brush that blinks is on for three top-area paints and off for three.
int32_t BlinkResolved(int32_t brush) {
    const bool off = blinkPhase.load() > 2;
    if (brush == 4) return off ? 0 : 2;
    if (brush == 5) return off ? 0 : 3;
    return brush;
}

int32_t BottomOf(const QRect& r) { return r.y() + r.height(); }

bool Within(double v, double low, double high) { return v >= low && v <= high; }

}  // namespace

TDisplayAreas::TDisplayAreas(TPaintBox32* top, TPaintBox32* mitte, Hooks hooks)
    : top_(top), mitte_(mitte), hooks_(std::move(hooks)) {
    const QString hint = QString::fromUtf16(kAreaHint);
    top_->setToolTip(hint);
    mitte_->setToolTip(hint);
    top_->OnPaintBuffer = [this](TPaintBox32*) {
        LayoutTopAreas();
        PaintTopBuffer();
    };
    mitte_->OnPaintBuffer = [this](TPaintBox32*) {
        LayoutLowerAreas();
        PaintMitteBuffer();
    };
    top_->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton b, int x, int y) { OnTopMouseDown(b, x, y); };
    mitte_->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton b, int x, int y) { OnMitteMouseDown(b, x, y); };
}

TDisplayAreas::~TDisplayAreas() {
    for (TPaintBox32* box : {top_, mitte_}) {
        box->OnPaintBuffer = nullptr;
        box->OnMouseDown = nullptr;
    }
}

void TDisplayAreas::LayoutLowerAreas() {
    ComputeLowerFields();
    mitte_->Buffer().Clear(clBack32);
}

void TDisplayAreas::ComputeLowerFields() {
    const QRect c = mitte_->ClientRect();
    const int32_t s = UISpace;
    const int32_t s2 = RoundI(s * 0.5);
    const int32_t w = RoundI((c.width() - 3 * s) * 0.5);
    const int32_t left = c.x() + s;
    const int32_t right = c.x() + c.width() - s;
    FieldRect[2] = RectFromEdges(left, c.y() + s2, left + w, BottomOf(c) - s2);
    FieldRect[3] = RectFromEdges(right - w, c.y() + s2, right, BottomOf(c) - s2);
}

void TDisplayAreas::LayoutTopAreas() {
    TBitmap32& bitmap = top_->Buffer();
    if (bitmap.Empty()) return;
    // The lower value font is fitted to the lower fields.
    ComputeLowerFields();
    const QRect c = top_->ClientRect();
    const int32_t s = UISpace;
    const int32_t h = std::max(0, RoundI((c.height() - 2.5 * s) * 0.5));
    FieldRect[0] = RectFromEdges(c.x() + s, s, c.x() + c.width() - s, s + h);
    FieldRect[1] = RectFromEdges(c.x() + s, BottomOf(FieldRect[0]) + s, c.x() + c.width() - s, BottomOf(FieldRect[0]) + s + h);

    const int32_t savedHeight = bitmap.Font.height;
    bitmap.Font.height = kMeasureHeight;
    bitmap.Font.bold = false;
    const QSize sample = bitmap.TextExtent(ValueSample());
    const QRect& f1 = FieldRect[1];
    const QRect& f3 = FieldRect[3];
    topValueFont_ = AtLeast(RoundI(kMeasureHeight * std::min(Fit(0.95 * f1.width(), sample.width()),
                                                             Fit(std::floor(0.8 * f1.height()), sample.height()))),
                            kSmallestValueFont);
    lowerValueFont_ = AtLeast(RoundI(kMeasureHeight * std::min(Fit(0.8 * f3.height(), sample.height()),
                                                               Fit(0.95 * f3.width(), sample.width()))),
                              kSmallestValueFont);

    // Each caption font is fitted to the wider caption of its pair.
    const bool detail = Running();
    auto widerCaption = [&](int32_t first, int32_t second) {
        const QSize a = bitmap.TextExtent(DisplayCaptionText(AreaElement(first), detail));
        const QSize b = bitmap.TextExtent(DisplayCaptionText(AreaElement(second), detail));
        return a.width() >= b.width() ? a : b;
    };
    const QSize topCaption = widerCaption(1, 2);
    topLabelFont_ = AtLeast(RoundI(kMeasureHeight * std::min(Fit(0.07 * c.height(), topCaption.height()),
                                                             Fit(0.99 * c.width(), topCaption.width()))),
                            kSmallestLabelFont);
    const QRect m = mitte_->ClientRect();
    const QSize lowerCaption = widerCaption(3, 4);
    lowerLabelFont_ = AtLeast(RoundI(kMeasureHeight * std::min(Fit(0.15 * m.height(), lowerCaption.height()),
                                                               Fit(0.4 * m.width(), lowerCaption.width()))),
                              kSmallestLabelFont);
    bitmap.Font.height = savedHeight;

    SetFieldTextLine(bitmap, 0, topValueFont_, false);
    SetFieldTextLine(bitmap, 1, topValueFont_, false);
    SetFieldTextLine(bitmap, 2, lowerValueFont_, false);
    SetFieldTextLine(bitmap, 3, lowerValueFont_, false);
    // The buffer is cleared, so both areas are drawn again whatever they show.
    MarkTopStale();
    bitmap.Clear(clBack32);
    if (hooks_.afterTopLayout) hooks_.afterTopLayout();
}

QRect RectFromEdges(int left, int top, int right, int bottom) {
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

int32_t DisplayDecimals() {
    const DisplayReadings* r = displayReadings();
    return r != nullptr ? std::clamp(r->Decimals(), 0, 3) : 1;
}

void SetFieldTextLine(TBitmap32& bitmap, int32_t field, int32_t fontHeight, bool centred) {
    if (field < 0 || field >= kBaselineCount) return;
    const int32_t saved = bitmap.Font.height;
    bitmap.Font.height = fontHeight;
    const int32_t th = bitmap.TextHeight(QStringLiteral("12.39"));
    bitmap.Font.height = saved;
    const QRect& r = FieldRect[field];
    FieldBaseline[field] = RoundI(r.y() + r.height() * (centred ? 0.5 : 0.38) + th * 0.5);
}

int32_t TDisplayAreas::AreaElement(int32_t area) const { return areaChannel[area - 1].load(); }

void TDisplayAreas::MarkTopStale() {
    area1_.value = QStringLiteral("*");
    area2_.value = QStringLiteral("*");
}

void TDisplayAreas::RefreshValueDisplays() {
    MarkTopStale();
    PaintTop();
    PaintMitte();
}

void TDisplayAreas::RepaintValues() {
    PaintTop();
    PaintMitte();
}

bool TDisplayAreas::LatchLeqBar(double progress) {
    const int32_t percent = std::isfinite(progress) ? static_cast<int32_t>(std::trunc(progress * 100.0)) : 0;
    isUpdateLeqBar_ = percent != lastLeqBarVal_;
    lastLeqBarVal_ = percent;
    return isUpdateLeqBar_;
}

void TDisplayAreas::PaintTop() {
    top_->BeginUpdate();
    if (top_->Buffer().Empty()) {
        top_->EndUpdate();
        return;
    }
    PaintTopBuffer();
    top_->EndUpdate();
}

void TDisplayAreas::PaintMitte() {
    mitte_->BeginUpdate();
    PaintMitteBuffer();
    mitte_->EndUpdate();
}

void TDisplayAreas::PaintTopBuffer() {
    if (!top_->isVisible() || top_->height() < 10 || top_->width() < 20) return;
    blinkPhase.store(blinkPhase.load() >= 5 ? 0 : blinkPhase.load() + 1);
    TBitmap32& bitmap = top_->Buffer();
    if (bitmap.Empty() || top_->width() <= 30) return;
    const bool search = FindPeak();
    const int32_t element1 = search ? kFindPeakTop : AreaElement(1);
    const int32_t element2 = search ? kFindPeakMiddle : AreaElement(2);
    UpdateTopArea(bitmap, 0, element1, element1, AreaElement(1), area1_);
    UpdateTopArea(bitmap, 1, element2, search ? kFindPeakMiddleTest : element2, AreaElement(2), area2_);
}

bool TDisplayAreas::UpdateTopArea(TBitmap32& bitmap, int32_t field, int32_t shownElement, int32_t testElement,
                                  int32_t captionElement, TopMemory& memory) {
    const bool running = Running();
    const TMainInfo tested = GetMainInfo(testElement, running);
    const QString caption = DisplayCaptionText(captionElement, running);
    const int32_t brush = BlinkResolved(tested.brushId);
    const bool redraw = tested.mainText != memory.value || caption != memory.caption || brush != memory.brush;
    if (redraw) {
        memory = TopMemory{tested.mainText, caption, brush};
        const TMainInfo shown = shownElement == testElement ? tested : GetMainInfo(shownElement, running);
        DrawArea(bitmap, field, shownElement, shown, topValueFont_, topLabelFont_, !showNoVals);
        ++topDraws_;
    }
    if (ShowsLeqGauge(shownElement) && (redraw || isUpdateLeqBar_))
        DrawFieldGauge(field, dispLeqFill.load(), bitmap, FieldRadius);
    return redraw;
}

void TDisplayAreas::PaintMitteBuffer() {
    TBitmap32& bitmap = mitte_->Buffer();
    if (bitmap.Empty() || mitte_->width() <= 30) return;
    const bool search = FindPeak();
    const bool running = Running();
    const int32_t elements[2] = {search ? kFindPeakLowerLeft : AreaElement(3),
                                 search ? kFindPeakLowerRight : AreaElement(4)};
    for (int32_t i = 0; i < 2; ++i) {
        const int32_t field = 2 + i;
        DrawArea(bitmap, field, elements[i], GetMainInfo(elements[i], running), lowerValueFont_, lowerLabelFont_, true);
        if (ShowsLeqGauge(elements[i])) DrawFieldGauge(field, dispLeqFill.load(), bitmap, FieldRadius);
    }
}

void TDisplayAreas::DrawArea(TBitmap32& bitmap, int32_t field, int32_t element, const TMainInfo& info,
                             int32_t valueFont, int32_t labelFont, bool withLabel) {
    DrawAreaValue(bitmap, field, info, valueFont);
    if (withLabel) DrawAreaLabel(field, bitmap, element, labelFont);
}

void TDisplayAreas::DrawAreaValue(TBitmap32& bitmap, int32_t field, const TMainInfo& info, int32_t fontHeight) {
    const QString joined = info.mainText + QLatin1Char(';') + info.unitText;
    if (joined.compare(caches_.aFeldWert[field], Qt::CaseInsensitive) != 0) {
        caches_.aFeldWert[field] = joined;
        caches_.aStatusColor[field] = info.brushId;
        ++caches_.aStatusWert[field];
    }
    if (showNoVals || info.mainText.isEmpty()) {
        DrawFieldFrame(bitmap, field, clPanel32, FieldFramed, true, FieldRadius);
        return;
    }
    caches_.aStatusColor[field] = info.brushId;
    const int32_t brush = BlinkResolved(info.brushId);
    const bool light = displayLayout.load() == kSchemeLight;
    DrawFieldFrame(bitmap, field, light ? StateColor32(brush) : clPanel32, FieldFramed, true, FieldRadius);
    DrawFieldValue(bitmap, field, info.mainText, light ? clValueText : StateColor(brush), fontHeight);
}

void TDisplayAreas::DrawAreaLabel(int32_t field, TBitmap32& bitmap, int32_t element, int32_t fontHeight) {
    const QString caption = DisplayCaptionText(element, Running());
    if (caption != caches_.aFeldLabel[field]) {
        caches_.aFeldLabel[field] = caption;
        ++caches_.aStatusLabel[field];
    }
    const QRect& r = FieldRect[field];
    // A field too small for a value is too small for its caption as well.
    if (r.width() < kSmallestField || r.height() <= 0) return;
    bitmap.Font.color = clSideText;
    bitmap.Font.height = fontHeight;
    bitmap.Font.bold = false;
    const int32_t blockWidth = RoundI(r.width() * (ShowsLeqGauge(element) ? 0.85 : 0.95));
    const int32_t left = RoundI(r.x() + (r.width() - blockWidth) * 0.5);
    const uint32_t flags = kTextCenter | kTextWordBreak;
    const QRect measured = bitmap.MeasureText(QRect(left, 0, blockWidth, r.height()), caption, flags);
    const int32_t bottom = BottomOf(r) - RoundI(3 * UIScale);
    const int32_t top = bottom - measured.height();
    bitmap.DrawText(QRect(left, top, blockWidth, measured.height()), caption, flags);
    DrawPreviewMarker(bitmap, field, element, fontHeight);
}

void TDisplayAreas::DrawPreviewMarker(TBitmap32& bitmap, int32_t field, int32_t element, int32_t fontHeight) {
    const int32_t mode = leqColorMode.load();
    if (mode == 1 || (element != 2 && element != 3 && element != 8)) return;
    const DisplayReadings* r = displayReadings();
    const bool interval = r != nullptr && r->IsInterval();
    if (!interval && !(dispLeqFill.load() < 1.0)) return;
    const QRect& f = FieldRect[field];
    const int32_t side = std::min(RoundI(22 * UIScale), std::abs(fontHeight));
    if (side <= 0) return;
    const QRectF square(f.x(), f.y(), side, side);
    if (hooks_.drawIcon) hooks_.drawIcon(bitmap, kIconEye, square);
    const int32_t named = mode == 2 ? 4 : (mode == 3 ? 5 : element);
    const QString text = QLatin1Char(' ') + DisplayCaptionText(named, Running());
    bitmap.Font.height = -side;
    bitmap.Font.color = clSideText;
    const int32_t th = bitmap.TextHeight(text);
    bitmap.Textout(f.x() + side, RoundI(f.y() + (side - th) * 0.5), text);
}

bool TDisplayAreas::ShowsLeqGauge(int32_t element) const {
    if (element != 2 && element != 3) return false;
    const DisplayReadings* r = displayReadings();
    const bool wholeMeasurement = r != nullptr && r->LeqDuration() == -2;
    return !wholeMeasurement && isShowProgress && Running();
}

int32_t TDisplayAreas::TopAreaAt(int y) const {
    const double h = top_->height();
    if (Within(y, 0.05 * h, 0.45 * h)) return 1;
    if (Within(y, 0.55 * h, 0.95 * h)) return 2;
    return 0;
}

int32_t TDisplayAreas::LowerAreaAt(int x, int y) const {
    const double h = mitte_->height();
    if (!Within(y, 0.05 * h, 0.95 * h)) return 0;
    const double s = UISpace;
    const double w = mitte_->width();
    const double mid = s + (w - s) * 0.5;
    if (Within(x, s, mid - s / 2)) return 3;
    if (Within(x, mid + s / 2, w - s)) return 4;
    return 0;
}

void TDisplayAreas::OnTopMouseDown(Qt::MouseButton button, int x, int y) {
    if (button == Qt::RightButton) {
        if (!Running() && hooks_.resetFindPeak) hooks_.resetFindPeak();
        return;
    }
    if (button != Qt::LeftButton) return;
    const int32_t area = TopAreaAt(y);
    if (area != 0 && hooks_.showAreaInfo) hooks_.showAreaInfo(area, top_->mapToGlobal(QPoint(x, y)));
}

void TDisplayAreas::OnMitteMouseDown(Qt::MouseButton button, int x, int y) {
    if (button == Qt::RightButton) {
        if (hooks_.resetFindPeak) hooks_.resetFindPeak();
        return;
    }
    if (button != Qt::LeftButton) return;
    const int32_t area = LowerAreaAt(x, y);
    if (area == 0) return;
    if (!FindPeak()) {
        if (hooks_.showAreaInfo) hooks_.showAreaInfo(area, mitte_->mapToGlobal(QPoint(x, y)));
        return;
    }
    const auto& reset = area == 3 ? hooks_.resetRmsPeak : hooks_.resetRmsPeakP;
    if (reset) reset();
}
