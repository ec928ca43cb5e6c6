#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "app/cli/ConsoleJobView.h"
#include "engine/StatusLog.h"

namespace {

// An in-memory FILE* whose text can be read back.
class Capture {
public:
    Capture() : file_(std::tmpfile(), &std::fclose) {}
    std::FILE* get() { return file_.get(); }
    std::string text() {
        std::fflush(file_.get());
        std::rewind(file_.get());
        std::string out;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_.get())) > 0) out.append(buffer, n);
        return out;
    }

private:
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
};

cli::CliOptions options() {
    cli::CliOptions o;
    o.startUrl = "http://h.test/";
    o.saveDirectory = "/tmp/x";
    return o;
}

}  // namespace

using Mode = cli::ConsoleJobView::Mode;

TEST(ConsoleJobView, LinesModePrintsEveryPaneLine) {
    auto o = options();
    Capture out, err;
    cli::ConsoleJobView view(o, Mode::Lines, out.get(), err.get());
    view.SetStatusCaption("Saved http://h.test/a.html");
    view.AppendLogLine("Saved http://h.test/a.html");
    view.AppendLogLine("*****File Skipped - Stalled on Download*****");
    EXPECT_EQ(out.text(), "Saved http://h.test/a.html\n");
    EXPECT_EQ(err.text(), "*****File Skipped - Stalled on Download*****\n") << "a warning";
}

