#include "store/csv_export.h"

#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#include <charconv>
#include <cmath>
#include <exception>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/user_dialogs.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kTextTime = 681;
constexpr int32_t kTextClipping = 764;
constexpr int32_t kTextDate = 774;
constexpr int32_t kTextExists = 782;
constexpr int32_t kTextExportHeader = 288;
constexpr int32_t kTextReplace = 1123;
constexpr int32_t kTextCancel = 403;

constexpr int kSignificantDigits = 4;
constexpr int kExactFractionDigits = 20;
constexpr int32_t kMaxTextExportValues = 100;

const QString kLineEnd = QStringLiteral("\r\n");

// Adds one unit at the last digit of digits (ASCII), carrying to the left;
// a carry out of the first digit prepends a '1'.
void IncrementDecimal(std::string& digits) {
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            return;
        }
    }
    digits.insert(digits.begin(), '1');
}

QDateTime WallTime(platform::TDateTime t) {
    const platform::DateTimeParts p = platform::DecodeDateTime(t);
    return QDateTime(QDate(p.year, p.month, p.day), QTime(p.hour, p.min, p.sec, p.msec));
}

void WriteOrThrow(const QString& path, const QByteArray& data) {
    QString error;
    if (!platform::WriteFileAtomically(path, data, &error)) {
        throw FileWriteError(QStringLiteral("cannot write %1: %2").arg(path, error).toStdString());
    }
}

QString ZeroPadded(const QString& text, int width) {
    return text.size() >= width ? text : QString(width - text.size(), QLatin1Char('0')) + text;
}

QString RoundedLevel(double level) {
    if (!std::isfinite(level)) {
        return QStringLiteral("NAN");
    }
    return ZeroPadded(QString::number(platform::Round(level)), 3);
}

}  // namespace

QString FormatCsvLevel(double level, QChar decimal) {
    if (std::isnan(level)) {
        return QStringLiteral("NAN");
    }
    if (std::isinf(level)) {
        return level > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    }
    // The exact decimal expansion to 20 places tells a true tie from a value
    // just below it for every level a measurement can hold.
    char buf[400];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(level), std::chars_format::fixed,
                                         kExactFractionDigits);
    if (ec != std::errc()) {
        return QStringLiteral("NAN");
    }
    const std::string text(buf, end);
    const size_t point = text.find('.');
    std::string integer = text.substr(0, point);
    const std::string fraction = text.substr(point + 1);

    // Position of the first significant digit (10^e) and of the last one kept (10^p).
    int e = 0;
    if (integer != "0") {
        e = static_cast<int>(integer.size()) - 1;
    } else {
        const size_t firstNonZero = fraction.find_first_not_of('0');
        e = firstNonZero == std::string::npos ? -1 : -static_cast<int>(firstNonZero) - 1;
    }
    const int p = std::max(e - (kSignificantDigits - 1), -1);

    std::string digits = integer + fraction;
    const size_t keep = integer.size() - static_cast<size_t>(p);  // digits up to and including 10^p
    const bool roundUp = keep < digits.size() && digits[keep] >= '5';
    digits.resize(keep);
    if (roundUp) {
        IncrementDecimal(digits);
    }
    // Digits below 10^p (and the one decimal when p >= 0) are zeros.
    std::string whole = digits.substr(0, digits.size() - (p < 0 ? 1 : 0));
    whole.append(static_cast<size_t>(std::max(p, 0)), '0');
    const char tenth = p < 0 ? digits.back() : '0';
    const size_t firstNonZero = whole.find_first_not_of('0');
    whole = firstNonZero == std::string::npos ? "0" : whole.substr(firstNonZero);

    const bool zero = whole == "0" && tenth == '0';
    QString out = (level < 0 && !zero) ? QStringLiteral("-") : QString();
    out += QString::fromLatin1(whole.data(), static_cast<qsizetype>(whole.size()));
    out += decimal;
    out += QLatin1Char(tenth);
    return out;
}

QString LongTimeFormatWithoutZone(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        }
        if (!quoted && c == QLatin1Char('t')) {
            continue;
        }
        out += c;
    }
    return out.trimmed();
}

QString CsvDateText(platform::TDateTime t, const QLocale& locale) {
    try {
        return locale.toString(WallTime(t).date(), QLocale::ShortFormat);
    } catch (const std::exception&) {
        return QString();
    }
}

QString CsvTimeText(platform::TDateTime t, const QLocale& locale) {
    try {
        return locale.toString(WallTime(t).time(), LongTimeFormatWithoutZone(locale));
    } catch (const std::exception&) {
        return QString();
    }
}

