#pragma once

#include <optional>
#include <string>
#include <vector>

#include "http/EnvironmentProxies.h"
#include "http/RequestWriter.h"
#include "http/WebCompanion.h"

namespace http {

// Proxy hosts and ports by service; empty or 0 until set.
struct TProxies {
    std::string Http;
    int HttpPort = 0;
    std::string Ftp;
    int FtpPort = 0;
    std::string Gopher;
    int GopherPort = 0;
    std::string Wais;
    int WaisPort = 0;
    std::string Security;
    int SecurityPort = 0;
    // What the http proxy and the https proxy want in Proxy-Authorization;
    // empty for a proxy that was given none.
    std::optional<BasicCredentials> HttpCredentials;
    std::optional<BasicCredentials> SecurityCredentials;
};

// The list for the proxies a front end found in its environment: http://
// through the http proxy, https:// through the https proxy, each with the
// credentials its address carried.
TProxies ProxiesOf(const EnvironmentProxies& proxies);

// The proxy list a TWeb consults at Retrieve when its ProxyDispatcher refers
// to one.
class TWebProxy : public WebCompanion {
public:
    TProxies& Proxies() { return proxies_; }
    const TProxies& Proxies() const { return proxies_; }
    void setProxies(const TProxies& v) { proxies_ = v; }

    // Hosts reached directly: a line that occurs anywhere in a URL's
    // "host:port" text bypasses the proxy.
    const std::vector<std::string>& NoProxy() const { return noProxy_; }
    void setNoProxy(const std::vector<std::string>& lines) { noProxy_ = lines; }

    // Hosts reached directly as the no_proxy variable lists them (domains
    // with their subdomains, addresses, networks), besides the lines above.
    const NoProxyList& NoProxyHosts() const { return noProxyHosts_; }
    void setNoProxyHosts(const NoProxyList& list) { noProxyHosts_ = list; }

    // True when some non-empty NoProxy line occurs in hostAndPort, or
    // NoProxyHosts takes its host and port.
    bool bypasses(const std::string& hostAndPort) const;

private:
    TProxies proxies_;
    std::vector<std::string> noProxy_;
    NoProxyList noProxyHosts_;
};

}  // namespace http
