#include "tests/hostile/HostileSite.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/ScriptedServer.h"

namespace hostile {

namespace {

// A request longer than this is not a request the engine would send.
constexpr std::size_t kMaxRequestBytes = 4 * 1024 * 1024;
constexpr int kRequestTimeoutMs = 30000;

}  // namespace

HostileSite::Script& HostileSite::Script::send(std::string bytes) {
    steps_.push_back({Step::Send, std::move(bytes), 1});
    return *this;
}

HostileSite::Script& HostileSite::Script::sendRepeated(std::string bytes, std::size_t count) {
    steps_.push_back({Step::Send, std::move(bytes), count});
    return *this;
}

HostileSite::Script& HostileSite::Script::stall() {
    steps_.push_back({Step::Stall, {}, 1});
    return *this;
}

HostileSite::Script& HostileSite::Script::close() {
    steps_.push_back({Step::Close, {}, 1});
    return *this;
}

HostileSite::Script& HostileSite::Script::reset() {
    steps_.push_back({Step::Reset, {}, 1});
    return *this;
}

HostileSite::Script& HostileSite::Script::page(const std::string& body, const std::string& type) {
    return send("HTTP/1.0 200 OK\r\nContent-Type: " + type +
                "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body)
        .close();
}

HostileSite::~HostileSite() { stop(); }

HostileSite::Script& HostileSite::at(const std::string& target) { return scripts_[" " + target]; }

HostileSite::Script& HostileSite::at(const std::string& method, const std::string& target) {
    return scripts_[method + " " + target];
}

HostileSite::Script& HostileSite::otherwise() {
    otherwiseSet_ = true;
    return otherwise_;
}

std::string HostileSite::baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> HostileSite::targets() const {
    std::lock_guard<std::mutex> g(lock_);
    return targets_;
}

int HostileSite::finishedFor(const std::string& target) const {
    std::lock_guard<std::mutex> g(lock_);
    int n = 0;
    for (const auto& t : finished_) n += t == target;
    return n;
}

std::vector<std::string> HostileSite::requests() const {
    std::lock_guard<std::mutex> g(lock_);
    return requests_;
}

int HostileSite::requestsFor(const std::string& target) const {
    std::lock_guard<std::mutex> g(lock_);
    int n = 0;
    for (const auto& t : targets_) n += t == target;
    return n;
}

bool HostileSite::start() {
    if (listenFd_ >= 0) return true;
    listenFd_ = testsupport::listenOnLoopback(port_);
    if (listenFd_ < 0) return false;
    if (::pipe2(wakePipe_, O_CLOEXEC) != 0) return false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void HostileSite::stop() {
    if (stopping_.exchange(true)) return;
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

void HostileSite::run() {
    while (!stopping_) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        serve(fd);
    }
}

bool HostileSite::sendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        pollfd fds[2] = {{fd, POLLOUT, 0}, {wakePipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return false;
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;  // the client has gone
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool HostileSite::waitForPeerClose(int fd) {
    char buf[4096];
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return false;
        if (::recv(fd, buf, sizeof buf, 0) <= 0) return true;
    }
}

void HostileSite::serve(int fd) {
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

    std::string request;
    char buf[65536];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequestBytes) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, kRequestTimeoutMs) <= 0 || fds[1].revents) break;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<std::size_t>(n));
    }
    // The method and the target are the request line's first two words.
    const std::size_t first = request.find(' ');
    const std::string method = request.substr(0, first);
    const std::size_t second = first == std::string::npos ? first : request.find(' ', first + 1);
    const std::string target =
        second == std::string::npos ? std::string() : request.substr(first + 1, second - first - 1);
    {
        std::lock_guard<std::mutex> g(lock_);
        targets_.push_back(target);
        requests_.push_back(request);
    }

    static const Script notFound = [] {
        Script s;
        s.send("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n").close();
        return s;
    }();
    auto found = scripts_.find(method + " " + target);
    if (found == scripts_.end()) found = scripts_.find(" " + target);
    const Script& script = found != scripts_.end() ? found->second
                           : otherwiseSet_         ? otherwise_
                                                   : notFound;

    bool reset = false;
    for (const Script::Step& step : script.steps_) {
        bool goOn = true;
        switch (step.kind) {
            case Script::Step::Send:
                for (std::size_t i = 0; i < step.count && goOn; ++i) goOn = sendAll(fd, step.bytes);
                break;
            case Script::Step::Stall:
                ++stalled_;
                waitForPeerClose(fd);
                --stalled_;
                goOn = false;
                break;
            case Script::Step::Close:
                goOn = false;
                break;
            case Script::Step::Reset:
                reset = true;
                goOn = false;
                break;
        }
        if (!goOn) break;
    }
    if (reset) {
        // SO_LINGER with a zero time makes close() send RST.
        linger lg{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    } else {
        ::shutdown(fd, SHUT_WR);
    }
    ::close(fd);
    std::lock_guard<std::mutex> g(lock_);
    finished_.push_back(target);
}

}  // namespace hostile
