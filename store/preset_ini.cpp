#include "store/preset_ini.h"

#include <QStringDecoder>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "platform/date_time.h"
#include "store/windows_1252.h"

namespace {

std::optional<QString> DecodeStrict(QStringConverter::Encoding encoding, const QByteArray& bytes) {
    // Qt drops a lone last byte of UTF-16 without telling.
    const bool utf16 = encoding == QStringConverter::Utf16LE || encoding == QStringConverter::Utf16BE;
    if (utf16 && bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    // Qt's UTF-16 decoder passes a surrogate without its partner, which no
    // save could write back.
    if (decoder.hasError() || !text.isValidUtf16()) {
        return std::nullopt;
    }
    // Qt drops one more mark after the one we took; any further ones would
    // be dropped by the next read of the saved file, so none is text.
    while (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    return text;
}

bool IsControlCharacter(QChar ch) {
    const char16_t u = ch.unicode();
    if (u == u'\t' || u == u'\r' || u == u'\n') {
        return false;
    }
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

QStringList SplitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch != u'\r' && ch != u'\n') {
            continue;
        }
        lines.append(text.mid(start, i - start));
        if (ch == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < text.size()) {
        lines.append(text.mid(start));
    }
    return lines;
}

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// A value is one line: line breaks inside it would split the document.
QString OneLine(const QString& value) {
    QString line = value;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(u'\r', u' ');
    line.replace(u'\n', u' ');
    return line;
}

bool IsDigit(QChar ch) { return ch >= u'0' && ch <= u'9'; }

int HexValue(QChar ch) {
    const char16_t u = ch.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

}  // namespace

std::optional<QString> DecodeIniText(const QByteArray& bytes, QString* error) {
    std::optional<QString> text;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        text = DecodeStrict(QStringConverter::Utf8, bytes.mid(3));
    } else if (bytes.startsWith("\xFF\xFE")) {
        text = DecodeStrict(QStringConverter::Utf16LE, bytes.mid(2));
    } else if (bytes.startsWith("\xFE\xFF")) {
        text = DecodeStrict(QStringConverter::Utf16BE, bytes.mid(2));
    } else {
        text = DecodeStrict(QStringConverter::Utf8, bytes);
        if (!text) {
            text = DecodeWindows1252(bytes);
        }
    }
    if (!text) {
        if (error) {
            *error = QStringLiteral("the text does not match its byte-order mark");
        }
        return std::nullopt;
    }
    for (QChar ch : *text) {
        if (IsControlCharacter(ch)) {
            if (error) {
                *error = QStringLiteral("the file holds binary data, not text");
            }
            return std::nullopt;
        }
    }
    return text;
}

// Always with the mark: Windows-1252 without one can read back as UTF-8.
QByteArray EncodeIniText(const QString& text) { return QByteArray("\xEF\xBB\xBF") + text.toUtf8(); }

std::optional<int32_t> ParseIniInteger(const QString& text) {
    const QString t = platform::Trim(text);
    qsizetype pos = 0;
    bool negative = false;
    if (pos < t.size() && (t.at(pos) == u'-' || t.at(pos) == u'+')) {
        negative = t.at(pos) == u'-';
        ++pos;
    }
    const bool hex = t.size() - pos > 2 && t.at(pos) == u'0' && (t.at(pos + 1) == u'x' || t.at(pos + 1) == u'X');
    if (hex) {
        // Up to 32 bits, read as the signed word they make ("0xFFFFFFFF" is -1).
        const QString digits = t.mid(pos + 2);
        if (digits.size() > 8) {
            return std::nullopt;
        }
        uint32_t word = 0;
        for (QChar ch : digits) {
            const int nibble = HexValue(ch);
            if (nibble < 0) {
                return std::nullopt;
            }
            word = word * 16 + static_cast<uint32_t>(nibble);
        }
        return static_cast<int32_t>(negative ? 0u - word : word);
    }
    if (pos == t.size()) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (qsizetype i = pos; i < t.size(); ++i) {
        if (!IsDigit(t.at(i))) {
            return std::nullopt;
        }
        value = value * 10 + (t.at(i).unicode() - u'0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

std::optional<double> ParseIniFloat(const QString& text) {
    const QString t = platform::Trim(text);
    // Sign, digits with at most one decimal point or comma, optional exponent.
    std::string ascii;
    ascii.reserve(t.size());
    qsizetype pos = 0;
    bool negative = false;
    if (pos < t.size() && (t.at(pos) == u'-' || t.at(pos) == u'+')) {
        negative = t.at(pos) == u'-';
        ++pos;
    }
    int mantissaDigits = 0;
    bool separatorSeen = false;
    for (; pos < t.size(); ++pos) {
        const QChar ch = t.at(pos);
        if (IsDigit(ch)) {
            ascii.push_back(static_cast<char>(ch.unicode()));
            ++mantissaDigits;
        } else if ((ch == u'.' || ch == u',') && !separatorSeen) {
            ascii.push_back('.');
            separatorSeen = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) {
        return std::nullopt;
    }
    if (pos < t.size() && (t.at(pos) == u'e' || t.at(pos) == u'E')) {
        ascii.push_back('e');
        ++pos;
        if (pos < t.size() && (t.at(pos) == u'-' || t.at(pos) == u'+')) {
            ascii.push_back(static_cast<char>(t.at(pos).unicode()));
            ++pos;
        }
        int exponentDigits = 0;
        for (; pos < t.size() && IsDigit(t.at(pos)); ++pos) {
            ascii.push_back(static_cast<char>(t.at(pos).unicode()));
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return std::nullopt;
        }
    }
    if (pos != t.size()) {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (ec != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

QString FormatIniFloat(double value) { return QString::number(value, 'g', 15); }

std::optional<PresetIni> PresetIni::FromBytes(const QByteArray& bytes, QString* error) {
    std::optional<QString> text = DecodeIniText(bytes, error);
    if (!text) {
        return std::nullopt;
    }
    return FromText(*text, error);
}

std::optional<PresetIni> PresetIni::FromText(const QString& text, QString* error) {
    PresetIni ini;
    for (const QString& raw : SplitLines(text)) {
        if (raw.contains(QChar(u'\0'))) {
            if (error) {
                *error = QStringLiteral("the file holds binary data, not text");
            }
            return std::nullopt;
        }
        const QString trimmed = platform::Trim(raw);
        if (trimmed.startsWith(u'[')) {
            qsizetype close = trimmed.indexOf(u']');
            if (close < 0) {
                close = trimmed.size();
            }
            ini.sections_.push_back(Section{platform::Trim(trimmed.mid(1, close - 1)), raw, {}});
            continue;
        }
        Line line;
        line.text = raw;
        const qsizetype eq = trimmed.indexOf(u'=');
        if (eq >= 0 && !trimmed.startsWith(u';')) {
            line.isEntry = true;
            line.key = platform::Trim(trimmed.left(eq));
            line.value = platform::Trim(trimmed.mid(eq + 1));
        }
        (ini.sections_.empty() ? ini.leadingLines_ : ini.sections_.back().lines).push_back(line);
    }
    return ini;
}

QString PresetIni::ToText() const {
    QString text;
    auto appendLine = [&text](const QString& line) {
        text += line;
        text += QLatin1String("\r\n");
    };
    for (const Line& line : leadingLines_) {
        appendLine(line.text);
    }
    for (const Section& section : sections_) {
        appendLine(section.headerLine);
        for (const Line& line : section.lines) {
            appendLine(line.text);
        }
    }
    return text;
}

QByteArray PresetIni::ToBytes() const { return EncodeIniText(ToText()); }

bool PresetIni::HasSection(const QString& section) const { return findSection(section) != nullptr; }

QStringList PresetIni::SectionNames() const {
    QStringList names;
    for (const Section& section : sections_) {
        names.append(section.name);
    }
    return names;
}

std::optional<QString> PresetIni::Value(const QString& section, const QString& key) const {
    const Section* found = findSection(section);
    if (!found) {
        return std::nullopt;
    }
    for (const Line& line : found->lines) {
        if (line.isEntry && SameName(line.key, key)) {
            return line.value;
        }
    }
    return std::nullopt;
}

QString PresetIni::ReadString(const QString& section, const QString& key, const QString& fallback) const {
    return Value(section, key).value_or(fallback);
}

int32_t PresetIni::ReadInteger(const QString& section, const QString& key, int32_t fallback) const {
    const std::optional<QString> text = Value(section, key);
    return text ? ParseIniInteger(*text).value_or(fallback) : fallback;
}

double PresetIni::ReadFloat(const QString& section, const QString& key, double fallback) const {
    const std::optional<QString> text = Value(section, key);
    return text ? ParseIniFloat(*text).value_or(fallback) : fallback;
}

bool PresetIni::ReadBool(const QString& section, const QString& key, bool fallback) const {
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void PresetIni::WriteString(const QString& section, const QString& key, const QString& value) {
    Section& target = sectionForWriting(section);
    for (Line& line : target.lines) {
        if (line.isEntry && SameName(line.key, key)) {
            line = entryLine(line.key, value);
            return;
        }
    }
    // New keys go after the section's last non-blank line, so the blank line
    // that separates it from the next section stays where it was.
    auto insertAt = target.lines.end();
    while (insertAt != target.lines.begin() && platform::Trim(std::prev(insertAt)->text).isEmpty()) {
        --insertAt;
    }
    target.lines.insert(insertAt, entryLine(key, value));
}

void PresetIni::WriteInteger(const QString& section, const QString& key, int32_t value) {
    WriteString(section, key, QString::number(value));
}

void PresetIni::WriteFloat(const QString& section, const QString& key, double value) {
    WriteString(section, key, FormatIniFloat(value));
}

void PresetIni::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

const PresetIni::Section* PresetIni::findSection(const QString& name) const {
    for (const Section& section : sections_) {
        if (SameName(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

PresetIni::Section& PresetIni::sectionForWriting(const QString& name) {
    for (Section& section : sections_) {
        if (SameName(section.name, name)) {
            return section;
        }
    }
    std::vector<Line>& previous = sections_.empty() ? leadingLines_ : sections_.back().lines;
    const bool documentEmpty = sections_.empty() && leadingLines_.empty();
    if (!documentEmpty && (previous.empty() || !platform::Trim(previous.back().text).isEmpty())) {
        previous.push_back(Line{});
    }
    const QString cleanName = OneLine(platform::Trim(name));
    sections_.push_back(Section{cleanName, QLatin1Char('[') + cleanName + QLatin1Char(']'), {}});
    return sections_.back();
}

PresetIni::Line PresetIni::entryLine(const QString& key, const QString& value) {
    Line line;
    line.isEntry = true;
    line.key = key;
    line.value = platform::Trim(OneLine(value));
    line.text = key + QLatin1Char('=') + OneLine(value);
    return line;
}
