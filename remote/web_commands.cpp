#include "remote/web_commands.h"

#include <cmath>
#include <optional>

#include "remote/web_encoding.h"
#include "ui_kit/notifications.h"

namespace {

// The wizards' own notification codes.
constexpr uintptr_t kCalNext = 267;
constexpr uintptr_t kCalCancel = 262;
constexpr uintptr_t kCalRepeat = 263;
constexpr uintptr_t kKorNext = 303;
constexpr uintptr_t kKorCancel = 305;
constexpr uintptr_t kKorSendLevel = 306;
constexpr uintptr_t kKorNoise = 307;
constexpr uintptr_t kKorRepeat = 302;
constexpr intptr_t kRefreshDisplays = 7;

constexpr int32_t kStatusSearch = 1;
constexpr int32_t kStatusCalWizard = 3;
constexpr int32_t kStatusSearchWithSignal = 4;
constexpr int32_t kStatusKorWizard = 5;
constexpr int32_t kCalStepWarning = 4;

bool StartsWith(const QString& word, const char* prefix) {
    return word.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

int64_t RoundHalfEven(double v) { return static_cast<int64_t>(std::nearbyint(v)); }

// The display field a GETWERT or GETLABEL word names: its last character as
// a digit, 0 when that is no digit.
int32_t FieldOfWord(const QString& word) {
    const QChar last = word.isEmpty() ? QChar() : word.back();
    return last.isDigit() && last.unicode() < 128 ? last.digitValue() : 0;
}

// The level of a generic ABSVOL word: its 8th and 9th characters as a
// decimal number (a sign and one digit, or two digits); none otherwise.
std::optional<int32_t> AbsVolLevel(const QString& word) {
    if (word.size() < 9) return std::nullopt;
    const QString digits = word.mid(7, 2);
    const bool signAndDigit = (digits[0] == QLatin1Char('-') || digits[0] == QLatin1Char('+')) &&
                              digits[1].isDigit() && digits[1].unicode() < 128;
    const bool twoDigits = digits[0].isDigit() && digits[1].isDigit() && digits[0].unicode() < 128 &&
                           digits[1].unicode() < 128;
    if (!signAndDigit && !twoDigits) return std::nullopt;
    return digits.toInt();
}

class CommandRun {
public:
    CommandRun(const TWebSnapshot& s, bool mayAct, const TWebCommandActions& actions)
        : s_(s), mayAct_(mayAct), actions_(actions) {}

    QString Answer(const QString& word) {
        if (StartsWith(word, "GETWERT")) return FieldText(word, s_.feldWert, "Invalid Wert Request: ");
        if (StartsWith(word, "GETLABEL")) return FieldText(word, s_.feldLabel, "Invalid Label Request: ");
        if (s_.kor.open && FixedAbsVol(word)) return QString();
        if (StartsWith(word, "STARTPINK")) return TestSignal(kStatusSearch, 1);
        if (StartsWith(word, "STOPPINK")) return TestSignal(kStatusSearchWithSignal, 0);
        if (StartsWith(word, "PEAKRESET")) {
            if ((s_.statusMessung == kStatusSearch || s_.statusMessung == kStatusSearchWithSignal) && mayAct_ &&
                actions_.resetFindPeak)
                actions_.resetFindPeak();
            return QString();
        }
        if (StartsWith(word, "GETHEADER")) return s_.eventName;
        if (word.compare(QLatin1String("GETSTATUS"), Qt::CaseInsensitive) == 0) return WebStatusLine(s_);
        CalibrationCommands(word);
        CorrectionCommands(word);
        return QString();
    }

private:
    void Post(platform::WindowHandle window, uintptr_t code, intptr_t argument) {
        if (mayAct_ && actions_.post) actions_.post(window, code, argument);
    }

    QString FieldText(const QString& word, const std::array<QString, 8>& texts, const char* invalid) {
        const int32_t n = FieldOfWord(word);
        if (n > 7) return QLatin1String(invalid) + QString::number(n);
        return texts[n];
    }

    bool FixedAbsVol(const QString& word) {
        for (int32_t level : {50, 40, 30, 20, 10}) {
            if (!StartsWith(word, QStringLiteral("ABSVOL%1").arg(level).toLatin1().constData())) continue;
            Post(s_.kor.window, kNotifyTestSignalLevel, -level);
            return true;
        }
        return false;
    }

    QString TestSignal(int32_t neededStatus, intptr_t on) {
        if (s_.statusMessung == neededStatus) {
            Post(s_.mainWindow, kNotifyTestSignalSwitch, on);
            Post(s_.mainWindow, kNotifyNewValues, kRefreshDisplays);
        }
        return QString();
    }

    void CalibrationCommands(const QString& word) {
        if (!s_.cal.open || !s_.cal.ipEnabled) return;
        if (StartsWith(word, "KALNEXT")) Post(s_.cal.window, kCalNext, 0);
        if (StartsWith(word, "KALCANCEL")) Post(s_.cal.window, kCalCancel, 0);
        if (StartsWith(word, "KALREPEAT")) Post(s_.cal.window, kCalRepeat, 0);
    }

    void CorrectionCommands(const QString& word) {
        if (!s_.kor.open || !s_.kor.ipEnabled) return;
        const platform::WindowHandle w = s_.kor.window;
        if (StartsWith(word, "KORNEXT"))
            Post(w, kKorNext, 1);
        else if (StartsWith(word, "KORCANCEL"))
            Post(w, kKorCancel, 0);
        if (StartsWith(word, "KORVPLUS")) Post(w, kKorSendLevel, 1);
        if (StartsWith(word, "KORVMINUS")) Post(w, kKorSendLevel, 0);
        if (StartsWith(word, "INOISEON")) Post(w, kKorNoise, 1);
        if (StartsWith(word, "INOISEOFF")) Post(w, kKorNoise, 0);
        if (StartsWith(word, "KORREPEAT")) Post(w, kKorRepeat, 0);
        if (StartsWith(word, "ABSVOL")) {
            // A word without a level posts nothing rather than a made-up level.
            if (const std::optional<int32_t> level = AbsVolLevel(word)) Post(w, kKorSendLevel, *level);
        }
    }

    const TWebSnapshot& s_;
    bool mayAct_;
    const TWebCommandActions& actions_;
};

}  // namespace

QString CommandWord(const QString& documentPath) {
    QString word = documentPath.mid(1);
    if (word.startsWith(QLatin1String("js/"), Qt::CaseInsensitive)) word = word.mid(3);
    return word;
}

QString WebStatusLine(const TWebSnapshot& s) {
    QString line;
    const auto add = [&line](auto number) { line += QString::number(number) + QLatin1Char(';'); };
    for (int32_t v : s.statusWert) add(v);
    add(s.statusMessung);
    for (int32_t v : s.statusColor) add(v);
    for (int32_t v : s.statusLabel) add(v);
    add(s.blocks);
    line += QString::number(s.statusInfo);
    if (s.statusMessung == kStatusCalWizard) {
        line += QLatin1Char(';') + QString::number(s.kalStatus);
        if (s.cal.open) {
            line += QLatin1Char(';') + QString::number(RoundHalfEven(s.cal.crestFactor * 10.0));
            line += QLatin1Char(';') + QString::number(static_cast<int64_t>(std::trunc(s.cal.level)));
            line += QLatin1Char(';') + QString::number(s.cal.remainingSeconds);
            line += QLatin1Char(';') + QString::number(s.cal.microphoneId);
            if (s.kalStatus == kCalStepWarning) line += QLatin1Char(';') + s.cal.warningText;
        } else if (s.calLog.exists) {
            line += QLatin1Char(';') + QString::number(RoundHalfEven(s.calLog.mean));
            line += QLatin1Char(';') + QString::number(s.warnPeak);
            line += QLatin1Char(';') + QString::number(s.storedValues);
            line += QLatin1Char(';') + QString::number(RoundHalfEven(s.calLog.checkLevelDifference * 100.0));
        }
    }
    if (s.statusMessung == kStatusKorWizard && s.kor.open && s.kor.useIP) line += QLatin1Char(';') + s.kor.webString;
    // The page reads the length in UTF-16 code units, as JavaScript counts.
    return QString::number(line.size()) + QLatin1Char(';') + line;
}

QString WebCommandText(const QString& documentPath, const TWebSnapshot& s, bool mayAct,
                       const TWebCommandActions& actions) {
    const QString text = CommandRun(s, mayAct, actions).Answer(CommandWord(documentPath));
    return text.isEmpty() ? QStringLiteral("---") : text;
}

TWebAnswer WebPostCommand(const QString& documentPath, std::string_view acceptEncoding, const TWebSnapshot& s,
                          bool mayAct, const TWebCommandActions& actions) {
    const QString text = WebCommandText(documentPath, s, mayAct, actions);
    const int32_t encoding = SelectContentEncoding(text.size(), acceptEncoding);
    TWebAnswer answer;
    answer.contentType = "text/plain; charset=utf-8";
    answer.cacheControl = "no-cache";
    answer.contentEncoding = ContentEncodingName(encoding);
    answer.body = EncodeBody(text.toUtf8(), encoding);
    return answer;
}
