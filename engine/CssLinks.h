#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The links of a stylesheet: every url() and every @import, found the way a
// browser tokenizes CSS (comments skipped, strings and escapes honoured), so
// that nothing inside a comment or a string counts and nothing a browser would
// load is missed.
namespace engine {

struct TCssLink {
    // The bytes a rewrite replaces: the text between the quotes of a string,
    // or the unquoted text of a url() without its surrounding blanks.
    std::size_t offset = 0;
    std::size_t length = 0;
    // The link as a browser reads it, CSS escapes decoded (code points as UTF-8).
    std::string url;
    // Named by @import: the target is a stylesheet itself.
    bool isImport = false;
};

// In document order. A malformed url() (a quote or a blank inside an unquoted
// one, a string cut by a line break) yields nothing, as it loads nothing.
std::vector<TCssLink> FindCssLinks(std::string_view css);

// The text of a CSS string or url() with its escapes decoded: "\" and up to six
// hex digits (and one blank after them) give a code point, "\" and a line break
// give nothing, "\" and any other byte give that byte.
std::string DecodeCssEscapes(std::string_view text);

}  // namespace engine
