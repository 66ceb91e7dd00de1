// The program options dialog driven offscreen: page switch, the value
// mappings of every page, the live edits of the DMX data and the name
// builder, the two checks and the layout at another density.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

#include "calibration/calibration_log.h"
#include "platform/user_dialogs.h"
#include "remote/art_net_control.h"
#include "remote/dmx_data.h"
#include "remote/ip_handling.h"
#include "remote/time_server_client.h"
#include "reports/name_creator.h"
#include "settings/options_dialog.h"
#include "settings/settings_prompts.h"
#include "settings/tick_rows.h"
#include "store/measuring_preset.h"
#include "support/sntp_responder.h"
#include "support/screenshot_path.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

// Clicks the middle of row `row` of a tick box with rows rows.
void ClickRow(TTickRows* box, int row = 0) {
    const int n = static_cast<int>(box->Rows().size());
    gui_test::Click(box, QPoint(box->width() / 2, box->height() * (2 * row + 1) / (2 * n)));
}

class OptionsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(2);
        platform::SetUserDialogs(&dialogs);
        dmxData.store(&dmx);
        nameCreator.store(&names);
        ipHandling.store(&ips);
        calLog.store(&log);
        names.SetPartId(0, kNamePartEvent);
        names.SetSepId(0, kSepNone);
        names.SetPartId(1, kNamePartLocation);
        names.SetPartId(2, kNamePartEmpty);
    }
    void TearDown() override {
        dialog.reset();
        dmxData.store(nullptr);
        nameCreator.store(nullptr);
        ipHandling.store(nullptr);
        calLog.store(nullptr);
        artNetControl.store(nullptr);
        platform::SetUserDialogs(nullptr);
        ResetSettingsPrompts();
    }
    TvtpOptionen& Make(TOptionsHooks hooks = {}, double dpi = 96) {
        dialog = std::make_unique<TvtpOptionen>(nullptr, std::move(hooks), dpi);
        return *dialog;
    }
    static std::vector<TnetInfo> TwoAddresses() {
        TnetInfo a;
        a.ipV4 = QStringLiteral("127.0.0.1");
        a.info = QStringLiteral("lo: loopback");
        TnetInfo b = a;
        b.ipV4 = QStringLiteral("127.0.0.2");
        b.selected = true;
        return {a, b};
    }

    platform::ScriptedDialogs dialogs;
    TDMXData dmx;
    TVtNameCreator names;
    TIpHandling ips{TwoAddresses()};
    TCalLog log;
    std::unique_ptr<TvtpOptionen> dialog;
};

TEST_F(OptionsDialog, PageSwitchFallsBackToTheFirstPageAndReachesThePagesWithoutTab) {
    TvtpOptionen& d = Make();
    for (const auto& [asked, shown] : {std::pair{-1, 0}, std::pair{11, 0}, std::pair{10, 10}, std::pair{9, 9},
                                       std::pair{5, 5}}) {
        d.Select_Window(asked);
        EXPECT_EQ(d.GetSelectedWindowID(), shown) << asked;
    }
    EXPECT_FALSE(d.Pages()->isTabVisible(9));
    EXPECT_FALSE(d.Pages()->isTabVisible(10));
    EXPECT_TRUE(d.Pages()->isTabVisible(8));
}

TEST_F(OptionsDialog, EnterInAnyFieldConfirmsAndEscapeCancels) {
    for (const auto& [key, result] : {std::pair{Qt::Key_Return, 1}, std::pair{Qt::Key_Escape, 2}}) {
        TvtpOptionen& d = Make();
        d.open();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(d.Edit("eHost"), &press);
        EXPECT_EQ(d.result(), result);
        EXPECT_FALSE(d.isVisible());
    }
}

