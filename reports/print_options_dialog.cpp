#include "reports/print_options_dialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QScreen>

#include <cmath>

#include "platform/window_messages.h"
#include "reports/symbolic_path.h"
#include "store/measurement_store.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

// Layout at 96 dpi; everything is scaled by the screen's density.
constexpr int kClientW = 520;
constexpr int kClientH = 523;
const QRect kHeaderGroup(16, 16, 488, 56);
const QRect kReportGroup(16, 84, 488, 130);
const QRect kValuesGroup(16, 226, 240, 160);
const QRect kGraphGroup(264, 226, 240, 160);
const QRect kLanguageGroup(16, 398, 488, 60);
constexpr int kButtonTop = 474;
constexpr int kCaptionTop = 20;

QRect Scaled(const QRect& r, double s) {
    return QRect(RoundI(r.x() * s), RoundI(r.y() * s), RoundI(r.width() * s), RoundI(r.height() * s));
}

int RowOf(int y, int rows, int height) {
    if (height <= 0) return -1;
    return static_cast<int>(std::floor(static_cast<double>(y) * rows / height));
}

std::function<int(TfPrint&)>& DialogRunner() {
    static std::function<int(TfPrint&)> runner;
    return runner;
}

TfPrint::Tick SectionTick(int mode) { return mode == TfPrint::kSingleValues ? TfPrint::sEinzel : TfPrint::sGrafik; }

}  // namespace

TfPrint::TfPrint(QWidget* owner, double dpi)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    setModal(true);
    gbHeader = new QGroupBox(this);
    GroupBox3 = new QGroupBox(this);
    GroupBox1 = new QGroupBox(this);
    GroupBox2 = new QGroupBox(this);
    gbSprache = new QGroupBox(this);
    pbHeader = new TPaintBox32(gbHeader);
    pbHeader->OnPaintBuffer = [this](TPaintBox32* box) { PaintHeader(box); };
    pbProt = new TPaintBox32(GroupBox3);
    pbEinzel = new TPaintBox32(GroupBox1);
    pbGrafik = new TPaintBox32(GroupBox2);
    for (const int mode : {kReport, kSingleValues, kGraph}) {
        TPaintBox32* box = SectionBox(mode);
        box->OnPaintBuffer = [this, mode](TPaintBox32* b) { PaintSection(mode, b); };
        box->OnMouseUp = [this, mode](TPaintBox32* b, Qt::MouseButton button, int x, int y) {
            if (button == Qt::LeftButton && b->rect().contains(x, y)) ClickSection(mode, x, y);
        };
        box->OnMouseMove = [this, mode](TPaintBox32* b, int x, int y) {
            const int tick = TickAt(mode, x, y);
            intptr_t tag = tick < 0 ? 0 : tick - (mode == kReport ? spProt : SectionTick(mode)) + 1;
            if (mode == kReport && tick != spProt && !ticks_[spLeq].GetIsEnabled()) tag = 0;
            if (b->Tag != tag) {
                b->Tag = tag;
                b->Invalidate();
            }
        };
        box->OnMouseLeave = [](TPaintBox32* b) {
            b->Tag = 0;
            b->Invalidate();
        };
    }
    cbSprache = new QComboBox(gbSprache);
    cbSprache->installEventFilter(this);
    pbCancel = new TPaintBox32(this);
    pbCancel->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 403); };
    pbCancel->OnClick = [this](TPaintBox32*) { done(2); };
    pbPrint = new TPaintBox32(this);
    pbPrint->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 698); };
    pbPrint->OnClick = [this](TPaintBox32*) { done(1); };
    for (TPaintBox32* button : {pbCancel, pbPrint}) WireButtonStates(button, false);

    const QPalette palette = SchemeWidgetPalette(this->palette());
    setPalette(palette);
    setAutoFillBackground(true);
    ApplyScale(dpi > 0 ? dpi : LogicalDpiOf(owner != nullptr ? owner : this));
    SetCaptions();
    UpdatePrintButton();
}

TPaintBox32* TfPrint::SectionBox(int mode) const {
    return mode == kReport ? pbProt : mode == kSingleValues ? pbEinzel : pbGrafik;
}