TEST(ConsoleJobView, ProgressModeRedrawsOneLineThenPrintsTheSummary) {
    auto o = options();
    Capture out, err;
    cli::ConsoleJobView view(o, Mode::Progress, out.get(), err.get());
    view.setColumns(90);
    view.setFiguresSource([] {
        cli::JobFigures figures;
        figures.saved = 3;
        figures.bytes = 2048;
        figures.transferBytes = 1024;
        return figures;
    });
    view.setElapsedSource([] { return 2.0; });
    view.SetQueuedLabel("Queued Files: 7");
    view.SetStatusCaption("Downloading http://h.test/a-very-long-address/page.html");
    view.AppendLogLine("Downloading http://h.test/a-very-long-address/page.html");
    view.ShowFinishedControls();
    view.AppendLogHeading("Download Summary:");
    const std::string text = out.text();
    // Files done, bytes (saved and under way), the average rate and the URL.
    EXPECT_NE(text.find("\r\x1b[K[3 saved, 0 failed, 7 queued, 3.0 KB, 1.5 KB/s] Downloading"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("page.html\n"), std::string::npos)
        << "status lines must not scroll on a terminal";
    EXPECT_NE(text.find("Download Summary:\n"), std::string::npos);
    // The progress line is cut to the terminal's width.
    auto start = text.find("[3 saved");
    auto end = text.find('\r', start);
    EXPECT_LE(end - start, 89u);
    // What is cut is the middle of the step, so the file name stays in view.
    EXPECT_NE(text.find("] Downloading http://...g-address/page.html\r"), std::string::npos)
        << text;
}

TEST(ConsoleJobView, QuietPrintsNothingButErrors) {
    auto o = options();
    Capture out, err;
    cli::ConsoleJobView view(o, Mode::Quiet, out.get(), err.get());
    view.AppendLogLine("Saved x");
    view.ShowFinishedControls();
    view.AppendLogLine("Total Files Downloaded: 1");
    view.messageBox("Harvex", "Downloads Halted!", platform::DialogKind::Information,
                    platform::kButtonOk);
    view.messageBox("Harvex", "Process Stopped: Low on DiskSpace.", platform::DialogKind::Error,
                    platform::kButtonOk);
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(err.text(), "Process Stopped: Low on DiskSpace.\n");
}

TEST(ConsoleJobView, QuotaQuestionFollowsTheOption) {
    auto o = options();
    Capture out, err;
    o.onQuota = cli::OnQuota::Continue;
    cli::ConsoleJobView go(o, Mode::Lines, out.get(), err.get());
    EXPECT_EQ(
        go.messageBox("Harvex", "Process Stopped at users request: 1 ...",
                      platform::DialogKind::Warning, platform::kButtonYes | platform::kButtonNo),
        platform::DialogResult::Yes);
    o.onQuota = cli::OnQuota::Stop;
    cli::ConsoleJobView stop(o, Mode::Lines, out.get(), err.get());
    EXPECT_EQ(stop.messageBox("Harvex", "q", platform::DialogKind::Warning,
                              platform::kButtonYes | platform::kButtonNo),
              platform::DialogResult::No);
}

TEST(ConsoleJobView, QuotaQuestionAsksTheTerminalOrStopsWithoutOne) {
    auto o = options();
    Capture out, err, in;
    std::fputs("y\n", in.get());
    std::rewind(in.get());
    cli::ConsoleJobView asking(o, Mode::Lines, out.get(), err.get(), in.get(), true);
    EXPECT_EQ(asking.messageBox("Harvex", "More?", platform::DialogKind::Warning,
                                platform::kButtonYes | platform::kButtonNo),
              platform::DialogResult::Yes);
    EXPECT_NE(err.text().find("More? [y/N]"), std::string::npos);

    cli::ConsoleJobView noTerminal(o, Mode::Lines, out.get(), err.get(), in.get(), false);
    EXPECT_EQ(noTerminal.messageBox("Harvex", "More?", platform::DialogKind::Warning,
                                    platform::kButtonYes | platform::kButtonNo),
              platform::DialogResult::No);
}

TEST(ConsoleJobView, SettingsComeFromTheOptions) {
    auto o = options();
    o.text = false;
    o.everything = true;
    o.quotaMb = 3;
    o.mysteryName = "mine.html";
    Capture out, err;
    cli::ConsoleJobView view(o, Mode::Lines, out.get(), err.get());
    EXPECT_TRUE(view.DLoadTextFiles()) << "Download Everything checks Text and Graphics";
    EXPECT_TRUE(view.DiskQuote());
    EXPECT_EQ(view.DiskQuota(), 3);
    view.SetDiskQuota(6);
    EXPECT_EQ(view.DiskQuota(), 6);
    EXPECT_EQ(view.inputBox("Harvex", "Enter the name", "unknown.html"), "mine.html");
}

TEST(ConsoleJobView, ControlBytesFromPagesNeverReachTheTerminal) {
    auto o = options();
    Capture out, err;
    cli::ConsoleJobView view(o, Mode::Lines, out.get(), err.get());
    view.AppendLogLine("Saved http://h.test/\x1b]0;owned\x07.html");
    EXPECT_EQ(out.text().find('\x1b'), std::string::npos);
}

// The engine resets the pane when its log file cannot be written and adds the
// line again: the terminal shows every line once all the same.
TEST(ConsoleJobView, EachLineIsPrintedOnceWhenThePaneIsReset) {
    QTemporaryDir tmp;
    // A folder where the log file would go: every log write fails.
    ASSERT_TRUE(QDir(tmp.path()).mkpath(QStringLiteral("downloads.log")));
    for (Mode mode : {Mode::Lines, Mode::Progress}) {
        auto o = options();
        o.saveDirectory = tmp.path().toStdString();
        Capture out, err;
        cli::ConsoleJobView view(o, mode, out.get(), err.get());
        engine::TStatusLog log(view);
        log.Update("Downloading", "http://h.test/a.html", 0);
        log.Update("Error: Could not Download", "http://h.test/a.html", 0);
        log.AddLine("    [10061] Connection refused");
        log.Update("Saved", "http://h.test/b.html", 0);
        if (mode == Mode::Lines) {
            EXPECT_EQ(out.text(), "Downloading http://h.test/a.html\nSaved http://h.test/b.html\n");
        }
        EXPECT_EQ(
            err.text(),
            "Error: Could not Download http://h.test/a.html\n    [10061] Connection refused\n");
        EXPECT_EQ(view.failedFiles(), 1u);
    }
}

namespace {

struct Routed {
    const char* line;
    char stream;  // 'o' standard output, 'e' standard error
    bool failure;
};

}  // namespace

// Failed files, their reasons and warnings go to standard error, each failed
// file counted once; the rest of the steps to standard output.
TEST(ConsoleJobView, LinesGoToTheirStreamAndFailuresAreCounted) {
    const std::vector<Routed> table = {
        {"Preparing to process http://h.test/", 'o', false},
        {"http://h.test/ supplied: ", 'o', false},
        {"    http://h.test/a.html", 'o', false},  // a queued link, not a reason
        {"    http://h.test/b.gif", 'o', false},
        {"Downloading http://h.test/a.html", 'o', false},
        {"Timeout on http://h.test/a.html", 'e', false},
        {"Error: Could not Download http://h.test/a.html", 'e', true},
        {"    Host not found", 'e', false},
        {"Downloading Header http://h.test/b.gif", 'o', false},
        {"Warning: Could not Download Header http://h.test/b.gif", 'e', true},
        {"    [10061] Connection refused", 'e', false},
        {"*****File Skipped - Stalled on Download*****", 'e', false},
        {"Error: Could not create path /x/for http://h.test/c.html", 'e', false},
        {"Error: Could not Save File http://h.test/c.html", 'e', true},
        {"Couldn't Create Directory: /x/d/", 'e', true},
        {"Error: Couldn't download http://h.test/e.zip", 'e', true},
        {"Header Downloaded but doesn't fit allowed specs http://h.test/f.zip", 'o', false},
        {"File Processed but not saved. http://h.test/g.html", 'o', false},
        {"Warning: No File Specified http://h.test/dir/", 'o', false},
        {"Error: Could not download Mystery file http://h.test/dir/", 'e', true},
        {"Saved http://h.test/", 'o', false},
    };
    for (Mode mode : {Mode::Lines, Mode::Progress, Mode::Quiet}) {
        auto o = options();
        Capture out, err;
        cli::ConsoleJobView view(o, mode, out.get(), err.get());
        std::string expectOut, expectErr;
        std::size_t failures = 0;
        for (const Routed& row : table) {
            view.SetStatusCaption(row.line);
            view.AppendLogLine(row.line);
            (row.stream == 'e' ? expectErr : expectOut) += std::string(row.line) + "\n";
            failures += row.failure ? 1 : 0;
        }
        EXPECT_EQ(view.failedFiles(), failures);
        EXPECT_EQ(err.text(), expectErr) << "every mode, --quiet too";
        if (mode == Mode::Lines) {
            EXPECT_EQ(out.text(), expectOut);
        } else if (mode == Mode::Quiet) {
            EXPECT_EQ(out.text(), "");
        }
    }
}

TEST(ConsoleJobView, EndLineFollowsTheSummaryButNotWithQuiet) {
    auto o = options();
    Capture out, err, quietOut, quietErr;
    cli::ConsoleJobView view(o, Mode::Progress, out.get(), err.get());
    view.ShowFinishedControls();
    view.AppendLogLine("Total Files Downloaded: 2");
    view.printEndLine("Elapsed 0:00:01, 2 files saved");
    EXPECT_EQ(out.text(), "Total Files Downloaded: 2\nElapsed 0:00:01, 2 files saved\n");
    cli::ConsoleJobView quiet(o, Mode::Quiet, quietOut.get(), quietErr.get());
    quiet.printEndLine("Elapsed 0:00:01, 2 files saved");
    EXPECT_EQ(quietOut.text(), "");
}
