#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/cli/CliOptions.h"
#include "app/cli/JobOutcome.h"
#include "app/cli/StatusLines.h"
#include "engine/JobView.h"
#include "platform/Dialogs.h"

namespace cli {

// The job view and the boxes of the command-line front end. Settings come from
// the options; status lines go to standard output as they happen, or, on a
// terminal without --verbose, into one progress line that is redrawn in place;
// lines of failed files and their reasons go to standard error in every mode;
// the summary is printed at the end in every mode but --quiet. Each pane line
// is printed once, also when the engine resets the pane and adds a line again.
// Boxes print their text on standard error and answer from the options (the
// quota box may ask on the terminal).
class ConsoleJobView final : public engine::TJobView, public platform::Dialogs {
public:
    enum class Mode { Quiet, Lines, Progress };

    ConsoleJobView(const CliOptions& options, Mode mode, std::FILE* out = stdout,
                   std::FILE* err = stderr, std::FILE* in = stdin, bool canAsk = false);

    // Settings.
    std::string StartURL() const override { return options_.startUrl; }
    std::string SaveDirectory() const override { return saveDirectory_; }
    void SetSaveDirectory(const std::string& directory) override { saveDirectory_ = directory; }
    bool DLoadTextFiles() const override { return options_.text || options_.everything; }
    bool DloadGraphics() const override { return options_.graphics || options_.everything; }
    bool DloadEverything() const override { return options_.everything; }
    bool OwnFileTypes() const override { return !options_.rules.empty(); }
    bool StayinPath() const override { return options_.stayInPath; }
    bool StayinDomain() const override { return true; }
    bool DiskQuote() const override { return options_.quotaMb.has_value(); }
    int DiskQuota() const override { return quotaMb_; }
    void SetDiskQuota(int megabytes) override { quotaMb_ = megabytes; }
    bool DownloadNoSizeFiles() const override { return options_.unknownSize; }
    bool OfflineCopy() const override { return options_.offline; }

    // Status page.
    void SetStatusCaption(const std::string& text) override;
    void AppendLogLine(const std::string& line) override;
    void AppendLogHeading(const std::string& line) override;
    void AppendLogLineBoldTail(const std::string& plain, const std::string& boldTail) override;
    void ClearLog() override;
    void SetLogReadOnly() override {}
    void SetQueuedLabel(const std::string& text) override;
    void SetTotalSizeLabel(const std::string&) override {}
    void SetProgress(int) override {}
    void StopProgressAnimation() override {}
    void LoopFinished() override;
    void ShowFinishedControls() override;
    platform::Dialogs& Dialogs() override { return *this; }
    // A site behind a password: answered by the credential source, none by default.
    bool AskCredentials(const std::string& realm, const std::string& host, std::string& user,
                        std::string& password) override {
        return credentials_ && credentials_(realm, host, user, password);
    }
    using CredentialSource = std::function<bool(const std::string& realm, const std::string& host,
                                                std::string& user, std::string& password)>;
    void setCredentialSource(CredentialSource source) { credentials_ = std::move(source); }

    // Boxes.
    platform::DialogResult messageBox(const std::string& caption, const std::string& text,
                                      platform::DialogKind kind,
                                      platform::DialogButtons buttons) override;
    std::optional<std::string> inputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& defaultValue) override;
    std::optional<std::string> browseFolder(const std::string& title,
                                            const std::string& startFolder) override;

    // A line on standard error that does not tear the progress line.
    void printError(const std::string& text);
    // A line on standard output after the summary (unless --quiet).
    void printEndLine(const std::string& text);

    // Files that failed so far, counted from the status lines.
    std::size_t failedFiles() const { return failed_; }

    // Where the progress line reads the job's figures, and the seconds since
    // the copy began.
    void setFiguresSource(std::function<JobFigures()> figures) { figures_ = std::move(figures); }
    void setElapsedSource(std::function<double()> elapsed) { elapsed_ = std::move(elapsed); }
    // Redraws the progress line (a timer calls it while a transfer runs).
    void refreshProgress();

    // While set, every box is printed, also with --quiet (argument checks).
    void setShowAllBoxes(bool on) { showAllBoxes_ = on; }

    // The width the progress line is cut to.
    void setColumns(int columns) { columns_ = columns; }

private:
    CredentialSource credentials_;

    void printLine(const std::string& line);
    void showPaneLine(const std::string& line);
    void drawProgress();
    void clearProgress();

    const CliOptions& options_;
    Mode mode_;
    std::FILE* out_;
    std::FILE* err_;
    std::FILE* in_;
    bool canAsk_;
    std::string saveDirectory_;
    int quotaMb_;
    bool summary_ = false;  // the job is over: what follows is the summary
    bool progressShown_ = false;
    bool showAllBoxes_ = false;
    int columns_ = 80;
    std::string caption_;
    std::string queued_ = "0";
    StatusLineSorter sorter_;
    std::size_t failed_ = 0;
    std::function<JobFigures()> figures_;
    std::function<double()> elapsed_;
    // The lines of the status update under way, and, after the pane was reset
    // during it, those of them still to come again (not to be printed twice).
    std::vector<std::string> updateLines_;
    std::vector<std::string> repeated_;
    std::size_t repeatedSeen_ = 0;
};

}  // namespace cli
