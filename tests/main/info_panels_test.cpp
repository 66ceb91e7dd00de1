// The arithmetic and texts of the main window's smaller panels: where the
// top bar's squares and the address line's parts are hit, the address and
// clock texts, the order of the quantities in the lower info area and the
// places of the status line's texts.
#include "main/info_panels.h"

#include <gtest/gtest.h>

#include "main/program_settings.h"
#include "main/status_line.h"
#include "main/main_form_layout.h"
#include "main/top_bar.h"
#include "store/measuring_preset.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

TEST(TopBar, HitTestCountsASharedEdgeToTheLowerSquareAndNothingUnderTheMenuBar) {
    // Width 400, height 30, spacing 16: the squares end at c = 384.
    struct Case {
        int x;
        int32_t hit;
    };
    for (const Case& c : {Case{293, 0}, Case{294, 1}, Case{323, 1}, Case{324, 1}, Case{325, 2}, Case{354, 2},
                          Case{355, 3}, Case{384, 3}, Case{385, 0}, Case{0, 0}, Case{-5, 0}}) {
        EXPECT_EQ(TopBarHitTest(c.x, 400, 30, 16, false), c.hit) << "x " << c.x;
        EXPECT_EQ(TopBarHitTest(c.x, 400, 30, 16, true), 0) << "x " << c.x << " with the menu bar shown";
    }
}

TEST(TopBar, OffersNoCloseWhileMeasuringAndStartOnlyWhenStartable) {
    struct Case {
        bool running, canStart;
        bool square1, square3;
        int32_t hint1;
    };
    for (const Case& c : {Case{true, false, true, false, 227}, Case{true, true, true, false, 227},
                          Case{false, true, true, true, 225}, Case{false, false, false, true, 0}}) {
        const TopBarState state{false, c.running, c.canStart, 0};
        EXPECT_EQ(TopBarShowsSquare(kTopBarStartStop, state), c.square1);
        EXPECT_TRUE(TopBarShowsSquare(kTopBarMenu, state));
        EXPECT_EQ(TopBarShowsSquare(kTopBarClose, state), c.square3);
        EXPECT_EQ(TopBarHintId(kTopBarStartStop, c.running, c.canStart), c.hint1);
    }
    EXPECT_EQ(TopBarHintId(kTopBarMenu, false, false), 1179);
    EXPECT_EQ(TopBarHintId(kTopBarClose, false, false), 1178);
    EXPECT_FALSE(TopBarShowsSquare(kTopBarMenu, TopBarState{true, false, true, 0}));
    // Neighbours overlap by rnd(scale) pixels; the bar is 10 or 30 times the scale high.
    EXPECT_EQ(TopBarSquare(kTopBarMenu, 400, 60, 32, 2.0).right(), 400 - 32 - 60 + 2);
    EXPECT_EQ(TopBarSquare(kTopBarStartStop, 400, 60, 32, 2.0).left(), 400 - 32 - 180 + 4);
    EXPECT_EQ(TopBarHeight(true, 1.5), 15);
    EXPECT_EQ(TopBarHeight(false, 1.5), 45);
}

