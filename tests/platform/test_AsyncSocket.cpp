#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <string>
#include <vector>

#include "platform/AsyncSocket.h"
#include "platform/EventPump.h"
#include "platform/MessageReceiver.h"
#include "platform/SocketErrors.h"
#include "platform/TcpSocket.h"
#include "tests/support/RowName.h"

using namespace platform;

namespace {

constexpr unsigned kSocketMessage = 0x0401;
constexpr int kWatchdogMs = 10000;
constexpr int kAllEvents = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;

struct Notification {
    std::uintptr_t tag;
    int event;
    int error;
};

struct Collector {
    std::vector<Notification> seen;
    MessageReceiver receiver{[this](unsigned, std::uintptr_t w, std::intptr_t l) {
        seen.push_back({w, selectEvent(l), selectError(l)});
    }};
    const Notification* find(int event) const {
        for (const auto& n : seen)
            if (n.event == event) return &n;
        return nullptr;
    }
    bool waitFor(int event) {
        return waitUntilFor([&] { return find(event) != nullptr; }, kWatchdogMs);
    }
    // Waits for the next FD_READ not yet taken and takes it.
    bool takeRead() {
        return waitUntilFor(
            [&] {
                for (auto& n : seen) {
                    if (n.event == FD_READ) {
                        n.event = 0;
                        return true;
                    }
                }
                return false;
            },
            kWatchdogMs);
    }
};

// Answers every FD_READ with one receive(), as the web component does, until
// FD_CLOSE; what the reads brought.
std::string readUntilClosed(Collector& c, TcpSocket& socket) {
    std::string received;
    waitUntilFor(
        [&] {
            for (auto& n : c.seen) {
                if (n.event != FD_READ) continue;
                n.event = 0;
                char buffer[64];
                const std::int64_t count = socket.receive(buffer, sizeof buffer);
                if (count > 0) received.append(buffer, static_cast<std::size_t>(count));
            }
            return c.find(FD_CLOSE) != nullptr;
        },
        kWatchdogMs);
    return received;
}

int closeCount(const Collector& c) {
    int count = 0;
    for (const auto& n : c.seen) count += n.event == FD_CLOSE ? 1 : 0;
    return count;
}

IpAddress loopbackOf(IpFamily family) {
    return *IpAddress::parse(family == IpFamily::V4 ? "127.0.0.1" : "::1");
}

// Whether this machine can bind a socket on ::1.
bool haveIpv6Loopback() {
    AsyncSocket probe;
    return probe.open(IpFamily::V6, SocketKind::Datagram) == 0 &&
           probe.bind(loopbackOf(IpFamily::V6), 0) == 0;
}

#define SKIP_WITHOUT_IPV6_LOOPBACK()                                                     \
    if (!haveIpv6Loopback())                                                             \
    GTEST_SKIP() << "this machine has no IPv6 loopback (::1 cannot be bound); the IPv6 " \
                    "socket paths are not exercised here"

TEST(TcpSocketIpv6, ConnectsToAListenerOnIpv6LoopbackAndTalks) {
    SKIP_WITHOUT_IPV6_LOOPBACK();
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHostIPv6)) << server.errorString().toStdString();
    std::string got;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* peer = server.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [&got, peer] {
            got += peer->readAll().toStdString();
            if (got == "ping") {
                peer->write("pong");
                peer->disconnectFromHost();
            }
        });
    });

    Collector c;
    TcpSocket socket(c.receiver, kSocketMessage, 6);
    // Opened for IPv4 as the HTTP component does; the IPv6 address makes it again.
    ASSERT_EQ(socket.open(), 0);
    const int rc = socket.connect(loopbackOf(IpFamily::V6), server.serverPort());
    EXPECT_TRUE(rc == 0 || rc == WSAEWOULDBLOCK) << rc;
    ASSERT_TRUE(c.waitFor(FD_CONNECT));
    EXPECT_EQ(c.find(FD_CONNECT)->error, 0);
    EXPECT_EQ(c.find(FD_CONNECT)->tag, 6u);
    ASSERT_EQ(socket.sendAll("ping", 4), 0);

    const std::string received = readUntilClosed(c, socket);
    ASSERT_NE(c.find(FD_CLOSE), nullptr);
    EXPECT_EQ(got, "ping");
    EXPECT_EQ(received, "pong");
    EXPECT_EQ(c.find(FD_CLOSE)->error, 0);
}

