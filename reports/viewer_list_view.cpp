// The viewer's single-value list, its overview strip and arrow strip, the
// navigation panels of the list and the curves, and every way of moving:
// buttons, held buttons, keys, the wheel and dragging.
#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "reports/level_graph.h"
#include "reports/measurement_viewer.h"
#include "reports/symbolic_path.h"
#include "store/measurement_store.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

enum Glyph { kTwoRight, kRightBar, kBarLeft, kFull, kLeft, kTwoLeft, kRight };

constexpr int kRepeatFirstMs = 500;
constexpr int kRepeatFastMs = 125;
constexpr int kRepeatFastestMs = 65;
constexpr int kRepeatFastTicks = 16;
constexpr TColor32 kAccent = 0xFF00B1EBu;

// The text buttons' captions and actions in stacking order, top first.
constexpr int32_t kTextButtonIds[6] = {323, 322, 319, 318, 321, 320};

void PaintTriangle(TCanvas32& canvas, double cx, double cy, double w, double h, bool right) {
    const double tip = right ? cx + w / 2 : cx - w / 2;
    const double base = right ? cx - w / 2 : cx + w / 2;
    canvas.Polygon({QPointF(base, cy - h / 2), QPointF(tip, cy), QPointF(base, cy + h / 2)});
}

void PaintNavButton(TPaintBox32* box, int glyph, double f) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    auto canvas = CreateCanvas32(b);
    const double inset = box->Tag == 0 ? 0.5 * f : 1.5 * f;
    SetCanvasColors(canvas.get(), 0xFFFFFFFFu, box->Tag == 0 ? WithAlpha32(kAccent, 0x28) : kAccent, 3 * f);
    canvas->StrokeBrush().visible = box->Tag > 0;
    canvas->RoundRect(QRectF(inset, inset, box->width() - 2 * inset, box->height() - 2 * inset), 6);
    if (glyph == kFull) {
        b.Font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * f), false, clText};
        b.DrawText(box->ClientRect(), GetLangText(298), kTextCenter | kTextVCenter | kTextSingleLine);
        return;
    }
    SetCanvasColors(canvas.get(), clText32, clText32, 2 * f);
    canvas->StrokeBrush().visible = false;
    const double h = 13 * f;
    const double w = h / std::sqrt(2.0);
    const double cx = box->width() / 2.0;
    const double cy = box->height() / 2.0;
    const double gap = 2 * f;
    const auto bar = [&](double x) {
        canvas->FillBrush().visible = false;
        canvas->StrokeBrush().visible = true;
        canvas->Line(QPointF(x, cy - h / 2), QPointF(x, cy + h / 2));
        canvas->FillBrush().visible = true;
        canvas->StrokeBrush().visible = false;
    };
    switch (glyph) {
    case kTwoRight:
    case kTwoLeft:
        PaintTriangle(*canvas, cx - gap / 2 - w / 2, cy, w, h, glyph == kTwoRight);
        PaintTriangle(*canvas, cx + gap / 2 + w / 2, cy, w, h, glyph == kTwoRight);
        break;
    case kRightBar:
        PaintTriangle(*canvas, cx, cy, w, h, true);
        bar(cx + w / 2 + 2.5 * f);
        break;
    case kBarLeft:
        PaintTriangle(*canvas, cx, cy, w, h, false);
        bar(cx - w / 2 - 2.5 * f);
        break;
    case kLeft:
    case kRight:
        PaintTriangle(*canvas, cx, cy, w, h, glyph == kRight);
        break;
    default:
        break;
    }
}

}  // namespace

