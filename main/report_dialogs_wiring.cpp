// The report dialogs behind the report seam: registered while the window
// lives, unless a test registered its own first; and the report data entry.
#include <QTabWidget>

#include "main/main_window.h"
#include "platform/user_dialogs.h"
#include "reports/report_dialog_services.h"
#include "ui_kit/message_box.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

void TVTProMaster::StartReportDialogs() {
    reportDialogs_ = std::make_unique<TReportDialogServices>();
    if (reportServices() == nullptr) RegisterReportServices(reportDialogs_.get());
}

void TVTProMaster::EndReportDialogs() {
    if (reportDialogs_ && reportServices() == reportDialogs_.get()) RegisterReportServices(nullptr);
    reportDialogs_.reset();
}

void TVTProMaster::EditMessungData() {
    StopFindPeak();
    TDaten* store = defaultDaten.load();
    if (store == nullptr) return;
    if (hintsEditor_ && hintsEditor_->IsChanged()) {
        hintsEditor_->BringToFront();
        const QString question = GetLangText(69) + QStringLiteral("\r\n\r\n") + GetLangText(70);
        const int answer = AskMessageTexts(question, GetLangText(71), GetLangText(403), GetLangText(843), this);
        if (answer == platform::kMessageRight) {
            EndHinweise(true);
        } else if (answer == platform::kMessageLeft) {
            EndHinweise(false);
            return;
        }
    }
    TMessProtokollEingabe dialog(this);
    dialog.move(FitRectToWorkArea(QRect(frameGeometry().center() - QPoint(dialog.width() / 2, dialog.height() / 2),
                                        dialog.frameGeometry().size())));
    dialog.Pages()->setCurrentIndex(lastPindex_ == 1 ? 1 : 0);
    dialog.SetData(*store);
    const int result = runDataEntry ? runDataEntry(dialog) : dialog.ShowModal();
    if (result == 1) {
        dialog.WriteTo(*store);
        ++statusInfo_;
        SaveDefaultStore(*store);
    }
    lastPindex_ = dialog.Pages()->currentIndex();
    if (pbInfoMessung_) pbInfoMessung_->Invalidate();
}
