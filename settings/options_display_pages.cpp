// Options pages "Display" (what the four display areas show) and "Visual
// Indication" (flashing, bringing the window to the front, the Leq bar and
// the peak release of the level meter).
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

#include <cmath>

#include "settings/options_dialog.h"
#include "settings/tick_rows.h"
#include "store/measuring_preset.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_table.h"

namespace {

const char* const kAreaCombos[4] = {"cbOben", "cbMitte", "cbUntenLinks", "cbUntenRechts"};
const char* const kAreaGroups[4] = {"gbOben", "gbMitte", "gbUntenLinks", "gbUntenRechts"};
constexpr int32_t kAreaCaptions[4] = {94, 93, 90, 91};

struct Element {
    int32_t textId;
    int32_t id;
    int weighting;  // 0 none, 1 the Leq's letter, 2 the peak's letter
};
constexpr Element kElements[] = {
    {409, 0, 0},   {410, 1, 0},   {411, 2, 0},   {412, 3, 0},    {421, 12, 0},   {710, 15, 0},
    {413, 4, 0},   {414, 5, 0},   {415, 6, 0},   {416, 7, 0},    {417, 8, 0},    {418, 9, 0},
    {419, 10, 0},  {420, 11, 0},  {422, 13, 1},  {423, 14, 1},   {422, 19, 2},   {423, 20, 2},
    {1110, 16, 0}, {304, 17, 0},  {301, 18, 0},  {1180, 201, 0}, {1182, 202, 0}};

constexpr double kRlzSeconds[8] = {0.25, 0.5, 1, 2, 3, 4, 5, 0};
constexpr int kRlzDefaultIndex = 2;

QGroupBox* NewGroup(QWidget* parent, const char* name, const QString& title) {
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(QString::fromLatin1(name));
    return group;
}

}  // namespace

void TvtpOptionen::BuildLayoutPage() {
    QWidget* page = Page(tsLayout);
    const int32_t leqWeighting = curPreset.messungen[kPresetEntryLeq].Filter;
    const int32_t peakWeighting = curPreset.messungen[kPresetEntryPeak].Filter;
    for (int area = 0; area < 4; ++area) {
        QGroupBox* group = NewGroup(page, kAreaGroups[area], GetLangText(kAreaCaptions[area]));
        QComboBox* combo = NewCombo(group, kAreaCombos[area]);
        for (const Element& e : kElements) {
            QString text = GetLangText(e.textId);
            if (e.weighting != 0)
                text.replace(QStringLiteral("%s"), WeightingLetter(e.weighting == 1 ? leqWeighting : peakWeighting));
            combo->addItem(text, e.id);
        }
        combo->setMaxVisibleItems(15);
    }
    TTickRows* info = NewTicks(page, "pbAInfo", {"sAInfo"});
    Tick("sAInfo").SetLabel(444);
    (void)info;
}

int TvtpOptionen::LayoutLayoutPage(int w) {
    QWidget* page = Page(tsLayout);
    const int comboH = Combo("cbOben")->sizeHint().height();
    const int groupH = gbTop + comboH + mySpace;
    int top = mySpace;
    for (int area = 0; area < 2; ++area) {
        auto* group = page->findChild<QGroupBox*>(QString::fromLatin1(kAreaGroups[area]));
        group->setGeometry(mySpace, top, w - 2 * mySpace, groupH);
        Combo(kAreaCombos[area])->setGeometry(mySpace, gbTop, group->width() - 2 * mySpace, comboH);
        top += groupH + mySpace;
    }
    const int half = RoundI(w / 2.0 - 1.5 * mySpace);
    for (int area = 2; area < 4; ++area) {
        auto* group = page->findChild<QGroupBox*>(QString::fromLatin1(kAreaGroups[area]));
        const int left = area == 2 ? mySpace : 2 * mySpace + half;
        group->setGeometry(left, top, half, groupH);
        Combo(kAreaCombos[area])->setGeometry(mySpace, gbTop, half - 2 * mySpace, comboH);
    }
    top += groupH + mySpace;
    TickBox("pbAInfo")->setGeometry(mySpace, top, w - 2 * mySpace, RoundI(33 * localSf));
    return top + RoundI(33 * localSf);
}

