#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "remote/web_commands.h"
#include "remote/web_encoding.h"
#include "remote/web_test_support.h"

namespace {

constexpr platform::WindowHandle kMain = 11;
constexpr platform::WindowHandle kCal = 22;
constexpr platform::WindowHandle kKor = 33;

struct Post {
    platform::WindowHandle window;
    uintptr_t code;
    intptr_t argument;
    bool operator==(const Post&) const = default;
};

TWebSnapshot BaseSnapshot() {
    TWebSnapshot s;
    for (int i = 0; i < 8; ++i) {
        s.feldWert[i] = QStringLiteral("%1.0;dB").arg(90 + i);
        s.feldLabel[i] = QStringLiteral("L%1").arg(i);
    }
    s.mainWindow = kMain;
    s.cal.window = kCal;
    s.kor.window = kKor;
    s.eventName = QStringLiteral("Open Air");
    return s;
}

void Search(TWebSnapshot& s) { s.statusMessung = 1; }
void SearchWithSignal(TWebSnapshot& s) { s.statusMessung = 4; }
void CalRemote(TWebSnapshot& s) { s.cal.open = s.cal.ipEnabled = true; }
void CalLocalOnly(TWebSnapshot& s) { s.cal.open = true; }
void KorOpen(TWebSnapshot& s) { s.kor.open = true; }
void KorRemote(TWebSnapshot& s) { s.kor.open = s.kor.ipEnabled = true; }
void Nothing(TWebSnapshot&) {}

struct Case {
    const char* path;
    std::function<void(TWebSnapshot&)> state;
    bool mayAct;
    const char* answer;
    std::vector<Post> posts;
    int resets;
};

TEST(WebCommands, EveryWordAnswersAndPostsAsItsRowSays) {
    const Case cases[] = {
        {"/GETWERT3", Nothing, true, "93.0;dB", {}, 0},
        {"/js/GETWERT3", Nothing, true, "93.0;dB", {}, 0},
        {"/JS/getwert7", Nothing, true, "97.0;dB", {}, 0},
        {"/GETWERT", Nothing, true, "90.0;dB", {}, 0},
        {"/GETWERTx", Nothing, true, "90.0;dB", {}, 0},
        {"/GETWERT9", Nothing, true, "Invalid Wert Request: 9", {}, 0},
        {"/GETLABEL2", Nothing, true, "L2", {}, 0},
        {"/GETLABEL8", Nothing, true, "Invalid Label Request: 8", {}, 0},
        {"/GETHEADER", Nothing, true, "Open Air", {}, 0},
        {"/GETSTATUSX", Nothing, true, "---", {}, 0},
        {"/NONSENSE", Nothing, true, "---", {}, 0},
        {"/", Nothing, true, "---", {}, 0},
        {"/STARTPINK", Nothing, true, "---", {}, 0},
        {"/STARTPINK", Search, true, "---", {{kMain, 18, 1}, {kMain, 45, 7}}, 0},
        {"/STARTPINK", Search, false, "---", {}, 0},
        {"/STOPPINK", Search, true, "---", {}, 0},
        {"/STOPPINK", SearchWithSignal, true, "---", {{kMain, 18, 0}, {kMain, 45, 7}}, 0},
        {"/PEAKRESET", Nothing, true, "---", {}, 0},
        {"/PEAKRESET", Search, true, "---", {}, 1},
        {"/PEAKRESET", SearchWithSignal, true, "---", {}, 1},
        {"/PEAKRESET", Search, false, "---", {}, 0},
        {"/KAL", CalRemote, true, "---", {}, 0},
        {"/KALNEXT", CalRemote, true, "---", {{kCal, 267, 0}}, 0},
        {"/KALNEXT", CalRemote, false, "---", {}, 0},
        {"/KALNEXT", CalLocalOnly, true, "---", {}, 0},
        {"/KALNEXT", Nothing, true, "---", {}, 0},
        {"/KALCANCEL", CalRemote, true, "---", {{kCal, 262, 0}}, 0},
        {"/kalrepeat", CalRemote, true, "---", {{kCal, 263, 0}}, 0},
        {"/ABSVOL20", KorOpen, true, "---", {{kKor, 19, -20}}, 0},
        {"/ABSVOL50", KorRemote, true, "---", {{kKor, 19, -50}}, 0},
        {"/ABSVOL20", Nothing, true, "---", {}, 0},
        {"/ABSVOL20", KorOpen, false, "---", {}, 0},
        {"/KORNEXT", KorRemote, true, "---", {{kKor, 303, 1}}, 0},
        {"/KORNEXT", KorOpen, true, "---", {}, 0},
        {"/KORCANCEL", KorRemote, true, "---", {{kKor, 305, 0}}, 0},
        {"/KORVPLUS", KorRemote, true, "---", {{kKor, 306, 1}}, 0},
        {"/KORVMINUS", KorRemote, true, "---", {{kKor, 306, 0}}, 0},
        {"/INOISEON", KorRemote, true, "---", {{kKor, 307, 1}}, 0},
        {"/INOISEOFF", KorRemote, true, "---", {{kKor, 307, 0}}, 0},
        {"/KORREPEAT", KorRemote, true, "---", {{kKor, 302, 0}}, 0},
        {"/ABSVOL_25", KorRemote, true, "---", {{kKor, 306, 25}}, 0},
        {"/ABSVOL_-5", KorRemote, true, "---", {{kKor, 306, -5}}, 0},
        {"/ABSVOL_x5", KorRemote, true, "---", {}, 0},
        {"/ABSVOL_2", KorRemote, true, "---", {}, 0},
        {"/ABSVOL", KorRemote, true, "---", {}, 0},
    };
    for (const Case& c : cases) {
        TWebSnapshot s = BaseSnapshot();
        c.state(s);
        std::vector<Post> posts;
        int resets = 0;
        TWebCommandActions actions;
        actions.post = [&](platform::WindowHandle w, uintptr_t code, intptr_t arg) { posts.push_back({w, code, arg}); };
        actions.resetFindPeak = [&] { ++resets; };
        const QString answer = WebCommandText(QString::fromLatin1(c.path), s, c.mayAct, actions);
        SCOPED_TRACE(std::string(c.path) + (c.mayAct ? " acting" : " read-only"));
        EXPECT_EQ(answer, QString::fromLatin1(c.answer));
        EXPECT_EQ(posts, c.posts);
        EXPECT_EQ(resets, c.resets);
    }
}

TEST(WebCommands, TheIdleStatusLineIsTwentySevenZerosWithItsLength) {
    const QString zeros = QStringLiteral("0;").repeated(26) + QStringLiteral("0");
    ASSERT_EQ(zeros.size(), 53);
    EXPECT_EQ(WebStatusLine(TWebSnapshot()), QStringLiteral("53;") + zeros);
    EXPECT_EQ(WebCommandText(QStringLiteral("/getstatus"), TWebSnapshot(), false, {}),
              QStringLiteral("53;") + zeros);
}

TEST(WebCommands, TheStatusLineCarriesCountersStatesAndTheWizardPanels) {
    TWebSnapshot s;
    for (int i = 0; i < 8; ++i) {
        s.statusWert[i] = i + 1;
        s.statusColor[i] = 10 + i;
        s.statusLabel[i] = 20 + i;
    }
    s.blocks = 4;
    s.statusInfo = 6;
    const QString expected = QStringLiteral("1;2;3;4;5;6;7;8;0;10;11;12;13;14;15;16;17;20;21;22;23;24;25;26;27;4;6");
    EXPECT_EQ(WebStatusLine(s), QString::number(expected.size()) + QLatin1Char(';') + expected);

    // The calibration wizard: crest factor x 10 rounded half to even, the
    // level truncated, and on its warning step the warning text, whose
    // length counts UTF-16 code units.
    s = TWebSnapshot();
    s.statusMessung = 3;
    s.kalStatus = 4;
    s.cal.open = true;
    s.cal.crestFactor = 1.25;
    s.cal.level = -93.9;
    s.cal.remainingSeconds = 12;
    s.cal.microphoneId = 257;
    s.cal.warningText = QStringLiteral("Pegel zu hoch \U0001F50A");
    QString line = WebStatusLine(s);
    QString body = line.section(QLatin1Char(';'), 1);
    EXPECT_TRUE(body.endsWith(QStringLiteral(";4;12;-93;12;257;Pegel zu hoch \U0001F50A"))) << line.toStdString();
    EXPECT_EQ(line.section(QLatin1Char(';'), 0, 0).toInt(), body.size());

    // Wizard closed meanwhile: the calibration log's figures.
    s.cal = TWebCalWizardPanel();
    s.kalStatus = 2;
    s.calLog = {true, 94.5, 0.125};
    s.warnPeak = 135;
    s.storedValues = 77;
    EXPECT_TRUE(WebStatusLine(s).endsWith(QStringLiteral(";0;2;94;135;77;12")));

    // The correction wizard's web string only while its remote box is ticked.
    s = TWebSnapshot();
    s.statusMessung = 5;
    s.kor.open = true;
    s.kor.webString = QStringLiteral("K;1;2");
    EXPECT_TRUE(WebStatusLine(s).endsWith(QStringLiteral(";0;0")));
    s.kor.useIP = true;
    EXPECT_TRUE(WebStatusLine(s).endsWith(QStringLiteral(";0;K;1;2")));
}

TEST(WebCommands, LongAnswersAreCompressedAsTheClientAccepts) {
    TWebSnapshot s;
    s.eventName = QString(300, QLatin1Char('x'));
    const TWebAnswer gz = WebPostCommand(QStringLiteral("/GETHEADER"), "gzip, deflate", s, false, {});
    EXPECT_EQ(gz.contentEncoding, "gzip");
    EXPECT_EQ(gz.contentType, "text/plain; charset=utf-8");
    EXPECT_EQ(gz.cacheControl, "no-cache");
    EXPECT_EQ(InflateBody(gz.body), QByteArray(300, 'x'));
    const TWebAnswer status = WebPostCommand(QStringLiteral("/GETSTATUS"), "gzip", s, false, {});
    EXPECT_EQ(status.contentEncoding, "");
    EXPECT_EQ(status.body.left(3), QByteArray("53;"));
}

}  // namespace
