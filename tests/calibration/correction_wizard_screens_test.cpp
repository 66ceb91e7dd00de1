// The correction wizard's window: a picture of each of its pages and of the
// location text editor in both colour schemes (written to the build folder),
// and its layout at the usual monitor densities.
#include <gtest/gtest.h>

#include <QLocale>
#include <QTemporaryDir>
#include <QTreeView>

#include <functional>
#include <memory>
#include <set>

#include "calibration/correction_wizard_window.h"
#include "calibration/location_store.h"
#include "calibration/location_text_editor.h"
#include "platform/user_dialogs.h"
#include "support/screenshot_path.h"
#include "tests/calibration/correction_wizard_fakes.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr double kNow = 46300.5;

const char* const kPageNames[] = {"method",  "duration", "dual_mic", "edit",   "immission", "measuring",
                                  "direct",  "import",   "error",    "result", "location_list"};

class CorrectionWizardScreens : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        language.store(2);
        ASSERT_TRUE(dir_.isValid());
        platform::SetUserDialogs(&dialogs_);
        host_.kalDiv = 2.0;
        host_.activeAddresses = 1;
    }
    void TearDown() override {
        platform::SetUserDialogs(nullptr);
        SetColorScheme(kSchemeLight);
    }

    // A shown wizard after the main window's set-up, with a fresh location store.
    std::unique_ptr<TKorrWizard> Open(bool canDual, CorrectionSums* sums) {
        store_ = std::make_unique<TKorrLocation>(dir_.path());
        KorrEnvironment env;
        env.host = &host_;
        env.store = store_.get();
        env.sums = sums;
        env.calM = 117.0;
        env.calR = 119.0;
        env.allowDirectEntry = true;
        env.now = [] { return kNow; };
        auto w = std::make_unique<TKorrWizard>(env, dir_.path(), nullptr);
        w->Core().SetMode(canDual, -60, false);
        w->Core().SetCorrMode(kKorrNone);
        w->show();
        QCoreApplication::processEvents();
        return w;
    }

    static void Describe(TaKorr& core, const QString& text) {
        core.SetMemoText(text);
        core.RightButton();
    }
    static void Measure(TaKorr& core) {
        while (core.MessTimerOn()) core.MessTick();
    }
    // The first tick starts sampling; a few more put values on the monitors.
    static void MeasureAWhile(TaKorr& core) {
        for (int i = 0; i < 6; ++i) core.MessTick();
    }
    // One microphone up to the start of the first location's measurement.
    static void ToFirstLocationMeasurement(TaKorr& core) {
        core.ChooseMethod(kKorrOneMic);
        core.RightButton();
        core.RightButton();
        Describe(core, QStringLiteral("Stage left"));
        core.RightButton();
    }

    // Shows the core's state and saves the page it is on; answers that page.
    static KorrPage Shoot(TKorrWizard& w, const QString& suffix) {
        w.Sync();
        QCoreApplication::processEvents();
        const KorrPage page = w.Core().Page();
        const QString name = QStringLiteral("correction_wizard_%1%2.png")
                                 .arg(QString::fromLatin1(kPageNames[static_cast<size_t>(page)]), suffix);
        EXPECT_TRUE(w.grab().save(test_support::ScreenshotPath(name))) << name.toStdString();
        return page;
    }

    QTemporaryDir dir_;
    platform::ScriptedDialogs dialogs_;
    FakeWizardHost host_;
    FakeSums sums_;
    std::unique_ptr<TKorrLocation> store_;
};

