// The SFTP page of the options dialog: the upload settings and a check of
// them against the server, logged into the page.
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRegularExpressionValidator>

#include "platform/user_dialogs.h"
#include "remote/sftp_client.h"
#include "remote/ssh2_host_keys.h"
#include "reports/sftp_manager.h"
#include "settings/options_dialog.h"
#include "settings/tick_rows.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kDefaultSftpPort = 22;
constexpr int32_t kLowestUsualPort = 11;
constexpr int32_t kHighestPort = 65535;

// A double-click writes the default port.
class TPortEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void mouseDoubleClickEvent(QMouseEvent*) override { setText(QString::number(kDefaultSftpPort)); }
};

// An eye drawn in the text colour: the show toggle of a masked field.
QIcon EyeIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColorOf(clText), 2.5));
    QPainterPath lid;
    lid.moveTo(3, 16);
    lid.quadTo(16, 3, 29, 16);
    lid.quadTo(16, 29, 3, 16);
    painter.drawPath(lid);
    painter.setBrush(QColorOf(clText));
    painter.drawEllipse(QPointF(16, 16), 4.5, 4.5);
    return QIcon(pixmap);
}

}  // namespace

void TvtpOptionen::BuildSftpPage() {
    QWidget* page = Page(tsSFTP);
    NewLabel(page, "lUser", GetLangText(1236));
    NewEdit(page, "eUser");
    NewLabel(page, "lPW", GetLangText(1086));
    QLineEdit* pw = NewEdit(page, "ePW");
    pw->setEchoMode(QLineEdit::Password);
    // The password is masked; the eye beside it shows it while wanted.
    QAction* show = pw->addAction(EyeIcon(), QLineEdit::TrailingPosition);
    show->setObjectName(QStringLiteral("aShowSftpPw"));
    show->setCheckable(true);
    connect(show, &QAction::toggled, pw,
            [pw](bool on) { pw->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password); });
    NewLabel(page, "lHost", GetLangText(1237));
    QLineEdit* host = NewEdit(page, "eHost");
    NewLabel(page, "lPort", GetLangText(1241));
    auto* port = new TPortEdit(page);
    port->setObjectName(QStringLiteral("ePort"));
    port->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), port));
    connect(port, &QLineEdit::textChanged, this, [this] { SftpPortRule(); });
    NewLabel(page, "lSubDir", GetLangText(1242));
    QLineEdit* subDir = NewEdit(page, "eSubDir");
    NewButton(page, "pbSFTPCheck", 1212, [this] { RunSftpCheck(false); });
    TPaintBox32* create = NewButton(page, "pBSftpCreateSubDir", 1244, [this] { RunSftpCheck(true); });
    create->hide();
    connect(subDir, &QLineEdit::textChanged, this,
            [this](const QString& text) { Box("pBSftpCreateSubDir")->setVisible(text.length() > 1); });
    NewTicks(page, "pbUseIPV6", {"sSFTPV6"});
    Tick("sSFTPV6").SetLabel(1247);
    TTickRows* save = NewTicks(page, "pbSavePw", {"sSFTPSavePW"});
    Tick("sSFTPSavePW").SetLabel(1248);
    save->OnToggled = [this](int) { SftpPasswordRule(); };
    NewTicks(page, "pbOverWrite", {"sSFTPOver"});
    Tick("sSFTPOver").SetLabel(1249);
    auto* log = new TPaintBox32(page);
    log->setObjectName(QStringLiteral("pbSFTPPreview"));
    log->OnPaintBuffer = [this](TPaintBox32* box) {
        TBitmap32& b = box->Buffer();
        b.Clear(clBack32);
        b.Font.height = RoundI(-12 * localSf);
        b.Font.color = clText;
        b.DrawText(box->ClientRect(), SFTPInfo, kTextLeft | kTextWordBreak);
    };
    connect(host, &QLineEdit::textChanged, this, [this] { SftpAvailabilityRule(); });
    connect(Edit("eUser"), &QLineEdit::textChanged, this, [this] { SftpAvailabilityRule(); });
    port->setText(QString::number(kDefaultSftpPort));
    SftpPasswordRule();
}

