#include "settings/measurement_options_dialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>

#include <cmath>

#include "platform/date_time.h"
#include "platform/user_dialogs.h"
#include "settings/dialog_parts.h"
#include "settings/menu_header.h"
#include "settings/settings_prompts.h"
#include "settings/tick_rows.h"
#include "store/preset_handler.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/message_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

using M = TOptionenMessung;

constexpr int32_t kTickLabels[M::kTickCount] = {385, 386, 387, 949, 1149, 1215, 1052, 1052, 1052, 819, 819, 819};
constexpr int32_t kSpinLabels[M::kSpinCount] = {351, 352, 353, 354, 1151, 1152};
constexpr int32_t kLimitValues[8] = {90, 95, 99, 100, 110, 120, 130, 135};
constexpr int kMinLevel = 30;
constexpr int kMaxLevel = 170;
constexpr int kInfoNameLength = 30;

struct Item {
    int32_t textId;
    int32_t value;
};
const std::vector<Item> kLeqTimes = {{279, -60},  {280, -300}, {281, -600}, {282, -900}, {283, -1800},
                                     {284, -3600}, {285, -7200}, {272, 60},  {273, 300},  {274, 600},
                                     {275, 900},  {276, 1800}, {277, 3600}, {278, 7200}, {716, -2}};
const std::vector<Item> kWeightings = {{391, 1}, {392, 2}, {393, 4}};
const std::vector<Item> kLeqKTimes = {{375, 2},   {376, 5},    {377, 10},   {378, 20},   {379, 30},   {380, 60},
                                      {381, 120}, {382, 300},  {1145, 600}, {1146, 900}, {1147, 1200}, {1148, 1800}};
const std::vector<Item> kPeakWindows = {{395, 2}, {396, 1680}, {397, 6000}, {398, 48000}};
const std::vector<Item> kDecimals = {{357, 0}, {358, 1}, {359, 2}};

const std::vector<Item>& ItemsOf(M::List list) {
    switch (list) {
    case M::cbLEQTime: return kLeqTimes;
    case M::cbLeq10: return kLeqKTimes;
    case M::cbMittelung: return kPeakWindows;
    case M::cbNKS: return kDecimals;
    default: return kWeightings;
    }
}

int EntryOfStatusTick(M::Tick tick) {
    return tick == M::CheckUeLeq || tick == M::CheckPLeq ? 0 : tick == M::CheckUeLeqK || tick == M::CheckPLeqK ? 1 : 2;
}

}  // namespace

QString ProposedPresetFileName(const QString& infoText) {
    QString name;
    for (const QChar c : infoText.left(kInfoNameLength)) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20) continue;
        name += c;
    }
    name = name.trimmed();
    if (name.isEmpty()) name = QStringLiteral("Preset");
    return name + QStringLiteral(".vup");
}

