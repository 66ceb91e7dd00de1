#include "ui_kit/palette.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"

// The dark scheme is the program's default, so the palette starts with it.
TColor clBack = RGBColor(0, 0, 0);
TColor32 clBack32 = Opaque32(0, 0, 0);
TColor clText = RGBColor(230, 230, 230);
TColor32 clText32 = Opaque32(230, 230, 230);
TColor clTextOff = RGBColor(70, 70, 70);
TColor clValueText = RGBColor(255, 255, 255);
TColor32 clValueText32 = Opaque32(255, 255, 255);
TColor clSideText = RGBColor(230, 230, 230);
TColor32 clSideText32 = Opaque32(230, 230, 230);
TColor32 clFrame32 = Opaque32(255, 255, 255);
TColor32 clInk32 = Opaque32(255, 255, 255);
TColor32 clHover32 = Opaque32(48, 48, 48);
TColor clHover = RGBColor(48, 48, 48);
TColor32 clAccent32 = Opaque32(0, 177, 235);
TColor32 clSelected32 = Opaque32(0, 177, 235);
TColor32 clButtonLine32 = Opaque32(255, 255, 255);
TColor32 clLightGrey32 = Opaque32(191, 191, 191);
TColor32 clOn32 = Opaque32(0, 255, 102);
TColor32 clRing32 = Opaque32(127, 127, 127);
TColor32 clUnselected32 = Opaque32(191, 191, 191);
TColor32 clSwitchBack32 = Opaque32(0, 0, 0);
TColor clList = RGBColor(16, 16, 16);
TColor clListText = RGBColor(230, 230, 230);
TColor clListTextOff = RGBColor(182, 182, 182);
TColor clPanel = RGBColor(31, 31, 31);
TColor32 clPanel32 = Opaque32(31, 31, 31);
TColor clGauge = RGBColor(95, 95, 95);
TColor32 clGauge32 = Opaque32(95, 95, 95);
TColor32 clNeutral32 = Opaque32(192, 192, 208);
TColor clGreen = RGBColor(0, 255, 102);
TColor clYellow = RGBColor(241, 229, 19);
TColor clRed = RGBColor(230, 76, 88);
TColor32 clGreen32 = Opaque32(0, 255, 102);
TColor32 clYellow32 = Opaque32(241, 229, 19);
TColor32 clRed32 = Opaque32(230, 76, 88);
double FieldRadius = 6.0;
bool FieldFramed = false;

double UIScale = 1.0;
int32_t UISpace = 16;
int32_t UISpaceSmall = 7;
int32_t UISpaceHalf = 8;
int32_t UISpaceLarge = 32;

std::array<QRect, kFieldCount> FieldRect{};
std::array<int32_t, kBaselineCount> FieldBaseline{};
int32_t SideTextHeight = -12;

QString InfoLineText;

namespace {

bool boldLabels = false;

void SetStateColors() {
    clGreen = RGBColor(0, 255, 102);
    clYellow = RGBColor(241, 229, 19);
    clRed = RGBColor(230, 76, 88);
}

void SetLightScheme() {
    clBack = RGBColor(230, 230, 230);
    clAccent32 = Opaque32(0, 177, 235);
    clNeutral32 = Opaque32(211, 211, 211);
    clFrame32 = Opaque32(51, 0, 153);
    clHover32 = Opaque32(0, 177, 235);
    clInk32 = Opaque32(0, 0, 0);
    clSideText = RGBColor(0, 0, 0);
    clText = RGBColor(0, 0, 0);
    clTextOff = RGBColor(128, 128, 128);
    clValueText = RGBColor(0, 0, 0);
    clList = RGBColor(224, 224, 224);
    clListText = RGBColor(0, 0, 0);
    clListTextOff = RGBColor(128, 128, 128);
    FieldFramed = false;
    SetStateColors();
    clButtonLine32 = Opaque32(255, 255, 255);
    FieldRadius = 6.0;
    clLightGrey32 = Opaque32(191, 191, 191);
    clRing32 = Opaque32(0, 0, 0);
    clUnselected32 = Color32(clBack);
    clPanel = WinColor(clNeutral32);
    clGauge = RGBColor(111, 111, 111);
}

void SetDarkScheme() {
    clBack = RGBColor(0, 0, 0);
    clHover32 = Color32(RGBColor(48, 48, 48));
    clNeutral32 = Opaque32(192, 192, 208);
    clInk32 = Opaque32(255, 255, 255);
    clSideText = RGBColor(230, 230, 230);
    clAccent32 = Opaque32(0, 177, 235);
    clText = RGBColor(230, 230, 230);
    clTextOff = RGBColor(70, 70, 70);
    clFrame32 = Opaque32(255, 255, 255);
    clValueText = RGBColor(255, 255, 255);
    clList = RGBColor(16, 16, 16);
    clListText = clText;
    clListTextOff = RGBColor(182, 182, 182);
    clPanel = RGBColor(31, 31, 31);
    FieldFramed = false;
    SetStateColors();
    FieldRadius = 6.0;
    clButtonLine32 = Opaque32(255, 255, 255);
    clLightGrey32 = Opaque32(191, 191, 191);
    clRing32 = Opaque32(127, 127, 127);
    clUnselected32 = clLightGrey32;
    clGauge = RGBColor(95, 95, 95);
}

bool ValidField(int32_t index, int32_t count) { return index >= 0 && index < count; }

int32_t FieldRight(const QRect& r) { return r.x() + r.width(); }
int32_t FieldBottom(const QRect& r) { return r.y() + r.height(); }

// Value and unit texts take the caller's state colour only in the dark
// scheme; the light scheme draws them on the state colour instead.
TColor FieldTextColor(TColor given) { return displayLayout.load() == kSchemeLight ? clValueText : given; }

}  // namespace

