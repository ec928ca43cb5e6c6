#include <gtest/gtest.h>

#include "app/cli/CliOptions.h"

using cli::parseCommandLine;

namespace {

cli::CliOptions parseOk(const std::vector<std::string>& args) {
    auto result = parseCommandLine(args);
    EXPECT_TRUE(result.options.has_value()) << result.error;
    return result.options.value_or(cli::CliOptions{});
}

std::string parseError(const std::vector<std::string>& args) {
    auto result = parseCommandLine(args);
    EXPECT_FALSE(result.options.has_value());
    return result.error;
}

}  // namespace

TEST(CliOptions, DefaultsAreThoseOfTheWizard) {
    auto o = parseOk({"http://host.test/", "/tmp/site"});
    EXPECT_EQ(o.startUrl, "http://host.test/");
    EXPECT_EQ(o.saveDirectory, "/tmp/site");
    EXPECT_TRUE(o.text);
    EXPECT_TRUE(o.graphics);
    EXPECT_FALSE(o.everything);
    EXPECT_TRUE(o.stayInPath);
    EXPECT_TRUE(o.unknownSize);
    EXPECT_FALSE(o.quotaMb.has_value());
    EXPECT_EQ(o.mysteryName, "unknown.html");
    EXPECT_TRUE(o.rules.empty());
}

TEST(CliOptions, FlagsAndValuesInEitherSpelling) {
    auto o = parseOk({"--no-text", "--no-graphics", "--everything", "--no-stay-in-path", "--quota",
                      "12", "--on-quota=continue", "--no-unknown-size", "--mystery-name=home.html",
                      "-v", "http://h.test/", "out"});
    EXPECT_FALSE(o.text);
    EXPECT_FALSE(o.graphics);
    EXPECT_TRUE(o.everything);
    EXPECT_FALSE(o.stayInPath);
    EXPECT_EQ(o.quotaMb, 12);
    EXPECT_EQ(o.onQuota, cli::OnQuota::Continue);
    EXPECT_FALSE(o.unknownSize);
    EXPECT_EQ(o.mysteryName, "home.html");
    EXPECT_TRUE(o.verbose);
}

TEST(CliOptions, RulesKeepTheirOrderAndBoundsAsTheEditorWould) {
    auto o =
        parseOk({"--rule", "*.pdf", "--rule=*.zip:10-5000", "--rule", "*.iso:10-10", "u", "d"});
    ASSERT_EQ(o.rules.size(), 3u);
    EXPECT_EQ(o.rules[0].pattern, "*.pdf");
    EXPECT_EQ(o.rules[0].upperKb, -1);
    EXPECT_EQ(o.rules[1].pattern, "*.zip");
    EXPECT_EQ(o.rules[1].lowerKb, 10);
    EXPECT_EQ(o.rules[1].upperKb, 5000);
    // Equal bounds are not a range: the rule has none.
    EXPECT_EQ(o.rules[2].lowerKb, -1);
    EXPECT_EQ(o.rules[2].upperKb, -1);
}

TEST(CliOptions, UsageErrors) {
    EXPECT_NE(parseError({"http://h.test/"}).find("required"), std::string::npos);
    EXPECT_NE(parseError({"a", "b", "c"}).find("too many"), std::string::npos);
    EXPECT_NE(parseError({"--bogus", "a", "b"}).find("--bogus"), std::string::npos);
    EXPECT_NE(parseError({"--quota", "lots", "a", "b"}).find("--quota"), std::string::npos);
    EXPECT_NE(parseError({"--quota", "10001", "a", "b"}).find("--quota"), std::string::npos);
    EXPECT_NE(parseError({"--on-quota", "maybe", "a", "b"}).find("--on-quota"), std::string::npos);
    EXPECT_NE(parseError({"--rule", "*.zip:5", "a", "b"}).find("LOWER-UPPER"), std::string::npos);
    EXPECT_NE(parseError({"--rule", "*.zip:x-5", "a", "b"}).find("--rule"), std::string::npos);
    EXPECT_NE(parseError({"a", "b", "--quota"}).find("needs a value"), std::string::npos);
    EXPECT_NE(parseError({"-q", "-v", "a", "b"}).find("exclude"), std::string::npos);
}

TEST(CliOptions, HelpNeedsNoArguments) {
    auto o = parseOk({"--help"});
    EXPECT_TRUE(o.help);
    const std::string usage = cli::usageText("harvex-cli");
    EXPECT_EQ(usage.rfind("Usage: harvex-cli START_URL SAVE_DIR", 0), 0u);
    for (const char* option :
         {"--text", "--no-graphics", "--everything", "--rule", "--no-stay-in-path", "--quota",
          "--on-quota", "--no-unknown-size", "--mystery-name", "--quiet", "--verbose"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

TEST(CliOptions, DoubleDashEndsOptions) {
    auto o = parseOk({"--", "-odd-url", "dir"});
    EXPECT_EQ(o.startUrl, "-odd-url");
}
