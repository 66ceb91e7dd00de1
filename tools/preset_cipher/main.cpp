// preset_cipher: turns the INI source of a default preset into the
// enciphered ".vtl" file the program installs beside itself, and back.
//
//   preset_cipher <source.ini> <target.vtl>
//   preset_cipher --decipher <source.vtl> <target.ini>
//
// The text is enciphered byte for byte as it stands, so a deciphered ".vtl"
// is its INI source again. Text that holds no preset settings is refused in
// both directions: a typo in a source, or a ".vtl" made under another pass
// phrase, stops the build instead of shipping a preset that reads as defaults.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>

#include "platform/files.h"
#include "store/preset_files.h"
#include "store/preset_ini.h"

namespace {

int Fail(const QString& message) {
    std::fprintf(stderr, "preset_cipher: %s\n", qPrintable(message));
    return 1;
}

int Usage() {
    return Fail(QStringLiteral("usage: preset_cipher [--decipher] <source> <target>"));
}

bool IsPresetText(const QByteArray& text, QString* why) {
    const std::optional<PresetIni> ini = PresetIni::FromBytes(text, why);
    if (!ini) {
        return false;
    }
    if (!HoldsPresetSettings(*ini)) {
        *why = QStringLiteral("it holds no section of a preset");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int arg = 1;
    bool decipher = false;
    if (argc == 4 && QByteArray(argv[1]) == "--decipher") {
        decipher = true;
        ++arg;
    } else if (argc != 3) {
        return Usage();
    }
    const QString sourceName = QString::fromLocal8Bit(argv[arg]);
    const QString targetName = QString::fromLocal8Bit(argv[arg + 1]);

    QFile source(sourceName);
    if (!source.open(QIODevice::ReadOnly)) {
        return Fail(QStringLiteral("cannot read %1: %2").arg(sourceName, source.errorString()));
    }
    if (source.size() > kMaxPresetFileSize) {
        return Fail(QStringLiteral("%1 is too large for a preset file").arg(sourceName));
    }
    const QByteArray input = source.readAll();

    const QByteArray plain = decipher ? DecipherPresetText(input) : input;
    QString why;
    if (!IsPresetText(plain, &why)) {
        return Fail(QStringLiteral("%1 is not preset text: %2").arg(sourceName, why));
    }
    const QByteArray output = decipher ? plain : EncipherPresetText(plain);

    QString error;
    if (!platform::WriteFileAtomically(targetName, output, &error)) {
        return Fail(QStringLiteral("cannot write %1: %2").arg(targetName, error));
    }
    return 0;
}
