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
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include "platform/date_time.h"
#include "platform/window_messages.h"

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
    // "First row contains labels" (off when the dialog opens).
    virtual bool GetUseHeader() const = 0;
    // The Leq, short-term Leq and peak column switches.
    virtual bool GetELeq() const = 0;
    virtual bool GetELeqK() const = 0;
    virtual bool GetEPeak() const = 0;
};

// The end-of-measurement dialog, not modal. It posts notification 295 to
// the main window when its done button is pressed, 294 with 5 for the hints
// editor and 296 for the verification after the measurement.
class TEndOfMeasurement {
public:
    virtual ~TEndOfMeasurement() = default;
    // Whether the verification after the measurement is required.
    virtual void SetForceKal(bool force) = 0;
    // Records a closing verification (time > 0 and |difference| < 50 dB only).
    virtual void SetKalDone(platform::TDateTime time, double difference) = 0;
    // The report password typed.
    virtual QString GetPW() const = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual QRect FrameGeometry() const = 0;
};

// The hints editor, not modal: it reports cancel and save to window with
// notifications cancelCode and okCode.
class THinweise {
public:
    virtual ~THinweise() = default;
    virtual void SetTheHints(const QString& text) = 0;
    virtual QString GetTheHints() const = 0;
    // Clears the changed flag.
    virtual void SetMessageInfo(platform::WindowHandle window, int32_t cancelCode, int32_t okCode) = 0;
    // Edited since SetMessageInfo.
    virtual bool IsChanged() const = 0;
    // Shows the editor with its top-left corner at topLeft (fitted into the
    // work area) and brings it to the front.
    virtual void ShowAt(const QPoint& topLeft) = 0;
    virtual void BringToFront() = 0;
    virtual QSize Size() const = 0;
    virtual void Hide() = 0;
};

class ReportServices {
public:
    virtual ~ReportServices() = default;

    // A new CSV export settings dialog owned by owner. GUI thread.
    virtual std::unique_ptr<TcsvExportSettings> NewCsvExportSettings(QWidget* owner) = 0;

    // --- What the measurement start and stop use (GUI thread) ---

    // A new end-of-measurement dialog owned by owner.
    virtual std::unique_ptr<TEndOfMeasurement> NewEndOfMeasurement(QWidget* owner) = 0;
    // A new hints editor owned by owner.
    virtual std::unique_ptr<THinweise> NewHintsEditor(QWidget* owner) = 0;
};

// The registered implementation, or nullptr before the subsystem started.
ReportServices* reportServices();
void RegisterReportServices(ReportServices* services);
