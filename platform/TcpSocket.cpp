#include "platform/TcpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>

#include "platform/MessageReceiver.h"
#include "platform/SocketErrors.h"

namespace platform {

namespace {
std::atomic<std::uint64_t> sendCallCount{0};
}  // namespace

std::uint64_t TcpSocket::sendCalls() { return sendCallCount.load(std::memory_order_relaxed); }

TcpSocket::TcpSocket(MessageReceiver& receiver, unsigned message, std::uintptr_t tag)
    : receiver_(receiver), message_(message), tag_(tag) {}

TcpSocket::~TcpSocket() { close(); }

int TcpSocket::open() {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd_ < 0) return lastError_ = socketErrorFromErrno(errno);
    // Request pieces are small and sent one after another; do not hold them back.
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // The notifiers are made when first needed: with some event loops every
    // change of a notifier costs a wake-up of the loop.
    connecting_ = connected_ = closeReported_ = readPosted_ = false;
    outgoing_.clear();
    outgoingSent_ = 0;
    return lastError_ = 0;
}

int TcpSocket::connect(std::uint32_t addressNetworkOrder, std::uint16_t port) {
    if (fd_ < 0) return lastError_ = WSAENOTSOCK;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = addressNetworkOrder;
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
        // Finished at once; still reported through the notification, as always.
        connecting_ = true;
        watchWritable(true);
        return lastError_ = 0;
    }
    if (errno == EINPROGRESS || errno == EAGAIN) {
        connecting_ = true;
        watchWritable(true);
        return lastError_ = WSAEWOULDBLOCK;
    }
    return lastError_ = socketErrorFromErrno(errno);
}

void TcpSocket::watchWritable(bool on) {
    if (!writeNotifier_) {
        if (!on) return;
        writeNotifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
        QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated,
                         [this] { onWritable(); });
        return;
    }
    if (writeNotifier_->isEnabled() != on) writeNotifier_->setEnabled(on);
}

void TcpSocket::watchReadable(bool on) {
    if (!readNotifier_) {
        if (!on) return;
        readNotifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(readNotifier_.get(), &QSocketNotifier::activated,
                         [this] { onReadable(); });
        return;
    }
    if (readNotifier_->isEnabled() != on) readNotifier_->setEnabled(on);
}

void TcpSocket::post(int event, int error) {
    receiver_.PostMessage(message_, tag_, makeSelectParam(event, error));
}

void TcpSocket::onWritable() {
    if (fd_ < 0) return;
    if (connecting_) {
        connecting_ = false;
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
        if (err != 0) {
            watchWritable(false);
            post(FD_CONNECT, socketErrorFromErrno(err));
            return;
        }
        connected_ = true;
        watchReadable(true);
        watchWritable(false);
        post(FD_CONNECT, 0);
        post(FD_WRITE, 0);
        return;
    }
    if (!flush()) {
        watchWritable(false);
        return;
    }
    if (outgoingSent_ >= outgoing_.size()) {
        watchWritable(false);
        post(FD_WRITE, 0);
    }
}

void TcpSocket::onReadable() {
    if (fd_ < 0) return;
    // One read notification until the data are read, so that a readable
    // socket does not flood the queue. The notifier stays on while that notification is on its way (it is
    // usually handled before the loop looks again); only when the loop comes
    // back first is it turned off, until receive() is called.
    if (readPosted_) {
        watchReadable(false);
        return;
    }
    char probe;
    ssize_t n = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        readPosted_ = true;
        post(FD_READ, 0);
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    watchReadable(false);
    if (closeReported_) return;
    closeReported_ = true;
    post(FD_CLOSE, n == 0 ? 0 : socketErrorFromErrno(errno));
}

bool TcpSocket::flush() {
    while (outgoingSent_ < outgoing_.size()) {
        sendCallCount.fetch_add(1, std::memory_order_relaxed);
        ssize_t n = ::send(fd_, outgoing_.data() + outgoingSent_, outgoing_.size() - outgoingSent_,
                           MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            outgoingSent_ += static_cast<std::size_t>(n);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
        lastError_ = socketErrorFromErrno(errno);
        return false;
    }
    outgoing_.clear();
    outgoingSent_ = 0;
    return true;
}

int TcpSocket::sendAll(const char* data, std::size_t size) {
    if (fd_ < 0) return lastError_ = WSAENOTSOCK;
    if (!connected_) return lastError_ = WSAENOTCONN;
    outgoing_.append(data, size);
    if (!flush()) return lastError_;
    // What the socket could not take now goes out when it becomes writable.
    if (outgoingSent_ < outgoing_.size()) watchWritable(true);
    return lastError_ = 0;
}

std::int64_t TcpSocket::receive(char* buffer, std::size_t size) {
    if (fd_ < 0) {
        lastError_ = WSAENOTSOCK;
        return -1;
    }
    ssize_t n;
    do {
        n = ::recv(fd_, buffer, size, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    // Reading re-arms the read notification.
    readPosted_ = false;
    if (connected_ && !closeReported_) watchReadable(true);
    if (n < 0) {
        lastError_ = socketErrorFromErrno(errno);
        return -1;
    }
    lastError_ = 0;
    return n;
}

std::int64_t TcpSocket::pendingBytes() const {
    if (fd_ < 0) return 0;
    int count = 0;
    if (::ioctl(fd_, FIONREAD, &count) != 0) return 0;
    return count;
}

void TcpSocket::close() {
    readNotifier_.reset();
    writeNotifier_.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    connecting_ = connected_ = readPosted_ = false;
    outgoing_.clear();
    outgoingSent_ = 0;
}

}  // namespace platform