void TfPrint::ApplyScale(double dpi) {
    mySf = dpi / 96.0;
    setFixedSize(RoundI(kClientW * mySf), RoundI(kClientH * mySf));
    const struct {
        QGroupBox* group;
        QRect rect;
        TPaintBox32* box;
    } groups[] = {{gbHeader, kHeaderGroup, pbHeader},
                  {GroupBox3, kReportGroup, pbProt},
                  {GroupBox1, kValuesGroup, pbEinzel},
                  {GroupBox2, kGraphGroup, pbGrafik}};
    for (const auto& g : groups) {
        g.group->setGeometry(Scaled(g.rect, mySf));
        const int left = RoundI(10 * mySf);
        const int top = RoundI(kCaptionTop * mySf);
        const int right = g.box == pbHeader ? RoundI(10 * mySf) : RoundI(4 * mySf);
        g.box->setGeometry(left, top, g.group->width() - left - right, g.group->height() - top - RoundI(4 * mySf));
        g.box->Invalidate();
    }
    pbHeader->Buffer().Font.height = RoundI(-13.0 * 96 / 72 * mySf);
    gbSprache->setGeometry(Scaled(kLanguageGroup, mySf));
    SetComboStyle(mySf, cbSprache);
    cbSprache->setGeometry(RoundI(10 * mySf), RoundI(kCaptionTop * mySf), RoundI(200 * mySf),
                           cbSprache->sizeHint().height());
    const int buttonW = RoundI(110 * mySf);
    const int buttonH = RoundI(33 * mySf);
    const int edge = RoundI(kLanguageGroup.x() * mySf);
    pbCancel->setGeometry(edge, RoundI(kButtonTop * mySf), buttonW, buttonH);
    pbPrint->setGeometry(width() - buttonW - edge, RoundI(kButtonTop * mySf), buttonW, buttonH);
    for (TPaintBox32* button : {pbCancel, pbPrint}) {
        InitButton(button, mySf, false);
        button->Invalidate();
    }
}

void TfPrint::SetCaptions() {
    setWindowTitle(GetLangText(699));
    gbHeader->setTitle(GetLangText(700));
    GroupBox3->setTitle(GetLangText(701));
    GroupBox1->setTitle(GetLangText(702));
    GroupBox2->setTitle(GetLangText(703));
    gbSprache->setTitle(GetLangText(780));
    ticks_[spProt].SetLabel(704);
    ticks_[sEinzel].SetLabel(706);
    ticks_[sEOver].SetLabel(707);
    ticks_[sGrafik].SetLabel(708);
    ticks_[sGColor].SetLabel(709);
    cbSprache->clear();
    cbSprache->addItem(GetLangText(262), kLangGerman);
    cbSprache->addItem(GetLangText(263), kLangEnglish);
    if (!SetLanguage(language.load())) cbSprache->setCurrentIndex(0);
    for (TPaintBox32* box : {pbHeader, pbProt, pbEinzel, pbGrafik, pbCancel, pbPrint}) box->Invalidate();
}

void TfPrint::SetHeader(const QString& header) {
    myHeader = header;
    pbHeader->Invalidate();
}

bool TfPrint::SetLanguage(int32_t languageId) {
    const int index = cbSprache->findData(languageId);
    if (index < 0) return false;
    cbSprache->setCurrentIndex(index);
    return true;
}

int32_t TfPrint::GetLanguageId() const {
    return cbSprache->currentIndex() < 0 ? kLangGerman : cbSprache->currentData().toInt();
}

void TfPrint::SetLabels(const QString& leqLabel, const QString& leqKLabel, const QString& peakLabel) {
    for (const Tick t : {spLeq, sELeq, sGLeq}) ticks_[t].SetLabel(leqLabel);
    for (const Tick t : {spLeqK, sELeqK, sGLeqK}) ticks_[t].SetLabel(leqKLabel);
    for (const Tick t : {spPeak, sEPeak, sGPeak}) ticks_[t].SetLabel(peakLabel);
    for (TPaintBox32* box : {pbProt, pbEinzel, pbGrafik}) box->Invalidate();
}

void TfPrint::SetL120(bool show, const QString& label) {
    ticks_[spL120].SetLabel(label);
    ticks_[spL120].SetVisible(show);
    pbProt->Invalidate();
}

void TfPrint::SetLFull(bool show, const QString& label) {
    ticks_[spLFull].SetLabel(label);
    ticks_[spLFull].SetVisible(show);
    pbProt->Invalidate();
}

void TfPrint::SetDefault(int mode, const TPrintInfo& r) {
    if (mode == kReport) {
        ticks_[spLeq].SetSelected(r.leq);
        ticks_[spLeqK].SetSelected(r.leqK);
        ticks_[spPeak].SetSelected(r.peak);
        ticks_[spL120].SetSelected(r.l120);
        ticks_[spLFull].SetSelected(r.lFull);
        ticks_[spProt].SetSelected(r.selected);
        UpdatePrintButton();
        pbProt->Invalidate();
        return;
    }
    if (mode != kSingleValues && mode != kGraph) return;
    const int base = SectionTick(mode);
    ticks_[base + 1].SetSelected(r.leq);
    ticks_[base + 2].SetSelected(r.leqK);
    ticks_[base + 3].SetSelected(r.peak);
    ticks_[base].SetSelected(r.selected);
    ticks_[base + 4].SetSelected(r.option);
    SectionRule(mode);
}

