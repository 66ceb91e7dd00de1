#include "main/main_form_layout.h"

#include <algorithm>
#include <cmath>

#include "main/icon_collection.h"

namespace {

int Rnd(double v) { return static_cast<int>(std::nearbyint(v)); }

// The logo's artwork keeps its aspect ratio at any width.
constexpr double kLogoAspect = kLogoHeight / kLogoWidth;

}  // namespace

int LeftColumnWidth(int clientWidth, double scale) {
    const int rightMinimum = Rnd(320 * scale);
    if (rightMinimum < Rnd(0.25 * clientWidth)) return Rnd(0.75 * clientWidth);
    return std::max(0, clientWidth - rightMinimum);
}

void PlaceFrame(MainFormGeometry& g, QSize client, double scale, bool menuShown) {
    const int w = std::max(0, client.width());
    const int h = std::max(0, client.height());
    const int topBarHeight = std::min(h, TopBarHeight(menuShown, scale));
    const int statusHeight = std::min(h - topBarHeight, Rnd(19 * scale));
    g.topBar = QRect(0, 0, w, topBarHeight);
    g.status = QRect(0, h - statusHeight, w, statusHeight);
    const int bodyHeight = h - topBarHeight - statusHeight;
    const int leftWidth = LeftColumnWidth(w, scale);
    g.leftFull = QRect(0, topBarHeight, leftWidth, bodyHeight);
    g.right = QRect(leftWidth, topBarHeight, w - leftWidth, bodyHeight);
}

void LayoutLeftColumn(MainFormGeometry& g, double scale) {
    const QRect& c = g.leftFull;
    const int graphHeight = std::min(c.height(), Rnd(190 * scale));
    const int mitteHeight = std::min(c.height() - graphHeight, Rnd(144 * scale));
    const int topHeight = c.height() - graphHeight - mitteHeight;
    g.top = QRect(c.left(), c.top(), c.width(), topHeight);
    g.mitte = QRect(c.left(), g.top.bottom() + 1, c.width(), mitteHeight);
    g.graph = QRect(c.left(), g.mitte.bottom() + 1, c.width(), graphHeight);
    const int sliderHeight = std::min(graphHeight, Rnd(36 * scale));
    g.grafik = QRect(c.left(), g.graph.top(), c.width(), graphHeight - sliderHeight);
    g.sliderG = QRect(c.left(), g.grafik.bottom() + 1, c.width(), sliderHeight);
}

void LayoutRightPanel(MainFormGeometry& g, double scale, int spacing) {
    const QRect& c = g.right;
    const int ipHeight = std::min(c.height(), Rnd(36 * scale));
    g.ipInfo = QRect(c.left(), c.bottom() + 1 - ipHeight, c.width(), ipHeight);
    // The meter and the peak display share the height that the top display
    // areas leave them.
    const int peakHeight = std::clamp(Rnd((g.top.height() - 5.5 * spacing) / 8.0 * 6.0 + 3.5 * spacing), 0,
                                      std::max(0, g.top.height()));
    const int vuWidth = std::min(c.width(), 6 * spacing);
    g.vu = QRect(c.left(), c.top(), vuWidth, peakHeight);
    g.peakDisplay = QRect(g.vu.right() + 1, c.top(), c.width() - vuWidth, peakHeight);
    PlaceLogo(g);
    PlaceLowerInfo(g, spacing);
    g.infoMessung = QRect(g.runten.left(), g.peakDisplay.bottom() + 1, g.runten.width(),
                          std::max(0, g.logo.top() - g.peakDisplay.bottom() - 1));
    g.mInfo = QRect(g.runten.left(), g.runten.bottom() + 1, g.runten.width(),
                    std::max(0, g.ipInfo.top() - g.runten.bottom() - 1));
}

void PlaceLogo(MainFormGeometry& g) {
    const int width = g.right.width();
    // On a very low window the logo shrinks rather than reach over the meter.
    const int room = std::max(0, g.mitte.top() - g.peakDisplay.bottom() - 1);
    const int height = std::min(room, Rnd(width * kLogoAspect));
    g.logo = QRect(g.right.left(), g.mitte.top() - height, width, height);
}

void PlaceLowerInfo(MainFormGeometry& g, int spacing) {
    const int height = std::min(g.grafik.height(), std::max(0, g.ipInfo.top() - g.logo.bottom() - 1));
    g.runten = QRect(g.vu.left() + spacing, g.logo.bottom() + 1, std::max(0, g.right.width() - 2 * spacing), height);
}

int TopBarHeight(bool menuShown, double scale) { return Rnd((menuShown ? 10 : 30) * scale); }

MainFormGeometry ComputeMainFormLayout(QSize client, double scale, int spacing, bool menuShown) {
    MainFormGeometry g;
    PlaceFrame(g, client, scale, menuShown);
    LayoutLeftColumn(g, scale);
    LayoutRightPanel(g, scale, spacing);
    return g;
}
