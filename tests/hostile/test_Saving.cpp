// Saving against the whole engine: a re-run over an earlier copy never loses
// a file, a save folder that cannot be written ends the job at once, local
// names keep their bytes, and the status log keeps its own name and lines.
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDirIterator>
#include <functional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/PartialFile.h"
#include "platform/Timer.h"
#include "tests/hostile/CrawlHarness.h"
#include "tests/support/Peers.h"

using hostile::Crawl;

namespace {

const std::string kEarlier = "<html>the complete earlier copy</html>";

std::string link(const std::string& href) { return "<a href=\"" + href + "\">x</a>\n"; }

std::string fileHeader(std::size_t length) {
    return "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: " +
           std::to_string(length) + "\r\n\r\n";
}

// Temporary files of saving anywhere below folder.
std::vector<std::string> partialFilesBelow(const std::string& folder) {
    std::vector<std::string> found;
    QDirIterator it(QString::fromStdString(folder), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (platform::isPartialFileName(it.fileName().toStdString()))
            found.push_back(it.filePath().toStdString());
    }
    return found;
}

// Runs cb on every turn of the event loop until it returns true.
class EveryTurn {
public:
    explicit EveryTurn(std::function<bool()> cb) : cb_(std::move(cb)) {
        timer_.setInterval(1);
        timer_.onTimer = [this] {
            if (cb_()) timer_.setEnabled(false);
        };
        timer_.setEnabled(true);
    }

private:
    std::function<bool()> cb_;
    platform::Timer timer_;
};

}  // namespace

// --- A re-run over an earlier copy ---

TEST(SavingOverAnEarlierCopy, FileCutShortLeavesTheEarlierCompleteFileIntact) {
    Crawl c;
    testsupport::writeFile(c.saveDir() + "site/cut.gif", kEarlier);
    c.site.at("/site/index.html").page(link("cut.gif"));
    c.site.at("HEAD", "/site/cut.gif").send(fileHeader(5000)).close();
    c.site.at("GET", "/site/cut.gif").send(fileHeader(5000) + std::string(1000, 'g')).close();

    ASSERT_TRUE(c.run("/site/index.html"));

    EXPECT_TRUE(c.logged("Error: Couldn't download", c.url("/site/cut.gif")));
    EXPECT_EQ(testsupport::readFile(c.saveDir() + "site/cut.gif"), kEarlier);
    EXPECT_EQ(partialFilesBelow(c.root()), std::vector<std::string>{});
    EXPECT_EQ(c.engine->SavedList.IndexOf(c.saveDir() + "site/cut.gif"), -1);
}

