#include "platform/AsyncSocket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>

#include "platform/SocketErrors.h"

namespace platform {

namespace {

std::atomic<std::uint64_t> sendCallCount{0};

bool wouldBlock(int err) { return err == EAGAIN || err == EWOULDBLOCK; }

}  // namespace

std::uint64_t AsyncSocket::sendCalls() { return sendCallCount.load(std::memory_order_relaxed); }

AsyncSocket::AsyncSocket() = default;

AsyncSocket::~AsyncSocket() { close(); }

int AsyncSocket::open(IpFamily family, SocketKind kind) {
    close();
    const int domain = family == IpFamily::V4 ? AF_INET : AF_INET6;
    const int type = kind == SocketKind::Stream ? SOCK_STREAM : SOCK_DGRAM;
    fd_ = ::socket(domain, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return lastError_ = socketErrorFromErrno(errno);
    family_ = family;
    kind_ = kind;
    connecting_ = connected_ = ended_ = closeReported_ = readPosted_ = writeWanted_ = false;
    outgoing_.clear();
    outgoingSent_ = 0;
    // The notifiers are made when first needed: with some event loops every
    // change of a notifier costs a wake-up of the loop. A datagram socket can
    // receive before any connect.
    updateWatches();
    return lastError_ = 0;
}

void AsyncSocket::notify(MessageReceiver* receiver, unsigned message, std::uintptr_t tag,
                         int events) {
    receiver_ = receiver;
    message_ = message;
    tag_ = tag;
    events_ = events;
    if (fd_ >= 0) updateWatches();
}

void AsyncSocket::setNoDelay(bool on) {
    if (fd_ < 0 || kind_ != SocketKind::Stream) return;
    int value = on ? 1 : 0;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &value, sizeof value);
}

int AsyncSocket::bind(const IpAddress& address, std::uint16_t port) {
    if (fd_ < 0) return lastError_ = WSAENOTSOCK;
    if (address.family() != family_) return lastError_ = WSAEAFNOSUPPORT;
    sockaddr_storage sa{};
    const auto length = static_cast<socklen_t>(address.toSocketAddress(port, sa));
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&sa), length) != 0)
        return lastError_ = socketErrorFromErrno(errno);
    return lastError_ = 0;
}

std::uint16_t AsyncSocket::localPort() const {
    if (fd_ < 0) return 0;
    sockaddr_storage sa{};
    socklen_t length = sizeof sa;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &length) != 0) return 0;
    std::uint16_t port = 0;
    return IpAddress::fromSocketAddress(sa, &port) ? port : 0;
}

int AsyncSocket::connect(const IpAddress& address, std::uint16_t port) {
    if (fd_ < 0) return lastError_ = WSAENOTSOCK;
    if (address.family() != family_) return lastError_ = WSAEAFNOSUPPORT;
    sockaddr_storage sa{};
    const auto length = static_cast<socklen_t>(address.toSocketAddress(port, sa));
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&sa), length) == 0) {
        if (kind_ == SocketKind::Datagram) {
            connected_ = true;
            updateWatches();
            return lastError_ = 0;
        }
        // Finished at once; still reported through the notification, as always.
        connecting_ = true;
        updateWatches();
        return lastError_ = 0;
    }
    if (kind_ == SocketKind::Stream && (errno == EINPROGRESS || errno == EAGAIN)) {
        connecting_ = true;
        sockaddr_storage peer{};
        socklen_t peerLength = sizeof peer;
        if (connectAtOnce_ &&
            ::getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0) {
            finishConnect(0);
        } else {
            updateWatches();
        }
        return lastError_ = WSAEWOULDBLOCK;
    }
    return lastError_ = socketErrorFromErrno(errno);
}

bool AsyncSocket::listening() const { return !receiver_.isNull() && events_ != 0; }

bool AsyncSocket::wantRead() const {
    if (!listening() || ended_ || !(events_ & (FD_READ | FD_CLOSE))) return false;
    return kind_ == SocketKind::Datagram || connected_;
}

bool AsyncSocket::wantWrite() const {
    // Kept data go out even when nobody listens.
    return outgoingSent_ < outgoing_.size() || (listening() && (connecting_ || writeWanted_));
}