TPaintBox32* TProtokoll::NavButton(QWidget* parent, int glyph, const std::function<void()>& action, int repeatTag) {
    auto* box = new TPaintBox32(parent);
    box->OnPaintBuffer = [this, glyph](TPaintBox32* b) { PaintNavButton(b, glyph, mySf); };
    box->OnMouseEnter = [](TPaintBox32* b) {
        b->Tag = 2;
        b->Invalidate();
    };
    box->OnMouseLeave = [](TPaintBox32* b) {
        b->Tag = 0;
        b->Invalidate();
    };
    box->OnMouseDown = [this, repeatTag](TPaintBox32* b, Qt::MouseButton button, int, int) {
        if (button != Qt::LeftButton) return;
        b->Tag = 1;
        b->Invalidate();
        if (repeatTag > 0) StartKeyRepeat(repeatTag);
    };
    box->OnMouseUp = [this](TPaintBox32* b, Qt::MouseButton, int x, int y) {
        b->Tag = b->rect().contains(x, y) ? 2 : 0;
        b->Invalidate();
        StopKeyRepeat();
    };
    box->OnClick = [action](TPaintBox32*) { action(); };
    return box;
}

void TProtokoll::BuildViews() {
    central_ = new QWidget(this);
    setCentralWidget(central_);
    MemoProt = new QPlainTextEdit(central_);
    MemoProt->setReadOnly(true);
    MemoProt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoProt->setPlainText(QStringLiteral("Bitte Datei auswählen"));
    QPalette memo = MemoProt->palette();
    memo.setColor(QPalette::Base, QColorOf(clBack));
    memo.setColor(QPalette::Text, QColorOf(clText));
    MemoProt->setPalette(memo);
    pbList = new TPaintBox32(central_);
    pbList->OnPaintBuffer = [this](TPaintBox32* box) { PaintList(box); };
    pbList->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton, int, int y) { ListMouseDown(y); };
    pbList->OnMouseMove = [this](TPaintBox32*, int, int y) { ListMouseMove(QApplication::mouseButtons(), y); };
    pbList->OnMouseUp = [this](TPaintBox32*, Qt::MouseButton, int, int) { EndListDrag(); };
    pbList->OnMouseLeave = [this](TPaintBox32*) { EndListDrag(); };
    pbList->hide();
    pbMain = new TPaintBox32(central_);
    pbMain->OnPaintBuffer = [this](TPaintBox32* box) { DrawCurves(box); };
    pbMain->hide();
    pbBottomInfo = new TPaintBox32(central_);
    pbBottomInfo->OnPaintBuffer = [this](TPaintBox32* box) { PaintBottomInfo(box); };
}

void TProtokoll::BuildNavigation() {
    pListNavi = new QWidget(central_);
    pListNavi->hide();
    const std::function<void()> textActions[6] = {[this] { ListPrevMark(); },     [this] { ListNextMark(); },
                                                  [this] { ListHourStart(); },    [this] { ListNextHourStart(); },
                                                  [this] { ListHourBack(); },     [this] { ListHourForward(); }};
    for (int i = 0; i < 6; ++i) {
        auto* button = new TPaintBox32(pListNavi);
        const int32_t id = kTextButtonIds[i];
        button->OnPaintBuffer = [id](TPaintBox32* box) { PaintButtonText(box, id); };
        button->OnClick = [action = textActions[i]](TPaintBox32*) { action(); };
        WireButtonStates(button, true);
        textButtons_[i] = button;
    }
    listArrows_ = {NavButton(pListNavi, kBarLeft, [this] { ListToStart(); }, 0),
                   NavButton(pListNavi, kLeft, [this] { ListRowUp(); }, 1),
                   NavButton(pListNavi, kTwoLeft, [this] { ListPageUp(); }, 17),
                   NavButton(pListNavi, kRight, [this] { ListRowDown(); }, 2),
                   NavButton(pListNavi, kTwoRight, [this] { ListPageDown(); }, 18),
                   NavButton(pListNavi, kRightBar, [this] { ListToEnd(); }, 0)};
    pbInfo = new TPaintBox32(pListNavi);
    pbInfo->OnPaintBuffer = [this](TPaintBox32* box) { PaintOverview(box); };
    pbInfo->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton button, int x, int) {
        if (button == Qt::LeftButton) JumpToInfoX(x);
    };
    pbArrow = new TPaintBox32(pListNavi);
    pbArrow->OnPaintBuffer = [this](TPaintBox32* box) { PaintArrowStrip(box); };
    pbArrow->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton button, int x, int) {
        if (button != Qt::LeftButton) return;
        moveIt = true;
        JumpToInfoX(x - pbInfo->x());
    };
    pbArrow->OnMouseMove = [this](TPaintBox32*, int x, int) {
        if (moveIt) JumpToInfoX(x - pbInfo->x());
    };
    pbArrow->OnMouseUp = [this](TPaintBox32*, Qt::MouseButton, int, int) { moveIt = false; };

    pUnten = new QWidget(central_);
    graphButtons_ = {NavButton(pUnten, kFull, [this] { ShowAll(); }, 0),
                     NavButton(pUnten, kBarLeft, [this] { GraphToStart(); }, 0),
                     NavButton(pUnten, kLeft, [this] { GraphStepBack(); }, 0),
                     NavButton(pUnten, kTwoLeft, [this] { GraphPageBack(); }, 0),
                     NavButton(pUnten, kRight, [this] { GraphStepForward(); }, 0),
                     NavButton(pUnten, kTwoRight, [this] { GraphPageForward(); }, 0),
                     NavButton(pUnten, kRightBar, [this] { GraphToEnd(); }, 0)};
}

