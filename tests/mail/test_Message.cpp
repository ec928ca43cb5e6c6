#include <gtest/gtest.h>

#include <sstream>

#include "mail/MailErrors.h"
#include "mail/msmime.h"
#include "mail/msmsg.h"
#include "tests/support/RowName.h"

namespace {

std::string encode(const TmsMessage& m) {
    std::stringstream out;
    m.EncodeTo(out);
    return out.str();
}

TmsMessage basicMessage() {
    TmsMessage m;
    m.Sender().setAddress("me@sender.test");
    m.Recipients().Add("friend@example.test", "");
    return m;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto end = text.find("\r\n", pos);
        EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
        if (end == std::string::npos) break;
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

TEST(MessageEncoding, PlainMessageIsWrittenByteForByte) {
    TmsMessage m = basicMessage();
    m.Sender().setName("Jane Doe");
    m.setSubject("the Harvex is available for you.");
    m.setBodyText("Hello Bob, \r\nLine two\r\n\r\n");
    EXPECT_EQ(encode(m),
              "From:     Jane Doe <me@sender.test>\r\n"
              "To:        <friend@example.test>\r\n"
              "Subject: the Harvex is available for you.\r\n"
              "Mime-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
              "Content-Transfer-Encoding: 7bit\r\n"
              "\r\n"
              "Hello Bob, \r\n"
              "Line two\r\n"
              "\r\n");
}

struct NameCase {
    const char* name;
    const char* fromLine;
};

class MessageFromLine : public ::testing::TestWithParam<NameCase> {};

TEST_P(MessageFromLine, DisplayNameIsQuotedOnlyForAFullStopWithoutQuotes) {
    TmsMessage m = basicMessage();
    m.Sender().setName(GetParam().name);
    EXPECT_EQ(linesOf(encode(m)).at(0), GetParam().fromLine);
}

INSTANTIATE_TEST_SUITE_P(
    MailNames, MessageFromLine,
    ::testing::Values(NameCase{"", "From:      <me@sender.test>"},
                      NameCase{"Jane", "From:     Jane <me@sender.test>"},
                      NameCase{"J. Doe", "From:     \"J. Doe\" <me@sender.test>"},
                      NameCase{"\"J. Doe\"", "From:     \"J. Doe\" <me@sender.test>"},
                      NameCase{"J.\"D", "From:     J.\"D <me@sender.test>"}),
    [](const auto& info) { return support::RowName(info.index, info.param.name); });

TEST(MessageEncoding, AddressListsPutOneEntryPerLineAndNeverWriteBcc) {
    TmsMessage m = basicMessage();
    m.Recipients().Add("two@example.test", "Mr. Two");
    m.CC().Add("cc@example.test", "Carbon");
    m.BCC().Add("hidden@example.test", "Hidden");
    const auto lines = linesOf(encode(m));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[1], "To:        <friend@example.test>,");
    EXPECT_EQ(lines[2], "          \"Mr. Two\" <two@example.test>");
    EXPECT_EQ(lines[3], "CC:       Carbon <cc@example.test>");
    EXPECT_EQ(encode(m).find("hidden@example.test"), std::string::npos);
}

TEST(MessageEncoding, AddressListLabelAlreadyEndingInColonIsNotDoubled) {
    TmsAddressList list;
    list.Add("a@b.test", "A");
    EXPECT_EQ(TmsMessageEncoder::AddressListLines("Reply-To:", list).at(0),
              "Reply-To: A <a@b.test>");
    EXPECT_TRUE(TmsMessageEncoder::AddressListLines("To", TmsAddressList{}).empty());
}

TEST(MessageEncoding, ReceiptPriorityAndCallerHeadersComeInOrder) {
    TmsMessage m = basicMessage();
    m.setReturnReceipt(true);
    m.setPriority(TPriority::ptHigh);
    m.setSubject("S");
    m.Headers() = {"subject: overridden", "X-Mailer: Harvex", "To: someone", " continued",
                   "X-Other: 1"};
    const auto lines = linesOf(encode(m));
    const std::vector<std::string> expected = {"From:      <me@sender.test>",
                                               "To:        <friend@example.test>",
                                               "Return-Receipt-To: <me@sender.test>",
                                               "X-Priority: 1",
                                               "X-Mailer: Harvex",
                                               "X-Other: 1",
                                               "Subject: S",
                                               "Mime-Version: 1.0"};
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + expected.size()), expected);
    m.setPriority(TPriority::ptLow);
    EXPECT_NE(encode(m).find("\r\nX-Priority: 5\r\n"), std::string::npos);
}

