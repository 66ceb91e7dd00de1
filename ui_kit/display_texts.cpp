#include "ui_kit/display_texts.h"

#include <QAction>
#include <QLocale>
#include <QMenu>
#include <QTime>
#include <QWidget>

#include <array>
#include <atomic>
#include <cmath>

#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"

namespace {

std::atomic<DisplayReadings*> registeredReadings{nullptr};

constexpr double kSmallest = 0.000001;
constexpr double kHighestLevel = 200.0;
constexpr double kHighestAmplitude = 5.0;
constexpr double kNoRough = -1.0;
// The colour level of the RMS channels: always "fine" while they show a value.
constexpr double kRmsRough = 10.0;

// The preset entries the captions name before a preset is read.
constexpr std::array<TMeasureEntry, 3> kBuiltInEntries = {{{1, 1, 1800}, {1, 1, 10}, {2, 2, 2}}};

// A level is shown from 0.000001 to 200 dB, an amplitude used from 0.000001
// to 5 (full scale 1.0); NaN never is.
bool IsShownLevel(double level) { return level >= kSmallest && level <= kHighestLevel; }
bool IsShownAmplitude(double amplitude) { return amplitude >= kSmallest && amplitude <= kHighestAmplitude; }

QString Db() { return QStringLiteral("dB"); }
QString SpacedDb() { return QStringLiteral(" dB"); }

double RoundTo(double v, int32_t decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::nearbyint(v * scale) / scale;
}

// Adding 0.0 turns a negative zero into a plain one, so that a distance of
// -0.01 reads "0.0", not "-0.0".
QString Fixed(double v, int32_t decimals) { return QLocale().toString(RoundTo(v, decimals) + 0.0, 'f', decimals); }

double AmplitudeDb(double offset, double amplitude) { return offset + 20.0 * std::log10(amplitude); }

// The quantity whose warning level and limit colour a channel.
int32_t QuantityOf(int32_t channel) {
    switch (channel) {
    case 1:
    case 6:
    case 9:
        return 1;
    case 16:
    case 17:
    case 18:
        return 2;
    default:
        return 0;
    }
}

bool IsRunningOnly(int32_t channel) {
    switch (channel) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 7:
    case 8:
    case 10:
    case 11:
    case 12:
    case 15:
    case 17:
    case 18:
        return true;
    default:
        return false;
    }
}

// The locale's time separator, taken from its short time format.
QChar LocaleTimeSeparator(const QLocale& locale) {
    for (const QChar c : locale.timeFormat(QLocale::ShortFormat))
        if (!c.isLetter() && !c.isSpace()) return c;
    return QLatin1Char(':');
}

QString TimeFormat(bool withSeconds) {
    const QString sep(LocaleTimeSeparator(QLocale()));
    return withSeconds ? QStringLiteral("hh") + sep + QStringLiteral("mm") + sep + QStringLiteral("ss")
                       : QStringLiteral("hh") + sep + QStringLiteral("mm");
}

// The captions' own time format, fixed at start like a copy of the locale.
QString& CaptionTimeFormat() {
    static QString format = TimeFormat(true);
    return format;
}

// Fills info from one channel's row. The reader exists; the state colour and
// the rounding follow in GetMainInfo.
class MainInfoBuilder {
public:
    MainInfoBuilder(const DisplayReadings& r, int32_t decimals) : r_(r), d_(decimals) {}

