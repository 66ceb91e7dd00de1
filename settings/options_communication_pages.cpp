// Options pages "Communication" (the web server's addresses, port and HTTPS,
// the logo while idle) and "Time stamp" (the time-server comparison and its
// check).
#include <QDateTime>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QSpinBox>

#include "platform/date_time.h"
#include "remote/ip_handling.h"
#include "settings/options_dialog.h"
#include "settings/tick_rows.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/message_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kHttpsPort = 443;
constexpr int32_t kCertificateIcon = 2;

// Public time servers in three groups: pools, national institutes, vendors.
const char* const kTimeServers[] = {"pool.ntp.org", "de.pool.ntp.org", "europe.pool.ntp.org", nullptr,
                                    "ptbtime1.ptb.de", "ptbtime2.ptb.de", "time.nist.gov", nullptr,
                                    "time.google.com", "time.cloudflare.com", "time.windows.com"};

QString DateTimeText(const QDateTime& t) { return QLocale().toString(t, QLocale::ShortFormat); }

}  // namespace

void TvtpOptionen::BuildIpPage() {
    QWidget* page = Page(tsIP);
    auto* group = new QGroupBox(GetLangText(928), page);
    group->setObjectName(QStringLiteral("gbIp"));
    NewLabel(group, "Label8", GetLangText(347));
    TIpHandling* ips = ipHandling.load();
    const int n = ips != nullptr ? ips->GetNumIps() : 0;
    aIpCheck.assign(n, TSelBox());
    aLocalIpState.assign(n, false);
    std::vector<TSelBox*> rows;
    for (int id = 0; id < n; ++id) {
        aLocalIpState[id] = ips->GetIpState(id);
        aIpCheck[id].SetSelected(aLocalIpState[id]);
        aIpCheck[id].SetLabel(ips->GetIp(id));
        rows.push_back(&aIpCheck[id]);
    }
    pbIp = new TTickRows(group, rows);
    pbIp->setObjectName(QStringLiteral("pbIp"));
    pbIp->SetScale(localSf);
    tickBoxes_.push_back(pbIp);
    pbIp->OnToggled = [this](int row) { aLocalIpState[row] = aIpCheck[row].GetIsSelected(); };
    pbIp->OnPaintRow = [this](TPaintBox32* box, int row, const QRect& rect) {
        TIpHandling* list = ipHandling.load();
        if (list == nullptr) return;
        TBitmap32& b = box->Buffer();
        const int left = aIpCheck[row].GetWidth(box, QString(), localSf) + RoundI(6 * localSf);
        b.Font.bold = false;
        b.Font.color = clText;
        b.DrawText(QRect(left, rect.y(), rect.width() - left, rect.height()), list->GetInfo(row),
                   kTextLeft | kTextVCenter | kTextSingleLine | kTextEndEllipsis);
    };
    if (n == 0) Label("Label8")->hide();

    ticks_.push_back({"sslCheck", TSelBox()});
    ticks_.back().box.SetLabel(1194);
    auto* ssl = new TPaintBox32(group);
    ssl->setObjectName(QStringLiteral("pbSSL"));
    ssl->OnPaintBuffer = [this](TPaintBox32* box) { PaintSslBox(box); };
    ssl->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton button, int x, int) {
        if (button == Qt::LeftButton) SslBoxDown(x);
    };
    ssl->OnMouseMove = [this](TPaintBox32* box, int x, int) {
        const intptr_t tag = x >= sslCheckRight ? 1 : 0;
        if (box->Tag != tag) {
            box->Tag = tag;
            box->Invalidate();
        }
    };
    ssl->OnMouseLeave = [](TPaintBox32* box) {
        box->Tag = 0;
        box->Invalidate();
    };
    NewLabel(group, "Port", QStringLiteral("Port"));
    QSpinBox* port = NewSpin(group, "sePort", 0, 65535);
    port->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* popPort = new QMenu(port);
    for (const auto& [caption, value] : {std::pair{"12", 12}, std::pair{"14", 14}, std::pair{"80 (HTML)", 80},
                                         std::pair{"81", 81}, std::pair{"443 (HTTPS)", 443}, std::pair{"8080", 8080}}) {
        QAction* item = popPort->addAction(QString::fromLatin1(caption));
        connect(item, &QAction::triggered, this, [this, value = value] { SetPort(value); });
    }
    connect(port, &QWidget::customContextMenuRequested, this,
            [port, popPort](const QPoint& at) { popPort->popup(port->mapToGlobal(at)); });
    connect(port, &QSpinBox::valueChanged, this, [this] { PortRule(); });
    // HTTPS answers only on 443: another port with HTTPS on would serve plain HTTP.
    QLabel* hint = NewLabel(group, "lPortHint", GetLangText(1194) + QStringLiteral(": 443"));
    hint->setStyleSheet(QStringLiteral("color: rgb(255,0,0);"));
    hint->hide();
    NewTicks(page, "pbLogoOnStop", {"sLogoOnStop"});
    Tick("sLogoOnStop").SetLabel(1171);
}

