#include "engine/PageRequisites.h"

#include <array>

#include "engine/CssLinks.h"
#include "engine/HtmlTagScanner.h"
#include "engine/ParseURLFns.h"
#include "engine/Srcset.h"

namespace engine {

namespace {

// How an attribute's value holds its links.
enum class ValueForm { OneURL, Srcset, Refresh };

struct AttributeRule {
    std::string_view tag;
    std::string_view attribute;
    TLinkRole role;
    ValueForm form;
};

// Tags whose role does not depend on other attributes. input, link and meta
// are decided by their type, rel and http-equiv (attributeRule below).
constexpr std::array<AttributeRule, 23> kAttributeRules = {{
    {"a", "href", TLinkRole::Navigation, ValueForm::OneURL},
    {"area", "href", TLinkRole::Navigation, ValueForm::OneURL},
    {"base", "href", TLinkRole::Base, ValueForm::OneURL},
    {"img", "src", TLinkRole::Requisite, ValueForm::OneURL},
    {"img", "srcset", TLinkRole::Requisite, ValueForm::Srcset},
    {"source", "src", TLinkRole::Requisite, ValueForm::OneURL},
    {"source", "srcset", TLinkRole::Requisite, ValueForm::Srcset},
    {"video", "poster", TLinkRole::Requisite, ValueForm::OneURL},
    {"video", "src", TLinkRole::Requisite, ValueForm::OneURL},
    {"audio", "src", TLinkRole::Requisite, ValueForm::OneURL},
    {"track", "src", TLinkRole::Requisite, ValueForm::OneURL},
    {"embed", "src", TLinkRole::Requisite, ValueForm::OneURL},
    {"object", "data", TLinkRole::Requisite, ValueForm::OneURL},
    {"script", "src", TLinkRole::Requisite, ValueForm::OneURL},
    {"frame", "src", TLinkRole::Requisite, ValueForm::OneURL},
    {"iframe", "src", TLinkRole::Requisite, ValueForm::OneURL},
    {"layer", "src", TLinkRole::Requisite, ValueForm::OneURL},
    {"ilayer", "src", TLinkRole::Requisite, ValueForm::OneURL},
    {"body", "background", TLinkRole::Requisite, ValueForm::OneURL},
    {"table", "background", TLinkRole::Requisite, ValueForm::OneURL},
    {"td", "background", TLinkRole::Requisite, ValueForm::OneURL},
    {"th", "background", TLinkRole::Requisite, ValueForm::OneURL},
    {"input", "src", TLinkRole::Navigation, ValueForm::OneURL},
}};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// True when the space-separated list holds a token that contains word.
bool hasTokenContaining(std::string_view list, std::string_view word) {
    std::size_t at = 0;
    while (at < list.size()) {
        while (at < list.size() && isBlank(list[at])) ++at;
        std::size_t end = at;
        while (end < list.size() && !isBlank(list[end])) ++end;
        if (list.substr(at, end - at).find(word) != std::string_view::npos) return true;
        at = end;
    }
    return false;
}

class PageLinkFinder {
public:
    explicit PageLinkFinder(std::string_view page) : page_(page) {}

    std::vector<TLinkSite> run() {
        const THtmlScan scan = ScanHtmlTags(page_);
        std::size_t nextStyle = 0;
        for (const auto& tag : scan.tags) {
            // Style blocks keep their place in document order.
            while (nextStyle < scan.styleBlocks.size() &&
                   scan.styleBlocks[nextStyle].offset < tag.offset) {
                styleBlock(scan.styleBlocks[nextStyle++]);
            }
            this->tag(tag);
        }
        while (nextStyle < scan.styleBlocks.size()) styleBlock(scan.styleBlocks[nextStyle++]);
        return std::move(sites_);
    }

private:
    std::string valueOf(const THtmlTag& tag, std::string_view name) const {
        const THtmlAttribute* attribute = tag.find(name);
        if (attribute == nullptr) return {};
        return LowerCase(DecodeHtmlReferences(rawValue(*attribute)).text);
    }

    std::string_view rawValue(const THtmlAttribute& attribute) const {
        return page_.substr(attribute.valueOffset, attribute.valueLength);
    }

    void tag(const THtmlTag& tag) {
        for (const auto& rule : kAttributeRules) {
            if (rule.tag != tag.name) continue;
            TLinkRole role = rule.role;
            if (tag.name == "input" && valueOf(tag, "type") == "image") role = TLinkRole::Requisite;
            addAttribute(tag, rule.attribute, role, rule.form);
        }
        if (tag.name == "link") {
            const std::string rel = valueOf(tag, "rel");
            TLinkRole role = TLinkRole::Navigation;
            if (hasTokenContaining(rel, "stylesheet")) {
                role = TLinkRole::Stylesheet;
            } else if (hasTokenContaining(rel, "icon") || hasTokenContaining(rel, "preload") ||
                       hasTokenContaining(rel, "manifest")) {
                // Icons, files a page asks to have early (fonts, scripts,
                // images) and its web app manifest.
                role = TLinkRole::Requisite;
            }
            addAttribute(tag, "href", role, ValueForm::OneURL);
        }
        if (tag.name == "meta" && valueOf(tag, "http-equiv") == "refresh") {
            addAttribute(tag, "content", TLinkRole::Requisite, ValueForm::Refresh);
        }
        if (const THtmlAttribute* style = tag.find("style"); style != nullptr && style->hasValue) {
            addCss(*style);
        }
    }

