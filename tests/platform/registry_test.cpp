#include "platform/registry.h"

#include "platform/known_folders.h"
#include "support/hive_file.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using platform::Registry;
using platform::RegistryValueType;
using platform::RootKey;

const QString kSettingsKey = QStringLiteral("Software\\Brask Soft\\Veltaro2026");

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

void writePlain(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(data), data.size());
}

QStringList damagedCopiesIn(const QString& folder) {
    return QDir(folder).entryList({"*.damaged-*"}, QDir::Files | QDir::Hidden);
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        userFile = dir.filePath("user.hive");
        machineFile = dir.filePath("machine.hive");
        Registry::SetHiveFiles(userFile, machineFile);
        Registry::TakeDamageReport();
    }
    void TearDown() override {
        Registry::SetHiveFiles(QString(), QString());
        Registry::TakeDamageReport();
        platform::ClearKnownFolderOverrides();
    }
    // Forgets the loaded hives so the next key object reads the files.
    void reloadFromDisk() { Registry::SetHiveFiles(userFile, machineFile); }

    QTemporaryDir dir;
    QString userFile;
    QString machineFile;
};

TEST_F(RegistryTest, NamesAreComparedWithoutRegardToCaseAndKeepTheFirstSpelling) {
    {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true)) << reg.LastError().toStdString();
        ASSERT_TRUE(reg.WriteInteger("LastPresetId", 7));
        ASSERT_TRUE(reg.WriteInteger("LASTPRESETID", 8));
        ASSERT_TRUE(reg.WriteString("wasIn", "endpoint"));
        ASSERT_TRUE(reg.CloseKey());
    }
    Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\brask soft\\VELTARO2026\\"));
    EXPECT_EQ(reg.CurrentPath(), kSettingsKey);
    EXPECT_EQ(reg.ReadInteger("lastpresetid"), 8);
    EXPECT_EQ(reg.ReadString("WASIN"), "endpoint");
    EXPECT_EQ(reg.GetValueNames(), (QStringList{"LastPresetId", "wasIn"}));
    ASSERT_TRUE(reg.OpenKeyReadOnly("software"));
    EXPECT_EQ(reg.GetKeyNames(), QStringList{"Brask Soft"});
}

