#include "main/display_picker.h"

#include <QKeyEvent>

#include <algorithm>
#include <cstdlib>

#include "main/main_window.h"
#include "platform/user_dialogs.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kPickerWidth = 540;
constexpr int kSeparatorHeight = 8;
constexpr int kMargin = 10;
constexpr int kDescriptionRows = 8;
constexpr int32_t kLeqElement = 2;
constexpr int32_t kLeqFullElement = 15;
constexpr int32_t kLeqWholeMeasurement = -2;
constexpr int32_t kPopupMs = 5000;
constexpr int32_t kChangeAnswer = 3;
const QString kBreak = QStringLiteral("\r\n");
const QString kParagraph = kBreak + kBreak;

QString LetterOf(int32_t entry) { return WeightingLetter(curPreset.messungen[entry].Filter); }

QString EntryLabel(int32_t entry, bool withMode) {
    return MeasureDurationText(curPreset.messungen[entry], withMode, language.load());
}

QString ShortTermLabel() {
    const TDaten* store = defaultDaten.load();
    return store ? store->GetLEQKLabel(language.load()) : EntryLabel(kPresetEntryLeqK, false);
}

int32_t StoreShortTermSeconds() {
    const TDaten* store = defaultDaten.load();
    return store ? store->GetLEQKurzDauer() : curPreset.messungen[kPresetEntryLeqK].Dauer;
}

QString LeqDescription() {
    QString text = EntryLabel(kPresetEntryLeq, true) + kParagraph;
    if (curPreset.messungen[kPresetEntryLeq].Dauer <= 0) {
        const TDaten* store = defaultDaten.load();
        const int32_t seconds = store ? store->GetLEQDauer() : curPreset.messungen[kPresetEntryLeq].Dauer;
        text += WithTextArgument(GetLangText(141), QString::number(std::abs(seconds) / 60)) + GetLangText(142);
    } else {
        text += GetLangText(140);
    }
    return text;
}

// The search mode shows its own elements in the four areas.
constexpr std::array<int32_t, 4> kSearchElements{14, 20, 102, 103};

}  // namespace

QString GetDisplayElementName(int32_t element) {
    if (element == 0) return GetLangText(409);
    if (element >= 1 && element <= 12) return GetLangText(409 + element);
    switch (element) {
    case 13: return WithTextArgument(GetLangText(422), LetterOf(kPresetEntryLeq));
    case 14: return WithTextArgument(GetLangText(423), LetterOf(kPresetEntryLeq));
    case 19: return WithTextArgument(GetLangText(422), LetterOf(kPresetEntryPeak));
    case 20: return WithTextArgument(GetLangText(423), LetterOf(kPresetEntryPeak));
    case 15: return GetLangText(710);
    case 16: return GetLangText(389);
    case 17: return GetLangText(304);
    case 18: return GetLangText(301);
    case 201: return GetLangText(1180);
    case 202: return GetLangText(1182);
    default: return QString();
    }
}

