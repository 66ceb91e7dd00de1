// The painter's look, its cursor and the mapping between pixel columns and
// times of the last bitmap drawing. The two drawings are in
// level_graph_bitmap.cpp and level_graph_device.cpp.
#include "reports/level_graph.h"

#include <QPainter>

#include <cmath>
#include <limits>

#include "reports/level_graph_columns.h"
#include "store/measurement_store.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kMsPerHour = 3600 * kMsPerSecond;

// Minute spacings of the time labels before they go on by doubling.
constexpr int kLabelMinutes[] = {1, 2, 5, 10, 15, 30, 60, 120, 240};
// Past this spacing (about 2000 years) no pixel distance is worth a label.
constexpr double kLongestLabelMinutes = 1.0e9;

}  // namespace

double CalcTimeStep(double x, int32_t a) {
    if (a <= 0 || !std::isfinite(x) || x <= 0.0) return 60.0;
    auto fits = [&](double minutes) { return x * (minutes * 60.0 / a) >= 50.0; };
    for (int c : kLabelMinutes) {
        if (fits(c)) return c * 60.0 / a;
    }
    double c = kLabelMinutes[std::size(kLabelMinutes) - 1];
    while (!fits(c) && c < kLongestLabelMinutes) c *= 2.0;
    return c * 60.0 / a;
}

int32_t GetGridStep(int32_t range) {
    if (range == 40 || range == 60) return 10;
    if (range == 120 || range == 140) return 25;
    return 20;
}

TLeqGrafik::TLeqGrafik() {
    startIntern = CorrectedNow();
    pLEQ = QPen(QColor(0, 255, 0), 1.0);
    pLEQKurz = QPen(QColor(255, 0, 0), 1.0);
    pPeak = QPen(QColor(255, 255, 255), 1.0);
    pLEQP = QPen(QColor(0, 128, 0), 1.0);
    pGitter = QPen(QColor(0, 255, 0), 1.0, Qt::DotLine);
    pmaxLEQ = QPen(QColor(255, 0, 0, 120), 1.0);
    InitFontSettings(UIScale);
}

void TLeqGrafik::SetLEQcolor(TColor c) {
    cLEQ = c;
    pLEQ.setColor(QColorOf(c));
}

void TLeqGrafik::SetLeqPColor(TColor c) {
    cLEQP = c;
    pLEQP.setColor(QColorOf(c));
}

void TLeqGrafik::SetLEQKurzColor(TColor c) {
    cLEQK = c;
    pLEQKurz.setColor(QColorOf(c));
}

void TLeqGrafik::SetPeakColor(TColor c) {
    cPeak = c;
    pPeak.setColor(QColorOf(c));
}

void TLeqGrafik::SetLabelColor(TColor c) {
    cLabel = c;
    labelColor = QColorOf(c);
    pGitter.setColor(QColorOf(c));
}

void TLeqGrafik::SetBackgroundColor(TColor32 c) {
    cBack32 = c;
    backColor = QColorOf32(WithAlpha32(c, 255));
}

void TLeqGrafik::SetColorById(int32_t id, TColor c) {
    switch (id) {
    case kGraphColorPeak: SetPeakColor(c); break;
    case kGraphColorLeqK: SetLEQKurzColor(c); break;
    case kGraphColorLeq: SetLEQcolor(c); break;
    case kGraphColorLeqP: SetLeqPColor(c); break;
    case kGraphColorLabel: SetLabelColor(c); break;
    default: break;
    }
}

TColor TLeqGrafik::GetColorById(int32_t id) const {
    switch (id) {
    case kGraphColorPeak: return cPeak;
    case kGraphColorLeqK: return cLEQK;
    case kGraphColorLeq: return cLEQ;
    case kGraphColorLeqP: return cLEQP;
    default: return cLabel;
    }
}

void TLeqGrafik::SetWidth(float newWidth) {
    masterTraceWidth = newWidth;
    pLEQ.setWidthF(newWidth);
    pLEQKurz.setWidthF(newWidth);
    pPeak.setWidthF(newWidth);
}

bool TLeqGrafik::setLeqKurzDash(Qt::PenStyle style) {
    if (pLEQKurz.style() == style) return false;
    pLEQKurz.setStyle(style);
    return true;
}

bool TLeqGrafik::setPeakDash(Qt::PenStyle style) {
    if (pPeak.style() == style) return false;
    pPeak.setStyle(style);
    return true;
}

void TLeqGrafik::InitFontSettings(double dpiSf) {
    TBitmap32 scratch(8, 8);
    foHi = RoundI(dpiSf * -9.333333333333332);
    scratch.Font.name = QStringLiteral("VERDANA");
    scratch.Font.height = foHi;
    const QSize extent = scratch.TextExtent(QStringLiteral("140 dB"));
    deltaT = RoundI(dpiSf) + extent.height();
    deltaL = RoundI(dpiSf) + extent.width();
}

bool TLeqGrafik::SetAntPos(int32_t newPos) {
    if (antPos.exchange(newPos) == newPos) return false;
    useLeqBlock.store(false);
    return true;
}

