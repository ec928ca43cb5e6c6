// Offline copies against a real nginx: requisites fetched whatever the rules
// say, names decoded, links converted; and the same site with the option off.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <set>
#include <string>

#include "engine/CopyConversion.h"
#include "engine/LocalLayout.h"
#include "engine/SavedCopyLog.h"
#include "platform/FileSystem.h"
#include "tests/engine/CrawlFixture.h"
#include "tests/support/Peers.h"

using testsupport::NginxServer;

namespace {

const std::string kIndex =
    "<html><head><link rel=\"stylesheet\" href=\"/css/site.css\"></head>\n"
    "<body><img src=\"pic.png\" srcset=\"pic.png 1x, big.png 2x\">\n"
    "<a href=\"space%20name.html#part\">blank</a>\n"
    "<a href=\"sub/\">folder</a> <a href=\"/outside.html\">outside</a>\n"
    "</body></html>\n";
const std::string kSpace = "<html><a href=\"index.html\">back</a></html>\n";
const std::string kSub = "<html><a href=\"../index.html\">up</a><img src=\"/img/bg.png\"></html>\n";
const std::string kSite = "@import \"more.css\";\nbody { background: url(../img/bg.png) }\n";
const std::string kMore = "h1 { background: url('/img/dot.png') }\n";

class OfflineCrawl : public CrawlTest {
protected:
    void SetUp() override {
        CrawlTest::SetUp();
        server = std::make_unique<NginxServer>();
        ASSERT_TRUE(server->start()) << server->error();
        base = server->baseUrl();
        server->put("docs/index.html", kIndex);
        server->put("docs/space name.html", kSpace);
        server->put("docs/sub/index.html", kSub);
        server->put("docs/pic.png", "PNG1");
        server->put("docs/big.png", "PNG2");
        server->put("outside.html", "<html>outside</html>");
        server->put("css/site.css", kSite);
        server->put("css/more.css", kMore);
        server->put("img/bg.png", "PNG3");
        server->put("img/dot.png", "PNG4");
        // The default kinds: text and graphics, which name no .png or .css.
        view.startURL = base + "/docs/index.html";
    }