void TfPrint::PresetInfos(const TDaten& store) {
    for (int32_t id = 0; id <= 2; ++id) {
        TSelBox& tick = ticks_[spLeq + id];
        tick.SetSelected(store.ForceProt(id));
        tick.SetEnable(store.InsProtokoll(id));
    }
    pbProt->Invalidate();
}

TPrintInfo TfPrint::GetValues(int mode) const {
    TPrintInfo r;
    const auto on = [this](int tick) { return ticks_[tick].GetIsSelected(); };
    if (mode == kReport) {
        r.leq = on(spLeq);
        r.leqK = on(spLeqK);
        r.peak = on(spPeak);
        r.l120 = on(spL120);
        r.lFull = on(spLFull);
        r.selected = on(spProt) && (r.leq || r.leqK || r.peak || r.l120 || r.lFull);
        return r;
    }
    if (mode != kSingleValues && mode != kGraph) return r;
    const int base = SectionTick(mode);
    r.option = on(base + 4);
    r.leq = on(base + 1);
    r.leqK = on(base + 2);
    r.peak = on(base + 3);
    r.selected = on(base) && (r.leq || r.leqK || r.peak);
    return r;
}

void TfPrint::SectionRule(int mode) {
    const int base = SectionTick(mode);
    if (!ticks_[base + 1].GetIsSelected() && !ticks_[base + 2].GetIsSelected() && !ticks_[base + 3].GetIsSelected())
        ticks_[base + 1].SetSelected(true);
    const bool on = ticks_[base].GetIsSelected();
    for (int t = base + 1; t <= base + 4; ++t) ticks_[t].SetEnable(on);
    UpdatePrintButton();
    SectionBox(mode)->Invalidate();
}

bool TfPrint::PrintVisible() const { return !pbPrint->isHidden(); }

void TfPrint::UpdatePrintButton() {
    pbPrint->setVisible(ticks_[spProt].GetIsSelected() || ticks_[sEinzel].GetIsSelected() ||
                        ticks_[sGrafik].GetIsSelected());
}

// Hidden ticks take no clicks.
int TfPrint::TickAt(int mode, int x, int y) const {
    const TPaintBox32* box = SectionBox(mode);
    if (mode == kReport) {
        const int row = RowOf(y, 4, box->height());
        if (row < 0 || row > 3) return -1;
        if (x < box->width() / 2) return row == 0 ? spProt : spProt + row;
        const int tick = row == 1 ? spL120 : row == 2 ? spLFull : -1;
        return tick >= 0 && ticks_[tick].myVisible ? tick : -1;
    }
    const int row = RowOf(y, 5, box->height());
    if (row < 0 || row > 4) return -1;
    return SectionTick(mode) + row;
}

void TfPrint::ClickSection(int mode, int x, int y) {
    const int tick = TickAt(mode, x, y);
    if (tick < 0) return;
    ticks_[tick].DoClick();
    if (mode == kReport) {
        if (tick == spProt) {
            const bool on = ticks_[spProt].GetIsSelected();
            for (const Tick t : {spLeq, spLeqK, spPeak, spL120, spLFull}) ticks_[t].SetEnable(on);
        }
        UpdatePrintButton();
        pbProt->Invalidate();
        return;
    }
    SectionRule(mode);
}

void TfPrint::PaintSection(int mode, TPaintBox32* box) {
    box->Buffer().Clear(clBack32);
    const int w = box->width();
    const int h = box->height();
    if (mode == kReport) {
        const int rowH = RoundI(h / 4.0);
        const auto hover = [box](int tag) { return box->Tag == tag; };
        ticks_[spProt].Paint(box, QRect(0, 0, w / 2, rowH), hover(1), mySf, false, QString());
        for (int row = 1; row <= 3; ++row)
            ticks_[spProt + row].Paint(box, QRect(rowH, row * rowH, w / 2 - rowH, rowH), hover(row + 1), mySf,
                                       false, QString());
        ticks_[spL120].Paint(box, QRect(w / 2, rowH, w - w / 2, rowH), hover(5), mySf, false, QString());
        ticks_[spLFull].Paint(box, QRect(w / 2, 2 * rowH, w - w / 2, rowH), hover(6), mySf, false, QString());
        return;
    }
    const int rowH = RoundI(h / 5.0);
    const int base = SectionTick(mode);
    ticks_[base].Paint(box, QRect(0, 0, w, rowH), box->Tag == 1, mySf, false, QString());
    for (int row = 1; row <= 3; ++row)
        ticks_[base + row].Paint(box, QRect(rowH, row * rowH, w - rowH, rowH), box->Tag == row + 1, mySf, false,
                                 QString());
    ticks_[base + 4].Paint(box, QRect(0, 4 * rowH, w, rowH), box->Tag == 5, mySf, false, QString());
}