TEST_F(OptionsDialog, DisplayAreasFallBackToTheirOwnItemAndShowTheWeightingLetters) {
    curPreset.messungen[kPresetEntryLeq].Filter = 1;
    curPreset.messungen[kPresetEntryPeak].Filter = 2;
    TvtpOptionen& d = Make();
    for (int area = 0; area < 4; ++area) d.SetAreaElement(area, 21);
    for (int area = 0; area < 4; ++area) EXPECT_EQ(d.GetAreaElement(area), area) << area;
    d.SetAreaElement(2, 202);
    EXPECT_EQ(d.GetAreaElement(2), 202);
    QComboBox* top = d.Combo("cbOben");
    ASSERT_EQ(top->count(), 23);
    EXPECT_EQ(top->itemText(14), GetLangText(422).replace("%s", "A"));
    EXPECT_EQ(top->itemText(16), GetLangText(422).replace("%s", "C"));
    EXPECT_EQ(top->itemData(16).toInt(), 19);
}

TEST_F(OptionsDialog, VisualAlertValuesMapToTheirItems) {
    TvtpOptionen& d = Make();
    d.SetBlinkMode(0x13);
    EXPECT_EQ(d.Combo("cbBlink")->currentIndex(), 3);
    EXPECT_TRUE(d.Tick("sFlashRed").GetIsSelected());
    EXPECT_EQ(d.GetBlinkMode(), 0x13);
    d.SetBlinkMode(0x07);  // no such flashing: the first item, never no choice
    EXPECT_EQ(d.GetBlinkMode(), 0);
    d.SetAEMode(7);
    EXPECT_EQ(d.GetAEMode(), 1);
    d.SetAELimit(4);
    EXPECT_EQ(d.GetAELimit(), 5);
    d.SetAELimit(0);
    EXPECT_EQ(d.GetAELimit(), 0);
    for (const auto& [stored, index, back] :
         {std::tuple{1.5, 2, 1.0}, std::tuple{0.0, 7, 0.0}, std::tuple{0.25, 0, 0.25}, std::tuple{5.0, 6, 5.0}}) {
        d.SetPeakRelease(stored);
        EXPECT_EQ(d.Combo("cbRLZ")->currentIndex(), index) << stored;
        EXPECT_EQ(d.GetPeakRelease(), back) << stored;
    }
}

TEST_F(OptionsDialog, FileNameTicksExcludeEachOtherAndGateTheAutomaticStart) {
    TvtpOptionen& d = Make();
    d.SetAutoFn(false);
    d.SetUseFn(false);
    d.SetAutoStart(true);
    EXPECT_FALSE(d.GetAutostart());
    EXPECT_FALSE(d.Tick("sAutoStart").GetIsSelected());
    d.Select_Window(TvtpOptionen::tsSave);
    ClickRow(d.TickBox("pbAutoFn"));
    ClickRow(d.TickBox("pbAutoStart"));
    EXPECT_TRUE(d.GetAutostart());
    ClickRow(d.TickBox("pbUseFn"));
    EXPECT_TRUE(d.GetUseFn());
    EXPECT_FALSE(d.GetAutoFn());
    EXPECT_TRUE(d.GetAutostart());
    ClickRow(d.TickBox("pbUseFn"));
    EXPECT_FALSE(d.GetAutostart());
    EXPECT_FALSE(d.Tick("sAutoStart").GetIsEnabled());
    d.SetSaveInterval(15);
    EXPECT_EQ(d.GetSaveInterval(), 60);
    d.SetSaveInterval(300);
    EXPECT_EQ(d.GetSaveInterval(), 300);
}

