#pragma once
// The peak display beside the level meter (pbPeakDisplay): three rows with
// the current peak, the highest peak of the running interval block and the
// highest peak of the measurement, each coloured against the peak warning
// level and limit. While the loudest-location search runs, the two lower
// rows give way to the test-signal control: an on/off switch, a level wedge
// from -80 to 0 dB and two step buttons that repeat while held.
// GUI thread only.
#include <QRect>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>

#include "ui_kit/on_off_switch.h"
#include "ui_kit/paint_box.h"

class TPeakDisplay {
public:
    struct Hooks {
        std::function<bool()> running;        // a measurement runs
        std::function<bool()> isFindPeak;     // the loudest-location search mode is on
        std::function<double()> currentPeak;  // peak amplitude of channel 1, taken under the start/stop lock
        std::function<double()> blockPeak;    // dB; 0 without a value reader
        std::function<void(TBitmap32&, int32_t index, const QRectF& square)> drawIcon;
        // Shows a text in a slot of the status line.
        std::function<void(int32_t slot, const QString& text)> setStatusInfo;
    };

    TPeakDisplay(TPaintBox32* box, std::atomic<int32_t>& outLevelDB, Hooks hooks);
    // The box may outlive the display: it stops calling back.
    ~TPeakDisplay();
    TPeakDisplay(const TPeakDisplay&) = delete;
    TPeakDisplay& operator=(const TPeakDisplay&) = delete;

    void LayoutPeakDisplay();
    void FitPeakFont();
    // The paint handler (every fourth meter paint and on demand).
    void ShowPeakC();

    // Peak colours: the pixel form greys a value below 1, the screen form does not.
    static TColor32 GetPeakColor32(double value);
    static TColor GetPeakColor(double value);

    // The test-signal control's input: x, y in the box, buttonDown while the
    // left button is held.
    void NoiseControlMouse(int x, int y, bool buttonDown);
    // One step of the held step button (the repeat timer's tick).
    void StepLevelTimer();
    bool StepTimerActive() const { return stepTimer_.isActive(); }

    double maxPeak = 0.0;  // highest peak of the measurement in dB, written by the limit handling
    int32_t serPeakLatch = 0;
    double CPeakTransfer = 0.0;
    double OldPeak() const { return oldPeak_; }
    int32_t PeakFont() const { return peakFont_; }
    const QRect& VolRect() const { return volRect_; }
    const QRect& TasteRect() const { return tasteRect_; }
    const QRect& ArrowRect() const { return arrowRect_; }
    const TSchalterH& NoiseSwitch() const { return sPinkNoise_; }
    // Wedge filled / step buttons shown at the last paint.
    bool DownButtonShown() const { return downShown_; }
    bool UpButtonShown() const { return upShown_; }

private:
    void DrawPeakRow(TBitmap32& bitmap, int32_t field, double value, const QString& text);
    void DrawCurrentPeakRow(TBitmap32& bitmap);
    void DrawBlockPeakRow(TBitmap32& bitmap);
    void DrawMaxPeakRow(TBitmap32& bitmap);
    void DrawNoiseControl(TBitmap32& bitmap);
    void DrawNoiseSwitch(TBitmap32& bitmap);
    void DrawNoiseCaption(TBitmap32& bitmap);
    void DrawWedge(TBitmap32& bitmap);
    void DrawStepButtons(TBitmap32& bitmap);
    // A new test-signal level, kept in -80 .. 0, posted when it differs.
    bool RequestLevel(int32_t level);
    void OnMouseDown(Qt::MouseButton button, int x, int y);
    void OnMouseMove(int x, int y);
    void OnMouseUp(Qt::MouseButton button, int x, int y);
    void OnMouseLeave();
    bool Running() const { return hooks_.running && hooks_.running(); }
    bool FindPeak() const { return hooks_.isFindPeak && hooks_.isFindPeak(); }

    TPaintBox32* box_;
    std::atomic<int32_t>& outLevelDB_;
    Hooks hooks_;
    int32_t peakFont_ = -12;
    int32_t peakCaptionFont_ = -4;
    double oldPeak_ = 0.0;
    double oldIMax_ = 0.0;
    bool refreshDisplay_ = false;
    TSchalterH sPinkNoise_;
    QRect tasteRect_, volRect_, arrowRect_;
    int32_t hover_ = 0;  // 1 over the down button, 2 over the up button
    bool downShown_ = false;
    bool upShown_ = false;
    QTimer stepTimer_;
    int32_t stepDirection_ = 0;  // the timer's tag: 1 down, 2 up
};
