#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engine/LinkExtraction.h"
#include "engine/ParseURLFns.h"
#include "engine/UrlList.h"

using namespace engine;

namespace {

std::vector<std::string> tagsOf(const std::string& page, std::vector<int>* progress = nullptr) {
    TUrlList list;
    GetSrcURLs(page, list, [&](int percent) {
        if (progress) progress->push_back(percent);
    });
    return {list.begin(), list.end()};
}

// The scan as first written: shorten a working copy after every span. Slow,
// but obviously what the rule says; the real scan must give the same tags.
std::vector<std::string> referenceScan(const std::string& page) {
    static const std::vector<std::string> openings = {
        "<a ",     "<img ",    "<body ",   "<applet",  "<area",   "<base",
        "<embed ", "<frame ",  "<iframe ", "<ilayer ", "<input ", "<layer ",
        "<link ",  "<object ", "<script ", "<table ",  "<td ",    "<th "};
    std::vector<std::string> tags;
    std::string t = page;
    while (t.find('<') != std::string::npos) {
        std::size_t p = t.find('<') + 1;
        std::size_t g = t.find('>') == std::string::npos ? 0 : t.find('>') + 1;
        std::size_t c = t.find("</") == std::string::npos ? 0 : t.find("</") + 1;
        if (c != p && p < g) {
            std::string tag = t.substr(p - 1, g - p + 1);
            if (auto crlf = tag.find("\r\n"); crlf != std::string::npos) tag.erase(crlf, 2);
            std::string lower = LowerCase(tag);
            for (const auto& o : openings) {
                if (lower.rfind(o, 0) == 0) {
                    tags.push_back(tag);
                    break;
                }
            }
        }
        if (g == 0) break;
        t.erase(0, g);
    }
    return tags;
}

}  // namespace

TEST(GetSrcURLs, KeepsOnlyOpeningsOfLinkTags) {
    const std::string page =
        "<html><HEAD><LINK REL=stylesheet HREF=s.css></head>\r\n"
        "<body bgcolor=white><A HREF=\"One.html\">one</A> <p class=x>text</p>\r\n"
        "<img\tsrc=tab.gif> <a\r\nhref=glued.html> <img \r\nsrc=ok.gif>"
        "<!-- <a href=hidden.html> --> <!-- comment --><a href=after.html>"
        "<table ><td  background=bg.gif><th><frameset><frame src=f.html><applet code=A.class>"
        "<area href=map.html><basefont size=3>";
    EXPECT_EQ(tagsOf(page), (std::vector<std::string>{
                                "<LINK REL=stylesheet HREF=s.css>",
                                "<body bgcolor=white>",
                                "<A HREF=\"One.html\">",
                                "<img src=ok.gif>",
                                "<a href=after.html>",
                                "<table >",
                                "<td  background=bg.gif>",
                                "<frame src=f.html>",
                                "<applet code=A.class>",
                                "<area href=map.html>",
                                "<basefont size=3>",
                            }));
}

TEST(GetSrcURLs, CommentHidesALinkOnlyWhenItsFirstCloserFollowsIt) {
    // The span of a comment runs to its first ">", which here is the link's own.
    EXPECT_TRUE(tagsOf("<!-- <a href=x.html> -->").empty());
    // A ">" before the link ends the comment's span; the link is then found.
    EXPECT_EQ(tagsOf("<!-- a > b --> <a href=y.html>"),
              (std::vector<std::string>{"<a href=y.html>"}));
}

TEST(GetSrcURLs, StrayClosersAndUnclosedTagsAddNothing) {
    EXPECT_TRUE(tagsOf("a > b > <a href=never").empty());
    EXPECT_TRUE(tagsOf("").empty());
    EXPECT_TRUE(tagsOf("no tags at all").empty());
    EXPECT_EQ(tagsOf(">>> <img src=a.gif>"), (std::vector<std::string>{"<img src=a.gif>"}));
    // A closing tag first: the span from "<" to the first ">" is not kept.
    EXPECT_TRUE(tagsOf("</a><").empty());
}