void AsyncSocket::updateWatches() {
    watchReadable(wantRead() && !readPosted_);
    watchWritable(wantWrite());
}

void AsyncSocket::watchWritable(bool on) {
    if (!writeNotifier_) {
        if (!on) return;
        writeNotifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
        QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated,
                         [this] { onWritable(); });
        return;
    }
    if (writeNotifier_->isEnabled() != on) writeNotifier_->setEnabled(on);
}

void AsyncSocket::watchReadable(bool on) {
    if (!readNotifier_) {
        if (!on) return;
        readNotifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(readNotifier_.get(), &QSocketNotifier::activated,
                         [this] { onReadable(); });
        return;
    }
    if (readNotifier_->isEnabled() != on) readNotifier_->setEnabled(on);
}

void AsyncSocket::post(int event, int error) {
    if (receiver_ && (events_ & event))
        receiver_->PostMessage(message_, tag_, makeSelectParam(event, error));
}

void AsyncSocket::onWritable() {
    if (fd_ < 0) return;
    if (connecting_) {
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
        finishConnect(err);
        return;
    }
    const bool hadKept = outgoingSent_ < outgoing_.size();
    if (!flush()) {
        // The connection is broken; what was kept can never go. The read side
        // reports the end.
        outgoing_.clear();
        outgoingSent_ = 0;
        watchWritable(wantWrite());
        return;
    }
    if (outgoingSent_ < outgoing_.size()) return;
    const bool tell = hadKept || writeWanted_;
    writeWanted_ = false;
    watchWritable(wantWrite());
    if (tell) post(FD_WRITE, 0);
}

void AsyncSocket::finishConnect(int error) {
    connecting_ = false;
    if (error != 0) {
        ended_ = true;
        updateWatches();
        post(FD_CONNECT, socketErrorFromErrno(error));
        return;
    }
    connected_ = true;
    updateWatches();
    post(FD_CONNECT, 0);
    post(FD_WRITE, 0);
}

void AsyncSocket::endStream(int error) {
    ended_ = true;
    watchReadable(false);
    if (closeReported_) return;
    closeReported_ = true;
    post(FD_CLOSE, error);
}

void AsyncSocket::onReadable() {
    if (fd_ < 0) return;
    // One read notification until the data are read, so that a readable
    // socket does not flood the queue. The notifier stays on while that
    // notification is on its way (it is usually handled before the loop looks
    // again); only when the loop comes back first is it turned off, until the
    // next receive.
    if (readPosted_) {
        watchReadable(false);
        return;
    }
    if (readsOnNotice_ && kind_ == SocketKind::Stream) {
        readPosted_ = true;
        post(FD_READ, 0);
        return;
    }
    char probe;
    const ssize_t n = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    const int err = errno;
    if (n < 0 && (wouldBlock(err) || err == EINTR)) return;
    if (kind_ == SocketKind::Datagram) {
        if (n >= 0) {
            readPosted_ = true;
            post(FD_READ, 0);
        } else {
            // Peeking took the pending error off the socket, so it is told once.
            post(FD_READ, socketErrorFromErrno(err));
        }
        return;
    }
    if (n > 0) {
        readPosted_ = true;
        post(FD_READ, 0);
        return;
    }
    endStream(n == 0 ? 0 : socketErrorFromErrno(err));
}

bool AsyncSocket::flush() {
    while (outgoingSent_ < outgoing_.size()) {
        sendCallCount.fetch_add(1, std::memory_order_relaxed);
        const ssize_t n = ::send(fd_, outgoing_.data() + outgoingSent_,
                                 outgoing_.size() - outgoingSent_, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            outgoingSent_ += static_cast<std::size_t>(n);
            continue;
        }
        if (errno == EINTR) continue;
        if (wouldBlock(errno)) return true;
        lastError_ = socketErrorFromErrno(errno);
        return false;
    }
    outgoing_.clear();
    outgoingSent_ = 0;
    return true;
}

std::int64_t AsyncSocket::failSend(int err) {
    if (wouldBlock(err)) {
        writeWanted_ = true;
        watchWritable(wantWrite());
        lastError_ = WSAEWOULDBLOCK;
        return -1;
    }
    lastError_ = socketErrorFromErrno(err);
    return -1;
}

