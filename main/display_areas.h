#pragma once
// The four numeric display areas of the main window: areas 1 and 2 in the
// top paint box (pbTop), areas 3 and 4 side by side in the box below it
// (pbMitte). Each shows one display element with its state colour and its
// caption, and for the Leq elements a progress gauge and a marker naming the
// preview that drives the colour.
//
// The top areas are the large ones and notification 45 arrives every 125 ms,
// so they are redrawn only when their value text, caption or visible colour
// changed; the lower areas are redrawn whole each time. Fonts are fitted when
// the areas are laid out, never while painting. GUI thread only.
#include <QPoint>
#include <QRectF>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

#include "ui_kit/display_texts.h"

class TPaintBox32;
class TBitmap32;

// What was last drawn in each of the eight display fields.
struct TFieldCaches {
    std::array<QString, 8> aFeldWert;      // value and unit text joined by ";"
    std::array<int32_t, 8> aStatusWert{};  // changes of that text
    std::array<int32_t, 8> aStatusColor{}; // brush id last drawn
    std::array<QString, 8> aFeldLabel;     // caption last drawn
    std::array<int32_t, 8> aStatusLabel{}; // changes of the caption
};

class TDisplayAreas {
public:
    struct Hooks {
        std::function<bool()> running;     // a measurement runs
        std::function<bool()> isFindPeak;  // the loudest-location search mode is on
        // Draws icon index of the main window's collection into the square.
        std::function<void(TBitmap32&, int32_t index, const QRectF& square)> drawIcon;
        // A left click on area 1..4 outside the search mode, at a screen point.
        std::function<void(int32_t area, QPoint global)> showAreaInfo;
        // The held slow-RMS maxima of the search mode: Leq weighting, peak weighting, both.
        std::function<void()> resetRmsPeak;
        std::function<void()> resetRmsPeakP;
        std::function<void()> resetFindPeak;
        // The top areas were laid out: fonts of the neighbouring boxes follow.
        std::function<void()> afterTopLayout;
    };

    TDisplayAreas(TPaintBox32* top, TPaintBox32* mitte, Hooks hooks);
    // The boxes may outlive the areas: they stop calling back.
    ~TDisplayAreas();
    TDisplayAreas(const TDisplayAreas&) = delete;
    TDisplayAreas& operator=(const TDisplayAreas&) = delete;

    // Field rectangles, baselines and fonts from the current box sizes.
    void LayoutTopAreas();
    void LayoutLowerAreas();

    // The paint handlers: each paints into its box's buffer and shows it.
    void PaintTop();
    void PaintMitte();

    // Repaints both boxes, the top areas whatever they show.
    void RefreshValueDisplays();
    // Repaints both boxes; the top areas only where something changed.
    void RepaintValues();
    // Makes the next paint redraw both top areas whatever they show.
    void MarkTopStale();
    // The gauge follows the Leq window's whole percent: true when it changed.
    bool LatchLeqBar(double progress);
    void ClearLeqBarLatch() { isUpdateLeqBar_ = false; }

    // Area 1..4 at a point of pbTop / pbMitte, or 0 for none.
    int32_t TopAreaAt(int y) const;
    int32_t LowerAreaAt(int x, int y) const;

    bool showNoVals = false;     // a calibration runs: frames only
    bool isShowProgress = true;  // the option: progress gauge on the Leq areas

    const TFieldCaches& Caches() const { return caches_; }
    int32_t TopDraws() const { return topDraws_; }  // area redraws in pbTop so far
    int32_t TopValueFont() const { return topValueFont_; }
    int32_t LowerValueFont() const { return lowerValueFont_; }
    int32_t TopLabelFont() const { return topLabelFont_; }
    int32_t LowerLabelFont() const { return lowerLabelFont_; }

    // True for the Leq elements 2 and 3 while a measurement of a window
    // shorter than the whole measurement runs and the option is on.
    bool ShowsLeqGauge(int32_t element) const;

private:
    struct TopMemory {
        QString value;
        QString caption;
        int32_t brush = -1;
    };

    void ComputeLowerFields();
    void PaintTopBuffer();
    void PaintMitteBuffer();
    // Draws the area of field when its text, caption or colour changed;
    // answers whether it did.
    bool UpdateTopArea(TBitmap32& bitmap, int32_t field, int32_t shownElement, int32_t testElement,
                       int32_t captionElement, TopMemory& memory);
    void DrawArea(TBitmap32& bitmap, int32_t field, int32_t element, const TMainInfo& info, int32_t valueFont,
                  int32_t labelFont, bool withLabel);
    void DrawAreaValue(TBitmap32& bitmap, int32_t field, const TMainInfo& info, int32_t fontHeight);
    void DrawAreaLabel(int32_t field, TBitmap32& bitmap, int32_t element, int32_t fontHeight);
    void DrawPreviewMarker(TBitmap32& bitmap, int32_t field, int32_t element, int32_t fontHeight);
    int32_t AreaElement(int32_t area) const;
    bool Running() const { return hooks_.running && hooks_.running(); }
    bool FindPeak() const { return hooks_.isFindPeak && hooks_.isFindPeak(); }
    void OnTopMouseDown(Qt::MouseButton button, int x, int y);
    void OnMitteMouseDown(Qt::MouseButton button, int x, int y);

    TPaintBox32* top_;
    TPaintBox32* mitte_;
    Hooks hooks_;
    TFieldCaches caches_;
    TopMemory area1_;
    TopMemory area2_;
    int32_t topValueFont_ = -5;
    int32_t lowerValueFont_ = -5;
    int32_t topLabelFont_ = -3;
    int32_t lowerLabelFont_ = -3;
    bool isUpdateLeqBar_ = false;
    int32_t lastLeqBarVal_ = -1;
    int32_t topDraws_ = 0;
};

// The rectangle between the edges, right and bottom excluded, as the layout
// arithmetic counts them; edges that cross give an empty side, not a negative one.
QRect RectFromEdges(int left, int top, int right, int bottom);
// The display decimals of the default store (0 to 3); 1 before there is one.
int32_t DisplayDecimals();

// Puts the baseline of field's value text so that a text of fontHeight
// (measured on bitmap) sits centred in the field, or above its middle,
// leaving room for a caption below.
void SetFieldTextLine(TBitmap32& bitmap, int32_t field, int32_t fontHeight, bool centred);

// The hint of both boxes; it is not translated.
inline constexpr const char16_t* kAreaHint = u"Für Infos auf die Anzeige klicken";
