#pragma once

#include <string_view>

namespace cli {

// What a pane line says, for the terminal: which stream it goes to and whether
// it ends a file's handling with a failure.
enum class StatusLineKind {
    Progress,  // a step of the copy: standard output
    Failure,   // the last word on a file that failed: standard error, counted
    Problem,   // a warning that a Failure line follows (time-out, path): standard error
    Reason,    // the indented line after a failure saying why: standard error
};

// Sorts the pane lines in the order they come. An indented line is a reason
// only right after a failure or a problem (or another reason): elsewhere the
// same indent lists the links a page queued.
class StatusLineSorter {
public:
    StatusLineKind next(std::string_view line);

private:
    StatusLineKind previous_ = StatusLineKind::Progress;
};

}  // namespace cli