    void Fill(int32_t channel, TMainInfo& info) const {
        switch (channel) {
        case 0:
            info.mainText.clear();
            info.unitText = GetLangText(1150);
            return;
        case 1:
            return Level(info, dispLeqK.load(), SpacedDb(), dispLeqK.load());
        case 2:
            if (IsShownLevel(dispLeq.load())) Text(info, dispLeq.load(), SpacedDb(), LeqRough());
            return;
        case 3:
            return LeqPercent(info);
        case 4:
            return Level(info, r_.ErwartungLeq(), SpacedDb(), r_.ErwartungLeq());
        case 5:
            return Level(info, r_.ErwartungLeqK(), Db(), r_.ErwartungLeqK());
        case 6:
            return Level(info, dispMaxLeqK.load(), Db(), dispMaxLeqK.load());
        case 7:
            return Level(info, dispMaxLeq.load(), Db(), dispMaxLeq.load());
        case 8:
            if (IsShownLevel(dispLeq.load())) Text(info, r_.RealLimit(0) - dispLeq.load(), Db(), LeqRough());
            return;
        case 9:
            if (IsShownLevel(dispLeqK.load())) Text(info, r_.RealLimit(1) - dispLeqK.load(), Db(), dispLeqK.load());
            return;
        case 10:
            return ExpectedDistance(info);
        case 11:
            if (IsShownLevel(r_.ErwartungLeqK()))
                Text(info, r_.RealLimit(1) - r_.ErwartungLeqK(), Db(), r_.ErwartungLeqK());
            return;
        case 12:
            return Level(info, dispLeq120.load(), Db(), dispLeq120.load());
        case 13:
        case 14:
        case 19:
        case 20:
            return Rms(info, channel);
        case 15:
            return Level(info, dispLeqFull.load(), DbUnitText(r_.PresetEntry(0).Filter), dispLeqFull.load());
        case 16:
            return CurrentPeak(info);
        case 17:
            if (r_.IsInterval()) Level(info, r_.CurrentBlockPeak(), Db(), r_.CurrentBlockPeak());
            return;
        case 18:
            return Level(info, r_.MaxPeak(), Db(), r_.MaxPeak());
        case 101:
            return HeldRms(info);
        case 102:
        case 103:
            return RmsDistance(info, channel == 103);
        case 201:
        case 202:
            info.mainText = QTime::currentTime().toString(TimeFormat(channel == 201));
            return;
        default:
            return;
        }
    }

private:
    void Text(TMainInfo& info, double value, const QString& unit, double rough) const {
        info.mainText = Fixed(value, d_);
        info.unitText = unit;
        info.roughVal = rough;
    }
    void Level(TMainInfo& info, double level, const QString& unit, double rough) const {
        if (IsShownLevel(level)) Text(info, level, unit, rough);
    }

    // The level that colours the Leq channels, by the preset's colour mode.
    double LeqRough() const {
        switch (leqColorMode.load()) {
        case 2:
            return r_.ErwartungLeq();
        case 3:
            return r_.ErwartungLeqK();
        default:
            break;
        }
        const double leq = dispLeq.load();
        // A moving window that is not yet full colours nothing below the warning level.
        if (r_.LeqDuration() < 0 && dispLeqFill.load() < 1.0 && leq < r_.WarnLeq()) return kNoRough;
        return leq;
    }

    void LeqPercent(TMainInfo& info) const {
        const double leq = dispLeq.load();
        const double ref = leqPercentRef.load();
        if (!IsShownLevel(leq) || !(ref > 0)) return;
        const double percent = std::pow(10.0, leq / 10.0) / ref;
        info.mainText = percent < 1000 ? QString::number(std::nearbyint(percent), 'f', 0) + QLatin1Char('%')
                                       : QStringLiteral("> 1000 %");
        info.unitText.clear();
        info.roughVal = LeqRough();
    }

    void ExpectedDistance(TMainInfo& info) const {
        const double expected = r_.ErwartungLeq();
        if (IsShownLevel(expected)) return Text(info, r_.RealLimit(0) - expected, Db(), expected);
        const double warn = r_.RealWarn(0);
        info.roughVal = warn > expected ? kNoRough : warn;
    }

