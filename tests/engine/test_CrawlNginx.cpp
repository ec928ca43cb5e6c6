// The whole download loop against a real nginx serving a site the test writes.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "engine/LocalLayout.h"
#include "platform/FileSystem.h"
#include "tests/engine/CrawlFixture.h"
#include "tests/support/Peers.h"

using testsupport::NginxServer;

namespace {

class CrawlNginx : public CrawlTest {
protected:
    void startServer(const std::string& extraConfig = {}) {
        server = std::make_unique<NginxServer>(extraConfig);
        ASSERT_TRUE(server->start()) << server->error();
        base = server->baseUrl();
    }

    // Pages and graphics by their usual patterns; ".asp" stays a text type
    // but no rule lets such a page be saved.
    void pagesAndGraphicsOnly() {
        engine.ClearAllowedFilesList();
        engine.AddRulesFromList("*.html,*.htm,", engine::kKindText);
        engine.AddRulesFromList("*.gif,*.jpg,", engine::kKindGraphic);
    }

    // Files under the save directory, relative to it, the log left out.
    std::set<std::string> savedTree() const {
        std::set<std::string> files;
        const QString root = QString::fromStdString(saveDir());
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const std::string path = it.next().toStdString();
            const std::string relative = path.substr(saveDir().size());
            if (relative != "downloads.log") files.insert(relative);
        }
        return files;
    }

    static std::string crlf(const std::string& text) {
        std::string out;
        for (char c : text) {
            if (c == '\n') out += '\r';
            out += c;
        }
        return out;
    }

    std::int64_t sizeOnDisk(const std::set<std::string>& files) const {
        std::int64_t total = 0;
        for (const auto& f : files) total += engine::FileSizeOf(savePath(f));
        return total;
    }

    // A chain of pages p1.html -> p2.html -> ..., each of the given size.
    void putChain(int pages, std::size_t size) {
        for (int i = 1; i <= pages; ++i) {
            std::string page = "<html><a href=\"p" + std::to_string(i + 1) + ".html\">next</a>";
            page += std::string(size - page.size() - 7, 'x') + "</html>";
            server->put("p" + std::to_string(i) + ".html", page);
        }
    }

    std::unique_ptr<NginxServer> server;
    std::string base;
};

const std::string kIndex =
    "<html><body background=\"img/bg.jpg\">\n"
    "<a href=\"docs/a.html\">A</a>\n"
    "<a href=\"/docs/b/c.html\">C</a>\n"
    "<img src=\"img/logo.gif\">\n"
    "<a href=\"missing.gif\">gone</a>\n"
    "<a href=\"page.asp\">asp</a>\n"
    "</body></html>\n";
const std::string kPageA =
    "<html><a href=\"../index.html\">home</a>\n<a href=\"b/c.html\">c</a>\n"
    "<img src=\"../img/logo.gif\"></html>\n";
const std::string kPageC = "<html><a href=\"/docs/a.html\">a</a>\n<img src=\"d.jpg\"></html>\n";
const std::string kAsp = "<html><a href=\"/docs/fromasp.html\">more</a></html>\n";
const std::string kFromAsp = "<html>reached through a page that is not saved</html>\n";
const std::string kLogo = std::string("GIF89a\0\x01\x02", 9) + std::string(2000, '\xff');
const std::string kBackground = std::string("\xff\xd8\xff\xe0", 4) + std::string(5000, 'j');
const std::string kPicture = std::string("\xff\xd8\xff\xe1", 4) + std::string(700, 'k');

}  // namespace

