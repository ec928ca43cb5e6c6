// "https://" addresses and bracketed IPv6 hosts in the engine: which URLs are
// fetched, which are in scope, and that the two schemes of one address are
// one URL for the lists, the saved files and the local layout.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "engine/LinkConversion.h"
#include "engine/ParseURLFns.h"
#include "engine/SavedFiles.h"
#include "engine/UrlList.h"
#include "engine/WebURL.h"
#include "engine/wsmain.h"
#include "testing/EngineUnderTest.h"
#include "testing/ManualClock.h"
#include "testing/PlainJobView.h"
#include "tests/support/RowName.h"

using namespace engine;

// --- IsWebURL ---

struct WebCase {
    const char* url;
    bool fetched;
};

class IsWebURLTable : public ::testing::TestWithParam<WebCase> {};

TEST_P(IsWebURLTable, TakesHttpAndHttpsWithWellFormedHosts) {
    EXPECT_EQ(IsWebURL(GetParam().url), GetParam().fetched) << GetParam().url;
}

INSTANTIATE_TEST_SUITE_P(
    Urls, IsWebURLTable,
    ::testing::Values(WebCase{"http://h.test/", true}, WebCase{"https://h.test/", true},
                      WebCase{"HTTPS://h.test/a.html", true}, WebCase{"https://", false},
                      WebCase{"http://[::1]:8080/a/b.html", true},
                      WebCase{"https://[2001:db8::1]/", true}, WebCase{"http://[::1]", true},
                      WebCase{"http://[::ffff:127.0.0.1]/", true},
                      // Malformed brackets are refused, not fetched from a guessed host.
                      WebCase{"http://[::1/", false}, WebCase{"http://[zz]/", false},
                      WebCase{"http://[::1]x/", false}, WebCase{"http://[::1]:/", false},
                      WebCase{"http://[::1]:80a/", false}, WebCase{"http://[]/", false},
                      WebCase{"http://[1234]/", false}, WebCase{"http://h]/", false},
                      WebCase{"http://x[::1]/", false}, WebCase{"ftp://h.test/", false},
                      WebCase{"httpsx://h.test/", false}),
    [](const auto& info) { return support::RowName(info.index, info.param.url); });

// --- SameURL and SchemeBlindURL ---

struct SameCase {
    const char* a;
    const char* b;
    bool same;
};

class SameURLTable : public ::testing::TestWithParam<SameCase> {};

TEST_P(SameURLTable, OneAddressUnderEitherScheme) {
    const SameCase& c = GetParam();
    EXPECT_EQ(SameURL(c.a, c.b), c.same) << c.a << " / " << c.b;
    EXPECT_EQ(SameURL(c.b, c.a), c.same) << "either way round";
    EXPECT_EQ(EqualsCaseBlind(SchemeBlindURL(c.a), SchemeBlindURL(c.b)), c.same)
        << "the key form agrees";
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, SameURLTable,
    ::testing::Values(SameCase{"http://h.test/x.html", "https://h.test/x.html", true},
                      SameCase{"HTTPS://H.test/X.html", "http://h.test/x.html", true},
                      SameCase{"https://h.test/x.html", "https://h.test/x.html", true},
                      SameCase{"http://127.0.0.1:8080/x.html", "https://127.0.0.1:8080/x.html",
                               true},
                      SameCase{"http://[::1]/a.html", "https://[::1]/a.html", true},
                      SameCase{"http://h.test/x.html", "https://h.test/y.html", false},
                      SameCase{"http://h.test/x.html", "ftp://h.test/x.html", false},
                      SameCase{"https://h.test/", "http://h.test", false},
                      // Only a leading scheme is folded.
                      SameCase{"/go?to=https://h.test/", "/go?to=http://h.test/", false},
                      SameCase{"https:/h.test/", "http:/h.test/", false}),
    [](const auto& info) { return support::RowName(info.index, info.param.a); });

TEST(SchemeBlindURL, TakesOutTheSchemeLetterOnly) {
    EXPECT_EQ(SchemeBlindURL("https://h.test/A.html"), "http://h.test/A.html");
    EXPECT_EQ(SchemeBlindURL("HTTPS://h.test/"), "HTTP://h.test/");
    EXPECT_EQ(SchemeBlindURL("http://h.test/"), "http://h.test/");
    EXPECT_EQ(SchemeBlindURL("https"), "https");
    EXPECT_EQ(SchemeBlindURL(""), "");
}

