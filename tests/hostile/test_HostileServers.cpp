// Hostile servers and pages against the whole engine: each case serves a
// small site whose start page links to a good page and to one hostile URL. The
// hostile URL must fail (or be saved) as the engine's rules say, the crawl must
// go on to the good page, the job must end with its summary, and nothing may be
// written outside the save directory.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <string>

#include "tests/hostile/CrawlHarness.h"
#include "tests/support/Peers.h"

using hostile::Crawl;
using hostile::HostileSite;

namespace {

const std::string kGoodBody = "<html><body>good</body></html>";

std::string link(const std::string& href) { return "<a href=\"" + href + "\">x</a>\n"; }

// The start page links the good page first: the queue is worked last in first
// out, so the hostile URL is fetched first and the good page after it.
void serveSite(HostileSite& site, const std::string& hostileHref) {
    site.at("/site/index.html").page(link("good.html") + link(hostileHref));
    site.at("/site/good.html").page(kGoodBody);
}

// What every case checks: the job ended normally after the hostile URL, the
// good page was saved, and nothing left the save directory.
void expectCrawlWentOn(const Crawl& c) {
    EXPECT_EQ(c.view.plain.loopFinishedCalls, 1);
    EXPECT_TRUE(c.logged("Finished Downloading.", ""));
    EXPECT_TRUE(c.logged("Saved", c.url("/site/good.html")));
    EXPECT_EQ(testsupport::readFile(c.saveDir() + "site/good.html"), kGoodBody);
    EXPECT_TRUE(c.filesOutsideSaveDir().empty())
        << "written outside: " << c.filesOutsideSaveDir().front();
}

std::string header200(const std::string& extra = {}) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n" + extra + "\r\n";
}

}  // namespace

// --- The header ---

TEST(HostileHeader, HeaderThatNeverEndsIsAbandonedByTheWatchdog) {
    Crawl c;
    serveSite(c.site, "bad.html");
    c.site.at("/site/bad.html")
        .send("HTTP/1.0 200 OK\r\n")
        .sendRepeated("X-Filler: abcdefghijklmnopqrstuvwxyz\r\n", 100000)
        .stall();
    ASSERT_TRUE(c.run("/site/index.html"));
    EXPECT_TRUE(c.loggedAnywhere("*****File Skipped - Stalled on Download*****"));
    EXPECT_TRUE(c.logged("Timeout on", c.url("/site/bad.html")));
    EXPECT_TRUE(c.logged("Error: Could not Download", c.url("/site/bad.html")));
    EXPECT_TRUE(c.inList(c.engine->ErrorList, c.url("/site/bad.html")));
    expectCrawlWentOn(c);
}

TEST(HostileHeader, TenMegabyteHeaderLineIsCutAndTheAnswerStillRead) {
    Crawl c;
    serveSite(c.site, "long.html");
    c.site.at("/site/long.html")
        .send("HTTP/1.0 200 OK\r\nX-Long: ")
        .sendRepeated(std::string(1024 * 1024, 'a'), 10)
        .send("\r\nContent-Length: 5\r\n\r\nhello")
        .close();
    ASSERT_TRUE(c.run("/site/index.html"));
    EXPECT_TRUE(c.logged("Saved", c.url("/site/long.html")));
    EXPECT_EQ(testsupport::readFile(c.saveDir() + "site/long.html"), "hello");
    expectCrawlWentOn(c);
}

TEST(HostileHeader, TenThousandHeaderLinesAreBoundedAndTheBodyStillArrives) {
    Crawl c;
    serveSite(c.site, "many.html");
    std::string lines;
    for (int i = 0; i < 10000; ++i) lines += "X-Line-" + std::to_string(i) + ": v\r\n";
    c.site.at("/site/many.html").send("HTTP/1.0 200 OK\r\n" + lines + "\r\nhello").close();
    ASSERT_TRUE(c.run("/site/index.html"));
    EXPECT_TRUE(c.logged("Saved", c.url("/site/many.html")));
    EXPECT_EQ(testsupport::readFile(c.saveDir() + "site/many.html"), "hello");
    expectCrawlWentOn(c);
}

// --- The page ---