TEST_F(CrawlNginx, CopiesWhatTheRulesAllowAndLogsEveryStep) {
    startServer();
    server->put("index.html", kIndex);
    server->put("docs/a.html", kPageA);
    server->put("docs/b/c.html", kPageC);
    server->put("docs/b/d.jpg", kPicture);
    server->put("page.asp", kAsp);
    server->put("docs/fromasp.html", kFromAsp);
    server->put("img/logo.gif", kLogo);
    server->put("img/bg.jpg", kBackground);
    pagesAndGraphicsOnly();
    view.startURL = base + "/";

    engine.SetUpObjectLists();

    const std::set<std::string> expected = {"index.html",   "docs/a.html",       "docs/b/c.html",
                                            "docs/b/d.jpg", "docs/fromasp.html", "img/logo.gif",
                                            "img/bg.jpg"};
    EXPECT_EQ(savedTree(), expected);
    EXPECT_EQ(testsupport::readFile(savePath("index.html")), crlf(kIndex));
    EXPECT_EQ(testsupport::readFile(savePath("docs/b/c.html")), crlf(kPageC));
    EXPECT_EQ(testsupport::readFile(savePath("img/logo.gif")), kLogo);
    EXPECT_EQ(testsupport::readFile(savePath("img/bg.jpg")), kBackground);

    // Last queued, first fetched: the links of a page are worked from its end.
    expectInOrder({
        "Preparing to process " + base + "/",
        "Downloading Header " + base + "/",
        "Warning: No File Specified " + base + "/",
        "Redirection: Header index.html exists " + base + "/",
        "Redirection: Correct filename is " + base + "/index.html",
        "Downloading " + base + "/index.html",
        "Analysing " + base + "/index.html",
        "File saved to " + savePath("index.html"),
        "Saved " + base + "/index.html",
        "File Processed but not saved. " + base + "/page.asp",
        "Saved " + base + "/docs/fromasp.html",
        "Warning: Could not Download Header " + base + "/missing.gif",
        "Saved " + base + "/img/logo.gif",
        "Saved " + base + "/docs/b/c.html",
        "Saved " + base + "/docs/b/d.jpg",
        "Saved " + base + "/docs/a.html",
        "Saved " + base + "/img/bg.jpg",
        "Finished Downloading. ",
    });
    EXPECT_EQ(countLines("Saved " + base + "/img/logo.gif"), 1)
        << "a link seen twice is fetched once";

    EXPECT_TRUE(engine.QueueList.empty());
    EXPECT_EQ(list(engine.ErrorList),
              (std::vector<std::string>{base + "/page.asp", base + "/missing.gif"}));
    EXPECT_TRUE(engine.ProcessedList.contains(base + "/"));
    EXPECT_TRUE(engine.ProcessedList.contains(base + "/index.html"));
    EXPECT_EQ(engine.SavedList.size(), expected.size());
    EXPECT_EQ(engine.iTotalBytes, sizeOnDisk(expected));
    EXPECT_EQ(view.queuedLabel, "Queued Files: 0");

    expectInOrder(
        {"Finished Downloading. ", "", "Download Summary:", "", "Total Files Downloaded: 7",
         "Total Size of Downloaded Files: " + std::to_string(sizeOnDisk(expected)) + " bytes.",
         "All downloaded files are stored in or under " + saveDir(), ""});
    EXPECT_EQ(view.headingLines, std::vector<std::string>{"Download Summary:"});
    EXPECT_EQ(view.boldTails, std::vector<std::string>{saveDir()});
    EXPECT_TRUE(view.dialogs.calls.empty());
    EXPECT_EQ(view.loopFinishedCalls, 1);
    EXPECT_FALSE(engine.Timer1.enabled());

    // The log file is the pane as it stood at the last status update.
    std::string logUpToFinish;
    for (const auto& line : view.logLines) {
        logUpToFinish += line + "\r\n";
        if (line == "Finished Downloading. ") break;
    }
    EXPECT_EQ(testsupport::readFile(savePath("downloads.log")), logUpToFinish);
}

