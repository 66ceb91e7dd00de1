// Options pages "Verification" (when the calibration log's remark window
// opens and what pre-fills it) and "Options" (folders, overwrite question,
// shut-down block, print colours, correction checks and options).
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

#include "calibration/calibration_log.h"
#include "settings/options_dialog.h"
#include "settings/settings_prompts.h"
#include "settings/tick_rows.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kClModes[4] = {1, 2, 3, 0};
constexpr int kClModeFallbackIndex = 3;
constexpr int32_t kMinKorr[4] = {-40, -60, -80, -100};
constexpr int kMinKorrFallbackIndex = 1;
const char* const kColourSquares[4] = {"sLEQ", "sLEQK", "sPeak", "sGitter"};
const char* const kColourLabels[4] = {"lShapeLEQ", "lShapeLeqK", "lShapePeak", "lShapeGitter"};

}  // namespace

void TvtpOptionen::BuildCalLogPage() {
    QWidget* page = Page(tsCalLog);
    NewLabel(page, "labelCLShowPre", GetLangText(1025));
    NewLabel(page, "labelCLShowPost", GetLangText(1026));
    for (const char* name : {"cbCLShowPre", "cbClShowPost"}) {
        QComboBox* list = NewCombo(page, name);
        for (int i = 0; i < 4; ++i) list->addItem(GetLangText(1027 + i), kClModes[i]);
        list->setMaxVisibleItems(9);
    }
    TTickRows* fill = NewTicks(page, "pbClAutoFill", {"sclFill", "sclFillVa", "sclFillLoc", "sclFillUnter"});
    Tick("sclFill").SetLabel(1024);
    Tick("sclFillVa").SetLabel(646);
    Tick("sclFillLoc").SetLabel(648);
    Tick("sclFillUnter").SetLabel(655);
    fill->OnToggled = [this](int row) {
        if (row == 0) ClFillRule();
    };
    ClFillRule();
}

int TvtpOptionen::LayoutCalLogPage(int w) {
    const int labelH = Label("labelCLShowPre")->fontMetrics().height() + 2;
    const int comboH = Combo("cbCLShowPre")->sizeHint().height();
    int y = mySpace;
    for (const auto& [label, combo] : {std::pair{"labelCLShowPre", "cbCLShowPre"},
                                       std::pair{"labelCLShowPost", "cbClShowPost"}}) {
        Label(label)->setGeometry(mySpace, y, w - 2 * mySpace, labelH);
        Combo(combo)->setGeometry(mySpace, y + labelH + lToCb, w - 2 * mySpace, comboH);
        y += labelH + lToCb + comboH + mySpace;
    }
    TickBox("pbClAutoFill")->setGeometry(24, y, w - 48, 132);
    return y + 132;
}

void TvtpOptionen::ClFillRule() {
    const bool on = Tick("sclFill").GetIsSelected();
    for (const char* name : {"sclFillVa", "sclFillLoc", "sclFillUnter"}) Tick(name).SetEnable(on);
    TickBox("pbClAutoFill")->Invalidate();
}

void TvtpOptionen::SetClModes(int32_t clmPre, int32_t clmPost) {
    SelectByData(Combo("cbCLShowPre"), clmPre, kClModeFallbackIndex);
    SelectByData(Combo("cbClShowPost"), clmPost, kClModeFallbackIndex);
}

int32_t TvtpOptionen::GetClModePre() const {
    QComboBox* c = Combo("cbCLShowPre");
    return c->currentIndex() < 0 ? 0 : c->currentData().toInt();
}
int32_t TvtpOptionen::GetClModePost() const {
    QComboBox* c = Combo("cbClShowPost");
    return c->currentIndex() < 0 ? 0 : c->currentData().toInt();
}

void TvtpOptionen::SetClPreset(int32_t flags) {
    if (calLog.load() == nullptr) return;
    Tick("sclFill").SetSelected(TCalLog::IsUsePreset(flags));
    ClFillRule();
    Tick("sclFillVa").SetSelected(TCalLog::IsPresetVA(flags));
    Tick("sclFillLoc").SetSelected(TCalLog::IsPresetLocation(flags));
    Tick("sclFillUnter").SetSelected(TCalLog::IsPresetSigner(flags));
    TickBox("pbClAutoFill")->Invalidate();
}

