#include "reports/sftp_manager.h"

#include "platform/date_time.h"
#include "platform/registry.h"
#include "store/password_encryption.h"

namespace {

// The program's fixed pass phrase for stored SFTP passwords.
const QString kPassPhrase = QStringLiteral("#k%GXbPmJ5270wT");
constexpr TCipherKind kCipher = TCipherKind::Twofish;
constexpr THashKind kHash = THashKind::Tiger;
constexpr qsizetype kShortestPassword = 2;

const QString kUser = QStringLiteral("SFTP_USER");
const QString kPW = QStringLiteral("SFTP_PW");
const QString kHost = QStringLiteral("SFTP_HOST");
const QString kSubDir = QStringLiteral("SFTP_SUBDIR");
const QString kPort = QStringLiteral("SFTP_PORT");
const QString kOver = QStringLiteral("SFTP_OVER");
const QString kUseV6 = QStringLiteral("SFTP_USEV6");
const QString kSave = QStringLiteral("SFTP_SAVE");
const QString kAuto = QStringLiteral("SFTP_AUTO");

}  // namespace

// The member initialisers are the cleared settings.
void TSFTPManager::ClearSettings() { *this = TSFTPManager(); }

void TSFTPManager::LoadFromReg(platform::Registry* reg) {
    ClearSettings();
    if (reg == nullptr) return;
    myUser = reg->ReadString(kUser).value_or(myUser);
    myPW = reg->ReadString(kPW).value_or(myPW);
    myHost = reg->ReadString(kHost).value_or(myHost);
    mySubDir = reg->ReadString(kSubDir).value_or(mySubDir);
    myPort = reg->ReadInteger(kPort).value_or(myPort);
    myOverwrite = reg->ReadBool(kOver).value_or(myOverwrite);
    myUseV6 = reg->ReadBool(kUseV6).value_or(myUseV6);
    mySavePW = reg->ReadBool(kSave).value_or(mySavePW);
    myAutoTrans = reg->ReadBool(kAuto).value_or(myAutoTrans);
}

void TSFTPManager::SaveToReg(platform::Registry* reg) const {
    if (reg == nullptr) return;
    reg->WriteString(kUser, myUser);
    reg->WriteString(kPW, mySavePW ? myPW : QString());
    reg->WriteString(kHost, myHost);
    reg->WriteString(kSubDir, mySubDir);
    reg->WriteInteger(kPort, myPort);
    reg->WriteBool(kOver, myOverwrite);
    reg->WriteBool(kUseV6, myUseV6);
    reg->WriteBool(kSave, mySavePW);
    reg->WriteBool(kAuto, myAutoTrans);
}

QString TSFTPManager::GetFullSFTPPath() const {
    return mySubDir.isEmpty() ? myHost : myHost + QLatin1Char('/') + mySubDir;
}

QString TSFTPManager::GetPW() const {
    if (myPW.size() < kShortestPassword) return {};
    try {
        return DecipherText(myPW, kCipher, kHash, kPassPhrase).value_or(QString());
    } catch (const std::runtime_error&) {
        return {};
    }
}

void TSFTPManager::SetPW(const QString& password) {
    myPW.clear();
    if (password.size() < kShortestPassword) return;
    try {
        myPW = EncipherText(password, kCipher, kHash, kPassPhrase);
    } catch (const std::runtime_error&) {
        myPW.clear();
    }
}

void TSFTPManager::SetSavePW(bool on) {
    mySavePW = on;
    if (!on) myPW.clear();
}

QString TSFTPManager::CheckSubDir(const QString& text) {
    QString result = platform::Trim(text);
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (result.startsWith(QLatin1Char('/'))) result.remove(0, 1);
    if (result.endsWith(QLatin1Char('/'))) result.chop(1);
    return result;
}
