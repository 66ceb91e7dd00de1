#include "main/graph_view.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

#include "main/program_settings.h"
#include "store/measurement_store.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr int kTimerMs = 50;
constexpr int kTicksPerIdleRedraw = 5;  // a redraw on every sixth tick
constexpr intptr_t kCursorByClick = 3;
constexpr int32_t kTraceLeq = 0, kTraceLeqK = 1, kTracePeak = 2, kTraceLeqP = 3;

// Runs a handler for one kind of event of a widget.
class EventHook : public QObject {
public:
    EventHook(QObject* target, QObject* owner, QEvent::Type type, std::function<void(QEvent*)> handler)
        : QObject(owner), type_(type), handler_(std::move(handler)) {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type_) {
            try {
                handler_(event);
            } catch (...) {
                // A failing graph handler must not end the message loop.
            }
        }
        return false;
    }

private:
    QEvent::Type type_;
    std::function<void(QEvent*)> handler_;
};

QAction* AddItem(QMenu* menu, const QString& caption, int32_t tag, bool checkable, std::function<void()> action) {
    QAction* item = menu->addAction(caption);
    item->setData(tag);
    item->setCheckable(checkable);
    QObject::connect(item, &QAction::triggered, menu, [action = std::move(action)] {
        try {
            action();
        } catch (...) {
        }
    });
    return item;
}

QAction* ItemByTag(const QMenu* menu, int32_t tag) {
    if (menu == nullptr) return nullptr;
    for (QAction* item : menu->actions()) {
        if (item->data().toInt() == tag) return item;
    }
    return nullptr;
}

}  // namespace

TGraphView::TGraphView(TPaintBox32* graph, TPaintBox32* slider, TProgramSettings& s, GraphViewHost h)
    : pbGrafik(graph), pbSliderG(slider), settings(s), host(std::move(h)), hDraw(std::make_unique<TLeqGrafik>()) {
    ApplySettings();
    pbGrafik->OnPaintBuffer = [this](TPaintBox32* box) { PaintGraph(box); };
    pbGrafik->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton button, int x, int) {
        if (button == Qt::LeftButton) GraphMouseDown(x);
    };
    new EventHook(pbGrafik, &lifetime, QEvent::Resize, [this](QEvent*) { ResizeGraph(); });
    pbSliderG->OnPaintBuffer = [this](TPaintBox32* box) { PaintSlider(box); };
    pbSliderG->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton button, int x, int y) {
        if (button == Qt::LeftButton) SliderMouseDown(x, y);
    };
    pbSliderG->OnMouseMove = [this](TPaintBox32*, int x, int y) { SliderMouseMove(x, y); };
    pbSliderG->OnMouseUp = [this](TPaintBox32*, Qt::MouseButton button, int x, int y) {
        SliderMouseUp(button, x, y);
    };
    pbSliderG->OnMouseLeave = [this](TPaintBox32*) { SliderMouseLeave(); };
    new EventHook(pbSliderG, &lifetime, QEvent::MouseButtonDblClick, [this](QEvent*) { GraphAutoScroll(); });

    BuildMenu();
    for (TPaintBox32* box : {pbGrafik, pbSliderG}) {
        box->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(box, &QWidget::customContextMenuRequested, &lifetime,
                         [this, box](const QPoint& at) { pmGraphic->popup(box->mapToGlobal(at)); });
    }
    graphTimer.setInterval(kTimerMs);
    QObject::connect(&graphTimer, &QTimer::timeout, &graphTimer, [this] { GraphTimerTick(); });
    if (pbGrafik->width() > 0) ResizeGraph();
}

TGraphView::~TGraphView() {
    graphTimer.stop();
    for (TPaintBox32* box : {pbGrafik, pbSliderG}) {
        box->OnPaintBuffer = nullptr;
        box->OnMouseDown = nullptr;
        box->OnMouseMove = nullptr;
        box->OnMouseUp = nullptr;
        box->OnMouseLeave = nullptr;
    }
    delete pmGraphic;
    std::lock_guard guard(csBmG);
    bmGrafik.SetSize(0, 0);
}

int32_t TGraphView::Margin() const { return UISpace; }

void TGraphView::Post(uintptr_t code, intptr_t argument) {
    if (host.post) host.post(code, argument);
}

// --- graph -------------------------------------------------------------------

void TGraphView::RedrawGraph() {
    {
        std::lock_guard guard(csBmG);
        hDraw->DrawDirect(&bmGrafik, Display(), false, settings.dLeq, settings.dLeqP, settings.dLeqK,
                          settings.dPeak, false, clFrame32, settings.drawMark, graphRect, language.load());
    }
    Post(kNotifyGraphRepaint);
}

