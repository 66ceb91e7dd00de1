#pragma once
// The 32-bit drawing surface of every own control and display area: a bitmap
// with a font and text output (TBitmap32), a paint box that shows such a
// bitmap as its back buffer (TPaintBox32) and a small anti-aliased vector
// canvas with a fill brush and a stroke brush (TCanvas32).
//
// Coordinates are logical pixels. The bitmap may carry a device pixel ratio
// so that a control stays sharp on a high-density screen without being laid
// out twice as large; at ratio 1 a logical pixel is one pixel of the image.
// Colours come in two forms: TColor (0x00BBGGRR, the form of window and font
// colours; a value with the high byte 0xFF names a system colour by the index
// in its low byte) and TColor32 (0xAARRGGBB, the form of bitmap pixels).
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QVector>
#include <QWidget>

#include <cstdint>
#include <functional>

using TColor = uint32_t;    // 0x00BBGGRR, red in the low byte (as in shared_state.h)
using TColor32 = uint32_t;  // 0xAARRGGBB

// System colour indexes that a TColor may name (0xFF000000 | index).
inline constexpr TColor kSystemColorFlag = 0xFF000000u;
inline constexpr int kSysColorWindow = 5;
inline constexpr int kSysColorWindowText = 8;
inline constexpr int kSysColorHighlight = 13;
inline constexpr int kSysColorHighlightText = 14;
inline constexpr int kSysColorBtnFace = 15;
inline constexpr TColor clHighlight = kSystemColorFlag | kSysColorHighlight;
inline constexpr TColor clHighlightText = kSystemColorFlag | kSysColorHighlightText;

constexpr TColor RGBColor(int r, int g, int b) {
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr TColor32 ARGB32(int a, int r, int g, int b) {
    return (static_cast<TColor32>(a & 0xFF) << 24) | (static_cast<TColor32>(r & 0xFF) << 16) |
           (static_cast<TColor32>(g & 0xFF) << 8) | static_cast<TColor32>(b & 0xFF);
}
constexpr TColor32 Opaque32(int r, int g, int b) { return ARGB32(255, r, g, b); }
constexpr TColor32 WithAlpha32(TColor32 c, int alpha) {
    return (c & 0x00FFFFFFu) | (static_cast<TColor32>(alpha & 0xFF) << 24);
}

// A system colour resolved to its current value from the application palette.
TColor ColorToRGB(TColor c);
// The opaque pixel with the same red, green and blue.
TColor32 Color32(TColor c);
// The platform form: red, green and blue kept, alpha dropped.
TColor WinColor(TColor32 c);
QColor QColorOf(TColor c);
QColor QColorOf32(TColor32 c);
TColor32 Color32Of(const QColor& c);

// A font as the drawing routines describe it. A negative height is the
// character height in pixels, a positive one the cell height (character
// height plus internal leading), 0 the default of 12 pixels.
struct TFont32 {
    QString name = QStringLiteral("VERDANA");
    int32_t height = -12;
    bool bold = false;
    TColor color = 0;

    QFont ToQFont() const;
};

// Alignment and wrapping of TBitmap32::DrawText.
enum TextFlag : uint32_t {
    kTextLeft = 0x00,
    kTextCenter = 0x01,
    kTextRight = 0x02,
    kTextVCenter = 0x04,
    kTextBottom = 0x08,
    kTextWordBreak = 0x10,
    kTextSingleLine = 0x20,
    kTextEndEllipsis = 0x40,
    // Shortened in the middle, so that the start and the end of a path or
    // message stay readable.
    kTextPathEllipsis = 0x80,
};

class TBitmap32 {
public:
    TBitmap32() = default;
    TBitmap32(int width, int height) { SetSize(width, height); }

    // New size in logical pixels; the contents are cleared to transparent.
    // Negative sizes count as 0.
    void SetSize(int width, int height, qreal devicePixelRatio = 1.0);
    int Width() const { return width_; }
    int Height() const { return height_; }
    QRect BoundsRect() const { return QRect(0, 0, width_, height_); }
    qreal DevicePixelRatio() const { return image_.isNull() ? 1.0 : image_.devicePixelRatio(); }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }

    QImage& Image() { return image_; }
    const QImage& Image() const { return image_; }
    // The pixel at logical (x, y) as 0xAARRGGBB, not premultiplied; 0 outside.
    TColor32 Pixel(int x, int y) const;

    void Clear(TColor32 color);
    // Sets the pixels of r (clipped to the bitmap) to color, without blending.
    void FillRect(const QRect& r, TColor32 color);
    // Blends color over the pixels of r.
    void FillRectBlend(const QRect& r, TColor32 color);
    // One-pixel lines, both ends included.
    void HorzLine(int x1, int y, int x2, TColor32 color);
    void VertLine(int x, int y1, int y2, TColor32 color);
    // The one-pixel border just inside r.
    void FrameRect(const QRect& r, TColor32 color);

    TFont32 Font;

    // Width and height of one line of text in the current font.
    QSize TextExtent(const QString& text) const;
    int TextWidth(const QString& text) const { return TextExtent(text).width(); }
    int TextHeight(const QString& text) const { return TextExtent(text).height(); }
    // Draws text with its top-left corner at (x, y).
    void Textout(int x, int y, const QString& text);
    // The rectangle the text needs when drawn into r with flags: the left and
    // top of r, the measured width and height. An empty text measures 0 x 0.
    // A word longer than the width is not broken, so the result may be wider.
    QRect MeasureText(const QRect& r, const QString& text, uint32_t flags) const;
    void DrawText(const QRect& r, const QString& text, uint32_t flags);

    // Copies the rows src.top() .. src.bottom() of source to (x, y); rows
    // outside either bitmap are skipped.
    void CopyRows(int x, int y, const TBitmap32& source, const QRect& src);

private:
    QImage image_;
    int width_ = 0;
    int height_ = 0;
};

