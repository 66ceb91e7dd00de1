#pragma once
// The geometry of the main form: the top bar, the status line, the left
// column with the display areas and the graph, and the right panel with the
// level meter, the peak display and the info panels. Computed from the
// client size and the UI scale alone, so that every size can be checked.
// All rectangles are in the coordinates of the form's client area.
#include <QRect>
#include <QSize>

struct MainFormGeometry {
    QRect topBar, status;
    QRect leftFull, top, mitte, graph, grafik, sliderG;
    QRect right, vu, peakDisplay, infoMessung, logo, runten, mInfo, ipInfo;
};

// The width of the left column: three quarters of the client width while the
// right panel keeps at least 320 x scale pixels, otherwise all but those.
int LeftColumnWidth(int clientWidth, double scale);

// The top bar, the status line and the two columns between them.
// The top bar is a thin strip while the menu bar shows, and holds the
// start/stop, menu and close squares while it is hidden.
int TopBarHeight(bool menuShown, double scale);
void PlaceFrame(MainFormGeometry& g, QSize client, double scale, bool menuShown = true);
// The top display areas over the lower ones over the graph and its slider.
void LayoutLeftColumn(MainFormGeometry& g, double scale);
// The meter at the right panel's top left, 6 x spacing wide, beside the peak
// display; the address line at the bottom; then the logo, the lower info
// area and the boxes around them.
void LayoutRightPanel(MainFormGeometry& g, double scale, int spacing);
// The logo across the right panel, its bottom on the lower areas' top.
void PlaceLogo(MainFormGeometry& g);
// The lower info area under the logo, as high as the graph.
void PlaceLowerInfo(MainFormGeometry& g, int spacing);

MainFormGeometry ComputeMainFormLayout(QSize client, double scale, int spacing, bool menuShown = true);
