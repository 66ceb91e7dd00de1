// The text report: the protocol's subjects as tab-aligned lines in a text
// view, in the program's language, levels with the store's decimals.
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include <cmath>
#include <exception>

#include "reports/report_formatting.h"
#include "reports/report_producer.h"
#include "store/measurement_store.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr qsizetype kWrapWidth = 90;
constexpr qsizetype kShortLabel = 20;
constexpr double kTabStopChars = 18.75;
const QString kNoValue = QStringLiteral("---");
const QString kNoTime = QStringLiteral("--:--");
const QString kStars = QString(65, QLatin1Char('*'));

class TextReportWriter {
public:
    explicit TextReportWriter(const TDaten& d) : d_(d), nks_(d.GetNKS()), q_(ReportQuantitiesOf(d)) {}

    QStringList Write();

private:
    void Add(const QString& line) { lines_ << line; }
    void Empty() { lines_ << QString(); }
    void AddLine(const QString& value, const QString& label) {
        lines_ << label + (label.size() > kShortLabel ? QStringLiteral("\t") : QStringLiteral("\t\t")) + value;
    }
    // A word too long for one line gets a line of its own, so every text ends.
    void AddWrapped(const QString& label, const QString& value) {
        const QString folded = FoldLineBreaks(value);
        if (folded.size() <= kWrapWidth) {
            AddLine(folded, label);
            return;
        }
        QStringList out;
        QString line;
        for (const QString& word : folded.split(QLatin1Char(' '))) {
            if (!line.isEmpty() && line.size() + word.size() >= kWrapWidth) {
                out << line;
                line.clear();
            }
            line += QLatin1Char(' ') + word;
        }
        if (!line.isEmpty()) out << line;
        for (qsizetype i = 0; i < out.size(); ++i) AddLine(out[i], i == 0 ? label : QStringLiteral(" "));
    }
    static QString AtLeastTwo(const QString& text) { return text.size() < 2 ? kNoValue : text; }
    QString Level(double x) const { return FixedSignificant(x, nks_ + 3, nks_); }
    QString MaxLine(double value, double time, bool timeOnlyWhenSet) const {
        if (!(value > 0)) return kNoValue;
        QString text = Level(value) + QStringLiteral(" dB");
        if (time > 1) text += QStringLiteral(", ") + DateTimeText(time);
        else if (!timeOnlyWhenSet) text += QStringLiteral(", ");
        return text;
    }
    QString BlockLevel(double x) const {
        return x >= 0.1 && x <= 300 ? Level(x) + QStringLiteral("  dB") : kNoValue;
    }
    QString BlockValue(int32_t display, const TBlockDaten8& b) const {
        if (display == 0) return BlockLevel(b.leq);
        if (display == 1) return BlockLevel(b.leqK);
        if (display == 2) return BlockLevel(b.dBCMax);
        return kNoValue;
    }

    void Event();
    void Measurement();
    void Corrections();
    void Calibration();
    void Information();
    void Summary();
    void FurtherValues();
    void Blocks();
    void SpecialEvents();

    const TDaten& d_;
    const int nks_;
    const TReportQuantities q_;
    QStringList lines_;
    int64_t clipTotal_ = 0;
    bool marked_ = false;
};

void TextReportWriter::Event() {
    Add(GetLangText(719));
    Empty();
    Add(GetLangText(648));
    if (!d_.GetLocationText().isEmpty()) Add(QLatin1Char(' ') + d_.GetLocationText());
    Empty();
    Add(QLatin1Char(' ') + d_.GetAdresse());
    Add(QLatin1Char(' ') + d_.GetPLZ() + QLatin1Char(' ') + d_.GetORT());
    AddWrapped(GetLangText(646), d_.GetVeranstaltung());
    AddWrapped(GetLangText(720), d_.GetStartTime() > 10 ? DateText(d_.GetStartTime()) : kNoValue);
    Empty();
    AddWrapped(GetLangText(647), AtLeastTwo(d_.GetVeranstalter()));
    AddWrapped(GetLangText(721), AtLeastTwo(d_.GetZeitraum()));
    Empty();
}

