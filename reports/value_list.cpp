// The value list: every stored value as one tab-separated line.
#include <QPlainTextEdit>

#include "reports/report_formatting.h"
#include "reports/report_producer.h"
#include "store/measurement_store.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

void TAuswertung::DatenMemoDirekt(TDaten* DataL, QPlainTextEdit* memo, bool isMarkMax, bool wLeq, bool wLeqK,
                                  bool wPeak) {
    if (memo == nullptr) return;
    QStringList lines;
    DatenStringList(DataL, lines, isMarkMax, wLeq, wLeqK, wPeak);
    ShowMemoLines(memo, lines);
}

void TAuswertung::DatenStringList(TDaten* DataL, QStringList& SL, bool isMarkMax, bool wLeq, bool wLeqK, bool wPeak) {
    if (DataL == nullptr) return;
    const TDaten& d = *DataL;
    const int32_t lang = language.load();
    const auto shortened = [](const QString& label) {
        return label.size() > 17 ? label.left(15) + QStringLiteral("..") : label;
    };
    const QString tab = QStringLiteral("\t");
    SL << GetLangText(773) + tab + shortened(d.GetLEQKLabel(lang)) + tab + shortened(d.GetLEQLabel(lang)) + tab +
              d.GetPeakLabel() + tab + GetLangText(764);
    SL << QString();
    const int nks = d.GetNKS();
    const QString emptyCell = QStringLiteral("---    ");
    const auto cell = [&](bool wanted, double x) {
        return tab + QStringLiteral("* ") + (wanted && x > 0 ? ReportLevelText(x, nks) : emptyCell);
    };
    const TForcedLimits limits(d);
    const int32_t count = d.GetWerteAnzahl();
    for (int32_t i = 0; i < count; ++i) {
        const TSaveIT6 w = d.GetWert(i);
        QString line = (w.id < 10000 ? QStringLiteral("%1").arg(w.id, 5, 10, QLatin1Char('0')) : QString::number(w.id)) +
                       QLatin1Char(' ') + RoundedTimeText(w.TimeStamp);
        line += cell(wLeqK, w.LeqK) + cell(wLeq, w.leq) + cell(wPeak, w.Peak);
        line += tab + QStringLiteral("* ") + FormatSampleDuration(w.clipCount);
        if (isMarkMax && limits.Exceeded(w)) line += QStringLiteral(" <---");
        SL << line;
        if ((i + 1) % 10 == 0) SL << QString();
    }
}
