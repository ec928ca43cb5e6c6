#include "http/HostCache.h"

#include <algorithm>
#include <cstring>

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

}  // namespace

bool THostCache::find(const std::string& name, std::uint32_t& addressNetworkOrder) const {
    // The "|" keeps "host" from taking the address of "hostile".
    const std::string key = name + "|";
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (it->compare(0, key.size(), key) == 0) {
            const std::string number = it->substr(key.size());
            const bool negative = !number.empty() && number[0] == '-';
            const std::int64_t v = wholeNumber(negative ? number.substr(1) : number);
            addressNetworkOrder = fromCacheNumber(negative ? -v : v);
            return true;
        }
    }
    return false;
}

void THostCache::add(const std::string& name, std::uint32_t addressNetworkOrder) {
    const std::string entry = name + "|" + std::to_string(cacheNumber(addressNetworkOrder));
    auto at = std::lower_bound(entries_.begin(), entries_.end(), entry);
    if (at == entries_.end() || *at != entry) entries_.insert(at, entry);
}

THostCache& THostCache::shared() {
    static THostCache cache;
    return cache;
}

}  // namespace http