TEST_F(CrawlNginx, DirectoryWithoutDefaultPageAsksForAName) {
    startServer("location /docs/ { autoindex on; }");
    server->put("docs/x.html", "<html>x</html>\n");
    pagesAndGraphicsOnly();
    const std::string dir = base + "/docs/";
    view.startURL = dir;

    engine.SetUpObjectLists();

    ASSERT_EQ(view.dialogs.calls.size(), 2u);
    EXPECT_EQ(view.dialogs.calls[0].text,
              "The Harvex can not determine the name of the file pointed to by " + dir +
                  "\nPress 'OK' to specify a name for this file. ");
    EXPECT_EQ(view.dialogs.calls[1].text,
              "Enter the name of the file pointed to by " + dir + "below.");
    EXPECT_EQ(view.dialogs.calls[1].defaultValue, "unknown.html");
    EXPECT_EQ(countLines("Redirection: Correct Filename is not " + dir + "index.html"), 1);
    EXPECT_EQ(countLines("Redirection: Correct Filename is not " + dir + "home.htm"), 1);
    expectInOrder({"Redirection: Could Not Find Correct Filename " + dir,
                   "Redirection: Downloaded Mystery Filename " + dir,
                   "Processing Mystery File " + dir + "unknown.html",
                   "Attempt to save mystery file " + dir + "unknown.html",
                   "Saved Mystery File " + dir + "unknown.html", "Saved " + dir + "x.html"});
    EXPECT_EQ(savedTree(), (std::set<std::string>{"docs/unknown.html", "docs/x.html"}));
    EXPECT_NE(testsupport::readFile(savePath("docs/unknown.html")).find("x.html"),
              std::string::npos);
    EXPECT_TRUE(engine.QueueList.empty());
    EXPECT_TRUE(engine.ProcessedList.contains(dir + "unknown.html"));
}

TEST_F(CrawlNginx, DirectoryHeaderWithoutLengthTakesTheFirstDefaultPageThatExists) {
    startServer("location /docs/ { autoindex on; }");
    server->put("docs/index.htm", "<html>the default page</html>\n");
    pagesAndGraphicsOnly();
    const std::string dir = base + "/docs/";
    view.startURL = dir;

    engine.SetUpObjectLists();

    expectInOrder({"Redirection: Correct Filename is not " + dir + "index.html",
                   "Redirection: Header index.htm exists " + dir,
                   "Redirection: Can not determine file size. Downloading " + dir + "index.htm",
                   "Saved " + dir + "index.htm"});
    EXPECT_TRUE(view.dialogs.calls.empty());
    EXPECT_EQ(savedTree(), std::set<std::string>{"docs/index.htm"});
}

TEST_F(CrawlNginx, QuotaOfferedAgainAndDeclined) {
    startServer();
    putChain(5, 600000);
    view.startURL = base + "/p1.html";
    view.diskQuote = true;
    view.diskQuota = 1;
    view.dialogs.messageAnswers = {platform::DialogResult::Yes, platform::DialogResult::No};

    engine.SetUpObjectLists();

    auto quotaText = [](int q) {
        const std::string n = std::to_string(q);
        return "Process Stopped at users request: " + n +
               " megabytes of information downloaded\n There are still files to be "
               "downloaded. Do you want to download another " +
               n + " megabytes of files?";
    };
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{quotaText(1), quotaText(2)}));
    EXPECT_EQ(view.diskQuota, 2) << "Yes doubled the quota once";
    EXPECT_EQ(engine.SavedList.size(), 4u);
    EXPECT_EQ(list(engine.QueueList), std::vector<std::string>{base + "/p5.html"});
    EXPECT_FALSE(engine.bHalted) << "the quota is not a user stop";
    EXPECT_TRUE(logHas("Finished Downloading. "));
}

TEST_F(CrawlNginx, LowDiskStopsOnceTheReserveIsReached) {
    startServer();
    putChain(5, 60000);
    view.startURL = base + "/p1.html";
    engine.iDiskFree = 600000;

    engine.SetUpObjectLists();

    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Process Stopped: Low on DiskSpace."});
    EXPECT_EQ(view.dialogs.calls[0].kind, platform::DialogKind::Error);
    EXPECT_EQ(engine.SavedList.size(), 2u) << "stops as soon as 100000 bytes are saved";
    EXPECT_EQ(list(engine.QueueList), std::vector<std::string>{base + "/p3.html"});
}

