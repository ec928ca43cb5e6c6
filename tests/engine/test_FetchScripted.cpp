// The fetch loop against a scripted loopback server: stalls, redirects, cut
// transfers, oversized pages, stop and paths that would leave the save folder.
#include <gtest/gtest.h>

#include <string>

#include "platform/FileSystem.h"
#include "tests/engine/CrawlFixture.h"
#include "tests/support/Peers.h"
#include "tests/support/ScriptedServer.h"

using testsupport::ScriptedServer;

namespace {

std::string okHeader(std::size_t length) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
           std::to_string(length) + "\r\n\r\n";
}

class FetchScripted : public CrawlTest {};

}  // namespace

TEST_F(FetchScripted, StallAfterDataWritesBothStarLinesThenTimeout) {
    ScriptedServer server;
    server.send(okHeader(5000) + "<html><body>first part").stall();
    ASSERT_TRUE(server.start());
    const std::string url = server.baseUrl() + "/slow.html";
    view.startURL = url;
    // Once data has arrived, 21 silent seconds pass.
    whileWaiting([this] {
        if (!engine.iDataTime) return false;
        clock.advance(21);
        return true;
    });

    engine.SetUpObjectLists();

    expectInOrder({"Downloading " + url, "*****File Skipped - Stalled on Opening Connection*****",
                   "*****File Skipped - Stalled on Download*****", "Timeout on " + url,
                   "Error: Could not Download " + url, "Finished Downloading. "});
    EXPECT_EQ(list(engine.ErrorList), std::vector<std::string>{url});
    EXPECT_TRUE(engine.QueueList.empty());
    EXPECT_FALSE(engine.bTimedOut) << "the fetch clears the flag it reported";
    EXPECT_FALSE(platform::fs::fileExists(savePath("slow.html")));

    // The watchdog's lines reach the file with the next status update.
    const std::string logFile = testsupport::readFile(savePath("downloads.log"));
    EXPECT_NE(logFile.find("*****File Skipped - Stalled on Download*****\r\nTimeout on " + url),
              std::string::npos);
    server.stop();
}

TEST_F(FetchScripted, StallBeforeAnyDataWritesOneStarLine) {
    ScriptedServer server;
    server.stall();
    ASSERT_TRUE(server.start());
    const std::string url = server.baseUrl() + "/silent.html";
    view.startURL = url;
    whileWaiting([this, &server] {
        if (!engine.iStartTime || server.connections() == 0) return false;
        clock.advance(21);
        return true;
    });

    engine.SetUpObjectLists();

    EXPECT_EQ(countLines("*****File Skipped - Stalled on Opening Connection*****"), 0);
    EXPECT_EQ(countLines("*****File Skipped - Stalled on Download*****"), 1);
    expectInOrder({"Timeout on " + url, "Error: Could not Download " + url});
    server.stop();
}

TEST_F(FetchScripted, WatchdogCountsAcrossMidnight) {
    ScriptedServer server;
    server.stall();
    ASSERT_TRUE(server.start());
    const std::string url = server.baseUrl() + "/late.html";
    view.startURL = url;
    clock.set(platform::kSecondsPerDay - 5);
    whileWaiting([this, &server] {
        if (!engine.iStartTime || server.connections() == 0) return false;
        clock.advance(21);  // 00:00:16 next day
        return true;
    });

    engine.SetUpObjectLists();

    EXPECT_EQ(countLines("*****File Skipped - Stalled on Download*****"), 1);
    EXPECT_TRUE(logHas("Timeout on " + url));
    server.stop();
}

TEST_F(FetchScripted, TwentySecondsOfSilenceAreNotAStall) {
    ScriptedServer server;
    server.send(okHeader(12)).waitForRelease().send("<html></html").close();
    ASSERT_TRUE(server.start());
    view.startURL = server.baseUrl() + "/patient.html";
    int ticksSeen = 0;
    whileWaiting([&] {
        if (!engine.iStartTime || server.stepsDone() < 1) return false;
        if (ticksSeen == 0) clock.advance(20);
        // Let the watchdog tick a few times at exactly 20 seconds, then go on.
        if (++ticksSeen < 20) return false;
        server.release();
        return true;
    });

    engine.SetUpObjectLists();

    EXPECT_EQ(countLines("*****File Skipped - Stalled on Download*****"), 0);
    EXPECT_TRUE(logHas("Saved " + view.startURL));
    server.stop();
}

