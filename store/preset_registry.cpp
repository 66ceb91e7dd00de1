#include "store/preset_registry.h"

#include <QtEndian>


#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kTextUserDefined = 826;  // "User defined setting"

QString EntryName(int entry, const char* field) { return QString::number(entry + 1) + QLatin1String(field); }

// Floats are 8-byte values; one written as raw binary data reads as well.
std::optional<double> ReadDouble(const platform::Registry& key, const QString& name) {
    if (std::optional<double> value = key.ReadFloat(name)) {
        return value;
    }
    const std::optional<QByteArray> raw = key.ReadBinaryData(name);
    if (!raw || raw->size() != static_cast<qsizetype>(sizeof(double))) {
        return std::nullopt;
    }
    return qFromLittleEndian<double>(raw->constData());
}

class PresetValueReader {
public:
    PresetValueReader(const platform::Registry& key, const QString& prefix) : key_(key), prefix_(prefix) {}

    int32_t Integer(const QString& name, int32_t fallback) const {
        return key_.ReadInteger(prefix_ + name).value_or(fallback);
    }
    bool Bool(const QString& name, bool fallback) const { return key_.ReadBool(prefix_ + name).value_or(fallback); }
    double Float(const QString& name, double fallback) const {
        return ReadDouble(key_, prefix_ + name).value_or(fallback);
    }
    QString String(const QString& name, const QString& fallback) const {
        return key_.ReadString(prefix_ + name).value_or(fallback);
    }

private:
    const platform::Registry& key_;
    QString prefix_;
};

}  // namespace

void ReadPresetRegistry(const platform::Registry& key, TVTPreset& record, const QString& prefix) {
    const PresetValueReader values(key, prefix);
    for (int n = 0; n < kPresetEntryCount; ++n) {
        const TPresetMessung& fallback = kDefaultPresetEntries[n];
        TPresetMessung& entry = record.messungen[n];
        entry.ART = values.Integer(EntryName(n, "ART"), fallback.ART);
        entry.Filter = values.Integer(EntryName(n, "Filter"), fallback.Filter);
        entry.Dauer = values.Integer(EntryName(n, "Dauer"), fallback.Dauer);
        entry.Gelb = values.Float(EntryName(n, "Ge"), fallback.Gelb);
        entry.Rot = values.Float(EntryName(n, "Ro"), fallback.Rot);
        entry.Status = values.Integer(EntryName(n, "S"), fallback.Status);
    }
    record.vor = values.String(QStringLiteral("Vor"), GetLangText(kTextUserDefined));
    record.InfoD = values.String(QStringLiteral("infoD"), GetLangTextFor(kTextUserDefined, kLangGerman));
    record.InfoE = values.String(QStringLiteral("infoE"), GetLangTextFor(kTextUserDefined, kLangEnglish));
    record.offCheck = values.Bool(QStringLiteral("KalNach"), true);
    record.endDirect = values.Bool(QStringLiteral("EndDirect"), false) && !record.offCheck;
    record.kalAb = values.Bool(QStringLiteral("KalAb"), true);
    record.naKoS = values.Integer(QStringLiteral("NaKoS"), 0);
    record.checkH = values.Bool(QStringLiteral("CheckH"), true);
    record.lastModDate = values.Float(QStringLiteral("LastModDate"), platform::SystemLocalNow());
    record.leqColorMode = values.Integer(QStringLiteral("LeqColorMode"), 1);
    record.linkLeqK = values.Bool(QStringLiteral("LeqK"), true);
    record.isUser = true;
}

bool WritePresetRegistry(platform::Registry& key, const TVTPreset& record, const QString& prefix) {
    bool ok = true;
    for (int n = 0; n < kPresetEntryCount; ++n) {
        const TPresetMessung& entry = record.messungen[n];
        ok &= key.WriteInteger(prefix + EntryName(n, "ART"), entry.ART);
        ok &= key.WriteInteger(prefix + EntryName(n, "Filter"), entry.Filter);
        ok &= key.WriteInteger(prefix + EntryName(n, "Dauer"), entry.Dauer);
        ok &= key.WriteFloat(prefix + EntryName(n, "Ge"), entry.Gelb);
        ok &= key.WriteFloat(prefix + EntryName(n, "Ro"), entry.Rot);
        ok &= key.WriteInteger(prefix + EntryName(n, "S"), entry.Status);
    }
    ok &= key.WriteString(prefix + QStringLiteral("Vor"), record.vor);
    ok &= key.WriteString(prefix + QStringLiteral("infoD"), record.InfoD);
    ok &= key.WriteString(prefix + QStringLiteral("infoE"), record.InfoE);
    ok &= key.WriteBool(prefix + QStringLiteral("KalNach"), record.offCheck);
    ok &= key.WriteBool(prefix + QStringLiteral("EndDirect"), record.endDirect && !record.offCheck);
    ok &= key.WriteBool(prefix + QStringLiteral("KalAb"), record.kalAb);
    ok &= key.WriteInteger(prefix + QStringLiteral("NaKoS"), record.naKoS);
    ok &= key.WriteBool(prefix + QStringLiteral("CheckH"), record.checkH);
    ok &= key.WriteDateTime(prefix + QStringLiteral("LastModDate"), record.lastModDate);
    ok &= key.WriteInteger(prefix + QStringLiteral("LeqColorMode"), record.leqColorMode);
    ok &= key.WriteBool(prefix + QStringLiteral("LeqK"), record.linkLeqK);
    return ok;
}
