#include "http/WebInternal.h"

#include <ctime>

#include "platform/ByteText.h"

namespace http {

std::int64_t wholeNumber(const std::string& s) {
    if (s.empty() || s.size() > 18) return 0;
    std::int64_t v = 0;
    for (char c : s) {
        if (!isDigit(c)) return 0;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::string leftTrimmedBlanks(const std::string& s) {
    std::size_t b = 0;
    while (b < s.size() && s[b] == ' ') ++b;
    return s.substr(b);
}

std::string withTwoSlashes(const std::string& text) {
    const std::string u = platform::UpperCase(text);
    if (u.rfind("HTTPS:/", 0) == 0 && u.find("HTTPS://") == std::string::npos) {
        return "https://" + text.substr(7);
    }
    if (u.rfind("HTTP:/", 0) == 0 && u.find("HTTP://") == std::string::npos) {
        return "http://" + text.substr(6);
    }
    return text;
}

std::string httpDateNow() {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char buf[64];
    std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return buf;
}

std::string requestTarget(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += ch;
        }
    }
    return out;
}

}  // namespace http
