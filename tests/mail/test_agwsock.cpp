#include <gtest/gtest.h>

#include "mail/MailStrings.h"
#include "mail/agsocket.h"
#include "platform/agwsock.h"
#include "tests/support/RowName.h"

namespace {

TEST(MailSocketLayer, DottedAddressMayBeFollowedByWhiteSpace) {
    TagWinsock& ws = agWinsock();
    const std::uint32_t loopback = ws.InetAddr("127.0.0.1");
    EXPECT_EQ(TagWinsock::InetNtoa(loopback), "127.0.0.1");
    EXPECT_EQ(ws.InetAddr("127.0.0.1\r\n\r\n"), loopback);
    EXPECT_EQ(ws.InetAddr("127.0.0.1 "), loopback);
    EXPECT_EQ(ws.InetAddr(""), INADDR_NONE_VALUE);
    EXPECT_EQ(ws.InetAddr("mx.example.test"), INADDR_NONE_VALUE);
    EXPECT_EQ(ws.InetAddr("127.0.0.1x"), INADDR_NONE_VALUE);
}

TEST(MailSocketLayer, UnloadedLibraryRefusesEveryCall) {
    TagSocket component;
    component.setWinsockLoaded(false);
    EXPECT_FALSE(component.WinsockLoaded());
    try {
        agWinsock().socket(AF_INET_FAMILY, kSockStream, 0);
        FAIL() << "an unloaded library must refuse";
    } catch (const EWinsockDLLError& e) {
        EXPECT_STREQ(e.what(), "Winsock is not loaded");
    }
    component.setWinsockLoaded(true);
    EXPECT_TRUE(component.WinsockLoaded());
    const TSocket s = agWinsock().socket(AF_INET_FAMILY, kSockDgram, 0);
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(agWinsock().closesocket(s), 0);
    EXPECT_EQ(agWinsock().closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(agWinsock().WSAGetLastError(), platform::WSAENOTSOCK);
}

struct TextCase {
    int code;
    const char* text;
};

class NumberedErrorText : public ::testing::TestWithParam<TextCase> {};

TEST_P(NumberedErrorText, ComesFromTheTable) {
    EXPECT_EQ(MailErrorText(GetParam().code), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(MailTable, NumberedErrorText,
                         ::testing::Values(TextCase{10061, "[10061] Connection refused"},
                                           TextCase{11001, "[11001] Host not found"},
                                           TextCase{10000, "[0] No Error"},
                                           TextCase{10013, "[10013] Permission denied."},
                                           TextCase{10054, "[10054] Connection reset by peer"},
                                           TextCase{1, "Server property is required"},
                                           TextCase{2, "Invalid Winsock version"},
                                           TextCase{3, "Error resolving remote host"},
                                           TextCase{4, "Service name is required"},
                                           TextCase{5, "You have to connect to the server first"},
                                           TextCase{6, "MailMessage property must be assigned"},
                                           TextCase{10999, "Error #10999"},
                                           TextCase{42, "Error #42"}),
    [](const auto& info) { return support::RowName(info.index, std::to_string(info.param.code)); });

}  // namespace