void TProtokoll::ApplyScale(double dpi) {
    mySf = dpi / 96.0;
    const QFont font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * mySf), false, clText}.ToQFont();
    setFont(font);
    MemoProt->setFont(font);
    mySpace = RoundI(7 * mySf);
    for (TPaintBox32* b : textButtons_) InitButton(b, mySf, false);
    ArrangeViews();
}

int TProtokoll::OverviewWidth() const { return pbInfo->width(); }

void TProtokoll::ArrangeViews() {
    if (central_ == nullptr) return;
    const int margin = 15;
    const int w = central_->width();
    const int h = central_->height();
    const int barH = RoundI(21 * mySf);
    pbBottomInfo->setGeometry(0, h - barH, w, barH);
    const int top = margin;
    const int bottom = h - barH;
    MemoProt->setGeometry(margin, top, w - 2 * margin, bottom - top);
    // The navigation panel is as wide as its widest text button.
    int buttonW = 110;
    for (int i = 0; i < 6; ++i) {
        buttonW = std::max(buttonW, ButtonWidthFor(textButtons_[i], GetLangText(kTextButtonIds[i]), mySf));
    }
    const int M = RoundI(6 * mySf);
    const int naviW = 2 * M + buttonW;
    pListNavi->setGeometry(w - naviW, top, naviW, bottom - top);
    pbList->setGeometry(margin, top, w - margin - naviW, bottom - top);
    const int untenH = RoundI(68 * mySf);
    pUnten->setGeometry(margin, bottom - untenH, w - margin, untenH);
    pbMain->setGeometry(margin, top, w - margin, bottom - top - (pUnten->isHidden() ? 0 : untenH));
    const int gb = RoundI(56 * mySf);
    const int gy = (untenH - gb) / 2;
    for (int i = 0; i < 4; ++i) graphButtons_[i]->setGeometry(i * (gb + mySpace), gy, gb, gb);
    for (int i = 4; i < 7; ++i) {
        graphButtons_[i]->setGeometry(pUnten->width() - (7 - i) * (gb + mySpace), gy, gb, gb);
    }
    ArrangeListNavi();
}

void TProtokoll::ArrangeListNavi() {
    const int M = RoundI(6 * mySf);
    const int W = pListNavi->width() - 2 * M;
    const int arrowStripH = RoundI(20 * mySf);
    int y = pListNavi->height() - arrowStripH;
    pbArrow->setGeometry(0, y, pListNavi->width(), arrowStripH);
    const int infoH = RoundI(110 * mySf);
    y -= mySpace + infoH;
    const int oldWidth = pbInfo->width();
    pbInfo->setGeometry(M, y, W, infoH);
    const int aw = RoundI(56 * mySf);
    const int ah = RoundI(30 * mySf);
    const int xs[3] = {M, (pListNavi->width() - aw) / 2, pListNavi->width() - M - aw};
    y -= mySpace + ah;
    for (int i = 0; i < 3; ++i) listArrows_[3 + i]->setGeometry(xs[i], y, aw, ah);
    y -= mySpace + ah;
    for (int i = 0; i < 3; ++i) listArrows_[i]->setGeometry(xs[i], y, aw, ah);
    const int bh = RoundI(33 * mySf);
    for (int i = 5; i >= 0; --i) {
        y -= mySpace + bh;
        textButtons_[i]->setGeometry(M, y, W, bh);
    }
    if (oldWidth != pbInfo->width() && !values_.empty()) {
        aInfo = FoldOverview(values_, markList, OverviewWidth());
    }
    Adx = values_.empty() ? 1.0 : static_cast<double>(OverviewWidth()) / static_cast<double>(values_.size());
    PostListStart(listStartID);
}

