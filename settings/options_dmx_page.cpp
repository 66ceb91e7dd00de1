// The DMX page of the options dialog: DMX output over Art-Net, its level
// sources, the node address and the four scenes. Every change goes into the
// DMX data at once; the opener restores them on Cancel.
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTimer>

#include "remote/art_net_control.h"
#include "remote/dmx_data.h"
#include "settings/dmx_setup_dialog.h"
#include "settings/menu_header.h"
#include "settings/modal_runner.h"
#include "settings/options_dialog.h"
#include "settings/tick_rows.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kSceneSetupDark = 255;
const struct {
    const char* name;
    int32_t textId;
    int32_t scene;
} kSceneButtons[] = {{"pbNormal", 899, 16}, {"pbDMXWarn", 900, 17}, {"pbDMXOver", 901, 18}, {"pbNom", 892, 20}};

enum DmxField { kFieldIp, kFieldNet, kFieldSubNet, kFieldUniverse };

bool ValidIpText(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4) return false;
    for (const QString& part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || part.isEmpty() || value < 0 || value > 255) return false;
    }
    return true;
}

}  // namespace

void TvtpOptionen::BuildDmxPage() {
    QWidget* page = Page(tsDMX);
    for (const auto& b : kSceneButtons) {
        const int32_t scene = b.scene;
        NewButton(page, b.name, b.textId, [this, scene] { EditDmxScene(scene); });
    }
    TTickRows* mode = NewTicks(page, "pbDmxMode", {"sDmxUse", "sDmxLeq", "sDmxLeqK", "sDmxPeak"});
    Tick("sDmxUse").SetLabel(144);
    Tick("sDmxLeq").SetLabel(909);
    Tick("sDmxLeqK").SetLabel(910);
    Tick("sDmxPeak").SetLabel(908);
    mode->OnToggled = [this](int row) { DmxUseClicked(row); };
    NewLabel(page, "Label14", GetLangText(902));
    QLineEdit* ip = NewEdit(page, "edDMXIP");
    connect(ip, &QLineEdit::textChanged, this, [this] { DmxIpChanged(); });
    NewLabel(page, "Label16", GetLangText(906));
    QSpinBox* net = NewSpin(page, "seDMXNode", 0, 127);
    NewLabel(page, "Label1", GetLangText(903));
    QSpinBox* sub = NewSpin(page, "seSubNode", 0, 15);
    NewLabel(page, "Label17", GetLangText(907));
    QSpinBox* uni = NewSpin(page, "seDMXUni", 0, 15);
    connect(net, &QSpinBox::valueChanged, this, [this](int v) {
        if (TDMXData* dmx = dmxData.load(); dmx && !dmxTaking_) dmx->SetNode(v);
        DmxSelectByAddress();
    });
    connect(sub, &QSpinBox::valueChanged, this, [this](int v) {
        if (TDMXData* dmx = dmxData.load(); dmx && !dmxTaking_) dmx->SetSubNode(v);
        DmxSelectByAddress();
    });
    connect(uni, &QSpinBox::valueChanged, this, [this](int v) {
        if (TDMXData* dmx = dmxData.load(); dmx && !dmxTaking_) dmx->SetUniverse(v);
        DmxSelectByAddress();
    });
    const std::pair<QWidget*, int> menus[] = {{ip, kFieldIp}, {net, kFieldNet}, {sub, kFieldSubNet},
                                              {uni, kFieldUniverse}};
    for (const auto& [field, which] : menus) {
        field->setContextMenuPolicy(Qt::CustomContextMenu);
        auto* menu = new QMenu(field);
        connect(field, &QWidget::customContextMenuRequested, this, [this, field, menu, which = which](QPoint at) {
            DmxFieldMenu(menu, which);
            menu->popup(field->mapToGlobal(at));
        });
    }
    NewCombo(page, "cbArtNetDevice");
    NewButton(page, "pbDMXFromCB", 1167, [this] { DmxCopyDevice(); });
    QLabel* copyright = NewLabel(page, "lArtNetCR", ArtNetCopyrightText());
    copyright->setWordWrap(true);

    if (dmxData.load() != nullptr)
        DmxTakeFromData();
    else
        page->setEnabled(false);
    DmxUseRule();
}