TEST(IpInfoLine, HitTestAndTheAddressLimitAtTheClock) {
    // Width 400, height 36, S 16: the clock spans 284 .. 383.
    const IpInfoRects shortText = ComputeIpInfoRects(400, 36, 16, 100);
    EXPECT_EQ(shortText.clock, QRect(QPoint(284, 0), QPoint(383, 35)));
    EXPECT_EQ(shortText.address, QRect(0, 0, 132, 36));
    struct Case {
        int x, y;
        bool running;
        int32_t hit;
    };
    for (const Case& c : {Case{50, 10, false, 1}, Case{50, 10, true, 0}, Case{131, 10, false, 1},
                          Case{132, 10, false, 0}, Case{200, 10, false, 0}, Case{284, 10, false, 2},
                          Case{300, 10, true, 2}, Case{383, 35, false, 2}, Case{384, 10, false, 0},
                          Case{300, 36, false, 0}}) {
        EXPECT_EQ(IpInfoHitTest(shortText, c.x, c.y, c.running), c.hit) << c.x << "," << c.y;
    }
    // A long address list ends where the clock begins.
    const IpInfoRects longText = ComputeIpInfoRects(400, 36, 16, 5000);
    EXPECT_EQ(longText.address.right(), 283);
    EXPECT_EQ(longText.addressLimit, 284);
    EXPECT_EQ(IpInfoHitTest(longText, 283, 5, false), 1);
    EXPECT_EQ(IpInfoHitTest(longText, 284, 5, false), 2);
    // The smallest line: nothing negative.
    const IpInfoRects tiny = ComputeIpInfoRects(10, 0, 16, 100);
    EXPECT_GE(tiny.address.width(), 0);
    EXPECT_EQ(tiny.addressLimit, 0);
}

