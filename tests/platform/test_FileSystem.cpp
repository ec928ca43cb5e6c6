#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cerrno>

#include "platform/FileSystem.h"
#include "platform/PartialFile.h"
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

TEST(FileSystem, FolderNamesAreTheirBytesNotUnicode) {
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    const std::string latin = root + "/caf\xE9/\xFF\xFE";
    ASSERT_TRUE(fs::createDirectories(latin));
    EXPECT_TRUE(fs::directoryExists(latin));
    EXPECT_FALSE(fs::directoryExists(root + "/caf\xEF\xBF\xBD")) << "no replacement character";
}

TEST(FileSystem, CreationErrorsNameTheirReason) {
    QTemporaryDir tmp;
    const std::string file = tmp.path().toStdString() + "/plain";
    testsupport::writeFile(file, "x");
    EXPECT_EQ(fs::createDirectoriesError(file), ENOTDIR);
    EXPECT_EQ(fs::createDirectoriesError(file + "/sub/deeper"), ENOTDIR);
    EXPECT_EQ(fs::createDirectoriesError(tmp.path().toStdString() + "/new/one"), 0);
    EXPECT_EQ(fs::errorText(ENOTDIR), "Not a directory");
}

TEST(PartialFile, CommitReplacesTheFinalFileDiscardLeavesItAsItWas) {
    QTemporaryDir tmp;
    const std::string final = tmp.path().toStdString() + "/page.html";
    testsupport::writeFile(final, "earlier");
    int error = 0;
    {
        auto file = PartialFile::create(final, error);
        ASSERT_TRUE(file) << fs::errorText(error);
        EXPECT_TRUE(isPartialFileName(file->tempPath().substr(file->tempPath().rfind('/') + 1)));
        ASSERT_TRUE(file->write("torn"));
        EXPECT_EQ(testsupport::readFile(final), "earlier") << "untouched while written";
    }
    EXPECT_EQ(testsupport::readFile(final), "earlier") << "dropped without a commit";
    auto file = PartialFile::create(final, error);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->write("later"));
    EXPECT_EQ(file->commit(), 0);
    EXPECT_EQ(testsupport::readFile(final), "later");
    EXPECT_FALSE(fs::fileExists(file->tempPath()));
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"page.html"});
}

TEST(PartialFile, RewindStartsTheFileAfreshAndTheCountWithIt) {
    QTemporaryDir tmp;
    const std::string final = tmp.path().toStdString() + "/big.bin";
    int error = 0;
    auto file = PartialFile::create(final, error);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->rewind()) << "an empty file rewinds";
    ASSERT_TRUE(file->write("a challenge page, not the file"));
    EXPECT_EQ(file->written(), 30);
    ASSERT_TRUE(file->rewind());
    EXPECT_EQ(file->written(), 0);
    EXPECT_EQ(fs::fileSize(file->tempPath()), 0);
    ASSERT_TRUE(file->write("body"));
    ASSERT_TRUE(file->write("!"));
    EXPECT_EQ(file->written(), 5);
    EXPECT_EQ(file->commit(), 0);
    EXPECT_EQ(testsupport::readFile(final), "body!") << "written from the start, no hole";
}

TEST(PartialFile, LeftoversAreRemovedUnlessAProgramHoldsThem) {
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    testsupport::writeFile(root + "/a/b/.harvex-Q1w2E3.part", "crashed");
    testsupport::writeFile(root + "/.harvex-Q1w2E3.part.keep", "not ours");
    testsupport::writeFile(root + "/.harvex-Q1w2E.part", "not ours");
    int error = 0;
    auto held = PartialFile::create(root + "/a/held.gif", error);
    ASSERT_TRUE(held);
    EXPECT_EQ(removeLeftoverPartialFiles(root), 1);
    EXPECT_FALSE(fs::fileExists(root + "/a/b/.harvex-Q1w2E3.part"));
    EXPECT_TRUE(fs::fileExists(root + "/.harvex-Q1w2E3.part.keep"));
    EXPECT_TRUE(fs::fileExists(root + "/.harvex-Q1w2E.part"));
    EXPECT_TRUE(fs::fileExists(held->tempPath()));
}

TEST(PartialFile, AFolderThatTakesNoFileGivesItsReason) {
    QTemporaryDir tmp;
    const std::string file = tmp.path().toStdString() + "/plain";
    testsupport::writeFile(file, "x");
    EXPECT_EQ(PartialFile::probeDirectory(file), ENOTDIR);
    EXPECT_EQ(PartialFile::probeDirectory(tmp.path().toStdString()), 0);
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"plain"});
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