TOptionenMessung::TOptionenMessung(QWidget* owner, double dpi)
    : QDialog(owner, kSettingsDialogFlags) {
    SetUpSettingsDialog(*this, 1154);
    for (int i = 0; i < kTickCount; ++i) {
        ticks_[i].SetLabel(kTickLabels[i]);
        const auto tick = static_cast<Tick>(i);
        boxes_[i] = NewClickTick(this, &ticks_[i], [this, tick] { ClickTick(tick); });
    }
    for (int i = 0; i < kListCount; ++i) {
        lists_[i] = new QComboBox(this);
        const auto list = static_cast<List>(i);
        for (const Item& item : ItemsOf(list)) lists_[i]->addItem(GetLangText(item.textId), item.value);
        lists_[i]->setMaxVisibleItems(lists_[i]->count());
        connect(lists_[i], &QComboBox::activated, this, [this, list] { ListChanged(list); });
    }
    pmWerte = new QMenu(this);
    for (int i = 0; i < kSpinCount; ++i) {
        spins_[i] = new QSpinBox(this);
        spins_[i]->setRange(kMinLevel, kMaxLevel);
        spins_[i]->installEventFilter(this);
        spins_[i]->setContextMenuPolicy(Qt::CustomContextMenu);
        const auto spin = static_cast<Spin>(i);
        connect(spins_[i], &QSpinBox::valueChanged, this, [this, spin] { SpinChanged(spin); });
        connect(spins_[i], &QWidget::customContextMenuRequested, this, [this, spin](QPoint at) {
            pmWerte->clear();
            AddMenuHeader(pmWerte, GetLangText(820));
            for (const int32_t v : kLimitValues)
                pmWerte->addAction(QString::number(v) + QStringLiteral(" dB"), this, [this, v] { ChooseLimit(v); });
            pmWerte->popup(spins_[spin]->mapToGlobal(at));
        });
        spinLabels_[i] = new QLabel(GetLangText(kSpinLabels[i]), this);
    }
    for (const int32_t id : {399, 410, 389, 388, 355, 829}) {
        auto* header = new QLabel(GetLangText(id), this);
        QFont bold = header->font();
        bold.setBold(true);
        header->setFont(bold);
        headers_.push_back(header);
    }
    for (const int32_t id : {401, 390, 400, 390, 394, 390}) listLabels_.push_back(new QLabel(GetLangText(id), this));
    edInfo = new QLineEdit(this);
    InstallEnterEscapeFilter(edInfo);
    connect(edInfo, &QLineEdit::textEdited, this, [this](const QString& text) { SetInfoText(text); });
    pbCancel = NewFlatButton(this, 403, [this] { done(2); });
    pbLoad = NewFlatButton(this, 842, [this] { Load(); });
    pbSave = NewFlatButton(this, 843, [this] { Save(); });
    pbOk = NewFlatButton(this, 1054, [this] {
        Confirm();
        done(1);
    });
    isStartUp = true;
    PresetToControls();
    ApplyScale(dpi > 0 ? dpi : LogicalDpiOf(owner != nullptr ? owner : this));
}

void TOptionenMessung::ApplyScale(double dpi) {
    mySf = dpi / 96.0;
    auto s = [this](double v) { return RoundI(v * mySf); };
    const int m = s(16);
    const int clientW = s(1081);
    const int w = (clientW - 4 * m) / 3;
    QFont font(QStringLiteral("VERDANA"));
    font.setPixelSize(s(12));
    setFont(font);
    for (QLabel* h : headers_) {
        QFont bold = font;
        bold.setBold(true);
        h->setFont(bold);
    }
    for (TTickRows* b : boxes_) b->SetScale(mySf);
    for (QComboBox* c : lists_) SetComboStyle(mySf, c);
    const int tickH = s(25);
    const int comboH = lists_[0]->sizeHint().height();
    const int labelH = QFontMetrics(font).height() + 2;
    const int spinH = spins_[0]->sizeHint().height();
    const int cols[3] = {m, w + 2 * m, 2 * w + 3 * m};
    const Tick monitored[3] = {CheckUeLeq, CheckUeLeqK, CheckUePeak};
    const Tick info[3] = {CheckPLeq, CheckPLeqK, CheckPPeak};
    const List durations[3] = {cbLEQTime, cbLeq10, cbMittelung};
    const List weightings[3] = {cbLEQFilter, cbLeqKFilter, cbPeakMode};
    const Spin warnings[3] = {seAGelb, seKGelb, seCGelb};
    const Spin limits[3] = {seARot, seKRot, seCrot};
    int bottom = 0;
    for (int c = 0; c < 3; ++c) {
        const int x = cols[c];
        int y = m;
        headers_[c]->setGeometry(x, y, w, labelH);
        y += labelH + s(3);
        boxes_[monitored[c]]->setGeometry(x, y, w, tickH);
        y += tickH + s(3);
        boxes_[info[c]]->setGeometry(x, y, w, tickH);
        y += tickH + m;
        listLabels_[2 * c]->setGeometry(x, y, w, labelH);
        y += labelH + s(3);
        lists_[durations[c]]->setGeometry(x, y, w, comboH);
        y += comboH + m;
        listLabels_[2 * c + 1]->setGeometry(x, y, w, labelH);
        y += labelH + s(3);
        lists_[weightings[c]]->setGeometry(x, y, w, comboH);
        y += comboH + m;
        const int spinW = s(70);
        for (const Spin sp : {warnings[c], limits[c]}) {
            spins_[sp]->setGeometry(x + w - spinW, y, spinW, spinH);
            spinLabels_[sp]->setGeometry(x, y, w - spinW - s(7), spinH);
            spinLabels_[sp]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            y += spinH + s(3);
        }
        bottom = std::max(bottom, y);
    }
    int y = bottom + m;
    boxes_[CheckLinkLeq]->setGeometry(cols[1], y, w, std::max(s(15), tickH));
    boxes_[CheckUsePreV]->setGeometry(cols[0], y, w, std::max(s(15), tickH));
    y += tickH + m;
    headers_[4]->setGeometry(cols[0], y, w, labelH);
    lists_[cbNKS]->setGeometry(cols[0], y + labelH + s(3), w, comboH);
    const int infoTop = y + labelH + s(3) + comboH + m;
    headers_[5]->setGeometry(cols[0], infoTop, 2 * w + m, labelH);
    edInfo->setGeometry(cols[0], infoTop + labelH + s(3), 2 * w + m, edInfo->sizeHint().height());
    headers_[3]->setGeometry(cols[2], y, w, labelH);
    int checkY = y + labelH + s(3);
    for (const Tick t : {CheckKalStart, CheckMaxHeadroom, CheckKalEnde, CheckAutoEnd}) {
        boxes_[t]->setGeometry(cols[2], checkY, w, tickH);
        checkY += tickH + m;
    }
    const int buttonTop = std::max(checkY, edInfo->y() + edInfo->height() + m);
    for (TPaintBox32* b : {pbCancel, pbLoad, pbSave, pbOk}) InitButton(b, mySf, true);
    pbCancel->move(m, buttonTop);
    pbLoad->move(pbCancel->x() + pbCancel->width() + m, buttonTop);
    pbSave->move(pbLoad->x() + pbLoad->width() + m, buttonTop);
    pbOk->move(clientW - m - pbOk->width(), buttonTop);
    setFixedSize(clientW, buttonTop + pbOk->height() + m);
}

