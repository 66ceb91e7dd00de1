#pragma once
// The program-wide print settings: what each of the three sections of the
// printed protocol shows, the language of the printout and the chosen
// printer, kept in the program's registry key.
#include <QString>

class QWidget;

#include <cstdint>

// Eight flags of one section, stored as one integer, bit 0 `option` to bit 7 `valSet`.
struct TPrintInfo {
    bool option = false;
    bool selected = false;
    bool leq = false;
    bool leqK = false;
    bool peak = false;
    bool l120 = false;
    bool lFull = false;
    bool valSet = false;

    bool operator==(const TPrintInfo&) const = default;
};

int32_t PackPrintInfo(const TPrintInfo& info);
TPrintInfo UnpackPrintInfo(int32_t packed);

// The program-wide settings; main thread.
struct TPrintSettings {
    TPrintInfo info;      // report pages
    TPrintInfo grafik;    // graph page
    TPrintInfo einzel;    // single-value pages
    int32_t printOutLangId = 0;
    QString currentPrinter;
};

TPrintSettings& printSettings();

// Reads the settings; answers the stored printer name, "DefaultPrinter" when
// none is stored. A language other than 1 or 2 reads as 1 (German).
QString LoadPrinterSettings();
// Stores printerName as the current printer and writes every setting.
void SavePrinterSettings(const QString& printerName);
// All three sections chosen and a printer selected.
bool IsPrintReady();

// The PDF target of a printed protocol: asked with the save prompt, beside
// the measurement file unless the user names another. Empty when cancelled.
QString AskPdfTarget(const QString& measurementFile, const QString& title, QWidget* owner);
