// The basic settings dialog offscreen: the microphone rule, the password
// switches, the precision class and the clamped intervals.
#include <gtest/gtest.h>

#include <QDir>

#include "settings/basic_settings_dialog.h"
#include "settings/tick_rows.h"
#include "support/screenshot_path.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

namespace {

using G = TGrundeinstellung;

class BasicSettings : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(2);
    }
    void Click(G::Tick tick) {
        TTickRows* box = dialog.TickBox(tick);
        gui_test::Click(box, QPoint(10, box->height() / 2));
    }
    G dialog{nullptr, 96};
};

TEST_F(BasicSettings, TheAssignmentTicksFollowTheMicrophoneCount) {
    dialog.SetVuAssign(1);
    dialog.SetMikroanzahl(3);
    EXPECT_EQ(dialog.GetMikroanzahl(), 1);
    EXPECT_FALSE(dialog.Box(G::CheckVu1).GetIsEnabled());
    Click(G::CheckVu2);
    EXPECT_EQ(dialog.GetVuAssign(), 1);
    Click(G::CheckTwo);
    EXPECT_EQ(dialog.GetMikroanzahl(), 2);
    EXPECT_TRUE(dialog.Box(G::CheckVu1).GetIsEnabled());
    EXPECT_TRUE(dialog.Box(G::CheckVu1).GetIsSelected());
    Click(G::CheckVu2);
    EXPECT_EQ(dialog.GetVuAssign(), 3);
    Click(G::CheckOne);
    EXPECT_EQ(dialog.GetMikroanzahl(), 1);
    EXPECT_FALSE(dialog.Box(G::CheckTwo).GetIsSelected());
}

TEST_F(BasicSettings, ForcingAPasswordNeedsThePasswordAllowed) {
    dialog.SetUsePw(true);
    dialog.SetForcePw(true);
    Click(G::CheckPW);
    EXPECT_FALSE(dialog.Box(G::CheckPwForce).GetIsEnabled());
    EXPECT_TRUE(dialog.Box(G::CheckPwForce).GetIsSelected());
    EXPECT_FALSE(dialog.GetForcePw());
    Click(G::CheckPwForce);
    EXPECT_TRUE(dialog.Box(G::CheckPwForce).GetIsSelected());
    Click(G::CheckPW);
    EXPECT_TRUE(dialog.GetForcePw());
}

TEST_F(BasicSettings, PrecisionAndIntervals) {
    for (const auto& [set, one, two, off] : {std::tuple{5, false, false, false}, std::tuple{-1, false, false, true},
                                             std::tuple{1, true, false, false}, std::tuple{2, false, true, false}}) {
        dialog.SetPrecision(set);
        EXPECT_EQ(dialog.GetPrecision(), set);
        EXPECT_EQ(dialog.Box(G::CheckClass1).GetIsSelected(), one) << set;
        EXPECT_EQ(dialog.Box(G::CheckClass2).GetIsSelected(), two) << set;
        EXPECT_EQ(dialog.Box(G::CheckClassOff).GetIsSelected(), off) << set;
    }
    Click(G::CheckClass2);
    EXPECT_EQ(dialog.GetPrecision(), 2);
    for (const auto& [set, k, o] : {std::tuple{0, 1, 1}, std::tuple{400, 360, 133}, std::tuple{200, 200, 133}}) {
        dialog.SetIntervallK(set);
        dialog.SetIntervallO(set);
        EXPECT_EQ(dialog.GetIntervallK(), k);
        EXPECT_EQ(dialog.GetIntervallO(), o);
    }
    dialog.SetEKal(false);
    Click(G::CheckEKal);
    EXPECT_TRUE(dialog.GetEKal());
}

TEST_F(BasicSettings, Screenshots) {
    dialog.SetMikroanzahl(2);
    for (const int32_t scheme : {kSchemeLight, kSchemeDark}) {
        SetColorScheme(scheme);
        G shown(nullptr, 96);
        shown.SetMikroanzahl(2);
        shown.SetUsePw(true);
        shown.show();
        EXPECT_TRUE(shown.grab().toImage().save(test_support::ScreenshotPath(QStringLiteral("basic_settings_scheme%1.png").arg(scheme))));
    }
    SetColorScheme(kSchemeDark);
}

}  // namespace
