#include "engine/LinkConversion.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "engine/HtmlTagScanner.h"
#include "engine/LinkTarget.h"
#include "engine/LocalLayout.h"
#include "engine/PageRequisites.h"
#include "engine/PercentEscapes.h"
#include "engine/SavedFiles.h"

namespace engine {

namespace {

std::vector<std::string_view> segmentsOf(std::string_view path) {
    std::vector<std::string_view> segments;
    std::size_t at = 0;
    while (at < path.size()) {
        std::size_t end = path.find('/', at);
        if (end == std::string_view::npos) end = path.size();
        if (end > at) segments.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return segments;
}

// The fragment as written, with the bytes that could end the link escaped.
std::string safeFragment(std::string_view fragment) {
    if (fragment.empty()) return {};
    return "#" + EncodeAbsoluteURL(fragment.substr(1));
}

// A written link inside an HTML attribute: "&" is written as the character
// reference, which is always read back as "&".
std::string forAttribute(std::string_view link) {
    std::string out;
    out.reserve(link.size());
    for (const char c : link) {
        if (c == '&') {
            out += "&amp;";
        } else {
            out += c;
        }
    }
    return out;
}

class Converter {
public:
    Converter(std::string_view text, std::string_view url, std::string_view path,
              const TSavedFiles& saved)
        : text_(text), url_(url), path_(path), saved_(saved) {}

    TConvertedText run(std::vector<TLinkSite> sites) {
        std::stable_sort(sites.begin(), sites.end(), [](const TLinkSite& a, const TLinkSite& b) {
            return a.offset < b.offset;
        });
        const std::string base = baseOf(sites);
        TConvertedText result;
        result.text.reserve(text_.size());
        std::size_t copied = 0;
        for (const auto& site : sites) {
            if (site.offset < copied) continue;  // overlaps a link already written
            std::string written = site.role == TLinkRole::Base ? ownName() : rewrite(site, base);
            if (written.empty()) continue;
            if (site.inAttribute) written = forAttribute(written);
            const std::string_view original = text_.substr(site.offset, site.length);
            if (written == original) continue;
            result.text.append(text_.substr(copied, site.offset - copied));
            result.text += written;
            copied = site.offset + site.length;
            ++result.linksChanged;
        }
        result.text.append(text_.substr(copied));
        return result;
    }

private:
    // The first base tag's address, resolved against the page, as browsers
    // use it for every link of the page.
    std::string baseOf(const std::vector<TLinkSite>& sites) const {
        for (const auto& site : sites) {
            if (site.role != TLinkRole::Base) continue;
            if (auto target = ResolveLinkTarget(site.address, url_)) return target->absolute;
            break;
        }
        return std::string(url_);
    }

    std::string ownName() const {
        const auto slash = path_.rfind('/');
        return EncodeLinkPath(slash == std::string_view::npos ? path_ : path_.substr(slash + 1));
    }

    std::string rewrite(const TLinkSite& site, const std::string& base) const {
        const auto target = ResolveLinkTarget(site.address, base);
        if (!target) return {};
        if (const auto local = savedPathOf(target->absolute)) {
            return RelativeLinkPath(path_, *local) + safeFragment(target->fragment);
        }
        return EncodeAbsoluteURL(target->absolute + target->query) + safeFragment(target->fragment);
    }

    // The file a browser would load for the address. A last segment without a
    // dot names a folder, as the engine reads it when it fetches the link.
    std::optional<std::string> savedPathOf(const std::string& address) const {
        if (auto path = saved_.PathOf(address)) return path;
        const auto slash = address.rfind('/');
        if (slash != std::string::npos && slash + 1 < address.size() &&
            address.find('.', slash) == std::string::npos)
            return saved_.PathOf(address + "/");
        return std::nullopt;
    }

    std::string_view text_;
    std::string_view url_;
    std::string_view path_;
    const TSavedFiles& saved_;
};

}  // namespace

std::string RelativeLinkPath(std::string_view fromPath, std::string_view toPath) {
    const std::string from = NormalisePath(fromPath);
    const std::string to = NormalisePath(toPath);
    const auto fromSegments = segmentsOf(from);
    const auto toSegments = segmentsOf(to);
    // The folders of from: every segment but its file name.
    const std::size_t fromFolders = fromSegments.empty() ? 0 : fromSegments.size() - 1;
    std::size_t common = 0;
    while (common < fromFolders && common + 1 < toSegments.size() &&
           fromSegments[common] == toSegments[common])
        ++common;
    std::string relative;
    for (std::size_t i = common; i < fromFolders; ++i) relative += "../";
    for (std::size_t i = common; i < toSegments.size(); ++i) {
        if (i > common) relative += '/';
        relative += toSegments[i];
    }
    return EncodeLinkPath(relative);
}

TConvertedText ConvertPageLinks(std::string_view page, std::string_view pageURL,
                                std::string_view pagePath, const TSavedFiles& saved) {
    return Converter(page, pageURL, pagePath, saved).run(FindPageLinks(page));
}

TConvertedText ConvertStylesheetLinks(std::string_view css, std::string_view cssURL,
                                      std::string_view cssPath, const TSavedFiles& saved) {
    return Converter(css, cssURL, cssPath, saved).run(FindStylesheetLinks(css));
}

}  // namespace engine