TEST_F(FetchScripted, RelativeRedirectIsQueuedAndARedirectToItselfFailsAtOnce) {
    // Every request is answered with the same redirect, so the target
    // redirects to itself.
    ScriptedServer server;
    server.send("HTTP/1.0 302 Found\r\nLocation: /new/place.gif#top\r\nContent-Length: 0\r\n\r\n")
        .close();
    ASSERT_TRUE(server.start());
    const std::string start = server.baseUrl() + "/old/pic.gif";
    const std::string target = server.baseUrl() + "/new/place.gif";
    view.startURL = start;

    engine.SetUpObjectLists();

    expectInOrder({"Downloading Header " + start, "URL Redirected to: " + target,
                   "Downloading Header " + target, "URL Redirected to: " + target,
                   "Warning: Could not Download Header " + target, "Finished Downloading. "});
    EXPECT_EQ(server.connections(), 2) << "a URL that sends the client back is not asked again";
    EXPECT_EQ(list(engine.ErrorList), std::vector<std::string>{target});
    EXPECT_EQ(list(engine.ProcessedList), std::vector<std::string>{start});
    EXPECT_TRUE(engine.QueueList.empty());
    for (const auto& request : server.requests()) {
        EXPECT_EQ(request.rfind("HEAD ", 0), 0u) << request;
        EXPECT_NE(request.find("User-Agent: tectonix' dope fly downloader\r\n"), std::string::npos);
    }
}

TEST_F(FetchScripted, ChainOfEverNewRedirectsEndsAfterTwentyHops) {
    // A relative Location: every hop names a new URL one folder deeper.
    ScriptedServer server;
    server.send("HTTP/1.0 302 Found\r\nLocation: n/x.gif\r\nContent-Length: 0\r\n\r\n").close();
    ASSERT_TRUE(server.start());
    const std::string start = server.baseUrl() + "/x.gif";
    std::string last = start;
    for (int hop = 0; hop < engine.kMaxRedirects; ++hop) last.insert(last.size() - 5, "n/");
    view.startURL = start;

    engine.SetUpObjectLists();

    EXPECT_EQ(server.connections(), engine.kMaxRedirects + 1);
    EXPECT_EQ(list(engine.ErrorList), std::vector<std::string>{last});
    EXPECT_TRUE(logHas("Warning: Could not Download Header " + last));
    EXPECT_EQ(engine.ProcessedList.size(), static_cast<std::size_t>(engine.kMaxRedirects));
    EXPECT_TRUE(engine.QueueList.empty());
}

TEST_F(FetchScripted, OffSiteRedirectIsQueuedAndFetched) {
    ScriptedServer elsewhere;
    const std::string picture(3000, 'p');
    elsewhere
        .send("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: 3000\r\n\r\n" +
              picture)
        .close();
    ASSERT_TRUE(elsewhere.start());
    const std::string target = elsewhere.baseUrl() + "/far/away.gif";

    ScriptedServer server;
    server.send("HTTP/1.0 301 Moved\r\nLocation: " + target + "\r\n\r\n").close();
    ASSERT_TRUE(server.start());
    view.startURL = server.baseUrl() + "/here.gif";

    engine.SetUpObjectLists();

    expectInOrder({"URL Redirected to: " + target, "Saved " + target});
    EXPECT_EQ(testsupport::readFile(savePath("far/away.gif")), picture);
    EXPECT_EQ(engine.iTotalBytes, 3000);
    EXPECT_EQ(list(engine.SavedList), std::vector<std::string>{savePath("far/away.gif")});
    EXPECT_EQ(elsewhere.connections(), 2) << "a header, then the file";
}