TEST_F(OptionsDialog, NameBuilderPageEditsTheBuilderLiveWithItsPreview) {
    QTemporaryDir folder;
    TvtpOptionen& d = Make();
    d.dnl = folder.path();
    d.showDNL();
    const QString expected = names.CreateSaveName(CorrectedNow());
    EXPECT_EQ(d.PreviewPath(), QDir(folder.path()).filePath(expected));
    EXPECT_FALSE(d.PreviewRed());
    QFile existing(d.PreviewPath());
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    EXPECT_TRUE(d.PreviewRed());

    d.Select_Window(TvtpOptionen::tsDateiNamen);
    d.ChooseNamePart(1, kNamePartEmpty);
    EXPECT_EQ(names.GetPartMode(1), kNamePartEmpty);
    EXPECT_TRUE(d.Box("pbFN3")->isHidden());
    EXPECT_TRUE(d.Box("pbFnS1")->isHidden());
    EXPECT_TRUE(d.Box("pbFNS2")->isHidden());
    EXPECT_TRUE(d.Edit("eFN3")->isHidden());
    // The empty part is offered for the later slots only.
    EXPECT_EQ(d.PartMenu(0)->actions().size(), 6);
    EXPECT_EQ(d.PartMenu(1)->actions().size(), 7);

    d.ChooseDateFormat(5);
    int checked = -1;
    for (QAction* a : d.DateFormatMenu()->actions())
        if (a->isChecked()) checked = a->data().toInt();
    EXPECT_EQ(checked, 5);

    settingsPrompts().folder = [](QWidget*, const QString&, const QString&) { return std::optional<QString>(); };
    d.ChooseSaveFolder();
    EXPECT_EQ(d.dnl, folder.path());
}

TEST_F(OptionsDialog, RecordingSlidersFollowTheRecordTick) {
    TvtpOptionen& d = Make();
    d.SetRecordingTimes(3, 4, 70);
    d.SetRecPeak(false);
    EXPECT_FALSE(d.Slider("tbRecVor")->isEnabled());
    d.Select_Window(TvtpOptionen::tsRecording);
    ClickRow(d.TickBox("pbRecPeak"));
    EXPECT_TRUE(d.Slider("tbRecMax")->isEnabled());
    EXPECT_TRUE(d.Label("lRecMax")->text().startsWith("70s "));
    EXPECT_EQ(d.GetRecBefore(), 3);
    EXPECT_EQ(d.GetRecAfter(), 4);
}

TEST_F(OptionsDialog, AddressTicksAndHttpsPortRule) {
    bool asked = false;
    TOptionsHooks hooks;
    hooks.manageCertificate = [&](QWidget*, QPoint, QString& path, QString& phrase) {
        asked = true;
        path = QStringLiteral("/nowhere/cert.pfx");
        phrase = QStringLiteral("secret");
        return true;
    };
    TvtpOptionen& d = Make(std::move(hooks));
    EXPECT_FALSE(d.IsIpActive(0));
    EXPECT_TRUE(d.IsIpActive(1));
    EXPECT_FALSE(d.IsIpActive(-1));
    EXPECT_FALSE(d.IsIpActive(2));
    d.Select_Window(TvtpOptionen::tsIP);
    ClickRow(d.TickBox("pbIp"), 0);
    EXPECT_TRUE(d.IsIpActive(0));
    d.Select_Window(TvtpOptionen::tsDMX);
    d.ApplyScale(192);
    d.Select_Window(TvtpOptionen::tsIP);
    EXPECT_TRUE(d.IsIpActive(0));

    // Without a certificate file the tick opens the certificate dialog instead.
    gui_test::Click(d.Box("pbSSL"), QPoint(5, d.Box("pbSSL")->height() / 2));
    EXPECT_TRUE(asked);
    EXPECT_FALSE(d.GetShowSSL());
    EXPECT_EQ(d.GetCertFile(), "/nowhere/cert.pfx");
    EXPECT_EQ(d.GetSSLPW(), "secret");

    d.SetPort(80);
    d.SetUseSSL(true);
    EXPECT_TRUE(d.Spin("sePort")->isVisibleTo(&d));
    EXPECT_TRUE(d.PortWarningShown());
    d.SetPort(443);
    EXPECT_FALSE(d.PortWarningShown());
    d.SetUseSSL(false);
    d.SetPort(80);
    EXPECT_FALSE(d.PortWarningShown());
    EXPECT_EQ(d.GetPort(), 80);
}

