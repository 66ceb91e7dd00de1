// The main window's smaller panels on the real window: the status line's
// repaint notice, the top bar, the display element picker from a click on an
// area to the changed area, the info panels with offsets beyond a new run's
// lists, and offscreen pictures of the panels idle and during a measurement
// on the simulated sine.
#include "main/main_form_layout.h"
#include "main/main_window.h"

#include "measuring_window_fixture.h"

#include <QDir>
#include <QImage>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <cmath>

#include "audio/vu_meter_thread.h"
#include "main/display_picker.h"
#include "main/info_panels.h"
#include "main/top_bar.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "store/preset_handler.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/shared_state.h"

// Painting the picker's buttons and whole windows for the pictures lets Qt
// Gui's raster engine work on threads of its own pool, which hand their work
// over under locks that ThreadSanitizer cannot see in the uninstrumented Qt.
// The panels themselves are painted on the main thread only.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() { return "race:libQt6Gui.so.6\n"; }
#endif

namespace {

using platform::Registry;
using test_support::ProcessUntil;

constexpr uintptr_t kStatusLineCode = 323;
class MainPanelsConcurrent : public test_support::MeasuringWindowConcurrent {
protected:
    void StartProgram() {
        UseSimulatedSine();
        Start();
        window->Settings().doFileName = true;
        window->Settings().doAutoFileName = false;
        window->Settings().sRecFileName = dir.filePath("Panels.vtm");
        window->Settings().tsEnd = false;
        TDaten* store = defaultDaten.load();
        store->SetDrawInterval(1);
        store->SetKorrArt(0);
        store->SetVeranstaltung(QStringLiteral("Open Air Festival Hauptbühne, Samstag Abend mit einem sehr "
                                               "langen Namen der nicht in die Zeile passt"));
        store->SetLocationText(QStringLiteral("Marktplatz 1, FOH"));
        TVTPreset preset = presetHandler.load()->GetPreset(kDinPresetId);
        preset.messungen[kPresetEntryLeq].Dauer = 60;
        preset.endDirect = true;
        preset.offCheck = false;
        presetHandler.load()->SetPreset(kCurrentPresetId, preset);
    }
    void StartRun() {
        ASSERT_TRUE(ProcessUntil([this] {
            double p1 = 0, p2 = 0, r1 = 0, r2 = 0;
            if (TVuThread* vu = window->Workers().VuThread()) vu->getLevels(p1, p2, r1, r2);
            return Saw(kNotifyInputAssign) && r1 > 0.01;
        }));
        window->aMessungStartenExecute();
        ASSERT_TRUE(window->GetMessungLaeuft());
    }
    void ShowAt(QSize size) {
        window->resize(size);
        window->show();
        QCoreApplication::processEvents();
    }
    // The whole window as the screen would show it, kept in the build folder.
    QImage Picture(const QString& name) {
        QCoreApplication::processEvents();
        for (TPaintBox32* box : {window->pbStatus(), window->pbTopBar(), window->pbIpInfo(), window->pbInfoMessung(),
                                 window->pbRunten(), window->pbMInfo(), window->pbLogo()}) {
            box->RenderBuffer();
        }
        const QImage image = window->grab().toImage();
        const QString folder = QStringLiteral(VELTARO_BINARY_DIR "/screenshots");
        QDir().mkpath(folder);
        image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
        return image;
    }
    static bool OnlyBackground(TPaintBox32* box, const QRect& area) {
        box->RenderBuffer();
        const TBitmap32& b = box->Buffer();
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (b.Pixel(x, y) != clBack32) return false;
            }
        }
        return true;
    }
    int CountSeen(uintptr_t code) const { return static_cast<int>(std::count(seen.begin(), seen.end(), code)); }
};

TEST_F(MainPanelsConcurrent, StatusLinePostsItsRepaintOnlyWhenASlotChanges) {
    StartProgram();
    ASSERT_TRUE(ProcessUntil([this] { return Saw(kNotifyInputAssign); }));
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const int before = CountSeen(kStatusLineCode);
    window->SetStatusInfo(1, QStringLiteral("Hint"));
    window->SetStatusInfo(1, QStringLiteral("Hint"));
    window->SetStatusInfo(3, QStringLiteral("nowhere"));
    window->SetStatusInfo(-1, QStringLiteral("nowhere"));
    QCoreApplication::processEvents();
    EXPECT_EQ(CountSeen(kStatusLineCode), before + 1);
    EXPECT_EQ(window->StatusSlot(1), QStringLiteral("Hint"));
    EXPECT_TRUE(window->StatusSlot(3).isEmpty());
    Exit();
}

