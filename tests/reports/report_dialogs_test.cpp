// The report dialogs offscreen: the end-of-measurement dialog's finish rule,
// verification and posts, the password prompt on its own and behind the
// dialog service, the remarks editor, the CSV export settings and the time
// jump; screenshots of each in both colour schemes.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/date_time.h"
#include "platform/user_dialogs.h"
#include "platform/window_messages.h"
#include "reports/csv_export_dialog.h"
#include "reports/end_of_measurement_dialog.h"
#include "reports/hints_editor.h"
#include "reports/measurement_viewer.h"
#include "reports/password_prompt.h"
#include "reports/report_store_fixture.h"
#include "reports/sftp_manager.h"
#include "reports/time_jump_dialog.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "support/screenshot_path.h"
#include "ui_kit/gui_dialogs.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using Post = std::pair<uintptr_t, intptr_t>;

// A stand-in main window that records every notification posted to it.
class Receiver {
public:
    Receiver() {
        handle_ = platform::RegisterWindow([this](uint32_t msg, uintptr_t w, intptr_t l) {
            if (msg == WM_MAIN_NOTIFY) posts.emplace_back(w, l);
        });
        mainWnd.store(handle_);
        mainReady.store(true);
    }
    ~Receiver() {
        mainReady.store(false);
        mainWnd.store(0);
        platform::UnregisterWindow(handle_);
    }
    std::vector<Post> Take() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        std::vector<Post> out;
        out.swap(posts);
        return out;
    }
    platform::WindowHandle Handle() const { return handle_; }
    std::vector<Post> posts;

private:
    platform::WindowHandle handle_ = 0;
};

void SendKey(QWidget* target, QEvent::Type type, int key) {
    QKeyEvent event(type, key, Qt::NoModifier, key == Qt::Key_Escape ? QStringLiteral("\x1b") : QStringLiteral("\r"));
    QApplication::sendEvent(target, &event);
}

void PressAndRelease(QWidget* target, int key) {
    SendKey(target, QEvent::KeyPress, key);
    SendKey(target, QEvent::KeyRelease, key);
}

using test_support::ScreenshotPath;

class ReportDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        language.store(kLangEnglish);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        allowPW = true;
        forcePW = false;
        platform::SetUserDialogs(&dialogs);
    }
    void TearDown() override {
        platform::SetUserDialogs(nullptr);
        allowPW = forcePW = false;
        sftpManager.store(nullptr);
        SetColorScheme(kSchemeDark);
    }
    platform::ScriptedDialogs dialogs;
};

// ---------------------------------------------------------------------------
// End of measurement
// ---------------------------------------------------------------------------

