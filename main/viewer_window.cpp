// The measurement viewer as the main window runs it: at most one viewer,
// opened from the protocol menu, the lower information area or a file named
// at start; its view and position are remembered when it closes.
#include <QAction>
#include <QFileInfo>
#include <QMenu>

#include "main/graph_view.h"
#include "main/main_window.h"
#include "reports/level_graph.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"

void TVTProMaster::WireViewerAction() {
    QAction* show = nullptr;
    for (QAction* action : reportMenu_->actions())
        if (action->objectName() == QLatin1String("aShowProt")) show = action;
    if (show == nullptr) return;
    show->setEnabled(true);
    connect(show, &QAction::triggered, this, [this] { ShowProtocol(lastProt); });
}

void TVTProMaster::RegisterViewerNotifications() {
    dispatch_.Add(kNotifyViewerClosed, [this](int32_t how) { ViewerClosed(how); });
    dispatch_.Add(kNotifyOpenFileInViewer, [this](int32_t) { ShowProtocol(FileToOpen); });
}

void TVTProMaster::ViewerClosed(int32_t how) {
    // Only this window releases the viewer, so its farewell (3) has nothing
    // left to forget; it may even arrive after a new viewer was opened.
    if (how == 2) CloseProtocolWindow();
}

void TVTProMaster::CloseProtocolWindow() {
    if (!hProt_) return;
    lastProtMode_ = hProt_->getMode();
    protPos_ = hProt_->pos();
    std::unique_ptr<TProtokoll> viewer = std::move(hProt_);
    viewer->hide();
}

void TVTProMaster::ShowProtocol(const QString& file) {
    try {
        const bool isNew = !hProt_;
        if (isNew) hProt_ = std::make_unique<TProtokoll>(this);
        TProtokoll& viewer = *hProt_;
        viewer.Set_msg(handle_, WM_MAIN_NOTIFY, kNotifyViewerClosed);
        if (graphView_) {
            TLeqGrafik& own = graphView_->Painter();
            TLeqGrafik& lg = viewer.Graph();
            lg.SetBackgroundColor(0xFF000000u);
            lg.SetLabelColor(own.GetLabelColor());
            lg.SetLEQcolor(own.GetLEQColor());
            lg.SetLEQKurzColor(own.getLEQKurzColor());
            lg.SetPeakColor(own.getPEAKColor());
            lg.SetWidth(own.GetWidth());
        }
        const bool running = GetMessungLaeuft();
        bool loaded = false;
        if (running) {
            if (const TDaten* run = messDaten.load()) loaded = viewer.LoadProt(*run);
        } else if (QFileInfo(file).isFile()) {
            loaded = viewer.LoadProt(file);
        }
        if (isNew) viewer.SetMode(running && lastProtMode_ == TProtokoll::kReportText ? TProtokoll::kCurves
                                                                                     : lastProtMode_);
        if (viewer.isMinimized()) viewer.showNormal();
        if (protPos_.x() >= 0) viewer.move(FitRectToWorkArea(QRect(protPos_, viewer.frameGeometry().size())));
        protPos_ = viewer.pos();
        if (!loaded && !running) {
            if (viewer.DoFileSelect() == 2) {
                PostMainNotify(kNotifyViewerClosed, 2);
                return;
            }
            loaded = true;
        }
        if (loaded) {
            viewer.show();
            viewer.raise();
            viewer.activateWindow();
        }
    } catch (const std::exception&) {
        AddEventMessage(QStringLiteral("Except Show Prot"), false, !GetMessungLaeuft());
    }
}
