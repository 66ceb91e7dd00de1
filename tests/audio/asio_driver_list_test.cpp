// The ASIO driver list read from a machine hive of the test's own and
// library files in folders of its own; the result texts and sample sizes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "audio/asio_driver_list.h"
#include "audio_in_fakes.h"

using namespace audio_in_test;

namespace {

const QString kClsidA = QStringLiteral("{11111111-2222-3333-4444-555555555555}");
const QString kClsidB = QStringLiteral("{11111111-2222-3333-4444-666666666666}");

class AsioDriverListTest : public AudioInFixture {
protected:
    void SetUp() override {
        AudioInFixture::SetUp();
        ASSERT_TRUE(QDir().mkpath(dir.filePath("sys")));
        ASSERT_TRUE(QDir().mkpath(dir.filePath("sys32")));
        ASSERT_TRUE(QDir().mkpath(dir.filePath("win")));
        SetAsioLibraryFolders({dir.filePath("sys"), dir.filePath("sys32"), dir.filePath("win")});
    }
    void TearDown() override {
        ResetAsioLibraryFolders();
        AudioInFixture::TearDown();
    }

    // An installer's entries; an empty clsid leaves the value out, an empty
    // library leaves the class registration out.
    void Install(const QString& name, const QString& clsid, const QString& library) {
        platform::Registry hive(dir.filePath("machine.hive"));
        ASSERT_TRUE(hive.OpenKey("software\\asio\\" + name, true));
        if (!clsid.isEmpty()) ASSERT_TRUE(hive.WriteString("clsid", clsid));
        ASSERT_TRUE(hive.CloseKey());
        if (library.isEmpty()) return;
        ASSERT_TRUE(hive.OpenKey("software\\classes\\clsid\\" + clsid + "\\InprocServer32", true));
        ASSERT_TRUE(hive.WriteString(QString(), library));
        ASSERT_TRUE(hive.CloseKey());
    }

    void Touch(const QString& relative) {
        QFile f(dir.filePath(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    TAsioDriverList List() {
        platform::Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));  // read from disk
        TAsioDriverList list;
        GetAsioDriverList(list);
        return list;
    }
};

}  // namespace

TEST_F(AsioDriverListTest, NoAsioKeyListsNothing) { EXPECT_TRUE(List().empty()); }

TEST_F(AsioDriverListTest, ABareLibraryNameIsLookedForInTheFoldersInOrder) {
    Touch("sys32/first.so");
    Touch("win/first.so");
    Install("First", kClsidA, "first.so");
    Touch("win/second.so");
    Install("second", kClsidB, "second.so");
    const TAsioDriverList list = List();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "First");
    EXPECT_EQ(list[0].path, dir.filePath("sys32/first.so"));
    EXPECT_EQ(platform::GuidToText(list[0].id), kClsidA);
    EXPECT_EQ(list[1].path, dir.filePath("win/second.so"));
}

TEST_F(AsioDriverListTest, ALibraryFoundOnlyByLoadingItIsListedWithoutAPath) {
    Install("Loader", kClsidA, "libm.so.6");
    const TAsioDriverList list = List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].path.isEmpty());
}

TEST_F(AsioDriverListTest, DriversThatCannotBeUsedAreLeftOutQuietly) {
    Touch("sys/ok.so");
    Install("NoClsid", QString(), QString());
    Install("NotRegistered", "{11111111-2222-3333-4444-777777777777}", QString());
    Install("Missing", kClsidA, "nowhere-at-all.so");
    Install("NotAGuid", "{not-a-guid}", dir.filePath("sys/ok.so"));
    Install("Full path", kClsidB, dir.filePath("sys/ok.so"));
    const TAsioDriverList list = List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name, "Full path");
    EXPECT_EQ(list[0].path, dir.filePath("sys/ok.so"));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(AsioDriverListTest, ResultTextsAndTheirBoxes) {
    struct Case {
        int32_t code;
        bool success;
        QString text;
    };
    for (const Case& c : {Case{0, true, "Success"}, Case{1061701536, true, "SUCCESS (Futurecall)"},
                          Case{-1000, false, "Hardware input or output is not present or available."},
                          Case{-994, false, "Not enough memory for completing the request."},
                          Case{1, false, "Unknow ASIO Error, ID: 1"}}) {
        EXPECT_EQ(AsioErrorText(c.code), c.text);
        const size_t before = dialogs.messages().size();
        EXPECT_EQ(CheckAsioError(c.code, false, "Start ASIO", false), c.success) << c.code;
        EXPECT_EQ(dialogs.messages().size() - before, c.success ? 0u : 1u) << c.code;
    }
    EXPECT_EQ(dialogs.messages().back().header, "Start ASIO");
    EXPECT_EQ(dialogs.messages().back().text, "Unknow ASIO Error, ID: 1");
    EXPECT_FALSE(CheckAsioError(-999, false, "quiet", true));
    EXPECT_NE(dialogs.messages().back().header, "quiet");
    EXPECT_TRUE(CheckAsioError(0, true, "shown", false));
    EXPECT_EQ(dialogs.messages().back().header, "shown");
}

TEST(AsioSampleSize, TheStandardsWidths) {
    const std::vector<std::pair<int32_t, int32_t>> cases = {{16, 2}, {0, 2}, {17, 3}, {18, 4}, {19, 4}, {20, 8},
                                                            {4, 8},  {9, 4}, {27, 4}, {32, 1}, {40, 1}, {5, 0}, {99, 0}};
    for (auto [type, bytes] : cases) EXPECT_EQ(AsioSampleSize(type), bytes) << type;
}