TEST_F(ReportDialogs, EndDialogFinishRule) {
    const double when = platform::EncodeDateTime(2026, 12, 11, 14, 32, 10, 0);
    struct Case {
        const char* what;
        bool required;
        bool skipped;
        bool checked;
        bool force;
        const char* pw;
        const char* repeat;
        bool done;
        bool hint;
    };
    const Case cases[] = {
        {"nothing required, no password", false, false, false, false, "", "", true, false},
        {"required and open", true, false, false, false, "", "", false, false},
        {"required and skipped", true, true, false, false, "", "", true, false},
        {"required and checked", true, false, true, false, "", "", true, false},
        {"one character is no cipher password", false, false, false, false, "a", "a", false, true},
        {"two characters", false, false, false, false, "ab", "ab", true, false},
        {"repeat differs", false, false, false, false, "abcd", "abce", false, false},
        {"repeat differs in case only", false, false, false, false, "abcd", "ABCD", false, false},
        {"forced, empty", false, false, false, true, "", "", false, false},
        {"forced, one character", false, false, false, true, "a", "a", false, false},
        {"forced, four characters", false, false, false, true, "abcd", "abcd", false, false},
        {"forced, five characters", false, false, false, true, "abcde", "abcde", true, false},
        {"forced, five, case differs", false, false, false, true, "abcde", "abcdE", false, false},
        {"forced, five, accented case differs", false, false, false, true, "abcdé", "abcdÉ", false, false},
        {"forced, five, but check open", true, false, false, true, "abcde", "abcde", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        forcePW = c.force;
        TEndOfMeasurementForm form(nullptr, 96);
        form.SetForceKal(c.required);
        if (c.skipped) form.ClickSkip();
        if (c.checked) form.SetKalDone(when, 1.2);
        form.PasswordEdit()->setText(QString::fromUtf8(c.pw));
        form.RepeatEdit()->setText(QString::fromUtf8(c.repeat));
        EXPECT_EQ(form.DoneVisible(), c.done);
        EXPECT_EQ(form.ShortPasswordHintShown(), c.hint);
        EXPECT_EQ(form.GetPW(), QString::fromUtf8(c.pw));
    }
}

TEST_F(ReportDialogs, EndDialogWithoutPasswordOptionHidesTheArea) {
    allowPW = false;
    TEndOfMeasurementForm form(nullptr, 96);
    form.SetForceKal(false);
    EXPECT_FALSE(form.PasswordEdit()->isVisibleTo(&form));
    EXPECT_TRUE(form.DoneVisible());
    EXPECT_TRUE(form.GetPW().isEmpty());
}

TEST_F(ReportDialogs, EndDialogVerificationTakesOnlyPlausibleChecks) {
    TEndOfMeasurementForm form(nullptr, 96);
    form.SetForceKal(true);
    EXPECT_EQ(form.VerificationText(), GetLangText(65));
    const double when = platform::EncodeDateTime(2026, 12, 11, 14, 32, 10, 0);
    form.SetKalDone(0.0, 0.1);
    form.SetKalDone(when, 50.0);
    form.SetKalDone(when, -50.0);
    EXPECT_FALSE(form.DoneVisible());
    EXPECT_EQ(form.VerificationText(), GetLangText(65));
    form.SetKalDone(when, -0.34);
    EXPECT_TRUE(form.DoneVisible());
    EXPECT_EQ(form.VerificationText(), QStringLiteral("Calibration after Measurement: 14:32:10\n"
                                                      "The verification yield a deviation of 0.3 dB"));
    // The skip box stays as it was, disabled.
    EXPECT_FALSE(form.SkipBox().GetIsEnabled());
    EXPECT_FALSE(form.SkipBox().GetIsSelected());
}

TEST_F(ReportDialogs, EndDialogPostsItsRequests) {
    Receiver main;
    TEndOfMeasurementForm form(nullptr, 96);
    form.SetForceKal(true);
    form.close();  // Done hidden: the close box does nothing
    form.ClickHints();
    form.ClickVerification();
    EXPECT_EQ(main.Take(), (std::vector<Post>{{kNotifyShowHints, 5}, {kNotifyVerifyAfterMeasurement, 0}}));

    form.ClickSkip();
    dialogs.ScriptMessage(platform::kMessageRight);  // "Cancel" in the skip question
    form.TryFinish();
    EXPECT_TRUE(main.Take().empty());
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].leftCaption, QStringLiteral("Skip Check"));
    dialogs.ScriptMessage(platform::kMessageLeft);
    form.close();
    EXPECT_EQ(main.Take(), (std::vector<Post>{{kNotifyEndDialogDone, 0}}));

    // Once checked, the verification button asks nothing more and Done asks nothing.
    form.SetKalDone(platform::EncodeDateTime(2026, 12, 11, 14, 32, 10, 0), 0.5);
    form.ClickVerification();
    form.TryFinish();
    EXPECT_EQ(main.Take(), (std::vector<Post>{{kNotifyEndDialogDone, 0}}));
    EXPECT_EQ(dialogs.messages().size(), 2u);
}

TEST_F(ReportDialogs, EndDialogShowsThePasswordForAWhile) {
    TEndOfMeasurementForm form(nullptr, 96);
    PressAndRelease(form.PasswordEdit(), Qt::Key_Return);
    form.PasswordEdit()->setText(QStringLiteral("secret"));
    form.ClickShowPassword();
    EXPECT_TRUE(form.PasswordShown());
    EXPECT_TRUE(form.ShowTimer()->isActive());
    EXPECT_EQ(form.ShowTimer()->interval(), 3000);
    form.ClickShowPassword();
    EXPECT_FALSE(form.PasswordShown());
    EXPECT_FALSE(form.ShowTimer()->isActive());
}