TEST(SavingOverAnEarlierCopy, PageAndFileFetchedAgainReplaceTheEarlierCopy) {
    Crawl c;
    testsupport::writeFile(c.saveDir() + "site/page.html", kEarlier);
    testsupport::writeFile(c.saveDir() + "site/pic.gif", kEarlier);
    const std::string picture(3000, 'p');
    c.site.at("/site/index.html").page(link("page.html") + link("pic.gif"));
    c.site.at("/site/page.html").page("<p>new</p>");
    c.site.at("/site/pic.gif").page(picture, "image/gif");

    ASSERT_TRUE(c.run("/site/index.html"));

    EXPECT_EQ(testsupport::readFile(c.saveDir() + "site/page.html"), "<p>new</p>");
    EXPECT_EQ(testsupport::readFile(c.saveDir() + "site/pic.gif"), picture);
    EXPECT_EQ(partialFilesBelow(c.root()), std::vector<std::string>{});
    // A new file gets the usual permissions, not those of a private temporary file.
    struct stat st {};
    ASSERT_EQ(::stat((c.saveDir() + "site/pic.gif").c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0644 & ~mask);
}

// What the program does on a second Ctrl-C: the transfer's temporary file goes,
// the earlier file stays.
TEST(SavingOverAnEarlierCopy, StoppedTransferLeavesTheEarlierFileAndNoTemporaryFile) {
    Crawl c;
    testsupport::writeFile(c.saveDir() + "site/big.gif", kEarlier);
    c.site.at("/site/index.html").page(link("big.gif"));
    c.site.at("HEAD", "/site/big.gif").send(fileHeader(100000)).close();
    c.site.at("GET", "/site/big.gif").send(fileHeader(100000) + std::string(7000, 'b')).stall();

    std::vector<std::string> whileRunning;
    EveryTurn stopper([&] {
        if (c.engine->iFileBytes < 7000) return false;
        whileRunning = partialFilesBelow(c.saveDir());
        c.engine->DiscardPartialFile();
        return true;
    });
    ASSERT_TRUE(c.run("/site/index.html"));

    ASSERT_EQ(whileRunning.size(), 1u) << "the transfer wrote to a temporary file";
    EXPECT_EQ(whileRunning[0].rfind(c.saveDir() + "site/", 0), 0u) << "beside its final name";
    EXPECT_EQ(testsupport::readFile(c.saveDir() + "site/big.gif"), kEarlier);
    EXPECT_EQ(partialFilesBelow(c.root()), std::vector<std::string>{});
    EXPECT_TRUE(c.logged("Error: Couldn't download", c.url("/site/big.gif")));
}

TEST(SavingOverAnEarlierCopy, LeftoverTemporaryFilesOfACrashAreRemovedByTheNextRun) {
    Crawl c;
    const std::string save = c.saveDir();
    const std::vector<std::string> leftovers = {save + ".harvex-Ab12Cd.part",
                                                save + "site/deep/.harvex-zz9ZZ9.part"};
    const std::vector<std::string> kept = {save + ".harvex-notours.part", save + "site/keep.part",
                                           save + "site/.harvex-Ab12Cd.part.html"};
    for (const auto& path : leftovers) testsupport::writeFile(path, "torn");
    for (const auto& path : kept) testsupport::writeFile(path, "mine");
    // One held by a transfer still running in another program.
    int error = 0;
    auto running = platform::PartialFile::create(save + "site/other.gif", error);
    ASSERT_TRUE(running) << platform::fs::errorText(error);
    c.site.at("/site/index.html").page("<p>index</p>");

    ASSERT_TRUE(c.run("/site/index.html"));

    for (const auto& path : leftovers) EXPECT_FALSE(platform::fs::fileExists(path)) << path;
    for (const auto& path : kept) EXPECT_EQ(testsupport::readFile(path), "mine") << path;
    EXPECT_TRUE(platform::fs::fileExists(running->tempPath()));
}

// --- A save folder that cannot be written ---

struct StartCase {
    const char* name;
    const char* target;
    const char* failure;  // the status phrase of the one failure
};

class UnwritableSaveFolder : public ::testing::TestWithParam<StartCase> {
protected:
    // Serves a start page or file and three more pages, none of which may be
    // asked for once the first save has failed.
    static void serve(Crawl& c) {
        c.site.at("/site/index.html").page(link("a.html") + link("b.html") + link("c.html"));
        c.site.at("/site/pic.gif").page(std::string(500, 'p'), "image/gif");
        c.site.otherwise().page("<p>more</p>");
    }

    static void expectEndedAfterTheFirstFailure(const Crawl& c, const StartCase& start,
                                                const std::string& reason) {
        const std::string folder = c.saveDir();
        EXPECT_EQ(c.site.requestsFor(start.target), 1) << "a page, or a file's header only";
        EXPECT_EQ(c.site.requestsFor("/site/c.html"), 0) << "the job ended at once";
        EXPECT_TRUE(c.loggedAnywhere(start.failure));
        EXPECT_TRUE(c.engine->SaveFolderFailed());
        const std::string message = "Cannot write to the save folder " + folder + ": " + reason;
        const auto& calls = c.view.plain.dialogs.calls;
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().text, message + ".");
        // The summary claims nothing about files stored there.
        EXPECT_FALSE(c.loggedAnywhere("All downloaded files are stored in or under"));
        EXPECT_TRUE(c.loggedAnywhere(message));
        EXPECT_TRUE(c.engine->SavedList.empty());
        EXPECT_EQ(c.view.plain.loopFinishedCalls, 1);
    }
};

TEST_P(UnwritableSaveFolder, AFileInTheFoldersPlace) {
    Crawl c;
    std::string folder = c.saveDir();
    folder.pop_back();
    testsupport::writeFile(folder, "a file, not a folder");
    serve(c);

    ASSERT_TRUE(c.run(GetParam().target));

    expectEndedAfterTheFirstFailure(c, GetParam(), "Not a directory");
    EXPECT_EQ(testsupport::readFile(folder), "a file, not a folder");
}

