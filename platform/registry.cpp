#include "platform/registry.h"

#include "platform/files.h"
#include "platform/known_folders.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include <sys/stat.h>

namespace platform {

namespace {

constexpr int kMaxKeySegmentLength = 255;
// Deeper than any key the program writes; the bound keeps a hive's load
// linear in its size, as every key holds its whole path.
constexpr int kMaxKeyDepth = 64;
constexpr int kMaxValueNameLength = 16383;
// The program's settings take well under a megabyte; a larger hive is
// neither written nor read.
constexpr qint64 kMaxHiveFileSize = 16LL * 1024 * 1024;
constexpr uint32_t kHiveFormatVersion = 1;
constexpr char kHiveMagic[8] = {'V', 'L', 'T', 'H', 'I', 'V', 'E', '\x1a'};
constexpr mode_t kHiveFileMode = 0600;

#pragma pack(push, 1)
struct HiveFileHeader {
    char magic[8];
    uint32_t version;      // little-endian
    uint32_t payloadSize;  // little-endian, bytes after this header
    uint8_t sha256[32];    // of the payload
};
#pragma pack(pop)
static_assert(sizeof(HiveFileHeader) == 48);

// The one folding of names and of each key-path segment: a path is folded
// segment by segment, wherever it comes from, so that a key never exists
// under two folded spellings. A surrogate without its partner folds
// differently depending on what stands beside it, so no name that holds one
// (invalid UTF-16) is ever created.
QString fold(const QString& text) { return text.toCaseFolded(); }

QString systemError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// ---------------------------------------------------------------------------
// Key paths
// ---------------------------------------------------------------------------

struct KeyPath {
    QStringList segments;  // as spelled by the caller; empty for the root
    QString folded;        // the folded segments joined by '\'
};

QString foldedPath(const QStringList& segments) {
    QStringList folded;
    folded.reserve(segments.size());
    for (const QString& segment : segments) folded.append(fold(segment));
    return folded.join(QLatin1Char('\\'));
}

std::optional<KeyPath> parseKeyPath(const QString& path, QString* error) {
    QString trimmed = path;
    while (trimmed.startsWith(QLatin1Char('\\'))) trimmed.remove(0, 1);
    while (trimmed.endsWith(QLatin1Char('\\'))) trimmed.chop(1);
    KeyPath result;
    if (trimmed.isEmpty()) return result;
    result.segments = trimmed.split(QLatin1Char('\\'));
    if (result.segments.size() > kMaxKeyDepth) {
        *error = QStringLiteral("\"%1...\" is deeper than %2 keys.").arg(path.left(40)).arg(kMaxKeyDepth);
        return std::nullopt;
    }
    for (const QString& segment : result.segments) {
        if (segment.isEmpty() || segment.size() > kMaxKeySegmentLength) {
            *error = QStringLiteral("\"%1\" is not a valid key path.").arg(path);
            return std::nullopt;
        }
    }
    result.folded = foldedPath(result.segments);
    return result;
}

QString lastSegment(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1); }

bool isBelow(const QString& foldedKey, const QString& foldedParent) {
    if (foldedParent.isEmpty()) return !foldedKey.isEmpty();
    return foldedKey.size() > foldedParent.size() + 1 && foldedKey.startsWith(foldedParent) &&
           foldedKey.at(foldedParent.size()) == QLatin1Char('\\');
}

bool isDirectlyBelow(const QString& foldedKey, const QString& foldedParent) {
    if (!isBelow(foldedKey, foldedParent)) return false;
    const qsizetype from = foldedParent.isEmpty() ? 0 : foldedParent.size() + 1;
    return foldedKey.indexOf(QLatin1Char('\\'), from) < 0;
}

// ---------------------------------------------------------------------------
// Value data
// ---------------------------------------------------------------------------

QByteArray encodeInt32(int32_t value) {
    QByteArray bytes(4, Qt::Uninitialized);
    qToLittleEndian<int32_t>(value, bytes.data());
    return bytes;
}

QByteArray encodeDouble(double value) {
    QByteArray bytes(8, Qt::Uninitialized);
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian<uint64_t>(bits, bytes.data());
    return bytes;
}

QByteArray encodeUtf16(const QString& text) {
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) qToLittleEndian<uint16_t>(text.at(i).unicode(), bytes.data() + 2 * i);
    return bytes;
}

