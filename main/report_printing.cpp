// The protocol menu's print actions: the last or a stored measurement file
// printed with or without the print options dialog.
#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

#include "main/main_window.h"
#include "platform/printer_port.h"
#include "platform/user_dialogs.h"
#include "reports/print_options_dialog.h"
#include "reports/print_settings.h"
#include "reports/report_producer.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "ui_kit/message_box.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

QAction* FindAction(QMenu* menu, const char* name) {
    for (QAction* action : menu->actions())
        if (action->objectName() == QLatin1String(name)) return action;
    return nullptr;
}

}  // namespace

void TVTProMaster::WirePrintActions() {
    printCurrentAction_ = FindAction(reportMenu_, "pmPPrintCurrent");
    printStoredAction_ = FindAction(reportMenu_, "Durcken1");
    printDirectAction_ = FindAction(reportMenu_, "mmPPrintDirekt");
    if (!printCurrentAction_ || !printStoredAction_ || !printDirectAction_) return;
    printLastDirectAction_ = new QAction(QStringLiteral("Direct print last protocol"), reportMenu_);
    printLastDirectAction_->setObjectName(QStringLiteral("mmPAktuellDirekt"));
    reportMenu_->insertAction(FindAction(reportMenu_, "AbgebrocheneMessungwiederherstellen1"), printLastDirectAction_);
    printStoredAction_->setEnabled(true);
    connect(printCurrentAction_, &QAction::triggered, this, [this] {
        if (QFileInfo::exists(lastProt)) PrintIt(lastProt, true);
        else PrintFromFiles(true);
    });
    connect(printLastDirectAction_, &QAction::triggered, this, [this] {
        if (QFileInfo::exists(lastProt)) PrintIt(lastProt, false);
        else PrintFromFiles(false);
    });
    connect(printDirectAction_, &QAction::triggered, this, [this] { PrintFromFiles(false); });
    connect(printStoredAction_, &QAction::triggered, this, [this] { PrintFromFiles(true); });
    connect(reportMenu_, &QMenu::aboutToShow, this, [this] { PrepareReportMenu(); });
    PrepareReportMenu();
}

void TVTProMaster::PrepareReportMenu() {
    if (!printCurrentAction_) return;
    const bool idle = !GetMessungLaeuft();
    const bool fileThere = QFileInfo::exists(lastProt);
    printCurrentAction_->setEnabled(fileThere && idle);
    printCurrentAction_->setToolTip(fileThere ? lastProt : QStringLiteral("No file assigned"));
    printStoredAction_->setEnabled(idle);
    const bool ready = IsPrintReady();
    for (QAction* direct : {printDirectAction_, printLastDirectAction_}) {
        direct->setVisible(ready);
        direct->setEnabled(idle);
    }
    if (ready) {
        const QString printer = QStringLiteral(" (") + platform::CurrentPrinterName() + QLatin1Char(')');
        printDirectAction_->setText(QStringLiteral("Direct print") + printer);
        printLastDirectAction_->setText(QStringLiteral("Direct print last protocol") + printer);
    }
}

void TVTProMaster::PrintIt(const QString& file, bool askSettings) {
    if (QFileInfo::exists(file)) {
        PrintProtocolFile(file, askSettings);
        return;
    }
    AskMessageTexts(QStringLiteral("File: ") + file + QLatin1Char('\n') + QStringLiteral("not find"),
                    QStringLiteral("Report Print Out"), QString(), QStringLiteral("Got It"), this);
}

void TVTProMaster::PrintFromFiles(bool askSettings) {
    const QStringList files = QFileDialog::getOpenFileNames(this, GetLangText(204), fields_.userPfad,
                                                            QStringLiteral("Veltaro Report (*.VTM *.vtm)"));
    if (files.size() == 1) {
        PrintIt(files.front(), askSettings);
        return;
    }
    for (const QString& file : files) PrintIt(file, false);
}

bool TVTProMaster::PrintProtocolFile(const QString& file, bool askSettings) {
    TDaten store;
    QString why;
    if (store.LoadFromFile(file, kLoadEverything, &why) != kLoadDone) {
        AddEventMessage(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(file), why), false, false);
        return false;
    }
    TPrintSettings& settings = printSettings();
    if (askSettings || !IsPrintReady()) {
        TPrintConfig config;
        const QString title = store.GetVeranstaltung().isEmpty() ? store.GetSaveName() : store.GetVeranstaltung();
        // A cancelled choice must not become what later direct prints use.
        if (!config.ShowMenu(title, &store)) return false;
        settings.info = config.GetPrintSettings(1);
        settings.grafik = config.GetPrintSettings(3);
        settings.einzel = config.GetPrintSettings(2);
        if (config.GetLangId() != 0) settings.printOutLangId = config.GetLangId();
        if (!platform::RunPrintDialog(this)) return false;
        RememberPrinter();
    }
    QString pdfFile;
    if (platform::IsPdfPrinterChosen()) {
        pdfFile = AskPdfTarget(file, GetLangText(230), this);
        if (pdfFile.isEmpty()) return false;
    }
    const int32_t lang = settings.printOutLangId == kLangGerman || settings.printOutLangId == kLangEnglish
                             ? settings.printOutLangId
                             : kLangGerman;
    TAuswertung producer;
    return producer.DoProt(&store, false, lang, settings.info, settings.grafik, settings.einzel, pdfFile);
}

void TVTProMaster::RememberPrinter() {
    const QString chosen =
        platform::PrinterIndex() < 0 ? platform::kDefaultPrinterName : platform::CurrentPrinterName();
    if (chosen.compare(printSettings().currentPrinter, Qt::CaseInsensitive) == 0) return;
    SavePrinterSettings(chosen);
}
