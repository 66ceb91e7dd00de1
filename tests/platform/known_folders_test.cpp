#include "platform/known_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using platform::KnownFolder;
using platform::KnownFolderPath;

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        hadOld_ = std::getenv(name) != nullptr;
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (hadOld_) {
            ::setenv(name_, old_.c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

TEST(KnownFoldersTest, FollowTheXdgVariablesAndIgnoreRelativeOnes) {
    platform::ClearKnownFolderOverrides();
    {
        ScopedEnv data("XDG_DATA_HOME", "/srv/data//home/");
        ScopedEnv config("XDG_CONFIG_HOME", "/srv/config");
        EXPECT_EQ(KnownFolderPath(KnownFolder::AppData), "/srv/data/home");
        EXPECT_EQ(KnownFolderPath(KnownFolder::UserConfig), "/srv/config");
    }
    ScopedEnv home("HOME", "/home/tester");
    ScopedEnv data("XDG_DATA_HOME", "relative/data");
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(KnownFolderPath(KnownFolder::AppData), "/home/tester/.local/share");
    EXPECT_EQ(KnownFolderPath(KnownFolder::UserConfig), "/home/tester/.config");
    EXPECT_TRUE(QDir::isAbsolutePath(KnownFolderPath(KnownFolder::Documents)));
}

TEST(KnownFoldersTest, ProgramFolderHoldsTheRunningExecutable) {
    const QString withoutApp = KnownFolderPath(KnownFolder::ProgramFolder);
    EXPECT_TRUE(QFileInfo::exists(withoutApp + "/test_platform_known_folders")) << withoutApp.toStdString();
    static int argc = 1;
    static char name[] = "test_platform_known_folders";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    EXPECT_EQ(KnownFolderPath(KnownFolder::ProgramFolder), withoutApp);
}

TEST(KnownFoldersTest, OverridesReplaceAndRestoreEachFolder) {
    const QString before = KnownFolderPath(KnownFolder::Documents);
    platform::SetKnownFolderOverride(KnownFolder::Documents, "/tmp/docs/");
    platform::SetKnownFolderOverride(KnownFolder::AppData, "/tmp/appdata");
    EXPECT_EQ(KnownFolderPath(KnownFolder::Documents), "/tmp/docs");
    EXPECT_EQ(KnownFolderPath(KnownFolder::AppData), "/tmp/appdata");
    platform::SetKnownFolderOverride(KnownFolder::Documents, QString());
    EXPECT_EQ(KnownFolderPath(KnownFolder::Documents), before);
    platform::ClearKnownFolderOverrides();
    EXPECT_NE(KnownFolderPath(KnownFolder::AppData), "/tmp/appdata");
}

}  // namespace
