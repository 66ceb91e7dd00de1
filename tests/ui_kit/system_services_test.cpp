// The system services against real peers: UPower and logind stand-ins on a
// private dbus-daemon, the program's own file, and a real top-level window.
#include <gtest/gtest.h>

#include <QEvent>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWidget>

#include <vector>

#include "platform/system_bus.h"
#include "platform/user_dialogs.h"
#include "support/peers.h"
#include "support/qt_dbus_tsan_suppressions.h"
#include "ui_kit/gui_test_app.h"
#include "platform/keep_awake.h"
#include "ui_kit/system_services.h"


namespace {

using peers::PeerProcess;

// The bus calls run through Qt's own D-Bus thread.
class SystemBusConcurrent : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        if (!peers::HaveDbusDaemon()) GTEST_SKIP() << "no dbus-daemon: the test peers are not installed";
        ASSERT_FALSE(bus.Address().isEmpty()) << "dbus-daemon did not start";
        platform::SetSystemBusAddress(bus.Address());
    }
    void TearDown() override { platform::SetSystemBusAddress(QString()); }

    void StartUPower(const QStringList& arguments) {
        ASSERT_TRUE(peers::StartReadyPeer(upower, QStringLiteral("fake_upower"),
                                          QStringList{QStringLiteral("--address"), bus.Address()} + arguments));
    }
    void TellUPower(const QByteArray& command) {
        upower.Write(command);
        ASSERT_EQ(upower.ReadLine(), QStringLiteral("ok"));
    }
    void StartLogind() {
        ASSERT_TRUE(peers::StartReadyPeer(logind, QStringLiteral("fake_logind"), {QStringLiteral("--address"), bus.Address()}));
    }

    peers::PrivateBus bus;
    PeerProcess upower;
    PeerProcess logind;
};

TEST_F(SystemBusConcurrent, WithoutUPowerTheMachineCountsAsOnMainsAndIsAskedAgain) {
    EXPECT_TRUE(IsOnMains(false));
    EXPECT_FALSE(IsBatteryLow(false));
    // The failed query left the copy unread, so even a query without refresh
    // reaches the service that has appeared since.
    StartUPower({QStringLiteral("--on-battery"), QStringLiteral("--warning-level"), QStringLiteral("4")});
    EXPECT_FALSE(IsOnMains(false));
    EXPECT_TRUE(IsBatteryLow(false));
}

TEST_F(SystemBusConcurrent, MainsAndBatteryFollowUPowerWhenRefreshed) {
    StartUPower({});
    struct Case {
        const char* onBattery;
        const char* warningLevel;
        bool onMains;
        bool low;
    };
    const Case cases[] = {
        {"false", "1", true, false}, {"false", "4", true, false},  // a low battery on mains is no warning
        {"true", "1", false, false}, {"true", "3", false, true},
        {"true", "4", false, true},  {"true", "5", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.onBattery) + " " + c.warningLevel);
        TellUPower(QByteArray("OnBattery ") + c.onBattery);
        TellUPower(QByteArray("WarningLevel ") + c.warningLevel);
        EXPECT_EQ(IsOnMains(true), c.onMains);
        EXPECT_EQ(IsBatteryLow(true), c.low);
    }
    // Without refresh the copy of the last read stands.
    TellUPower("OnBattery false");
    EXPECT_FALSE(IsOnMains(false));
    EXPECT_TRUE(IsOnMains(true));
}

TEST_F(SystemBusConcurrent, OnBatteryWithoutADisplayDeviceIsNotLow) {
    StartUPower({QStringLiteral("--on-battery"), QStringLiteral("--no-display-device")});
    EXPECT_FALSE(IsOnMains(true));
    EXPECT_FALSE(IsBatteryLow(true));
}

TEST_F(SystemBusConcurrent, WithoutLogindTheBlockerDoesNothing) {
    TBlocker blocker;
    EXPECT_FALSE(blocker.BlockIt(1, QStringLiteral("You're still measuring.")));
    EXPECT_FALSE(blocker.UnBlock());
}

TEST_F(SystemBusConcurrent, TheBlockerHoldsAShutdownInhibitorUntilUnBlock) {
    StartLogind();
    {
        TBlocker blocker;
        EXPECT_FALSE(blocker.UnBlock());  // nothing blocked yet
        ASSERT_TRUE(blocker.BlockIt(7, QStringLiteral("You're still measuring.")));
        EXPECT_EQ(logind.ReadLine(), QStringLiteral("inhibit shutdown|Veltaro|You're still measuring.|block"));
        EXPECT_TRUE(blocker.UnBlock());
        EXPECT_EQ(logind.ReadLine(), QStringLiteral("released 1"));
        EXPECT_FALSE(blocker.UnBlock());

        // A new block replaces the one before; the end of the blocker lifts it.
        ASSERT_TRUE(blocker.BlockIt(7, QStringLiteral("first")));
        ASSERT_TRUE(blocker.BlockIt(7, QStringLiteral("second")));
        EXPECT_EQ(logind.ReadLine(), QStringLiteral("inhibit shutdown|Veltaro|first|block"));
        EXPECT_EQ(logind.ReadLine(), QStringLiteral("inhibit shutdown|Veltaro|second|block"));
        EXPECT_EQ(logind.ReadLine(), QStringLiteral("released 2"));
    }
    EXPECT_EQ(logind.ReadLine(), QStringLiteral("released 3"));
}

