// The preset file loaders: ".vup" as it stands, ".vtl" enciphered under the
// fixed pass phrase first (first byte, bit 0), so that the fuzzer reaches the
// text behind the cipher. A file that is not understood gives the defaults
// and stays as it was; one that is understood survives a save.
#include <QFile>

#include "store/preset_files.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/preset_as_written.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    language = kLangEnglish;
    return 0;
}

static int TestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const bool enciphered = (data[0] & 1) != 0;
    const QByteArray text = fuzz::Bytes(data + 1, size - 1);
    const QByteArray file = enciphered ? EncipherPresetText(text) : text;
    const QString path = fuzz::WriteFile(enciphered ? QStringLiteral("input.vtl") : QStringLiteral("input.vup"), file);

    QString problem;
    TVTPreset read = LoadPresetFile(path, InitDinPreset(), &problem);
    fuzz::Require(fuzz::ReadFile(path) == file, "loading changed the preset file");
    fuzz::Require(read.fn == path, "a loaded preset does not name its file");
    if (!problem.isEmpty()) {
        TVTPreset defaults = PresetFromIni(PresetIni());
        defaults.fn = read.fn;
        defaults.lastModDate = read.lastModDate;
        fuzz::Require(read == defaults, "a file not understood gave other values than the defaults");
        fuzz::Require(problem.contains(path), "the problem does not name the file");
        return 0;
    }

    // Saved over a ".vup" the file keeps what else it held; a ".vtl" is saved as a new ".vup".
    const QString savedPath = enciphered ? fuzz::PathOf(QStringLiteral("saved.vup")) : path;
    QFile::remove(fuzz::PathOf(QStringLiteral("saved.vup")));
    QString error;
    fuzz::Require(SavePresetFile(savedPath, read, &error), "a loaded preset could not be saved");
    QString again;
    TVTPreset back = LoadPresetFile(savedPath, InitDinPreset(), &again);
    fuzz::Require(again.isEmpty(), "a saved preset file was not understood");
    read.fn = back.fn;
    fuzz::Require(back == fuzz::AsWritten(read), "load, save, load changed the preset");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::WithinASecond(size, [&] { return TestOneInput(data, size); });
}
