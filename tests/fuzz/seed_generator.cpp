// Writes the fuzzing seeds and the regression inputs with the program's own
// writers, so no binary input is kept in the repository:
//   <out>/seeds/<target>/...        what the program writes, in its variants
//   <out>/regressions/<target>/...  the small inputs that once showed a fault
// Each input starts with the control byte its harness reads (see there).
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdio>
#include <functional>
#include <utility>

#include "platform/registry.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "store/password_encryption.h"
#include "store/preset_files.h"
#include "tests/store/old_file_fixtures.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"
#include "ui_kit/stream_strings.h"

namespace {

QString gOut;
QTemporaryDir gScratch;

void Put(const QString& kind, const QString& target, const QString& name, const QByteArray& bytes) {
    const QString folder = gOut + QLatin1Char('/') + kind + QLatin1Char('/') + target;
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

QByteArray Control(int control, const QByteArray& rest) { return QByteArray(1, static_cast<char>(control)) + rest; }

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// ---- measurement files

QByteArray SavedImage(const std::function<void(TDaten&)>& fill) {
    TDaten store;
    fill(store);
    const QString path = gScratch.filePath(QStringLiteral("seed.vtm"));
    QFile::remove(path);
    store.SaveToFile(path, QString());
    return ReadAll(path);
}

QByteArray SavedFromHeader(const std::function<void(TsaveItHeader13&)>& change) {
    TsaveItHeader13 header = TDaten().GetHeader();
    change(header);
    const QString path = gScratch.filePath(QStringLiteral("seed.vtm"));
    QFile::remove(path);
    TDaten(header).SaveToFile(path, QString());
    return ReadAll(path);
}

void FillMeasurement(TDaten& store, int32_t leqSeconds) {
    store.SetStartTime(46000.75);
    store.SetStopTime(46000.875);
    store.SetLEQDauer(leqSeconds);
    store.SetORT(QStringLiteral("K\u00f6ln"));
    store.SetHinweisText(QStringLiteral("Zeile 1\r\nZeile 2"));
    for (int32_t i = 0; i < 3; ++i) {
        TSaveIT6 value;
        value.id = i;
        value.TimeStamp = 46000.75 + (i + 1) / 1440.0;
        value.leq = 94.0 + i;
        value.LeqK = 96.0 + i;
        value.Peak = 120.0 + i;
        store.AddWert(value);
        TBlockDaten8 block;
        block.id = i + 1;
        block.leq = 95.25 + i;
        block.start = 46000.75 + i * 0.02;
        block.remarkStr = i == 1 ? QStringLiteral("Abweichung 2 dB") : QString();
        store.AddBlock(block);
    }
    store.AddSms(QStringLiteral("Start"));
}

void MeasurementFiles() {
    const QString target = QStringLiteral("measurement_file");
    const QByteArray empty = SavedImage([](TDaten&) {});
    const QByteArray interval = SavedImage([](TDaten& s) { FillMeasurement(s, 1800); });
    const QByteArray moving = SavedImage([](TDaten& s) { FillMeasurement(s, -1800); });
    for (int control = 0; control < 6; ++control) {
        const QString suffix = QString::number(control);
        Put("seeds", target, "empty-" + suffix, Control(control, empty));
        Put("seeds", target, "interval-" + suffix, Control(control, interval));
        Put("seeds", target, "moving-" + suffix, Control(control, moving));
    }
    // The older versions, as the fixture generator of the store tests writes them.
    for (int version : old_files::kOldVersions) {
        const QByteArray old = old_files::OldFile(version);
        for (int control = 0; control < 6; ++control) {
            Put("seeds", target, QStringLiteral("v%1-%2").arg(version).arg(control), Control(control, old));
        }
    }
    // Loaded "successfully", then the short-term warning level threw.
    Put("regressions", target, "leqkwarn-beyond-int32",
        Control(0, SavedFromHeader([](TsaveItHeader13& h) { h.theData.leqKWarn = 0x80000000u; })));
    // Start and stop each fit in milliseconds, their difference did not.
    Put("regressions", target, "far-start-and-stop", Control(0, SavedFromHeader([](TsaveItHeader13& h) {
                                                                  h.theData.start = -1.0e11;
                                                                  h.theData.STOP = 1.0e11;
                                                              })));
}

// ---- stream strings

void StreamStrings() {
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    for (const QString& text : {QString(), QStringLiteral("USB Audio"), QStringLiteral("  K\u00f6ln \r\n"),
                                QString::fromUtf16(u"\xD834\xDD1E note"), QString(1300, QLatin1Char('x'))}) {
        WriteStreamString(out, text);
    }
    Put("seeds", "stream_strings", "texts", bytes);
    Put("seeds", "stream_strings", "count-only", bytes.left(4));
}

// ---- presets

QByteArray PresetText(const TVTPreset& preset) {
    PresetIni ini;
    WritePresetToIni(preset, ini);
    return ini.ToBytes();
}

void Presets() {
    TVTPreset din = InitDinPreset();
    TVTPreset own = din;
    own.InfoD = QStringLiteral("\u00D6sterreich \u2264 99");
    own.messungen[0].Gelb = 95.5;
    own.lastModDate = 45000.5;
    const QByteArray dinText = PresetText(din);
    const QByteArray ownText = PresetText(own);
    QByteArray utf16 = QByteArray("\xFF\xFE");
    const QString ownString = QString::fromUtf8(ownText.mid(3));
    utf16.append(reinterpret_cast<const char*>(ownString.utf16()), ownString.size() * 2);
    for (const auto& [name, text] : {std::pair{"din", dinText}, std::pair{"own", ownText}, std::pair{"utf16", utf16}}) {
        Put("seeds", "preset_ini", name, text);
        Put("seeds", "preset_files", QString(name) + "-vup", Control(0, text));
        Put("seeds", "preset_files", QString(name) + "-vtl", Control(1, text));
    }
    // A surrogate without its partner was read, then saved as "?".
    const QByteArray loneSurrogate("\xFF\xFE[\0I\0n\0f\0o\0]\0\n\0I\0n\0f\0o\0D\0=\0\x00\xDC", 30);
    Put("regressions", "preset_ini", "utf16-lone-surrogate", loneSurrogate);
    Put("regressions", "preset_files", "utf16-lone-surrogate", Control(0, loneSurrogate));
    // Saved as Windows-1252 without a mark, "Ã¤" read back as the UTF-8 "ä".
    const QByteArray mojibake("\xEF\xBB\xBF[Info]\r\nInfoD=\xC3\x83\xC2\xA4\r\n");
    Put("regressions", "preset_ini", "windows-1252-reads-as-utf8", mojibake);
    Put("regressions", "preset_files", "windows-1252-reads-as-utf8", Control(0, mojibake));
    // Qt took a second mark, the next read of the save a third.
    Put("regressions", "preset_ini", "three-marks", QByteArray("\xFF\xFE\xFF\xFE\xFF\xFE"));
}

// ---- settings hive

QByteArray HivePayload(const QByteArray& file) { return file.mid(48); }

QByteArray WrittenHive() {
    const QString path = gScratch.filePath(QStringLiteral("seed.hive"));
    QFile::remove(path);
    {
        platform::Registry reg(path);
        reg.OpenKey(QStringLiteral("Software\\Brask Soft\\Veltaro2026"), true);
        reg.WriteInteger(QStringLiteral("Lang"), 2);
        reg.WriteBool(QStringLiteral("IOStart"), true);
        reg.WriteString(QStringLiteral("Device"), QStringLiteral("USB Audio \u2264"));
        reg.WriteFloat(QStringLiteral("RLZ"), 0.5);
        reg.WriteDateTime(QStringLiteral("Last"), 46000.5);
        reg.WriteBinaryData(QStringLiteral("Blob"), QByteArray("\x00\x01\xff", 3));
        reg.OpenKey(QStringLiteral("Software\\Brask Soft\\Veltaro2026\\Midi\\Out"), true);
        reg.WriteString(QStringLiteral("Name"), QStringLiteral("Desk"));
        reg.CloseKey();
    }
    platform::Registry::SetHiveFiles(QString(), QString());
    return ReadAll(path);
}

QByteArray U32(uint32_t v) {
    QByteArray word(4, '\0');
    qToLittleEndian<uint32_t>(v, word.data());
    return word;
}

QByteArray Utf16(const QString& text) {
    return U32(static_cast<uint32_t>(text.size())) +
           QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

void Hives() {
    const QByteArray file = WrittenHive();
    Put("seeds", "registry_hive", "settings-file", Control(0, file));
    Put("seeds", "registry_hive", "settings-payload", Control(1, HivePayload(file)));
    // Folded as a whole path and segment by segment, this key existed twice.
    const QString parent = QString::fromUtf16(u"\xDC00" u"A");
    Put("regressions", "registry_hive", "lone-surrogate-key",
        Control(1, U32(3) + Utf16(QString()) + U32(0) + Utf16(parent) + U32(0) +
                       Utf16(parent + QString::fromUtf16(u"\\\xDC00")) + U32(0)));
    // Thousands of one-letter keys in one path took seconds and a gigabyte.
    QStringList deep;
    for (int i = 0; i < 16000; ++i) deep << QStringLiteral("k");
    Put("regressions", "registry_hive", "deep-key-path", Control(1, U32(1) + Utf16(deep.join('\\')) + U32(0)));
}

// ---- password-based encryption

void Ciphers() {
    const QByteArray plain("Measurement 2026: 97.5 dB(A), the text of a whole file...");
    for (int control = 0; control < 8; ++control) {
        const TCipherKind cipher = control % 4 == 1 ? TCipherKind::Twofish
                                   : control % 4 == 2 ? TCipherKind::Blowfish
                                                      : TCipherKind::Rijndael;
        const THashKind hash = (control & 4) != 0 ? THashKind::Sha256 : THashKind::Tiger;
        const QString name = QString::number(control);
        Put("seeds", "password_decryption", "stream-" + name,
            Control(control, EncipherStream(plain, cipher, hash, QStringLiteral("fuzz pw"))));
        Put("seeds", "password_decryption", "text-" + name,
            Control(control | 8, EncipherText(QStringLiteral("sftp secret"), cipher, hash, QStringLiteral("fuzz pw"))
                                     .toLatin1()));
    }
    Put("seeds", "password_decryption", "file-image", Control(0, EncipherFileImage(plain, QStringLiteral("fuzz pw"))));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    gOut = QString::fromLocal8Bit(argv[1]);
    language = kLangEnglish;
    MeasurementFiles();
    StreamStrings();
    Presets();
    Hives();
    Ciphers();
    return 0;
}
