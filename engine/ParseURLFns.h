#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/ByteText.h"

// Text operations on absolute "http://" and "https://" addresses and on tag
// texts. They take
// and return byte strings and touch no job state. Where a function reports a
// position, it counts from 1 and uses 0 for "none", like the rest of the
// engine's text rules.
namespace engine {

// The parts of a URL: scheme ("http://", "https://", ...) + host + directory +
// file name. The host keeps any port and a bracketed IPv6 literal as written
// ("[::1]:8080"). The directory always begins and ends with "/" when the URL
// is absolute.
struct TUrlParts {
    std::string protocol;
    std::string rest;  // everything after the protocol; used only by the splitter
    std::string host;
    std::string directory;
    std::string fileName;
};

// The name part and the extension part of a URL's last segment.
struct TFileNameParts {
    std::string name;
    std::string extension;
};

// ASCII letter-case folding: names, tags and list entries compare case-blind.
using platform::ContainsCaseBlind;
using platform::EqualsCaseBlind;
using platform::LowerCase;

// True when the text (with "\" read as "/") contains "://", or "mailto:" in any
// letter case.
bool IsAbsoluteURL(std::string_view text);

TUrlParts SplitURL(std::string_view url);

// The one form under which URLs are queued and compared.
std::string StandardiseURL(std::string_view url);

TFileNameParts BreakFileName(std::string_view url);

// True (a text file, fetched whole and scanned) when the URL's extension part is
// empty or occurs anywhere in textTypes, letter case exact.
bool FileType(std::string_view url, std::string_view textTypes);

// Pattern against file name; both arrive lower-cased.
bool WildComp(std::string_view pattern, std::string_view fileName);
// One part of a pattern ("*" and "?" wildcards) against one part of a name.
bool MatchPattern(std::string_view pattern, std::string_view text);

// Position (from 1) of the last occurrence of what in text; 0 if none.
std::size_t LastPos(std::string_view what, std::string_view text);

// The first position (from 1) at or after start that holds no blank; start
// itself when only blanks follow.
std::size_t SkipSpaces(std::string_view text, std::size_t start);

// The value of an attribute (name with its leading blank, such as " HREF") in a
// tag text, letter case as in the tag; empty when there is none.
std::string GetAttrValue(std::string_view tag, std::string_view name);

// The URL with "https://" read as "http://" (the scheme's "s" taken out,
// letter case otherwise kept): a site is the same site under either scheme,
// so the two spellings of one address name one URL, one queue entry and one
// local file. Any other text is returned as it is.
std::string SchemeBlindURL(std::string_view url);

// True when the two URLs name one address: equal without regard to letter
// case, "https://" read as "http://".
bool SameURL(std::string_view a, std::string_view b);

// True when the host text (as SplitURL gives it, port included) is well formed
// as far as brackets go: without "[" it is taken as it is; with one it must be
// "[" + IPv6 literal (hex digits, ":" and ".") + "]", then nothing or ":" and
// a decimal port.
bool HostBracketsValid(std::string_view host);

// A directory address joined with a file name by exactly one "/".
std::string AdFile(std::string_view directory, std::string_view name);

// A link made absolute against a base address; empty when it cannot be (the
// base is not absolute, or the link climbs above the site root).
std::string ResolveURL(std::string_view link, std::string_view base);

}  // namespace engine