    void addAttribute(const THtmlTag& tag, std::string_view name, TLinkRole role, ValueForm form) {
        const THtmlAttribute* attribute = tag.find(name);
        if (attribute == nullptr || !attribute->hasValue) return;
        const TDecodedText value = DecodeHtmlReferences(rawValue(*attribute));
        switch (form) {
            case ValueForm::OneURL:
                add(*attribute, value, 0, value.text.size(), role);
                break;
            case ValueForm::Srcset:
                for (const auto& candidate : ParseSrcset(value.text)) {
                    add(*attribute, value, candidate.offset, candidate.length, role);
                }
                break;
            case ValueForm::Refresh:
                if (auto [offset, length] = refreshTarget(value.text); length > 0) {
                    add(*attribute, value, offset, length, role);
                }
                break;
        }
    }

    void addCss(const THtmlAttribute& attribute) {
        const TDecodedText value = DecodeHtmlReferences(rawValue(attribute));
        for (const auto& link : FindCssLinks(value.text)) {
            TLinkSite site = siteIn(attribute, value, link.offset, link.length);
            site.address = link.url;
            site.role = link.isImport ? TLinkRole::Stylesheet : TLinkRole::Requisite;
            sites_.push_back(std::move(site));
        }
    }

    void styleBlock(const TStyleBlock& block) {
        for (const auto& link : FindCssLinks(page_.substr(block.offset, block.length))) {
            TLinkSite site;
            site.offset = block.offset + link.offset;
            site.length = link.length;
            site.address = link.url;
            site.role = link.isImport ? TLinkRole::Stylesheet : TLinkRole::Requisite;
            sites_.push_back(std::move(site));
        }
    }

    TLinkSite siteIn(const THtmlAttribute& attribute, const TDecodedText& value, std::size_t offset,
                     std::size_t length) const {
        TLinkSite site;
        site.offset = attribute.valueOffset + value.rawOffsets[offset];
        site.length = value.rawOffsets[offset + length] - value.rawOffsets[offset];
        site.inAttribute = true;
        return site;
    }

    void add(const THtmlAttribute& attribute, const TDecodedText& value, std::size_t offset,
             std::size_t length, TLinkRole role) {
        // Browsers strip the blanks around a URL; they are not part of the link.
        while (length > 0 && isBlank(value.text[offset])) {
            ++offset;
            --length;
        }
        while (length > 0 && isBlank(value.text[offset + length - 1])) --length;
        if (length == 0) return;
        TLinkSite site = siteIn(attribute, value, offset, length);
        site.address = value.text.substr(offset, length);
        site.role = role;
        sites_.push_back(std::move(site));
    }

    // The URL of a refresh: "5; url=next.html", "0;URL='next.html'", "3, next.html".
    static std::pair<std::size_t, std::size_t> refreshTarget(std::string_view content) {
        std::size_t i = 0;
        while (i < content.size() && isBlank(content[i])) ++i;
        while (i < content.size() &&
               ((content[i] >= '0' && content[i] <= '9') || content[i] == '.'))
            ++i;
        while (i < content.size() && isBlank(content[i])) ++i;
        if (i < content.size() && (content[i] == ';' || content[i] == ',')) ++i;
        while (i < content.size() && isBlank(content[i])) ++i;
        if (i >= content.size()) return {0, 0};
        const std::size_t urlStart = i;
        if (i + 3 <= content.size() && EqualsCaseBlind(content.substr(i, 3), "url")) {
            std::size_t j = i + 3;
            while (j < content.size() && isBlank(content[j])) ++j;
            if (j < content.size() && content[j] == '=') {
                ++j;
                while (j < content.size() && isBlank(content[j])) ++j;
                i = j;
            } else {
                i = urlStart;
            }
        }
        if (i < content.size() && (content[i] == '"' || content[i] == '\'')) {
            const char quote = content[i++];
            const std::size_t close = content.find(quote, i);
            const std::size_t end = close == std::string_view::npos ? content.size() : close;
            return {i, end - i};
        }
        std::size_t end = content.size();
        while (end > i && isBlank(content[end - 1])) --end;
        return {i, end - i};
    }

    std::string_view page_;
    std::vector<TLinkSite> sites_;
};

}  // namespace

std::vector<TLinkSite> FindPageLinks(std::string_view page) { return PageLinkFinder(page).run(); }

std::vector<TLinkSite> FindStylesheetLinks(std::string_view css) {
    std::vector<TLinkSite> sites;
    for (const auto& link : FindCssLinks(css)) {
        TLinkSite site;
        site.offset = link.offset;
        site.length = link.length;
        site.address = link.url;
        site.role = link.isImport ? TLinkRole::Stylesheet : TLinkRole::Requisite;
        sites.push_back(std::move(site));
    }
    return sites;
}

}  // namespace engine
