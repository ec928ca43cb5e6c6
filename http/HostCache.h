#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace http {

// Host names already looked up, so that a crawl asks the resolver once per
// host. Entries read "name|number", sorted, without duplicates, the number
// being the address's four bytes in network order read as one little-endian
// signed 32-bit number.
class THostCache {
public:
    // The address of exactly this name (not of a name it begins), or false.
    bool find(const std::string& name, std::uint32_t& addressNetworkOrder) const;
    void add(const std::string& name, std::uint32_t addressNetworkOrder);

    std::vector<std::string>& entries() { return entries_; }
    const std::vector<std::string>& entries() const { return entries_; }

    // The one every TWeb uses unless it is given another.
    static THostCache& shared();

private:
    std::vector<std::string> entries_;
};

}  // namespace http