TEST_F(OptionsDialog, TimeServerTicksFollowTheUseTick) {
    TvtpOptionen& d = Make();
    d.SetTsUse(false);
    d.SetTsStartup(true);
    EXPECT_FALSE(d.GetTsStartup());
    d.Select_Window(TvtpOptionen::tsTimeServer);
    ClickRow(d.TickBox("pbUseTS"));
    EXPECT_TRUE(d.Tick("sTSStartup").GetIsEnabled());
    EXPECT_FALSE(d.GetTsStartup());
    ClickRow(d.TickBox("pbTSOnStartup"));
    EXPECT_TRUE(d.GetTsStartup());
}

TEST_F(OptionsDialog, TimeCheckAsksTheServerAndTellsTheAnswer) {
    test_support::Responder responder;
    responder.script = [](const QByteArray& request) {
        return std::vector<test_support::Reply>{{test_support::ServerReply(request, 0, UncorrectedUtcNow())}};
    };
    test_support::UdpSocket mute;
    TTimeServerClient answering;
    answering.SetPort(responder.Port());
    TTimeServerClient silent;
    silent.SetPort(mute.port);
    TTimeServerClient* client = &answering;
    TOptionsHooks hooks;
    int calls = 0;
    hooks.checkTsHost = [&](const QString& host) {
        ++calls;
        return client->CheckTsHost(host);
    };
    TvtpOptionen& d = Make(std::move(hooks));
    d.SetTsHost(QStringLiteral("abc"));
    d.RunTimeCheck();
    EXPECT_EQ(calls, 0);

    d.SetTsHost(QStringLiteral("127.0.0.1"));
    dialogs.ScriptMessage(platform::kMessageRight);
    d.RunTimeCheck();
    client = &silent;
    dialogs.ScriptMessage(platform::kMessageRight);
    d.RunTimeCheck();
    SetClockOffset(0);
    const auto shown = dialogs.messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[0].text.startsWith(GetLangText(1202).replace("%s", "127.0.0.1"))) << shown[0].text.toStdString();
    EXPECT_EQ(shown[1].text, GetLangText(1201).replace("%s", "127.0.0.1"));
    EXPECT_EQ(shown[1].header, GetLangText(1204));
}

TEST_F(OptionsDialog, SftpFieldRules) {
    TvtpOptionen& d = Make();
    d.SetSFTP("ab", "user", "pw", "", 22, false, false, true);
    EXPECT_TRUE(d.TickBox("pbSFTPUse")->isHidden());
    EXPECT_FALSE(d.Tick("sSFTPUse").GetIsEnabled());
    EXPECT_TRUE(d.Edit("ePW")->isHidden());
    EXPECT_EQ(d.GetSFTPpw(), QString());
    d.SetSFTP("host", "us", "pw", "", 22, false, true, true);
    EXPECT_FALSE(d.TickBox("pbSFTPUse")->isHidden());
    EXPECT_EQ(d.GetSFTPpw(), "pw");
    EXPECT_EQ(d.Edit("ePW")->echoMode(), QLineEdit::Password);
    for (const auto& [typed, held, red] : {std::tuple{"", 22, false}, std::tuple{"5", 5, true},
                                           std::tuple{"65535", 65535, false}, std::tuple{"65536", 65536, true}}) {
        d.Edit("ePort")->setText(QString::fromLatin1(typed));
        EXPECT_EQ(d.GetSFTPPortId(), held) << typed;
        EXPECT_EQ(!d.Edit("ePort")->styleSheet().isEmpty(), red) << typed;
    }
    d.Edit("eSubDir")->setText("a");
    EXPECT_TRUE(d.Box("pBSftpCreateSubDir")->isHidden());
    d.Edit("eSubDir")->setText("ab");
    EXPECT_FALSE(d.Box("pBSftpCreateSubDir")->isHidden());
}

