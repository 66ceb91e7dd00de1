#pragma once
// The SFTP upload as the program provides it: the SFTP settings object, made
// and loaded from the settings key at start and published in `sftpManager`,
// and the upload seam (SftpServices) that the measurement stop and the
// viewer call, registered while this object lives unless another
// implementation was registered first. GUI thread only.
#include <QString>

#include <functional>
#include <memory>

#include "ui_kit/services/sftp_services.h"

class QWidget;
class TSFTPManager;
class TSFTPTransfer;

class TSftpUploadService : public SftpServices {
public:
    // Shows the transfer window and answers its result; the program shows it
    // modally, tests run the attempt directly.
    using RunTransfer = std::function<int(TSFTPTransfer&)>;

    explicit TSftpUploadService(QWidget* owner, RunTransfer run = {});
    ~TSftpUploadService() override;
    TSftpUploadService(const TSftpUploadService&) = delete;
    TSftpUploadService& operator=(const TSftpUploadService&) = delete;

    // Writes the settings into the program's settings key (at shut-down).
    void SaveSettings();

    // Uploads an existing file with the transfer window; on success the
    // information popup names the file and the target.
    bool UploadBySFTP(const QString& file) override;
    bool AutoTransferOn() override;

private:
    QWidget* owner_;
    RunTransfer run_;
    std::unique_ptr<TSFTPManager> manager_;
};