// ---------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------

void TProtokoll::PaintList(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    const TFont32 normal{QStringLiteral("VERDANA"), RoundI(-14 * mySf), false, clText};
    TFont32 bold = normal;
    bold.bold = true;
    TFont32 red = bold;
    red.color = RGBColor(255, 0, 0);
    b.Font = normal;
    const int32_t lang = language.load();
    const int idX = 7;
    const int timeX = idX + b.TextWidth(QStringLiteral("12345678"));
    const int valueX = timeX + b.TextWidth(TimeText(CorrectedNow()) + QStringLiteral("  "));
    const int clipX = box->width() - b.TextWidth(GetLangText(682));
    const bool shown[3] = {bwleq, bwleqk, bwPeak};
    const int shownCount = std::max(1, int(shown[0]) + int(shown[1]) + int(shown[2]));
    const int colW = RoundI(double(clipX - valueX) / shownCount);
    int colX[3];
    for (int i = 0, x = valueX; i < 3; ++i) {
        colX[i] = x;
        if (shown[i]) x += colW;
    }
    const QString labels[3] = {pdaten->GetLEQLabel(lang), pdaten->GetLEQKLabel(lang), pdaten->GetPeakLabel()};
    const int rowH = b.TextHeight(QStringLiteral("Xg")) + 2;
    moveStep = rowH;
    b.Textout(idX, 0, QStringLiteral("ID"));
    b.Textout(timeX, 0, GetLangText(681));
    for (int i = 0; i < 3; ++i) {
        if (!shown[i]) continue;
        b.Font = pdaten->ForceProt(i) ? bold : normal;
        b.DrawText(QRect(colX[i], 0, colW - 4, rowH), labels[i], kTextLeft | kTextSingleLine | kTextEndEllipsis);
    }
    b.Font = normal;
    b.Textout(clipX, 0, GetLangText(682));
    listSize = static_cast<int32_t>(std::trunc(double(box->height()) / rowH - 1));
    const int32_t count = static_cast<int32_t>(values_.size());
    pbArrow->setVisible(listSize < count);
    if (listStartID >= count) return;
    const int decimals = pdaten->GetNKS();
    int y = rowH;
    double lastDay = std::floor(values_[listStartID].TimeStamp);
    b.Textout(timeX, y, DateText(values_[listStartID].TimeStamp));
    y += rowH;
    for (int32_t id = listStartID; id < count && y < box->height(); ++id) {
        const TSaveIT6& v = values_[id];
        const double day = std::floor(v.TimeStamp);
        if (day != lastDay) {
            b.Font = bold;
            b.Textout(timeX, y, DateText(v.TimeStamp));
            lastDay = day;
            y += rowH;
            if (y >= box->height()) break;
        }
        const bool odd = (id & 1) != 0;
        const TColor ink = odd ? clBack : clText;
        if (odd) b.FillRect(QRect(0, y, box->width(), rowH), clText32);
        const int32_t mark = markList[id];
        if (mark != 0) b.FillRect(QRect(0, y, 5, rowH), 0xFFFF0000u);
        TFont32 plain = normal;
        plain.color = ink;
        b.Font = plain;
        b.Textout(idX, y, QStringLiteral("%1").arg(v.id, 6, 10, QLatin1Char('0')));
        b.Textout(timeX, y, TimeText(v.TimeStamp));
        const double levels[3] = {v.leq, v.LeqK, v.Peak};
        const int32_t bits[3] = {kMarkLeq, kMarkLeqK, kMarkPeak};
        for (int i = 0; i < 3; ++i) {
            if (!shown[i]) continue;
            b.Font = (mark & bits[i]) != 0 ? red : plain;
            b.Textout(colX[i], y, FixedText(levels[i], decimals) + QStringLiteral(" dB"));
        }
        if ((mark & kMarkClip) != 0) {
            b.Font = red;
            b.Textout(clipX, y, ClipDurationText(v.clipCount));
        } else {
            b.Font = plain;
            b.Textout(clipX, y, QStringLiteral("---"));
        }
        y += rowH;
    }
}