TEST_F(OptionsDialog, SftpCheckRefusesAPortThatWouldWrap) {
    TvtpOptionen& d = Make();
    d.SetSFTP("127.0.0.1", "user", "pw", "", 70000, false, true, false);
    d.RunSftpCheck(false);
    const QStringList lines = d.SftpLog().split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines[1].startsWith("Start SFTP Check, Version "));
    EXPECT_TRUE(d.SftpLog().contains("70000"));
    EXPECT_EQ(lines.last(), GetLangText(944));
}

TEST_F(OptionsDialog, DmxPageWritesTheDataLive) {
    dmx.SetUseIt(false);
    dmx.SetIp("10.0.0.9");
    TvtpOptionen& d = Make();
    EXPECT_FALSE(d.Tick("sDmxLeq").GetIsEnabled());
    EXPECT_FALSE(d.Tick("sDmxLeq").GetIsSelected());
    d.Select_Window(TvtpOptionen::tsDMX);
    ClickRow(d.TickBox("pbDmxMode"), 0);
    EXPECT_TRUE(dmx.GetUseIt());
    EXPECT_TRUE(d.Tick("sDmxLeq").GetIsEnabled());
    EXPECT_EQ(dmx.GetDMXShow(), 0);
    EXPECT_TRUE(d.ArtPollTimer()->isActive());
    ClickRow(d.TickBox("pbDmxMode"), 1);
    EXPECT_EQ(dmx.GetDMXShow(), kDmxShowLeq);

    for (const char* bad : {"192.168.0", "256.1.1.1", "1.2.3.x"}) {
        d.Edit("edDMXIP")->setText(QString::fromLatin1(bad));
        EXPECT_EQ(dmx.GetIp(), "10.0.0.9") << bad;
        EXPECT_FALSE(d.Edit("edDMXIP")->styleSheet().isEmpty()) << bad;
    }
    d.Edit("edDMXIP")->setText("192.168.0.7");
    EXPECT_EQ(dmx.GetIp(), "192.168.0.7");
    d.Spin("seDMXNode")->setValue(5);
    EXPECT_EQ(dmx.GetNode(), 5);
}

TEST_F(OptionsDialog, DmxDeviceListSelectsTheNodeOfTheAddress) {
    TArtNetControl control;
    TArtDevice first;
    first.Ip = QStringLiteral("127.0.0.5");
    first.adr = 0x100;
    TArtDevice second = first;
    second.Ip = QStringLiteral("127.0.0.6");
    second.adr = 0x523;
    control.AddDevice(first);
    control.AddDevice(second);
    artNetControl.store(&control);
    dmx.SetUseIt(true);
    TvtpOptionen& d = Make();
    d.DmxDeviceRefresh();
    QComboBox* list = d.Combo("cbArtNetDevice");
    ASSERT_EQ(list->count(), 2);
    EXPECT_TRUE(list->isEnabled());
    d.Spin("seDMXNode")->setValue(5);
    d.Spin("seSubNode")->setValue(2);
    d.Spin("seDMXUni")->setValue(3);
    EXPECT_EQ(list->currentIndex(), 1);
    list->setCurrentIndex(0);
    d.DmxCopyDevice();
    EXPECT_EQ(dmx.GetIp(), "127.0.0.5");
    EXPECT_EQ(dmx.GetNode(), 1);
    EXPECT_EQ(dmx.GetSubUni(), 0);
}

