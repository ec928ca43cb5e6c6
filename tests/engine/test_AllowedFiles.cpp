#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/AllowedFiles.h"

using namespace engine;

namespace {

std::vector<std::string> patterns(const TAllowedFilesList& table) {
    std::vector<std::string> out;
    for (const auto& rule : table) out.push_back(rule.pattern());
    return out;
}

TAllowedFiles rule(std::string name, std::string extension, std::int64_t upper = -1,
                   std::int64_t lower = -1) {
    TAllowedFiles r;
    r.sName = std::move(name);
    r.sExtension = std::move(extension);
    r.iSizeGreater = upper;
    r.iSizeLesser = lower;
    return r;
}

}  // namespace

TEST(AddRulesFromList, DefaultListsInOrderSplitAtTheFirstDot) {
    TAllowedFilesList table;
    AddRulesFromList(table, kDefaultTextTypes, kKindText);
    ASSERT_EQ(table.size(), 6u);
    const std::vector<std::string> extensions = {".txt",   ".htm",  ".html",
                                                 ".shtml", ".shtm", ".asp"};
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].sName, "*");
        EXPECT_EQ(table[i].sExtension, extensions[i]);
        EXPECT_EQ(table[i].iFileKind, kKindText);
        EXPECT_EQ(table[i].iSizeGreater, -1);
        EXPECT_EQ(table[i].iSizeLesser, -1);
    }
    AddRulesFromList(table, "a.tar.gz,readme,", kKindOther);
    ASSERT_EQ(table.size(), 8u);
    EXPECT_EQ(table[6].sName, "a");
    EXPECT_EQ(table[6].sExtension, ".tar.gz") << "split at the first dot";
    EXPECT_EQ(table[7].sName, "");
    EXPECT_EQ(table[7].sExtension, "readme");
}

TEST(AddRulesFromList, TextAfterTheLastCommaIsNoItem) {
    TAllowedFilesList table;
    AddRulesFromList(table, "*.a,*.b", kKindOther);
    EXPECT_EQ(patterns(table), std::vector<std::string>{"*.a"});
    AddRulesFromList(table, "", kKindOther);
    EXPECT_EQ(table.size(), 1u);
}

TEST(RulesFromChoices, PageThreeBoxes) {
    const auto build = [](bool text, bool graphics, bool everything) {
        return RulesFromChoices(TDownloadChoices{text, graphics, everything}, kDefaultTextTypes,
                                kDefaultGraphicTypes);
    };
    EXPECT_TRUE(build(false, false, false).empty());

    EXPECT_EQ(patterns(build(true, true, false)),
              (std::vector<std::string>{"*.txt", "*.htm", "*.html", "*.shtml", "*.shtm", "*.asp",
                                        "*.jpg", "*.bmp", "*.jpeg", "*.gif"}));
    EXPECT_EQ(patterns(build(false, true, false)),
              (std::vector<std::string>{"*.jpg", "*.bmp", "*.jpeg", "*.gif"}));
    for (bool text : {false, true}) {
        for (bool graphics : {false, true}) {
            TAllowedFilesList all = build(text, graphics, true);
            ASSERT_EQ(all.size(), 1u);
            EXPECT_EQ(all[0].sName, "*");
            EXPECT_EQ(all[0].sExtension, ".*");
            EXPECT_EQ(all[0].iFileKind, kKindEverything);
        }
    }
    EXPECT_EQ(build(false, true, false)[0].iFileKind, kKindGraphic);
}

TEST(RuleFromEditor, SplitsAtTheLastDotAndKeepsOnlyValidBounds) {
    TAllowedFiles r = RuleFromEditor("my.file.doc", EditorFileKind::Text, SizeLimits::On, 500, 10);
    EXPECT_EQ(r.sName, "my.file");
    EXPECT_EQ(r.sExtension, ".doc");
    EXPECT_EQ(r.iFileKind, kKindText);
    EXPECT_EQ(r.iSizeGreater, 500);
    EXPECT_EQ(r.iSizeLesser, 10);

    r = RuleFromEditor("Makefile", EditorFileKind::Other, SizeLimits::Off, std::nullopt,
                       std::nullopt);
    EXPECT_EQ(r.sName, "");
    EXPECT_EQ(r.sExtension, "Makefile");
    EXPECT_EQ(r.pattern(), "Makefile") << "joined again it is the name as typed";
    EXPECT_EQ(r.iFileKind, kKindOther);

    struct Bounds {
        SizeLimits limits;
        std::optional<std::int64_t> upper, lower;
    };
    for (const Bounds& b :
         {Bounds{SizeLimits::On, 0, 0}, Bounds{SizeLimits::On, 10, 10},
          Bounds{SizeLimits::On, 5, 10}, Bounds{SizeLimits::On, std::nullopt, 1},
          Bounds{SizeLimits::On, 20, std::nullopt}, Bounds{SizeLimits::Off, 20, 10}}) {
        TAllowedFiles noBounds =
            RuleFromEditor("*.doc", EditorFileKind::Other, b.limits, b.upper, b.lower);
        EXPECT_EQ(noBounds.iSizeGreater, -1);
        EXPECT_EQ(noBounds.iSizeLesser, -1);
    }

    r = RuleFromEditor("", EditorFileKind::Other, SizeLimits::Off, std::nullopt, std::nullopt);
    EXPECT_EQ(r.sName, "");
    EXPECT_EQ(r.sExtension, "");
}

TEST(MatchRules, BoundsAreInclusiveKilobytes) {
    const TAllowedFilesList table = {rule("*", ".zip", 20, 10)};
    EXPECT_EQ(MatchRules(table, "a.zip", 10240, true), kMaySave);
    EXPECT_EQ(MatchRules(table, "a.zip", 20480, true), kMaySave);
    EXPECT_EQ(MatchRules(table, "a.zip", 20481, true), kOutsideBounds);
    EXPECT_EQ(MatchRules(table, "a.zip", 10239, true), kOutsideBounds);
    EXPECT_EQ(MatchRules(table, "a.zip", 0, true), kMaySave) << "unknown size allowed";
    EXPECT_EQ(MatchRules(table, "a.zip", 0, false), kOutsideBounds) << "unknown size refused";
    EXPECT_EQ(MatchRules(table, "a.gif", 15000, true), kNoRuleMatches);
}

TEST(MatchRules, FirstMatchingRuleDecidesCaseBlind) {
    const TAllowedFilesList table = {rule("*", ".GIF", 1, 0), rule("*", ".gif")};
    EXPECT_EQ(MatchRules(table, "Logo.gif", 5000, true), kOutsideBounds)
        << "the later, unbounded rule never decides";
    EXPECT_EQ(MatchRules(table, "LOGO.GIF", 1000, true), kMaySave);
    EXPECT_EQ(MatchRules({rule("*", ".*")}, "", 10, true), kMaySave) << "*.* matches an empty name";
    EXPECT_EQ(MatchRules({}, "x.html", 10, true), kNoRuleMatches);
}

TEST(MatchRules, SizesBeyondTwoGibibytesAre64Bit) {
    // 3,000,000 KB is about 2.9 GiB: a 32-bit product would wrap negative.
    const TAllowedFilesList table = {rule("*", ".iso", 3000000, 2000000)};
    const std::int64_t twoAndAHalfGiB = 2684354560LL;
    EXPECT_EQ(MatchRules(table, "disc.iso", twoAndAHalfGiB, true), kMaySave);
    EXPECT_EQ(MatchRules(table, "disc.iso", 5000000000LL, true), kOutsideBounds);
}
