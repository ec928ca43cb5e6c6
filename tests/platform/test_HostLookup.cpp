#include <gtest/gtest.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/EventPump.h"
#include "platform/HostLookup.h"
#include "platform/MessageReceiver.h"
#include "platform/SocketErrors.h"
#include "platform/SocketEvents.h"
#include "tests/support/RowName.h"

using namespace platform;

namespace {

constexpr unsigned kLookupMessage = 0x0400 + 312;
constexpr int kWatchdogMs = 10000;

struct Answer {
    std::uintptr_t handle = 0;
    int error = -1;
};

struct Collector {
    std::vector<Answer> seen;
    MessageReceiver receiver{[this](unsigned, std::uintptr_t w, std::intptr_t l) {
        seen.push_back({w, selectError(l)});
    }};
};

std::vector<std::string> texts(const std::vector<IpAddress>& addresses) {
    std::vector<std::string> out;
    for (const IpAddress& a : addresses) out.push_back(a.text());
    return out;
}

struct LookupRow {
    const char* name;
    std::string host;
    HostLookup::Wanted wanted;
    int error;
    std::vector<std::string> addresses;
    const char* firstIpv4;  // what address() gives, as text; "" for 0
};

class HostLookupAnswer : public ::testing::TestWithParam<LookupRow> {};

// Every row is answered without a name server: before any thread could ask,
// the lookup is no longer pending.
TEST_P(HostLookupAnswer, ComesAtOnceAsAMessage) {
    const LookupRow& row = GetParam();
    Collector c;
    HostLookup lookup(c.receiver, kLookupMessage);
    const int handle = lookup.start(row.host, row.wanted);
    EXPECT_GT(handle, 0);
    EXPECT_FALSE(lookup.pending());
    EXPECT_TRUE(c.seen.empty()) << "the answer arrives on a later turn of the loop";
    ASSERT_TRUE(waitUntilFor([&] { return !c.seen.empty(); }, kWatchdogMs));
    ASSERT_EQ(c.seen.size(), 1u);
    EXPECT_EQ(c.seen[0].handle, static_cast<std::uintptr_t>(handle));
    EXPECT_EQ(c.seen[0].error, row.error);
    EXPECT_EQ(texts(lookup.addresses(handle)), row.addresses);
    const std::uint32_t first = lookup.address(handle);
    EXPECT_EQ(first == 0 ? std::string() : IpAddress::fromIpv4(first).text(), row.firstIpv4);
    EXPECT_TRUE(lookup.addresses(handle + 1).empty()) << "not this lookup's handle";
}

using Wanted = HostLookup::Wanted;

INSTANTIATE_TEST_SUITE_P(
    Table, HostLookupAnswer,
    ::testing::Values(
        LookupRow{"ipv6_literal_any_family", "::1", Wanted::AnyFamily, 0, {"::1"}, ""},
        LookupRow{
            "ipv6_literal_for_ipv4_caller", "::1", Wanted::Ipv4, WSAHOST_NOT_FOUND, {"::1"}, ""},
        LookupRow{"ipv4_literal", "127.0.0.1", Wanted::Ipv4, 0, {"127.0.0.1"}, "127.0.0.1"},
        LookupRow{"ipv4_literal_any_family",
                  "127.0.0.1",
                  Wanted::AnyFamily,
                  0,
                  {"127.0.0.1"},
                  "127.0.0.1"},
        LookupRow{
            "long_ipv6_literal", "2001:DB8:0:0:0:0:0:7", Wanted::AnyFamily, 0, {"2001:db8::7"}, ""},
        LookupRow{
            "reserved_invalid", "nosuch.invalid", Wanted::AnyFamily, WSAHOST_NOT_FOUND, {}, ""},
        LookupRow{"reserved_invalid_ipv4",
                  "mail.example.INVALID.",
                  Wanted::Ipv4,
                  WSAHOST_NOT_FOUND,
                  {},
                  ""}),
    [](const auto& info) { return support::RowName(info.index, info.param.name); });

bool isLoopback(const std::string& text) {
    const auto a = IpAddress::parse(text);
    return a && ((a->isV4() && a->bytes()[0] == 127) || a->text() == "::1");
}

// A name of /etc/hosts whose every line there holds a loopback address, so
// that looking it up never reaches the network; empty when there is none.
std::string loopbackNameFromHostsFile() {
    std::ifstream in("/etc/hosts");
    std::vector<std::pair<std::string, std::string>> entries;  // name, address
    for (std::string line; std::getline(in, line);) {
        line = line.substr(0, line.find('#'));
        std::istringstream fields(line);
        std::string address, name;
        if (!(fields >> address)) continue;
        while (fields >> name) entries.emplace_back(name, address);
    }
    for (const auto& [name, address] : entries) {
        const bool allLoopback = std::all_of(entries.begin(), entries.end(), [&](const auto& e) {
            return e.first != name || isLoopback(e.second);
        });
        if (allLoopback && !IpAddress::parse(name)) return name;
    }
    return {};
}

// What the C library answers for the name, each address once, in its order.
std::vector<std::string> systemAnswer(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    addrinfo* result = nullptr;
    std::vector<std::string> out;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0) return out;
    for (addrinfo* a = result; a; a = a->ai_next) {
        sockaddr_storage storage{};
        std::memcpy(&storage, a->ai_addr, a->ai_addrlen);
        const auto address = IpAddress::fromSocketAddress(storage);
        if (address && std::find(out.begin(), out.end(), address->text()) == out.end())
            out.push_back(address->text());
    }
    ::freeaddrinfo(result);
    return out;
}

