#include "engine/CssLinks.h"

#include <cstdint>

#include "platform/ByteText.h"

namespace engine {

namespace {

constexpr std::size_t kMaxHexDigits = 6;
constexpr std::uint32_t kReplacementCharacter = 0xFFFD;
constexpr std::uint32_t kMaxCodePoint = 0x10FFFF;

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

bool isNewline(char c) { return c == '\n' || c == '\r' || c == '\f'; }
bool isWhitespace(char c) { return c == ' ' || c == '\t' || isNewline(c); }

bool isNameByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || byte >= 0x80;
}

// Bytes an unquoted url() may not hold.
bool isNonPrintable(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x08 || byte == 0x0B || (byte >= 0x0E && byte <= 0x1F) || byte == 0x7F;
}

bool startsWithCaseBlind(std::string_view text, std::size_t at, std::string_view lowerWord) {
    if (at + lowerWord.size() > text.size()) return false;
    for (std::size_t i = 0; i < lowerWord.size(); ++i) {
        char c = text[at + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lowerWord[i]) return false;
    }
    return true;
}

// Past a line break at at; CR LF counts as one.
std::size_t afterNewline(std::string_view text, std::size_t at) {
    if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') return at + 2;
    return at + 1;
}

// Past the escape whose "\" is at at (the escape is known to be valid or at
// the end of the text).
std::size_t afterEscape(std::string_view text, std::size_t at) {
    std::size_t i = at + 1;
    if (i >= text.size()) return i;
    if (!isHexDigit(text[i])) return i + 1;
    const std::size_t end = std::min(text.size(), i + kMaxHexDigits);
    while (i < end && isHexDigit(text[i])) ++i;
    if (i < text.size() && isWhitespace(text[i])) i = afterNewline(text, i);
    return i;
}

class CssScanner {
public:
    explicit CssScanner(std::string_view css) : css_(css) {}

    std::vector<TCssLink> run() {
        while (at_ < css_.size()) step();
        return std::move(links_);
    }

private:
    void step() {
        const char c = css_[at_];
        if (c == '/' && at_ + 1 < css_.size() && css_[at_ + 1] == '*') {
            const std::size_t end = css_.find("*/", at_ + 2);
            at_ = end == std::string_view::npos ? css_.size() : end + 2;
            return;  // a comment does not end a pending @import
        }
        if (isWhitespace(c)) {
            ++at_;
            return;
        }
        if (c == '"' || c == '\'') {
            stringToken();
            return;
        }
        if (c == '@' && startsWithCaseBlind(css_, at_ + 1, "import") &&
            (at_ + 7 >= css_.size() || !isNameByte(css_[at_ + 7]))) {
            at_ += 7;
            importPending_ = true;
            return;
        }
        if (startsWithCaseBlind(css_, at_, "url(") && !followsNameByte()) {
            urlToken();
            return;
        }
        importPending_ = false;
        // A name may continue over an escape; the escaped byte is never a
        // token start of its own.
        at_ = c == '\\' ? afterEscape(css_, at_) : at_ + 1;
    }

    bool followsNameByte() const { return at_ > 0 && isNameByte(css_[at_ - 1]); }

    // A quoted string from at_; its closing quote, or npos when a line break
    // or the end cuts it. The content starts at at_ + 1.
    std::size_t stringEnd(std::size_t open) const {
        const char quote = css_[open];
        std::size_t i = open + 1;
        while (i < css_.size()) {
            const char c = css_[i];
            if (c == quote) return i;
            if (isNewline(c)) return std::string_view::npos;
            if (c == '\\') {
                if (i + 1 < css_.size() && isNewline(css_[i + 1])) {
                    i = afterNewline(css_, i + 1);
                } else {
                    i = afterEscape(css_, i);
                }
                continue;
            }
            ++i;
        }
        // A string cut by the end of the stylesheet still counts in CSS.
        return css_.size();
    }

