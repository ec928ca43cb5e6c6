// Byte text: ASCII-only case folding, the two trims and base64.
#include <gtest/gtest.h>

#include <string>

#include "platform/ByteText.h"

using namespace platform;

namespace {

struct TrimCase {
    const char* name;
    std::string text;
    std::string trimmed;        // blanks and control characters gone
    std::string trimmedBlanks;  // spaces and tabs gone
};

class TrimTable : public ::testing::TestWithParam<TrimCase> {};

TEST_P(TrimTable, TrimsOnlyItsOwnSetAtBothEnds) {
    EXPECT_EQ(Trimmed(GetParam().text), GetParam().trimmed);
    EXPECT_EQ(TrimmedBlanks(GetParam().text), GetParam().trimmedBlanks);
}

INSTANTIATE_TEST_SUITE_P(
    ByteText, TrimTable,
    ::testing::Values(TrimCase{"Empty", "", "", ""}, TrimCase{"OnlyBlanks", " \t ", "", ""},
                      TrimCase{"InnerBlanksStay", "  a b  ", "a b", "a b"},
                      TrimCase{"CarriageReturnIsControl", "\tvalue\r", "value", "value\r"},
                      TrimCase{"NulIsControl", std::string("\0x\0", 3), "x",
                               std::string("\0x\0", 3)},
                      TrimCase{"HighBytesStay", "\xC3\xA9 ", "\xC3\xA9", "\xC3\xA9"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ByteText, FoldsAsciiLettersOnly) {
    EXPECT_EQ(LowerCase("Content-TYPE: Ä\xC9"), "content-type: Ä\xC9");
    EXPECT_EQ(UpperCase("http://a.b/\xE9"), "HTTP://A.B/\xE9");
    EXPECT_TRUE(EqualsCaseBlind("WWW-Authenticate", "www-authenticate"));
    EXPECT_FALSE(EqualsCaseBlind("\xC9", "\xE9"));  // Latin-1 letters are not folded
    EXPECT_FALSE(EqualsCaseBlind("abc", "abcd"));
    EXPECT_TRUE(ContainsCaseBlind("Text/HTML; charset", "html"));
    EXPECT_TRUE(ContainsCaseBlind("x", ""));
    EXPECT_FALSE(ContainsCaseBlind("htm", "html"));
    EXPECT_TRUE(StartsWithCaseBlind("Subject: hi", "SUBJECT"));
    EXPECT_FALSE(StartsWithCaseBlind("Sub", "Subject"));
    EXPECT_TRUE(LessCaseBlind("alpha", "BETA"));
    EXPECT_FALSE(LessCaseBlind("Beta", "alpha"));
    EXPECT_FALSE(LessCaseBlind("MX", "mx"));
}

struct Base64Case {
    const char* name;
    std::string bytes;
    std::string encoded;
};

class Base64Table : public ::testing::TestWithParam<Base64Case> {};

TEST_P(Base64Table, EncodesWithPadding) { EXPECT_EQ(Base64(GetParam().bytes), GetParam().encoded); }

INSTANTIATE_TEST_SUITE_P(
    ByteText, Base64Table,
    ::testing::Values(Base64Case{"Empty", "", ""}, Base64Case{"OneByte", "f", "Zg=="},
                      Base64Case{"TwoBytes", "fo", "Zm8="}, Base64Case{"ThreeBytes", "foo", "Zm9v"},
                      Base64Case{"Credentials", "Aladdin:open sesame",
                                 "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
                      Base64Case{"HighAndNulBytes", std::string("\xFF\x00\xFE", 3), "/wD+"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
