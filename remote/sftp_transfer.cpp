#include "remote/sftp_transfer.h"

#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "platform/user_dialogs.h"
#include "remote/sftp_client.h"
#include "remote/ssh2_host_keys.h"
#include "reports/sftp_manager.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/report_naming_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kTextRepeat = 938;
constexpr int32_t kTextCancel = 403;
constexpr int32_t kTextDone = 944;
constexpr int32_t kTextBadLogin = 1240;
constexpr int32_t kTextNoSubFolder = 1245;
constexpr int32_t kTextFolderMissing = 1246;
constexpr int kStartDelayMs = 500;
constexpr double kTranslucent = 55.0 / 255.0;
constexpr qsizetype kShortestHost = 2;
constexpr int32_t kHighestPort = 65535;

QString ShownPath(const QString& path) {
    ReportNaming* naming = reportNaming();
    return naming != nullptr ? naming->SymbolicPath(path) : path;
}

// The window's own lines that the text table lacks, in the current language.
QString InvalidPortText(int32_t port) {
    return (language.load() == kLangGerman ? QStringLiteral("Ungültiger SFTP-Port: %1")
                                           : QStringLiteral("Invalid SFTP port: %1"))
        .arg(port);
}

QString UnreadableFileText(const QString& why) {
    return (language.load() == kLangGerman ? QStringLiteral("Die Datei kann nicht gelesen werden: %1")
                                           : QStringLiteral("The file cannot be read: %1"))
        .arg(why);
}

}  // namespace

TSFTPTransfer::TSFTPTransfer(QWidget* owner, double dpi)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setModal(true);
    setWindowTitle(QStringLiteral("SFTPTransfer"));
    pbProgBar = new TPaintBox32(this);
    pbProgBar->OnPaintBuffer = [this](TPaintBox32* box) { PaintProgress(box); };
    pbTransInfo = new TPaintBox32(this);
    pbTransInfo->OnPaintBuffer = [this](TPaintBox32* box) { PaintInfo(box); };
    pbRetry = new TPaintBox32(this);
    pbRetry->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, kTextRepeat); };
    pbRetry->OnClick = [this](TPaintBox32*) { pbRetryClick(); };
    pbCancel = new TPaintBox32(this);
    pbCancel->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, kTextCancel); };
    pbCancel->OnClick = [this](TPaintBox32*) { pbCancelClick(); };
    for (TPaintBox32* button : {pbRetry, pbCancel}) WireButtonStates(button, false);
    tStart = new QTimer(this);
    tStart->setSingleShot(true);
    tStart->setInterval(kStartDelayMs);
    connect(tStart, &QTimer::timeout, this, [this] { StartUpload(); });
    if (sftpManager.load() != nullptr) {
        setPalette(SchemeWidgetPalette(palette()));
        setAutoFillBackground(true);
    }
    ScaleForm(dpi > 0 ? dpi : LogicalDpiOf(owner != nullptr ? owner : this));
}

// Run at creation, at each attempt and when the window moves to a screen of
// another density.
void TSFTPTransfer::ScaleForm(double dpi) {
    localSf = dpi / 96.0;
    const int margin = RoundI(16 * localSf);
    const int width = RoundI(550 * localSf + 4 * margin);
    const int inner = width - 2 * margin;
    pbProgBar->setGeometry(margin, margin, inner, RoundI(33 * localSf));
    pbTransInfo->setGeometry(margin, pbProgBar->geometry().bottom() + 1 + margin, inner, RoundI(132 * localSf));
    pbTransInfo->Buffer().Font.height = RoundI(-12 * localSf);
    const int buttonTop = pbTransInfo->geometry().bottom() + 1 + margin;
    const int buttonWidth = RoundI(110 * localSf);
    const int buttonHeight = RoundI(33 * localSf);
    pbCancel->setGeometry(margin, buttonTop, buttonWidth, buttonHeight);
    pbRetry->setGeometry(width - margin - buttonWidth, buttonTop, buttonWidth, buttonHeight);
    for (TPaintBox32* button : {pbRetry, pbCancel}) {
        InitButton(button, localSf, false);
        button->Invalidate();
    }
    setFixedSize(width, buttonTop + buttonHeight + margin);
    pbProgBar->Invalidate();
    pbTransInfo->Invalidate();
}

void TSFTPTransfer::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!wasRun) tStart->start();
    if (!screenHooked_ && windowHandle() != nullptr) {
        screenHooked_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this](QScreen* screen) {
            if (screen != nullptr && !qFuzzyCompare(screen->logicalDotsPerInch() / 96.0, localSf))
                ScaleForm(screen->logicalDotsPerInch());
        });
    }
}

void TSFTPTransfer::PaintProgress(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    buffer.Clear(clPanel32);
    const QRect bounds = buffer.BoundsRect();
    if (myProgProz > 0)
        buffer.FillRect(QRect(0, 0, RoundI(bounds.width() / 100.0 * myProgProz), bounds.height()), clAccent32);
    buffer.FrameRect(bounds, clFrame32);
}

void TSFTPTransfer::PaintInfo(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    buffer.Clear(clPanel32);
    buffer.Font.name = QStringLiteral("VERDANA");
    buffer.Font.color = clText;
    const int margin = RoundI(4 * localSf);
    buffer.DrawText(buffer.BoundsRect().adjusted(margin, 0, -margin, -margin), myInfo, kTextLeft | kTextWordBreak);
}