void TProtokoll::PaintOverview(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    const int n = static_cast<int>(aInfo.size());
    if (n <= 3) return;
    const double s = mySf;
    const double e = double(box->width()) / (n - 1);
    const double bottom = box->height();
    auto canvas = CreateCanvas32(b);
    const auto yOf = [](double level) { return 150.0 - level; };
    if (pdaten->ForceProt(0)) {
        QVector<QPointF> area{QPointF(0, bottom)};
        for (int j = 0; j < n; ++j) area << QPointF(j * e, yOf(aInfo[j].maxLeq));
        area << QPointF(box->width(), bottom);
        SetCanvasColors(canvas.get(), 0, 0xFFFFA500u, 1);
        canvas->StrokeBrush().visible = false;
        canvas->Polygon(area);
    }
    const auto line = [&](TColor32 color, double TOverviewColumn::*field) {
        QVector<QPointF> points;
        for (int j = 0; j < n; ++j) points << QPointF(j * e, yOf(aInfo[j].*field));
        SetCanvasColors(canvas.get(), color, 0, 2 * s);
        canvas->FillBrush().visible = false;
        canvas->StrokeBrush().visible = true;
        canvas->Polyline(points);
    };
    if (pdaten->ForceProt(1)) line(0xFF007F00u, &TOverviewColumn::maxLeqK);
    if (pdaten->ForceProt(2)) line(0xFF0000FFu, &TOverviewColumn::maxPeak);
    const int stripTop = box->height() - RoundI(10 * s);
    for (int j = 0; j < n;) {
        if (aInfo[j].marks == 0) {
            ++j;
            continue;
        }
        const int first = j;
        while (j < n && aInfo[j].marks != 0) ++j;
        const int x1 = RoundI(first * e);
        const int x2 = j >= n ? box->width() : std::max(RoundI(j * e), x1 + 1);
        b.FillRect(QRect(x1, stripTop, x2 - x1, box->height() - stripTop), 0xFFFF0000u);
    }
    const int32_t limits[3] = {pdaten->GetMaxLEQ(), pdaten->GetMaxLeqK(), pdaten->GetMaxPeak()};
    for (int q = 0; q < 3; ++q) {
        if (!pdaten->ForceProt(q)) continue;
        const int y = RoundI(yOf(limits[q]));
        for (int x = 0; x < box->width(); ++x) {
            if (x % 4 == 1) b.FillRect(QRect(x, y, 1, 1), 0xFFFF0000u);
        }
    }
    const int32_t lang = language.load();
    b.Font = TFont32{QStringLiteral("VERDANA"), RoundI(-11 * s), false, clText};
    const int labelH = b.TextHeight(QStringLiteral("Xg"));
    b.DrawText(QRect(0, box->height() - RoundI(10 * s) - labelH, box->width() - RoundI(s), labelH),
               pdaten->GetLEQLabel(lang), kTextRight | kTextSingleLine);
    b.Font.color = RGBColor(0, 0, 255);
    b.Textout(RoundI(s), 0, pdaten->GetPeakLabel());
    b.Font.color = RGBColor(0, 127, 0);
    b.DrawText(QRect(0, 0, box->width() - RoundI(s), labelH), pdaten->GetLEQKLabel(lang), kTextRight | kTextSingleLine);
}

void TProtokoll::PaintArrowStrip(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    if (OverviewWidth() <= 20 || !(Adx > 0)) return;
    const double s = mySf;
    const int left = pbInfo->x();
    b.HorzLine(left, RoundI(5 * s), left + OverviewWidth(), clText32);
    const double x = listStartID * Adx + left;
    auto canvas = CreateCanvas32(b);
    SetCanvasColors(canvas.get(), clText32, clText32, 1);
    canvas->StrokeBrush().visible = false;
    canvas->Polygon({QPointF(x, 0), QPointF(x - RoundI(5 * s), 10 * s), QPointF(x + RoundI(5 * s), 10 * s)});
}

