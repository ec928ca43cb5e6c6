// libFuzzer target for the HTTP component's parsers: header cutting (whole and
// in pieces must agree) and URL parsing. Built only with Clang (see
// tests/fuzz/CMakeLists.txt); run it as
//   fuzz_http_header -max_total_time=60 <corpus copy>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "http/HeaderLineCutter.h"
#include "http/Web.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

struct Result {
    std::vector<std::string> lines;
    std::string body;
    bool complete = false;
};

Result cut(const std::string& text, std::size_t step) {
    http::HeaderLineCutter cutter;
    Result r;
    for (std::size_t at = 0; at < text.size(); at += step) {
        std::string piece = text.substr(at, step);
        if (!cutter.complete()) {
            std::size_t used = cutter.feed(piece.data(), piece.size(), r.lines);
            check(used <= piece.size());
            if (cutter.complete()) r.body += piece.substr(used);
        } else {
            r.body += piece.substr(cutter.finalLineFeed(piece.data(), piece.size()));
        }
    }
    r.complete = cutter.complete();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    if (!input.empty()) {
        Result whole = cut(input, input.size());
        std::size_t step = 1 + static_cast<unsigned char>(input[0]) % 16;
        Result pieces = cut(input, step);
        check(whole.lines == pieces.lines);
        check(whole.body == pieces.body);
        check(whole.complete == pieces.complete);
        for (const auto& line : whole.lines) {
            check(!line.empty() && line.size() <= http::HeaderLineCutter::kMaxLineLength);
        }
    }
    http::TWeb web;
    try {
        web.setURL(input);
    } catch (const http::EConvertError&) {
        // An unreadable port text is reported this way by design.
    }
    check(web.BufferSize() == 8192);
    return 0;
}