void TSFTPTransfer::AddInfoLine(const QString& text) {
    myInfo += QLatin1Char('\n') + text;
    pbTransInfo->Invalidate();
}

void TSFTPTransfer::SetFileName(const QString& path) {
    myFileName = path;
    AddInfoLine(ShownPath(path));
}

void TSFTPTransfer::ShowProgress(uint64_t transferred, uint64_t total) {
    if (total == 0) return;
    myProgProz = RoundI(static_cast<double>(transferred) * 100.0 / static_cast<double>(total));
    // The transfer holds the GUI thread: the bar is painted now, not later.
    pbProgBar->Invalidate();
    pbProgBar->repaint();
}

void TSFTPTransfer::StartUpload() {
    wasRun = true;
    myInfo.clear();
    AddInfoLine(ShownPath(myFileName));
    myProgProz = 0;
    pbProgBar->Invalidate();
    tStart->stop();
    ScaleForm(LogicalDpiOf(this));
    const TSFTPManager* settings = sftpManager.load();
    if (settings != nullptr && settings->GetSavePW()) {
        myPwLatch = settings->GetPW();
    } else if (!AskPassword()) {
        return;
    }
    if (Upload()) done(kUploadSucceeded);
}

bool TSFTPTransfer::AskPassword() {
    myPwLatch.clear();
    setWindowOpacity(kTranslucent);
    platform::PasswordRequest request;
    request.fileMode = false;
    if (const TSFTPManager* settings = sftpManager.load()) request.name = settings->GetHost();
    request.owner = this;
    const platform::PasswordAnswer answer = platform::userDialogs()->AskPassword(request);
    if (answer.ok()) myPwLatch = answer.password;
    setWindowOpacity(1.0);
    return answer.ok();
}

bool TSFTPTransfer::Upload() {
    const TSFTPManager* settings = sftpManager.load();
    if (settings == nullptr || !QFileInfo(myFileName).isFile() || settings->GetHost().size() < kShortestHost)
        return false;
    // The client takes a 16-bit port: anything else would reach another one.
    if (settings->GetPort() < 1 || settings->GetPort() > kHighestPort) {
        AddInfoLine(InvalidPortText(settings->GetPort()));
        AddInfoLine(GetLangText(kTextDone));
        return false;
    }
    QFile source(myFileName);
    if (!source.open(QIODevice::ReadOnly)) {
        AddInfoLine(UnreadableFileText(source.errorString()));
        AddInfoLine(GetLangText(kTextDone));
        return false;
    }
    TSFTPClient client;
    AddInfoLine(client.LibraryVersion());
    client.SetDebugMode(false);
    client.SetUserName(settings->GetUser());
    client.SetHost(settings->GetHost());
    client.SetPassword(myPwLatch);
    client.SetPort(static_cast<uint16_t>(settings->GetPort()));
    client.SetAuthModes(AuthModeBit(TAuthMode::amPassword) | AuthModeBit(TAuthMode::amKeyboardInteractive));
    client.SetBlockingMode(false);
    client.SetKeepAlive(false);
    client.SetIPVersion(settings->GetUseV6() ? 23 : 2);

    TRegistryHashManager hostKeys;
    bool hostKeyRefused = false;
    const TFingerprintEvent trust = TrustOnFirstUse(hostKeys, [this](const QString& line) { AddInfoLine(line); });
    client.SetHashManager(&hostKeys);
    client.OnFingerprint = [&](TSSH2Client& ssh, TFingerprintState state, TConnectHashAction& action) {
        trust(ssh, state, action);
        hostKeyRefused = action == TConnectHashAction::chaCancel;
    };
    client.OnAuthFailed = [this](TSSH2Client&, bool& goOn) {
        AddInfoLine(GetLangText(kTextBadLogin));
        goOn = false;
    };
    client.OnCantChangeStartDir = [this](TSSH2Client&, bool& goOn) {
        AddInfoLine(GetLangText(kTextNoSubFolder));
        goOn = false;
    };
    client.OnKeybdInteractive = [this](TSSH2Client&, QString& answer) {
        if (AskPassword()) answer = myPwLatch;
    };
    client.OnTransferProgress = [this](TSSH2Client&, const QString&, uint64_t done, uint64_t total) {
        ShowProgress(done, total);
    };

    bool result = false;
    try {
        client.Connect(QStringLiteral("/"));
        if (!client.Connected())
            throw ESSH2Exception(hostKeyRefused ? HostKeyMessage(HostKeyText::KeyRefused) : QStringLiteral("Not connected"));
        client.List(QString());
        const QString subDir = settings->GetSubDir();
        if (!subDir.isEmpty()) {
            if (client.ExistsDir(subDir)) {
                client.OpenDir(subDir, false, 0);
            } else {
                AddInfoLine(WithTextArgument(GetLangText(kTextFolderMissing), subDir));
            }
        }
        client.List(QString());
        const QString name = QFileInfo(myFileName).fileName();
        client.Put(source, subDir.isEmpty() ? name : subDir + QLatin1Char('/') + name, settings->GetOverWrite());
        result = true;
    } catch (const ESSH2Exception& error) {
        AddInfoLine(error.text());
    }
    try {
        client.Disconnect();
    } catch (const ESSH2Exception&) {
        // The attempt's outcome is already told.
    }
    AddInfoLine(GetLangText(kTextDone));
    return result;
}
