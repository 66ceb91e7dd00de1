#pragma once
// The certificate of the HTTPS server: a PKCS#12 file and the pass phrase
// that opens it. "Apply" opens the file with the typed pass phrase, or, when
// none is typed, with the stored one through the check the opener hands in;
// a file that does not open is told and the dialog stays open.
#include <QDialog>
#include <QString>

#include <functional>

#include "remote/web_tls.h"

class QLabel;
class QLineEdit;
class TPaintBox32;

class TSSLManager : public QDialog {
public:
    // Checks the file with the stored pass phrase.
    using StoredCheck = std::function<TCertificateCheck(const QString& path)>;

    explicit TSSLManager(QWidget* owner, StoredCheck storedCheck = {}, double dpi = 0);

    void SetCertFileName(const QString& path);
    QString GetCertFileName() const { return myFileName; }
    QString GetPw() const;

    // "Apply": ends with 1 when the file opens, else tells why and stays.
    void Apply();
    void PickCertFile();
    void ToggleShow();
    bool PhraseShown() const;
    TPaintBox32* FileBox() const { return pbFn; }
    QLineEdit* PhraseField() const { return ePW; }
    void ApplyScale(double dpi);

private:
    void PaintFileBox(TPaintBox32* box);
    void PaintToggle(TPaintBox32* box);

    StoredCheck storedCheck_;
    QString myFileName;
    double localSf = 1.0;
    TPaintBox32* pbFn = nullptr;
    QLabel* lPW = nullptr;
    QLineEdit* ePW = nullptr;
    TPaintBox32* pbSPW = nullptr;
    TPaintBox32* pbCancel = nullptr;
    TPaintBox32* pbOk = nullptr;
};

// The message that tells why a certificate file did not open; empty for Ok.
QString CertificateCheckText(TCertificateCheck check);
