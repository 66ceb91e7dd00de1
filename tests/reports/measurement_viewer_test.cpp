// The measurement viewer offscreen: loads from files and from a running
// store, the menus' rules, the language keys, printing, CSV, the list's
// marks, overview and navigation, and screenshots of its three views.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/printer_port.h"
#include "platform/user_dialogs.h"
#include "reports/level_graph.h"
#include "reports/measurement_viewer.h"
#include "reports/print_settings.h"
#include "reports/report_store_fixture.h"
#include "reports/viewer_value_list.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "support/fake_main_window.h"
#include "support/fake_services.h"
#include "support/screenshot_path.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/services/report_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using report_fixture::Shape;

class MainWithRun : public test_support::FakeMainWindow {
public:
    bool running = false;
    bool GetMessungLaeuft() override { return running; }
};

// A CSV settings dialog that answers as scripted.
class ScriptedCsv : public TcsvExportSettings {
public:
    explicit ScriptedCsv(QString file) : file_(std::move(file)) {}
    void PresetColumns(bool, bool, bool, const QString&, const QString&, const QString&) override {}
    int ShowModal() override { return 1; }
    QString getFile() const override { return file_; }
    QChar getSep() const override { return QLatin1Char(';'); }
    QChar getDezi() const override { return QLatin1Char(','); }
    bool GetUseHeader() const override { return true; }
    bool GetELeq() const override { return true; }
    bool GetELeqK() const override { return false; }
    bool GetEPeak() const override { return true; }

private:
    QString file_;
};

void Settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

using test_support::ScreenshotPath;

class Viewer : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(kLangEnglish);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        platform::SetUserDialogs(&dialogs);
        RegisterMainWindowServices(&main);
        RegisterReportServices(&reports);
    }
    void TearDown() override {
        RegisterReportServices(nullptr);
        RegisterMainWindowServices(nullptr);
        platform::SetUserDialogs(nullptr);
        SetColorScheme(kSchemeDark);
    }
    // A measurement file of shape in the temporary folder.
    QString MakeFile(const QString& name, const Shape& shape = Shape(), int32_t interval = 60) {
        const QString path = dir.filePath(name);
        TDaten d;
        report_fixture::FillHeader(d, shape);
        report_fixture::FillValues(d, shape);
        d.SetDrawInterval(interval);
        d.SetSaveName(path);
        EXPECT_TRUE(d.SaveToFile(path, QString()));
        return path;
    }
    std::unique_ptr<TProtokoll> NewViewer() {
        auto v = std::make_unique<TProtokoll>(nullptr, 96);
        v->resize(979, 690);
        v->show();
        Settle();
        return v;
    }

    QTemporaryDir dir;
    platform::ScriptedDialogs dialogs;
    MainWithRun main;
    test_support::FakeReports reports;
};

TEST_F(Viewer, MissingFileIsReportedAndNothingChanges) {
    auto v = NewViewer();
    dialogs.ScriptMessage(platform::kMessageRight);
    EXPECT_FALSE(v->LoadProt(dir.filePath(QStringLiteral("gone.vtm"))));
    EXPECT_EQ(v->windowTitle(), QStringLiteral("Report"));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, GetLangText(286) + QStringLiteral("\r\n") + dir.filePath("gone.vtm"));
    EXPECT_EQ(dialogs.messages()[0].rightCaption, QStringLiteral("Okay"));
    EXPECT_FALSE(v->Action("aEinzelwerte")->isEnabled());
}

