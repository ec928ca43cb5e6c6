#include "http/EnvironmentProxies.h"

#include <array>
#include <cstdint>

#include "platform/ByteText.h"
#include "platform/Ipv4Text.h"

namespace http {

namespace {

constexpr int kDefaultProxyPort = 80;

bool isDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// 1..65535, or 0 when the text is no port.
int portNumber(const std::string& text) {
    if (!isDigits(text) || text.size() > 5) return 0;
    const int value = std::stoi(text);
    return value <= 65535 ? value : 0;
}

bool isHostNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

bool isHostName(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!isHostNameChar(c)) return false;
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = platform::FoldCase(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string percentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

using Ipv6Bytes = std::array<std::uint8_t, 16>;

// "::1", "fe80::1:2", "2001:db8:0:0:0:0:0:1"; no embedded dotted form.
std::optional<Ipv6Bytes> ipv6Address(const std::string& text) {
    if (text.find(':') == std::string::npos) return std::nullopt;
    std::vector<std::uint16_t> head, tail;
    bool gap = false;
    std::size_t i = 0;
    if (text.rfind("::", 0) == 0) {
        gap = true;
        i = 2;
    }
    while (i < text.size()) {
        std::size_t end = text.find(':', i);
        if (end == std::string::npos) end = text.size();
        const std::string group = text.substr(i, end - i);
        if (group.empty() || group.size() > 4) return std::nullopt;
        unsigned value = 0;
        for (char c : group) {
            if (hexValue(c) < 0) return std::nullopt;
            value = value * 16 + static_cast<unsigned>(hexValue(c));
        }
        (gap ? tail : head).push_back(static_cast<std::uint16_t>(value));
        i = end;
        if (i == text.size()) break;
        if (text.compare(i, 2, "::") == 0) {
            if (gap) return std::nullopt;
            gap = true;
            i += 2;
        } else {
            ++i;
            if (i == text.size()) return std::nullopt;  // a trailing single colon
        }
    }
    const std::size_t groups = head.size() + tail.size();
    if (gap ? groups > 7 : groups != 8) return std::nullopt;
    Ipv6Bytes bytes{};
    auto put = [&bytes](std::size_t index, std::uint16_t v) {
        bytes[index * 2] = static_cast<std::uint8_t>(v >> 8);
        bytes[index * 2 + 1] = static_cast<std::uint8_t>(v & 0xff);
    };
    for (std::size_t k = 0; k < head.size(); ++k) put(k, head[k]);
    for (std::size_t k = 0; k < tail.size(); ++k) put(8 - tail.size() + k, tail[k]);
    return bytes;
}

// Either form of an address as 16 bytes (IPv4 in the first four), with its
// bit count; empty when the text is no address.
std::optional<std::pair<Ipv6Bytes, int>> addressBits(const std::string& text) {
    if (const std::uint32_t v4 = platform::dottedAddress(text); v4 != 0 || text == "0.0.0.0") {
        Ipv6Bytes bytes{};
        const auto* p = reinterpret_cast<const std::uint8_t*>(&v4);  // network order
        for (int k = 0; k < 4; ++k) bytes[k] = p[k];
        return std::make_pair(bytes, 32);
    }
    if (auto v6 = ipv6Address(text)) return std::make_pair(*v6, 128);
    return std::nullopt;
}

bool samePrefix(const Ipv6Bytes& a, const Ipv6Bytes& b, int bits) {
    for (int k = 0; k < bits; ++k) {
        const int mask = 0x80 >> (k % 8);
        if ((a[k / 8] & mask) != (b[k / 8] & mask)) return false;
    }
    return true;
}

// Splits "host:port", "[v6]:port", "[v6]" or "host"; an unbracketed text
// with two or more colons is an IPv6 address without a port. portText is
// empty when none was given; false when the brackets do not close.
bool splitHostPort(const std::string& text, std::string& host, std::string& portText,
                   bool& hadPort) {
    hadPort = false;
    portText.clear();
    if (!text.empty() && text[0] == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos) return false;
        host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (rest.empty()) return true;
        if (rest[0] != ':') return false;
        hadPort = true;
        portText = rest.substr(1);
        return true;
    }
    const auto first = text.find(':');
    if (first != std::string::npos && text.find(':', first + 1) == std::string::npos) {
        host = text.substr(0, first);
        hadPort = true;
        portText = text.substr(first + 1);
        return true;
    }
    host = text;
    return true;
}

std::string normalHost(std::string host) {
    host = platform::LowerCase(host);
    if (host.size() > 1 && host.back() == '.') host.pop_back();
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    return host;
}

std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return parts;
}

}  // namespace

