#pragma once
// The small editor for the remark of one calibration-log entry. It is bound
// to the entry itself (the log's serial), not to its position, so an entry
// removed or moved while the editor is open is never confused with another:
// OK for a vanished entry stores nothing.
//
// Closing it in any way posts notification 297 with its mode to the window
// that opened it, which frees it; the editor never frees itself.
#include <QDialog>

#include <cstdint>
#include <functional>

#include "platform/window_messages.h"

class QPlainTextEdit;
class TCalLog;
class TPaintBox32;

class TCalLogEdit : public QDialog {
public:
    // Modes passed back with the closing notification.
    static constexpr int32_t kFromTable = 0;
    static constexpr int32_t kAfterCalibration = 1;
    static constexpr int32_t kAfterVerifyBefore = 2;
    static constexpr int32_t kAfterVerifyAfter = 3;

    // saved runs after a remark went into the log, so the owner of the log
    // can write it.
    TCalLogEdit(TCalLog* log, std::function<void()> saved, QWidget* owner);

    // False (and nothing changes) when there is no log or eId is not valid.
    bool InitLog(int32_t eId, platform::WindowHandle meHa, int32_t mode);
    int32_t Mode() const { return myMode_; }
    // The entry's position now; -1 when it is gone or none was set.
    int32_t EntryId() const;
    QString HeaderText() const;
    QPlainTextEdit* mEdit() const { return mEdit_; }
    TPaintBox32* pbOk() const { return pbOk_; }
    TPaintBox32* pbCancel() const { return pbCancel_; }

    void pbOkClick();
    void pbCancelClick() { close(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override { close(); }

private:
    void Layout();

    TCalLog* log_;
    std::function<void()> saved_;
    uint64_t serial_ = 0;
    platform::WindowHandle myMeHa_ = 0;
    int32_t myMode_ = kFromTable;
    bool isOff_ = false;
    double mySf_ = 1.0;
    int32_t mySpace_ = 16;
    bool closing_ = false;
    TPaintBox32* pbTop_ = nullptr;
    QPlainTextEdit* mEdit_ = nullptr;
    TPaintBox32* pbOk_ = nullptr;
    TPaintBox32* pbCancel_ = nullptr;
};
