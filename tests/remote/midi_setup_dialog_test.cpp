// The MIDI setup dialog offscreen on the loopback device: which tabs show,
// the marking of clashing input ids, Cancel and OK, the input monitor, the
// field popup, and the four pages in both colour schemes as screenshots.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSpinBox>

#include "remote/midi_loopback_fixture.h"
#include "remote/midi_setup_dialog.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using midi_test::Bytes;
using midi_test::kDesk;

class MidiSetupDialog : public midi_test::MidiLoopbackFixture {
protected:
    void SetUp() override {
        MidiLoopbackFixture::SetUp();
        language.store(kLangEnglish);
        SetUIScale(1.0);
    }
    void TearDown() override {
        dialog.reset();
        MidiLoopbackFixture::TearDown();
    }
    void Open() {
        dialog = std::make_unique<TMidiSetup>(nullptr, midi.get());
        dialog->show();
        QCoreApplication::processEvents();
    }
    void Click(TPaintBox32* box) { box->OnClick(box); }
    void Choose(QComboBox* combo, int index) {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    QStringList MonitorLines() const { return dialog->mTest->toPlainText().split('\n'); }

    std::unique_ptr<TMidiSetup> dialog;
};

TEST_F(MidiSetupDialog, TabsFollowTheChosenDevicesAndUseMidi) {
    Open();
    TMidiSetup& d = *dialog;
    EXPECT_EQ(d.pcPages->currentWidget(), d.tsInput);
    for (QWidget* page : {d.tsDevices, d.tsOutput, d.tsCC, d.tsInput}) EXPECT_TRUE(d.pcPages->IsPageVisible(page));
    // Creation closed the input and opened the chosen output.
    EXPECT_FALSE(midi->GetMidiStatus());
    EXPECT_TRUE(midi->OutIsOpen());

    // No output device: its pages go, the open output stays until the end.
    d.pcPages->setCurrentWidget(d.tsOutput);
    Choose(d.cbMidiOutDev, d.cbMidiOutDev->count() - 1);
    EXPECT_EQ(d.cbMidiOutDev->currentText(), GetLangText(1263));
    EXPECT_FALSE(d.pcPages->IsPageVisible(d.tsOutput));
    EXPECT_FALSE(d.pcPages->IsPageVisible(d.tsCC));
    EXPECT_TRUE(midi->OutIsOpen());
    EXPECT_TRUE(midi->GetMidiOutName().isEmpty());

    Choose(d.cbMidiInDev, d.cbMidiInDev->count() - 1);
    EXPECT_FALSE(d.pcPages->IsPageVisible(d.tsInput));
    Choose(d.cbMidiInDev, 0);
    Choose(d.cbMidiOutDev, 0);
    EXPECT_TRUE(d.pcPages->IsPageVisible(d.tsCC));

    // "Use MIDI" off: only the device page, which becomes the active one.
    d.pcPages->setCurrentWidget(d.tsCC);
    Click(d.pbUseMidi);
    EXPECT_FALSE(midi->GetUseMidi());
    EXPECT_EQ(d.pcPages->currentWidget(), d.tsDevices);
    for (QWidget* page : {d.tsOutput, d.tsCC, d.tsInput}) EXPECT_FALSE(d.pcPages->IsPageVisible(page));
    EXPECT_FALSE(d.cbMidiInDev->isVisible());
    EXPECT_TRUE(d.pbOnlyRun->isVisible());
}

TEST_F(MidiSetupDialog, AStoredNameWithoutItsDeviceChoosesNoDeviceAndIsKept) {
    platform::MidiLoopback two({QStringLiteral("Pad"), kDesk}, {QStringLiteral("Pad"), kDesk});
    platform::UseMidiSystem(&two);
    midi->SetMidiInName(GetLangTextFor(1271, kLangGerman));  // the other language's no-device text
    midi->SetMidiOutName(QStringLiteral("Unplugged"));
    Open();
    EXPECT_EQ(dialog->cbMidiInDev->currentText(), GetLangText(1271));
    EXPECT_EQ(dialog->cbMidiOutDev->currentText(), GetLangText(1263));
    EXPECT_FALSE(dialog->pcPages->IsPageVisible(dialog->tsInput));
    EXPECT_FALSE(midi->OutIsOpen());
    Click(dialog->pBOk);
    EXPECT_EQ(dialog->result(), 1);
    EXPECT_EQ(midi->GetMidiInName(), GetLangTextFor(1271, kLangGerman));
    EXPECT_EQ(midi->GetMidiOutName(), QStringLiteral("Unplugged"));
    dialog.reset();

    // A case-different stored name finds its device.
    midi->SetMidiInName(QStringLiteral("desk"));
    Open();
    EXPECT_EQ(dialog->cbMidiInDev->currentText(), kDesk);
    dialog.reset();

    // No devices at all: empty lists count as no device.
    platform::MidiLoopback none({}, {});
    platform::UseMidiSystem(&none);
    Open();
    EXPECT_EQ(dialog->cbMidiInDev->count(), 0);
    EXPECT_FALSE(dialog->pcPages->IsPageVisible(dialog->tsInput));
    EXPECT_FALSE(dialog->pcPages->IsPageVisible(dialog->tsOutput));
    Click(dialog->pBOk);
    EXPECT_EQ(midi->GetMidiInName(), QStringLiteral("desk"));
    dialog.reset();
    platform::UseMidiSystem(&loopback);
}

TEST_F(MidiSetupDialog, ClashingInputIdsAreMarkedRed) {
    Open();
    TMidiSetup& d = *dialog;
    const QColor red = QColorOf(clRed);
    const auto isRed = [&red](QSpinBox* field) { return field->palette().color(QPalette::Base) == red; };
    EXPECT_FALSE(isRed(d.seInStart) || isRed(d.seInStop) || isRed(d.seInSync));
    d.seInStop->setValue(d.seInStart->value());
    EXPECT_TRUE(isRed(d.seInStart));
    EXPECT_TRUE(isRed(d.seInStop));
    EXPECT_FALSE(isRed(d.seInSync));
    d.seInSync->setValue(d.seInStart->value());
    EXPECT_TRUE(isRed(d.seInSync));
    d.seInStop->setValue(100);
    d.seInSync->setValue(101);
    EXPECT_FALSE(isRed(d.seInStart) || isRed(d.seInStop) || isRed(d.seInSync));

    // The system-exclusive modes take a device id and no stop note.
    Choose(d.cbStart, d.cbStart->findData(kMidiInMachineControl));
    EXPECT_EQ(d.lInStart->text(), GetLangText(1276));
    EXPECT_EQ(d.seInStart->maximum(), 0x6F);
    EXPECT_FALSE(d.seInStop->isVisible());
}

TEST_F(MidiSetupDialog, CancelRestoresEverySettingAndOkTakesTheInputSettings) {
    const TMidiSettings before = midi->Settings();
    Open();
    TMidiSetup& d = *dialog;
    Click(d.pbOnlyRun);
    Click(d.pbFeedback);
    Click(d.pbSend[1]);
    Click(d.pbUseCC[4]);
    Click(d.pbInSync);
    d.seNotes[4]->setValue(77);
    d.seCC[0]->setValue(5);
    d.seInfoKanal->setValue(3);
    d.seOutKanal->setValue(9);
    d.seInSync->setValue(90);
    Choose(d.cbOutMode, 1);
    Click(d.pbUseMidi);
    EXPECT_FALSE(midi->Settings() == before);
    Click(d.pbCancel);
    EXPECT_EQ(d.result(), 2);
    EXPECT_TRUE(midi->Settings() == before);
    dialog.reset();

    Open();
    dialog->seInKanal->setValue(5);
    dialog->seInStart->setValue(60);
    dialog->seInStop->setValue(61);
    Choose(dialog->cbStart, dialog->cbStart->findData(kMidiInVelocity));
    EXPECT_EQ(midi->GetInMidiKanal(), 1);  // input settings wait for OK
    Click(dialog->pBOk);
    EXPECT_EQ(dialog->result(), 1);
    EXPECT_EQ(midi->GetInMidiKanal(), 5);
    EXPECT_EQ(midi->GetInIdOn(), 60);
    EXPECT_EQ(midi->GetInIdOff(), 61);
    EXPECT_EQ(midi->GetInModeId(), kMidiInVelocity);
    dialog.reset();
    // Closing the dialog closed both devices and ended the test mode.
    EXPECT_FALSE(midi->OutIsOpen());
    EXPECT_FALSE(midi->GetMidiStatus());
    EXPECT_FALSE(midi->GetTestMode());
}

TEST_F(MidiSetupDialog, MonitorListsInputAndAnswersStartAndStop) {
    Open();
    TMidiSetup& d = *dialog;
    loopback.ClearSent();
    Click(d.pbInTest);
    ASSERT_TRUE(midi->GetMidiStatus());
    EXPECT_EQ(midi->GetMessageHandle(), d.Handle());
    EXPECT_TRUE(midi->GetTestMode());

    loopback.Feed(kDesk, Bytes({0x90, 40, 100}));
    loopback.Feed(kDesk, Bytes({0x90, 40, 0}));
    loopback.Feed(kDesk, Bytes({0x80, 41, 0}));
    loopback.Feed(kDesk, Bytes({0x92, 41, 100}));  // another channel: no feedback
    loopback.Feed(kDesk, Bytes({0x90, 42, 100}));
    QCoreApplication::processEvents();
    EXPECT_EQ(MonitorLines(), QStringList({"Channel: 1, Note 40 ON, Velocity: 100", "-> Start Measurement",
                                           "Channel: 1, Note 40 ON, Velocity: 0", "-> Start Measurement",
                                           "Channel: 1, Note 41 OFF", "-> End Measurement",
                                           "Wrong MIDI Channel 3", "-> ", "Channel: 1, Note 42 ON, Velocity: 100",
                                           "-> Sync request"}));
    EXPECT_EQ(loopback.SentHex(), QStringList({"90 28 7F", "90 28 7F", "80 28 00"}));

    // A mode change ends the test; in the machine-control mode a
    // system-exclusive start is listed with its blank and answered.
    Choose(d.cbStart, d.cbStart->findData(kMidiInMachineControl));
    EXPECT_FALSE(midi->GetMidiStatus());
    EXPECT_FALSE(midi->GetTestMode());
    loopback.ClearSent();
    Click(d.pbInTest);
    ASSERT_TRUE(midi->GetMidiStatus());
    loopback.Feed(kDesk, Bytes({0xF0, 0x7F, 0x7F, 0x06, 0x02, 0xF7}));
    loopback.Feed(kDesk, Bytes({0xF0, 0x7F, 0x05, 0x06, 0x01, 0xF7}));
    QCoreApplication::processEvents();
    const QStringList lines = MonitorLines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("F0 7F 7F 06 02 F7 "));
    EXPECT_EQ(lines[1], QStringLiteral("-> Start Measurement"));
    EXPECT_EQ(lines[3], QStringLiteral("-> Device Id differs"));
    EXPECT_EQ(loopback.SentHex(), QStringList({"90 28 7F"}));

