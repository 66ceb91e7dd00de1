// The main form on the real window: its layout at both design sizes, idle
// and measuring, its colour schemes, the Layout menu and the main menu.
#include "main_form_fixture.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>
#include <QWindow>

#include <algorithm>
#include <map>

#include "main/peak_display.h"
#include "ui_kit/display_texts.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

namespace {

using test_support::ProcessUntil;

class MainFormConcurrent : public test_support::MainFormConcurrent {};

// Warnings and errors Qt prints while a test runs.
QStringList printed;
void Collect(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtDebugMsg && type != QtInfoMsg) printed << text;
}

TEST_F(MainFormConcurrent, ScreenshotsIdleAndMeasuringAtBothSizesAndSchemes) {
    StartOnTheSine();
    SaveIdleAndRunningShots(1.0);

    // An event of the run with a tray balloon: without a tray nothing is
    // created and nothing printed.
    printed.clear();
    const QtMessageHandler previous = qInstallMessageHandler(Collect);
    window->AddEventMessage(QStringLiteral("Exceed LAeq"), true, false);
    QCoreApplication::processEvents();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(printed.isEmpty()) << printed.join('\n').toStdString();
    EXPECT_EQ(window->TrayIcon() != nullptr, QSystemTrayIcon::isSystemTrayAvailable());
    // A click on the tray brings the window back, maximised.
    window->showMinimized();
    window->tIconBalloonClick();
    EXPECT_TRUE(window->isMaximized());
    EXPECT_FALSE(window->isMinimized());
    StopRun();
    Exit();
}

