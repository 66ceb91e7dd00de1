// The certificate dialog against certificate files the test makes with the
// openssl tool: each kind of file that does not open has its own message,
// and only a file that opens ends the dialog.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

#include "platform/user_dialogs.h"
#include "settings/certificate_dialog.h"
#include "settings/settings_prompts.h"
#include "support/screenshot_path.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr const char* kPhrase = "Zertifikat1";

bool OpenSsl(const QString& workDir, const QStringList& arguments) {
    QProcess tool;
    tool.setWorkingDirectory(workDir);
    tool.start(QStringLiteral("openssl"), arguments);
    return tool.waitForFinished(60000) && tool.exitCode() == 0;
}

class CertificateFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        files = new QTemporaryDir();
        const QString d = files->path();
        const QString pass = QStringLiteral("pass:") + QString::fromLatin1(kPhrase);
        ASSERT_TRUE(OpenSsl(d, {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                                "-keyout", "key.pem", "-out", "cert.pem", "-days", "2", "-subj", "/CN=veltaro.test"}));
        ASSERT_TRUE(OpenSsl(d, {"pkcs12", "-export", "-in", "cert.pem", "-inkey", "key.pem", "-out", "aes.pfx",
                                "-passout", pass}));
        ASSERT_TRUE(OpenSsl(d, {"pkcs12", "-export", "-legacy", "-in", "cert.pem", "-inkey", "key.pem", "-out",
                                "rc2.pfx", "-passout", pass}));
        ASSERT_TRUE(OpenSsl(d, {"pkcs12", "-export", "-nokeys", "-in", "cert.pem", "-out", "nokey.pfx", "-passout", pass}));
        QFile aes(QDir(d).filePath("aes.pfx"));
        ASSERT_TRUE(aes.open(QIODevice::ReadOnly));
        QFile cut(QDir(d).filePath("cut.pfx"));
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write(aes.readAll().left(200));
        cut.close();
        ASSERT_TRUE(QFile::copy(QDir(d).filePath("cert.pem"), QDir(d).filePath("pem.pfx")));
    }
    static void TearDownTestSuite() {
        delete files;
        files = nullptr;
    }
    void SetUp() override {
        gui_test::App();
        language.store(2);
        platform::SetUserDialogs(&dialogs);
    }
    void TearDown() override { platform::SetUserDialogs(nullptr); }
    static QString File(const char* name) { return QDir(files->path()).filePath(QString::fromLatin1(name)); }

    static inline QTemporaryDir* files = nullptr;
    platform::ScriptedDialogs dialogs;
};

TEST_F(CertificateFiles, EachFileThatDoesNotOpenHasItsOwnMessage) {
    const struct {
        const char* file;
        const char* phrase;
        TCertificateCheck expected;
    } cases[] = {{"aes.pfx", kPhrase, TCertificateCheck::Ok},
                 {"rc2.pfx", kPhrase, TCertificateCheck::Ok},
                 {"aes.pfx", "wrong phrase", TCertificateCheck::WrongPassPhrase},
                 {"missing.pfx", kPhrase, TCertificateCheck::Missing},
                 {"cut.pfx", kPhrase, TCertificateCheck::Damaged},
                 {"pem.pfx", kPhrase, TCertificateCheck::NotPkcs12},
                 {"nokey.pfx", kPhrase, TCertificateCheck::NoKeyOrCertificate}};
    QStringList texts;
    for (const auto& c : cases) {
        EXPECT_EQ(CheckCertificateFile(File(c.file), QString::fromLatin1(c.phrase)), c.expected) << c.file;
        texts << CertificateCheckText(c.expected);
    }
    texts.removeDuplicates();
    EXPECT_EQ(texts.size(), 6);
}

TEST_F(CertificateFiles, ApplyEndsOnlyWithAFileThatOpens) {
    TSSLManager manager(nullptr, {}, 96);
    manager.SetCertFileName(File("aes.pfx"));
    manager.open();
    for (const char* phrase : {"wrong phrase", "abc"}) {
        manager.PhraseField()->setText(QString::fromLatin1(phrase));
        dialogs.ScriptMessage(platform::kMessageRight);
        manager.Apply();
        EXPECT_TRUE(manager.isVisible()) << phrase;
    }
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[0].text, CertificateCheckText(TCertificateCheck::WrongPassPhrase));
    EXPECT_NE(dialogs.messages()[1].text, dialogs.messages()[0].text);
    manager.PhraseField()->setText(QString::fromLatin1(kPhrase));
    manager.Apply();
    EXPECT_EQ(manager.result(), 1);
    EXPECT_EQ(manager.GetPw(), QString::fromLatin1(kPhrase));
}

TEST_F(CertificateFiles, WithoutATypedPhraseTheStoredOneIsChecked) {
    QString checked;
    TSSLManager manager(nullptr, [&](const QString& path) {
        checked = path;
        return CheckCertificateFile(path, QString::fromLatin1(kPhrase));
    }, 96);
    manager.SetCertFileName(File("rc2.pfx"));
    manager.open();
    manager.Apply();
    EXPECT_EQ(checked, File("rc2.pfx"));
    EXPECT_EQ(manager.result(), 1);
    EXPECT_EQ(manager.GetPw(), QString());
}

TEST_F(CertificateFiles, FileChoiceAndShowToggle) {
    TSSLManager manager(nullptr, {}, 96);
    manager.SetCertFileName(File("deleted.pfx"));
    dialogs.ScriptOpenFileCancel();
    manager.PickCertFile();
    ASSERT_EQ(dialogs.openFileRequests().size(), 1u);
    EXPECT_TRUE(dialogs.openFileRequests().back().fileName.isEmpty()) << "a file that is gone is not proposed";
    EXPECT_EQ(manager.GetCertFileName(), File("deleted.pfx"));
    const QString chosen = File("chosen.pfx");
    dialogs.ScriptOpenFile(chosen);
    manager.PickCertFile();
    EXPECT_EQ(manager.GetCertFileName(), chosen);
    EXPECT_FALSE(manager.PhraseShown());
    manager.ToggleShow();
    EXPECT_TRUE(manager.PhraseShown());
    manager.ToggleShow();
    EXPECT_FALSE(manager.PhraseShown());
    for (const int32_t scheme : {kSchemeLight, kSchemeDark}) {
        SetColorScheme(scheme);
        TSSLManager shown(nullptr, {}, 96);
        shown.show();
        EXPECT_TRUE(shown.grab().toImage().save(test_support::ScreenshotPath(QStringLiteral("certificate_scheme%1.png").arg(scheme))));
    }
    SetColorScheme(kSchemeDark);
}

}  // namespace
