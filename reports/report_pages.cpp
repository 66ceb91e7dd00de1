// The report pages of the printed protocol: event, measurement, corrections,
// calibration and information on page 1; results, corrections used, the
// interval-block table, special events, signature and page count after it.
#include <QPainter>

#include "platform/printer_port.h"
#include "reports/report_formatting.h"
#include "reports/report_producer.h"
#include "store/measurement_store.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr double kLineGap = 2.0;  // 1/100 inch between lines
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
const QString kNoValue = QStringLiteral("---");
const QString kNoTime = QStringLiteral("--:--");

bool Above(double t, double bound) { return t > bound; }

class ReportPageWriter {
public:
    ReportPageWriter(TAuswertung& owner, const TPrintObjects& job, TDaten& d, const TPrintInfo& pInfo)
        : owner_(owner), job_(job), gr_(*job.gr), d_(d), p_(pInfo), q_(ReportQuantitiesOf(d)) {
        W_ = job.fullR.width();
        H_ = job.fullR.height();
        valueRect_ = QRectF(job.fullR.x() + 0.38 * W_, 0, 0.52 * W_, 0.4 * H_);
    }

    void PageOne();
    void PageTwo(bool singleValues, bool graph);

private:
    QString T(int32_t id) const { return GetLangTextFor(id, job_.langId); }
    QString Level(double x) const { return x > 0 ? ReportLevelText(x, 0) : kNoValue; }

    QRectF Measure(const QFont& font, const QRectF& box, const QString& text) {
        gr_.setFont(font);
        QRectF b = gr_.boundingRect(box, kTextFlags, text);
        if (b.height() > box.height()) b.setHeight(box.height());
        return b;
    }
    // Text stays inside its box, however long a user's text is.
    void Draw(const QFont& font, const QRectF& box, const QString& text) {
        gr_.setFont(font);
        gr_.setPen(Qt::black);
        gr_.save();
        gr_.setClipRect(box, Qt::IntersectClip);
        gr_.drawText(box, kTextFlags, text);
        gr_.restore();
    }
    void SyncValueRect() { valueRect_.moveTop(rl_.y()); }
    void AddLineGap() {
        rl_.moveTop(rl_.y() + 0.003 * H_);
        SyncValueRect();
    }
    void EnsureRoom() {
        if (B_.y() + B_.height() > 0.95 * H_) StartNextPage();
    }
    void StartNextPage() {
        job_.job->NewPage();
        owner_.NewPage(gr_, job_.PenFrame, job_.fullR, job_.FontBold, job_.fileName, job_.ownPreset, job_.langId, rl_);
        SyncValueRect();
    }
    void PrintHeading(const QString& text) {
        AddLineGap();
        rl_.setHeight(0.04 * H_);
        B_ = Measure(job_.FontBold, rl_, text);
        Draw(job_.FontBold, rl_, text);
        rl_.moveTop(rl_.y() + B_.height() + kLineGap);
        SyncValueRect();
    }
    void PrintLabelLine(const QString& label, const QString& value) {
        const QString shown = value.size() < 2 ? kNoValue : value;
        SyncValueRect();
        B_ = Measure(job_.FontBold, valueRect_, shown);
        EnsureRoom();
        rl_.setHeight(B_.height());
        Draw(job_.FontNormal, rl_, label);
        Draw(job_.FontBold, valueRect_, shown);
        rl_.moveTop(rl_.y() + B_.height() + kLineGap);
        SyncValueRect();
    }
    void PrintIdLine(int32_t id, const QString& value) { PrintLabelLine(T(id), value); }
    void PrintParagraph(const QString& text) {
        QRectF box = rl_;
        box.setHeight(0.4 * H_);
        B_ = Measure(job_.FontNormal, box, text);
        EnsureRoom();
        box.moveTop(rl_.y());
        Draw(job_.FontNormal, box, text);
        rl_.moveTop(rl_.y() + B_.height() + kLineGap);
        SyncValueRect();
    }
    QString QuantityLabel(int32_t display) const {
        switch (display) {
        case 0: return d_.GetLEQLabel(job_.langId);
        case 1: return d_.GetLEQKLabel(job_.langId);
        default: return d_.GetPeakLabel();
        }
    }
    bool PrintFlag(int32_t display) const { return display == 0 ? p_.leq : display == 1 ? p_.leqK : p_.peak; }
    void MaximumOf(int32_t display, double& value, double& time) const {
        value = display == 0 ? maxima_.maxLeqVal : display == 1 ? maxima_.maxLeqKVal : maxima_.maxPeakVal;
        time = display == 0 ? maxima_.maxLeqTime : display == 1 ? maxima_.maxLeqKTime : maxima_.maxPeakTime;
    }
    QString MaximumText(int32_t display) const {
        double value = 0;
        double time = 0;
        MaximumOf(display, value, time);
        if (!(value > 0)) return kNoValue;
        return ReportLevelText(value, 0) + QStringLiteral(", ") + DateTimeText(time);
    }
    int32_t LimitOf(int32_t display) const {
        return display == 0 ? d_.GetMaxLEQ() : display == 1 ? d_.GetMaxLeqK() : d_.GetMaxPeak();
    }
    QString ReferenceLevel(double level, const QString& unit) const {
        return FixedSignificant(level, 4, 1) + unit;
    }
    QString CorrectionText(int32_t id) const {
        const double k = d_.GetKorr(id);
        return k > -100 ? FormatSignedDb(k, 5, 3) : kNoValue;
    }