TEST_F(MainPanelsConcurrent, AreaClickPickerAndAnswerChangeTheArea) {
    StartProgram();
    ShowAt(QSize(990, 720));
    // A click on the middle area offers the description and the change.
    window->ShowAreaInfo(2, QPoint(300, 200));
    ASSERT_EQ(dialogs.infos().size(), 1u);
    const platform::InfoRequest popup = dialogs.infos().back();
    EXPECT_EQ(popup.header, QStringLiteral("Value displayed at the middle"));
    EXPECT_EQ(popup.info, GetDisplayElementInfo(areaChannel[1].load()));
    EXPECT_EQ(popup.leftAnswer, 3);
    EXPECT_EQ(popup.timeoutMs, 5000);
    EXPECT_EQ(popup.rightCaption, QStringLiteral("Close"));

    window->InfoAnswer(3);
    TSelectDisplay* picker = window->DisplayPicker();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->TargetArea(), 2);
    EXPECT_EQ(picker->GetCurrentId(), areaChannel[1].load());
    // A second opening reuses the picker for the new area.
    window->SelectDisplayElement(3);
    EXPECT_EQ(window->DisplayPicker(), picker);
    EXPECT_EQ(picker->TargetArea(), 3);
    picker->pbTop->RenderBuffer();
    picker->pbBottom->RenderBuffer();
    picker->grab().save(QStringLiteral(VELTARO_BINARY_DIR "/screenshots/display_picker.png"));
    // Cancel changes nothing and frees it.
    const std::array<int32_t, 4> shown{areaChannel[0].load(), areaChannel[1].load(), areaChannel[2].load(),
                                       areaChannel[3].load()};
    picker->AnswerCancel();
    ASSERT_TRUE(ProcessUntil([this] { return window->DisplayPicker() == nullptr; }));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(areaChannel[i].load(), shown[i]);

    // "Blank display" for the middle area: the area keeps only its field and caption.
    window->SelectDisplayElement(2);
    window->DisplayPicker()->SetCurrentId(0, 2);
    window->DisplayPicker()->AnswerOk();
    ASSERT_TRUE(ProcessUntil([this] { return window->DisplayPicker() == nullptr; }));
    EXPECT_EQ(areaChannel[1].load(), 0);
    window->pbTop()->RenderBuffer();
    EXPECT_TRUE(window->DisplayAreas()->Caches().aFeldWert[1].startsWith(QLatin1Char(';')))
        << window->DisplayAreas()->Caches().aFeldWert[1].toStdString();
    Picture(QStringLiteral("picker_blank_middle"));

    // Without "ShowInfo" a click shows nothing; in the search mode there is no change button.
    window->Settings().showInfo = false;
    window->ShowAreaInfo(1, QPoint(10, 10));
    EXPECT_EQ(dialogs.infos().size(), 1u);
    window->Settings().showInfo = true;
    window->Fields().isFindPeak.store(true);
    window->ShowAreaInfo(4, QPoint(10, 10));
    ASSERT_EQ(dialogs.infos().size(), 2u);
    EXPECT_TRUE(dialogs.infos().back().leftCaption.isEmpty());
    EXPECT_EQ(dialogs.infos().back().info, GetDisplayElementInfo(103));
    window->Fields().isFindPeak.store(false);
    window->ShowAreaInfo(7, QPoint(10, 10));
    EXPECT_EQ(dialogs.infos().size(), 2u);
    Exit();
}

