#include "platform/Ipv4Text.h"

#include "platform/IpAddress.h"

namespace platform {

std::uint32_t dottedAddress(const std::string& text) {
    const auto address = IpAddress::parse(text);
    return address && address->isV4() ? address->ipv4() : 0;
}

std::string dottedText(std::uint32_t addressNetworkOrder) {
    return IpAddress::fromIpv4(addressNetworkOrder).text();
}

}  // namespace platform
