#pragma once
// The DMX scene editor: the 512 channel values of one scene (16 normal, 17
// warning, 18 exceeding, 20 no measurement) in a grid of 80 channels at a
// time, a value slider and a value menu. Every change goes into the DMX data
// at once, so the lights show the scene while it is edited; the opener backs
// the data up and restores it when the editor does not end with 1.
#include <QDialog>

#include <array>
#include <cstdint>

class QMenu;
class QScrollBar;
class QSlider;
class TPaintBox32;

class TDMXSetup : public QDialog {
public:
    explicit TDMXSetup(QWidget* owner, double dpi = 0);

    void Init(int32_t mode);
    void SelectChannel(int32_t index);
    void ChangeValue(int32_t step);
    void SetSelectedValue(int32_t value);
    void ResetAllChannels();

    int32_t SelectedChannel() const { return selKanal; }
    int32_t ViewStart() const { return disStartPos; }
    int32_t Value(int32_t channel) const;
    TPaintBox32* Grid() const { return pbMatrix; }
    QSlider* ValueSlider() const { return gbDMX; }
    QScrollBar* ViewScroll() const { return gbPos; }
    QMenu* ValueMenu();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ApplyScale(double dpi);
    void SyncSlider();
    void SliderChanged(int position);
    void SendValue(int32_t channel);
    void PaintGrid(TPaintBox32* box);
    void GridMouseDown(Qt::MouseButton button, int x, int y);

    std::array<uint8_t, 512> outVals{};
    bool haveData_ = false;
    int32_t myMode = 16;
    int32_t selKanal = -1;
    int32_t disStartPos = 0;
    double mySf = 1.0;
    TPaintBox32* pbMatrix = nullptr;
    QScrollBar* gbPos = nullptr;
    QSlider* gbDMX = nullptr;
    QMenu* popValues = nullptr;
    TPaintBox32* pbCancel = nullptr;
    TPaintBox32* pbOk = nullptr;
};