// An element id that no item carries gives the area's own default item.
void TvtpOptionen::SetAreaElement(int32_t area, int32_t elementId) {
    if (area < 0 || area > 3) return;
    SelectByData(Combo(kAreaCombos[area]), elementId, area);
}

int32_t TvtpOptionen::GetAreaElement(int32_t area) const {
    if (area < 0 || area > 3) return 0;
    QComboBox* combo = Combo(kAreaCombos[area]);
    return combo->currentIndex() < 0 ? area : combo->currentData().toInt();
}

bool TvtpOptionen::SetShowInfoOnClick(bool show) {
    const bool changed = Tick("sAInfo").SetSelected(show);
    if (changed) TickBox("pbAInfo")->Invalidate();
    return changed;
}

bool TvtpOptionen::GetShowInfoOnClick() const {
    return const_cast<TvtpOptionen*>(this)->Tick("sAInfo").GetIsSelected();
}

// --- Visual indication ---

void TvtpOptionen::BuildInfoPage() {
    QWidget* page = Page(tsInfo);
    QGroupBox* blink = NewGroup(page, "gbBlink", GetLangText(455));
    QComboBox* cbBlink = NewCombo(blink, "cbBlink");
    for (int32_t id = 459; id <= 464; ++id) cbBlink->addItem(GetLangText(id), id - 459);
    NewTicks(blink, "pbFlashRed", {"sFlashRed"});
    Tick("sFlashRed").SetLabel(1172);

    QGroupBox* autoShow = NewGroup(page, "gbAutoShow", GetLangText(456));
    QComboBox* mode = NewCombo(autoShow, "cbAEMode");
    for (int32_t i = 0; i <= 4; ++i) mode->addItem(GetLangText(465 + i), i);
    NewLabel(autoShow, "lThresholdBlink", GetLangText(457));
    QComboBox* limit = NewCombo(autoShow, "cbAELimit");
    const int32_t limits[] = {10, 5, 3, 2, 1, 0};
    for (int i = 0; i < 6; ++i) limit->addItem(GetLangText(470 + i), limits[i]);

    QGroupBox* bar = NewGroup(page, "gbLeqBar", GetLangText(445));
    NewTicks(bar, "pbLeqBar", {"sLeqBar"});
    Tick("sLeqBar").SetLabel(446);
    QGroupBox* release = NewGroup(page, "gbRuecklaufzeit", GetLangText(442));
    QComboBox* rlz = NewCombo(release, "cbRLZ");
    for (int i = 0; i < 8; ++i) rlz->addItem(GetLangText(447 + i), i);
}

