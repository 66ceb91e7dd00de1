// The main window's side of the level graph and the zoom window: creating
// the graph view on the window's panels, the notifications that redraw it,
// and the three zoom operations.
#include <QColorDialog>
#include <QPainter>
#include <QSvgRenderer>

#include "main/graph_view.h"
#include "main/main_window.h"
#include "main/zoom_window.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

namespace {

// Icon 2 of the window's icon collection ("setup"): a gear in the text colour.
const char* const kSetupIconSvg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">
<path fill="none" stroke="COLOUR" stroke-width="1.6" stroke-linejoin="round"
 d="M10.3 2h3.4l.5 2.6 1.9.8 2.2-1.5 2.4 2.4-1.5 2.2.8 1.9 2.6.5v3.4l-2.6.5-.8 1.9 1.5 2.2-2.4 2.4-2.2-1.5-1.9.8-.5 2.6h-3.4l-.5-2.6-1.9-.8-2.2 1.5-2.4-2.4 1.5-2.2-.8-1.9L2 13.7v-3.4l2.6-.5.8-1.9-1.5-2.2 2.4-2.4 2.2 1.5 1.9-.8z"/>
<circle cx="12" cy="12" r="3.4" fill="none" stroke="COLOUR" stroke-width="1.6"/>
</svg>)";

}  // namespace

void DrawSetupIcon(QPainter& painter, const QRectF& square) {
    QByteArray svg(kSetupIconSvg);
    svg.replace("COLOUR", QColorOf(clText).name().toLatin1());
    QSvgRenderer renderer(svg);
    renderer.render(&painter, square);
}

void TVTProMaster::CreateGraphView() {
    GraphViewHost host;
    host.post = [](uintptr_t code, intptr_t argument) { PostMainNotify(code, argument); };
    host.measuring = [this] { return GetMessungLaeuft(); };
    host.displayStore = [this] { return fields_.AnzeigeDaten.load(); };
    host.defaultStore = [] { return defaultDaten.load(); };
    host.measurementStore = [] { return messDaten.load(); };
    host.drawIcon = [this](QPainter& painter, int32_t index, const QRectF& square) {
        DrawSvgIcon(painter, index, square);
    };
    host.askColor = [this](TColor preset) -> std::optional<TColor> {
        const QColor chosen = QColorDialog::getColor(QColorOf(preset), this);
        if (!chosen.isValid()) return std::nullopt;
        return RGBColor(chosen.red(), chosen.green(), chosen.blue());
    };
    graphView_ = std::make_unique<TGraphView>(pbGrafik_, pbSliderG_, settings_, std::move(host));
    zoom_ = std::make_unique<TZoomControl>(this, settings_.zoomWindowX, settings_.zoomWindowY);
}

void TVTProMaster::ShowZoomWindow(const QString& theNewInfo, const QString& theHeader, int32_t zoomId) {
    if (zoom_) zoom_->ShowZoomWindow(theNewInfo, theHeader, zoomId);
}

void TVTProMaster::CloseZoomWindow() {
    if (zoom_) zoom_->CloseZoomWindow();
}

void TVTProMaster::RefreshEventZoom(bool showIt) {
    if (zoom_) zoom_->RefreshEventZoom(showIt, events_.Lines());
}
