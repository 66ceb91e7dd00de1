#include "main/status_line.h"

#include <QRectF>

#include <algorithm>

#include "main/main_window.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/report_naming_services.h"

namespace {


void UseStatusFont(TBitmap32& bitmap) {
    bitmap.Font = TFont32{};
    bitmap.Font.height = RoundI(-12 * UIScale);
    bitmap.Font.color = clText;
}

}  // namespace

StatusLineLayout ComputeStatusLine(const TBitmap32& bitmap, const std::array<QString, 3>& texts, bool onBattery,
                                   int margin) {
    StatusLineLayout l;
    const int w = bitmap.Width();
    const int h = bitmap.Height();
    const int textHeight = bitmap.TextHeight(QStringLiteral("gPqT"));
    const int y = RoundI((h - textHeight) * 0.5);
    int start = margin;
    if (onBattery) {
        l.battery = QRect(margin, y, textHeight, textHeight);
        start = l.battery.right() + 1 + margin;
    }
    const int w0 = texts[0].isEmpty() ? 0 : bitmap.TextWidth(texts[0]);
    l.slot0 = QRect(start, y, std::max(0, std::min(w0, w - start)), textHeight);
    const int end0 = texts[0].isEmpty() ? start : start + w0 + margin;
    const int w1 = texts[1].isEmpty() ? 0 : bitmap.TextWidth(texts[1]);
    const int x1 = std::max(RoundI((w - w1) * 0.5), end0);
    l.slot1 = QRect(x1, y, std::max(0, std::min(w1, w - x1)), textHeight);
    const int end1 = texts[1].isEmpty() ? end0 : x1 + w1 + margin;
    const int w2 = texts[2].isEmpty() ? 0 : bitmap.TextWidth(texts[2]);
    const int right = w - margin;
    if (end1 + w2 <= right) {
        l.slot2 = QRect(right - w2, 0, w2, h);
        l.slot2Flags = kTextRight | kTextVCenter | kTextSingleLine;
    } else {
        l.slot2 = QRect(end1, 0, std::max(0, right - end1), h);
        l.slot2Flags = kTextLeft | kTextVCenter | kTextSingleLine | kTextPathEllipsis;
    }
    return l;
}

void PaintStatusLine(TBitmap32& bitmap, const std::array<QString, 3>& texts, bool onBattery, int margin,
                     const std::function<void(TBitmap32&, int32_t, const QRectF&)>& drawIcon) {
    bitmap.Clear(clBack32);
    if (bitmap.Empty()) return;
    UseStatusFont(bitmap);
    const StatusLineLayout l = ComputeStatusLine(bitmap, texts, onBattery, margin);
    if (!l.battery.isEmpty() && drawIcon) drawIcon(bitmap, kBatteryIcon, QRectF(l.battery));
    bitmap.Textout(l.slot0.x(), l.slot0.y(), texts[0]);
    bitmap.Textout(l.slot1.x(), l.slot1.y(), texts[1]);
    bitmap.DrawText(l.slot2, texts[2], l.slot2Flags);
}

// --- The main window's side ---

void TVTProMaster::SetStatusInfo(int32_t slot, const QString& text) {
    if (slot < 0 || slot >= static_cast<int32_t>(statusSlots_.size())) return;
    if (statusSlots_[slot] == text) return;
    statusSlots_[slot] = text;
    PostMainNotify(kNotifyStatusLine, 1);
}

QString TVTProMaster::StatusSlot(int32_t slot) const {
    return slot >= 0 && slot < static_cast<int32_t>(statusSlots_.size()) ? statusSlots_[slot] : QString();
}

void TVTProMaster::WireStatusLine() {
    pbStatus_->setObjectName(QStringLiteral("pbStatus"));
    pbStatus_->OnPaintBuffer = [this](TPaintBox32* box) {
        std::array<QString, 3> shown = statusSlots_;
        if (ReportNaming* naming = reportNaming()) shown[2] = naming->SymbolicPath(shown[2]);
        PaintStatusLine(box->Buffer(), shown, isAkku_, UISpace, IconPainter());
    };
    pbStatus_->OnMouseDown = [this](TPaintBox32* box, Qt::MouseButton, int x, int y) {
        if (!isAkku_) return;
        UseStatusFont(box->Buffer());
        const StatusLineLayout l = ComputeStatusLine(box->Buffer(), statusSlots_, true, UISpace);
        if (l.battery.contains(x, y)) CheckPowerStatus();
    };
}