void TProtokoll::PaintBottomInfo(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    if (fnt.size() <= 1) return;
    b.Font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * mySf), false, clText};
    const int margin = 15;
    b.DrawText(QRect(margin, 0, box->width() - 2 * margin, box->height()), SymbolicPath(fnt),
               kTextLeft | kTextVCenter | kTextSingleLine | kTextPathEllipsis);
}

// ---------------------------------------------------------------------------
// List position
// ---------------------------------------------------------------------------

void TProtokoll::PostListStart(int64_t row) {
    const int64_t clamped = std::clamp<int64_t>(row, INT32_MIN, INT32_MAX);
    platform::PostMessage(self_, WM_LIST_START, 1, static_cast<intptr_t>(clamped));
}

void TProtokoll::ListStartMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    if (msg != WM_LIST_START || wParam != 1) return;
    listStartID = ClampListStart(static_cast<int32_t>(lParam), static_cast<int32_t>(values_.size()));
    pbArrow->Invalidate();
    pbList->Invalidate();
}

void TProtokoll::ListToStart() { PostListStart(0); }
void TProtokoll::ListRowUp() {
    if (listStartID > 0) PostListStart(int64_t(listStartID) - 1);
}
void TProtokoll::ListRowDown() { PostListStart(int64_t(listStartID) + 1); }
void TProtokoll::ListPageUp() { PostListStart(int64_t(listStartID) - (listSize - 1)); }
void TProtokoll::ListPageDown() { PostListStart(int64_t(listStartID) + (listSize - 1)); }
void TProtokoll::ListToEnd() { PostListStart(int64_t(values_.size()) - listSize + 1); }
void TProtokoll::ListHourForward() { HourStep(1, false); }
void TProtokoll::ListHourBack() { HourStep(-1, false); }
void TProtokoll::ListNextHourStart() { HourStep(1, true); }
void TProtokoll::ListHourStart() { HourStep(-1, true); }

void TProtokoll::HourStep(int direction, bool toHourStart) {
    const int32_t interval = pdaten ? pdaten->GetDrawInterval() : 0;
    if (interval <= 0) return;
    int s = 0;
    if (toHourStart && listStartID < static_cast<int32_t>(values_.size())) {
        const platform::DateTimeParts parts = platform::DecodeDateTime(values_[listStartID].TimeStamp);
        s = parts.min * 60 + parts.sec;
    }
    double rows = 3600.0 / interval;
    if (toHourStart && direction > 0) rows = (3600.0 - s) / interval;
    if (toHourStart && direction < 0 && s > 0) rows = double(s) / interval;
    PostListStart(int64_t(listStartID) + direction * static_cast<int64_t>(std::nearbyint(rows)));
}

void TProtokoll::ListNextMark() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    PostListStart(NextMarkRow(markList, listStartID));
    QApplication::restoreOverrideCursor();
}

void TProtokoll::ListPrevMark() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    PostListStart(PrevMarkRow(markList, listStartID));
    QApplication::restoreOverrideCursor();
}

void TProtokoll::JumpToInfoX(int x) {
    if (!(Adx > 0) || values_.empty()) return;
    const int32_t row = ClampListStart(static_cast<int32_t>(std::nearbyint(x / Adx)), int32_t(values_.size()));
    if (row != listStartID) PostListStart(row);
}

void TProtokoll::ListMouseDown(int y) {
    moveStartPos = moveStep > 0 ? y / moveStep : 0;
    pbList->setCursor(Qt::SplitVCursor);
}

void TProtokoll::ListMouseMove(Qt::MouseButtons buttons, int y) {
    if (buttons != Qt::LeftButton || moveStartPos < 0 || moveStep <= 0) return;
    const int r = static_cast<int>(std::floor(double(y) / moveStep));
    if (r == moveStartPos) return;
    PostListStart(int64_t(listStartID) + (moveStartPos - r));
    moveStartPos = r;
}