// A vector canvas on a bitmap: brush 0 fills, brush 1 strokes. Each drawing
// call fills (when brush 0 is visible) and then strokes (when brush 1 is
// visible) its outline, anti-aliased.
class TCanvas32 {
public:
    struct Brush {
        bool visible = true;
        TColor32 color = 0xFF000000u;
        double width = 1.0;  // stroke brush only
    };

    explicit TCanvas32(TBitmap32& target) : target_(target) {}

    int BrushCount() const { return 2; }
    Brush& FillBrush() { return fill_; }
    Brush& StrokeBrush() { return stroke_; }
    // Round line ends and joins instead of flat ends and mitred joins.
    bool roundCaps = false;

    void DrawPath(const QPainterPath& path);
    void Rectangle(const QRectF& r);
    void RoundRect(const QRectF& r, double radius);
    // A closed polygon through the points.
    void Polygon(const QVector<QPointF>& points);
    // An open line through the points; stroke only.
    void Polyline(const QVector<QPointF>& points);
    void Line(QPointF a, QPointF b);
    // A circle built from `segments` straight pieces.
    void Circle(QPointF centre, double radius, int segments = 100);

    TBitmap32& Target() { return target_; }

private:
    TBitmap32& target_;
    Brush fill_;
    Brush stroke_{true, 0xFF000000u, 1.0};
};

// A paint box with a back buffer. The owner paints into Buffer(), either from
// OnPaintBuffer (run when the buffer is invalid: after Invalidate() and after
// a resize) or directly between BeginUpdate() and EndUpdate(); the widget only
// shows the buffer. Tag holds an owner-defined state (flat buttons keep their
// look in it). Mouse positions are in the box's own coordinates. Exceptions
// from the handlers are reported on stderr and go no further.
class TPaintBox32 : public QWidget {
public:
    explicit TPaintBox32(QWidget* parent = nullptr);

    // The back buffer, sized to the widget.
    TBitmap32& Buffer();
    QRect ClientRect() const { return QRect(0, 0, width(), height()); }

    intptr_t Tag = 0;

    std::function<void(TPaintBox32*)> OnPaintBuffer;
    std::function<void(TPaintBox32*)> OnMouseEnter;
    std::function<void(TPaintBox32*)> OnMouseLeave;
    std::function<void(TPaintBox32*, Qt::MouseButton, int x, int y)> OnMouseDown;
    std::function<void(TPaintBox32*, Qt::MouseButton, int x, int y)> OnMouseUp;
    std::function<void(TPaintBox32*, int x, int y)> OnMouseMove;
    // Left button pressed and released inside the box.
    std::function<void(TPaintBox32*)> OnClick;

    // Marks the buffer for repainting by OnPaintBuffer and schedules a refresh.
    void Invalidate();
    // Runs OnPaintBuffer now when the buffer is invalid (for grabbing and tests).
    void RenderBuffer();
    // Direct drawing: the screen is refreshed when the outermost EndUpdate runs.
    void BeginUpdate() { ++updateDepth_; }
    void EndUpdate();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void EnsureBufferSize();
    void Guarded(const char* what, const std::function<void()>& call);

    TBitmap32 buffer_;
    bool bufferValid_ = false;
    bool painting_ = false;
    int updateDepth_ = 0;
    bool leftPressed_ = false;
};