// ---------------------------------------------------------------------------
// Password prompt
// ---------------------------------------------------------------------------

TEST_F(ReportDialogs, PromptModesAndNames) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("night.vtm"));
    TAskPW prompt(nullptr, 96);
    prompt.SetFileName(dir.filePath(QStringLiteral("missing.vtm")));
    EXPECT_EQ(prompt.InfoText(), QStringLiteral("The file  is encrypted. Please enter the password"));
    { QFile f(file); ASSERT_TRUE(f.open(QIODevice::WriteOnly)); }
    prompt.SetFileName(file);
    EXPECT_EQ(prompt.InfoText(), QStringLiteral("The file night.vtm is encrypted. Please enter the password"));

    prompt.SetMode(false);  // no SFTP settings object: stays in file mode
    EXPECT_TRUE(prompt.FileMode());
    EXPECT_EQ(prompt.windowTitle(), QStringLiteral("File Encryption"));
    TSFTPManager settings;
    sftpManager.store(&settings);
    prompt.SetMode(false);
    prompt.SetFileName(QStringLiteral("sftp-host"));
    EXPECT_EQ(prompt.windowTitle(), QStringLiteral("SFTP Upload"));
    EXPECT_EQ(prompt.InfoText(), QStringLiteral("Password for sftp-host"));
    EXPECT_FALSE(prompt.PasswordShown());
    prompt.ClickShowPassword();
    EXPECT_TRUE(prompt.PasswordShown());
}

TEST_F(ReportDialogs, PromptEnterConfirmsAndEscapeDoesNothing) {
    TAskPW prompt(nullptr, 96);
    QTimer::singleShot(0, &prompt, [&] {
        QLineEdit* edit = prompt.PasswordEdit();
        edit->setText(QStringLiteral("Geheim"));
        PressAndRelease(edit, Qt::Key_Escape);
        EXPECT_TRUE(prompt.isVisible());
        EXPECT_EQ(edit->text(), QStringLiteral("Geheim"));
        PressAndRelease(edit, Qt::Key_Return);
    });
    EXPECT_EQ(prompt.ShowModal(), platform::kPasswordOk);
    EXPECT_EQ(prompt.GetPW(), QStringLiteral("Geheim"));
}

// An enciphered file is opened (by the store, then by the viewer) through the
// dialog service, which shows the real prompt; the test types into it like a user.
TEST_F(ReportDialogs, EncipheredFileIsAnsweredInTheRealPrompt) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("locked.vtm"));
    {
        TDaten source;
        report_fixture::FillHeader(source, report_fixture::Shape());
        report_fixture::FillValues(source, report_fixture::Shape());
        ASSERT_TRUE(source.SaveToFile(file, QStringLiteral("open sesame")));
    }
    GuiDialogs gui;
    gui.SetPasswordPrompt(AskPasswordWithPrompt);
    platform::SetUserDialogs(&gui);
    int prompts = 0;
    // Types text and confirms with Enter; an empty text cancels instead.
    const auto answer = [&](const QString& text) {
        QTimer::singleShot(0, [&, text] {
            auto* prompt = dynamic_cast<TAskPW*>(QApplication::activeModalWidget());
            ASSERT_NE(prompt, nullptr);
            ++prompts;
            EXPECT_TRUE(prompt->InfoText().contains(QStringLiteral("locked.vtm")));
            if (text.isEmpty()) {
                prompt->close();
                return;
            }
            prompt->PasswordEdit()->setText(text);
            PressAndRelease(prompt->PasswordEdit(), Qt::Key_Return);
        });
    };
    TDaten cancelled;
    answer(QString());
    EXPECT_EQ(cancelled.LoadFromFile(file, kLoadEverything), kLoadCancelled);
    TProtokoll viewer(nullptr, 96);
    answer(QStringLiteral("open sesame"));
    EXPECT_TRUE(viewer.LoadProt(file));
    EXPECT_EQ(viewer.Store().GetVeranstaltung(), QStringLiteral("Open Air"));
    EXPECT_EQ(prompts, 2);
}

// ---------------------------------------------------------------------------
// Remarks editor
// ---------------------------------------------------------------------------

