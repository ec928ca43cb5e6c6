#pragma once

#include <QTemporaryDir>
#include <cstdint>
#include <string>

#include "tests/support/Peers.h"

namespace testsupport {

// tinyproxy on 127.0.0.1:<port>, in the foreground, with a generated
// configuration that allows only loopback clients.
class TinyproxyServer {
public:
    TinyproxyServer() = default;
    ~TinyproxyServer();

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
    PeerProcess process_;
    std::string error_;
};

}  // namespace testsupport
