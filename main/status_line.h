#pragma once
// The status line at the bottom of the main window: three text texts (0 the
// state, 1 centred, 2 a file or hint at the right) and, while the computer
// runs on battery, the battery icon in front of them.
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

class TBitmap32;

struct StatusLineLayout {
    QRect battery;  // empty unless on battery
    QRect slot0, slot1, slot2;
    uint32_t slot2Flags = 0;
};

// Where the texts go in a line of width x height with margin a. Slot 1 is
// centred but starts no earlier than after slot 0; slot 2 is right-aligned
// when it fits after slot 1, else it gets the rest of the line and is
// shortened in its middle.
StatusLineLayout ComputeStatusLine(const TBitmap32& bitmap, const std::array<QString, 3>& texts, bool onBattery,
                                   int margin);

// Paints the line into the bitmap (already sized); slot 2 is shown as given.
void PaintStatusLine(TBitmap32& bitmap, const std::array<QString, 3>& texts, bool onBattery, int margin,
                     const std::function<void(TBitmap32&, int32_t, const QRectF&)>& drawIcon);

inline constexpr int32_t kBatteryIcon = 14;