int TvtpOptionen::LayoutDmxPage(int w) {
    const int rowH = RoundI(33 * localSf);
    const int sceneW = RoundI(180 * localSf);
    int y = mySpace;
    for (const auto& b : kSceneButtons) {
        Box(b.name)->setGeometry(mySpace, y, sceneW, rowH);
        y += rowH + 3;
    }
    const int modeLeft = mySpace + sceneW + mySpace;
    TickBox("pbDmxMode")->setGeometry(modeLeft, mySpace, w - modeLeft - mySpace, y - 3 - mySpace);
    const int fieldH = Edit("edDMXIP")->sizeHint().height();
    const int addrTop = y - 3 + mySpace;
    const int ipW = RoundI(120 * localSf);
    QLineEdit* ip = Edit("edDMXIP");
    ip->setGeometry(mySpace + sceneW - ipW, addrTop, ipW, fieldH);
    auto placeLabel = [&](const char* name, int rightEdge, int top) {
        QLabel* l = Label(name);
        l->adjustSize();
        l->move(rightEdge - 3 - l->width(), top + (fieldH - l->height()) / 2);
    };
    placeLabel("Label14", ip->x(), addrTop);
    const int spinW = RoundI(60 * localSf);
    QLabel* l16 = Label("Label16");
    l16->adjustSize();
    l16->move(ip->x() + ip->width() + mySpace, addrTop + (fieldH - l16->height()) / 2);
    QSpinBox* net = Spin("seDMXNode");
    net->setGeometry(l16->x() + l16->width() + 3, addrTop, spinW, fieldH);
    QLabel* l1 = Label("Label1");
    l1->adjustSize();
    l1->move(net->x() + net->width() + mySpace, addrTop + (fieldH - l1->height()) / 2);
    QSpinBox* sub = Spin("seSubNode");
    sub->setGeometry(l1->x() + l1->width() + 3, addrTop, spinW, fieldH);
    QSpinBox* uni = Spin("seDMXUni");
    uni->setGeometry(sub->x(), addrTop + fieldH + mySpace, spinW, fieldH);
    placeLabel("Label17", uni->x(), uni->y());
    QComboBox* devices = Combo("cbArtNetDevice");
    TPaintBox32* copy = Box("pbDMXFromCB");
    const int listTop = uni->y() + fieldH + mySpace;
    const int listH = devices->sizeHint().height();
    copy->move(w - mySpace - copy->width(), listTop + (listH - copy->height()) / 2);
    devices->setGeometry(mySpace, listTop, copy->x() - 2 * mySpace, listH);
    QLabel* copyright = Label("lArtNetCR");
    const int crTop = std::max(listTop + listH, copy->y() + copy->height()) + mySpace;
    copyright->setGeometry(mySpace, crTop, w - 2 * mySpace, copyright->heightForWidth(w - 2 * mySpace));
    return copyright->geometry().bottom() + 1;
}

void TvtpOptionen::DmxTakeFromData() {
    TDMXData* dmx = dmxData.load();
    Tick("sDmxUse").SetSelected(dmx->GetUseIt());
    DmxUseRule();
    dmxOldIP = dmx->GetIp();
    dmxOldSubNode = dmx->GetSubNode();
    dmxOldNode = dmx->GetNode();
    dmxOldUniverse = dmx->GetSubUni();
    dmxTaking_ = true;
    Edit("edDMXIP")->setText(dmxOldIP);
    Spin("seDMXNode")->setValue(dmxOldNode);
    Spin("seDMXUni")->setValue(dmxOldUniverse);
    Spin("seSubNode")->setValue(dmxOldSubNode);
    dmxTaking_ = false;
    const int32_t show = dmx->GetDMXShow();
    Tick("sDmxPeak").SetSelected((show & kDmxShowPeak) != 0);
    Tick("sDmxLeq").SetSelected((show & kDmxShowLeq) != 0);
    Tick("sDmxLeqK").SetSelected((show & kDmxShowLeqK) != 0);
}

// The address fields and the device list belong to a switched-on output.
void TvtpOptionen::DmxUseRule() {
    const bool on = Tick("sDmxUse").GetIsSelected();
    for (const char* name : {"cbArtNetDevice"}) Combo(name)->setVisible(on);
    Box("pbDMXFromCB")->setVisible(on);
    Edit("edDMXIP")->setVisible(on);
    for (const char* name : {"seDMXNode", "seSubNode", "seDMXUni"}) Spin(name)->setVisible(on);
    for (const char* name : {"Label14", "Label16", "Label1", "Label17"}) Label(name)->setVisible(on);
    for (const char* name : {"sDmxLeq", "sDmxLeqK", "sDmxPeak"}) Tick(name).SetEnable(on);
    if (on) {
        if (dmxData.load() != nullptr) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            PostMainNotify(kNotifyArtNetSwitch, 2);
            tArtPoll->start();
        }
    } else {
        tArtPoll->stop();
        PostMainNotify(kNotifyArtNetSwitch, 0);
    }
    TickBox("pbDmxMode")->Invalidate();
}

void TvtpOptionen::DmxUseClicked(int row) {
    if (row == 0) {
        // Devices found before are stale once the output switches.
        Combo("cbArtNetDevice")->clear();
        DmxUseRule();
    }
    if (TDMXData* dmx = dmxData.load()) {
        dmx->SetUseIt(Tick("sDmxUse").GetIsSelected());
        dmx->SetDMXShow(Tick("sDmxPeak").GetIsSelected(), Tick("sDmxLeq").GetIsSelected(),
                        Tick("sDmxLeqK").GetIsSelected());
    }
}

