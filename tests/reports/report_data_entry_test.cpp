// The report data entry offscreen: filling from and writing back to a store,
// the import tree's preview and import (plain, enciphered and damaged files),
// the reset of each page, and screenshots in both colour schemes.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QLocale>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include "platform/user_dialogs.h"
#include "reports/report_data_entry.h"
#include "reports/report_store_fixture.h"
#include "store/measurement_store.h"
#include "support/fake_main_window.h"
#include "support/screenshot_path.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

class TreeMain : public test_support::FakeMainWindow {
public:
    QString base;
    QString GetTreeBasePath() override { return base; }
    QString GetUserPath() override { return base; }
};

class DataEntry : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(kLangEnglish);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        platform::SetUserDialogs(&dialogs);
        main.base = dir.path();
        RegisterMainWindowServices(&main);
        Write(QStringLiteral("night.VTM"), QString(), [](TDaten&) {});
        Write(QStringLiteral("noaddress.vtm"), QString(), [](TDaten& d) { d.SetAdresse(QString()); });
        Write(QStringLiteral("locked.vtm"), QStringLiteral("open sesame"), [](TDaten& d) { d.SetPATeam("Hidden PA"); });
        QFile csv(dir.filePath(QStringLiteral("levels.csv")));
        ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
        QFile broken(dir.filePath(QStringLiteral("broken.vtm")));
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write(QByteArray(64, '\x11'));
    }
    void TearDown() override {
        RegisterMainWindowServices(nullptr);
        platform::SetUserDialogs(nullptr);
        SetColorScheme(kSchemeDark);
    }
    void Write(const QString& name, const QString& password, const std::function<void(TDaten&)>& change) {
        TDaten d;
        report_fixture::FillHeader(d, report_fixture::Shape());
        change(d);
        ASSERT_TRUE(d.SaveToFile(dir.filePath(name), password));
    }
    // The tree fills asynchronously: wait until the folder is listed.
    void WaitForTree(TMessProtokollEingabe& entry) {
        QFileSystemModel* model = entry.TreeModel();
        if (model->rowCount(model->index(dir.path())) >= 5) return;
        QEventLoop loop;
        QObject::connect(model, &QFileSystemModel::directoryLoaded, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
        ASSERT_GE(model->rowCount(model->index(dir.path())), 5);
    }
    void Select(TMessProtokollEingabe& entry, const QString& name) {
        entry.Tree()->setCurrentIndex(entry.TreeModel()->index(dir.filePath(name)));
    }

    QTemporaryDir dir;
    platform::ScriptedDialogs dialogs;
    TreeMain main;
};

TEST_F(DataEntry, FillsFromAndWritesBackToTheStore) {
    TDaten source;
    report_fixture::FillHeader(source, report_fixture::Shape());
    TMessProtokollEingabe entry(nullptr, 96);
    entry.SetData(source);
    EXPECT_EQ(entry.edVAName->text(), QStringLiteral("Open Air"));
    EXPECT_EQ(entry.GetPAText(), QStringLiteral("Line array, FoH 30 m\r\n"));
    entry.edVAZeit->setText(QStringLiteral("20:00 - 23:00"));
    TDaten target;
    entry.WriteTo(target);
    EXPECT_EQ(target.GetZeitraum(), QStringLiteral("20:00 - 23:00"));
    EXPECT_EQ(target.GetMessFirma(), source.GetMessFirma());
    EXPECT_EQ(target.GetLocationText(), source.GetLocationText());
    EXPECT_EQ(target.GetPATeam(), source.GetPATeam());
    EXPECT_EQ(target.GetHinweisText(), QStringLiteral("Nothing special.\r\n"));
}