std::string ProxyAddress::hostAndPort() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<ProxyAddress> ParseProxyValue(const std::string& value, std::string& error) {
    std::string text = platform::Trimmed(value);
    if (text.empty()) {
        error = "no proxy address";
        return std::nullopt;
    }
    if (const auto scheme = text.find("://"); scheme != std::string::npos) {
        const std::string name = platform::LowerCase(text.substr(0, scheme));
        if (name != "http") {
            error = "proxies are reached over http:// only, not " + text.substr(0, scheme) + "://";
            return std::nullopt;
        }
        text = text.substr(scheme + 3);
    }
    // Nothing but a closing "/" may follow the address.
    if (const auto slash = text.find('/'); slash != std::string::npos) {
        if (slash + 1 != text.size()) {
            error = "a proxy address has no path: " + text.substr(slash);
            return std::nullopt;
        }
        text.pop_back();
    }
    ProxyAddress proxy;
    if (const auto at = text.rfind('@'); at != std::string::npos) {
        const std::string userInfo = text.substr(0, at);
        text = text.substr(at + 1);
        const auto colon = userInfo.find(':');
        proxy.user = percentDecoded(userInfo.substr(0, colon));
        if (colon != std::string::npos) proxy.password = percentDecoded(userInfo.substr(colon + 1));
        proxy.hasCredentials = true;
        if (proxy.user.empty()) {
            error = "the proxy's user name is empty";
            return std::nullopt;
        }
    }
    std::string host, portText;
    bool hadPort = false;
    if (!splitHostPort(text, host, portText, hadPort)) {
        error = "the brackets around the proxy's IPv6 address do not close";
        return std::nullopt;
    }
    const bool bracketed = !text.empty() && text[0] == '[';
    if (bracketed ? !ipv6Address(host) : (!isHostName(host))) {
        error = host.empty() ? "the proxy host is missing" : "not a host name: " + host;
        return std::nullopt;
    }
    proxy.host = platform::LowerCase(host);
    proxy.port = kDefaultProxyPort;
    if (hadPort) {
        proxy.port = portNumber(portText);
        if (proxy.port == 0) {
            error = "the proxy port must be a number from 1 to 65535: " + portText;
            return std::nullopt;
        }
    }
    return proxy;
}

bool NoProxyList::parse(const std::string& text, std::string& error) {
    entries_.clear();
    for (const std::string& raw : splitCommas(text)) {
        const std::string item = platform::Trimmed(raw);
        if (item.empty()) continue;
        NoProxyEntry entry;
        if (item == "*") {
            entry.kind = NoProxyEntry::Kind::Everything;
            entries_.push_back(entry);
            continue;
        }
        std::string host, portText;
        bool hadPort = false;
        std::string withoutBits = item;
        std::string bitsText;
        // A network: "10.0.0.0/8", "fd00::/8", "[fd00::]/8:3128" is not taken.
        if (const auto slash = item.find('/'); slash != std::string::npos) {
            withoutBits = item.substr(0, slash);
            bitsText = item.substr(slash + 1);
        }
        if (!splitHostPort(withoutBits, host, portText, hadPort)) {
            error = "the brackets do not close: " + item;
            entries_.clear();
            return false;
        }
        if (hadPort) {
            entry.port = portNumber(portText);
            if (entry.port == 0) {
                error = "the port must be a number from 1 to 65535: " + item;
                entries_.clear();
                return false;
            }
        }
        host = normalHost(host);
        if (host.rfind("*.", 0) == 0) host.erase(0, 1);  // "*.example.com" as ".example.com"
        if (!host.empty() && host[0] == '.') host.erase(0, 1);
        const auto address = addressBits(host);
        if (!bitsText.empty() || item.find('/') != std::string::npos) {
            const int width = address ? address->second : 0;
            const int bits = isDigits(bitsText) && bitsText.size() <= 3 ? std::stoi(bitsText) : -1;
            if (!address || bits < 0 || bits > width) {
                error = "not a network (address/bits): " + item;
                entries_.clear();
                return false;
            }
            entry.kind = NoProxyEntry::Kind::Network;
            entry.prefixBits = bits;
        } else if (address) {
            entry.kind = NoProxyEntry::Kind::Address;
        } else if (isHostName(host) && host.find("..") == std::string::npos) {
            entry.kind = NoProxyEntry::Kind::Domain;
        } else {
            error = "not a host name, address or network: " + item;
            entries_.clear();
            return false;
        }
        entry.name = host;
        entries_.push_back(entry);
    }
    return true;
}

