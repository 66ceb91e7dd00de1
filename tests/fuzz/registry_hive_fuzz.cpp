// The settings hive. The first byte's bit 0 says whether the rest is a whole
// hive file or a payload that the harness gives a correct header and
// checksum, so that the fuzzer reaches the structure behind the checksum.
// A damaged hive is set aside and starts empty; a sound one lists each key
// once, opens every key it lists, and reads back the same after a save.
#include <QDir>

#include <cstring>

#include "platform/registry.h"
#include "tests/support/hive_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using platform::Registry;
using platform::RegistryValueType;

QString ValueText(const Registry& key, const QString& name) {
    const RegistryValueType type = key.GetDataType(name);
    QString text = name + QLatin1Char('=') + QString::number(static_cast<int>(type)) + QLatin1Char(':');
    switch (type) {
    case RegistryValueType::Integer:
    case RegistryValueType::Boolean:
        return text + QString::number(key.ReadInteger(name).value_or(-1));
    case RegistryValueType::String:
        return text + key.ReadString(name).value_or(QStringLiteral("<none>"));
    case RegistryValueType::Float:
    case RegistryValueType::DateTime: {
        const double value = key.ReadFloat(name).value_or(0.0);
        uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        return text + QString::number(bits, 16);
    }
    case RegistryValueType::Binary:
        return text + QString::fromLatin1(key.ReadBinaryData(name).value_or(QByteArray()).toHex());
    default:
        fuzz::Finding("a listed value has no type");
    }
}

// Every key below path with its values, depth first in listing order.
void Dump(const QString& path, QStringList& lines) {
    Registry key;
    fuzz::Require(key.OpenKeyReadOnly(path), "a listed key cannot be opened");
    lines.append(QStringLiteral("[") + path + QStringLiteral("]"));
    for (const QString& name : key.GetValueNames()) {
        lines.append(ValueText(key, name));
    }
    const QStringList names = key.GetKeyNames();
    fuzz::Require(QStringList(names).removeDuplicates() == 0, "a key is listed twice");
    for (const QString& name : names) {
        Dump(path.isEmpty() ? name : path + QLatin1Char('\\') + name, lines);
    }
}

QStringList DumpHive() {
    QStringList lines;
    Dump(QString(), lines);
    return lines;
}

void RemoveSetAsideFiles() {
    QDir folder(fuzz::Folder().path());
    for (const QString& name : folder.entryList({QStringLiteral("*.damaged-*")}, QDir::Files | QDir::Hidden)) {
        folder.remove(name);
    }
}

// Writes and removes a value of a new name, which leaves the content as it
// was but makes the next close save the whole hive.
void ForceSave() {
    Registry root;
    fuzz::Require(root.OpenKey(QString(), true), "the root key cannot be opened for writing");
    QString probe = QStringLiteral("probe");
    while (root.ValueExists(probe)) {
        probe += QLatin1Char('_');
    }
    fuzz::Require(root.WriteInteger(probe, 1) && root.DeleteValue(probe), "a value could not be written");
    fuzz::Require(root.CloseKey(), "a loaded hive could not be saved");
}

}  // namespace

static int TestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const QByteArray rest = fuzz::Bytes(data + 1, size - 1);
    const QByteArray file = (data[0] & 1) != 0 ? HiveFileAround(rest) : rest;
    const QString hive = fuzz::WriteFile(QStringLiteral("user.hive"), file);
    RemoveSetAsideFiles();
    Registry::SetHiveFiles(hive, fuzz::PathOf(QStringLiteral("no-machine.hive")));
    Registry::TakeDamageReport();

    const QStringList loaded = DumpHive();
    if (!Registry::TakeDamageReport().isEmpty()) {
        fuzz::Require(loaded == QStringList{QStringLiteral("[]")}, "a damaged hive did not start empty");
        fuzz::Require(!QFile::exists(hive), "a damaged hive was not set aside");
        return 0;
    }
    ForceSave();
    Registry::SetHiveFiles(hive, fuzz::PathOf(QStringLiteral("no-machine.hive")));
    const QStringList reloaded = DumpHive();
    fuzz::Require(Registry::TakeDamageReport().isEmpty(), "a saved hive loads as damaged");
    fuzz::Require(reloaded == loaded, "load, save, load changed the hive");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::WithinASecond(size, [&] { return TestOneInput(data, size); });
}
