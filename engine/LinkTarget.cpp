#include "engine/LinkTarget.h"

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

}  // namespace

std::optional<TLinkTarget> ResolveLinkTarget(std::string_view address, std::string_view base) {
    while (!address.empty() && isBlank(address.front())) address.remove_prefix(1);
    while (!address.empty() && isBlank(address.back())) address.remove_suffix(1);
    std::string link;
    link.reserve(address.size());
    for (const char c : address) {
        if (c != '\t' && c != '\n' && c != '\r') link += c;
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

    const std::string normalised = normaliseLink(link, base);
    if (normalised.empty()) return std::nullopt;
    target.url = ResolveURL(normalised, base);
    if (target.url.empty() || target.url == " ") return std::nullopt;
    return target;
}

}  // namespace engine
