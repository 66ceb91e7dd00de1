#include "audio/audio_device_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "audio/wasapi_devices.h"
#include "platform/user_dialogs.h"
#include "platform/wave_audio.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kNotConnected = 491;
constexpr int32_t kNoPinkNoise = 1139;
constexpr int kDetailsHoldMs = 3000;
constexpr int32_t kAsioSizes[6] = {128, 256, 512, 1024, 2048, 4096};

int32_t ObjectOf(const QComboBox* combo) {
    return combo->currentIndex() < 0 ? -1 : combo->currentData().toInt();
}

void SelectObject(QComboBox* combo, int32_t object, int fallback) {
    const int i = combo->findData(object);
    combo->setCurrentIndex(i >= 0 ? i : (combo->count() > fallback ? fallback : -1));
}

// The query format of the wave lists: 32-bit stereo at 48 kHz, extensible.
platform::WaveFormat QueryFormat() {
    platform::WaveFormat f;
    f.formatTag = platform::kWaveFormatExtensible;
    f.channels = 2;
    f.samplesPerSec = 48000;
    f.bitsPerSample = 32;
    f.blockAlign = 8;
    f.avgBytesPerSec = 384000;
    f.extraSize = 22;
    return f;
}

bool WaveInAnswers(uint32_t id) {
    const platform::WaveFormat f = QueryFormat();
    platform::WaveHandle h = 0;
    return platform::WaveInOpen(&h, id, &f, nullptr, 0, platform::kWaveFormatQuery) == platform::kWaveNoError;
}

bool WaveOutAnswers(uint32_t id) {
    const platform::WaveFormat f = QueryFormat();
    platform::WaveHandle h = 0;
    return platform::WaveOutOpen(&h, id, &f, nullptr, 0, platform::kWaveFormatQuery) == platform::kWaveNoError;
}

void FillAssignment(QComboBox* combo, bool first, int32_t assignment, const QString& caption, const QString& text) {
    combo->clear();
    if (assignment == 1) {
        combo->addItem(GetLangText(44), 0);
        combo->addItem(GetLangText(45), 1);
    } else if (assignment == 3) {
        combo->addItem(GetLangText(42), 0);
        combo->addItem(GetLangText(43), 1);
    } else {
        platform::MessageRequest request;
        request.text = text + QString::number(assignment);
        request.header = caption;
        request.rightCaption = QStringLiteral("OK");
        platform::userDialogs()->ShowMessage(request);
        return;
    }
    combo->setCurrentIndex(first ? 0 : 1);
}

std::unique_ptr<platform::AsioDriver> OpenDriver(const platform::Guid& clsid) {
    std::unique_ptr<platform::AsioDriver> driver = platform::CreateAsioDriver(clsid);
    if (driver && driver->init(mainWnd.load()) != platform::kAsioTrue) driver.reset();
    return driver;
}

}  // namespace

TIOSelect::TIOSelect(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("IOSelect"));
    setFont(QFont(QStringLiteral("VERDANA")));
    setWindowTitle(GetLangText(330));
    BuildControls();
    FillWasapiLists();
    GetAsioDriverList(treiberliste);
    cbASIODevice->clear();
    for (size_t i = 0; i < treiberliste.size(); ++i) cbASIODevice->addItem(treiberliste[i].name, static_cast<int>(i));
    if (cbASIODevice->count() == 0) SetAudioMode(0);
    LayoutForScale(logicalDpiX() / 96.0);
}

TIOSelect::~TIOSelect() = default;

void TIOSelect::SetupFlatButton(TPaintBox32*& box, int32_t textId, const std::function<void()>& click) {
    box = new TPaintBox32(this);
    box->OnPaintBuffer = [textId](TPaintBox32* b) { PaintButtonText(b, textId); };
    box->OnMouseUp = [click](TPaintBox32* b, Qt::MouseButton button, int x, int y) {
        if (button == Qt::LeftButton && b->rect().contains(x, y)) click();
    };
}