TEST_F(Viewer, FileLoadShowsTheReportAndAFailedLoadKeepsIt) {
    const QString good = MakeFile(QStringLiteral("night.vtm"));
    auto v = NewViewer();
    ASSERT_TRUE(v->LoadProt(good));
    EXPECT_EQ(v->getMode(), TProtokoll::kReportText);
    EXPECT_TRUE(v->Memo()->toPlainText().contains(QStringLiteral("Open Air")));
    EXPECT_TRUE(v->windowTitle().endsWith(QStringLiteral(" Open Air")));
    EXPECT_EQ(v->Store().GetWerteAnzahl(), 180);

    QFile damaged(dir.filePath(QStringLiteral("damaged.vtm")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(300, '\x5a'));
    damaged.close();
    const QString report = v->Memo()->toPlainText();
    EXPECT_FALSE(v->LoadProt(damaged.fileName()));
    EXPECT_EQ(v->Store().GetWerteAnzahl(), 180);
    EXPECT_EQ(v->CurrentFile(), good);
    EXPECT_EQ(v->BottomName(), good);
    EXPECT_EQ(v->Memo()->toPlainText(), report);
    EXPECT_TRUE(v->windowTitle().endsWith(QStringLiteral(" Open Air")));

    // The open prompt: cancelled 2, a refused file 0, a good one 1.
    dialogs.ScriptOpenFileCancel();
    EXPECT_EQ(v->DoFileSelect(), 2);
    dialogs.ScriptOpenFile(damaged.fileName());
    EXPECT_EQ(v->DoFileSelect(), 0);
    dialogs.ScriptOpenFile(good);
    EXPECT_EQ(v->DoFileSelect(), 1);
    EXPECT_EQ(dialogs.openFileRequests().back().filter, GetLangText(39));
}

TEST_F(Viewer, SnapshotOfARunningMeasurement) {
    auto v = NewViewer();
    TDaten empty;
    EXPECT_FALSE(v->LoadProt(empty));
    EXPECT_FALSE(v->Action("aEinzelwerte")->isEnabled());
    EXPECT_FALSE(v->Menu("Anzeige1")->isEnabled());

    main.running = true;
    TDaten run;
    report_fixture::FillHeader(run, Shape());
    report_fixture::FillValues(run, Shape());
    run.SetStopTime(report_fixture::kStart);  // stopped at its start: nothing to print
    ASSERT_TRUE(v->LoadProt(run));
    v->SetMode(TProtokoll::kCurves);
    v->PrepareMenus();
    EXPECT_EQ(v->getMode(), TProtokoll::kCurves);
    EXPECT_TRUE(v->Action("aEinzelwerte")->isEnabled());
    EXPECT_FALSE(v->Action("Informationen1")->isEnabled());
    EXPECT_FALSE(v->Action("aCSVEinzelwerte")->isEnabled());
    EXPECT_FALSE(v->Action("DIN159055Laden1")->isEnabled());
    EXPECT_FALSE(v->Action("aPrintProt")->isVisible());
    EXPECT_FALSE(v->Action("mmPSFTP")->isVisible());
    EXPECT_TRUE(v->BottomName().isEmpty());  // a snapshot names no file
    v->PrintReport();                        // stop not after start: nothing asked
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(Viewer, LanguageKeysRelabelAndTellTheMainWindowOnce) {
    std::vector<intptr_t> sent;
    const platform::WindowHandle window = platform::RegisterWindow([&](uint32_t msg, uintptr_t w, intptr_t l) {
        if (msg == WM_MAIN_NOTIFY && w == kNotifyLanguage) {
            sent.push_back(l);
            language.store(static_cast<int32_t>(l));
        }
    });
    mainWnd.store(window);
    auto v = NewViewer();
    const auto press = [&](int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::ControlModifier);
        QApplication::sendEvent(v.get(), &event);
    };
    press(Qt::Key_E);  // already English
    EXPECT_TRUE(sent.empty());
    press(Qt::Key_D);
    EXPECT_EQ(sent, std::vector<intptr_t>{kLangGerman});
    EXPECT_EQ(v->Menu("Anzeige1")->title(), GetLangTextFor(291, kLangGerman));
    press(Qt::Key_E);
    EXPECT_EQ(sent, (std::vector<intptr_t>{kLangGerman, kLangEnglish}));
    EXPECT_EQ(v->Action("aPrintProt")->text(), QStringLiteral("Print report"));
    mainWnd.store(0);
    platform::UnregisterWindow(window);
}

TEST_F(Viewer, DirectPrintWritesAPdfAndCsvFailureKeepsTheViewer) {
    auto v = NewViewer();
    ASSERT_TRUE(v->LoadProt(MakeFile(QStringLiteral("print.vtm"))));
    ASSERT_TRUE(platform::SelectPrinter(platform::kPdfPrinterName));
    TPrintSettings saved = printSettings();
    for (TPrintInfo* section : {&printSettings().info, &printSettings().grafik, &printSettings().einzel}) {
        section->valSet = section->option = section->selected = section->leq = true;
    }
    printSettings().printOutLangId = kLangEnglish;
    const QString pdf = dir.filePath(QStringLiteral("print.pdf"));
    dialogs.ScriptSaveFile(pdf);
    v->PrepareMenus();
    EXPECT_TRUE(v->Action("pmPPrintDirekt")->isVisible());
    EXPECT_TRUE(v->Action("pmPPrintDirekt")->text().endsWith(QStringLiteral(" (PDF file)")));
    v->PrintDirect();
    printSettings() = saved;
    platform::ClearPrinterChoice();
    EXPECT_GT(QFileInfo(pdf).size(), 1000);

    // A target that cannot be written: a message, and the viewer goes on.
    reports.csvSettings = [] { return std::make_unique<ScriptedCsv>(QStringLiteral("/proc/no/such/dir/x.csv")); };
    dialogs.ScriptMessage(platform::kMessageRight);
    v->ExportCsv();
    EXPECT_EQ(dialogs.messages().size(), 1u);
    const QString csv = dir.filePath(QStringLiteral("levels.csv"));
    reports.csvSettings = [csv] { return std::make_unique<ScriptedCsv>(csv); };
    v->ExportCsv();
    QFile written(csv);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readLine().contains(';'));
}

