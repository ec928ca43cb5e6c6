#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "testing/EngineUnderTest.h"
#include "testing/PlainJobView.h"
#include "engine/wsmain.h"
#include "platform/Clock.h"
#include "testing/ManualClock.h"

using namespace engine;

namespace {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        view.saveDirectory = tmp.path().toStdString() + "/site/";
        view.startURL = "http://host.test/docs/";
        engine.SetContentLengthSource([this] { return contentLength; });
        engine.BuildRulesFromPage3();
    }

    std::vector<std::string> queue() const {
        return {engine.QueueList.begin(), engine.QueueList.end()};
    }
    std::vector<std::string> errors() const {
        return {engine.ErrorList.begin(), engine.ErrorList.end()};
    }

    // Scans a page at pageURL and queues its links.
    void analyse(const std::string& pageURL, const std::string& page) {
        engine.MemoDownload = page;
        engine.GetSrcURLs();
        ASSERT_TRUE(engine.ProcessURLs(pageURL));
        EXPECT_TRUE(engine.TagList.empty());
    }

    QTemporaryDir tmp;
    PlainJobView view;
    platform::ManualClock clock;
    EngineUnderTest engine{view, clock};
    std::int64_t contentLength = 0;
};

}  // namespace

TEST_F(EngineTest, PageThreeRebuildsTheTableFromTheBoxes) {
    EXPECT_EQ(engine.AllowedFilesList.size(), 10u);
    engine.AllowedFilesList.push_back(
        RuleFromEditor("*.doc", EditorFileKind::Other, SizeLimits::Off, {}, {}));

    view.dloadEverything = true;
    engine.BuildRulesFromPage3();
    ASSERT_EQ(engine.AllowedFilesList.size(), 1u) << "earlier edits are dropped";
    EXPECT_EQ(engine.AllowedFilesList[0].pattern(), "*.*");

    view.dloadEverything = false;
    view.dloadTextFiles = false;
    view.dloadGraphics = false;
    engine.BuildRulesFromPage3();
    EXPECT_TRUE(engine.AllowedFilesList.empty());

    engine.AddRulesFromList("*.zip,", kKindOther);
    EXPECT_EQ(engine.AllowedFilesList.size(), 1u);
    engine.ClearAllowedFilesList();
    EXPECT_TRUE(engine.AllowedFilesList.empty());
}

TEST_F(EngineTest, PrintAllowedFileElementShowsAnInformationBox) {
    engine.PrintAllowedFileElement(
        RuleFromEditor("p*.mp3", EditorFileKind::Other, SizeLimits::On, 900, 100));
    ASSERT_EQ(view.dialogs.calls.size(), 1u);
    const auto& call = view.dialogs.calls[0];
    EXPECT_EQ(call.kind, platform::DialogKind::Information);
    EXPECT_EQ(call.buttons, platform::kButtonOk);
    EXPECT_EQ(call.text,
              "sName is p*\r\nsExtension is .mp3\r\niSizeGreater is 900\r\niSizeLesser is 100");
}

TEST_F(EngineTest, StartURLIsQueuedStandardised) {
    view.startURL = "http://host.test/docs";
    engine.CreateObjectLists();
    EXPECT_EQ(queue(), std::vector<std::string>{"http://host.test/docs/"});
    EXPECT_EQ(engine.iQueued, 1);
    EXPECT_EQ(view.queuedLabel, "Queued Files: 1");
}

TEST_F(EngineTest, MovesTakeTheEntryOutOfTheQueue) {
    engine.CreateObjectLists();
    engine.QueueList.push_back("http://host.test/docs/a.html");
    engine.QueueList.push_back("http://host.test/docs/b.gif");
    engine.iQueued = 3;

    view.queuedLabel = "untouched";
    engine.MoveURL(-1);
    engine.MoveURLtoErrorList(-1);
    EXPECT_EQ(engine.QueueList.size(), 3u);
    EXPECT_EQ(engine.iQueued, 3);
    EXPECT_EQ(view.queuedLabel, "untouched")
        << "a move with position -1 changes nothing, not even the label";

    engine.MoveURL(engine.QueueList.IndexOf("HTTP://host.test/docs/A.HTML"));
    EXPECT_EQ(engine.iQueued, 2);
    EXPECT_EQ(view.queuedLabel, "Queued Files: 2");
    EXPECT_EQ(engine.ProcessedList.size(), 1u);
    EXPECT_EQ(engine.ProcessedList[0], "http://host.test/docs/a.html");

    engine.MoveURLtoErrorList(engine.QueueList.IndexOf(engine.QueueList.back()));
    EXPECT_EQ(errors(), std::vector<std::string>{"http://host.test/docs/b.gif"});
    EXPECT_EQ(queue(), std::vector<std::string>{"http://host.test/docs/"});
    EXPECT_EQ(view.queuedLabel, "Queued Files: 1");
}

