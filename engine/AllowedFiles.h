#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// One file-type rule: a pattern (sName followed by sExtension, exactly as it was
// entered) with optional size bounds in kilobytes.
struct TAllowedFiles {
    std::string sName;       // the text before the dot that splits the pattern
    std::string sExtension;  // from that dot on; the whole pattern when it has none
    std::uint8_t iFileKind = 0;
    std::int64_t iSizeGreater = -1;  // upper bound in KB, -1 = none
    std::int64_t iSizeLesser = -1;   // lower bound in KB, -1 = none

    std::string pattern() const { return sName + sExtension; }
    bool operator==(const TAllowedFiles&) const = default;
};

// Values of iFileKind.
inline constexpr std::uint8_t kKindText = 0;
inline constexpr std::uint8_t kKindGraphic = 1;
inline constexpr std::uint8_t kKindOther = 2;
inline constexpr std::uint8_t kKindEverything = 3;

// The ordered rule table: the first rule whose pattern matches decides.
using TAllowedFilesList = std::vector<TAllowedFiles>;

inline constexpr std::string_view kDefaultTextTypes = "*.txt,*.htm,*.html,*.shtml,*.shtm,*.asp,";
inline constexpr std::string_view kDefaultGraphicTypes = "*.jpg,*.bmp,*.jpeg,*.gif,";
inline constexpr std::string_view kEverythingPattern = "*.*,";

// Appends one rule per comma-terminated item of list, in order, each split at
// its first dot. Text after the last comma is not an item.
void AddRulesFromList(TAllowedFilesList& table, std::string_view list, std::uint8_t kind);

// The three download choices of wizard page 3.
struct TDownloadChoices {
    bool text = true;
    bool graphics = true;
    bool everything = false;
};

// The table the page-3 choices give: one "*.*" rule for everything, otherwise
// the text rules, then the graphic rules.
TAllowedFilesList RulesFromChoices(const TDownloadChoices& choices, std::string_view textTypes,
                                   std::string_view graphicTypes);

enum class EditorFileKind { Text, Other };
enum class SizeLimits { Off, On };

// A rule as the rule editor makes it from its panel: the pattern split at its
// last dot; bounds kept only when limits are on, both are given and the lower
// is strictly below the upper.
TAllowedFiles RuleFromEditor(std::string_view pattern, EditorFileKind kind, SizeLimits limits,
                             std::optional<std::int64_t> upperKB,
                             std::optional<std::int64_t> lowerKB);

// Results of the save test.
enum TSaveVerdict : int {
    kNoRuleMatches = 0,
    kOutsideBounds = 2,  // a rule matches, but the size is outside its bounds or unknown
    kMaySave = 4,
};

// The first rule whose pattern matches fileName decides whether a file of
// contentLength bytes (0 = unknown) may be saved.
int MatchRules(const TAllowedFilesList& table, std::string_view fileName,
               std::int64_t contentLength, bool allowUnknownSize);

// The diagnostic text of one rule: four lines joined by CR LF.
std::string DescribeRule(const TAllowedFiles& rule);

}  // namespace engine