int TvtpOptionen::LayoutInfoPage(int w) {
    QWidget* page = Page(tsInfo);
    const int comboH = Combo("cbBlink")->sizeHint().height();
    const int rowH = RoundI(33 * localSf);
    auto* blink = page->findChild<QGroupBox*>(QStringLiteral("gbBlink"));
    blink->setGeometry(mySpace, mySpace, w - 2 * mySpace, gbTop + std::max(comboH, rowH) + mySpace);
    const int middle = blink->width() / 2;
    Combo("cbBlink")->setGeometry(mySpace, gbTop, middle - mySpace, comboH);
    TickBox("pbFlashRed")->setGeometry(middle + mySpace, gbTop + (comboH - rowH) / 2, middle - 2 * mySpace, rowH);

    auto* autoShow = page->findChild<QGroupBox*>(QStringLiteral("gbAutoShow"));
    const int autoTop = blink->geometry().bottom() + 1 + mySpace;
    autoShow->setGeometry(mySpace, autoTop, w - 2 * mySpace, gbTop + 2 * comboH + 2 * mySpace);
    Combo("cbAEMode")->setGeometry(mySpace, gbTop, autoShow->width() - 2 * mySpace, comboH);
    QLabel* threshold = Label("lThresholdBlink");
    threshold->adjustSize();
    const int limitTop = gbTop + comboH + mySpace;
    threshold->move(mySpace, limitTop + (comboH - threshold->height()) / 2);
    const int limitLeft = threshold->x() + threshold->width() + mySpace / 2;
    Combo("cbAELimit")->setGeometry(limitLeft, limitTop, autoShow->width() - limitLeft - mySpace, comboH);

    const int lowTop = autoShow->geometry().bottom() + 1 + mySpace;
    const int half = RoundI(w / 2.0 - 1.5 * mySpace);
    const int lowH = gbTop + std::max(rowH, comboH) + mySpace;
    page->findChild<QGroupBox*>(QStringLiteral("gbLeqBar"))->setGeometry(mySpace, lowTop, half, lowH);
    TickBox("pbLeqBar")->setGeometry(mySpace, gbTop, half - 2 * mySpace, rowH);
    page->findChild<QGroupBox*>(QStringLiteral("gbRuecklaufzeit"))
        ->setGeometry(2 * mySpace + half, lowTop, w - 3 * mySpace - half, lowH);
    Combo("cbRLZ")->setGeometry(mySpace, gbTop, w - 5 * mySpace - half, comboH);
    return lowTop + lowH;
}

void TvtpOptionen::SetBlinkMode(uint32_t mode) {
    Tick("sFlashRed").SetSelected((mode & 0x10) != 0);
    const int index = static_cast<int>(mode & 0xF);
    // A stored index no item has would leave the list without a choice.
    Combo("cbBlink")->setCurrentIndex(index < Combo("cbBlink")->count() ? index : 0);
    TickBox("pbFlashRed")->Invalidate();
}

int32_t TvtpOptionen::GetBlinkMode() const {
    const int index = std::max(0, Combo("cbBlink")->currentIndex());
    return index + (const_cast<TvtpOptionen*>(this)->Tick("sFlashRed").GetIsSelected() ? 0x10 : 0);
}

void TvtpOptionen::SetAEMode(int32_t mode) { SelectByData(Combo("cbAEMode"), mode, 1); }
int32_t TvtpOptionen::GetAEMode() const {
    QComboBox* c = Combo("cbAEMode");
    return c->currentIndex() < 0 ? 1 : c->currentData().toInt();
}
void TvtpOptionen::SetAELimit(int32_t limitDb) { SelectByData(Combo("cbAELimit"), limitDb, 1); }
int32_t TvtpOptionen::GetAELimit() const {
    QComboBox* c = Combo("cbAELimit");
    return c->currentIndex() < 0 ? 5 : c->currentData().toInt();
}

void TvtpOptionen::SetShowLeqBar(bool show) {
    Tick("sLeqBar").SetSelected(show);
    TickBox("pbLeqBar")->Invalidate();
}
bool TvtpOptionen::GetShowLeqBar() const { return const_cast<TvtpOptionen*>(this)->Tick("sLeqBar").GetIsSelected(); }

// The time is compared in whole milliseconds.
int TvtpOptionen::RlzIndexOf(double seconds) {
    const long long ms = std::llround(seconds * 1000);
    for (int i = 0; i < 8; ++i)
        if (std::llround(kRlzSeconds[i] * 1000) == ms) return i;
    return kRlzDefaultIndex;
}

double TvtpOptionen::RlzOfIndex(int index) { return index >= 0 && index < 8 ? kRlzSeconds[index] : 1.0; }

void TvtpOptionen::SetPeakRelease(double seconds) { Combo("cbRLZ")->setCurrentIndex(RlzIndexOf(seconds)); }
double TvtpOptionen::GetPeakRelease() const { return RlzOfIndex(Combo("cbRLZ")->currentIndex()); }