TEST(HostilePage, PageThatNeverEndsFailsAtTheMemoryBound) {
    Crawl c;
    serveSite(c.site, "endless.html");
    // Far more than the bound, and no stall: only the bound can end it.
    c.site.at("/site/endless.html")
        .send(header200())
        .sendRepeated(std::string(1024 * 1024, 'p'), 1024)
        .close();
    ASSERT_TRUE(c.run("/site/index.html", 240000));
    EXPECT_TRUE(c.logged("Error: Could not Download", c.url("/site/endless.html")));
    EXPECT_FALSE(c.logged("Timeout on", c.url("/site/endless.html")));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(c.saveDir() + "site/endless.html")));
    expectCrawlWentOn(c);
}

TEST(HostilePage, TwoHundredThousandLinksAreAnalysedAndOnlyNewInScopeOnesQueued) {
    Crawl c;
    std::string page;
    page.reserve(200000 * 48);
    for (int i = 0; i < 100000; ++i)
        page += "<a href=\"http://elsewhere.invalid/" + std::to_string(i) + ".html\">";
    for (int i = 0; i < 99999; ++i) page += "<a href=\"good.html\">";
    page += "<a href=\"good.html\">";
    c.site.at("/site/index.html").page(page);
    c.site.at("/site/good.html").page(kGoodBody);
    ASSERT_TRUE(c.run("/site/index.html"));
    EXPECT_TRUE(c.logged("Saved", c.url("/site/index.html")));
    // The start page and good.html only: every other link is off the site or
    // a duplicate.
    EXPECT_EQ(c.site.targets(), (std::vector<std::string>{"/site/index.html", "/site/good.html"}));
    expectCrawlWentOn(c);
}

TEST(HostilePage, HundredKilobyteUrlIsRequestedAndFailsToSave) {
    Crawl c;
    const std::string name = std::string(100 * 1024, 'n') + ".html";
    serveSite(c.site, name);
    c.site.at("/site/" + name).page("long name");
    ASSERT_TRUE(c.run("/site/index.html"));
    ASSERT_EQ(c.site.requestsFor("/site/" + name), 1);
    // No file system takes a name of 100 KB.
    EXPECT_TRUE(c.logged("Error: Could not Save File", c.url("/site/" + name)));
    EXPECT_TRUE(c.inList(c.engine->ErrorList, c.url("/site/" + name)));
    expectCrawlWentOn(c);
}

TEST(HostilePage, NulBytesAndInvalidUtf8AreKeptAndLinksAfterThemFound) {
    Crawl c;
    static constexpr char kStrange[] = "<p>\xff\xfe\xc3\x28 \0\0 tail\0";
    const std::string body = std::string(kStrange, sizeof kStrange - 1) + link("good.html");
    c.site.at("/site/index.html").page(body);
    c.site.at("/site/good.html").page(kGoodBody);
    ASSERT_TRUE(c.run("/site/index.html"));
    EXPECT_TRUE(c.logged("Saved", c.url("/site/index.html")));
    // The page's own bytes, with its line break written as CR LF.
    std::string expected = body;
    expected.replace(expected.size() - 1, 1, "\r\n");
    EXPECT_EQ(testsupport::readFile(c.saveDir() + "site/index.html"), expected);
    expectCrawlWentOn(c);
}

// --- The body ---

TEST(HostileBody, PageCutShortOfItsContentLengthFailsAndIsNotSaved) {
    Crawl c;
    serveSite(c.site, "short.html");
    c.site.at("/site/short.html").send(header200("Content-Length: 1000\r\n") + "only this").close();
    ASSERT_TRUE(c.run("/site/index.html"));
    EXPECT_TRUE(c.logged("Error: Could not Download", c.url("/site/short.html")));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(c.saveDir() + "site/short.html")));
    expectCrawlWentOn(c);
}

TEST(HostileBody, FileCutShortOfItsContentLengthFailsAndLeavesNoPartialFile) {
    Crawl c;
    serveSite(c.site, "cut.gif");
    c.site.at("HEAD", "/site/cut.gif")
        .send("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: 5000\r\n\r\n")
        .close();
    c.site.at("GET", "/site/cut.gif")
        .send("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: 5000\r\n\r\n" +
              std::string(1000, 'g'))
        .close();
    ASSERT_TRUE(c.run("/site/index.html"));
    EXPECT_TRUE(c.logged("Error: Couldn't download", c.url("/site/cut.gif")));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(c.saveDir() + "site/cut.gif")));
    EXPECT_EQ(c.engine->SavedList.IndexOf(c.saveDir() + "site/cut.gif"), -1);
    expectCrawlWentOn(c);
    // Only the two pages count.
    EXPECT_EQ(
        c.engine->iTotalBytes,
        static_cast<std::int64_t>(testsupport::readFile(c.saveDir() + "site/index.html").size() +
                                  kGoodBody.size()));
}

