#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace engine {

// What a link written in a page names: the URL the engine fetches for it
// (absolute and standardised, the way link extraction queues it) and the query
// and fragment written after it.
struct TLinkTarget {
    std::string url;
    std::string query;     // with its "?"; empty when there is none
    std::string fragment;  // with its "#"; empty when there is none
};

// Empty for a link that names no other web file: a fragment or query alone,
// another scheme (mailto:, javascript:, data:, ...), or a link that cannot be
// resolved against base. Blanks around the link and tabs and line breaks
// inside it are dropped, as browsers drop them.
std::optional<TLinkTarget> ResolveLinkTarget(std::string_view address, std::string_view base);

}  // namespace engine