TEST(HostLookup, NameFromTheHostsFileGivesEveryAddressOnceInTheSystemsOrder) {
    const std::string name = loopbackNameFromHostsFile();
    if (name.empty()) GTEST_SKIP() << "/etc/hosts names no host with loopback addresses only";
    Collector c;
    HostLookup lookup(c.receiver, kLookupMessage);
    const int handle = lookup.start(name, Wanted::AnyFamily);
    ASSERT_TRUE(waitUntilFor([&] { return !c.seen.empty(); }, kWatchdogMs));
    EXPECT_EQ(c.seen[0].error, 0) << name;
    const std::vector<std::string> found = texts(lookup.addresses(handle));
    ASSERT_FALSE(found.empty()) << name;
    EXPECT_EQ(found, systemAnswer(name)) << name;
    EXPECT_EQ(std::set<std::string>(found.begin(), found.end()).size(), found.size());
    for (const std::string& text : found) EXPECT_TRUE(isLoopback(text)) << name << " " << text;
    // address() keeps giving the first IPv4 address of them.
    const auto firstIpv4 = std::find_if(found.begin(), found.end(), [](const std::string& t) {
        return IpAddress::parse(t)->isV4();
    });
    const std::uint32_t first = lookup.address(handle);
    EXPECT_EQ(first == 0 ? std::string() : IpAddress::fromIpv4(first).text(),
              firstIpv4 == found.end() ? std::string() : *firstIpv4);
}

TEST(HostLookup, CancelledLookupPostsNothing) {
    const std::string name = loopbackNameFromHostsFile();
    // A hosts-file answer can be ready before cancel() runs on a busy
    // machine; then there is nothing left to cancel (WSAEINVAL) and the
    // answer stands. Only a lookup still pending when cancelled tells.
    for (int attempt = 0; attempt < 50; ++attempt) {
        Collector c;
        HostLookup lookup(c.receiver, kLookupMessage);
        lookup.start(name.empty() ? "localhost" : name);
        if (lookup.cancel() != 0) {
            processPendingEvents();
            continue;
        }
        EXPECT_FALSE(lookup.pending());
        // A second lookup's answer arrives; the cancelled one's never does.
        const int second = lookup.start("127.0.0.1");
        ASSERT_TRUE(waitUntilFor([&] { return !c.seen.empty(); }, kWatchdogMs));
        processPendingEvents();
        ASSERT_EQ(c.seen.size(), 1u);
        EXPECT_EQ(c.seen[0].handle, static_cast<std::uintptr_t>(second));
        EXPECT_EQ(lookup.cancel(), WSAEINVAL) << "nothing pending";
        return;
    }
    FAIL() << "every lookup was answered before it could be cancelled";
}

}  // namespace