    void Rms(TMainInfo& info, int32_t channel) const {
        double slow = 0.0;
        double fast = 0.0;
        if (channel == 13 || channel == 14) r_.RMS(slow, fast);
        else r_.RMSP(slow, fast);
        const double a = (channel == 13 || channel == 19) ? fast : slow;
        if (!IsShownAmplitude(a)) return;
        const double v = AmplitudeDb(rmsCalOffset.load(), a);
        if (v > 0) {
            info.mainText = Fixed(v, d_);
            info.unitText = Db();
        }
        info.roughVal = kRmsRough;
    }

    void CurrentPeak(TMainInfo& info) const {
        const double offset = appliedCalOffset[2].load();
        if (!(offset > 0)) {
            info.mainText = QStringLiteral("CAL");
            info.roughVal = kNoRough;
            return;
        }
        MainWindowServices* main = mainWindowServices();
        const double a = main != nullptr ? main->GetCPeak() : 0.0;
        if (!(a > kSmallest)) {
            info.roughVal = a;
            return;
        }
        const double v = AmplitudeDb(offset, a);
        if (v > 0 && std::isfinite(v)) {
            info.mainText = Fixed(v, d_);
            info.unitText = Db();
        }
        info.roughVal = v;
    }

    void HeldRms(TMainInfo& info) const {
        const double held = r_.RMSPeak();
        if (!IsShownAmplitude(held)) return;
        const double v = AmplitudeDb(rmsCalOffset.load(), held);
        if (v > 0) Text(info, v, Db(), kRmsRough);
    }

    void RmsDistance(TMainInfo& info, bool peakSignal) const {
        double slow = 0.0;
        double fast = 0.0;
        if (peakSignal) r_.RMSP(slow, fast);
        else r_.RMS(slow, fast);
        const double held = peakSignal ? r_.RMSPeakP() : r_.RMSPeak();
        if (!IsShownAmplitude(slow) || !IsShownAmplitude(held)) return;
        const double delta = 20.0 * std::log10(slow / held);
        // Within half a dB of the held maximum the area takes the "over" colour.
        Text(info, delta, Db(), delta < -0.5 ? 1.0 : kHighestLevel);
    }

    const DisplayReadings& r_;
    int32_t d_;
};

TMeasureEntry EntryOf(int32_t entry) {
    if (const DisplayReadings* r = displayReadings()) return r->PresetEntry(entry);
    return kBuiltInEntries[entry];
}

QString Format(int32_t textId, const QString& argument) { return GetLangText(textId).replace(QStringLiteral("%s"), argument); }

bool YearAfter2010(platform::TDateTime t) {
    try {
        return platform::DecodeDateTime(t).year > 2010;
    } catch (const std::exception&) {
        return false;  // a time that was never set or cannot be a date
    }
}

QString PeakTimeSuffix(platform::TDateTime t) {
    if (!YearAfter2010(t)) return QString();
    return QLatin1Char(' ') + platform::ToQDateTime(t).toString(CaptionTimeFormat());
}

QString LocaleDateTime(platform::TDateTime t) {
    try {
        return QLocale().toString(platform::ToQDateTime(t), QLocale::ShortFormat);
    } catch (const std::exception&) {
        return QString();
    }
}