uint16_t TvtpOptionen::GetClPreset() const {
    auto* self = const_cast<TvtpOptionen*>(this);
    uint16_t flags = self->Tick("sclFill").GetIsSelected() ? 0x1000 : 0;
    if (self->Tick("sclFillVa").GetIsSelected()) flags |= 1;
    if (self->Tick("sclFillLoc").GetIsSelected()) flags |= 2;
    if (self->Tick("sclFillUnter").GetIsSelected()) flags |= 4;
    return flags;
}

// --- Options ---

void TvtpOptionen::BuildMiscPage() {
    QWidget* page = Page(tsSonstiges);
    NewTicks(page, "pbDarstellung", {"sUseMyDocs"});
    Tick("sUseMyDocs").SetLabel(923);
    NewTicks(page, "pbSymbolicFolder", {"sSymFolder"});
    Tick("sSymFolder").SetLabel(1234);
    NewTicks(page, "pbOWPrompt", {"sOWPrompt"});
    Tick("sOWPrompt").SetLabel(436);
    NewTicks(page, "pbBlockWin", {"sBlockWin"});
    Tick("sBlockWin").SetLabel(926);
    auto* colours = new QGroupBox(GetLangText(437), page);
    colours->setObjectName(QStringLiteral("gbSonstigesPrintColor"));
    for (int i = 0; i < 4; ++i) {
        auto* square = new TPaintBox32(colours);
        square->setObjectName(QString::fromLatin1(kColourSquares[i]));
        square->OnPaintBuffer = [this, i](TPaintBox32* box) { PaintColourSquare(box, i); };
        square->OnMouseDown = [this, i](TPaintBox32*, Qt::MouseButton button, int, int) {
            if (button == Qt::LeftButton) ChoosePrintColor(i);
        };
        auto* label = new TPaintBox32(colours);
        label->setObjectName(QString::fromLatin1(kColourLabels[i]));
        label->OnPaintBuffer = [this, i](TPaintBox32* box) {
            TBitmap32& b = box->Buffer();
            b.Clear(clBack32);
            b.Font.height = RoundI(-12 * localSf);
            b.Font.color = clText;
            b.DrawText(box->ClientRect(), GetLangText(438 + i), kTextLeft | kTextVCenter | kTextSingleLine);
        };
        label->OnClick = [this, i](TPaintBox32*) { ChoosePrintColor(i); };
    }
    auto* checks = new QGroupBox(GetLangText(432), page);
    checks->setObjectName(QStringLiteral("gbKorrekturfaktoren"));
    NewTicks(checks, "pbCheckK", {"sCheckKStart", "sCheckKSetup"});
    Tick("sCheckKStart").SetLabel(433);
    Tick("sCheckKSetup").SetLabel(434);
    auto* korr = new QGroupBox(GetLangText(937), page);
    korr->setObjectName(QStringLiteral("gbEnableVgl"));
    NewLabel(korr, "lMinKorrSPL", GetLangText(1061));
    QComboBox* minKorr = NewCombo(korr, "cbMinKorrSpl");
    for (const int32_t level : kMinKorr) minKorr->addItem(QString::number(level) + QStringLiteral(" dB"), level);
    NewTicks(korr, "pbKorr", {"sKJitter", "sKCalc"});
    Tick("sKJitter").SetLabel(1064);
    Tick("sKCalc").SetLabel(1131);
}