TEST_F(MainPanelsConcurrent, TopBarFollowsTheMenuBar) {
    StartProgram();
    ShowAt(QSize(990, 720));
    TPaintBox32* bar = window->pbTopBar();
    const int c = bar->width() - UISpace;
    ASSERT_TRUE(window->MenuBarShown());
    EXPECT_EQ(bar->height(), TopBarHeight(true, UIScale));
    EXPECT_EQ(window->TopBarHitAt(c - bar->height() / 2), 0);
    window->TopBarPress(kTopBarClose);
    EXPECT_TRUE(window->isVisible());
    window->ToggleMenuBar();
    EXPECT_FALSE(window->MenuBarShown());
    const int h = bar->height();  // the bar grew to hold its squares
    EXPECT_EQ(h, TopBarHeight(false, UIScale));
    EXPECT_EQ(window->TopBarHitAt(c - h / 2), kTopBarClose);
    EXPECT_EQ(window->TopBarHitAt(c - 3 * h / 2), kTopBarMenu);
    // The hovered square is highlighted.
    bar->Tag = kTopBarMenu;
    bar->Invalidate();
    bar->RenderBuffer();
    EXPECT_EQ(bar->Buffer().Pixel(c - 3 * h / 2, 1), clHover32);
    window->TopBarPress(kTopBarMenu);
    EXPECT_TRUE(window->MenuBarShown());
    bar->Tag = 0;
    // The smallest window: every panel paints, none with a negative size.
    window->ToggleMenuBar();
    ShowAt(QSize(60, 40));
    window->SetStatusInfo(2, QStringLiteral("/a/rather/long/path/to/a/file.vtm"));
    const QImage tiny = Picture(QStringLiteral("panels_smallest"));
    EXPECT_FALSE(tiny.isNull());
    for (TPaintBox32* box : {window->pbStatus(), window->pbTopBar(), window->pbIpInfo(), window->pbInfoMessung(),
                             window->pbRunten(), window->pbMInfo(), window->pbLogo()}) {
        EXPECT_GE(box->width(), 0);
        EXPECT_GE(box->height(), 0);
    }
    Exit();
}

