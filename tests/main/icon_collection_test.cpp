// The window's icons and logos: each draws in the collection's one colour,
// and a new colour redraws them all.
#include "main/icon_collection.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include "ui_kit/gui_test_app.h"

namespace {

struct Drawn {
    int inColour = 0;  // fully covered pixels of the colour
    int other = 0;     // opaque pixels of any other hue
};

Drawn Count(const QImage& image, const QColor& colour) {
    Drawn d;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 255 && c.rgb() == colour.rgb()) ++d.inColour;
            else if (c.alpha() == 255) ++d.other;
        }
    }
    return d;
}

QImage DrawIcon(const TIconCollection& icons, int32_t index, int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    EXPECT_TRUE(icons.Draw(painter, index, QRectF(0, 0, size, size))) << index;
    return image;
}

TEST(IconCollection, EveryIconIsNamedAndDrawnInTheCollectionsColourOnly) {
    gui_test::App();
    const QColor dark(20, 20, 20), light(235, 235, 235);
    TIconCollection icons(dark);
    for (int32_t i = 0; i < kIconCount; ++i) {
        EXPECT_FALSE(TIconCollection::IconName(i).isEmpty()) << i;
        const Drawn d = Count(DrawIcon(icons, i, 48), dark);
        EXPECT_GT(d.inColour, 20) << TIconCollection::IconName(i).toStdString();
        EXPECT_EQ(d.other, 0) << TIconCollection::IconName(i).toStdString();
    }
    icons.SetIconColors(light);
    for (int32_t i = 0; i < kIconCount; ++i) {
        const Drawn d = Count(DrawIcon(icons, i, 48), light);
        EXPECT_GT(d.inColour, 20) << i;
        EXPECT_EQ(d.other, 0) << i;
    }
    EXPECT_EQ(TIconCollection::IconName(0), QStringLiteral("Papierkorb"));
    EXPECT_EQ(TIconCollection::IconName(17), QStringLiteral("Mail"));
}

TEST(IconCollection, IndexesOutsideTheCollectionAndEmptySquaresDrawNothing) {
    gui_test::App();
    TIconCollection icons(Qt::black);
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    for (int32_t index : {-1, kIconCount, 1000}) EXPECT_FALSE(icons.Draw(painter, index, QRectF(0, 0, 16, 16)));
    EXPECT_FALSE(icons.Draw(painter, kIconEye, QRectF(0, 0, 0, 16)));
    EXPECT_FALSE(icons.DrawLogo(painter, 2, QRectF(0, 0, 16, 16)));
    painter.end();
    EXPECT_EQ(Count(image, Qt::black).inColour, 0);
    EXPECT_TRUE(TIconCollection::IconName(18).isEmpty());
}

TEST(IconCollection, TheLogosCarryTheNameInTheTextColourAndKeepTheirAspect) {
    gui_test::App();
    for (const QColor& text : {QColor(10, 10, 10), QColor(240, 240, 240)}) {
        TIconCollection icons(text);
        for (int32_t logo : {kLogoDay, kLogoNight}) {
            // A square area: the logo fills its width and only its height's share.
            QImage image(200, 200, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            ASSERT_TRUE(icons.DrawLogo(painter, logo, QRectF(0, 0, 200, 200)));
            painter.end();
            EXPECT_GT(Count(image, text).inColour, 50) << logo;
            const int drawnHeight = static_cast<int>(200 * kLogoHeight / kLogoWidth);
            EXPECT_EQ(image.pixelColor(100, 100 - drawnHeight / 2 - 3).alpha(), 0);
            EXPECT_EQ(image.pixelColor(100, 100 + drawnHeight / 2 + 3).alpha(), 0);
        }
    }
    EXPECT_EQ(TIconCollection::LogoName(kLogoDay), QStringLiteral("day"));
    EXPECT_EQ(TIconCollection::LogoName(kLogoNight), QStringLiteral("Night"));
}

}  // namespace