// ---------------------------------------------------------------------------
// Marks, overview and navigation
// ---------------------------------------------------------------------------

TEST(ViewerList, MarkedRunsAndClamping) {
    struct Case {
        std::vector<int32_t> marks;
        int32_t start;
        int32_t next;
        int32_t prev;
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 0}, 2, 4, 0},              // nothing marked: last row / row 0
        {{0, 1, 1, 0, 0, 8, 8, 0}, 0, 1, 0},     // from before the first run
        {{0, 1, 1, 0, 0, 8, 8, 0}, 1, 5, 0},     // inside the first run
        {{0, 1, 1, 0, 0, 8, 8, 0}, 6, 7, 0},     // inside the second run: the first run starts the list
        {{0, 0, 4, 4, 0, 8, 8, 0}, 6, 7, 2},
        {{0, 1, 1, 0, 0, 8, 8, 0}, 7, 7, 5},     // after the last run
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        EXPECT_EQ(NextMarkRow(c.marks, c.start), c.next);
        EXPECT_EQ(PrevMarkRow(c.marks, c.start), c.prev);
    }
    EXPECT_EQ(ClampListStart(-7, 5), 0);
    EXPECT_EQ(ClampListStart(9, 5), 4);
    EXPECT_EQ(ClampListStart(3, 0), 0);
}

TEST(ViewerList, ClipDurationsAndWheelSteps) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    EXPECT_EQ(ClipDurationText(48), QStringLiteral("1.0ms"));
    EXPECT_EQ(ClipDurationText(960), QStringLiteral("20ms"));
    EXPECT_EQ(ClipDurationText(9600), QStringLiteral("0.20s"));
    TWheelSteps wheel;
    int rows = 0;
    for (int i = 0; i < 8; ++i) rows += wheel.Take(15, 120);
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(wheel.Take(-240, 120), -2);
}

TEST(ViewerList, MarksFollowOnlyRequiredQuantitiesAndTheOverviewFolds) {
    TDaten store;
    store.SetProtStatus(2, 1, 0);  // Leq required, short-term Leq informative, peak not in the protocol
    store.SetMaxLEQ(99);
    store.SetMaxLeqK(99);
    store.SetMaxPeak(99);
    std::vector<TSaveIT6> values(5000);
    for (size_t i = 0; i < values.size(); ++i) {
        values[i].leq = 80;
        values[i].LeqK = 120;  // over its limit, but only informative
        values[i].Peak = 130;
    }
    values[10].leq = 110;
    values[20].clipCount = 3;
    const std::vector<int32_t> marks = BuildMarks(store, values);
    EXPECT_EQ(marks[10], kMarkLeq);
    EXPECT_EQ(marks[20], kMarkClip);
    EXPECT_EQ(std::count(marks.begin(), marks.end(), 0), 4998);
    for (const int width : {1, 150, 4999, 9000}) {
        const auto columns = FoldOverview(values, marks, width);
        EXPECT_LE(columns.size(), static_cast<size_t>(std::min(width + 1, 5000)));
        EXPECT_GE(columns.size(), static_cast<size_t>(std::min(width, 4999)));
        int32_t all = 0;
        for (const TOverviewColumn& c : columns) all |= c.marks;
        EXPECT_EQ(all, kMarkLeq | kMarkClip);
    }
    EXPECT_TRUE(FoldOverview(std::vector<TSaveIT6>(1), {0}, 100).empty());
}

class ViewerNavigation : public Viewer {
protected:
    void SetUp() override {
        Viewer::SetUp();
        Shape shape;
        shape.values = 1000;
        shape.secondsPerValue = 10;
        v = NewViewer();
        ASSERT_TRUE(v->LoadProt(MakeFile(QStringLiteral("ten.vtm"), shape, 10)));
        v->SetMode(TProtokoll::kSingleValues);
        v->List()->RenderBuffer();
        Settle();
    }
    int32_t After(const std::function<void()>& move) {
        move();
        Settle();
        v->List()->RenderBuffer();
        return v->ListStart();
    }
    std::unique_ptr<TProtokoll> v;
};