// Caption of a channel; entry labels in the current language.
QString Caption(int32_t channel, bool detail) {
    const int32_t lang = language.load();
    const TMeasureEntry leq = EntryOf(0);
    const TMeasureEntry leqK = EntryOf(1);
    const TMeasureEntry peak = EntryOf(2);
    const QString leqLabel = MeasureDurationText(leq, false, lang);
    const QString leqKLabel = MeasureDurationText(leqK, false, lang);
    const QString peakLabel = MeasurePeakLabel(peak);
    const DisplayReadings* r = displayReadings();
    const bool interval = r != nullptr && r->IsInterval();
    const bool reader = r != nullptr && r->HasReader();
    switch (channel) {
    case 0:
        return GetLangText(120);
    case 1: {
        QString text = DurationText(leqK.Filter, leqK.Dauer, false, lang);
        if (dispLeqKSeconds.load() < leqK.Dauer)
            text += QStringLiteral(" (") + QString::number(dispLeqKSeconds.load()) + GetLangText(124);
        return text;
    }
    case 2:
    case 3: {
        QString text = DurationText(leq.Filter, leq.Dauer, true, lang);
        if (detail && leq.Dauer != -2) {
            const double fill = dispLeqFill.load();
            const int percent = std::isfinite(fill) ? static_cast<int>(std::trunc(fill * 100.0)) : 0;
            text += GetLangText(123) + QString::number(percent) + QLatin1Char('%');
        }
        return text;
    }
    case 4:
        return GetLangText(126) + leqLabel + QLatin1Char(')');
    case 5:
        return GetLangText(126) + leqKLabel + QLatin1Char(')');
    case 6:
        return Format(127, leqKLabel);
    case 7: {
        QString text = leq.Dauer == -2 ? GetLangText(128) + DurationText(leq.Filter, -2, false, lang)
                                       : Format(127, leqLabel);
        if (detail) text += QStringLiteral(": ") + LocaleDateTime(dispMaxLeqTime.load());
        return text;
    }
    case 8:
        return GetLangText(131) + leqLabel + QLatin1Char(')');
    case 9:
        return GetLangText(131) + leqKLabel + QLatin1Char(')');
    case 10:
        return GetLangText(133) + leqLabel + QLatin1Char(')');
    case 11:
        return GetLangText(133) + leqKLabel + QLatin1Char(')');
    case 12:
        return DurationText(leq.Filter, 7200, false, lang);
    case 13:
        return Format(135, WeightingLetter(leq.Filter));
    case 14:
        return Format(136, WeightingLetter(leq.Filter));
    case 15:
        return LeqName(leq.Filter) + QLatin1Char(' ') + GetLangText(823);
    case 16:
        return appliedCalOffset[2].load() > 0 ? peakLabel + QStringLiteral(" (") + GetLangText(60) + QLatin1Char(')')
                                              : peakLabel;
    case 17: {
        if (!interval) return QString();
        QString text = QStringLiteral("Max ") + peakLabel + QStringLiteral(" (") + GetLangText(1043) + QLatin1Char(')');
        if (detail && reader) text += PeakTimeSuffix(r->CurrentBlockPeakTime());
        return text;
    }
    case 18: {
        QString text = QStringLiteral("Max ") + peakLabel + QStringLiteral(" (") + GetLangText(1044) + QLatin1Char(')');
        if (detail && reader) text += PeakTimeSuffix(r->MaxPeakTime());
        return text;
    }
    case 19:
        return Format(135, WeightingLetter(peak.Filter));
    case 20:
        return Format(136, WeightingLetter(peak.Filter));
    case 101:
        return Format(136, WeightingLetter(leq.Filter));
    case 102:
        return Format(138, WeightingLetter(leq.Filter));
    case 103:
        return Format(138, WeightingLetter(peak.Filter));
    case 201:
    case 202:
        return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
    default:
        return QString();
    }
}

// The items of the main form that carry a text of the table.
struct GuiLabel {
    const char* objectName;
    int32_t textId;
};