void TIOSelect::SetupSelector(TPaintBox32*& box, TSelBox& sel, const std::function<void()>& click) {
    box = new TPaintBox32(this);
    box->OnPaintBuffer = [this, &sel](TPaintBox32* b) {
        b->Buffer().Clear(clBack32);
        sel.Paint(b, mySf);
    };
    box->OnMouseDown = [click](TPaintBox32*, Qt::MouseButton button, int, int) {
        if (button == Qt::LeftButton) click();
    };
}

void TIOSelect::BuildControls() {
    auto combo = [this](const char* name) {
        auto* c = new QComboBox(this);
        c->setObjectName(QString::fromLatin1(name));
        return c;
    };
    cbWaveIn = combo("cbWaveIn");
    cbWaveOut = combo("cbWaveOut");
    cbWaveZuordnung = combo("cbWaveZuordnung");
    cbASIODevice = combo("cbASIODevice");
    cbASIOInput = combo("cbASIOInput");
    cbASIOInputV = combo("cbASIOInputV");
    cbASIOOut = combo("cbASIOOut");
    cbAsioSize = combo("cbAsioSize");
    cbInWas = combo("cbInWas");
    cbWasZuordnung = combo("cbWasZuordnung");
    cbOutWas = combo("cbOutWas");
    for (int32_t size : kAsioSizes) cbAsioSize->addItem(QString::number(size) + QStringLiteral(" Bytes"));
    cbASIODevice->setToolTip(GetLangText(339) + QLatin1Char('\n') + GetLangText(340) + QLatin1Char('\n') + GetLangText(341));

    cbModeWave.SetLabel(331);
    cbModeAsio.SetLabel(332);
    cbModeWAS.SetLabel(851);
    sAsio96.SetLabel(1140);
    sCM1.SetLabel(1129);
    sShowAll.SetLabel(1130);
    SetupSelector(pbAmWave, cbModeWave, [this] {
        if (cbModeWave.GetIsEnabled()) SetAudioMode(0);
    });
    SetupSelector(pbAmAsio, cbModeAsio, [this] {
        if (cbModeAsio.GetIsEnabled()) SetAudioMode(1);
    });
    SetupSelector(pbAmWAS, cbModeWAS, [this] {
        if (cbModeWAS.GetIsEnabled()) SetAudioMode(2);
    });
    pbAmWAS->setVisible(wasapiAvailable);
    auto toggle = [this](TSelBox& sel, TPaintBox32*& box) {
        SetupSelector(box, sel, [&sel, &box] {
            sel.DoClick();
            box->Invalidate();
        });
    };
    toggle(sAsio96, pb96k);
    toggle(sCM1, pbCM1);
    toggle(sShowAll, pbShowAll);

    SetupFlatButton(pbOk, 427, [this] {
        if (!pbOk->isHidden()) done(1);
    });
    SetupFlatButton(pbCancel, 403, [this] { done(2); });
    SetupFlatButton(pbRescan, 891, [this] { Rescan(); });
    SetupFlatButton(pbAsioControl, 338, [this] { OpenControlPanel(); });

    pbWasDev = new TPaintBox32(this);
    pbWasDev->OnPaintBuffer = [this](TPaintBox32* b) {
        b->Buffer().Clear(clBack32);
        QPainter painter(&b->Buffer().Image());
        painter.setPen(QColorOf32(clText32));
        painter.drawText(b->rect(), Qt::TextWordWrap, wasDevString);
    };

    // The picture: a click chooses ASIO, holding it 3 s in ASIO mode opens the details.
    imASIO = new TPaintBox32(this);
    imASIO->OnPaintBuffer = [](TPaintBox32* b) {
        b->Buffer().Clear(clPanel32);
        QPainter painter(&b->Buffer().Image());
        painter.setPen(QColorOf32(clText32));
        painter.drawText(b->rect(), Qt::AlignCenter, QStringLiteral("ASIO"));
    };
    tAsioDetails = new QTimer(this);
    tAsioDetails->setSingleShot(true);
    tAsioDetails->setInterval(kDetailsHoldMs);
    connect(tAsioDetails, &QTimer::timeout, this, [this] { ShowAsioDetails(); });
    imASIO->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton, int, int) {
        if (myAudioMode == 1) tAsioDetails->start();
    };
    imASIO->OnMouseUp = [this](TPaintBox32*, Qt::MouseButton, int, int) {
        tAsioDetails->stop();
        SetAudioMode(1);
    };

    auto label = [this](int32_t id) { return new QLabel(GetLangText(id), this); };
    gbWave = new QGroupBox(GetLangText(329), this);
    auto* wave = new QVBoxLayout(gbWave);
    wave->addWidget(label(324));
    wave->addWidget(cbWaveIn);
    wave->addWidget(label(325));
    wave->addWidget(cbWaveZuordnung);
    wave->addWidget(label(326));
    wave->addWidget(cbWaveOut);
    wave->addStretch();

    gbAsio = new QGroupBox(GetLangText(334), this);
    auto* asio = new QVBoxLayout(gbAsio);
    asio->addWidget(label(335));
    asio->addWidget(cbASIODevice);
    Label2 = label(342);
    asio->addWidget(Label2);
    asio->addWidget(cbASIOInput);
    Label6 = label(337);
    asio->addWidget(Label6);
    asio->addWidget(cbASIOInputV);
    asio->addWidget(label(326));
    asio->addWidget(cbASIOOut);
    asio->addWidget(pb96k);
    asio->addWidget(pbAsioControl);

    gbWas = new QGroupBox(GetLangText(851), this);
    auto* was = new QVBoxLayout(gbWas);
    was->addWidget(label(324));
    was->addWidget(cbInWas);
    was->addWidget(pbWasDev);
    Label9 = label(325);
    was->addWidget(Label9);
    was->addWidget(cbWasZuordnung);
    was->addWidget(label(326));
    was->addWidget(cbOutWas);
    was->addWidget(pbRescan);
    was->addStretch();

    pAsioDetails = new QWidget(this);
    auto* details = new QVBoxLayout(pAsioDetails);
    details->addWidget(pbCM1);
    details->addWidget(pbShowAll);
    details->addWidget(label(1128));
    details->addWidget(cbAsioSize);
    pAsioDetails->hide();

    auto* modes = new QHBoxLayout;
    modes->addWidget(pbAmWave);
    modes->addWidget(pbAmAsio);
    modes->addWidget(pbAmWAS);
    auto* groups = new QGridLayout;
    groups->addWidget(gbWave, 0, 0);
    groups->addWidget(gbAsio, 0, 0);
    groups->addWidget(gbWas, 0, 0);
    auto* side = new QVBoxLayout;
    side->addWidget(imASIO);
    side->addWidget(pAsioDetails);
    side->addStretch();
    side->addWidget(pbCancel);
    side->addWidget(pbOk);
    groups->addLayout(side, 0, 1);
    auto* all = new QVBoxLayout(this);
    all->addLayout(modes);
    all->addLayout(groups);

    connect(cbInWas, &QComboBox::currentIndexChanged, this, [this] { ShowWasDevice(); CheckValues(); });
    connect(cbASIODevice, &QComboBox::activated, this, [this] { cbASIODeviceChange(); });
    for (QComboBox* c : {cbASIOInput, cbASIOInputV, cbASIOOut})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { CheckValues(); });
    for (QComboBox* c : {cbWaveIn, cbWaveOut, cbWaveZuordnung, cbASIODevice, cbASIOInput, cbASIOInputV, cbASIOOut,
                         cbAsioSize, cbInWas, cbWasZuordnung, cbOutWas}) {
        QPalette p = c->palette();
        p.setColor(QPalette::Base, QColorOf(clList));
        p.setColor(QPalette::Text, QColorOf(clListText));
        c->setPalette(p);
    }
    QPalette p = palette();
    p.setColor(QPalette::Window, QColorOf(clBack));
    p.setColor(QPalette::WindowText, QColorOf(clText));
    setPalette(p);
    setAutoFillBackground(true);
    // The platform style shades a group box's inside, where the option
    // selectors, drawn on the dialog's own background, stood out as a band:
    // the groups get a plain frame on that background instead.
    const QString plainFrame =
        QStringLiteral("QGroupBox { border: 1px solid %1; border-radius: 3px; margin-top: 1.3em; padding-top: 0.3em; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 0px; }"
                       "QGroupBox, QLabel { color: %2; }")
            .arg(QColorOf32(clFrame32).name(), QColorOf(clText).name());
    for (QGroupBox* g : {gbWave, gbAsio, gbWas}) g->setStyleSheet(plainFrame);
}