    Click(d.pbInTest);  // ends the test
    EXPECT_FALSE(midi->GetMidiStatus());
    EXPECT_FALSE(midi->GetTestMode());

    // A failed start leaves the test off.
    loopback.Unplug(kDesk);
    Click(d.pbInTest);
    EXPECT_FALSE(midi->GetMidiStatus());
    EXPECT_FALSE(midi->GetTestMode());
}

TEST_F(MidiSetupDialog, FieldPopupSuggestsAndTests) {
    for (int q = 0; q < kMidiQuantities; ++q) midi->SetSendEnable(q, q != 1);
    Open();
    TMidiSetup& d = *dialog;
    // The next note: below the second one for the first field, above the
    // previous one for the others, held within 0..127.
    struct Next {
        int32_t tag;
        int neighbour;
        int expected;
    } const cases[] = {{0, 0, 0}, {0, 50, 49}, {1, 127, 127}, {1, 10, 11}, {8, 126, 127}};
    for (const Next& c : cases) {
        d.seNotes[c.tag == 0 ? 1 : c.tag - 1]->setValue(c.neighbour);
        d.PrepareFieldMenu(c.tag);
        EXPECT_TRUE(d.pmOmNext->isVisible());
        EXPECT_EQ(d.pmOmNext->data().toInt(), c.expected) << c.tag << " " << c.neighbour;
    }
    d.PrepareFieldMenu(5);
    d.pmOutMapping->triggered(d.pmOmNext);
    EXPECT_EQ(midi->GetOutMapping(5), d.seNotes[4]->value() + 1);
    d.pmOutMapping->triggered(d.pmOmValues[5]);
    EXPECT_EQ(midi->GetOutMapping(5), 120);

    d.PrepareFieldMenu(17);
    EXPECT_FALSE(d.pmOmNext->isVisible());
    EXPECT_FALSE(d.pmOmValues[5]->isVisible());
    EXPECT_EQ(d.pmOmTestOn->text(), GetLangText(1291));

    loopback.ClearSent();
    d.PrepareFieldMenu(0);
    d.pmOutMapping->triggered(d.pmOmTestOn);
    d.PrepareFieldMenu(4);  // the short-term Leq row does not send
    d.pmOutMapping->triggered(d.pmOmTestOn);
    d.pmOutMapping->triggered(d.pmOmTestOff);
    d.PrepareFieldMenu(9);
    d.pmOutMapping->triggered(d.pmOmTestOff);
    d.PrepareFieldMenu(16);
    d.pmOutMapping->triggered(d.pmOmTestOn);
    d.pmOutMapping->triggered(d.pmOmTestOff);
    EXPECT_EQ(loopback.SentHex(), QStringList({"90 0A 7F", "80 28 00", "B0 10 14", "B0 10 46"}));
}

