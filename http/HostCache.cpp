#include "http/HostCache.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "http/WebInternal.h"

namespace http {

namespace {

std::int32_t cacheNumber(std::uint32_t addressNetworkOrder) {
    unsigned char b[4];
    std::memcpy(b, &addressNetworkOrder, 4);
    std::uint32_t v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    return static_cast<std::int32_t>(v);
}

std::uint32_t fromCacheNumber(std::int64_t number) {
    auto v = static_cast<std::uint32_t>(number);
    unsigned char b[4] = {
        static_cast<unsigned char>(v & 0xFF), static_cast<unsigned char>((v >> 8) & 0xFF),
        static_cast<unsigned char>((v >> 16) & 0xFF), static_cast<unsigned char>((v >> 24) & 0xFF)};
    std::uint32_t a;
    std::memcpy(&a, b, 4);
    return a;
}

bool isIpv6Value(const std::string& value) { return value.find(':') != std::string::npos; }

std::uint32_t ipv4Value(const std::string& number) {
    const bool negative = !number.empty() && number[0] == '-';
    const std::int64_t v = wholeNumber(negative ? number.substr(1) : number);
    return fromCacheNumber(negative ? -v : v);
}

std::optional<platform::IpAddress> addressValue(const std::string& value) {
    if (!isIpv6Value(value)) return platform::IpAddress::fromIpv4(ipv4Value(value));
    auto address = platform::IpAddress::parse(value);
    if (address && address->isV6()) return address;
    return std::nullopt;
}

// The "|" keeps "host" from taking the address of "hostile".
bool ofName(const std::string& entry, const std::string& key) {
    return entry.compare(0, key.size(), key) == 0;
}

}  // namespace

bool THostCache::find(const std::string& name, std::uint32_t& addressNetworkOrder) const {
    const std::string key = name + "|";
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (!ofName(*it, key)) continue;
        const std::string value = it->substr(key.size());
        if (isIpv6Value(value)) continue;
        addressNetworkOrder = ipv4Value(value);
        return true;
    }
    return false;
}

std::vector<platform::IpAddress> THostCache::addresses(const std::string& name) const {
    const std::string key = name + "|";
    std::vector<platform::IpAddress> found;
    for (const bool ipv6 : {true, false}) {
        for (const auto& e : entries_) {
            if (!ofName(e, key) || isIpv6Value(e.substr(key.size())) != ipv6) continue;
            const auto address = addressValue(e.substr(key.size()));
            if (address && std::find(found.begin(), found.end(), *address) == found.end())
                found.push_back(*address);
        }
    }
    return found;
}

std::string THostCache::entry(const std::string& name, const platform::IpAddress& address) {
    if (address.isV6()) return name + "|" + address.text();
    return name + "|" + std::to_string(cacheNumber(address.ipv4()));
}

void THostCache::add(const std::string& name, std::uint32_t addressNetworkOrder) {
    add(name, platform::IpAddress::fromIpv4(addressNetworkOrder));
}

void THostCache::add(const std::string& name, const platform::IpAddress& address) {
    const std::string e = entry(name, address);
    auto at = std::lower_bound(entries_.begin(), entries_.end(), e);
    if (at == entries_.end() || *at != e) entries_.insert(at, e);
}

void THostCache::keepOnly(const std::string& name, const platform::IpAddress& address) {
    const std::string key = name + "|";
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&key](const std::string& e) { return ofName(e, key); }),
                   entries_.end());
    add(name, address);
}

THostCache& THostCache::shared() {
    static THostCache cache;
    return cache;
}

}  // namespace http
