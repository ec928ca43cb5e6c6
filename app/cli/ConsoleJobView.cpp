#include "app/cli/ConsoleJobView.h"

#include <cctype>
#include <string_view>

namespace cli {

namespace {

std::string afterPrefix(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text;
}

// Terminal output must not carry control bytes from a hostile page's URLs.
std::string printable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) out += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
    return out;
}

// Too long for the terminal: the middle goes, so that the step's phrase and
// the file name at the end of its address stay in view.
std::string elideMiddle(const std::string& text, std::size_t width) {
    constexpr std::string_view kEllipsis = "...";
    if (text.size() <= width) return text;
    if (width <= kEllipsis.size()) return text.substr(0, width);
    const std::size_t keep = width - kEllipsis.size();
    const std::size_t head = keep / 2;
    return text.substr(0, head) + std::string(kEllipsis) + text.substr(text.size() - (keep - head));
}

}  // namespace

ConsoleJobView::ConsoleJobView(const CliOptions& options, Mode mode, std::FILE* out, std::FILE* err,
                               std::FILE* in, bool canAsk)
    : options_(options),
      mode_(mode),
      out_(out),
      err_(err),
      in_(in),
      canAsk_(canAsk),
      saveDirectory_(options.saveDirectory),
      quotaMb_(options.quotaMb.value_or(0)) {}

void ConsoleJobView::printLine(const std::string& line) {
    clearProgress();
    std::fputs(printable(line).c_str(), out_);
    std::fputc('\n', out_);
    if (mode_ == Mode::Progress) std::fflush(out_);
}

void ConsoleJobView::SetStatusCaption(const std::string& text) {
    caption_ = text;
    // A status update begins: the lines it adds are new.
    updateLines_.clear();
    repeated_.clear();
    if (mode_ == Mode::Progress && !summary_) drawProgress();
}

void ConsoleJobView::ClearLog() {
    // The engine empties the pane when its log file cannot be written and adds
    // the update's line again; the terminal has shown it already.
    repeated_ = std::move(updateLines_);
    repeatedSeen_ = 0;
    updateLines_.clear();
}

void ConsoleJobView::AppendLogLine(const std::string& line) {
    updateLines_.push_back(line);
    if (repeatedSeen_ < repeated_.size() && repeated_[repeatedSeen_] == line) {
        ++repeatedSeen_;
        return;
    }
    repeated_.clear();
    showPaneLine(line);
}

void ConsoleJobView::showPaneLine(const std::string& line) {
    if (summary_) {
        if (mode_ != Mode::Quiet) printLine(line);
        return;
    }
    const StatusLineKind kind = sorter_.next(line);
    if (kind == StatusLineKind::Failure) ++failed_;
    if (kind != StatusLineKind::Progress) {
        printError(line);
    } else if (mode_ == Mode::Lines) {
        printLine(line);
    }
}

void ConsoleJobView::AppendLogHeading(const std::string& line) { AppendLogLine(line); }

void ConsoleJobView::AppendLogLineBoldTail(const std::string& plain, const std::string& boldTail) {
    AppendLogLine(plain + boldTail);
}

void ConsoleJobView::SetQueuedLabel(const std::string& text) {
    queued_ = afterPrefix(text, "Queued Files: ");
    if (mode_ == Mode::Progress && !summary_) drawProgress();
}

void ConsoleJobView::LoopFinished() { clearProgress(); }

void ConsoleJobView::ShowFinishedControls() {
    clearProgress();
    summary_ = true;
}

void ConsoleJobView::refreshProgress() {
    if (mode_ == Mode::Progress && !summary_) drawProgress();
}

void ConsoleJobView::printEndLine(const std::string& text) {
    if (mode_ != Mode::Quiet) printLine(text);
}

void ConsoleJobView::drawProgress() {
    JobFigures figures = figures_ ? figures_() : JobFigures{};
    const std::int64_t bytes = figures.bytes + figures.transferBytes;
    const double seconds = elapsed_ ? elapsed_() : 0.0;
    std::string line = "[" + std::to_string(figures.saved) + " saved, " + std::to_string(failed_) +
                       " failed, " + queued_ + " queued, " + byteText(bytes) + ", " +
                       rateText(bytes, seconds) + "] ";
    // One column stays free: a line that fills the width wraps on some terminals.
    const auto width = static_cast<std::size_t>(columns_ > 1 ? columns_ - 1 : 1);
    if (line.size() < width) {
        line += elideMiddle(printable(caption_), width - line.size());
    } else {
        line.resize(width);
    }
    std::fputs("\r\x1b[K", out_);
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
    progressShown_ = true;
}

void ConsoleJobView::clearProgress() {
    if (!progressShown_) return;
    std::fputs("\r\x1b[K", out_);
    std::fflush(out_);
    progressShown_ = false;
}

void ConsoleJobView::printError(const std::string& text) {
    clearProgress();
    std::fputs(printable(text).c_str(), err_);
    std::fputc('\n', err_);
    std::fflush(err_);
}

platform::DialogResult ConsoleJobView::messageBox(const std::string&, const std::string& text,
                                                  platform::DialogKind kind,
                                                  platform::DialogButtons buttons) {
    std::string oneLine = text;
    for (char& c : oneLine) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    if ((buttons & platform::kButtonYes) && (buttons & platform::kButtonNo)) {
        // The only question the engine asks: go on past the quota?
        switch (options_.onQuota) {
            case OnQuota::Continue:
                if (mode_ != Mode::Quiet) printError(oneLine + " [continuing]");
                return platform::DialogResult::Yes;
            case OnQuota::Stop:
                if (mode_ != Mode::Quiet) printError(oneLine + " [stopping]");
                return platform::DialogResult::No;
            case OnQuota::Ask:
                break;
        }
        if (!canAsk_) {
            printError(oneLine + " [stopping: no terminal to ask; see --on-quota]");
            return platform::DialogResult::No;
        }
        clearProgress();
        std::fputs((oneLine + " [y/N] ").c_str(), err_);
        std::fflush(err_);
        char answer[64] = {};
        if (!std::fgets(answer, sizeof answer, in_)) return platform::DialogResult::No;
        return std::tolower(static_cast<unsigned char>(answer[0])) == 'y'
                   ? platform::DialogResult::Yes
                   : platform::DialogResult::No;
    }
    if (mode_ != Mode::Quiet || showAllBoxes_ || kind == platform::DialogKind::Error)
        printError(oneLine);
    return (buttons & platform::kButtonOk) ? platform::DialogResult::Ok
                                           : platform::DialogResult::Yes;
}

std::optional<std::string> ConsoleJobView::inputBox(const std::string&, const std::string& prompt,
                                                    const std::string&) {
    if (mode_ == Mode::Lines) printError(prompt + " " + options_.mysteryName);
    return options_.mysteryName;
}

std::optional<std::string> ConsoleJobView::browseFolder(const std::string&, const std::string&) {
    return std::nullopt;
}

}  // namespace cli
