// libFuzzer target for the URL functions: splitting, the standard form,
// resolution against a base, the rule patterns, the two schemes of one address
// ("http://", "https://") and bracketed IPv6 hosts, and the HTTP component's
// own URL parsing. The input holds two texts separated by the first NUL byte.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ParseURLFns.h"
#include "engine/WebURL.h"
#include "http/Web.h"
#include "tests/fuzz/FuzzSupport.h"

using fuzzsupport::check;

namespace {

void checkParts(const std::string& url) {
    const engine::TUrlParts parts = engine::SplitURL(url);
    if (!parts.directory.empty()) {
        check(parts.directory.front() == '/', "directory begins with /");
        check(parts.directory.back() == '/', "directory ends with /");
    }
    // The parts come from the URL; at most one "/" is added to the directory.
    check(parts.protocol.size() + parts.host.size() + parts.directory.size() +
                  parts.fileName.size() <=
              url.size() + 2,
          "parts no longer than the URL");
    if (!engine::IsAbsoluteURL(url)) {
        check(parts.protocol.empty() && parts.host.empty(), "relative text has no parts");
    }
}

// The schemes of one address compare as one; a fetched URL's host is well formed.
void checkSchemes(const std::string& a, const std::string& b) {
    check(engine::SameURL(a, b) == engine::SameURL(b, a), "SameURL is symmetric");
    check(engine::SameURL(a, a), "a URL is the same as itself");
    check(engine::SameURL(a, engine::SchemeBlindURL(a)), "the key names the same URL");
    check(engine::SameURL(a, b) ==
              engine::EqualsCaseBlind(engine::SchemeBlindURL(a), engine::SchemeBlindURL(b)),
          "SameURL agrees with the key form");
    if (engine::IsWebURL(a)) {
        const std::string host = engine::SplitURL(a).host;
        check(engine::HostBracketsValid(host) || host.empty(), "a web URL's host is well formed");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto cut = input.find('\0');
    const std::string first = input.substr(0, cut);
    const std::string second = cut == std::string::npos
                                   ? std::string("http://host.test/docs/a.html")
                                   : input.substr(cut + 1);

    checkParts(first);
    checkParts(second);
    checkSchemes(first, second);

    const std::string standard = engine::StandardiseURL(first);
    checkParts(standard);
    check(standard.find('\\') == std::string::npos, "no backslash in the standard form");

    const std::string resolved = engine::ResolveURL(first, second);
    // Against an absolute base a link resolves to an absolute address or none.
    if (engine::IsAbsoluteURL(second) && !engine::SplitURL(second).host.empty()) {
        check(resolved.empty() || engine::IsAbsoluteURL(resolved), "a resolved link is absolute");
    }
    checkParts(resolved);
    (void)engine::ResolveURL(standard, engine::StandardiseURL(second));
    (void)engine::AdFile(second, first);

    const std::string pattern = engine::LowerCase(second);
    const std::string name = engine::LowerCase(first);
    (void)engine::WildComp(pattern, name);
    (void)engine::MatchPattern(pattern, name);
    (void)engine::FileType(first, second);
    (void)engine::BreakFileName(first);

    http::TWeb web;
    try {
        web.setURL(first);
        check(web.WebHost().size() <= first.size(), "host taken from the URL");
        if (web.Secure()) check(web.WebService() == http::svHTTP, "https is HTTP over TLS");
        web.setURL(second);
    } catch (const http::EConvertError&) {
        // An unreadable port text is reported this way.
    }
    return 0;
}
