#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <filesystem>
#include <string>

#include "engine/LocalLayout.h"
#include "testing/EngineUnderTest.h"
#include "testing/PlainJobView.h"
#include "engine/wsmain.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "tests/support/Peers.h"
#include "testing/ManualClock.h"
#include "tests/support/RowName.h"

using namespace engine;

namespace {

struct LocalDirCase {
    const char* saveDirectory;
    const char* url;
    const char* localDir;
};

class URLToLocalDirTable : public ::testing::TestWithParam<LocalDirCase> {};

TEST_P(URLToLocalDirTable, MirrorsTheUrlDirectoryWithoutTheHost) {
    const LocalDirCase& c = GetParam();
    EXPECT_EQ(URLToLocalDir(c.saveDirectory, c.url), c.localDir);
}

INSTANTIATE_TEST_SUITE_P(
    Layout, URLToLocalDirTable,
    ::testing::Values(LocalDirCase{"/sites/", "http://host.test/index.html", "/sites"},
                      LocalDirCase{"/sites/", "http://host.test/docs/a/page.html", "/sites/docs/a"},
                      LocalDirCase{"/sites", "http://host.test/docs/", "/sites/docs"},
                      LocalDirCase{"/sites/", "http://other.test:8080/docs/x.gif", "/sites/docs"},
                      LocalDirCase{"/Sites/Mixed/", "http://host.test/a.b/c", "/Sites/Mixed/a.b"},
                      LocalDirCase{"\\sites\\", "http://host.test/x/y.html", "/sites/x"},
                      // One final slash goes; other repeated ones stay as the URL has them.
                      LocalDirCase{"/sites/", "http://host.test//x//a.html", "/sites//x/"},
                      LocalDirCase{"/sites//", "http://host.test/a//b/c.html", "/sites//a//b"}),
    [](const auto& info) { return support::RowName(info.index, info.param.url); });

TEST(FilePath, JoinsWithExactlyOneSlash) {
    EXPECT_EQ(FilePath("/a/b", "c.html"), "/a/b/c.html");
    EXPECT_EQ(FilePath("/a/b/", "c.html"), "/a/b/c.html");
    EXPECT_EQ(FilePath("/a/b", "/c.html"), "/a/b/c.html");
    EXPECT_EQ(FilePath("", "c.html"), "c.html");
}

TEST(NormalisePath, ResolvesDotSegmentsAsTheFileSystemWould) {
    EXPECT_EQ(NormalisePath("/s/a/../b/./c"), "/s/b/c");
    EXPECT_EQ(NormalisePath("/s//a///b/"), "/s/a/b");
    EXPECT_EQ(NormalisePath("/../../x"), "/x");
    EXPECT_EQ(NormalisePath("a/../../x"), "../x");
}

struct InsideCase {
    const char* directory;
    const char* path;
    bool inside;
};

class InsideTable : public ::testing::TestWithParam<InsideCase> {};

TEST_P(InsideTable, JudgedOnTheNormalisedPath) {
    const InsideCase& c = GetParam();
    EXPECT_EQ(IsInsideDirectory(c.directory, c.path), c.inside) << c.path;
}

INSTANTIATE_TEST_SUITE_P(Escape, InsideTable,
                         ::testing::Values(InsideCase{"/s/site/", "/s/site/a.html", true},
                                           InsideCase{"/s/site", "/s/site/a/../b.html", true},
                                           InsideCase{"/s/site/", "/s/site/../site/x.html", true},
                                           InsideCase{"/s/site/", "/s/site/../x.html", false},
                                           InsideCase{"/s/site/", "/s/site/a/../../../x.html",
                                                      false},
                                           InsideCase{"/s/site/", "/s/sitemap/x.html", false},
                                           InsideCase{"/s/site/", "/s/site", false},
                                           InsideCase{"/s/site/", "/s/site/..", false}),
    [](const auto& info) { return support::RowName(info.index, info.param.path); });

struct SiteNameCase {
    const char* directory;
    const char* name;
    const char* savedAs;
};

class LocalFileNameTable : public ::testing::TestWithParam<SiteNameCase> {};

TEST_P(LocalFileNameTable, OnlyTheStatusLogsOwnPlaceIsAvoided) {
    const SiteNameCase& c = GetParam();
    EXPECT_EQ(LocalFileName("/s/site/", c.directory, c.name), c.savedAs);
}

INSTANTIATE_TEST_SUITE_P(
    StatusLog, LocalFileNameTable,
    ::testing::Values(SiteNameCase{"/s/site", "downloads.log", "downloads-1.log"},
                      SiteNameCase{"/s/site/", "downloads.log", "downloads-1.log"},
                      SiteNameCase{"/s//site", "downloads.log", "downloads-1.log"},
                      SiteNameCase{"/s/site/sub", "downloads.log", "downloads.log"},
                      SiteNameCase{"/s/site", "Downloads.log", "Downloads.log"},
                      SiteNameCase{"/s/site", "downloads.log.html", "downloads.log.html"},
                      SiteNameCase{"/s/site", "index.html", "index.html"}),
    [](const auto& info) { return support::RowName(info.index, info.param.name); });

TEST(FileSizeOf, ZeroForAMissingFile) {
    QTemporaryDir tmp;
    const std::string path = tmp.path().toStdString() + "/f.bin";
    EXPECT_EQ(FileSizeOf(path), 0);
    testsupport::writeFile(path, std::string(1536, 'z'));
    EXPECT_EQ(FileSizeOf(path), 1536);
}

TEST(GetTempDirectory, EndsWithASlashAndExists) {
    const std::string dir = GetTempDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(platform::fs::directoryExists(dir));
}

class SaveFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        view.saveDirectory = tmp.path().toStdString() + "/Save Dir/";
    }
    QTemporaryDir tmp;
    PlainJobView view;
    platform::ManualClock clock{3600};
    EngineUnderTest engine{view, clock};
};

