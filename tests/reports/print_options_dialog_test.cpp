// The print options dialog offscreen: its start from the store's preset and
// the stored settings, the section rules, the answers and the language keys.
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <vector>

#include "platform/window_messages.h"
#include "reports/print_options_dialog.h"
#include "store/measurement_store.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

namespace {

class PrintOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(2);
        printSettings() = TPrintSettings{};
        store.SetProtStatus(2, 1, 0);  // Leq required, short-term Leq informative, peak not in the protocol
        store.SetShowLeq(false);
        store.SetShowLeqK(true);
        store.SetShowPeak(true);
    }
    void TearDown() override { printSettings() = TPrintSettings{}; }

    // Runs ShowMenu; check looks at the prepared dialog, which answers result.
    bool Show(const std::function<void(TfPrint&)>& check, int result) {
        TPrintConfig config;
        TPrintConfig::SetDialogRunner([&](TfPrint& dialog) {
            check(dialog);
            return result;
        });
        const bool confirmed = config.ShowMenu("header", &store);
        last = {config.GetPrintSettings(1), config.GetPrintSettings(2), config.GetPrintSettings(3)};
        lastLang = config.GetLangId();
        TPrintConfig::SetDialogRunner({});
        return confirmed;
    }
    static bool On(TfPrint& d, TfPrint::Tick t) { return d.Box(t).GetIsSelected(); }
    static bool Enabled(TfPrint& d, TfPrint::Tick t) { return d.Box(t).GetIsEnabled(); }
    // A click on row of a section box (column 0 left, 1 right of the report box).
    static void ClickRow(TfPrint& d, int mode, int row, int column = 0) {
        TPaintBox32* box = d.SectionBox(mode);
        const int rows = mode == TfPrint::kReport ? 4 : 5;
        d.ClickSection(mode, column == 0 ? 5 : box->width() - 5, (2 * row + 1) * box->height() / (2 * rows));
    }

    TDaten store;
    std::vector<TPrintInfo> last;
    int32_t lastLang = -1;
};

TEST_F(PrintOptionsTest, FirstPrintStartsFromThePreset) {
    EXPECT_FALSE(Show(
        [](TfPrint& d) {
            EXPECT_TRUE(On(d, TfPrint::spProt));
            EXPECT_TRUE(On(d, TfPrint::spLeq));
            EXPECT_FALSE(On(d, TfPrint::spLeqK));
            EXPECT_TRUE(Enabled(d, TfPrint::spLeqK));
            EXPECT_FALSE(On(d, TfPrint::spPeak));
            EXPECT_FALSE(Enabled(d, TfPrint::spPeak));
            EXPECT_FALSE(On(d, TfPrint::sEinzel));
            EXPECT_FALSE(On(d, TfPrint::sELeq));
            EXPECT_TRUE(On(d, TfPrint::sELeqK));
            EXPECT_TRUE(On(d, TfPrint::sEPeak));
            EXPECT_FALSE(Enabled(d, TfPrint::sELeqK));
            EXPECT_FALSE(On(d, TfPrint::sGrafik));
            EXPECT_TRUE(On(d, TfPrint::sGColor));
            EXPECT_FALSE(Enabled(d, TfPrint::sGColor));
            // No whole-measurement Leq and no two-hour Leq in this store.
            EXPECT_FALSE(d.Box(TfPrint::spLFull).myVisible);
            EXPECT_FALSE(d.Box(TfPrint::spL120).myVisible);
            EXPECT_TRUE(d.PrintVisible());
            EXPECT_EQ(d.GetLanguageId(), 2);
        },
        2));
    // Cancel: nothing confirmed, the language latch untouched.
    EXPECT_EQ(lastLang, 0);
    EXPECT_FALSE(last[0].valSet);
}

TEST_F(PrintOptionsTest, PresetRulesOverStoredQuantities) {
    printSettings().info = TPrintInfo{false, true, false, false, true, true, false, true};
    EXPECT_TRUE(Show(
        [](TfPrint& d) {
            EXPECT_TRUE(On(d, TfPrint::spLeq));
            EXPECT_FALSE(On(d, TfPrint::spPeak));
            EXPECT_TRUE(On(d, TfPrint::spL120));
            // The report tick re-enables every quantity, even those the preset greyed.
            ClickRow(d, TfPrint::kReport, 0);
            EXPECT_FALSE(Enabled(d, TfPrint::spLeq));
            ClickRow(d, TfPrint::kReport, 0);
            EXPECT_TRUE(Enabled(d, TfPrint::spPeak));
            ClickRow(d, TfPrint::kReport, 3);
            EXPECT_TRUE(On(d, TfPrint::spPeak));
            d.SetLanguage(1);
        },
        1));
    EXPECT_EQ(last[0], (TPrintInfo{false, true, true, false, true, true, false, true}));
    EXPECT_TRUE(last[1].valSet);
    EXPECT_TRUE(last[2].valSet);
    EXPECT_EQ(lastLang, 1);
}

