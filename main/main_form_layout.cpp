#include "main/main_form_layout.h"

#include <algorithm>
#include <cmath>

namespace {

int Rnd(double v) { return static_cast<int>(std::nearbyint(v)); }

// The logo's artwork keeps its aspect ratio at any width.
constexpr double kLogoAspect = 85.34 / 466.34;

}  // namespace

int LeftColumnWidth(int clientWidth, double scale) {
    const int rightMinimum = Rnd(320 * scale);
    if (rightMinimum < Rnd(0.25 * clientWidth)) return Rnd(0.75 * clientWidth);
    return std::max(0, clientWidth - rightMinimum);
}

MainFormGeometry ComputeMainFormLayout(QSize client, double scale, int spacing) {
    MainFormGeometry g;
    const int w = client.width();
    const int h = client.height();
    const int topBarHeight = Rnd(30 * scale);
    const int statusHeight = Rnd(19 * scale);
    g.topBar = QRect(0, 0, w, topBarHeight);
    g.status = QRect(0, h - statusHeight, w, statusHeight);
    const int bodyTop = topBarHeight;
    const int bodyHeight = std::max(0, h - topBarHeight - statusHeight);

    const int leftWidth = LeftColumnWidth(w, scale);
    g.leftFull = QRect(0, bodyTop, leftWidth, bodyHeight);
    const int graphHeight = std::min(bodyHeight, Rnd(190 * scale));
    const int mitteHeight = std::min(bodyHeight - graphHeight, Rnd(144 * scale));
    const int topHeight = bodyHeight - graphHeight - mitteHeight;
    g.top = QRect(0, bodyTop, leftWidth, topHeight);
    g.mitte = QRect(0, g.top.bottom() + 1, leftWidth, mitteHeight);
    g.graph = QRect(0, g.mitte.bottom() + 1, leftWidth, graphHeight);
    const int sliderHeight = std::min(graphHeight, Rnd(36 * scale));
    g.grafik = QRect(0, g.graph.top(), leftWidth, graphHeight - sliderHeight);
    g.sliderG = QRect(0, g.grafik.bottom() + 1, leftWidth, sliderHeight);

    const int rightWidth = w - leftWidth;
    g.right = QRect(leftWidth, bodyTop, rightWidth, bodyHeight);
    const int ipHeight = std::min(bodyHeight, Rnd(36 * scale));
    g.ipInfo = QRect(leftWidth, g.right.bottom() + 1 - ipHeight, rightWidth, ipHeight);
    // The meter and the peak display share the height that the top display
    // areas leave them.
    const int peakHeight = std::max(0, Rnd((topHeight - 5.5 * spacing) / 8.0 * 6.0 + 3.5 * spacing));
    const int vuWidth = std::min(rightWidth, 6 * spacing);
    g.vu = QRect(leftWidth, bodyTop, vuWidth, peakHeight);
    g.peakDisplay = QRect(g.vu.right() + 1, bodyTop, rightWidth - vuWidth, peakHeight);

    const int logoHeight = Rnd(rightWidth * kLogoAspect);
    g.logo = QRect(leftWidth, g.mitte.top() - logoHeight, rightWidth, logoHeight);
    const int innerLeft = g.vu.left() + spacing;
    const int innerWidth = std::max(0, rightWidth - 2 * spacing);
    g.infoMessung = QRect(innerLeft, g.peakDisplay.bottom() + 1, innerWidth,
                          std::max(0, g.logo.top() - g.peakDisplay.bottom() - 1));
    g.runten = QRect(innerLeft, g.logo.bottom() + 1, innerWidth, g.grafik.height());
    g.mInfo = QRect(innerLeft, g.runten.bottom() + 1, innerWidth, std::max(0, g.ipInfo.top() - g.runten.bottom() - 1));
    return g;
}