TEST_F(SaveFileTest, WritesThePageBufferCreatingParentsAndCounts) {
    engine.MemoDownload = "<html>\r\nsaved";
    ASSERT_TRUE(engine.SaveFile("http://host.test/a/b/page.html"));
    const std::string path = view.saveDirectory + "a/b/page.html";
    EXPECT_EQ(testsupport::readFile(path), "<html>\r\nsaved");
    EXPECT_EQ(engine.iTotalBytes, 13);
    ASSERT_EQ(engine.SavedList.size(), 1u);
    EXPECT_EQ(engine.SavedList[0], path);
    EXPECT_EQ(view.logLines.back(), "File saved to " + path);
}

TEST_F(SaveFileTest, ALaterPageWithTheSameLocalPathReplacesTheFile) {
    engine.MemoDownload = "first host";
    ASSERT_TRUE(engine.SaveFile("http://one.test/index.html"));
    engine.MemoDownload = "second";
    ASSERT_TRUE(engine.SaveFile("http://two.test/index.html"));
    EXPECT_EQ(testsupport::readFile(view.saveDirectory + "index.html"), "second");
}

TEST_F(SaveFileTest, FileSavedToShowsThePathAsBuiltFromTheUrl) {
    engine.MemoDownload = "doubled";
    ASSERT_TRUE(engine.SaveFile("http://host.test//x//a.html"));
    EXPECT_EQ(view.logLines.back(), "File saved to " + view.saveDirectory + "/x/a.html")
        << "the save directory's slash, then the URL's own";
    EXPECT_EQ(testsupport::readFile(view.saveDirectory + "x/a.html"), "doubled");
    EXPECT_EQ(engine.SavedList[0], view.saveDirectory + "x/a.html") << "where it is on disk";
}

TEST_F(SaveFileTest, PathBytesAreKeptAsTheyAre) {
    engine.MemoDownload = "latin";
    ASSERT_TRUE(engine.SaveFile("http://host.test/caf\xE9/r\xE9sum\xE9.html"));
    const std::string path = view.saveDirectory + "caf\xE9/r\xE9sum\xE9.html";
    EXPECT_EQ(testsupport::readFile(path), "latin");
    EXPECT_EQ(view.logLines.back(), "File saved to " + path);
}

TEST_F(SaveFileTest, SiteFileInTheStatusLogsPlaceIsSavedUnderAnotherName) {
    engine.MemoDownload = "site log";
    ASSERT_TRUE(engine.SaveFile("http://host.test/downloads.log"));
    EXPECT_EQ(view.logLines.back(), "File saved to " + view.saveDirectory + "downloads-1.log");
    EXPECT_EQ(testsupport::readFile(view.saveDirectory + "downloads-1.log"), "site log");
    EXPECT_EQ(testsupport::readFile(view.saveDirectory + "downloads.log"), view.logText());
}