void TIOSelect::LayoutForScale(double scale) {
    mySf = scale;
    const int m = static_cast<int>(std::lround(16 * scale));
    layout()->setContentsMargins(m, m, m, m);
    layout()->setSpacing(static_cast<int>(std::lround(3 * scale)));
    for (QGroupBox* g : {gbWave, gbAsio, gbWas}) g->setMinimumWidth(static_cast<int>(std::lround(380 * scale)));
    for (QComboBox* c : {cbWaveIn, cbWaveOut, cbWaveZuordnung, cbASIODevice, cbASIOInput, cbASIOInputV, cbASIOOut,
                         cbAsioSize, cbInWas, cbWasZuordnung, cbOutWas})
        SetComboStyle(scale, c);
    for (TPaintBox32* b : {pbOk, pbCancel, pbRescan, pbAsioControl}) {
        InitButton(b, scale, true);
        b->setMinimumSize(b->size());
    }
    const int selectorHeight = static_cast<int>(std::lround(30 * scale));
    for (TPaintBox32* b : {pbAmWave, pbAmAsio, pbAmWAS, pb96k, pbCM1, pbShowAll}) b->setMinimumHeight(selectorHeight);
    pbWasDev->setMinimumHeight(static_cast<int>(std::lround(40 * scale)));
    imASIO->setMinimumSize(static_cast<int>(std::lround(110 * scale)), static_cast<int>(std::lround(110 * scale)));
}

