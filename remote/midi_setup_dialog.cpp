#include "remote/midi_setup_dialog.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabBar>

#include <algorithm>

#include "remote/vt_midi.h"
#include "store/measurement_store.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kNoDeviceValue = 4096;

// Texts of the dialog.
constexpr int32_t kTextCaption = 1260;
constexpr int32_t kTextMidiIn = 1261;
constexpr int32_t kTextMidiOut = 1262;
constexpr int32_t kTextNoOutput = 1263;
constexpr int32_t kTextChannel = 1264;
constexpr int32_t kTextStartCommand = 1265;
constexpr int32_t kTextNoteOnOff = 1266;
constexpr int32_t kTextNoteIdStart = 1267;
constexpr int32_t kTextShowControl = 1268;
constexpr int32_t kTextVelocity = 1269;
constexpr int32_t kTextNoInput = 1271;
constexpr int32_t kTextNoteIdStop = 1275;
constexpr int32_t kTextDeviceId = 1276;
constexpr int32_t kTextWrongChannel = 1277;
constexpr int32_t kTextMachineControl = 1278;
constexpr int32_t kTextNoteIdHead = 1284;
constexpr int32_t kTextSendTestOn = 1285;
constexpr int32_t kTextSendTestOff = 1286;
constexpr int32_t kTextSendStartStop = 1287;
constexpr int32_t kTextNoteId = 1288;
constexpr int32_t kTextCCId = 1290;
constexpr int32_t kTextTest50 = 1291;
constexpr int32_t kTextTest100 = 1292;
constexpr int32_t kTextSendCC = 1294;
constexpr int32_t kTextCommandMode = 1296;
constexpr int32_t kTextStatusOutput = 1297;
constexpr int32_t kTextSend = 1298;
constexpr int32_t kTextUseMidi = 1299;
constexpr int32_t kTextMaximum = 1300;
constexpr int32_t kTextRunOnly = 1301;
constexpr int32_t kTextSyncRequest = 1302;
constexpr int32_t kTextBasicSetup = 977;
constexpr int32_t kTextStatus = 974;
constexpr int32_t kTextTestStart = 975;
constexpr int32_t kTextTestStop = 976;
constexpr int32_t kTextOkay = 1054;
constexpr int32_t kTextCancel = 403;
constexpr std::array<int32_t, 3> kTextStates = {899, 900, 901};

// Result texts of the monitor.
QString ShortResultText(int32_t result) {
    switch (result) {
    case kMidiStart: return GetLangText(225);
    case kMidiStop: return GetLangText(227);
    case kMidiNoAction: return GetLangText(1303);
    case kMidiSyncRequest: return GetLangText(1302);
    default: return QString();
    }
}

QString LongResultText(int32_t result) {
    switch (result) {
    case kMidiStart: return GetLangText(225);
    case kMidiStop: return GetLangText(227);
    case kMidiNoAction: return GetLangText(1279);
    case kMidiNotUniversal: return GetLangText(1280);
    case kMidiBadCommand: return GetLangText(1281);
    case kMidiOtherDevice: return GetLangText(1282);
    case kMidiBadLength: return GetLangText(1283);
    default: return QString();
    }
}

// Tick indexes.
constexpr size_t kTickUseMidi = 0;
constexpr size_t kTickRunOnly = 1;
constexpr size_t kTickFeedback = 2;
constexpr size_t kTickInSync = 3;
constexpr size_t kTickFirstSend = 4;
constexpr size_t kTickFirstCC = 7;

constexpr int32_t kTagFeedback = 9;
constexpr int32_t kTagFirstCC = 16;

constexpr int kFormWidth = 550;
constexpr int kFormHeight = 491;
constexpr int kComboWidth = 320;
constexpr int kFieldWidth = 50;
constexpr int kFieldHeight = 21;
constexpr int kColumnPitch = 110;
constexpr int kCCTickWidth = 165;
constexpr int kTickHeight = 23;
constexpr int kComboHeight = 24;

const char kTagProperty[] = "Tag";

int Scaled(int length, double sf) { return RoundI(length * sf); }

// The lengths every page's layout uses, at the dialog's scale.
struct LayoutMetrics {
    int sp, tickHeight, comboWidth, comboHeight, fieldWidth, fieldHeight, pitch, buttonWidth, buttonHeight;
};

LayoutMetrics MetricsAt(double sf, int sp) {
    return {sp,
            Scaled(kTickHeight, sf),
            Scaled(kComboWidth, sf),
            Scaled(kComboHeight, sf),
            Scaled(kFieldWidth, sf),
            Scaled(kFieldHeight, sf),
            Scaled(kColumnPitch, sf),
            Scaled(110, sf),
            Scaled(33, sf)};
}

void SetFieldBack(QSpinBox* field, TColor color) {
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, QColorOf(color));
    field->setPalette(palette);
}

void CentreLabelOn(QLabel* label, const QRect& row, int rightEdge) {
    label->adjustSize();
    label->move(rightEdge - label->width(), row.center().y() - label->height() / 2);
}

}  // namespace

// --- Page control -----------------------------------------------------------------

