// The MIDI object in the whole program: created and registered at start with
// its stored devices opened, the outputs reset, an unplugged device reported
// while idle, the setup dialog opened from the settings menu, and the
// settings saved at exit.
#include <QAction>
#include <QMenu>
#include <QTimer>

#include "main/main_window_fixture.h"
#include "platform/midi_loopback.h"
#include "remote/midi_device_watch.h"
#include "remote/midi_setup_dialog.h"
#include "remote/vt_midi.h"
#include "ui_kit/services/midi_services.h"

namespace {

using test_support::ProcessUntil;

const QString kDesk = QStringLiteral("Desk");

class MidiDeviceConcurrent : public test_support::MainWindowConcurrent {
protected:
    void SetUp() override {
        MainWindowConcurrent::SetUp();
        platform::UseMidiSystem(&loopback);
    }
    void TearDown() override {
        MainWindowConcurrent::TearDown();
        platform::UseMidiSystem(nullptr);
    }
    platform::MidiLoopback loopback{{kDesk}, {kDesk}};
};

TEST_F(MidiDeviceConcurrent, LivesWithTheWindowAndSurvivesAnUnpluggedDevice) {
    WriteSettings([](platform::Registry& reg) {
        reg.WriteString("MidiInDevice", kDesk);
        reg.WriteString("MidiOutDevice", kDesk);
        reg.WriteBool("MidiSendEnable 1", true);
        reg.WriteBool("MidiSendEnable 2", true);
        reg.WriteInteger("MidiOutKanal", 2);
    });
    Start();
    TVtMidi* midi = window->MidiDevice();
    ASSERT_NE(midi, nullptr);
    EXPECT_EQ(MidiObject(), midi);
    EXPECT_EQ(midiDevice.load(), midi);
    EXPECT_TRUE(midi->GetMidiStatus());
    EXPECT_TRUE(midi->OutIsOpen());
    // The start reset the lamps on the stored channel.
    const QStringList sent = loopback.SentHex();
    ASSERT_GE(sent.size(), 14);
    EXPECT_EQ(sent.mid(0, 3), QStringList({"91 10 7F", "91 13 7F", "91 16 7F"}));
    // The main window takes MIDI input and ignores it.
    loopback.Feed(kDesk, QByteArray::fromHex("902864"));
    QCoreApplication::processEvents();

    // Unplugged while idle: one message in the box and the event list.
    loopback.Unplug(kDesk);
    ASSERT_TRUE(ProcessUntil([midi] { return !midi->OutIsOpen(); }));
    EXPECT_FALSE(midi->GetMidiStatus());
    const auto texts = MessageTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), VanishedMidiDeviceText(kDesk)), 1);

    // The setup dialog from the settings menu; afterwards the window takes
    // the input again and the devices reopen.
    loopback.PlugIn(kDesk, true, true);
    QAction* item = window->findChild<QAction*>(QStringLiteral("mmEMidi"));
    ASSERT_NE(item, nullptr);
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* dialog = dynamic_cast<TMidiSetup*>(top); dialog && dialog->isVisible()) {
                shown = true;
                dialog->pbCancel->OnClick(dialog->pbCancel);
            }
    });
    item->trigger();
    EXPECT_TRUE(shown);
    EXPECT_EQ(midi->GetMessageHandle(), mainWnd.load());
    EXPECT_TRUE(midi->GetMidiStatus());
    EXPECT_TRUE(midi->OutIsOpen());

    midi->SetFBKanal(77);
    Exit();
    EXPECT_EQ(MidiObject(), nullptr);
    EXPECT_EQ(midiDevice.load(), nullptr);
    platform::Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kSettingsKey));
    EXPECT_EQ(reg.ReadInteger("MidiFBKanal"), 77);
    EXPECT_EQ(reg.ReadInteger("MidiOutKanal"), 2);
}

}  // namespace