TEST_F(PrintOptionsTest, SectionRulesAndThePrintButton) {
    Show(
        [](TfPrint& d) {
            ClickRow(d, TfPrint::kSingleValues, 0);
            EXPECT_TRUE(Enabled(d, TfPrint::sELeqK));
            ClickRow(d, TfPrint::kSingleValues, 2);
            ClickRow(d, TfPrint::kSingleValues, 3);
            // The last quantity unticked: the Leq comes back at once.
            EXPECT_TRUE(On(d, TfPrint::sELeq));
            EXPECT_EQ(d.GetValues(TfPrint::kSingleValues), (TPrintInfo{false, true, true, false, false}));
            ClickRow(d, TfPrint::kSingleValues, 0);
            ClickRow(d, TfPrint::kReport, 0);
            EXPECT_FALSE(d.PrintVisible());
            ClickRow(d, TfPrint::kGraph, 0);
            EXPECT_TRUE(d.PrintVisible());
            EXPECT_TRUE(d.GetValues(TfPrint::kGraph).option);
            ClickRow(d, TfPrint::kGraph, 0);
            EXPECT_FALSE(d.PrintVisible());
            // Report ticked without any of its five ticks is not selected.
            ClickRow(d, TfPrint::kReport, 0);
            ClickRow(d, TfPrint::kReport, 1);
            EXPECT_FALSE(d.GetValues(TfPrint::kReport).selected);
            EXPECT_EQ(d.GetValues(9), TPrintInfo{});
        },
        2);
}

TEST_F(PrintOptionsTest, LanguageKeysSwitchTheProgramAtOnce) {
    std::vector<std::pair<uintptr_t, intptr_t>> received;
    const platform::WindowHandle window = platform::RegisterWindow([&](uint32_t msg, uintptr_t w, intptr_t l) {
        if (msg == WM_MAIN_NOTIFY) {
            received.emplace_back(w, l);
            language.store(static_cast<int32_t>(l));
        }
    });
    mainWnd.store(window);
    Show(
        [&](TfPrint& d) {
            QKeyEvent ctrlD(QEvent::KeyPress, Qt::Key_D, Qt::ControlModifier);
            QApplication::sendEvent(d.LanguageCombo(), &ctrlD);
            ASSERT_EQ(received.size(), 1u);
            EXPECT_EQ(received[0], (std::pair<uintptr_t, intptr_t>(kNotifyLanguage, 1)));
            EXPECT_EQ(d.windowTitle(), "Druckeinstellungen");
            EXPECT_EQ(d.GetLanguageId(), 1);
            QKeyEvent ctrlE(QEvent::KeyPress, Qt::Key_E, Qt::ControlModifier);
            QApplication::sendEvent(&d, &ctrlE);
            EXPECT_EQ(d.windowTitle(), "Print Settings");
        },
        2);
    mainWnd.store(0);
    platform::UnregisterWindow(window);
}

TEST_F(PrintOptionsTest, ScreenshotsInBothSchemes) {
    for (const int scheme : {0, 1}) {
        SetColorScheme(scheme);
        Show(
            [scheme](TfPrint& d) {
                for (const int mode : {TfPrint::kReport, TfPrint::kSingleValues, TfPrint::kGraph})
                    d.SectionBox(mode)->RenderBuffer();
                const QImage shot = d.grab().toImage();
                EXPECT_TRUE(shot.save(QStringLiteral(VELTARO_BINARY_DIR "/tests/print_options_%1.png")
                                          .arg(scheme == 0 ? "light" : "dark")));
                // The section boxes are painted on the scheme's background.
                const QImage box = d.SectionBox(TfPrint::kReport)->grab().toImage();
                EXPECT_EQ(box.pixel(box.width() - 2, box.height() - 2) & 0xFFFFFF, clBack32 & 0xFFFFFF) << scheme;
            },
            2);
    }
    SetColorScheme(0);
}

TEST_F(PrintOptionsTest, NoStoreNoDialog) {
    TPrintConfig config;
    bool shown = false;
    TPrintConfig::SetDialogRunner([&](TfPrint&) {
        shown = true;
        return 1;
    });
    EXPECT_FALSE(config.ShowMenu("x", nullptr));
    TPrintConfig::SetDialogRunner({});
    EXPECT_FALSE(shown);
}

}  // namespace
