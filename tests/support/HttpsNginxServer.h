#pragma once

#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/CertificateKit.h"
#include "tests/support/Peers.h"

// nginx serving a document root over HTTPS on 127.0.0.1:<port> (and [::1]:<port>
// when asked), with a certificate from a CertificateKit.
namespace testsupport {

class HttpsNginxServer {
public:
    // `served` is the certificate of the default server (server_name localhost);
    // extraServerConfig is placed inside every server block.
    explicit HttpsNginxServer(const CertificateKit& kit, Certificate served = Certificate::Good,
                              std::string extraServerConfig = {});
    ~HttpsNginxServer();
    HttpsNginxServer(const HttpsNginxServer&) = delete;
    HttpsNginxServer& operator=(const HttpsNginxServer&) = delete;

    // --- set before start()
    // Another name on the same port with its own certificate, chosen by SNI.
    HttpsNginxServer& addServerName(std::string name, Certificate certificate);
    // nginx's ssl_protocols ("TLSv1.2 TLSv1.3" by default). Older versions are
    // let through OpenSSL's security level so a client can be shown one.
    HttpsNginxServer& protocols(std::string nginxProtocols);
    // Listens on [::1] too (the same port).
    HttpsNginxServer& alsoOnIpv6();

    // Starts nginx; false (and an explanation in error()) when it could not.
    bool start();
    void stop();

    std::uint16_t port() const { return port_; }
    std::string rootDir() const;  // the document root, shared by all names
    std::string workDir() const;  // the fixture's own folder (config, logs)
    std::string baseUrl() const;  // "https://localhost:<port>"
    std::string error() const { return error_; }

    // Writes a file under the document root, creating the folders it needs.
    void put(const std::string& relativePath, const std::string& content) const;

private:
    struct Site {
        std::string name;
        Certificate certificate;
    };
    std::string config() const;

    const CertificateKit& kit_;
    std::vector<Site> sites_;
    std::string extra_;
    std::string protocols_;
    bool ipv6_ = false;
    QTemporaryDir dir_;
    std::uint16_t port_ = 0;
    PeerProcess process_;
    std::string error_;
};

// Whether this machine can bind a TCP socket on [::1] (some containers lack it).
bool loopbackIpv6Available();

}  // namespace testsupport
