#include <gtest/gtest.h>

#include <string>

#include "engine/AllowedFiles.h"
#include "engine/ParseURLFns.h"
#include "tests/support/RowName.h"

using namespace engine;

// --- IsAbsoluteURL, SplitURL, StandardiseURL ---

TEST(IsAbsoluteURL, SchemeSeparatorOrMailtoAnywhere) {
    EXPECT_TRUE(IsAbsoluteURL("http://host.test/"));
    EXPECT_TRUE(IsAbsoluteURL("ftp://host.test/x"));
    EXPECT_TRUE(IsAbsoluteURL("http:\\\\host.test\\x")) << "a backslash reads as a slash";
    EXPECT_TRUE(IsAbsoluteURL("MAILTO:someone@host.test"));
    EXPECT_TRUE(IsAbsoluteURL("docs/redirect?to=http://elsewhere.test/")) << "anywhere in the text";
    EXPECT_FALSE(IsAbsoluteURL("docs/page.html"));
    EXPECT_FALSE(IsAbsoluteURL("/x/y.html"));
    EXPECT_FALSE(IsAbsoluteURL(""));
    EXPECT_TRUE(IsAbsoluteURL("https://host.test/"));
    EXPECT_TRUE(IsAbsoluteURL("http://[::1]:8080/"));
    EXPECT_FALSE(IsAbsoluteURL("[::1]/a.html")) << "brackets alone make no address";
}

struct SplitCase {
    const char* url;
    const char* protocol;
    const char* host;
    const char* directory;
    const char* fileName;
};

class SplitURLTable : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitURLTable, GivesTheFourParts) {
    const SplitCase& c = GetParam();
    TUrlParts parts = SplitURL(c.url);
    EXPECT_EQ(parts.protocol, c.protocol) << c.url;
    EXPECT_EQ(parts.host, c.host) << c.url;
    EXPECT_EQ(parts.directory, c.directory) << c.url;
    EXPECT_EQ(parts.fileName, c.fileName) << c.url;
}

INSTANTIATE_TEST_SUITE_P(
    Urls, SplitURLTable,
    ::testing::Values(
        SplitCase{"http://host.test/docs/a/page.html", "http://", "host.test", "/docs/a/",
                  "page.html"},
        SplitCase{"http://host.test", "http://", "host.test", "/", ""},
        SplitCase{"http://host.test/", "http://", "host.test", "/", ""},
        SplitCase{"http://Host.Test/Docs", "http://", "Host.Test", "/Docs/", ""},
        SplitCase{"http://host.test/docs/", "http://", "host.test", "/docs/", ""},
        SplitCase{"http://host.test/index.html", "http://", "host.test", "/", "index.html"},
        // A dot anywhere in the path makes the last segment a file name.
        SplitCase{"http://host.test/docs.old/notes", "http://", "host.test", "/docs.old/", "notes"},
        SplitCase{"http://host.test/a/page.html/", "http://", "host.test", "/a/", "page.html"},
        SplitCase{"http://host.test/p.cgi?x=1#top", "http://", "host.test", "/", "p.cgi?x=1#top"},
        SplitCase{"mailto:someone@host.test", "mailto:", "", "", ""},
        SplitCase{"http://host.test/mailto:x", "mailto:", "", "", ""},
        SplitCase{"http://", "http://", "", "", ""}, SplitCase{"http://h", "http://", "", "", ""},
        SplitCase{"docs/page.html", "", "", "", ""},
        SplitCase{"https://host.test/docs/a.html", "https://", "host.test", "/docs/", "a.html"},
        SplitCase{"HTTPS://Host.Test", "HTTPS://", "Host.Test", "/", ""},
        // A bracketed IPv6 literal stays whole, its port beside it.
        SplitCase{"http://[::1]:8080/a/b.html", "http://", "[::1]:8080", "/a/", "b.html"},
        SplitCase{"https://[2001:db8::1]/", "https://", "[2001:db8::1]", "/", ""},
        SplitCase{"http://[::1]", "http://", "[::1]", "/", ""},
        SplitCase{"http://[::ffff:127.0.0.1]/x/", "http://", "[::ffff:127.0.0.1]", "/x/", ""},
        // Malformed brackets split without harm; IsWebURL refuses them.
        SplitCase{"http://[::1/", "http://", "[::1", "/", ""},
        SplitCase{"http://[zz]/", "http://", "[zz]", "/", ""},
        SplitCase{"http://[::1]x/", "http://", "[::1]x", "/", ""}),
    [](const auto& info) { return support::RowName(info.index, info.param.url); });

