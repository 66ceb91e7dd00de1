// The main window's side of the program options: what OK keeps, what
// Cancel leaves alone, and where the dialog opens.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>

#include <cmath>

#include "main/main_window_fixture.h"
#include "remote/dmx_data.h"
#include "reports/name_creator.h"
#include "settings/basic_settings_dialog.h"
#include "settings/certificate_dialog.h"
#include "settings/measurement_options_dialog.h"
#include "settings/modal_runner.h"
#include "settings/regulation_choice_dialog.h"
#include "store/measurement_store.h"
#include "store/preset_handler.h"
#include "settings/options_dialog.h"
#include "settings/tick_rows.h"
#include "ui_kit/message_box.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

using test_support::MainWindowConcurrent;

class OptionsActions : public MainWindowConcurrent {
protected:
    void TearDown() override {
        SetModalRunner<TvtpOptionen>({});
        SetModalRunner<TGrundeinstellung>({});
        SetModalRunner<TSSLManager>({});
        SetModalRunner<TOptionenMessung>({});
        MainWindowConcurrent::TearDown();
    }
    QByteArray HiveBytes() {
        QFile hive(dir.filePath("user.hive"));
        return hive.open(QIODevice::ReadOnly) ? hive.readAll() : QByteArray();
    }
};

TEST_F(OptionsActions, OkKeepsEveryValueInTheRegistryAndTheDialogShowsItAgain) {
    WriteSettings([](platform::Registry& reg) { reg.WriteFloat("RLZ", 1.5); });
    Start();
    SetModalRunner<TvtpOptionen>([](TvtpOptionen& d) {
        EXPECT_EQ(d.Combo("cbRLZ")->currentIndex(), 2);
        d.SetBlinkMode(0x13);
        d.SetAreaElement(0, 202);
        d.SetAEMode(4);
        d.SetAELimit(2);
        d.SetShowLeqBar(false);
        d.SetPort(8080);
        d.SetSaveInterval(300);
        d.SetTsUse(true);
        d.SetTsStartup(true);
        d.SetTsHost("127.0.0.1");
        d.SetOWPrompt(false);
        d.SetRecordingTimes(2, 3, 40);
        d.SetClModes(2, 1);
        d.SetPrintColor(3, 0x112233);
        d.Select_Window(TvtpOptionen::tsTimeServer);
        return 1;
    });
    window->ShowOptionen(0, 0, 0);
    EXPECT_EQ(window->LastOptionsPage(), TvtpOptionen::tsTimeServer);
    platform::Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kSettingsKey));
    EXPECT_EQ(reg.ReadFloat("RLZ"), 1.0);
    EXPECT_EQ(reg.ReadInteger("BlinkMode"), 0x13);
    EXPECT_EQ(reg.ReadInteger("Oben"), 202);
    EXPECT_EQ(reg.ReadInteger("AEMode"), 4);
    EXPECT_EQ(reg.ReadInteger("AELimit"), 2);
    EXPECT_EQ(reg.ReadBool("showProgress"), false);
    EXPECT_EQ(reg.ReadInteger("IpPort"), 8080);
    EXPECT_EQ(reg.ReadBool("tsStartUp"), true);
    EXPECT_EQ(reg.ReadString("tsHost"), QString("127.0.0.1"));
    EXPECT_EQ(reg.ReadBool("OverWritePrompt"), false);
    EXPECT_EQ(reg.ReadInteger("recMax"), 40);
    EXPECT_EQ(reg.ReadInteger("clModePre"), 2);
    EXPECT_EQ(reg.ReadInteger("DruckGitter"), 0x112233);
    reg.CloseKey();

    bool shown = false;
    SetModalRunner<TvtpOptionen>([&](TvtpOptionen& d) {
        shown = true;
        EXPECT_EQ(d.GetSelectedWindowID(), TvtpOptionen::tsTimeServer);
        EXPECT_EQ(d.GetBlinkMode(), 0x13);
        EXPECT_EQ(d.GetAreaElement(0), 202);
        EXPECT_EQ(d.GetSaveInterval(), 300);
        EXPECT_EQ(d.GetPeakRelease(), 1.0);
        EXPECT_EQ(d.GetPort(), 8080);
        EXPECT_TRUE(d.GetTsStartup());
        EXPECT_EQ(d.GetRecMax(), 40);
        EXPECT_EQ(d.GetClModePost(), 1);
        EXPECT_EQ(d.GetPrintColor(3), 0x112233u);
        return 2;
    });
    window->mmEOptionenClick();
    EXPECT_TRUE(shown);
}