TEST_F(SaveFileTest, ReplacingAnEarlierCopyLeavesNoTemporaryFile) {
    testsupport::writeFile(view.saveDirectory + "a/page.html", "earlier");
    engine.MemoDownload = "later";
    ASSERT_TRUE(engine.SaveFile("http://host.test/a/page.html"));
    EXPECT_EQ(testsupport::readFile(view.saveDirectory + "a/page.html"), "later");
    EXPECT_EQ(QDir(QString::fromStdString(view.saveDirectory + "a"))
                  .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"page.html"});
}

TEST_F(SaveFileTest, AFolderInTheFilesPlaceFailsAndIsLeftAlone) {
    ASSERT_TRUE(platform::fs::createDirectories(view.saveDirectory + "page.html/inner"));
    engine.MemoDownload = "x";
    EXPECT_FALSE(engine.SaveFile("http://host.test/page.html"));
    EXPECT_TRUE(platform::fs::directoryExists(view.saveDirectory + "page.html/inner"));
    EXPECT_EQ(QDir(QString::fromStdString(view.saveDirectory))
                  .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{});
    EXPECT_FALSE(engine.SaveFolderFailed()) << "the save folder itself can be written";
}

TEST_F(SaveFileTest, ASaveFolderThatIsAFileIsNamedWithItsReason) {
    std::string folder = view.saveDirectory;
    folder.pop_back();
    testsupport::writeFile(folder, "a file");
    engine.MemoDownload = "x";
    EXPECT_FALSE(engine.SaveFile("http://host.test/page.html"));
    EXPECT_TRUE(engine.SaveFolderFailed());
    EXPECT_EQ(engine.SaveFolderFailure(),
              "Cannot write to the save folder " + view.saveDirectory + ": Not a directory");
    EXPECT_TRUE(engine.StopCondition()) << "the job ends at its next stop test";
}

TEST_F(SaveFileTest, AFileWhereADirectoryMustGoFailsWithThePathPhrase) {
    engine.MemoDownload = "x";
    ASSERT_TRUE(platform::fs::createDirectories(view.saveDirectory));
    testsupport::writeFile(view.saveDirectory + "blocked", "a file, not a folder");
    EXPECT_FALSE(engine.SaveFile("http://host.test/blocked/page.html"));
    EXPECT_EQ(view.logLines.back(), "Error: Could not create path " + view.saveDirectory +
                                        "blockedfor http://host.test/blocked/page.html");
    EXPECT_TRUE(engine.SavedList.empty());
    EXPECT_EQ(engine.iTotalBytes, 0);
    EXPECT_FALSE(engine.SaveFolderFailed()) << "only a subfolder is blocked";
    engine.iDiskFree = std::int64_t{1} << 40;
    EXPECT_FALSE(engine.StopCondition());
}

TEST_F(SaveFileTest, NothingIsWrittenAboveTheSaveDirectory) {
    engine.MemoDownload = "escape";
    EXPECT_FALSE(engine.SaveFile("http://host.test/../../out.html"));
    EXPECT_FALSE(platform::fs::fileExists(tmp.path().toStdString() + "/out.html"));
    EXPECT_TRUE(engine.SavedList.empty());
}

}  // namespace

// Folders already made are not looked at again, but one removed meanwhile
// (or replaced by a file) is noticed when the next page is saved into it.
TEST_F(SaveFileTest, AKnownFolderRemovedMeanwhileIsMadeAgain) {
    engine.MemoDownload = "one";
    ASSERT_TRUE(engine.SaveFile("http://host.test/a/b/one.html"));
    std::filesystem::remove_all(view.saveDirectory + "a");
    engine.MemoDownload = "two";
    ASSERT_TRUE(engine.SaveFile("http://host.test/a/b/two.html"));
    EXPECT_EQ(testsupport::readFile(view.saveDirectory + "a/b/two.html"), "two");

    std::filesystem::remove_all(view.saveDirectory + "a");
    testsupport::writeFile(view.saveDirectory + "a", "a file where the folder was");
    engine.MemoDownload = "three";
    EXPECT_FALSE(engine.SaveFile("http://host.test/a/b/three.html"));
    EXPECT_EQ(view.logLines.back().rfind("Error: Could not create path ", 0), 0u)
        << view.logLines.back();
    EXPECT_EQ(engine.SavedList.size(), 2u);
}
