#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace engine {

// What a link written in a page names: the URL the engine fetches for it
// (absolute and standardised, the way link extraction queues it), the address
// a browser resolves it to, and the query and fragment written after it.
struct TLinkTarget {
    std::string url;
    // The link resolved as a browser resolves it (dot segments removed, a last
    // segment without a dot left as it is), without query and fragment.
    std::string absolute;
    std::string query;     // with its "?"; empty when there is none
    std::string fragment;  // with its "#"; empty when there is none
};

// Empty for a link that names no other web file: a fragment or query alone,
// another scheme (mailto:, javascript:, data:, ...), or a base that is not
// absolute. Blanks around the link and tabs and line breaks
// inside it are dropped, as browsers drop them.
std::optional<TLinkTarget> ResolveLinkTarget(std::string_view address, std::string_view base);

}  // namespace engine
