#include "reports/time_jump_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QTime>
#include <QTimeEdit>

#include <cmath>

#include "reports/report_dialog_kit.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr double kMsPerDay = 86400000.0;

double DayOf(platform::TDateTime t) { return std::floor(t); }

QTime TimeOfDay(platform::TDateTime t) {
    const double ms = std::round((t - DayOf(t)) * kMsPerDay);
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(std::min(ms, kMsPerDay - 1)));
}

}  // namespace

TTimeSelect::TTimeSelect(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint) {
    setModal(true);
    setPalette(SchemeWidgetPalette(palette()));
    setAutoFillBackground(true);
    setWindowTitle(GetLangText(683));
    setFont(TFont32{QStringLiteral("VERDANA"), -12, false, clText}.ToQFont());
    cbDate = new QComboBox(this);
    cbDate->setGeometry(8, 8, 133, 23);
    SetComboStyle(1.0, cbDate);
    Label1 = new QLabel(this);
    Label1->setGeometry(8, 8, 133, 23);
    timeSel = new QTimeEdit(this);
    timeSel->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    timeSel->setGeometry(143, 8, 133, 23);
    SetEditStyle(timeSel, 1.0);
    Label2 = new QLabel(this);
    Label2->setGeometry(8, 35, 268, 17);
    Label3 = new QLabel(this);
    Label3->setGeometry(8, 54, 268, 17);
    pbCancel = new TPaintBox32(this);
    pbCancel->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 403); };
    pbCancel->OnClick = [this](TPaintBox32*) { done(2); };
    pbOk = new TPaintBox32(this);
    pbOk->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 684); };
    pbOk->OnClick = [this](TPaintBox32*) { done(1); };
    for (TPaintBox32* button : {pbCancel, pbOk}) {
        InitButton(button, 1.0, false);
        WireButtonStates(button, true);
    }
    pbCancel->setGeometry(8, 85, 133, 33);
    pbOk->setGeometry(143, 85, 133, 33);
    setFixedSize(284, 126);
    cbDate->hide();
    connect(timeSel, &QTimeEdit::timeChanged, this, [this] { TakeTime(); });
    connect(cbDate, &QComboBox::currentIndexChanged, this, [this] { TakeTime(); });
}

bool TTimeSelect::DayListShown() const { return !cbDate->isHidden(); }

void TTimeSelect::SetTimeLatch(platform::TDateTime t) {
    timeLatch = t;
    ShowTimes();
}

void TTimeSelect::setZeiten(platform::TDateTime start, platform::TDateTime end) {
    startTimeLatch = start;
    endTimeLatch = end;
    refreshing_ = true;
    cbDate->clear();
    // An end before the start's day (no valid stop time) offers the start day
    // only, instead of stepping towards a day that never comes.
    const bool oneDay = DayOf(end) <= DayOf(start);
    if (!oneDay) {
        cbDate->addItem(DateText(start), 0);
        for (int i = 1; DayOf(start + i) <= DayOf(end); ++i) cbDate->addItem(DateText(start + i), i);
        cbDate->setCurrentIndex(0);
    }
    cbDate->setVisible(!oneDay);
    Label1->setVisible(oneDay);
    refreshing_ = false;
    ShowTimes();
}

void TTimeSelect::ShowTimes() {
    refreshing_ = true;
    timeSel->setTime(TimeOfDay(timeLatch));
    refreshing_ = false;
    Label1->setText(DateText(timeLatch));
    Label2->setText(DateTimeText(startTimeLatch) + GetLangText(40));
    Label3->setText(DateTimeText(endTimeLatch) + GetLangText(64));
}

void TTimeSelect::TakeTime() {
    if (refreshing_) return;
    double t = DayOf(startTimeLatch) + timeSel->time().msecsSinceStartOfDay() / kMsPerDay;
    if (DayListShown() && cbDate->currentIndex() >= 0) t += cbDate->currentData().toInt();
    if (t < startTimeLatch) t = startTimeLatch;
    if (t > endTimeLatch && endTimeLatch >= startTimeLatch) t = endTimeLatch;
    timeLatch = t;
    refreshing_ = true;
    timeSel->setTime(TimeOfDay(t));
    refreshing_ = false;
    Label1->setText(DateText(timeLatch));
}
