// Fetches that fail without a stall, and the watchdog around every fetch: a
// refused connection and an unknown host end at once with their reason; a
// transfer that starts at midnight is watched; a fetch that raises leaves the
// watchdog clear; each fetch sets the component's modes itself.
#include <gtest/gtest.h>

#include <QDir>
#include <functional>
#include <string>

#include "engine/WebURL.h"
#include "http/Webcache.h"
#include "platform/FileSystem.h"
#include "tests/engine/CrawlFixture.h"
#include "tests/support/Peers.h"
#include "tests/support/ScriptedServer.h"

using testsupport::ScriptedServer;

namespace {

constexpr const char* kStalledOnDownload = "*****File Skipped - Stalled on Download*****";
constexpr const char* kStalledOnConnection =
    "*****File Skipped - Stalled on Opening Connection*****";

std::string okHeader(std::size_t length) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
           std::to_string(length) + "\r\n\r\n";
}

class FetchFailures : public CrawlTest {
protected:
    // Event-loop turns (of about 2 ms each) a fetch may take before the test
    // gives up on it: far longer than a refusal takes on loopback.
    static constexpr int kPatienceTurns = 2500;

    // Watches every fetch of the job. Once jumpWhen holds, the clock moves
    // on by jumpSeconds (once). Every fetch still waiting after
    // kPatienceTurns is cancelled and gaveUp is set, so a fault ends the test
    // instead of hanging it. The clock never moves otherwise.
    void watchFetches(std::function<bool()> jumpWhen = {}, int jumpSeconds = 0) {
        whileWaiting([this, jumpWhen = std::move(jumpWhen), jumpSeconds] {
            if (!engine.Fetching()) {
                turns = 0;
                return false;
            }
            if (jumpWhen && !jumped && jumpWhen()) {
                clock.advance(jumpSeconds);
                jumped = true;
            }
            if (++turns < kPatienceTurns) return false;
            gaveUp = true;
            turns = 0;
            engine.Web1.Cancel();
            return false;  // and keeps watching the fetches that follow
        });
    }

    // The pane line after the first line equal to line, or "(none)".
    std::string lineAfter(const std::string& line) const {
        for (std::size_t i = 0; i + 1 < view.logLines.size(); ++i)
            if (view.logLines[i] == line) return view.logLines[i + 1];
        return "(none)";
    }

    // The pane up to the last status update, as the log file must hold it.
    std::string paneUpTo(const std::string& lastLine) const {
        std::string text;
        for (const auto& line : view.logLines) {
            text += line + "\r\n";
            if (line == lastLine) break;
        }
        return text;
    }

    int turns = 0;
    bool jumped = false;
    bool gaveUp = false;
};

// --- A refused connection or an unknown host fails at once ---

enum class Peer { RefusingPort, UnknownHost };

struct FailureCase {
    const char* name;
    Peer peer;
    const char* path;
    const char* phrase;  // the failed fetch's own phrase
    const char* reason;  // the line after it
};

class FailsAtOnce : public FetchFailures, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailsAtOnce, WithItsReasonAndWithoutTheWatchdog) {
    const FailureCase& c = GetParam();
    // ".invalid" is never looked up (RFC 6761): no query leaves the machine.
    const std::string host = c.peer == Peer::RefusingPort
                                 ? "http://127.0.0.1:" + std::to_string(testsupport::freeTcpPort())
                                 : std::string("http://nosuch.invalid");
    const std::string url = host + c.path;
    view.startURL = url;
    const int startOfJob = clock.secondsSinceMidnight();
    watchFetches();

    engine.SetUpObjectLists();

    EXPECT_FALSE(gaveUp) << "the fetch waited for something that never came";
    EXPECT_EQ(clock.secondsSinceMidnight(), startOfJob) << "no second passed on the job's clock";
    const std::string status = std::string(c.phrase) + " " + url;
    expectInOrder({"Preparing to process " + url, status, "Finished Downloading. "});
    EXPECT_EQ(lineAfter(status), c.reason);
    EXPECT_EQ(countLines(c.reason), 1);
    EXPECT_FALSE(logHas("Timeout on " + url));
    EXPECT_EQ(countLines(kStalledOnDownload), 0);
    EXPECT_EQ(list(engine.ErrorList), std::vector<std::string>{url});
    EXPECT_EQ(engine.FetchFailureReason(), std::string(c.reason).substr(4));
    // The reason travels into the log file with its status line.
    EXPECT_EQ(testsupport::readFile(savePath("downloads.log")), paneUpTo("Finished Downloading. "));
}