constexpr GuiLabel kGuiLabels[] = {
    {"Datei1", 207},
    {"Beenden1", 208},
    {"mmEinstellung", 209},
    {"DoGrundeinstellung", 210},
    {"aSelectSC", 211},
    {"miVerify", 1087},
    {"aPegel", 212},
    {"lsMic", 213},
    {"lsRef", 300},
    {"aGetKorr", 214},
    {"aEditMv", 1154},
    {"mmEOptionen", 217},
    {"Sprache1", 261},
    {"Deutsch1", 262},
    {"English1", 263},
    {"miResetAll", 852},
    {"Messung1", 221},
    {"miDaten", 222},
    {"Hinweisendern1", 223},
    {"miImmi1", 636},
    {"miImmi2", 636},
    {"miEImmi", 638},
    {"DIN1590551", 224},
    {"AuswahlMessung", 215},
    {"aSelMV", 356},
    {"aMessungStarten", 225},
    {"aFreeStart", 226},
    {"aStopMessung", 227},
    {"Protokoll1", 228},
    {"aShowProt", 229},
    {"pmPPrintCurrent", 231},
    {"pmPSFTPCurrent", 1254},
    {"Durcken1", 230},
    {"mmPPrintDirekt", 1214},
    {"AbgebrocheneMessungwiederherstellen1", 232},
    {"miShowCalList", 1009},
    {"Info1", 233},
    {"mInfoParameter", 234},
    {"VeltaroPRO1", 101},
    {"Soundkarten1", 235},
    {"resetVuPeak", 236},
    {"Anzeigebereich1", 249},
    {"Obergrenze1", 250},
    {"Farbe1", 251},
    {"Strichstrke1", 252},
    {"Aktive1", 253},
    {"cbDrawMark", 299},
    {"Peak1", 254},
    // The graph menu re-captions these two when it opens; their ids stay.
    {"LeqKurz1", 255},
    {"Leq1", 256},
    {"Beschriftung1", 257},
    {"Dnn1", 258},
    {"Normal1", 259},
    {"Dick1", 260},
    {"pmGAutoScroll", 1055},
    {"pmGBlock", 1056},
    {"pmGStart", 1058},
    {"pmGende", 1057},
    {"pbTop", 1118},
};

// A menu takes the text as its title, an action as its text, any other
// control as its hint.
void Relabel(QObject* item, const QString& text) {
    if (auto* menu = qobject_cast<QMenu*>(item)) menu->setTitle(text);
    else if (auto* action = qobject_cast<QAction*>(item)) action->setText(text);
    else if (auto* widget = qobject_cast<QWidget*>(item)) widget->setToolTip(text);
}

}  // namespace

DisplayReadings* displayReadings() { return registeredReadings.load(); }
void RegisterDisplayReadings(DisplayReadings* readings) { registeredReadings.store(readings); }

int32_t StateColourId(double warn, double limit, double value) {
    const int32_t mode = BlinkMode.load();
    if (value > limit) return (mode & 0x10) != 0 ? 5 : 3;
    if (value > warn) return value >= limit - (mode & 15) ? 4 : 2;
    if (value > kSmallest) return 1;
    return 0;
}

TMainInfo GetMainInfo(int32_t channel, bool running) {
    TMainInfo info;
    const DisplayReadings* r = displayReadings();
    if (r == nullptr || !r->HasReader()) return info;
    const int32_t decimals = r->Decimals();
    if (running || !IsRunningOnly(channel)) MainInfoBuilder(*r, decimals).Fill(channel, info);
    // No NaN or infinity goes on to the colour or to a caller's cache.
    info.roughVal = std::isfinite(info.roughVal) ? RoundTo(info.roughVal, decimals) : kNoRough;
    if (channel == 0 || channel == 201 || channel == 202) return info;
    const int32_t q = QuantityOf(channel);
    info.brushId = StateColourId(r->RealWarn(q), r->RealLimit(q), info.roughVal);
    return info;
}

QString DisplayCaptionText(int32_t channel, bool detail) { return Caption(channel, detail); }

void InitCaptionFormat() { CaptionTimeFormat() = TimeFormat(true); }

void SetGuiLabels(int32_t lang, bool force) {
    if (!force && lang == language.load()) return;
    language.store(lang);
    MainWindowServices* main = mainWindowServices();
    if (main == nullptr) return;
    main->SetDisplayColors(-1, true);
    QWidget* form = main->MainForm();
    if (form == nullptr) return;
    for (const GuiLabel& label : kGuiLabels) {
        const QString name = QString::fromLatin1(label.objectName);
        const QString text = GetLangText(label.textId);
        for (QObject* item : form->findChildren<QObject*>(name)) Relabel(item, text);
    }
}
