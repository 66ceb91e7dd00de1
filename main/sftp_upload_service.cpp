#include "main/sftp_upload_service.h"

#include <QFileInfo>

#include "platform/registry.h"
#include "platform/user_dialogs.h"
#include "remote/sftp_transfer.h"
#include "reports/sftp_manager.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kTextUploadHeader = 1251;
constexpr int32_t kTextUploaded = 1253;
constexpr int32_t kTextClose = 19;
constexpr int32_t kUploadNoticeMs = 10000;

}  // namespace

TSftpUploadService::TSftpUploadService(QWidget* owner, RunTransfer run)
    : owner_(owner), run_(std::move(run)), manager_(std::make_unique<TSFTPManager>()) {
    if (!run_) run_ = [](TSFTPTransfer& dialog) { return dialog.exec(); };
    platform::Registry reg;
    manager_->LoadFromReg(reg.OpenKeyReadOnly(kSettingsKey) ? &reg : nullptr);
    sftpManager.store(manager_.get());
    // A stand-in registered before the program started (a test's) stays.
    if (sftpServices() == nullptr) RegisterSftpServices(this);
}

TSftpUploadService::~TSftpUploadService() {
    if (sftpServices() == this) RegisterSftpServices(nullptr);
    sftpManager.store(nullptr);
}

void TSftpUploadService::SaveSettings() {
    platform::Registry reg;
    if (reg.OpenKey(kSettingsKey, true)) manager_->SaveToReg(&reg);
}

bool TSftpUploadService::AutoTransferOn() { return manager_->GetAutoTrans(); }

bool TSftpUploadService::UploadBySFTP(const QString& file) {
    if (!QFileInfo(file).isFile()) return false;
    int result = 0;
    {
        TSFTPTransfer dialog(owner_);
        dialog.SetFileName(file);
        result = run_(dialog);
    }
    if (result != kUploadSucceeded) return false;
    platform::InfoRequest notice;
    notice.header = GetLangText(kTextUploadHeader);
    notice.info = FillTextArguments(GetLangText(kTextUploaded), {QFileInfo(file).fileName(), manager_->GetFullSFTPPath()});
    notice.rightCaption = GetLangText(kTextClose);
    notice.timeoutMs = kUploadNoticeMs;
    platform::userDialogs()->ShowInfo(notice);
    return true;
}