TEST_F(RegistryTest, EachTypeReadsBackAndOtherTypesReadAsMissing) {
    Registry reg;
    ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
    ASSERT_TRUE(reg.WriteInteger("int", -123456));
    ASSERT_TRUE(reg.WriteString("str", QString::fromUtf8("Lärm € \xF0\x9F\x94\x8A")));
    ASSERT_TRUE(reg.WriteFloat("flt", 94.25));
    ASSERT_TRUE(reg.WriteBool("boolTrue", true));
    ASSERT_TRUE(reg.WriteBool("boolFalse", false));
    ASSERT_TRUE(reg.WriteInteger("intOne", 1));
    ASSERT_TRUE(reg.WriteBinaryData("bin", QByteArray("\x00\x01\xff", 3)));
    ASSERT_TRUE(reg.WriteDateTime("when", 46000.5));

    EXPECT_EQ(reg.ReadInteger("int"), -123456);
    EXPECT_EQ(reg.ReadString("str"), QString::fromUtf8("Lärm € \xF0\x9F\x94\x8A"));
    EXPECT_EQ(reg.ReadFloat("flt"), 94.25);
    EXPECT_EQ(reg.ReadBool("boolTrue"), true);
    EXPECT_EQ(reg.ReadBool("boolFalse"), false);
    EXPECT_EQ(reg.ReadBinaryData("bin"), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(reg.ReadDateTime("when"), 46000.5);
    // Booleans are integers, date-times are floats.
    EXPECT_EQ(reg.ReadInteger("boolTrue"), 1);
    EXPECT_EQ(reg.ReadInteger("boolFalse"), 0);
    EXPECT_EQ(reg.ReadBool("intOne"), true);
    EXPECT_EQ(reg.ReadBool("int"), true);
    EXPECT_EQ(reg.ReadFloat("when"), 46000.5);
    EXPECT_EQ(reg.ReadDateTime("flt"), 94.25);
    EXPECT_EQ(reg.GetDataType("boolTrue"), RegistryValueType::Boolean);
    EXPECT_EQ(reg.GetDataType("intOne"), RegistryValueType::Integer);
    EXPECT_EQ(reg.GetDataType("nothing"), RegistryValueType::None);

    EXPECT_FALSE(reg.ReadInteger("str"));
    EXPECT_FALSE(reg.ReadInteger("flt"));
    EXPECT_FALSE(reg.ReadInteger("bin"));
    EXPECT_FALSE(reg.ReadString("int"));
    EXPECT_FALSE(reg.ReadString("bin"));
    EXPECT_FALSE(reg.ReadFloat("int"));
    EXPECT_FALSE(reg.ReadFloat("bin"));
    EXPECT_FALSE(reg.ReadBool("str"));
    EXPECT_FALSE(reg.ReadBool("flt"));
    EXPECT_FALSE(reg.ReadDateTime("str"));
    EXPECT_FALSE(reg.ReadBinaryData("flt"));
    EXPECT_FALSE(reg.ReadBinaryData("str"));

    // Writing another type replaces the value and its type.
    ASSERT_TRUE(reg.WriteString("int", "now text"));
    EXPECT_FALSE(reg.ReadInteger("int"));
    EXPECT_EQ(reg.ReadString("int"), "now text");
}

TEST_F(RegistryTest, MissingKeyIsToldApartFromMissingValue) {
    Registry reg;
    EXPECT_FALSE(reg.KeyExists(kSettingsKey));
    EXPECT_FALSE(reg.OpenKeyReadOnly(kSettingsKey));
    EXPECT_FALSE(reg.LastError().isEmpty());
    EXPECT_FALSE(reg.OpenKey(kSettingsKey, false));
    EXPECT_FALSE(reg.KeyExists(kSettingsKey));
    EXPECT_FALSE(reg.ReadInteger("Messung"));

    ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
    EXPECT_TRUE(reg.KeyExists("Software\\Brask Soft"));
    EXPECT_TRUE(reg.KeyExists(kSettingsKey));
    EXPECT_FALSE(reg.ValueExists("Messung"));
    EXPECT_FALSE(reg.ReadInteger("Messung"));

    EXPECT_FALSE(reg.OpenKey("Software\\\\Brask Soft", true));
    EXPECT_FALSE(reg.KeyExists("Software\\\\Brask Soft"));
}

TEST_F(RegistryTest, ReadOnlyKeyRefusesChanges) {
    {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        ASSERT_TRUE(reg.WriteInteger("IoMode", 2));
    }
    Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kSettingsKey));
    EXPECT_FALSE(reg.WriteInteger("IoMode", 0));
    EXPECT_FALSE(reg.DeleteValue("IoMode"));
    EXPECT_FALSE(reg.LastError().isEmpty());
    EXPECT_EQ(reg.ReadInteger("IoMode"), 2);
    reg.CloseKey();
    EXPECT_FALSE(reg.WriteInteger("IoMode", 0));
}

TEST_F(RegistryTest, DeletesValuesAndWholeKeyTrees) {
    {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        for (const char* name : {"recVor", "recNach", "recMax"}) ASSERT_TRUE(reg.WriteInteger(name, 1));
        ASSERT_TRUE(reg.DeleteValue("RECNACH"));
        EXPECT_FALSE(reg.DeleteValue("recNach"));
        EXPECT_EQ(reg.GetValueNames(), (QStringList{"recVor", "recMax"}));
        ASSERT_TRUE(reg.OpenKey(kSettingsKey + "\\Sub\\Deeper", true));
        ASSERT_TRUE(reg.WriteString("x", "y"));
        ASSERT_TRUE(reg.OpenKey("Software\\Brask Soft\\Veltaro2023", true));
        ASSERT_TRUE(reg.CloseKey());
    }
    reloadFromDisk();
    Registry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(kSettingsKey));
    EXPECT_EQ(reg.GetValueNames(), (QStringList{"recVor", "recMax"}));
    EXPECT_TRUE(reg.HasSubKeys());
    reg.CloseKey();

    ASSERT_TRUE(reg.DeleteKey("software\\brask soft\\veltaro2026"));
    EXPECT_FALSE(reg.DeleteKey(kSettingsKey));
    EXPECT_FALSE(reg.DeleteKey(""));
    reloadFromDisk();
    Registry fresh;
    EXPECT_FALSE(fresh.KeyExists(kSettingsKey));
    EXPECT_FALSE(fresh.KeyExists(kSettingsKey + "\\Sub\\Deeper"));
    ASSERT_TRUE(fresh.OpenKeyReadOnly("Software\\Brask Soft"));
    EXPECT_EQ(fresh.GetKeyNames(), QStringList{"Veltaro2023"});
}