    void LocationBlock();
    void CorrectionSection();
    void CalibrationSection();
    void BlockTable();
    void BlockTableHeader();
    void LayoutBlockColumns();
    void DrawColumns(const std::array<QString, 4>& texts, bool fourth);
    QString BlockValue(int32_t display, const TBlockDaten8& block) const;

    TAuswertung& owner_;
    const TPrintObjects& job_;
    QPainter& gr_;
    TDaten& d_;
    const TPrintInfo& p_;
    TReportQuantities q_;
    double W_ = 0;
    double H_ = 0;
    QRectF rl_;
    QRectF valueRect_;
    QRectF B_;
    std::array<QRectF, 4> columns_;
    TMaxInfo maxima_;
    int64_t clipTotal_ = 0;
    bool marked_ = false;
};

void ReportPageWriter::LocationBlock() {
    Draw(job_.FontNormal, rl_, T(648));
    const QString value = d_.GetLocationText() + QLatin1Char('\n') + d_.GetAdresse() + QStringLiteral(", ") +
                          d_.GetPLZ() + QLatin1Char(' ') + d_.GetORT();
    SyncValueRect();
    Draw(job_.FontBold, valueRect_, value);
    B_ = Measure(job_.FontBold, valueRect_, value);
    rl_.moveTop(B_.y() + B_.height() + kLineGap);
    SyncValueRect();
}

void ReportPageWriter::PageOne() {
    owner_.NewPage(gr_, job_.PenFrame, job_.fullR, job_.FontBold, job_.fileName, job_.ownPreset, job_.langId, rl_);
    SyncValueRect();
    PrintHeading(T(719));
    LocationBlock();
    PrintIdLine(646, d_.GetVeranstaltung());
    PrintIdLine(720, Above(d_.GetStartTime(), 10) ? DateText(d_.GetStartTime()) : kNoValue);
    PrintIdLine(647, d_.GetVeranstalter());
    PrintIdLine(721, d_.GetZeitraum());
    PrintHeading(T(722));
    PrintIdLine(654, d_.GetMessFirma());
    PrintIdLine(655, d_.GetUnterzeichner());
    if (d_.GetPAKontakt().size() >= 2) PrintIdLine(656, d_.GetPAKontakt());
    if (d_.GetPATeam().size() >= 2) PrintIdLine(749, d_.GetPATeam());
    PrintIdLine(723, Above(d_.GetStartTime(), 0) ? DateTimeText(d_.GetStartTime()) : kNoTime);
    PrintIdLine(724, Above(d_.GetStopTime(), 0) ? DateTimeText(d_.GetStopTime()) : kNoTime);
    PrintIdLine(750, d_.GetPAText());
    CorrectionSection();
    CalibrationSection();
    PrintHeading(T(745));
    AddLineGap();
    PrintIdLine(741, d_.GetLimitText());
    AddLineGap();
    PrintIdLine(742, T(101) + QStringLiteral(", Version: ") + VersionText(d_.GetVTVersion()));
    PrintIdLine(743, d_.GetSoundCard());
    PrintIdLine(744, FixedSignificant(d_.GetRechMax(), 3, 0) + QStringLiteral(" dB"));
    AddLineGap();
    PrintIdLine(745, d_.GetHinweisText());
}

