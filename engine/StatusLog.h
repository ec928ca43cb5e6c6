#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

class TJobView;

inline constexpr std::string_view kLogFileName = "downloads.log";
inline constexpr std::string_view kLogLineEnd = "\r\n";

// The status line, the log pane and "downloads.log". The file equals the pane
// after every status update; it is kept by appending the pane lines not yet
// written, and rewritten whole only when the pane was reset, the file moved or
// someone else changed it.
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

    const std::vector<std::string>& paneLines() const { return pane_; }
    // The log file the last successful update wrote, or empty.
    const std::string& logFilePath() const { return logPath_; }

    // "Total Size of Files Downloaded: " and the kilobytes, a half rounded to even.
    static std::string totalSizeLabel(std::int64_t totalBytes);

private:
    enum class LineKind { Plain, Heading };
    void appendToPane(const std::string& text, LineKind kind);
    void resetPane();
    bool writePaneToLog();
    bool writeLogFile(const std::string& path);

    TJobView& view_;
    std::vector<std::string> pane_;  // the pane's lines, as the view shows them
    bool paneReset_ = false;         // the pane lost lines since the file was written
    std::string logPath_;            // the file last written, empty when none
    std::size_t linesWritten_ = 0;   // pane lines already in that file
    std::int64_t bytesWritten_ = 0;  // its expected size
};

}  // namespace engine