TEST_F(ViewerNavigation, StepsPagesHoursAndEnds) {
    ASSERT_GT(v->ListSize(), 5);
    const int32_t page = v->ListSize() - 1;
    EXPECT_EQ(After([&] { v->ListRowUp(); }), 0);
    EXPECT_EQ(After([&] { v->ListRowDown(); }), 1);
    EXPECT_EQ(After([&] { v->ListPageDown(); }), 1 + page);
    EXPECT_EQ(After([&] { v->ListHourForward(); }), 1 + page + 360);
    EXPECT_EQ(After([&] { v->ListHourBack(); }), 1 + page);
    EXPECT_EQ(After([&] { v->ListToEnd(); }), 1000 - v->ListSize() + 1);
    EXPECT_EQ(After([&] { v->ListHourForward(); }), 999);
    EXPECT_EQ(After([&] { v->ListToStart(); }), 0);
    EXPECT_EQ(After([&] { v->ListPageUp(); }), 0);
    // Values start at 22:00:10: the next hour starts 359 rows on.
    EXPECT_EQ(After([&] { v->ListNextHourStart(); }), 359);
    EXPECT_EQ(After([&] { v->ListRowDown(); }), 360);
    EXPECT_EQ(After([&] { v->ListHourStart(); }), 359);
    // A keyed move and the wheel go the same way.
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    EXPECT_EQ(After([&] { QApplication::sendEvent(v.get(), &end); }), 1000 - v->ListSize() + 1);
    const int32_t before = v->ListStart();
    QWheelEvent notch(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    EXPECT_EQ(After([&] { QApplication::sendEvent(v.get(), &notch); }), before - 1);
}

TEST_F(ViewerNavigation, HeldButtonRepeatsOnSchedule) {
    v->StartKeyRepeat(2);
    EXPECT_EQ(v->RepeatTimer()->interval(), 500);
    std::vector<int> intervals;
    for (int tick = 1; tick <= 18; ++tick) {
        v->RepeatTick();
        intervals.push_back(v->RepeatTimer()->interval());
    }
    EXPECT_EQ(intervals[0], 125);
    EXPECT_EQ(intervals[14], 125);  // the fifteenth tick
    EXPECT_EQ(intervals[15], 65);   // from the sixteenth on
    // Mouse up stops the timer; the counted ticks' posts all asked for row 1
    // (each from the row shown when it was posted).
    v->StopKeyRepeat();
    EXPECT_FALSE(v->RepeatTimer()->isActive());
    EXPECT_EQ(After([] {}), 1);
}

TEST_F(ViewerNavigation, WheelInTheCurvesMovesTheGraphCursor) {
    v->SetMode(TProtokoll::kCurves);
    v->Graph().SetAntPos(100);
    QWheelEvent notch(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(v.get(), &notch);
    EXPECT_EQ(v->Graph().GetAntPos(), 110);
    EXPECT_FALSE(v->ShowsAll());
    QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier);
    QApplication::sendEvent(v.get(), &home);
    EXPECT_EQ(v->Graph().GetAntPos(), 0);
}

TEST_F(ViewerNavigation, OverviewHasAboutOneColumnPerPixel) {
    EXPECT_GT(v->OverviewWidth(), 20);
    EXPECT_LE(static_cast<int>(v->Overview().size()), v->OverviewWidth() + 1);
    EXPECT_EQ(v->Marks().size(), 1000u);
}

TEST_F(ViewerNavigation, FreedWhilePostsAreOnTheirWay) {
    v->ListRowDown();
    v->ListPageDown();
    v.reset();
    Settle();  // the posts find no window and are dropped
}

TEST_F(ViewerNavigation, ScreenshotsOfTheThreeViews) {
    for (const int scheme : {kSchemeLight, kSchemeDark}) {
        SetColorScheme(scheme);
        auto w = NewViewer();
        ASSERT_TRUE(w->LoadProt(MakeFile(QStringLiteral("shot.vtm"), Shape{1000, 10, 6, 2}, 10)));
        const QString suffix = scheme == kSchemeLight ? QStringLiteral("light") : QStringLiteral("dark");
        for (const int mode : {TProtokoll::kCurves, TProtokoll::kSingleValues, TProtokoll::kReportText}) {
            w->SetMode(mode);
            Settle();
            const QImage shot = w->grab().toImage();
            EXPECT_TRUE(shot.save(ScreenshotPath(QStringLiteral("viewer_%1_%2.png").arg(mode).arg(suffix))));
        }
    }
}

}  // namespace
