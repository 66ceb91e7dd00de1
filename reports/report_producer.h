#pragma once
// TAuswertung: the report of one measurement store, printed as one document
// (report pages, single-value pages, graph page), written as text into a
// text view, or listed value by value. It keeps no measurement data: every
// value comes from the store's getters. A producer lives for one operation.
//
// The printed pages are drawn in 1/100 inch: the painter is scaled so, and
// the fonts are sized so that they keep their point sizes on paper.
#include <QFont>
#include <QPen>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>

#include "reports/print_settings.h"

class QPainter;
class QPlainTextEdit;
class TDaten;
namespace platform {
class PrintJob;
}

// The quantities of the report: display ids 0 Leq, 1 short-term Leq, 2 peak
// that the store puts into the protocol, in this order; -1 fills the rest.
struct TReportQuantities {
    std::array<int32_t, 3> ids{-1, -1, -1};
    bool useA = false;
    bool useC = false;
    bool useZ = false;
};
TReportQuantities ReportQuantitiesOf(const TDaten& store);

// The lines as the memo's whole text in one update, the caret at the start.
void ShowMemoLines(QPlainTextEdit* memo, const QStringList& lines);

struct TSaveIT6;
// Whether a stored value lies above a limit that the store forces into the
// protocol (Leq, short-term Leq or peak), whichever columns are printed.
class TForcedLimits {
public:
    explicit TForcedLimits(const TDaten& store);
    bool Exceeded(const TSaveIT6& value) const;

private:
    std::array<bool, 3> forced{};
    std::array<double, 3> limits{};
};

// The fonts, pen and page of one print job.
struct TPrintObjects {
    QPainter* gr = nullptr;
    platform::PrintJob* job = nullptr;
    QPen PenFrame;
    QFont FontNormal;
    QFont FontBold;
    QRectF fullR;
    int32_t langId = 2;
    QString fileName;
    bool ownPreset = false;
};

class TAuswertung {
public:
    TAuswertung();

    // Prints the selected sections as one document on the chosen printer
    // (pdfFile for the PDF target). False when nothing was printed: the
    // printer still busy (message 953), the job could not begin or drawing
    // failed (the job is dropped and the user told).
    bool DoProt(TDaten* DataL, bool highSpeed, int32_t langId, const TPrintInfo& pInfo, const TPrintInfo& gInfo,
                const TPrintInfo& eInfo, const QString& pdfFile = QString());

    // The frame of one page; rl is the first free line below it.
    void NewPage(QPainter& gra, const QPen& pRectangle, const QRectF& fullR, const QFont& ftb,
                 const QString& dateiName, bool eigeneVorgaben, int32_t laId, QRectF& rl);

    // The single-value pages.
    void PrintProtokoll(const TPrintObjects& job, TDaten* Daten, bool isMarkMax, bool bwLeq, bool bwLeqk,
                        bool bwPeak, bool doNewPage);

    // The text report into memo, in the program's language. A store that is
    // missing or not fully loaded leaves the memo empty.
    void MemoProtokoll(QPlainTextEdit* memo, int32_t Gap, TDaten* Daten);

    // The value list: lines appended to SL, or the memo's text replaced.
    void DatenStringList(TDaten* DataL, QStringList& SL, bool isMarkMax, bool wLeq, bool wLeqK, bool wPeak);
    void DatenMemoDirekt(TDaten* DataL, QPlainTextEdit* memo, bool isMarkMax, bool wLeq, bool wLeqK, bool wPeak);

    int32_t PageCounter() const { return seitenZahl; }
    QString PrintStart() const { return druckStartStr; }

    // Called with the page number before each page frame is drawn; a
    // throwing observer stands for a failure while drawing (tests).
    std::function<void(int32_t)> pageObserver;

    // The page's text fonts at their point sizes on paper, for a painter in
    // 1/100 inch on a device of resolution dpi.
    static QFont PaperFont(const QString& family, double points, bool bold, int dpi);

private:
    void PrintReportPages(const TPrintObjects& job, TDaten& store, const TPrintInfo& pInfo, const TPrintInfo& gInfo,
                          const TPrintInfo& eInfo);
    void PrintGraphPage(const TPrintObjects& job, TDaten* store, bool highSpeed, const TPrintInfo& gInfo,
                        bool newPage);

    QFont fText;
    QFont fGraph;
    int32_t seitenZahl = 1;
    QString druckStartStr;
};
