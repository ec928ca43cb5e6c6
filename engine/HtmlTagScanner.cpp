#include "engine/HtmlTagScanner.h"

#include <array>
#include <cstdint>

#include "platform/ByteText.h"

namespace engine {

namespace {

constexpr std::uint32_t kMaxCodePoint = 0x10FFFF;
constexpr std::uint32_t kReplacementCharacter = 0xFFFD;
// Elements whose content is text to the tokenizer, never tags.
constexpr std::array<std::string_view, 5> kRawTextElements = {"script", "style", "textarea",
                                                              "title", "xmp"};

struct NamedReference {
    std::string_view name;  // with its ";"
    char byte;
};
constexpr std::array<NamedReference, 5> kNamedReferences = {{
    {"amp;", '&'},
    {"lt;", '<'},
    {"gt;", '>'},
    {"quot;", '"'},
    {"apos;", '\''},
}};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// A reference at raw[at] (the "&"): its length and decoded text, or length 0.
std::size_t readReference(std::string_view raw, std::size_t at, std::string& decoded) {
    const std::string_view rest = raw.substr(at + 1);
    for (const auto& reference : kNamedReferences) {
        if (rest.substr(0, reference.name.size()) == reference.name) {
            decoded.assign(1, reference.byte);
            return 1 + reference.name.size();
        }
    }
    if (rest.empty() || rest[0] != '#') return 0;
    std::size_t i = 1;
    const bool hex = i < rest.size() && (rest[i] == 'x' || rest[i] == 'X');
    if (hex) ++i;
    const std::size_t digitsStart = i;
    std::uint32_t codePoint = 0;
    while (i < rest.size()) {
        const char c = rest[i];
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) break;
        if (codePoint <= kMaxCodePoint) codePoint = codePoint * (hex ? 16 : 10) + digit;
        ++i;
    }
    if (i == digitsStart || i >= rest.size() || rest[i] != ';') return 0;
    if (codePoint == 0 || codePoint > kMaxCodePoint || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        codePoint = kReplacementCharacter;
    decoded.clear();
    platform::AppendUtf8(decoded, codePoint);
    return 1 + i + 1;
}

class TagScanner {
public:
    explicit TagScanner(std::string_view page) : page_(page) {}

    THtmlScan run() {
        while (at_ < page_.size()) {
            const std::size_t open = page_.find('<', at_);
            if (open == std::string_view::npos) break;
            at_ = open;
            markup();
        }
        return std::move(scan_);
    }

private:
    bool startsWith(std::string_view what) const { return page_.substr(at_, what.size()) == what; }

    void skipPast(std::string_view what) {
        const std::size_t end = page_.find(what, at_);
        at_ = end == std::string_view::npos ? page_.size() : end + what.size();
    }

    void markup() {
        if (startsWith("<!--")) {
            at_ += 4;
            skipPast("-->");
        } else if (startsWith("<!") || startsWith("<?")) {
            skipPast(">");
        } else if (startsWith("</") && at_ + 2 < page_.size() && isAsciiLetter(page_[at_ + 2])) {
            skipPast(">");
        } else if (at_ + 1 < page_.size() && isAsciiLetter(page_[at_ + 1])) {
            startTag();
        } else {
            ++at_;
        }
    }

    void startTag() {
        THtmlTag tag;
        tag.offset = at_;
        std::size_t i = at_ + 1;
        while (i < page_.size() && !isBlank(page_[i]) && page_[i] != '/' && page_[i] != '>') {
            tag.name += lower(page_[i]);
            ++i;
        }
        while (true) {
            while (i < page_.size() && (isBlank(page_[i]) || page_[i] == '/')) ++i;
            if (i >= page_.size()) {
                at_ = page_.size();  // cut by the end of the page: no tag
                return;
            }
            if (page_[i] == '>') break;
            if (!attribute(tag, i)) {
                at_ = page_.size();
                return;
            }
        }
        at_ = i + 1;
        const std::string name = tag.name;
        scan_.tags.push_back(std::move(tag));
        for (auto rawText : kRawTextElements) {
            if (name == rawText) {
                rawTextContent(name);
                break;
            }
        }
    }

    // One attribute from i; false when the page ends inside it.
    bool attribute(THtmlTag& tag, std::size_t& i) {
        THtmlAttribute attribute;
        // The first byte belongs to the name even when it is "=".
        attribute.name += lower(page_[i++]);
        while (i < page_.size() && !isBlank(page_[i]) && page_[i] != '/' && page_[i] != '>' &&
               page_[i] != '=') {
            attribute.name += lower(page_[i++]);
        }
        std::size_t j = i;
        while (j < page_.size() && isBlank(page_[j])) ++j;
        if (j >= page_.size()) return false;
        if (page_[j] != '=') {
            tag.attributes.push_back(std::move(attribute));
            i = j;
            return true;
        }
        ++j;
        while (j < page_.size() && isBlank(page_[j])) ++j;
        if (j >= page_.size()) return false;
        attribute.hasValue = true;
        const char c = page_[j];
        if (c == '"' || c == '\'') {
            const std::size_t close = page_.find(c, j + 1);
            if (close == std::string_view::npos) return false;
            attribute.quote = c;
            attribute.valueOffset = j + 1;
            attribute.valueLength = close - j - 1;
            i = close + 1;
        } else if (c == '>') {
            attribute.valueOffset = j;
            i = j;
        } else {
            std::size_t end = j;
            while (end < page_.size() && !isBlank(page_[end]) && page_[end] != '>') ++end;
            attribute.valueOffset = j;
            attribute.valueLength = end - j;
            i = end;
        }
        tag.attributes.push_back(std::move(attribute));
        return true;
    }

    // Skips the element's text up to its end tag.
    void rawTextContent(const std::string& name) {
        const std::size_t start = at_;
        std::size_t search = at_;
        std::size_t end = page_.size();
        while (true) {
            const std::size_t candidate = page_.find("</", search);
            if (candidate == std::string_view::npos) break;
            const std::size_t after = candidate + 2 + name.size();
            bool matches = after <= page_.size();
            for (std::size_t k = 0; matches && k < name.size(); ++k) {
                matches = lower(page_[candidate + 2 + k]) == name[k];
            }
            if (matches && (after == page_.size() || isBlank(page_[after]) || page_[after] == '/' ||
                            page_[after] == '>')) {
                end = candidate;
                break;
            }
            search = candidate + 2;
        }
        if (name == "style") scan_.styleBlocks.push_back({start, end - start});
        at_ = end;
    }

    std::string_view page_;
    std::size_t at_ = 0;
    THtmlScan scan_;
};

}  // namespace

TDecodedText DecodeHtmlReferences(std::string_view raw) {
    TDecodedText out;
    out.text.reserve(raw.size());
    out.rawOffsets.reserve(raw.size() + 1);
    std::string decoded;
    std::size_t i = 0;
    while (i < raw.size()) {
        if (raw[i] == '&') {
            if (const std::size_t length = readReference(raw, i, decoded); length > 0) {
                for (const char c : decoded) {
                    out.text += c;
                    out.rawOffsets.push_back(i);
                }
                i += length;
                continue;
            }
        }
        out.text += raw[i];
        out.rawOffsets.push_back(i);
        ++i;
    }
    out.rawOffsets.push_back(raw.size());
    return out;
}

const THtmlAttribute* THtmlTag::find(std::string_view lowerName) const {
    for (const auto& attribute : attributes) {
        if (attribute.name == lowerName) return &attribute;
    }
    return nullptr;
}

THtmlScan ScanHtmlTags(std::string_view page) { return TagScanner(page).run(); }

}  // namespace engine