int TvtpOptionen::LayoutSftpPage(int w) {
    const int rowH = RoundI(33 * localSf);
    const int colW = RoundI(w / 2.0 - 1.5 * mySpace);
    const int labelH = Label("lUser")->fontMetrics().height() + 2;
    const int fieldH = Edit("eUser")->sizeHint().height();
    const int buttonW = RoundI(110 * localSf);
    const int rightW = RoundI(220 * localSf);
    const int col2 = 2 * mySpace + colW;
    Label("lUser")->setGeometry(mySpace, mySpace, colW, labelH);
    Edit("eUser")->setGeometry(mySpace, mySpace + labelH + lToCb, colW, fieldH);
    Label("lPW")->setGeometry(col2, mySpace, colW, labelH);
    Edit("ePW")->setGeometry(col2, mySpace + labelH + lToCb, colW, fieldH);
    const int hostLabelTop = Edit("eUser")->geometry().bottom() + 1 + mySpace;
    const int hostTop = hostLabelTop + labelH + lToCb;
    Label("lHost")->setGeometry(mySpace, hostLabelTop, colW, labelH);
    Edit("eHost")->setGeometry(mySpace, hostTop, colW, fieldH);
    TPaintBox32* check = Box("pbSFTPCheck");
    check->setGeometry(w - mySpace - buttonW, hostTop + (fieldH - rowH) / 2, buttonW, rowH);
    Label("lPort")->setGeometry(col2, hostLabelTop, check->x() - col2 - mySpace, labelH);
    Edit("ePort")->setGeometry(col2, hostTop, check->x() - col2 - mySpace, fieldH);
    const int subLabelTop = hostTop + fieldH + mySpace;
    const int subTop = subLabelTop + labelH + lToCb;
    const int subW = w - 3 * mySpace - rightW;
    Label("lSubDir")->setGeometry(mySpace, subLabelTop, subW, labelH);
    Edit("eSubDir")->setGeometry(mySpace, subTop, subW, fieldH);
    const int rightX = w - mySpace - rightW;
    int y = subTop + (fieldH - rowH) / 2;
    for (const char* name : {"pbUseIPV6", "pbSavePw", "pbOverWrite"}) {
        TickBox(name)->setGeometry(rightX, y, rightW, rowH);
        y += rowH;
    }
    Box("pBSftpCreateSubDir")->setGeometry(rightX, y + mySpace, rightW, rowH);
    const int logTop = subTop + fieldH + mySpace;
    const int logH = std::max(RoundI(120 * localSf), y + mySpace + rowH - logTop);
    Box("pbSFTPPreview")->setGeometry(mySpace, logTop, subW, logH);
    return logTop + logH;
}

void TvtpOptionen::SetSFTP(const QString& host, const QString& user, const QString& pw, const QString& subDir,
                           int32_t portId, bool useV6, bool savePW, bool canOver) {
    Edit("eHost")->setText(host);
    Edit("eUser")->setText(user);
    Edit("ePW")->setText(pw);
    Edit("eSubDir")->setText(subDir);
    mySFTPPort = portId;
    Edit("ePort")->setText(QString::number(portId));
    Tick("sSFTPV6").SetSelected(useV6);
    Tick("sSFTPSavePW").SetSelected(savePW);
    Tick("sSFTPOver").SetSelected(canOver);
    SftpPasswordRule();
    SftpAvailabilityRule();
    RepaintTicks();
}

QString TvtpOptionen::GetSFTPHost() const { return Edit("eHost")->text(); }
QString TvtpOptionen::GetSFTPUser() const { return Edit("eUser")->text(); }
QString TvtpOptionen::GetSFTPSubDir() const { return Edit("eSubDir")->text(); }
QString TvtpOptionen::GetSFTPpw() const { return GetSFTPSavePW() ? Edit("ePW")->text() : QString(); }
bool TvtpOptionen::GetSFTPUseV6() const { return const_cast<TvtpOptionen*>(this)->Tick("sSFTPV6").GetIsSelected(); }
bool TvtpOptionen::GetSFTPSavePW() const {
    return const_cast<TvtpOptionen*>(this)->Tick("sSFTPSavePW").GetIsSelected();
}
bool TvtpOptionen::GetSFTPOver() const { return const_cast<TvtpOptionen*>(this)->Tick("sSFTPOver").GetIsSelected(); }

void TvtpOptionen::SftpPortRule() {
    QLineEdit* port = Edit("ePort");
    bool ok = false;
    const int value = port->text().toInt(&ok);
    mySFTPPort = ok ? value : kDefaultSftpPort;
    const bool usual = mySFTPPort >= kLowestUsualPort && mySFTPPort <= kHighestPort;
    port->setStyleSheet(usual ? QString() : QStringLiteral("background: rgb(255,0,0);"));
}

