#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <QTemporaryDir>

#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "tests/support/Peers.h"

// harvex-cli as a user runs it: a real nginx, the real binary, its exit status
// and what it prints.
namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

CliRun runCli(const QStringList& args, int timeoutMs = 60000) {
    QProcess process;
    process.start(QStringLiteral(HARVEX_CLI_PATH), args);
    EXPECT_TRUE(process.waitForStarted(10000));
    EXPECT_TRUE(process.waitForFinished(timeoutMs)) << "harvex-cli did not end";
    CliRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Collects what the process writes on one channel into seen until text appears.
bool waitForText(QProcess& process, QProcess::ProcessChannel channel, const std::string& text,
                 std::string& seen) {
    return platform::waitUntilFor(
        [&] {
            process.setReadChannel(channel);
            process.waitForReadyRead(50);
            seen += process.readAll().toStdString();
            return contains(seen, text);
        },
        30000);
}

class CliProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(nginx.start()) << nginx.error();
        nginx.put("index.html", "<html><a href=\"docs/a.html\">a</a> <img src=\"pic.gif\"></html>");
        nginx.put("docs/a.html", "<a href=\"b.html\">b</a><a href=\"missing.html\">gone</a>");
        nginx.put("docs/b.html", "the end");
        nginx.put("pic.gif", std::string(3000, 'g'));
        save = dir.path().toStdString() + "/copy";
    }

    testsupport::NginxServer nginx;
    QTemporaryDir dir;
    std::string save;
};

}  // namespace

TEST_F(CliProgram, CopiesASiteAndPrintsEveryStatusLineThenTheSummary) {
    CliRun run =
        runCli({QString::fromStdString(nginx.baseUrl() + "/"), QString::fromStdString(save)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    for (const char* file : {"/index.html", "/docs/a.html", "/docs/b.html", "/pic.gif"}) {
        EXPECT_TRUE(testsupport::readFile(save + file).size() > 0) << file;
    }
    EXPECT_EQ(testsupport::readFile(save + "/pic.gif"), std::string(3000, 'g'));
    EXPECT_TRUE(contains(run.out, "Saved " + nginx.baseUrl() + "/docs/b.html\n"));
    EXPECT_TRUE(
        contains(run.out, "Error: Could not Download " + nginx.baseUrl() + "/docs/missing.html\n"));
    EXPECT_TRUE(contains(run.out, "Download Summary:\n\nTotal Files Downloaded: 4\n"));
    // The log file is the desktop program's: it ends with the last status line.
    const std::string log = testsupport::readFile(save + "/downloads.log");
    EXPECT_TRUE(contains(log, "Finished Downloading. \r\n"));
    EXPECT_FALSE(contains(log, "Download Summary:"));
}

TEST_F(CliProgram, RulesAndKindsDecideWhatIsSaved) {
    CliRun run = runCli({"--no-graphics", "--rule", "*.gif:1-2",
                         QString::fromStdString(nginx.baseUrl() + "/"),
                         QString::fromStdString(save), "--quiet"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "") << "--quiet prints nothing";
    EXPECT_TRUE(platform::fs::fileExists(save + "/docs/b.html"));
    // 3000 bytes lie outside 1-2 KB.
    EXPECT_FALSE(platform::fs::fileExists(save + "/pic.gif"));
}

TEST_F(CliProgram, InvalidJobsGiveTheStartPageMessagesAndStatusTwo) {
    CliRun run = runCli({"ftp://host.test/", "relative/dir"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(
        contains(run.err, "The Drive you have specified is invalid. Please specify another.\n"));
    EXPECT_TRUE(
        contains(run.err, "The Web site you are downloading must start with \"http://\"\n"));
    EXPECT_FALSE(platform::fs::fileExists("relative/dir/downloads.log"));

    CliRun usage = runCli({"http://host.test/"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_TRUE(contains(usage.err, "Try 'harvex-cli --help'"));

    CliRun help = runCli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(contains(help.out, "Usage: harvex-cli START_URL SAVE_DIR"));
}

TEST_F(CliProgram, QuotaStopEndsWithStatusOne) {
    CliRun run =
        runCli({"--quota", "0", "--on-quota", "stop", QString::fromStdString(nginx.baseUrl() + "/"),
                QString::fromStdString(save)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(contains(
        run.err, "Process Stopped at users request: 0 megabytes of information downloaded"));
    EXPECT_TRUE(contains(run.out, "Download Summary:"));
}

class CliInterrupt : public ::testing::Test {
protected:
    void SetUp() override {
        // A slow file keeps a transfer running while the test presses Ctrl-C.
        ASSERT_TRUE(slow.start()) << slow.error();
        slow.put("big.gif", std::string(3 * 1024 * 1024, 'b'));
        // The last link is fetched first, so later.html is still queued.
        slow.put("index.html", "<a href=\"later.html\">x</a><img src=\"big.gif\">");
        slow.put("later.html", "later");
    }
    testsupport::NginxServer slow{"location / { limit_rate 512k; }"};
    QTemporaryDir dir;
};

TEST_F(CliInterrupt, CtrlCActsAsTheStopButton) {
    QProcess process;
    process.start(QStringLiteral(HARVEX_CLI_PATH),
                  {QString::fromStdString(slow.baseUrl() + "/index.html"), dir.path() + "/copy",
                   "--verbose"});
    ASSERT_TRUE(process.waitForStarted(10000));
    std::string out;
    ASSERT_TRUE(waitForText(process, QProcess::StandardOutput,
                            "Downloading " + slow.baseUrl() + "/big.gif", out));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    out += process.readAllStandardOutput().toStdString();
    const std::string err = process.readAllStandardError().toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << out << err;
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(contains(err, "Please wait while the Harvex halts downloading..."));
    EXPECT_TRUE(contains(err, "Downloads Halted!"));
    EXPECT_TRUE(contains(out, "Download Summary:"));
    EXPECT_TRUE(platform::fs::fileExists(dir.path().toStdString() + "/copy/big.gif"))
        << "the transfer completes";
    EXPECT_FALSE(platform::fs::fileExists(dir.path().toStdString() + "/copy/later.html"));
}

TEST_F(CliInterrupt, SecondCtrlCEndsAtOnce) {
    QProcess process;
    process.start(
        QStringLiteral(HARVEX_CLI_PATH),
        {QString::fromStdString(slow.baseUrl() + "/big.gif"), dir.path() + "/copy", "--verbose"});
    ASSERT_TRUE(process.waitForStarted(10000));
    std::string out;
    ASSERT_TRUE(waitForText(process, QProcess::StandardOutput,
                            "Downloading " + slow.baseUrl() + "/big.gif", out));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    // Signals sent back to back may merge into one: the second follows the answer to the first.
    std::string err;
    ASSERT_TRUE(waitForText(process, QProcess::StandardError,
                            "Please wait while the Harvex halts downloading...", err));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    // The 3 MiB file at 512 KiB/s would take six seconds; the program ends first.
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_FALSE(contains(process.readAllStandardOutput().toStdString(), "Download Summary:"));
}