TEST_F(ReportDialogs, RemarksEditorPostsAndStaysOpen) {
    Receiver main;
    THinweiseForm editor(nullptr, 96);
    editor.SetTheHints(QStringLiteral("first line"));
    editor.SetMessageInfo(main.Handle(), kNotifyHintsCancel, kNotifyHintsSave);
    EXPECT_FALSE(editor.IsChanged());
    editor.ShowAt(QPoint(10, 10));
    editor.close();
    EXPECT_TRUE(editor.isVisible());
    PressAndRelease(editor.Memo(), Qt::Key_Escape);
    EXPECT_EQ(main.Take(), (std::vector<Post>{{kNotifyHintsCancel, 0}, {kNotifyHintsCancel, 0}}));

    editor.Memo()->setFocus();
    editor.Memo()->moveCursor(QTextCursor::End);
    editor.Memo()->insertPlainText(QStringLiteral("\nsecond"));
    EXPECT_TRUE(editor.IsChanged());
    editor.ClickApply();
    EXPECT_EQ(main.Take(), (std::vector<Post>{{kNotifyHintsSave, 0}}));
    EXPECT_EQ(editor.GetTheHints(), QStringLiteral("first line\nsecond"));
}

// ---------------------------------------------------------------------------
// CSV export settings
// ---------------------------------------------------------------------------

TEST_F(ReportDialogs, CsvSettingsRules) {
    TcsvExportDialog dialog(nullptr, 96);
    dialog.PresetColumns(true, false, true, QStringLiteral("LAeq"), QStringLiteral("LAeq,10s"), QStringLiteral("LCpeak"));
    EXPECT_FALSE(dialog.GetUseHeader());
    EXPECT_EQ(dialog.getSep(), QChar(','));
    EXPECT_EQ(dialog.getDezi(), QChar('.'));
    EXPECT_FALSE(dialog.DecimalCombo()->isEnabled());
    EXPECT_FALSE(dialog.ExportVisible());  // no file yet

    dialog.SeparatorCombo()->setCurrentIndex(1);  // semicolon frees the decimal choice
    EXPECT_EQ(dialog.getSep(), QChar(';'));
    EXPECT_TRUE(dialog.DecimalCombo()->isEnabled());
    dialog.DecimalCombo()->setCurrentIndex(1);
    EXPECT_EQ(dialog.getDezi(), QChar(','));
    dialog.SeparatorCombo()->setCurrentIndex(0);  // the comma forces the dot again
    EXPECT_EQ(dialog.getDezi(), QChar('.'));

    dialogs.ScriptSaveFile(QStringLiteral("/tmp/out/levels.csv"));
    dialog.ChooseFile();
    EXPECT_TRUE(dialog.ExportVisible());
    EXPECT_EQ(dialog.FileLabel(), QStringLiteral("levels.csv"));
    dialogs.ScriptSaveFileCancel();
    dialog.ChooseFile();
    EXPECT_EQ(dialog.getFile(), QStringLiteral("/tmp/out/levels.csv"));

    dialog.ClickColumnRow(0);
    dialog.ClickColumnRow(2);
    EXPECT_FALSE(dialog.ExportVisible());  // no column left
    dialog.ClickHeaderTick();
    EXPECT_TRUE(dialog.GetUseHeader());
    EXPECT_FALSE(dialog.ExportVisible());
    dialog.ClickColumnRow(1);
    EXPECT_TRUE(dialog.ExportVisible());
    EXPECT_EQ(std::vector<bool>({dialog.GetELeq(), dialog.GetELeqK(), dialog.GetEPeak()}),
              std::vector<bool>({false, true, false}));
}

// ---------------------------------------------------------------------------
// Time jump
// ---------------------------------------------------------------------------