TEST_F(EngineTest, ScopeStayInPathAndStayInDomain) {
    engine.CreateObjectLists();
    EXPECT_TRUE(engine.URLConfirm("http://host.test/docs/a/b.html"));
    EXPECT_FALSE(engine.URLConfirm("http://host.test/other.html"));
    EXPECT_FALSE(engine.URLConfirm("http://HOST.test/docs/a.html")) << "hosts compare case-exact";

    view.stayinPath = false;
    EXPECT_TRUE(engine.URLConfirm("http://host.test/docs/a/b.html"));
    EXPECT_TRUE(engine.URLConfirm("http://host.test/other.html"));
    EXPECT_FALSE(engine.URLConfirm("http://mirror.host.test/x.html"));

    view.stayinDomain = false;
    EXPECT_FALSE(engine.URLConfirm("http://host.test/other.html"))
        << "neither box: nothing is in scope";
}

TEST_F(EngineTest, OtherFilesNeedARuleAndDuplicatesAreRejected) {
    engine.CreateObjectLists();
    EXPECT_TRUE(engine.URLConfirm("http://host.test/docs/pic.gif"));
    EXPECT_FALSE(engine.URLConfirm("http://host.test/docs/tool.exe")) << "no rule matches";
    EXPECT_TRUE(engine.URLConfirm("http://host.test/docs/INDEX.HTM"))
        << "another file, but *.htm matches case-blind";
    EXPECT_TRUE(engine.URLConfirm("http://host.test/docs/sub/")) << "a directory needs no rule";

    view.dloadTextFiles = false;
    engine.BuildRulesFromPage3();
    EXPECT_FALSE(engine.URLConfirm("http://host.test/docs/INDEX.HTM"))
        << "upper-case: another file, no rule";
    EXPECT_TRUE(engine.URLConfirm("http://host.test/docs/index.htm"))
        << "text files need no rule to be queued";

    contentLength = 999999999;  // the size outcome does not matter for queueing
    view.downloadNoSizeFiles = false;
    engine.AllowedFilesList = {
        RuleFromEditor("*.gif", EditorFileKind::Other, SizeLimits::On, 2, 1)};
    EXPECT_TRUE(engine.URLConfirm("http://host.test/docs/big.gif"));

    engine.QueueList.push_back("http://host.test/docs/q.html");
    engine.ProcessedList.push_back("http://host.test/docs/p.html");
    engine.ErrorList.push_back("http://host.test/docs/e.html");
    engine.SavedList.push_back("http://host.test/docs/s.html");
    EXPECT_FALSE(engine.URLConfirm("http://host.test/docs/Q.html"));
    EXPECT_FALSE(engine.URLConfirm("HTTP://host.test/docs/p.HTML"));
    EXPECT_FALSE(engine.URLConfirm("http://host.test/docs/e.html"));
    EXPECT_TRUE(engine.URLConfirm("http://host.test/docs/s.html"))
        << "the saved list is not searched";
}

TEST_F(EngineTest, ConfirmFileSaveReadsTheCurrentContentLength) {
    engine.AllowedFilesList = {
        RuleFromEditor("*.zip", EditorFileKind::Other, SizeLimits::On, 20, 10)};
    contentLength = 10240;
    EXPECT_EQ(engine.ConfirmFileSave("http://host.test/a.zip"), 4);
    contentLength = 20481;
    EXPECT_EQ(engine.ConfirmFileSave("http://host.test/a.zip"), 2);
    contentLength = 0;
    EXPECT_EQ(engine.ConfirmFileSave("http://host.test/a.zip"), 4);
    view.downloadNoSizeFiles = false;
    EXPECT_EQ(engine.ConfirmFileSave("http://host.test/a.zip"), 2);
    EXPECT_EQ(engine.ConfirmFileSave("http://host.test/a.html"), 0);
    EXPECT_EQ(engine.ConfirmFileSave("http://host.test/docs/"), 0)
        << "an empty file name matches no *.zip";
}