TEST_F(RegistryTest, CopiesAWholeKeyTreeAndLeavesTheSourceAlone) {
    const QString oldKey = QStringLiteral("Software\\Brask Soft\\Veltaro2023");
    {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(oldKey, true));
        ASSERT_TRUE(reg.WriteInteger("Lang", 2));
        ASSERT_TRUE(reg.WriteFloat("RLZ", 0.5));
        ASSERT_TRUE(reg.OpenKey(oldKey + "\\Midi\\Out", true));
        ASSERT_TRUE(reg.WriteString("Device", "Desk"));
        ASSERT_TRUE(reg.CloseKey());
    }
    Registry reg;
    ASSERT_TRUE(reg.CopyKey("software\\brask soft\\veltaro2023", kSettingsKey));
    EXPECT_FALSE(reg.CopyKey(kSettingsKey, kSettingsKey + "\\Inner"));
    EXPECT_FALSE(reg.CopyKey("Software\\Nobody", kSettingsKey));
    reloadFromDisk();  // the copy is on disk without a close
    Registry fresh;
    ASSERT_TRUE(fresh.OpenKeyReadOnly(kSettingsKey));
    EXPECT_EQ(fresh.ReadInteger("lang"), 2);
    EXPECT_EQ(fresh.ReadFloat("RLZ"), 0.5);
    EXPECT_EQ(fresh.GetKeyNames(), QStringList{"Midi"});
    ASSERT_TRUE(fresh.OpenKeyReadOnly(kSettingsKey + "\\Midi\\Out"));
    EXPECT_EQ(fresh.ReadString("Device"), QString("Desk"));
    ASSERT_TRUE(fresh.OpenKeyReadOnly(oldKey + "\\Midi\\Out"));
    EXPECT_EQ(fresh.ReadString("Device"), QString("Desk"));
}

TEST_F(RegistryTest, WritesReachTheDiskWhenTheKeyIsClosed) {
    Registry reg;
    ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
    const QByteArray binary = QCryptographicHash::hash("preset", QCryptographicHash::Sha256) + QByteArray(5, '\0');
    ASSERT_TRUE(reg.WriteBool("IOStart", true));
    ASSERT_TRUE(reg.WriteInteger("Messung", 1));
    ASSERT_TRUE(reg.WriteFloat("Current1Ge", 95.5));
    ASSERT_TRUE(reg.WriteDateTime("CurrentLastModDate", 45123.75));
    ASSERT_TRUE(reg.WriteBinaryData("UserBlob", binary));
    ASSERT_TRUE(reg.WriteString("LastProt", ""));
    EXPECT_FALSE(QFileInfo::exists(userFile));
    ASSERT_TRUE(reg.CloseKey()) << reg.LastError().toStdString();
    ASSERT_TRUE(QFileInfo::exists(userFile));

    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(userFile).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode_t(0600));

    reloadFromDisk();
    Registry fresh;
    ASSERT_TRUE(fresh.OpenKeyReadOnly(kSettingsKey));
    EXPECT_EQ(fresh.ReadBool("iostart"), true);
    EXPECT_EQ(fresh.GetDataType("IOStart"), RegistryValueType::Boolean);
    EXPECT_EQ(fresh.ReadInteger("Messung"), 1);
    EXPECT_EQ(fresh.ReadFloat("Current1Ge"), 95.5);
    EXPECT_EQ(fresh.GetDataType("CurrentLastModDate"), RegistryValueType::DateTime);
    EXPECT_EQ(fresh.ReadDateTime("CurrentLastModDate"), 45123.75);
    EXPECT_EQ(fresh.ReadBinaryData("UserBlob"), binary);
    EXPECT_EQ(fresh.ReadString("LastProt"), QString(""));
    EXPECT_TRUE(Registry::TakeDamageReport().isEmpty());
}

