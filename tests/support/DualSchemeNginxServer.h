#pragma once

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "tests/support/CertificateKit.h"
#include "tests/support/Peers.h"

// One nginx serving one document root over http on <address>:80 and https on
// <address>:443, where <address> is a random loopback address other than
// 127.0.0.1: the two schemes of one site then differ in nothing but the
// scheme, as on a public server. The https certificate is issued by the test
// kit's CA for that address. Binding ports 80 and 443 needs root.
namespace testsupport {

// One line of the access log, from either listener.
struct AccessLogLine {
    std::string scheme;  // "http" or "https"
    std::string method;  // "GET", "HEAD", ...
    std::string target;  // the request target as sent ("/docs/a.html")
    int status = 0;
};

class DualSchemeNginxServer {
public:
    enum class Start {
        Started,
        PortsUnavailable,  // ports 80/443 cannot be bound here (not root, or taken)
        Failed,            // anything else; error() says what
    };

    explicit DualSchemeNginxServer(const CertificateKit& kit);
    ~DualSchemeNginxServer();
    DualSchemeNginxServer(const DualSchemeNginxServer&) = delete;
    DualSchemeNginxServer& operator=(const DualSchemeNginxServer&) = delete;

    // Placed inside the http listener's server block only (set before
    // start()), e.g. "return 301 https://$host$request_uri;".
    DualSchemeNginxServer& plainServerConfig(std::string extra);

    Start start();
    void stop();

    std::string address() const { return address_; }  // "127.X.Y.Z"
    std::string httpUrl() const;                      // "http://127.X.Y.Z"
    std::string httpsUrl() const;                     // "https://127.X.Y.Z"
    std::string rootDir() const;
    std::string workDir() const;
    std::string error() const { return error_; }

    void put(const std::string& relativePath, const std::string& content) const;
    // Every request both listeners logged so far, in order.
    std::vector<AccessLogLine> accessLog() const;
    std::string accessLogText() const;

private:
    std::string config() const;
    // Picks a random address whose ports 80 and 443 can be bound now.
    bool chooseAddress();

    const CertificateKit& kit_;
    std::string plainExtra_;
    QTemporaryDir dir_;
    std::string address_;
    PeerProcess process_;
    std::string error_;
};

}  // namespace testsupport