void ReportPageWriter::CorrectionSection() {
    PrintHeading(T(728));
    const int32_t method = d_.GetKorrArt();
    if ((d_.GetCopyMode() & 2) != 0) {
        SyncValueRect();
        B_ = Measure(job_.FontBold, valueRect_, T(727));
        EnsureRoom();
        rl_.setHeight(B_.height());
        Draw(job_.FontNormal, rl_, T(727));
        Draw(job_.FontBold, valueRect_, d_.GetCopyKorFrom());
        B_ = Measure(job_.FontBold, valueRect_, d_.GetCopyKorFrom());
        rl_.moveTop(B_.y() + B_.height() + kLineGap);
        SyncValueRect();
    }
    EnsureRoom();
    QString paragraph = kNoValue;
    if (method == 1) paragraph = T(730);
    else if (method == 2) paragraph = T(731);
    else if (method == 3) {
        const double vmic = d_.GetVMicCalDate();
        paragraph = FillTextArguments(T(732), {DateText(vmic), RoundedTimeText(vmic)});
    }
    PrintParagraph(paragraph);

    const TFilterStatus status = d_.GetFilterStatus();
    if (status.timeCount == 1) {
        const int32_t id = status.useA ? 1 : status.useC ? 2 : 4;
        PrintIdLine(725, d_.GetKorrText(id));
        PrintIdLine(method == 2 ? 1018 : 1067, LocalDateTimeText(d_.GetKorrTime(id)));
        AddLineGap();
    } else {
        const struct {
            bool used;
            const char* mark;
            int32_t id;
        } places[] = {{status.useA, " MIA", 1}, {status.useC, " MIC", 2}, {status.useF, " MI", 4}};
        for (const auto& place : places) {
            if (!place.used) continue;
            PrintLabelLine(T(725) + QLatin1String(place.mark), d_.GetKorrText(place.id));
            PrintIdLine(1067, LocalDateTimeText(d_.GetKorrTime(place.id)));
            if (place.id != 4) AddLineGap();
        }
    }
    if (method != 2) {
        PrintIdLine(726, d_.GetKorrText(8));
        if (method == 3) PrintIdLine(1067, LocalDateTimeText(d_.GetKorrTime(8)));
    }
}

void ReportPageWriter::CalibrationSection() {
    PrintHeading(T(430));
    const int32_t kind = d_.GetCalArt();
    PrintParagraph(kind == 0 ? T(733) : kind == 1 ? T(734) : T(718));
    PrintIdLine(735, d_.GetCalText());
    const double calTime = d_.GetCalTime();
    PrintIdLine(736, Above(calTime, 0) ? LocalDateTimeText(calTime) : kNoValue);
    if (d_.GetPrecision() > 0) PrintIdLine(1076, AccuracyClassText(d_.GetPrecision(), job_.langId));
    if (d_.GetSplRef(1) > 0) PrintIdLine(1192, ReferenceLevel(d_.GetSplRef(1), QStringLiteral("dB")));

    const double before = d_.GetOffTimeVor();
    const double after = d_.GetOffTimeNach();
    if (!(before > calTime) && !(after > calTime)) return;
    PrintHeading(T(1087));
    PrintIdLine(1019, d_.GetOffDeviceText());
    if (Above(before, 10)) {
        PrintIdLine(1111, LocalDateTimeText(before));
        if (std::fabs(before - calTime) * 86400000.0 <= 1.0) {
            PrintLabelLine(QString(), T(1106));
        } else {
            if (d_.GetSplRef(3) > 0) PrintIdLine(1192, ReferenceLevel(d_.GetSplRef(3), QStringLiteral("dB")));
            PrintIdLine(1193, FormatDeviationDb(d_.GetOffValVor()));
        }
        AddLineGap();
    }
    if (after > calTime) {
        PrintIdLine(1112, LocalDateTimeText(after));
        if (d_.GetSplRef(4) > 0) PrintIdLine(1192, ReferenceLevel(d_.GetSplRef(4), QStringLiteral(" dB")));
        PrintIdLine(1193, FormatDeviationDb(d_.GetOffValNach()));
        AddLineGap();
    }
    if (before > calTime && after > calTime) {
        PrintIdLine(1105, FormatDeviationDb(d_.GetOffValNach() - d_.GetOffValVor()));
        AddLineGap();
    }
}