TEST_F(RegistryTest, UserHiveLivesInTheConfigFolderReadableByItsOwnerOnly) {
    platform::SetKnownFolderOverride(platform::KnownFolder::UserConfig, dir.filePath("config"));
    Registry::SetHiveFiles(QString(), machineFile);
    EXPECT_EQ(Registry::UserHiveFile(), dir.filePath("config/veltaro/user.hive"));
    {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        ASSERT_TRUE(reg.WriteInteger("Lang", 2));
    }
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(Registry::UserHiveFile()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode_t(0600));
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath("config/veltaro")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode_t(0700));
}

TEST_F(RegistryTest, MachineHiveIsReadOnlyToTheProgram) {
    {
        // What a set-up tool does to announce the drivers.
        Registry setup(machineFile);
        ASSERT_TRUE(setup.OpenKey("software\\asio\\JACK Dummy", true));
        ASSERT_TRUE(setup.WriteString("clsid", "{00000000-0000-0000-0000-000000000001}"));
        ASSERT_TRUE(setup.OpenKey("software\\asio\\ASIO4ALL", true));
        ASSERT_TRUE(setup.WriteString("CLSID", "{00000000-0000-0000-0000-000000000002}"));
        ASSERT_TRUE(setup.CloseKey());
    }
    reloadFromDisk();
    const QByteArray before = readAll(machineFile);
    ASSERT_FALSE(before.isEmpty());

    Registry machine(RootKey::LocalMachine);
    ASSERT_TRUE(machine.OpenKeyReadOnly("SOFTWARE\\ASIO"));
    EXPECT_EQ(machine.GetKeyNames(), (QStringList{"ASIO4ALL", "JACK Dummy"}));
    ASSERT_TRUE(machine.OpenKeyReadOnly("software\\asio\\jack dummy"));
    EXPECT_EQ(machine.ReadString("clsid"), "{00000000-0000-0000-0000-000000000001}");
    EXPECT_FALSE(machine.WriteString("clsid", "x"));

    EXPECT_FALSE(machine.OpenKey("software\\asio", false));
    EXPECT_FALSE(machine.LastError().isEmpty());
    EXPECT_FALSE(machine.OpenKey("software\\other", true));
    EXPECT_FALSE(machine.KeyExists("software\\other"));
    EXPECT_FALSE(machine.DeleteKey("software\\asio"));
    EXPECT_TRUE(machine.CloseKey());
    EXPECT_EQ(readAll(machineFile), before);

    // The user hive is a different file.
    Registry user;
    EXPECT_FALSE(user.KeyExists("software\\asio"));
}

TEST_F(RegistryTest, MissingMachineHiveListsNothing) {
    Registry machine(RootKey::LocalMachine);
    EXPECT_FALSE(machine.OpenKeyReadOnly("software\\asio"));
    EXPECT_TRUE(Registry::TakeDamageReport().isEmpty());
}

// ---------------------------------------------------------------------------
// Damaged hive files
// ---------------------------------------------------------------------------

QByteArray u32(uint32_t v) {
    char word[4];
    qToLittleEndian<uint32_t>(v, word);
    return QByteArray(word, 4);
}

QByteArray utf16(const QString& text) {
    QByteArray out = u32(static_cast<uint32_t>(text.size()));
    for (QChar c : text) {
        char unit[2];
        qToLittleEndian<uint16_t>(c.unicode(), unit);
        out.append(unit, 2);
    }
    return out;
}