TEST(IpInfoLine, AddressTexts) {
    gui_test::App();
    language.store(kLangEnglish);
    const std::vector<LocalAddress> two{{"192.168.1.20", true}, {"10.0.0.5", false}, {"172.16.0.9", true}};
    const std::vector<LocalAddress> none{{"192.168.1.20", false}};
    const QString bullet = BulletSeparator();
    struct Case {
        std::optional<std::vector<LocalAddress>> list;
        bool https;
        int32_t port;
        bool running;
        QString text;
    };
    const std::vector<Case> cases{
        {two, false, 80, false, "http://192.168.1.20" + bullet + "172.16.0.9"},
        {two, false, 8080, true, "http://192.168.1.20:8080" + bullet + "172.16.0.9:8080"},
        {two, true, 443, false, "https://192.168.1.20:443" + bullet + "172.16.0.9:443"},
        {none, false, 80, false, "TCP/IP Server"},
        {none, true, 80, true, ""},
        {std::vector<LocalAddress>{}, false, 80, false, ""},
        {std::nullopt, false, 80, false, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(AddressText(c.list, c.https, c.port, c.running), c.text);
    EXPECT_EQ(bullet, QStringLiteral(" \u2022 "));
}

TEST(IpInfoLine, RunTimeAndCountDown) {
    struct Case {
        int64_t seconds;
        const char* text;
    };
    for (const Case& c : {Case{0, "00:00:00"}, Case{59, "00:00:59"}, Case{3661, "01:01:01"},
                          Case{359999, "99:59:59"}, Case{360000, "100:00:00"}, Case{-4, "00:00:00"}}) {
        EXPECT_EQ(FormatRunTime(c.seconds), QString::fromLatin1(c.text));
    }
    EXPECT_EQ(CountDownText(0, 10), QStringLiteral("---"));
    EXPECT_EQ(CountDownText(-5, 10), QStringLiteral("---"));
    EXPECT_EQ(CountDownText(1, 30), QStringLiteral("00:00:30"));
    EXPECT_EQ(CountDownText(1, 60), QStringLiteral("00:00:00"));
    EXPECT_EQ(CountDownText(1, 4000), QStringLiteral("00:00:00"));
    EXPECT_EQ(CountDownText(120, 0), QStringLiteral("02:00:00"));
}

TEST(LowerInfoArea, BlockOrderFollowsTheMonitoredQuantities) {
    struct Case {
        int32_t leq, leqK, peak;
        std::array<int32_t, 3> order;
    };
    for (const Case& c : {Case{1, 2, 1, {1, 0, 2}}, Case{1, 1, 2, {2, 0, 1}}, Case{1, 2, 2, {1, 2, 0}},
                          Case{2, 2, 2, {0, 1, 2}}, Case{2, 1, 1, {0, 1, 2}}, Case{0, 0, 0, {0, 1, 2}},
                          Case{2, 2, 0, {0, 1, 2}}}) {
        TVTPreset preset;
        preset.messungen[0].Status = c.leq;
        preset.messungen[1].Status = c.leqK;
        preset.messungen[2].Status = c.peak;
        EXPECT_EQ(BlockOrder(preset), c.order) << c.leq << c.leqK << c.peak;
    }
    // An offset beyond the list leaves no row to show.
    EXPECT_EQ(FirstShownIndex(3, 0), 2);
    EXPECT_LT(FirstShownIndex(3, 3), 0);
    EXPECT_LT(FirstShownIndex(3, 1000), 0);
}

TEST(IpInfoLine, ALongAddressListEndsBeforeTheClock) {
    gui_test::App();
    language.store(kLangEnglish);
    TProgramSettings settings;
    settings.ipPort = 8080;
    TPaintBox32 box;
    box.resize(400, 36);
    TInfoPanels::Hooks hooks;
    hooks.running = [] { return false; };
    hooks.localAddresses = [] {
        std::vector<LocalAddress> list;
        for (int i = 0; i < 6; ++i) list.push_back({QStringLiteral("192.168.100.%1").arg(100 + i), true});
        return list;
    };
    TInfoPanels panels(TInfoPanels::Boxes{nullptr, nullptr, nullptr, nullptr, &box}, settings, hooks);
    EXPECT_TRUE(panels.CurrentAddressText().startsWith(QStringLiteral("http://192.168.100.100:8080 \u2022 ")));
    const IpInfoRects r = panels.IpRects();
    EXPECT_EQ(r.address.right() + 1, r.clock.left());
    box.Tag = 0;
    box.Invalidate();
    box.RenderBuffer();
    const TBitmap32& b = box.Buffer();
    // Between the end of the addresses and the clock's text only the background shows.
    const int clockText = 16 + RoundI(0.75 * (400 - 32));
    bool addressDrawn = false;
    for (int y = 0; y < 36; ++y) {
        for (int x = r.addressLimit; x < clockText; ++x) EXPECT_EQ(b.Pixel(x, y), clBack32) << x << "," << y;
        for (int x = 16; x < r.addressLimit; ++x) addressDrawn |= b.Pixel(x, y) != clBack32;
    }
    EXPECT_TRUE(addressDrawn);
}

TEST(StatusLine, ALongPathIsShortenedInItsMiddleAfterSlotOne) {
    gui_test::App();
    TBitmap32 bitmap(600, 20);
    bitmap.Font.height = -12;
    const QString path = QStringLiteral("/home/operator/Documents/Veltaro/Messungen/2026/Dezember/"
                                        "Open Air Festival Hauptbuehne Samstag Abend/Messung_0001.vtm");
    const std::array<QString, 3> texts{QStringLiteral("Measurement running"), QStringLiteral("Next period"), path};
    const StatusLineLayout l = ComputeStatusLine(bitmap, texts, false, 16);
    EXPECT_EQ(l.slot0.left(), 16);
    EXPECT_GE(l.slot1.left(), l.slot0.right() + 16);
    EXPECT_GE(l.slot2.left(), l.slot1.right() + 16);
    EXPECT_LE(l.slot2.right(), 600 - 16);
    EXPECT_TRUE(l.slot2Flags & kTextPathEllipsis);
    // A short one is right-aligned at the margin; on battery the icon comes first.
    const StatusLineLayout shortOne =
        ComputeStatusLine(bitmap, {QStringLiteral("Ready"), QString(), QStringLiteral("a.vtm")}, true, 16);
    EXPECT_EQ(shortOne.slot2.right(), 600 - 16 - 1);
    EXPECT_TRUE(shortOne.slot2Flags & kTextRight);
    EXPECT_EQ(shortOne.battery.left(), 16);
    EXPECT_EQ(shortOne.slot0.left(), shortOne.battery.right() + 1 + 16);
    // The smallest line raises nothing.
    TBitmap32 none(0, 0);
    EXPECT_NO_THROW(ComputeStatusLine(none, texts, true, 16));
}

}  // namespace