void TDaten::SaveAsCSV(const QString& Datei, QChar Trenner, QChar DezimalPunkt, bool UseHeader, bool wLeq,
                       bool wLeqK, bool wPeak) const {
    if (QFileInfo::exists(Datei)) {
        const QString text = WithTextArgument(GetLangText(kTextExists), Datei);
        const int answer = AskFileQuestion(text, kTextExists, GetLangText(kTextExportHeader), kTextExportHeader,
                                           kTextReplace, kTextCancel);
        if (answer != platform::kMessageLeft) {
            return;
        }
    }
    std::vector<TSaveIT6> values;
    {
        platform::ReadGuard guard(DataSync);
        values = aW6;
    }
    if (values.empty()) {
        return;
    }

    const QLocale locale;
    QString csv;
    if (UseHeader) {
        const int32_t lang = language.load();
        csv += GetLangText(kTextDate) + Trenner + GetLangText(kTextTime) + Trenner;
        if (wPeak) {
            csv += GetPeakLabel() + Trenner;
        }
        if (wLeqK) {
            csv += GetLEQKLabel(lang) + Trenner;
        }
        if (wLeq) {
            csv += GetLEQLabel(lang) + Trenner;
        }
        csv += GetLangText(kTextClipping) + kLineEnd;
    }
    for (const TSaveIT6& value : values) {
        csv += CsvDateText(value.TimeStamp, locale) + Trenner + CsvTimeText(value.TimeStamp, locale) + Trenner;
        if (wPeak) {
            csv += FormatCsvLevel(value.Peak, DezimalPunkt) + Trenner;
        }
        if (wLeqK) {
            csv += FormatCsvLevel(value.LeqK, DezimalPunkt) + Trenner;
        }
        if (wLeq) {
            csv += FormatCsvLevel(value.leq, DezimalPunkt) + Trenner;
        }
        csv += QString::number(value.clipCount) + kLineEnd;
    }
    QStringEncoder encoder(QStringConverter::System);
    WriteOrThrow(Datei, encoder.encode(csv));
}

void TDaten::WriteToText(const QString& fn) const {
    const int32_t n = GetWerteAnzahl();
    if (n < 1 || n > kMaxTextExportValues) {
        return;
    }
    const TSaveIT6 newest = GetWert(n - 1);
    QString clock = QStringLiteral("--:--:--");
    try {
        const platform::DateTimeParts p = platform::DecodeDateTime(newest.TimeStamp);
        clock = QStringLiteral("%1:%2:%3")
                    .arg(p.hour, 2, 10, QLatin1Char('0'))
                    .arg(p.min, 2, 10, QLatin1Char('0'))
                    .arg(p.sec, 2, 10, QLatin1Char('0'));
    } catch (const std::exception&) {
    }
    const QString line = ZeroPadded(QString::number(n), 6) + QLatin1Char(' ') + clock + QLatin1Char(' ') +
                         RoundedLevel(newest.Peak) + QLatin1Char(' ') + RoundedLevel(newest.LeqK) +
                         QLatin1Char(' ') + RoundedLevel(newest.leq) + kLineEnd;

    QByteArray content;
    QFile existing(fn);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly)) {
            throw FileWriteError(QStringLiteral("cannot open %1: %2").arg(fn, existing.errorString()).toStdString());
        }
        content = existing.readAll();
        if (existing.error() != QFileDevice::NoError) {
            throw FileWriteError(QStringLiteral("cannot read %1: %2").arg(fn, existing.errorString()).toStdString());
        }
    }
    content += line.toLatin1();
    WriteOrThrow(fn, content);
}

bool TDaten::GetValueAtTime(TSaveIT6& Wert, platform::TDateTime zeit) const {
    Wert.TimeStamp = 0.0;
    auto nothing = [&Wert] {
        Wert.Peak = Wert.LeqK = Wert.leq = 0.0;
        Wert.TimeStamp = 0.0;
        return false;
    };
    const int32_t interval = GetDrawInterval();
    if (!(zeit > 0.0) || interval <= 0) {
        return nothing();
    }
    try {
        const platform::TDateTime ref = GetRefTime();
        if (zeit < ref) {
            return nothing();
        }
        const int64_t seconds = (platform::DateTimeToMs(zeit) - platform::DateTimeToMs(ref)) / 1000;
        const int64_t slot = platform::Round(static_cast<double>(seconds) / interval);
        if (slot < 0 || slot > GetWerteAnzahl()) {
            return nothing();
        }
        Wert = GetWert(static_cast<int32_t>(slot));
        return Wert.TimeStamp > 0.0;
    } catch (const std::exception&) {
        return nothing();
    }
}