int32_t TOptionenMessung::GetDecimals() const { return std::max(0, lists_[cbNKS]->currentIndex()); }

void TOptionenMessung::RepaintTicks() {
    for (TTickRows* b : boxes_) b->Invalidate();
}

void TOptionenMessung::ControlsToPreset() {
    uPreLa.lastModDate = platform::SystemLocalNow();
    unwrittenCorrections_ = false;
    if (TVTPresetHandler* handler = presetHandler.load()) handler->SetPreset(-2, uPreLa);
}

// Shows value in the list; answers nothing, the caller corrects an unknown value.
void TOptionenMessung::ShowListValue(List list, int32_t value) {
    const int index = lists_[list]->findData(value);
    lists_[list]->setCurrentIndex(index);
}

void TOptionenMessung::PresetToControls() {
    TVTPresetHandler* handler = presetHandler.load();
    if (handler == nullptr) return;
    isStartUp = true;
    uPreLa = handler->GetPreset(-2);
    SetLinkLeq(uPreLa.linkLeqK);
    for (const auto& [warn, limit, entry] : {std::tuple{seAGelb, seARot, kPresetEntryLeq},
                                             std::tuple{seKGelb, seKRot, kPresetEntryLeqK},
                                             std::tuple{seCGelb, seCrot, kPresetEntryPeak}}) {
        spins_[warn]->setValue(static_cast<int>(std::nearbyint(uPreLa.messungen[entry].Gelb)));
        spins_[limit]->setValue(static_cast<int>(std::nearbyint(uPreLa.messungen[entry].Rot)));
    }
    CorrectUnknownValues();
    SetLeqTime(uPreLa.messungen[kPresetEntryLeq].Dauer);
    edInfo->setText(uPreLa.vor);
    UpdateChecks();
    ShowStatusTicks();
    isStartUp = false;
    ticks_[CheckUsePreV].SetSelected(uPreLa.leqColorMode == 2);
    RepaintTicks();
}

