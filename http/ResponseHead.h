#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "http/HeaderLineCutter.h"

namespace http {

// What the head of a response says. A field the head does not name stays
// empty; of two lines naming the same field the earlier one counts.
struct TResponseHead {
    // The status line: "HTTP/1.0 200 OK".
    bool statusLine = false;
    int httpMajor = 0, httpMinor = 0;
    std::optional<std::string> statusText;  // "200 OK"
    int statusClass = 0, statusDetail = 0;  // 2, 0
    std::string reason;                     // "OK"

    std::optional<int> mimeMajor, mimeMinor;
    std::optional<std::string> serverName, documentDate, contentEncoding, expires, location,
        contentType, contentSubType, lastModified, warning;
    std::optional<std::int64_t> contentLength;  // 0 when the value is no whole number

    // A challenge (an authorization header in a response that is not a
    // success), Basic and otherwise.
    bool challenge = false;
    std::string basicChallenge, otherChallenge;

    // A Via header: a proxy passed the response on (proxies add one to every
    // response they forward), so it is not the proxy's own answer.
    bool forwardedByProxy = false;

    // Reads the lines of a head (see HeaderLineCutter), the status line first.
    static TResponseHead read(const std::vector<std::string>& lines);
};

// Cuts a response's head from its bytes as they arrive, in blocks of any size,
// and reads it once the empty line that ends it has come.
class TResponseHeadParser {
public:
    // Feeds a block; returns how many of its bytes belong to the head (the
    // rest is body). After the head is complete, use bodyStart instead.
    std::size_t feed(const char* data, std::size_t size);
    bool complete() const { return cutter_.complete(); }
    // The first block after the head may begin with the LF of its last CR LF:
    // the offset of the body in that block (0 or 1).
    std::size_t bodyStart(const char* data, std::size_t size) {
        return cutter_.finalLineFeed(data, size);
    }

    const std::vector<std::string>& lines() const { return lines_; }
    std::vector<std::string>& lines() { return lines_; }
    TResponseHead head() const { return TResponseHead::read(lines_); }

    void reset();

private:
    HeaderLineCutter cutter_;
    std::vector<std::string> lines_;
};

}  // namespace http