QString decodeUtf16(const char* data, qsizetype units) {
    QString text(units, Qt::Uninitialized);
    for (qsizetype i = 0; i < units; ++i) text[i] = QChar(qFromLittleEndian<uint16_t>(data + 2 * i));
    return text;
}

// Callers pass data whose length was checked; the guards keep a slip from
// reading past the end.
int32_t decodeInt32(const QByteArray& bytes) {
    if (bytes.size() < 4) return 0;
    return qFromLittleEndian<int32_t>(bytes.constData());
}

double decodeDouble(const QByteArray& bytes) {
    if (bytes.size() < 8) return 0;
    const uint64_t bits = qFromLittleEndian<uint64_t>(bytes.constData());
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool isKnownType(uint8_t type) {
    return type >= static_cast<uint8_t>(RegistryValueType::Integer) &&
           type <= static_cast<uint8_t>(RegistryValueType::DateTime);
}

// A read of `wanted` accepts a stored value of the same family: Boolean is an
// integer, a date-time is a float.
bool readsAs(RegistryValueType stored, RegistryValueType wanted) {
    auto family = [](RegistryValueType t) {
        switch (t) {
        case RegistryValueType::Boolean:
            return RegistryValueType::Integer;
        case RegistryValueType::DateTime:
            return RegistryValueType::Float;
        default:
            return t;
        }
    };
    return family(stored) == family(wanted);
}

// Data lengths each type must have in a hive file; -1 for free lengths.
qsizetype requiredDataLength(RegistryValueType type) {
    switch (type) {
    case RegistryValueType::Integer:
    case RegistryValueType::Boolean:
        return 4;
    case RegistryValueType::Float:
    case RegistryValueType::DateTime:
        return 8;
    default:
        return -1;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// The hive
// ---------------------------------------------------------------------------

struct HiveValue {
    QString name;
    RegistryValueType type = RegistryValueType::None;
    QByteArray data;
};

struct HiveKey {
    QString path;  // spelled as first created
    std::vector<HiveValue> values;
    QHash<QString, std::size_t> index;  // folded name -> position in values

    HiveValue* find(const QString& name) {
        const auto it = index.constFind(fold(name));
        return it == index.constEnd() ? nullptr : &values[*it];
    }

    void set(const QString& name, RegistryValueType type, const QByteArray& data) {
        if (HiveValue* existing = find(name)) {
            existing->type = type;
            existing->data = data;
            return;
        }
        index.insert(fold(name), values.size());
        values.push_back(HiveValue{name, type, data});
    }

    bool remove(const QString& name) {
        const auto it = index.constFind(fold(name));
        if (it == index.constEnd()) return false;
        values.erase(values.begin() + static_cast<std::ptrdiff_t>(*it));
        index.clear();
        for (std::size_t i = 0; i < values.size(); ++i) index.insert(fold(values[i].name), i);
        return true;
    }
};

class RegistryHive {
public:
    explicit RegistryHive(QString file) : file_(std::move(file)) { resetToEmpty(); }

    // Reads the file; a report about damage is appended to reports.
    void load(QStringList& reports);
    // Writes the whole hive; the caller holds mutex.
    bool saveLocked(QString* error);

    HiveKey* findKey(const QString& folded) {
        const auto it = keys_.find(folded);
        return it == keys_.end() ? nullptr : &it->second;
    }
    // Creates the key and every missing key above it; *createdUnits (when
    // given) grows by the path lengths of the keys it created.
    HiveKey& createKey(const KeyPath& path, qsizetype* createdUnits = nullptr);
    void deleteKeyTree(const QString& folded);
    // False, nothing copied, when a copy would lie deeper than any key may.
    bool copyKeyTree(const KeyPath& from, const KeyPath& to);
    QStringList directSubkeyNames(const QString& folded) const;
    bool hasSubkeys(const QString& folded) const;

    std::mutex mutex;
    bool dirty = false;

private:
    void resetToEmpty();
    QByteArray serialise() const;
    // Empty when the payload is sound, else the reason it is not.
    QString parse(const QByteArray& file);
    void setAside(const QString& reason, QStringList& reports);

    QString file_;
    std::map<QString, HiveKey> keys_;  // by folded path; "" is the root
    QString saveBlockedBecause_;
};

void RegistryHive::resetToEmpty() {
    keys_.clear();
    keys_[QString()] = HiveKey{};
}

HiveKey& RegistryHive::createKey(const KeyPath& path, qsizetype* createdUnits) {
    QString spelled;
    QString folded;
    HiveKey* key = &keys_[QString()];
    for (const QString& segment : path.segments) {
        if (!spelled.isEmpty()) {
            spelled += QLatin1Char('\\');
            folded += QLatin1Char('\\');
        }
        folded += fold(segment);
        auto it = keys_.find(folded);
        if (it == keys_.end()) {
            it = keys_.emplace(folded, HiveKey{}).first;
            it->second.path = spelled + segment;
            if (createdUnits) *createdUnits += it->second.path.size();
        }
        spelled = it->second.path;
        key = &it->second;
    }
    return *key;
}

void RegistryHive::deleteKeyTree(const QString& folded) {
    for (auto it = keys_.begin(); it != keys_.end();) {
        if (it->first == folded || isBelow(it->first, folded)) {
            it = keys_.erase(it);
        } else {
            ++it;
        }
    }
}

bool RegistryHive::copyKeyTree(const KeyPath& from, const KeyPath& to) {
    // Collect first: creating keys while walking the map would disturb the walk.
    std::vector<std::pair<QStringList, HiveKey>> sources;
    for (const auto& [folded, key] : keys_) {
        if (folded != from.folded && !isBelow(folded, from.folded)) continue;
        const QStringList below = key.path.split(QLatin1Char('\\')).mid(from.segments.size());
        if (to.segments.size() + below.size() > kMaxKeyDepth) return false;
        sources.emplace_back(below, key);
    }
    for (const auto& [below, source] : sources) {
        KeyPath target = to;
        target.segments += below;  // createKey works from the segments alone
        HiveKey& copy = createKey(target);
        for (const HiveValue& value : source.values) copy.set(value.name, value.type, value.data);
    }
    return true;
}

QStringList RegistryHive::directSubkeyNames(const QString& folded) const {
    QStringList names;
    for (const auto& [keyFolded, key] : keys_) {
        if (isDirectlyBelow(keyFolded, folded)) names.append(lastSegment(key.path));
    }
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
}

bool RegistryHive::hasSubkeys(const QString& folded) const {
    return std::any_of(keys_.begin(), keys_.end(), [&](const auto& entry) { return isBelow(entry.first, folded); });
}

// Layout after the header, all little-endian:
//   u32 key count; per key: u32 path length in UTF-16 units, the path,
//   u32 value count; per value: u32 name length, the name, u8 type,
//   u32 data length, the data.
QByteArray RegistryHive::serialise() const {
    QByteArray payload;
    auto putU32 = [&payload](uint32_t v) {
        char bytes[4];
        qToLittleEndian<uint32_t>(v, bytes);
        payload.append(bytes, 4);
    };
    auto putText = [&](const QString& text) {
        putU32(static_cast<uint32_t>(text.size()));
        payload.append(encodeUtf16(text));
    };
    putU32(static_cast<uint32_t>(keys_.size()));
    for (const auto& [folded, key] : keys_) {
        putText(key.path);
        putU32(static_cast<uint32_t>(key.values.size()));
        for (const HiveValue& value : key.values) {
            putText(value.name);
            payload.append(static_cast<char>(value.type));
            putU32(static_cast<uint32_t>(value.data.size()));
            payload.append(value.data);
        }
    }

    HiveFileHeader header{};
    std::memcpy(header.magic, kHiveMagic, sizeof header.magic);
    qToLittleEndian<uint32_t>(kHiveFormatVersion, &header.version);
    qToLittleEndian<uint32_t>(static_cast<uint32_t>(payload.size()), &header.payloadSize);
    const QByteArray digest = QCryptographicHash::hash(payload, QCryptographicHash::Sha256);
    std::memcpy(header.sha256, digest.constData(), sizeof header.sha256);

    QByteArray file(reinterpret_cast<const char*>(&header), sizeof header);
    file.append(payload);
    return file;
}

namespace {

// Reads the payload with every length checked against what is left.
class PayloadReader {
public:
    explicit PayloadReader(const QByteArray& data) : data_(data) {}

    qsizetype left() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ == data_.size(); }

    std::optional<uint32_t> u32() {
        if (left() < 4) return std::nullopt;
        const uint32_t v = qFromLittleEndian<uint32_t>(data_.constData() + pos_);
        pos_ += 4;
        return v;
    }
    std::optional<uint8_t> u8() {
        if (left() < 1) return std::nullopt;
        return static_cast<uint8_t>(data_.at(pos_++));
    }
    std::optional<QString> text() {
        const auto units = u32();
        if (!units || *units > static_cast<uint64_t>(left()) / 2) return std::nullopt;
        QString t = decodeUtf16(data_.constData() + pos_, *units);
        pos_ += static_cast<qsizetype>(*units) * 2;
        return t;
    }
    std::optional<QByteArray> bytes() {
        const auto size = u32();
        if (!size || *size > static_cast<uint64_t>(left())) return std::nullopt;
        QByteArray b = data_.mid(pos_, *size);
        pos_ += *size;
        return b;
    }

private:
    const QByteArray& data_;
    qsizetype pos_ = 0;
};

constexpr qsizetype kSmallestKeyRecord = 8;     // empty path, no values
constexpr qsizetype kSmallestValueRecord = 9;   // empty name, type, empty data

}  // namespace

QString RegistryHive::parse(const QByteArray& file) {
    if (file.size() < static_cast<qsizetype>(sizeof(HiveFileHeader))) return QStringLiteral("the file is too short");
    HiveFileHeader header{};
    std::memcpy(&header, file.constData(), sizeof header);
    if (std::memcmp(header.magic, kHiveMagic, sizeof header.magic) != 0)
        return QStringLiteral("it is not a settings store");
    const uint32_t version = qFromLittleEndian<uint32_t>(&header.version);
    if (version != kHiveFormatVersion) return QStringLiteral("unknown format version %1").arg(version);
    const uint32_t payloadSize = qFromLittleEndian<uint32_t>(&header.payloadSize);
    const qsizetype available = file.size() - static_cast<qsizetype>(sizeof header);
    if (payloadSize > static_cast<uint64_t>(available)) return QStringLiteral("the file is truncated");
    if (payloadSize < static_cast<uint64_t>(available)) return QStringLiteral("the file has data after its end");
    const QByteArray payload = file.mid(sizeof header);
    const QByteArray digest = QCryptographicHash::hash(payload, QCryptographicHash::Sha256);
    if (std::memcmp(digest.constData(), header.sha256, sizeof header.sha256) != 0)
        return QStringLiteral("its checksum does not match");

    // The checksum only proves the bytes are what a writer wrote; the
    // structure is still checked as if it came from anywhere.
    std::map<QString, HiveKey> parsed;
    PayloadReader in(payload);
    const auto keyCount = in.u32();
    if (!keyCount || *keyCount > static_cast<uint64_t>(in.left()) / kSmallestKeyRecord)
        return QStringLiteral("its key count is out of range");
    for (uint32_t k = 0; k < *keyCount; ++k) {
        const auto path = in.text();
        if (!path) return QStringLiteral("a key path runs past the end");
        QString pathError;
        const auto keyPath = parseKeyPath(*path, &pathError);
        if (!keyPath || keyPath->segments.join(QLatin1Char('\\')) != *path)
            return QStringLiteral("it holds an invalid key path");
        if (parsed.count(keyPath->folded)) return QStringLiteral("a key appears twice");
        HiveKey& key = parsed[keyPath->folded];
        key.path = *path;
        const auto valueCount = in.u32();
        if (!valueCount || *valueCount > static_cast<uint64_t>(in.left()) / kSmallestValueRecord)
            return QStringLiteral("a value count is out of range");
        for (uint32_t v = 0; v < *valueCount; ++v) {
            const auto name = in.text();
            const auto type = name ? in.u8() : std::nullopt;
            const auto data = type ? in.bytes() : std::nullopt;
            if (!data) return QStringLiteral("a value runs past the end");
            if (name->size() > kMaxValueNameLength || !isKnownType(*type))
                return QStringLiteral("it holds an invalid value");
            const auto valueType = static_cast<RegistryValueType>(*type);
            const qsizetype required = requiredDataLength(valueType);
            if (required >= 0 && data->size() != required) return QStringLiteral("a value has a wrong length");
            if (valueType == RegistryValueType::String && data->size() % 2 != 0)
                return QStringLiteral("a text value has an odd length");
            if (valueType == RegistryValueType::Boolean && decodeInt32(*data) != 0 && decodeInt32(*data) != 1)
                return QStringLiteral("a Boolean value is neither 0 nor 1");
            if (key.find(*name)) return QStringLiteral("a value appears twice in one key");
            key.set(*name, valueType, *data);
        }
    }
    if (!in.atEnd()) return QStringLiteral("its structure does not fill the file");

    // Keys above a stored key exist even when the file lists only the deeper
    // one. Every key holds its whole path, so what the missing ones add is
    // bounded by what the file holds: the load stays linear in its size.
    resetToEmpty();
    for (auto& [folded, key] : parsed) keys_[folded] = std::move(key);
    qsizetype impliedUnits = 0;
    for (const auto& [folded, unused] : parsed) {
        QString pathError;
        createKey(*parseKeyPath(keys_[folded].path, &pathError), &impliedUnits);
        if (impliedUnits > payload.size()) return QStringLiteral("its keys imply more keys than it holds");
    }
    return {};
}

void RegistryHive::setAside(const QString& reason, QStringList& reports) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString asidePath = file_ + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(asidePath); ++n)
        asidePath = file_ + QStringLiteral(".damaged-") + stamp + QLatin1Char('-') + QString::number(n);
    if (::rename(QFile::encodeName(file_).constData(), QFile::encodeName(asidePath).constData()) == 0) {
        reports.append(QStringLiteral("The settings store \"%1\" was damaged (%2). It was set aside as \"%3\"; "
                                      "the settings start empty.")
                           .arg(file_, reason, asidePath));
        return;
    }
    const QString why = systemError(errno);
    saveBlockedBecause_ = QStringLiteral("The settings store \"%1\" is damaged and was left as it is.").arg(file_);
    reports.append(QStringLiteral("The settings store \"%1\" is damaged (%2) and could not be set aside (%3). "
                                  "It was left as it is; changed settings will not be saved.")
                       .arg(file_, reason, why));
}

