#include <gtest/gtest.h>

#include <random>

#include "http/HeaderLineCutter.h"
#include "tests/support/RowName.h"

using http::HeaderLineCutter;

namespace {

struct Cut {
    std::vector<std::string> lines;
    std::string body;
    bool complete = false;
};

// Feeds the text in the given pieces, the way the component does: header
// bytes to the cutter, the rest of each block (and later blocks) as body.
Cut feedPieces(const std::vector<std::string>& pieces) {
    HeaderLineCutter cutter;
    Cut cut;
    for (const auto& p : pieces) {
        if (!cutter.complete()) {
            std::size_t used = cutter.feed(p.data(), p.size(), cut.lines);
            if (cutter.complete()) cut.body += p.substr(used);
        } else {
            std::size_t skip = cutter.finalLineFeed(p.data(), p.size());
            cut.body += p.substr(skip);
        }
    }
    cut.complete = cutter.complete();
    return cut;
}

const std::string kHeader =
    "HTTP/1.0 200 OK\r\n"
    "Server: test\r\n"
    "Content-Type: text/html; charset=utf-8\r\n"
    "Content-Length: 5\r\n"
    "\r\n";
const std::vector<std::string> kLines = {"HTTP/1.0 200 OK", "Server: test",
                                         "Content-Type: text/html; charset=utf-8",
                                         "Content-Length: 5"};

}  // namespace

TEST(HeaderLineCutter, HeaderCutAtEveryPositionLosesNothing) {
    const std::string response = kHeader + "\r\nab\n";  // a body that begins with a line break
    for (std::size_t at = 0; at <= response.size(); ++at) {
        Cut cut = feedPieces({response.substr(0, at), response.substr(at)});
        ASSERT_TRUE(cut.complete) << at;
        EXPECT_EQ(cut.lines, kLines) << "cut at " << at;
        EXPECT_EQ(cut.body, "\r\nab\n") << "cut at " << at;
    }
}

TEST(HeaderLineCutter, RandomPiecesGiveTheSameResult) {
    const std::string response = kHeader + "hello";
    std::mt19937 gen(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::string> pieces;
        for (std::size_t at = 0; at < response.size();) {
            std::size_t n = 1 + gen() % 9;
            pieces.push_back(response.substr(at, n));
            at += n;
        }
        Cut cut = feedPieces(pieces);
        EXPECT_EQ(cut.lines, kLines);
        EXPECT_EQ(cut.body, "hello");
    }
}

struct EndingCase {
    const char* text;
    std::vector<std::string> lines;
    const char* body;
};

class HeaderLineEndings : public ::testing::TestWithParam<EndingCase> {};

TEST_P(HeaderLineEndings, EveryKindOfLineEnd) {
    const EndingCase& c = GetParam();
    Cut whole = feedPieces({c.text});
    EXPECT_TRUE(whole.complete);
    EXPECT_EQ(whole.lines, c.lines);
    EXPECT_EQ(whole.body, c.body);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HeaderLineEndings,
    ::testing::Values(
        EndingCase{"HTTP/1.0 200 OK\nA: 1\n\nbody", {"HTTP/1.0 200 OK", "A: 1"}, "body"},
        EndingCase{"HTTP/1.0 200 OK\rA: 1\r\rbody", {"HTTP/1.0 200 OK", "A: 1"}, "body"},
        EndingCase{"HTTP/1.0 200 OK\n\rA: 1\n\r\n\rbody", {"HTTP/1.0 200 OK", "A: 1"}, "\rbody"},
        EndingCase{"  HTTP/1.0 200 OK \t\r\nA:  1  \r\n\r\n", {"HTTP/1.0 200 OK", "A:  1"}, ""},
        EndingCase{"HTTP/1.0 200 OK\r\n   \r\nA: 1\r\n\r\nx", {"HTTP/1.0 200 OK", "A: 1"}, "x"}),
    [](const auto& info) { return support::RowName(info.index, info.param.text); });

TEST(HeaderLineCutter, IncompleteHeaderKeepsWaiting) {
    Cut cut = feedPieces({"HTTP/1.0 200 OK\r\nServer: te"});
    EXPECT_FALSE(cut.complete);
    EXPECT_EQ(cut.lines, std::vector<std::string>{"HTTP/1.0 200 OK"});
}

TEST(HeaderLineCutter, OverlongLineIsCutNotGrown) {
    std::string longValue(HeaderLineCutter::kMaxLineLength * 3, 'x');
    Cut cut = feedPieces({"HTTP/1.0 200 OK\r\nX: " + longValue + "\r\n\r\n"});
    ASSERT_EQ(cut.lines.size(), 2u);
    EXPECT_EQ(cut.lines[1].size(), HeaderLineCutter::kMaxLineLength);
}

// Hostile input: random bytes dense in line ends and colons, cut anywhere,
// must give exactly what the whole block gives.
TEST(HeaderLineCutter, RandomInputGivesTheSameResultInAnyPieces) {
    std::mt19937 gen(2024);
    const char alphabet[] = "\r\n\r\n:: aZ\t\x01\xff";
    for (int round = 0; round < 2000; ++round) {
        std::string text(gen() % 200, ' ');
        for (auto& c : text) c = alphabet[gen() % (sizeof alphabet - 1)];
        Cut whole = feedPieces({text});
        std::vector<std::string> pieces;
        for (std::size_t at = 0; at < text.size();) {
            std::size_t n = 1 + gen() % 7;
            pieces.push_back(text.substr(at, n));
            at += n;
        }
        Cut cut = feedPieces(pieces);
        ASSERT_EQ(cut.lines, whole.lines) << round;
        ASSERT_EQ(cut.body, whole.body) << round;
        ASSERT_EQ(cut.complete, whole.complete) << round;
    }
}