TEST(UrlListSchemes, BothSchemesOfOneAddressAreOneEntry) {
    TUrlList list;
    list.push_back("http://host.test/a.html");
    list.push_back("https://host.test/b.html");
    EXPECT_EQ(list.IndexOf("https://HOST.test/a.html"), 0);
    EXPECT_EQ(list.IndexOf("http://host.test/B.html"), 1);
    EXPECT_TRUE(list.contains("HTTPS://host.test/a.html"));
    EXPECT_FALSE(list.contains("https://host.test/c.html"));
    list.erase(0);
    EXPECT_FALSE(list.contains("https://host.test/a.html")) << "gone under both schemes";
    EXPECT_EQ(list.IndexOf("http://host.test/b.html"), 0);
}

// --- The engine: scope, duplicates, local files ---

namespace {

class SchemeEngine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        view.saveDirectory = tmp.path().toStdString() + "/site/";
        view.startURL = "http://host.test/docs/";
        engine.SetContentLengthSource([] { return std::int64_t{0}; });
        engine.BuildRulesFromPage3();
    }

    std::vector<std::string> queue() const {
        return {engine.QueueList.begin(), engine.QueueList.end()};
    }

    void analyse(const std::string& pageURL, const std::string& page) {
        engine.MemoDownload = page;
        engine.GetSrcURLs();
        ASSERT_TRUE(engine.ProcessURLs(pageURL));
    }

    QTemporaryDir tmp;
    PlainJobView view;
    platform::ManualClock clock;
    EngineUnderTest engine{view, clock};
};

struct ScopeCase {
    const char* name;
    const char* start;
    const char* link;
    bool stayInPath;
    bool inScope;
};

class SchemeScope : public SchemeEngine, public ::testing::WithParamInterface<ScopeCase> {};

}  // namespace