TEST(GetSrcURLs, ProgressRisesWithTheScanAndEndsAtZero) {
    std::string page;
    for (int i = 0; i < 10; ++i) page += "<a href=p" + std::to_string(i) + ".html>xxxxxxxxxx";
    std::vector<int> progress;
    tagsOf(page, &progress);
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 0);
    for (std::size_t i = 2; i + 1 < progress.size(); ++i) EXPECT_GT(progress[i], progress[i - 1]);
    // The last tag ends 10 characters before the page does.
    const int lastShare =
        static_cast<int>(std::nearbyint(100.0 * (page.size() - 10) / page.size()));
    EXPECT_EQ(progress[progress.size() - 2], lastShare);
}

TEST(GetSrcURLs, SameTagsAsTheShorteningScanOnRandomPages) {
    std::mt19937 rng(7);
    const std::vector<std::string> pieces = {
        "<",       ">",    "</",     "<a ", "<A HREF=x.html>", "<img src=y>",
        "\r\n",    " ",    "<!--",   "-->", "<base href=/b/>", "<td ",
        "<applet", "text", "<table", "\n",  "<frame ",         "'\""};
    for (int round = 0; round < 500; ++round) {
        std::string page;
        const int count = static_cast<int>(rng() % 60);
        for (int i = 0; i < count; ++i) page += pieces[rng() % pieces.size()];
        ASSERT_EQ(tagsOf(page), referenceScan(page)) << page;
    }
}

TEST(GetUrlFromTag, AttributePreferenceAndCodebase) {
    struct Case {
        const char* tag;
        bool isBase;
        const char* address;
    };
    for (const Case& c : {
             Case{"<a href=x.html>", false, "x.html"},
             Case{"<img src=\"Pic.GIF\" href=first.html>", false, "first.html"},
             Case{"<img src=\"\" src=b.gif>", false, ""},
             Case{"<body background=bg.jpg>", false, "bg.jpg"},
             Case{"<applet code=App.class codebase=classes>", false, "classes/App.class"},
             Case{"<applet codebase=classes/ code=App.class>", false, "classes/App.class"},
             Case{"<applet code=App.class>", false, "App.class"},
             Case{"<applet codebase=classes>", false, ""},
             Case{"<object classid=clsid:123 codebase=bin>", false, "bin/clsid:123"},
             Case{"<BASE HREF=\"http://host.test/other/\">", true, "http://host.test/other/"},
             Case{"<img src>", false, ""},
             Case{"<a href=\"two words.html\">", false, "two"},
         }) {
        TTagUrl url = GetUrlFromTag(c.tag);
        EXPECT_EQ(url.isBase, c.isBase) << c.tag;
        EXPECT_EQ(url.address, c.address) << c.tag;
    }
}

TEST(NormaliseLink, DirectoriesQueriesAndFragments) {
    const std::string base = "http://host.test/docs/a.html";
    struct Case {
        const char* link;
        const char* result;
    };
    for (const Case& c : {
             Case{"..", "http://host.test/"},
             Case{".", "http://host.test/docs/"},
             Case{"page.html?x=1#top", "page.html"},
             Case{"page.html#top", "page.html"},
             Case{"dir/#frag", "dir/"},
             Case{"?only", ""},
             Case{"a?b?c", "a?b"},
             Case{"more/sub", "more/sub/"},
             Case{"sub", "sub"},
             Case{"./x.html", "x.html"},
             Case{"a/./b.html", "a/b.html"},
             Case{"http://host.test/docs", "http://host.test/docs/"},
             Case{"mailto:me@host.test", "mailto:"},
             Case{"v1.2/readme", "v1.2/readme/"},
         }) {
        EXPECT_EQ(normaliseLink(c.link, base), c.result) << c.link;
    }
    EXPECT_EQ(normaliseLink("..", "http://host.test/a.html"), "") << "no parent above the root";
}

TEST(PercentOf, RoundsHalfToEven) {
    EXPECT_EQ(percentOf(1, 8), 12);  // 12.5
    EXPECT_EQ(percentOf(3, 8), 38);  // 37.5
    EXPECT_EQ(percentOf(1, 3), 33);
    EXPECT_EQ(percentOf(2, 3), 67);
    EXPECT_EQ(percentOf(5, 5), 100);
    EXPECT_EQ(percentOf(1, 0), 0);
}
