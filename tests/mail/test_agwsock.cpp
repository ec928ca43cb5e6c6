#include <gtest/gtest.h>

#include "mail/MailStrings.h"
#include "mail/agsocket.h"
#include "platform/AsyncSocket.h"
#include "platform/EventPump.h"
#include "platform/MessageReceiver.h"
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
    EXPECT_EQ(ws.InetAddr("127.0.0.1 and more"), loopback) << "the address ends at a blank";
    EXPECT_EQ(ws.InetAddr("0.0.0.0"), 0u) << "a valid address, not a failure";
    EXPECT_EQ(ws.InetAddr(std::string("127.0.0.1\0", 10)), INADDR_NONE_VALUE);
    EXPECT_EQ(ws.InetAddr("::1"), INADDR_NONE_VALUE) << "IPv4 only";
}

struct Message {
    unsigned msg;
    std::uintptr_t wParam;
    int event;
    int error;
};

struct Inbox {
    std::vector<Message> seen;
    platform::MessageReceiver receiver{[this](unsigned m, std::uintptr_t w, std::intptr_t l) {
        seen.push_back({m, w, TagWinsock::WSAGetSelectEvent(l), TagWinsock::WSAGetSelectError(l)});
    }};
    bool wait() {
        return platform::waitUntilFor([this] { return !seen.empty(); }, 10000);
    }
};

TEST(MailSocketLayer, DatagramGoesOutAndItsAnswerIsReadOnLoopback) {
    const auto loopback = *platform::IpAddress::parse("127.0.0.1");
    Inbox peerInbox;
    platform::AsyncSocket peer;
    peer.notify(&peerInbox.receiver, 1, 0, FD_READ);
    ASSERT_EQ(peer.open(platform::IpFamily::V4, platform::SocketKind::Datagram), 0);
    ASSERT_EQ(peer.bind(loopback, 0), 0);

    TagWinsock& ws = agWinsock();
    Inbox inbox;
    const TSocket s = ws.socket(AF_INET_FAMILY, kSockDgram, 0);
    ASSERT_NE(s, INVALID_SOCKET);
    ASSERT_EQ(ws.WSAAsyncSelect(s, &inbox.receiver, 1174, FD_READ), 0);
    ASSERT_EQ(ws.connect(s, ws.InetAddr("127.0.0.1"), TagWinsock::Htons(peer.localPort())), 0);
    ASSERT_EQ(ws.send(s, "query", 5, 0), 5);

    char buffer[16];
    platform::IpAddress from;
    std::uint16_t fromPort = 0;
    ASSERT_TRUE(peerInbox.wait());
    ASSERT_EQ(peer.receiveFrom(buffer, sizeof buffer, from, fromPort), 5);
    EXPECT_EQ(std::string(buffer, 5), "query");
    EXPECT_EQ(from, loopback);
    ASSERT_EQ(peer.sendTo("answer", 6, from, fromPort), 6);

    ASSERT_TRUE(inbox.wait());
    EXPECT_EQ(inbox.seen[0].msg, 1174u);
    EXPECT_EQ(inbox.seen[0].wParam, static_cast<std::uintptr_t>(s));
    EXPECT_EQ(inbox.seen[0].event, FD_READ);
    EXPECT_EQ(inbox.seen[0].error, 0);
    ASSERT_EQ(ws.recv(s, buffer, sizeof buffer, 0), 6);
    EXPECT_EQ(std::string(buffer, 6), "answer");
    EXPECT_EQ(ws.recv(s, buffer, sizeof buffer, 0), SOCKET_ERROR);
    EXPECT_EQ(ws.WSAGetLastError(), platform::WSAEWOULDBLOCK);
    EXPECT_EQ(ws.closesocket(s), 0);
}

struct HostRow {
    const char* name;
    std::string host;
    int error;
    std::vector<std::string> addresses;
};

class MailHostLookup : public ::testing::TestWithParam<HostRow> {};

// Rows a name server is never asked about.
TEST_P(MailHostLookup, AnswerArrivesAsAMessageWithTheEntry) {
    const HostRow& row = GetParam();
    Inbox inbox;
    THostEntry entry;
    entry.addresses = {1, 2, 3};
    const TAsyncHandle handle =
        agWinsock().WSAAsyncGetHostByName(&inbox.receiver, 1172, row.host, &entry);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(inbox.wait());
    EXPECT_EQ(inbox.seen[0].msg, 1172u);
    EXPECT_EQ(inbox.seen[0].wParam, handle);
    EXPECT_EQ(inbox.seen[0].error, row.error);
    EXPECT_EQ(entry.name, row.host);
    std::vector<std::string> texts;
    for (std::uint32_t a : entry.addresses) texts.push_back(TagWinsock::InetNtoa(a));
    EXPECT_EQ(texts, row.addresses);
    EXPECT_EQ(agWinsock().WSACancelAsyncRequest(handle), SOCKET_ERROR) << "already answered";
}

INSTANTIATE_TEST_SUITE_P(
    Table, MailHostLookup,
    ::testing::Values(HostRow{"dotted_address", "127.0.0.1", 0, {"127.0.0.1"}},
                      HostRow{"reserved_invalid", "mx.example.invalid", 11001, {}},
                      HostRow{"ipv6_literal", "::1", 11001, {}}),
    [](const auto& info) { return support::RowName(info.index, info.param.name); });

TEST(MailSocketLayer, CancelledHostLookupIsNeverAnswered) {
    Inbox inbox;
    THostEntry entry;
    const TAsyncHandle first =
        agWinsock().WSAAsyncGetHostByName(&inbox.receiver, 1172, "127.0.0.1", &entry);
    EXPECT_EQ(agWinsock().WSACancelAsyncRequest(first), 0);
    const TAsyncHandle second =
        agWinsock().WSAAsyncGetHostByName(&inbox.receiver, 1172, "127.0.0.2", &entry);
    ASSERT_TRUE(inbox.wait());
    platform::processPendingEvents();
    ASSERT_EQ(inbox.seen.size(), 1u);
    EXPECT_EQ(inbox.seen[0].wParam, second);
    EXPECT_EQ(entry.addresses, std::vector<std::uint32_t>{agWinsock().InetAddr("127.0.0.2")});
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

INSTANTIATE_TEST_SUITE_P(
    MailTable, NumberedErrorText,
    ::testing::Values(
        TextCase{10061, "[10061] Connection refused"}, TextCase{11001, "[11001] Host not found"},
        TextCase{10000, "[0] No Error"}, TextCase{10013, "[10013] Permission denied."},
        TextCase{10054, "[10054] Connection reset by peer"},
        TextCase{1, "Server property is required"}, TextCase{2, "Invalid Winsock version"},
        TextCase{3, "Error resolving remote host"}, TextCase{4, "Service name is required"},
        TextCase{5, "You have to connect to the server first"},
        TextCase{6, "MailMessage property must be assigned"}, TextCase{10999, "Error #10999"},
        TextCase{42, "Error #42"}),
    [](const auto& info) { return support::RowName(info.index, std::to_string(info.param.code)); });

}  // namespace