// A page whose GET answers with a redirect: to its own address under the
// other scheme it is followed (a site moved to https answers every old link
// so); to any other address the page fails as before.
struct PageRedirectRow {
    const char* name;
    const char* location;  // "{port}" is the server's port
    bool followed;
};

void PrintTo(const PageRedirectRow& row, std::ostream* out) { *out << row.name; }

class FetchScriptedPageRedirect : public CrawlTest,
                                  public ::testing::WithParamInterface<PageRedirectRow> {};

TEST_P(FetchScriptedPageRedirect, OnlyAMoveToTheOtherSchemeIsFollowed) {
    const PageRedirectRow& row = GetParam();
    // A plain server: an https attempt at it stalls in its handshake and is
    // ended by the watchdog, which is enough to show it was made.
    ScriptedServer server;
    server
        .sendNamingPort("HTTP/1.0 301 Moved Permanently\r\nLocation: " + std::string(row.location) +
                        "\r\nContent-Length: 0\r\n\r\n")
        .close();
    ASSERT_TRUE(server.start());
    const std::string page = server.baseUrl() + "/docs/page.html";
    std::string target = row.location;
    target.replace(target.find("{port}"), 6, std::to_string(server.port()));
    view.startURL = page;
    whileWaiting([&] {
        if (!engine.iStartTime || server.connections() < 2) return false;
        clock.advance(21);
        return true;
    });

    engine.SetUpObjectLists();

    if (row.followed) {
        expectInOrder({"Downloading " + page, "URL Redirected to: " + target,
                       "Downloading " + target, "Timeout on " + target,
                       "Error: Could not Download " + target});
        EXPECT_EQ(server.connections(), 2);
        EXPECT_EQ(list(engine.ProcessedList), std::vector<std::string>{page});
        EXPECT_EQ(list(engine.ErrorList), std::vector<std::string>{target});
    } else {
        expectInOrder({"Downloading " + page, "Error: Could not Download " + page});
        EXPECT_FALSE(logHas("URL Redirected to: " + target));
        EXPECT_EQ(server.connections(), 1);
        EXPECT_EQ(list(engine.ErrorList), std::vector<std::string>{page});
    }
    EXPECT_TRUE(engine.QueueList.empty());
    EXPECT_EQ(server.requests().front().rfind("GET /docs/page.html ", 0), 0u)
        << server.requests().front();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FetchScriptedPageRedirect,
    ::testing::Values(
        PageRedirectRow{"ToHttpsOfItsOwnAddress", "https://127.0.0.1:{port}/docs/page.html", true},
        PageRedirectRow{"ToAnotherPathFails", "http://127.0.0.1:{port}/docs/other.html", false},
        PageRedirectRow{"ToHttpsOfAnotherPathFails", "https://127.0.0.1:{port}/docs/other.html",
                        false}),
    [](const ::testing::TestParamInfo<PageRedirectRow>& info) { return info.param.name; });

TEST_F(FetchScripted, TransferCutShortIsAFailureAndLeavesNoFile) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(400, 'x')).close();
    ASSERT_TRUE(server.start());
    // An image: a header first, then the file, which ends after 400 bytes.
    const std::string image = server.baseUrl() + "/cut.gif";
    view.startURL = image;

    engine.SetUpObjectLists();

    EXPECT_TRUE(logHas("Error: Couldn't download " + image));
    EXPECT_FALSE(platform::fs::fileExists(savePath("cut.gif")));
    EXPECT_EQ(engine.iTotalBytes, 0);
    EXPECT_TRUE(engine.SavedList.empty());
    EXPECT_EQ(list(engine.ErrorList), std::vector<std::string>{image});
}

TEST_F(FetchScripted, PageCutShortIsNotSaved) {
    ScriptedServer server;
    server.send(okHeader(1000) + "<html><body>only part").close();
    ASSERT_TRUE(server.start());
    const std::string page = server.baseUrl() + "/cut.html";
    view.startURL = page;

    engine.SetUpObjectLists();

    EXPECT_TRUE(logHas("Error: Could not Download " + page));
    EXPECT_FALSE(platform::fs::fileExists(savePath("cut.html")));
    EXPECT_TRUE(engine.MemoDownload.empty());
}