// --- Layout and screenshots ------------------------------------------------------

QString ShotPath(const QString& file) {
    const QString dir = qEnvironmentVariableIsSet("VELTARO_SCREENSHOT_DIR")
                            ? qEnvironmentVariable("VELTARO_SCREENSHOT_DIR")
                            : QStringLiteral(VELTARO_BINARY_DIR);
    return QDir(dir).filePath(file);
}

// Every shown control of the page lies inside it and overlaps no other.
void ExpectTidy(QWidget* page, const char* name) {
    std::vector<QWidget*> shown;
    for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible()) shown.push_back(child);
    ASSERT_FALSE(shown.empty()) << name;
    for (size_t i = 0; i < shown.size(); ++i) {
        const QRect r = shown[i]->geometry();
        EXPECT_TRUE(page->rect().contains(r)) << name << " " << shown[i]->metaObject()->className();
        for (size_t j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(r.intersects(shown[j]->geometry()))
                << name << ": " << shown[i]->metaObject()->className() << " at " << r.x() << "," << r.y()
                << " and " << shown[j]->metaObject()->className() << " at " << shown[j]->x() << ","
                << shown[j]->y();
    }
}

class MidiSetupScreens : public MidiSetupDialog, public ::testing::WithParamInterface<int32_t> {
protected:
    void SetUp() override {
        MidiSetupDialog::SetUp();
        SetColorScheme(GetParam());
    }
    void TearDown() override {
        MidiSetupDialog::TearDown();
        SetColorScheme(kSchemeDark);
    }
};