bool NoProxyList::matches(const std::string& rawHost, int port) const {
    const std::string host = normalHost(rawHost);
    const auto address = addressBits(host);
    for (const NoProxyEntry& entry : entries_) {
        if (entry.port != 0 && entry.port != port) continue;
        switch (entry.kind) {
            case NoProxyEntry::Kind::Everything:
                return true;
            case NoProxyEntry::Kind::Domain:
                // "0.1" names no domain of the address 10.0.0.1.
                if (address) break;
                if (host == entry.name) return true;
                if (host.size() > entry.name.size() &&
                    host.compare(host.size() - entry.name.size(), entry.name.size(), entry.name) ==
                        0 &&
                    host[host.size() - entry.name.size() - 1] == '.')
                    return true;
                break;
            case NoProxyEntry::Kind::Address:
            case NoProxyEntry::Kind::Network: {
                const auto wanted = addressBits(entry.name);
                if (!address || !wanted || address->second != wanted->second) break;
                const int bits =
                    entry.kind == NoProxyEntry::Kind::Address ? wanted->second : entry.prefixBits;
                if (samePrefix(address->first, wanted->first, bits)) return true;
                break;
            }
        }
    }
    return false;
}

const std::vector<std::string>& ProxyVariableNames() {
    static const std::vector<std::string> names = {"http_proxy",  "HTTP_PROXY", "https_proxy",
                                                   "HTTPS_PROXY", "no_proxy",   "NO_PROXY"};
    return names;
}

namespace {

// The lower-case variable when set, else the upper-case one; the name used
// goes to usedName for messages.
std::optional<std::string> lookUp(const ProxyVariables& variables, const std::string& lower,
                                  std::string& usedName) {
    for (const std::string& name : {lower, platform::UpperCase(lower)}) {
        if (auto it = variables.find(name); it != variables.end()) {
            usedName = name;
            return it->second;
        }
    }
    return std::nullopt;
}

}  // namespace

bool EnvironmentProxies::read(const ProxyVariables& variables, std::string& error) {
    *this = EnvironmentProxies();
    std::string name;
    for (const char* lower : {"http_proxy", "https_proxy"}) {
        const auto value = lookUp(variables, lower, name);
        if (!value || platform::Trimmed(*value).empty()) continue;
        std::string reason;
        auto proxy = ParseProxyValue(*value, reason);
        if (!proxy) {
            error = name + " is not a proxy address (" + reason + "): " + *value;
            *this = EnvironmentProxies();
            return false;
        }
        (std::string(lower) == "http_proxy" ? http_ : https_) = proxy;
    }
    if (const auto value = lookUp(variables, "no_proxy", name)) {
        std::string reason;
        if (!noProxy_.parse(*value, reason)) {
            error = name + " has an entry that is not a host (" + reason + "): " + *value;
            *this = EnvironmentProxies();
            return false;
        }
    }
    return true;
}

std::optional<ProxyAddress> EnvironmentProxies::proxyFor(const std::string& scheme,
                                                         const std::string& host, int port) const {
    const std::string s = platform::LowerCase(scheme);
    const std::optional<ProxyAddress>& proxy =
        s == "http" ? http_ : (s == "https" ? https_ : std::optional<ProxyAddress>());
    if (!proxy || noProxy_.matches(host, port)) return std::nullopt;
    return proxy;
}

}  // namespace http