TEST(TcpSocketIpv6, RefusedPortGivesConnectionRefused) {
    SKIP_WITHOUT_IPV6_LOOPBACK();
    // A port held by a socket that does not listen: nothing else can take it,
    // and a connect to it is refused.
    AsyncSocket holder;
    ASSERT_EQ(holder.open(IpFamily::V6, SocketKind::Stream), 0);
    ASSERT_EQ(holder.bind(loopbackOf(IpFamily::V6), 0), 0);
    ASSERT_NE(holder.localPort(), 0);

    Collector c;
    TcpSocket socket(c.receiver, kSocketMessage, 1);
    ASSERT_EQ(socket.open(IpFamily::V6), 0);
    const int rc = socket.connect(loopbackOf(IpFamily::V6), holder.localPort());
    if (rc != WSAECONNREFUSED) {
        EXPECT_EQ(rc, WSAEWOULDBLOCK);
        ASSERT_TRUE(c.waitFor(FD_CONNECT)) << "the refusal is reported, not left to a time-out";
        EXPECT_EQ(c.find(FD_CONNECT)->error, WSAECONNREFUSED);
    }
    processPendingEvents();
    EXPECT_EQ(c.find(FD_WRITE), nullptr) << "a refused socket is never writable";
    EXPECT_FALSE(socket.connected());
}

// The peer's way of ending the connection once it has read "ping".
struct PeerEndRow {
    const char* name;
    bool reset;  // an RST (no linger) instead of an orderly close after "pong"
    int closeError;
};

class TcpSocketEnd : public ::testing::TestWithParam<PeerEndRow> {};

TEST_P(TcpSocketEnd, ReadingFindsTheEndOnceWithItsReason) {
    const PeerEndRow row = GetParam();
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* peer = server.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [peer, row] {
            if (peer->readAll() != "ping") return;
            if (row.reset) {
                const linger none{1, 0};
                ::setsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                             &none, sizeof none);
                peer->abort();
                return;
            }
            peer->write("pong");
            peer->disconnectFromHost();
        });
    });

    Collector c;
    TcpSocket socket(c.receiver, kSocketMessage, 9);
    ASSERT_EQ(socket.open(), 0);
    socket.connect(loopbackOf(IpFamily::V4), server.serverPort());
    ASSERT_TRUE(c.waitFor(FD_CONNECT));
    ASSERT_EQ(socket.sendAll("ping", 4), 0);
    const std::string received = readUntilClosed(c, socket);
    ASSERT_NE(c.find(FD_CLOSE), nullptr);
    EXPECT_EQ(c.find(FD_CLOSE)->error, row.closeError);
    EXPECT_EQ(received, row.reset ? "" : "pong");
    EXPECT_EQ(socket.pendingBytes(), 0) << "nothing can wait after the end";
    // Whatever the loop still holds is delivered: the end is told once.
    processPendingEvents();
    EXPECT_EQ(closeCount(c), 1);
}

INSTANTIATE_TEST_SUITE_P(Peer, TcpSocketEnd,
                         ::testing::Values(PeerEndRow{"OrderlyClose", false, 0},
                                           PeerEndRow{"Reset", true, WSAECONNRESET}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TcpSocket, HoldsNoPieceBackFromTheSecondSendOn) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    Collector c;
    TcpSocket socket(c.receiver, kSocketMessage, 4);
    ASSERT_EQ(socket.open(), 0);
    socket.connect(loopbackOf(IpFamily::V4), server.serverPort());
    ASSERT_TRUE(c.waitFor(FD_CONNECT));
    auto noDelay = [&] {
        int value = -1;
        socklen_t length = sizeof value;
        ::getsockopt(socket.descriptor(), IPPROTO_TCP, TCP_NODELAY, &value, &length);
        return value;
    };
    ASSERT_EQ(socket.sendAll("GET", 3), 0);
    EXPECT_EQ(noDelay(), 0) << "a lone request needs no option set";
    ASSERT_EQ(socket.sendAll(" /", 2), 0);
    EXPECT_NE(noDelay(), 0) << "a piece that follows must not wait for an acknowledgement";
}

TEST(AsyncSocket, RefusedSendIsFollowedByWriteOnceThePeerReads) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    Collector c;
    AsyncSocket socket;
    socket.notify(&c.receiver, kSocketMessage, 3, kAllEvents);
    ASSERT_EQ(socket.open(IpFamily::V4, SocketKind::Stream), 0);
    socket.connect(loopbackOf(IpFamily::V4), server.serverPort());
    ASSERT_TRUE(c.waitFor(FD_CONNECT));
    ASSERT_EQ(c.find(FD_CONNECT)->error, 0);
    ASSERT_TRUE(c.waitFor(FD_WRITE));
    c.seen.clear();

    // The peer reads nothing while the loop is not pumped: fill every buffer.
    const std::string block(64 * 1024, 'x');
    std::int64_t total = 0;
    for (int i = 0; i < 100000; ++i) {
        const std::int64_t n = socket.send(block.data(), block.size());
        if (n < 0) break;
        total += n;
    }
    ASSERT_EQ(socket.lastError(), WSAEWOULDBLOCK);
    EXPECT_EQ(c.find(FD_WRITE), nullptr);

    QTcpSocket* peer = server.nextPendingConnection();
    ASSERT_NE(peer, nullptr);
    std::int64_t read = 0;
    QObject::connect(peer, &QTcpSocket::readyRead, [&] { read += peer->readAll().size(); });
    ASSERT_TRUE(c.waitFor(FD_WRITE)) << "sent " << total << ", the peer read " << read;
    EXPECT_EQ(c.find(FD_WRITE)->error, 0);
    EXPECT_GT(socket.send("y", 1), 0);
}