void TIOSelect::SetInputAssign(int32_t assignment) {
    myMicMode = assignment;
    if (assignment == 1) Label2->setText(GetLangText(342));
    else if (assignment == 3) Label2->setText(GetLangText(336));
    else Label2->setText(QStringLiteral("Invalide Input Mode, Id: ") + QString::number(assignment));
    FillWasapiLists();
}

void TIOSelect::SetWaveIDs(int32_t inId, int32_t outId) {
    inID = inId;
    outID = outId;
    validWave = FillWaveLists();
    FillWasapiLists();
    CheckValues();
}

void TIOSelect::SetWaveChannel(bool firstChannel, int32_t assignment) {
    FillAssignment(cbWaveZuordnung, firstChannel, assignment, QStringLiteral("Wave Setup"),
                   QStringLiteral("Invalid Audio Assign, Id: "));
}

void TIOSelect::SetWasChannel(bool firstChannel, int32_t assignment) {
    FillAssignment(cbWasZuordnung, firstChannel, assignment, QStringLiteral("Prepare Audio Setup"),
                   QStringLiteral("Invalid Mic Configuration, Id: "));
}

void TIOSelect::SetWaveOption(bool, bool) {
    validWave = FillWaveLists();
    CheckValues();
}

bool TIOSelect::FillWaveLists() {
    cbWaveIn->clear();
    const uint32_t inputs = platform::WaveInDeviceCount();
    for (uint32_t id = 0; id < inputs; ++id) {
        if (!WaveInAnswers(id)) continue;
        platform::WaveInCaps caps;
        platform::WaveInGetCaps(id, &caps);
        cbWaveIn->addItem(platform::ProductNameOf(caps), static_cast<int>(id));
    }
    if (cbWaveIn->count() == 0) {
        cbWaveIn->addItem(GetLangText(kNotConnected), -1);
        cbWaveIn->setCurrentIndex(0);
        cbWaveIn->setEnabled(false);
        return false;
    }
    SelectObject(cbWaveIn, inID, 0);
    cbWaveIn->setEnabled(cbWaveIn->count() > 1);
    cbWaveOut->clear();
    cbWaveOut->addItem(GetLangText(kNoPinkNoise), -1);
    const uint32_t outputs = platform::WaveOutDeviceCount();
    for (uint32_t id = 0; id < outputs; ++id) {
        if (!WaveOutAnswers(id)) continue;
        platform::WaveOutCaps caps;
        platform::WaveOutGetCaps(id, &caps);
        cbWaveOut->addItem(platform::ProductNameOf(caps), static_cast<int>(id));
    }
    SelectObject(cbWaveOut, outID, 0);
    cbWaveOut->setEnabled(cbWaveOut->count() > 1);
    return true;
}

