#include "reports/print_settings.h"

#include <QFileInfo>

#include "platform/printer_port.h"
#include "platform/user_dialogs.h"
#include "platform/registry.h"
#include "ui_kit/startup_settings.h"
#include "ui_kit/text_table.h"

namespace {

const QString kCurrentPrinter = QStringLiteral("CurrentPrinter");
const QString kPrintOutLangId = QStringLiteral("PrintOutLangId");
const QString kInfoPrint = QStringLiteral("InfoPrint");
const QString kGrafikPrint = QStringLiteral("GrafikPrint");
const QString kEinzelPrint = QStringLiteral("EinzelPrint");

}  // namespace

int32_t PackPrintInfo(const TPrintInfo& info) {
    const bool flags[] = {info.option, info.selected, info.leq, info.leqK, info.peak, info.l120, info.lFull, info.valSet};
    int32_t packed = 0;
    for (int bit = 0; bit < 8; ++bit) packed |= flags[bit] ? (1 << bit) : 0;
    return packed;
}

TPrintInfo UnpackPrintInfo(int32_t packed) {
    const auto bit = [packed](int n) { return (packed & (1 << n)) != 0; };
    return TPrintInfo{bit(0), bit(1), bit(2), bit(3), bit(4), bit(5), bit(6), bit(7)};
}

TPrintSettings& printSettings() {
    static TPrintSettings settings;
    return settings;
}

QString LoadPrinterSettings() {
    platform::Registry reg;
    if (!reg.OpenKeyReadOnly(kSettingsKey)) return platform::kDefaultPrinterName;
    TPrintSettings& s = printSettings();
    const int32_t lang = reg.ReadInteger(kPrintOutLangId).value_or(kLangGerman);
    s.printOutLangId = (lang == kLangGerman || lang == kLangEnglish) ? lang : kLangGerman;
    s.info = UnpackPrintInfo(reg.ReadInteger(kInfoPrint).value_or(0));
    s.grafik = UnpackPrintInfo(reg.ReadInteger(kGrafikPrint).value_or(0));
    s.einzel = UnpackPrintInfo(reg.ReadInteger(kEinzelPrint).value_or(0));
    return reg.ReadString(kCurrentPrinter).value_or(platform::kDefaultPrinterName);
}

void SavePrinterSettings(const QString& printerName) {
    TPrintSettings& s = printSettings();
    s.currentPrinter = printerName;
    platform::Registry reg;
    if (!reg.OpenKey(kSettingsKey, true)) return;
    reg.WriteString(kCurrentPrinter, printerName);
    reg.WriteInteger(kPrintOutLangId, s.printOutLangId);
    reg.WriteInteger(kInfoPrint, PackPrintInfo(s.info));
    reg.WriteInteger(kGrafikPrint, PackPrintInfo(s.grafik));
    reg.WriteInteger(kEinzelPrint, PackPrintInfo(s.einzel));
    reg.CloseKey();
}

bool IsPrintReady() {
    const TPrintSettings& s = printSettings();
    return s.info.valSet && s.grafik.valSet && s.einzel.valSet && platform::PrinterIndex() >= 0;
}

QString AskPdfTarget(const QString& measurementFile, const QString& title, QWidget* owner) {
    platform::SaveFileRequest request;
    request.title = title;
    request.filter = QStringLiteral("PDF|*.pdf");
    request.defaultExtension = QStringLiteral("pdf");
    request.startFolder = QFileInfo(measurementFile).absolutePath();
    request.fileName = QFileInfo(measurementFile).completeBaseName() + QStringLiteral(".pdf");
    request.overwritePrompt = true;
    request.owner = owner;
    const platform::SaveFileAnswer answer = platform::userDialogs()->AskSaveFile(request);
    return answer.ok() ? answer.path : QString();
}