// A stored value that no item carries is shown as its correction; the
// correction reaches the handler with the next change or on OK.
void TOptionenMessung::CorrectUnknownValues() {
    auto correct = [this](List list, int32_t& field, int32_t fallback) {
        if (lists_[list]->findData(field) < 0) {
            field = fallback;
            unwrittenCorrections_ = true;
        }
        ShowListValue(list, field);
    };
    correct(cbLeq10, uPreLa.messungen[kPresetEntryLeqK].Dauer, 10);
    correct(cbMittelung, uPreLa.messungen[kPresetEntryPeak].Dauer, 1680);
    correct(cbLEQFilter, uPreLa.messungen[kPresetEntryLeq].Filter, 1);
    correct(cbPeakMode, uPreLa.messungen[kPresetEntryPeak].Filter, 2);
    correct(cbLeqKFilter, uPreLa.messungen[kPresetEntryLeqK].Filter, 1);
    correct(cbNKS, uPreLa.naKoS, 0);
}

// Codes of an older list are shown as what they stood for; the record keeps
// its value until the user picks an item.
void TOptionenMessung::SetLeqTime(int32_t duration) {
    int32_t shown = duration;
    if (std::abs(duration) <= 30 && duration != -2) {
        switch (duration) {
        case 0: shown = 1800; break;
        case 1: shown = 3600; break;
        case 2: shown = -60; break;
        case 3: shown = -300; break;
        case 4: shown = -600; break;
        case 5: shown = -1800; break;
        default: shown = -3600; break;
        }
    }
    const int index = lists_[cbLEQTime]->findData(shown);
    lists_[cbLEQTime]->setCurrentIndex(index >= 0 ? index : 4);
}

void TOptionenMessung::InitUserPreset(const TVTPreset& p) {
    isStartUp = true;
    SetLinkLeq(uPreLa.linkLeqK);
    uPreLa.kalAb = p.kalAb;
    uPreLa.checkH = p.checkH;
    uPreLa.offCheck = p.offCheck;
    uPreLa.endDirect = p.endDirect && !p.offCheck;
    uPreLa.messungen = p.messungen;
    CorrectUnknownValues();
    UpdateChecks();
    ShowStatusTicks();
    ticks_[CheckUsePreV].SetSelected(p.leqColorMode == 2);
    RepaintTicks();
    EnsureMonitoredLimit();
    isStartUp = false;
}

void TOptionenMessung::ShowStatusTicks() {
    const Tick monitored[3] = {CheckUeLeq, CheckUeLeqK, CheckUePeak};
    const Tick info[3] = {CheckPLeq, CheckPLeqK, CheckPPeak};
    for (int e = 0; e < 3; ++e) {
        ticks_[monitored[e]].SetSelected(uPreLa.messungen[e].Status == 2);
        ticks_[info[e]].SetSelected(uPreLa.messungen[e].Status == 1);
    }
    RepaintTicks();
}

void TOptionenMessung::UpdateChecks() {
    ticks_[CheckKalStart].SetSelected(uPreLa.kalAb);
    ticks_[CheckMaxHeadroom].SetSelected(uPreLa.checkH);
    ticks_[CheckKalEnde].SetSelected(uPreLa.offCheck);
    ticks_[CheckAutoEnd].SetEnable(true);
    ticks_[CheckAutoEnd].SetSelected(uPreLa.endDirect && !uPreLa.offCheck);
    ticks_[CheckAutoEnd].SetEnable(!uPreLa.offCheck);
    SetLinkLeq(uPreLa.linkLeqK);
    RepaintTicks();
}

void TOptionenMessung::SetLinkLeq(bool linked) {
    ticks_[CheckLinkLeq].SetSelected(linked);
    for (QWidget* w : {static_cast<QWidget*>(spins_[seKGelb]), static_cast<QWidget*>(spins_[seKRot]),
                       static_cast<QWidget*>(spinLabels_[seKGelb]), static_cast<QWidget*>(spinLabels_[seKRot]),
                       static_cast<QWidget*>(listLabels_[3]), static_cast<QWidget*>(lists_[cbLeqKFilter])})
        w->setEnabled(!linked);
    uPreLa.linkLeqK = linked;
    auto& leqK = uPreLa.messungen[kPresetEntryLeqK];
    if (linked) {
        const auto& leq = uPreLa.messungen[kPresetEntryLeq];
        leqK.Filter = leq.Filter;
        leqK.Gelb = leq.Gelb;
        leqK.Rot = leq.Rot;
    }
    const bool loading = isStartUp;
    isStartUp = true;
    spins_[seKGelb]->setValue(static_cast<int>(std::nearbyint(leqK.Gelb)));
    spins_[seKRot]->setValue(static_cast<int>(std::nearbyint(leqK.Rot)));
    if (lists_[cbLeqKFilter]->findData(leqK.Filter) < 0) leqK.Filter = 1;
    ShowListValue(cbLeqKFilter, leqK.Filter);
    isStartUp = loading;
    if (!isStartUp) ControlsToPreset();
}