TEST_F(FetchScripted, PageLargerThanTheLimitFailsAndTheLoopGoesOn) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n")
        .send(std::string(static_cast<std::size_t>(engine.kMaxPageBytes) + 1, 'a'))
        .close();
    ASSERT_TRUE(server.start());
    const std::string page = server.baseUrl() + "/huge.html";
    view.startURL = page;

    engine.SetUpObjectLists();

    expectInOrder({"Error: Could not Download " + page, "Finished Downloading. "});
    EXPECT_TRUE(engine.MemoDownload.empty());
    EXPECT_FALSE(platform::fs::fileExists(savePath("huge.html")));
}

TEST_F(FetchScripted, PageIsSavedWithCrLfLineBreaksAndEveryByte) {
    const std::string body = std::string("<html>\nline\rnext\r\nnul:") + '\0' + "end";
    ScriptedServer server;
    server.send(okHeader(body.size()) + body).close();
    ASSERT_TRUE(server.start());
    view.startURL = server.baseUrl() + "/lines.html";

    engine.SetUpObjectLists();

    const std::string expected = std::string("<html>\r\nline\r\nnext\r\nnul:") + '\0' + "end";
    EXPECT_EQ(testsupport::readFile(savePath("lines.html")), expected);
    EXPECT_EQ(engine.iTotalBytes, static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(view.progress, 0) << "the loop's end resets the bar";
}

TEST_F(FetchScripted, StopDuringTransferKeepsThePageQueued) {
    ScriptedServer server;
    server.send(okHeader(30) + "<html><a href=\"b.html\">")
        .waitForRelease()
        .send("</a></html>")
        .close();
    ASSERT_TRUE(server.start());
    const std::string page = server.baseUrl() + "/a.html";
    view.startURL = page;
    whileWaiting([&] {
        if (!engine.iDataTime) return false;
        engine.btnStopClick();
        server.release();
        return true;
    });

    engine.SetUpObjectLists();

    EXPECT_EQ(boxTexts(),
              (std::vector<std::string>{"Please wait while the Harvex halts downloading...",
                                        "Downloads Halted!"}));
    EXPECT_TRUE(engine.bHalted);
    EXPECT_EQ(list(engine.QueueList), std::vector<std::string>{page});
    EXPECT_FALSE(logHas("Analysing " + page)) << "a stopped page is neither analysed nor saved";
    EXPECT_FALSE(platform::fs::fileExists(savePath("a.html")));
    EXPECT_TRUE(view.progressAnimationStopped);
    EXPECT_TRUE(view.finishedControlsShown);
    EXPECT_TRUE(view.logReadOnly);
    expectInOrder({"Finished Downloading. ", "", "Download Summary:", "",
                   "Total Files Downloaded: 0", "Total Size of Downloaded Files: 0 bytes.",
                   "All downloaded files are stored in or under " + saveDir(), ""});
    // The summary never reaches the file.
    const std::string logFile = testsupport::readFile(savePath("downloads.log"));
    EXPECT_EQ(logFile.find("Download Summary:"), std::string::npos);
    EXPECT_NE(logFile.rfind("Finished Downloading. \r\n"), std::string::npos);
    EXPECT_EQ(logFile.size(), logFile.rfind("Finished Downloading. \r\n") + 24);
    EXPECT_TRUE(engine.FormClose());
    EXPECT_TRUE(engine.QueueList.empty());
}

TEST_F(FetchScripted, NoSecondFetchStartsWhileOneWaits) {
    ScriptedServer server;
    server.send(okHeader(6) + "<html>").waitForRelease().close();
    ASSERT_TRUE(server.start());
    view.startURL = server.baseUrl() + "/one.html";
    bool nestedResult = true;
    bool cancelAllowedClose = true;
    whileWaiting([&] {
        if (!engine.iDataTime) return false;
        nestedResult = engine.DownloadText(server.baseUrl() + "/two.html");
        cancelAllowedClose = engine.CancelJob();
        server.release();
        return true;
    });

    engine.SetUpObjectLists();

    EXPECT_FALSE(nestedResult);
    EXPECT_FALSE(cancelAllowedClose) << "a transfer was running";
    EXPECT_EQ(server.connections(), 1);
    EXPECT_TRUE(engine.bStop);
    EXPECT_TRUE(engine.CancelJob()) << "nothing runs any more";
}

// A URL whose ".." segments climb above the save directory is fetched but
// written nowhere; one whose ".." stays inside is saved as usual.
TEST_F(FetchScripted, DotDotSegmentsNeverLeaveTheSaveDirectory) {
    const std::string page = "<html><body>escape</body></html>";
    ScriptedServer server;
    server.send(okHeader(page.size()) + page).close();
    ASSERT_TRUE(server.start());
    const std::string escaping = server.baseUrl() + "/../../escape.html";
    view.startURL = escaping;

    engine.SetUpObjectLists();

    EXPECT_TRUE(logHas("Analysing " + escaping)) << "the page is still scanned";
    EXPECT_TRUE(logHas("Error: Could not Save File " + escaping));
    EXPECT_FALSE(platform::fs::fileExists(tmp.path().toStdString() + "/escape.html"));
    EXPECT_FALSE(platform::fs::fileExists(tmp.path().toStdString() + "/out/escape.html"));
    EXPECT_TRUE(engine.SavedList.empty());
}

TEST_F(FetchScripted, EscapingFileFailsAfterItsHeaderWithoutItsBody) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nGIF8").close();
    ASSERT_TRUE(server.start());
    const std::string escaping = server.baseUrl() + "/a/../../../evil.gif";
    view.startURL = escaping;

    engine.SetUpObjectLists();

    EXPECT_TRUE(logHas("Error: Couldn't download " + escaping));
    EXPECT_EQ(list(engine.ErrorList), std::vector<std::string>{escaping});
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].rfind("HEAD ", 0), 0u);
    EXPECT_FALSE(platform::fs::fileExists(tmp.path().toStdString() + "/evil.gif"));
}

