#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Protocol and file text as bytes. Letter case folds in ASCII only, whatever
// the locale, so that header names, tags and URLs compare the same everywhere.

constexpr char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char UpperCaseChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);
bool EqualsCaseBlind(std::string_view a, std::string_view b);
bool ContainsCaseBlind(std::string_view text, std::string_view what);
bool StartsWithCaseBlind(std::string_view text, std::string_view prefix);
// Orders as the lower-case forms would.
bool LessCaseBlind(std::string_view a, std::string_view b);

// Without the blanks and control characters (bytes up to the space) at both ends.
std::string Trimmed(std::string_view text);
// Without the spaces and tabs at both ends.
std::string TrimmedBlanks(std::string_view text);

// Appends the UTF-8 bytes of a code point (CSS and HTML escapes decode to it).
void AppendUtf8(std::string& out, std::uint32_t codePoint);

// Standard base64 with padding.
std::string Base64(std::string_view bytes);

}  // namespace platform
