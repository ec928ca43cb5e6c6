#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/CertificateKit.h"

// A small scripted HTTPS server on 127.0.0.1 (port 0) for what nginx will not
// do: cut the connection in the middle of an answer without close_notify. It
// runs on its own thread with blocking sockets and OpenSSL's server side.
//
// Every accepted connection completes the handshake with the chosen
// certificate, reads the request up to the empty line that ends its header,
// then plays the steps in order; a script that ends without close() or cut()
// closes cleanly (close_notify, then FIN).
struct ssl_ctx_st;

namespace testsupport {

class TlsScriptedServer {
public:
    explicit TlsScriptedServer(const CertificateKit& kit, Certificate served = Certificate::Good);
    ~TlsScriptedServer();
    TlsScriptedServer(const TlsScriptedServer&) = delete;
    TlsScriptedServer& operator=(const TlsScriptedServer&) = delete;

    // --- the script (set it before start())
    TlsScriptedServer& send(std::string plaintext);  // one TLS write
    TlsScriptedServer& close();                      // close_notify, then FIN
    TlsScriptedServer& cut();                        // FIN without close_notify

    // Listens on a free loopback port and starts serving. False (and a reason
    // in error()) when it cannot.
    bool start();
    void stop();

    std::uint16_t port() const { return port_; }
    std::string baseUrl() const;  // "https://localhost:<port>"
    std::string error() const { return error_; }
    // The request text each connection sent, in order of acceptance.
    std::vector<std::string> requests() const;

private:
    struct Step {
        enum Kind { Send, Close, Cut } kind;
        std::string bytes;
    };
    void run();
    void serve(int fd);

    const CertificateKit& kit_;
    Certificate served_;
    std::vector<Step> steps_;
    ::ssl_ctx_st* ctx_ = nullptr;
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> clientFd_{-1};
    mutable std::mutex lock_;
    std::vector<std::string> requests_;
    std::string error_;
};

}  // namespace testsupport