int TvtpOptionen::LayoutIpPage(int w) {
    QWidget* page = Page(tsIP);
    auto* group = page->findChild<QGroupBox*>(QStringLiteral("gbIp"));
    const int rowH = RoundI(33 * localSf);
    const int groupW = w - 2 * mySpace;
    QSpinBox* port = Spin("sePort");
    const int fieldH = port->sizeHint().height();
    const int portW = RoundI(90 * localSf);
    port->setGeometry(groupW - mySpace - portW, gbTop, portW, fieldH);
    QLabel* portLabel = Label("Port");
    portLabel->adjustSize();
    portLabel->move(port->x() - mySpace / 2 - portLabel->width(), gbTop + (fieldH - portLabel->height()) / 2);
    QLabel* hint = Label("lPortHint");
    hint->adjustSize();
    hint->move(groupW - mySpace - hint->width(), gbTop + fieldH + lToCb);
    QLabel* label8 = Label("Label8");
    label8->adjustSize();
    label8->move(mySpace, gbTop + (fieldH - label8->height()) / 2);
    TPaintBox32* ssl = Box("pbSSL");
    const int sslH = RoundI(30 * localSf);
    ssl->setGeometry(label8->x() + label8->width() + 16, gbTop + (fieldH - sslH) / 2, sslCheckRight + sslH, sslH);
    const int n = static_cast<int>(aIpCheck.size());
    const int listTop = std::max(gbTop + fieldH, hint->y() + hint->height()) + mySpace;
    pbIp->setGeometry(mySpace, listTop, groupW - 2 * mySpace, n * rowH);
    group->setGeometry(mySpace, mySpace, groupW, listTop + n * rowH + mySpace);
    TickBox("pbLogoOnStop")->setGeometry(2 * mySpace, group->geometry().bottom() + 1 + mySpace, w - 3 * mySpace, rowH);
    return TickBox("pbLogoOnStop")->geometry().bottom() + 1;
}

void TvtpOptionen::PaintSslBox(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    TSelBox& tick = Tick("sslCheck");
    tick.Paint(box, QRect(0, 0, sslCheckRight, box->height()), false, localSf, false, QString());
    const QRect square(sslCheckRight, 0, box->height(), box->height());
    if (box->Tag == 1) b.FillRect(square, clHover32);
    if (MainWindowServices* main = mainWindowServices()) {
        QPainter painter(&b.Image());
        main->DrawSvgIcon(painter, kCertificateIcon, QRectF(square));
    }
}

void TvtpOptionen::SslBoxDown(int x) {
    if (x < sslCheckRight && QFileInfo::exists(certFileLoc)) {
        Tick("sslCheck").DoClick();
    } else if (hooks_.manageCertificate) {
        TPaintBox32* box = Box("pbSSL");
        QString path = certFileLoc;
        QString phrase;
        if (hooks_.manageCertificate(this, box->mapToGlobal(QPoint(0, box->height())), path, phrase)) {
            certFileLoc = path;
            mySSLPW = phrase;
        }
    }
    Box("pbSSL")->Invalidate();
    PortRule();
}