namespace {

class TMidiTabBar : public QTabBar {
public:
    explicit TMidiTabBar(QWidget* parent) : QTabBar(parent) { setDrawBase(false); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColorOf(clBack));
        painter.setFont(font());
        for (int i = 0; i < count(); ++i) {
            if (!isTabVisible(i)) continue;
            const QRect r = tabRect(i);
            painter.fillRect(r, QColorOf(clBack));
            painter.setPen(QColorOf(i == currentIndex() ? clText : clTextOff));
            painter.drawText(r, Qt::AlignCenter, tabText(i));
            if (i == currentIndex()) painter.fillRect(QRect(r.left(), r.bottom() - 1, r.width(), 2), QColorOf(clText));
        }
    }
};

}  // namespace

TMidiPages::TMidiPages(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new TMidiTabBar(this));
    setDocumentMode(true);
}

void TMidiPages::SetPageVisible(QWidget* page, bool visible) {
    const int index = indexOf(page);
    if (index < 0) return;
    setTabVisible(index, visible);
    tabBar()->update();
}

bool TMidiPages::IsPageVisible(QWidget* page) const {
    const int index = indexOf(page);
    return index >= 0 && isTabVisible(index);
}

// --- Creation ------------------------------------------------------------------------

TMidiSetup::TMidiSetup(QWidget* owner, TVtMidi* midi)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      midi_(midi) {
    setModal(true);
    localSf_ = LogicalDpiOf(this) / 96.0;
    localSp_ = RoundI(8 * localSf_);
    ltc_ = RoundI(3 * localSf_);
    handle_ = platform::RegisterWindow([this](uint32_t msg, uintptr_t kind, intptr_t data) {
        if (msg == WM_MIDI_INPUT) MidiMonitorMessage(kind, data);
    });

    if (midi_) midi_->DoBackUp();
    CreateControls();

    const QStringList inputs = TVtMidi::InputDeviceNames();
    if (!inputs.isEmpty()) {
        FillDeviceList(cbMidiInDev, inputs, midi_ ? midi_->GetMidiInName() : QString(), kTextNoInput,
                       keepStoredInName_);
        InputDeviceChanged();
    } else {
        keepStoredInName_ = true;
    }
    const QStringList outputs = TVtMidi::OutputDeviceNames();
    if (!outputs.isEmpty()) {
        FillDeviceList(cbMidiOutDev, outputs, midi_ ? midi_->GetMidiOutName() : QString(), kTextNoOutput,
                       keepStoredOutName_);
        OutputDeviceChanged(false);
    } else {
        keepStoredOutName_ = true;
    }

    FillModeList(cbStart,
                 {{kTextNoteOnOff, kMidiInNoteOnOff},
                  {kTextVelocity, kMidiInVelocity},
                  {kTextShowControl, kMidiInShowControl},
                  {kTextMachineControl, kMidiInMachineControl}},
                 midi_ ? midi_->GetInModeId() : kMidiInNoteOnOff);
    FillModeList(cbOutMode, {{kTextNoteOnOff, kMidiOutNoteOff}, {kTextVelocity, kMidiOutVelocityZero}},
                 midi_ ? midi_->GetOutModeId() : kMidiOutNoteOff);
    ApplyInputModeRules();

    SetCaptions();
    ApplyColors();
    LoadValues();
    loading_ = false;
    pcPages->setCurrentWidget(pcPages->IsPageVisible(tsInput) ? tsInput : tsDevices);
    LayoutForm();
}

TMidiSetup::~TMidiSetup() {
    platform::UnregisterWindow(handle_);
    if (!midi_) return;
    midi_->EndMidiIn();
    midi_->StopMidiOut();
    // The test mode belongs to the monitor; the main window never wants it.
    midi_->SetTestMode(false);
}

QLabel* TMidiSetup::CreateLabel(QWidget* page, const QString& text) {
    auto* label = new QLabel(text, page);
    label->setFont(QFont(QStringLiteral("VERDANA")));
    return label;
}

QSpinBox* TMidiSetup::CreateField(QWidget* page, int low, int high, int32_t tag) {
    auto* field = new QSpinBox(page);
    field->setRange(low, high);
    field->setProperty(kTagProperty, tag);
    InstallEnterEscapeFilter(field);
    return field;
}

TPaintBox32* TMidiSetup::CreateTick(QWidget* page, size_t index, std::function<void()> toggled) {
    auto* box = new TPaintBox32(page);
    tickBoxes_[index] = box;
    ticks[index].myScale = localSf_;
    box->OnPaintBuffer = [this, index](TPaintBox32* b) { PaintTick(b, index); };
    box->OnMouseEnter = [](TPaintBox32* b) {
        b->Tag = 1;
        b->Invalidate();
    };
    box->OnMouseLeave = [](TPaintBox32* b) {
        b->Tag = 0;
        b->Invalidate();
    };
    box->OnClick = [this, index, toggled = std::move(toggled)](TPaintBox32* b) {
        if (!ticks[index].DoClick()) return;
        b->Invalidate();
        toggled();
    };
    return box;
}

TPaintBox32* TMidiSetup::CreateButton(QWidget* parent, std::function<QString()> caption,
                                      std::function<void()> clicked) {
    auto* box = new TPaintBox32(parent);
    InitButton(box, localSf_, true);
    SetButtonFont(box, localSf_);
    box->OnPaintBuffer = [caption = std::move(caption)](TPaintBox32* b) { PaintButton(b, caption(), true, false); };
    box->OnClick = [clicked = std::move(clicked)](TPaintBox32*) { clicked(); };
    WireButtonStates(box, false);
    return box;
}

