#include "platform/Ipv4Text.h"

#include <cstring>

namespace platform {

namespace {

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::uint32_t dottedAddress(const std::string& text) {
    unsigned char b[4];
    int part = 0;
    std::size_t i = 0;
    while (part < 4) {
        if (i >= text.size() || !isDecimalDigit(text[i])) return 0;
        int v = 0, digits = 0;
        while (i < text.size() && isDecimalDigit(text[i])) {
            v = v * 10 + (text[i++] - '0');
            if (++digits > 3 || v > 255) return 0;
        }
        b[part++] = static_cast<unsigned char>(v);
        if (part < 4) {
            if (i >= text.size() || text[i] != '.') return 0;
            ++i;
        }
    }
    if (i != text.size()) return 0;
    std::uint32_t a;
    std::memcpy(&a, b, 4);
    return a;
}

std::string dottedText(std::uint32_t addressNetworkOrder) {
    unsigned char b[4];
    std::memcpy(b, &addressNetworkOrder, 4);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
           std::to_string(b[3]);
}

}  // namespace platform