void TProtokoll::EndListDrag() {
    moveStartPos = -1;
    pbList->unsetCursor();
}

// ---------------------------------------------------------------------------
// Held buttons
// ---------------------------------------------------------------------------

void TProtokoll::StartKeyRepeat(int tag) {
    speedCounter = 0;
    tTasten->setProperty("tag", tag);
    tTasten->setInterval(kRepeatFirstMs);
    tTasten->start();
}

void TProtokoll::RepeatTick() {
    ++speedCounter;
    tTasten->setInterval(speedCounter < kRepeatFastTicks ? kRepeatFastMs : kRepeatFastestMs);
    switch (tTasten->property("tag").toInt()) {
    case 1: ListRowUp(); break;
    case 2: ListRowDown(); break;
    case 17: ListPageUp(); break;
    case 18: ListPageDown(); break;
    default: break;
    }
}

void TProtokoll::StopKeyRepeat() { tTasten->stop(); }

// ---------------------------------------------------------------------------
// Curves navigation
// ---------------------------------------------------------------------------

void TProtokoll::GraphStepForward() {
    lg->AntPlus(150);
    bShowAll = false;
    RedrawGraph();
}
void TProtokoll::GraphStepBack() {
    lg->AntMinus(150);
    bShowAll = false;
    RedrawGraph();
}
void TProtokoll::GraphPageForward() {
    lg->AntPlus(300);
    bShowAll = false;
    RedrawGraph();
}
void TProtokoll::GraphPageBack() {
    lg->AntMinus(300);
    bShowAll = false;
    RedrawGraph();
}
void TProtokoll::GraphToEnd() {
    lg->AntEnd();
    bShowAll = false;
    RedrawGraph();
}
void TProtokoll::GraphToStart() {
    lg->SetAntPos(0);
    bShowAll = false;
    RedrawGraph();
}
void TProtokoll::ShowAll() {
    bShowAll = true;
    RedrawGraph();
}

// ---------------------------------------------------------------------------
// Keys, wheel, layout
// ---------------------------------------------------------------------------

void TProtokoll::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (mods == Qt::NoModifier && lastMode == kSingleValues) {
        switch (key) {
        case Qt::Key_Up: ListRowUp(); return;
        case Qt::Key_Down: ListRowDown(); return;
        case Qt::Key_PageUp: ListPageUp(); return;
        case Qt::Key_PageDown: ListPageDown(); return;
        case Qt::Key_Home: ListToStart(); return;
        case Qt::Key_End: ListToEnd(); return;
        default: break;
        }
    }
    if (mods == Qt::NoModifier && lastMode == kCurves) {
        switch (key) {
        case Qt::Key_Up: GraphStepForward(); return;
        case Qt::Key_Down: GraphStepBack(); return;
        case Qt::Key_PageDown: GraphPageForward(); return;
        case Qt::Key_PageUp: GraphPageBack(); return;
        case Qt::Key_End: GraphToEnd(); return;
        case Qt::Key_Home: GraphToStart(); return;
        default: break;
        }
    }
    if (mods == Qt::ControlModifier && (key == Qt::Key_D || key == Qt::Key_E)) {
        SwitchLanguage(key == Qt::Key_D ? kLangGerman : kLangEnglish);
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TProtokoll::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (lastMode == kSingleValues) {
        const int rows = listWheel_.Take(delta, 120);
        if (rows != 0) PostListStart(int64_t(listStartID) - rows);
        event->accept();
        return;
    }
    if (lastMode == kCurves && lg) {
        const int points = graphWheel_.Take(delta, 12);
        if (points < 0) lg->AntMinus(-points);
        else if (points > 0) lg->AntPlus(points);
        bShowAll = false;
        RedrawGraph();
        event->accept();
        return;
    }
    QMainWindow::wheelEvent(event);
}

bool TProtokoll::eventFilter(QObject* watched, QEvent* event) {
    if (watched == central_ && event->type() == QEvent::Resize) ArrangeViews();
    if (watched == MemoProt && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier && (key->key() == Qt::Key_D || key->key() == Qt::Key_E)) {
            keyPressEvent(key);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
