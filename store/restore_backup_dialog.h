#pragma once
// The restore dialog TRestoreBackup: the user picks a folder in a folder
// tree, the info box tells what the backup set in that folder holds, and the
// restore button asks for a file name and rebuilds the measurement into it
// (store/backup_restore.h). Modal result 1 after a successful restore, 2
// after cancel. GUI thread only.
#include <QDialog>
#include <QString>

#include "store/backup_restore.h"

class QFileSystemModel;
class QTreeView;
class TPaintBox32;

inline constexpr int kRestoreDone = 1;
inline constexpr int kRestoreCancelled = 2;

class TRestoreBackup : public QDialog {
public:
    // dpi 0 or below: the logical pixels per inch of the owner's screen.
    explicit TRestoreBackup(QWidget* owner = nullptr, double dpi = 0);

    // Selects folder in the tree when it exists, which scans it.
    void InitDir(const QString& folder);
    // The file the measurement was restored into; empty until a restore succeeded.
    QString GetRestoreFile() const { return RestoreFileName; }

    // The folder selected in the tree and what its scan found.
    QString SelectedFolder() const;
    const BackupScan& Scan() const { return scan_; }

    // The restore button: asks for the target and restores into it; the
    // dialog closes with result 1 on success and stays open otherwise.
    void Button1Click();
    // The cancel button: result 2.
    void pTExitClick() { done(kRestoreCancelled); }

    void reject() override { done(kRestoreCancelled); }

    QTreeView* fs2 = nullptr;
    TPaintBox32* pbInfo = nullptr;
    TPaintBox32* pTOk = nullptr;
    TPaintBox32* pTExit = nullptr;
    double mySf = 1.0;  // pixels per inch / 96

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ScaleForm(double dpi);
    void ApplyColors();
    void ScanFolder(const QString& folder);
    void PaintInfo(TPaintBox32* box);

    QFileSystemModel* model_ = nullptr;
    BackupScan scan_;
    QString RestoreFileName;
    bool screenHooked_ = false;
};
