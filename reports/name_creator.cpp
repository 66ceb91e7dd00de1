#include "reports/name_creator.h"

#include <QLocale>

#include "platform/registry.h"
#include "store/measurement_store.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kMaxNameBytes = 255;

const std::array<const char*, kDateLayoutCount> kDateLayouts = {
    "YY-MM-DD",          "YY-MM-DD_HH-NN",    "YY-MM-DD_HH-NN-SS", "YYYY-MM-DD",      "YYYY-MM-DD_HH-NN",
    "YYYY-MM-DD_HH-NN-SS", "DD-MM-YY",        "DD-MM-YY_HH-NN",    "DD-MM-YY_HH-NN-SS", "DD-MM-YYYY",
    "DD-MM-YYYY_HH-NN",  "DD-MM-YYYY_HH-NN-SS", "YYMMDD",          "YYMMDD-HHNN",     "YYMMDD-HHNNSS",
    "YYYYMMDD",          "YYYYMMDD-HHNN",     "YYYYMMDD-HHNNSS",   "DDMMYY",          "DDMMYY-HHNN",
    "DDMMYY-HHNNSS",     "DDMMYYYY",          "DDMMYYYY-HHNN",     "DDMMYYYY-HHNNSS", "YYMMDDHHNN",
    "YYMMDDHHNNSS",      "YYYYMMDDHHNN",      "YYYYMMDDHHNNSS",    "DDMMYYHHNN",      "DDMMYYHHNNSS",
    "DDMMYYYYHHNN",      "DDMMYYYYHHNNSS"};

const QString kGeneralLayout = QStringLiteral("c");
const QString kExtension = QStringLiteral(".VTM");

// Registry value names and what a missing value gives.
const std::array<QString, 3> kFreeTextValues = {QStringLiteral("NCreatorE1"), QStringLiteral("NCreatorE2"),
                                                QStringLiteral("NCreatorE3")};
const std::array<QString, 3> kPartValues = {QStringLiteral("NCCreatorPID1"), QStringLiteral("NCCreatorPID2"),
                                            QStringLiteral("NCCreatorPID3")};
const std::array<QString, 2> kSepValues = {QStringLiteral("NCCreatorSID1"), QStringLiteral("NCCreatorSID2")};
const QString kRunningNumberValue = QStringLiteral("NCRunningNumber");
const QString kDateFormatValue = QStringLiteral("NCDateFormatId");
const QString kUseSymPathValue = QStringLiteral("NCUseSymPath");
constexpr std::array<int32_t, 3> kDefaultParts = {kNamePartDate, kNamePartLocation, kNamePartEmpty};
constexpr int32_t kDefaultDateLayout = 4;

QString TwoDigits(int value) { return QStringLiteral("%1").arg(value % 100, 2, 10, QLatin1Char('0')); }

QString ExpandLayout(const QString& layout, const platform::DateTimeParts& t) {
    QString out;
    for (qsizetype i = 0; i < layout.size();) {
        const QStringView rest = QStringView(layout).mid(i);
        if (rest.startsWith(u"YYYY")) {
            out += QStringLiteral("%1").arg(t.year, 4, 10, QLatin1Char('0'));
            i += 4;
            continue;
        }
        int value = -1;
        if (rest.startsWith(u"YY")) value = t.year;
        else if (rest.startsWith(u"MM")) value = t.month;
        else if (rest.startsWith(u"DD")) value = t.day;
        else if (rest.startsWith(u"HH")) value = t.hour;
        else if (rest.startsWith(u"NN")) value = t.min;
        else if (rest.startsWith(u"SS")) value = t.sec;
        if (value >= 0) {
            out += TwoDigits(value);
            i += 2;
        } else {
            out += layout[i];
            ++i;
        }
    }
    return out;
}

bool ValidSlot(int32_t slot) { return slot >= 0 && slot <= 2; }
bool ValidGap(int32_t gap) { return gap >= 0 && gap <= 1; }

}  // namespace

QString SafeNamePart(const QString& part) {
    QString safe = part;
    for (QChar& c : safe) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('_');
    }
    return safe;
}

QString SafeFileName(const QString& stem, const QString& extension) {
    QString name = stem;
    if (name.startsWith(QLatin1Char('.'))) name[0] = QLatin1Char('_');
    const qsizetype room = kMaxNameBytes - extension.toUtf8().size();
    while (name.toUtf8().size() > room) {
        name.chop(name.size() >= 2 && name.back().isLowSurrogate() ? 2 : 1);
    }
    return name + extension;
}

QString TVtNameCreator::PartText(int32_t slot, platform::TDateTime referenceTime) const {
    const TDaten* store = defaultDaten.load();
    switch (current.aPartId[slot]) {
    case kNamePartEvent:
        return store != nullptr ? store->GetVeranstaltung() : QString();
    case kNamePartLocation:
        return store != nullptr ? store->GetLocationText() : QString();
    case kNamePartDate:
        return FormatDate(referenceTime, current.myDateFormatId);
    case kNamePartFreeText:
        return current.aFreeText[slot];
    case kNamePartRunningNumber:
        return GetRunningNumberText();
    default:
        return {};
    }
}

QString TVtNameCreator::CreateSaveName(platform::TDateTime referenceTime) const {
    QString stem;
    for (int32_t slot = 0; slot <= 2; ++slot) {
        stem += SafeNamePart(PartText(slot, referenceTime));
        if (slot < 2 && current.aPartId[slot + 1] != kNamePartEmpty && current.aSepId[slot] != kSepNone)
            stem += GetSeparatorText(current.aSepId[slot]);
    }
    return SafeFileName(stem, kExtension);
}