struct StandardCase {
    const char* in;
    const char* out;
};

class StandardiseURLTable : public ::testing::TestWithParam<StandardCase> {};

TEST_P(StandardiseURLTable, GivesTheStandardForm) {
    EXPECT_EQ(StandardiseURL(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, StandardiseURLTable,
    ::testing::Values(StandardCase{"http://host.test/a/./b.html", "http://host.test/a/b.html"},
                      StandardCase{"http:\\\\host.test\\a\\.\\b.html", "http://host.test/a/b.html"},
                      StandardCase{"http://host.test", "http://host.test/"},
                      StandardCase{"http://host.test/", "http://host.test/"},
                      StandardCase{"http://host.test/docs", "http://host.test/docs/"},
                      StandardCase{"http://host.test/page.html/", "http://host.test/page.html"},
                      StandardCase{"http://HOST.test/Page.HTML", "http://HOST.test/Page.HTML"},
                      StandardCase{"http://host.test/p.cgi?a=1#x", "http://host.test/p.cgi?a=1#x"},
                      // Only the first "/./" goes.
                      StandardCase{"http://host.test/a/./b/./c.html",
                                   "http://host.test/a/b/./c.html"},
                      StandardCase{"mailto:Someone@host.test", "mailto:"},
                      StandardCase{"./x/y.html", "x/y.html"},
                      StandardCase{"relative\\page.html", "relative/page.html"},
                      StandardCase{"https://host.test/a/./b.html", "https://host.test/a/b.html"},
                      StandardCase{"HTTPS://Host.test/docs", "HTTPS://Host.test/docs/"},
                      StandardCase{"http://[::1]:8080/a/./b.html", "http://[::1]:8080/a/b.html"},
                      StandardCase{"https://[2001:db8::1]", "https://[2001:db8::1]/"},
                      StandardCase{"http://[::1/", "http://[::1/"}),
    [](const auto& info) { return support::RowName(info.index, info.param.in); });

// --- BreakFileName and FileType ---

TEST(BreakFileName, NameAndExtensionOfTheLastSegment) {
    TFileNameParts p = BreakFileName("http://host.test/docs/page.html");
    EXPECT_EQ(p.name, "page");
    EXPECT_EQ(p.extension, "html");

    p = BreakFileName("http://host.test/docs/");
    EXPECT_EQ(p.name, "") << "the last dot lies in the host";
    EXPECT_EQ(p.extension, "test/docs/");

    p = BreakFileName("nodots/at/all");
    EXPECT_EQ(p.name, "");
    EXPECT_EQ(p.extension, "nodots/at/all") << "without a dot the extension is the whole URL";

    p = BreakFileName("http://host.test/.htaccess");
    EXPECT_EQ(p.name, "");
    EXPECT_EQ(p.extension, "htaccess");
}

TEST(FileType, TextListDecidesCaseExactly) {
    const std::string types(kDefaultTextTypes);
    EXPECT_TRUE(FileType("http://host.test/docs/page.html", types));
    EXPECT_TRUE(FileType("http://host.test/notes.txt", types));
    EXPECT_TRUE(FileType("http://host.test/x.asp", types));
    EXPECT_TRUE(FileType("http://host.test/trailingdot.", types)) << "an empty extension is text";
    EXPECT_FALSE(FileType("http://host.test/INDEX.HTM", types)) << "letter case is exact";
    EXPECT_FALSE(FileType("http://host.test/docs/", types)) << "a directory is another file";
    EXPECT_FALSE(FileType("http://host.test/pic.gif", types));
    EXPECT_FALSE(FileType("no-dot-anywhere", types));
    // Any piece of the list counts, not only a whole item.
    EXPECT_TRUE(FileType("http://host.test/x.ht", types));
}

// --- MatchPattern and WildComp ---

struct PatternCase {
    const char* pattern;
    const char* text;
    bool matches;
};

class MatchPatternTable : public ::testing::TestWithParam<PatternCase> {};

TEST_P(MatchPatternTable, SinglePassMatch) {
    const PatternCase& c = GetParam();
    EXPECT_EQ(MatchPattern(c.pattern, c.text), c.matches) << c.pattern << " vs " << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Parts, MatchPatternTable,
    ::testing::Values(PatternCase{"*", "", true}, PatternCase{"*", "anything", true},
                      PatternCase{"", "", true}, PatternCase{"", "a", false},
                      PatternCase{"abc", "abc", true}, PatternCase{"abc", "abd", false},
                      PatternCase{"abc", "ab", false}, PatternCase{"ab", "abc", false},
                      // The segment after "*" is sought from the text's start.
                      PatternCase{"b*b", "bab", false}, PatternCase{"a*b", "ab", true},
                      PatternCase{"a*b", "axxb", true}, PatternCase{"*b", "abab", false},
                      PatternCase{"*ab", "xab", true}, PatternCase{"a?", "a", true},
                      PatternCase{"a?", "ab", true}, PatternCase{"a?", "abc", false},
                      PatternCase{"?", "", true}, PatternCase{"a**b", "ab", true},
                      PatternCase{"p*", "pic", true}, PatternCase{"p*", "apic", false}),
    [](const auto& info) { return support::RowName(info.index, std::string(info.param.pattern) + " " + info.param.text); });

struct WildCase {
    const char* pattern;
    const char* fileName;
    bool matches;
};

class WildCompTable : public ::testing::TestWithParam<WildCase> {};

TEST_P(WildCompTable, NameAndExtensionBothMatch) {
    const WildCase& c = GetParam();
    EXPECT_EQ(WildComp(c.pattern, c.fileName), c.matches) << c.pattern << " vs " << c.fileName;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, WildCompTable,
    ::testing::Values(WildCase{"*.*", "readme", true}, WildCase{"*.*", "", true},
                      WildCase{"*.*", "a.b.c", true}, WildCase{"*.htm", "index.html", false},
                      WildCase{"*.htm", "index.htm", true}, WildCase{"p*", "pic.gif", true},
                      WildCase{"p*", "logo.gif", false}, WildCase{"*.gif", "logo.gif", true},
                      WildCase{"*.gif", "logo", false}, WildCase{"b*b.txt", "bab.txt", false},
                      WildCase{"a?.txt", "a.txt", true}, WildCase{"*.tar.gz", "x.tar.gz", true},
                      WildCase{"", "", true}, WildCase{"", "x.y", false},
                      WildCase{"unknown.html", "unknown.html", true}),
    [](const auto& info) { return support::RowName(info.index, std::string(info.param.pattern) + " " + info.param.fileName); });

TEST(WildComp, PartsLongerThan255CharactersAreMatchedWithoutWrapping) {
    // Counting positions in 8 bits would wrap past 255 characters; here a long
    // name is compared in full.
    const std::string name(300, 'a');
    EXPECT_TRUE(WildComp("a*", name + ".gif"));
    EXPECT_TRUE(WildComp(name + ".gif", name + ".gif"));
    EXPECT_FALSE(WildComp(name + ".gif", name + "b.gif"));
    EXPECT_TRUE(WildComp(std::string(300, '?') + ".gif", name + ".gif"));
    EXPECT_FALSE(WildComp(std::string(299, '?') + ".gif", name + ".gif"));
}

// --- LastPos, SkipSpaces ---

TEST(LastPos, CountsFromOneAndZeroForNone) {
    EXPECT_EQ(LastPos("../", "../../x"), 4u);
    EXPECT_EQ(LastPos("../", "x"), 0u);
    EXPECT_EQ(LastPos("a", "a"), 1u);
}

TEST(SkipSpaces, FirstNonBlankOrTheStartItself) {
    EXPECT_EQ(SkipSpaces("a   =b", 2), 5u);
    EXPECT_EQ(SkipSpaces("a=b", 2), 2u);
    EXPECT_EQ(SkipSpaces("ab   ", 3), 3u) << "only blanks follow";
    EXPECT_EQ(SkipSpaces("ab", 9), 9u);
}

// --- GetAttrValue ---

struct AttrCase {
    const char* tag;
    const char* name;
    const char* value;
};

class GetAttrValueTable : public ::testing::TestWithParam<AttrCase> {};

TEST_P(GetAttrValueTable, CutsTheValueFromTheTag) {
    const AttrCase& c = GetParam();
    EXPECT_EQ(GetAttrValue(c.tag, c.name), c.value) << c.tag;
}

INSTANTIATE_TEST_SUITE_P(
    Tags, GetAttrValueTable,
    ::testing::Values(AttrCase{"<a href=\"Page.HTML\">", " HREF", "Page.HTML"},
                      AttrCase{"<A HREF='x.html'>", " HREF", "x.html"},
                      AttrCase{"<a href=x.html>", " HREF", "x.html"},
                      AttrCase{"<a href = \" spaced.html \">", " HREF", "spaced.html"},
                      AttrCase{"<a href=\"two words.html\">", " HREF", "two"},
                      AttrCase{"<img src>", " SRC", ""}, AttrCase{"<img alt=x src=>", " SRC", ""},
                      AttrCase{"<img src=a>", " SRC", ""}, AttrCase{"<img src=ab>", " SRC", "ab"},
                      // An occurrence that is no assignment is passed over.
                      AttrCase{"<applet codebase=classes code=App.class>", " CODE", "App.class"},
                      AttrCase{"<applet codebase=classes>", " CODE", ""},
                      AttrCase{"<a title=\" href\" href=real.html>", " HREF", "real.html"},
                      AttrCase{"<a name=x>", " HREF", ""},
                      AttrCase{"<a hrefx=1 href=b.html>", " HREF", "b.html"},
                      AttrCase{"<a href=\"", " HREF", ""}, AttrCase{"", " HREF", ""}),
    [](const auto& info) { return support::RowName(info.index, std::string(info.param.tag) + " " + info.param.name); });

TEST(GetAttrValue, ManyFalseOccurrencesStayLinear) {
    // A hostile tag full of " src" words without "=" after them.
    std::string tag = "<img";
    for (int i = 0; i < 200000; ++i) tag += " src";
    tag += " src=last.gif>";
    EXPECT_EQ(GetAttrValue(tag, " SRC"), "last.gif");
}

// --- ResolveURL ---

struct ResolveCase {
    const char* link;
    const char* base;
    const char* result;
};

class ResolveURLTable : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveURLTable, MakesTheLinkAbsolute) {
    const ResolveCase& c = GetParam();
    EXPECT_EQ(ResolveURL(c.link, c.base), c.result) << c.link << " against " << c.base;
}

constexpr const char* kPage = "http://host.test/docs/a.html";

INSTANTIATE_TEST_SUITE_P(
    Links, ResolveURLTable,
    ::testing::Values(ResolveCase{"b.html", kPage, "http://host.test/docs/b.html"},
                      ResolveCase{"../b.html", kPage, "http://host.test/b.html"},
                      // One climb above the root is absorbed, a second one is not.
                      ResolveCase{"../../b.html", kPage, "http://host.test/b.html"},
                      ResolveCase{"../../../b.html", kPage, ""},
                      ResolveCase{"/x/y.html", kPage, "http://host.test/x/y.html"},
                      ResolveCase{"~user/", kPage, "http://host.test/~user/"},
                      ResolveCase{"/a/../../b.html", kPage, "http://host.test/b.html"},
                      ResolveCase{"http://other.test/z.html", kPage, "http://other.test/z.html"},
                      ResolveCase{"sub/c.html", "http://host.test/", "http://host.test/sub/c.html"},
                      // At the root page there is no directory left to climb out of.
                      ResolveCase{"../c.html", "http://host.test/", ""},
                      ResolveCase{"../../c.html", "http://host.test/", ""},
                      ResolveCase{"b.html", "not/absolute.html", ""},
                      ResolveCase{"/root.html", "not/absolute.html", "/root.html"},
                      ResolveCase{"c.html", "https://host.test/docs/a.html",
                                  "https://host.test/docs/c.html"},
                      ResolveCase{"/top.html", "https://host.test/docs/a.html",
                                  "https://host.test/top.html"},
                      ResolveCase{"https://host.test/s.html", kPage, "https://host.test/s.html"},
                      ResolveCase{"../up.html", "http://[::1]:8080/a/c.html",
                                  "http://[::1]:8080/up.html"},
                      ResolveCase{"/v6.html", "https://[2001:db8::1]/", "https://[2001:db8::1]/v6.html"},
                      ResolveCase{"sub/d.html", "https://[2001:db8::1]:8443/",
                                  "https://[2001:db8::1]:8443/sub/d.html"}),
    [](const auto& info) { return support::RowName(info.index, info.param.link); });