TEST_P(SchemeScope, SitesMoveBetweenTheSchemes) {
    const ScopeCase& c = GetParam();
    view.startURL = c.start;
    view.stayinPath = c.stayInPath;
    view.stayinDomain = true;
    engine.CreateObjectLists();
    EXPECT_EQ(engine.URLConfirm(c.link), c.inScope) << c.start << " -> " << c.link;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SchemeScope,
    ::testing::Values(
        ScopeCase{"HttpStartHttpsLink", "http://host.test/docs/", "https://host.test/docs/a.html",
                  true, true},
        ScopeCase{"HttpsStartHttpLink", "https://host.test/docs/", "http://host.test/docs/a.html",
                  true, true},
        ScopeCase{"HttpsStartHttpsLinkBelow", "https://host.test/docs/",
                  "https://host.test/docs/sub/b.html", true, true},
        ScopeCase{"HttpsLinkOtherHost", "http://host.test/docs/", "https://other.test/docs/a.html",
                  true, false},
        ScopeCase{"HttpsLinkOutsidePath", "http://host.test/docs/", "https://host.test/else/a.html",
                  true, false},
        ScopeCase{"HttpLinkOutsidePathOfHttpsStart", "https://host.test/docs/",
                  "http://host.test/a.html", true, false},
        ScopeCase{"OtherSchemeStaysOut", "http://host.test/docs/", "ftp://host.test/docs/a.html",
                  true, false},
        ScopeCase{"BracketedHostEitherScheme", "http://[::1]:8080/docs/",
                  "https://[::1]:8080/docs/a.html", true, true},
        ScopeCase{"BracketedHostOtherPort", "http://[::1]:8080/docs/",
                  "http://[::1]:8081/docs/a.html", true, false},
        ScopeCase{"DomainOnlyHttpsLink", "http://host.test/docs/", "https://host.test/a.html",
                  false, true},
        ScopeCase{"DomainOnlyOtherHost", "https://host.test/docs/", "http://mirror.test/a.html",
                  false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SchemeEngine, EachListRefusesTheOtherSchemeOfAnAddressItHolds) {
    for (TUrlList* list : {&engine.QueueList, &engine.ProcessedList, &engine.ErrorList}) {
        engine.CreateObjectLists();
        list->push_back("http://host.test/docs/x.html");
        list->push_back("https://host.test/docs/y.html");
        EXPECT_FALSE(engine.URLConfirm("https://host.test/docs/x.html"));
        EXPECT_FALSE(engine.URLConfirm("http://host.test/docs/y.html"));
        EXPECT_TRUE(engine.URLConfirm("https://host.test/docs/z.html")) << "a new address";
    }
}

TEST_F(SchemeEngine, APageLinkingBothSchemesQueuesTheFileOnce) {
    view.startURL = "http://127.0.0.1:8123/";
    engine.CreateObjectLists();
    analyse("http://127.0.0.1:8123/",
            "<a href=\"http://127.0.0.1:8123/x.html\">plain</a>\r\n"
            "<a href=\"https://127.0.0.1:8123/x.html\">secure</a>\r\n"
            "<a href=\"HTTPS://127.0.0.1:8123/X.HTML\">loud</a>\r\n");
    EXPECT_EQ(queue(), (std::vector<std::string>{"http://127.0.0.1:8123/",
                                                 "http://127.0.0.1:8123/x.html"}));
    EXPECT_EQ(engine.iQueued, 2);

    // Fetched and done: a later page's link under the other scheme is not queued again.
    engine.MoveURL(engine.QueueList.IndexOf("http://127.0.0.1:8123/x.html"));
    analyse("http://127.0.0.1:8123/y.html", "<a href=\"https://127.0.0.1:8123/x.html\">again</a>");
    EXPECT_EQ(queue(), std::vector<std::string>{"http://127.0.0.1:8123/"});
    EXPECT_EQ(engine.ProcessedList.size(), 1u);
}

TEST_F(SchemeEngine, TheFirstSpellingMetIsTheOneQueued) {
    view.startURL = "http://127.0.0.1:8123/";
    engine.CreateObjectLists();
    analyse("http://127.0.0.1:8123/",
            "<a href=\"https://127.0.0.1:8123/x.html\">secure</a>"
            "<a href=\"x.html\">plain</a><a href=\"https://127.0.0.1:8123/\">home</a>");
    EXPECT_EQ(queue(), (std::vector<std::string>{"http://127.0.0.1:8123/",
                                                 "https://127.0.0.1:8123/x.html"}));
}

TEST_F(SchemeEngine, BothSchemesAreOneLocalFile) {
    const std::string save = tmp.path().toStdString() + "/site/";
    EXPECT_EQ(engine.LocalPathOf("http://host.test/docs/a.html"), save + "docs/a.html");
    EXPECT_EQ(engine.LocalPathOf("https://host.test/docs/a.html"), save + "docs/a.html");
    // The host is no part of the local path, so brackets never reach a file name.
    EXPECT_EQ(engine.LocalPathOf("http://[::1]:8080/docs/a.html"), save + "docs/a.html");
    EXPECT_EQ(engine.LocalPathOf("https://[2001:db8::1]/b/c.gif"), save + "b/c.gif");
}

TEST(SavedFilesSchemes, EitherSchemeFindsTheFileSavedUnderTheOther) {
    TSavedFiles saved;
    saved.Add("http://Host.test/docs/a.html", "/copy/docs/a.html");
    saved.Add("https://host.test/docs/b.html", "/copy/docs/b.html");
    saved.Add("https://host.test/docs/sub/index.html", "/copy/docs/sub/index.html");
    EXPECT_EQ(saved.PathOf("https://host.test/docs/a.html"), "/copy/docs/a.html");
    EXPECT_EQ(saved.PathOf("http://host.test/docs/b.html"), "/copy/docs/b.html");
    EXPECT_EQ(saved.PathOf("http://host.test/docs/sub/"), "/copy/docs/sub/index.html");
    EXPECT_EQ(SavedFileKey("HTTPS://HOST.test/A.html"), SavedFileKey("http://host.test/A.html"));

    // Saved again under the other scheme: still one file.
    saved.Add("https://host.test/docs/a.html", "/copy/docs/a.html");
    EXPECT_EQ(saved.Entries().size(), 3u);

    // A move to the other scheme is no redirect: no circle, and the file is found.
    saved.AddRedirect("http://host.test/docs/b.html", "https://host.test/docs/b.html");
    EXPECT_EQ(saved.PathOf("https://host.test/docs/b.html"), "/copy/docs/b.html");
    saved.AddRedirect("https://host.test/old.html", "http://host.test/docs/a.html");
    EXPECT_EQ(saved.PathOf("http://host.test/old.html"), "/copy/docs/a.html");
}

TEST(LinkConversionSchemes, LinksOfEitherSchemeReachTheLocalFile) {
    TSavedFiles saved;
    saved.Add("http://host.test/docs/a.html", "/copy/docs/a.html");
    saved.Add("http://host.test/docs/b.html", "/copy/docs/b.html");
    saved.Add("https://host.test/img/c.gif", "/copy/img/c.gif");
    const std::string page =
        "<a href=\"https://host.test/docs/b.html\">b</a>"
        "<img src=\"http://host.test/img/c.gif\">"
        "<a href=\"https://host.test/docs/missing.html\">m</a>";
    const TConvertedText converted =
        ConvertPageLinks(page, "https://host.test/docs/a.html", "/copy/docs/a.html", saved);
    EXPECT_EQ(converted.text,
              "<a href=\"b.html\">b</a><img src=\"../img/c.gif\">"
              "<a href=\"https://host.test/docs/missing.html\">m</a>");
    EXPECT_EQ(converted.linksChanged, 2);
}