QString GetDisplayElementInfo(int32_t element) {
    if (element == kLeqElement && curPreset.messungen[kPresetEntryLeq].Dauer == kLeqWholeMeasurement) {
        element = kLeqFullElement;
    }
    const QString k = ShortTermLabel();
    switch (element) {
    case 0: return GetLangText(139);
    case 1:
        return EntryLabel(kPresetEntryLeqK, false) + kParagraph +
               WithTextArgument(GetLangText(143), QString::number(StoreShortTermSeconds()));
    case 2:
    case 3: return LeqDescription();
    case 4: return GetLangText(146);
    case 5:
        return GetLangText(147) + k + QStringLiteral(")") + kParagraph + GetLangText(148) +
               QString::number(StoreShortTermSeconds()) + GetLangText(149);
    // The caption names the short-term maximum, which is what this element shows.
    case 6: return WithTextArgument(GetLangText(127), k) + kParagraph + GetLangText(151);
    case 7: return GetLangText(150);
    case 8: return GetLangText(152);
    case 9: return GetLangText(131) + k + QStringLiteral(")") + kParagraph + GetLangText(153);
    case 10: return GetLangText(154);
    case 11: return GetLangText(133) + k + QStringLiteral(")") + kParagraph + GetLangText(155);
    case 12: return GetLangText(156);
    case 13: return WithTextArgument(GetLangText(157), LetterOf(kPresetEntryLeq));
    case 14: return WithTextArgument(GetLangText(158), LetterOf(kPresetEntryLeq));
    case 19: return WithTextArgument(GetLangText(157), LetterOf(kPresetEntryPeak));
    case 20: return WithTextArgument(GetLangText(158), LetterOf(kPresetEntryPeak));
    case 15: return GetLangText(711);
    case 16: return GetDisplayElementName(16) + kParagraph + WithTextArgument(GetLangText(1040), QStringLiteral("dB"));
    case 17: return GetDisplayElementName(17) + kParagraph + WithTextArgument(GetLangText(1041), QStringLiteral("dB"));
    case 18: return GetDisplayElementName(18) + kParagraph + WithTextArgument(GetLangText(1042), QStringLiteral("dB"));
    case 101: return GetLangText(159);
    case 102: return GetLangText(160).replace(QStringLiteral("%s"), LetterOf(kPresetEntryLeq));
    case 103: return GetLangText(160).replace(QStringLiteral("%s"), LetterOf(kPresetEntryPeak));
    case 201:
    case 202: return GetLangText(1181);
    default: return QString();
    }
}

QString AreaCaption(int32_t area) {
    static constexpr std::array<int32_t, 4> kIds{94, 93, 90, 91};
    return area >= 1 && area <= 4 ? GetLangText(kIds[area - 1]) : GetLangText(92);
}

intptr_t PickerAnswer(int32_t targetArea, int32_t element) {
    return (static_cast<intptr_t>(targetArea & 15) << 16) + element;
}

const std::array<PickerRow, kPickerRowCount>& PickerRows() {
    static const std::array<PickerRow, kPickerRowCount> rows{{
        {438, -1},  {411, 2},   {412, 3},   {421, 12}, {710, 15}, {439, -1},  {410, 1},   {389, -1},
        {1110, 16}, {304, 17},  {301, 18},  {1036, -1}, {413, 4},  {414, 5},   {1039, -1}, {416, 7},
        {415, 6},   {1037, -1}, {417, 8},   {418, 9},  {419, 10}, {420, 11},  {1038, -1}, {422, 13},
        {423, 14},  {422, 19},  {423, 20},  {366, -1}, {1180, 201}, {1182, 202}, {1155, 0},
    }};
    return rows;
}

QString PickerRowText(int32_t row) {
    if (row < 0 || row >= kPickerRowCount) return QString();
    const PickerRow& r = PickerRows()[row];
    if (r.textId == 422 || r.textId == 423) return GetDisplayElementName(r.element);
    return GetLangText(r.textId);
}

// ---------------------------------------------------------------------------

TSelectDisplay::TSelectDisplay(QWidget* owner) : QWidget(owner, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("SelectDisplay"));
    setFont(QFont(QStringLiteral("Tahoma")));
    setAutoFillBackground(true);
    setPalette(SchemeWidgetPalette(palette()));
    // The scale of the screen it opens on, as a change of screen would set it.
    mySf = LogicalDpiOf(owner) / 96.0;
    pbTop = new TPaintBox32(this);
    pbBottom = new TPaintBox32(this);
    pTrenn = new QWidget(this);
    pTrenn->setAutoFillBackground(true);
    for (size_t i = 0; i < aId.size(); ++i) aId[i] = PickerRows()[i].element;
    pbTop->OnPaintBuffer = [this](TPaintBox32* box) { PaintList(box); };
    pbBottom->OnPaintBuffer = [this](TPaintBox32* box) { PaintDescription(box); };
    pbTop->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton, int, int y) { ListMouseDown(y); };
    pbBottom->setMouseTracking(true);
    pbBottom->OnMouseMove = [this](TPaintBox32*, int x, int y) { ButtonsMouseMove(x, y); };
    pbBottom->OnMouseLeave = [](TPaintBox32* box) {
        box->Tag = 0;
        box->Invalidate();
    };
    pbBottom->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton, int x, int y) {
        bOk = rOk.contains(x, y);
        bCancel = rCancel.contains(x, y);
        pbBottom->Invalidate();
    };
    pbBottom->OnMouseUp = [this](TPaintBox32*, Qt::MouseButton, int x, int y) { ButtonsMouseUp(x, y); };
    FormResize();
}