void TMidiSetup::CreateControls() {
    pcPages = new TMidiPages(this);
    tsDevices = new QWidget;
    tsOutput = new QWidget;
    tsCC = new QWidget;
    tsInput = new QWidget;
    for (QWidget* page : {tsDevices, tsOutput, tsCC, tsInput}) {
        page->setAutoFillBackground(true);
        page->installEventFilter(this);
        pcPages->addTab(page, QString());
    }

    // Devices page.
    pbUseMidi = CreateTick(tsDevices, kTickUseMidi, [this] { ApplyUseMidiRule(); });
    lMidiIn = CreateLabel(tsDevices, QString());
    lKanal = CreateLabel(tsDevices, QString());
    cbMidiInDev = new QComboBox(tsDevices);
    seInKanal = CreateField(tsDevices, 1, 16, -1);
    lMidiOut = CreateLabel(tsDevices, QString());
    lKanal2 = CreateLabel(tsDevices, QString());
    cbMidiOutDev = new QComboBox(tsDevices);
    seOutKanal = CreateField(tsDevices, 1, 16, -1);
    pbOnlyRun = CreateTick(tsDevices, kTickRunOnly, [this] {
        if (midi_) midi_->SetRunOnly(ticks[kTickRunOnly].GetIsSelected());
    });
    connect(cbMidiInDev, &QComboBox::activated, this, [this] {
        keepStoredInName_ = false;
        InputDeviceChanged();
    });
    connect(cbMidiOutDev, &QComboBox::activated, this, [this] {
        keepStoredOutName_ = false;
        OutputDeviceChanged(true);
    });
    connect(seInKanal, &QSpinBox::valueChanged, this, [this] { InputIdChanged(); });
    connect(seOutKanal, &QSpinBox::valueChanged, this, [this](int value) {
        if (midi_) midi_->SetOutMidiKanal(value);
    });

    // Output page.
    lOutMode = CreateLabel(tsOutput, QString());
    cbOutMode = new QComboBox(tsOutput);
    connect(cbOutMode, &QComboBox::activated, this, [this] {
        if (midi_) midi_->SetOutModeId(ChosenMode(cbOutMode));
    });
    lInfoKanal = CreateLabel(tsOutput, QString());
    pbFeedback = CreateTick(tsOutput, kTickFeedback, [this] {
        if (!midi_ || midi_->SetUseInFeedback(ticks[kTickFeedback].GetIsSelected())) ApplyFeedbackRow();
    });
    seInfoKanal = CreateField(tsOutput, 0, 127, kTagFeedback);
    lStatusInfo = CreateLabel(tsOutput, QString());
    for (size_t i = 0; i < 3; ++i) {
        lStateHeads[i] = CreateLabel(tsOutput, QString());
        lNoteHeads[i] = CreateLabel(tsOutput, QString());
        lRows[i] = CreateLabel(tsOutput, QString());
    }
    lStatus = CreateLabel(tsOutput, QString());
    for (int i = 0; i < kMidiStatusNotes; ++i) seNotes[i] = CreateField(tsOutput, 0, 127, i);
    for (size_t q = 0; q < 3; ++q) {
        pbSend[q] = CreateTick(tsOutput, kTickFirstSend + q, [this, q] {
            if (midi_) midi_->SetSendEnable(static_cast<int32_t>(q), ticks[kTickFirstSend + q].GetIsSelected());
            ApplyRowRule(static_cast<int>(q));
        });
    }

    // Controller page.
    lcc = CreateLabel(tsCC, QString());
    for (size_t i = 0; i < 5; ++i) {
        lccRows[i] = CreateLabel(tsCC, QString());
        seCC[i] = CreateField(tsCC, 0, 119, kTagFirstCC + static_cast<int32_t>(i));
        pbUseCC[i] = CreateTick(tsCC, kTickFirstCC + i, [this, i] {
            const bool on = ticks[kTickFirstCC + i].GetIsSelected();
            seCC[i]->setEnabled(on);
            if (midi_) midi_->SetCCEnable(static_cast<int32_t>(i), on);
        });
    }

    // Input page.
    lStart = CreateLabel(tsInput, QString());
    cbStart = new QComboBox(tsInput);
    connect(cbStart, &QComboBox::activated, this, [this] { InputModeChanged(); });
    lInStart = CreateLabel(tsInput, QString());
    seInStart = CreateField(tsInput, 0, 127, -1);
    lInStop = CreateLabel(tsInput, QString());
    seInStop = CreateField(tsInput, 1, 127, -1);
    lInSync = CreateLabel(tsInput, QString());
    seInSync = CreateField(tsInput, 0, 127, -1);
    pbInSync = CreateTick(tsInput, kTickInSync, [this] {
        const bool on = ticks[kTickInSync].GetIsSelected();
        if (midi_) midi_->SetInSync(on);
        seInSync->setEnabled(on);
    });
    connect(seInStart, &QSpinBox::valueChanged, this, [this] { InputIdChanged(); });
    connect(seInStop, &QSpinBox::valueChanged, this, [this] { InputIdChanged(); });
    connect(seInSync, &QSpinBox::valueChanged, this, [this](int value) {
        if (midi_) midi_->SetKInSync(value);
        InputIdChanged();
    });
    mTest = new QPlainTextEdit(tsInput);
    mTest->setReadOnly(true);
    mTest->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pbInTest = CreateButton(
        tsInput, [this] { return midi_ && midi_->GetMidiStatus() ? QStringLiteral("End Test") : QStringLiteral("Start Test"); },
        [this] { InTestClick(); });

    // Buttons.
    pButtons = new QWidget(this);
    pButtons->setAutoFillBackground(true);
    pBOk = CreateButton(pButtons, [] { return GetLangText(kTextOkay); }, [this] { OkClick(); });
    pbCancel = CreateButton(pButtons, [] { return GetLangText(kTextCancel); }, [this] { CancelClick(); });

    // The note, feedback and controller fields: value changes and the popup.
    std::vector<QSpinBox*> tagged(seNotes.begin(), seNotes.end());
    tagged.push_back(seInfoKanal);
    tagged.insert(tagged.end(), seCC.begin(), seCC.end());
    for (QSpinBox* field : tagged) {
        const int32_t tag = field->property(kTagProperty).toInt();
        connect(field, &QSpinBox::valueChanged, this, [this, tag](int value) { FieldChanged(tag, value); });
        field->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(field, &QWidget::customContextMenuRequested, this, [this, tag, field] {
            PrepareFieldMenu(tag);
            pmOutMapping->popup(field->mapToGlobal(QPoint(0, field->height())));
        });
    }

    pmOutMapping = new QMenu(this);
    pmOmTestOn = pmOutMapping->addAction(QString());
    pmOmTestOff = pmOutMapping->addAction(QString());
    pmOmNext = pmOutMapping->addAction(QString());
    pmOutMapping->addSeparator();
    for (size_t i = 0; i < pmOmValues.size(); ++i) {
        const int value = 20 * static_cast<int>(i + 1);
        pmOmValues[i] = pmOutMapping->addAction(QString::number(value));
        pmOmValues[i]->setData(value);
    }
    connect(pmOutMapping, &QMenu::triggered, this, [this](QAction* action) { FieldMenuChosen(action); });

    for (QComboBox* combo : {cbMidiInDev, cbMidiOutDev, cbStart, cbOutMode}) SetComboStyle(localSf_, combo);
    SetMemoStyle(mTest, localSf_);
}