    std::set<std::string> savedTree() const {
        std::set<std::string> files;
        QDirIterator it(QString::fromStdString(saveDir()), QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const std::string relative = it.next().toStdString().substr(saveDir().size());
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

    std::unique_ptr<NginxServer> server;
    std::string base;
};

TEST_F(OfflineCrawl, RequisitesAreFetchedAndLinksConverted) {
    view.offlineCopy = true;
    engine.SetUpObjectLists();

    const std::set<std::string> expected = {
        "docs/index.html", "docs/space name.html", "docs/sub/index.html",
        "docs/pic.png",    "docs/big.png",         "css/site.css",
        "css/more.css",    "img/bg.png",           "img/dot.png"};
    EXPECT_EQ(savedTree(), expected);
    EXPECT_EQ(testsupport::readFile(savePath("docs/index.html")),
              crlf("<html><head><link rel=\"stylesheet\" href=\"../css/site.css\"></head>\n"
                   "<body><img src=\"pic.png\" srcset=\"pic.png 1x, big.png 2x\">\n"
                   "<a href=\"space%20name.html#part\">blank</a>\n"
                   "<a href=\"sub/index.html\">folder</a> <a href=\"" +
                   base + "/outside.html\">outside</a>\n</body></html>\n"));
    EXPECT_EQ(
        testsupport::readFile(savePath("docs/sub/index.html")),
        crlf("<html><a href=\"../index.html\">up</a><img src=\"../../img/bg.png\"></html>\n"));
    EXPECT_EQ(testsupport::readFile(savePath("css/site.css")), kSite);
    EXPECT_EQ(testsupport::readFile(savePath("css/more.css")),
              "h1 { background: url('../img/dot.png') }\n");

    const std::string saveRoot = engine::NormalisePath(saveDir());
    expectInOrder(
        {"Converted links in " + saveRoot + "/docs/index.html: 3", "Finished Downloading. "});
    EXPECT_TRUE(logHas("Converted links in " + saveRoot + "/css/more.css: 1"));
    EXPECT_TRUE(logHas("Converted links in " + saveRoot + "/css/site.css: 0"));
    EXPECT_TRUE(logHas("Converted links in " + saveRoot + "/docs/space name.html: 0"));
}

TEST_F(OfflineCrawl, OptionOffKeepsTheUsualCopy) {
    engine.SetUpObjectLists();

    const std::set<std::string> expected = {"docs/index.html", "docs/space%20name.html",
                                            "docs/sub/index.html"};
    EXPECT_EQ(savedTree(), expected);
    EXPECT_EQ(testsupport::readFile(savePath("docs/index.html")), crlf(kIndex));
    for (const auto& line : view.logLines)
        EXPECT_EQ(line.find("Converted links"), std::string::npos) << line;
    // Nothing converts this copy during the job: its addresses are not kept
    // (a large site would hold them all in memory for nothing).
    EXPECT_TRUE(engine.SavedFiles.Empty());
}

TEST_F(OfflineCrawl, OptionOnKeepsEverySavedAddressForTheConversion) {
    view.offlineCopy = true;
    engine.SetUpObjectLists();
    ASSERT_EQ(engine.SavedFiles.Entries().size(), 9u);
    const auto folder = engine.SavedFiles.PathOf(base + "/docs/sub/");
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(engine::NormalisePath(*folder), savePath("docs/sub/index.html"));
}

TEST_F(OfflineCrawl, AnEarlierCopyIsConvertedFromItsLog) {
    // A usual copy, converted afterwards: its names keep their escapes, so the
    // converted links escape the "%" itself.
    engine.SetUpObjectLists();
    const std::string log = testsupport::readFile(savePath("downloads.log"));
    const engine::TSavedFiles saved = engine::SavedFilesFromLog(
        log, engine::NormalisePath(saveDir()),
        [](const std::string& path) { return platform::fs::fileExists(path); });
    ASSERT_EQ(saved.Entries().size(), 3u);
    int converted = 0;
    engine::ConvertCopy(saved, [&](const engine::TConversionReport& report) {
        EXPECT_TRUE(report.ok) << report.path;
        converted += report.linksChanged;
    });
    EXPECT_EQ(converted, 8);
    EXPECT_EQ(testsupport::readFile(savePath("docs/index.html")),
              crlf("<html><head><link rel=\"stylesheet\" href=\"" + base +
                   "/css/site.css\"></head>\n"
                   "<body><img src=\"" +
                   base + "/docs/pic.png\" srcset=\"" + base + "/docs/pic.png 1x, " + base +
                   "/docs/big.png 2x\">\n"
                   "<a href=\"space%2520name.html#part\">blank</a>\n"
                   "<a href=\"sub/index.html\">folder</a> <a href=\"" +
                   base + "/outside.html\">outside</a>\n</body></html>\n"));
}

TEST_F(OfflineCrawl, LogOfAnOfflineCopyNamesTheSameFiles) {
    view.offlineCopy = true;
    engine.SetUpObjectLists();
    const engine::TSavedFiles fromLog = engine::SavedFilesFromLog(
        testsupport::readFile(savePath("downloads.log")), engine::NormalisePath(saveDir()),
        [](const std::string& path) { return platform::fs::fileExists(path); });
    ASSERT_EQ(fromLog.Entries().size(), engine.SavedFiles.Entries().size());
    for (const auto& entry : engine.SavedFiles.Entries()) {
        EXPECT_EQ(fromLog.PathOf(entry.url), engine::NormalisePath(entry.path)) << entry.url;
    }
    // The directory link finds its default document through the log's lines.
    EXPECT_EQ(fromLog.PathOf(base + "/docs/sub/"), savePath("docs/sub/index.html"));
}

}  // namespace

namespace {

// Decoded names could spell ".." where the URL had "%2E%2E": such a file is
// never written outside the save directory.
TEST_F(OfflineCrawl, EscapedDotsStayInsideTheSaveDirectory) {
    view.offlineCopy = true;
    const std::string url = base + "/docs/%2E%2E/%2E%2E/%2E%2E/%2E%2E/escaped.html";
    EXPECT_FALSE(
        engine::IsInsideDirectory(engine::NormalisePath(saveDir()), engine.LocalPathOf(url)));
    engine.MemoDownload = "<html></html>";
    EXPECT_FALSE(engine.SaveFile(url));
    EXPECT_FALSE(platform::fs::fileExists(tmp.path().toStdString() + "/escaped.html"));
    EXPECT_FALSE(platform::fs::fileExists(tmp.path().toStdString() + "/../escaped.html"));

    // One escaped dot pair that stays inside is saved under its decoded name.
    const std::string inside = base + "/docs/sub/%2E%2E/kept%20here.html";
    EXPECT_EQ(engine.LocalPathOf(inside),
              engine::NormalisePath(saveDir()) + "/docs/kept here.html");
}

}  // namespace
