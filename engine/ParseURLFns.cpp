#include "engine/ParseURLFns.h"

#include <algorithm>

namespace engine {

namespace {

constexpr std::string_view kSchemeSeparator = "://";
constexpr std::string_view kMailto = "mailto:";
constexpr std::string_view kParentStep = "../";
// Extensions longer than this are cut before matching, as the rule tests have
// always done; names are matched whole.
constexpr std::size_t kMaxExtensionLength = 255;

bool contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

std::string slashesForward(std::string_view text) {
    std::string copy(text);
    std::replace(copy.begin(), copy.end(), '\\', '/');
    return copy;
}

void replaceFirst(std::string& text, std::string_view what, std::string_view with) {
    auto at = text.find(what);
    if (at != std::string::npos) text.replace(at, what.size(), with);
}

constexpr std::string_view kSecureScheme = "https://";
// Index of the "s" that "https://" has and "http://" lacks.
constexpr std::size_t kSecureLetter = 4;

bool startsCaseBlind(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsCaseBlind(text.substr(0, prefix.size()), prefix);
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The text as SchemeBlindURL reads it, without a copy: one letter may be skipped.
class SchemeBlindView {
public:
    explicit SchemeBlindView(std::string_view text)
        : text_(text),
          skip_(startsCaseBlind(text, kSecureScheme) ? kSecureLetter : std::string_view::npos) {}
    std::size_t size() const {
        return skip_ == std::string_view::npos ? text_.size() : text_.size() - 1;
    }
    char operator[](std::size_t i) const { return text_[i < skip_ ? i : i + 1]; }

private:
    std::string_view text_;
    std::size_t skip_;
};

char folded(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string SchemeBlindURL(std::string_view url) {
    std::string text(url);
    if (startsCaseBlind(text, kSecureScheme)) text.erase(kSecureLetter, 1);
    return text;
}

bool SameURL(std::string_view a, std::string_view b) {
    const SchemeBlindView left(a);
    const SchemeBlindView right(b);
    if (left.size() != right.size()) return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (folded(left[i]) != folded(right[i])) return false;
    }
    return true;
}

bool HostBracketsValid(std::string_view host) {
    const bool opens = host.find('[') != std::string_view::npos;
    const bool closes = host.find(']') != std::string_view::npos;
    if (!opens && !closes) return true;
    if (host.front() != '[') return false;
    const auto close = host.find(']');
    if (close == std::string_view::npos || close < 3) return false;  // "[::]" at the least
    const std::string_view literal = host.substr(1, close - 1);
    if (literal.find(':') == std::string_view::npos) return false;
    for (const char c : literal) {
        if (!isHexDigit(c) && c != ':' && c != '.') return false;
    }
    const std::string_view after = host.substr(close + 1);
    if (after.empty()) return true;
    if (after.front() != ':' || after.size() == 1) return false;
    for (const char c : after.substr(1)) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool IsAbsoluteURL(std::string_view text) {
    std::string copy = slashesForward(text);
    return contains(copy, kSchemeSeparator) || ContainsCaseBlind(copy, kMailto);
}

TUrlParts SplitURL(std::string_view url) {
    TUrlParts parts;
    if (!IsAbsoluteURL(url)) return parts;

    auto separator = url.find(kSchemeSeparator);
    if (separator != std::string_view::npos) {
        parts.protocol = std::string(url.substr(0, separator + kSchemeSeparator.size()));
        parts.rest = std::string(url.substr(separator + kSchemeSeparator.size()));
    }
    if (ContainsCaseBlind(url, kMailto)) {
        parts.protocol = std::string(kMailto);
        return parts;
    }
    if (parts.rest.size() <= 1) return parts;

    std::string rest = parts.rest;
    if (rest.back() == '/') rest.pop_back();
    auto slash = rest.find('/');
    if (slash == std::string::npos) {
        parts.host = rest;
        parts.directory = "/";
        return parts;
    }
    parts.host = rest.substr(0, slash);
    std::string path = rest.substr(slash + 1);
    if (contains(path, ".")) {
        auto last = path.rfind('/');
        if (last == std::string::npos) {
            parts.fileName = path;
            parts.directory = "/";
        } else {
            parts.fileName = path.substr(last + 1);
            parts.directory = "/" + path.substr(0, last + 1);
        }
    } else {
        if (path.empty() || path.back() != '/') path += '/';
        parts.directory = "/" + path;
    }
    return parts;
}

std::string StandardiseURL(std::string_view url) {
    std::string text = slashesForward(url);
    if (text.rfind("./", 0) == 0) text.erase(0, 2);
    replaceFirst(text, "/./", "/");
    TUrlParts parts = SplitURL(text);
    if (parts.protocol.empty()) return text;
    return parts.protocol + parts.host + parts.directory + parts.fileName;
}

TFileNameParts BreakFileName(std::string_view url) {
    TFileNameParts parts;
    auto dot = url.rfind('.');
    if (dot == std::string_view::npos) {
        parts.extension = std::string(url);
        return parts;
    }
    auto slash = url.rfind('/');
    std::size_t nameStart = (slash == std::string_view::npos) ? 0 : slash + 1;
    if (dot > nameStart) parts.name = std::string(url.substr(nameStart, dot - nameStart));
    parts.extension = std::string(url.substr(dot + 1));
    return parts;
}

bool FileType(std::string_view url, std::string_view textTypes) {
    std::string extension = BreakFileName(url).extension;
    return extension.empty() || contains(textTypes, extension);
}

bool MatchPattern(std::string_view pattern, std::string_view text) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < pattern.size()) {
        char p = pattern[i];
        if (p == '*') {
            if (i + 1 == pattern.size()) return true;
            // The segment up to the next "*" is looked for from the start of
            // the text, not from the current position.
            auto segmentEnd = pattern.find('*', i + 1);
            std::string_view segment =
                pattern.substr(i + 1, segmentEnd == std::string_view::npos ? std::string_view::npos
                                                                           : segmentEnd - (i + 1));
            auto found = text.find(segment);
            if (found == std::string_view::npos) return false;
            j = found;
            i = i + 1;
            continue;
        }
        if (p != '?') {
            if (j >= text.size() || p != text[j]) return false;
        }
        ++i;
        ++j;
    }
    return j >= text.size();
}

bool WildComp(std::string_view pattern, std::string_view fileName) {
    std::string_view namePattern = pattern;
    std::string_view extensionPattern = "*";
    if (auto dot = pattern.rfind('.'); dot != std::string_view::npos) {
        namePattern = pattern.substr(0, dot);
        extensionPattern = pattern.substr(dot + 1, kMaxExtensionLength);
    }
    std::string_view name = fileName;
    std::string_view extension;
    if (auto dot = fileName.rfind('.'); dot != std::string_view::npos) {
        name = fileName.substr(0, dot);
        extension = fileName.substr(dot + 1, kMaxExtensionLength);
    }
    return MatchPattern(namePattern, name) && MatchPattern(extensionPattern, extension);
}

std::size_t LastPos(std::string_view what, std::string_view text) {
    auto at = text.rfind(what);
    return at == std::string_view::npos ? 0 : at + 1;
}

std::size_t SkipSpaces(std::string_view text, std::size_t start) {
    if (start == 0) start = 1;
    for (std::size_t pos = start; pos <= text.size(); ++pos) {
        if (text[pos - 1] != ' ') return pos;
    }
    return start;
}

std::string GetAttrValue(std::string_view tag, std::string_view name) {
    if (name.empty() || tag.empty()) return {};
    const std::string lowerTag = LowerCase(tag);
    const std::string lowerName = LowerCase(name);
    const std::size_t length = tag.size();
    // An occurrence that is not an assignment is passed over and the search goes
    // on after it; no later match can begin inside it.
    std::size_t from = 0;
    while (true) {
        auto at = lowerTag.find(lowerName, from);
        if (at == std::string::npos) return {};
        std::size_t q = at + lowerName.size();  // 0-based, just after the name
        if (q >= length - 1) return {};
        std::size_t r = SkipSpaces(lowerTag, q + 1) - 1;
        if (lowerTag[r] != '=') {
            from = q;
            continue;
        }
        std::size_t v = r + 1;
        if (length < 2 || v >= length - 2) return {};
        v = SkipSpaces(lowerTag, v + 1) - 1;
        if (tag[v] == '"' || tag[v] == '\'') {
            ++v;
            if (v >= length) return {};
            v = SkipSpaces(lowerTag, v + 1) - 1;
        }
        std::size_t end = v;
        while (end < length) {
            char c = tag[end];
            if (c == '"' || c == '\'' || c == ' ' || c == '>') break;
            ++end;
        }
        return std::string(tag.substr(v, end - v));
    }
}

std::string AdFile(std::string_view directory, std::string_view name) {
    std::string joined(directory);
    if (joined.empty() || joined.back() != '/') joined += '/';
    joined += name;
    return joined;
}

std::string ResolveURL(std::string_view link, std::string_view base) {
    TUrlParts parts = SplitURL(base);
    const std::string siteRoot = parts.protocol + parts.host;

    if (!link.empty() && (link.front() == '/' || link.front() == '~')) {
        if (auto last = LastPos(kParentStep, link); last != 0) {
            // From the "/" of the last "../" on: climbs above the root are absorbed.
            return siteRoot + std::string(link.substr(last + 1));
        }
        if (link.front() == '~') return siteRoot + "/" + std::string(link);
        return siteRoot + std::string(link);
    }
    if (!IsAbsoluteURL(base)) return {};
    if (IsAbsoluteURL(link)) return std::string(link);

    std::string_view rest = link;
    std::string directory = parts.directory;
    if (!directory.empty() && directory.back() == '/') directory.pop_back();
    while (true) {
        auto step = rest.find(kParentStep);
        if (step == std::string_view::npos) break;
        if (directory.find('/') == std::string::npos) return {};  // above the site root
        rest = rest.substr(step + kParentStep.size());
        if (!directory.empty() && directory.back() == '/') directory.pop_back();
        directory.erase(directory.rfind('/') + 1);
    }
    if (!directory.empty() && directory.back() == '/') directory.pop_back();
    return siteRoot + directory + "/" + std::string(rest);
}

}  // namespace engine