void TMidiSetup::FillDeviceList(QComboBox* list, const QStringList& devices, const QString& stored,
                                int32_t noDeviceText, bool& keepStored) {
    list->clear();
    for (int i = 0; i < devices.size(); ++i) list->addItem(devices[i], i);
    list->addItem(GetLangText(noDeviceText), kNoDeviceValue);
    // A stored name without its device (unplugged, or the no-device text of
    // the other language) chooses nothing: taking the first device instead
    // would send MIDI to a device the user never chose.
    const int match = list->findText(stored, Qt::MatchFixedString);
    list->setCurrentIndex(match >= 0 ? match : list->count() - 1);
    keepStored = match < 0;
}

void TMidiSetup::FillModeList(QComboBox* list, const std::vector<std::pair<int32_t, int32_t>>& entries,
                              int32_t current) {
    list->clear();
    for (const auto& [text, mode] : entries) list->addItem(GetLangText(text), mode);
    const int match = list->findData(current);
    list->setCurrentIndex(match >= 0 ? match : 0);
}

void TMidiSetup::SetCaptions() {
    setWindowTitle(GetLangText(kTextCaption));
    pcPages->setTabText(pcPages->indexOf(tsDevices), GetLangText(kTextBasicSetup));
    pcPages->setTabText(pcPages->indexOf(tsOutput), GetLangText(kTextMidiOut));
    pcPages->setTabText(pcPages->indexOf(tsCC), QStringLiteral("Midi CC"));
    pcPages->setTabText(pcPages->indexOf(tsInput), GetLangText(kTextMidiIn));
    lMidiIn->setText(GetLangText(kTextMidiIn));
    lMidiOut->setText(GetLangText(kTextMidiOut));
    lKanal->setText(GetLangText(kTextChannel));
    lKanal2->setText(GetLangText(kTextChannel));
    lStart->setText(GetLangText(kTextStartCommand));
    lInStop->setText(GetLangText(kTextNoteIdStop));
    lInSync->setText(GetLangText(kTextNoteId));
    lInfoKanal->setText(GetLangText(kTextNoteId));
    lOutMode->setText(GetLangText(kTextCommandMode));
    lStatusInfo->setText(GetLangText(kTextStatusOutput));
    for (size_t i = 0; i < 3; ++i) {
        lStateHeads[i]->setText(GetLangText(kTextStates[i]));
        lNoteHeads[i]->setText(GetLangText(kTextNoteIdHead));
    }
    lStatus->setText(GetLangText(kTextStatus));
    lcc->setText(GetLangText(kTextCCId));
    const int32_t lang = language.load();
    const TDaten* store = defaultDaten.load();
    const QString leq = store ? store->GetLEQLabel(lang) : QStringLiteral("Leq");
    const QString leqK = store ? store->GetLEQKLabel(lang) : QStringLiteral("LeqK");
    const QString peak = store ? store->GetPeakLabel() : QStringLiteral("Peak");
    const std::array<QString, 3> rows = {leq, leqK, peak};
    for (size_t i = 0; i < 3; ++i) {
        lRows[i]->setText(rows[i]);
        lccRows[i]->setText(rows[i]);
    }
    lccRows[3]->setText(GetLangText(kTextMaximum) + QLatin1Char(' ') + leq);
    lccRows[4]->setText(GetLangText(kTextMaximum) + QLatin1Char(' ') + peak);
    ticks[kTickUseMidi].SetLabel(kTextUseMidi);
    ticks[kTickRunOnly].SetLabel(kTextRunOnly);
    ticks[kTickFeedback].SetLabel(kTextSendStartStop);
    ticks[kTickInSync].SetLabel(kTextSyncRequest);
    for (size_t q = 0; q < 3; ++q) ticks[kTickFirstSend + q].SetLabel(kTextSend);
    for (size_t i = 0; i < 5; ++i) ticks[kTickFirstCC + i].SetLabel(kTextSendCC);
}

