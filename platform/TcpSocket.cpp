#include "platform/TcpSocket.h"

#include "platform/SocketErrors.h"

namespace platform {

TcpSocket::TcpSocket(MessageReceiver& receiver, unsigned message, std::uintptr_t tag) {
    socket_.notify(&receiver, message, tag, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE);
    // Every FD_READ is answered by receive(), which finds the end itself.
    socket_.setReadsOnNotice(true);
    socket_.setReportsFinishedConnectAtOnce(true);
}

TcpSocket::~TcpSocket() { close(); }

int TcpSocket::open(IpFamily family) {
    sends_ = 0;
    return lastError_ = socket_.open(family, SocketKind::Stream);
}

int TcpSocket::connect(const IpAddress& address, std::uint16_t port) {
    if (!socket_.isOpen()) return lastError_ = WSAENOTSOCK;
    if (socket_.family() != address.family() && open(address.family()) != 0) return lastError_;
    return lastError_ = socket_.connect(address, port);
}

int TcpSocket::connect(std::uint32_t addressNetworkOrder, std::uint16_t port) {
    return connect(IpAddress::fromIpv4(addressNetworkOrder), port);
}

int TcpSocket::sendAll(const char* data, std::size_t size) {
    // A first send goes out at once anyway. The pieces that follow (a TLS
    // flight, then the request; a tunnel's CONNECT, then the handshake) must
    // not wait for the peer's acknowledgement of the one before.
    if (++sends_ == 2) socket_.setNoDelay(true);
    return lastError_ = socket_.sendAll(data, size);
}

std::int64_t TcpSocket::receive(char* buffer, std::size_t size) {
    const std::int64_t n = socket_.receive(buffer, size);
    lastError_ = socket_.lastError();
    return n;
}

std::int64_t TcpSocket::pendingBytes() const { return socket_.pendingBytes(); }

void TcpSocket::close() { socket_.close(); }

}  // namespace platform
