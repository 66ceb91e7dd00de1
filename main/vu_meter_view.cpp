#include "main/vu_meter_view.h"

#include <QMouseEvent>

#include <cmath>

#include "audio/audio_start_stop.h"
#include "audio/vu_meter_thread.h"
#include "store/measurement_store.h"
#include "ui_kit/level_bars.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr int32_t kLiveMarkAlpha = 60;
constexpr int32_t kMarkerAlpha = 50;
constexpr int kPaintsPerPeakDisplay = 4;

int32_t Rnd(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

TColor32 PeakSegmentColor(size_t i) { return i == 0 ? clRed32 : (i <= 5 ? clYellow32 : clGreen32); }
TColor32 LevelSegmentColor(size_t i) { return i == 0 ? clRed32 : (i <= 3 ? clYellow32 : clGreen32); }

}  // namespace

TVuMeterView::TVuMeterView(QWidget* parent) : TPaintBox32(parent) {
    OnPaintBuffer = [this](TPaintBox32*) {
        Buffer().Clear(clBack32);
        RebuildVuScale();
    };
}

QRect TVuMeterView::GetVuRect() const {
    const QRect c = ClientRect();
    return QRect(QPoint(UISpaceHalf, UISpace),
                 QPoint(c.right() + 1 - Rnd(2.5 * UISpace) - 1, c.bottom() + 1 - UISpaceHalf - 1));
}

void TVuMeterView::RebuildVuScale() {
    const bool two = inputAssign.load() == 3;
    LayoutVuSegments(GetVuRect(), two);
    const bool isMeasuring = measuring && measuring();
    PaintVuScale(this, two && !isMeasuring, IsRefRechts());
}

void TVuMeterView::PaintBuffer() {
    BeginUpdate();
    PaintVuBars();
    EndUpdate();
    if (++showLevel_ >= kPaintsPerPeakDisplay) {
        showLevel_ = 0;
        if (paintPeakDisplay) paintPeakDisplay();
    }
}

void TVuMeterView::PaintVuBars() {
    TVuThread* vu = vuThread ? vuThread() : nullptr;
    if (!IsInputRunning() || vuThreshold.size() < 5 || vu == nullptr || Buffer().Empty()) return;
    double peak1 = 0, peak2 = 0, rms1 = 0, rms2 = 0;
    vu->getLevels(peak1, peak2, rms1, rms2);
    double marker = 0.0;
    if (korrOn && korrOn()) {
        const TDaten* store = defaultDaten.load();
        marker = std::pow(10.0, (store != nullptr ? store->GetMinKorrSpl() : -60) / 20.0);
    }
    // The bars follow the physical inputs, matching the marks under the scale.
    const bool refRight = IsRefRechts();
    // Clipping matters on the measuring input, whichever bar shows it.
    UpdateClipLatch(peak1);
    PaintBar(vuRect1, refRight ? peak1 : peak2, refRight ? rms1 : rms2, marker, false);
    if (inputAssign.load() == 3) PaintBar(vuRect2, refRight ? peak2 : peak1, refRight ? rms2 : rms1, marker, true);
}

void TVuMeterView::UpdateClipLatch(double measuringPeak) {
    if (measuringPeak > vuThreshold[0]) {
        if (!vuClip_) PostMainNotify(kNotifyVuClip, 1);
        vuClip_ = true;
    } else {
        vuClip_ = false;
    }
}

void TVuMeterView::PaintBar(const std::vector<QRect>& segments, double peak, double rms, double marker,
                            bool markLast) {
    TBitmap32& b = Buffer();
    const size_t n = std::min(segments.size(), vuThreshold.size());
    bool peakMode = true;
    for (size_t i = 0; i < n; ++i) {
        const bool last = i + 1 == n;
        TColor32 colour = 0;
        bool lit = false;
        if (peakMode) {
            if (peak > vuThreshold[i]) {
                colour = PeakSegmentColor(i);
                lit = true;
                peakMode = false;
            }
        } else if (rms > vuThreshold[i]) {
            colour = LevelSegmentColor(i);
            lit = true;
        }
        if (lit) {
            b.FillRect(segments[i], colour);
            continue;
        }
        b.FillRect(segments[i], clBack32);
        if (last && peakMode) {
            // A bar that shows no peak at all still says that the meter is live.
            b.FillRectBlend(segments[i], WithAlpha32(clGreen32, kLiveMarkAlpha));
        } else if (marker > 0 && marker >= vuThreshold[i] && (markLast || !last)) {
            b.FillRectBlend(segments[i], WithAlpha32(clText32, kMarkerAlpha));
        }
    }
}

void TVuMeterView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && resetPeakLatch) resetPeakLatch();
}