void TMidiSetup::ApplyColors() {
    QPalette palette = SchemeWidgetPalette(this->palette());
    palette.setColor(QPalette::Window, QColorOf(clBack));
    palette.setColor(QPalette::WindowText, QColorOf(clText));
    palette.setColor(QPalette::Base, QColorOf(clBack));
    palette.setColor(QPalette::Text, QColorOf(clText));
    setPalette(palette);
    for (QWidget* page : {tsDevices, tsOutput, tsCC, tsInput}) page->setPalette(palette);
    pButtons->setPalette(palette);
    setFont(QFont(QStringLiteral("VERDANA")));
    mTest->setPalette(palette);
    for (QSpinBox* field : findChildren<QSpinBox*>()) {
        field->setPalette(palette);
        field->setFont(QFont(QStringLiteral("VERDANA")));
    }
}

void TMidiSetup::LoadValues() {
    if (!midi_) return;
    loading_ = true;
    ticks[kTickUseMidi].SetSelected(midi_->GetUseMidi());
    seInKanal->setValue(midi_->GetInMidiKanal());
    seInStart->setValue(midi_->GetInIdOn());
    seInStop->setValue(midi_->GetInIdOff());
    seInSync->setValue(midi_->GetKInSync());
    ticks[kTickFeedback].SetSelected(midi_->GetUseInFeedback());
    ApplyFeedbackRow();
    seInfoKanal->setValue(midi_->GetFBKanal());
    for (int i = 0; i < kMidiStatusNotes; ++i) seNotes[i]->setValue(midi_->GetOutMapping(i));
    for (int i = 0; i < kMidiControllers; ++i) {
        seCC[i]->setValue(std::min(midi_->GetCC(i), 119));
        ticks[kTickFirstCC + i].SetSelected(midi_->GetCCEnable(i));
        seCC[i]->setEnabled(midi_->GetCCEnable(i));
    }
    for (int q = 0; q < kMidiQuantities; ++q) ticks[kTickFirstSend + q].SetSelected(midi_->GetSendEnable(q));
    ticks[kTickRunOnly].SetSelected(midi_->GetRunOnly());
    ticks[kTickInSync].SetSelected(midi_->GetInSync());
    seInSync->setEnabled(midi_->GetInSync());
    for (int q = 0; q < kMidiQuantities; ++q) ApplyRowRule(q);
    ApplyUseMidiRule();
    seOutKanal->setValue(midi_->GetOutMidiKanal());
    CheckInputIds();
    for (TPaintBox32* box : tickBoxes_) box->Invalidate();
    loading_ = false;
}

// --- Reactions ---------------------------------------------------------------------

void TMidiSetup::InputDeviceChanged() {
    StopInputTest();
    UpdateTabs();
}

void TMidiSetup::OutputDeviceChanged(bool byUser) {
    const bool device = IsDeviceEntry(cbMidiOutDev);
    UpdateTabs();
    // An unmatched stored name stays until the user chooses: the dialog
    // opened on it must not forget it.
    if (!byUser && keepStoredOutName_) return;
    if (!midi_) return;
    const QString name = device ? ChosenText(cbMidiOutDev) : QString();
    midi_->SetMidiOutName(name);
    // Choosing no device leaves the previous output open until the dialog closes.
    if (name.size() > 1) midi_->StartMidiOut();
}

void TMidiSetup::InputModeChanged() {
    StopInputTest();
    ApplyInputModeRules();
}

void TMidiSetup::InputIdChanged() {
    CheckInputIds();
    if (!loading_) StopInputTest();
}

void TMidiSetup::FieldChanged(int32_t tag, int value) {
    if (!midi_) return;
    if (tag == kTagFeedback)
        midi_->SetFBKanal(value);
    else if (tag >= kTagFirstCC)
        midi_->SetCC(tag - kTagFirstCC, value);
    else
        midi_->ChangeMapping(tag, value);
}

void TMidiSetup::InTestClick() {
    if (!midi_) return;
    if (midi_->GetMidiStatus()) {
        StopInputTest();
        return;
    }
    mTest->clear();
    midi_->SetMessageHandle(handle_);
    ApplyMidiInSettings();
    midi_->SetTestMode(true);
    // A failed start leaves the button at "Start Test" and nothing is told.
    if (!midi_->StartMidiIn()) midi_->SetTestMode(false);
    pbInTest->Invalidate();
}

void TMidiSetup::OkClick() {
    ApplyMidiInSettings();
    done(1);
}

void TMidiSetup::CancelClick() { reject(); }

void TMidiSetup::reject() {
    // Escape and the close box cancel like the button: the live changes go.
    if (midi_) midi_->RestoreBackup();
    done(2);
}

void TMidiSetup::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OkClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

// --- Rules ----------------------------------------------------------------------------