TEST(MessageEncoding, EmptySubjectWritesNoSubjectLine) {
    TmsMessage m = basicMessage();
    m.setBodyText("x");
    EXPECT_EQ(encode(m).find("Subject"), std::string::npos);
}

TEST(MessageEncoding, BodyLinesBeginningWithADotGetAnotherDot) {
    TmsMessage m = basicMessage();
    m.setBodyText(".\r\n...three\r\nplain\r\n");
    const std::string text = encode(m);
    EXPECT_NE(text.find("\r\n\r\n..\r\n....three\r\nplain\r\n"), std::string::npos) << text;
}

TEST(MessageEncoding, LinesOf255StaySevenBitAndOf256GoQuotedPrintable) {
    TmsMessage m = basicMessage();
    m.setBodyText(std::string(255, 'a'));
    std::string text = encode(m);
    EXPECT_NE(text.find("Content-Transfer-Encoding: 7bit\r\n\r\n" + std::string(255, 'a') + "\r\n"),
              std::string::npos);
    m.setBodyText(std::string(256, 'a'));
    text = encode(m);
    EXPECT_NE(text.find("Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
                        std::string(65, 'a') + "=\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("Content-Type: text/plain; charset=\"us-ascii\""), std::string::npos);
}

TEST(MessageEncoding, HtmlIsAlwaysQuotedPrintableWithEqualsSignsEscaped) {
    TmsMessage m = basicMessage();
    m.setContentType("text/HTML");
    m.setBodyText(
        "<HTML>\r\n<P><A HREF=\"http://www.corvane.example/gizmorama/\">x</A>\r\n</HTML>");
    EXPECT_EQ(m.ContentType(), "text/html");
    const std::string text = encode(m);
    EXPECT_NE(
        text.find("Content-Type: text/html\r\nContent-Transfer-Encoding: "
                  "quoted-printable\r\n\r\n<HTML>\r\n"
                  "<P><A HREF=3D\"http://www.corvane.example/gizmorama/\">x</A>\r\n</HTML>\r\n"),
        std::string::npos)
        << text;
    m.setCharSet(TCharSet::csISO8859);
    EXPECT_NE(encode(m).find("Content-Type: text/html; charset=\"iso-8859-1\"\r\n"),
              std::string::npos);
}

TEST(MessageEncoding, Iso8859PlainBodyIsQuotedPrintable) {
    TmsMessage m = basicMessage();
    m.setCharSet(TCharSet::csISO8859);
    m.setBodyText("caf\xE9");
    const std::string text = encode(m);
    EXPECT_NE(text.find("charset=\"iso-8859-1\"\r\nContent-Transfer-Encoding: "
                        "quoted-printable\r\n\r\ncaf=E9\r\n"),
              std::string::npos);
}

TEST(MessageEncoding, PieceStartingWithADotAfterASoftBreakIsDoubled) {
    TmsMessage m = basicMessage();
    m.setContentType("text/html");
    m.setBodyText(std::string(65, 'a') + ".x");
    const auto lines = linesOf(encode(m));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], std::string(65, 'a') + "=");
    EXPECT_EQ(lines.back(), "..x");  // the server strips one dot again
}