TEST_F(ReportDialogs, TimeJumpStaysInsideTheMeasurement) {
    using platform::EncodeDateTime;
    const double start = EncodeDateTime(2026, 12, 10, 22, 0, 0, 0);
    const double end = EncodeDateTime(2026, 12, 11, 2, 0, 0, 0);
    TTimeSelect across(nullptr);
    across.SetTimeLatch(start);
    across.setZeiten(start, end);
    EXPECT_EQ(across.GetTimeLatch(), start);  // unchanged: the start
    ASSERT_TRUE(across.DayListShown());
    EXPECT_EQ(across.DayList()->count(), 2);
    across.DayList()->setCurrentIndex(1);
    across.TimePicker()->setTime(QTime(23, 0));
    EXPECT_NEAR(across.GetTimeLatch(), end, 1e-9);
    EXPECT_EQ(across.TimePicker()->time(), QTime(2, 0));
    across.DayList()->setCurrentIndex(0);
    across.TimePicker()->setTime(QTime(23, 30));
    EXPECT_NEAR(across.GetTimeLatch(), EncodeDateTime(2026, 12, 10, 23, 30, 0, 0), 1e-9);

    TTimeSelect oneDay(nullptr);
    oneDay.setZeiten(EncodeDateTime(2026, 12, 10, 10, 0, 0, 0), EncodeDateTime(2026, 12, 10, 12, 0, 0, 0));
    EXPECT_FALSE(oneDay.DayListShown());
    oneDay.TimePicker()->setTime(QTime(9, 0));
    EXPECT_EQ(oneDay.TimePicker()->time(), QTime(10, 0));

    // A stop before the start (no valid stop time) offers the start day only.
    TTimeSelect broken(nullptr);
    broken.setZeiten(start, start - 3);
    EXPECT_FALSE(broken.DayListShown());
    broken.TimePicker()->setTime(QTime(23, 0));
    EXPECT_NEAR(broken.GetTimeLatch(), EncodeDateTime(2026, 12, 10, 23, 0, 0, 0), 1e-9);
}

// ---------------------------------------------------------------------------
// Screenshots
// ---------------------------------------------------------------------------

TEST_F(ReportDialogs, ScreenshotsInBothSchemes) {
    for (const int scheme : {kSchemeLight, kSchemeDark}) {
        SetColorScheme(scheme);
        const QString suffix = scheme == kSchemeLight ? QStringLiteral("light") : QStringLiteral("dark");
        const auto shoot = [&](QWidget& w, const QString& name) {
            w.show();
            QCoreApplication::processEvents();
            const QImage shot = w.grab().toImage();
            EXPECT_TRUE(shot.save(ScreenshotPath(name + QLatin1Char('_') + suffix + QStringLiteral(".png"))));
            // The background follows the scheme.
            EXPECT_EQ(shot.pixelColor(1, shot.height() - 2).rgb() & 0xFFFFFF, QColorOf(clBack).rgb() & 0xFFFFFF);
            w.hide();
        };
        {
            TEndOfMeasurementForm form(nullptr, 96);
            form.SetForceKal(true);
            form.PasswordEdit()->setText(QStringLiteral("x"));
            shoot(form, QStringLiteral("end_of_measurement"));
            form.SetKalDone(platform::EncodeDateTime(2026, 12, 11, 14, 32, 10, 0), -0.34);
            form.PasswordEdit()->setText(QStringLiteral("secret"));
            form.RepeatEdit()->setText(QStringLiteral("secret"));
            shoot(form, QStringLiteral("end_of_measurement_checked"));
        }
        {
            TAskPW prompt(nullptr, 96);
            shoot(prompt, QStringLiteral("password_prompt"));
        }
        {
            THinweiseForm editor(nullptr, 96);
            editor.SetTheHints(QStringLiteral("Doors 19:00\nMain act 21:00"));
            shoot(editor, QStringLiteral("remarks_editor"));
        }
        {
            TcsvExportDialog dialog(nullptr, 96);
            dialog.PresetColumns(true, true, false, QStringLiteral("LAeq"), QStringLiteral("LAeq,10s"),
                                 QStringLiteral("LCpeak"));
            shoot(dialog, QStringLiteral("csv_export_settings"));
        }
        {
            TTimeSelect jump(nullptr);
            const double start = platform::EncodeDateTime(2026, 12, 10, 22, 0, 0, 0);
            jump.SetTimeLatch(start);
            jump.setZeiten(start, start + 0.2);
            shoot(jump, QStringLiteral("time_jump"));
        }
    }
}

}  // namespace