std::int64_t AsyncSocket::send(const char* data, std::size_t size) {
    if (fd_ < 0) {
        lastError_ = WSAENOTSOCK;
        return -1;
    }
    // Data kept by sendAll() go first.
    if (outgoingSent_ < outgoing_.size()) return failSend(EWOULDBLOCK);
    ssize_t n;
    do {
        sendCallCount.fetch_add(1, std::memory_order_relaxed);
        n = ::send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return failSend(errno);
    lastError_ = 0;
    return n;
}

int AsyncSocket::sendAll(const char* data, std::size_t size) {
    if (fd_ < 0) return lastError_ = WSAENOTSOCK;
    if (!connected_ || kind_ != SocketKind::Stream) return lastError_ = WSAENOTCONN;
    outgoing_.append(data, size);
    if (!flush()) {
        outgoing_.clear();
        outgoingSent_ = 0;
        return lastError_;
    }
    // What the socket could not take now goes out when it becomes writable.
    watchWritable(wantWrite());
    return lastError_ = 0;
}

std::int64_t AsyncSocket::sendTo(const char* data, std::size_t size, const IpAddress& address,
                                 std::uint16_t port) {
    if (fd_ < 0) {
        lastError_ = WSAENOTSOCK;
        return -1;
    }
    if (address.family() != family_) {
        lastError_ = WSAEAFNOSUPPORT;
        return -1;
    }
    sockaddr_storage sa{};
    const auto length = static_cast<socklen_t>(address.toSocketAddress(port, sa));
    ssize_t n;
    do {
        sendCallCount.fetch_add(1, std::memory_order_relaxed);
        n = ::sendto(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT,
                     reinterpret_cast<const sockaddr*>(&sa), length);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return failSend(errno);
    lastError_ = 0;
    return n;
}

std::int64_t AsyncSocket::finishReceive(std::int64_t n, int err) {
    // Reading re-arms the read notification.
    readPosted_ = false;
    if (n == 0 && kind_ == SocketKind::Stream) {
        endStream(0);
    } else if (n < 0 && readsOnNotice_ && kind_ == SocketKind::Stream && !wouldBlock(err) &&
               err != EINTR) {
        // Nobody looked before the read: a reset is found here.
        endStream(socketErrorFromErrno(err));
    } else {
        watchReadable(wantRead());
    }
    if (n < 0) {
        lastError_ = socketErrorFromErrno(err);
        return -1;
    }
    lastError_ = 0;
    return n;
}

std::int64_t AsyncSocket::receive(char* buffer, std::size_t size) {
    if (fd_ < 0) {
        lastError_ = WSAENOTSOCK;
        return -1;
    }
    if (size == 0) return lastError_ = 0;
    ssize_t n;
    do {
        n = ::recv(fd_, buffer, size, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    return finishReceive(n, errno);
}

std::int64_t AsyncSocket::receiveFrom(char* buffer, std::size_t size, IpAddress& from,
                                      std::uint16_t& fromPort) {
    if (fd_ < 0) {
        lastError_ = WSAENOTSOCK;
        return -1;
    }
    if (size == 0) return lastError_ = 0;
    sockaddr_storage sa{};
    socklen_t length;
    ssize_t n;
    do {
        length = sizeof sa;
        n = ::recvfrom(fd_, buffer, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sa), &length);
    } while (n < 0 && errno == EINTR);
    const int err = errno;
    if (n >= 0) {
        if (auto sender = IpAddress::fromSocketAddress(sa, &fromPort)) from = *sender;
    }
    return finishReceive(n, err);
}

std::int64_t AsyncSocket::pendingBytes() const {
    // Nothing arrives after the end of the stream, so nobody need ask.
    if (fd_ < 0 || ended_) return 0;
    int count = 0;
    if (::ioctl(fd_, FIONREAD, &count) != 0) return 0;
    return count;
}

void AsyncSocket::close() {
    readNotifier_.reset();
    writeNotifier_.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    connecting_ = connected_ = readPosted_ = writeWanted_ = false;
    outgoing_.clear();
    outgoingSent_ = 0;
}

}  // namespace platform