void RegistryHive::load(QStringList& reports) {
    resetToEmpty();
    // A save cut short by a crash leaves its temporary file; the hive itself is whole.
    RemoveLeftoverTemporaryFiles(file_);
    const QFileInfo info(file_);
    if (!info.exists() && !info.isSymLink()) return;
    QFile in(file_);
    if (info.isDir() || !in.open(QIODevice::ReadOnly)) {
        const QString why = info.isDir() ? QStringLiteral("it is a folder") : in.errorString();
        saveBlockedBecause_ = QStringLiteral("The settings store \"%1\" cannot be read (%2).").arg(file_, why);
        reports.append(saveBlockedBecause_ + QStringLiteral(" Changed settings will not be saved."));
        return;
    }
    if (in.size() > kMaxHiveFileSize) {
        in.close();
        setAside(QStringLiteral("the file is too large"), reports);
        return;
    }
    const QByteArray content = in.readAll();
    const QString problem = parse(content);
    if (problem.isEmpty()) return;
    resetToEmpty();
    in.close();
    setAside(problem, reports);
}

bool RegistryHive::saveLocked(QString* error) {
    if (!saveBlockedBecause_.isEmpty()) {
        *error = saveBlockedBecause_;
        return false;
    }
    const QString folder = QFileInfo(file_).absolutePath();
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkpath(folder)) {
            *error = QStringLiteral("Cannot create the folder \"%1\".").arg(folder);
            return false;
        }
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    const QByteArray content = serialise();
    if (content.size() > kMaxHiveFileSize) {
        *error = QStringLiteral("The settings would take more than %1 MiB, more than a settings store may hold.")
                     .arg(kMaxHiveFileSize / (1024 * 1024));
        return false;
    }
    AtomicFile out;
    out.setFileMode(kHiveFileMode);
    if (!out.open(file_) || !out.write(content) || !out.commit()) {
        *error = out.errorString();
        return false;
    }
    dirty = false;
    return true;
}

