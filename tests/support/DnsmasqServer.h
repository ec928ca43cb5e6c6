#pragma once

#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/Peers.h"

namespace testsupport {

// A real name server (dnsmasq) on a free loopback UDP port, answering MX
// queries for the records given before start(). It never forwards a query.
class DnsmasqServer {
public:
    DnsmasqServer();
    ~DnsmasqServer();

    void addMx(const std::string& domain, const std::string& exchanger, int preference);

    bool start();
    void stop();

    std::uint16_t port() const { return port_; }
    std::string error() const { return error_; }

private:
    QTemporaryDir dir_;
    std::vector<std::string> mx_;
    std::uint16_t port_ = 0;
    PeerProcess process_;
    std::string error_;
};

}  // namespace testsupport
