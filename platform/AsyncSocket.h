#pragma once

#include <QPointer>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/IpAddress.h"
#include "platform/MessageReceiver.h"
#include "platform/SocketEvents.h"

class QSocketNotifier;

namespace platform {

enum class SocketKind { Stream, Datagram };

// The program's one socket: a non-blocking IPv4 or IPv6 stream or datagram
// socket whose notifications (SocketEvents.h) are posted to a component's
// receiver as `message`, wParam the tag given to notify(), lParam the event in
// its low word and the error code (SocketErrors.h) in its high word:
// - FD_CONNECT once a stream connect has finished, with its error (0 on success);
// - FD_WRITE after a successful connect, and when the socket can take data
//   again after send() refused some or sendAll() had to keep some (then once
//   all of it has gone);
// - FD_READ when data wait (a datagram, even an empty one). It is not posted
//   again until receive() or receiveFrom() has been called. On a connected
//   datagram socket an ICMP report (a refused port) comes as FD_READ with its
//   error, and the socket listens on;
// - FD_CLOSE, once, for a stream whose peer has closed after every byte was
//   read (0), or whose connection was reset (10054).
// Only the events asked for in notify() are posted.
class AsyncSocket {
public:
    AsyncSocket();
    ~AsyncSocket();
    AsyncSocket(const AsyncSocket&) = delete;
    AsyncSocket& operator=(const AsyncSocket&) = delete;

    // Creates the socket (closing one still open). 0, or the error code.
    int open(IpFamily family, SocketKind kind);

    // Who learns which events (FD_* bits). A null receiver or no events stop
    // the notifications; the receiver may be destroyed before the socket.
    // Kept across close() and open().
    void notify(MessageReceiver* receiver, unsigned message, std::uintptr_t tag, int events);

    // Sends small pieces at once rather than holding them back (stream only).
    void setNoDelay(bool on);

    // A stream whose reader always calls receive() on FD_READ and copes with
    // it finding nothing: FD_READ is then posted when the socket becomes
    // readable, without a look at what waits, and the end of the stream (or a
    // reset) is found by receive(), which posts FD_CLOSE. Saves a system call
    // per notification. Set before open().
    void setReadsOnNotice(bool on) { readsOnNotice_ = on; }

    // A stream connect that is already complete when connect() returns
    // (usual on loopback) is reported without a wait for writability: one
    // look (getpeername) instead of a turn of the event loop and a getsockopt.
    // FD_CONNECT is still posted, never sent from inside connect().
    void setReportsFinishedConnectAtOnce(bool on) { connectAtOnce_ = on; }

    // Binds to a local address and port (0: one the system picks). 0, or the
    // error code.
    int bind(const IpAddress& address, std::uint16_t port);
    // The local port (host byte order), 0 when it has none yet.
    std::uint16_t localPort() const;

    // A stream starts connecting: WSAEWOULDBLOCK while the connect is under way
    // (the usual case), 0 when it finished at once (FD_CONNECT follows either
    // way), or another error code. A datagram socket takes the address as its
    // only peer at once: 0, or the error code.
    int connect(const IpAddress& address, std::uint16_t port);

    // Sends what the socket takes now: the count, or -1 with lastError() set
    // (WSAEWOULDBLOCK when it takes nothing now; FD_WRITE follows).
    std::int64_t send(const char* data, std::size_t size);
    // Takes every byte of a connected stream: what the socket cannot accept at
    // once is kept and sent as soon as it can. 0, or the error code.
    int sendAll(const char* data, std::size_t size);
    // One datagram to address:port; the count or -1 as send().
    std::int64_t sendTo(const char* data, std::size_t size, const IpAddress& address,
                        std::uint16_t port);

    // Reads up to size bytes (a datagram beyond size is cut). Returns the
    // count (0 at the end of a stream), or -1 with lastError() set
    // (WSAEWOULDBLOCK when nothing waits).
    std::int64_t receive(char* buffer, std::size_t size);
    // As receive(), and tells who sent the datagram.
    std::int64_t receiveFrom(char* buffer, std::size_t size, IpAddress& from,
                             std::uint16_t& fromPort);

    // Bytes that wait to be read.
    std::int64_t pendingBytes() const;

    // Stops the notifications and closes the socket. Safe to call twice.
    void close();

    // Send system calls made by every socket of the process so far (tests and
    // benchmarks count them).
    static std::uint64_t sendCalls();

    int descriptor() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    bool connected() const { return connected_; }
    IpFamily family() const { return family_; }
    SocketKind kind() const { return kind_; }
    int lastError() const { return lastError_; }

private:
    void onReadable();
    void onWritable();
    void post(int event, int error);
    bool listening() const;
    bool wantRead() const;
    bool wantWrite() const;
    void updateWatches();
    void watchReadable(bool on);
    void watchWritable(bool on);
    void endStream(int error);
    void finishConnect(int error);
    bool flush();  // false on a send error (lastError_ set)
    std::int64_t finishReceive(std::int64_t n, int err);
    std::int64_t failSend(int err);

    QPointer<MessageReceiver> receiver_;
    unsigned message_ = 0;
    std::uintptr_t tag_ = 0;
    int events_ = 0;

    int fd_ = -1;
    IpFamily family_ = IpFamily::V4;
    SocketKind kind_ = SocketKind::Stream;
    bool connecting_ = false;
    bool connected_ = false;
    bool ended_ = false;  // end of stream or a fatal error seen
    bool closeReported_ = false;
    bool readPosted_ = false;   // FD_READ posted, no receive since
    bool writeWanted_ = false;  // send() was refused; FD_WRITE when it can go on
    bool readsOnNotice_ = false;
    bool connectAtOnce_ = false;
    int lastError_ = 0;
    std::string outgoing_;
    std::size_t outgoingSent_ = 0;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
};

}  // namespace platform
