// The form of the main window: its drawn panels, their places, the menus and
// the colour scheme.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QResizeEvent>

#include <cmath>

#include "main/graph_view.h"
#include "main/main_form_layout.h"
#include "main/main_window.h"
#include "main/vu_meter_view.h"
#include "ui_kit/info_window.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr intptr_t kLayoutArgument = 4;

// A drawn panel whose contents other parts paint; until then it shows the
// window's background.
TPaintBox32* NewPanel(QWidget* parent) {
    auto* box = new TPaintBox32(parent);
    box->OnPaintBuffer = [](TPaintBox32* b) { b->Buffer().Clear(clBack32); };
    return box;
}

void Place(QWidget* widget, const QRect& r) {
    if (widget) widget->setGeometry(r);
}

}  // namespace

void TVTProMaster::BuildForm() {
    central_ = new QWidget(this);
    central_->setAutoFillBackground(true);
    setCentralWidget(central_);
    pbTopBar_ = NewPanel(central_);
    pbStatus_ = NewPanel(central_);
    pbTop_ = NewPanel(central_);
    pbMitte_ = NewPanel(central_);
    pbGrafik_ = NewPanel(central_);
    pbSliderG_ = NewPanel(central_);
    vuView_ = new TVuMeterView(central_);
    vuView_->vuThread = [this] { return workers_ ? workers_->VuThread() : nullptr; };
    vuView_->measuring = [this] { return GetMessungLaeuft(); };
    vuView_->resetPeakLatch = [this] { ResetVuPeakLatch(); };
    pbPeakDisplay_ = NewPanel(central_);
    pbInfoMessung_ = NewPanel(central_);
    pbLogo_ = NewPanel(central_);
    pbRunten_ = NewPanel(central_);
    pbMInfo_ = NewPanel(central_);
    pbIpInfo_ = NewPanel(central_);
    CreateGraphView();
    BuildValueDisplays();
    BuildInfoPanels();
    BuildMenus();
    setWindowTitle(GetLangText(101));
    resize(990, 720);
}

void TVTProMaster::BuildMenus() {
    fileMenu_ = menuBar()->addMenu(GetLangText(384));
    exitAction_ = fileMenu_->addAction(GetLangText(208));
    connect(exitAction_, &QAction::triggered, this, [this] { Beenden1Click(); });
    settingsMenu_ = menuBar()->addMenu(GetLangText(209));
    resetSettingsAction_ = settingsMenu_->addAction(GetLangText(852));
    connect(resetSettingsAction_, &QAction::triggered, this, [this] { ResetAllSettings(); });
    BuildMeasureMenu();
}

TPaintBox32* TVTProMaster::pbVU() const { return vuView_; }

void TVTProMaster::SetUiScale(double dpi) {
    SetUIScale(dpi / 96.0);
    if (graphView_) graphView_->ApplyUiScale();
    LayoutForm();
}

void TVTProMaster::LayoutForm() {
    if (!central_) return;
    const MainFormGeometry g = ComputeMainFormLayout(central_->size(), UIScale, UISpace);
    Place(pbTopBar_, g.topBar);
    Place(pbStatus_, g.status);
    Place(pbTop_, g.top);
    Place(pbMitte_, g.mitte);
    Place(pbGrafik_, g.grafik);
    Place(pbSliderG_, g.sliderG);
    Place(vuView_, g.vu);
    Place(pbPeakDisplay_, g.peakDisplay);
    Place(pbInfoMessung_, g.infoMessung);
    Place(pbLogo_, g.logo);
    Place(pbRunten_, g.runten);
    Place(pbMInfo_, g.mInfo);
    Place(pbIpInfo_, g.ipInfo);
    PostMainNotify(kNotifyVuLayout, 0);
    PostMainNotify(kNotifyNewValues, kLayoutArgument);
}

void TVTProMaster::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayoutForm();
}

void TVTProMaster::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    PostMainNotify(kNotifyVuLayout, kLayoutArgument);
}

void TVTProMaster::SetDisplayColors(int32_t scheme, bool force) {
    if (!force && scheme == displayLayout.load()) return;
    if (scheme == 0 || scheme == 1) displayLayout.store(scheme);
    SetColorScheme(displayLayout.load());
    const QPalette palette = SchemeWidgetPalette(this->palette());
    setPalette(palette);
    if (central_) central_->setPalette(palette);
    menuBar()->setPalette(palette);
    for (TPaintBox32* box : {pbTopBar_, pbStatus_, pbTop_, pbMitte_, pbGrafik_, pbSliderG_,
                             static_cast<TPaintBox32*>(vuView_), pbPeakDisplay_, pbInfoMessung_, pbLogo_, pbRunten_,
                             pbMInfo_, pbIpInfo_}) {
        if (box) box->Invalidate();
    }
    if (TinfoWindow* window = infoWindow.load()) window->Set_color(clText, clPanel32, clFrame32);
    if (graphView_) graphView_->ApplyColorScheme();
    PostMainNotify(kNotifyClockTick, 0);
    PostMainNotify(kNotifyGraphRedraw, 0);
    PostMainNotify(kNotifyVuLayout, kLayoutArgument);
    PostMainNotify(kNotifyForceValueRedraw, 5);
}