TEST_F(RegistryTest, DamagedHiveIsSetAsideReportedAndReplacedByAnEmptyOne) {
    {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        for (int i = 0; i < 20; ++i) ASSERT_TRUE(reg.WriteString(QStringLiteral("v%1").arg(i), "some text"));
    }
    const QByteArray good = readAll(userFile);
    ASSERT_GT(good.size(), 100);

    auto flipped = [&](qsizetype at) {
        QByteArray d = good;
        d[at] = static_cast<char>(d[at] ^ 0x20);
        return d;
    };
    const QByteArray oneKeyNoValues = utf16("Software") + u32(0);
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    const std::vector<Case> cases = {
        {"byte flipped in the data", flipped(good.size() - 7)},
        {"byte flipped in the magic", flipped(2)},
        {"byte flipped in the checksum", flipped(20)},
        {"truncated", good.left(good.size() - 5)},
        {"cut inside the header", good.left(30)},
        {"data after the end", good + "junk"},
        {"empty file", QByteArray()},
        {"newer version", [&] {
             QByteArray d = good;
             d[8] = 2;
             return d;
         }()},
        {"key count beyond the file", HiveFileAround(u32(0x40000000) + oneKeyNoValues)},
        {"path length beyond the file", HiveFileAround(u32(1) + u32(0x7fffffff) + QByteArray(6, 'a'))},
        {"value data beyond the file",
         HiveFileAround(u32(1) + utf16("Software") + u32(1) + utf16("x") + QByteArray(1, '\x05') + u32(1000) + "ab")},
        {"integer of wrong length",
         HiveFileAround(u32(1) + utf16("Software") + u32(1) + utf16("x") + QByteArray(1, '\x01') + u32(2) + "ab")},
        {"unknown value type",
         HiveFileAround(u32(1) + utf16("Software") + u32(1) + utf16("x") + QByteArray(1, '\x09') + u32(0))},
        {"same key twice", HiveFileAround(u32(2) + oneKeyNoValues + utf16("SOFTWARE") + u32(0))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const QString& old : damagedCopiesIn(dir.path())) QFile::remove(dir.filePath(old));
        writePlain(userFile, c.bytes);
        reloadFromDisk();

        Registry reg;
        EXPECT_FALSE(reg.KeyExists(kSettingsKey));
        const QString report = Registry::TakeDamageReport();
        EXPECT_TRUE(report.contains(userFile)) << report.toStdString();
        const QStringList aside = damagedCopiesIn(dir.path());
        ASSERT_EQ(aside.size(), 1);
        EXPECT_TRUE(report.contains(aside.front())) << report.toStdString();
        EXPECT_EQ(readAll(dir.filePath(aside.front())), c.bytes);
        EXPECT_FALSE(QFileInfo::exists(userFile));

        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        ASSERT_TRUE(reg.WriteInteger("Messung", 0));
        ASSERT_TRUE(reg.CloseKey()) << reg.LastError().toStdString();
        EXPECT_EQ(readAll(dir.filePath(aside.front())), c.bytes);
        reloadFromDisk();
        Registry fresh;
        ASSERT_TRUE(fresh.OpenKeyReadOnly(kSettingsKey));
        EXPECT_EQ(fresh.ReadInteger("Messung"), 0);
        EXPECT_TRUE(Registry::TakeDamageReport().isEmpty());
    }
}

// Qt folds an unpaired surrogate differently depending on what stands beside
// it, so a whole path and its segments folded apart can disagree.
const QString kLoneSurrogateKey = QString::fromUtf16(u"\xDC00" u"A\\\xDC00");

TEST_F(RegistryTest, KeyWithAnUnpairedSurrogateExistsOnceAndSurvivesASave) {
    const QString parent = QString::fromUtf16(u"\xDC00" u"A");
    writePlain(userFile, HiveFileAround(u32(3) + utf16("") + u32(0) + utf16(parent) + u32(0) +
                                         utf16(kLoneSurrogateKey) + u32(0)));
    reloadFromDisk();
    {
        Registry reg;
        ASSERT_TRUE(Registry::TakeDamageReport().isEmpty());
        ASSERT_TRUE(reg.OpenKeyReadOnly(parent));
        const QStringList listed = reg.GetKeyNames();
        EXPECT_EQ(listed.size(), 1);
        for (const QString& name : listed) EXPECT_TRUE(Registry().OpenKeyReadOnly(parent + "\\" + name));

        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        ASSERT_TRUE(reg.WriteInteger("Messung", 1));
        ASSERT_TRUE(reg.CloseKey()) << reg.LastError().toStdString();
    }
    reloadFromDisk();
    Registry fresh;
    EXPECT_TRUE(fresh.KeyExists(kSettingsKey));
    EXPECT_TRUE(fresh.KeyExists(kLoneSurrogateKey));
    EXPECT_TRUE(Registry::TakeDamageReport().isEmpty());
    EXPECT_TRUE(damagedCopiesIn(dir.path()).isEmpty());
}