TEST_F(OptionsDialog, CalibrationLogModesAndPreFill) {
    TvtpOptionen& d = Make();
    d.SetClModes(5, 2);
    EXPECT_EQ(d.GetClModePre(), 0);
    EXPECT_EQ(d.GetClModePost(), 2);
    EXPECT_EQ(d.Combo("cbCLShowPre")->currentIndex(), 3);
    d.SetClPreset(0x0003);
    EXPECT_EQ(d.GetClPreset(), 0);
    d.SetClPreset(0x1006);
    EXPECT_EQ(d.GetClPreset(), 0x1006);
    d.SetClPreset(0x1000);
    d.Select_Window(TvtpOptionen::tsCalLog);
    ClickRow(d.TickBox("pbClAutoFill"), 2);
    ClickRow(d.TickBox("pbClAutoFill"), 0);
    EXPECT_EQ(d.GetClPreset(), 0x0002);
    EXPECT_FALSE(d.Tick("sclFillLoc").GetIsEnabled());
}

TEST_F(OptionsDialog, WithoutCalibrationLogThePreFillStaysEmpty) {
    calLog.store(nullptr);
    TvtpOptionen& d = Make();
    d.SetClPreset(0x1007);
    EXPECT_EQ(d.GetClPreset(), 0);
}

TEST_F(OptionsDialog, MiscellaneousValues) {
    TvtpOptionen& d = Make();
    d.SetMinKorrSpl(-50);
    EXPECT_EQ(d.GetMinKorrSpl(), -60);
    d.SetMinKorrSpl(-100);
    EXPECT_EQ(d.GetMinKorrSpl(), -100);
    d.SetPrintColor(2, 0x0000FF);
    settingsPrompts().colour = [](QWidget*, TColor) { return std::optional<TColor>(); };
    d.ChoosePrintColor(2);
    EXPECT_EQ(d.GetPrintColor(2), 0x0000FFu);
    settingsPrompts().colour = [](QWidget*, TColor) { return std::optional<TColor>(0x123456); };
    d.Select_Window(TvtpOptionen::tsSonstiges);
    gui_test::Click(d.Box("lShapePeak"), QPoint(3, 3));
    EXPECT_EQ(d.GetPrintColor(2), 0x123456u);
    d.Select_Window(TvtpOptionen::tsSonstiges);
    ClickRow(d.TickBox("pbKorr"), 1);
    EXPECT_TRUE(d.GetAllowCalc());
    EXPECT_FALSE(d.GetMusikKorr());
}

TEST_F(OptionsDialog, TheFormGrowsWithTheDensityAndNeverShrinks) {
    TvtpOptionen& d = Make({}, 96);
    const int h96 = d.height();
    d.ApplyScale(192);
    const int h192 = d.height();
    EXPECT_GT(h192, h96);
    EXPECT_GT(d.width(), 600 * 2 - 1);
    d.ApplyScale(96);
    EXPECT_EQ(d.height(), h192);
    // Every page's last control lies inside the page.
    for (int page = 0; page < TvtpOptionen::kPageCount; ++page) {
        d.Select_Window(page);
        QWidget* p = d.Page(page);
        for (QWidget* child : p->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!child->isHidden()) EXPECT_LE(child->geometry().bottom(), d.height()) << page;
    }
}

class OptionsScreenshots : public OptionsDialog, public ::testing::WithParamInterface<int32_t> {};

TEST_P(OptionsScreenshots, EveryPageInTheScheme) {
    SetColorScheme(GetParam());
    TvtpOptionen& d = Make();
    d.SetSFTP("sftp.example", "user", "pw", "data", 22, false, true, false);
    d.SetUseSSL(true);
    d.show();
    for (int page = 0; page < TvtpOptionen::kPageCount; ++page) {
        d.Select_Window(page);
        QApplication::processEvents();
        const QImage shot = d.grab().toImage();
        ASSERT_FALSE(shot.isNull());
        EXPECT_TRUE(shot.save(test_support::ScreenshotPath(QStringLiteral("options_page%1_scheme%2.png").arg(page).arg(GetParam()))));
    }
    SetColorScheme(kSchemeDark);
}

INSTANTIATE_TEST_SUITE_P(Schemes, OptionsScreenshots, ::testing::Values(kSchemeLight, kSchemeDark));

}  // namespace
