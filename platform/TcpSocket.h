#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/AsyncSocket.h"
#include "platform/IpAddress.h"
#include "platform/SocketEvents.h"

namespace platform {

class MessageReceiver;

// A non-blocking TCP client socket (IPv4 or IPv6) on the program's one socket
// core (AsyncSocket.h), every notification asked for and posted to a
// component's receiver:
// - FD_CONNECT once the connect has finished, with its error code (0 on success);
// - FD_WRITE after the connect and whenever the socket can take data again;
// - FD_READ when data wait; it is not posted again until receive() has been called;
// - FD_CLOSE when the peer has closed (after every byte was read), or with
//   10054 when the connection was reset.
// wParam of each notification is the tag given at construction, so a component
// can tell notifications of an earlier socket from those of the current one.
class TcpSocket {
public:
    TcpSocket(MessageReceiver& receiver, unsigned message, std::uintptr_t tag);
    ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Creates the socket for addresses of the family. 0, or the error code.
    int open(IpFamily family = IpFamily::V4);
    // Starts connecting. Returns WSAEWOULDBLOCK when the connect is under way
    // (the usual case), 0 when it finished at once, or another error code. A
    // socket opened for the other family is made again for the address's one.
    int connect(const IpAddress& address, std::uint16_t port);
    // The same for an IPv4 address in network byte order.
    int connect(std::uint32_t addressNetworkOrder, std::uint16_t port);

    // Takes every byte: what the socket cannot accept at once is kept and sent
    // as soon as it can. 0, or the error code of a failed send.
    int sendAll(const char* data, std::size_t size);

    // Reads up to size bytes. Returns the count (0 at the end of the stream),
    // or -1 with lastError() set (WSAEWOULDBLOCK when nothing waits).
    std::int64_t receive(char* buffer, std::size_t size);

    // Bytes that wait to be read.
    std::int64_t pendingBytes() const;

    // Stops the notifications and closes the socket. Safe to call twice.
    void close();

    // Send system calls made by every socket of the process so far (tests and
    // benchmarks count them).
    static std::uint64_t sendCalls() { return AsyncSocket::sendCalls(); }

    bool isOpen() const { return socket_.isOpen(); }
    // The system's descriptor, for a look at its options.
    int descriptor() const { return socket_.descriptor(); }
    bool connected() const { return socket_.connected(); }
    int lastError() const { return lastError_; }

private:
    AsyncSocket socket_;
    int lastError_ = 0;
    int sends_ = 0;  // on this connection
};

}  // namespace platform