TEST_F(CrawlNginx, LowDiskBeforeAnythingStopsAtTheFirstTest) {
    startServer();
    putChain(2, 1000);
    view.startURL = base + "/p1.html";
    engine.iDiskFree = 499999;

    engine.SetUpObjectLists();

    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Process Stopped: Low on DiskSpace."});
    EXPECT_TRUE(engine.SavedList.empty());
    EXPECT_EQ(list(engine.QueueList), std::vector<std::string>{base + "/p1.html"});
}

// A generated site of 60 pages with images, fragment, query and broken links:
// the copy holds exactly the files its manifest lists.
TEST_F(CrawlNginx, GeneratedSiteIsCopiedExactly) {
    startServer();
    QProcess generator;
    generator.start("/usr/bin/python3",
                    {HARVEX_SITE_GENERATOR, QString::fromStdString(server->rootDir()), "60"});
    ASSERT_TRUE(generator.waitForFinished(60000));
    ASSERT_EQ(generator.exitCode(), 0) << generator.readAllStandardError().toStdString();
    std::set<std::string> manifest;
    std::istringstream lines(testsupport::readFile(server->workDir() + "/manifest.txt"));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) manifest.insert(line);
    ASSERT_GT(manifest.size(), 60u);
    view.startURL = base + "/";

    engine.SetUpObjectLists();

    EXPECT_EQ(savedTree(), manifest);
    EXPECT_EQ(engine.SavedList.size(), manifest.size());
    EXPECT_EQ(engine.iTotalBytes, sizeOnDisk(manifest));
    EXPECT_TRUE(engine.QueueList.empty());
    EXPECT_TRUE(view.dialogs.calls.empty());
}

// --- Each file fetched once ---

namespace {

// Requests nginx logged as "METHOD target HTTP/1.0".
int requestsFor(const NginxServer& server, const std::string& method, const std::string& target) {
    const std::string log = testsupport::readFile(server.workDir() + "/access.log");
    const std::string needle = "\"" + method + " " + target + " HTTP/1.0\"";
    int count = 0;
    for (auto at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1))
        ++count;
    return count;
}

}  // namespace

// A page that links "./" and its folder: the folder resolves to the page
// already fetched, so the folder's entry ends without a second fetch.
TEST_F(CrawlNginx, FolderResolvingToAPageAlreadyFetchedIsNotFetchedAgain) {
    startServer();
    server->put("library/index.html",
                "<html><a href=\"./\">here</a> <a href=\"page.html\">page</a></html>\n");
    server->put("library/page.html",
                "<html><a href=\"../library/\">up</a> <a href=\"index.html\">home</a></html>\n");
    pagesAndGraphicsOnly();
    const std::string folder = base + "/library/";
    view.startURL = folder + "index.html";

    engine.SetUpObjectLists();

    EXPECT_EQ(requestsFor(*server, "GET", "/library/index.html"), 1);
    EXPECT_EQ(requestsFor(*server, "GET", "/library/page.html"), 1);
    EXPECT_EQ(countLines("Saved " + folder + "index.html"), 1);
    EXPECT_TRUE(logHas("Redirection: Correct filename is " + folder + "index.html"))
        << "the folder was resolved to its default page";
    EXPECT_TRUE(engine.ProcessedList.contains(folder));
    EXPECT_TRUE(engine.QueueList.empty());

    const std::set<std::string> onDisk = {"library/index.html", "library/page.html"};
    EXPECT_EQ(savedTree(), onDisk);
    EXPECT_EQ(engine.SavedList.size(), onDisk.size());
    EXPECT_EQ(engine.iTotalBytes, sizeOnDisk(onDisk));
    EXPECT_TRUE(logHas("Total Files Downloaded: 2"));
}

