// Options pages "Logging" (file name and folder, automatic start, read-only,
// save interval, the SFTP upload switch), the file-name builder page without
// a tab, and "Audio Recording".
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>

#include "platform/date_time.h"
#include "platform/user_dialogs.h"
#include "reports/name_creator.h"
#include "reports/symbolic_path.h"
#include "settings/menu_header.h"
#include "settings/options_dialog.h"
#include "settings/settings_prompts.h"
#include "settings/tick_rows.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kIntervals[9] = {1, 2, 5, 10, 20, 30, 60, 120, 300};
constexpr int kIntervalDefaultIndex = 6;
constexpr int32_t kPartOrder[6] = {kNamePartEvent, kNamePartLocation, kNamePartDate, kNamePartRunningNumber,
                                   kNamePartFreeText, kNamePartEmpty};
constexpr int32_t kSepOrder[4] = {kSepHyphen, kSepUnderscore, kSepSpace, kSepNone};
const char* const kPartButtons[3] = {"pbFN1", "pBFN2", "pbFN3"};
const char* const kSepButtons[2] = {"pbFnS1", "pbFNS2"};
const char* const kFreeTexts[3] = {"eFN1", "eFN2", "eFN3"};

// Fits "prefix + path" into width pixels, the path shortened in its middle.
QString FittedPathText(const QFontMetrics& metrics, const QString& prefix, const QString& path, int width) {
    const int room = std::max(0, width - metrics.horizontalAdvance(prefix));
    return prefix + metrics.elidedText(QDir::toNativeSeparators(path), Qt::ElideMiddle, room);
}

}  // namespace

void TvtpOptionen::BuildSavePage() {
    QWidget* page = Page(tsSave);
    TTickRows* autoFn = NewTicks(page, "pbAutoFn", {"sAutoFn"});
    Tick("sAutoFn").SetLabel(368);
    autoFn->OnToggled = [this](int) {
        Tick("sUseFn").SetSelected(false);
        AutoStartRule();
    };
    NewButton(page, "pbSelDir", 1231, [this] { Select_Window(tsDateiNamen); });
    NewLabel(page, "lAutoSaveFN", QString());
    TTickRows* useFn = NewTicks(page, "pbUseFn", {"sUseFn"});
    Tick("sUseFn").SetLabel(370);
    useFn->OnToggled = [this](int) {
        Tick("sAutoFn").SetSelected(false);
        AutoStartRule();
    };
    NewButton(page, "pbSelFile", 371, [this] {
        platform::SaveFileRequest request;
        request.title = QStringLiteral("Datei für die Aufzeichnung wählen");
        request.filter = QStringLiteral("Veltaro Messung|*.VTM");
        request.defaultExtension = QStringLiteral("VTM");
        request.startFolder = QFileInfo(fnl).absolutePath();
        request.fileName = fnl;
        request.overwritePrompt = true;
        request.owner = this;
        const platform::SaveFileAnswer answer = platform::userDialogs()->AskSaveFile(request);
        if (!answer.ok()) return;
        fnl = answer.path;
        showFNL();
    });
    NewLabel(page, "lAutoSaveDir", QString());
    NewTicks(page, "pbAutoStart", {"sAutoStart"});
    Tick("sAutoStart").SetLabel(372);
    NewTicks(page, "pbReadOnly", {"sReadOnly"});
    Tick("sReadOnly").SetLabel(943);
    NewLabel(page, "lIntervall", GetLangText(373));
    QComboBox* interval = NewCombo(page, "cbIntervall");
    for (int i = 0; i < 9; ++i) interval->addItem(GetLangText(374 + i), kIntervals[i]);
    interval->setMaxVisibleItems(9);
    NewTicks(page, "pbSFTPUse", {"sSFTPUse"});
    Tick("sSFTPUse").SetLabel(1255);
    NewButton(page, "pbSFTPConfig", 1256, [this] { Select_Window(tsSFTP); });
}

