#include "platform/printer_port.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <cstdio>

namespace platform {

namespace {

struct PortState {
    QString chosen;
    bool jobOpen = false;
    std::function<QString(const QString&)> dialogAnswer;
};

PortState& state() {
    static PortState instance;
    return instance;
}

bool QueueExists(const QString& name) { return QPrinterInfo::availablePrinterNames().contains(name); }

QString UniquePartFile(const QString& target) {
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".part");
}

}  // namespace

QStringList PrinterNames() {
    QStringList names = QPrinterInfo::availablePrinterNames();
    names << kPdfPrinterName;
    return names;
}

bool SelectPrinter(const QString& name) {
    QString wanted = name;
    if (wanted == kDefaultPrinterName) {
        wanted = QPrinterInfo::defaultPrinterName();
        if (wanted.isEmpty()) wanted = kPdfPrinterName;
    }
    if (!PrinterNames().contains(wanted)) return false;
    state().chosen = wanted;
    return true;
}

int PrinterIndex() {
    if (state().chosen.isEmpty()) return -1;
    return static_cast<int>(PrinterNames().indexOf(state().chosen));
}

QString CurrentPrinterName() { return state().chosen; }
bool IsPdfPrinterChosen() { return state().chosen == kPdfPrinterName; }
void ClearPrinterChoice() { state().chosen.clear(); }
bool Printing() { return state().jobOpen; }

std::unique_ptr<QPrinter> MakeChosenPrinter(const QString& pdfFile) {
    const QString name = state().chosen;
    if (name.isEmpty()) return nullptr;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(QPageLayout::Portrait);
    if (name == kPdfPrinterName) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdfFile);
        return printer;
    }
    if (!QueueExists(name)) return nullptr;
    printer->setOutputFormat(QPrinter::NativeFormat);
    printer->setPrinterName(name);
    return printer;
}

void SetPrintDialogAnswer(std::function<QString(const QString&)> answer) { state().dialogAnswer = std::move(answer); }

bool RunPrintDialog(QWidget* owner) {
    if (state().dialogAnswer) {
        const QString answer = state().dialogAnswer(state().chosen);
        return !answer.isEmpty() && SelectPrinter(answer);
    }
    QPrinter printer(QPrinter::HighResolution);
    if (!state().chosen.isEmpty() && !IsPdfPrinterChosen()) printer.setPrinterName(state().chosen);
    QPrintDialog dialog(&printer, owner);
    if (dialog.exec() != QDialog::Accepted) return false;
    if (printer.outputFormat() == QPrinter::PdfFormat) return SelectPrinter(kPdfPrinterName);
    return SelectPrinter(printer.printerName());
}

std::unique_ptr<QPrinter> ChoosePrinter(QWidget* owner) {
    if (!RunPrintDialog(owner)) return nullptr;
    return MakeChosenPrinter();
}

PrintJob::PrintJob() = default;

PrintJob::~PrintJob() { Abort(); }

bool PrintJob::Begin(const QString& title, const QString& pdfFile) {
    error_.clear();
    if (open_) {
        error_ = QStringLiteral("A print job is already open.");
        return false;
    }
    const bool pdf = IsPdfPrinterChosen();
    if (pdf) {
        if (pdfFile.isEmpty()) {
            error_ = QStringLiteral("No file was given for the PDF output.");
            return false;
        }
        target_ = QFileInfo(pdfFile).absoluteFilePath();
        partFile_ = UniquePartFile(target_);
    }
    printer_ = MakeChosenPrinter(partFile_);
    if (!printer_) {
        error_ = state().chosen.isEmpty() ? QStringLiteral("No printer is chosen.")
                                          : QStringLiteral("The printer \"%1\" is not available.").arg(state().chosen);
        Release();
        return false;
    }
    printer_->setDocName(title);
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(printer_.get())) {
        error_ = pdf ? QStringLiteral("The file \"%1\" cannot be written.").arg(QDir::toNativeSeparators(target_))
                     : QStringLiteral("The printer \"%1\" cannot print.").arg(state().chosen);
        Release();
        return false;
    }
    open_ = true;
    state().jobOpen = true;
    return true;
}

QPainter& PrintJob::Painter() { return *painter_; }
QPrinter& PrintJob::Printer() { return *printer_; }

bool PrintJob::NewPage() { return open_ && printer_->newPage(); }

bool PrintJob::Finish() {
    if (!open_) return false;
    const bool ended = painter_->end();
    open_ = false;
    state().jobOpen = false;
    if (!ended) {
        error_ = QStringLiteral("The document could not be completed.");
        Release();
        return false;
    }
    if (!partFile_.isEmpty()) {
        if (std::rename(QFile::encodeName(partFile_).constData(), QFile::encodeName(target_).constData()) != 0) {
            error_ = QStringLiteral("The file \"%1\" cannot be written.").arg(QDir::toNativeSeparators(target_));
            Release();
            return false;
        }
        partFile_.clear();
    }
    Release();
    return true;
}

void PrintJob::Abort() {
    if (open_) {
        printer_->abort();
        painter_->end();
        open_ = false;
        state().jobOpen = false;
    }
    Release();
}

void PrintJob::Release() {
    painter_.reset();
    printer_.reset();
    if (!partFile_.isEmpty()) QFile::remove(partFile_);
    partFile_.clear();
}

}  // namespace platform