TEST_F(RegistryTest, NamesWithAnUnpairedSurrogateAreNeverCreated) {
    Registry reg;
    EXPECT_FALSE(reg.OpenKey("Software\\" + kLoneSurrogateKey, true));
    EXPECT_FALSE(reg.KeyExists("Software"));
    ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
    EXPECT_FALSE(reg.WriteInteger(QString::fromUtf16(u"Lang\xD801"), 1));
    EXPECT_TRUE(reg.GetValueNames().isEmpty());
    EXPECT_FALSE(reg.CopyKey(kSettingsKey, "Software\\" + kLoneSurrogateKey));
    const QString paired = QString::fromUtf16(u"Note \xD834\xDD1E");  // a whole pair is a character like any
    EXPECT_TRUE(reg.WriteString(paired, paired));
    EXPECT_EQ(reg.ReadString(paired), paired);
}

QString pathOfDepth(int depth) {
    QStringList segments;
    for (int i = 0; i < depth; ++i) segments << QStringLiteral("k");
    return segments.join('\\');
}

// One key of thousands of one-letter segments once took seconds and a
// gigabyte to load: every key above it holds its whole path.
TEST_F(RegistryTest, KeyPathsAndHiveFilesAreBoundedForWritingAndReading) {
    {
        Registry reg;
        EXPECT_FALSE(reg.OpenKey(pathOfDepth(65), true));
        ASSERT_TRUE(reg.OpenKey(pathOfDepth(64), true));
        ASSERT_TRUE(reg.OpenKey(pathOfDepth(60), true));
        ASSERT_TRUE(reg.WriteInteger("Deep", 1));
        ASSERT_TRUE(reg.CloseKey());
        EXPECT_FALSE(reg.CopyKey("k", "Copy\\Deeper"));  // its deepest key would lie 65 keys deep
        EXPECT_FALSE(reg.KeyExists("Copy"));
        EXPECT_TRUE(reg.CopyKey("k", "Copy"));
    }
    reloadFromDisk();
    {
        Registry reg;
        EXPECT_TRUE(Registry::TakeDamageReport().isEmpty());
        EXPECT_TRUE(reg.KeyExists(pathOfDepth(64)));
        EXPECT_TRUE(reg.KeyExists("Copy\\" + pathOfDepth(63)));
        ASSERT_TRUE(reg.OpenKey("Big", true));
        ASSERT_TRUE(reg.WriteBinaryData("Blob", QByteArray(16 * 1024 * 1024, 'x')));
        EXPECT_FALSE(reg.CloseKey());
        EXPECT_TRUE(reg.LastError().contains("16 MiB")) << reg.LastError().toStdString();
        ASSERT_TRUE(reg.OpenKey("Big", true));
        ASSERT_TRUE(reg.DeleteValue("Blob"));
        EXPECT_TRUE(reg.CloseKey());
    }

    const QByteArray tooLarge = HiveFileAround(u32(1) + utf16("") + u32(1) + utf16("Blob") + QByteArray(1, '\x05') +
                                                u32(16 * 1024 * 1024) + QByteArray(16 * 1024 * 1024, 'x'));
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"65 keys deep", HiveFileAround(u32(1) + utf16(pathOfDepth(65)) + u32(0))},
        {"16000 keys deep", HiveFileAround(u32(1) + utf16(pathOfDepth(16000)) + u32(0))},
        {"implied keys beyond the file's size",
         HiveFileAround(u32(1) + utf16(QStringList(64, QString(255, 'k')).join('\\')) + u32(0))},
        {"larger than 16 MiB", tooLarge},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const QString& old : damagedCopiesIn(dir.path())) QFile::remove(dir.filePath(old));
        writePlain(userFile, c.bytes);
        reloadFromDisk();
        Registry reg;
        EXPECT_FALSE(reg.KeyExists("k"));
        EXPECT_TRUE(Registry::TakeDamageReport().contains(userFile));
        EXPECT_EQ(damagedCopiesIn(dir.path()).size(), 1);
    }
}

TEST_F(RegistryTest, UnreadableHiveIsNeverOverwritten) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("user.hive"));
    reloadFromDisk();
    Registry reg;
    EXPECT_FALSE(Registry::TakeDamageReport().isEmpty());
    ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
    ASSERT_TRUE(reg.WriteBool("IOStart", true));
    EXPECT_TRUE(reg.ReadBool("IOStart").value_or(false));
    EXPECT_FALSE(reg.CloseKey());
    EXPECT_FALSE(reg.LastError().isEmpty());
    EXPECT_TRUE(QFileInfo(userFile).isDir());
}