void TextReportWriter::Measurement() {
    Add(GetLangText(722));
    const QString indent = QStringLiteral("  ");
    AddWrapped(indent + GetLangText(654), AtLeastTwo(d_.GetMessFirma()));
    AddWrapped(indent + GetLangText(655), d_.GetUnterzeichner());
    AddWrapped(indent + GetLangText(656), AtLeastTwo(d_.GetPAKontakt()));
    AddWrapped(indent + GetLangText(657), AtLeastTwo(d_.GetPATeam()));
    AddWrapped(indent + GetLangText(723), d_.GetStartTime() > 0 ? DateTimeText(d_.GetStartTime()) : kNoTime);
    AddWrapped(indent + GetLangText(724), d_.GetStopTime() > 0 ? DateTimeText(d_.GetStopTime()) : kNoTime);
    Empty();
    AddWrapped(GetLangText(750), d_.GetPAText().isEmpty() ? kNoValue : d_.GetPAText());
    Empty();
}

void TextReportWriter::Corrections() {
    const int32_t method = d_.GetKorrArt();
    const double t8 = d_.GetKorrTime(8);
    if (method == 1 || method == 3) {
        if (t8 > 0) {
            if (method == 1) {
                Add(GetLangText(730));
            } else {
                const double vmic = d_.GetVMicCalDate();
                Add(GetLangText(777));
                Add(FillTextArguments(GetLangText(778), {DateText(t8), RoundedTimeText(t8)}));
                Add(FillTextArguments(GetLangText(779), {DateText(vmic), RoundedTimeText(vmic)}));
            }
            if ((d_.GetCopyMode() & 2) != 0) Add(GetLangText(727) + QLatin1Char(' ') + d_.GetCopyKorFrom());
        } else {
            AddWrapped(GetLangText(1067), kNoValue);
        }
        Empty();
        const TFilterStatus status = d_.GetFilterStatus();
        if (status.timeCount == 1) {
            const int32_t id = status.useA ? 1 : status.useC ? 2 : 4;
            AddWrapped(GetLangText(725), d_.GetKorrText(id));
            AddWrapped(GetLangText(1067), LocalDateTimeText(d_.GetKorrTime(id)));
        } else {
            if (status.useA) {
                AddWrapped(GetLangText(725) + QStringLiteral(" MIA:"), d_.GetKorrText(1));
                AddWrapped(GetLangText(1067), LocalDateTimeText(d_.GetKorrTime(1)));
                Empty();
            }
            if (status.useC) {
                AddWrapped(GetLangText(725) + QStringLiteral(" MIC:"), d_.GetKorrText(2));
                AddWrapped(GetLangText(1067), LocalDateTimeText(d_.GetKorrTime(2)));
                Empty();
            }
            if (status.useF) {
                AddWrapped(GetLangText(725), d_.GetKorrText(4));
                AddWrapped(GetLangText(1067), LocalDateTimeText(d_.GetKorrTime(4)));
            }
        }
        Empty();
        AddWrapped(GetLangText(726), d_.GetKorrText(8).isEmpty() ? kNoValue : d_.GetKorrText(8));
        if (method != 3) AddWrapped(GetLangText(1067), LocalDateTimeText(t8));
    } else if (method == 2) {
        Add(GetLangText(775));
        Add(GetLangText(776));
        AddWrapped(GetLangText(591), d_.GetKorrText(1));
    }
    Empty();
}

void TextReportWriter::Calibration() {
    AddWrapped(QString(), GetLangText(736));
    const double calTime = d_.GetCalTime();
    AddWrapped(GetLangText(303), calTime > 0 ? LocalDateTimeText(calTime) : kNoValue);
    const int32_t kind = d_.GetCalArt();
    Add(kind == 0 ? GetLangText(733) : kind == 1 ? GetLangText(734) : kNoValue);
    AddWrapped(GetLangText(735), d_.GetCalText().isEmpty() ? kNoValue : d_.GetCalText());
    const auto reference = [](double level) { return FixedSignificant(level, 4, 1) + QStringLiteral(" dB"); };
    if (d_.GetSplRef(1) > 0) AddWrapped(GetLangText(1192), reference(d_.GetSplRef(1)));
    AddWrapped(GetLangText(1076), AccuracyClassText(d_.GetPrecision(), language.load()));

    const double before = d_.GetOffTimeVor();
    const double after = d_.GetOffTimeNach();
    const bool checkBefore = before > 10;
    const bool checkAfter = after > 10;
    if (checkBefore) {
        Empty();
        AddWrapped(QString(), GetLangText(1087));
        AddWrapped(GetLangText(735), d_.GetOffDeviceText());
        AddWrapped(GetLangText(1080), LocalDateTimeText(before));
        if (std::fabs(before - calTime) * 86400000.0 <= 1.0) {
            AddWrapped(QString(), GetLangText(1106));
        } else {
            if (d_.GetSplRef(3) > 0) AddWrapped(GetLangText(1192), reference(d_.GetSplRef(3)));
            AddWrapped(GetLangText(1193), FormatDeviationDb(d_.GetOffValVor()));
            Empty();
        }
    }
    if (checkAfter) {
        if (!checkBefore) Empty();
        AddWrapped(GetLangText(66), LocalDateTimeText(after));
        AddWrapped(GetLangText(1193), FormatDeviationDb(d_.GetOffValNach()));
        if (checkBefore) {
            Empty();
            AddWrapped(GetLangText(1105), FormatDeviationDb(d_.GetOffValNach() - d_.GetOffValVor()));
        }
    }
    if (checkBefore || checkAfter) Empty();
}

