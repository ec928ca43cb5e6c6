#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "engine/PaneRecord.h"
#include "testing/PlainJobView.h"
#include "engine/StatusLog.h"
#include "engine/wsmain.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "tests/support/Peers.h"

using namespace engine;

namespace {

class StatusLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        root = tmp.path().toStdString();
        view.saveDirectory = root + "/sites/";
    }

    std::string logFile() const { return view.saveDirectory + "downloads.log"; }
    std::string fileText() const { return testsupport::readFile(logFile()); }

    QTemporaryDir tmp;
    std::string root;
    PlainJobView view;
    TStatusLog log{view};
};

}  // namespace

TEST_F(StatusLogTest, StatusLineIsPhraseBlankAndText) {
    log.Update("Saved", "http://host.test/a.html", 0);
    EXPECT_EQ(view.statusCaption, "Saved http://host.test/a.html");
    log.Update("Finished Downloading.", "", 0);
    EXPECT_EQ(view.statusCaption, "Finished Downloading. ")
        << "an empty text leaves a trailing blank";
    EXPECT_EQ(view.logLines, (std::vector<std::string>{"Saved http://host.test/a.html",
                                                       "Finished Downloading. "}));
}

TEST_F(StatusLogTest, SaveDirectoryGetsItsSlashAndIsCreatedWithParents) {
    view.saveDirectory = root + "/new/deeper/sites";
    log.Update("Preparing to process", "http://host.test/", 0);
    EXPECT_EQ(view.saveDirectory, root + "/new/deeper/sites/");
    EXPECT_TRUE(platform::fs::directoryExists(root + "/new/deeper/sites"));
    EXPECT_EQ(fileText(), "Preparing to process http://host.test/\r\n");
    EXPECT_EQ(log.logFilePath(), root + "/new/deeper/sites/downloads.log");
}

TEST_F(StatusLogTest, FileEqualsThePaneAfterEveryUpdate) {
    testsupport::writeFile(root + "/sites/downloads.log", "an old run's log\r\nwith two lines\r\n");
    for (int i = 0; i < 50; ++i) {
        log.Update("Saved", "http://host.test/" + std::to_string(i) + ".html", i * 1000);
        if (i % 7 == 3) log.AddLine("*****File Skipped - Stalled on Download*****");
        if (i % 7 != 3) {
            ASSERT_EQ(fileText(), view.logText()) << "after update " << i;
        }
    }
    // Lines that reach the pane between updates are in the file after the next one.
    log.AddLine("*****File Skipped - Stalled on Opening Connection*****");
    log.Update("Finished Downloading.", "", 0);
    EXPECT_EQ(fileText(), view.logText());
    EXPECT_NE(fileText().find("Stalled on Opening Connection"), std::string::npos);
    EXPECT_EQ(fileText().find("an old run"), std::string::npos)
        << "the first update replaces an old file";

    // The summary is added after the last update and never reaches the file.
    const std::string before = fileText();
    log.AddLine("");
    log.AddHeading("Download Summary:");
    log.AddLineBoldTail("All downloaded files are stored in or under ", view.saveDirectory);
    EXPECT_EQ(fileText(), before);
    EXPECT_EQ(view.headingLines, std::vector<std::string>{"Download Summary:"});
    EXPECT_EQ(view.boldTails, std::vector<std::string>{view.saveDirectory});
    EXPECT_EQ(log.paneLines(), view.logLines);
}

TEST_F(StatusLogTest, UnwritableLogFileEmptiesThePaneAndTheJobGoesOn) {
    log.Update("Saved", "http://host.test/1.html", 0);
    log.Update("Saved", "http://host.test/2.html", 0);
    // A directory in the file's place cannot be opened for writing, even by root.
    platform::fs::removeFile(logFile());
    ASSERT_TRUE(platform::fs::createDirectories(logFile()));

    log.Update("Saved", "http://host.test/3.html", 2048);
    EXPECT_EQ(view.logLines, std::vector<std::string>{"Saved http://host.test/3.html"})
        << "only the newest line";
    EXPECT_EQ(view.logClears, 1);
    EXPECT_EQ(view.statusCaption, "Saved http://host.test/3.html");
    EXPECT_EQ(view.totalSizeLabel, "Total Size of Files Downloaded: 2 KB") << "the update goes on";

    // Once the file can be written again it holds exactly the restarted pane.
    ASSERT_TRUE(std::filesystem::remove(logFile()));
    log.Update("Saved", "http://host.test/4.html", 2048);
    EXPECT_EQ(view.logLines.size(), 2u);
    EXPECT_EQ(fileText(), view.logText());
}

TEST_F(StatusLogTest, SaveDirectoryThatCannotBeCreatedEmptiesThePane) {
    testsupport::writeFile(root + "/plainfile", "x");
    view.saveDirectory = root + "/plainfile/sub/";
    log.Update("Analysing", "http://host.test/a.html", 0);
    log.Update("Saved", "http://host.test/a.html", 0);
    EXPECT_EQ(view.logLines, std::vector<std::string>{"Saved http://host.test/a.html"});
    EXPECT_EQ(view.logClears, 2);
}

TEST_F(StatusLogTest, RelativeOrEmptySaveDirectoryWritesNothing) {
    view.saveDirectory = "relative/sites";
    log.Update("Saved", "u1", 0);
    EXPECT_FALSE(platform::fs::directoryExists("relative/sites"));
    EXPECT_EQ(view.logClears, 1);

    view.saveDirectory = "";
    log.Update("Saved", "u2", 0);
    EXPECT_EQ(view.saveDirectory, "") << "no root directory is made up";
    EXPECT_EQ(view.logLines, std::vector<std::string>{"Saved u2"});
}

