#include "ui_kit/paint_box.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QtMath>

#include <cmath>
#include <cstdio>
#include <exception>

#include "ui_kit/palette.h"

// ---------------------------------------------------------------------------
// Colours
// ---------------------------------------------------------------------------

namespace {

QPalette::ColorRole RoleOfSystemColor(int index) {
    switch (index) {
    case kSysColorWindow: return QPalette::Base;
    case kSysColorWindowText: return QPalette::WindowText;
    case kSysColorHighlight: return QPalette::Highlight;
    case kSysColorHighlightText: return QPalette::HighlightedText;
    case kSysColorBtnFace: return QPalette::Button;
    default: return QPalette::Window;
    }
}

}  // namespace

TColor ColorToRGB(TColor c) {
    if ((c & kSystemColorFlag) != kSystemColorFlag) return c & 0x00FFFFFFu;
    const QPalette palette = QGuiApplication::palette();
    const QColor q = palette.color(RoleOfSystemColor(static_cast<int>(c & 0xFFu)));
    return RGBColor(q.red(), q.green(), q.blue());
}

TColor32 Color32(TColor c) {
    const TColor rgb = ColorToRGB(c);
    return Opaque32(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

TColor WinColor(TColor32 c) { return RGBColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

QColor QColorOf(TColor c) {
    const TColor rgb = ColorToRGB(c);
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

QColor QColorOf32(TColor32 c) { return QColor::fromRgba(c); }

TColor32 Color32Of(const QColor& c) { return c.rgba(); }

// ---------------------------------------------------------------------------
// Fonts
// ---------------------------------------------------------------------------

QFont TFont32::ToQFont() const {
    QFont font(name);
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setBold(bold);
    int pixels = 12;
    if (height < 0) {
        pixels = -height;
    } else if (height > 0) {
        // A cell height includes the internal leading: find the character
        // height whose ascent plus descent gives it.
        QFont probe = font;
        probe.setPixelSize(100);
        const qreal cell = QFontMetricsF(probe).height();
        pixels = cell > 0 ? qMax(1, qRound(height * 100.0 / cell)) : height;
    }
    font.setPixelSize(qMax(1, pixels));
    return font;
}

// ---------------------------------------------------------------------------
// TBitmap32
// ---------------------------------------------------------------------------

namespace {

QFontMetricsF MetricsFor(const QFont& font, const QImage& image) {
    return image.isNull() ? QFontMetricsF(font) : QFontMetricsF(font, &image);
}

int QtFlags(uint32_t flags) {
    int q = 0;
    if (flags & kTextCenter) q |= Qt::AlignHCenter;
    else if (flags & kTextRight) q |= Qt::AlignRight;
    else q |= Qt::AlignLeft;
    if (flags & kTextVCenter) q |= Qt::AlignVCenter;
    else if (flags & kTextBottom) q |= Qt::AlignBottom;
    else q |= Qt::AlignTop;
    if ((flags & kTextWordBreak) && !(flags & kTextSingleLine)) q |= Qt::TextWordWrap;
    if (flags & kTextSingleLine) q |= Qt::TextSingleLine;
    return q;
}

void PreparePainter(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

}  // namespace

void TBitmap32::SetSize(int width, int height, qreal devicePixelRatio) {
    width_ = qMax(0, width);
    height_ = qMax(0, height);
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    if (width_ == 0 || height_ == 0) {
        image_ = QImage();
        return;
    }
    image_ = QImage(qCeil(width_ * dpr), qCeil(height_ * dpr), QImage::Format_ARGB32_Premultiplied);
    image_.setDevicePixelRatio(dpr);
    image_.fill(Qt::transparent);
}

TColor32 TBitmap32::Pixel(int x, int y) const {
    if (image_.isNull() || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    const qreal dpr = image_.devicePixelRatio();
    const int px = qMin(image_.width() - 1, static_cast<int>(x * dpr));
    const int py = qMin(image_.height() - 1, static_cast<int>(y * dpr));
    return image_.pixelColor(px, py).rgba();
}

void TBitmap32::Clear(TColor32 color) {
    if (!image_.isNull()) image_.fill(QColorOf32(color));
}

void TBitmap32::FillRect(const QRect& r, TColor32 color) {
    const QRect clipped = r.intersected(BoundsRect());
    if (image_.isNull() || clipped.isEmpty()) return;
    QPainter p(&image_);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(clipped, QColorOf32(color));
}

void TBitmap32::FillRectBlend(const QRect& r, TColor32 color) {
    const QRect clipped = r.intersected(BoundsRect());
    if (image_.isNull() || clipped.isEmpty()) return;
    QPainter p(&image_);
    p.fillRect(clipped, QColorOf32(color));
}

void TBitmap32::HorzLine(int x1, int y, int x2, TColor32 color) {
    if (x2 < x1) std::swap(x1, x2);
    FillRect(QRect(x1, y, x2 - x1 + 1, 1), color);
}

void TBitmap32::VertLine(int x, int y1, int y2, TColor32 color) {
    if (y2 < y1) std::swap(y1, y2);
    FillRect(QRect(x, y1, 1, y2 - y1 + 1), color);
}

void TBitmap32::FrameRect(const QRect& r, TColor32 color) {
    if (r.width() <= 0 || r.height() <= 0) return;
    const int right = r.x() + r.width() - 1;
    const int bottom = r.y() + r.height() - 1;
    HorzLine(r.x(), r.y(), right, color);
    HorzLine(r.x(), bottom, right, color);
    VertLine(r.x(), r.y(), bottom, color);
    VertLine(right, r.y(), bottom, color);
}

QSize TBitmap32::TextExtent(const QString& text) const {
    const QFontMetricsF fm = MetricsFor(Font.ToQFont(), image_);
    return QSize(qCeil(fm.horizontalAdvance(text)), qCeil(fm.height()));
}

void TBitmap32::Textout(int x, int y, const QString& text) {
    if (image_.isNull() || text.isEmpty()) return;
    QPainter p(&image_);
    PreparePainter(p);
    const QFont font = Font.ToQFont();
    p.setFont(font);
    p.setPen(QColorOf(Font.color));
    p.drawText(QPointF(x, y + MetricsFor(font, image_).ascent()), text);
}

QRect TBitmap32::MeasureText(const QRect& r, const QString& text, uint32_t flags) const {
    if (text.isEmpty()) return QRect(r.x(), r.y(), 0, 0);
    const QFontMetricsF fm = MetricsFor(Font.ToQFont(), image_);
    const int width = qMax(1, r.width());
    const QRectF bounds = fm.boundingRect(QRectF(0, 0, width, 1e6), QtFlags(flags & ~(kTextCenter | kTextRight | kTextVCenter | kTextBottom)), text);
    return QRect(r.x(), r.y(), qCeil(bounds.width()), qCeil(bounds.height()));
}

void TBitmap32::DrawText(const QRect& r, const QString& text, uint32_t flags) {
    if (image_.isNull() || text.isEmpty() || r.width() <= 0 || r.height() <= 0) return;
    QPainter p(&image_);
    PreparePainter(p);
    const QFont font = Font.ToQFont();
    p.setFont(font);
    p.setPen(QColorOf(Font.color));
    p.setClipRect(r);
    QString shown = text;
    if (flags & kTextEndEllipsis) {
        shown = MetricsFor(font, image_).elidedText(text, Qt::ElideRight, r.width());
    } else if (flags & kTextPathEllipsis) {
        shown = MetricsFor(font, image_).elidedText(text, Qt::ElideMiddle, r.width());
    }
    p.drawText(QRectF(r), QtFlags(flags), shown);
}

void TBitmap32::CopyRows(int x, int y, const TBitmap32& source, const QRect& src) {
    if (image_.isNull() || source.image_.isNull()) return;
    const QRect inside = src.intersected(source.BoundsRect());
    if (inside.isEmpty()) return;
    const QRect target(x + (inside.x() - src.x()), y + (inside.y() - src.y()), inside.width(), inside.height());
    QPainter p(&image_);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(QRectF(target), source.image_,
                QRectF(inside.x() * source.DevicePixelRatio(), inside.y() * source.DevicePixelRatio(),
                       inside.width() * source.DevicePixelRatio(), inside.height() * source.DevicePixelRatio()));
}

// ---------------------------------------------------------------------------
// TCanvas32
// ---------------------------------------------------------------------------

void TCanvas32::DrawPath(const QPainterPath& path) {
    QImage& image = target_.Image();
    if (image.isNull()) return;
    QPainter p(&image);
    PreparePainter(p);
    if (fill_.visible) p.fillPath(path, QColorOf32(fill_.color));
    if (stroke_.visible && stroke_.width > 0) {
        QPen pen(QColorOf32(stroke_.color));
        pen.setWidthF(stroke_.width);
        pen.setCapStyle(roundCaps ? Qt::RoundCap : Qt::FlatCap);
        pen.setJoinStyle(roundCaps ? Qt::RoundJoin : Qt::MiterJoin);
        p.strokePath(path, pen);
    }
}

void TCanvas32::Rectangle(const QRectF& r) {
    QPainterPath path;
    path.addRect(r);
    DrawPath(path);
}

void TCanvas32::RoundRect(const QRectF& r, double radius) {
    QPainterPath path;
    const double rr = qBound(0.0, radius, qMin(r.width(), r.height()) * 0.5);
    if (rr > 0) path.addRoundedRect(r, rr, rr);
    else path.addRect(r);
    DrawPath(path);
}

void TCanvas32::Polygon(const QVector<QPointF>& points) {
    if (points.size() < 2) return;
    QPainterPath path;
    path.addPolygon(QPolygonF(points));
    path.closeSubpath();
    DrawPath(path);
}

void TCanvas32::Polyline(const QVector<QPointF>& points) {
    if (points.size() < 2) return;
    const bool fillWasVisible = fill_.visible;
    fill_.visible = false;
    QPainterPath path;
    path.addPolygon(QPolygonF(points));
    DrawPath(path);
    fill_.visible = fillWasVisible;
}

void TCanvas32::Line(QPointF a, QPointF b) { Polyline({a, b}); }

void TCanvas32::Circle(QPointF centre, double radius, int segments) {
    if (radius <= 0) return;
    const int n = qMax(8, segments);
    QVector<QPointF> points;
    points.reserve(n);
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * M_PI * i / n;
        points.append(QPointF(centre.x() + radius * std::cos(a), centre.y() + radius * std::sin(a)));
    }
    Polygon(points);
}

// ---------------------------------------------------------------------------
// TPaintBox32
// ---------------------------------------------------------------------------

TPaintBox32::TPaintBox32(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

void TPaintBox32::EnsureBufferSize() {
    const qreal dpr = devicePixelRatioF();
    if (buffer_.Width() == width() && buffer_.Height() == height() && buffer_.DevicePixelRatio() == dpr &&
        !buffer_.Empty()) {
        return;
    }
    const TFont32 font = buffer_.Font;
    buffer_.SetSize(width(), height(), dpr);
    buffer_.Font = font;
    buffer_.Clear(clBack32);
    bufferValid_ = false;
}

TBitmap32& TPaintBox32::Buffer() {
    EnsureBufferSize();
    return buffer_;
}

void TPaintBox32::Invalidate() {
    bufferValid_ = false;
    update();
}

void TPaintBox32::RenderBuffer() {
    EnsureBufferSize();
    if (bufferValid_ || painting_) return;
    painting_ = true;
    bufferValid_ = true;
    if (OnPaintBuffer) Guarded("paint", [this] { OnPaintBuffer(this); });
    painting_ = false;
}

void TPaintBox32::EndUpdate() {
    if (updateDepth_ > 0) --updateDepth_;
    if (updateDepth_ == 0 && !painting_) update();
}

void TPaintBox32::paintEvent(QPaintEvent*) {
    RenderBuffer();
    QPainter p(this);
    if (!buffer_.Empty()) p.drawImage(QPointF(0, 0), buffer_.Image());
}

void TPaintBox32::resizeEvent(QResizeEvent*) {
    EnsureBufferSize();
    bufferValid_ = false;
}

void TPaintBox32::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) leftPressed_ = true;
    if (OnMouseDown) Guarded("mouse down", [&] { OnMouseDown(this, event->button(), pos.x(), pos.y()); });
}

void TPaintBox32::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const bool click = event->button() == Qt::LeftButton && leftPressed_ && ClientRect().contains(pos);
    if (event->button() == Qt::LeftButton) leftPressed_ = false;
    const QPointer<TPaintBox32> alive(this);
    if (OnMouseUp) Guarded("mouse up", [&] { OnMouseUp(this, event->button(), pos.x(), pos.y()); });
    if (alive && click && OnClick) Guarded("click", [this] { OnClick(this); });
}

void TPaintBox32::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (OnMouseMove) Guarded("mouse move", [&] { OnMouseMove(this, pos.x(), pos.y()); });
}

void TPaintBox32::enterEvent(QEnterEvent*) {
    if (OnMouseEnter) Guarded("mouse enter", [this] { OnMouseEnter(this); });
}

void TPaintBox32::leaveEvent(QEvent*) {
    if (OnMouseLeave) Guarded("mouse leave", [this] { OnMouseLeave(this); });
}

void TPaintBox32::Guarded(const char* what, const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Veltaro: paint box %s handler failed: %s\n", what, e.what());
    } catch (...) {
        std::fprintf(stderr, "Veltaro: paint box %s handler failed\n", what);
    }
}
