#pragma once
// The SFTP upload as the measurement stop and the viewer see it. The SFTP
// client implements SftpServices and registers it at start; before that the
// accessor answers nullptr and nothing is uploaded.
#include <QString>

class SftpServices {
public:
    virtual ~SftpServices() = default;

    // Uploads an existing file with the modal SFTP transfer dialog (GUI
    // thread); true on success.
    virtual bool UploadBySFTP(const QString& file) = 0;
    // Whether the SFTP settings ask for an upload of each finished measurement.
    virtual bool AutoTransferOn() = 0;
};

SftpServices* sftpServices();
void RegisterSftpServices(SftpServices* services);
