#include <gtest/gtest.h>

#include <random>

#include "mail/MailErrors.h"
#include "mail/msmsgcls.h"

namespace {

std::vector<std::string> qp(const std::string& source) {
    std::vector<std::string> lines;
    TQuotedPrintable codec(source, lines);
    codec.Encode();
    return lines;
}

struct QpCase {
    const char* name;
    std::string source;
    std::vector<std::string> lines;
};

class QuotedPrintable : public ::testing::TestWithParam<QpCase> {};

TEST_P(QuotedPrintable, EncodesAsDescribed) { EXPECT_EQ(qp(GetParam().source), GetParam().lines); }

const std::string k70 = std::string(70, 'x');
const std::string k65 = std::string(65, 'y');

INSTANTIATE_TEST_SUITE_P(
    QpCases, QuotedPrintable,
    ::testing::Values(
        QpCase{"Empty", "", {}}, QpCase{"OneLine", "Hello\r\n", {"Hello"}},
        QpCase{"SeventyLettersCutAfter65", k70 + "\r\n", {std::string(65, 'x') + "=", "xxxxx"}},
        QpCase{"Exactly65GivesEmptyLastPiece", k65 + "\r\n", {k65 + "=", ""}},
        QpCase{"BreakBeforeLastBlank",
               std::string(60, 'a') + " bbbbbbbbbb\r\n",
               {std::string(60, 'a') + "=", " bbbbbbbbbb"}},
        QpCase{"BlankAtSecondCharacterIsUsed",
               "a " + std::string(70, 'c') + "\r\n",
               {"a=", " " + std::string(64, 'c') + "=", std::string(6, 'c')}},
        QpCase{"BlankAtFirstCharacterIsNot",
               " " + std::string(70, 'c') + "\r\n",
               {" " + std::string(64, 'c') + "=", std::string(6, 'c')}},
        QpCase{"EqualsControlAndHighCharacters", "a=b\tc\xE9\x7F~\r\n", {"a=3Db=09c=E9\x7F~"}},
        QpCase{"BlanksStay", "  two  \r\n", {"  two  "}},
        QpCase{"EmptyParagraphGivesEmptyLine", "a\r\n\r\nb\r\n", {"a", "", "b"}},
        QpCase{"CrCrAndLfLfAreOneBreak", "a\r\rb\n\nc", {"a", "b", "c"}},
        QpCase{"LfCrIsOneBreak", "a\n\rb", {"a", "b"}},
        QpCase{"LastCharacterBelongsToTheParagraph", "abc", {"abc"}},
        QpCase{"EncodedPieceMayOutgrowSixtyFive",
               std::string(65, '=') + "\r\n",
               {[] {
                    std::string s;
                    for (int i = 0; i < 65; ++i) s += "=3D";
                    return s + "=";
                }(),
                ""}}),
    [](const ::testing::TestParamInfo<QpCase>& info) { return info.param.name; });

TEST(QuotedPrintableLimits, ParagraphOf24575IsFineAndOneMoreIsTooLarge) {
    EXPECT_NO_THROW(qp(std::string(24575, 'a')));
    try {
        qp(std::string(24576, 'a') + "\r\n");
        FAIL() << "a longer paragraph must fail";
    } catch (const EMessageError& e) {
        EXPECT_STREQ(e.what(), "Paragraph is too large");
    }
}

// Whatever the input, the output lines decode back to it (soft breaks joined)
// and no line holds a raw control or high character.
TEST(QuotedPrintableLimits, RandomTextRoundTrips) {
    std::mt19937 rng(42);
    for (int round = 0; round < 300; ++round) {
        std::string line;
        const int length = static_cast<int>(rng() % 300);
        for (int i = 0; i < length; ++i) {
            const int pick = static_cast<int>(rng() % 10);
            line += pick < 2   ? ' '
                    : pick < 3 ? static_cast<char>(rng() % 256)
                               : static_cast<char>('a' + rng() % 26);
        }
        std::string source;
        for (char c : line) source += (c == '\r' || c == '\n') ? 'z' : c;
        const auto lines = qp(source);
        std::string decoded;
        for (const auto& l : lines) {
            std::string text = l;
            // An encoded "=" is "=3D", so a final "=" is always a soft break.
            const bool soft = !text.empty() && text.back() == '=';
            for (unsigned char c : text) ASSERT_TRUE(c >= 32 && c < 128) << "raw byte in output";
            if (soft) text.pop_back();
            for (std::size_t i = 0; i < text.size(); ++i) {
                if (text[i] == '=') {
                    decoded += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                } else {
                    decoded += text[i];
                }
            }
        }
        EXPECT_EQ(decoded, source);
    }
}

}  // namespace
