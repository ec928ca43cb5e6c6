#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/cli/Credentials.h"
#include "tests/support/Peers.h"

using cli::findNetrcLogin;
using cli::parseNetrc;

namespace {

struct NetrcCase {
    const char* name;
    const char* text;
    const char* host;
    std::optional<std::string> user;
    // "user:password", or empty when no entry answers.
    const char* expected;
};

std::ostream& operator<<(std::ostream& os, const NetrcCase& c) { return os << c.name; }

class Netrc : public ::testing::TestWithParam<NetrcCase> {};

}  // namespace

TEST_P(Netrc, PicksTheLoginAsWgetWould) {
    const NetrcCase& c = GetParam();
    auto login = findNetrcLogin(parseNetrc(c.text), c.host, c.user);
    const std::string got = login ? login->user + ":" + login->password : "";
    EXPECT_EQ(got, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Credentials, Netrc,
    ::testing::Values(
        NetrcCase{
            "OneLine", "machine h.test login dana password s3cret\n", "h.test", {}, "dana:s3cret"},
        NetrcCase{"TokensOverLines",
                  "machine h.test\n  login dana\n  password s3cret",
                  "h.test",
                  {},
                  "dana:s3cret"},
        NetrcCase{"HostLetterCaseIgnored",
                  "machine H.Test login dana password p",
                  "h.TEST",
                  {},
                  "dana:p"},
        NetrcCase{"FirstMachineWins",
                  "machine h.test login a password 1\nmachine h.test login b password 2",
                  "h.test",
                  {},
                  "a:1"},
        NetrcCase{"OtherMachineThenDefault",
                  "machine other.test login o password x\ndefault login anon password guest",
                  "h.test",
                  {},
                  "anon:guest"},
        NetrcCase{"NoEntry", "machine other.test login o password x", "h.test", {}, ""},
        NetrcCase{"QuotedWithEscapes",
                  "machine h.test login \"da na\" password \"a\\\"b c\"",
                  "h.test",
                  {},
                  "da na:a\"b c"},
        NetrcCase{"CommentsSkipped",
                  "# machine h.test login no password no\nmachine h.test login dana password p "
                  "# trailing\n",
                  "h.test",
                  {},
                  "dana:p"},
        NetrcCase{"AccountAndPortSkipped",
                  "machine h.test account acct port 80 login dana password p",
                  "h.test",
                  {},
                  "dana:p"},
        NetrcCase{"MacroBodyIgnored",
                  "macdef init\nmachine h.test login evil password evil\n\nmachine h.test login "
                  "dana password p\n",
                  "h.test",
                  {},
                  "dana:p"},
        // A user given on the command line takes the machine's password only
        // when the entry is that user's; the default entry is not consulted.
        NetrcCase{"GivenUserMatches", "machine h.test login dana password p", "h.test",
                  std::string("dana"), "dana:p"},
        NetrcCase{"GivenUserDiffers", "machine h.test login dana password p", "h.test",
                  std::string("eve"), ""},
        NetrcCase{"GivenUserNoDefault", "default login anon password guest", "h.test",
                  std::string("dana"), ""},
        NetrcCase{
            "CrLfLines", "machine h.test\r\nlogin dana\r\npassword p\r\n", "h.test", {}, "dana:p"}),
    [](const ::testing::TestParamInfo<NetrcCase>& info) { return std::string(info.param.name); });

TEST(Credentials, EachRealmIsAnsweredOnceThenTheRefusalIsSaid) {
    cli::CredentialAnswers answers(std::string("dana"), std::string("s3cret"), {});
    std::vector<std::string> warnings;
    answers.warn = [&](const std::string& text) { warnings.push_back(text); };
    std::string user, password;
    ASSERT_TRUE(answers.answer("Club", "h.test", user, password));
    EXPECT_EQ(user, "dana");
    EXPECT_EQ(password, "s3cret");
    // Another realm gets its own answer.
    EXPECT_TRUE(answers.answer("Staff", "h.test", user, password));
    // Asked again for the same realm: the server refused them.
    EXPECT_FALSE(answers.answer("Club", "h.test", user, password));
    EXPECT_FALSE(answers.answer("Club", "h.test", user, password));
    ASSERT_EQ(warnings.size(), 1u) << "said once";
    EXPECT_NE(warnings[0].find("\"Club\" on h.test were refused"), std::string::npos);
    EXPECT_EQ(warnings[0].find("s3cret"), std::string::npos) << "no secret in a message";
}

TEST(Credentials, NetrcAnswersPerHostAndMissingCredentialsAreSaid) {
    cli::CredentialAnswers answers(std::nullopt, std::nullopt,
                                   parseNetrc("machine h.test login dana password p"));
    std::vector<std::string> warnings;
    answers.warn = [&](const std::string& text) { warnings.push_back(text); };
    std::string user, password;
    EXPECT_TRUE(answers.answer("Club", "h.test", user, password));
    EXPECT_EQ(user + ":" + password, "dana:p");
    EXPECT_FALSE(answers.answer("Club", "other.test", user, password));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("--user and --password"), std::string::npos);
}

TEST(Credentials, PasswordFileGivesItsFirstLine) {
    QTemporaryDir tmp;
    const std::string path = tmp.path().toStdString() + "/pw";
    testsupport::writeFile(path, "s3cret word\r\nsecond line\n");
    std::string reason;
    EXPECT_EQ(cli::readPasswordFile(path, reason), "s3cret word");
    EXPECT_EQ(cli::readPasswordFile(path + ".missing", reason), std::nullopt);
    EXPECT_EQ(reason, "No such file or directory");
}
