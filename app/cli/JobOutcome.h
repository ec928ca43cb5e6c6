#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace engine {
class THvxEngine;
}

namespace cli {

// The exit statuses, in the manner of wget.
enum ExitStatus : int {
    kExitDone = 0,          // every queued file handled, none failed
    kExitStopped = 1,       // stopped by the user, the quota or low disk space
    kExitUsage = 2,         // invalid arguments
    kExitFilesFailed = 3,   // finished, but files failed
    kExitNothingSaved = 4,  // nothing could be saved
};

// Where a copy stands, read from the engine's lists, counters and flags.
struct JobFigures {
    std::size_t saved = 0;           // files saved
    std::size_t failed = 0;          // fetches or saves that failed
    std::size_t left = 0;            // still queued
    std::int64_t bytes = 0;          // bytes saved
    std::int64_t transferBytes = 0;  // bytes of the transfer under way
    bool halted = false;             // the user stopped the copy
    bool saveFolderFailed = false;   // the save folder could not be written: the job ended
};

// failed comes from the status lines (see StatusLineKind): the error list also
// holds files the rules turned away, which did not fail.
JobFigures figuresOf(const engine::THvxEngine& engine, std::size_t failed);

// A save folder that could not be written, or nothing saved and something
// failed (the start page): nothing could be saved, whatever else happened.
// Otherwise a stop, then failures.
int exitStatusOf(const JobFigures& figures);

// "2.9 KB", "1.2 MB"; below a kilobyte the bytes themselves.
std::string byteText(std::int64_t bytes);
// byteText per second, over at least a millisecond.
std::string rateText(std::int64_t bytes, double seconds);

// The terminal's last line: elapsed time, files saved, failed and left, and the
// average rate.
std::string endLine(const JobFigures& figures, double seconds);

}  // namespace cli