int TvtpOptionen::LayoutSavePage(int w) {
    const int rowH = RoundI(33 * localSf);
    const int buttonW = RoundI(220 * localSf);
    const int rightX = w - mySpace - buttonW;
    const int tickW = rightX - 2 * mySpace;
    Box("pbSelDir")->setGeometry(rightX, mySpace, buttonW, rowH);
    TickBox("pbAutoFn")->setGeometry(mySpace, mySpace, tickW, rowH);
    QLabel* folder = Label("lAutoSaveFN");
    const int labelH = folder->fontMetrics().height() + 2;
    folder->setGeometry(mySpace, mySpace + rowH + lToCb, w - 2 * mySpace, labelH);
    const int useTop = folder->y() + labelH + mySpace;
    TickBox("pbUseFn")->setGeometry(mySpace, useTop, tickW, rowH);
    Box("pbSelFile")->setGeometry(rightX, useTop, buttonW, rowH);
    QLabel* file = Label("lAutoSaveDir");
    file->setGeometry(mySpace, useTop + rowH + lToCb, w - 2 * mySpace, labelH);
    const int startTop = file->y() + labelH + mySpace;
    TickBox("pbAutoStart")->setGeometry(mySpace, startTop, tickW, rowH);
    TickBox("pbReadOnly")->setGeometry(mySpace, startTop + rowH, tickW, rowH);
    TickBox("pbSFTPUse")->setGeometry(rightX, startTop, buttonW, rowH);
    Box("pbSFTPConfig")->setGeometry(rightX, startTop + rowH, buttonW, rowH);
    QLabel* interval = Label("lIntervall");
    interval->setGeometry(mySpace, startTop + 2 * rowH + mySpace, tickW, labelH);
    QComboBox* combo = Combo("cbIntervall");
    combo->setGeometry(mySpace, interval->y() + labelH + lToCb, tickW, combo->sizeHint().height());
    showFNL();
    showDNL();
    return combo->geometry().bottom() + 1;
}

void TvtpOptionen::SetAutoFn(bool on) {
    Tick("sAutoFn").SetSelected(on);
    TickBox("pbAutoFn")->Invalidate();
}
bool TvtpOptionen::GetAutoFn() const { return const_cast<TvtpOptionen*>(this)->Tick("sAutoFn").GetIsSelected(); }

void TvtpOptionen::SetUseFn(bool on) {
    Tick("sUseFn").SetSelected(on);
    AutoStartRule();
}
bool TvtpOptionen::GetUseFn() const { return const_cast<TvtpOptionen*>(this)->Tick("sUseFn").GetIsSelected(); }

void TvtpOptionen::SetAutoStart(bool on) {
    Tick("sAutoStart").SetSelected(on);
    AutoStartRule();
}

bool TvtpOptionen::GetAutostart() const {
    TSelBox& tick = const_cast<TvtpOptionen*>(this)->Tick("sAutoStart");
    return tick.GetIsSelected() && tick.GetIsEnabled();
}

void TvtpOptionen::checkAutoStart() { AutoStartRule(); }

// An automatic start needs a fixed or an automatic file name.
void TvtpOptionen::AutoStartRule() {
    const bool possible = Tick("sUseFn").GetIsSelected() || Tick("sAutoFn").GetIsSelected();
    TSelBox& autoStart = Tick("sAutoStart");
    if (!possible) autoStart.SetSelected(false);
    autoStart.SetEnable(possible);
    for (const char* name : {"pbAutoFn", "pbUseFn", "pbAutoStart"}) TickBox(name)->Invalidate();
}

void TvtpOptionen::SetReadOnly(bool on) {
    Tick("sReadOnly").SetSelected(on);
    TickBox("pbReadOnly")->Invalidate();
}
bool TvtpOptionen::GetReadOnly() const { return const_cast<TvtpOptionen*>(this)->Tick("sReadOnly").GetIsSelected(); }

void TvtpOptionen::SetSaveInterval(int32_t seconds) {
    SelectByData(Combo("cbIntervall"), seconds, kIntervalDefaultIndex);
}
int32_t TvtpOptionen::GetSaveInterval() const {
    QComboBox* c = Combo("cbIntervall");
    return c->currentIndex() < 0 ? 60 : c->currentData().toInt();
}

void TvtpOptionen::showFNL() {
    QLabel* label = Label("lAutoSaveDir");
    const QString prefix = GetLangText(384) + QStringLiteral(": ");
    label->setToolTip(QDir::toNativeSeparators(fnl));
    const int room = Box("pbSelFile")->x() - 2 * mySpace;
    label->setText(FittedPathText(label->fontMetrics(), prefix, SymbolicPath(fnl), room));
}

