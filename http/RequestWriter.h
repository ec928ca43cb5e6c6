#pragma once

#include <optional>
#include <string>

namespace http {

// A user name and password sent as Basic credentials (RFC 7617).
struct BasicCredentials {
    std::string user;
    std::string password;
    bool operator==(const BasicCredentials&) const = default;
};

// Everything an HTTP/1.0 request is made of, as plain values. An empty value
// leaves its header out.
struct RequestFields {
    std::string method = "GET";
    // The path and query on the origin server ("/docs/a.htm").
    std::string path = "/";
    // Through a proxy the request line names the whole URL instead of the path.
    bool throughProxy = false;
    std::string absoluteUrl;
    // The server's host; a host holding ':' is an IPv6 literal and is
    // bracketed in the Host header (RFC 7230, 5.4). The port is added after it
    // only when hostPort is above 0.
    std::string host;
    int hostPort = 0;
    std::string from;
    std::string ifModifiedSince;
    std::string referer;
    std::string userAgent;
    std::string accept;
    using Credentials = BasicCredentials;
    // The origin server's credentials (Authorization).
    std::optional<Credentials> credentials;
    // The proxy's credentials (Proxy-Authorization): written only when the
    // request goes to the proxy, so they never reach an origin server.
    std::optional<Credentials> proxyCredentials;
};

// The whole request text: request line, headers in a fixed order, each line
// ended by CR LF, and the empty line. Control characters in the target are
// percent-encoded, so a URL taken from a page cannot end the request line
// early and add headers of its own.
std::string requestText(const RequestFields& fields);

// base64("user:password"), the token after "Basic ".
std::string basicToken(const BasicCredentials& credentials);

// The value of the Host header for host and port (port 0: none).
std::string hostHeaderValue(const std::string& host, int port);

}  // namespace http