QString TVtNameCreator::GetNamePart(int32_t partId) const {
    switch (partId) {
    case kNamePartEvent: return GetLangText(1217);
    case kNamePartLocation: return GetLangText(1218);
    case kNamePartDate: return GetLangText(1219);
    case kNamePartFreeText: return GetLangText(1222);
    case kNamePartRunningNumber: return GetLangText(1221);
    case kNamePartEmpty: return GetLangText(1228);
    default: return {};
    }
}

QString TVtNameCreator::GetSepInfo(int32_t sepId) const {
    switch (sepId) {
    case kSepHyphen: return GetLangText(1225);
    case kSepUnderscore: return GetLangText(1226);
    case kSepNone: return GetLangText(1223);
    case kSepSpace: return GetLangText(1224);
    default: return {};
    }
}

int32_t TVtNameCreator::GetPartMode(int32_t slot) const {
    return ValidSlot(slot) ? current.aPartId[slot] : kNamePartEmpty;
}

int32_t TVtNameCreator::GetSeparatorId(int32_t gap) const {
    return ValidGap(gap) ? current.aSepId[gap] : kSepNone;
}

bool TVtNameCreator::IsPartEmpty(int32_t slot) const {
    return !ValidSlot(slot) || current.aPartId[slot] == kNamePartEmpty;
}

void TVtNameCreator::SetPartId(int32_t slot, int32_t partId) {
    if (ValidSlot(slot)) current.aPartId[slot] = partId;
}

void TVtNameCreator::SetSepId(int32_t gap, int32_t sepId) {
    if (ValidGap(gap)) current.aSepId[gap] = sepId;
}

QString TVtNameCreator::GetFreeText(int32_t slot) const {
    if (ValidSlot(slot)) return current.aFreeText[slot];
    return QStringLiteral("Invalid Text Id: ") + QString::number(slot);
}

void TVtNameCreator::SetFreeText(int32_t slot, const QString& text) {
    if (ValidSlot(slot)) current.aFreeText[slot] = text;
}

QString TVtNameCreator::GetDateModeFormatString(int32_t layoutId) {
    if (layoutId < 1 || layoutId > kDateLayoutCount) return kGeneralLayout;
    return QString::fromLatin1(kDateLayouts[layoutId - 1]);
}

QString TVtNameCreator::FormatDate(platform::TDateTime time, int32_t layoutId) {
    if (layoutId < 1 || layoutId > kDateLayoutCount) {
        const QDateTime wall = platform::ToQDateTime(time);
        const QLocale locale;
        return locale.toString(wall.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
               locale.toString(wall.time(), QLocale::LongFormat);
    }
    return ExpandLayout(GetDateModeFormatString(layoutId), platform::DecodeDateTime(time));
}

QString TVtNameCreator::GetRunningNumberText() const {
    return QStringLiteral("%1").arg(current.runningNumber, 4, 10, QLatin1Char('0'));
}

QString TVtNameCreator::GetSeparatorText(int32_t sepId) {
    switch (sepId) {
    case kSepHyphen: return QStringLiteral("-");
    case kSepUnderscore: return QStringLiteral("_");
    case kSepSpace: return QStringLiteral(" ");
    default: return {};
    }
}

int32_t TVtNameCreator::IncRunningNumber() {
    ++current.runningNumber;
    StoreRunningNumber();
    return current.runningNumber;
}

void TVtNameCreator::StoreRunningNumber() const {
    if (keyPath.isEmpty()) return;
    platform::Registry reg;
    if (reg.OpenKey(keyPath, true)) reg.WriteInteger(kRunningNumberValue, current.runningNumber);
    reg.CloseKey();
}

void TVtNameCreator::LoadFromReg(platform::Registry* reg) {
    if (reg == nullptr || !reg->HasCurrentKey()) return;
    keyPath = reg->CurrentPath();
    for (int32_t slot = 0; slot <= 2; ++slot) {
        current.aFreeText[slot] =
            reg->ReadString(kFreeTextValues[slot]).value_or(QStringLiteral("Free Text %1").arg(slot + 1));
        current.aPartId[slot] = reg->ReadInteger(kPartValues[slot]).value_or(kDefaultParts[slot]);
    }
    for (int32_t gap = 0; gap <= 1; ++gap)
        current.aSepId[gap] = reg->ReadInteger(kSepValues[gap]).value_or(kSepUnderscore);
    current.runningNumber = reg->ReadInteger(kRunningNumberValue).value_or(1);
    current.myDateFormatId = reg->ReadInteger(kDateFormatValue).value_or(kDefaultDateLayout);
    current.myUseSymPath = reg->ReadInteger(kUseSymPathValue).value_or(1) != 0;
}

void TVtNameCreator::SaveToReg(platform::Registry* reg) const {
    if (reg == nullptr || !reg->HasCurrentKey()) return;
    for (int32_t slot = 0; slot <= 2; ++slot) reg->WriteString(kFreeTextValues[slot], current.aFreeText[slot]);
    for (int32_t slot = 0; slot <= 2; ++slot) reg->WriteInteger(kPartValues[slot], current.aPartId[slot]);
    for (int32_t gap = 0; gap <= 1; ++gap) reg->WriteInteger(kSepValues[gap], current.aSepId[gap]);
    reg->WriteInteger(kRunningNumberValue, current.runningNumber);
    reg->WriteInteger(kDateFormatValue, current.myDateFormatId);
    reg->WriteInteger(kUseSymPathValue, current.myUseSymPath ? 1 : 0);
}

void TVtNameCreator::DoBackUp() { backup = current; }

void TVtNameCreator::RestoreBackUp() {
    const bool numberChanged = backup.runningNumber != current.runningNumber;
    current = backup;
    if (numberChanged) StoreRunningNumber();
}