void ReportPageWriter::PageTwo(bool singleValues, bool graph) {
    StartNextPage();
    PrintHeading(T(746));
    maxima_ = d_.GetMaxData();
    for (int32_t display = 0; display <= 2; ++display) {
        if (!PrintFlag(display) || !d_.ForceProt(display)) continue;
        PrintHeading(QuantityLabel(display));
        PrintIdLine(753, FixedSignificant(LimitOf(display), 3, 0) + QStringLiteral(" dB"));
        PrintIdLine(822, MaximumText(display));
    }
    bool informative = p_.l120 || p_.lFull;
    for (int32_t display = 0; display <= 2; ++display) informative |= PrintFlag(display) && d_.ProtInfo(display);
    if (informative) {
        PrintHeading(T(831));
        for (int32_t display = 0; display <= 2; ++display) {
            if (!d_.ProtInfo(display) || !PrintFlag(display)) continue;
            PrintLabelLine(QuantityLabel(display), MaximumText(display));
            AddLineGap();
        }
        if (p_.l120)
            PrintLabelLine(DurationText(d_.GetFilter(0), 7200, false, job_.langId), Level(d_.GetLEQ120()));
        if (p_.lFull) PrintLabelLine(T(716), Level(d_.GetLeqFull()));
    } else {
        AddLineGap();
    }
    PrintHeading(T(832));
    if (q_.useA) PrintIdLine(759, CorrectionText(1));
    if (q_.useC) PrintIdLine(758, CorrectionText(2));
    if (q_.useZ) PrintIdLine(922, CorrectionText(4));

    if (d_.GetIsInterval()) BlockTable();
    else clipTotal_ = d_.GetClipCount();
    rl_.moveTop(rl_.y() + rl_.height() + 0.01 * H_ + kLineGap);
    SyncValueRect();

    if (d_.GetSmsCount() > 0 || clipTotal_ > 0) {
        PrintHeading(T(861));
        if (clipTotal_ > 0) PrintIdLine(682, FillTextArguments(T(1305), {FormatSampleDuration(clipTotal_)}));
        const int32_t count = d_.GetSmsCount();
        for (int32_t i = 0; i < count; ++i) {
            const TSMS sms = d_.GetSms(i);
            PrintLabelLine(DateTimeText(sms.zeitpunkt), sms.meldung);
        }
    }

    // Signature block.
    B_ = Measure(job_.FontNormal, rl_, T(655));
    B_.setHeight(2 * B_.height() + 0.064 * H_);
    EnsureRoom();
    AddLineGap();
    const QString signatory = d_.GetUnterzeichner();
    PrintParagraph(signatory.size() >= 2 ? T(655) + QLatin1Char(' ') + signatory : T(655));
    rl_.moveTop(rl_.y() + 0.06 * H_);
    Draw(job_.FontNormal, rl_, T(767));
    B_ = Measure(job_.FontNormal, rl_, T(767));

    QString count = FillTextArguments(T(912), {QString::number(owner_.PageCounter() - 1)}) + QLatin1Char('.');
    if (singleValues || graph) {
        count += QLatin1Char(' ');
        if (singleValues && graph)
            count += T(914) + QStringLiteral(": ") + T(293) + QStringLiteral(", ") + T(294);
        else
            count += T(913) + QStringLiteral(": ") + T(singleValues ? 293 : 294);
    }
    rl_.moveTop(B_.y() + B_.height() + kLineGap);
    PrintParagraph(count);
}