void TvtpOptionen::SftpPasswordRule() {
    const bool shown = Tick("sSFTPSavePW").GetIsSelected();
    Edit("ePW")->setVisible(shown);
    Label("lPW")->setVisible(shown);
}

// The upload tick of the saving page needs a host and a user.
void TvtpOptionen::SftpAvailabilityRule() {
    const bool available = GetSFTPHost().length() >= 3 && GetSFTPUser().length() >= 2;
    Tick("sSFTPUse").SetEnable(available);
    TickBox("pbSFTPUse")->setVisible(available);
    Box("pbSFTPConfig")->setVisible(available);
}

void TvtpOptionen::SftpLog(const QString& entry) {
    SFTPInfo += QStringLiteral("\n") + entry;
    TPaintBox32* log = Box("pbSFTPPreview");
    log->Invalidate();
    log->RenderBuffer();
}

void TvtpOptionen::RunSftpCheck(bool makeSubDir) {
    SFTPInfo.clear();
    Box("pbSFTPPreview")->Invalidate();
    const QString host = GetSFTPHost();
    QString password = Edit("ePW")->text();
    auto askPassword = [this, &host](QString& answer) {
        platform::PasswordRequest request;
        request.fileMode = false;
        request.name = host;
        request.owner = this;
        const platform::PasswordAnswer typed = platform::userDialogs()->AskPassword(request);
        if (!typed.ok()) return false;
        answer = typed.password;
        return true;
    };
    if (!GetSFTPSavePW() && !askPassword(password)) return;
    TSFTPClient client;
    SftpLog(QStringLiteral("Start SFTP Check, Version ") + client.LibraryVersion());
    client.SetDebugMode(false);
    client.SetUserName(GetSFTPUser());
    client.SetHost(host);
    client.SetPassword(password);
    client.SetAuthModes(AuthModeBit(TAuthMode::amPassword) | AuthModeBit(TAuthMode::amKeyboardInteractive));
    // A port that would wrap in 16 bits would reach another service.
    const bool portValid = mySFTPPort >= 1 && mySFTPPort <= kHighestPort;
    client.SetPort(static_cast<uint16_t>(portValid ? mySFTPPort : 0));
    client.SetBlockingMode(false);
    client.SetKeepAlive(false);
    client.SetIPVersion(GetSFTPUseV6() ? 23 : 2);
    TRegistryHashManager hostKeys;
    const TFingerprintEvent trust = TrustOnFirstUse(hostKeys, [this](const QString& line) { SftpLog(line); });
    client.SetHashManager(&hostKeys);
    client.OnFingerprint = trust;
    client.OnAuthFailed = [this](TSSH2Client&, bool& goOn) {
        SftpLog(GetLangText(1240));
        goOn = false;
    };
    client.OnCantChangeStartDir = [this](TSSH2Client&, bool& goOn) {
        SftpLog(GetLangText(1243));
        goOn = false;
    };
    client.OnKeybdInteractive = [&askPassword](TSSH2Client&, QString& answer) { askPassword(answer); };
    if (!portValid) SftpLog(QStringLiteral("Port ") + QString::number(mySFTPPort) + QStringLiteral(" is no TCP port"));
    // The client keeps the server's last status even through steps that
    // recovered from it (a folder probed before it is made): its error text
    // is told only when a step of the check failed.
    bool failed = false;
    try {
        if (!portValid) throw ESSH2Exception(QString());
        client.Connect(QStringLiteral("/"));
        client.List(QString());
        const QString typed = GetSFTPSubDir();
        if (!typed.isEmpty()) {
            const QString sub = TSFTPManager::CheckSubDir(typed);
            if (makeSubDir) {
                if (client.OpenDir(sub, true, 0755))
                    client.OpenDir(QStringLiteral("/"), false, 0);
                else {
                    failed = true;
                    SftpLog(GetLangText(1245) + QLatin1Char(' ') + client.GetLastSSHError(0));
                }
            }
            if (client.ExistsDir(sub)) {
                failed = !client.OpenDir(sub, false, 0);
            } else {
                failed = true;
                SftpLog(QStringLiteral("Directory ") + typed + QStringLiteral(" does not exist"));
            }
        }
        SftpLog(client.CurrentDirectory());
    } catch (...) {
        failed = true;  // what went wrong is the last SSH error, logged below
    }
    SftpLog(failed ? client.GetLastSSHError(0) : QString());
    try {
        client.Disconnect();
    } catch (...) {
    }
    SftpLog(GetLangText(944));
}
