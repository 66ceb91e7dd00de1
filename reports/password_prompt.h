#pragma once
// TAskPW: the small modal window that asks for one password, either for an
// enciphered measurement file (file mode) or for the SFTP upload (upload
// mode). It only collects the typed text and keeps nothing afterwards.
// AskPasswordWithPrompt is what the program hands to the dialog service, so
// every password question of the store and the upload comes here.
#include <QDialog>
#include <QString>

#include "platform/user_dialogs.h"
#include "ui_kit/select_box.h"

class QLineEdit;
class TPaintBox32;

class TAskPW : public QDialog {
public:
    explicit TAskPW(QWidget* owner, double dpi = 0);

    // File mode when fileMode is set or no SFTP settings object exists.
    void SetMode(bool fileMode);
    // Upload mode: the host. File mode: taken only when that file exists.
    void SetFileName(const QString& name);
    int ShowModal() { return exec(); }
    QString GetPW() const;

    bool FileMode() const { return myFilePW; }
    QString InfoText() const;
    QLineEdit* PasswordEdit() const { return edPW; }
    void ClickShowPassword();
    bool PasswordShown() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ArrangeControls();
    void PaintInfo(TPaintBox32* box);

    QString fnl;
    double mySf = 1.0;
    TSelBox CheckUsePw;
    bool myFilePW = true;
    TPaintBox32* pbInfo = nullptr;
    QLineEdit* edPW = nullptr;
    TPaintBox32* pbCheckUsePW = nullptr;
    TPaintBox32* pbCancel = nullptr;
    TPaintBox32* pbOk = nullptr;
};

// The prompt of the dialog service: a TAskPW set up from the request, placed
// at the requested point (else at the mouse), kept inside the work area and
// shown modally.
platform::PasswordAnswer AskPasswordWithPrompt(const platform::PasswordRequest& request);
