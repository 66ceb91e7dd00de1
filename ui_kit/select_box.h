#pragma once
// A check box / radio item painted into a paint box: a ring with a filled
// disc and a label beside it. The owning window keeps one per item, paints it
// from its paint handler and calls DoClick from its click handler.
#include <QRect>
#include <QString>

#include <cstdint>

class TPaintBox32;

class TSelBox {
public:
    // States: selected/enabled, not selected/enabled, selected/disabled,
    // not selected/disabled.
    static constexpr int32_t kSelectedEnabled = 1;
    static constexpr int32_t kClearEnabled = 2;
    static constexpr int32_t kSelectedDisabled = 3;
    static constexpr int32_t kClearDisabled = 4;

    TSelBox();

    int32_t myState = kClearEnabled;
    QString myLabel;
    double myScale = 1.0;  // pixels per inch / 96
    bool myVisible = true;

    // Each answers whether the state changed.
    bool SetStatus(bool isOn, bool isEnabled);
    // Only an enabled box changes.
    bool SetSelected(bool isSelected);
    // A hidden box is left alone; the selection is kept.
    bool SetEnable(bool isEnabled);
    bool GetIsEnabled() const;
    bool GetIsSelected() const;
    // An enabled box toggles.
    bool DoClick();
    // Stores the label; answers whether it differs ignoring letter case.
    bool SetLabel(const QString& newLabel);
    bool SetLabel(int32_t newLabelId);
    void SetVisible(bool showMe) { myVisible = showMe; }

    // Label width in the box's buffer font plus the ring and its spacing.
    int32_t GetWidth(TPaintBox32* wo, const QString& theLabel);
    // The same at the font height of dpiSf (stored as myScale); an empty
    // label means the stored one.
    int32_t GetWidth(TPaintBox32* wo, const QString& theLabel, double dpiSf);

    void Paint(TPaintBox32* wo, const QRect& target, bool isMouseOver, double dpiSf, bool fillFull,
               const QString& theLabel);
    void Paint(TPaintBox32* wo, double dpiSf, bool isMouseOver);
    void Paint(TPaintBox32* wo, const QString& theLabel);
    void Paint(TPaintBox32* wo, double dpiSf);
    void Paint(TPaintBox32* wo, const QString& theLabel, double dpiSf);
    // Hovered exactly when the paint box's Tag is 1.
    void PaintMO(TPaintBox32* wo, double dpiSf);
};
