#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/IpAddress.h"

namespace http {

// Host names already looked up, so that a crawl asks the resolver once per
// host. Entries read "name|address", sorted, without duplicates. An IPv4
// address is written as a number: its four bytes in network order read as
// one little-endian signed 32-bit number. An IPv6 address is written as its
// text ("::1"); the colons tell the two forms apart, so lists kept before
// IPv6 read as they always did.
class THostCache {
public:
    // The IPv4 address of exactly this name (not of a name it begins), or false.
    bool find(const std::string& name, std::uint32_t& addressNetworkOrder) const;
    // Every address of exactly this name: the IPv6 ones first, as a lookup
    // ranks them (RFC 6724), then the IPv4 ones, each family in entry order;
    // entries that read as no address are passed over.
    std::vector<platform::IpAddress> addresses(const std::string& name) const;

    void add(const std::string& name, std::uint32_t addressNetworkOrder);
    void add(const std::string& name, const platform::IpAddress& address);
    // Makes address the name's only entry: the one that answered when others
    // did not, so that the next retrieval goes there first.
    void keepOnly(const std::string& name, const platform::IpAddress& address);

    std::vector<std::string>& entries() { return entries_; }
    const std::vector<std::string>& entries() const { return entries_; }

    // The entry text of a name and an address.
    static std::string entry(const std::string& name, const platform::IpAddress& address);

    // The one every TWeb uses unless it is given another.
    static THostCache& shared();

private:
    std::vector<std::string> entries_;
};

}  // namespace http
