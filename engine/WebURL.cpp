#include "engine/WebURL.h"

#include <array>
#include <cctype>

#include "engine/ParseURLFns.h"

namespace engine {

namespace {

constexpr std::array<std::string_view, 2> kWebSchemes = {"http://", "https://"};

bool startsCaseBlind(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

bool IsWebURL(std::string_view url) {
    for (const std::string_view scheme : kWebSchemes) {
        // A scheme with no host after it names nothing to fetch.
        if (!startsCaseBlind(url, scheme) || url.size() <= scheme.size()) continue;
        const std::string_view rest = url.substr(scheme.size());
        return HostBracketsValid(rest.substr(0, rest.find('/')));
    }
    return false;
}

}  // namespace engine
