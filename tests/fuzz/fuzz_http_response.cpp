// libFuzzer target for the HTTP component's response reader, fed from memory:
// the input's bytes are cut into pieces (the first byte chooses their length)
// and given to the response-head parser the way blocks arrive from a socket.
// Cut or whole, the same head lines and the same body must come out, the head
// stays bounded, and no byte is lost or made up.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "http/HeaderLineCutter.h"
#include "http/ResponseHead.h"
#include "tests/fuzz/FuzzSupport.h"

using fuzzsupport::check;

namespace {

struct Reading {
    std::vector<std::string> lines;
    std::string body;
    std::size_t headBytes = 0;
    bool complete = false;
    http::TResponseHead head;
};

Reading readPieces(const std::vector<std::string>& pieces) {
    http::TResponseHeadParser parser;
    Reading r;
    for (const std::string& piece : pieces) {
        if (!parser.complete()) {
            const std::size_t used = parser.feed(piece.data(), piece.size());
            check(used <= piece.size(), "the head takes no more than the block");
            r.headBytes += used;
            if (parser.complete()) r.body += piece.substr(used);
        } else {
            const std::size_t skip = parser.bodyStart(piece.data(), piece.size());
            check(skip <= 1 && skip <= piece.size(),
                  "at most the head's last line feed is skipped");
            r.headBytes += skip;
            r.body += piece.substr(skip);
        }
    }
    r.complete = parser.complete();
    r.lines = parser.lines();
    r.head = parser.head();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::vector<std::string> pieces = fuzzsupport::pieces(data, size);
    std::string whole;
    for (const std::string& piece : pieces) whole += piece;

    const Reading cut = readPieces(pieces);
    const Reading once = readPieces({whole});
    check(cut.complete == once.complete, "the head ends at the same place however it is cut");
    check(cut.lines == once.lines, "the same head lines however the bytes are cut");
    check(cut.body == once.body, "the same body however the bytes are cut");
    check(cut.headBytes + cut.body.size() == whole.size(), "every byte is head or body");
    check(cut.lines.size() <= http::HeaderLineCutter::kMaxLines, "head lines bounded");
    for (const std::string& line : cut.lines) {
        check(line.size() <= http::HeaderLineCutter::kMaxLineLength, "head line bounded");
    }
    check(!cut.head.contentLength || *cut.head.contentLength >= 0, "content length not negative");
    check(cut.head.statusClass >= 0 && cut.head.statusClass <= 9, "status class is one digit");
    check(cut.head.contentLength == once.head.contentLength &&
              cut.head.location == once.head.location,
          "the same fields however the bytes are cut");
    return 0;
}
