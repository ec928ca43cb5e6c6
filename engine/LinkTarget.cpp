#include "engine/LinkTarget.h"

#include <algorithm>
#include <vector>

#include "engine/LinkExtraction.h"
#include "engine/ParseURLFns.h"

namespace engine {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The scheme of an absolute link, lower case; empty when it has none.
std::string schemeOf(std::string_view link) {
    if (link.empty() || !isAsciiLetter(link[0])) return {};
    for (std::size_t i = 1; i < link.size(); ++i) {
        const char c = link[i];
        if (c == ':') return LowerCase(link.substr(0, i));
        if (!isAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return {};
    }
    return {};
}

// RFC 3986, 5.2.4: "." and ".." segments removed; a path ending in one of
// them names a directory.
std::string withoutDotSegments(std::string_view path) {
    std::vector<std::string_view> segments;
    std::size_t at = 1;  // past the leading "/"
    bool directory = false;
    while (at <= path.size()) {
        std::size_t end = path.find('/', at);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view segment = path.substr(at, end - at);
        directory = segment == "." || segment == "..";
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (segment != ".") {
            segments.push_back(segment);
        }
        at = end + 1;
    }
    std::string out;
    for (const auto segment : segments) {
        out += '/';
        out += segment;
    }
    if (directory || out.empty()) out += '/';
    return out;
}

// The link resolved against base as a browser does it (base is absolute; the
// link's "\\" already read as "/").
std::string browserResolved(std::string link, std::string_view base) {
    const auto separator = base.find("://");
    if (separator == std::string_view::npos) return {};
    std::size_t hostEnd = base.find('/', separator + 3);
    if (hostEnd == std::string_view::npos) hostEnd = base.size();
    const std::string_view origin = base.substr(0, hostEnd);

    const std::string scheme = schemeOf(link);
    if (!scheme.empty()) {
        const std::size_t afterScheme = scheme.size() + 1;
        if (link.compare(afterScheme, 2, "//") == 0) {
            std::size_t linkHostEnd = link.find('/', afterScheme + 2);
            if (linkHostEnd == std::string::npos) return link + "/";
            return link.substr(0, linkHostEnd) + withoutDotSegments(link.substr(linkHostEnd));
        }
        link.erase(0, afterScheme);  // "http:page.html" is relative to the page
    }
    if (!link.empty() && link.front() == '/') return std::string(origin) + withoutDotSegments(link);
    std::string_view basePath = base.substr(hostEnd);
    const auto lastSlash = basePath.rfind('/');
    const std::string directory =
        lastSlash == std::string_view::npos ? "/" : std::string(basePath.substr(0, lastSlash + 1));
    return std::string(origin) + withoutDotSegments(directory + link);
}

}  // namespace

std::optional<TLinkTarget> ResolveLinkTarget(std::string_view address, std::string_view base) {
    while (!address.empty() && isBlank(address.front())) address.remove_prefix(1);
    while (!address.empty() && isBlank(address.back())) address.remove_suffix(1);
    std::string link;
    link.reserve(address.size());
    for (const char c : address) {
        // Web addresses read "\\" as "/".
        if (c != '\t' && c != '\n' && c != '\r') link += c == '\\' ? '/' : c;
    }

    TLinkTarget target;
    if (const auto hash = link.find('#'); hash != std::string::npos) {
        target.fragment = link.substr(hash);
        link.erase(hash);
    }
    if (const auto question = link.find('?'); question != std::string::npos) {
        target.query = link.substr(question);
        link.erase(question);
    }
    if (link.empty()) return std::nullopt;

    const std::string scheme = schemeOf(link);
    if (!scheme.empty() && scheme != "http" && scheme != "https") return std::nullopt;
    if (link.rfind("//", 0) == 0) {
        // Scheme-relative: the page's own scheme.
        const auto separator = base.find("://");
        if (separator == std::string_view::npos) return std::nullopt;
        link = std::string(base.substr(0, separator + 1)) + link;
    }

    target.absolute = browserResolved(link, base);
    if (target.absolute.empty()) return std::nullopt;
    // The URL link extraction queues for it; where the engine's rules find
    // none (a link climbing above the site root), the browser's address.
    const std::string normalised = normaliseLink(link, base);
    if (!normalised.empty()) target.url = ResolveURL(normalised, base);
    if (target.url.empty() || target.url == " ") target.url = target.absolute;
    return target;
}

}  // namespace engine