void TGraphView::RepaintGraph() { pbGrafik->Invalidate(); }

void TGraphView::ResizeGraph() {
    {
        std::lock_guard guard(csBmG);
        const int m = Margin();
        const int width = std::max(0, pbGrafik->width() - 2 * m);
        bmGrafik.SetSize(width, pbGrafik->height());
        bmGrafik.Clear(clBack32);
        graphRect = QRect(0, 0, width, pbGrafik->height());
    }
    pbGrafik->Invalidate();
    Post(kNotifyGraphRedraw);
}

void TGraphView::PaintGraph(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    const int m = Margin();
    buffer.Clear(clBack32);
    int cursorX = -1;
    {
        std::lock_guard guard(csBmG);
        cursorX = hDraw->GetXPos(cursorTime);
        buffer.CopyRows(m, 0, bmGrafik, bmGrafik.BoundsRect());
    }
    if (cursorTime > 0 && cursorX >= 0 && m <= cursorX + m && cursorX + m <= box->width())
        buffer.VertLine(cursorX + m, 0, box->height() - 1, StateColor32(3));
    pbSliderG->Invalidate();
}

void TGraphView::GraphMouseDown(int x) {
    const int column = x - Margin();
    if (column < 0 || column > pbGrafik->width()) return;
    cursorTime = hDraw->GetTime(column);
    Post(kNotifyGraphCursor, kCursorByClick);
}

void TGraphView::GraphTimerTick() {
    try {
        if (++gug <= kTicksPerIdleRedraw) return;
        gug = 0;
        if (!(host.measuring && host.measuring())) Post(kNotifyGraphRedraw);
    } catch (...) {
    }
}

// --- slider ------------------------------------------------------------------

void TGraphView::PaintSlider(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    const QRect client = box->ClientRect();
    const int m = Margin();
    const int h = client.height();
    buffer.Clear(clBack32);
    if (box->Tag == 1) buffer.FillRect(QRect(m, 0, h, h), clHover32);
    if (host.drawIcon && !buffer.Empty()) {
        const double glyph = 22 * UIScale;
        QPainter painter(&buffer.Image());
        painter.setRenderHint(QPainter::Antialiasing);
        host.drawIcon(painter, kSetupIconIndex, QRectF(m + (h - glyph) / 2, (h - glyph) / 2, glyph, glyph));
    }
    if (host.measuring && host.measuring()) PaintSliderTrack(buffer, client);
}

void TGraphView::PaintSliderTrack(TBitmap32& buffer, const QRect& client) {
    const TGraphStatus st = hDraw->GetGraphStatus();
    const int m = Margin();
    const double w = st.bmSize - st.bmLeft;
    const double g = st.total > 0 && w < st.total ? w / st.total : 1.0;
    const double trackStart = client.left() + m + st.bmLeft;
    const double thumbX = std::min(trackStart + st.showEnd * g, static_cast<double>(client.left() + m + st.bmSize));
    const double y = client.top() + client.height() / 2.0;

    auto canvas = CreateCanvas32(buffer);
    canvas->FillBrush().visible = false;
    SetCanvasColors(canvas.get(), clInk32, clInk32, UIScale);
    QPointF from(trackStart, y);
    if (st.showStart > 0) {
        from = QPointF(trackStart + st.showStart * g, y);
        canvas->Line(QPointF(trackStart, y), from);
    }
    SetCanvasColors(canvas.get(), clAccent32, clInk32, UIScale);
    canvas->Line(from, QPointF(thumbX, y));
    if (g < 1.0) {
        SetCanvasColors(canvas.get(), clInk32, clInk32, UIScale);
        canvas->Line(QPointF(thumbX, y), QPointF(client.right() + 1 - m, y));
    }

    canvas->FillBrush().visible = true;
    SetCanvasColors(canvas.get(), clAccent32, sliderDragging ? clAccent32 : clBack32, UIScale);
    const double r = client.height() * 0.2;
    const QRectF box(thumbX - r, y - r, 2 * r, 2 * r);
    if (st.status == 0) {
        const double back = thumbX + r - std::sqrt(2.0) * r;
        canvas->Polygon({QPointF(back, y - r), QPointF(thumbX + r, y), QPointF(back, y + r)});
    } else if (st.status == 1) {
        canvas->Rectangle(box);
    } else {
        canvas->Circle(QPointF(thumbX, y), r);
    }
    const int left = RoundI(box.left()), top = RoundI(box.top());
    const int right = RoundI(box.right()), bottom = RoundI(box.bottom());
    if (left >= 0) rSliderPos.setLeft(left);
    if (top >= 0) rSliderPos.setTop(top);
    if (right >= 0) rSliderPos.setRight(right);
    if (bottom >= 0) rSliderPos.setBottom(bottom);
}

