#pragma once
// TSFTPManager: the settings of the SFTP upload of measurement files. It
// only stores, normalises and enciphers: the password is held enciphered,
// also in memory, in the program's one text cipher form. The main window
// owns the single instance and publishes it in `sftpManager`
// (ui_kit/shared_state.h). Main thread only.
#include <QString>

#include <cstdint>

namespace platform {
class Registry;
}

class TSFTPManager {
public:
    void ClearSettings();
    // Clears, then takes each value that exists as stored. A null key leaves
    // the cleared settings.
    void LoadFromReg(platform::Registry* reg);
    // Writes the nine values; a null key writes nothing.
    void SaveToReg(platform::Registry* reg) const;

    QString GetHost() const { return myHost; }
    void SetHost(const QString& host) { myHost = host; }
    QString GetUser() const { return myUser; }
    void SetUser(const QString& user) { myUser = user; }
    int32_t GetPort() const { return myPort; }
    void SetPort(int32_t port) { myPort = port; }
    QString GetSubDir() const { return mySubDir; }
    void SetSubDir(const QString& subDir) { mySubDir = CheckSubDir(subDir); }
    // Host, then "/" and the sub-folder when there is one.
    QString GetFullSFTPPath() const;
    // The password in clear; empty when none is stored or it cannot be read.
    QString GetPW() const;
    // Stores the password enciphered; fewer than 2 characters store nothing.
    void SetPW(const QString& password);
    // The password as stored (enciphered Base64), for the settings key.
    QString StoredPW() const { return myPW; }
    bool GetSavePW() const { return mySavePW; }
    void SetSavePW(bool on);
    bool GetOverWrite() const { return myOverwrite; }
    void SetOverWrite(bool on) { myOverwrite = on; }
    bool GetUseV6() const { return myUseV6; }
    void SetUseV6(bool on) { myUseV6 = on; }
    bool GetAutoTrans() const { return myAutoTrans; }
    void SetAutoTrans(bool on) { myAutoTrans = on; }

    // The sub-folder trimmed, with forward slashes and without one leading
    // and one trailing slash.
    static QString CheckSubDir(const QString& text);

private:
    QString myPW;
    QString myUser;
    int32_t myPort = 22;
    QString myHost;
    QString mySubDir;
    bool myOverwrite = false;
    bool myUseV6 = false;
    bool mySavePW = false;
    bool myAutoTrans = false;
};