// ---------------------------------------------------------------------------
// The loaded hives, shared by every key object of the process
// ---------------------------------------------------------------------------

namespace {

struct HiveDirectory {
    std::mutex lock;
    QString userFile;
    QString machineFile;
    std::map<QString, std::shared_ptr<RegistryHive>> hives;  // by absolute file path
    QStringList damageReports;
};

HiveDirectory& hiveDirectory() {
    static HiveDirectory instance;
    return instance;
}

QString standardUserHiveFile() {
    return KnownFolderPath(KnownFolder::UserConfig) + QStringLiteral("/veltaro/user.hive");
}

QString standardMachineHiveFile() {
    const QString configured = qEnvironmentVariable("VELTARO_MACHINE_HIVE");
    return configured.isEmpty() ? QStringLiteral("/etc/xdg/veltaro/machine.hive") : configured;
}

std::shared_ptr<RegistryHive> hiveFor(const QString& file) {
    HiveDirectory& dir = hiveDirectory();
    const QString key = QDir::cleanPath(QFileInfo(file).absoluteFilePath());
    const std::lock_guard guard(dir.lock);
    auto& slot = dir.hives[key];
    if (!slot) {
        slot = std::make_shared<RegistryHive>(key);
        slot->load(dir.damageReports);
    }
    return slot;
}

}  // namespace

