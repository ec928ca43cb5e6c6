#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/SocketEvents.h"

class QSocketNotifier;

namespace platform {

class MessageReceiver;

// A non-blocking IPv4 TCP client socket whose read, write, connect and close
// notifications (SocketEvents.h) are posted to a component's receiver:
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

    // Creates the socket. 0, or the error code.
    int open();
    // Starts connecting to an IPv4 address in network byte order. Returns
    // WSAEWOULDBLOCK when the connect is under way (the usual case), 0 when it
    // finished at once, or another error code.
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
    static std::uint64_t sendCalls();

    bool isOpen() const { return fd_ >= 0; }
    bool connected() const { return connected_; }
    int lastError() const { return lastError_; }

private:
    void onReadable();
    void onWritable();
    void post(int event, int error);
    void watchReadable(bool on);
    void watchWritable(bool on);
    bool flush();  // false on a send error (lastError_ set)

    MessageReceiver& receiver_;
    unsigned message_;
    std::uintptr_t tag_;
    int fd_ = -1;
    bool connecting_ = false;
    bool connected_ = false;
    bool closeReported_ = false;
    bool readPosted_ = false;  // FD_READ posted, receive() not yet called
    int lastError_ = 0;
    std::string outgoing_;
    std::size_t outgoingSent_ = 0;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
};

}  // namespace platform