int TvtpOptionen::LayoutMiscPage(int w) {
    QWidget* page = Page(tsSonstiges);
    const int rowH = RoundI(33 * localSf);
    const int leftW = RoundI(w / 2.0 - 2.5 * mySpace);
    int y = mySpace;
    for (const char* name : {"pbDarstellung", "pbSymbolicFolder", "pbOWPrompt", "pbBlockWin"}) {
        const int width = qstrcmp(name, "pbOWPrompt") == 0 || qstrcmp(name, "pbBlockWin") == 0 ? leftW - mySpace : leftW;
        TickBox(name)->setGeometry(2 * mySpace, y, width, rowH);
        y += rowH;
    }
    const int rightX = (w + mySpace) / 2;
    const int rightW = w - mySpace - rightX;
    auto* checks = page->findChild<QGroupBox*>(QStringLiteral("gbKorrekturfaktoren"));
    TickBox("pbCheckK")->setGeometry(mySpace, gbTop, rightW - 2 * mySpace, 66);
    checks->setGeometry(rightX, mySpace, rightW, gbTop + 66 + mySpace);
    auto* korr = page->findChild<QGroupBox*>(QStringLiteral("gbEnableVgl"));
    QLabel* minLabel = Label("lMinKorrSPL");
    const int labelH = minLabel->fontMetrics().height() + 2;
    minLabel->setGeometry(mySpace, gbTop, rightW - 2 * mySpace, labelH);
    QComboBox* minKorr = Combo("cbMinKorrSpl");
    minKorr->setGeometry(mySpace, gbTop + labelH + lToCb, rightW - 2 * mySpace, minKorr->sizeHint().height());
    TickBox("pbKorr")->setGeometry(mySpace, minKorr->geometry().bottom() + 1 + mySpace, rightW - 2 * mySpace, 66);
    korr->setGeometry(rightX, checks->geometry().bottom() + 1 + mySpace, rightW,
                      TickBox("pbKorr")->geometry().bottom() + 1 + mySpace);
    auto* colours = page->findChild<QGroupBox*>(QStringLiteral("gbSonstigesPrintColor"));
    const int colourW = (w - mySpace) / 2 - mySpace;
    const int colourH = 66 + gbTop;
    const int bottom = std::max(korr->geometry().bottom() + 1, y + mySpace + colourH);
    colours->setGeometry(mySpace, bottom - colourH, colourW, colourH);
    const int square = RoundI(22 * localSf);
    for (int i = 0; i < 4; ++i) {
        const int colX = mySpace + (i / 2) * (colourW / 2);
        const int rowY = gbTop + (i % 2) * 33;
        Box(kColourSquares[i])->setGeometry(colX, rowY + (33 - square) / 2, square, square);
        Box(kColourLabels[i])->setGeometry(colX + square + 6, rowY, colourW / 2 - square - 6 - mySpace, 33);
    }
    return bottom;
}

void TvtpOptionen::PaintColourSquare(TPaintBox32* box, int32_t which) {
    TBitmap32& b = box->Buffer();
    b.Clear(Color32(printColors_[which]));
    b.FrameRect(box->ClientRect(), clText32);
}

void TvtpOptionen::SetPrintColor(int32_t which, TColor color) {
    if (which < 0 || which > 3) return;
    printColors_[which] = color;
    Box(kColourSquares[which])->Invalidate();
}

TColor TvtpOptionen::GetPrintColor(int32_t which) const {
    return which >= 0 && which <= 3 ? printColors_[which] : 0;
}

void TvtpOptionen::ChoosePrintColor(int32_t which) {
    if (which < 0 || which > 3) return;
    if (const std::optional<TColor> chosen = settingsPrompts().colour(this, printColors_[which]))
        SetPrintColor(which, *chosen);
}

#define VELTARO_TICK_ACCESSORS(Setter, Getter, tick, box)                                       \
    void TvtpOptionen::Setter(bool on) {                                                        \
        Tick(tick).SetSelected(on);                                                             \
        TickBox(box)->Invalidate();                                                             \
    }                                                                                           \
    bool TvtpOptionen::Getter() const { return const_cast<TvtpOptionen*>(this)->Tick(tick).GetIsSelected(); }

VELTARO_TICK_ACCESSORS(SetUseMyDocs, GetUseMyDocs, "sUseMyDocs", "pbDarstellung")
VELTARO_TICK_ACCESSORS(SetSymFolder, GetSymFolder, "sSymFolder", "pbSymbolicFolder")
VELTARO_TICK_ACCESSORS(SetOWPrompt, GetOWPrompt, "sOWPrompt", "pbOWPrompt")
VELTARO_TICK_ACCESSORS(SetBlockWin, GetBlockWin, "sBlockWin", "pbBlockWin")
VELTARO_TICK_ACCESSORS(SetCheckKStart, GetCheckKStart, "sCheckKStart", "pbCheckK")
VELTARO_TICK_ACCESSORS(SetCheckKSetup, GetCheckKSetup, "sCheckKSetup", "pbCheckK")
VELTARO_TICK_ACCESSORS(SetMusikKorr, GetMusikKorr, "sKJitter", "pbKorr")
VELTARO_TICK_ACCESSORS(SetAllowCalc, GetAllowCalc, "sKCalc", "pbKorr")
#undef VELTARO_TICK_ACCESSORS

void TvtpOptionen::SetMinKorrSpl(int32_t level) { SelectByData(Combo("cbMinKorrSpl"), level, kMinKorrFallbackIndex); }
int32_t TvtpOptionen::GetMinKorrSpl() const {
    QComboBox* c = Combo("cbMinKorrSpl");
    return c->currentIndex() < 0 ? -60 : c->currentData().toInt();
}