// ---------------------------------------------------------------------------
// Key objects
// ---------------------------------------------------------------------------

Registry::Registry(RootKey root)
    : hive_(hiveFor(root == RootKey::CurrentUser ? UserHiveFile() : MachineHiveFile())),
      hiveWritable_(root == RootKey::CurrentUser) {}

Registry::Registry(const QString& hiveFile) : hive_(hiveFor(hiveFile)), hiveWritable_(true) {}

Registry::~Registry() { CloseKey(); }

bool Registry::failWith(const QString& text) const {
    lastError_ = text;
    return false;
}

bool Registry::openKey(const QString& path, bool canCreate, bool writable) {
    CloseKey();
    if (writable && !hiveWritable_)
        return failWith(QStringLiteral("Access denied: the key \"%1\" can only be read.").arg(path));
    QString error;
    const auto keyPath = parseKeyPath(path, &error);
    if (!keyPath) return failWith(error);

    const std::lock_guard guard(hive_->mutex);
    HiveKey* key = hive_->findKey(keyPath->folded);
    if (!key && canCreate) {
        if (!path.isValidUtf16())
            return failWith(QStringLiteral("The key \"%1\" holds an incomplete character.").arg(path));
        key = &hive_->createKey(*keyPath);
        hive_->dirty = true;
        changed_ = true;
    }
    if (!key) return failWith(QStringLiteral("The key \"%1\" does not exist.").arg(path));
    keyOpen_ = true;
    keyWritable_ = writable;
    currentPath_ = key->path;
    currentKey_ = keyPath->folded;
    return true;
}