// At least one limit is monitored; the record reaches the handler at once,
// so no confirmed preset is left without one.
void TOptionenMessung::EnsureMonitoredLimit() {
    for (const auto& e : uPreLa.messungen)
        if (e.Status == 2) return;
    uPreLa.messungen[kPresetEntryLeq].Status = 2;
    ShowStatusTicks();
    ControlsToPreset();
}

void TOptionenMessung::StatusTick(int entry, bool monitored) {
    auto& status = uPreLa.messungen[entry].Status;
    const int32_t wanted = monitored ? 2 : 1;
    status = status == wanted ? 0 : wanted;
    ShowStatusTicks();
    ControlsToPreset();
    EnsureMonitoredLimit();
}

void TOptionenMessung::ClickTick(Tick tick) {
    if (isStartUp) return;
    switch (tick) {
    case CheckKalStart: uPreLa.kalAb = !uPreLa.kalAb; break;
    case CheckMaxHeadroom: uPreLa.checkH = !uPreLa.checkH; break;
    case CheckKalEnde:
        uPreLa.offCheck = !uPreLa.offCheck;
        if (uPreLa.offCheck) uPreLa.endDirect = false;
        break;
    case CheckAutoEnd:
        if (!ticks_[CheckAutoEnd].GetIsEnabled()) return;
        uPreLa.endDirect = !uPreLa.endDirect;
        break;
    case CheckLinkLeq: SetLinkLeq(!uPreLa.linkLeqK); return;
    case CheckUsePreV:
        ticks_[CheckUsePreV].DoClick();
        uPreLa.leqColorMode = ticks_[CheckUsePreV].GetIsSelected() ? 2 : 1;
        ControlsToPreset();
        RepaintTicks();
        return;
    case CheckUeLeq:
    case CheckUeLeqK:
    case CheckUePeak: StatusTick(EntryOfStatusTick(tick), true); return;
    default: StatusTick(EntryOfStatusTick(tick), false); return;
    }
    ControlsToPreset();
    UpdateChecks();
}

bool TOptionenMessung::ChooseItem(List list, int32_t value) {
    const int index = lists_[list]->findData(value);
    if (index < 0) return false;
    lists_[list]->setCurrentIndex(index);
    ListChanged(list);
    return true;
}

void TOptionenMessung::ListChanged(List list) {
    if (isStartUp || lists_[list]->currentIndex() < 0) return;
    const int32_t value = lists_[list]->currentData().toInt();
    auto& e = uPreLa.messungen;
    switch (list) {
    case cbLEQTime: e[kPresetEntryLeq].Dauer = value; break;
    case cbLEQFilter:
        e[kPresetEntryLeq].Filter = value;
        if (uPreLa.linkLeqK) {
            e[kPresetEntryLeqK].Filter = value;
            ShowListValue(cbLeqKFilter, value);
        }
        break;
    case cbLeq10: e[kPresetEntryLeqK].Dauer = value; break;
    case cbLeqKFilter: e[kPresetEntryLeqK].Filter = value; break;
    case cbMittelung: e[kPresetEntryPeak].Dauer = value; break;
    case cbPeakMode: e[kPresetEntryPeak].Filter = value; break;
    case cbNKS: uPreLa.naKoS = value; break;
    default: return;
    }
    ControlsToPreset();
}

void TOptionenMessung::SetSpin(Spin spin, int value) { spins_[spin]->setValue(value); }