TEST_F(EngineTest, LinksOfAPageAreResolvedFilteredAndQueued) {
    engine.CreateObjectLists();
    analyse("http://host.test/docs/a.html",
            "<html><body>\r\n"
            "<a href=\"b.html\">b</a> <a href=\"../b.html\">up</a> <a "
            "href=\"../../../b.html\">far</a>\r\n"
            "<a href=/docs/x/y.html>y</a> <a href=more/sub>dir</a> <a href=sub>bare</a>\r\n"
            "<a href=\"page.html?x=1#top\">q</a> <a href=.>here</a> <img src=pic.gif>\r\n"
            "<IMG SRC=PIC.GIF> <a href=\"mailto:me@host.test\">mail</a> <a href=B.HTML>dup</a>\r\n"
            "<img src>  <!-- <a href=commented.html> -->\r\n"
            "<applet code=App.class codebase=classes></applet>\r\n"
            "</body></html>");
    EXPECT_EQ(queue(), (std::vector<std::string>{
                           "http://host.test/docs/",
                           "http://host.test/docs/b.html",
                           "http://host.test/docs/x/y.html",
                           "http://host.test/docs/more/sub/",
                           "http://host.test/docs/page.html",
                           "http://host.test/docs/pic.gif",
                       }))
        << "the start URL is already queued, so the link '.' is a duplicate";
    EXPECT_EQ(errors(), std::vector<std::string>{"../../../b.html"});
    EXPECT_EQ(engine.iQueued, 6);
    EXPECT_EQ(view.queuedLabel, "Queued Files: 6");
    ASSERT_GE(view.logLines.size(), 6u);
    EXPECT_EQ(view.logLines[0], "http://host.test/docs/a.html supplied:  ");
    EXPECT_EQ(view.logLines[1], "    http://host.test/docs/b.html");
    EXPECT_EQ(view.logLines.size(), 6u) << "one line for the page, one per queued link";
    EXPECT_EQ(view.progress, 0);
    EXPECT_GT(view.progressUpdates, 2);
}

TEST_F(EngineTest, BareWordsAreQueuedOnlyWhenARuleMatchesAnEmptyName) {
    engine.CreateObjectLists();
    view.dloadEverything = true;
    engine.BuildRulesFromPage3();
    analyse("http://host.test/docs/a.html",
            "<a href=sub> <applet code=App.class codebase=classes> <a href=.> <a href=..>");
    EXPECT_EQ(queue(),
              (std::vector<std::string>{"http://host.test/docs/", "http://host.test/docs/sub",
                                        "http://host.test/docs/classes/App.class"}))
        << "'..' climbs out of the start directory";
}

TEST_F(EngineTest, BaseTagRedirectsOnlyTheLinksAfterIt) {
    view.startURL = "http://host.test/";
    view.stayinPath = false;
    engine.CreateObjectLists();
    analyse(
        "http://host.test/docs/a.html",
        "<a href=c.html><BASE HREF=\"http://host.test/other/\"><a href=c.html><a href=../d.html>");
    EXPECT_EQ(queue(), (std::vector<std::string>{
                           "http://host.test/", "http://host.test/docs/c.html",
                           "http://host.test/other/c.html", "http://host.test/d.html"}));
    EXPECT_EQ(view.logLines[2],
              "BASE FOUND: Adjusting Reference URL to http://host.test/other/ From "
              "http://host.test/docs/a.html");
    EXPECT_EQ(engine.iQueued, 4);
}

TEST_F(EngineTest, BrokenPagesNeverCrash) {
    engine.CreateObjectLists();
    view.stayinPath = false;
    for (const std::string& page :
         {std::string("<a href=\"\">"), std::string("<a href=>"), std::string("<a href='"),
          std::string("<<<<>>>>"), std::string("<base href=>"),
          std::string("<base href=..><a href=x.html>"), std::string("<a href=?#>"),
          std::string("<a href=#top>"), std::string("<a href=\"\0x\">", 13),
          std::string(100000, '<'), std::string("<a href=http://>"),
          std::string("<a href=/../../..>"), std::string("<a href=~>")}) {
        analyse("http://host.test/docs/a.html", page);
    }
    for (const auto& url : engine.QueueList)
        EXPECT_EQ(url.rfind("http://host.test/", 0), 0u) << url;
}

TEST_F(EngineTest, DiskFreeOfTheSaveDirectory) {
    view.saveDirectory = tmp.path().toStdString() + "/not/yet";
    EXPECT_TRUE(engine.MeasureDiskFree());
    EXPECT_GT(engine.iDiskFree, 0);
    view.saveDirectory = "relative";
    EXPECT_FALSE(engine.MeasureDiskFree());
    EXPECT_EQ(engine.iDiskFree, -1);
}