bool Registry::OpenKey(const QString& path, bool canCreate) { return openKey(path, canCreate, true); }

bool Registry::OpenKeyReadOnly(const QString& path) { return openKey(path, false, false); }

bool Registry::CloseKey() {
    keyOpen_ = false;
    keyWritable_ = false;
    currentPath_.clear();
    currentKey_.clear();
    if (!changed_) return true;
    const std::lock_guard guard(hive_->mutex);
    if (hive_->dirty) {
        QString error;
        if (!hive_->saveLocked(&error)) return failWith(error);
    }
    changed_ = false;
    return true;
}

bool Registry::KeyExists(const QString& path) const {
    QString error;
    const auto keyPath = parseKeyPath(path, &error);
    if (!keyPath) return false;
    const std::lock_guard guard(hive_->mutex);
    return hive_->findKey(keyPath->folded) != nullptr;
}

bool Registry::DeleteKey(const QString& path) {
    if (!hiveWritable_) return failWith(QStringLiteral("Access denied: the key \"%1\" can only be read.").arg(path));
    QString error;
    const auto keyPath = parseKeyPath(path, &error);
    if (!keyPath) return failWith(error);
    if (keyPath->segments.isEmpty()) return failWith(QStringLiteral("The root key cannot be deleted."));
    const std::lock_guard guard(hive_->mutex);
    if (!hive_->findKey(keyPath->folded)) return failWith(QStringLiteral("The key \"%1\" does not exist.").arg(path));
    hive_->deleteKeyTree(keyPath->folded);
    hive_->dirty = true;
    if (!hive_->saveLocked(&error)) {
        changed_ = true;  // the next close tries again
        return failWith(error);
    }
    return true;
}

