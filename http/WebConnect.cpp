#include "http/HostCache.h"
#include "http/Web.h"
#include "http/WebInternal.h"
#include "platform/HostLookup.h"
#include "platform/Ipv4Text.h"
#include "platform/SocketErrors.h"
#include "platform/TcpSocket.h"

// The lookup and connect steps of a retrieval: the host's (or the proxy's)
// addresses come from the text itself, the host cache or a lookup of IPv6
// and IPv4 addresses, and are tried in turn until one takes the connection.

namespace http {

namespace {

// The address a literal host text names: a dotted IPv4 address or an IPv6
// address without brackets; none for a name or a malformed address.
std::vector<platform::IpAddress> literalAddresses(const std::string& text) {
    if (text.find(':') != std::string::npos) {
        const auto address = platform::IpAddress::parse(text);
        if (address && address->isV6()) return {*address};
        return {};
    }
    const std::uint32_t v4 = platform::dottedAddress(text);
    if (v4 == 0) return {};
    return {platform::IpAddress::fromIpv4(v4)};
}

std::string withoutBrackets(const std::string& host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        return host.substr(1, host.size() - 2);
    return host;
}

}  // namespace

void splitHost(const std::string& host, std::string& name, std::string& address) {
    const std::string bare = withoutBrackets(host);
    bool literal = false;
    if (bare.find(':') != std::string::npos) {
        const auto parsed = platform::IpAddress::parse(bare);
        literal = parsed && parsed->isV6();
    } else {
        literal = bare == host && isDottedHost(host);
    }
    if (literal) {
        address = bare;
        name.clear();
    } else {
        name = bare;
        address.clear();
    }
}

std::string bracketedHost(const std::string& host) {
    if (host.empty() || host.front() == '[' || host.find(':') == std::string::npos) return host;
    return "[" + host + "]";
}

void TWeb::chooseTarget() {
    if (useProxy_) {
        lookupName_ = proxyHostName_;
        addresses_ = literalAddresses(proxyAddress_);
        connectPort_ = proxyPort_;
    } else {
        lookupName_ = hostName_;
        addresses_ = literalAddresses(hostAddress_);
        connectPort_ = urlPort_;
    }
    addressIndex_ = 0;
}

void TWeb::findAddress() {
    phase_ = Phase::Resolving;
    if (!lookupName_.empty()) {
        addresses_ = hostCache_->addresses(lookupName_);
        if (addresses_.empty()) {
            lookupHandle_ = lookup_->start(lookupName_, platform::HostLookup::Wanted::AnyFamily);
            raise(OnResolving, lookupName_);
            return;
        }
    }
    addressFound(0);
}

void TWeb::addressFound(int error) {
    if (error != 0 || addresses_.empty()) {
        if (forceCachedCopy()) return;
        std::string host = lookupName_;
        if (host.empty()) host = useProxy_ ? proxy_ : webHost_;
        // The socket-level reason stays beside the component's own message.
        socketError_ = error != 0 ? error : platform::WSAHOST_NOT_FOUND;
        reportError(SHostNotFound, host);
        return;
    }
    addressIndex_ = 0;
    if (!raise(OnResolved, lookupName_, addresses_.front().text())) return;
    if (!lookupName_.empty()) hostCache_->add(lookupName_, addresses_.front());
    openConnection();
}

void TWeb::openConnection() {
    phase_ = Phase::Connecting;
    const platform::IpAddress& address = addresses_[addressIndex_];
    socket_ = std::make_unique<platform::TcpSocket>(*receiver_, WM_WEBSOCKET, attempt_);
    if (const int rc = socket_->open(address.family()); rc != 0) {
        // A family this machine cannot open (IPv6 switched off) is passed over.
        if (connectNextAddress(rc)) return;
        socket_.reset();
        socketError_ = rc;
        reportError(SCannotCreateSocket);
        return;
    }
    const int rc = socket_->connect(address, static_cast<std::uint16_t>(connectPort_));
    if (rc != 0 && rc != platform::WSAEWOULDBLOCK) {
        // Unreachable at once (no route for the family): the next address.
        if (connectNextAddress(rc)) return;
        socketError_ = rc;
        reportError(SOpenFailed);
    }
}

bool TWeb::connectNextAddress(int error) {
    if (addressIndex_ + 1 >= addresses_.size()) return false;
    // A refused socket posts nothing after its FD_CONNECT, so the next
    // socket's notifications are the only ones of this attempt.
    if (socket_) {
        socket_->close();
        socket_.reset();
    }
    (void)error;  // only the last address's error is reported
    ++addressIndex_;
    openConnection();
    return true;
}

void TWeb::addressAnswered() {
    // The cache keeps the address that took the connection, so that the next
    // retrieval from the host does not wait on the ones that refused it.
    if (addressIndex_ > 0 && !lookupName_.empty())
        hostCache_->keepOnly(lookupName_, addresses_[addressIndex_]);
}

}  // namespace http