void TvtpOptionen::showDNL() {
    QLabel* label = Label("lAutoSaveFN");
    const QString prefix = GetLangText(383) + QStringLiteral(": ");
    label->setToolTip(QDir::toNativeSeparators(dnl));
    const int room = Box("pbSelDir")->x() - 2 * mySpace;
    label->setText(FittedPathText(label->fontMetrics(), prefix, SymbolicPath(dnl), room));
    if (TPaintBox32* preview = Box("pbFNPreview")) preview->Invalidate();
}

void TvtpOptionen::SetSFTPUse(bool on) {
    Tick("sSFTPUse").SetSelected(on);
    TickBox("pbSFTPUse")->Invalidate();
}
bool TvtpOptionen::GetSFTPUse() const { return const_cast<TvtpOptionen*>(this)->Tick("sSFTPUse").GetIsSelected(); }

// --- Audio recording ---

void TvtpOptionen::BuildRecordingPage() {
    QWidget* page = Page(tsRecording);
    TTickRows* rec = NewTicks(page, "pbRecPeak", {"sRecPeak"});
    Tick("sRecPeak").SetLabel(882);
    rec->OnToggled = [this](int) { RecordingRule(); };
    const struct {
        const char* slider;
        const char* label;
        int lo, hi, step;
        int32_t hint;
    } sliders[] = {{"tbRecVor", "lRecVor", 1, 10, 1, 887},
                   {"tbRecNach", "lREcNach", 1, 10, 1, 888},
                   {"tbRecMax", "lRecMax", 10, 120, 10, 889}};
    for (const auto& s : sliders) {
        auto* slider = new QSlider(Qt::Horizontal, page);
        slider->setObjectName(QString::fromLatin1(s.slider));
        slider->setRange(s.lo, s.hi);
        slider->setSingleStep(s.step);
        slider->setPageStep(s.step == 1 ? 1 : 20);
        slider->setTickInterval(s.step == 1 ? 1 : 10);
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setToolTip(GetLangText(s.hint));
        connect(slider, &QSlider::valueChanged, this, [this] { RecordingLabels(); });
        NewLabel(page, s.label, QString());
    }
    NewTicks(page, "pbRecSubDir", {"sRecSubDir"});
    Tick("sRecSubDir").SetLabel(1258);
    RecordingLabels();
}

int TvtpOptionen::LayoutRecordingPage(int w) {
    const int rowH = RoundI(33 * localSf);
    TickBox("pbRecPeak")->setGeometry(mySpace, mySpace, w - 2 * mySpace, rowH);
    int top = mySpace + rowH + mySpace;
    const int sliderW = RoundI(w * 0.4);
    for (const auto& [slider, label] : {std::pair{"tbRecVor", "lRecVor"}, std::pair{"tbRecNach", "lREcNach"},
                                        std::pair{"tbRecMax", "lRecMax"}}) {
        QSlider* s = Slider(slider);
        s->setGeometry(mySpace, top, sliderW, RoundI(30 * localSf));
        QLabel* l = Label(label);
        l->setGeometry(mySpace + sliderW + mySpace / 2, top, w - sliderW - 2 * mySpace, s->height());
        top += s->height() + mySpace;
    }
    TickBox("pbRecSubDir")->setGeometry(mySpace, top, w - 2 * mySpace, rowH);
    return top + rowH;
}

void TvtpOptionen::RecordingRule() {
    const bool on = Tick("sRecPeak").GetIsSelected();
    for (const char* name : {"tbRecVor", "tbRecNach", "tbRecMax"}) Slider(name)->setEnabled(on);
    const bool maxShown = !Slider("tbRecMax")->isHidden();
    Label("lRecMax")->setVisible(maxShown);
    TickBox("pbRecSubDir")->setVisible(maxShown);
    TickBox("pbRecPeak")->Invalidate();
}

void TvtpOptionen::RecordingLabels() {
    const struct {
        const char* slider;
        const char* label;
        int32_t text;
    } rows[] = {{"tbRecVor", "lRecVor", 883}, {"tbRecNach", "lREcNach", 884}, {"tbRecMax", "lRecMax", 885}};
    for (const auto& r : rows)
        Label(r.label)->setText(QString::number(Slider(r.slider)->value()) + QStringLiteral("s ") +
                                GetLangText(r.text));
}

void TvtpOptionen::SetRecPeak(bool on) {
    Tick("sRecPeak").SetSelected(on);
    RecordingRule();
}
bool TvtpOptionen::GetRecPeak() const { return const_cast<TvtpOptionen*>(this)->Tick("sRecPeak").GetIsSelected(); }
void TvtpOptionen::SetUseRecSubDir(bool on) {
    Tick("sRecSubDir").SetSelected(on);
    RecordingRule();
}
bool TvtpOptionen::GetUseRecSubDir() const {
    return const_cast<TvtpOptionen*>(this)->Tick("sRecSubDir").GetIsSelected();
}

