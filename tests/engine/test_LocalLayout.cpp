#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>

#include "engine/LocalLayout.h"
#include "engine/PlainJobView.h"
#include "engine/wsmain.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "tests/support/Peers.h"

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
                      LocalDirCase{"\\sites\\", "http://host.test/x/y.html", "/sites/x"}));

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
                                           InsideCase{"/s/site/", "/s/site/..", false}));

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
    THvxEngine engine{view, clock};
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

TEST_F(SaveFileTest, AFileWhereADirectoryMustGoFailsWithThePathPhrase) {
    engine.MemoDownload = "x";
    ASSERT_TRUE(platform::fs::createDirectories(view.saveDirectory));
    testsupport::writeFile(view.saveDirectory + "blocked", "a file, not a folder");
    EXPECT_FALSE(engine.SaveFile("http://host.test/blocked/page.html"));
    EXPECT_EQ(view.logLines.back(), "Error: Could not create path " + view.saveDirectory +
                                        "blockedfor http://host.test/blocked/page.html");
    EXPECT_TRUE(engine.SavedList.empty());
    EXPECT_EQ(engine.iTotalBytes, 0);
}

TEST_F(SaveFileTest, NothingIsWrittenAboveTheSaveDirectory) {
    engine.MemoDownload = "escape";
    EXPECT_FALSE(engine.SaveFile("http://host.test/../../out.html"));
    EXPECT_FALSE(platform::fs::fileExists(tmp.path().toStdString() + "/out.html"));
    EXPECT_TRUE(engine.SavedList.empty());
}

}  // namespace
