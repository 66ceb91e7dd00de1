#pragma once
// The printer as the program sees it: the list of printers by name (CUPS
// queues), the one chosen for printing, a "PDF file" target that needs no
// installed printer, whether a document is being printed now, the print
// dialog, and print jobs that leave either a whole document or nothing.
//
// All calls on the GUI thread.
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QPainter;
class QPrinter;
class QWidget;

namespace platform {

// Stored printer name of the PDF target; a CUPS queue name cannot hold a blank.
inline const QString kPdfPrinterName = QStringLiteral("PDF file");
// Stored printer name that means the system's default printer.
inline const QString kDefaultPrinterName = QStringLiteral("DefaultPrinter");

// The printer names: every CUPS queue, then the PDF target.
QStringList PrinterNames();
// Selects a printer by name ("DefaultPrinter": the system default, or the PDF
// target when the system has none). False, and the choice unchanged, for a
// name that is not in the list.
bool SelectPrinter(const QString& name);
// Index of the chosen printer in PrinterNames(); -1 before any choice.
int PrinterIndex();
// The chosen printer's name; empty before any choice.
QString CurrentPrinterName();
bool IsPdfPrinterChosen();
// Forgets the choice (tests; a vanished queue).
void ClearPrinterChoice();

// True while a print job of this program is open.
bool Printing();

// A printer set up for the chosen printer (the PDF target writes to
// pdfFile). Nullptr when no printer is chosen or its queue has gone.
std::unique_ptr<QPrinter> MakeChosenPrinter(const QString& pdfFile = QString());

// The print dialog over the chosen printer. On confirmation the printer the
// user chose becomes the chosen printer and true is returned. Tests answer it
// through SetPrintDialogAnswer instead of a modal window.
bool RunPrintDialog(QWidget* owner);
// answer(chosen printer name) gives the name the user confirmed, or an empty
// text for Cancel; an empty function restores the real dialog.
void SetPrintDialogAnswer(std::function<QString(const QString&)> answer);

// The one call for a printout of the program's own: the print dialog, then a
// printer configured for the chosen printer. Nullptr when the user cancelled
// or no printer could be set up. The PDF target asks no file here: the
// caller sets the output file on the returned printer.
std::unique_ptr<QPrinter> ChoosePrinter(QWidget* owner);

// One document on the chosen printer. For the PDF target the pages go to a
// temporary file beside the target, which replaces the target only at
// Finish(); an aborted or dropped job leaves nothing. Printing() is true from
// a successful Begin() until Finish(), Abort() or destruction.
class PrintJob {
public:
    PrintJob();
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // Starts the document; false with ErrorText() when the printer cannot be
    // set up or the file cannot be written, and nothing begun.
    bool Begin(const QString& title, const QString& pdfFile = QString());
    QPainter& Painter();
    QPrinter& Printer();
    bool NewPage();
    // Ends the document; for the PDF target the file takes its place now.
    bool Finish();
    // Drops the document: nothing printed, no file left.
    void Abort();
    QString ErrorText() const { return error_; }

private:
    void Release();

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    QString target_;
    QString partFile_;
    QString error_;
    bool open_ = false;
};

}  // namespace platform