struct DatagramRow {
    const char* name;
    IpFamily family;
};

class DatagramRoundTrip : public ::testing::TestWithParam<DatagramRow> {};

TEST_P(DatagramRoundTrip, SendToIsAnsweredToTheSender) {
    const IpFamily family = GetParam().family;
    if (family == IpFamily::V6) SKIP_WITHOUT_IPV6_LOOPBACK();
    const IpAddress loopback = loopbackOf(family);
    Collector serverEvents, clientEvents;
    AsyncSocket server, client;
    server.notify(&serverEvents.receiver, kSocketMessage, 10, FD_READ);
    client.notify(&clientEvents.receiver, kSocketMessage, 20, FD_READ);
    ASSERT_EQ(server.open(family, SocketKind::Datagram), 0);
    ASSERT_EQ(server.bind(loopback, 0), 0);
    ASSERT_EQ(client.open(family, SocketKind::Datagram), 0);

    ASSERT_EQ(client.sendTo("query", 5, loopback, server.localPort()), 5);
    ASSERT_TRUE(serverEvents.takeRead());
    EXPECT_EQ(serverEvents.seen[0].tag, 10u);
    EXPECT_EQ(server.pendingBytes(), 5);
    char buffer[16];
    IpAddress from;
    std::uint16_t fromPort = 0;
    ASSERT_EQ(server.receiveFrom(buffer, sizeof buffer, from, fromPort), 5);
    EXPECT_EQ(std::string(buffer, 5), "query");
    EXPECT_EQ(from, loopback);
    EXPECT_EQ(fromPort, client.localPort());

    // A datagram longer than the buffer is cut; an empty one still counts.
    const std::string answer = "answer-longer-than-the-buffer";
    ASSERT_EQ(server.sendTo(answer.data(), answer.size(), from, fromPort),
              static_cast<std::int64_t>(answer.size()));
    ASSERT_TRUE(clientEvents.takeRead());
    EXPECT_EQ(client.receive(buffer, 6), 6);
    EXPECT_EQ(std::string(buffer, 6), "answer");
    ASSERT_EQ(server.sendTo("", 0, from, fromPort), 0);
    ASSERT_TRUE(clientEvents.takeRead()) << "an empty datagram is data too";
    EXPECT_EQ(client.receive(buffer, sizeof buffer), 0);
    EXPECT_EQ(client.receive(buffer, sizeof buffer), -1);
    EXPECT_EQ(client.lastError(), WSAEWOULDBLOCK);
    EXPECT_EQ(
        server.sendTo("x", 1, loopbackOf(family == IpFamily::V4 ? IpFamily::V6 : IpFamily::V4),
                      fromPort),
        -1);
    EXPECT_EQ(server.lastError(), WSAEAFNOSUPPORT) << "an address of the other family";
}

INSTANTIATE_TEST_SUITE_P(Table, DatagramRoundTrip,
                         ::testing::Values(DatagramRow{"ipv4_loopback", IpFamily::V4},
                                           DatagramRow{"ipv6_loopback", IpFamily::V6}),
                         [](const auto& info) {
                             return support::RowName(info.index, info.param.name);
                         });

TEST(AsyncSocket, ConnectedDatagramToAClosedPortReadsRefused) {
    // A port that was just held and let go: nothing is bound to it.
    std::uint16_t port = 0;
    {
        AsyncSocket holder;
        ASSERT_EQ(holder.open(IpFamily::V4, SocketKind::Datagram), 0);
        ASSERT_EQ(holder.bind(loopbackOf(IpFamily::V4), 0), 0);
        port = holder.localPort();
    }
    Collector c;
    AsyncSocket socket;
    socket.notify(&c.receiver, kSocketMessage, 1, FD_READ);
    ASSERT_EQ(socket.open(IpFamily::V4, SocketKind::Datagram), 0);
    ASSERT_EQ(socket.connect(loopbackOf(IpFamily::V4), port), 0);
    EXPECT_TRUE(socket.connected());
    ASSERT_EQ(socket.send("?", 1), 1);
    ASSERT_TRUE(c.waitFor(FD_READ));
    EXPECT_EQ(c.find(FD_READ)->error, WSAECONNREFUSED);
}

}  // namespace
