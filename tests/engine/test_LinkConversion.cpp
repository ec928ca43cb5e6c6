#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/LinkConversion.h"
#include "engine/PageRequisites.h"
#include "engine/PercentEscapes.h"
#include "engine/SavedFiles.h"

using namespace engine;

namespace {

// A copy of http://host.test/docs/ saved under /save.
TSavedFiles savedCopy() {
    TSavedFiles saved;
    saved.Add("http://host.test/docs/index.html", "/save/docs/index.html");
    saved.Add("http://host.test/docs/a/page.html", "/save/docs/a/page.html");
    saved.Add("http://host.test/docs/b/other.html", "/save/docs/b/other.html");
    saved.Add("http://host.test/docs/space%20name.html", "/save/docs/space name.html");
    saved.Add("http://host.test/docs/100%25.html", "/save/docs/100%.html");
    saved.Add("http://host.test/docs/style/site.css", "/save/docs/style/site.css");
    saved.Add("http://host.test/docs/style/more.css", "/save/docs/style/more.css");
    saved.Add("http://host.test/img/logo.png", "/save/img/logo.png");
    saved.Add("http://host.test/docs/sub/index.html", "/save/docs/sub/index.html");
    saved.AddRedirect("http://host.test/old.html", "http://host.test/docs/b/other.html");
    return saved;
}

struct ConversionCase {
    const char* name;
    std::string page;
    std::string converted;
    int changed;
};

class PageConversionTable : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(PageConversionTable, RewritesLinksAndNothingElse) {
    const ConversionCase& c = GetParam();
    const TSavedFiles saved = savedCopy();
    const TConvertedText result = ConvertPageLinks(c.page, "http://host.test/docs/a/page.html",
                                                   "/save/docs/a/page.html", saved);
    EXPECT_EQ(result.text, c.converted);
    EXPECT_EQ(result.linksChanged, c.changed);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageConversionTable,
    ::testing::Values(
        ConversionCase{"RelativeLinkToSavedFileStays", "<a href=\"../b/other.html\">x</a>",
                       "<a href=\"../b/other.html\">x</a>", 0},
        ConversionCase{"AbsoluteLinkToSavedFile", "<a href=\"http://host.test/docs/b/other.html\">",
                       "<a href=\"../b/other.html\">", 1},
        ConversionCase{"RootRelativeLinkKeepsFragment", "<a href=\"/docs/b/other.html#part\">",
                       "<a href=\"../b/other.html#part\">", 1},
        ConversionCase{"FolderAbove", "<a href='/docs/index.html'>", "<a href='../index.html'>", 1},
        ConversionCase{"OtherTree", "<img src=\"http://host.test/img/logo.png\">",
                       "<img src=\"../../img/logo.png\">", 1},
        ConversionCase{"DirectoryLinkToDefaultDocument", "<a href=\"../sub/\">",
                       "<a href=\"../sub/index.html\">", 1},
        ConversionCase{"DirectoryLinkWithoutSlash", "<a href=\"http://host.test/docs/sub\">",
                       "<a href=\"../sub/index.html\">", 1},
        ConversionCase{"SiteRootWithoutDefaultDocumentBecomesAbsolute", "<a href=\"/\">",
                       "<a href=\"http://host.test/\">", 1},
        ConversionCase{"EscapedNameStays", "<a href=\"../space%20name.html\">",
                       "<a href=\"../space%20name.html\">", 0},
        ConversionCase{"RawBlankIsEscaped", "<a href=\"../space name.html\">",
                       "<a href=\"../space%20name.html\">", 1},
        ConversionCase{"EscapedPercentStays", "<a href=\"../100%25.html\">",
                       "<a href=\"../100%25.html\">", 0},
        ConversionCase{"QueryOfSavedFileDropped", "<a href=\"../b/other.html?x=1#top\">",
                       "<a href=\"../b/other.html#top\">", 1},
        ConversionCase{"NotSavedBecomesAbsolute", "<a href=\"missing.html\">",
                       "<a href=\"http://host.test/docs/a/missing.html\">", 1},
        ConversionCase{"NotSavedKeepsQueryAndFragment", "<a href=\"missing.html?q=1&amp;r=2#f\">",
                       "<a href=\"http://host.test/docs/a/missing.html?q=1&amp;r=2#f\">", 1},
        ConversionCase{"OtherSiteStays", "<a href=\"http://elsewhere.test/x.html\">",
                       "<a href=\"http://elsewhere.test/x.html\">", 0},
        ConversionCase{"SameDocumentAndOtherSchemesStay",
                       "<a href=\"#top\"><a href=\"mailto:a@b.test\"><a href=\"javascript:go()\">"
                       "<a href=\"\"><a href=\"?page=2\">",
                       "<a href=\"#top\"><a href=\"mailto:a@b.test\"><a href=\"javascript:go()\">"
                       "<a href=\"\"><a href=\"?page=2\">",
                       0},
        ConversionCase{"BytesAroundTheValueUntouched",
                       "x <A  HREF = '/docs/index.html' class=x\r\n>\xE9t\xE9</A> y",
                       "x <A  HREF = '../index.html' class=x\r\n>\xE9t\xE9</A> y", 1},
        ConversionCase{"UnquotedValue", "<a href=/docs/index.html>", "<a href=../index.html>", 1},
        ConversionCase{"LineBreakBetweenNameAndAttribute", "<a\r\nhref=\"/docs/index.html\">",
                       "<a\r\nhref=\"../index.html\">", 1},
        ConversionCase{
            "CommentsAndScriptsUntouched",
            "<!-- <a href=\"/docs/index.html\"> --><script>s='<img src=\"/img/logo.png\">'"
            "</script>",
            "<!-- <a href=\"/docs/index.html\"> --><script>s='<img src=\"/img/logo.png\">'"
            "</script>",
            0},
        ConversionCase{"SrcAndSrcset",
                       "<img src=\"/img/logo.png\" srcset=\"/img/logo.png 1x, /img/big.png 2x\">",
                       "<img src=\"../../img/logo.png\" srcset=\"../../img/logo.png 1x, "
                       "http://host.test/img/big.png 2x\">",
                       3},
        ConversionCase{
            "StyleBlock",
            "<style>@import \"/docs/style/site.css\"; body{background:url(/img/logo.png)}"
            "</style>",
            "<style>@import \"../style/site.css\"; body{background:url(../../img/logo.png)}"
            "</style>",
            2},
        ConversionCase{"StyleAttributeWithReferences",
                       "<div style=\"background:url(&quot;/img/logo.png&quot;)\">",
                       "<div style=\"background:url(&quot;../../img/logo.png&quot;)\">", 1},
        ConversionCase{"MetaRefresh",
                       "<meta http-equiv=\"Refresh\" content=\"0; URL=/docs/index.html\">",
                       "<meta http-equiv=\"Refresh\" content=\"0; URL=../index.html\">", 1},
        ConversionCase{"BaseTagBecomesThePageItself",
                       "<base href=\"http://host.test/docs/b/\"><a href=\"other.html\">",
                       "<base href=\"page.html\"><a href=\"../b/other.html\">", 2},
        ConversionCase{"RedirectedLinkFindsItsTarget", "<a href=\"/old.html\">",
                       "<a href=\"../b/other.html\">", 1},
        ConversionCase{"MediaAndIcons",
                       "<link rel=\"shortcut icon\" href=\"/img/logo.png\"><video "
                       "poster=\"/img/logo.png\"><source src=\"/docs/index.html\"></video>",
                       "<link rel=\"shortcut icon\" href=\"../../img/logo.png\"><video "
                       "poster=\"../../img/logo.png\"><source src=\"../index.html\"></video>",
                       3},
        ConversionCase{"TagCutByTheEndUntouched", "<a href=\"/docs/index.html\"",
                       "<a href=\"/docs/index.html\"", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StylesheetConversion, RewritesUrlAndImportRelativeToTheStylesheet) {
    const TSavedFiles saved = savedCopy();
    const std::string css =
        "@import url(/docs/style/more.css);\r\nbody{background:url(\"../../img/logo.png\")}\r\n"
        "/* url(/img/logo.png) */.x{background:url(nothere.png)}";
    const TConvertedText result = ConvertStylesheetLinks(
        css, "http://host.test/docs/style/site.css", "/save/docs/style/site.css", saved);
    EXPECT_EQ(
        result.text,
        "@import url(more.css);\r\nbody{background:url(\"../../img/logo.png\")}\r\n"
        "/* url(/img/logo.png) */.x{background:url(http://host.test/docs/style/nothere.png)}");
    EXPECT_EQ(result.linksChanged, 2);
}

struct RelativeCase {
    const char* from;
    const char* to;
    const char* link;
};

class RelativeLinkTable : public ::testing::TestWithParam<RelativeCase> {};

TEST_P(RelativeLinkTable, LeadsFromOneFileToTheOther) {
    const RelativeCase& c = GetParam();
    EXPECT_EQ(RelativeLinkPath(c.from, c.to), c.link);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RelativeLinkTable,
    ::testing::Values(RelativeCase{"/s/a/b.html", "/s/a/c.html", "c.html"},
                      RelativeCase{"/s/a/b.html", "/s/c.html", "../c.html"},
                      RelativeCase{"/s/b.html", "/s/x/y/z.html", "x/y/z.html"},
                      RelativeCase{"/s/a/b/c.html", "/s/x/y.html", "../../x/y.html"},
                      RelativeCase{"/s/a/b.html", "/s/a/b.html", "b.html"},
                      RelativeCase{"/s/a/b.html", "/s/a/sp ace#1?.html", "sp%20ace%231%3F.html"},
                      RelativeCase{"/s/b.html", "/s/a:b/c.html", "a%3Ab/c.html"},
                      RelativeCase{"/s/a/b.html", "/s/caf\xC3\xA9.html", "../caf%C3%A9.html"},
                      RelativeCase{"/s/a/b.html", "/s/100%.html", "../100%25.html"},
                      RelativeCase{"/s//a/./b.html", "/s/a/../c.html", "../c.html"}));

struct DecodeCase {
    const char* url;
    const char* name;
};

class DecodeTable : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTable, GivesTheNameABrowserLooksFor) {
    EXPECT_EQ(DecodePercentEscapes(GetParam().url), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Names, DecodeTable,
                         ::testing::Values(DecodeCase{"space%20name.html", "space name.html"},
                                           DecodeCase{"100%25.html", "100%.html"},
                                           DecodeCase{"caf%C3%a9", "caf\xC3\xA9"},
                                           // A decoded "/" would change the folder and a NUL cannot
                                           // be in a name: both stay escaped.
                                           DecodeCase{"a%2Fb%2fc", "a%2Fb%2fc"},
                                           DecodeCase{"a%00b", "a%00b"},
                                           DecodeCase{"bad%zz%4", "bad%zz%4"},
                                           DecodeCase{"%", "%"}));

TEST(SavedFiles, SpellingsOfOneAddressFindOneFile) {
    const TSavedFiles saved = savedCopy();
    EXPECT_EQ(saved.PathOf("http://HOST.test/docs/space name.html"), "/save/docs/space name.html");
    EXPECT_EQ(saved.PathOf("http://host.test/docs/space%20name.html"),
              "/save/docs/space name.html");
    // Paths compare with their letter case.
    EXPECT_EQ(saved.PathOf("http://host.test/DOCS/index.html"), std::nullopt);
}

TEST(SavedFiles, CircleOfRedirectsEnds) {
    TSavedFiles saved;
    saved.AddRedirect("http://h.test/a.html", "http://h.test/b.html");
    saved.AddRedirect("http://h.test/b.html", "http://h.test/a.html");
    EXPECT_EQ(saved.PathOf("http://h.test/a.html"), std::nullopt);
}

// The requisite table: what each tag and attribute is for.
TEST(PageRequisites, EveryKindOfRequisiteIsFound) {
    const std::string page =
        "<img src=i1.png srcset=\"i2.png 1x, i3.png 2x\"><picture><source srcset=i4.webp>"
        "</picture><input type=image src=i5.png><input type=text src=n1.html>"
        "<video poster=i6.png src=v1.webm><track src=t1.vtt></video><audio src=a1.ogg>"
        "<object data=o1.svg></object><embed src=e1.swf><link rel=icon href=f1.ico>"
        "<link rel=\"alternate stylesheet\" href=s1.css><link rel=next href=n2.html>"
        "<link rel=preload as=font href=p1.woff2><link rel=modulepreload href=p2.js>"
        "<script src=j1.js></script><style>p{background:url(i7.png)}@import 's2.css';</style>"
        "<p style=\"background:url(i8.png)\"><meta http-equiv=refresh content=\"5;url=r1.html\">"
        "<body background=i9.gif><iframe src=f2.html></iframe><a href=n3.html>"
        "<base href=\"http://host.test/\">";
    std::vector<std::pair<std::string, TLinkRole>> found;
    for (const auto& site : FindPageLinks(page)) found.emplace_back(site.address, site.role);
    const std::vector<std::pair<std::string, TLinkRole>> expected = {
        {"i1.png", TLinkRole::Requisite},   {"i2.png", TLinkRole::Requisite},
        {"i3.png", TLinkRole::Requisite},   {"i4.webp", TLinkRole::Requisite},
        {"i5.png", TLinkRole::Requisite},   {"n1.html", TLinkRole::Navigation},
        {"i6.png", TLinkRole::Requisite},   {"v1.webm", TLinkRole::Requisite},
        {"t1.vtt", TLinkRole::Requisite},   {"a1.ogg", TLinkRole::Requisite},
        {"o1.svg", TLinkRole::Requisite},   {"e1.swf", TLinkRole::Requisite},
        {"f1.ico", TLinkRole::Requisite},   {"s1.css", TLinkRole::Stylesheet},
        {"n2.html", TLinkRole::Navigation}, {"p1.woff2", TLinkRole::Requisite},
        {"p2.js", TLinkRole::Requisite},    {"j1.js", TLinkRole::Requisite},
        {"i7.png", TLinkRole::Requisite},   {"s2.css", TLinkRole::Stylesheet},
        {"i8.png", TLinkRole::Requisite},   {"r1.html", TLinkRole::Requisite},
        {"i9.gif", TLinkRole::Requisite},   {"f2.html", TLinkRole::Requisite},
        {"n3.html", TLinkRole::Navigation}, {"http://host.test/", TLinkRole::Base},
    };
    EXPECT_EQ(found, expected);
}

}  // namespace