// Three images redirected to one folder: the folder and its page are fetched
// once, and the summary counts the files on disk.
TEST_F(CrawlNginx, SeveralRedirectsToOneFolderFetchItOnce) {
    startServer(
        "absolute_redirect off;\n"
        "location ~ ^/img/[abc]\\.gif$ { return 302 /folder/; }\n");
    server->put("index.html",
                "<html><img src=\"img/a.gif\"><img src=\"img/b.gif\"><img src=\"img/c.gif\">"
                "</html>\n");
    server->put("folder/index.html", std::string(54, 'f'));
    pagesAndGraphicsOnly();
    view.startURL = base + "/index.html";

    engine.SetUpObjectLists();

    for (const char* image : {"/img/a.gif", "/img/b.gif", "/img/c.gif"})
        EXPECT_EQ(requestsFor(*server, "HEAD", image), 1) << image;
    EXPECT_EQ(countLines("URL Redirected to: " + base + "/folder/"), 3);
    EXPECT_EQ(requestsFor(*server, "HEAD", "/folder/"), 1);
    EXPECT_EQ(requestsFor(*server, "GET", "/folder/index.html"), 1);

    const std::set<std::string> onDisk = {"index.html", "folder/index.html"};
    EXPECT_EQ(savedTree(), onDisk);
    EXPECT_EQ(engine.SavedList.size(), onDisk.size());
    EXPECT_EQ(engine.iTotalBytes, sizeOnDisk(onDisk));
    EXPECT_TRUE(logHas("Total Files Downloaded: 2"));
    EXPECT_TRUE(logHas("Total Size of Downloaded Files: " + std::to_string(sizeOnDisk(onDisk)) +
                       " bytes."));
}

// --- Web URLs only ---

// A redirect to a local folder amid a crawl fails like a header; the pages
// and files after it are fetched as usual and the working directory stays.
TEST_F(CrawlNginx, RedirectToAFileUrlFailsAndTheCrawlGoesOn) {
    startServer(
        "absolute_redirect off;\n"
        "location = /away.gif { return 302 \"file:///etc/\"; }\n");
    // Worked last first: away.gif, then pic.gif, then good.html.
    server->put("index.html",
                "<html><a href=\"good.html\">g</a><img src=\"pic.gif\"><img src=\"away.gif\">"
                "</html>\n");
    server->put("good.html", "<html>after the redirect</html>\n");
    server->put("pic.gif", kLogo);
    pagesAndGraphicsOnly();
    view.startURL = base + "/index.html";
    const std::string before = QDir::currentPath().toStdString();
    // Should a fetch never end (a listing handed out on request), the clock
    // moves on so that the watchdog ends it and the test fails instead of hanging.
    auto turns = std::make_shared<int>(0);
    whileWaiting([this, turns] {
        *turns = engine.Fetching() ? *turns + 1 : 0;
        if (*turns % 2500 == 0 && *turns > 0) clock.advance(engine.kStallSeconds + 1);
        return false;
    });

    engine.SetUpObjectLists();

    expectInOrder({"URL Redirected to: file:///etc/",
                   "Warning: Could not Download Header file:///etc/", "Saved " + base + "/pic.gif",
                   "Saved " + base + "/good.html", "Finished Downloading. "});
    EXPECT_TRUE(engine.ErrorList.contains("file:///etc/"));
    EXPECT_TRUE(engine.ProcessedList.contains(base + "/away.gif"));
    EXPECT_EQ(QDir::currentPath().toStdString(), before);
    EXPECT_EQ(testsupport::readFile(savePath("pic.gif")), kLogo);
    const std::set<std::string> onDisk = {"index.html", "good.html", "pic.gif"};
    EXPECT_EQ(savedTree(), onDisk);
    EXPECT_EQ(engine.iTotalBytes, sizeOnDisk(onDisk));
    EXPECT_EQ(engine.Web1.RequestMode(), http::mdStreaming);
    EXPECT_EQ(countLines("*****File Skipped - Stalled on Download*****"), 0);
}