TEST_F(FetchScripted, DotDotSegmentsThatStayInsideAreSaved) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nGIF8").close();
    ASSERT_TRUE(server.start());
    const std::string inside = server.baseUrl() + "/a/b/../c.gif";
    view.startURL = inside;

    engine.SetUpObjectLists();

    EXPECT_TRUE(logHas("Saved " + inside));
    EXPECT_EQ(testsupport::readFile(savePath("a/c.gif")), "GIF8");
}

TEST_F(FetchScripted, NotFoundFailsEveryPrimitive) {
    ScriptedServer server;
    server.send("HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found").close();
    ASSERT_TRUE(server.start());
    const std::string url = server.baseUrl() + "/gone.gif";
    const std::string local = savePath("gone.gif");
    ASSERT_TRUE(platform::fs::createDirectories(saveDir()));

    EXPECT_FALSE(engine.DownloadHeader(url));
    EXPECT_FALSE(engine.DownloadText(url));
    EXPECT_FALSE(engine.DloadOtherFile(url, local));
    EXPECT_FALSE(platform::fs::fileExists(local)) << "an error page is not kept as the file";
    EXPECT_TRUE(engine.MemoDownload.empty()) << "a file fetch leaves the page buffer empty";
}

TEST_F(FetchScripted, DirectoryThatCannotBeCreatedIsNamedInTheStatusLine) {
    ScriptedServer server;
    server.send("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nGIF8").close();
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(platform::fs::createDirectories(saveDir()));
    testsupport::writeFile(savePath("blocked"), "a file where a folder should be");
    const std::string image = server.baseUrl() + "/blocked/x.gif";
    view.startURL = image;

    engine.SetUpObjectLists();

    EXPECT_TRUE(logHas("Couldn't Create Directory: " + savePath("blocked")));
    EXPECT_EQ(list(engine.ErrorList), std::vector<std::string>{image});
    EXPECT_EQ(server.connections(), 1) << "no file request follows";
}