TEST_F(MainPanelsConcurrent, PanelsIdleAndRunningWithOffsetsBeyondTheLists) {
    StartProgram();
    ShowAt(QSize(990, 720));
    window->SetStatusInfo(0, QStringLiteral("Ready"));
    for (int32_t scheme : {0, 1}) {
        window->SetDisplayColors(scheme, true);
        for (QSize size : {QSize(990, 720), QSize(1437, 1070)}) {
            ShowAt(size);
            Picture(QStringLiteral("panels_%1x%2_scheme%3_idle").arg(size.width()).arg(size.height()).arg(scheme));
        }
    }
    TInfoPanels* panels = window->InfoPanels();
    EXPECT_EQ(panels->RunTimeText(), QStringLiteral("00:00:00"));
    // The long event name ends in an ellipsis before the dot column at the right.
    TPaintBox32* runten = window->pbRunten();
    runten->Invalidate();
    const int dot = RoundI(15 * UIScale);
    EXPECT_TRUE(OnlyBackground(runten, QRect(runten->width() - dot, 0, dot, runten->height() / 8)));
    EXPECT_FALSE(OnlyBackground(runten, QRect(0, 0, runten->width() - dot, runten->height() / 8)));
    window->Settings().timeShowMode = 3;
    EXPECT_NE(panels->ClockText(), QStringLiteral("---"));  // idle: the time of day, not the count down

    // The clock's menu while idle: ticked by the mode, the count down hidden.
    window->Settings().timeShowMode = 2;
    const QPoint clock = panels->IpRects().clock.center();
    panels->IpInfoMouseDown(Qt::LeftButton, clock.x(), clock.y());
    QMenu* menu = panels->TimeModeMenu();
    ASSERT_TRUE(ProcessUntil([menu] { return menu->isVisible(); }));
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->text(), QStringLiteral("Show Current Time"));
    EXPECT_TRUE(items[1]->isChecked());
    EXPECT_FALSE(items[2]->isVisible());
    EXPECT_EQ(items[3]->text(), QStringLiteral("Sync Time"));
    EXPECT_TRUE(items[3]->isEnabled());
    const size_t mark = seen.size();
    items[0]->trigger();
    menu->hide();
    EXPECT_EQ(window->Settings().timeShowMode, 1);
    ASSERT_TRUE(ProcessUntil([this, mark] { return std::count(seen.begin() + mark, seen.end(), kNotifyClockTick) > 0; }));

    // Offsets left from an earlier run, far beyond the new run's lists.
    panels->infoTopId = 1000;
    panels->blockTableOffset = 1000;
    StartRun();
    // A top bar without the menu bar: no close square while measuring.
    window->ToggleMenuBar();
    TPaintBox32* bar = window->pbTopBar();
    bar->Tag = kTopBarClose;
    bar->Invalidate();
    EXPECT_TRUE(OnlyBackground(bar, TopBarSquare(kTopBarClose, bar->width(), bar->height(), UISpace, UIScale)));
    window->TopBarPress(kTopBarClose);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->GetMessungLaeuft());
    bar->Tag = 0;
    window->ToggleMenuBar();

    window->AddEventMessage(QStringLiteral("A first event of the run"), false, false);
    window->AddEventMessage(QStringLiteral("A very long event text that names a file /home/operator/Documents/"
                                           "Veltaro/Messungen/2026/Dezember/Open Air/Messung_0001.vtm and more"),
                            false, false);
    // Closed blocks come at the clock's full minutes; three stand in for them, the last one over the limit.
    TDaten* run = messDaten.load();
    for (int32_t i = 0; i < 3; ++i) {
        TBlockDaten8 block;
        block.id = i;
        block.start = run->GetStartTime() + i / 1440.0;
        block.ende = block.start + 1 / 1440.0;
        block.leq = 94.0 + 3 * i;
        block.leqK = 95.0 + i;
        block.dBCMax = 120.0 + i;
        run->AddBlock(block);
    }
    ASSERT_TRUE(ProcessUntil([run] { return run->GetWerteAnzahl() >= 10; }));
    // Nothing is read outside the lists: no message and no block row is shown.
    TPaintBox32* list = window->pbInfoMessung();
    list->Invalidate();
    EXPECT_TRUE(OnlyBackground(list, QRect(0, 0, list->width() - RoundI(22 * UIScale), list->height())));
    TPaintBox32* blocks = window->pbMInfo();
    blocks->Invalidate();
    blocks->RenderBuffer();
    TBitmap32 probe(1, 1);
    probe.Font.height = RoundI(-12 * UIScale);
    probe.Font.bold = true;
    const int headerBottom = UISpaceSmall + probe.TextHeight(QStringLiteral("Tj"));
    EXPECT_TRUE(OnlyBackground(blocks, QRect(0, headerBottom, blocks->width() * 3 / 4, blocks->height() - headerBottom)));
    // Back to the newest entries.
    panels->infoTopId = 0;
    panels->blockTableOffset = 0;
    window->Settings().timeShowMode = 2;
    EXPECT_EQ(panels->ClockText(), panels->RunTimeText());
    EXPECT_NE(panels->RunTimeText(), QStringLiteral("00:00:00"));
    window->Settings().timeShowMode = 3;
    EXPECT_EQ(panels->ClockText(), QStringLiteral("---"));  // no planned duration
    // While running a left click on the clock switches to the run time and back.
    for (int32_t expected : {2, 1, 2}) {
        panels->IpInfoMouseDown(Qt::LeftButton, clock.x(), clock.y());
        EXPECT_EQ(window->Settings().timeShowMode, expected);
    }
    // The event list scrolls by its squares while more lines wait below or above.
    for (int i = 0; i < 6; ++i) window->AddEventMessage(QStringLiteral("Event %1").arg(i), false, false);
    ShowAt(QSize(1437, 1070));
    list->Invalidate();
    list->RenderBuffer();
    ASSERT_EQ(panels->infoMoreToShow, 2) << "ten messages do not fit the list";
    const int icon = RoundI(22 * UIScale);
    panels->MessagesMouseDown(list->width() - icon / 2, list->height() - icon / 2);
    EXPECT_EQ(panels->infoTopId, 1);
    list->RenderBuffer();
    EXPECT_TRUE(panels->infoMoreToShow & 1);
    panels->MessagesMouseDown(list->width() - icon / 2, UISpaceSmall + icon / 2);
    EXPECT_EQ(panels->infoTopId, 0);
    // A click on the block table shows the run's summary lines for 15 s.
    ASSERT_FALSE(window->MemoLines().isEmpty());
    panels->BlocksMouseDown(10, blocks->height() / 2);
    ASSERT_FALSE(dialogs.infos().empty());
    const platform::InfoRequest summary = dialogs.infos().back();
    EXPECT_EQ(summary.timeoutMs, 15000);
    EXPECT_EQ(summary.place, 2);
    EXPECT_TRUE(summary.leftCaption.isEmpty());
    EXPECT_EQ(summary.info, window->MemoLines().join(QStringLiteral("\r\n")));
    // The address part takes no click while running.
    EXPECT_EQ(IpInfoHitTest(panels->IpRects(), 1, 1, true), 0);
    list->Invalidate();
    EXPECT_FALSE(OnlyBackground(list, QRect(0, 0, list->width() / 2, list->height())));
    blocks->Invalidate();
    EXPECT_FALSE(OnlyBackground(blocks, QRect(0, headerBottom, blocks->width() / 4, blocks->height() - headerBottom)));
    for (int32_t scheme : {0, 1}) {
        window->SetDisplayColors(scheme, true);
        for (QSize size : {QSize(990, 720), QSize(1437, 1070)}) {
            ShowAt(size);
            window->pbRunten()->Invalidate();
            Picture(QStringLiteral("panels_%1x%2_scheme%3_running").arg(size.width()).arg(size.height()).arg(scheme));
        }
    }
    window->StopMessung(2);
}

}  // namespace
