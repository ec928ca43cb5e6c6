// libFuzzer target for the engine's text rules: tag scan, attribute values,
// link normalisation and resolution, URL splitting and pattern matching.
// Built only with Clang (see tests/fuzz/CMakeLists.txt); run it as
//   fuzz_engine_text -max_total_time=60 <corpus copy>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/AllowedFiles.h"
#include "engine/LinkExtraction.h"
#include "engine/ParseURLFns.h"
#include "engine/UrlList.h"

using namespace engine;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    // The first NUL splits the input into two texts (page/link and base/pattern).
    const auto cut = input.find('\0');
    const std::string first = input.substr(0, cut);
    const std::string second = cut == std::string::npos
                                   ? std::string("http://host.test/docs/a.html")
                                   : input.substr(cut + 1);

    TUrlList tags;
    int lastPercent = 0;
    GetSrcURLs(first, tags, [&](int percent) {
        check(percent >= 0 && percent <= 100);
        lastPercent = percent;
    });
    check(lastPercent == 0);
    for (const auto& tag : tags) {
        check(!tag.empty() && tag.front() == '<' && tag.back() == '>');
        for (auto name : {" HREF", " SRC", " CODE", " CODEBASE"}) {
            const std::string value = GetAttrValue(tag, name);
            check(value.empty() || tag.find(value) != std::string::npos);
        }
        const TTagUrl url = GetUrlFromTag(tag);
        const std::string link = normaliseLink(url.address, second);
        const std::string absolute = ResolveURL(link, second);
        (void)absolute;
    }

    const TUrlParts parts = SplitURL(first);
    if (!parts.directory.empty())
        check(parts.directory.front() == '/' && parts.directory.back() == '/');
    (void)StandardiseURL(first);
    (void)BreakFileName(first);
    (void)ResolveURL(first, second);
    (void)MatchPattern(LowerCase(second), LowerCase(first));
    (void)WildComp(LowerCase(second), LowerCase(first));

    TAllowedFilesList table;
    AddRulesFromList(table, second, kKindOther);
    (void)MatchRules(table, first, static_cast<std::int64_t>(size), true);
    return 0;
}