TEST_F(SystemBusConcurrent, KeepAwakeHoldsAnIdleSleepInhibitorUntilReleased) {
    {
        platform::KeepAwake none;  // no logind: nothing held, nothing fails
        none.Take(QStringLiteral("Veltaro"), QStringLiteral("You're still measuring."));
        EXPECT_FALSE(none.SleepBlocked());
    }
    StartLogind();
    platform::KeepAwake awake;
    awake.Take(QStringLiteral("Veltaro"), QStringLiteral("You're still measuring."));
    EXPECT_TRUE(awake.SleepBlocked());
    EXPECT_EQ(logind.ReadLine(), QStringLiteral("inhibit idle:sleep|Veltaro|You're still measuring.|block"));
    awake.Take(QStringLiteral("Veltaro"), QStringLiteral("again"));  // one block is enough
    awake.Release();
    EXPECT_FALSE(awake.SleepBlocked());
    EXPECT_EQ(logind.ReadLine(), QStringLiteral("released 1"));
}

// The version CMake gives the project, packed as the version number.
uint64_t ProjectVersionNumber() {
    QFile lists(QStringLiteral(VELTARO_SOURCE_DIR "/CMakeLists.txt"));
    if (!lists.open(QIODevice::ReadOnly)) return 0;
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral(R"(project\(\w+ VERSION (\d+)\.(\d+)(?:\.(\d+))?(?:\.(\d+))?)"))
            .match(QString::fromUtf8(lists.readAll()));
    if (!m.hasMatch()) return 0;
    return (m.captured(1).toULongLong() << 48) | (m.captured(2).toULongLong() << 32) |
           (m.captured(3).toULongLong() << 16) | m.captured(4).toULongLong();
}

class FileVersion : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        platform::SetUserDialogs(&dialogs);
    }
    void TearDown() override { platform::SetUserDialogs(nullptr); }

    platform::ScriptedDialogs dialogs;
};

TEST_F(FileVersion, TheProgramsOwnFileCarriesTheProjectVersion) {
    const uint64_t expected = ProjectVersionNumber();
    ASSERT_NE(expected, 0u);
    EXPECT_EQ(GetFileVersionNumber(QCoreApplication::applicationFilePath()), expected);
    EXPECT_EQ(GetFileVersionNumber(QStringLiteral(VELTARO_SOURCE_DIR "/CMakeLists.txt")), 0u);  // no version information
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(FileVersion, AFileThatCannotBeReadGivesZeroAfterAMessage) {
    const QString missing = QStringLiteral("/nonexistent/Veltaro.exe");
    dialogs.ScriptMessage(platform::kMessageRight);
    EXPECT_EQ(GetFileVersionNumber(missing), 0u);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, QStringLiteral("Failed to get Fileversion of: \r") + missing);
}

TEST(SingleInstanceCheck, OnlyTheFirstCheckOfANameSucceeds) {
    gui_test::App();
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    EXPECT_TRUE(CheckSingleInstance(QStringLiteral("VeltaroRunCheck")));
    EXPECT_FALSE(CheckSingleInstance(QStringLiteral("VeltaroRunCheck")));
}

// Records the window states a window passes through.
class StateLog : public QObject {
public:
    std::vector<Qt::WindowStates> states;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowStateChange) states.push_back(static_cast<QWidget*>(watched)->windowState());
        return false;
    }
};

TEST(FullSize, AMaximisedWindowIsRestoredBeforeItGoesFullSizeAndBack) {
    gui_test::App();
    ApplyFullSizeMode(nullptr, true);
    ToggleFullSize(nullptr);

    QWidget window;
    window.showMaximized();
    StateLog log;
    window.installEventFilter(&log);

    ApplyFullSizeMode(&window, true);
    EXPECT_TRUE(IsFullSize(&window));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(window.windowState(), Qt::WindowMaximized);
    EXPECT_TRUE(window.isVisible());
    ASSERT_GE(log.states.size(), 2u);
    EXPECT_EQ(log.states.front(), Qt::WindowNoState);

    ToggleFullSize(&window);
    EXPECT_FALSE(IsFullSize(&window));
    EXPECT_EQ(window.windowState(), Qt::WindowNoState);
    EXPECT_TRUE(window.isVisible());
    ToggleFullSize(&window);
    EXPECT_TRUE(IsFullSize(&window));
}

}  // namespace
