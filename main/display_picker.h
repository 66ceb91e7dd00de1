#pragma once
// The display element catalogue in words (the name and the description of
// each element a display area can show) and the element picker: a small
// non-modal window listing every offered element under its heading, with
// the selected element's description and the buttons "Okay" and "Cancel".
// The picker answers the main window with notification 322 and is freed
// there. GUI thread only.
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>

#include "platform/window_messages.h"

class TPaintBox32;

inline constexpr intptr_t kPickerCancelAnswer = -1;
inline constexpr int32_t kPickerRowCount = 31;

QString GetDisplayElementName(int32_t element);
QString GetDisplayElementInfo(int32_t element);
// The header of the area's popup and the picker's caption: text 94, 93, 90
// or 91 for areas 1..4, else "CHANGE DISPLAY".
QString AreaCaption(int32_t area);
// What notification 322 carries for a choice; -1 is Cancel.
intptr_t PickerAnswer(int32_t targetArea, int32_t element);

struct PickerRow {
    int32_t textId;
    int32_t element;  // -1 for a heading
};
const std::array<PickerRow, kPickerRowCount>& PickerRows();
// A row's text in the current language; the RMS rows name the weighting.
QString PickerRowText(int32_t row);

class TSelectDisplay : public QWidget {
public:
    explicit TSelectDisplay(QWidget* owner);

    void SetCurrentId(int32_t newId, int32_t targetArea);
    int32_t GetCurrentId() const { return currentId; }
    void SetMeHa(platform::WindowHandle handle) { myMeHa = handle; }
    int32_t TargetArea() const { return myTargetId; }
    int32_t RowStep() const { return yStep; }

    TPaintBox32* pbTop = nullptr;
    TPaintBox32* pbBottom = nullptr;
    QWidget* pTrenn = nullptr;

    // The answers, as the buttons and the keys give them.
    void AnswerOk();
    void AnswerCancel();
    QRect OkRect() const { return rOk; }
    QRect CancelRect() const { return rCancel; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormResize();
    void PlacePanes();
    void PaintList(TPaintBox32* box);
    void PaintDescription(TPaintBox32* box);
    void ListMouseDown(int y);
    void ButtonsMouseMove(int x, int y);
    void ButtonsMouseUp(int x, int y);
    void SendAnswer(intptr_t answer);
    void RepaintBoth();
    int32_t RowOfCurrent() const;
    int32_t FontHeight() const;

    std::array<int32_t, kPickerRowCount> aId{};
    int32_t currentId = 0;
    int32_t yStep = 0;
    int32_t myTargetId = 0;
    QRect rCancel, rOk;
    bool bCancel = false;
    bool bOk = false;
    platform::WindowHandle myMeHa = 0;
    double mySf = 0.0;
};