TEST_F(OptionsActions, CancelLeavesTheHiveTheDmxDataAndTheNameBuilderAsTheyWere) {
    Start();
    TDMXData* dmx = dmxData.load();
    ASSERT_NE(dmx, nullptr);
    TVtNameCreator* names = window->NameCreator();
    ASSERT_NE(names, nullptr);
    const QString ip = dmx->GetIp();
    const auto scene = dmx->GetData(16);
    const int32_t part = names->GetPartMode(1);
    const QString name = names->CreateSaveName(1000);
    const QByteArray before = HiveBytes();
    ASSERT_FALSE(before.isEmpty());
    SetModalRunner<TvtpOptionen>([](TvtpOptionen& d) {
        d.SetBlinkMode(0x15);
        d.SetPort(81);
        d.Select_Window(TvtpOptionen::tsDMX);
        d.Edit("edDMXIP")->setText("127.0.0.9");
        dmxData.load()->UpdateVal(16, 4, 200);
        d.ChooseNamePart(1, kNamePartRunningNumber);
        d.ChooseSeparator(0, kSepUnderscore);
        d.ResetRunningNumber();
        return 2;
    });
    window->ShowOptionen(3, 0, 0);
    EXPECT_EQ(HiveBytes(), before);
    EXPECT_EQ(dmx->GetIp(), ip);
    EXPECT_EQ(dmx->GetData(16), scene);
    EXPECT_EQ(names->GetPartMode(1), part);
    EXPECT_EQ(names->CreateSaveName(1000), name);
    EXPECT_EQ(window->LastOptionsPage(), 0);
}

TEST_F(OptionsActions, ANegativeCoordinatePutsTheRightEdgeThere) {
    Start();
    QRect placed;
    QRect centred;
    SetModalRunner<TvtpOptionen>([&](TvtpOptionen& d) {
        placed = d.geometry();
        return 2;
    });
    window->ShowOptionen(2, -1200, 300);
    EXPECT_EQ(placed.topLeft(), FitRectToWorkArea(QRect(QPoint(1200 - placed.width(), 300), placed.size())));
    SetModalRunner<TvtpOptionen>([&](TvtpOptionen& d) {
        centred = d.geometry();
        return 2;
    });
    window->ShowOptionen(2, 0, 0);
    const QRect main = window->geometry();
    const QPoint middle(main.x() + static_cast<int>(std::nearbyint((main.width() - centred.width()) / 2.0)),
                        main.y() + static_cast<int>(std::nearbyint((main.height() - centred.height()) / 2.0)));
    EXPECT_EQ(centred.topLeft(), FitRectToWorkArea(QRect(middle, centred.size())));
}

TEST_F(OptionsActions, BasicSettingsShowOneMicrophoneForAnUnknownAssignmentAndKeepTheChoice) {
    Start();
    inputAssign.store(2);
    SetModalRunner<TGrundeinstellung>([](TGrundeinstellung& d) {
        EXPECT_EQ(d.GetMikroanzahl(), 1);
        d.SetPrecision(2);
        d.SetIntervallK(400);
        d.SetForcePw(true);
        return 1;
    });
    window->ShowGrundeinstellung();
    EXPECT_TRUE(window->Settings().grundEin);
    platform::Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kSettingsKey));
    EXPECT_EQ(reg.ReadInteger("Precision"), 2);
    EXPECT_EQ(reg.ReadInteger("kalIntervall"), 360);
    EXPECT_EQ(reg.ReadBool("GrundEinstellung"), true);
    EXPECT_EQ(reg.ReadBool("forcePW"), allowPW);
}

// The certificate dialog opened from the communication page with a phrase.
void ConfirmCertificate(const QString& path, const QString& phrase) {
    SetModalRunner<TSSLManager>([path, phrase](TSSLManager& m) {
        m.SetCertFileName(path);
        m.PhraseField()->setText(phrase);
        return 1;
    });
    SetModalRunner<TvtpOptionen>([](TvtpOptionen& d) {
        d.Select_Window(TvtpOptionen::tsIP);
        gui_test::Click(d.Box("pbSSL"), QPoint(d.Box("pbSSL")->width() - 3, 3));
        d.SetUseSSL(true);
        return 1;
    });
}

TEST_F(OptionsActions, ANewPassPhraseIsStoredEncipheredAndAShortOneKeepsTheStoredValue) {
    Start();
    const QString missing = dir.filePath("nowhere.pfx");
    ConfirmCertificate(missing, "Zertifikat1");
    window->ShowOptionen(0, 0, 0);
    EXPECT_EQ(window->Settings().theKeyName, "QZOr3VwS8rszRWayxm0oqNFI4nLMbQ==");
    EXPECT_EQ(window->Settings().theCertFile, missing);
    EXPECT_FALSE(window->Settings().doSSL);  // no such file: HTTPS stays off
    ConfirmCertificate(missing, "abc");
    window->ShowOptionen(0, 0, 0);
    EXPECT_EQ(window->Settings().theKeyName, "QZOr3VwS8rszRWayxm0oqNFI4nLMbQ==");
    platform::Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kSettingsKey));
    EXPECT_EQ(reg.ReadString("KeyData"), QString("QZOr3VwS8rszRWayxm0oqNFI4nLMbQ=="));
}