bool Registry::CopyKey(const QString& from, const QString& to) {
    if (!hiveWritable_) return failWith(QStringLiteral("Access denied: the key \"%1\" can only be read.").arg(to));
    QString error;
    const auto fromPath = parseKeyPath(from, &error);
    if (!fromPath) return failWith(error);
    const auto toPath = parseKeyPath(to, &error);
    if (!toPath) return failWith(error);
    if (toPath->folded == fromPath->folded || isBelow(toPath->folded, fromPath->folded))
        return failWith(QStringLiteral("The key \"%1\" cannot be copied into itself.").arg(from));
    if (!to.isValidUtf16())
        return failWith(QStringLiteral("The key \"%1\" holds an incomplete character.").arg(to));
    const std::lock_guard guard(hive_->mutex);
    if (!hive_->findKey(fromPath->folded)) return failWith(QStringLiteral("The key \"%1\" does not exist.").arg(from));
    if (!hive_->copyKeyTree(*fromPath, *toPath))
        return failWith(QStringLiteral("A copy of \"%1\" at \"%2\" would be deeper than %3 keys.")
                            .arg(from, to)
                            .arg(kMaxKeyDepth));
    hive_->dirty = true;
    if (!hive_->saveLocked(&error)) {
        changed_ = true;  // the next close tries again
        return failWith(error);
    }
    return true;
}

bool Registry::ValueExists(const QString& name) const { return GetDataType(name) != RegistryValueType::None; }

RegistryValueType Registry::GetDataType(const QString& name) const {
    if (!keyOpen_) return RegistryValueType::None;
    const std::lock_guard guard(hive_->mutex);
    HiveKey* key = hive_->findKey(currentKey_);
    const HiveValue* value = key ? key->find(name) : nullptr;
    return value ? value->type : RegistryValueType::None;
}

QStringList Registry::GetValueNames() const {
    QStringList names;
    if (!keyOpen_) return names;
    const std::lock_guard guard(hive_->mutex);
    if (const HiveKey* key = hive_->findKey(currentKey_)) {
        for (const HiveValue& value : key->values) names.append(value.name);
    }
    return names;
}

QStringList Registry::GetKeyNames() const {
    if (!keyOpen_) return {};
    const std::lock_guard guard(hive_->mutex);
    if (!hive_->findKey(currentKey_)) return {};
    return hive_->directSubkeyNames(currentKey_);
}

bool Registry::HasSubKeys() const {
    if (!keyOpen_) return false;
    const std::lock_guard guard(hive_->mutex);
    return hive_->findKey(currentKey_) && hive_->hasSubkeys(currentKey_);
}

std::optional<QByteArray> Registry::read(const QString& name, RegistryValueType wanted) const {
    if (!keyOpen_) return std::nullopt;
    const std::lock_guard guard(hive_->mutex);
    HiveKey* key = hive_->findKey(currentKey_);
    const HiveValue* value = key ? key->find(name) : nullptr;
    if (!value || !readsAs(value->type, wanted)) return std::nullopt;
    return value->data;
}

std::optional<int32_t> Registry::ReadInteger(const QString& name) const {
    const auto data = read(name, RegistryValueType::Integer);
    if (!data) return std::nullopt;
    return decodeInt32(*data);
}

std::optional<QString> Registry::ReadString(const QString& name) const {
    const auto data = read(name, RegistryValueType::String);
    if (!data) return std::nullopt;
    return decodeUtf16(data->constData(), data->size() / 2);
}

std::optional<double> Registry::ReadFloat(const QString& name) const {
    const auto data = read(name, RegistryValueType::Float);
    if (!data) return std::nullopt;
    return decodeDouble(*data);
}

