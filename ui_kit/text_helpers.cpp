#include "ui_kit/text_helpers.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>

#include "platform/date_time.h"

QString JoinWithBullet(const QString& a, const QString& b) {
    if (b.isEmpty()) {
        return a;
    }
    if (a.isEmpty()) {
        return b;
    }
    return a + QStringLiteral(" \u2022 ") + b;
}

QString WithTextArgument(const QString& text, const QString& argument) {
    QString out = text;
    const qsizetype at = out.indexOf(QStringLiteral("%s"));
    if (at >= 0) {
        out.replace(at, 2, argument);
    }
    return out;
}

QString FillTextArguments(const QString& text, const QStringList& arguments) {
    QString out;
    qsizetype next = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool placeholder = text[i] == QLatin1Char('%') && i + 1 < text.size() &&
                                 (text[i + 1] == QLatin1Char('s') || text[i + 1] == QLatin1Char('d'));
        if (placeholder && next < arguments.size()) {
            out += arguments[next++];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

QString FoldLineBreaks(const QString& text) {
    const QString trimmed = platform::Trim(text);
    QString folded;
    folded.reserve(trimmed.size());
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const QChar c = trimmed.at(i);
        if (c != u'\r' && c != u'\n') {
            folded.append(c);
            continue;
        }
        // A CR LF or LF CR pair is one line break.
        const bool pairFollows = i + 1 < trimmed.size() &&
                                 ((c == u'\r' && trimmed.at(i + 1) == u'\n') ||
                                  (c == u'\n' && trimmed.at(i + 1) == u'\r'));
        if (pairFollows) {
            ++i;
        }
        folded.append(u' ');
    }
    return folded;
}

bool IsValidLevel(double x) {
    return std::isfinite(x) && x >= -100.0 && x <= 100.0;
}

namespace {

QDateTime WallTime(double localDateTime) {
    // The value is a wall time already; reading it in UTC keeps its fields.
    return platform::ToQDateTime(localDateTime);
}

}  // namespace

QString DateText(double localDateTime) {
    return QLocale().toString(WallTime(localDateTime).date(), QLocale::ShortFormat);
}

QString TimeText(double localDateTime) {
    return WallTime(localDateTime).time().toString(QStringLiteral("HH:mm:ss"));
}

QString DateTimeText(double localDateTime) {
    return DateText(localDateTime) + QLatin1Char(' ') + TimeText(localDateTime);
}

QString FixedText(double value, int decimals) {
    return QLocale().toString(value, 'f', decimals);
}

QString FixedSignificant(double x, int precision, int digits) {
    double value = x;
    if (std::isfinite(value) && value != 0.0) {
        int keep = digits;
        if (precision > 0) {
            const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
            keep = std::min(digits, precision - 1 - exponent);
        }
        const double scale = std::pow(10.0, keep);
        value = std::nearbyint(value * scale) / scale;
    }
    return QLocale().toString(value, 'f', digits);
}