void TMidiSetup::StopInputTest() {
    if (midi_) {
        midi_->EndMidiIn();
        midi_->SetTestMode(false);
    }
    if (pbInTest) pbInTest->Invalidate();
}

void TMidiSetup::ApplyMidiInSettings() {
    if (!midi_) return;
    if (!keepStoredInName_) midi_->SetMidiInName(ChosenText(cbMidiInDev));
    if (!keepStoredOutName_) midi_->SetMidiOutName(IsDeviceEntry(cbMidiOutDev) ? ChosenText(cbMidiOutDev) : QString());
    midi_->SetKInSync(seInSync->value());
    midi_->SetInMidiKanal(seInKanal->value());
    midi_->SetInIdOn(seInStart->value());
    midi_->SetInIdOff(seInStop->value());
    midi_->SetInModeId(ChosenMode(cbStart));
}

void TMidiSetup::CheckInputIds() {
    const int start = seInStart->value();
    const int stop = seInStop->value();
    const int sync = seInSync->value();
    const auto mark = [](QSpinBox* field, bool clash) { SetFieldBack(field, clash ? clRed : clBack); };
    mark(seInStart, start == stop || start == sync);
    mark(seInStop, stop == start || stop == sync);
    mark(seInSync, sync == start || sync == stop);
}

void TMidiSetup::ApplyInputModeRules() {
    const int32_t mode = ChosenMode(cbStart);
    const bool notes = mode == kMidiInNoteOnOff || mode == kMidiInVelocity;
    seInStop->setVisible(notes);
    lInStop->setVisible(notes);
    lInStart->setText(GetLangText(notes ? kTextNoteIdStart : kTextDeviceId));
    seInStart->setMaximum(notes ? 127 : 0x6F);
    LayoutInput();
}

void TMidiSetup::ApplyFeedbackRow() {
    const bool on = ticks[kTickFeedback].GetIsSelected();
    seInfoKanal->setVisible(on);
    lInfoKanal->setVisible(on);
}

void TMidiSetup::ApplyRowRule(int quantity) {
    const bool on = ticks[kTickFirstSend + quantity].GetIsSelected();
    for (int state = 0; state < 3; ++state) seNotes[quantity * 3 + state]->setEnabled(on);
}

void TMidiSetup::ApplyUseMidiRule() {
    const bool use = ticks[kTickUseMidi].GetIsSelected();
    for (QWidget* w : std::initializer_list<QWidget*>{cbMidiInDev, cbMidiOutDev, lMidiIn, lMidiOut, lKanal, lKanal2,
                                                       seInKanal, seOutKanal})
        w->setVisible(use);
    if (!use && pcPages->currentWidget() != tsDevices) pcPages->setCurrentWidget(tsDevices);
    if (midi_) midi_->SetUseMidi(use);
    UpdateTabs();
}

void TMidiSetup::UpdateTabs() {
    const bool use = ticks[kTickUseMidi].GetIsSelected();
    pcPages->SetPageVisible(tsInput, use && IsDeviceEntry(cbMidiInDev));
    const bool output = use && IsDeviceEntry(cbMidiOutDev);
    pcPages->SetPageVisible(tsOutput, output);
    pcPages->SetPageVisible(tsCC, output);
}

bool TMidiSetup::IsDeviceEntry(const QComboBox* list) const {
    // An empty list counts as the no-device entry.
    return list->currentIndex() >= 0 && list->currentData().toInt() != kNoDeviceValue;
}

QString TMidiSetup::ChosenText(const QComboBox* list) const {
    return list->currentIndex() >= 0 ? list->currentText() : QString();
}

int32_t TMidiSetup::ChosenMode(const QComboBox* list) const {
    return list->currentIndex() >= 0 ? list->currentData().toInt() : 1;
}

// --- Monitor --------------------------------------------------------------------------

void TMidiSetup::MidiMonitorMessage(uintptr_t kind, intptr_t data) {
    if (!midi_) return;
    const auto message = static_cast<uint32_t>(data);
    const TmidiInfo info = TVtMidi::SplitInput(message);
    QString line;
    QString result;
    int32_t command = 0;
    switch (kind) {
    case kMidiNoteOn:
        line = QStringLiteral("Channel: %1, Note %2 ON, Velocity: %3").arg(info.Kanal + 1).arg(info.Id).arg(info.velocity);
        command = midi_->GetStatusShort(message);
        result = ShortResultText(command);
        break;
    case kMidiNoteOff:
        line = QStringLiteral("Channel: %1, Note %2 OFF").arg(info.Kanal + 1).arg(info.Id);
        command = midi_->GetStatusShort(message);
        result = ShortResultText(command);
        break;
    case kMidiSysEx: {
        const QByteArray bytes = midi_->GetLongIn(data);
        for (const char byte : bytes)
            line += QStringLiteral("%1 ").arg(static_cast<uint8_t>(byte), 2, 16, QLatin1Char('0')).toUpper();
        command = midi_->GetStatusLong(bytes);
        result = LongResultText(command);
        break;
    }
    case kMidiOtherChannel:
        line = GetLangText(kTextWrongChannel) + QLatin1Char(' ') + QString::number(info.Kanal + 1);
        break;
    default: return;
    }
    if (command == kMidiStart) midi_->SendStatusInfo(1);
    if (command == kMidiStop) midi_->SendStatusInfo(2);
    mTest->appendPlainText(line);
    mTest->appendPlainText(QStringLiteral("-> ") + result);
}

