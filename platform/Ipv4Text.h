#pragma once

#include <cstdint>
#include <string>

namespace platform {

// IPv4 addresses as text, for callers that hold them as numbers in network
// byte order; both go through IpAddress.

// The address of exactly four dotted decimal numbers of 0..255 ("10.0.0.1"),
// or 0 when the text is anything else.
std::uint32_t dottedAddress(const std::string& text);
// "a.b.c.d".
std::string dottedText(std::uint32_t addressNetworkOrder);

}  // namespace platform