void TGraphView::SliderMouseDown(int x, int y) {
    sliderDragging = rSliderPos.contains(x, y);
    pbSliderG->Invalidate();
}

void TGraphView::SliderMouseMove(int x, int y) {
    const int m = Margin();
    const intptr_t hover = (m <= x && x <= m + pbSliderG->height()) ? 1 : 0;
    const bool hoverChanged = pbSliderG->Tag != hover;
    pbSliderG->Tag = hover;
    if (hover == 0 && sliderDragging) {
        const TGraphStatus st = hDraw->GetGraphStatus();
        const int c = std::min(x - m, st.bmSize);
        const int d = c - st.bmLeft;
        if (st.bmLeft < st.bmSize && d > 0) {
            const int w = st.bmSize - st.bmLeft;
            const int32_t position = std::max(0, RoundI(static_cast<double>(d) * st.total / w) - w);
            if (position != hDraw->GetAntPos()) {
                hDraw->SetAntPos(position);
                Post(kNotifyGraphRedraw);
            }
        }
    }
    if (hoverChanged) pbSliderG->Invalidate();
}

void TGraphView::SliderMouseUp(Qt::MouseButton button, int x, int y) {
    sliderDragging = false;
    pbSliderG->Invalidate();
    const int m = Margin();
    if (button == Qt::LeftButton && m <= x && x <= m + pbSliderG->height()) {
        PrepareMenu();
        pmGraphic->popup(pbSliderG->mapToGlobal(QPoint(m, 0)));
    }
}

void TGraphView::SliderMouseLeave() {
    if (pbSliderG->Tag != 1) return;
    pbSliderG->Tag = 0;
    pbSliderG->Invalidate();
}

// --- look --------------------------------------------------------------------

void TGraphView::ApplySettings() {
    hDraw->SetLEQcolor(settings.colorLeq);
    hDraw->SetLeqPColor(settings.colorLeqP);
    hDraw->SetLabelColor(settings.colorLabel);
    hDraw->SetPeakColor(settings.colorPeak);
    hDraw->SetLEQKurzColor(settings.colorLeqK);
    hDraw->SetWidth(static_cast<float>(settings.lineWidth * UIScale));
}

void TGraphView::StoreSettings() {
    settings.colorLeq = hDraw->GetLEQColor();
    settings.colorLeqP = hDraw->getLeqPColor();
    settings.colorLabel = hDraw->GetLabelColor();
    settings.colorPeak = hDraw->getPEAKColor();
    settings.colorLeqK = hDraw->getLEQKurzColor();
}

void TGraphView::ApplyColorScheme() {
    hDraw->SetLabelColor(clText);
    std::lock_guard guard(csBmG);
    bmGrafik.Clear(clBack32);
}

void TGraphView::ApplyUiScale() {
    hDraw->InitFontSettings(UIScale);
    ApplyLineWidth();
}

void TGraphView::ApplyLineWidth() {
    hDraw->SetWidth(static_cast<float>(settings.lineWidth * UIScale));
    Post(kNotifyGraphRedraw);
}

// --- menu --------------------------------------------------------------------

void TGraphView::GraphAutoScroll() {
    hDraw->AntStart();
    Post(kNotifyGraphRedraw);
}

void TGraphView::GraphToggleBlock() {
    hDraw->SetBlock(!hDraw->GetBlock());
    Post(kNotifyGraphRedraw);
}

void TGraphView::GraphToStart() {
    if (hDraw->SetAntPos(0)) Post(kNotifyGraphRedraw);
}

void TGraphView::GraphToEnd() {
    if (hDraw->SetAntPos(kAntJumpToEnd)) Post(kNotifyGraphRedraw);
}

namespace {

// The graph settings of the default store, copied to the other two stores.
void ForEachStore(const GraphViewHost& host, const std::function<void(TDaten&)>& change) {
    for (const auto& store : {host.defaultStore, host.measurementStore, host.displayStore}) {
        if (!store) continue;
        if (TDaten* data = store()) change(*data);
    }
}

}  // namespace

void TGraphView::SetGraphRange(int32_t range) {
    TDaten* defaults = host.defaultStore ? host.defaultStore() : nullptr;
    if (defaults == nullptr || defaults->GetGraGap() - range < 0) return;
    ForEachStore(host, [range](TDaten& data) { data.SetGraRange(range); });
    Post(kNotifyGraphRedraw);
}

