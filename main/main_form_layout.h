#pragma once
// The geometry of the main form: the top bar, the status line, the left
// column with the display areas and the graph, and the right panel with the
// level meter, the peak display and the info panels. Computed from the
// client size and the UI scale alone, so that every size can be checked.
#include <QRect>
#include <QSize>

struct MainFormGeometry {
    QRect topBar, status;
    QRect leftFull, top, mitte, graph, grafik, sliderG;  // in form coordinates
    QRect right, vu, peakDisplay, infoMessung, logo, runten, mInfo, ipInfo;
};

// The width of the left column: three quarters of the client width while the
// right panel keeps at least 320 x scale pixels, otherwise all but those.
int LeftColumnWidth(int clientWidth, double scale);

MainFormGeometry ComputeMainFormLayout(QSize client, double scale, int spacing);
