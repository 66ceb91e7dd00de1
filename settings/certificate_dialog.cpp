#include "settings/certificate_dialog.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include "settings/dialog_parts.h"
#include "settings/settings_prompts.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/message_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

// Icons of the main window's collection.
constexpr int32_t kIconHide = 7;
constexpr int32_t kIconEye = 16;
constexpr int kShortestPhrase = 4;

QString ByLanguage(const char* german, const char* english) {
    return QString::fromUtf8(language.load() == 1 ? german : english);
}

}  // namespace

QString CertificateCheckText(TCertificateCheck check) {
    switch (check) {
    case TCertificateCheck::Ok: return QString();
    case TCertificateCheck::Missing:
        return ByLanguage("Die Zertifikatsdatei gibt es nicht.", "The certificate file does not exist.");
    case TCertificateCheck::NotPkcs12:
        return ByLanguage("Die Datei ist kein PKCS#12-Zertifikat (*.pfx).",
                          "The file is no PKCS#12 certificate (*.pfx).");
    case TCertificateCheck::Damaged:
        return ByLanguage("Die Zertifikatsdatei ist beschädigt.", "The certificate file is damaged.");
    case TCertificateCheck::WrongPassPhrase:
        return ByLanguage("Das Passwort öffnet das Zertifikat nicht.", "The password does not open the certificate.");
    case TCertificateCheck::NoKeyOrCertificate:
        return ByLanguage("Die Datei enthält kein Zertifikat mit Schlüssel.",
                          "The file holds no certificate with its key.");
    }
    return QString();
}

TSSLManager::TSSLManager(QWidget* owner, StoredCheck storedCheck, double dpi)
    : QDialog(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), storedCheck_(std::move(storedCheck)) {
    setModal(true);
    setWindowTitle(GetLangText(1197));
    setPalette(SchemeWidgetPalette(palette()));
    setAutoFillBackground(true);
    pbFn = new TPaintBox32(this);
    pbFn->setObjectName(QStringLiteral("pbFn"));
    pbFn->OnPaintBuffer = [this](TPaintBox32* box) { PaintFileBox(box); };
    pbFn->OnMouseEnter = [](TPaintBox32* box) { box->Tag = 1; box->Invalidate(); };
    pbFn->OnMouseLeave = [](TPaintBox32* box) { box->Tag = 0; box->Invalidate(); };
    pbFn->OnClick = [this](TPaintBox32*) { PickCertFile(); };
    lPW = new QLabel(GetLangText(1198), this);
    ePW = new QLineEdit(this);
    ePW->setEchoMode(QLineEdit::Password);
    pbSPW = new TPaintBox32(this);
    pbSPW->OnPaintBuffer = [this](TPaintBox32* box) { PaintToggle(box); };
    pbSPW->OnMouseEnter = [](TPaintBox32* box) { box->Tag = 1; box->Invalidate(); };
    pbSPW->OnMouseLeave = [](TPaintBox32* box) { box->Tag = 0; box->Invalidate(); };
    pbSPW->OnClick = [this](TPaintBox32*) { ToggleShow(); };
    pbCancel = NewFlatButton(this, 403, [this] { done(2); });
    pbOk = NewFlatButton(this, 427, [this] { Apply(); });
    ApplyScale(dpi > 0 ? dpi : LogicalDpiOf(owner != nullptr ? owner : this));
}

void TSSLManager::ApplyScale(double dpi) {
    localSf = dpi / 96.0;
    const int m = RoundI(15 * localSf);
    const int clientW = RoundI(400 * localSf);
    QFont labelFont(QStringLiteral("VERDANA"));
    labelFont.setPixelSize(RoundI(12 * localSf));
    lPW->setFont(labelFont);
    QFont fieldFont(QStringLiteral("VERDANA"));
    fieldFont.setPixelSize(RoundI(13.33 * localSf));
    ePW->setFont(fieldFont);
    pbFn->setGeometry(m, m, clientW - 2 * m, RoundI(33 * localSf));
    lPW->adjustSize();
    lPW->move(m, pbFn->y() + pbFn->height() + m);
    const int fieldH = ePW->sizeHint().height();
    const int fieldTop = lPW->y() + lPW->height() + RoundI(3 * localSf);
    ePW->setGeometry(m, fieldTop, pbFn->width() - fieldH, fieldH);
    pbSPW->setGeometry(ePW->x() + ePW->width(), fieldTop, fieldH, fieldH);
    for (TPaintBox32* b : {pbCancel, pbOk}) InitButton(b, localSf, true);
    const int buttonTop = fieldTop + fieldH + m;
    pbCancel->move(m, buttonTop);
    pbOk->move(clientW - m - pbOk->width(), buttonTop);
    setFixedSize(clientW, buttonTop + pbOk->height() + m);
}

void TSSLManager::SetCertFileName(const QString& path) {
    myFileName = path;
    pbFn->Invalidate();
}

QString TSSLManager::GetPw() const { return ePW->text(); }

void TSSLManager::PaintFileBox(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(box->Tag == 1 ? clHover32 : clBack32);
    b.Font.height = RoundI(-13.33 * localSf);
    b.Font.color = clText;
    const bool there = QFileInfo(myFileName).isFile();
    b.DrawText(box->ClientRect().adjusted(4, 0, -4, 0), there ? myFileName : GetLangText(1200),
               kTextLeft | kTextVCenter | kTextSingleLine | kTextPathEllipsis);
}

void TSSLManager::PaintToggle(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(box->Tag == 1 ? clHover32 : clBack32);
    if (MainWindowServices* main = mainWindowServices()) {
        const double inset = box->width() * 0.12;
        QPainter painter(&b.Image());
        main->DrawSvgIcon(painter, PhraseShown() ? kIconHide : kIconEye,
                          QRectF(inset, inset, box->width() - 2 * inset, box->height() - 2 * inset));
    }
}

bool TSSLManager::PhraseShown() const { return ePW->echoMode() == QLineEdit::Normal; }

void TSSLManager::ToggleShow() {
    ePW->setEchoMode(PhraseShown() ? QLineEdit::Password : QLineEdit::Normal);
    pbSPW->Invalidate();
}

void TSSLManager::PickCertFile() {
    platform::OpenFileRequest request;
    request.title = GetLangText(1196);
    request.filter = GetLangText(1195) + QStringLiteral("|*.pfx");
    if (QFileInfo(myFileName).isFile()) {
        request.startFolder = QFileInfo(myFileName).absolutePath();
        request.fileName = myFileName;
    }
    request.mustExist = false;
    request.owner = this;
    if (const std::optional<QString> chosen = AskFileToOpen(request)) SetCertFileName(*chosen);
}

// The file must open before the server is told to use it: a wrong phrase
// would otherwise end HTTPS at the next start without a word.
void TSSLManager::Apply() {
    const QString phrase = GetPw();
    TCertificateCheck check = TCertificateCheck::Ok;
    QString message;
    if (!phrase.isEmpty() && phrase.length() < kShortestPhrase) {
        message = ByLanguage("Das Passwort braucht mindestens 4 Zeichen.", "The password needs at least 4 characters.");
    } else {
        if (!phrase.isEmpty())
            check = CheckCertificateFile(myFileName, phrase);
        else if (storedCheck_)
            check = storedCheck_(myFileName);
        else
            check = CheckCertificateFile(myFileName, QString());
        message = CertificateCheckText(check);
    }
    if (message.isEmpty()) {
        ButtonPress(pbOk);
        done(1);
        return;
    }
    AskMessage(message, 0, 1197, 0, 0, 1054, this);
}