void TIOSelect::FillWasapiLists() {
    TWasAudio* layer = wasapiLayer.load();
    if (wasapiAvailable && layer != nullptr && layer->Num_in() > 0) {
        const QSignalBlocker quiet(cbInWas);
        cbInWas->clear();
        for (bool mono : {false, true}) {
            if (mono && myMicMode != 1) break;
            for (int32_t i = 0; i < layer->Num_in(); ++i) {
                const TDeviceInfo info = layer->Get_Info_In(i);
                if (info.Usable() && info.IsMono == mono) cbInWas->addItem(info.DeviceName, i);
            }
        }
        int i = cbInWas->findData(layer->GetInId(wasIn));
        if (i < 0) i = cbInWas->findData(layer->GetInId(layer->GetInDefault()));
        cbInWas->setCurrentIndex(i >= 0 ? i : (cbInWas->count() > 0 ? 0 : -1));
        cbInWas->setEnabled(cbInWas->count() > 1);
        ShowWasDevice();
    }
    cbOutWas->clear();
    cbOutWas->addItem(GetLangText(kNoPinkNoise), -1);
    if (layer != nullptr) {
        for (int32_t i = 0; i < layer->Num_out(); ++i)
            if (layer->Get_Info_Out(i).Usable()) cbOutWas->addItem(layer->Name_out(i), i);
        SelectObject(cbOutWas, layer->GetOutId(wasOut), 0);
    }
    cbOutWas->setEnabled(cbOutWas->count() > 1);
}

void TIOSelect::ShowWasDevice() {
    TWasAudio* layer = wasapiLayer.load();
    if (layer == nullptr || cbInWas->currentIndex() < 0) return;
    const TDeviceInfo info = layer->Get_Info_In(ObjectOf(cbInWas));
    cbWasZuordnung->setVisible(!info.IsMono);
    Label9->setVisible(!info.IsMono);
    wasDevString = QString::number(std::max(info.max48E, info.max48S)) + QStringLiteral(" ") + GetLangText(895);
    if (info.IsMono) wasDevString += QStringLiteral(", mono");
    if (info.max48E >= info.max48S) wasDevString += QStringLiteral(", exclusive");
    pbWasDev->Invalidate();
}

void TIOSelect::SetAudioMode(int32_t mode) {
    myAudioMode = mode;
    gbWave->setVisible(mode == 0);
    gbAsio->setVisible(mode == 1);
    gbWas->setVisible(mode == 2);
    pAsioDetails->setVisible(mode == 1 && showAd);
    CheckValues();
    RepaintSelectors();
}