void TGraphView::SetGraphTop(int32_t top) {
    TDaten* defaults = host.defaultStore ? host.defaultStore() : nullptr;
    if (defaults == nullptr || top - defaults->GetGraRange() < 0) return;
    ForEachStore(host, [top](TDaten& data) { data.SetGraGap(top); });
    Post(kNotifyGraphRedraw);
}

void TGraphView::ChooseColor(int32_t id) {
    if (!host.askColor) return;
    const std::optional<TColor> chosen = host.askColor(hDraw->GetColorById(id));
    if (!chosen) return;
    hDraw->SetColorById(id, *chosen);
    Post(kNotifyGraphRedraw);
}

void TGraphView::SetLineWidth(int32_t width) {
    settings.lineWidth = width;
    ApplyLineWidth();
}

void TGraphView::ToggleTrace(int32_t trace) {
    TDaten* measurement = host.measurementStore ? host.measurementStore() : nullptr;
    bool on = false;
    switch (trace) {
    case kTraceLeq:
        on = settings.dLeq = !settings.dLeq;
        if (measurement) measurement->SetShowLeq(on);
        break;
    case kTraceLeqK:
        on = settings.dLeqK = !settings.dLeqK;
        if (measurement) measurement->SetShowLeqK(on);
        break;
    case kTracePeak:
        on = settings.dPeak = !settings.dPeak;
        if (measurement) measurement->SetShowPeak(on);
        break;
    case kTraceLeqP:
        on = settings.dLeqP = !settings.dLeqP;
        break;
    default:
        return;
    }
    traceItems[trace]->setChecked(on);
    Post(kNotifyGraphRedraw);
}

void TGraphView::ToggleDrawMark() {
    settings.drawMark = !settings.drawMark;
    Post(kNotifyGraphRedraw);
}

void TGraphView::BuildMenu() {
    pmGraphic = new QMenu(pbGrafik);
    pmGAutoScroll = AddItem(pmGraphic, QStringLiteral("AutoScroll"), 0, true, [this] { GraphAutoScroll(); });
    pmGBlock = AddItem(pmGraphic, QStringLiteral("Block"), 0, true, [this] { GraphToggleBlock(); });
    AddItem(pmGraphic, QStringLiteral("Anfang"), 0, false, [this] { GraphToStart(); });
    AddItem(pmGraphic, QStringLiteral("Ende"), 0, false, [this] { GraphToEnd(); });
    pmGraphic->addSeparator();

    rangeMenu = pmGraphic->addMenu(QStringLiteral("Anzeigebereich"));
    for (int32_t range : {40, 60, 80, 100})
        AddItem(rangeMenu, QStringLiteral("%1 dB").arg(range), range, true, [this, range] { SetGraphRange(range); });
    QObject::connect(rangeMenu, &QMenu::aboutToShow, rangeMenu, [this] {
        TDaten* defaults = host.defaultStore ? host.defaultStore() : nullptr;
        RangeItem(100)->setEnabled(defaults != nullptr && defaults->GetGraGap() > 80);
    });
    topMenu = pmGraphic->addMenu(QStringLiteral("Obergrenze"));
    for (int32_t top : {160, 140, 120, 100, 80})
        AddItem(topMenu, QStringLiteral("%1 dB").arg(top), top, true, [this, top] { SetGraphTop(top); });
    QObject::connect(topMenu, &QMenu::aboutToShow, topMenu, [this] {
        TDaten* defaults = host.defaultStore ? host.defaultStore() : nullptr;
        TopItem(80)->setEnabled(defaults != nullptr && defaults->GetGraRange() < 100);
    });

    QMenu* colours = pmGraphic->addMenu(QStringLiteral("Farbe"));
    const QString colourCaptions[] = {QStringLiteral("Peak"), QStringLiteral("Leq Kurz"), QStringLiteral("Leq"),
                                      QStringLiteral("Leq Prozent"), QStringLiteral("Beschriftung")};
    for (int32_t id = kGraphColorPeak; id <= kGraphColorLabel; ++id) {
        QAction* item = AddItem(colours, colourCaptions[id], id, false, [this, id] { ChooseColor(id); });
        if (id == kGraphColorLeqK) colourLeqK = item;
        if (id == kGraphColorLeq) colourLeq = item;
    }

    widthMenu = pmGraphic->addMenu(QStringLiteral("Strichstärke"));
    const std::pair<int32_t, QString> widths[] = {
        {1, QStringLiteral("Dünn")}, {2, QStringLiteral("Normal")}, {4, QStringLiteral("Dick")}};
    for (const auto& [tag, caption] : widths)
        AddItem(widthMenu, caption, tag, true, [this, tag = tag] { SetLineWidth(tag); });
    QObject::connect(widthMenu, &QMenu::aboutToShow, widthMenu, [this] {
        for (QAction* item : widthMenu->actions()) item->setChecked(item->data().toInt() == settings.lineWidth);
    });

    QMenu* traces = pmGraphic->addMenu(QStringLiteral("Kurven"));
    const QString traceCaptions[] = {QStringLiteral("Leq"), QStringLiteral("LeqK"), QStringLiteral("Peak"),
                                     QStringLiteral("Leq Prozent")};
    for (int32_t trace = kTraceLeq; trace <= kTraceLeqP; ++trace)
        traceItems[trace] = AddItem(traces, traceCaptions[trace], trace, true, [this, trace] { ToggleTrace(trace); });
    cbDrawMark = AddItem(pmGraphic, QStringLiteral("Markierung"), 0, true, [this] { ToggleDrawMark(); });
    QObject::connect(pmGraphic, &QMenu::aboutToShow, pmGraphic, [this] { PrepareMenu(); });
    NameMenuItems(colours, traces);
}

