// The INI text of preset files: whatever reads as INI text is saved and read
// back as the same document, and the preset read from it survives a save.
#include "store/preset_files.h"
#include "store/preset_ini.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/preset_as_written.h"

namespace {

PresetIni ReadBack(const QByteArray& bytes) {
    std::optional<PresetIni> ini = PresetIni::FromBytes(bytes);
    fuzz::Require(ini.has_value(), "saved INI text did not read back");
    return std::move(*ini);
}

}  // namespace

static int TestOneInput(const uint8_t* data, size_t size) {
    std::optional<PresetIni> ini = PresetIni::FromBytes(fuzz::Bytes(data, size));
    if (!ini) {
        return 0;
    }
    const QByteArray saved = ini->ToBytes();
    PresetIni again = ReadBack(saved);
    fuzz::Require(again.ToText() == ini->ToText(), "save and read changed the INI text");
    fuzz::Require(again.ToBytes() == saved, "a second save wrote other bytes");

    const TVTPreset read = PresetFromIni(*ini);
    WritePresetToIni(read, again);
    PresetIni withPreset = ReadBack(again.ToBytes());
    const TVTPreset back = PresetFromIni(withPreset);
    fuzz::Require(back == fuzz::AsWritten(read), "a preset did not survive its save");
    WritePresetToIni(back, withPreset);
    fuzz::Require(PresetFromIni(ReadBack(withPreset.ToBytes())) == back, "a second preset save changed it");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::WithinASecond(size, [&] { return TestOneInput(data, size); });
}
