// The measurement options edit the user preset live in the preset handler:
// the lists, the warning/limit pairs, the checks and the monitored limits.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QSpinBox>
#include <QTemporaryDir>

#include <memory>

#include "platform/user_dialogs.h"
#include "settings/measurement_options_dialog.h"
#include "settings/tick_rows.h"
#include "store/preset_handler.h"
#include "support/screenshot_path.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"

namespace {

using M = TOptionenMessung;

class MeasurementOptions : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(2);
        platform::SetUserDialogs(&dialogs);
        handler = std::make_unique<TVTPresetHandler>(dir.filePath("defaults"), dir.filePath("user"));
        QDir().mkpath(dir.filePath("user"));
        TVTPreset user = InitDinPreset();
        user.isUser = true;
        user.linkLeqK = false;
        user.vor = user.InfoD = user.InfoE = QStringLiteral("Mine");
        handler->SetPreset(-2, user);
        presetHandler.store(handler.get());
    }
    void TearDown() override {
        presetHandler.store(nullptr);
        platform::SetUserDialogs(nullptr);
    }
    TVTPreset Stored() const { return handler->GetPreset(-2); }
    void WithStored(const std::function<void(TVTPreset&)>& change) {
        TVTPreset p = Stored();
        change(p);
        handler->SetPreset(-2, p);
    }

    QTemporaryDir dir;
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<TVTPresetHandler> handler;
};

TEST_F(MeasurementOptions, WarningAndLimitStayApartWithinTheRange) {
    M d(nullptr, 96);
    d.InitUserPreset(Stored());
    d.SetSpin(M::seAGelb, 170);
    EXPECT_EQ(Stored().messungen[kPresetEntryLeq].Gelb, 169);
    EXPECT_EQ(Stored().messungen[kPresetEntryLeq].Rot, 170);
    d.SetSpin(M::seCrot, 30);
    EXPECT_EQ(Stored().messungen[kPresetEntryPeak].Gelb, 30);
    EXPECT_EQ(Stored().messungen[kPresetEntryPeak].Rot, 31);
    // The limit popup acts only on a field that had the focus.
    d.ChooseLimit(99);
    EXPECT_EQ(Stored().messungen[kPresetEntryLeqK].Rot, 99);
    d.EnterSpin(M::seKRot);
    d.ChooseLimit(120);
    EXPECT_EQ(Stored().messungen[kPresetEntryLeqK].Rot, 120);
}

TEST_F(MeasurementOptions, TheLinkCarriesTheLeqOverToTheShortTermLeq) {
    M d(nullptr, 96);
    d.InitUserPreset(Stored());
    d.ClickTick(M::CheckLinkLeq);
    EXPECT_TRUE(Stored().linkLeqK);
    EXPECT_FALSE(d.SpinBox(M::seKGelb)->isEnabled());
    ASSERT_TRUE(d.ChooseItem(M::cbLEQFilter, 2));
    d.SetSpin(M::seARot, 105);
    d.ChooseItem(M::cbLeq10, 60);
    const TVTPreset p = Stored();
    EXPECT_EQ(p.messungen[kPresetEntryLeqK].Filter, 2);
    EXPECT_EQ(p.messungen[kPresetEntryLeqK].Rot, 105);
    EXPECT_EQ(p.messungen[kPresetEntryLeqK].Dauer, 60);
}

TEST_F(MeasurementOptions, TheClosingCalibrationExcludesEndingDirectly) {
    WithStored([](TVTPreset& p) {
        p.offCheck = false;
        p.endDirect = true;
    });
    M d(nullptr, 96);
    d.InitUserPreset(Stored());
    EXPECT_TRUE(d.Box(M::CheckAutoEnd).GetIsSelected());
    d.ClickTick(M::CheckKalEnde);
    EXPECT_FALSE(d.Box(M::CheckAutoEnd).GetIsEnabled());
    EXPECT_FALSE(Stored().endDirect);
    d.ClickTick(M::CheckAutoEnd);
    EXPECT_FALSE(Stored().endDirect);
    d.ClickTick(M::CheckKalEnde);
    EXPECT_TRUE(d.Box(M::CheckAutoEnd).GetIsEnabled());
    EXPECT_FALSE(d.Box(M::CheckAutoEnd).GetIsSelected());
}