// The window's captions find the items by these names when the language changes.
void TGraphView::NameMenuItems(QMenu* colours, QMenu* traces) {
    const auto name = [](QObject* item, const char* objectName) {
        if (item) item->setObjectName(QString::fromLatin1(objectName));
    };
    const QList<QAction*> items = pmGraphic->actions();
    name(pmGAutoScroll, "pmGAutoScroll");
    name(pmGBlock, "pmGBlock");
    name(items.value(2), "pmGStart");
    name(items.value(3), "pmGende");
    name(rangeMenu, "Anzeigebereich1");
    name(topMenu, "Obergrenze1");
    name(colours, "Farbe1");
    name(widthMenu, "Strichstrke1");
    name(traces, "Aktive1");
    name(cbDrawMark, "cbDrawMark");
    name(ItemByTag(colours, kGraphColorPeak), "Peak1");
    name(colourLeqK, "LeqKurz1");
    name(colourLeq, "Leq1");
    name(ItemByTag(colours, kGraphColorLabel), "Beschriftung1");
    name(ItemByTag(widthMenu, 1), "Dnn1");
    name(ItemByTag(widthMenu, 2), "Normal1");
    name(ItemByTag(widthMenu, 4), "Dick1");
}

void TGraphView::PrepareMenu() {
    const int32_t lang = language.load();
    if (TDaten* defaults = host.defaultStore ? host.defaultStore() : nullptr) {
        for (QAction* item : rangeMenu->actions()) item->setChecked(item->data().toInt() == defaults->GetGraRange());
        for (QAction* item : topMenu->actions()) item->setChecked(item->data().toInt() == defaults->GetGraGap());
        colourLeqK->setText(defaults->GetLEQKLabel(lang));
    }
    colourLeq->setText(QStringLiteral("LEQ"));
    traceItems[kTraceLeq]->setChecked(settings.dLeq);
    traceItems[kTraceLeqK]->setChecked(settings.dLeqK);
    traceItems[kTracePeak]->setChecked(settings.dPeak);
    traceItems[kTraceLeqP]->setChecked(settings.dLeqP);
    TDaten* measurement = host.measurementStore ? host.measurementStore() : nullptr;
    if (measurement) {
        traceItems[kTraceLeq]->setText(measurement->GetLEQLabel(lang));
        traceItems[kTraceLeqK]->setText(measurement->GetLEQKLabel(lang));
        traceItems[kTracePeak]->setText(measurement->GetPeakLabel());
    }
    cbDrawMark->setChecked(settings.drawMark);
    pmGAutoScroll->setChecked(!hDraw->GetBlock() && hDraw->GetAntPos() == kAntFollow);
    const bool blockPossible =
        host.measuring && host.measuring() && measurement != nullptr && measurement->GetIsInterval();
    pmGBlock->setEnabled(blockPossible);
    pmGBlock->setChecked(blockPossible && hDraw->GetBlock());
}

QAction* TGraphView::RangeItem(int32_t tag) const { return ItemByTag(rangeMenu, tag); }
QAction* TGraphView::TopItem(int32_t tag) const { return ItemByTag(topMenu, tag); }
QAction* TGraphView::WidthItem(int32_t tag) const { return ItemByTag(widthMenu, tag); }
QAction* TGraphView::TraceItem(int32_t trace) const {
    return trace >= kTraceLeq && trace <= kTraceLeqP ? traceItems[trace] : nullptr;
}