int32_t RoundI(double v) {
    if (std::isnan(v)) return 0;
    const double r = std::nearbyint(v);
    if (r >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

void SetColorScheme(int32_t scheme) {
    if (scheme == kSchemeLight) SetLightScheme();
    else if (scheme == kSchemeDark) SetDarkScheme();
    UpdateColor32Copies();
}

void UpdateColor32Copies() {
    clYellow32 = Color32(clYellow);
    clGreen32 = Color32(clGreen);
    clRed32 = Color32(clRed);
    clBack32 = Color32(clBack);
    clValueText32 = Color32(clValueText);
    clText32 = Color32(clText);
    clSideText32 = Color32(clSideText);
    clHover = WinColor(clHover32);
    clPanel32 = Color32(clPanel);
    clGauge32 = Color32(clGauge);
    clOn32 = clGreen32;
    clSwitchBack32 = clBack32;
    clSelected32 = clAccent32;
}

TColor32 StateColor32(int32_t state) {
    switch (state) {
    case 1: return clGreen32;
    case 2: return clYellow32;
    case 3: return clRed32;
    default: return clNeutral32;
    }
}

TColor StateColor(int32_t state) {
    switch (state) {
    case 1: return clGreen;
    case 2: return clYellow;
    case 3: return clRed;
    default: return WinColor(clNeutral32);
    }
}

uint32_t GdipColor(int32_t alpha, TColor color) {
    if (alpha < 0 || alpha > 255) {
        throw std::out_of_range("GdipColor: alpha " + std::to_string(alpha) + " is outside 0..255");
    }
    const TColor rgb = ColorToRGB(color);
    return ARGB32(alpha, rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

void SetUIScale(double scale) {
    if (!std::isfinite(scale) || scale < 0.25 || scale > 16.0) {
        throw std::invalid_argument("UI scale " + std::to_string(scale) + " is outside 0.25 .. 16");
    }
    UIScale = scale;
    UISpace = RoundI(16 * scale);
    UISpaceSmall = RoundI(7 * scale);
    UISpaceHalf = RoundI(0.5 * UISpace);
    UISpaceLarge = RoundI(32 * scale);
}

QPalette SchemeWidgetPalette(QPalette palette) {
    palette.setColor(QPalette::Window, QColorOf(clBack));
    palette.setColor(QPalette::WindowText, QColorOf(clText));
    palette.setColor(QPalette::Button, QColorOf(clBack));
    palette.setColor(QPalette::ButtonText, QColorOf(clText));
    palette.setColor(QPalette::Base, QColorOf(clBack));
    palette.setColor(QPalette::Text, QColorOf(clText));
    return palette;
}

double LogicalDpiOf(const QWidget* widget) {
    QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return 96.0;
    const double dpi = screen->logicalDotsPerInch();
    return std::isfinite(dpi) && dpi > 0 ? dpi : 96.0;
}

bool GetBoldLabel() { return boldLabels; }
void SetBoldLabel(bool bold) { boldLabels = bold; }

void DrawFieldValue(TBitmap32& bitmap, int32_t index, const QString& text, TColor color, int32_t height) {
    if (!ValidField(index, kBaselineCount)) return;
    const QRect& field = FieldRect[index];
    const int32_t w = field.width();
    if (w < 20) return;
    bitmap.Font.height = height;
    bitmap.Font.bold = boldLabels;
    QSize extent = bitmap.TextExtent(text);
    const double f = extent.width() / (w * 0.98);
    if (f > 1) {
        bitmap.Font.height = RoundI(height / f);
        extent = bitmap.TextExtent(text);
    }
    const int32_t x = RoundI(field.x() + (w - extent.width()) * 0.5);
    const int32_t y = FieldBaseline[index] - extent.height();
    bitmap.Font.color = FieldTextColor(color);
    bitmap.Textout(x, y, text);
    bitmap.Font.bold = false;
}

void DrawFieldUnit(TBitmap32& bitmap, int32_t index, const QString& text, TColor color, int32_t height) {
    if (!ValidField(index, kFieldCount)) return;
    const QRect& field = FieldRect[index];
    bitmap.Font.height = height;
    bitmap.Font.bold = boldLabels;
    const QSize extent = bitmap.TextExtent(text);
    const int32_t x = RoundI(field.x() + field.width() * 0.47 - extent.width());
    const int32_t y = RoundI(FieldBottom(field) - (field.height() + extent.height()) * 0.5);
    bitmap.Font.color = FieldTextColor(color);
    bitmap.Textout(x, y, text);
    bitmap.Font.bold = false;
}

void DrawFieldSideText(TBitmap32& bitmap, int32_t index, const QString& text) {
    if (!ValidField(index, kFieldCount)) return;
    const QRect& field = FieldRect[index];
    const int32_t w = field.width();
    bitmap.Font.color = clSideText;
    bitmap.Font.height = SideTextHeight;
    const int32_t x1 = field.x() + RoundI(w * 0.5);
    const int32_t x2 = RoundI(FieldRight(field) - w * 0.02);
    const int32_t bottom = FieldBottom(field);
    if (x2 <= x1) return;
    const uint32_t flags = kTextLeft | kTextWordBreak;
    const QRect measured = bitmap.MeasureText(QRect(x1, 0, x2 - x1, bottom), text, flags);
    const int32_t y = RoundI((field.height() - measured.height()) * 0.5 + field.y());
    bitmap.DrawText(QRect(x1, y, x2 - x1, bottom - y), text, flags);
}

void DrawFieldFrame(TBitmap32& bitmap, int32_t index, TColor32 fill, bool strokeVisible, bool fillVisible,
                    double radius) {
    if (!ValidField(index, kFieldCount)) return;
    if (!strokeVisible && !fillVisible) return;
    const QRect& field = FieldRect[index];
    if (field.width() <= 10) return;
    auto canvas = CreateCanvas32(bitmap);
    SetCanvasColors(canvas.get(), clFrame32, fill, 1.0);
    canvas->StrokeBrush().visible = strokeVisible;
    canvas->FillBrush().visible = fillVisible;
    double r = radius > 1 ? radius : radius * 0.5 * field.height();
    if (r > field.width() * 0.5) r = field.width() * 0.5;
    const QRectF area(field);
    if (r > 1) canvas->RoundRect(area, r);
    else canvas->Rectangle(area);
}

namespace {

// The outline of the gauge bar in vector style: down the left edge, along the
// bottom, around the bottom-right corner and, for a tall bar, up the right
// edge and around the top-right corner, each stopping at the bar's height.
QVector<QPointF> GaugeBarOutline(double G, double T, double R, double B, double r, double fillTop) {
    constexpr int kArcSteps = 24;
    QVector<QPointF> points;
    points.append(QPointF(G, fillTop));
    points.append(QPointF(G, B));
    points.append(QPointF(R - r, B));
    // Bottom-right corner around (R - r, B - r), from the bottom to the right edge.
    const double cx = R - r;
    const double cy = B - r;
    double endBottom = M_PI / 2;
    if (fillTop > B - r) endBottom = std::acos(std::clamp((fillTop - cy) / r, -1.0, 1.0));
    for (int i = 1; i <= kArcSteps; ++i) {
        const double phi = endBottom * i / kArcSteps;
        points.append(QPointF(cx + r * std::sin(phi), cy + r * std::cos(phi)));
    }
    if (fillTop <= B - r) {
        if (fillTop >= T + r) {
            points.append(QPointF(R, fillTop));
        } else {
            points.append(QPointF(R, T + r));
            // Top-right corner around (R - r, T + r), from the right edge upwards.
            const double cyTop = T + r;
            const double endTop = std::asin(std::clamp((cyTop - fillTop) / r, -1.0, 1.0));
            for (int i = 1; i <= kArcSteps; ++i) {
                const double psi = endTop * i / kArcSteps;
                points.append(QPointF(cx + r * std::cos(psi), cyTop - r * std::sin(psi)));
            }
        }
    }
    return points;
}

}  // namespace

void DrawFieldGauge(int32_t index, double fraction, TBitmap32& bitmap, double radius) {
    if (!ValidField(index, kFieldCount)) return;
    if (messDaten.load() == nullptr) return;
    const QRect& field = FieldRect[index];
    const int32_t w = field.width();
    const int32_t h = field.height();
    if (w <= 0 || h <= 0) return;
    const double f = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
    const int32_t T = field.y();
    const int32_t B = FieldBottom(field);
    const int32_t R = FieldRight(field);
    const int32_t G = RoundI(R - w * 0.05);
    const int32_t fillTop = RoundI(B - f * h);

    if (radius > 0) {
        double r = radius < 1 ? radius * 0.5 * h : radius;
        // A corner can be no larger than the strip allows.
        r = std::min({r, static_cast<double>(R - G), h * 0.5});
        auto canvas = CreateCanvas32(bitmap);
        SetCanvasColors(canvas.get(), clGauge32, clGauge32, 1.0);
        canvas->FillBrush().visible = false;
        canvas->Line(QPointF(G, T), QPointF(G, B));
        for (int i = 1; i <= 3; ++i) {
            const double y = T + i * 0.25 * h;
            canvas->Line(QPointF(G, y), QPointF(R, y));
        }
        if (fillTop < B && r > 0) {
            canvas->FillBrush().visible = true;
            canvas->StrokeBrush().visible = false;
            canvas->Polygon(GaugeBarOutline(G, T, R, B, r, fillTop));
        }
        return;
    }
    bitmap.FrameRect(QRect(G, T, R - G, B - T), clFrame32);
    for (int i = 1; i <= 3; ++i) bitmap.HorzLine(G, RoundI(T + h * 0.25 * i), R - 1, clFrame32);
    bitmap.FillRect(QRect(G, fillTop, R - G, B - fillTop), clFrame32);
}

bool SetInfoLine(const QString& text) {
    if (text == InfoLineText) return false;
    InfoLineText = text;
    PostMainNotify(kNotifyStatusText, 0);
    return true;
}

std::unique_ptr<TCanvas32> CreateCanvas32(TBitmap32& bitmap) { return std::make_unique<TCanvas32>(bitmap); }

void SetCanvasColors(TCanvas32* canvas, TColor32 stroke, TColor32 fill, double strokeWidth) {
    if (canvas == nullptr || canvas->BrushCount() < 2) return;
    canvas->StrokeBrush().width = strokeWidth;
    canvas->StrokeBrush().color = stroke;
    canvas->FillBrush().color = fill;
}

QRectF HalfInsetRect(const QRect& r, double lineWidth) {
    const double h = lineWidth * 0.5;
    return QRectF(r.x() + h, r.y() + h, r.width() - lineWidth, r.height() - lineWidth);
}

void SetBoxFont(TPaintBox32* box, double points) {
    if (box == nullptr) return;
    TFont32& font = box->Buffer().Font;
    font.name = QStringLiteral("VERDANA");
    font.color = clText;
    font.height = RoundI(points * -1.3333333333333333);
}

void SetBoxFontScaled(TPaintBox32* box, double scale) { SetBoxFont(box, RoundI(9 * scale)); }

void SetLabelStyle(QLabel* label, double scale) {
    if (label == nullptr) return;
    TFont32 style;
    style.height = RoundI(-12 * scale);
    style.bold = true;
    label->setFont(style.ToQFont());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColorOf(clText));
    label->setPalette(palette);
    label->move(RoundI(16 * scale), label->y());
}
