#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Where the links of a page or a stylesheet stand and what each is for: the
// table of tags and attributes that name what a page needs to display
// (images in every form, stylesheets, scripts, icons, media, frames, refresh
// targets, url() and @import in style blocks and style attributes), the links
// a reader follows, and the base tag.
namespace engine {

enum class TLinkRole {
    Navigation,  // followed by a reader; fetched by the usual rules
    Requisite,   // needed to display the page
    Stylesheet,  // a requisite that is itself scanned for links
    Base,        // the base tag's address
};

// One link as it stands in the text.
struct TLinkSite {
    // The raw bytes a rewrite replaces.
    std::size_t offset = 0;
    std::size_t length = 0;
    // The link as a browser reads it: character references and CSS escapes
    // decoded.
    std::string address;
    TLinkRole role = TLinkRole::Navigation;
    // Inside an HTML attribute a written "&" must be "&amp;".
    bool inAttribute = false;
};

// The links of an HTML page, in document order.
std::vector<TLinkSite> FindPageLinks(std::string_view page);

// The links of a stylesheet: url() targets are requisites, @import targets
// stylesheets.
std::vector<TLinkSite> FindStylesheetLinks(std::string_view css);

}  // namespace engine