void ReportPageWriter::LayoutBlockColumns() {
    rl_.moveTop(B_.y() + B_.height() + 0.015 * H_);
    rl_.setHeight(2.5 * B_.height());
    for (int i = 0; i < 4; ++i)
        columns_[i] = QRectF(rl_.x() + 0.25 * i * rl_.width(), rl_.y() + 0.1 * rl_.height(), rl_.width() / 4,
                             B_.height());
}

void ReportPageWriter::DrawColumns(const std::array<QString, 4>& texts, bool fourth) {
    for (int i = 0; i < (fourth ? 4 : 3); ++i) Draw(job_.FontBold, columns_[i], texts[i]);
}

void ReportPageWriter::BlockTableHeader() {
    LayoutBlockColumns();
    gr_.setPen(job_.PenFrame);
    gr_.setBrush(Qt::NoBrush);
    gr_.drawRect(rl_);
    const auto header = [this](int32_t display) {
        if (display == 0) return DurationText(d_.GetFilter(0), d_.GetLEQDauer(), false, job_.langId);
        if (display == 1) return DurationText(d_.GetFilter(1), d_.GetLEQKurzDauer(), false, job_.langId);
        return d_.GetPeakLabel();
    };
    DrawColumns({T(774), T(761), header(q_.ids[0]), q_.ids[1] >= 0 ? header(q_.ids[1]) : QString()},
                q_.ids[1] >= 0);
    for (QRectF& c : columns_) c.moveTop(c.y() + 0.5 * rl_.height());
    DrawColumns({T(762), T(763), q_.ids[2] == 2 ? d_.GetPeakLabel() : T(764), T(765)}, true);
}

// The second quantity's cell follows that quantity's own print flag.
QString ReportPageWriter::BlockValue(int32_t display, const TBlockDaten8& block) const {
    if (display == 0 && p_.leq) return Level(block.leq);
    if (display == 1 && p_.leqK) return Level(block.leqK);
    if (display == 2 && p_.peak) return Level(block.dBCMax);
    return kNoValue;
}

void ReportPageWriter::BlockTable() {
    BlockTableHeader();
    const int32_t count = d_.GetNumBlocks();
    const double limit = 0.75 * (job_.fullR.height() + job_.fullR.y());
    for (int32_t id = 0; id < count; ++id) {
        TBlockDaten8 block;
        d_.GetBlock(id, block);
        rl_.moveTop(rl_.y() + rl_.height());
        for (QRectF& c : columns_) c.moveTop(rl_.y() + 0.1 * rl_.height());
        gr_.setPen(job_.PenFrame);
        gr_.setBrush(Qt::NoBrush);
        gr_.drawRect(rl_);
        DrawColumns({DateText(block.start), RoundedTimeText(block.ende - block.start), BlockValue(q_.ids[0], block),
                     BlockValue(q_.ids[1], block)},
                    true);
        for (QRectF& c : columns_) c.moveTop(c.y() + 0.5 * rl_.height());
        QString remark = kNoValue;
        if (!block.remarkStr.isEmpty()) remark = block.remarkStr;
        if (block.clipCount > 0) {
            remark = T(682) + QLatin1Char(' ') + FormatSampleDuration(block.clipCount);
            clipTotal_ += block.clipCount;
        }
        if (remark.startsWith(QStringLiteral("Delta"))) {
            remark += QLatin1Char('*');
            marked_ = true;
        }
        DrawColumns({RoundedTimeText(block.start), FormatEndTime(block.ende, block.start),
                     q_.ids[2] == 2 ? Level(block.dBCMax) : kNoValue, remark},
                    true);
        if (rl_.y() + rl_.height() > limit) {
            StartNextPage();
            B_.moveTop(rl_.y());
            if (id + 1 < count) BlockTableHeader();
        }
    }
    // The note goes below the table's last row, not over it.
    if (marked_) {
        rl_.moveTop(rl_.y() + rl_.height());
        SyncValueRect();
        PrintParagraph(T(766));
    }
}

}  // namespace

void TAuswertung::PrintReportPages(const TPrintObjects& job, TDaten& store, const TPrintInfo& pInfo,
                                   const TPrintInfo& gInfo, const TPrintInfo& eInfo) {
    ReportPageWriter writer(*this, job, store, pInfo);
    writer.PageOne();
    writer.PageTwo(eInfo.selected, gInfo.selected);
}
