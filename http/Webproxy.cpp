#include "http/Webproxy.h"

namespace http {

namespace {

std::optional<BasicCredentials> credentialsOf(const ProxyAddress& proxy) {
    if (!proxy.hasCredentials) return std::nullopt;
    return BasicCredentials{proxy.user, proxy.password};
}

}  // namespace

TProxies ProxiesOf(const EnvironmentProxies& proxies) {
    TProxies list;
    if (const auto& proxy = proxies.httpProxy()) {
        list.Http = proxy->host;
        list.HttpPort = proxy->port;
        list.HttpCredentials = credentialsOf(*proxy);
    }
    if (const auto& proxy = proxies.httpsProxy()) {
        list.Security = proxy->host;
        list.SecurityPort = proxy->port;
        list.SecurityCredentials = credentialsOf(*proxy);
    }
    return list;
}

bool TWebProxy::bypasses(const std::string& hostAndPort) const {
    for (const auto& line : noProxy_) {
        // An empty line names no host; it must not bypass every URL.
        if (!line.empty() && hostAndPort.find(line) != std::string::npos) return true;
    }
    if (noProxyHosts_.empty()) return false;
    // "host:port"; the port follows the last colon, also after an IPv6 address.
    const auto colon = hostAndPort.rfind(':');
    if (colon == std::string::npos) return noProxyHosts_.matches(hostAndPort, 0);
    int port = 0;
    for (std::size_t i = colon + 1; i < hostAndPort.size() && port < 65536; ++i) {
        const char c = hostAndPort[i];
        if (c < '0' || c > '9') return noProxyHosts_.matches(hostAndPort, 0);
        port = port * 10 + (c - '0');
    }
    return noProxyHosts_.matches(hostAndPort.substr(0, colon), port);
}

}  // namespace http
