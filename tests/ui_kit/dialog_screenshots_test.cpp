// Renders the message box and the information window in both colour schemes
// into PNG files beside the test (or into $VELTARO_SCREENSHOT_DIR), so that a
// person can look at them, and checks the relations that make them readable.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QScrollBar>

#include "ui_kit/gui_test_app.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/info_window.h"
#include "ui_kit/message_box.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using gui_test::App;

QString ShotPath(const QString& file) {
    const QString dir = qEnvironmentVariableIsSet("VELTARO_SCREENSHOT_DIR")
                            ? qEnvironmentVariable("VELTARO_SCREENSHOT_DIR")
                            : QDir::currentPath();
    return QDir(dir).filePath(file);
}

struct Scheme {
    int32_t id;
    const char* name;
};

class DialogScreenshots : public ::testing::TestWithParam<Scheme> {
protected:
    void SetUp() override {
        App();
        language = kLangEnglish;
        SetUIScale(1.0);
        displayLayout = GetParam().id;
        SetColorScheme(GetParam().id);
    }
    void TearDown() override { SetColorScheme(kSchemeDark); }
};

TEST_P(DialogScreenshots, MessageBoxLooksFinished) {
    TTMessage box(nullptr, 96);
    box.MyMessage(QStringLiteral("Save measurement"),
                  QStringLiteral("The measurement has not been saved yet. Do you want to save it before the "
                                 "program closes? Unsaved levels and messages are lost."),
                  QStringLiteral("Discard"), QStringLiteral("Cancel"), QStringLiteral("Save"));
    box.show();
    ButtonMouseEnter(box.pbRight);
    QApplication::processEvents();
    const QImage shot = box.grab().toImage();
    ASSERT_TRUE(shot.save(ShotPath(QStringLiteral("message_box_%1.png").arg(QLatin1String(GetParam().name)))));

    // The border shows the frame colour all round; the buttons sit inside the strip.
    EXPECT_EQ(shot.pixelColor(0, shot.height() / 2).rgba(), clFrame32);
    EXPECT_EQ(shot.pixelColor(shot.width() - 1, 5).rgba(), clFrame32);
    for (TPaintBox32* b : {box.pbLeft, box.pbCenter, box.pbRight}) {
        EXPECT_TRUE(box.pUnten->rect().contains(b->geometry())) << b->geometry().x();
    }
    EXPECT_LT(box.pbLeft->geometry().right(), box.pbCenter->geometry().left());
    EXPECT_LT(box.pbCenter->geometry().right(), box.pbRight->geometry().left());
}

TEST_P(DialogScreenshots, InformationWindowLooksFinished) {
    auto* window = new TinfoWindow(nullptr, 96);
    window->Set_color(clText, clPanel32, clFrame32);
    window->Set_text(QStringLiteral("Audio device"),
                     QStringLiteral("The input device \"USB Audio CODEC\" delivers 48000 samples per second.\n\n"
                                    "Calibrate the measuring chain before the first measurement of the day."),
                     QStringLiteral("Settings"), QStringLiteral("Close"), 0);
    window->move(40, 40);
    window->show();
    window->pbBottom->Tag = 2;
    window->pbBottom->Invalidate();
    QApplication::processEvents();
    const QImage shot = window->grab().toImage();
    ASSERT_TRUE(shot.save(ShotPath(QStringLiteral("info_window_%1.png").arg(QLatin1String(GetParam().name)))));

    EXPECT_EQ(shot.pixelColor(0, shot.height() / 2).rgba(), clFrame32);
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() - 1).rgba(), clFrame32);
    EXPECT_FALSE(window->brLinks.intersects(window->brRechts));
    delete window;
}

TEST_P(DialogScreenshots, ScrollingInformationWindowLooksFinished) {
    QStringList lines;
    for (int i = 1; i <= 60; ++i) lines << QStringLiteral("%1. Calibration check at position %1 passed.").arg(i);
    auto* window = new TinfoWindow(nullptr, 96);
    window->Set_color(clText, clPanel32, clFrame32);
    window->Set_text(QStringLiteral("Calibration log"), lines.join(QLatin1Char('\n')), QString(),
                     QStringLiteral("Close"), 0);
    window->move(40, 40);
    window->show();
    window->scroller->setValue(window->scroller->maximum() / 2);
    QApplication::processEvents();
    const QImage shot = window->grab().toImage();
    ASSERT_TRUE(shot.save(ShotPath(QStringLiteral("info_window_scrolling_%1.png").arg(QLatin1String(GetParam().name)))));

    ASSERT_TRUE(window->bScroll);
    // The scroll bar sits between the text and the frame line at the right.
    EXPECT_EQ(shot.pixelColor(shot.width() - 1, shot.height() / 2).rgba(), clFrame32);
    EXPECT_EQ(window->scroller->geometry().right() + 1, shot.width() - 1);
    EXPECT_LE(window->pbMainFull->geometry().right(), window->scroller->geometry().left());
    delete window;
}

INSTANTIATE_TEST_SUITE_P(BothSchemes, DialogScreenshots,
                         ::testing::Values(Scheme{kSchemeLight, "light"}, Scheme{kSchemeDark, "dark"}),
                         [](const ::testing::TestParamInfo<Scheme>& info) { return std::string(info.param.name); });

}  // namespace
