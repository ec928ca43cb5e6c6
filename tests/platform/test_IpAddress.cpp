#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <string>

#include "platform/IpAddress.h"
#include "platform/Ipv4Text.h"
#include "tests/support/RowName.h"

using platform::IpAddress;
using platform::IpFamily;

namespace {

struct ParseRow {
    const char* name;
    std::string text;
    IpFamily family;
    const char* formatted;
};

class IpAddressText : public ::testing::TestWithParam<ParseRow> {};

TEST_P(IpAddressText, ParsesAndIsWrittenInItsShortestForm) {
    const ParseRow& row = GetParam();
    const auto address = IpAddress::parse(row.text);
    ASSERT_TRUE(address.has_value()) << row.text;
    EXPECT_EQ(address->family(), row.family);
    EXPECT_EQ(address->text(), row.formatted);
    // The written form reads back as the same address.
    EXPECT_EQ(IpAddress::parse(address->text()), address);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IpAddressText,
    ::testing::Values(
        ParseRow{"ipv4_loopback", "127.0.0.1", IpFamily::V4, "127.0.0.1"},
        ParseRow{"ipv4_any", "0.0.0.0", IpFamily::V4, "0.0.0.0"},
        ParseRow{"ipv4_broadcast", "255.255.255.255", IpFamily::V4, "255.255.255.255"},
        ParseRow{"ipv4_leading_zeros_are_decimal", "010.001.000.009", IpFamily::V4, "10.1.0.9"},
        ParseRow{"ipv6_loopback", "::1", IpFamily::V6, "::1"},
        ParseRow{"ipv6_unspecified", "::", IpFamily::V6, "::"},
        ParseRow{"ipv6_upper_case_and_full", "2001:0DB8:0000:0000:0000:FF00:0042:8329",
                 IpFamily::V6, "2001:db8::ff00:42:8329"},
        ParseRow{"ipv6_first_of_equal_runs", "2001:db8:0:0:1:0:0:1", IpFamily::V6,
                 "2001:db8::1:0:0:1"},
        ParseRow{"ipv6_longest_run", "2001:0:0:1:0:0:0:1", IpFamily::V6, "2001:0:0:1::1"},
        ParseRow{"ipv6_single_zero_group_kept", "2001:db8:0:1:1:1:1:1", IpFamily::V6,
                 "2001:db8:0:1:1:1:1:1"},
        ParseRow{"ipv6_link_local", "fe80::1", IpFamily::V6, "fe80::1"},
        ParseRow{"ipv6_mapped_dotted", "::ffff:192.0.2.1", IpFamily::V6, "::ffff:192.0.2.1"},
        ParseRow{"ipv6_mapped_hex", "::ffff:c000:201", IpFamily::V6, "::ffff:192.0.2.1"},
        ParseRow{"ipv6_low_groups_stay_hex", "::1:2", IpFamily::V6, "::1:2"},
        ParseRow{"ipv6_compatible_dotted", "::192.0.2.1", IpFamily::V6, "::c000:201"}),
    [](const auto& info) { return support::RowName(info.index, info.param.name); });

struct BadRow {
    const char* name;
    std::string text;
};

class IpAddressBadText : public ::testing::TestWithParam<BadRow> {};

TEST_P(IpAddressBadText, IsNoAddress) {
    EXPECT_FALSE(IpAddress::parse(GetParam().text).has_value()) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, IpAddressBadText,
    ::testing::Values(BadRow{"empty", ""}, BadRow{"three_parts", "1.2.3"},
                      BadRow{"five_parts", "1.2.3.4.5"}, BadRow{"part_above_255", "1.2.3.256"},
                      BadRow{"four_digits", "1.2.3.0004"}, BadRow{"empty_part", "1..2.3"},
                      BadRow{"negative_part", "1.2.3.-4"}, BadRow{"short_form", "127.1"},
                      BadRow{"hex_form", "0x7f.0.0.1"}, BadRow{"trailing_blank", "1.2.3.4 "},
                      BadRow{"leading_blank", " 1.2.3.4"}, BadRow{"host_name", "localhost"},
                      BadRow{"bracketed", "[::1]"}, BadRow{"zone", "fe80::1%lo"},
                      BadRow{"three_colons", ":::"}, BadRow{"two_gaps", "1::2::3"},
                      BadRow{"group_too_long", "12345::"}, BadRow{"not_hex", "::g"},
                      BadRow{"nine_groups", "1:2:3:4:5:6:7:8:9"},
                      BadRow{"seven_groups", "1:2:3:4:5:6:7"},
                      BadRow{"zero_byte_inside", std::string("::1\0::2", 6)},
                      BadRow{"zero_byte_after_ipv4", std::string("10.0.0.1\0", 9)},
                      BadRow{"over_long", std::string(60, '1') + "::"}),
    [](const auto& info) { return support::RowName(info.index, info.param.name); });

TEST(IpAddress, Ipv4NumberInNetworkOrderRoundTrips) {
    const auto parsed = IpAddress::parse("192.0.2.7");
    ASSERT_TRUE(parsed);
    const unsigned char* b = parsed->bytes();
    EXPECT_EQ(b[0], 192);
    EXPECT_EQ(b[3], 7);
    EXPECT_EQ(parsed->size(), 4u);
    EXPECT_EQ(IpAddress::fromIpv4(parsed->ipv4()), *parsed);
    EXPECT_EQ(parsed->ipv4(), platform::dottedAddress("192.0.2.7"));
    EXPECT_EQ(platform::dottedText(parsed->ipv4()), "192.0.2.7");
    EXPECT_EQ(IpAddress::parse("::1")->ipv4(), 0u);
    EXPECT_NE(IpAddress::parse("::ffff:192.0.2.7"), parsed) << "a mapped address is IPv6";
}

TEST(IpAddress, SocketAddressCarriesFamilyAddressAndPort) {
    for (const char* text : {"127.0.0.1", "::1", "2001:db8::42"}) {
        const auto address = IpAddress::parse(text);
        ASSERT_TRUE(address) << text;
        sockaddr_storage storage;
        const std::size_t length = address->toSocketAddress(8080, storage);
        EXPECT_EQ(storage.ss_family, address->isV4() ? AF_INET : AF_INET6) << text;
        EXPECT_EQ(length, address->isV4() ? sizeof(sockaddr_in) : sizeof(sockaddr_in6)) << text;
        std::uint16_t port = 0;
        EXPECT_EQ(IpAddress::fromSocketAddress(storage, &port), address) << text;
        EXPECT_EQ(port, 8080) << text;
    }
    sockaddr_storage unix{};
    unix.ss_family = AF_UNIX;
    EXPECT_FALSE(IpAddress::fromSocketAddress(unix).has_value());
}

}  // namespace