TEST_F(CorrectionWizardScreens, PicturesOfEveryPageAndTheLocationEditorInBothSchemes) {
    for (const int32_t scheme : {kSchemeLight, kSchemeDark}) {
        SetColorScheme(scheme);
        const QString suffix = scheme == kSchemeLight ? QStringLiteral("_light") : QStringLiteral("_dark");
        std::set<KorrPage> shot;
        auto keep = [&](TKorrWizard& w) { shot.insert(Shoot(w, suffix)); };
        {
            // Two microphones through to the result: every page of the measuring path.
            auto w = Open(true, &sums_);
            TaKorr& core = w->Core();
            keep(*w);                                    // methods
            core.RightButton();
            keep(*w);                                    // two-microphone information
            core.RightButton();
            keep(*w);                                    // duration
            core.RightButton();
            core.SetMemoText(QStringLiteral("Stage left, in front of the barrier"));
            keep(*w);                                    // description
            core.RightButton();
            Describe(core, QStringLiteral("FOH desk"));
            keep(*w);                                    // level at the location
            core.RightButton();
            sums_.vglA = sums_.vglC = sums_.vglZ = 0.05;
            MeasureAWhile(core);
            keep(*w);                                    // measuring, monitors running
            Measure(core);
            keep(*w);                                    // location list
            core.RightButton();
            keep(*w);                                    // result
        }
        {
            auto w = Open(false, &sums_);
            w->Core().ChooseMethod(kKorrImport);
            w->Core().RightButton();
            keep(*w);                                    // import tree
            EXPECT_EQ(QColorOf(clList), w->ImportTree()->palette().color(QPalette::Base)) << "tree off the scheme";
        }
        {
            auto w = Open(false, &sums_);
            TaKorr& core = w->Core();
            core.ChooseMethod(kKorrDirect);
            core.RightButton();
            Describe(core, QStringLiteral("Front row"));
            Describe(core, QStringLiteral("Desk centre"));
            core.SetDirectField(0, QStringLiteral("-3.5"));
            core.SetDirectField(1, QStringLiteral("x"));
            keep(*w);                                    // direct entry, one field rejected
        }
        {
            // One microphone: the measuring position after one location.
            auto w = Open(false, &sums_);
            TaKorr& core = w->Core();
            ToFirstLocationMeasurement(core);
            Measure(core);
            core.RightButton();
            core.RightButton();
            Describe(core, QStringLiteral("FOH desk"));
            core.RightButton();
            MeasureAWhile(core);
            keep(*w);                                    // measuring position, running
        }
        {
            // Without the calculation thread the first measuring tick fails.
            auto w = Open(false, nullptr);
            TaKorr& core = w->Core();
            ToFirstLocationMeasurement(core);
            core.MessTick();
            keep(*w);                                    // error
        }
        std::set<std::string> missing;
        for (size_t i = 0; i < std::size(kPageNames); ++i)
            if (!shot.count(static_cast<KorrPage>(i))) missing.insert(kPageNames[i]);
        EXPECT_TRUE(missing.empty()) << "pages never reached: " << ::testing::PrintToString(missing);

        for (const int32_t mode : {7, 8}) {
            TEditKorr editor(nullptr);
            editor.SetMode(mode);
            editor.SetIt(QStringLiteral("Balcony right, row 3"));
            editor.show();
            QCoreApplication::processEvents();
            const QString name = QStringLiteral("location_text_editor_mode%1%2.png").arg(mode).arg(suffix);
            EXPECT_TRUE(editor.grab().save(test_support::ScreenshotPath(name)));
        }
    }
}

TEST_F(CorrectionWizardScreens, LayoutFollowsThePixelDensity) {
    struct Case {
        double dpi;
        int32_t fontHeightUnit;
        QSize page;
    };
    // Sizes round half to even: 295 x 1.5 = 442.5 gives 442.
    const Case cases[] = {
        {96.0, -1, QSize(550, 295)},
        {120.0, -2, QSize(688, 369)},
        {144.0, -2, QSize(825, 442)},
    };
    auto w = Open(false, &sums_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        w->ApplyDpi(c.dpi);
        EXPECT_EQ(c.fontHeightUnit, w->FontHeightUnit());
        EXPECT_EQ(c.page, w->PagePaintBox(KorrPage::tsART)->size());
        EXPECT_EQ(c.page, w->PagePaintBox(KorrPage::tsLocList)->size());
        // The step list stands right of the pages, as high as they are, and the form is both wide.
        EXPECT_EQ(c.page.width(), w->StepList()->x());
        EXPECT_EQ(c.page.height(), w->StepList()->height());
        EXPECT_EQ(c.page.width() + w->StepList()->width(), w->width());
    }
}

}  // namespace
