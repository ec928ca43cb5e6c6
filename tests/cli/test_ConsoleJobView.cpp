#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "app/cli/ConsoleJobView.h"

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
    EXPECT_EQ(out.text(),
              "Saved http://h.test/a.html\n*****File Skipped - Stalled on Download*****\n");
}

TEST(ConsoleJobView, ProgressModeRedrawsOneLineThenPrintsTheSummary) {
    auto o = options();
    Capture out, err;
    cli::ConsoleJobView view(o, Mode::Progress, out.get(), err.get());
    view.setColumns(40);
    view.SetQueuedLabel("Queued Files: 7");
    view.SetStatusCaption("Downloading http://h.test/a-very-long-address/page.html");
    view.AppendLogLine("Downloading http://h.test/a-very-long-address/page.html");
    view.ShowFinishedControls();
    view.AppendLogHeading("Download Summary:");
    const std::string text = out.text();
    EXPECT_NE(text.find("\r\x1b[K[7 queued, 0 KB] Downloading"), std::string::npos);
    EXPECT_EQ(text.find("page.html\n"), std::string::npos)
        << "status lines must not scroll on a terminal";
    EXPECT_NE(text.find("Download Summary:\n"), std::string::npos);
    // The progress line is cut to the terminal's width.
    auto start = text.find("[7 queued");
    auto end = text.find('\r', start);
    EXPECT_LE(end - start, 39u);
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