TEST_F(StatusLogTest, FileChangedByOthersIsRewrittenWhole) {
    log.Update("Saved", "a", 0);
    log.Update("Saved", "b", 0);
    testsupport::writeFile(logFile(), "truncated");
    log.Update("Saved", "c", 0);
    EXPECT_EQ(fileText(), "Saved a\r\nSaved b\r\nSaved c\r\n");
    platform::fs::removeFile(logFile());
    log.Update("Saved", "d", 0);
    EXPECT_EQ(fileText(), view.logText());
}

TEST_F(StatusLogTest, MovedSaveDirectoryGetsTheWholePane) {
    log.Update("Saved", "a", 0);
    view.saveDirectory = root + "/elsewhere/";
    log.Update("Saved", "b", 0);
    EXPECT_EQ(fileText(), "Saved a\r\nSaved b\r\n");
}

// A page must not write lines of its choosing into the record.
TEST_F(StatusLogTest, LineBreaksInsideATextAreShownEscapedInOneLine) {
    struct Case {
        const char* status;
        const char* text;
        const char* line;
    };
    const Case cases[] = {
        {"Saved", "http://host.test/a\nb.html", "Saved http://host.test/a%0Ab.html"},
        {"Saved", "x\r\ny\rz", "Saved x%0D%0Ay%0Dz"},
        {"Downloading", "http://host.test/\r\nFile saved to /etc/passwd",
         "Downloading http://host.test/%0D%0AFile saved to /etc/passwd"},
        {"Error: Could not create path /s/a\nfor", "u",
         "Error: Could not create path /s/a%0Afor u"},
        {"Saved", "http://host.test/%0A.html", "Saved http://host.test/%0A.html"},
    };
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        log.Update(c.status, c.text, 0);
        expected.push_back(c.line);
        EXPECT_EQ(view.statusCaption, c.line);
    }
    log.AddLine("watchdog\r\nline");
    log.Update("Finished Downloading.", "", 0);
    expected.push_back("watchdog%0D%0Aline");
    expected.push_back("Finished Downloading. ");
    EXPECT_EQ(view.logLines, expected);
    std::string file;
    for (const auto& line : expected) file += line + "\r\n";
    EXPECT_EQ(fileText(), file) << "one status line is one log line";
}

// The file is kept through one open descriptor; whatever someone else does to
// it between two updates, the next update leaves it equal to the pane again,
// also when the pane's text is long enough to be kept packed.
TEST_F(StatusLogTest, FileEqualsThePaneAgainAfterEveryKindOfOutsideChange) {
    const auto sameSizeElsewhere = [this] {
        // Another file of exactly the same size moved over the name: only the
        // file's identity tells.
        const std::string other = root + "/other.log";
        testsupport::writeFile(other, std::string(fileText().size(), 'x'));
        ASSERT_TRUE(std::filesystem::exists(other));
        std::filesystem::rename(other, logFile());
    };
    const struct {
        const char* name;
        std::function<void()> change;
    } changes[] = {
        {"truncated in place", [this] { std::filesystem::resize_file(logFile(), 10); }},
        {"emptied in place", [this] { std::filesystem::resize_file(logFile(), 0); }},
        {"extended in place",
         [this] {
             std::ofstream out(logFile(), std::ios::app | std::ios::binary);
             out << "someone else's line\r\n";
         }},
        {"removed", [this] { std::filesystem::remove(logFile()); }},
        {"replaced by a file of the same size", sameSizeElsewhere},
        {"its folder removed", [this] { std::filesystem::remove_all(root + "/sites"); }},
    };
    int n = 0;
    // Enough lines that the pane's text spans several packed blocks.
    for (; n < 12000; ++n) log.Update("Saved", "http://host.test/page" + std::to_string(n), 0);
    ASSERT_GT(view.logText().size(), 4 * TPaneRecord::kBlockBytes);
    ASSERT_EQ(fileText(), view.logText());
    for (const auto& c : changes) {
        c.change();
        log.Update("Saved", "http://host.test/after/" + std::string(c.name), 0);
        ASSERT_EQ(fileText(), view.logText()) << c.name;
        log.Update("Saved", "http://host.test/next/" + std::to_string(++n), 0);
        ASSERT_EQ(fileText(), view.logText()) << "the update after: " << c.name;
    }
    EXPECT_EQ(log.paneLines(), view.logLines);
    EXPECT_EQ(view.logClears, 0) << "no outside change costs the pane its lines";
}

TEST(PaneRecord, KeepsEveryLineThroughPackedBlocks) {
    TPaneRecord record;
    std::vector<std::string> lines;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        std::string line =
            i % 1000 == 0 ? std::string() : "Saved http://h.test/" + std::to_string(i * 7919);
        record.append(line);
        expected += line + "\r\n";
        lines.push_back(std::move(line));
    }
    EXPECT_EQ(record.lineCount(), lines.size());
    EXPECT_EQ(record.bytes(), static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(record.text(), expected);
    EXPECT_EQ(record.lines(), lines);
    EXPECT_LT(record.memoryBytes(), expected.size() / 2) << "full blocks are kept packed";
    record.clear();
    EXPECT_EQ(record.text(), "");
    EXPECT_EQ(record.lineCount(), 0u);
}
