#include "http/Web.h"
#include "http/WebInternal.h"
#include "platform/ByteText.h"
#include "platform/Ipv4Text.h"

// A URL taken apart into service, host, port, path and name, and put back
// together when one of them changes; dotted IPv4 host texts.

namespace http {

namespace {

constexpr int kHttpPort = 80;
constexpr int kHttpsPort = 443;

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The IPv6 literal between the brackets: hex digits, ":" and "." (an IPv4
// tail), with at least one ":".
bool isIpv6Literal(const std::string& text) {
    if (text.size() < 2 || text.find(':') == std::string::npos) return false;
    for (char c : text) {
        if (!isHexDigit(c) && c != ':' && c != '.') return false;
    }
    return true;
}

}  // namespace

void TWeb::setURL(const std::string& v) {
    guard("URL");
    std::string text = withTwoSlashes(platform::Trimmed(v));
    url_ = text;
    lastError_.clear();
    if (text.empty()) {
        webService_ = svHTTP;
        webHost_.clear();
        hostName_.clear();
        hostAddress_.clear();
        webPort_ = urlPort_ = kHttpPort;
        secure_ = false;
        documentPath_ = "/";
        documentName_.clear();
        return;
    }
    parseURL(text);
}

void TWeb::parseURL(const std::string& text) {
    documentPath_ = "/";
    documentName_.clear();
    if (text.empty()) reportError(SNoURL);

    std::string remainder;
    bool fileScheme = false;
    secure_ = false;
    auto colon = text.find(':');
    if (colon == std::string::npos) {
        url_.clear();
        reportError(SNoService);
        remainder = text;
    } else {
        std::string scheme = platform::LowerCase(text.substr(0, colon));
        if (scheme == "http") {
            webService_ = svHTTP;
        } else if (scheme == "https") {
            // HTTP over TLS: the same service, on its own default port.
            webService_ = svHTTP;
            secure_ = true;
        } else if (scheme == "gopher") {
            webService_ = svGOPHER;
        } else if (scheme == "ftp") {
            webService_ = svFTP;
        } else if (scheme == "file") {
            webService_ = svFILE;
            fileScheme = true;
        } else {
            url_.clear();
            reportError(SUnsupportedService, scheme);
        }
        // The "//" after the colon is skipped unseen.
        remainder = colon + 3 <= text.size() ? text.substr(colon + 3) : std::string();
    }

    if (fileScheme) {
        // Local paths are POSIX paths: the third "/" of "file:///" is the root.
        localFile_ = true;
        auto slash = remainder.rfind('/');
        documentName_ = slash == std::string::npos ? remainder : remainder.substr(slash + 1);
        documentPath_ = slash == std::string::npos ? std::string() : remainder.substr(0, slash + 1);
        return;
    }
    localFile_ = false;

    if (remainder.empty()) {
        url_.clear();
        reportError(SInsufficientParameters);
    }

    auto slash = remainder.find('/');
    std::string hostPort = remainder.substr(0, slash);
    std::string path = slash == std::string::npos ? std::string() : remainder.substr(slash);

    std::string host = hostPort;
    std::string portText = std::to_string(secure_ ? kHttpsPort : kHttpPort);
    // An IPv6 literal is bracketed ("[::1]:8080"): its colons are no port's.
    const bool bracketed = !hostPort.empty() && hostPort.front() == '[';
    const auto close = bracketed ? hostPort.find(']') : std::string::npos;
    if (bracketed) {
        const std::string after = close == std::string::npos ? "" : hostPort.substr(close + 1);
        if (close == std::string::npos || !isIpv6Literal(hostPort.substr(1, close - 1)) ||
            (!after.empty() && after.front() != ':')) {
            url_.clear();
            webHost_.clear();
            hostName_.clear();
            hostAddress_.clear();
            reportError(SNoHost);
            return;
        }
    }
    const auto portColon =
        bracketed ? (close + 1 < hostPort.size() ? close + 1 : std::string::npos)
                  : hostPort.find(':');
    if (portColon != std::string::npos) {
        host = hostPort.substr(0, portColon);
        portText = hostPort.substr(portColon + 1);
    }
    bool badPort = false;
    for (char c : portText) {
        if (!isDigit(c)) {
            url_.clear();
            reportError(SInvalidPort);
            badPort = true;
        }
    }
    if (badPort || portText.empty() || portText.size() > 9) {
        throw EConvertError("'" + portText + "' is not a valid integer value");
    }
    int port = static_cast<int>(wholeNumber(portText));
    if (port > kMaxPort) {
        // A port that does not fit in 16 bits would silently name another port.
        url_.clear();
        reportError(SInvalidPort);
        throw EConvertError("'" + portText + "' is not a valid port");
    }
    webPort_ = urlPort_ = port;

    // A bracketed IPv6 address is connected to as the bare address; the URL
    // and the Host header keep the brackets.
    splitHost(host, hostName_, hostAddress_);
    webHost_ = host;

    for (auto twin = path.find("//"); twin != std::string::npos; twin = path.find("//")) {
        path.erase(twin, 1);
    }
    auto lastSlash = path.rfind('/');
    documentName_ = lastSlash == std::string::npos ? path : path.substr(lastSlash + 1);
    if (lastSlash != std::string::npos) documentPath_ = path.substr(0, lastSlash + 1);
    if (path.empty()) url_ += documentPath_;
}

void TWeb::rebuildURL() {
    std::string prefix;
    switch (webService_) {
        case svHTTP:
            prefix = secure_ ? "https://" : "http://";
            break;
        case svGOPHER:
            prefix = "gopher://";
            break;
        case svFTP:
            prefix = "ftp://";
            break;
        case svFILE:
            prefix = "file:///";
            break;
        case svNEWS:
            break;
    }
    std::string rest = webHost_;
    const int defaultPort = webService_ == svHTTP && secure_ ? kHttpsPort : kHttpPort;
    if (webPort_ != defaultPort && !rest.empty()) rest += ":" + std::to_string(webPort_);
    if (!rest.empty() && !documentPath_.empty()) rest += documentPath_;
    if (!rest.empty() && !documentName_.empty()) rest += documentName_;
    url_ = rest.empty() ? std::string() : prefix + rest;
}

bool isDottedHost(const std::string& host) {
    for (auto it = host.rbegin(); it != host.rend(); ++it) {
        if (*it == '.') continue;
        return isDigit(*it);
    }
    return false;
}

std::uint32_t dottedAddress(const std::string& text) { return platform::dottedAddress(text); }

std::string dottedText(std::uint32_t addressNetworkOrder) {
    return platform::dottedText(addressNetworkOrder);
}

}  // namespace http