std::optional<bool> Registry::ReadBool(const QString& name) const {
    const auto data = read(name, RegistryValueType::Boolean);
    if (!data) return std::nullopt;
    return decodeInt32(*data) != 0;
}

std::optional<double> Registry::ReadDateTime(const QString& name) const { return ReadFloat(name); }

std::optional<QByteArray> Registry::ReadBinaryData(const QString& name) const {
    return read(name, RegistryValueType::Binary);
}

bool Registry::write(const QString& name, RegistryValueType type, const QByteArray& data) {
    if (!keyOpen_ || !keyWritable_) return failWith(QStringLiteral("No key is open for writing."));
    if (name.size() > kMaxValueNameLength)
        return failWith(QStringLiteral("The value name \"%1...\" is too long.").arg(name.left(40)));
    if (!name.isValidUtf16())
        return failWith(QStringLiteral("The value name \"%1\" holds an incomplete character.").arg(name));
    const std::lock_guard guard(hive_->mutex);
    HiveKey* key = hive_->findKey(currentKey_);
    if (!key) return failWith(QStringLiteral("The key \"%1\" has been deleted.").arg(currentPath_));
    key->set(name, type, data);
    hive_->dirty = true;
    changed_ = true;
    return true;
}

bool Registry::WriteInteger(const QString& name, int32_t value) {
    return write(name, RegistryValueType::Integer, encodeInt32(value));
}

bool Registry::WriteString(const QString& name, const QString& value) {
    return write(name, RegistryValueType::String, encodeUtf16(value));
}

bool Registry::WriteFloat(const QString& name, double value) {
    return write(name, RegistryValueType::Float, encodeDouble(value));
}

bool Registry::WriteBool(const QString& name, bool value) {
    return write(name, RegistryValueType::Boolean, encodeInt32(value ? 1 : 0));
}

bool Registry::WriteDateTime(const QString& name, double value) {
    return write(name, RegistryValueType::DateTime, encodeDouble(value));
}

bool Registry::WriteBinaryData(const QString& name, const QByteArray& value) {
    return write(name, RegistryValueType::Binary, value);
}

bool Registry::DeleteValue(const QString& name) {
    if (!keyOpen_ || !keyWritable_) return failWith(QStringLiteral("No key is open for writing."));
    const std::lock_guard guard(hive_->mutex);
    HiveKey* key = hive_->findKey(currentKey_);
    if (!key) return failWith(QStringLiteral("The key \"%1\" has been deleted.").arg(currentPath_));
    if (!key->remove(name)) return failWith(QStringLiteral("The value \"%1\" does not exist.").arg(name));
    hive_->dirty = true;
    changed_ = true;
    return true;
}

// ---------------------------------------------------------------------------
// Hive set-up
// ---------------------------------------------------------------------------

void Registry::SetHiveFiles(const QString& userFile, const QString& machineFile) {
    HiveDirectory& dir = hiveDirectory();
    const std::lock_guard guard(dir.lock);
    dir.userFile = userFile;
    dir.machineFile = machineFile;
    dir.hives.clear();
}

QString Registry::UserHiveFile() {
    HiveDirectory& dir = hiveDirectory();
    const std::lock_guard guard(dir.lock);
    return dir.userFile.isEmpty() ? standardUserHiveFile() : dir.userFile;
}

QString Registry::MachineHiveFile() {
    HiveDirectory& dir = hiveDirectory();
    const std::lock_guard guard(dir.lock);
    return dir.machineFile.isEmpty() ? standardMachineHiveFile() : dir.machineFile;
}

bool Registry::FlushAll() {
    HiveDirectory& dir = hiveDirectory();
    const std::lock_guard guard(dir.lock);
    bool allSaved = true;
    for (auto& [file, hive] : dir.hives) {
        const std::lock_guard hiveGuard(hive->mutex);
        QString error;
        if (hive->dirty && !hive->saveLocked(&error)) allSaved = false;
    }
    return allSaved;
}

QString Registry::TakeDamageReport() {
    HiveDirectory& dir = hiveDirectory();
    const std::lock_guard guard(dir.lock);
    const QString report = dir.damageReports.join(QLatin1Char('\n'));
    dir.damageReports.clear();
    return report;
}

}  // namespace platform