    void stringToken() {
        const std::size_t open = at_;
        const std::size_t close = stringEnd(open);
        if (close == std::string_view::npos) {
            // A bad string: skip to the line break that cut it.
            at_ = open + 1;
            while (at_ < css_.size() && !isNewline(css_[at_])) {
                at_ = css_[at_] == '\\' ? afterEscape(css_, at_) : at_ + 1;
            }
            importPending_ = false;
            return;
        }
        if (importPending_) addLink(open + 1, close - open - 1, true);
        importPending_ = false;
        at_ = close < css_.size() ? close + 1 : close;
    }

    void urlToken() {
        const bool isImport = importPending_;
        importPending_ = false;
        std::size_t i = at_ + 4;
        while (i < css_.size() && isWhitespace(css_[i])) ++i;
        if (i < css_.size() && (css_[i] == '"' || css_[i] == '\'')) {
            // url("...") is a function holding a string.
            const std::size_t close = stringEnd(i);
            if (close == std::string_view::npos || close >= css_.size()) {
                at_ = i + 1;
                return;
            }
            std::size_t after = close + 1;
            while (after < css_.size() && isWhitespace(css_[after])) ++after;
            if (after < css_.size() && css_[after] == ')') {
                addLink(i + 1, close - i - 1, isImport);
                at_ = after + 1;
            } else {
                at_ = close + 1;
            }
            return;
        }
        const std::size_t start = i;
        while (i < css_.size()) {
            const char c = css_[i];
            if (c == ')') {
                if (i > start) addLink(start, i - start, isImport);
                at_ = i + 1;
                return;
            }
            if (isWhitespace(c)) {
                const std::size_t end = i;
                while (i < css_.size() && isWhitespace(css_[i])) ++i;
                if (i >= css_.size() || css_[i] == ')') {
                    if (end > start) addLink(start, end - start, isImport);
                    at_ = i < css_.size() ? i + 1 : i;
                    return;
                }
                break;
            }
            if (c == '"' || c == '\'' || c == '(' || isNonPrintable(c)) break;
            if (c == '\\') {
                if (i + 1 < css_.size() && isNewline(css_[i + 1])) break;
                i = afterEscape(css_, i);
                continue;
            }
            ++i;
        }
        if (i >= css_.size()) {
            // Cut by the end of the stylesheet: still a url in CSS.
            if (i > start) addLink(start, i - start, isImport);
            at_ = i;
            return;
        }
        skipBadUrl(i);
    }

    // What is left of a malformed url(), up to its ")".
    void skipBadUrl(std::size_t i) {
        while (i < css_.size() && css_[i] != ')') {
            if (css_[i] == '\\' && i + 1 < css_.size() && !isNewline(css_[i + 1])) {
                i = afterEscape(css_, i);
            } else {
                ++i;
            }
        }
        at_ = i < css_.size() ? i + 1 : i;
    }

    void addLink(std::size_t offset, std::size_t length, bool isImport) {
        TCssLink link;
        link.offset = offset;
        link.length = length;
        link.url = DecodeCssEscapes(css_.substr(offset, length));
        link.isImport = isImport;
        if (!link.url.empty()) links_.push_back(std::move(link));
    }

    std::string_view css_;
    std::size_t at_ = 0;
    bool importPending_ = false;
    std::vector<TCssLink> links_;
};

}  // namespace

std::string DecodeCssEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '\\') {
            out += text[i++];
            continue;
        }
        if (i + 1 >= text.size()) {
            ++i;
            continue;
        }
        const char next = text[i + 1];
        if (isNewline(next)) {
            i = afterNewline(text, i + 1);
            continue;
        }
        if (!isHexDigit(next)) {
            out += next;
            i += 2;
            continue;
        }
        std::uint32_t codePoint = 0;
        std::size_t j = i + 1;
        const std::size_t end = std::min(text.size(), j + kMaxHexDigits);
        while (j < end && isHexDigit(text[j])) codePoint = codePoint * 16 + hexValue(text[j++]);
        if (codePoint == 0 || codePoint > kMaxCodePoint ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            codePoint = kReplacementCharacter;
        platform::AppendUtf8(out, codePoint);
        i = afterEscape(text, i);
    }
    return out;
}

std::vector<TCssLink> FindCssLinks(std::string_view css) { return CssScanner(css).run(); }

}  // namespace engine
