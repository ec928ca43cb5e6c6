#include "engine/WebURL.h"

#include <array>
#include <cctype>

namespace engine {

namespace {

constexpr std::array<std::string_view, 1> kWebSchemes = {"http://"};

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
        if (startsCaseBlind(url, scheme) && url.size() > scheme.size()) return true;
    }
    return false;
}

}  // namespace engine
