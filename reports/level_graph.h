#pragma once
// TLeqGrafik: the painter of the level-versus-time graph. It turns the stored
// values of one measurement store into traces of the Leq, the short-term Leq,
// the peak level and the Leq as a percentage of its limit, over a dB grid
// and a clock-time axis. It keeps no measurement data: only the look, the
// cursor that says which values are shown, the block-view switch and what
// the last drawing mapped, so that a click becomes a time and a time an x.
//
// The main window, the measurement viewer and the printed protocol each own
// an instance; every use is on the owner's thread. Two drawings exist: the
// bitmap drawing of the main window's live graph (a TBitmap32) and the
// paint-device drawing (any QPainter: a window, an image, a printer).
#include <QColor>
#include <QPen>
#include <QRect>
#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/date_time.h"
#include "ui_kit/paint_box.h"

class QPainter;
class TDaten;

// What the last bitmap drawing showed; the main window's slider reads it.
struct TGraphStatus {
    int32_t status = 0;     // 0 follows the newest values, 1 block view, 2 fixed position
    int32_t total = 0;      // stored values of the store
    int32_t showStart = 0;  // index of the first shown value
    int32_t showEnd = 0;    // showStart plus the values drawn
    int32_t bmSize = 0;     // width of the target bitmap
    int32_t bmLeft = 0;     // left margin of the plot
};

// Colour ids of SetColorById / GetColorById.
inline constexpr int32_t kGraphColorPeak = 0;
inline constexpr int32_t kGraphColorLeqK = 1;
inline constexpr int32_t kGraphColorLeq = 2;
inline constexpr int32_t kGraphColorLeqP = 3;
inline constexpr int32_t kGraphColorLabel = 4;

// Cursor values besides a first index.
inline constexpr int32_t kAntFollow = -1;
inline constexpr int32_t kAntJumpToEnd = -2;

// Stored values between two time labels, so that labels stand at least 50
// pixels apart at round minute spacings. x pixels per value, a seconds per
// value; 60 when either gives no usable spacing.
double CalcTimeStep(double x, int32_t a);
// dB between two grid lines for a graph range in dB.
int32_t GetGridStep(int32_t range);

class TLeqGrafik {
public:
    TLeqGrafik();
    TLeqGrafik(const TLeqGrafik&) = delete;
    TLeqGrafik& operator=(const TLeqGrafik&) = delete;

    // --- look ---------------------------------------------------------------
    void SetLEQcolor(TColor c);
    void SetLeqPColor(TColor c);
    void SetLEQKurzColor(TColor c);
    void SetPeakColor(TColor c);
    void SetLabelColor(TColor c);  // labels and grid
    void SetBackgroundColor(TColor32 c);
    TColor GetLEQColor() const { return cLEQ; }
    TColor getLeqPColor() const { return cLEQP; }
    TColor getLEQKurzColor() const { return cLEQK; }
    TColor getPEAKColor() const { return cPeak; }
    TColor GetLabelColor() const { return cLabel; }
    TColor32 GetBackgroundColor() const { return cBack32; }
    // Ids kGraphColor*; another id sets nothing and reads the label colour.
    void SetColorById(int32_t id, TColor c);
    TColor GetColorById(int32_t id) const;
    // The trace width in pixels (the Leq-percent trace keeps its own).
    void SetWidth(float newWidth);
    float GetWidth() const { return masterTraceWidth; }
    // True when the style differed and was taken.
    bool setLeqKurzDash(Qt::PenStyle style);
    bool setPeakDash(Qt::PenStyle style);
    // Trace switches of the short bitmap entry.
    void setShowLeq(bool on) { showLeq = on; }
    void setShowLeqK(bool on) { showLeqk = on; }
    void setShowLeqP(bool on) { showLeqP = on; }
    void setshowPeak(bool on) { showPeak = on; }
    // Label font and plot margins for a scale of dpiSf (pixels per inch / 96).
    void InitFontSettings(double dpiSf);
    int32_t LeftMargin() const { return deltaL; }
    int32_t TopMargin() const { return deltaT; }

    // --- cursor -------------------------------------------------------------
    int32_t GetAntPos() const { return antPos.load(); }
    // False and no change when newPos is the current cursor; otherwise it is
    // stored and block view ends.
    bool SetAntPos(int32_t newPos);
    void AntStart();  // follow the newest values
    void AntEnd();    // show the end once, then stay there
    void AntPlus(int32_t points);   // saturates at the 32-bit maximum
    void AntMinus(int32_t points);  // 0 when the result is 0 or less
    void SetBlock(bool useBlock) { useLeqBlock.store(useBlock); }
    bool GetBlock() const { return useLeqBlock.load(); }