int32_t TSelectDisplay::FontHeight() const { return RoundI(-12 * mySf); }

void TSelectDisplay::FormResize() {
    TBitmap32 probe(1, 1);
    probe.Font.height = FontHeight();
    probe.Font.bold = true;
    yStep = RoundI(1.1 * probe.TextHeight(QStringLiteral("Igq1")));
    const int bottomHeight = kDescriptionRows * yStep + 20;
    setFixedSize(kPickerWidth, kPickerRowCount * yStep + bottomHeight + kSeparatorHeight + 20);
    PlacePanes();
}

void TSelectDisplay::PlacePanes() {
    const int bottomHeight = kDescriptionRows * yStep + 20;
    const int listHeight = std::max(0, height() - bottomHeight - kSeparatorHeight);
    pbTop->setGeometry(0, 0, width(), listHeight);
    pTrenn->setGeometry(0, listHeight, width(), kSeparatorHeight);
    pbBottom->setGeometry(0, listHeight + kSeparatorHeight, width(), bottomHeight);
    const int w = pbBottom->width();
    const int h = pbBottom->height();
    rOk = QRect(QPoint(w - 156, h - 39), QPoint(w - 6 - 1, h - 6 - 1));
    rCancel = QRect(QPoint(w - 156, h - 78), QPoint(w - 6 - 1, h - 45 - 1));
}

void TSelectDisplay::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlacePanes();
}

void TSelectDisplay::SetCurrentId(int32_t newId, int32_t targetArea) {
    myTargetId = targetArea;
    setWindowTitle(AreaCaption(targetArea));
    currentId = targetArea >= 1 && targetArea <= 4 ? newId : 0;
    RepaintBoth();
}

void TSelectDisplay::RepaintBoth() {
    pbTop->Invalidate();
    pbBottom->Invalidate();
}

void TSelectDisplay::PaintList(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    for (int32_t i = 0; i < kPickerRowCount; ++i) {
        const int y = kMargin + i * yStep;
        const bool selected = aId[i] >= 0 && aId[i] == currentId;
        if (selected) b.FillRect(QRect(0, y, b.Width(), yStep), clSelected32);
        b.Font = TFont32{};
        b.Font.height = FontHeight();
        b.Font.bold = aId[i] < 0;
        b.Font.color = selected ? clBack : clText;
        b.DrawText(QRect(kMargin, y, std::max(0, b.Width() - 2 * kMargin), yStep), PickerRowText(i),
                   kTextSingleLine | kTextVCenter | kTextEndEllipsis);
    }
}

void TSelectDisplay::PaintDescription(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    if (currentId >= 0) {
        b.Font = TFont32{};
        b.Font.height = FontHeight();
        b.Font.color = clText;
        const QRect text(kMargin, kMargin, std::max(0, RoundI(0.7 * b.Width()) - kMargin),
                         std::max(0, b.Height() - kMargin));
        b.DrawText(text, QString(GetDisplayElementInfo(currentId)).replace(kBreak, QStringLiteral("\n")),
                   kTextWordBreak);
    }
    const intptr_t hover = box->Tag;
    SetButtonFont(box, UIScale);
    const intptr_t saved = box->Tag;
    if (currentId >= 0) {
        box->Tag = hover == 1 ? kButtonHot : kButtonIdle;
        PaintFlatButton(box, rOk, GetLangText(1054), true, false, false, false);
    }
    box->Tag = hover == 2 ? kButtonHot : kButtonIdle;
    PaintFlatButton(box, rCancel, GetLangText(403), true, false, false, false);
    box->Tag = saved;
}

int32_t TSelectDisplay::RowOfCurrent() const {
    for (int32_t i = kPickerRowCount - 1; i >= 0; --i) {
        if (aId[i] == currentId) return i;
    }
    return -1;
}

