#pragma once
// The level meter of the main window (pbVU): one bar for the measuring input,
// or two when both microphones are assigned, each a held-peak segment above
// a bar of the RMS level, lit from the VU thread's levels on every
// notification 16. The scale and the segment geometry come from the level
// bars of the UI kit; a peak at the top segment latches the clip state and
// asks once to bring the window to the front.
#include <functional>
#include <vector>

#include "ui_kit/paint_box.h"

class TVuThread;

class TVuMeterView : public TPaintBox32 {
public:
    explicit TVuMeterView(QWidget* parent = nullptr);

    std::function<TVuThread*()> vuThread;   // the running VU thread, or nullptr
    std::function<bool()> measuring;        // a measurement runs
    std::function<void()> resetPeakLatch;   // a double click resets the held peaks
    std::function<bool()> korrOn;           // a correction measurement runs: its minimum level is marked
    std::function<void()> paintPeakDisplay; // the peak display follows every fourth meter paint

    // The bar area: the client rectangle less the spacings of the scale.
    QRect GetVuRect() const;
    // Lays the segments out and repaints the scale (notification 25).
    void RebuildVuScale();
    // Paints the bars into the buffer and shows it (notification 16).
    void PaintBuffer();

    bool ClipLatched() const { return vuClip_; }

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void PaintVuBars();
    void UpdateClipLatch(double measuringPeak);
    // Paints one bar: a held-peak segment above the RMS level. Segments at
    // or under the marker amplitude get the marker colour (but the last
    // segment of the left bar when markLast is false).
    void PaintBar(const std::vector<QRect>& segments, double peak, double rms, double marker, bool markLast);

    bool vuClip_ = false;
    int showLevel_ = 0;
};
