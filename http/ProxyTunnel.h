#pragma once

#include <string>

#include "http/EnvironmentProxies.h"

namespace http {

// The pieces of an HTTPS request through an HTTP proxy: the client asks the
// proxy with CONNECT to open a tunnel to host:port and, once the proxy says
// yes, speaks TLS with the server inside it.

// "CONNECT host:port HTTP/1.0", a Host line, a Proxy-Authorization line (Basic)
// when the proxy carries credentials, the User-Agent line when one is given,
// and the empty line. An IPv6 host is put in brackets.
std::string ConnectRequest(const std::string& host, int port, const ProxyAddress& proxy,
                           const std::string& userAgent = {});

// What the proxy answered to CONNECT.
struct TunnelReply {
    enum class State { Incomplete, Open, Refused };
    State state = State::Incomplete;
    // Refused: a plain reason, such as "proxy refused the tunnel: 403 Forbidden".
    std::string reason;
    // Open: the bytes after the reply's head (already from the server).
    std::string rest;
};

// Reads the reply received so far: Incomplete until the empty line ending its
// head has arrived; Open for a 2xx status; Refused with the reason otherwise,
// also for a reply that is no HTTP status line at all. credentialsSent says
// whether the CONNECT carried Proxy-Authorization, for the reason of a 407
// (or a 401, which some proxies send instead).
TunnelReply ReadTunnelReply(const std::string& received, bool credentialsSent = false);

// The reason for a proxy's 407 (status: "407 Proxy Authentication Required"),
// to CONNECT or to a request it was to pass on: it wants a user name and
// password, or it refused the ones sent.
std::string ProxyAuthenticationFailure(bool credentialsSent, const std::string& status);

}  // namespace http