INSTANTIATE_TEST_SUITE_P(
    ConnectionAndLookup, FailsAtOnce,
    ::testing::Values(FailureCase{"RefusedPage", Peer::RefusingPort, "/nobody.html",
                                  "Error: Could not Download", "    [10061] Connection refused"},
                      FailureCase{"RefusedImage", Peer::RefusingPort, "/nobody.gif",
                                  "Warning: Could not Download Header",
                                  "    [10061] Connection refused"},
                      FailureCase{"UnknownHostPage", Peer::UnknownHost, "/page.html",
                                  "Error: Could not Download", "    [11001] Host not found"},
                      FailureCase{"UnknownHostImage", Peer::UnknownHost, "/pic.gif",
                                  "Warning: Could not Download Header",
                                  "    [11001] Host not found"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(FetchFailures, ResetMidPageFailsAtOnceWithItsReason) {
    ScriptedServer server;
    // No Content-Length: only the reset tells that the page is incomplete.
    server.send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>half").reset();
    ASSERT_TRUE(server.start());
    const std::string url = server.baseUrl() + "/reset.html";
    view.startURL = url;
    watchFetches();

    engine.SetUpObjectLists();

    EXPECT_FALSE(gaveUp);
    EXPECT_EQ(lineAfter("Error: Could not Download " + url),
              "    [10054] Connection reset by peer");
    EXPECT_FALSE(platform::fs::fileExists(savePath("reset.html")));
    EXPECT_TRUE(engine.SavedList.empty());
}

TEST_F(FetchFailures, SuccessfulFetchHasNoReasonLine) {
    const std::string body = "<html>fine</html>";
    ScriptedServer server;
    server.send(okHeader(body.size()) + body).close();
    ASSERT_TRUE(server.start());
    const std::string url = server.baseUrl() + "/fine.html";
    view.startURL = url;

    engine.SetUpObjectLists();

    EXPECT_EQ(lineAfter("Saved " + url), "Finished Downloading. ");
    EXPECT_TRUE(engine.FetchFailureReason().empty());
    for (const auto& line : view.logLines) EXPECT_NE(line.rfind("    [", 0), 0u) << line;
}

// --- "No transfer" is not the time 0 ---

struct MidnightCase {
    const char* name;
    bool dataFirst;  // a first block arrives (at 00:00:00) before the silence
};

class MidnightStall : public FetchFailures, public ::testing::WithParamInterface<MidnightCase> {};

TEST_P(MidnightStall, TransferStartingAtMidnightIsAbandoned) {
    const MidnightCase& c = GetParam();
    ScriptedServer server;
    if (c.dataFirst) server.send(okHeader(5000) + "<html>first part");
    server.stall();
    ASSERT_TRUE(server.start());
    const std::string url = server.baseUrl() + "/midnight.html";
    view.startURL = url;
    clock.set(0);
    bool startedAtZero = false;
    watchFetches(
        [&] {
            const bool ready = c.dataFirst ? engine.iDataTime.has_value()
                                           : engine.iStartTime && server.connections() > 0;
            if (ready) startedAtZero = engine.iStartTime == 0;
            return ready;
        },
        engine.kStallSeconds + 1);

    engine.SetUpObjectLists();

    EXPECT_FALSE(gaveUp) << "a transfer that began at second 0 was never watched";
    EXPECT_TRUE(startedAtZero);
    EXPECT_EQ(countLines(kStalledOnDownload), 1);
    EXPECT_EQ(countLines(kStalledOnConnection), c.dataFirst ? 1 : 0);
    expectInOrder({"Timeout on " + url, "Error: Could not Download " + url});
    server.stop();
}

INSTANTIATE_TEST_SUITE_P(Watchdog, MidnightStall,
                         ::testing::Values(MidnightCase{"NothingArrives", false},
                                           MidnightCase{"DataThenSilence", true}),
                         [](const ::testing::TestParamInfo<MidnightCase>& info) {
                             return info.param.name;
                         });

// --- Every fetch starts and ends with the watchdog cleared ---

TEST_F(FetchFailures, FetchThatRaisesLeavesTheWatchdogClear) {
    const std::string body = "<html>next</html>";
    ScriptedServer server;
    server.send(okHeader(body.size()) + body).close();
    ASSERT_TRUE(server.start());
    // A document cache whose folder is gone: the component cannot create the
    // cache file and raises from Retrieve, after the transfer's start time
    // was taken.
    http::TWebCache cache;
    cache.setCachePath(tmp.path().toStdString() + "/no-such-folder");
    engine.Web1.setCacheControl(&cache);

    EXPECT_FALSE(engine.DownloadText(server.baseUrl() + "/first.html"));
    engine.Web1.setCacheControl(nullptr);
    EXPECT_FALSE(engine.iStartTime.has_value());
    EXPECT_FALSE(engine.iDataTime.has_value());
    EXPECT_EQ(server.connections(), 0) << "the fetch ended inside Retrieve";

    clock.advance(60);
    engine.Timer1Timer();
    EXPECT_EQ(countLines(kStalledOnDownload), 0) << "no transfer runs, none is abandoned";
    EXPECT_FALSE(engine.bTimedOut);

    // A flag left set while no fetch ran (a tick during an open box) does not
    // fail the next good fetch.
    engine.bTimedOut = true;
    EXPECT_TRUE(engine.DownloadText(server.baseUrl() + "/next.html"));
    EXPECT_EQ(engine.MemoDownload, body);
    EXPECT_FALSE(logHas("Timeout on " + server.baseUrl() + "/next.html"));
    EXPECT_FALSE(engine.bTimedOut);
    EXPECT_FALSE(engine.iStartTime.has_value());
}

TEST_F(FetchFailures, BoxAnsweredDuringATransferRestartsOnlyTheTimesThatAreSet) {
    engine.iStartTime = 100;
    clock.set(500);
    engine.RestartStallClock();
    EXPECT_EQ(engine.iStartTime, 500);
    EXPECT_FALSE(engine.iDataTime.has_value()) << "no data came; none is invented";
}

// --- Each saved file counted once ---

TEST_F(FetchFailures, OneLocalCopyWrittenTwiceCountsOnceAtItsLatestSize) {
    // Two URLs whose copies share a path (hosts are not part of local paths).
    engine.CreateObjectLists();
    const std::string path = savePath("shared.gif");
    ASSERT_TRUE(platform::fs::createDirectories(saveDir()));
    testsupport::writeFile(path, std::string(100, 'a'));
    engine.RecordSavedFile(path, 100);
    testsupport::writeFile(path, std::string(40, 'b'));
    engine.RecordSavedFile(path, 40);
    testsupport::writeFile(savePath("other.gif"), std::string(7, 'c'));
    engine.RecordSavedFile(savePath("other.gif"), 7);

    EXPECT_EQ(list(engine.SavedList), (std::vector<std::string>{path, savePath("other.gif")}));
    EXPECT_EQ(engine.iTotalBytes, 47);

    // A new job's lists start the count afresh.
    engine.iTotalBytes = 0;
    engine.CreateObjectLists();
    engine.RecordSavedFile(path, 40);
    EXPECT_EQ(engine.SavedList.size(), 1u);
    EXPECT_EQ(engine.iTotalBytes, 40);
}

// --- Web URLs only, each fetch with its own modes ---

TEST_F(FetchFailures, OtherSchemesAreNeverHandedToTheComponent) {
    const std::string before = QDir::currentPath().toStdString();
    // Handed to the component, a folder listing would never end as a fetch.
    watchFetches();
    for (const std::string url : {"file:///", "ftp://127.0.0.1/a.gif", "mailto:someone@example"}) {
        EXPECT_FALSE(engine::IsWebURL(url)) << url;
        EXPECT_FALSE(engine.DownloadText(url)) << url;
        EXPECT_FALSE(engine.DownloadHeader(url)) << url;
    }
    EXPECT_TRUE(engine::IsWebURL("http://h.test/"));
    EXPECT_TRUE(engine::IsWebURL("HTTP://h.test/a.html"));
    EXPECT_FALSE(engine::IsWebURL("http://"));
    EXPECT_FALSE(gaveUp);
    EXPECT_EQ(QDir::currentPath().toStdString(), before);
    EXPECT_EQ(engine.Web1.URL(), "") << "the component was never given such a URL";
}

TEST_F(FetchFailures, EachFetchSetsTheModesItNeeds) {
    const std::string body = "<html>streamed</html>";
    ScriptedServer server;
    server.send(okHeader(body.size()) + body).close();
    ASSERT_TRUE(server.start());
    view.startURL = server.baseUrl() + "/streamed.html";
    // Modes left behind by someone else: request hand-out, buffer in a file
    // without a name.
    engine.Web1.setRequestMode(http::mdRequest);
    engine.Web1.setStreamMode(http::smFile);

    engine.SetUpObjectLists();

    EXPECT_TRUE(logHas("Saved " + view.startURL));
    EXPECT_EQ(testsupport::readFile(savePath("streamed.html")), body);
    EXPECT_EQ(engine.Web1.RequestMode(), http::mdStreaming);
    EXPECT_EQ(engine.Web1.StreamMode(), http::smMemory);
}

}  // namespace