TEST_F(MainFormConcurrent, AtUiScaleTwoEveryPanelDoublesAndTheLayoutStaysClean) {
    StartOnTheSine();
    window->SetUiScale(192.0);
    const size_t from = seen.size();
    window->resize(990 * 2, 720 * 2);
    ASSERT_TRUE(ProcessUntil([&] { return window->centralWidget()->width() >= 1900; }));
    // The graph at its new size has been drawn and shown.
    ASSERT_TRUE(ProcessUntil([&] { return std::count(seen.begin() + from, seen.end(), kNotifyGraphRepaint) > 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(window->IconSize(), 44);
    EXPECT_EQ(UISpace, 32);
    ExpectCleanLayout(2.0, QStringLiteral("ui scale 2"));
    EXPECT_EQ(Panel("pbMitte")->height(), 288);
    EXPECT_EQ(Panel("pbIpInfo")->height(), 72);
    EXPECT_EQ(Panel("pbStatus")->Buffer().Font.height, -24);
    const QString name = QStringLiteral(VELTARO_BINARY_DIR) + "/screenshots/main_form_1980x1440_uiscale2.png";
    ASSERT_TRUE(window->grab().toImage().save(name));
    window->SetUiScale(96.0);
    Exit();
}

TEST_F(MainFormConcurrent, ASchemeIsAppliedWithItsFourPostsInOrderEvenWhenItIsTheCurrentOne) {
    StartOnTheSine();
    ASSERT_TRUE(ProcessUntil([&] { return !handled.empty(); }));
    const std::vector<std::pair<uintptr_t, intptr_t>> posts = {
        {kNotifyClockTick, 0}, {kNotifyGraphRedraw, 0}, {kNotifyVuLayout, 4}, {kNotifyForceValueRedraw, 5}};
    for (int scheme : {0, 1, 1}) {
        QCoreApplication::processEvents();
        const size_t from = handled.size();
        window->SetDisplayColors(scheme, true);
        EXPECT_EQ(displayLayout.load(), scheme);
        EXPECT_EQ(clBack32, Panel("pbTop")->Buffer().Pixel(1, 1));
        ASSERT_TRUE(ProcessUntil([&] { return HandledInOrder(from, posts); })) << "scheme " << scheme;
    }
    // Without force the current scheme is left alone: nothing is posted.
    QCoreApplication::processEvents();
    const size_t from = handled.size();
    window->SetDisplayColors(1, false);
    QCoreApplication::processEvents();
    EXPECT_FALSE(HandledInOrder(from, {{kNotifyForceValueRedraw, 5}}));
    // Another id than 0 or 1 keeps the scheme but applies it.
    window->SetDisplayColors(7, true);
    EXPECT_EQ(displayLayout.load(), 1);
    Exit();
}

TEST_F(MainFormConcurrent, TheBoldToggleRepaintsTheLowerAreasAndThePeakDisplayButNotTheTopAreas) {
    StartOnTheSine();
    ASSERT_TRUE(HearsTheTone());
    std::map<QString, int> paints;
    for (const char* name : {"pbTop", "pbMitte", "pbPeakDisplay"}) {
        TPaintBox32* box = Panel(name);
        box->OnPaintBuffer = [&paints, name, paint = box->OnPaintBuffer](TPaintBox32* b) {
            ++paints[QString::fromLatin1(name)];
            paint(b);
        };
        box->RenderBuffer();
    }
    auto before = paints;
    const bool bold = GetBoldLabel();
    window->mmLBoldLabelClick();
    EXPECT_NE(GetBoldLabel(), bold);
    for (const char* name : {"pbTop", "pbMitte", "pbPeakDisplay"}) Panel(name)->RenderBuffer();
    EXPECT_EQ(paints["pbMitte"], before["pbMitte"] + 1);
    EXPECT_EQ(paints["pbPeakDisplay"], before["pbPeakDisplay"] + 1);
    EXPECT_EQ(paints["pbTop"], before["pbTop"]);
    window->mmLBoldLabelClick();
    EXPECT_EQ(GetBoldLabel(), bold);
    Exit();
}

TEST_F(MainFormConcurrent, TheLayoutMenuTicksWhatHoldsAndItsChoicesApplyIt) {
    StartOnTheSine();
    auto* layout = window->findChild<QMenu*>(QStringLiteral("Layout"));
    ASSERT_NE(layout, nullptr);
    const auto item = [&](const char* name) { return window->findChild<QAction*>(QString::fromLatin1(name)); };
    window->SetDisplayColors(0, true);
    window->LayoutClick();
    EXPECT_TRUE(item("Sunny")->isChecked());
    EXPECT_FALSE(item("Dark")->isChecked());
    EXPECT_EQ(item("Sunny")->text(), QStringLiteral("Sunny apperance"));
    EXPECT_EQ(item("mmLBoldLabel")->isChecked(), GetBoldLabel());
    EXPECT_FALSE(item("mmLHideMenu")->isChecked());

    item("Dark")->trigger();
    EXPECT_EQ(displayLayout.load(), 1);
    // Choosing the current scheme still applies it.
    QCoreApplication::processEvents();
    const size_t from = handled.size();
    item("Dark")->trigger();
    ASSERT_TRUE(ProcessUntil([&] { return HandledInOrder(from, {{kNotifyForceValueRedraw, 5}}); }));

    item("mmLHideMenu")->trigger();
    EXPECT_TRUE(window->menuBar()->isHidden());
    window->LayoutClick();
    EXPECT_TRUE(item("mmLHideMenu")->isChecked());
    item("mmLHideMenu")->trigger();
    EXPECT_FALSE(window->menuBar()->isHidden());

    item("mmFullSize")->trigger();
    window->LayoutClick();
    EXPECT_TRUE(item("mmFullSize")->isChecked());
    item("mmFullSize")->trigger();
    window->LayoutClick();
    EXPECT_FALSE(item("mmFullSize")->isChecked());
    Exit();
}

TEST_F(MainFormConcurrent, TheMainMenuHoldsEveryItemUnderItsNameAndFollowsTheLanguage) {
    StartOnTheSine();
    const char* const names[] = {"Datei1", "Beenden1", "mmEinstellung", "DoGrundeinstellung", "aSelectSC",
                                 "miVerify", "aPegel", "lsMic", "lsRef", "aGetKorr", "aEditMv", "mmEOptionen",
                                 "Sprache1", "Deutsch1", "English1", "miResetAll", "Messung1", "miDaten",
                                 "Hinweisendern1", "miImmi1", "miImmi2", "miEImmi", "DIN1590551", "AuswahlMessung",
                                 "aSelMV", "aMessungStarten", "aFreeStart", "aStopMessung", "mmMDIN", "Protokoll1",
                                 "aShowProt", "pmPPrintCurrent", "pmPSFTPCurrent", "Durcken1", "mmPPrintDirekt",
                                 "AbgebrocheneMessungwiederherstellen1", "miShowCalList", "Info1", "mInfoParameter",
                                 "VeltaroPRO1", "Soundkarten1", "resetVuPeak", "Layout", "Sunny", "Dark",
                                 "mmFullSize", "mmLHideMenu", "mmLBoldLabel",
                                 // the graph's menu
                                 "Anzeigebereich1", "Obergrenze1", "Farbe1", "Strichstrke1", "Aktive1", "cbDrawMark",
                                 "Peak1", "LeqKurz1", "Leq1", "Beschriftung1", "Dnn1", "Normal1", "Dick1",
                                 "pmGAutoScroll", "pmGBlock", "pmGStart", "pmGende"};
    for (const char* name : names) {
        EXPECT_EQ(window->findChildren<QObject*>(QString::fromLatin1(name)).size(), 1) << name;
    }
    // The measurement's own items stay single: no second start or stop.
    int starts = 0;
    for (QAction* a : window->findChildren<QAction*>()) starts += a->text() == GetLangText(225) ? 1 : 0;
    EXPECT_EQ(starts, 1);

    window->ApplyLanguage(1, false);
    EXPECT_EQ(window->findChild<QMenu*>(QStringLiteral("mmEinstellung"))->title(), QStringLiteral("Einstellung"));
    EXPECT_EQ(window->findChild<QAction*>(QStringLiteral("Deutsch1"))->text(), QStringLiteral("Deutsch"));
    EXPECT_EQ(window->findChild<QMenu*>(QStringLiteral("Farbe1"))->title(), GetLangText(251));
    window->findChild<QMenu*>(QStringLiteral("Sprache1"))->aboutToShow();
    EXPECT_TRUE(window->findChild<QAction*>(QStringLiteral("Deutsch1"))->isChecked());
    EXPECT_FALSE(window->findChild<QAction*>(QStringLiteral("English1"))->isChecked());
    window->ApplyLanguage(2, false);

    // Items whose operation exists lead to it; the others cannot be chosen.
    const size_t from = handled.size();
    window->findChild<QAction*>(QStringLiteral("Hinweisendern1"))->trigger();
    EXPECT_TRUE(ProcessUntil([&] { return HandledInOrder(from, {{kNotifyShowHints, 0}}); }));
    EXPECT_TRUE(window->findChild<QAction*>(QStringLiteral("aShowProt"))->isEnabled());
    EXPECT_TRUE(window->findChild<QAction*>(QStringLiteral("resetVuPeak"))->isEnabled());

    // Opening the settings shows the reference search only with both inputs.
    const int32_t assignment = inputAssign.load();
    auto* settings = window->findChild<QMenu*>(QStringLiteral("mmEinstellung"));
    settings->aboutToShow();
    EXPECT_EQ(window->findChild<QAction*>(QStringLiteral("lsRef"))->isVisible(), assignment == 3);
    EXPECT_TRUE(ProcessUntil([&] { return Saw(kNotifyCalStatus); }));
    Exit();
}

TEST_F(MainFormConcurrent, TheMenuBarIsDrawnInTheSchemesColours) {
    StartOnTheSine();
    for (int scheme : {0, 1}) {
        window->SetDisplayColors(scheme, true);
        const QImage bar = window->menuBar()->grab().toImage();
        const QRect first = window->menuBar()->actionGeometry(window->menuBar()->actions().first());
        EXPECT_EQ(bar.pixelColor(first.left() + 1, first.top() + 1), QColorOf(clBack)) << scheme;
        EXPECT_EQ(bar.pixelColor(bar.width() - 2, first.center().y()), QColorOf(clBack)) << scheme;
        // The caption: pixels near the text colour inside the item.
        const QColor text = QColorOf(clText);
        int caption = 0;
        for (int y = first.top(); y <= first.bottom(); ++y) {
            for (int x = first.left(); x <= first.right(); ++x) {
                const QColor c = bar.pixelColor(x, y);
                caption += std::abs(c.red() - text.red()) + std::abs(c.green() - text.green()) +
                                       std::abs(c.blue() - text.blue()) < 60
                               ? 1
                               : 0;
            }
        }
        EXPECT_GT(caption, 5) << scheme;
    }
    Exit();
}

TEST_F(MainFormConcurrent, TheEventListIsClearedFromItsPopupOnlyWhileIdle) {
    StartOnTheSine();
    auto* clear = window->findChild<QAction*>(QStringLiteral("ClearEvent"));
    ASSERT_NE(clear, nullptr);
    window->AddEventMessage(QStringLiteral("idle event"), false, false);
    ASSERT_FALSE(window->EventLines().isEmpty());
    window->PrepareEventListMenu();
    EXPECT_EQ(clear->text(), QStringLiteral("Clear Event Log"));
    EXPECT_TRUE(clear->isEnabled());
    clear->trigger();
    EXPECT_TRUE(window->EventLines().isEmpty());

    StartAndStore();
    window->AddEventMessage(QStringLiteral("run event"), false, false);
    window->PrepareEventListMenu();
    EXPECT_FALSE(clear->isEnabled());
    window->ClearEvent1Click();
    EXPECT_FALSE(window->EventLines().isEmpty());
    StopRun();
    Exit();
}

TEST_F(MainFormConcurrent, AMoveToAnotherScreenAppliesThatScreensScale) {
    StartOnTheSine();
    window->SetUiScale(192.0);
    ASSERT_EQ(UISpace, 32);
    // The offscreen screen has 96 pixels per inch.
    ASSERT_NE(window->windowHandle(), nullptr);
    emit window->windowHandle()->screenChanged(window->screen());
    EXPECT_EQ(UIScale, LogicalDpiOf(window.get()) / 96.0);
    EXPECT_EQ(window->IconSize(), static_cast<int>(std::nearbyint(22 * UIScale)));
    Exit();
}

}  // namespace