void TIOSelect::RepaintSelectors() {
    cbModeWave.SetSelected(myAudioMode == 0);
    cbModeAsio.SetSelected(myAudioMode == 1);
    cbModeWAS.SetSelected(myAudioMode == 2);
    for (TPaintBox32* b : {pbAmWave, pbAmAsio, pbAmWAS})
        if (!b->isHidden()) b->Invalidate();
}

void TIOSelect::CheckValues() {
    bool complete = false;
    switch (myAudioMode) {
    case 0: complete = validWave; break;
    case 1:
        complete = cbASIOOut->currentIndex() >= 0 && cbASIOInput->currentIndex() >= 0 && ObjectOf(cbASIOInput) >= 0 &&
                   (myMicMode != 3 || ObjectOf(cbASIOInput) != ObjectOf(cbASIOInputV));
        break;
    case 2: complete = wasapiLayer.load() != nullptr && wasapiAvailable && cbInWas->currentIndex() >= 0; break;
    default: break;
    }
    pbOk->setVisible(complete);
}

void TIOSelect::FillAsioChannels(QComboBox* combo, int32_t count, bool input, int32_t limit, bool withNone) {
    const QSignalBlocker quiet(combo);
    combo->clear();
    if (withNone) combo->addItem(GetLangText(kNoPinkNoise), -1);
    else if (count == 0) combo->addItem(GetLangText(kNotConnected), -1);
    const int32_t idx = cbASIODevice->currentData().toInt();
    std::unique_ptr<platform::AsioDriver> driver =
        idx >= 0 && idx < static_cast<int32_t>(treiberliste.size()) ? OpenDriver(treiberliste[idx].id) : nullptr;
    for (int32_t ch = 0; driver && ch < std::min(count, limit); ++ch) {
        platform::AsioChannelInfo info;
        info.channel = ch;
        info.isInput = input ? platform::kAsioTrue : platform::kAsioFalse;
        driver->getChannelInfo(&info);
        combo->addItem(QString::fromLatin1(info.name, qstrnlen(info.name, sizeof info.name)), ch);
    }
}

void TIOSelect::cbASIODeviceChange() {
    const int32_t idx = cbASIODevice->currentData().toInt();
    if (cbASIODevice->currentIndex() < 0 || idx < 0 || idx >= static_cast<int32_t>(treiberliste.size())) return;
    std::unique_ptr<platform::AsioDriver> driver = OpenDriver(treiberliste[idx].id);
    int32_t inputs = 0, outputs = 0;
    // A driver that cannot start offers nothing to choose.
    if (driver) driver->getChannels(&inputs, &outputs);
    FillAsioChannels(cbASIOInput, inputs, true, 256, false);
    cbASIOInput->setCurrentIndex(0);
    if (myMicMode == 3) {
        FillAsioChannels(cbASIOInputV, inputs, true, 256, false);
        cbASIOInputV->setCurrentIndex(cbASIOInput->currentIndex());
    }
    Label6->setVisible(myMicMode == 3);
    cbASIOInputV->setVisible(myMicMode == 3);
    FillAsioChannels(cbASIOOut, outputs, false, 512, true);
    cbASIOOut->setCurrentIndex(cbASIOOut->count() > 1 ? 1 : -1);
    CheckValues();
    const bool can96 = driver && driver->canSampleRate(96000.0) == platform::ASE_OK;
    double rate = 0.0;
    const bool at96 = can96 && driver->getSampleRate(&rate) == platform::ASE_OK && std::lround(rate) == 96000;
    sAsio96.SetStatus(at96, can96);
    pb96k->Invalidate();
    CheckValues();
}

bool TIOSelect::SetAsioGuid(const QUuid& guid) {
    platform::Guid wanted;
    if (!platform::GuidFromText(guid.toString(QUuid::WithBraces), &wanted)) return false;
    for (int i = static_cast<int>(treiberliste.size()) - 1; i >= 0; --i) {
        if (!(treiberliste[i].id == wanted)) continue;
        const int item = cbASIODevice->findData(i);
        if (item < 0) return false;
        cbASIODevice->setCurrentIndex(item);
        return true;
    }
    return false;
}