// --- Field popup ----------------------------------------------------------------------

void TMidiSetup::PrepareFieldMenu(int32_t tag) {
    menuTag_ = tag;
    const bool note = tag >= 0 && tag < kMidiStatusNotes;
    const bool controller = tag >= kTagFirstCC;
    if (note) {
        pmOmTestOn->setText(GetLangText(kTextSendTestOn));
        pmOmTestOff->setText(GetLangText(kTextSendTestOff));
        const int next = tag == 0 ? seNotes[1]->value() - 1 : seNotes[tag - 1]->value() + 1;
        const int limited = std::clamp(next, 0, 127);
        pmOmNext->setText(QString::number(limited));
        pmOmNext->setData(limited);
    } else if (controller) {
        pmOmTestOn->setText(GetLangText(kTextTest50));
        pmOmTestOff->setText(GetLangText(kTextTest100));
    } else {
        pmOmTestOn->setText(GetLangText(kTextTestStart));
        pmOmTestOff->setText(GetLangText(kTextTestStop));
    }
    pmOmNext->setVisible(note);
    // Controller numbers end at 119.
    pmOmValues.back()->setVisible(!controller);
}

void TMidiSetup::FieldMenuChosen(QAction* action) {
    const bool note = menuTag_ >= 0 && menuTag_ < kMidiStatusNotes;
    QSpinBox* field = menuTag_ == kTagFeedback ? seInfoKanal
                      : menuTag_ >= kTagFirstCC ? seCC[menuTag_ - kTagFirstCC]
                                                : seNotes[menuTag_];
    if (action == pmOmTestOn || action == pmOmTestOff) {
        const bool on = action == pmOmTestOn;
        if (!midi_) return;
        if (note)
            midi_->SendOutStatus(menuTag_, on);
        else if (menuTag_ == kTagFeedback)
            midi_->SendStatusInfo(on ? 1 : 2);
        else
            midi_->SendLevel(menuTag_ - kTagFirstCC, on ? 50 : 100);
        return;
    }
    field->setValue(action->data().toInt());
}

// --- Painting and layout ------------------------------------------------------------

void TMidiSetup::PaintTick(TPaintBox32* box, size_t index) { ticks[index].PaintMO(box, localSf_); }

int TMidiSetup::TickWidth(size_t index) { return ticks[index].GetWidth(tickBoxes_[index], QString(), localSf_); }

bool TMidiSetup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        if (watched == tsDevices) LayoutDevices();
        if (watched == tsInput) LayoutInput();
        if (watched == tsOutput) LayoutOutput();
        if (watched == tsCC) LayoutCC();
    }
    return QDialog::eventFilter(watched, event);
}

void TMidiSetup::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayoutForm();
}

void TMidiSetup::LayoutForm() {
    if (!pcPages || !pButtons) return;
    const double sf = localSf_;
    const int buttonHeight = Scaled(33, sf);
    const int panelHeight = buttonHeight + 2 * localSp_;
    setFixedSize(Scaled(kFormWidth, sf), Scaled(kFormHeight, sf));
    pcPages->setGeometry(0, 0, width(), height() - panelHeight);
    pButtons->setGeometry(0, height() - panelHeight, width(), panelHeight);
    pbCancel->setGeometry(localSp_, localSp_, Scaled(110, sf), buttonHeight);
    pBOk->setGeometry(width() - localSp_ - Scaled(110, sf), localSp_, Scaled(110, sf), buttonHeight);
    // The pages get their size from the page control only once it is laid out.
    for (QWidget* page : {tsDevices, tsOutput, tsCC, tsInput})
        page->resize(pcPages->width(), pcPages->height() - pcPages->tabBar()->sizeHint().height());
    LayoutDevices();
    LayoutInput();
    LayoutOutput();
    LayoutCC();
}

void TMidiSetup::LayoutDevices() {
    const auto [sp, tickHeight, comboWidth, comboHeight, fieldWidth, fieldHeight, pitch, buttonWidth, buttonHeight] =
        MetricsAt(localSf_, localSp_);
    const int fieldX = sp + comboWidth + sp;
    int y = sp;
    pbUseMidi->setGeometry(sp, y, TickWidth(kTickUseMidi), tickHeight);
    y += tickHeight + sp;
    const auto deviceRow = [&](QLabel* label, QLabel* channel, QComboBox* combo, QSpinBox* field) {
        label->adjustSize();
        channel->adjustSize();
        label->move(sp, y);
        channel->move(fieldX, y);
        y += std::max(label->height(), channel->height()) + ltc_;
        combo->setGeometry(sp, y, comboWidth, comboHeight);
        field->setGeometry(fieldX, y + (comboHeight - fieldHeight) / 2, fieldWidth, fieldHeight);
        y += comboHeight + sp;
    };
    deviceRow(lMidiIn, lKanal, cbMidiInDev, seInKanal);
    deviceRow(lMidiOut, lKanal2, cbMidiOutDev, seOutKanal);
    pbOnlyRun->setGeometry(sp, y, TickWidth(kTickRunOnly), tickHeight);
}