// ---------------------------------------------------------------------------
// Threads and crashes
// ---------------------------------------------------------------------------

TEST_F(RegistryTest, ConcurrentKeyObjectsShareOneHive) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 30;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            try {
                for (int round = 0; round < kRounds; ++round) {
                    Registry reg;
                    const QString key = kSettingsKey + QStringLiteral("\\Thread%1").arg(t);
                    if (!reg.OpenKey(key, true)) ++failures;
                    for (int i = 0; i < 10; ++i) {
                        if (!reg.WriteInteger(QStringLiteral("v%1").arg(i), round)) ++failures;
                    }
                    if (reg.ReadInteger("v0") != round) ++failures;
                    if (!reg.CloseKey()) ++failures;
                    Registry reader;
                    if (reader.OpenKeyReadOnly(kSettingsKey)) (void)reader.GetKeyNames();
                }
            } catch (...) {
                ++failures;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);

    reloadFromDisk();
    Registry fresh;
    ASSERT_TRUE(fresh.OpenKeyReadOnly(kSettingsKey));
    EXPECT_EQ(fresh.GetKeyNames().size(), kThreads);
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_TRUE(fresh.OpenKeyReadOnly(kSettingsKey + QStringLiteral("\\thread%1").arg(t)));
        for (int i = 0; i < 10; ++i) EXPECT_EQ(fresh.ReadInteger(QStringLiteral("v%1").arg(i)), kRounds - 1);
    }
}

constexpr int kCrashValues = 1500;

QString crashValue(int generation, int index) {
    return QStringLiteral("generation %1 value %2 ").arg(generation).arg(index).repeated(6);
}

// Writes one complete generation of values; the crash test checks that a
// hive never holds parts of two generations.
bool writeGeneration(int generation, int signalFd) {
    Registry reg;
    if (!reg.OpenKey(kSettingsKey, true)) return false;
    for (int i = 0; i < kCrashValues; ++i) reg.WriteString(QStringLiteral("Value%1").arg(i), crashValue(generation, i));
    reg.WriteInteger("Generation", generation);
    if (signalFd >= 0) {
        const char started = 'w';
        if (::write(signalFd, &started, 1) != 1) return false;
    }
    return reg.CloseKey();
}

TEST_F(RegistryTest, KilledWriterLeavesTheOldOrANewCompleteHive) {
    ASSERT_TRUE(writeGeneration(0, -1));
    for (int attempt = 0; attempt < 12; ++attempt) {
        SCOPED_TRACE(attempt);
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            for (int generation = 1; generation < 100000; ++generation) {
                if (!writeGeneration(generation, fds[1])) ::_exit(2);
            }
            ::_exit(0);
        }
        ::close(fds[1]);
        // Let the child start a different number of saves each time, then
        // kill it while it is busy with the next one.
        const int savesToWaitFor = 1 + attempt % 4;
        int seen = 0;
        char byte;
        while (seen < savesToWaitFor && ::read(fds[0], &byte, 1) == 1) ++seen;
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(fds[0]);
        ASSERT_EQ(seen, savesToWaitFor);
        ASSERT_TRUE(WIFSIGNALED(status));

        reloadFromDisk();
        Registry reg;
        EXPECT_TRUE(Registry::TakeDamageReport().isEmpty());
        // The temporary file of the save that was cut short is cleared away.
        const QStringList leftovers = QDir(QFileInfo(Registry::UserHiveFile()).absolutePath())
                                          .entryList({"*.tmp-*"}, QDir::Files | QDir::Hidden);
        EXPECT_TRUE(leftovers.isEmpty()) << leftovers.join(' ').toStdString();
        ASSERT_TRUE(reg.OpenKeyReadOnly(kSettingsKey));
        const std::optional<int32_t> generation = reg.ReadInteger("Generation");
        ASSERT_TRUE(generation.has_value());
        // The saves before the last announced one were complete.
        EXPECT_GE(*generation, savesToWaitFor - 1);
        int mismatches = 0;
        for (int i = 0; i < kCrashValues; ++i) {
            if (reg.ReadString(QStringLiteral("Value%1").arg(i)) != crashValue(*generation, i)) ++mismatches;
        }
        EXPECT_EQ(mismatches, 0);
        reg.CloseKey();
        ASSERT_TRUE(writeGeneration(0, -1));
    }
}

}  // namespace