void TvtpOptionen::SetRecordingTimes(int32_t before, int32_t after, int32_t longest) {
    Slider("tbRecVor")->setValue(before);
    Slider("tbRecNach")->setValue(after);
    Slider("tbRecMax")->setValue(longest);
    RecordingLabels();
}
int32_t TvtpOptionen::GetRecBefore() const { return Slider("tbRecVor")->value(); }
int32_t TvtpOptionen::GetRecAfter() const { return Slider("tbRecNach")->value(); }
int32_t TvtpOptionen::GetRecMax() const { return Slider("tbRecMax")->value(); }

// --- The file-name builder (page without a tab) ---

void TvtpOptionen::BuildNamesPage() {
    QWidget* page = Page(tsDateiNamen);
    auto* preview = new TPaintBox32(page);
    preview->setObjectName(QStringLiteral("pbFNPreview"));
    preview->OnPaintBuffer = [this](TPaintBox32* box) { PaintPreview(box); };
    preview->OnMouseDown = [](TPaintBox32* box, Qt::MouseButton, int, int) {
        box->Tag = 1;
        box->Invalidate();
    };
    preview->OnMouseUp = [](TPaintBox32* box, Qt::MouseButton, int, int) {
        box->Tag = 0;
        box->Invalidate();
    };
    for (int32_t slot = 0; slot < 3; ++slot) {
        auto* button = new TPaintBox32(page);
        button->setObjectName(QString::fromLatin1(kPartButtons[slot]));
        button->OnPaintBuffer = [this, slot](TPaintBox32* box) { PaintPartButton(box, slot); };
        button->OnMouseEnter = [](TPaintBox32* box) { box->Tag = 1; box->Invalidate(); };
        button->OnMouseLeave = [](TPaintBox32* box) { box->Tag = 0; box->Invalidate(); };
        button->OnMouseDown = [this, slot](TPaintBox32* box, Qt::MouseButton, int, int) {
            if (QMenu* menu = PartMenu(slot)) menu->popup(box->mapToGlobal(QPoint(0, box->height())));
            box->Tag = 0;
            box->Invalidate();
        };
        QLineEdit* edit = NewEdit(page, kFreeTexts[slot]);
        edit->setMaxLength(40);
        connect(edit, &QLineEdit::textEdited, this, [this, slot](const QString& text) {
            if (TVtNameCreator* names = nameCreator.load()) names->SetFreeText(slot, text);
            Box("pbFNPreview")->Invalidate();
        });
    }
    for (int32_t gap = 0; gap < 2; ++gap) {
        auto* button = new TPaintBox32(page);
        button->setObjectName(QString::fromLatin1(kSepButtons[gap]));
        button->OnPaintBuffer = [this, gap](TPaintBox32* box) { PaintSeparatorButton(box, gap); };
        button->OnMouseEnter = [](TPaintBox32* box) { box->Tag = 1; box->Invalidate(); };
        button->OnMouseLeave = [](TPaintBox32* box) { box->Tag = 0; box->Invalidate(); };
        button->OnMouseDown = [this, gap](TPaintBox32* box, Qt::MouseButton, int, int) {
            if (QMenu* menu = SeparatorMenu(gap)) menu->popup(box->mapToGlobal(QPoint(0, box->height())));
        };
    }
    NewButton(page, "pbSelDirFN", 369, [this] { ChooseSaveFolder(); });
    NewButton(page, "pbNCDateFormat", 1230, [this] {
        if (QMenu* menu = DateFormatMenu()) {
            TPaintBox32* b = Box("pbNCDateFormat");
            menu->popup(b->mapToGlobal(QPoint(0, b->height())));
        }
    });
    TPaintBox32* reset = NewButton(page, "pbFNCResetRunningNumber", 1232, [] {});
    reset->OnClick = nullptr;
    reset->OnMouseDown = [this](TPaintBox32* box, Qt::MouseButton, int, int) {
        ButtonMouseDown(box);
        ResetRunningNumber();
    };

    pmFNP = new QMenu(this);
    pmFNTrenner = new QMenu(this);
    pmNCDateFormat = new QMenu(this);
    AddMenuHeader(pmNCDateFormat, GetLangText(1230));
    const platform::TDateTime now = CorrectedNow();
    for (int32_t id = 1; id <= kDateLayoutCount; ++id) {
        QAction* item = pmNCDateFormat->addAction(TVtNameCreator::FormatDate(now, id));
        item->setData(id);
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, id] { ChooseDateFormat(id); });
    }
    SlotVisibilityRule();
}

