#include "tests/support/ScriptedServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace testsupport {

namespace {
constexpr int kRequestTimeoutMs = 10000;
}

ScriptedServer::ScriptedServer() = default;

ScriptedServer::~ScriptedServer() { stop(); }

ScriptedServer& ScriptedServer::readRequest(bool read) {
    readRequest_ = read;
    return *this;
}
ScriptedServer& ScriptedServer::send(std::string bytes) {
    steps_.push_back({Step::Send, std::move(bytes)});
    return *this;
}
ScriptedServer& ScriptedServer::sendNamingPort(std::string bytes) {
    steps_.push_back({Step::Send, std::move(bytes), true});
    return *this;
}
ScriptedServer& ScriptedServer::waitForRelease() {
    steps_.push_back({Step::WaitRelease, {}});
    return *this;
}
ScriptedServer& ScriptedServer::stall() {
    steps_.push_back({Step::Stall, {}});
    return *this;
}
ScriptedServer& ScriptedServer::close() {
    steps_.push_back({Step::Close, {}});
    return *this;
}
ScriptedServer& ScriptedServer::reset() {
    steps_.push_back({Step::Reset, {}});
    return *this;
}

int listenOnLoopback(std::uint16_t& port, bool ipv6) {
    int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_storage ss{};
    socklen_t len = 0;
    if (ipv6) {
        auto* sa = reinterpret_cast<sockaddr_in6*>(&ss);
        sa->sin6_family = AF_INET6;
        sa->sin6_addr = in6addr_loopback;
        len = sizeof *sa;
    } else {
        auto* sa = reinterpret_cast<sockaddr_in*>(&ss);
        sa->sin_family = AF_INET;
        sa->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        len = sizeof *sa;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&ss), len) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port
                      : reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
    return fd;
}

ScriptedServer& ScriptedServer::onIpv6Loopback() {
    ipv6_ = true;
    return *this;
}

std::string ScriptedServer::baseUrl() const {
    return std::string(ipv6_ ? "http://[::1]:" : "http://127.0.0.1:") + std::to_string(port_);
}

bool ScriptedServer::start() {
    listenFd_ = listenOnLoopback(port_, ipv6_);
    if (listenFd_ < 0) return false;
    if (::pipe2(wakePipe_, O_CLOEXEC) != 0) return false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void ScriptedServer::stop() {
    {
        std::lock_guard<std::mutex> g(lock_);
        if (stopping_) return;
        stopping_ = true;
    }
    changed_.notify_all();
    if (wakePipe_[1] >= 0) {
        char c = 'x';
        (void)::write(wakePipe_[1], &c, 1);
    }
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) ::close(listenFd_);
    for (int& fd : wakePipe_) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    listenFd_ = -1;
}

void ScriptedServer::release() {
    {
        std::lock_guard<std::mutex> g(lock_);
        ++releases_;
    }
    changed_.notify_all();
}

std::vector<std::string> ScriptedServer::requests() const {
    std::lock_guard<std::mutex> g(lock_);
    return requests_;
}

bool ScriptedServer::waitForSteps(int count, int timeoutMs) const {
    std::unique_lock<std::mutex> g(lock_);
    return changed_.wait_for(g, std::chrono::milliseconds(timeoutMs),
                             [&] { return stepsDone_.load() >= count; });
}

void ScriptedServer::run() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        serve(fd);
        std::lock_guard<std::mutex> g(lock_);
        if (stopping_) return;
    }
}

void ScriptedServer::serve(int fd) {
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (readRequest_) {
        std::string request;
        char buf[4096];
        auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestTimeoutMs);
        while (request.find("\r\n\r\n") == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
            if (left <= 0) break;
            pollfd fds[2] = {{fd, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
            if (::poll(fds, 2, static_cast<int>(left)) <= 0 || fds[1].revents) break;
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            request.append(buf, static_cast<std::size_t>(n));
        }
        std::lock_guard<std::mutex> g(lock_);
        requests_.push_back(request);
    }
    bool closed = false;
    for (const Step& step : steps_) {
        switch (step.kind) {
            case Step::Send: {
                std::string bytes = step.bytes;
                if (step.namingPort) {
                    const std::string port = std::to_string(port_);
                    for (auto at = bytes.find("{port}"); at != std::string::npos;
                         at = bytes.find("{port}", at + port.size()))
                        bytes.replace(at, 6, port);
                }
                std::size_t sent = 0;
                while (sent < bytes.size()) {
                    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
                    if (n <= 0) break;
                    sent += static_cast<std::size_t>(n);
                }
                break;
            }
            case Step::WaitRelease: {
                std::unique_lock<std::mutex> g(lock_);
                changed_.wait(g, [&] { return releases_ > 0 || stopping_; });
                if (releases_ > 0) --releases_;
                break;
            }
            case Step::Stall: {
                std::unique_lock<std::mutex> g(lock_);
                changed_.wait(g, [&] { return stopping_; });
                break;
            }
            case Step::Close:
                ::close(fd);
                closed = true;
                break;
            case Step::Reset: {
                linger l{1, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
                ::close(fd);
                closed = true;
                break;
            }
        }
        {
            std::lock_guard<std::mutex> g(lock_);
            ++stepsDone_;
        }
        changed_.notify_all();
        if (closed) return;
    }
    ::close(fd);
}

}  // namespace testsupport