void TSelectDisplay::ListMouseDown(int y) {
    if (yStep < 1 || y < kMargin || y > pbTop->height() - kMargin) return;
    const int32_t row = (y - kMargin) / yStep;
    if (row >= kPickerRowCount) return;
    if (aId[row] >= 0) currentId = aId[row];
    RepaintBoth();
}

void TSelectDisplay::ButtonsMouseMove(int x, int y) {
    const intptr_t hover = rCancel.contains(x, y) ? 2 : (rOk.contains(x, y) ? 1 : 0);
    if (hover == pbBottom->Tag) return;
    pbBottom->Tag = hover;
    pbBottom->Invalidate();
}

void TSelectDisplay::ButtonsMouseUp(int x, int y) {
    if (rOk.contains(x, y) && currentId >= 0) AnswerOk();
    else if (rCancel.contains(x, y)) AnswerCancel();
}

void TSelectDisplay::keyPressEvent(QKeyEvent* event) {
    int32_t n = RowOfCurrent();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: AnswerOk(); return;
    case Qt::Key_Escape: AnswerCancel(); return;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End: break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
    // An element no row lists (a stored id outside the catalogue) has no
    // place to move from.
    if (n < 0) return;
    const int32_t last = kPickerRowCount - 1;
    switch (event->key()) {
    case Qt::Key_Up:
        if (n > 1) --n;
        while (n > 1 && aId[n] < 0) --n;
        break;
    case Qt::Key_Down:
        if (n < last) ++n;
        while (n < last && aId[n] < 0) ++n;
        break;
    case Qt::Key_Home: n = 1; break;
    default: n = last; break;
    }
    currentId = aId[n];
    RepaintBoth();
}

void TSelectDisplay::AnswerOk() { SendAnswer(PickerAnswer(myTargetId, currentId)); }
void TSelectDisplay::AnswerCancel() { SendAnswer(kPickerCancelAnswer); }

void TSelectDisplay::SendAnswer(intptr_t answer) {
    if (!platform::IsWindow(myMeHa)) return;
    bOk = bCancel = false;
    platform::PostMessage(myMeHa, WM_MAIN_NOTIFY, kNotifyDisplayElementChosen, answer);
}

// --- The main window's side ---

void TVTProMaster::ShowAreaInfo(int32_t area, QPoint global) {
    if (area < 1 || area > 4) return;
    pickArea.store(area);
    if (!settings_.showInfo) return;
    const bool search = fields_.isFindPeak.load();
    const int32_t element = search ? kSearchElements[area - 1] : areaChannel[area - 1].load();
    platform::InfoRequest r;
    r.x = global.x();
    r.y = global.y();
    r.place = 1;
    r.maxWidth = -1;
    r.timeoutMs = kPopupMs;
    r.header = AreaCaption(area);
    r.info = GetDisplayElementInfo(element);
    if (!search) {
        r.leftCaption = GetLangText(92);
        r.leftAnswer = kChangeAnswer;
    }
    r.rightCaption = GetLangText(19);
    r.rightAnswer = 0;
    platform::userDialogs()->ShowInfo(r);
}

void TVTProMaster::SelectDisplayElement(int32_t area) {
    if (!hSelDis_) {
        hSelDis_ = new TSelectDisplay(this);
        hSelDis_->move(geometry().center() - hSelDis_->rect().center());
    }
    const int32_t element = area >= 1 && area <= 4 ? areaChannel[area - 1].load() : -1;
    hSelDis_->show();
    hSelDis_->raise();
    hSelDis_->SetMeHa(handle_);
    hSelDis_->SetCurrentId(element, area);
}

void TVTProMaster::DisplayElementChosen(intptr_t answer) {
    if (answer > 0) {
        const int32_t area = static_cast<int32_t>((answer >> 16) & 0xFF);
        const int32_t element = static_cast<int32_t>(answer & 0xFF);
        if (area >= 1 && area <= 4) {
            areaChannel[area - 1].store(element);
            RefreshValueDisplays();
        }
    }
    if (hSelDis_) {
        hSelDis_->hide();
        hSelDis_->deleteLater();
        hSelDis_ = nullptr;
    }
}