    // --- mapping of the last bitmap drawing -----------------------------------
    // The time under a pixel column; 0 outside the plot.
    platform::TDateTime GetTime(int32_t xpos) const;
    // The pixel column of a time; -1 where it has none.
    int32_t GetXPos(platform::TDateTime zeit) const;
    // The first shown time floored to the value interval, counted from the full hour.
    platform::TDateTime GetAlignedStart() const;
    TGraphStatus GetGraphStatus() const;
    double GetLastXPos() const;  // never left of the plot
    int32_t GetTraceLeftStart() const { return deltaL; }
    int32_t GetLastStartId() const { return lastStartId; }
    double GetShowFactor() const { return showFactor; }

    // --- drawings -----------------------------------------------------------
    // The bitmap drawing inside targetRect. False for a missing store or
    // bitmap, or when the drawing failed (told once in a message box while
    // no measurement runs, until a drawing succeeds again). highSpeed and
    // cFrame have no effect here.
    bool DrawDirect(TBitmap32* buffer, TDaten* DataL, bool drawAll, bool showLeq, bool showLeqP,
                    bool showLeqK, bool showPeak, bool highSpeed, TColor32 cFrame, bool drawMark,
                    const QRect& targetRect, int32_t langId);
    // The short bitmap entry: the trace switches of the fields, never draw-all.
    bool DrawDirect(TBitmap32* buffer, TDaten* DataL, TColor32 cFrame, bool useAnt, bool drawMark,
                    const QRect& targetRect, int32_t langId);
    // The paint-device drawing over the painter's visible clip bounds (the
    // whole device without a clip), lines and margins scaled by dpiSf.
    // highSpeed draws without antialiasing; useAnt makes a scrolling view
    // show the newest values. False while another paint-device drawing of
    // this painter runs, and for a missing store or painter.
    bool DrawDirect(QPainter* GR, TDaten* DataL, bool drawAll, bool showLeq, bool showLeqK, bool showPeak,
                    bool highSpeed, bool useAnt, double dpiSf, int32_t langId);
    // The paint-device drawing at scale 1 when the target is more than 50
    // pixels wide; never throws.
    void DrawGraph(QPainter* GR, TDaten* Daten, bool drawAll, bool showLeq, bool showLeqK, bool showPeak,
                   bool highSpeed, bool useAnt, int32_t langId);
    // The bitmap drawing into the program's graph rectangle (graphRect) when
    // the bitmap is more than 50 pixels wide; never throws.
    void DrawGraph(TBitmap32* buffer, TDaten* Daten, bool drawAll, bool showLeq, bool showLeqP,
                   bool showLeqK, bool showPeak, bool highSpeed, bool useAnt, bool dMark, int32_t langId);

private:
    bool DrawBitmap(TBitmap32& buffer, TDaten& data, bool drawAll, bool showLeq, bool showLeqP,
                    bool showLeqK, bool showPeak, bool drawMark, const QRect& targetRect, int32_t langId);
    bool DrawDevice(QPainter& gr, TDaten& data, bool drawAll, bool showLeq, bool showLeqK, bool showPeak,
                    bool highSpeed, bool useAnt, double factor, int32_t langId);
    void ReportDrawFailure(const QString& why);

    TGraphStatus myGraphStatus;
    double lastXPos = -1.0;
    std::atomic<int32_t> oneDraw{0};
    std::atomic<int32_t> antPos{kAntFollow};
    std::atomic<bool> useLeqBlock{false};

    // Pens and colours of the paint-device drawing.
    QColor backColor{0, 0, 128};
    QColor labelColor{255, 255, 0};
    QPen pLEQ, pLEQKurz, pPeak, pLEQP, pGitter, pmaxLEQ;

    TColor cLabel = 0, cLEQ = 0, cLEQK = 0, cPeak = 0, cLEQP = 0;
    TColor32 cBack32 = 0;
    float masterTraceWidth = 1.0f;

    // Mapping of the last bitmap drawing, under csPos.
    mutable std::mutex csPos;
    platform::TDateTime startIntern = 0.0;
    int32_t drawRange = 0;
    bool blockIntern = false;
    int32_t intervalIntern = 60;
    int32_t blockSizeIntern = -1;
    int32_t xOffsetPoints = 0;
    double faktorIntern = 1.0;

    int32_t deltaL = 0, deltaT = 0;
    int32_t foHi = -9;
    bool showLeq = true, showLeqk = true, showLeqP = false, showPeak = true;
    int32_t lastStartId = 0;
    double showFactor = -1.0;
    bool failureShown = false;  // the failure box was shown since the last good drawing
};