bool TIOSelect::SelectAsioDevice(const QString& name) {
    const int item = cbASIODevice->findText(name);
    if (item >= 0) cbASIODevice->setCurrentIndex(item);
    return item >= 0;
}

void TIOSelect::SelectAsioInput(int32_t channel) { SelectObject(cbASIOInput, channel, 0); }
void TIOSelect::SelectAsioInputV(int32_t channel) { SelectObject(cbASIOInputV, channel, 0); }
void TIOSelect::SetAsioOutId(int32_t channel) { SelectObject(cbASIOOut, channel, 0); }

void TIOSelect::SetAsioDetails(bool callbackModeOne, bool reportAll, int32_t bufferSize, bool use96) {
    sCM1.SetSelected(callbackModeOne);
    sShowAll.SetSelected(reportAll);
    sAsio96.SetSelected(use96);
    int index = 3;
    for (int i : {0, 1, 2, 4, 5})
        if (kAsioSizes[i] == bufferSize) index = i;
    cbAsioSize->setCurrentIndex(index);
}

int32_t TIOSelect::MaxAsioSize() const {
    const int i = cbAsioSize->currentIndex();
    return i >= 0 && i < 6 ? kAsioSizes[i] : -1;
}

bool TIOSelect::IsAsioDetails() const { return showAd && myAudioMode == 1 && !pAsioDetails->isHidden(); }

void TIOSelect::ShowAsioDetails() {
    showAd = true;
    pAsioDetails->setVisible(myAudioMode == 1);
}

int32_t TIOSelect::GetWaveInId() const { return ObjectOf(cbWaveIn); }
int32_t TIOSelect::GetWaveOutId() const { return ObjectOf(cbWaveOut); }
int32_t TIOSelect::GetWasOutId() const { return ObjectOf(cbOutWas); }
int32_t TIOSelect::GetWasInIndex() const { return ObjectOf(cbInWas); }
int32_t TIOSelect::GetAsioInId() const { return ObjectOf(cbASIOInput); }
int32_t TIOSelect::GetAsioInIdV() const { return ObjectOf(cbASIOInputV); }
int32_t TIOSelect::GetAsioOutId() const { return ObjectOf(cbASIOOut); }
QString TIOSelect::GetAsioInName() const { return cbASIOInput->currentText(); }
QString TIOSelect::GetAsioInNameV() const { return cbASIOInputV->currentText(); }
QString TIOSelect::GetAsioDeviceName() const { return cbASIODevice->currentText(); }
bool TIOSelect::GetKanal1Wave() const { return cbWaveZuordnung->currentIndex() == 0; }
bool TIOSelect::GetKanal1Was() const { return cbWasZuordnung->currentIndex() == 0; }

QUuid TIOSelect::GetAsioGuid() const {
    const int32_t idx = ObjectOf(cbASIODevice);
    if (idx < 0 || idx >= static_cast<int32_t>(treiberliste.size())) return QUuid();
    return QUuid(platform::GuidToText(treiberliste[idx].id));
}

void TIOSelect::OpenControlPanel() {
    const int32_t idx = ObjectOf(cbASIODevice);
    if (idx < 0 || idx >= static_cast<int32_t>(treiberliste.size())) return;
    if (std::unique_ptr<platform::AsioDriver> driver = OpenDriver(treiberliste[idx].id)) driver->controlPanel();
}

void TIOSelect::Rescan() {
    TWasAudio* layer = wasapiLayer.load();
    if (layer == nullptr) return;
    try {
        layer->Rescan(3, true);
        FillWasapiLists();
    } catch (...) {
        // The lists stay as they were.
    }
}

void TIOSelect::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!pbOk->isHidden() && pbOk->isEnabled()) {
            pbOk->Tag = 1;
            done(1);
        }
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        pbCancel->Tag = 1;
        done(2);
        return;
    }
    QDialog::keyPressEvent(event);
}
