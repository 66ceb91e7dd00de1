#include "main/top_bar.h"

#include <QMenuBar>
#include <QRectF>
#include <QToolTip>

#include "main/main_window.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kStopIcon = 11;
constexpr int32_t kStartIcon = 13;
constexpr int32_t kMenuIcon = 6;
constexpr int32_t kCloseIcon = 8;
// Status ids of the calibration status that allow a start from the bar:
// ready, and the reference microphone not usable or due.
constexpr int32_t kStatusReady = 1;
constexpr int32_t kStatusRefMicDue = 5;

bool Within(int x, int from, int to) { return x >= from && x <= to; }

}  // namespace

int32_t TopBarHitTest(int x, int width, int height, int spacing, bool menuShown) {
    if (menuShown) return 0;
    const int c = width - spacing;
    const int h = height;
    if (Within(x, c - 3 * h, c - 2 * h)) return kTopBarStartStop;
    if (Within(x, c - 2 * h, c - h)) return kTopBarMenu;
    if (Within(x, c - h, c)) return kTopBarClose;
    return 0;
}

QRect TopBarSquare(int32_t square, int width, int height, int spacing, double scale) {
    const int c = width - spacing;
    const int a = RoundI(scale);
    const int h = height;
    switch (square) {
    case kTopBarClose: return QRect(QPoint(c - h, 0), QPoint(c, h - 1));
    case kTopBarMenu: return QRect(QPoint(c - 2 * h + a, 0), QPoint(c - h + a, h - 1));
    case kTopBarStartStop: return QRect(QPoint(c - 3 * h + 2 * a, 0), QPoint(c - 2 * h + 2 * a, h - 1));
    default: return QRect();
    }
}


int32_t TopBarHintId(int32_t square, bool running, bool canStart) {
    switch (square) {
    case kTopBarStartStop: return running ? 227 : (canStart ? 225 : 0);
    case kTopBarMenu: return 1179;
    case kTopBarClose: return 1178;
    default: return 0;
    }
}

bool TopBarShowsSquare(int32_t square, const TopBarState& state) {
    if (state.menuShown) return false;
    switch (square) {
    case kTopBarStartStop: return state.running || state.canStart;
    case kTopBarMenu: return true;
    case kTopBarClose: return !state.running;
    default: return false;
    }
}

void PaintTopBar(TBitmap32& bitmap, const TopBarState& state, int spacing, double scale,
                 const std::function<void(TBitmap32&, int32_t, const QRectF&)>& drawIcon) {
    bitmap.Clear(clBack32);
    if (state.menuShown || bitmap.Empty()) return;
    const int inset = RoundI(2 * scale);
    for (int32_t square : {kTopBarClose, kTopBarMenu, kTopBarStartStop}) {
        if (!TopBarShowsSquare(square, state)) continue;
        const QRect r = TopBarSquare(square, bitmap.Width(), bitmap.Height(), spacing, scale);
        if (state.hover == square) bitmap.FillRect(r, clHover32);
        const int32_t icon = square == kTopBarClose  ? kCloseIcon
                             : square == kTopBarMenu ? kMenuIcon
                             : state.running         ? kStopIcon
                                                     : kStartIcon;
        const int side = r.height() - 2 * inset;
        if (side > 0 && drawIcon) {
            drawIcon(bitmap, icon, QRectF(r.x() + (r.width() - side) * 0.5, r.y() + inset, side, side));
        }
    }
}

// --- The main window's side ---

bool TVTProMaster::CanStartFromTopBar() {
    const int32_t status = fields_.StatusID.load();
    return !GetMessungLaeuft() && (status == kStatusReady || status == kStatusRefMicDue);
}

bool TVTProMaster::MenuBarShown() const { return !menuBar()->isHidden(); }

int32_t TVTProMaster::TopBarHitAt(int x) const {
    return pbTopBar_ ? TopBarHitTest(x, pbTopBar_->width(), pbTopBar_->height(), UISpace, MenuBarShown()) : 0;
}

void TVTProMaster::ToggleMenuBar() {
    menuBar()->setVisible(!MenuBarShown());
    settings_.showMenu = MenuBarShown();
    FormResize();  // the top bar grows to hold its squares, or shrinks back
    if (pbTopBar_) pbTopBar_->Invalidate();
}

void TVTProMaster::WireTopBar() {
    pbTopBar_->setObjectName(QStringLiteral("pbTopBar"));
    pbTopBar_->OnPaintBuffer = [this](TPaintBox32* box) {
        TopBarState state{MenuBarShown(), GetMessungLaeuft(), CanStartFromTopBar(), static_cast<int32_t>(box->Tag)};
        PaintTopBar(box->Buffer(), state, UISpace, UIScale, IconPainter());
    };
    pbTopBar_->OnMouseMove = [this](TPaintBox32* box, int x, int) {
        const int32_t hit = TopBarHitAt(x);
        if (hit == box->Tag) return;
        QToolTip::hideText();
        const int32_t hint = TopBarHintId(hit, GetMessungLaeuft(), CanStartFromTopBar());
        box->setToolTip(hint > 0 ? GetLangText(hint) : QString());
        box->Tag = hit;
        box->Invalidate();
    };
    pbTopBar_->OnMouseLeave = [](TPaintBox32* box) {
        box->Tag = 0;
        box->Invalidate();
    };
    pbTopBar_->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton button, int x, int) {
        if (button == Qt::LeftButton) TopBarPress(TopBarHitAt(x));
    };
}

void TVTProMaster::TopBarPress(int32_t square) {
    if (MenuBarShown()) return;
    switch (square) {
    case kTopBarStartStop:
        if (GetMessungLaeuft()) aStopMessungExecute();
        else if (CanStartFromTopBar()) StartDinMessung();
        break;
    case kTopBarMenu: ToggleMenuBar(); break;
    case kTopBarClose:
        if (!GetMessungLaeuft()) close();
        break;
    default: break;
    }
}
