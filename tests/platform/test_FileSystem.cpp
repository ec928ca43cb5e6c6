#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "platform/FileSystem.h"
#include "tests/support/Peers.h"

using namespace platform;

TEST(FileSystem, CreatesAllMissingParents) {
    QTemporaryDir tmp;
    std::string deep = tmp.path().toStdString() + "/a/b/c";
    EXPECT_FALSE(fs::directoryExists(deep));
    EXPECT_TRUE(fs::createDirectories(deep));
    EXPECT_TRUE(fs::directoryExists(deep));
    EXPECT_TRUE(fs::createDirectories(deep)) << "an existing directory counts as created";
}

TEST(FileSystem, CreationFailsBelowAFile) {
    QTemporaryDir tmp;
    std::string file = tmp.path().toStdString() + "/plain";
    testsupport::writeFile(file, "x");
    EXPECT_FALSE(fs::createDirectories(file + "/sub"));
}

TEST(FileSystem, FileSizeIs64BitAndMinusOneWhenMissing) {
    QTemporaryDir tmp;
    std::string file = tmp.path().toStdString() + "/f";
    testsupport::writeFile(file, std::string(1234, 'z'));
    EXPECT_EQ(fs::fileSize(file), 1234);
    EXPECT_EQ(fs::fileSize(file + "-missing"), -1);
    EXPECT_EQ(fs::fileSize(tmp.path().toStdString()), -1) << "a directory has no file size";
}

TEST(FileSystem, FreeSpaceOfAPathNotCreatedYetIsThatOfItsAncestor) {
    QTemporaryDir tmp;
    auto here = fs::freeSpace(tmp.path().toStdString());
    auto below = fs::freeSpace(tmp.path().toStdString() + "/not/yet/there");
    ASSERT_TRUE(here.has_value());
    ASSERT_TRUE(below.has_value());
    EXPECT_GT(*here, 0);
    // Both name the same file system; allow for other writers in between.
    EXPECT_NEAR(static_cast<double>(*here), static_cast<double>(*below), 64.0 * 1024 * 1024);
}

TEST(FileSystem, HomeAndTempPaths) {
    EXPECT_EQ(fs::tempDirectory().back(), '/');
    EXPECT_TRUE(fs::isAbsolutePath(fs::expandHome("~/x")));
    EXPECT_EQ(fs::expandHome("/abs/~/x"), "/abs/~/x");
    EXPECT_FALSE(fs::isAbsolutePath("relative/dir"));
}
