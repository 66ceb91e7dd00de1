// The main window's side of the level graph and the zoom window: creating
// the graph view on the window's panels, the notifications that redraw it,
// and the three zoom operations.
#include <QColorDialog>
#include <QPainter>

#include "main/graph_view.h"
#include "main/main_window.h"
#include "main/zoom_window.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

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
