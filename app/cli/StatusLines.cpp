#include "app/cli/StatusLines.h"

#include <algorithm>
#include <array>

namespace cli {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Each failed file ends with exactly one of these.
constexpr std::array<std::string_view, 3> kFailurePhrases = {
    "Error: ",
    "Couldn't Create Directory:",
    "Warning: Could not Download Header",
};

// These come before the failure line of the same file.
constexpr std::array<std::string_view, 3> kProblemPhrases = {
    "Timeout on",
    "Error: Could not create path ",
    "*****",
};

constexpr std::string_view kReasonIndent = "    ";

}  // namespace

StatusLineKind StatusLineSorter::next(std::string_view line) {
    StatusLineKind kind = StatusLineKind::Progress;
    if (startsWith(line, kReasonIndent)) {
        if (previous_ != StatusLineKind::Progress) kind = StatusLineKind::Reason;
    } else if (std::any_of(kProblemPhrases.begin(), kProblemPhrases.end(),
                           [&](std::string_view p) { return startsWith(line, p); })) {
        kind = StatusLineKind::Problem;
    } else if (std::any_of(kFailurePhrases.begin(), kFailurePhrases.end(),
                           [&](std::string_view p) { return startsWith(line, p); })) {
        kind = StatusLineKind::Failure;
    }
    previous_ = kind;
    return kind;
}

}  // namespace cli
