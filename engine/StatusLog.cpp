#include "engine/StatusLog.h"

#include "engine/JobView.h"
#include "platform/FileSystem.h"

namespace engine {

namespace {

constexpr std::int64_t kBytesPerKB = 1024;

// One pane line is one log line: a CR or LF inside a text (a URL cut from a
// broken or hostile page may hold them) is shown escaped, so that no page can
// write lines of its choosing into the record.
std::string escapeLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\r') {
            out += "%0D";
        } else if (c == '\n') {
            out += "%0A";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string TStatusLog::totalSizeLabel(std::int64_t totalBytes) {
    std::int64_t kb = totalBytes / kBytesPerKB;
    const std::int64_t remainder = totalBytes % kBytesPerKB;
    if (remainder * 2 > kBytesPerKB || (remainder * 2 == kBytesPerKB && kb % 2 != 0)) ++kb;
    if (remainder * 2 < -kBytesPerKB || (remainder * 2 == -kBytesPerKB && kb % 2 != 0)) --kb;
    return "Total Size of Files Downloaded: " + std::to_string(kb) + " KB";
}

void TStatusLog::appendToPane(const std::string& text, LineKind kind) {
    std::string line = escapeLineBreaks(text);
    if (kind == LineKind::Heading) {
        view_.AppendLogHeading(line);
    } else {
        view_.AppendLogLine(line);
    }
    pane_.push_back(std::move(line));
}

void TStatusLog::resetPane() {
    view_.ClearLog();
    pane_.clear();
    paneReset_ = true;
}

void TStatusLog::AddLine(const std::string& line) { appendToPane(line, LineKind::Plain); }

void TStatusLog::AddHeading(const std::string& line) { appendToPane(line, LineKind::Heading); }

void TStatusLog::AddLineBoldTail(const std::string& plain, const std::string& boldTail) {
    std::string head = escapeLineBreaks(plain);
    std::string tail = escapeLineBreaks(boldTail);
    view_.AppendLogLineBoldTail(head, tail);
    pane_.push_back(head + tail);
}

void TStatusLog::Update(const std::string& status, const std::string& text,
                        std::int64_t totalBytes, const std::string& detail) {
    const std::string line = escapeLineBreaks(status + " " + text);
    view_.SetStatusCaption(line);

    appendToPane(line, LineKind::Plain);
    if (!detail.empty()) appendToPane(detail, LineKind::Plain);
    if (!writePaneToLog()) {
        resetPane();
        appendToPane(line, LineKind::Plain);
        if (!detail.empty()) appendToPane(detail, LineKind::Plain);
    }

    view_.SetTotalSizeLabel(totalSizeLabel(totalBytes));
}

bool TStatusLog::writePaneToLog() {
    std::string directory = view_.SaveDirectory();
    // An empty save directory names no folder the user chose; "/" alone would
    // put the log at the file system's root.
    if (directory.empty()) return false;
    if (directory.back() != '/') {
        directory += '/';
        view_.SetSaveDirectory(directory);
    }
    const std::string local = platform::fs::expandHome(directory);
    // A relative directory would depend on the program's working directory.
    if (!platform::fs::isAbsolutePath(local)) return false;
    if (!platform::fs::directoryExists(local) && !platform::fs::createDirectories(local))
        return false;
    return writeLogFile(local + std::string(kLogFileName));
}

bool TStatusLog::writeLogFile(const std::string& path) {
    const bool appendable = !paneReset_ && path == logPath_ && linesWritten_ <= pane_.size() &&
                            platform::fs::fileSize(path) == bytesWritten_;
    const std::size_t first = appendable ? linesWritten_ : 0;

    std::string data;
    for (std::size_t i = first; i < pane_.size(); ++i) {
        data += pane_[i];
        data += kLogLineEnd;
    }
    const bool ok =
        appendable ? platform::fs::appendToFile(path, data) : platform::fs::writeFile(path, data);
    if (!ok) {
        // The file's content is unknown now: the next update writes it whole.
        logPath_.clear();
        return false;
    }
    logPath_ = path;
    linesWritten_ = pane_.size();
    bytesWritten_ = (appendable ? bytesWritten_ : 0) + static_cast<std::int64_t>(data.size());
    paneReset_ = false;
    return true;
}

}  // namespace engine
