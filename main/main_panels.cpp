// The main window's side of its smaller panels: the info panels of the right
// side, the status line and the top bar get their handlers here.
#include <QPainter>

#include "main/info_panels.h"
#include "main/main_window.h"
#include "ui_kit/shared_state.h"

std::function<void(TBitmap32&, int32_t, const QRectF&)> TVTProMaster::IconPainter() {
    return [this](TBitmap32& bitmap, int32_t index, const QRectF& square) {
        if (bitmap.Empty()) return;
        QPainter painter(&bitmap.Image());
        DrawSvgIcon(painter, index, square);
    };
}

void TVTProMaster::BuildInfoPanels() {
    WireStatusLine();
    WireTopBar();
    TInfoPanels::Hooks hooks;
    hooks.running = [this] { return GetMessungLaeuft(); };
    hooks.drawIcon = IconPainter();
    hooks.maxima = [this] {
        TInfoPanels::Maxima m;
        m.leq = dispMaxLeq.load();
        m.leqTime = dispMaxLeqTime.load();
        m.leqK = dispMaxLeqK.load();
        m.leqKTime = dispMaxLeqKTime.load();
        m.peak = maxPeak_;
        m.peakTime = maxPeakTime_;
        return m;
    };
    hooks.memoLines = [this] { return memoLines_; };
    hooks.syncWebTime = [this] { SyncWebTime(); };
    // The message list, the data entry, the regulation choice, the protocol
    // window, the about window, the options and the web-time synchronisation
    // are opened by parts of the program that do not exist yet: until they
    // do, those clicks do nothing, and no address list is kept.
    TInfoPanels::Boxes boxes{pbInfoMessung_, pbRunten_, pbMInfo_, pbLogo_, pbIpInfo_};
    infoPanels_ = std::make_unique<TInfoPanels>(boxes, settings_, std::move(hooks));
}

void TVTProMaster::RepaintTickPanels() {
    if (infoPanels_) infoPanels_->RepaintOnTick();
    // The start, the stop and the calibration status change the top bar's squares.
    const int32_t squares = (GetMessungLaeuft() ? 1 : 0) | (CanStartFromTopBar() ? 2 : 0);
    if (pbTopBar_ && squares != topBarSquares_) {
        topBarSquares_ = squares;
        pbTopBar_->Invalidate();
    }
}

void TVTProMaster::ShowRunten() {
    if (!pbRunten_) return;
    pbRunten_->show();
    pbRunten_->Invalidate();
}

void TVTProMaster::HideRunten() {
    if (pbRunten_) pbRunten_->hide();
}
