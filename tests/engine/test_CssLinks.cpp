#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/CssLinks.h"

using namespace engine;

namespace {

struct CssCase {
    const char* name;
    std::string css;
    // Each link as "url" or "@url" for an import; the raw text it replaces
    // must be the bytes at its offset.
    std::vector<std::string> links;
    std::vector<std::string> rawTexts;
};

class CssLinkTable : public ::testing::TestWithParam<CssCase> {};

TEST_P(CssLinkTable, FindsWhatABrowserLoads) {
    const CssCase& c = GetParam();
    const auto links = FindCssLinks(c.css);
    std::vector<std::string> found;
    std::vector<std::string> raw;
    for (const auto& link : links) {
        found.push_back((link.isImport ? "@" : "") + link.url);
        raw.push_back(c.css.substr(link.offset, link.length));
    }
    EXPECT_EQ(found, c.links);
    EXPECT_EQ(raw, c.rawTexts);
}

INSTANTIATE_TEST_SUITE_P(
    Css, CssLinkTable,
    ::testing::Values(
        CssCase{"Unquoted", "a{background:url(img/a.png)}", {"img/a.png"}, {"img/a.png"}},
        CssCase{"DoubleQuoted", "a{background:url(\"b c.png\")}", {"b c.png"}, {"b c.png"}},
        CssCase{"SingleQuoted", "a{background:url('x.png')}", {"x.png"}, {"x.png"}},
        CssCase{"BlanksAroundUnquoted", "a{b:url(  x.png \n )}", {"x.png"}, {"x.png"}},
        CssCase{"BlanksAroundQuoted", "a{b:url( 'x.png' )}", {"x.png"}, {"x.png"}},
        CssCase{"UpperCaseFunction", "a{b:URL(x.png)}", {"x.png"}, {"x.png"}},
        CssCase{"ImportString", "@import \"base.css\";", {"@base.css"}, {"base.css"}},
        CssCase{"ImportSingleQuoted", "@IMPORT 'base.css' screen;", {"@base.css"}, {"base.css"}},
        CssCase{"ImportUrl", "@import url(print.css) print;", {"@print.css"}, {"print.css"}},
        CssCase{"ImportAfterComment", "@import/* c */\"a.css\";", {"@a.css"}, {"a.css"}},
        CssCase{"StringWithoutImportIsNoLink", "a{content:\"url(x.png)\"}", {}, {}},
        CssCase{"CommentSkipped",
                "/* url(no.png) @import 'no.css'; */a{b:url(yes.png)}",
                {"yes.png"},
                {"yes.png"}},
        CssCase{"UnclosedCommentHidesTheRest", "a{}/* url(no.png)", {}, {}},
        CssCase{"HexEscape", "a{b:url(sp\\20 ace.png)}", {"sp ace.png"}, {"sp\\20 ace.png"}},
        CssCase{"EscapedParenthesis", "a{b:url(a\\).png)}", {"a).png"}, {"a\\).png"}},
        CssCase{"EscapedQuoteInString", "a{b:url(\"a\\\"b.png\")}", {"a\"b.png"}, {"a\\\"b.png"}},
        CssCase{"NonAsciiEscape", "a{b:url(caf\\e9.png)}", {"caf\xC3\xA9.png"}, {"caf\\e9.png"}},
        CssCase{"LineContinuationInString", "@import \"a\\\nb.css\";", {"@ab.css"}, {"a\\\nb.css"}},
        CssCase{"QuoteInsideUnquotedIsBad",
                "a{b:url(a\"b.png)} c{d:url(ok.png)}",
                {"ok.png"},
                {"ok.png"}},
        CssCase{"BlankInsideUnquotedIsBad",
                "a{b:url(a b.png)} c{d:url(ok.png)}",
                {"ok.png"},
                {"ok.png"}},
        CssCase{
            "StringCutByLineBreak", "a{b:url(\"a.png\n)} c{d:url(ok.png)}", {"ok.png"}, {"ok.png"}},
        CssCase{
            "PartOfAnotherName", "a{b:myurl(no.png); c:url(yes.png)}", {"yes.png"}, {"yes.png"}},
        CssCase{"EmptyUrl", "a{b:url()} c{d:url('')}", {}, {}},
        CssCase{"FontFaceSources",
                "@font-face{src:url(f.woff2) format(\"woff2\"),url('f.woff') format('woff')}",
                {"f.woff2", "f.woff"},
                {"f.woff2", "f.woff"}},
        CssCase{"CutByTheEnd", "a{b:url(x.png", {"x.png"}, {"x.png"}},
        CssCase{"ImportThenRuleIsNoImport", "@import ; a{b:url(x.png)}", {"x.png"}, {"x.png"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeCssEscapes, CodePointsBecomeUtf8AndInvalidOnesTheReplacementCharacter) {
    EXPECT_EQ(DecodeCssEscapes("\\41 B"), "AB");
    EXPECT_EQ(DecodeCssEscapes("\\1F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(DecodeCssEscapes("\\0"), "\xEF\xBF\xBD");
    EXPECT_EQ(DecodeCssEscapes("\\D800"), "\xEF\xBF\xBD");
    EXPECT_EQ(DecodeCssEscapes("\\110000"), "\xEF\xBF\xBD");
    EXPECT_EQ(DecodeCssEscapes("a\\"), "a");
    EXPECT_EQ(DecodeCssEscapes("\\41\r\nB"), "AB");
}

TEST(FindCssLinks, BytesAreNotCharacters) {
    // Bytes above 127 and NULs are ordinary bytes of a name, never a stop.
    const std::string css = std::string("a{b:url(\xFF\xFE.png)}\0x{y:url(z.png)}", 32);
    const auto links = FindCssLinks(css);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].url, "\xFF\xFE.png");
    EXPECT_EQ(links[1].url, "z.png");
}

}  // namespace
