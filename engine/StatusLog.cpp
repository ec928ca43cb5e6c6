#include "engine/StatusLog.h"

#include <algorithm>

#include "engine/JobView.h"
#include "platform/FileSystem.h"

namespace engine {

namespace {

constexpr std::int64_t kBytesPerKB = 1024;

// The pane shows one line per line: a text with line breaks in it (a URL cut
// from a broken page may hold one) becomes several pane lines, as the widget
// would show it.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(current));
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            current += c;
        }
    }
    lines.push_back(std::move(current));
    return lines;
}

std::string withoutLineBreaks(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
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
    for (auto& line : splitLines(text)) {
        if (kind == LineKind::Heading) {
            view_.AppendLogHeading(line);
        } else {
            view_.AppendLogLine(line);
        }
        pane_.push_back(std::move(line));
    }
}

void TStatusLog::resetPane() {
    view_.ClearLog();
    pane_.clear();
    paneReset_ = true;
}

void TStatusLog::AddLine(const std::string& line) { appendToPane(line, LineKind::Plain); }

void TStatusLog::AddHeading(const std::string& line) { appendToPane(line, LineKind::Heading); }

void TStatusLog::AddLineBoldTail(const std::string& plain, const std::string& boldTail) {
    std::string head = withoutLineBreaks(plain);
    std::string tail = withoutLineBreaks(boldTail);
    view_.AppendLogLineBoldTail(head, tail);
    pane_.push_back(head + tail);
}

void TStatusLog::Update(const std::string& status, const std::string& text,
                        std::int64_t totalBytes, const std::string& detail) {
    const std::string line = status + " " + text;
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