void TLeqGrafik::AntStart() {
    antPos.store(kAntFollow);
    useLeqBlock.store(false);
}

void TLeqGrafik::AntEnd() {
    antPos.store(kAntJumpToEnd);
    useLeqBlock.store(false);
}

void TLeqGrafik::AntPlus(int32_t points) {
    int32_t current = antPos.load();
    int32_t next;
    do {
        const int64_t sum = static_cast<int64_t>(current) + points;
        next = static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
    } while (!antPos.compare_exchange_weak(current, next));
}

void TLeqGrafik::AntMinus(int32_t points) {
    int32_t current = antPos.load();
    int32_t next;
    do {
        const int64_t rest = static_cast<int64_t>(current) - points;
        next = rest <= 0 ? 0 : static_cast<int32_t>(std::min<int64_t>(rest, std::numeric_limits<int32_t>::max()));
    } while (!antPos.compare_exchange_weak(current, next));
}

namespace {

// The aligned start of a mapping; the caller holds its lock.
int64_t AlignedStartMs(platform::TDateTime start, int32_t interval) {
    const int64_t wholeSecond = level_graph::FloorTo(platform::DateTimeToMs(start), kMsPerSecond);
    const int64_t hour = level_graph::FloorTo(wholeSecond, kMsPerHour);
    const int64_t secondInHour = (wholeSecond - hour) / kMsPerSecond;
    if (secondInHour == 0 || interval <= 0) return wholeSecond;
    return hour + static_cast<int64_t>(interval) * (secondInHour / interval) * kMsPerSecond;
}

}  // namespace

platform::TDateTime TLeqGrafik::GetAlignedStart() const {
    std::lock_guard guard(csPos);
    return platform::MsToDateTime(AlignedStartMs(startIntern, intervalIntern));
}

platform::TDateTime TLeqGrafik::GetTime(int32_t xpos) const {
    std::lock_guard guard(csPos);
    if (faktorIntern <= 0.0) return 0.0;
    const int64_t k = RoundI((static_cast<double>(xpos) - xOffsetPoints) * faktorIntern);
    if (k < 0 || k > RoundI(drawRange * faktorIntern)) return 0.0;
    return platform::MsToDateTime(AlignedStartMs(startIntern, intervalIntern) +
                                  k * intervalIntern * kMsPerSecond);
}

int32_t TLeqGrafik::GetXPos(platform::TDateTime zeit) const {
    if (!level_graph::UsableTime(zeit)) return -1;
    std::lock_guard guard(csPos);
    const int64_t aligned = AlignedStartMs(startIntern, intervalIntern);
    const int64_t at = platform::DateTimeToMs(zeit);
    if (at <= aligned) return -1;
    const int64_t s = (at - aligned) / kMsPerSecond;
    if (blockIntern && drawRange > 0 && blockSizeIntern < 1) return -1;
    if (intervalIntern < 1) return -1;
    const int64_t k = s / intervalIntern;
    if (faktorIntern > 0.0) return RoundI(k / faktorIntern) + xOffsetPoints;
    return static_cast<int32_t>(std::min<int64_t>(k, std::numeric_limits<int32_t>::max()));
}

TGraphStatus TLeqGrafik::GetGraphStatus() const { return myGraphStatus; }

double TLeqGrafik::GetLastXPos() const { return std::max(lastXPos, static_cast<double>(GetTraceLeftStart())); }

bool TLeqGrafik::DrawDirect(TBitmap32* buffer, TDaten* DataL, TColor32 cFrame, bool useAnt, bool drawMark,
                            const QRect& targetRect, int32_t langId) {
    return DrawDirect(buffer, DataL, false, showLeq, showLeqP, showLeqk, showPeak, true, cFrame, drawMark, targetRect,
                      langId);
}

void TLeqGrafik::DrawGraph(QPainter* GR, TDaten* Daten, bool drawAll, bool showLeq, bool showLeqK,
                           bool showPeak, bool highSpeed, bool useAnt, int32_t langId) {
    // Qt already double-buffers windows, and a printer must get vectors and
    // text rather than an image, so the drawing goes straight to the painter.
    try {
        if (GR == nullptr || GR->device() == nullptr) return;
        const QRect clip = GR->hasClipping() ? GR->clipBoundingRect().toAlignedRect()
                                             : QRect(0, 0, GR->device()->width(), GR->device()->height());
        if (clip.width() > 50)
            DrawDirect(GR, Daten, drawAll, showLeq, showLeqK, showPeak, highSpeed, useAnt, 1.0, langId);
    } catch (...) {
    }
}

void TLeqGrafik::DrawGraph(TBitmap32* buffer, TDaten* Daten, bool drawAll, bool showLeq, bool showLeqP,
                           bool showLeqK, bool showPeak, bool highSpeed, bool useAnt, bool dMark, int32_t langId) {
    try {
        if (buffer != nullptr && buffer->Width() > 50)
            DrawDirect(buffer, Daten, drawAll, showLeq, showLeqP, showLeqK, showPeak, highSpeed, Opaque32(0, 0, 0),
                       dMark, graphRect, langId);
    } catch (...) {
    }
}
