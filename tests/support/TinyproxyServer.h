#pragma once

#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/Peers.h"

namespace testsupport {

// tinyproxy on 127.0.0.1:<port>, in the foreground, with a generated
// configuration that allows only loopback clients.
class TinyproxyServer {
public:
    TinyproxyServer() = default;
    ~TinyproxyServer();

    // Set before start(): CONNECT is allowed to this port (repeatable). Without
    // any, tinyproxy's default holds.
    TinyproxyServer& allowConnectTo(std::uint16_t port) {
        connectPorts_.push_back(port);
        return *this;
    }

    // Set before start(): every request, CONNECT included, must carry these
    // Basic credentials (tinyproxy's BasicAuth; its configuration takes
    // letters, digits, '-', '.' and '_' only). Without them, a 407.
    TinyproxyServer& requireCredentials(const std::string& user, const std::string& password) {
        user_ = user;
        password_ = password;
        return *this;
    }

    // Starts tinyproxy; false (and an explanation in error()) when it could not.
    bool start();
    void stop();

    std::uint16_t port() const { return port_; }
    std::string workDir() const { return dir_.path().toStdString(); }
    std::string error() const { return error_; }
    // What tinyproxy logged so far (connections and request lines).
    std::string log() const;

private:
    QTemporaryDir dir_;
    std::uint16_t port_ = 0;
    std::vector<std::uint16_t> connectPorts_;
    std::string user_;
    std::string password_;
    PeerProcess process_;
    std::string error_;
};

}  // namespace testsupport