int TvtpOptionen::LayoutNamesPage(int w) {
    const int rowH = RoundI(33 * localSf);
    Box("pbFNPreview")->setGeometry(mySpace, mySpace, w - 2 * mySpace, rowH);
    Box("pbFNPreview")->Buffer().Font.height = RoundI(-12 * localSf);
    const int partW = (w - 2 * mySpace - 66) / 3;
    int x = mySpace;
    const int top = 2 * mySpace + rowH;
    for (int i = 0; i < 3; ++i) {
        Box(kPartButtons[i])->setGeometry(x, top, partW, rowH);
        Edit(kFreeTexts[i])->setGeometry(x, top + rowH + mySpace, partW, rowH);
        x += partW;
        if (i < 2) {
            Box(kSepButtons[i])->setGeometry(x, top, 33, rowH);
            x += 33;
        }
    }
    if (TVtNameCreator* names = nameCreator.load())
        for (int i = 0; i < 3; ++i) Edit(kFreeTexts[i])->setText(names->GetFreeText(i));
    const int buttonW = RoundI(220 * localSf);
    const int editBottom = top + 2 * rowH + mySpace;
    // The three buttons stand under the part row at the bottom right.
    int y = editBottom + mySpace;
    for (const char* name : {"pbFNCResetRunningNumber", "pbNCDateFormat", "pbSelDirFN"}) {
        Box(name)->setGeometry(w - mySpace - buttonW, y, buttonW, rowH);
        y += rowH + mySpace;
    }
    return y - mySpace;
}

QString TvtpOptionen::PreviewPath() const {
    TVtNameCreator* names = nameCreator.load();
    if (names == nullptr) return QString();
    return QDir(dnl).filePath(names->CreateSaveName(CorrectedNow()));
}

bool TvtpOptionen::PreviewRed() const {
    const QString path = PreviewPath();
    return !path.isEmpty() && QFileInfo::exists(path);
}

void TvtpOptionen::PaintPreview(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    const QString path = PreviewPath();
    b.Clear(PreviewRed() ? Opaque32(255, 0, 0) : clBack32);
    if (path.isEmpty()) return;
    b.Font.bold = true;
    b.Font.color = clText;
    b.Font.height = RoundI(-12 * localSf);
    const QString shown = box->Tag == 1 ? QDir::toNativeSeparators(path) : SymbolicPath(path);
    b.DrawText(box->ClientRect().adjusted(4, 0, -4, 0), shown, kTextLeft | kTextVCenter | kTextSingleLine |
                                                                   kTextPathEllipsis);
}

void TvtpOptionen::PaintPartButton(TPaintBox32* box, int32_t slot) {
    TBitmap32& b = box->Buffer();
    b.Clear(box->Tag == 1 ? clHover32 : clBack32);
    b.FrameRect(box->ClientRect(), clButtonLine32);
    TVtNameCreator* names = nameCreator.load();
    if (names == nullptr) return;
    b.Font.height = RoundI(-12 * localSf);
    b.Font.color = clText;
    b.DrawText(box->ClientRect(), names->GetNamePart(names->GetPartMode(slot)),
               kTextCenter | kTextVCenter | kTextSingleLine | kTextEndEllipsis);
}

void TvtpOptionen::PaintSeparatorButton(TPaintBox32* box, int32_t gap) {
    TBitmap32& b = box->Buffer();
    b.Clear(box->Tag == 1 ? clHover32 : clBack32);
    TVtNameCreator* names = nameCreator.load();
    if (names != nullptr) {
        const double w = box->width();
        const double h = box->height();
        auto canvas = CreateCanvas32(b);
        canvas->FillBrush().visible = false;
        canvas->StrokeBrush().color = clButtonLine32;
        canvas->StrokeBrush().width = 3 * localSf;
        switch (names->GetSeparatorId(gap)) {
        case kSepHyphen: canvas->Line({0.2 * w, 0.5 * h}, {0.8 * w, 0.5 * h}); break;
        case kSepUnderscore: canvas->Line({0.2 * w, 0.9 * h}, {0.8 * w, 0.9 * h}); break;
        case kSepSpace:
            canvas->Polyline({{0.2 * w, 0.7 * h}, {0.2 * w, 0.9 * h}, {0.8 * w, 0.9 * h}, {0.8 * w, 0.7 * h}});
            break;
        default: break;
        }
    }
    b.FrameRect(box->ClientRect(), clButtonLine32);
}

