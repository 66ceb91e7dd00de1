#pragma once
// TTimeSelect: picks a point in time inside a measurement as a day and a time
// of day; the chosen time never leaves the measurement's start and end.
#include <QDialog>

#include "platform/date_time.h"

class QComboBox;
class QLabel;
class QTimeEdit;
class TPaintBox32;

class TTimeSelect : public QDialog {
public:
    explicit TTimeSelect(QWidget* owner);

    void SetTimeLatch(platform::TDateTime t);
    // The limits and the day choice.
    void setZeiten(platform::TDateTime start, platform::TDateTime end);
    platform::TDateTime GetTimeLatch() const { return timeLatch; }

    QComboBox* DayList() const { return cbDate; }
    QTimeEdit* TimePicker() const { return timeSel; }
    bool DayListShown() const;

private:
    void ShowTimes();
    void TakeTime();

    platform::TDateTime timeLatch = 0.0;
    platform::TDateTime startTimeLatch = 0.0;
    platform::TDateTime endTimeLatch = 0.0;
    bool refreshing_ = false;
    QComboBox* cbDate = nullptr;
    QLabel* Label1 = nullptr;
    QTimeEdit* timeSel = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    TPaintBox32* pbCancel = nullptr;
    TPaintBox32* pbOk = nullptr;
};
