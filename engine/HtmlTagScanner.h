#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Start tags and their attributes, found the way a browser tokenizes HTML:
// quoted values may hold blanks and ">", comments and the contents of script,
// style, textarea and title elements hold no tags. Every value keeps its
// position in the page, so a rewrite can change a value and nothing else.
namespace engine {

// Text with the character references that matter in links decoded ("&amp;",
// "&lt;", "&gt;", "&quot;", "&apos;", "&#N;", "&#xH;"), and for each decoded
// byte the position in the raw text where it came from. rawOffsets has one more
// entry than text: the raw length, so a decoded range [a, b) is the raw range
// [rawOffsets[a], rawOffsets[b]).
struct TDecodedText {
    std::string text;
    std::vector<std::size_t> rawOffsets;
};
TDecodedText DecodeHtmlReferences(std::string_view raw);

struct THtmlAttribute {
    std::string name;  // lower case
    // The raw value's bytes in the page, without its quotes.
    std::size_t valueOffset = 0;
    std::size_t valueLength = 0;
    char quote = 0;  // '"', '\'', or 0 when unquoted or absent
    bool hasValue = false;
};

struct THtmlTag {
    std::string name;  // lower case
    std::size_t offset = 0;
    std::vector<THtmlAttribute> attributes;

    // The first attribute of that (lower-case) name, as a browser keeps it.
    const THtmlAttribute* find(std::string_view lowerName) const;
};

// The content of a style element.
struct TStyleBlock {
    std::size_t offset = 0;
    std::size_t length = 0;
};

struct THtmlScan {
    std::vector<THtmlTag> tags;
    std::vector<TStyleBlock> styleBlocks;
};

// Start tags in document order; a tag cut by the end of the page is dropped,
// as a browser drops it.
THtmlScan ScanHtmlTags(std::string_view page);

}  // namespace engine