TEST_P(MidiSetupScreens, FourPagesFitAndAreSaved) {
    for (int q = 0; q < kMidiQuantities; ++q) midi->SetSendEnable(q, true);
    Open();
    TMidiSetup& d = *dialog;
    EXPECT_EQ(d.width(), 550);
    EXPECT_EQ(d.height(), 491);
    const char* names[] = {"devices", "output", "cc", "input"};
    const QWidget* pages[] = {d.tsDevices, d.tsOutput, d.tsCC, d.tsInput};
    for (int i = 0; i < 4; ++i) {
        d.pcPages->setCurrentWidget(const_cast<QWidget*>(pages[i]));
        QCoreApplication::processEvents();
        ExpectTidy(const_cast<QWidget*>(pages[i]), names[i]);
        const QImage shot = d.grab().toImage();
        // The page shows the scheme's background.
        EXPECT_EQ(shot.pixelColor(shot.width() - 3, shot.height() / 2), QColorOf(clBack)) << names[i];
        ASSERT_TRUE(shot.save(ShotPath(QStringLiteral("midi_setup_%1_%2.png")
                                           .arg(QLatin1String(names[i]))
                                           .arg(GetParam() == kSchemeLight ? "light" : "dark"))));
    }
    // The input page: the test button in the bottom-right corner, the memo
    // beside it down to the bottom.
    const QRect button = d.pbInTest->geometry();
    EXPECT_EQ(button.right(), d.tsInput->width() - 9);
    EXPECT_LT(d.mTest->geometry().right(), button.left());
}

INSTANTIATE_TEST_SUITE_P(Schemes, MidiSetupScreens, ::testing::Values(kSchemeLight, kSchemeDark));

}  // namespace
