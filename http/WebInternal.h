#pragma once

// Byte-text rules and constants that the units of TWeb share. Not for users
// of the component: they include http/Web.h.

#include <cstddef>
#include <cstdint>
#include <string>

namespace http {

// One socket read takes this much; the blocks handed to OnDataAvailable are
// still at most BufferSize - 1 bytes. Large reads keep the event loop out of
// the way of a fast transfer, and the store file gets one write per read.
constexpr std::size_t kReadChunk = 256 * 1024;
constexpr int kMaxPort = 65535;
constexpr const char* kUnsupportedScheme = "Unsupported authentication scheme";

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

inline int digitAt(const std::string& s, std::size_t i) {
    return i < s.size() && isDigit(s[i]) ? s[i] - '0' : 0;
}

// A whole decimal number; 0 for anything else (a hostile or broken header must
// not stop the transfer).
std::int64_t wholeNumber(const std::string& s);

// Without the spaces at its start.
std::string leftTrimmedBlanks(const std::string& s);

// "http:/host" (one slash) is read as "http://host", "https:/host" as
// "https://host".
std::string withTwoSlashes(const std::string& text);

// The current time as an HTTP date (RFC 7231, section 7.1.1.1).
std::string httpDateNow();

// A URL taken from a page may hold control characters; sent as they are, a
// CR LF would end the request line early and let the page write request
// headers of its own. They travel percent-encoded (RFC 3986, 2.1).
std::string requestTarget(const std::string& text);

// A host as written (a name, a dotted IPv4 address, an IPv6 address with or
// without brackets) as the name to look up or the bare address to connect
// to; the other one is emptied.
void splitHost(const std::string& host, std::string& name, std::string& address);

// The host with brackets around it when it holds a ":" (an IPv6 address), as
// it stands before a port and in a URL; any other host as it is.
std::string bracketedHost(const std::string& host);

}  // namespace http