void TMidiSetup::LayoutInput() {
    if (!tsInput || !pbInTest) return;
    const auto [sp, tickHeight, comboWidth, comboHeight, fieldWidth, fieldHeight, pitch, buttonWidth, buttonHeight] =
        MetricsAt(localSf_, localSp_);
    const int startX = sp + comboWidth + sp;
    const int stopX = startX + pitch;
    for (QLabel* label : {lStart, lInStart, lInStop, lInSync}) label->adjustSize();
    int y = sp;
    lStart->move(sp, y);
    lInStart->move(startX, y);
    lInStop->move(stopX, y);
    y += lStart->height() + ltc_;
    cbStart->setGeometry(sp, y, comboWidth, comboHeight);
    const int fieldY = y + (comboHeight - fieldHeight) / 2;
    seInStart->setGeometry(startX, fieldY, fieldWidth, fieldHeight);
    seInStop->setGeometry(stopX, fieldY, fieldWidth, fieldHeight);
    y += comboHeight + sp;
    lInSync->move(startX, y);
    y += lInSync->height() + ltc_;
    seInSync->setGeometry(startX, y, fieldWidth, fieldHeight);
    const int tickWidth = std::min(TickWidth(kTickInSync), comboWidth);
    pbInSync->setGeometry(sp + comboWidth - tickWidth, y - (tickHeight - fieldHeight) / 2, tickWidth, tickHeight);
    y += fieldHeight + sp;
    pbInTest->setGeometry(tsInput->width() - sp - buttonWidth, tsInput->height() - sp - buttonHeight, buttonWidth,
                          buttonHeight);
    mTest->setGeometry(sp, y, std::max(0, pbInTest->x() - 2 * sp), std::max(0, tsInput->height() - sp - y));
    QFont memoFont(QStringLiteral("VERDANA"));
    memoFont.setPixelSize(RoundI(12 * localSf_));
    mTest->setFont(memoFont);
}

void TMidiSetup::LayoutOutput() {
    const auto [sp, tickHeight, comboWidth, comboHeight, fieldWidth, fieldHeight, pitch, buttonWidth, buttonHeight] =
        MetricsAt(localSf_, localSp_);
    int y = sp;
    lOutMode->adjustSize();
    lOutMode->move(sp, y);
    y += lOutMode->height() + ltc_;
    cbOutMode->setGeometry(sp, y, comboWidth, comboHeight);
    y += comboHeight + sp;
    const int infoX = sp + comboWidth - fieldWidth;
    lInfoKanal->adjustSize();
    lInfoKanal->move(infoX, y);
    y += lInfoKanal->height() + ltc_;
    seInfoKanal->setGeometry(infoX, y, fieldWidth, fieldHeight);
    pbFeedback->setGeometry(sp, y - (tickHeight - fieldHeight) / 2, std::max(0, infoX - 2 * sp), tickHeight);
    y += fieldHeight + sp;
    lStatusInfo->adjustSize();
    lStatusInfo->move(sp, y);
    y += lStatusInfo->height() + sp;

    // The grid: three note columns and the send ticks, pitch 110.
    int labelWidth = 0;
    for (QLabel* row : lRows) {
        row->adjustSize();
        labelWidth = std::max(labelWidth, row->width());
    }
    const int sendWidth = TickWidth(kTickFirstSend);
    const int roomRight = tsOutput->width() - sp - 3 * pitch - sendWidth;
    const int firstColumn = std::clamp(sp + labelWidth + sp, pitch, std::max(pitch, roomRight));
    for (size_t c = 0; c < 3; ++c) {
        lStateHeads[c]->adjustSize();
        lNoteHeads[c]->adjustSize();
        lStateHeads[c]->move(firstColumn + static_cast<int>(c) * pitch, y);
        lNoteHeads[c]->move(firstColumn + static_cast<int>(c) * pitch, y + lStateHeads[c]->height());
    }
    lStatus->adjustSize();
    lStatus->move(firstColumn + 3 * pitch, y + lStateHeads[0]->height());
    y += lStateHeads[0]->height() + lNoteHeads[0]->height() + ltc_;
    for (int q = 0; q < 3; ++q) {
        const QRect row(0, y, tsOutput->width(), tickHeight);
        for (int state = 0; state < 3; ++state)
            seNotes[q * 3 + state]->setGeometry(firstColumn + state * pitch, y + (tickHeight - fieldHeight) / 2,
                                                fieldWidth, fieldHeight);
        pbSend[q]->setGeometry(firstColumn + 3 * pitch, y, sendWidth, tickHeight);
        CentreLabelOn(lRows[q], row, firstColumn - sp);
        y += tickHeight + sp;
    }
}

void TMidiSetup::LayoutCC() {
    const auto [sp, tickHeight, comboWidth, comboHeight, fieldWidth, fieldHeight, pitch, buttonWidth, buttonHeight] =
        MetricsAt(localSf_, localSp_);
    const int column = Scaled(220, localSf_) + sp;
    int y = sp;
    lcc->adjustSize();
    lcc->move(column, y);
    y += lcc->height() + ltc_;
    for (size_t i = 0; i < 5; ++i) {
        const int rowHeight = std::max(fieldHeight, tickHeight);
        seCC[i]->setGeometry(column, y + (rowHeight - fieldHeight) / 2, fieldWidth, fieldHeight);
        pbUseCC[i]->setGeometry(column + fieldWidth + sp, y + (rowHeight - tickHeight) / 2, Scaled(kCCTickWidth, localSf_),
                                tickHeight);
        CentreLabelOn(lccRows[i], QRect(0, y, width(), rowHeight), column - sp);
        y += rowHeight + sp;
    }
}
