#include "engine/AllowedFiles.h"

#include "engine/ParseURLFns.h"

namespace engine {

namespace {

constexpr std::int64_t kBytesPerKB = 1024;

TAllowedFiles splitPattern(std::string_view pattern, std::size_t dot) {
    TAllowedFiles rule;
    if (dot == std::string_view::npos) {
        rule.sExtension = std::string(pattern);
    } else {
        rule.sName = std::string(pattern.substr(0, dot));
        rule.sExtension = std::string(pattern.substr(dot));
    }
    return rule;
}

}  // namespace

void AddRulesFromList(TAllowedFilesList& table, std::string_view list, std::uint8_t kind) {
    std::size_t from = 0;
    while (from < list.size()) {
        auto comma = list.find(',', from);
        if (comma == std::string_view::npos) break;
        std::string_view item = list.substr(from, comma - from);
        TAllowedFiles rule = splitPattern(item, item.find('.'));
        rule.iFileKind = kind;
        table.push_back(std::move(rule));
        from = comma + 1;
    }
}

TAllowedFilesList RulesFromChoices(const TDownloadChoices& choices, std::string_view textTypes,
                                   std::string_view graphicTypes) {
    TAllowedFilesList table;
    if (choices.everything) {
        AddRulesFromList(table, kEverythingPattern, kKindEverything);
        return table;
    }
    if (choices.text) AddRulesFromList(table, textTypes, kKindText);
    if (choices.graphics) AddRulesFromList(table, graphicTypes, kKindGraphic);
    return table;
}

TAllowedFiles RuleFromEditor(std::string_view pattern, EditorFileKind kind, SizeLimits limits,
                             std::optional<std::int64_t> upperKB,
                             std::optional<std::int64_t> lowerKB) {
    TAllowedFiles rule = splitPattern(pattern, pattern.rfind('.'));
    rule.iFileKind = kind == EditorFileKind::Text ? kKindText : kKindOther;
    if (limits == SizeLimits::On && upperKB && lowerKB && *lowerKB < *upperKB) {
        rule.iSizeGreater = *upperKB;
        rule.iSizeLesser = *lowerKB;
    }
    return rule;
}

int MatchRules(const TAllowedFilesList& table, std::string_view fileName,
               std::int64_t contentLength, bool allowUnknownSize) {
    const std::string name = LowerCase(fileName);
    for (const auto& rule : table) {
        if (!WildComp(LowerCase(rule.pattern()), name)) continue;
        // Bounds and lengths are 64-bit: a 32-bit product would wrap for rules
        // above 2 GiB.
        const std::int64_t upper = rule.iSizeGreater * kBytesPerKB;
        const std::int64_t lower = rule.iSizeLesser * kBytesPerKB;
        if (contentLength == 0) return allowUnknownSize ? kMaySave : kOutsideBounds;
        const bool noBounds = upper < 0 && lower < 0;
        const bool inBounds =
            lower < upper && lower >= 0 && lower <= contentLength && contentLength <= upper;
        return (noBounds || inBounds) ? kMaySave : kOutsideBounds;
    }
    return kNoRuleMatches;
}

std::string DescribeRule(const TAllowedFiles& rule) {
    return "sName is " + rule.sName + "\r\n" + "sExtension is " + rule.sExtension + "\r\n" +
           "iSizeGreater is " + std::to_string(rule.iSizeGreater) + "\r\n" + "iSizeLesser is " +
           std::to_string(rule.iSizeLesser);
}

}  // namespace engine