void TvtpOptionen::DmxDeviceRefresh() {
    tArtPoll->stop();
    if (TArtNetControl* control = artNetControl.load()) {
        QComboBox* list = Combo("cbArtNetDevice");
        list->clear();
        for (int32_t id = 0; id < control->GetNumDevices(); ++id) list->addItem(control->GetInfoById(id), id);
        if (list->count() > 0) list->setCurrentIndex(0);
        DmxSelectByAddress();
        const bool any = list->count() > 0;
        const bool on = Tick("sDmxUse").GetIsSelected();
        list->setVisible(any && on);
        Box("pbDMXFromCB")->setVisible(any && on);
        list->setEnabled(list->count() > 1);
    }
    while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
}

void TvtpOptionen::DmxSelectByAddress() {
    TArtNetControl* control = artNetControl.load();
    QComboBox* list = Combo("cbArtNetDevice");
    if (control == nullptr || list == nullptr || list->count() < 2) return;
    const int32_t address =
        Spin("seDMXNode")->value() * 256 + Spin("seSubNode")->value() * 16 + Spin("seDMXUni")->value();
    const int32_t id = control->GetIdByAdr(address);
    list->setCurrentIndex(id >= 0 && id < list->count() ? id : 0);
}

void TvtpOptionen::DmxCopyDevice() {
    TArtNetControl* control = artNetControl.load();
    QComboBox* list = Combo("cbArtNetDevice");
    if (control == nullptr || list->currentIndex() < 0) return;
    const int32_t id = list->currentData().toInt();
    Edit("edDMXIP")->setText(control->GetIpById(id));
    const int32_t address = control->GetAddress(id);
    Spin("seDMXNode")->setValue((address >> 8) & 0x7F);
    Spin("seSubNode")->setValue((address >> 4) & 0xF);
    Spin("seDMXUni")->setValue(address & 0xF);
}

bool TvtpOptionen::DmxIpValid() const { return ValidIpText(Edit("edDMXIP")->text()); }

void TvtpOptionen::DmxIpChanged() {
    QLineEdit* ip = Edit("edDMXIP");
    if (!DmxIpValid()) {
        ip->setStyleSheet(QStringLiteral("background: rgb(255,0,0);"));
        return;
    }
    ip->setStyleSheet(QString());
    if (TDMXData* dmx = dmxData.load(); dmx && !dmxTaking_) dmx->SetIp(ip->text());
    DmxSelectByAddress();
}

void TvtpOptionen::DmxFieldMenu(QMenu* menu, int field) {
    menu->clear();
    TDMXData* dmx = dmxData.load();
    const QString def = GetLangText(929);
    const QString last = GetLangText(930);
    switch (field) {
    case kFieldIp: {
        AddMenuHeader(menu, GetLangText(902));
        menu->addAction(def + QLatin1Char(' ') + kDefaultDmxIp, this, [this] { Edit("edDMXIP")->setText(kDefaultDmxIp); });
        menu->addSeparator();
        const QString text = Edit("edDMXIP")->text();
        if (dmxOldIP.compare(kDefaultDmxIp, Qt::CaseInsensitive) != 0 &&
            dmxOldIP.compare(text, Qt::CaseInsensitive) != 0)
            menu->addAction(last + QLatin1Char(' ') + dmxOldIP, this, [this] { Edit("edDMXIP")->setText(dmxOldIP); });
        break;
    }
    default: {
        const char* spin = field == kFieldNet ? "seDMXNode" : field == kFieldSubNet ? "seSubNode" : "seDMXUni";
        const int32_t header = field == kFieldNet ? 906 : field == kFieldSubNet ? 903 : 907;
        const int32_t old = field == kFieldNet ? dmxOldNode : field == kFieldSubNet ? dmxOldSubNode : dmxOldUniverse;
        AddMenuHeader(menu, GetLangText(header));
        menu->addAction(def + QStringLiteral(": 0"), this, [this, spin] { Spin(spin)->setValue(0); });
        menu->addSeparator();
        if (dmx != nullptr && old > 0 && old != Spin(spin)->value())
            menu->addAction(last + QStringLiteral(": ") + QString::number(old), this,
                            [this, spin, old] { Spin(spin)->setValue(old); });
        break;
    }
    }
}

void TvtpOptionen::EditDmxScene(int32_t scene) {
    TDMXData* dmx = dmxData.load();
    if (dmx == nullptr) return;
    PostMainNotify(kNotifyArtNetSetup, scene);
    dmx->BackItUp(1);
    TDMXSetup editor(this);
    editor.Init(scene);
    editor.move(FitRectToWorkArea(QRect(QCursor::pos(), editor.size())));
    if (RunModal(editor) != 1) dmx->RestoreBackUp(1);
    PostMainNotify(kNotifyArtNetSetup, kSceneSetupDark);
    for (const auto& b : kSceneButtons) ButtonSetNormal(Box(b.name));
}