// A warning never reaches its limit: the partner field moves, and its own
// rule runs with it.
void TOptionenMessung::SpinChanged(Spin spin) {
    if (isStartUp) return;
    auto& e = uPreLa.messungen;
    const int v = spins_[spin]->value();
    switch (spin) {
    case seAGelb:
        e[kPresetEntryLeq].Gelb = v;
        if (uPreLa.linkLeqK) {
            e[kPresetEntryLeqK].Gelb = v;
            spins_[seKGelb]->setValue(v);
        }
        if (v >= spins_[seARot]->value()) spins_[seARot]->setValue(v + 1);
        break;
    case seARot:
        e[kPresetEntryLeq].Rot = v;
        if (uPreLa.linkLeqK) {
            e[kPresetEntryLeqK].Rot = v;
            spins_[seKRot]->setValue(v);
        }
        if (spins_[seAGelb]->value() >= v) spins_[seAGelb]->setValue(v - 1);
        break;
    case seKGelb:
        e[kPresetEntryLeqK].Gelb = v;
        if (v >= spins_[seKRot]->value()) spins_[seKRot]->setValue(v + 1);
        break;
    case seKRot:
        e[kPresetEntryLeqK].Rot = v;
        if (spins_[seKGelb]->value() >= v) spins_[seKGelb]->setValue(v - 1);
        break;
    // The pair is taken from both fields after the partner moved, so a
    // clamped partner never leaves the record with the value it refused.
    case seCGelb:
    case seCrot:
        if (spin == seCGelb && v >= spins_[seCrot]->value()) spins_[seCrot]->setValue(v + 1);
        if (spin == seCrot && spins_[seCGelb]->value() >= v) spins_[seCGelb]->setValue(v - 1);
        e[kPresetEntryPeak].Gelb = spins_[seCGelb]->value();
        e[kPresetEntryPeak].Rot = spins_[seCrot]->value();
        break;
    default: return;
    }
    ControlsToPreset();
}

void TOptionenMessung::EnterSpin(Spin spin) { enteredSpin_ = spin; }

void TOptionenMessung::ChooseLimit(int32_t value) {
    if (enteredSpin_ < 0) return;
    spins_[enteredSpin_]->setValue(value);
}

bool TOptionenMessung::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn)
        for (int i = 0; i < kSpinCount; ++i)
            if (watched == spins_[i]) EnterSpin(static_cast<Spin>(i));
    return QDialog::eventFilter(watched, event);
}

void TOptionenMessung::SetInfoText(const QString& text) {
    if (edInfo->text() != text) edInfo->setText(text);
    if (isStartUp) return;
    uPreLa.vor = text;
    uPreLa.InfoD = text;
    uPreLa.InfoE = text;
    ControlsToPreset();
}

void TOptionenMessung::Confirm() {
    if (unwrittenCorrections_) ControlsToPreset();
}

void TOptionenMessung::Load() {
    TVTPresetHandler* handler = presetHandler.load();
    if (handler == nullptr) return;
    const std::optional<QString> chosen = AskPresetFile(this, handler->GetPresetDir());
    if (!chosen) return;
    handler->LoadUserPreset(*chosen);
    PresetToControls();
}

void TOptionenMessung::Save() {
    TVTPresetHandler* handler = presetHandler.load();
    if (handler == nullptr) return;
    platform::SaveFileRequest request;
    request.title = GetLangText(847);
    request.filter = GetLangText(840);
    request.defaultExtension = QStringLiteral("vup");
    request.startFolder = handler->GetPresetDir();
    request.fileName = ProposedPresetFileName(edInfo->text());
    request.overwritePrompt = true;
    request.owner = this;
    const platform::SaveFileAnswer answer = platform::userDialogs()->AskSaveFile(request);
    if (!answer.ok()) return;
    uPreLa.fn = QFileInfo(answer.path).fileName();
    ControlsToPreset();
    QString error;
    if (!handler->SavePresetToFile(answer.path, -2, &error))
        AskMessage(answer.path + QStringLiteral("\r\n") + error, 0, 847, 0, 0, 1054, this);
    handler->ScanForData();
}

void TOptionenMessung::keyPressEvent(QKeyEvent* event) {
    if (!AnswerEnterOrEscape(*this, *event, pbOk, pbCancel, [this] { Confirm(); }))
        QDialog::keyPressEvent(event);
}
