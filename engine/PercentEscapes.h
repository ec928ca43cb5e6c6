#pragma once

#include <string>
#include <string_view>

// Percent-escapes between URLs and the names of an offline copy. A browser
// opening a file: URL decodes every escape of its path before it asks the file
// system, so a copy meant to be opened from disk stores decoded names and
// writes links that decode back to them.
namespace engine {

// The text with every "%XX" escape decoded, except "%2F" and "%00": a decoded
// "/" would move the file into another folder and a NUL cannot be in a name,
// so those stay as the three bytes they are. A "%" not followed by two hex
// digits stays too.
std::string DecodePercentEscapes(std::string_view text);

// A local path written as the path of a relative link: every byte a browser
// could read otherwise (blanks, "%", "#", "?", ":", quotes, parentheses,
// commas, "&", bytes above 127, ...) is escaped; letters, digits, "/" and
// "-._~!$*+=@" stay.
std::string EncodeLinkPath(std::string_view path);

// An absolute URL made safe to stand in an attribute, a srcset or a CSS url():
// blanks, control bytes, bytes above 127, quotes, parentheses, "<", ">", "\\"
// and "," are escaped; every other byte, existing escapes included, stays.
std::string EncodeAbsoluteURL(std::string_view url);

}  // namespace engine
