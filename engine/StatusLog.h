#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/PaneRecord.h"
#include "platform/AppendOnlyFile.h"

namespace engine {

class TJobView;

inline constexpr std::string_view kLogFileName = "downloads.log";

// The status line, the log pane and "downloads.log". The file equals the pane
// after every status update; it is kept by appending the pane lines not yet
// written through one descriptor held open, and rewritten whole only when the
// pane was reset, the save folder changed or someone else changed, replaced or
// removed the file (one stat per update tells). For that rewrite the pane's
// text is kept packed in memory; the file is the record.
class TStatusLog {
public:
    explicit TStatusLog(TJobView& view) : view_(view) {}

    // The status update: status, a blank and text become the status caption and
    // one pane line (CR and LF shown as %0D and %0A), the save directory gets
    // its trailing "/" and is created when missing, the pane is written to the
    // log file, and the size label shows totalBytes in kilobytes. A log that cannot be written
    // costs the pane its history; the update goes on. A non-empty detail (a
    // failure's reason) becomes one more pane line right after the status line,
    // written with it.
    void Update(const std::string& status, const std::string& text, std::int64_t totalBytes,
                const std::string& detail = {});

    // Pane lines that are not status lines (the watchdog's, the summary). They
    // reach the file with the next status update, if one comes.
    void AddLine(const std::string& line);
    void AddHeading(const std::string& line);
    void AddLineBoldTail(const std::string& plain, const std::string& boldTail);

    // The pane's lines (unpacked; for tests).
    std::vector<std::string> paneLines() const { return record_.lines(); }
    // The log file the last successful update wrote, or empty.
    const std::string& logFilePath() const { return file_.path(); }
    // Bytes the pane's text takes in memory (for the benchmarks).
    std::size_t memoryBytes() const { return record_.memoryBytes() + unwritten_.capacity(); }

    // "Total Size of Files Downloaded: " and the kilobytes, a half rounded to even.
    static std::string totalSizeLabel(std::int64_t totalBytes);

private:
    enum class LineKind { Plain, Heading };
    void appendToPane(const std::string& text, LineKind kind);
    void addToRecord(const std::string& line);
    void resetPane();
    bool writePaneToLog();
    bool writeLogFile(const std::string& path);

    TJobView& view_;
    TPaneRecord record_;             // the pane's text, as the file holds it
    std::string unwritten_;          // its end that is not in the file yet
    bool paneReset_ = false;         // the pane lost lines since the file was written
    platform::AppendOnlyFile file_;  // the log file, open while it equals the pane
};

}  // namespace engine
