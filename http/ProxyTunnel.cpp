#include "http/ProxyTunnel.h"

#include "platform/ByteText.h"

namespace http {

namespace {

// A proxy's head is short; one that never ends is not a proxy.
constexpr std::size_t kMaxReplyHead = 16384;

TunnelReply refused(const std::string& reason) {
    TunnelReply reply;
    reply.state = TunnelReply::State::Refused;
    reply.reason = reason;
    return reply;
}

}  // namespace

std::string ConnectRequest(const std::string& host, int port, const ProxyAddress& proxy,
                           const std::string& userAgent) {
    const bool v6 = host.find(':') != std::string::npos;
    const std::string target = (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
    std::string request = "CONNECT " + target + " HTTP/1.0\r\n";
    request += "Host: " + target + "\r\n";
    if (proxy.hasCredentials)
        request += "Proxy-Authorization: Basic " +
                   platform::Base64(proxy.user + ":" + proxy.password) + "\r\n";
    if (!userAgent.empty()) request += "User-Agent: " + userAgent + "\r\n";
    request += "\r\n";
    return request;
}

std::string ProxyAuthenticationFailure(bool credentialsSent, const std::string& status) {
    const std::string said = platform::Trimmed(status);
    const std::string reason = credentialsSent ? "the proxy refused the user name and password"
                                               : "the proxy wants a user name and password";
    return said.empty() ? reason : reason + " (" + said + ")";
}

TunnelReply ReadTunnelReply(const std::string& received, bool credentialsSent) {
    // Some proxies end their lines with a bare LF.
    std::size_t headEnd = received.find("\r\n\r\n");
    std::size_t restStart = headEnd == std::string::npos ? 0 : headEnd + 4;
    if (const auto lf = received.find("\n\n");
        lf != std::string::npos && (headEnd == std::string::npos || lf < headEnd)) {
        headEnd = lf;
        restStart = lf + 2;
    }
    const std::size_t lineEnd = received.find_first_of("\r\n");
    const std::string statusLine = received.substr(0, lineEnd);
    // A first line that cannot become a status line fails at once.
    if (!received.empty() && received.rfind("HTTP/", 0) != 0 &&
        std::string("HTTP/").rfind(received.substr(0, 5), 0) != 0)
        return refused("proxy answered CONNECT with something other than HTTP: " +
                       platform::Trimmed(statusLine.substr(0, 80)));
    if (headEnd == std::string::npos) {
        if (received.size() > kMaxReplyHead) return refused("proxy's reply to CONNECT has no end");
        return {};
    }
    // "HTTP/1.x 200 Connection established"
    const auto space = statusLine.find(' ');
    const std::string afterVersion = space == std::string::npos
                                         ? std::string()
                                         : platform::Trimmed(statusLine.substr(space + 1));
    const std::string code = afterVersion.substr(0, 3);
    const bool numeric = code.size() == 3 &&
                         code.find_first_not_of("0123456789") == std::string::npos &&
                         (afterVersion.size() == 3 || afterVersion[3] == ' ');
    if (!numeric)
        return refused("proxy's reply to CONNECT has no status: " + platform::Trimmed(statusLine));
    if (code[0] == '2') {
        TunnelReply reply;
        reply.state = TunnelReply::State::Open;
        reply.rest = received.substr(restStart);
        return reply;
    }
    // Only the proxy answers CONNECT: a 401 is its refusal too (tinyproxy
    // refuses wrong credentials so).
    if (code == "407" || code == "401")
        return refused(ProxyAuthenticationFailure(credentialsSent, afterVersion));
    return refused("proxy refused the tunnel: " + afterVersion);
}

}  // namespace http