TEST(HostileBody, ConnectionResetMidBodyFailsAtOnceWithItsReason) {
    Crawl c;
    serveSite(c.site, "reset.html");
    c.site.at("/site/reset.html")
        .send(header200("Content-Length: 100000\r\n") + std::string(20000, 'r'))
        .reset();
    // A reset ends the retrieval at once: the clock never moves, so a crawl
    // that waited for the watchdog would hang and the guard would end it.
    ASSERT_TRUE(c.run("/site/index.html"));
    EXPECT_FALSE(c.loggedAnywhere("*****File Skipped"));
    EXPECT_FALSE(c.logged("Timeout on", c.url("/site/reset.html")));
    EXPECT_TRUE(c.logged("Error: Could not Download", c.url("/site/reset.html")));
    EXPECT_TRUE(c.logged("   ", "[10054] Connection reset by peer"));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(c.saveDir() + "site/reset.html")));
    expectCrawlWentOn(c);
}

TEST(HostileBody, ServerThatAnswersNothingAndClosesFails) {
    Crawl c;
    serveSite(c.site, "nothing.html");
    c.site.at("/site/nothing.html").close();
    ASSERT_TRUE(c.run("/site/index.html"));
    EXPECT_TRUE(c.logged("Error: Could not Download", c.url("/site/nothing.html")));
    expectCrawlWentOn(c);
}

// --- Redirects ---

TEST(HostileRedirect, UrlRedirectingToItselfFailsWithoutASecondRequest) {
    Crawl c;
    serveSite(c.site, "self.gif");
    c.site.at("/site/self.gif")
        .send("HTTP/1.0 302 Found\r\nLocation: /site/self.gif\r\n\r\n")
        .close();
    ASSERT_TRUE(c.run("/site/index.html"));
    // A URL that sends the client back to itself is not asked again.
    EXPECT_EQ(c.site.requestsFor("/site/self.gif"), 1);
    EXPECT_TRUE(c.logged("Warning: Could not Download Header", c.url("/site/self.gif")));
    EXPECT_TRUE(c.inList(c.engine->ErrorList, c.url("/site/self.gif")));
    expectCrawlWentOn(c);
}

TEST(HostileRedirect, TwoUrlsRedirectingToEachOtherAreEachAskedOnce) {
    Crawl c;
    serveSite(c.site, "a.gif");
    c.site.at("/site/a.gif").send("HTTP/1.0 301 Moved\r\nLocation: /site/b.gif\r\n\r\n").close();
    c.site.at("/site/b.gif").send("HTTP/1.0 302 Found\r\nLocation: /site/a.gif\r\n\r\n").close();
    ASSERT_TRUE(c.run("/site/index.html"));
    // b.gif leads back to a.gif, which is done: neither is asked twice.
    EXPECT_EQ(c.site.requestsFor("/site/a.gif"), 1);
    EXPECT_EQ(c.site.requestsFor("/site/b.gif"), 1);
    expectCrawlWentOn(c);
}

// --- Paths that try to leave the save directory ---

TEST(HostilePaths, LinksWithDotDotBackslashAndControlsStayInsideTheSaveDirectory) {
    Crawl c;
    ASSERT_TRUE(c.site.start());  // the port goes into the absolute links
    const std::string climb = "../../../../../../../../../../";
    std::string page = link("good.html");
    page += link(c.site.baseUrl() + "/site/" + climb + "tmp/escaped-page.html");
    page += link(c.site.baseUrl() + "/site/" + climb + "tmp/escaped-image.gif");
    page += link("..\\..\\..\\..\\..\\..\\..\\..\\backslash.html");
    page += link("sub\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\backslash2.html");
    page += link("ctl\x01\x02\x7f.html");
    page += link("/site/tab\there.html");
    c.site.at("/site/index.html").page(page);
    c.site.at("/site/good.html").page(kGoodBody);
    // Every other path is answered as if it existed.
    c.site.otherwise().page("escaped");
    ASSERT_TRUE(c.run("/site/index.html"));
    expectCrawlWentOn(c);
    // An absolute link keeps its climb: the page is fetched and scanned but
    // not written, the image fails after its header without its body.
    const std::string escaped = c.url("/site/" + climb + "tmp/escaped-");
    EXPECT_TRUE(c.logged("Error: Could not Save File", escaped + "page.html"));
    EXPECT_TRUE(c.logged("Error: Couldn't download", escaped + "image.gif"));
    EXPECT_EQ(c.site.requestsFor("/site/" + climb + "tmp/escaped-image.gif"), 1);
    // Relative climbs are resolved or dropped by link analysis; control
    // characters travel percent-encoded and the file keeps its odd name.
    for (const std::string& target : c.site.targets()) {
        EXPECT_EQ(target.find('\\'), std::string::npos) << target;
    }
    EXPECT_EQ(c.site.requestsFor("/site/ctl%01%02%7F.html"), 1);
    EXPECT_EQ(testsupport::readFile(c.saveDir() + "site/ctl\x01\x02\x7f.html"), "escaped");
    EXPECT_FALSE(QFileInfo::exists("/tmp/escaped-page.html"));
    EXPECT_FALSE(QFileInfo::exists("/tmp/escaped-image.gif"));
}

