#include "engine/LinkExtraction.h"

#include <array>

#include "engine/ParseURLFns.h"
#include "engine/UrlList.h"

namespace engine {

namespace {

// Tag openings that may carry a link, compared with the lower-cased tag start.
// The trailing blank is part of the opening where it is shown.
constexpr std::array<std::string_view, 18> kLinkTagOpenings = {
    "<a ",     "<img ",    "<body ",   "<applet",  "<area",   "<base",
    "<embed ", "<frame ",  "<iframe ", "<ilayer ", "<input ", "<layer ",
    "<link ",  "<object ", "<script ", "<table ",  "<td ",    "<th ",
};
constexpr std::size_t kLongestOpening = 9;

bool opensLinkTag(std::string_view tag) {
    const std::string head = LowerCase(tag.substr(0, kLongestOpening));
    for (auto opening : kLinkTagOpenings) {
        if (head.compare(0, opening.size(), opening) == 0) return true;
    }
    return false;
}

// The first occurrence of what at or after from, remembered between calls: the
// scan only moves forward, so a remembered position that has not been passed
// is still the first one.
class ForwardFinder {
public:
    ForwardFinder(std::string_view text, std::string_view what) : text_(text), what_(what) {}
    std::size_t next(std::size_t from) {
        if (!searched_ || (found_ != std::string_view::npos && found_ < from)) {
            found_ = text_.find(what_, from);
            searched_ = true;
        }
        return found_;
    }

private:
    std::string_view text_;
    std::string_view what_;
    std::size_t found_ = std::string_view::npos;
    bool searched_ = false;
};

std::string valueJoinedWithCodebase(std::string_view tag, std::string_view value) {
    std::string codebase = GetAttrValue(tag, " CODEBASE");
    if (!codebase.empty()) return AdFile(codebase, value);
    return std::string(value);
}

}  // namespace

int percentOf(long long numerator, long long denominator) {
    if (denominator <= 0) return 0;
    const long long scaled = numerator * 100;
    long long quotient = scaled / denominator;
    const long long twice = (scaled % denominator) * 2;
    if (twice > denominator || (twice == denominator && quotient % 2 != 0)) ++quotient;
    return static_cast<int>(quotient);
}

void GetSrcURLs(std::string_view page, TUrlList& tags, const std::function<void(int)>& progress) {
    const auto report = [&](int percent) {
        if (progress) progress(percent);
    };
    report(0);
    int shown = 0;
    ForwardFinder openAngle(page, "<");
    ForwardFinder closeAngle(page, ">");
    ForwardFinder closingTag(page, "</");
    // The page is consumed from the front up to each ">"; offset stands for the
    // characters already consumed instead of deleting them.
    std::size_t offset = 0;
    while (true) {
        const std::size_t p = openAngle.next(offset);
        if (p == std::string_view::npos) break;
        const std::size_t g = closeAngle.next(offset);
        const std::size_t c = closingTag.next(offset);
        const bool last = g == std::string_view::npos;
        const std::size_t consumed = last ? offset : g + 1;

        const int percent =
            percentOf(static_cast<long long>(consumed), static_cast<long long>(page.size()));
        if (percent != shown) {
            shown = percent;
            report(percent);
        }
        if (!last && c != p && p < g) {
            std::string tag(page.substr(p, g - p + 1));
            if (auto crlf = tag.find("\r\n"); crlf != std::string::npos) tag.erase(crlf, 2);
            if (opensLinkTag(tag)) tags.push_back(std::move(tag));
        }
        if (last) break;
        offset = consumed;
    }
    if (shown != 0) report(0);
}

TTagUrl GetUrlFromTag(std::string_view tag) {
    TTagUrl result;
    result.isBase = ContainsCaseBlind(tag, "<base");
    for (auto name : {" HREF", " SRC", " BACKGROUND"}) {
        result.address = GetAttrValue(tag, name);
        if (!result.address.empty()) return result;
    }
    // " CODE" is also the start of " CODEBASE"; that occurrence is no
    // assignment and is passed over.
    if (std::string code = GetAttrValue(tag, " CODE"); !code.empty()) {
        result.address = valueJoinedWithCodebase(tag, code);
    } else if (std::string classId = GetAttrValue(tag, " CLASSID"); !classId.empty()) {
        result.address = valueJoinedWithCodebase(tag, classId);
    }
    return result;
}

std::string normaliseLink(std::string address, std::string_view base) {
    std::string& a = address;
    const auto baseDirectory = [&]() { return std::string(base.substr(0, base.rfind('/') + 1)); };

    if (a.size() >= 2 && a.find("..") == a.size() - 2) {
        // ".." alone names the parent of the page's directory.
        std::string parent = baseDirectory();
        if (!parent.empty() && parent.back() == '/') parent.pop_back();
        const auto slash = parent.rfind('/');
        const auto schemeSlashes = base.find("//");
        const bool insideScheme = schemeSlashes != std::string_view::npos &&
                                  slash != std::string::npos && slash <= schemeSlashes + 1;
        a = (slash == std::string::npos || insideScheme) ? std::string()
                                                         : parent.substr(0, slash + 1);
    } else if (!a.empty() && a.back() == '.') {
        a = baseDirectory();
    }
    if (a.empty()) return a;

    if (auto query = a.rfind('?'); query != std::string::npos) a.erase(query);
    if (a.empty()) return a;

    const auto hash = a.rfind('#');
    const auto lastSlash = a.rfind('/');
    if (hash != std::string::npos && (lastSlash == std::string::npos || hash > lastSlash))
        a.erase(hash);
    if (a.empty()) return a;

    if (a.rfind("./", 0) == 0) a.erase(0, 2);
    if (a.empty()) return a;

    const auto slash = a.rfind('/');
    const auto dot = a.rfind('.');
    if (slash != std::string::npos && a.back() != '/' && (dot == std::string::npos || dot < slash))
        a += '/';

    if (auto here = a.find("/./"); here != std::string::npos) a.erase(here + 1, 2);
    return StandardiseURL(a);
}

}  // namespace engine
