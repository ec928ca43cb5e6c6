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
    EXPECT_FALSE(o.offline);
    EXPECT_FALSE(o.convertDirectory.has_value());
    EXPECT_FALSE(o.noProxy);
}

TEST(CliOptions, NoProxyIsAFlag) {
    EXPECT_TRUE(parseOk({"--no-proxy", "http://h.test/", "out"}).noProxy);
    EXPECT_TRUE(parseOk({"http://h.test/", "out", "--no-proxy"}).noProxy);
}

TEST(CliOptions, OfflineCopiesAndConvertingAnEarlierOne) {
    EXPECT_TRUE(parseOk({"--offline", "http://h.test/", "out"}).offline);
    const auto convert = parseOk({"--convert", "/tmp/copy"});
    EXPECT_EQ(convert.convertDirectory, "/tmp/copy");
    EXPECT_EQ(parseOk({"--convert=old copy"}).convertDirectory, "old copy");
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
          "--on-quota", "--no-unknown-size", "--mystery-name", "--quiet", "--verbose", "--user",
          "--password", "--password-file", "~/.netrc", "--version"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
    for (const char* status :
         {"  0  every queued file", "  1  the copy was stopped", "  2  invalid arguments",
          "  3  the copy finished, but files failed", "  4  nothing could be saved"}) {
        EXPECT_NE(usage.find(status), std::string::npos) << status;
    }
}

TEST(CliOptions, DoubleDashEndsOptions) {
    auto o = parseOk({"--", "-odd-url", "dir"});
    EXPECT_EQ(o.startUrl, "-odd-url");
}

namespace {

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    const char* message;  // the whole error text
};

std::ostream& operator<<(std::ostream& os, const UsageCase& c) { return os << c.name; }

class UsageError : public ::testing::TestWithParam<UsageCase> {};

}  // namespace

TEST_P(UsageError, IsRefusedWithItsMessage) {
    EXPECT_EQ(parseError(GetParam().args), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    CliOptions, UsageError,
    ::testing::Values(
        UsageCase{"LowerBoundAboveUpper",
                  {"--rule", "*.zip:50-5", "u", "d"},
                  "--rule: the lower size bound is above the upper one: *.zip:50-5"},
        UsageCase{"BoundOutOfRange",
                  {"--rule=*.zip:5-100001", "u", "d"},
                  "--rule: size bounds must be whole kilobytes from 0 to 100000: *.zip:5-100001"},
        UsageCase{"UnknownLongOption", {"u", "d", "--bogus=1"}, "unknown option: --bogus=1"},
        UsageCase{"UnknownShortOption", {"-x", "u", "d"}, "unknown option: -x"},
        UsageCase{"ValueMissingAtTheEnd", {"u", "d", "--user"}, "--user needs a value"},
        UsageCase{"QuotaNotANumber",
                  {"--quota=1e3", "u", "d"},
                  "--quota must be whole megabytes from 0 to 10000: 1e3"},
        UsageCase{"PasswordWithoutUser", {"--password", "pw", "u", "d"}, "--password needs --user"},
        UsageCase{"PasswordFileWithoutUser",
                  {"--password-file", "/p", "u", "d"},
                  "--password-file needs --user"},
        UsageCase{"PasswordTwice",
                  {"--user", "a", "--password", "pw", "--password-file", "/p", "u", "d"},
                  "--password and --password-file exclude each other"},
        UsageCase{"NoSaveDirectory", {"u"}, "START_URL and SAVE_DIR are required"},
        UsageCase{"ThirdPositional", {"u", "d", "e"}, "too many arguments: e"},
        UsageCase{"ConvertWithAStartUrl",
                  {"--convert", "/tmp/copy", "http://h.test/"},
                  "--convert takes no START_URL or SAVE_DIR: http://h.test/"},
        UsageCase{"ConvertWithoutItsFolder", {"--convert"}, "--convert needs a value"}),
    [](const ::testing::TestParamInfo<UsageCase>& info) { return std::string(info.param.name); });

TEST(CliOptions, CredentialsAndVersion) {
    auto o = parseOk({"--user=dana", "--password", "s3 cret", "u", "d"});
    EXPECT_EQ(o.user, "dana");
    EXPECT_EQ(o.password, "s3 cret");
    EXPECT_FALSE(o.passwordFile.has_value());
    auto f = parseOk({"--user", "dana", "--password-file=/run/pw", "u", "d"});
    EXPECT_EQ(f.passwordFile, "/run/pw");
    auto none = parseOk({"u", "d"});
    EXPECT_FALSE(none.user || none.password || none.passwordFile) << "~/.netrc answers then";
    EXPECT_TRUE(parseOk({"--version"}).version);
    EXPECT_TRUE(parseOk({"-V"}).version);
}

TEST(CliOptions, LaterFlagOverridesEarlierAndShortFlagsCombine) {
    auto o = parseOk({"--no-text", "--text", "--graphics", "--no-graphics", "u", "d"});
    EXPECT_TRUE(o.text);
    EXPECT_FALSE(o.graphics);
    auto q = parseOk({"-qh"});
    EXPECT_TRUE(q.quiet);
    EXPECT_TRUE(q.help);
}

TEST(CliOptions, ValuesKeepTheirBytes) {
    // Latin-1 bytes, not UTF-8: a folder name as the file system holds it.
    auto o = parseOk({"http://h.test/caf\xe9/", "/tmp/caf\xe9", "--mystery-name", "\xff.html"});
    EXPECT_EQ(o.startUrl, "http://h.test/caf\xe9/");
    EXPECT_EQ(o.saveDirectory, "/tmp/caf\xe9");
    EXPECT_EQ(o.mysteryName, "\xff.html");
}
