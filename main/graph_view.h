#pragma once
// The level graph of the main window: the off-screen graph bitmap that the
// painter renders from the display copy of the measurement, the paint box
// that shows it with the red time cursor, the slider strip under it that
// shows which part of the measurement is visible and lets the user drag it,
// the graph menu and the 50 ms graph timer. Everything runs on the GUI
// thread; redraws are asked for by posting notification 2, never drawn in
// place by the requester.
#include <QPoint>
#include <QRect>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/date_time.h"
#include "ui_kit/notifications.h"
#include "reports/level_graph.h"
#include "ui_kit/paint_box.h"

class QAction;
class QMenu;
class QPainter;
class TDaten;
struct TProgramSettings;

// What the graph view needs of its window.
struct GraphViewHost {
    std::function<void(uintptr_t code, intptr_t argument)> post;
    std::function<bool()> measuring;
    std::function<TDaten*()> displayStore;      // AnzeigeDaten
    std::function<TDaten*()> defaultStore;      // defaultDaten
    std::function<TDaten*()> measurementStore;  // messDaten
    std::function<void(QPainter&, int32_t index, const QRectF& square)> drawIcon;
    // The colour dialog preset with a colour; nothing when cancelled.
    std::function<std::optional<TColor>(TColor preset)> askColor;
};

// Icon 2 of the main window's icon collection: the graph menu's button.
inline constexpr int32_t kSetupIconIndex = 2;

class TGraphView {
public:
    // Takes over the two paint boxes; the trace switches, drawMark and
    // lineWidth live in settings and are read and written there.
    TGraphView(TPaintBox32* pbGrafik, TPaintBox32* pbSliderG, TProgramSettings& settings, GraphViewHost host);
    ~TGraphView();

    TLeqGrafik& Painter() { return *hDraw; }
    // Code 2: renders the display copy into the graph bitmap, then posts 256.
    void RedrawGraph();
    // Codes 51 and 256.
    void RepaintGraph();
    // One tick of the graph timer: code 2 on every sixth tick while idle.
    void GraphTimerTick();
    void StartTimer() { graphTimer.start(); }
    void StopTimer() { graphTimer.stop(); }

    // The stored look (colours, width) into the painter, and back.
    void ApplySettings();
    void StoreSettings();
    // A colour scheme was applied: labels in its text colour, bitmap cleared.
    void ApplyColorScheme();
    // The painter's width becomes lineWidth x UI scale; then code 2.
    void ApplyLineWidth();
    // A new UI scale: label font, margins and trace width follow.
    void ApplyUiScale();

    // Graph menu actions.
    void GraphAutoScroll();
    void GraphToggleBlock();
    void GraphToStart();
    void GraphToEnd();
    void SetGraphRange(int32_t range);
    void SetGraphTop(int32_t top);
    void ChooseColor(int32_t id);
    void SetLineWidth(int32_t width);
    void ToggleTrace(int32_t trace);  // 0 Leq, 1 short-term Leq, 2 peak, 3 Leq percent
    void ToggleDrawMark();

    QMenu* Menu() const { return pmGraphic; }
    // Ticks, captions and guards of the menu as it is about to open.
    void PrepareMenu();
    // The menu items by their tags (range, top, width) or ids.
    QAction* RangeItem(int32_t tag) const;
    QAction* TopItem(int32_t tag) const;
    QAction* BlockItem() const { return pmGBlock; }
    QAction* AutoScrollItem() const { return pmGAutoScroll; }
    QAction* WidthItem(int32_t tag) const;
    QAction* TraceItem(int32_t trace) const;

    platform::TDateTime CursorTime() const { return cursorTime; }
    bool SliderDragging() const { return sliderDragging; }
    const TBitmap32& GraphBitmap() const { return bmGrafik; }
    int32_t Margin() const;

private:
    void ResizeGraph();
    void PaintGraph(TPaintBox32* box);
    void GraphMouseDown(int x);
    void PaintSlider(TPaintBox32* box);
    void PaintSliderTrack(TBitmap32& buffer, const QRect& client);
    void SliderMouseDown(int x, int y);
    void SliderMouseMove(int x, int y);
    void SliderMouseUp(Qt::MouseButton button, int x, int y);
    void SliderMouseLeave();
    void BuildMenu();
    void NameMenuItems(QMenu* colours, QMenu* traces);
    void Post(uintptr_t code, intptr_t argument = 0);
    TDaten* Display() const { return host.displayStore ? host.displayStore() : nullptr; }

    TPaintBox32* pbGrafik;
    TPaintBox32* pbSliderG;
    TProgramSettings& settings;
    GraphViewHost host;
    std::unique_ptr<TLeqGrafik> hDraw;
    TBitmap32 bmGrafik;
    std::mutex csBmG;
    platform::TDateTime cursorTime = 0.0;
    int32_t gug = 0;
    QRect rSliderPos;
    bool sliderDragging = false;
    QTimer graphTimer;

    QMenu* pmGraphic = nullptr;
    QAction* pmGAutoScroll = nullptr;
    QAction* pmGBlock = nullptr;
    QAction* cbDrawMark = nullptr;
    QMenu* rangeMenu = nullptr;
    QMenu* topMenu = nullptr;
    QMenu* widthMenu = nullptr;
    QAction* colourLeqK = nullptr;
    QAction* colourLeq = nullptr;
    QAction* traceItems[4] = {};
    // Parent of the event hooks and context of the connections; declared
    // last, so they end first.
    QObject lifetime;
};