void TextReportWriter::Information() {
    AddWrapped(GetLangText(741), d_.GetLimitText().isEmpty() ? kNoValue : d_.GetLimitText());
    Empty();
    AddWrapped(GetLangText(742), QStringLiteral("Veltaro Pro, Version: ") + VersionText(d_.GetVTVersion()));
    Empty();
    AddWrapped(GetLangText(743), AtLeastTwo(d_.GetSoundCard()));
    Empty();
    AddWrapped(GetLangText(744), Level(d_.GetRechMax()) + QStringLiteral(" dB"));
    Empty();
    AddWrapped(GetLangText(745) + QStringLiteral("  "), d_.GetHinweisText());
    Empty();
}

void TextReportWriter::Summary() {
    Add(GetLangText(746));
    Empty();
    const TMaxInfo maxima = d_.GetMaxData();
    const int32_t lang = language.load();
    for (const int32_t display : q_.ids) {
        if (display == 0) {
            if (d_.ForceProt(0))
                AddWrapped(FillTextArguments(GetLangText(747), {d_.GetLEQLabel(lang) + QStringLiteral("Max")}),
                           Level(d_.GetMaxLEQ()) + QStringLiteral(" dB"));
            AddWrapped(GetLangText(757) + QLatin1Char(' ') + d_.GetLEQLabel(lang),
                       MaxLine(maxima.maxLeqVal, maxima.maxLeqTime, false));
            Empty();
        } else if (display == 1) {
            if (d_.ForceProt(1))
                AddWrapped(FillTextArguments(GetLangText(747), {d_.GetLEQKLabel(lang)}),
                           Level(d_.GetMaxLeqK()) + QStringLiteral(" dB"));
            AddWrapped(GetLangText(757) + QLatin1Char(' ') + d_.GetLEQKLabel(lang),
                       MaxLine(maxima.maxLeqKVal, maxima.maxLeqKTime, false));
            Empty();
        } else if (display == 2) {
            if (d_.ForceProt(2))
                AddWrapped(FillTextArguments(GetLangText(747), {LevelLabelText(d_.GetFilter(2), d_.GetPeakWerte(), lang) +
                                                                QStringLiteral("Max")}),
                           Level(d_.GetMaxPeak()) + QStringLiteral(" dB"));
            AddWrapped(GetLangText(757) + QLatin1Char(' ') + d_.GetPeakLabel(),
                       MaxLine(maxima.maxPeakVal, maxima.maxPeakTime, true));
            Empty();
        }
    }
}

void TextReportWriter::FurtherValues() {
    const int32_t lang = language.load();
    if (d_.GetLEQ120() > 20) {
        AddWrapped(DurationText(d_.GetFilter(0), 7200, false, lang), Level(d_.GetLEQ120()) + QStringLiteral(" dB"));
        Empty();
    }
    if (d_.GetLeqFull() > 20) {
        AddWrapped(DurationText(d_.GetFilter(0), -2, false, lang), Level(d_.GetLeqFull()) + QStringLiteral(" dB"));
        Empty();
    }
    const auto factor = [this](int32_t id) {
        const double k = d_.GetKorr(id);
        return k > -100 ? FixedSignificant(k, 3, 2) + QStringLiteral(" dB") : kNoValue;
    };
    if (q_.useA) AddWrapped(GetLangText(759), factor(1));
    if (q_.useC) {
        AddWrapped(GetLangText(758), factor(2));
        Empty();
    }
    if (q_.useZ) {
        AddWrapped(GetLangText(922), factor(4));
        Empty();
    }
    if (!d_.GetVorschrift().isEmpty()) AddWrapped(GetLangText(760), d_.GetVorschrift());
    Empty();
}

