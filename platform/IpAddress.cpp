#include "platform/IpAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// Four dotted decimal numbers of 0..255 with one to three digits each; the
// C library's inet_aton would also take "127.1", hex and octal forms, which
// no address typed into this program means.
std::optional<std::array<std::uint8_t, 4>> parseDottedQuad(std::string_view text) {
    std::array<std::uint8_t, 4> b{};
    std::size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != '.') return std::nullopt;
            ++i;
        }
        if (i >= text.size() || !isDecimalDigit(text[i])) return std::nullopt;
        int value = 0, digits = 0;
        while (i < text.size() && isDecimalDigit(text[i])) {
            value = value * 10 + (text[i++] - '0');
            if (++digits > 3 || value > 255) return std::nullopt;
        }
        b[static_cast<std::size_t>(part)] = static_cast<std::uint8_t>(value);
    }
    if (i != text.size()) return std::nullopt;
    return b;
}

// The longest IPv6 text (a mapped address in full) and its terminating zero.
constexpr std::size_t kMaxIpv6Text = 46;

}  // namespace

std::optional<IpAddress> IpAddress::parse(std::string_view text) {
    if (auto quad = parseDottedQuad(text)) {
        IpAddress a;
        std::copy(quad->begin(), quad->end(), a.bytes_.begin());
        return a;
    }
    // Only hex digits, colons and the dots of an embedded IPv4 part; this
    // also keeps a zero byte from cutting the text short for inet_pton.
    if (text.empty() || text.size() >= kMaxIpv6Text || text.find(':') == std::string_view::npos)
        return std::nullopt;
    for (char c : text) {
        const bool allowed = isDecimalDigit(c) || (c >= 'a' && c <= 'f') ||
                             (c >= 'A' && c <= 'F') || c == ':' || c == '.';
        if (!allowed) return std::nullopt;
    }
    const std::string terminated(text);
    IpAddress a;
    if (::inet_pton(AF_INET6, terminated.c_str(), a.bytes_.data()) != 1) return std::nullopt;
    a.family_ = IpFamily::V6;
    return a;
}

IpAddress IpAddress::fromIpv4(std::uint32_t addressNetworkOrder) {
    IpAddress a;
    std::memcpy(a.bytes_.data(), &addressNetworkOrder, 4);
    return a;
}

IpAddress IpAddress::fromIpv6(const std::array<std::uint8_t, 16>& bytes) {
    IpAddress a;
    a.family_ = IpFamily::V6;
    a.bytes_ = bytes;
    return a;
}

std::optional<IpAddress> IpAddress::fromSocketAddress(const sockaddr_storage& address,
                                                      std::uint16_t* port) {
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        if (port) *port = ntohs(in.sin_port);
        return fromIpv4(in.sin_addr.s_addr);
    }
    if (address.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
        std::array<std::uint8_t, 16> bytes{};
        std::memcpy(bytes.data(), &in6.sin6_addr, 16);
        if (port) *port = ntohs(in6.sin6_port);
        return fromIpv6(bytes);
    }
    return std::nullopt;
}

std::uint32_t IpAddress::ipv4() const {
    if (!isV4()) return 0;
    std::uint32_t a;
    std::memcpy(&a, bytes_.data(), 4);
    return a;
}

std::string IpAddress::text() const {
    if (isV4()) {
        char buffer[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, bytes_.data(), buffer, sizeof buffer);
        return buffer;
    }
    // The C library writes an address whose first 96 bits are zero in the
    // deprecated IPv4-compatible form ("::0.1.0.2"); RFC 5952 keeps dotted
    // text for mapped addresses only, so these get hex groups.
    const bool first96Zero =
        std::all_of(bytes_.begin(), bytes_.begin() + 12, [](std::uint8_t b) { return b == 0; });
    if (first96Zero && (bytes_[12] != 0 || bytes_[13] != 0)) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "::%x:%x", bytes_[12] << 8 | bytes_[13],
                      bytes_[14] << 8 | bytes_[15]);
        return buffer;
    }
    char buffer[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET6, bytes_.data(), buffer, sizeof buffer);
    return buffer;
}

std::size_t IpAddress::toSocketAddress(std::uint16_t port, sockaddr_storage& out) const {
    std::memset(&out, 0, sizeof out);
    if (isV4()) {
        auto& in = reinterpret_cast<sockaddr_in&>(out);
        in.sin_family = AF_INET;
        in.sin_port = htons(port);
        std::memcpy(&in.sin_addr, bytes_.data(), 4);
        return sizeof in;
    }
    auto& in6 = reinterpret_cast<sockaddr_in6&>(out);
    in6.sin6_family = AF_INET6;
    in6.sin6_port = htons(port);
    std::memcpy(&in6.sin6_addr, bytes_.data(), 16);
    return sizeof in6;
}

}  // namespace platform