TEST_F(MeasurementOptions, TheLastMonitoredLimitComesBackAtOnce) {
    WithStored([](TVTPreset& p) {
        p.messungen[0].Status = 1;
        p.messungen[1].Status = 0;
        p.messungen[2].Status = 2;
    });
    M d(nullptr, 96);
    d.InitUserPreset(Stored());
    d.ClickTick(M::CheckUePeak);
    EXPECT_EQ(Stored().messungen[kPresetEntryPeak].Status, 0);
    EXPECT_EQ(Stored().messungen[kPresetEntryLeq].Status, 2);
    EXPECT_TRUE(d.Box(M::CheckUeLeq).GetIsSelected());
    EXPECT_FALSE(d.Box(M::CheckPLeq).GetIsSelected());
}

TEST_F(MeasurementOptions, UnknownStoredValuesAreShownCorrectedAndWrittenOnOk) {
    WithStored([](TVTPreset& p) {
        p.messungen[kPresetEntryLeq].Dauer = 1;
        p.messungen[kPresetEntryPeak].Dauer = 100;
        p.messungen[kPresetEntryPeak].Filter = 3;
    });
    M d(nullptr, 96);
    d.InitUserPreset(Stored());
    EXPECT_EQ(d.ListBox(M::cbLEQTime)->currentData().toInt(), 3600);
    EXPECT_EQ(d.ListBox(M::cbMittelung)->currentData().toInt(), 1680);
    EXPECT_EQ(d.ListBox(M::cbPeakMode)->currentData().toInt(), 2);
    EXPECT_EQ(Stored().messungen[kPresetEntryPeak].Dauer, 100);
    d.Confirm();
    EXPECT_EQ(Stored().messungen[kPresetEntryPeak].Dauer, 1680);
    EXPECT_EQ(Stored().messungen[kPresetEntryPeak].Filter, 2);
    EXPECT_EQ(Stored().messungen[kPresetEntryLeq].Dauer, 1);
    WithStored([](TVTPreset& p) { p.messungen[kPresetEntryLeq].Dauer = -2; });
    M whole(nullptr, 96);
    EXPECT_EQ(whole.ListBox(M::cbLEQTime)->currentData().toInt(), -2);
}

TEST_F(MeasurementOptions, SaveProposesAListedFileNameAndWritesIt) {
    M d(nullptr, 96);
    d.InitUserPreset(Stored());
    d.SetInfoText(QStringLiteral("Club/Hall\tNight"));
    EXPECT_EQ(Stored().InfoE, QStringLiteral("Club/Hall\tNight"));
    const QString target = dir.filePath("user/club.vup");
    dialogs.ScriptSaveFile(target);
    d.Save();
    ASSERT_EQ(dialogs.saveFileRequests().size(), 1u);
    EXPECT_EQ(dialogs.saveFileRequests()[0].fileName, QStringLiteral("ClubHallNight.vup"));
    EXPECT_TRUE(QFileInfo::exists(target));
    EXPECT_EQ(Stored().fn, QStringLiteral("club.vup"));
}

TEST_F(MeasurementOptions, Screenshots) {
    for (const int32_t scheme : {kSchemeLight, kSchemeDark}) {
        SetColorScheme(scheme);
        M d(nullptr, 96);
        d.InitUserPreset(Stored());
        d.show();
        EXPECT_TRUE(d.grab().toImage().save(test_support::ScreenshotPath(QStringLiteral("measurement_options_scheme%1.png").arg(scheme))));
    }
    SetColorScheme(kSchemeDark);
}

}  // namespace
