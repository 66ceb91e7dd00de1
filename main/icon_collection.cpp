#include "main/icon_collection.h"

#include <QPainter>
#include <QSvgRenderer>

namespace {

// Every drawing uses the placeholder COLOUR for its one colour.
constexpr char kPlaceholder[] = "COLOUR";

struct IconDrawing {
    const char* name;
    const char* body;  // the inside of a 24 x 24 SVG
};

// Outlines share one stroke so that the icons look alike side by side.
#define STROKE R"( fill="none" stroke="COLOUR" stroke-width="2" stroke-linecap="round" stroke-linejoin="round" )"

const std::array<IconDrawing, kIconCount> kIcons{{
    {"Papierkorb", R"(<path)" STROKE R"(d="M4 6h16M9 6V4h6v2M6 6l1 14h10l1-14M10 10v7M14 10v7"/>)"},
    {"linked", R"(<path)" STROKE R"(d="M10 14a4 4 0 0 0 5.7 0l3-3a4 4 0 0 0-5.7-5.7l-1 1M14 10a4 4 0 0 0-5.7 0l-3 3a4 4 0 0 0 5.7 5.7l1-1"/>)"},
    {"setup", R"(<path fill="none" stroke="COLOUR" stroke-width="1.6" stroke-linejoin="round" d="M10.3 2h3.4l.5 2.6 1.9.8 2.2-1.5 2.4 2.4-1.5 2.2.8 1.9 2.6.5v3.4l-2.6.5-.8 1.9 1.5 2.2-2.4 2.4-2.2-1.5-1.9.8-.5 2.6h-3.4l-.5-2.6-1.9-.8-2.2 1.5-2.4-2.4 1.5-2.2-.8-1.9L2 13.7v-3.4l2.6-.5.8-1.9-1.5-2.2 2.4-2.4 2.2 1.5 1.9-.8z"/><circle cx="12" cy="12" r="3.4" fill="none" stroke="COLOUR" stroke-width="1.6"/>)"},
    {"up", R"(<path)" STROKE R"(d="M5 15l7-7 7 7"/>)"},
    {"down", R"(<path)" STROKE R"(d="M5 9l7 7 7-7"/>)"},
    {"Closer", R"(<path fill="none" stroke="COLOUR" stroke-width="1.7" stroke-linecap="round" d="M7.2 7.2l9.6 9.6M16.8 7.2l-9.6 9.6"/>)"},
    {"Menu", R"(<path)" STROKE R"(d="M4 6h16M4 12h16M4 18h16"/>)"},
    {"hide", R"(<path)" STROKE R"(d="M5 18h14"/><path)" STROKE R"(d="M8 10l4 4 4-4"/>)"},
    {"Close-X", R"(<path)" STROKE R"(d="M5 5l14 14M19 5L5 19"/>)"},
    {"play", R"(<path fill="COLOUR" d="M7 4.5v15l12-7.5z"/>)"},
    {"pause", R"(<rect x="6" y="5" width="4" height="14" rx="1" fill="COLOUR"/><rect x="14" y="5" width="4" height="14" rx="1" fill="COLOUR"/>)"},
    {"Stop", R"(<rect x="5.5" y="5.5" width="13" height="13" rx="1.5" fill="COLOUR"/>)"},
    {"play-outline-inv-neu", R"(<path)" STROKE R"(d="M6 4.8L18 12 6 19.2z"/>)"},
    {"Pfeil_Rechts", R"(<path)" STROKE R"(d="M4 12h15M13 6l6 6-6 6"/>)"},
    {"Akku", R"(<rect x="2.5" y="7" width="17" height="10" rx="2")" STROKE R"(/><path)" STROKE R"(d="M22 10.5v3"/><rect x="5" y="9.5" width="8" height="5" fill="COLOUR"/>)"},
    {"play-Outline-neu", R"(<path)" STROKE R"(d="M18 4.8L6 12l12 7.2z"/>)"},
    {"Auge", R"(<path)" STROKE R"(d="M1.9 12Q12 0 22.1 12Q12 24 1.9 12z"/><circle cx="12" cy="12" r="4.2" fill="COLOUR"/>)"},
    {"Mail", R"(<rect x="3" y="5.5" width="18" height="13" rx="1.5")" STROKE R"(/><path)" STROKE R"(d="M3.5 6.5L12 13l8.5-6.5"/>)"},
}};

#undef STROKE

// Three level bars in the state colours beside the name in the text colour;
// the night logo's bars are lighter so that they hold on the dark background.
const char* const kLogoBars[kLogoCount] = {
    R"(<rect x="6" y="50" width="20" height="29" rx="3" fill="#2e7d45"/>
<rect x="34" y="29" width="20" height="50" rx="3" fill="#c98a0c"/>
<rect x="62" y="6" width="20" height="73" rx="3" fill="#b3322c"/>)",
    R"(<rect x="6" y="50" width="20" height="29" rx="3" fill="#3f9b5a"/>
<rect x="34" y="29" width="20" height="50" rx="3" fill="#e0a526"/>
<rect x="62" y="6" width="20" height="73" rx="3" fill="#c8403a"/>)",
};
const char* const kLogoNames[kLogoCount] = {"day", "Night"};
const char* const kLogoText =
    R"(<text x="100" y="76" font-family="DejaVu Sans, Verdana, sans-serif" font-weight="bold" font-size="74" fill="COLOUR">Veltaro</text>)";