// The port stays visible with HTTPS on; any port but 443 turns it red with a hint.
void TvtpOptionen::PortRule() {
    const bool warn = PortWarningShown();
    Spin("sePort")->setStyleSheet(warn ? QStringLiteral("background: rgb(255,0,0);") : QString());
    Label("lPortHint")->setVisible(warn);
}

bool TvtpOptionen::PortWarningShown() const {
    return const_cast<TvtpOptionen*>(this)->Tick("sslCheck").GetIsSelected() && Spin("sePort")->value() != kHttpsPort;
}

bool TvtpOptionen::IsIpActive(int32_t id) const {
    return id >= 0 && id < static_cast<int32_t>(aLocalIpState.size()) && aLocalIpState[id];
}

void TvtpOptionen::SetUseSSL(bool on) {
    Tick("sslCheck").SetSelected(on);
    Box("pbSSL")->Invalidate();
    PortRule();
}
bool TvtpOptionen::GetShowSSL() const { return const_cast<TvtpOptionen*>(this)->Tick("sslCheck").GetIsSelected(); }

void TvtpOptionen::SetLogoOnStop(bool on) {
    Tick("sLogoOnStop").SetSelected(on);
    TickBox("pbLogoOnStop")->Invalidate();
}
bool TvtpOptionen::GetLogoOnStop() const {
    return const_cast<TvtpOptionen*>(this)->Tick("sLogoOnStop").GetIsSelected();
}

void TvtpOptionen::SetPort(int32_t port) { Spin("sePort")->setValue(port); }
int32_t TvtpOptionen::GetPort() const { return Spin("sePort")->value(); }

// --- Time stamp ---

void TvtpOptionen::BuildTimeServerPage() {
    QWidget* page = Page(tsTimeServer);
    TTickRows* use = NewTicks(page, "pbUseTS", {"sTSUse"});
    Tick("sTSUse").SetLabel(1205);
    use->OnToggled = [this](int) { TimeServerRule(); };
    NewTicks(page, "pbTSAllMessages", {"sTShowInfo"});
    Tick("sTShowInfo").SetLabel(1233);
    NewTicks(page, "pbTSOnStartup", {"sTSStartup"});
    Tick("sTSStartup").SetLabel(1206);
    NewTicks(page, "pbTsOnStart", {"sTSStart"});
    Tick("sTSStart").SetLabel(1207);
    NewTicks(page, "pbTsOnEnd", {"sTSEnd"});
    Tick("sTSEnd").SetLabel(1208);
    NewLabel(page, "lTimeHost", GetLangText(1209));
    QLineEdit* host = NewEdit(page, "edTsHost");
    host->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* pmTS = new QMenu(host);
    for (const char* name : kTimeServers) {
        if (name == nullptr) {
            pmTS->addSeparator();
            continue;
        }
        QAction* item = pmTS->addAction(QString::fromLatin1(name));
        connect(item, &QAction::triggered, this, [this, name] { SetTsHost(QString::fromLatin1(name)); });
    }
    connect(host, &QWidget::customContextMenuRequested, this,
            [host, pmTS](const QPoint& at) { pmTS->popup(host->mapToGlobal(at)); });
    TPaintBox32* check = NewButton(page, "pbTsCheck", 1212, [this] { RunTimeCheck(); });
    // Highlighted only while a host long enough to be asked is typed.
    check->OnMouseEnter = [this](TPaintBox32* box) {
        if (GetTsHost().length() > 3) ButtonMouseEnter(box);
    };
    TimeServerRule();
}

