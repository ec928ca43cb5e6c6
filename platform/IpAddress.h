#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sockaddr_storage;

namespace platform {

enum class IpFamily { V4, V6 };

// An IPv4 or IPv6 address as a value. The default value is the IPv4 address
// 0.0.0.0.
class IpAddress {
public:
    IpAddress() = default;

    // "10.0.0.1" (exactly four decimal numbers of 0..255, each of one to three
    // digits) or IPv6 text without brackets or zone ("::1", "2001:db8::2",
    // "::ffff:192.0.2.1"); nothing when the text is anything else.
    static std::optional<IpAddress> parse(std::string_view text);
    // An IPv4 address in network byte order.
    static IpAddress fromIpv4(std::uint32_t addressNetworkOrder);
    // An IPv6 address from its 16 bytes in network order.
    static IpAddress fromIpv6(const std::array<std::uint8_t, 16>& bytes);
    // The address of an AF_INET or AF_INET6 socket address, its port (host
    // byte order) into *port when asked; nothing for another family.
    static std::optional<IpAddress> fromSocketAddress(const sockaddr_storage& address,
                                                      std::uint16_t* port = nullptr);

    IpFamily family() const { return family_; }
    bool isV4() const { return family_ == IpFamily::V4; }
    bool isV6() const { return family_ == IpFamily::V6; }
    // The IPv4 address in network byte order; 0 for an IPv6 address.
    std::uint32_t ipv4() const;
    // The address bytes in network order: 4 of them for IPv4, 16 for IPv6.
    const std::uint8_t* bytes() const { return bytes_.data(); }
    std::size_t size() const { return isV4() ? 4 : 16; }

    // "10.0.0.1", or the IPv6 text of RFC 5952 (lower case, the longest run of
    // two or more zero groups as "::", "::ffff:192.0.2.1" for a mapped address).
    std::string text() const;
    // Fills out with this address and port (host byte order) and returns the
    // length to hand to connect() or sendto().
    std::size_t toSocketAddress(std::uint16_t port, sockaddr_storage& out) const;

    friend bool operator==(const IpAddress& a, const IpAddress& b) {
        return a.family_ == b.family_ && a.bytes_ == b.bytes_;
    }
    friend bool operator!=(const IpAddress& a, const IpAddress& b) { return !(a == b); }

private:
    IpFamily family_ = IpFamily::V4;
    std::array<std::uint8_t, 16> bytes_{};  // IPv4 uses the first four
};

}  // namespace platform