QByteArray Coloured(QByteArray svg, const QColor& colour) {
    return svg.replace(kPlaceholder, colour.name().toLatin1());
}

QByteArray IconDocument(int32_t index) {
    return QByteArray(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">)") + kIcons[index].body +
           "</svg>";
}

QByteArray LogoDocument(int32_t index) {
    return QByteArray(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 466.34 85.34">)") + kLogoBars[index] +
           kLogoText + "</svg>";
}

// The largest rectangle of the drawing's aspect centred in area.
QRectF Fitted(const QRectF& area, QSizeF drawing) {
    const QSizeF size = drawing.scaled(area.size(), Qt::KeepAspectRatio);
    return QRectF(area.center().x() - size.width() / 2, area.center().y() - size.height() / 2, size.width(),
                  size.height());
}

bool Render(QSvgRenderer* renderer, QPainter& painter, const QRectF& area) {
    if (renderer == nullptr || !renderer->isValid() || area.width() <= 0 || area.height() <= 0) return false;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    renderer->render(&painter, Fitted(area, renderer->viewBoxF().size()));
    painter.restore();
    return true;
}

}  // namespace

TIconCollection::TIconCollection(const QColor& colour) { SetIconColors(colour); }

TIconCollection::~TIconCollection() = default;

void TIconCollection::SetIconColors(const QColor& colour) {
    colour_ = colour;
    for (int32_t i = 0; i < kIconCount; ++i) {
        icons_[i] = std::make_unique<QSvgRenderer>(Coloured(IconDocument(i), colour));
    }
    for (int32_t i = 0; i < kLogoCount; ++i) {
        logos_[i] = std::make_unique<QSvgRenderer>(Coloured(LogoDocument(i), colour));
    }
}

bool TIconCollection::Draw(QPainter& painter, int32_t index, const QRectF& square) const {
    if (index < 0 || index >= kIconCount) return false;
    return Render(icons_[index].get(), painter, square);
}

bool TIconCollection::DrawLogo(QPainter& painter, int32_t index, const QRectF& area) const {
    if (index < 0 || index >= kLogoCount) return false;
    return Render(logos_[index].get(), painter, area);
}

QString TIconCollection::IconName(int32_t index) {
    return index >= 0 && index < kIconCount ? QString::fromLatin1(kIcons[index].name) : QString();
}

QString TIconCollection::LogoName(int32_t index) {
    return index >= 0 && index < kLogoCount ? QString::fromLatin1(kLogoNames[index]) : QString();
}