TEST(HostilePaths, LocationHeadersThatClimbOrCarryControlsStayInsideTheSaveDirectory) {
    Crawl c;
    ASSERT_TRUE(c.site.start());  // the port goes into a Location
    const std::string climb = "../../../../../../../../../../";
    std::string page = link("good.html");
    for (int i = 0; i < 4; ++i) page += link("r" + std::to_string(i) + ".gif");
    c.site.at("/site/index.html").page(page);
    c.site.at("/site/good.html").page(kGoodBody);
    c.site.at("/site/r0.gif")
        .send("HTTP/1.0 302 Found\r\nLocation: " + c.site.baseUrl() + "/site/" + climb +
              "tmp/escaped-r0.gif\r\n\r\n")
        .close();
    c.site.at("/site/r1.gif")
        .send("HTTP/1.0 302 Found\r\nLocation: /" + climb + "tmp/escaped-r1.gif\r\n\r\n")
        .close();
    c.site.at("/site/r2.gif")
        .send("HTTP/1.0 302 Found\r\nLocation: ..\\..\\..\\..\\..\\..\\escaped-r2.gif\r\n\r\n")
        .close();
    c.site.at("/site/r3.gif")
        .send("HTTP/1.0 302 Found\r\nLocation: /site/\x01\x02\x1b[2Jr3\x7f.gif\r\n\r\n")
        .close();
    c.site.otherwise()
        .send("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: 3\r\n\r\nGIF")
        .close();
    ASSERT_TRUE(c.run("/site/index.html"));
    EXPECT_TRUE(
        c.logged("URL Redirected to:", c.site.baseUrl() + "/site/" + climb + "tmp/escaped-r0.gif"));
    EXPECT_TRUE(c.logged("Error: Couldn't download",
                         c.site.baseUrl() + "/site/" + climb + "tmp/escaped-r0.gif"));
    expectCrawlWentOn(c);
    for (const char* p : {"/tmp/escaped-r0.gif", "/tmp/escaped-r1.gif", "/escaped-r2.gif"})
        EXPECT_FALSE(QFileInfo::exists(p)) << p;
}

TEST(HostilePaths, LineBreaksInLinksAndLocationsNeverSplitARequest) {
    Crawl c;
    std::string page = link("good.html");
    page += "<a href=\"inj\r\nX-Injected:yes\r\n\r\n.html\">x</a>\n";
    page += "<a href=\"inj2\rX-Injected:yes\r.html\">x</a>\n";
    page += link("moved.gif");
    c.site.at("/site/index.html").page(page);
    c.site.at("/site/good.html").page(kGoodBody);
    c.site.at("/site/moved.gif")
        .send("HTTP/1.0 302 Found\r\nLocation: /site/x\rX-Injected:yes.gif\r\n\r\n")
        .close();
    c.site.otherwise().page("any");
    ASSERT_TRUE(c.run("/site/index.html"));
    expectCrawlWentOn(c);
    // Every request is one request line ending in the protocol, and the page's
    // text never becomes a header line of its own.
    for (const std::string& request : c.site.requests()) {
        const std::size_t end = request.find("\r\n");
        ASSERT_NE(end, std::string::npos) << request;
        const std::string line = request.substr(0, end);
        EXPECT_EQ(line.substr(line.size() - 9), " HTTP/1.0") << line;
        EXPECT_EQ(line.find('\r'), std::string::npos) << line;
        EXPECT_EQ(request.find("\nX-Injected"), std::string::npos) << request;
    }
}