TEST_P(UnwritableSaveFolder, AReadOnlyFolderForTheUserRunningTheJob) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user; as a user the folder would be ours";
    Crawl c;
    ASSERT_TRUE(platform::fs::createDirectories(c.saveDir()));
    // Root owns the folders; "nobody" may enter them but not write.
    for (const std::string& path : {c.root(), c.root() + "/inside", c.saveDir()})
        ASSERT_EQ(::chmod(path.c_str(), 0755), 0) << path;
    serve(c);

    // Only this thread's file accesses act as "nobody"; the site's thread and
    // the fixture's clean-up stay root.
    constexpr uid_t kNobody = 65534;
    ::setfsuid(kNobody);
    if (static_cast<uid_t>(::setfsuid(kNobody)) != kNobody) {
        ::setfsuid(0);
        GTEST_SKIP() << "this machine does not let the test act as another user (setfsuid)";
    }
    const bool finished = c.run(GetParam().target);
    ::setfsuid(0);

    ASSERT_TRUE(finished);
    expectEndedAfterTheFirstFailure(c, GetParam(), "Permission denied");
    EXPECT_EQ(partialFilesBelow(c.root()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Start, UnwritableSaveFolder,
                         ::testing::Values(StartCase{"Page", "/site/index.html",
                                                     "Error: Could not Save File"},
                                           StartCase{"File", "/site/pic.gif", "Couldn"}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Local names ---

TEST(LocalNames, Latin1BytesInFolderAndFileNamesAreSavedUnderThoseBytes) {
    Crawl c;
    c.site.at("/site/index.html")
        .page(link("caf\xE9/r\xE9sum\xE9.html") + link("caf\xE9/ph\xE9.gif"));
    c.site.otherwise().page("<p>latin</p>");

    ASSERT_TRUE(c.run("/site/index.html"));

    EXPECT_EQ(testsupport::readFile(c.saveDir() + "site/caf\xE9/r\xE9sum\xE9.html"),
              "<p>latin</p>");
    EXPECT_EQ(testsupport::readFile(c.saveDir() + "site/caf\xE9/ph\xE9.gif"), "<p>latin</p>");
    EXPECT_FALSE(platform::fs::directoryExists(c.saveDir() + "site/caf\xEF\xBF\xBD"))
        << "no folder named after a replacement character";
    EXPECT_FALSE(c.loggedAnywhere("Could not create path"));
}

TEST(LocalNames, SiteFileNamedLikeTheStatusLogKeepsItsContent) {
    Crawl c;
    c.view.plain.dloadEverything = true;
    const std::string siteLog = "the site's own log\n";
    c.site.at("/index.html").page(link("downloads.log") + link("sub/downloads.log"));
    c.site.at("/downloads.log").page(siteLog, "text/plain");
    c.site.at("/sub/downloads.log").page(siteLog, "text/plain");

    ASSERT_TRUE(c.run("/index.html"));

    const std::string save = c.saveDir();
    EXPECT_EQ(testsupport::readFile(save + "downloads-1.log"), siteLog);
    EXPECT_TRUE(c.logged("Saved", c.url("/downloads.log")));
    EXPECT_TRUE(c.logged("File saved to", save + "downloads-1.log"));
    EXPECT_GE(c.engine->SavedList.IndexOf(save + "downloads-1.log"), 0);
    // The status log keeps its name; a file of that name below the top is no log.
    EXPECT_EQ(testsupport::readFile(save + "downloads.log").rfind("Preparing to process", 0), 0u);
    EXPECT_EQ(testsupport::readFile(save + "sub/downloads.log"), siteLog);
    EXPECT_FALSE(c.logged("File saved to", save + "sub/downloads-1.log"));
}

// --- The status log ---

TEST(StatusLines, LineBreaksInALinkKeepOneLogLinePerStatus) {
    Crawl c;
    // Link extraction drops the first CR LF of a tag and ends a value at a
    // blank; the page's lone LF has become CR LF by then.
    const std::string forged = "FORGED-LINE";
    c.site.at("/site/index.html").page("<a href=\"x\r\n\r\n" + forged + "\n.html\">x</a>\n");
    c.site.otherwise().page("<p>any</p>");

    ASSERT_TRUE(c.run("/site/index.html"));

    const std::string log = testsupport::readFile(c.saveDir() + "downloads.log");
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < log.size();) {
        const std::size_t end = log.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "every line ends in CR LF";
        lines.push_back(log.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_FALSE(lines.empty());
    for (const auto& line : lines) {
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        EXPECT_NE(line.rfind(forged, 0), 0u) << "a forged line in the record";
    }
    EXPECT_NE(log.find("/site/x%0D%0A" + forged + "%0D%0A.html"), std::string::npos) << log;
    EXPECT_EQ(lines.back(), "Finished Downloading. ");
}
