// The form of the main window: its drawn panels, their places, the menus and
// the colour scheme.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QResizeEvent>
#include <QScreen>
#include <QWindow>

#include <cmath>
#include <utility>

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

// Tells the window when it is on a screen of other pixels per inch: after a
// move to another screen, or when the screen's own setting changes. The
// window's platform window exists from its first showing on.
class TScreenDpiWatch : public QObject {
public:
    explicit TScreenDpiWatch(TVTProMaster* window) : QObject(window), window_(window) {
        window->installEventFilter(this);
        Follow(window->screen());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Show && !windowWatched_ && window_->windowHandle()) {
            windowWatched_ = true;
            connect(window_->windowHandle(), &QWindow::screenChanged, this, [this](QScreen* screen) {
                Follow(screen);
                Changed();
            });
        }
        return false;
    }

private:
    void Follow(QScreen* screen) {
        disconnect(screenConnection_);
        if (screen) {
            screenConnection_ = connect(screen, &QScreen::logicalDotsPerInchChanged, this, [this] { Changed(); });
        }
    }
    void Changed() {
        const double dpi = LogicalDpiOf(window_);
        if (dpi != UIScale * 96.0) window_->FormAfterMonitorDpiChanged(dpi);
    }

    TVTProMaster* window_;
    bool windowWatched_ = false;
    QMetaObject::Connection screenConnection_;
};

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
    NamePanels();
    CreateTrayIcon();
    WatchScreenDpi();
    setWindowTitle(GetLangText(101));
    resize(990, 720);
}

// Under their component names, so that tests and the captions find them.
void TVTProMaster::NamePanels() {
    const std::pair<QWidget*, const char*> panels[] = {
        {pbTopBar_, "pbTopBar"}, {pbStatus_, "pbStatus"}, {pbTop_, "pbTop"}, {pbMitte_, "pbMitte"},
        {pbGrafik_, "pbGrafik"}, {pbSliderG_, "pbSliderG"}, {vuView_, "pbVU"}, {pbPeakDisplay_, "pbPeakDisplay"},
        {pbInfoMessung_, "pbInfoMessung"}, {pbLogo_, "pbLogo"}, {pbRunten_, "pbRunten"}, {pbMInfo_, "pbMInfo"},
        {pbIpInfo_, "pbIpInfo"}};
    for (const auto& [panel, name] : panels) {
        if (panel) panel->setObjectName(QString::fromLatin1(name));
    }
}

void TVTProMaster::BuildMenus() {
    fileMenu_ = menuBar()->addMenu(GetLangText(384));
    exitAction_ = fileMenu_->addAction(GetLangText(208));
    connect(exitAction_, &QAction::triggered, this, [this] { Beenden1Click(); });
    settingsMenu_ = menuBar()->addMenu(GetLangText(209));
    resetSettingsAction_ = settingsMenu_->addAction(GetLangText(852));
    connect(resetSettingsAction_, &QAction::triggered, this, [this] { ResetAllSettings(); });
    BuildMeasureMenu();
    BuildMainMenu();
}

TPaintBox32* TVTProMaster::pbVU() const { return vuView_; }

void TVTProMaster::WatchScreenDpi() { new TScreenDpiWatch(this); }

void TVTProMaster::SetUiScale(double dpi) {
    SetUIScale(dpi / 96.0);
    iIcon_ = RoundI(22 * UIScale);
    if (graphView_) graphView_->ApplyUiScale();
    for (TPaintBox32* box : {pbStatus_, pbRunten_, pbIpInfo_, pbInfoMessung_, pbMInfo_}) {
        if (box) box->Buffer().Font.height = RoundI(-12 * UIScale);
    }
    FormResize();
}

void TVTProMaster::FormResize() {
    if (!central_) return;
    PlaceFrame(geometry_, central_->size(), UIScale, !menuBar()->isHidden());
    Place(pbTopBar_, geometry_.topBar);
    Place(pbStatus_, geometry_.status);
    pLeftFullResize();
    pRightResize();
    PostMainNotify(kNotifyNewValues, kLayoutArgument);
}

void TVTProMaster::FormShow() {
    PostMainNotify(kNotifyVuLayout, kLayoutArgument);
    // The protocol window comes to the front here once it exists.
}

void TVTProMaster::pLeftFullResize() {
    LayoutLeftColumn(geometry_, UIScale);
    Place(pbTop_, geometry_.top);
    Place(pbMitte_, geometry_.mitte);
    Place(pbGrafik_, geometry_.grafik);
    Place(pbSliderG_, geometry_.sliderG);
    // The lower areas lay themselves out when they paint.
    for (TPaintBox32* box : {pbTop_, pbMitte_, pbGrafik_}) {
        if (box) box->Invalidate();
    }
}

void TVTProMaster::pRightResize() {
    LayoutRightPanel(geometry_, UIScale, UISpace);
    Place(vuView_, geometry_.vu);
    Place(pbPeakDisplay_, geometry_.peakDisplay);
    Place(pbIpInfo_, geometry_.ipInfo);
    Place(pbInfoMessung_, geometry_.infoMessung);
    Place(pbMInfo_, geometry_.mInfo);
    PlaceLogo();
    PlaceLowerInfo();
    PostMainNotify(kNotifyVuLayout, 0);
}

void TVTProMaster::PlaceLogo() {
    ::PlaceLogo(geometry_);
    Place(pbLogo_, geometry_.logo);
    if (pbLogo_) pbLogo_->Invalidate();
}

void TVTProMaster::PlaceLowerInfo() {
    ::PlaceLowerInfo(geometry_, UISpace);
    Place(pbRunten_, geometry_.runten);
}

void TVTProMaster::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TVTProMaster::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormShow();
}

void TVTProMaster::SetDisplayColors(int32_t scheme, bool force) {
    if (!force && scheme == displayLayout.load()) return;
    if (scheme == 0 || scheme == 1) displayLayout.store(scheme);
    SetColorScheme(displayLayout.load());
    for (TPaintBox32* box : {pbTop_, pbMitte_}) {
        if (box) box->Buffer().Clear(clBack32);
    }
    const QPalette palette = SchemeWidgetPalette(this->palette());
    setPalette(palette);
    if (central_) central_->setPalette(palette);
    menuBar()->setPalette(palette);
    for (TPaintBox32* box : {pbMInfo_, pbInfoMessung_, static_cast<TPaintBox32*>(vuView_), pbStatus_, pbRunten_,
                             pbIpInfo_}) {
        if (box) box->Buffer().Font.color = clText;
    }
    SetIconColors();
    for (TPaintBox32* box : {pbTopBar_, pbStatus_, pbTop_, pbMitte_, pbGrafik_, pbSliderG_,
                             static_cast<TPaintBox32*>(vuView_), pbPeakDisplay_, pbInfoMessung_, pbLogo_, pbRunten_,
                             pbMInfo_, pbIpInfo_}) {
        if (box) box->Invalidate();
    }
    if (TinfoWindow* window = infoWindow.load()) window->Set_color(clText, clPanel32, clFrame32);
    if (graphView_) graphView_->ApplyColorScheme();
    RefreshValueDisplays();
    PostMainNotify(kNotifyClockTick, 0);
    PostMainNotify(kNotifyGraphRedraw, 0);
    PostMainNotify(kNotifyVuLayout, kLayoutArgument);
    PostMainNotify(kNotifyForceValueRedraw, 5);
}