void TvtpOptionen::SlotVisibilityRule() {
    TVtNameCreator* names = nameCreator.load();
    if (names == nullptr) return;
    const bool third = !names->IsPartEmpty(1);
    Box("pbFN3")->setVisible(third);
    Box("pbFnS1")->setVisible(third);
    Box("pbFNS2")->setVisible(third && !names->IsPartEmpty(2));
    Edit("eFN1")->setVisible(names->GetPartMode(0) == kNamePartFreeText);
    Edit("eFN2")->setVisible(names->GetPartMode(1) == kNamePartFreeText);
    Edit("eFN3")->setVisible(names->GetPartMode(2) == kNamePartFreeText && third);
    Box("pbFNPreview")->Invalidate();
}

QMenu* TvtpOptionen::PartMenu(int32_t slot) {
    TVtNameCreator* names = nameCreator.load();
    if (names == nullptr) return nullptr;
    pmFNP->clear();
    AddMenuHeader(pmFNP, GetLangText(1229) + QLatin1Char(' ') + QString::number(slot + 1));
    for (const int32_t part : kPartOrder) {
        if (part == kNamePartEmpty && slot == 0) continue;
        QAction* item = pmFNP->addAction(names->GetNamePart(part));
        item->setData(part);
        item->setCheckable(true);
        item->setChecked(names->GetPartMode(slot) == part);
        connect(item, &QAction::triggered, this, [this, slot, part] { ChooseNamePart(slot, part); });
    }
    return pmFNP;
}

void TvtpOptionen::ChooseNamePart(int32_t slot, int32_t part) {
    TVtNameCreator* names = nameCreator.load();
    if (names == nullptr) return;
    names->SetPartId(slot, part);
    SlotVisibilityRule();
    Box(kPartButtons[slot])->Invalidate();
}

QMenu* TvtpOptionen::SeparatorMenu(int32_t gap) {
    TVtNameCreator* names = nameCreator.load();
    if (names == nullptr) return nullptr;
    pmFNTrenner->clear();
    AddMenuHeader(pmFNTrenner, GetLangText(1227) + QLatin1Char(' ') + QString::number(gap + 1));
    for (const int32_t sep : kSepOrder) {
        QAction* item = pmFNTrenner->addAction(names->GetSepInfo(sep));
        item->setData(sep);
        item->setCheckable(true);
        item->setChecked(names->GetSeparatorId(gap) == sep);
        connect(item, &QAction::triggered, this, [this, gap, sep] { ChooseSeparator(gap, sep); });
    }
    return pmFNTrenner;
}

void TvtpOptionen::ChooseSeparator(int32_t gap, int32_t sepId) {
    TVtNameCreator* names = nameCreator.load();
    if (names == nullptr) return;
    names->SetSepId(gap, sepId);
    Box(kSepButtons[gap])->Invalidate();
    Box("pbFNPreview")->Invalidate();
}

QMenu* TvtpOptionen::DateFormatMenu() {
    TVtNameCreator* names = nameCreator.load();
    if (names == nullptr) return nullptr;
    for (QAction* item : pmNCDateFormat->actions())
        if (item->isCheckable()) item->setChecked(item->data().toInt() == names->GetDateModeFormatId());
    return pmNCDateFormat;
}

void TvtpOptionen::ChooseDateFormat(int32_t id) {
    TVtNameCreator* names = nameCreator.load();
    if (names == nullptr) return;
    names->SetVtDateFormat(id);
    Box("pbFNPreview")->Invalidate();
}

void TvtpOptionen::ResetRunningNumber() {
    TVtNameCreator* names = nameCreator.load();
    if (names == nullptr) return;
    names->ResetRunningNumber();
    Box("pbFNPreview")->Invalidate();
}

void TvtpOptionen::ChooseSaveFolder() {
    const QString start = QFileInfo(dnl).isDir() ? dnl : QDir::rootPath();
    const std::optional<QString> chosen = settingsPrompts().folder(this, GetLangText(369), start);
    if (chosen) dnl = *chosen;
    showDNL();
}