int TvtpOptionen::LayoutTimeServerPage(int w) {
    const int rowH = RoundI(30 * localSf);
    const int half = RoundI(w / 2.0 - 1.5 * mySpace);
    TickBox("pbUseTS")->setGeometry(mySpace, mySpace, half, rowH);
    TickBox("pbTSAllMessages")->setGeometry(2 * mySpace + half, mySpace, half, rowH);
    int top = mySpace + rowH;
    for (const char* name : {"pbTSOnStartup", "pbTsOnStart", "pbTsOnEnd"}) {
        top += mySpace;
        TickBox(name)->setGeometry(2 * mySpace, top, w - 3 * mySpace, rowH);
        top += rowH;
    }
    QLabel* label = Label("lTimeHost");
    label->adjustSize();
    label->move(mySpace, top + mySpace);
    QLineEdit* host = Edit("edTsHost");
    const int buttonW = RoundI(110 * localSf);
    const int buttonH = RoundI(33 * localSf);
    const int hostTop = label->y() + label->height() + mySpace;
    host->setGeometry(mySpace, hostTop, w - 3 * mySpace - buttonW, host->sizeHint().height());
    Box("pbTsCheck")->setGeometry(w - mySpace - buttonW, hostTop + (host->height() - buttonH) / 2, buttonW, buttonH);
    return std::max(host->geometry().bottom(), Box("pbTsCheck")->geometry().bottom()) + 1;
}

void TvtpOptionen::TimeServerRule() {
    const bool on = Tick("sTSUse").GetIsSelected();
    for (const char* name : {"sTSStartup", "sTSStart", "sTSEnd", "sTShowInfo"}) Tick(name).SetEnable(on);
    for (const char* name : {"pbUseTS", "pbTSOnStartup", "pbTsOnStart", "pbTsOnEnd", "pbTSAllMessages"})
        TickBox(name)->Invalidate();
}

void TvtpOptionen::SetTsUse(bool on) {
    Tick("sTSUse").SetSelected(on);
    TimeServerRule();
}
bool TvtpOptionen::GetTsUse() const { return const_cast<TvtpOptionen*>(this)->Tick("sTSUse").GetIsSelected(); }

void TvtpOptionen::SetTsStartup(bool on) {
    Tick("sTSStartup").SetSelected(on);
    TickBox("pbTSOnStartup")->Invalidate();
}
void TvtpOptionen::SetTsStart(bool on) {
    Tick("sTSStart").SetSelected(on);
    TickBox("pbTsOnStart")->Invalidate();
}
void TvtpOptionen::SetTsEnd(bool on) {
    Tick("sTSEnd").SetSelected(on);
    TickBox("pbTsOnEnd")->Invalidate();
}
void TvtpOptionen::SetTSShowInfo(bool on) {
    Tick("sTShowInfo").SetSelected(on);
    TickBox("pbTSAllMessages")->Invalidate();
}

bool TvtpOptionen::GetTsStartup() const {
    auto* self = const_cast<TvtpOptionen*>(this);
    return GetTsUse() && self->Tick("sTSStartup").GetIsSelected();
}
bool TvtpOptionen::GetTsStart() const {
    auto* self = const_cast<TvtpOptionen*>(this);
    return GetTsUse() && self->Tick("sTSStart").GetIsSelected();
}
bool TvtpOptionen::GetTsEnd() const {
    auto* self = const_cast<TvtpOptionen*>(this);
    return GetTsUse() && self->Tick("sTSEnd").GetIsSelected();
}
bool TvtpOptionen::GetTsShowInfo() const {
    return const_cast<TvtpOptionen*>(this)->Tick("sTShowInfo").GetIsSelected();
}

void TvtpOptionen::SetTsHost(const QString& host) { Edit("edTsHost")->setText(host); }
QString TvtpOptionen::GetTsHost() const { return Edit("edTsHost")->text(); }

void TvtpOptionen::RunTimeCheck() {
    const QString host = GetTsHost();
    if (host.length() <= 3 || !hooks_.checkTsHost) return;
    platform::TDateTime t = 0;
    try {
        t = hooks_.checkTsHost(host);
    } catch (...) {
        t = 0;
    }
    QString message;
    if (t > 0) {
        message = GetLangText(1202).replace(QStringLiteral("%s"), host) + QStringLiteral(": ") + DateTimeText(platform::ToQDateTime(t, QTimeZone::systemTimeZone())) +
                  QStringLiteral("\r\n") + GetLangText(1203) + QStringLiteral(": ") + DateTimeText(QDateTime::currentDateTime());
    } else {
        message = GetLangText(1201).replace(QStringLiteral("%s"), host);
    }
    AskMessage(message, 0, 1204, 0, 0, 1054, this);
}