TEST(MessageEncoding, LineBreaksInHeaderValuesCannotAddLinesOrEndTheData) {
    TmsMessage m = basicMessage();
    m.Sender().setName("Eve\r\n.\r\nRCPT TO:<x@y>");
    m.setSubject("Hi\r\nBcc: victim@example.test");
    for (const auto& line : linesOf(encode(m))) {
        EXPECT_NE(line, ".");
        EXPECT_NE(line.rfind("Bcc:", 0), 0u) << line;
        EXPECT_NE(line.rfind("RCPT", 0), 0u) << line;
    }
}

TEST(MessageEncoding, BodyLineHoldingABreakIsWrittenAsItsLinesEachStuffed) {
    TmsMessage m = basicMessage();
    m.Body() = {"one\r\n.\r\ntwo"};
    EXPECT_NE(encode(m).find("\r\n\r\none\r\n..\r\ntwo\r\n"), std::string::npos);
}

TEST(MessageEncoding, WriteLineDropsALoneDot) {
    std::stringstream out;
    TmsMessage m;
    TmsMessageEncoder encoder(m, out);
    encoder.WriteLine(".");
    encoder.WriteLine("a");
    encoder.WriteLine("");
    EXPECT_EQ(out.str(), "a\r\n\r\n");
}

TEST(MessageEncoding, WritingLeavesTheMessageAsItWas) {
    TmsMessage m = basicMessage();
    m.setBodyText(".dot\r\nx");
    encode(m);
    EXPECT_EQ(m.Body(), (std::vector<std::string>{".dot", "x"}));
    EXPECT_EQ(encode(m), encode(m));
}

TEST(Message, ValidateNamesTheMissingPart) {
    TmsMessage m;
    try {
        m.Validate();
        FAIL() << "no sender must fail";
    } catch (const EMessageError& e) {
        EXPECT_STREQ(e.what(), "The address of sender is required");
    }
    m.Sender().setAddress("me@sender.test");
    m.Recipients().Add("", "Nameless");
    try {
        m.Validate();
        FAIL() << "no recipient address must fail";
    } catch (const EMessageError& e) {
        EXPECT_STREQ(e.what(), "At least one Recipient, CC or BCC must be entered");
    }
    m.BCC().Add("hidden@example.test", "");
    EXPECT_NO_THROW(m.Validate());
}

TEST(Message, ContentTypeReadsPlainForAnEmptyBodyAndNothingForUU) {
    TmsMessage m;
    m.setContentType("Text/HTML");
    EXPECT_EQ(m.ContentType(), "text/plain");
    m.setBodyText("x");
    EXPECT_EQ(m.ContentType(), "text/html");
    m.setContentType("");
    EXPECT_EQ(m.ContentType(), "text/plain");
    m.setEncoding(TMsgEncoding::meUU);
    EXPECT_EQ(m.ContentType(), "");
}

struct SplitCase {
    const char* text;
    std::vector<std::string> lines;
};

class MessageBodyText : public ::testing::TestWithParam<SplitCase> {};

TEST_P(MessageBodyText, SplitsAtCrLfLoneCrAndLoneLf) {
    TmsMessage m;
    m.setBodyText(GetParam().text);
    EXPECT_EQ(m.Body(), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    MailBreaks, MessageBodyText,
    ::testing::Values(SplitCase{"", {}}, SplitCase{"a", {"a"}}, SplitCase{"a\r\n", {"a"}},
                      SplitCase{"a\r\n\r\n", {"a", ""}}, SplitCase{"a\rb\nc", {"a", "b", "c"}},
                      SplitCase{"a\n\rb", {"a", "", "b"}}, SplitCase{"\r\nx", {"", "x"}}),
    [](const auto& info) {
        std::string shown;  // line breaks spelled out
        for (char c : std::string_view(info.param.text))
            shown += c == '\r'   ? std::string(" CR ")
                     : c == '\n' ? std::string(" LF ")
                                 : std::string(1, c);
        return support::RowName(info.index, shown);
    });

}  // namespace
