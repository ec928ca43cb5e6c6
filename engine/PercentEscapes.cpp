#include "engine/PercentEscapes.h"

namespace engine {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendEscape(std::string& out, unsigned char byte) {
    out += '%';
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0xF];
}

bool isAsciiAlphanumeric(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool staysInLinkPath(unsigned char c) {
    if (isAsciiAlphanumeric(c)) return true;
    switch (c) {
        case '/':
        case '-':
        case '.':
        case '_':
        case '~':
        case '!':
        case '$':
        case '*':
        case '+':
        case '=':
        case '@':
            return true;
        default:
            return false;
    }
}

bool staysInAbsoluteURL(unsigned char c) {
    if (c <= 0x20 || c >= 0x7F) return false;
    switch (c) {
        case '"':
        case '\'':
        case '(':
        case ')':
        case '<':
        case '>':
        case '\\':
        case ',':
        case '`':
            return false;
        default:
            return true;
    }
}

}  // namespace

std::string DecodePercentEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                const int byte = high * 16 + low;
                if (byte != '/' && byte != 0) {
                    out += static_cast<char>(byte);
                    i += 2;
                    continue;
                }
            }
        }
        out += text[i];
    }
    return out;
}

std::string EncodeLinkPath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (staysInLinkPath(byte)) {
            out += c;
        } else {
            appendEscape(out, byte);
        }
    }
    return out;
}

std::string EncodeAbsoluteURL(std::string_view url) {
    std::string out;
    out.reserve(url.size());
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (staysInAbsoluteURL(byte)) {
            out += c;
        } else {
            appendEscape(out, byte);
        }
    }
    return out;
}

}  // namespace engine
