#include "tests/support/TlsScriptedServer.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "tests/support/ScriptedServer.h"

namespace testsupport {

namespace {
// A client that stops talking must not hold the server thread forever.
constexpr int kReceiveTimeoutSeconds = 10;
constexpr std::size_t kMaxRequestBytes = 64 * 1024;
}  // namespace

TlsScriptedServer::TlsScriptedServer(const CertificateKit& kit, Certificate served)
    : kit_(kit), served_(served) {}

TlsScriptedServer::~TlsScriptedServer() {
    stop();
    SSL_CTX_free(ctx_);
}

TlsScriptedServer& TlsScriptedServer::send(std::string plaintext) {
    steps_.push_back({Step::Send, std::move(plaintext)});
    return *this;
}
TlsScriptedServer& TlsScriptedServer::close() {
    steps_.push_back({Step::Close, {}});
    return *this;
}
TlsScriptedServer& TlsScriptedServer::cut() {
    steps_.push_back({Step::Cut, {}});
    return *this;
}

std::string TlsScriptedServer::baseUrl() const {
    return "https://localhost:" + std::to_string(port_);
}

std::vector<std::string> TlsScriptedServer::requests() const {
    std::lock_guard<std::mutex> g(lock_);
    return requests_;
}

bool TlsScriptedServer::start() {
    if (!kit_.ready()) {
        error_ = "the certificate kit is not ready: " + kit_.error();
        return false;
    }
    ctx_ = SSL_CTX_new(TLS_server_method());
    const CertificateFiles files = kit_.files(served_);
    if (!ctx_ || SSL_CTX_use_certificate_chain_file(ctx_, files.certificate.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx_, files.key.c_str(), SSL_FILETYPE_PEM) != 1) {
        error_ = "cannot load " + files.certificate;
        return false;
    }
    listenFd_ = listenOnLoopback(port_);
    if (listenFd_ < 0) {
        error_ = "cannot listen on loopback";
        return false;
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void TlsScriptedServer::stop() {
    if (stopping_.exchange(true)) return;
    // shutdown() wakes a thread blocked in accept() or recv() on these sockets.
    if (listenFd_ >= 0) ::shutdown(listenFd_, SHUT_RDWR);
    const int client = clientFd_.load();
    if (client >= 0) ::shutdown(client, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
}

void TlsScriptedServer::run() {
    while (!stopping_) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (stopping_) return;
            continue;
        }
        clientFd_ = fd;
        if (stopping_) ::shutdown(fd, SHUT_RDWR);
        serve(fd);
        clientFd_ = -1;
        ::close(fd);
    }
}

void TlsScriptedServer::serve(int fd) {
    timeval timeout{kReceiveTimeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    SSL* ssl = SSL_new(ctx_);
    if (!ssl) return;
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) != 1) {
        ERR_clear_error();
        SSL_free(ssl);
        return;
    }
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequestBytes) {
        const int got = SSL_read(ssl, buffer, sizeof buffer);
        if (got <= 0) break;
        request.append(buffer, static_cast<std::size_t>(got));
    }
    {
        std::lock_guard<std::mutex> g(lock_);
        requests_.push_back(request);
    }
    bool ended = false;
    for (const Step& step : steps_) {
        if (step.kind == Step::Send) {
            SSL_write(ssl, step.bytes.data(), static_cast<int>(step.bytes.size()));
            continue;
        }
        if (step.kind == Step::Close) SSL_shutdown(ssl);
        ended = true;  // a cut sends nothing more
        break;
    }
    if (!ended) SSL_shutdown(ssl);
    ERR_clear_error();
    SSL_free(ssl);
}

}  // namespace testsupport