void TfPrint::PaintHeader(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    buffer.Clear(clBack32);
    buffer.Font.color = clText;
    const bool isFile = QFileInfo(myHeader).isFile();
    const QString shown = isFile ? SymbolicPath(myHeader) : myHeader;
    buffer.DrawText(box->ClientRect(), shown,
                    kTextVCenter | kTextSingleLine | (isFile ? kTextPathEllipsis : kTextEndEllipsis));
}

void TfPrint::SwitchLanguage(int32_t lang) {
    platform::SendMessage(mainWnd.load(), WM_MAIN_NOTIFY, kNotifyLanguage, lang);
    SetCaptions();
}

void TfPrint::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::ControlModifier && (event->key() == Qt::Key_D || event->key() == Qt::Key_E)) {
        SwitchLanguage(event->key() == Qt::Key_D ? kLangGerman : kLangEnglish);
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TfPrint::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cbSprache && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier && (key->key() == Qt::Key_D || key->key() == Qt::Key_E)) {
            keyPressEvent(key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TPrintConfig::ShowMenu(const QString& header, TDaten* configData) {
    if (configData == nullptr) return false;
    const TDaten& store = *configData;
    MainWindowServices* main = mainWindowServices();
    QWidget* owner = main != nullptr ? main->MainForm() : nullptr;
    TfPrint dialog(owner);
    QPoint topLeft(100, 100);
    if (owner != nullptr) {
        const QRect m = owner->frameGeometry();
        topLeft = QPoint(RoundI(m.x() + (m.width() - dialog.width()) / 2.0),
                         RoundI(m.y() + (m.height() - dialog.height()) / 2.0));
    }
    dialog.move(FitRectToWorkArea(QRect(topLeft, dialog.size())));
    dialog.SetHeader(header);

    int32_t lang = language.load();
    if (!dialog.SetLanguage(lang)) {
        dialog.SetLanguage(kLangGerman);
        lang = kLangGerman;
    }
    dialog.SetLabels(store.GetLEQLabel(lang), store.GetLEQKLabel(lang), store.GetPeakLabel());
    dialog.SetL120(store.GetLEQ120() > 10, QStringLiteral("Leq 120"));
    if (store.GetDauerInMinuten() < 2 || !(store.GetLeqFull() > 30))
        dialog.SetLFull(false, QStringLiteral("---"));
    else
        dialog.SetLFull(true, GetLangTextFor(716, lang));

    const TPrintSettings& stored = printSettings();
    const TCurveFlags flags = store.GetFlags();
    TPrintInfo report = stored.info;
    if (!report.valSet)
        report = TPrintInfo{false, true, store.InsProtokoll(0), store.InsProtokoll(1), store.InsProtokoll(2)};
    dialog.SetDefault(TfPrint::kReport, report);
    TPrintInfo values = stored.einzel;
    if (!values.valSet) values = TPrintInfo{false, false, flags.leq, flags.leqK, flags.peak};
    dialog.SetDefault(TfPrint::kSingleValues, values);
    TPrintInfo graph = stored.grafik;
    if (!graph.valSet) graph = TPrintInfo{true, false, flags.leq, flags.leqK, flags.peak};
    dialog.SetDefault(TfPrint::kGraph, graph);
    dialog.PresetInfos(store);
    protInfo = report;
    einzelInfo = values;
    graphInfo = graph;

    const int result = DialogRunner() ? DialogRunner()(dialog) : dialog.exec();
    if (result != 1) return false;
    protInfo = dialog.GetValues(TfPrint::kReport);
    einzelInfo = dialog.GetValues(TfPrint::kSingleValues);
    graphInfo = dialog.GetValues(TfPrint::kGraph);
    for (TPrintInfo* info : {&protInfo, &einzelInfo, &graphInfo}) info->valSet = true;
    langIdLatch = dialog.GetLanguageId();
    return true;
}

void TPrintConfig::SetDialogRunner(std::function<int(TfPrint&)> runner) { DialogRunner() = std::move(runner); }

TPrintInfo TPrintConfig::GetPrintSettings(int id) const {
    switch (id) {
    case 1: return protInfo;
    case 2: return einzelInfo;
    case 3: return graphInfo;
    default: return {};
    }
}
