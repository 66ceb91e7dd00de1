#pragma once
// What the measurement store uses of the reports subsystem.
//
// The password prompt that the file loader shows for an enciphered
// measurement file is the dialog service's AskPassword
// (platform/user_dialogs.h, file mode, the file's path as name, result 1 OK
// or 2 Cancel with the typed text), so a test scripts it like any other
// dialog.
//
// The viewer's CSV export asks its settings dialog and hands the answers to
// the store's CSV writer; ReportServices creates that dialog. The subsystem
// registers its implementation at start; before that the accessor answers
// nullptr.
#include <QChar>
#include <QString>

#include <memory>

class QWidget;

// The CSV export settings dialog as the export reads it.
class TcsvExportSettings {
public:
    virtual ~TcsvExportSettings() = default;

    // Presets the three column switches and their captions.
    virtual void PresetColumns(bool leq, bool leqK, bool peak, const QString& leqLabel,
                               const QString& leqKLabel, const QString& peakLabel) = 0;
    // Shows the dialog modally: 1 when confirmed, 2 when cancelled. The
    // dialog confirms only with a file name longer than 3 characters and at
    // least one column switched on.
    virtual int ShowModal() = 0;

    // The chosen target file (full path).
    virtual QString getFile() const = 0;
    // Separator: ',' (the default), ';', tab or space.
    virtual QChar getSep() const = 0;
    // Decimal character: '.' (the default) or ','; always '.' with the comma separator.
    virtual QChar getDezi() const = 0;
    // "First row contains labels" (on when the dialog opens).
    virtual bool GetUseHeader() const = 0;
    // The Leq, short-term Leq and peak column switches.
    virtual bool GetELeq() const = 0;
    virtual bool GetELeqK() const = 0;
    virtual bool GetEPeak() const = 0;
};

class ReportServices {
public:
    virtual ~ReportServices() = default;

    // A new CSV export settings dialog owned by owner. GUI thread.
    virtual std::unique_ptr<TcsvExportSettings> NewCsvExportSettings(QWidget* owner) = 0;
};

// The registered implementation, or nullptr before the subsystem started.
ReportServices* reportServices();
void RegisterReportServices(ReportServices* services);