TEST_F(DataEntry, PreviewFollowsTheTreeSelection) {
    TMessProtokollEingabe entry(nullptr, 96);
    WaitForTree(entry);
    Select(entry, QStringLiteral("levels.csv"));
    EXPECT_EQ(entry.PreviewText(), GetLangText(667));
    EXPECT_FALSE(entry.ImportVisible());

    Select(entry, QStringLiteral("night.VTM"));  // the extension in any case
    EXPECT_TRUE(entry.ImportVisible());
    EXPECT_TRUE(entry.PreviewText().startsWith(QStringLiteral("night.VTM\nOpen Air\nStart: ")));
    EXPECT_TRUE(entry.PreviewText().endsWith(QStringLiteral("Line array, FoH 30 m")));  // kind 0: PA only
    EXPECT_FALSE(entry.PreviewText().contains(QStringLiteral("Springfield")));

    entry.ImportKind()->setCurrentIndex(1);
    Select(entry, QStringLiteral("noaddress.vtm"));
    EXPECT_TRUE(entry.PreviewText().endsWith(QStringLiteral("\n\nTown Hall\n12345 Springfield\n\n")));

    Select(entry, QStringLiteral("locked.vtm"));
    EXPECT_TRUE(entry.PreviewText().endsWith(GetLangText(1000)));
    Select(entry, QStringLiteral("broken.vtm"));
    EXPECT_FALSE(entry.PreviewText().contains(GetLangText(1000)));
    EXPECT_GT(entry.PreviewText().size(), QStringLiteral("broken.vtm\n").size());
    EXPECT_TRUE(dialogs.passwordRequests().empty());  // the preview never asks
}

TEST_F(DataEntry, ImportTakesTheChosenKindOnly) {
    TMessProtokollEingabe entry(nullptr, 96);
    WaitForTree(entry);
    Select(entry, QStringLiteral("locked.vtm"));
    dialogs.ScriptPasswordCancel();
    entry.ImportSelected();
    EXPECT_TRUE(entry.edPATeam->text().isEmpty());

    dialogs.ScriptPassword(QStringLiteral("open sesame"));
    entry.ImportSelected();  // kind 0: PA data only
    EXPECT_EQ(entry.edPATeam->text(), QStringLiteral("Hidden PA"));
    EXPECT_TRUE(entry.edVAName->text().isEmpty());
    EXPECT_EQ(entry.Pages()->currentIndex(), TMessProtokollEingabe::kPaPage);

    Select(entry, QStringLiteral("night.VTM"));
    entry.ImportKind()->setCurrentIndex(1);
    entry.ImportSelected();
    EXPECT_EQ(entry.edVAName->text(), QStringLiteral("Open Air"));
    EXPECT_EQ(entry.edPATeam->text(), QStringLiteral("Hidden PA"));
    EXPECT_EQ(entry.Pages()->currentIndex(), TMessProtokollEingabe::kEventPage);
    entry.ImportKind()->setCurrentIndex(2);
    entry.ImportSelected();
    EXPECT_NE(entry.edPATeam->text(), QStringLiteral("Hidden PA"));

    // Reset empties only the page shown.
    entry.Reset();
    EXPECT_TRUE(entry.edVAName->text().isEmpty());
    EXPECT_FALSE(entry.edMessFA->text().isEmpty());
    entry.Pages()->setCurrentIndex(TMessProtokollEingabe::kPaPage);
    entry.Reset();
    EXPECT_TRUE(entry.edMessFA->text().isEmpty());
}

TEST_F(DataEntry, ScreenshotsInBothSchemes) {
    for (const int scheme : {kSchemeLight, kSchemeDark}) {
        SetColorScheme(scheme);
        TMessProtokollEingabe entry(nullptr, 96);
        TDaten source;
        report_fixture::FillHeader(source, report_fixture::Shape());
        entry.SetData(source);
        WaitForTree(entry);
        entry.show();
        const QString suffix = scheme == kSchemeLight ? QStringLiteral("light") : QStringLiteral("dark");
        for (const int page : {TMessProtokollEingabe::kEventPage, TMessProtokollEingabe::kImportPage}) {
            entry.Pages()->setCurrentIndex(page);
            if (page == TMessProtokollEingabe::kImportPage) Select(entry, QStringLiteral("night.VTM"));
            QCoreApplication::processEvents();
            EXPECT_TRUE(entry.grab().toImage().save(test_support::ScreenshotPath(
                QStringLiteral("report_data_entry_%1_%2.png").arg(page).arg(suffix))));
        }
    }
}

}  // namespace
