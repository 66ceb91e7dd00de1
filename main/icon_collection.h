#pragma once
// The main window's icon collection (18 icons) and its two logos: our own
// SVG drawings in one colour, the scheme's text colour. Other parts draw them
// by index; a scheme change recolours the whole collection at once.
#include <QColor>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class QPainter;
class QRectF;
class QSvgRenderer;

inline constexpr int32_t kIconTrash = 0;
inline constexpr int32_t kIconLinked = 1;
inline constexpr int32_t kIconSetup = 2;
inline constexpr int32_t kIconUp = 3;
inline constexpr int32_t kIconDown = 4;
inline constexpr int32_t kIconCloser = 5;
inline constexpr int32_t kIconMenu = 6;
inline constexpr int32_t kIconHide = 7;
inline constexpr int32_t kIconCloseX = 8;
inline constexpr int32_t kIconPlay = 9;
inline constexpr int32_t kIconPause = 10;
inline constexpr int32_t kIconStop = 11;
inline constexpr int32_t kIconStepUp = 12;  // outline triangle pointing right
inline constexpr int32_t kIconArrowRight = 13;
inline constexpr int32_t kIconBattery = 14;
inline constexpr int32_t kIconStepDown = 15;  // outline triangle pointing left
inline constexpr int32_t kIconEye = 16;
inline constexpr int32_t kIconMail = 17;
inline constexpr int32_t kIconCount = 18;

inline constexpr int32_t kLogoDay = 0;
inline constexpr int32_t kLogoNight = 1;
inline constexpr int32_t kLogoCount = 2;
// The logos' artwork is this wide and high; panels keep the ratio.
inline constexpr double kLogoWidth = 466.34;
inline constexpr double kLogoHeight = 85.34;

class TIconCollection {
public:
    explicit TIconCollection(const QColor& colour);
    ~TIconCollection();

    // Re-renders every icon and logo in colour.
    void SetIconColors(const QColor& colour);
    QColor Colour() const { return colour_; }

    // Draws icon index into square, keeping its aspect; false (nothing drawn)
    // for an index outside the collection or an empty square.
    bool Draw(QPainter& painter, int32_t index, const QRectF& square) const;
    bool DrawLogo(QPainter& painter, int32_t index, const QRectF& area) const;

    // The drawing's name in the collection ("Papierkorb", "day", ...);
    // empty outside it.
    static QString IconName(int32_t index);
    static QString LogoName(int32_t index);

private:
    QColor colour_;
    std::array<std::unique_ptr<QSvgRenderer>, kIconCount> icons_;
    std::array<std::unique_ptr<QSvgRenderer>, kLogoCount> logos_;
};
