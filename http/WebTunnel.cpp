// TWeb's CONNECT tunnel: an "https://" retrieval through an https proxy asks
// it for a plain byte pipe to the server, then speaks TLS through it.
#include "http/ProxyTunnel.h"
#include "http/Web.h"
#include "http/WebInternal.h"
#include "platform/SocketEvents.h"
#include "platform/TcpSocket.h"

namespace http {

void TWeb::openTunnel() {
    phase_ = Phase::Tunnelling;
    tunnelReply_.clear();
    ProxyAddress proxy;
    proxy.host = proxy_;
    proxy.port = proxyPort_;
    if (proxyCredentials_) {
        proxy.user = proxyCredentials_->user;
        proxy.password = proxyCredentials_->password;
        proxy.hasCredentials = true;
    }
    // ConnectRequest brackets an IPv6 address itself.
    std::string host = webHost_;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    const std::string request = ConnectRequest(host, urlPort_, proxy, userAgent_);
    if (const int rc = socket_->sendAll(request.data(), request.size()); rc != 0) {
        if (forceCachedCopy()) return;
        socketError_ = rc;
        reportError(SSendError);
    }
}

void TWeb::tunnelEvent(int event, int error) {
    if (error != 0) {
        reportSocketError(error);
        return;
    }
    if (event == platform::FD_CLOSE) {
        failTls("the proxy closed the connection before the tunnel was open");
        return;
    }
    if (event != platform::FD_READ) return;
    const std::int64_t n = socket_->receive(receiveBuffer_.data(), kReadChunk);
    if (n <= 0) return;
    tunnelReply_.append(receiveBuffer_.data(), static_cast<std::size_t>(n));
    const TunnelReply reply = ReadTunnelReply(tunnelReply_, proxyCredentials_.has_value());
    switch (reply.state) {
        case TunnelReply::State::Incomplete:
            return;
        case TunnelReply::State::Refused:
            failTls(reply.reason);
            return;
        case TunnelReply::State::Open:
            tunnelReply_.clear();
            startHandshake(reply.rest);
            return;
    }
}

}  // namespace http