TEST_F(OptionsActions, MeasurementOptionsCancelRestoresTheUserPresetAndOkAppliesTheLastPreset) {
    Start();
    TVTPresetHandler* handler = presetHandler.load();
    ASSERT_NE(handler, nullptr);
    const TVTPreset before = handler->GetPreset(-2);
    SetModalRunner<TOptionenMessung>([](TOptionenMessung& d) {
        d.SetSpin(TOptionenMessung::seARot, 120);
        d.SetInfoText("changed");
        return 2;
    });
    window->EditUserPreset();
    EXPECT_EQ(handler->GetPreset(-2), before);
    SetModalRunner<TOptionenMessung>([](TOptionenMessung& d) {
        d.SetSpin(TOptionenMessung::seARot, 120);
        d.ChooseItem(TOptionenMessung::cbNKS, 1);
        return 1;
    });
    window->EditUserPreset();
    EXPECT_EQ(handler->GetPreset(-2).messungen[kPresetEntryLeq].Rot, 120);
    EXPECT_EQ(curPreset.naKoS, handler->GetPreset(-1).naKoS);
    if (lastPresetId == -2) EXPECT_EQ(handler->GetPreset(-1).messungen[kPresetEntryLeq].Rot, 120);
}

TEST_F(OptionsActions, TheMeasurementMenuExplainsAMissingCalibrationAndNamesThePreset) {
    Start();
    window->Fields().StatusID.store(2);
    const size_t before = dialogs.infos().size();
    window->DIN1590551Click();
    ASSERT_EQ(dialogs.infos().size(), before + 1);
    EXPECT_EQ(dialogs.infos().back().header, "SPL CALIBRATION");
    EXPECT_EQ(dialogs.infos().back().timeoutMs, 15000);
    QAction* start = window->findChild<QAction*>("aMessungStarten");
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->text(), "Start Measurement (" + curPreset.InfoE + ")");
    window->Fields().StatusID.store(1);
    window->DIN1590551Click();
    EXPECT_EQ(dialogs.infos().size(), before + 1);
    window->ShowAbout();
    EXPECT_EQ(dialogs.infos().back().header, GetLangText(101) + " " + window->GetVersionString() + " (64 Bit)");
    EXPECT_EQ(TVTProMaster::MakeVersionString(0x07EA000100020003LL), "2026.1.2.3");
    window->mInfoParameterClick();
    EXPECT_EQ(dialogs.infos().back().header, "Current Settings");
    EXPECT_TRUE(dialogs.infos().back().info.contains("Selected Configuration: "));
}

TEST_F(OptionsActions, TheCurrentParametersShowTheCalibrationAndKeepEveryBlock) {
    Start();
    TDaten* store = defaultDaten.load();
    ASSERT_NE(store, nullptr);
    const platform::TDateTime refMic = platform::EncodeDateTime(2026, 5, 6, 7, 8, 0, 0);
    store->SetVMicCalTime(refMic);
    const QString uncalibrated = window->CurrentParametersText();
    EXPECT_TRUE(uncalibrated.startsWith("Selected Configuration: ")) << "the reference microphone's line replaced it";
    const qsizetype none = uncalibrated.indexOf("\r\n" + GetLangText(170));
    const qsizetype mic = uncalibrated.indexOf("\r\n" + GetLangText(171) + DateTimeText(refMic));
    const qsizetype corrections = uncalibrated.indexOf(GetLangText(174));
    EXPECT_GT(none, 0);
    EXPECT_GT(mic, none);
    EXPECT_GT(corrections, mic);

    store->SetCalTime(platform::EncodeDateTime(2026, 5, 1, 9, 0, 0, 0));
    window->Fields().KalIOMode.store(2);
    const QString calibrated = window->CurrentParametersText();
    EXPECT_FALSE(calibrated.contains(GetLangText(170)));
    const qsizetype when = calibrated.indexOf("\r\n\r\n" + GetLangText(165));
    EXPECT_GT(when, 0) << calibrated.toStdString();
    EXPECT_GT(calibrated.indexOf(GetLangText(166) + GetLangText(851) + "\r\n" + GetLangText(171)), when);
}

TEST_F(OptionsActions, TheRegulationChoiceMakesTheChosenPresetCurrent) {
    Start();
    SetModalRunner<TSelectMV>([](TSelectMV& d) {
        d.Entries()->setCurrentIndex(d.Entries()->count() - 1);
        return 1;
    });
    window->aSelMVExecute();
    SetModalRunner<TSelectMV>({});
    EXPECT_EQ(lastPresetId, -2);
    EXPECT_EQ(curPreset, presetHandler.load()->GetPreset(-2));
}

}  // namespace
