#pragma once
// A horizontal on/off switch glyph: a pill with a knob at the off (left) or
// on (right) end, with a hit area for each half. The window draws it on its
// 32-bit bitmap and asks IsOn/IsOff from its mouse handlers; the hit areas
// are those of the last DrawSwitch, so a window draws before it tests hits.
#include <QPoint>
#include <QRect>

#include <cstdint>

#include "ui_kit/paint_box.h"

class TSchalter {
public:
    TSchalter() = default;

    TColor32 clOn = Opaque32(0, 127, 0);
    TColor32 clOff = Opaque32(255, 0, 0);
    QPoint myCenter;
    int32_t myB = 0;  // width
    int32_t myH = 0;  // height
    QRect rOn;        // right half
    QRect rOff;       // left half
    double dx = 0;    // half the distance between the end-circle centres
    double dy = 0;    // radius of the end circles
    bool newRects = true;
    bool isEnabled = true;

    void SetColors(TColor32 cOff, TColor32 cOn);
    void SetPos(QPoint pos);
    void SetSize(int32_t w, int32_t h);
    void SetSizeAndPos(int32_t w, int32_t h, QPoint pos);
    // Answers whether it changed.
    bool SetEnabled(bool isSwitchEnabled);
    bool GetIsEnabled() const { return isEnabled; }
    int32_t GetWidth() const { return myB; }
    int32_t GetHeight() const { return myH; }
    int32_t GetCenterY() const { return myCenter.y(); }

    // True when the switch is enabled and (x, y) lies in the half, bounds included.
    bool IsOff(int x, int y) const;
    bool IsOn(int x, int y) const;
    // (left of rOff, top of rOn, right of rOn, bottom of rOff).
    QRect BoundsRect() const;
};

class TSchalterH : public TSchalter {
public:
    // Width and the matching height Round(width x 17 / 33).
    void SetWidth(int32_t newWidth);
    // isLeft: the knob at the left, off.
    void DrawSwitch(TBitmap32& wo, bool isLeft);

private:
    void UpdateHitAreas();
};
