#pragma once
// The INI text of measuring preset files, read and written by our own code.
//
// Preset files come from the Windows program family, whose INI handling
// differs from QSettings (no quoting or escaping, keys kept as written,
// ";" comments, sections and keys compared without regard to case), so a
// document is kept line by line: a save changes only the lines of the keys it
// writes and keeps every other section, key, comment and blank line as it was.
//
// Reading rules:
//  - Blanks (every character up to U+0020) around section names, keys and
//    values are ignored; lines that begin with ";" are comments.
//  - Sections and keys are matched without regard to letter case; when a
//    section or key occurs twice, the first one counts.
//  - An integer is decimal text, or hexadecimal after "0x" (either case); a
//    float takes either the decimal point or the decimal comma, so a file
//    means the same on every machine; a Boolean is an integer that is true
//    when not 0. A value that does not parse gives the caller's default.
//
// Character encoding: a byte-order mark selects UTF-8 or UTF-16 (either byte
// order); text that is not valid in the encoding of its mark is refused.
// Without one, text that is valid UTF-8 is read as UTF-8 (files edited on
// this system), anything else as Windows-1252, the code page the files of the
// Windows program were written in. A save always writes UTF-8 with a
// byte-order mark, so what is saved is what comes back. Lines end in CR LF.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// Text with control characters (other than tab, CR and LF) is not INI text:
// it is what a damaged file or a wrong deciphering gives.
std::optional<QString> DecodeIniText(const QByteArray& bytes, QString* error = nullptr);
QByteArray EncodeIniText(const QString& text);

std::optional<int32_t> ParseIniInteger(const QString& text);
std::optional<double> ParseIniFloat(const QString& text);
// Shortest general form with up to 15 significant digits and a decimal point.
QString FormatIniFloat(double value);

class PresetIni {
public:
    PresetIni() = default;

    // nullopt (with *error saying why) when the bytes are not INI text.
    static std::optional<PresetIni> FromBytes(const QByteArray& bytes, QString* error = nullptr);
    static std::optional<PresetIni> FromText(const QString& text, QString* error = nullptr);
    QByteArray ToBytes() const;
    QString ToText() const;

    bool HasSection(const QString& section) const;
    QStringList SectionNames() const;  // as spelled in the document
    // The trimmed value; nullopt when the key is missing.
    std::optional<QString> Value(const QString& section, const QString& key) const;

    QString ReadString(const QString& section, const QString& key, const QString& fallback) const;
    int32_t ReadInteger(const QString& section, const QString& key, int32_t fallback) const;
    double ReadFloat(const QString& section, const QString& key, double fallback) const;
    bool ReadBool(const QString& section, const QString& key, bool fallback) const;

    // Replaces the value of an existing key (keeping the key's spelling) or
    // adds the key at the end of its section, adding the section at the end
    // of the document when it is missing.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int32_t value);
    void WriteFloat(const QString& section, const QString& key, double value);
    void WriteBool(const QString& section, const QString& key, bool value);

private:
    struct Line {
        QString text;     // the line as it stands in the document
        QString key;      // trimmed key of an entry line
        QString value;    // trimmed value of an entry line
        bool isEntry = false;
    };
    struct Section {
        QString name;
        QString headerLine;
        std::vector<Line> lines;
    };

    const Section* findSection(const QString& name) const;
    Section& sectionForWriting(const QString& name);
    static Line entryLine(const QString& key, const QString& value);

    std::vector<Line> leadingLines_;  // anything before the first section
    std::vector<Section> sections_;
};
