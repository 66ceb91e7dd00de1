#pragma once
// TSFTPTransfer: the modal window that uploads one measurement file to the
// server of the SFTP settings (`sftpManager`). It starts by itself half a
// second after it is shown, asks for the password when none is stored,
// checks the remote sub-folder, writes the file and shows progress and
// messages. Success closes it with result 1; otherwise it stays open with
// Repeat and Cancel (result 2). GUI thread only; the transfer runs on it.
#include <QDialog>
#include <QString>

#include <cstdint>

class QTimer;
class TPaintBox32;

inline constexpr int kUploadSucceeded = 1;
inline constexpr int kUploadCancelled = 2;

class TSFTPTransfer : public QDialog {
public:
    // dpi 0 or below: the logical pixels per inch of the owner's screen.
    explicit TSFTPTransfer(QWidget* owner = nullptr, double dpi = 0);

    // The file to upload; its line opens the messages.
    void SetFileName(const QString& path);
    // One upload attempt; run by the start timer and by Repeat.
    void StartUpload();
    // The password prompt in upload mode; true when the user gave one.
    bool AskPassword();
    // The connection and transfer; true when the file arrived.
    bool Upload();
    void AddInfoLine(const QString& text);

    void pbRetryClick() { StartUpload(); }
    void pbCancelClick() { done(kUploadCancelled); }
    void reject() override { done(kUploadCancelled); }

    QString Info() const { return myInfo; }
    int32_t Progress() const { return myProgProz; }
    bool WasRun() const { return wasRun; }

    TPaintBox32* pbProgBar = nullptr;
    TPaintBox32* pbTransInfo = nullptr;
    TPaintBox32* pbRetry = nullptr;
    TPaintBox32* pbCancel = nullptr;
    QTimer* tStart = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ScaleForm(double dpi);
    void PaintProgress(TPaintBox32* box);
    void PaintInfo(TPaintBox32* box);
    void ShowProgress(uint64_t transferred, uint64_t total);

    QString myInfo;
    QString myFileName;
    QString myPwLatch;
    double localSf = 1.0;
    int32_t myProgProz = 0;
    bool wasRun = false;
    bool screenHooked_ = false;
};
