#pragma once
// A small typed key/value store that plays the part of the Windows registry.
//
// Two hives:
//  - the user hive (RootKey::CurrentUser) holds keys such as
//    "Software\Brask Soft\Veltaro2026". It is one file, <UserConfig>/veltaro/
//    user.hive (see known_folders.h), readable by its owner only (0600).
//  - the machine hive (RootKey::LocalMachine) serves keys such as
//    "software\asio". It is read-only to the program: opening one of its keys
//    for writing fails. Its file is $VELTARO_MACHINE_HIVE when set, else
//    /etc/xdg/veltaro/machine.hive. A set-up tool or a test fills it through
//    a key object made on the file itself: Registry(path).
// Tests point both hives at temporary files with Registry::SetHiveFiles.
//
// Key paths and value names are compared without regard to case; listings
// show the spelling of the first write. Paths are separated by backslashes
// and always start at the hive's root (a leading backslash is allowed). A
// path has at most 64 keys of at most 255 characters; no key or value name
// with a surrogate code unit that lacks its partner is created.
//
// A hive file holds at most 16 MiB: a save that would write more fails, and
// a larger file is damaged.
//
// Writes are kept in memory and reach the disk when the key object that made
// them is closed (CloseKey or destruction): the whole hive is written through
// the atomic file writer, so a settings save of hundreds of values costs one
// sync, a crash marker written and closed is on disk before the next step,
// and a process killed during a save leaves the old or the new hive.
// Values written without a close before the process ends are lost.
//
// Value types and how they read back:
//  - Integer (signed 32-bit), String, Binary: read only as their own type.
//  - Boolean is a 32-bit 0 or 1 marked as Boolean. As on Windows, where a
//    Boolean is an integer, ReadInteger of a Boolean gives 0 or 1 and
//    ReadBool of an Integer gives "not 0"; GetDataType still tells them apart.
//  - Float and DateTime are both 64-bit floats (a date-time counts days since
//    1899-12-30) and read as each other, as both were 8-byte binary values.
// Any other mismatch reads as a missing value (std::nullopt). A key that does
// not exist is told by OpenKey/OpenKeyReadOnly failing; a value that does not
// exist is told by nullopt from the read.
//
// A damaged hive file (wrong magic or version, bad checksum, truncated, a
// length or count that leaves the file, larger than 16 MiB, a key path deeper
// than 64 keys, keys above the listed ones whose paths would take more than
// the file itself) is renamed to
// "<file>.damaged-<yyyyMMdd-HHmmss>" and reported through TakeDamageReport();
// the hive then starts empty. A hive file that cannot be read or set aside is
// never overwritten: the hive works in memory and every save fails.
//
// Threads: the hives are shared by all key objects and guarded by one mutex
// per hive. A key object itself belongs to one thread at a time.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

namespace platform {

enum class RootKey { CurrentUser, LocalMachine };

enum class RegistryValueType : uint8_t {
    None = 0,  // no such value
    Integer = 1,
    String = 2,
    Float = 3,
    Boolean = 4,
    Binary = 5,
    DateTime = 6,
};

class RegistryHive;

class Registry {
public:
    explicit Registry(RootKey root = RootKey::CurrentUser);
    // Full, writable access to the hive stored in hiveFile, whatever its role.
    explicit Registry(const QString& hiveFile);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // Opens the key; with canCreate, creates it and the keys above it when
    // missing. Opening the machine hive this way fails: it is read-only.
    // Closes the key that was open before.
    bool OpenKey(const QString& path, bool canCreate);
    bool OpenKeyReadOnly(const QString& path);
    // Saves the hive when this object changed it. False when that save
    // failed (LastError() says why); the changes stay in memory and the next
    // close tries again.
    bool CloseKey();
    bool HasCurrentKey() const { return keyOpen_; }
    QString CurrentPath() const { return currentPath_; }

    bool KeyExists(const QString& path) const;
    // Deletes the key with everything below it and saves the hive at once.
    bool DeleteKey(const QString& path);
    // Copies the key from with all its values and every key below it to the
    // key to (created when missing; values there of the same name are
    // replaced) and saves the hive at once. from stays as it is. Fails when
    // from does not exist or to lies inside from.
    bool CopyKey(const QString& from, const QString& to);

    // These work on the open key.
    bool ValueExists(const QString& name) const;
    RegistryValueType GetDataType(const QString& name) const;
    QStringList GetValueNames() const;  // in the order of first writing
    QStringList GetKeyNames() const;    // direct subkeys, sorted without regard to case
    bool HasSubKeys() const;

    std::optional<int32_t> ReadInteger(const QString& name) const;
    std::optional<QString> ReadString(const QString& name) const;
    std::optional<double> ReadFloat(const QString& name) const;
    std::optional<bool> ReadBool(const QString& name) const;
    std::optional<double> ReadDateTime(const QString& name) const;
    std::optional<QByteArray> ReadBinaryData(const QString& name) const;

    // False when no key is open for writing or the key was deleted meanwhile.
    bool WriteInteger(const QString& name, int32_t value);
    bool WriteString(const QString& name, const QString& value);
    bool WriteFloat(const QString& name, double value);
    bool WriteBool(const QString& name, bool value);
    bool WriteDateTime(const QString& name, double value);
    bool WriteBinaryData(const QString& name, const QByteArray& value);
    bool DeleteValue(const QString& name);

    // Why the last failing call failed.
    QString LastError() const { return lastError_; }

    // Points the hives at other files (tests); an empty text restores the
    // standard location. Forgets every loaded hive, so the next key object
    // reads the files afresh. Key objects still open keep working on the hive
    // they opened.
    static void SetHiveFiles(const QString& userFile, const QString& machineFile);
    static QString UserHiveFile();
    static QString MachineHiveFile();
    // Saves every loaded hive with unsaved changes. False when one failed.
    static bool FlushAll();
    // The reports about damaged hive files collected so far, one per line;
    // empties the collection.
    static QString TakeDamageReport();

private:
    bool openKey(const QString& path, bool canCreate, bool writable);
    bool write(const QString& name, RegistryValueType type, const QByteArray& data);
    std::optional<QByteArray> read(const QString& name, RegistryValueType wanted) const;
    bool failWith(const QString& text) const;

    std::shared_ptr<RegistryHive> hive_;
    bool hiveWritable_ = false;
    bool keyOpen_ = false;
    bool keyWritable_ = false;
    bool changed_ = false;
    QString currentPath_;  // as the caller spelled it
    QString currentKey_;   // the folded form used for look-ups
    mutable QString lastError_;
};

}  // namespace platform
