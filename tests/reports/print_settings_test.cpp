// The program-wide print settings: packing, the registry round trip, bad
// stored values and when printing is ready.
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/printer_port.h"
#include "platform/registry.h"
#include "reports/print_settings.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/startup_settings.h"

namespace {

using platform::Registry;

class PrintSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        ASSERT_TRUE(dir.isValid());
        Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
        printSettings() = TPrintSettings{};
        platform::ClearPrinterChoice();
    }
    void TearDown() override {
        printSettings() = TPrintSettings{};
        platform::ClearPrinterChoice();
        Registry::SetHiveFiles(QString(), QString());
    }
    void Write(const QString& name, int32_t value) {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(kSettingsKey, true));
        reg.WriteInteger(name, value);
        ASSERT_TRUE(reg.CloseKey());
    }
    QTemporaryDir dir;
};

TEST_F(PrintSettingsTest, PackingFollowsTheBitOrder) {
    const TPrintInfo unpacked = UnpackPrintInfo(0x85);
    EXPECT_EQ(unpacked, (TPrintInfo{true, false, true, false, false, false, false, true}));
    EXPECT_EQ(PackPrintInfo(unpacked), 133);
    for (int32_t packed = 0; packed < 256; ++packed) EXPECT_EQ(PackPrintInfo(UnpackPrintInfo(packed)), packed);
}

TEST_F(PrintSettingsTest, LoadSaveAndBadValues) {
    // No key yet: the default printer, and nothing changed.
    printSettings().printOutLangId = 2;
    EXPECT_EQ(LoadPrinterSettings(), "DefaultPrinter");
    EXPECT_EQ(printSettings().printOutLangId, 2);

    Write("Unrelated", 1);
    EXPECT_EQ(LoadPrinterSettings(), "DefaultPrinter");
    EXPECT_EQ(printSettings().printOutLangId, 1);
    EXPECT_FALSE(printSettings().info.valSet);

    printSettings().printOutLangId = 2;
    printSettings().info = UnpackPrintInfo(0x9E);
    printSettings().grafik = UnpackPrintInfo(0x83);
    printSettings().einzel = UnpackPrintInfo(0x87);
    SavePrinterSettings("PDF file");
    printSettings() = TPrintSettings{};
    EXPECT_EQ(LoadPrinterSettings(), "PDF file");
    EXPECT_EQ(printSettings().printOutLangId, 2);
    EXPECT_EQ(PackPrintInfo(printSettings().info), 0x9E);
    EXPECT_EQ(PackPrintInfo(printSettings().grafik), 0x83);
    EXPECT_EQ(PackPrintInfo(printSettings().einzel), 0x87);

    for (const int32_t bad : {0, 3, -1, 99}) {
        Write("PrintOutLangId", bad);
        LoadPrinterSettings();
        EXPECT_EQ(printSettings().printOutLangId, 1) << bad;
    }
}

TEST_F(PrintSettingsTest, ReadyWithAllSectionsAndAPrinter) {
    EXPECT_FALSE(IsPrintReady());
    printSettings().info.valSet = printSettings().grafik.valSet = printSettings().einzel.valSet = true;
    EXPECT_FALSE(IsPrintReady());
    ASSERT_TRUE(platform::SelectPrinter(platform::kPdfPrinterName));
    EXPECT_TRUE(IsPrintReady());
    printSettings().grafik.valSet = false;
    EXPECT_FALSE(IsPrintReady());
}

}  // namespace
