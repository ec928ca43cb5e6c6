// The response head read from memory: whole, and cut into random pieces the
// way a network delivers it. Both must give the same head and the same body.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "http/ResponseHead.h"
#include "tests/support/RowName.h"

using namespace http;

namespace {

struct Parsed {
    TResponseHead head;
    std::vector<std::string> lines;
    std::string body;
    bool complete = false;
};

// Feeds text in pieces whose sizes the generator picks (1..maxPiece bytes).
Parsed parse(const std::string& text, std::mt19937& random, std::size_t maxPiece) {
    TResponseHeadParser parser;
    Parsed parsed;
    std::uniform_int_distribution<std::size_t> pieceSize(1, maxPiece);
    for (std::size_t at = 0; at < text.size();) {
        const std::string piece = text.substr(at, pieceSize(random));
        at += piece.size();
        if (!parser.complete()) {
            const std::size_t used = parser.feed(piece.data(), piece.size());
            EXPECT_LE(used, piece.size());
            if (parser.complete()) parsed.body += piece.substr(used);
        } else {
            parsed.body += piece.substr(parser.bodyStart(piece.data(), piece.size()));
        }
    }
    parsed.complete = parser.complete();
    parsed.lines = parser.lines();
    parsed.head = parser.head();
    return parsed;
}

struct HeadCase {
    const char* name;
    std::string response;
    int statusClass;
    int statusDetail;
    std::string reason;
    std::optional<std::int64_t> contentLength;
    std::optional<std::string> location;
    std::optional<std::string> contentType;
    std::string basicChallenge;
    std::string body;
};

class ResponseHeadTable : public ::testing::TestWithParam<HeadCase> {};

TEST_P(ResponseHeadTable, SameHeadAndBodyWhateverThePieces) {
    const HeadCase& c = GetParam();
    std::mt19937 random(7);
    const Parsed whole = parse(c.response, random, c.response.size() + 1);
    ASSERT_TRUE(whole.complete);
    EXPECT_EQ(whole.head.statusClass, c.statusClass);
    EXPECT_EQ(whole.head.statusDetail, c.statusDetail);
    EXPECT_EQ(whole.head.reason, c.reason);
    EXPECT_EQ(whole.head.contentLength, c.contentLength);
    EXPECT_EQ(whole.head.location, c.location);
    EXPECT_EQ(whole.head.contentType, c.contentType);
    EXPECT_EQ(whole.head.basicChallenge, c.basicChallenge);
    EXPECT_EQ(whole.body, c.body);
    for (std::size_t maxPiece : {1u, 2u, 3u, 7u, 16u}) {
        for (int round = 0; round < 20; ++round) {
            const Parsed pieces = parse(c.response, random, maxPiece);
            ASSERT_TRUE(pieces.complete) << "pieces up to " << maxPiece;
            EXPECT_EQ(pieces.lines, whole.lines) << "pieces up to " << maxPiece;
            EXPECT_EQ(pieces.body, whole.body) << "pieces up to " << maxPiece;
            EXPECT_EQ(pieces.head.contentLength, whole.head.contentLength);
            EXPECT_EQ(pieces.head.location, whole.head.location);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    FromMemory, ResponseHeadTable,
    ::testing::Values(
        HeadCase{"PlainOk",
                 "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Type: text/html\r\n\r\nhello", 2,
                 0, "OK", 5, std::nullopt, "text", "", "hello"},
        HeadCase{"LoneLineFeeds", "HTTP/1.1 404 Not Found\nContent-Length: 3\n\nabc", 4, 4,
                 "Not Found", 3, std::nullopt, std::nullopt, "", "abc"},
        HeadCase{"RedirectWithOneSlash",
                 "HTTP/1.0 302 Found\r\nLocation: http:/host/next.html\r\n\r\n", 3, 2, "Found",
                 std::nullopt, "http://host/next.html", std::nullopt, "", ""},
        HeadCase{"EarlierOfTwoLengthsCounts",
                 "HTTP/1.0 200 OK\r\nContent-Length: 2\r\nContent-Length: 9\r\n\r\nab", 2, 0, "OK",
                 2, std::nullopt, std::nullopt, "", "ab"},
        HeadCase{"LengthThatIsNoNumberIsZero", "HTTP/1.0 200 OK\r\nContent-Length: -4\r\n\r\nxy", 2,
                 0, "OK", 0, std::nullopt, std::nullopt, "", "xy"},
        HeadCase{
            "BasicChallenge",
            "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"Vault\"\r\n\r\ndenied", 4,
            1, "Unauthorized", std::nullopt, std::nullopt, std::nullopt, "Basic realm=\"Vault\"",
            "denied"},
        HeadCase{"NoStatusLine", "Server: odd\r\n\r\nbody", 0, 0, "", std::nullopt, std::nullopt,
                 std::nullopt, "", "body"},
        HeadCase{"BodyBeginsWithLineBreaks", "HTTP/1.0 200 OK\r\n\r\n\r\n\nx", 2, 0, "OK",
                 std::nullopt, std::nullopt, std::nullopt, "", "\r\n\nx"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResponseHead, ChallengeInASuccessIsNoChallenge) {
    const TResponseHead head = TResponseHead::read(
        {"HTTP/1.0 200 OK", "WWW-Authenticate: Basic realm=\"x\"", "Server: s"});
    EXPECT_FALSE(head.challenge);
    EXPECT_EQ(head.serverName, "s");
    EXPECT_FALSE(head.lastModified.has_value());
}

TEST(ResponseHead, OtherSchemesAreKeptApartFromBasic) {
    const TResponseHead head =
        TResponseHead::read({"HTTP/1.1 401 No", "WWW-Authenticate: Digest realm=\"d\"",
                             "WWW-Authenticate: basic realm=\"b\""});
    EXPECT_TRUE(head.challenge);
    EXPECT_EQ(head.basicChallenge, "basic realm=\"b\"");
    EXPECT_EQ(head.otherChallenge, "Digest realm=\"d\"");
    EXPECT_EQ(head.httpMajor, 1);
    EXPECT_EQ(head.httpMinor, 1);
}

TEST(ResponseHead, ResetStartsANewHead) {
    TResponseHeadParser parser;
    const std::string first = "HTTP/1.0 500 Bad\r\n\r\n";
    parser.feed(first.data(), first.size());
    ASSERT_TRUE(parser.complete());
    parser.reset();
    EXPECT_FALSE(parser.complete());
    EXPECT_TRUE(parser.lines().empty());
    const std::string second = "HTTP/1.0 204 Empty\r\n\r\n";
    parser.feed(second.data(), second.size());
    EXPECT_EQ(parser.head().statusDetail, 4);
}

}  // namespace