void TextReportWriter::Blocks() {
    if (d_.GetLEQDauer() == 0 || d_.GetNumBlocks() == 0) {
        clipTotal_ = d_.GetClipCount();
        return;
    }
    const int32_t lang = language.load();
    const auto label = [this, lang](int32_t display) {
        if (display == 0) return d_.GetLEQLabel(lang);
        if (display == 1) return d_.GetLEQKLabel(lang);
        if (display == 2) return d_.GetPeakLabel();
        return kNoValue;
    };
    const QString tab = QStringLiteral("\t");
    Add(GetLangText(774) + tab + GetLangText(761) + tab + label(q_.ids[0]) + tab +
        (q_.ids[1] >= 1 ? label(q_.ids[1]) : kNoValue));
    Add(GetLangText(762) + tab + GetLangText(763) + tab + (q_.ids[2] == 2 ? d_.GetPeakLabel() : GetLangText(764)) +
        tab + GetLangText(765));
    Add(kStars);
    const int32_t count = d_.GetNumBlocks();
    for (int32_t id = 0; id < count; ++id) {
        TBlockDaten8 b;
        d_.GetBlock(id, b);
        const bool times = b.start > 10 && b.ende > 10;
        Add((b.start > 10 ? DateText(b.start) : kNoValue) + tab + (times ? RoundedTimeText(b.ende - b.start) : kNoValue) +
            tab + BlockValue(q_.ids[0], b) + tab + BlockValue(q_.ids[1], b));
        QString remark = b.remarkStr.isEmpty() ? kNoValue : b.remarkStr;
        if (b.clipCount > 0) {
            remark = GetLangText(682) + QLatin1Char(' ') + FormatSampleDuration(b.clipCount);
            clipTotal_ += b.clipCount;
        }
        if (remark.startsWith(QStringLiteral("Delta"))) marked_ = true;
        Add((b.start > 10 ? RoundedTimeText(b.start) : kNoValue) + tab +
            (times ? FormatEndTime(b.ende, b.start) : kNoValue) + tab +
            (q_.ids[2] == 2 ? BlockLevel(b.dBCMax) : kNoValue) + tab + remark);
        Add(kStars);
    }
    if (marked_) Add(GetLangText(766));
}

void TextReportWriter::SpecialEvents() {
    const int32_t count = d_.GetSmsCount();
    if ((count < 1 || count > 10000) && clipTotal_ <= 0) return;
    Empty();
    Add(GetLangText(861));
    if (clipTotal_ > 0) Add(QLatin1Char(' ') + FillTextArguments(GetLangText(1305), {FormatSampleDuration(clipTotal_)}));
    if (count >= 1 && count <= 10000) {
        for (int32_t i = 0; i < count; ++i) {
            const TSMS sms = d_.GetSms(i);
            Add(QLatin1Char(' ') + DateTimeText(sms.zeitpunkt) + QStringLiteral(": ") + sms.meldung);
        }
    }
    Empty();
}

QStringList TextReportWriter::Write() {
    // A failure keeps the lines written so far; the store is left as it is.
    try {
        Event();
        Measurement();
        Corrections();
        Calibration();
        Information();
        Summary();
        FurtherValues();
        Blocks();
        SpecialEvents();
        if (d_.GetUnterzeichner().size() >= 2) {
            Empty();
            Add(GetLangText(655) + QStringLiteral(": ") + d_.GetUnterzeichner());
        }
    } catch (const std::exception&) {
    }
    return lines_;
}

}  // namespace

void ShowMemoLines(QPlainTextEdit* memo, const QStringList& lines) {
    memo->setUpdatesEnabled(false);
    memo->setPlainText(lines.join(QLatin1Char('\n')));
    memo->moveCursor(QTextCursor::Start);
    memo->ensureCursorVisible();
    memo->setUpdatesEnabled(true);
}

void TAuswertung::MemoProtokoll(QPlainTextEdit* memo, int32_t /*Gap*/, TDaten* Daten) {
    if (memo == nullptr) return;
    if (Daten == nullptr || !Daten->Loaded()) {
        ShowMemoLines(memo, {});
        return;
    }
    const QFontMetricsF metrics(memo->font());
    memo->setTabStopDistance(kTabStopChars * metrics.averageCharWidth());
    ShowMemoLines(memo, TextReportWriter(*Daten).Write());
}
