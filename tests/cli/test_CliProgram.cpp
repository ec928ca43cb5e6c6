#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <ostream>
#include <regex>

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

// How the program is started besides its arguments.
struct Launch {
    QString workingDirectory;  // empty: the test's own
    QString home;              // empty: the test's own HOME
    bool asNobody = false;     // run as the unprivileged user (the test runs as root)
};

CliRun runCli(const QStringList& args, const Launch& launch = {}, int timeoutMs = 60000) {
    QProcess process;
    if (!launch.workingDirectory.isEmpty()) process.setWorkingDirectory(launch.workingDirectory);
    if (!launch.home.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), launch.home);
        process.setProcessEnvironment(env);
    }
    if (launch.asNobody) {
        process.start(QStringLiteral("setpriv"),
                      QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
                                  QStringLiteral(HARVEX_CLI_PATH)} +
                          args);
    } else {
        process.start(QStringLiteral(HARVEX_CLI_PATH), args);
    }
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
    EXPECT_EQ(run.exitCode, 3) << "one link is missing: " << run.err;
    for (const char* file : {"/index.html", "/docs/a.html", "/docs/b.html", "/pic.gif"}) {
        EXPECT_TRUE(testsupport::readFile(save + file).size() > 0) << file;
    }
    EXPECT_EQ(testsupport::readFile(save + "/pic.gif"), std::string(3000, 'g'));
    EXPECT_TRUE(contains(run.out, "Saved " + nginx.baseUrl() + "/docs/b.html\n"));
    // A failed file is an error: standard error, and only there.
    const std::string failed =
        "Error: Could not Download " + nginx.baseUrl() + "/docs/missing.html\n";
    EXPECT_TRUE(contains(run.err, failed));
    EXPECT_FALSE(contains(run.out, failed));
    EXPECT_TRUE(contains(run.out, "Download Summary:\n\nTotal Files Downloaded: 4\n"));
    // After the summary, one line of figures.
    EXPECT_TRUE(contains(run.out, "/\n\nElapsed 0:00:"));
    EXPECT_TRUE(contains(run.out, ", 4 files saved, 1 failed, 0 left in the queue, average rate "));
    // The log file is the desktop program's: it ends with the last status line.
    const std::string log = testsupport::readFile(save + "/downloads.log");
    EXPECT_TRUE(contains(log, "Finished Downloading. \r\n"));
    EXPECT_FALSE(contains(log, "Download Summary:"));
}

TEST_F(CliProgram, RulesAndKindsDecideWhatIsSaved) {
    CliRun run = runCli({"--no-graphics", "--rule", "*.gif:1-2",
                         QString::fromStdString(nginx.baseUrl() + "/"),
                         QString::fromStdString(save), "--quiet"});
    EXPECT_EQ(run.exitCode, 3) << "the site has a missing link: " << run.err;
    EXPECT_EQ(run.out, "") << "--quiet prints nothing";
    EXPECT_TRUE(platform::fs::fileExists(save + "/docs/b.html"));
    // 3000 bytes lie outside 1-2 KB.
    EXPECT_FALSE(platform::fs::fileExists(save + "/pic.gif"));
}

TEST_F(CliProgram, InvalidJobsGiveTheStartPageMessagesAndStatusTwo) {
    // A relative folder is taken from the working directory: only the address is wrong.
    CliRun run = runCli({"ftp://host.test/", "relative/dir"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_FALSE(contains(run.err, "The Drive you have specified is invalid."));
    EXPECT_TRUE(
        contains(run.err, "The Web site you are downloading must start with \"http://\" or \"https://\"\n"));
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

TEST_F(CliProgram, OfflineCopyConvertsItsLinks) {
    nginx.put("docs/b.html", "<a href=\"/index.html\">home</a>");
    CliRun run = runCli(
        {"--offline", QString::fromStdString(nginx.baseUrl() + "/"), QString::fromStdString(save)});
    EXPECT_EQ(run.exitCode, 3) << "one link is missing: " << run.err;
    EXPECT_EQ(testsupport::readFile(save + "/docs/b.html"), "<a href=\"../index.html\">home</a>");
    EXPECT_TRUE(contains(run.out, "Converted links in " + save + "/docs/b.html: 1\n"));
    // The missing page stays on the web.
    EXPECT_TRUE(contains(testsupport::readFile(save + "/docs/a.html"),
                         "<a href=\"" + nginx.baseUrl() + "/docs/missing.html\">gone</a>"));
}

TEST_F(CliProgram, ConvertMakesAnEarlierCopyWorkOffline) {
    nginx.put("docs/b.html", "<a href=\"/index.html\">home</a>");
    ASSERT_EQ(runCli({QString::fromStdString(nginx.baseUrl() + "/"), QString::fromStdString(save),
                      "--quiet"})
                  .exitCode,
              3);
    EXPECT_EQ(testsupport::readFile(save + "/docs/b.html"), "<a href=\"/index.html\">home</a>");

    CliRun run = runCli({"--convert", QString::fromStdString(save)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(testsupport::readFile(save + "/docs/b.html"), "<a href=\"../index.html\">home</a>");
    EXPECT_TRUE(contains(run.out, "Converted links in " + save + "/docs/b.html: 1\n"));
    EXPECT_TRUE(contains(testsupport::readFile(save + "/downloads.log"),
                         "Converted links in " + save + "/docs/b.html: 1\r\n"));

    CliRun nothing = runCli({"--convert", QString::fromStdString(save + "/none")});
    EXPECT_EQ(nothing.exitCode, 2);
    EXPECT_TRUE(contains(nothing.err, "no copy to convert")) << nothing.err;
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

// --- Exit statuses, in the manner of wget ---

namespace {

struct StatusCase {
    const char* name;
    // The arguments, given the site's address and a fresh folder to save in
    // (which holds a file "notes.txt").
    std::function<QStringList(const std::string& site, const std::string& tmp)> args;
    int status;
    const char* onStandardError;  // a part of what is said, or empty
};

std::ostream& operator<<(std::ostream& os, const StatusCase& c) { return os << c.name; }

QStringList qargs(std::initializer_list<std::string> parts) {
    QStringList list;
    for (const std::string& part : parts) list.append(QString::fromStdString(part));
    return list;
}

class ExitStatus : public ::testing::TestWithParam<StatusCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(nginx.start()) << nginx.error();
        nginx.put("index.html", "<a href=\"docs/a.html\">a</a> <img src=\"pic.gif\">");
        nginx.put("docs/a.html", "<a href=\"b.html\">b</a><a href=\"missing.html\">gone</a>");
        nginx.put("docs/b.html", "the end");
        nginx.put("pic.gif", std::string(3000, 'g'));
        nginx.put("whole/index.html", "<a href=\"p.html\">p</a><img src=\"p.gif\">");
        nginx.put("whole/p.html", "p");
        nginx.put("whole/p.gif", "gif");
        testsupport::writeFile(dir.path().toStdString() + "/notes.txt", "a file");
    }
    testsupport::NginxServer nginx;
    QTemporaryDir dir;
};

}  // namespace

TEST_P(ExitStatus, TellsWhatHappened) {
    const StatusCase& c = GetParam();
    CliRun run = runCli(c.args(nginx.baseUrl(), dir.path().toStdString()));
    EXPECT_EQ(run.exitCode, c.status) << run.out << run.err;
    EXPECT_TRUE(contains(run.err, c.onStandardError)) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    CliProgram, ExitStatus,
    ::testing::Values(
        StatusCase{"EveryFileSaved",
                   [](const std::string& site, const std::string& tmp) {
                       return qargs({site + "/whole/", tmp + "/copy"});
                   },
                   0, ""},
        StatusCase{
            "QuotaStop",
            [](const std::string& site, const std::string& tmp) {
                return qargs({site + "/", tmp + "/copy", "--quota", "0", "--on-quota", "stop"});
            },
            1, "Process Stopped at users request"},
        StatusCase{"UnknownOption",
                   [](const std::string& site, const std::string& tmp) {
                       return qargs({site + "/", tmp + "/copy", "--recursive"});
                   },
                   2, "unknown option: --recursive"},
        StatusCase{"LowerBoundAboveUpper",
                   [](const std::string& site, const std::string& tmp) {
                       return qargs({site + "/", tmp + "/copy", "--rule", "*.zip:50-5"});
                   },
                   2, "the lower size bound is above the upper one"},
        StatusCase{"AddressNotHttpAndFolderUnwritable",
                   [](const std::string&, const std::string& tmp) {
                       return qargs({"ftp://h.test/", tmp + "/notes.txt/copy"});
                   },
                   2, "must start with \"http://\" or \"https://\""},
        StatusCase{"SomeFilesMissing",
                   [](const std::string& site, const std::string& tmp) {
                       return qargs({site + "/", tmp + "/copy"});
                   },
                   3, "/docs/missing.html"},
        StatusCase{"StartPageMissing",
                   [](const std::string& site, const std::string& tmp) {
                       return qargs({site + "/nothing.html", tmp + "/copy"});
                   },
                   4, "Error: Could not Download"},
        StatusCase{"StartPortRefused",
                   [](const std::string&, const std::string& tmp) {
                       return qargs(
                           {"http://127.0.0.1:" + std::to_string(testsupport::freeTcpPort()) + "/",
                            tmp + "/copy"});
                   },
                   4, "Warning: Could not Download Header"},
        // The resolver refuses a name with an empty label itself: no query
        // leaves the machine.
        StatusCase{"StartHostUnknown",
                   [](const std::string&, const std::string& tmp) {
                       return qargs({"http://no..such/", tmp + "/copy"});
                   },
                   4, "Warning: Could not Download Header"},
        StatusCase{"SaveFolderUnderAFile",
                   [](const std::string& site, const std::string& tmp) {
                       return qargs({site + "/", tmp + "/notes.txt/copy"});
                   },
                   4,
                   "The Directory you have specified can not be created or written to (Not a "
                   "directory). Please specify another.\n"},
        StatusCase{"SaveFolderOnAPseudoFileSystem",
                   [](const std::string& site, const std::string&) {
                       return qargs({site + "/", "/proc/harvex-copy"});
                   },
                   4, "(Pseudo file system)"}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

TEST_F(CliProgram, ReadOnlySaveFolderEndsWithStatusFour) {
    // Root writes anywhere: the folder is read-only for the user nobody.
    const std::string readOnly = dir.path().toStdString() + "/read-only";
    ASSERT_EQ(::mkdir(readOnly.c_str(), 0555), 0);
    ASSERT_EQ(::chmod(dir.path().toStdString().c_str(), 0755), 0);
    Launch launch;
    launch.asNobody = ::geteuid() == 0;
    CliRun run = runCli(qargs({nginx.baseUrl() + "/", readOnly + "/copy"}), launch);
    if (launch.asNobody && contains(run.err, "setpriv"))
        GTEST_SKIP() << "cannot run as the user nobody here: " << run.err;
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_TRUE(contains(run.err, "can not be created or written to (Permission denied)"));
    EXPECT_FALSE(contains(run.out, "Download Summary:")) << "nothing was fetched";
}

// When the log file cannot be written the engine resets the pane at every
// status update and adds the line again: the terminal shows it once.
TEST_F(CliProgram, StatusLinesArePrintedOnceWhenTheLogCannotBeWritten) {
    const std::string blocked = dir.path().toStdString() + "/blocked";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(blocked + "/downloads.log")));
    CliRun reset = runCli(qargs({nginx.baseUrl() + "/", blocked}));
    CliRun plain = runCli(qargs({nginx.baseUrl() + "/", save}));
    // The steps up to the summary, each save folder written the same way.
    auto steps = [](const std::string& out, const std::string& folder) {
        std::string text = out.substr(0, out.find("Download Summary:"));
        for (std::size_t at; (at = text.find(folder)) != std::string::npos;)
            text.replace(at, folder.size(), "SAVE_DIR");
        return text;
    };
    EXPECT_EQ(steps(reset.out, blocked), steps(plain.out, save));
    EXPECT_EQ(reset.err, plain.err);
    EXPECT_TRUE(contains(reset.out, "Saved " + nginx.baseUrl() + "/docs/b.html\n"));
}

TEST(CliVersion, PrintsTheProjectVersion) {
    CliRun run = runCli({"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, std::string("harvex-cli ") + HARVEX_VERSION + "\n");
}

TEST_F(CliProgram, RelativeSaveFolderIsTakenFromTheWorkingDirectory) {
    Launch launch;
    launch.workingDirectory = dir.path();
    CliRun run = runCli(qargs({nginx.baseUrl() + "/docs/b.html", "./copy/site"}), launch);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(testsupport::readFile(dir.path().toStdString() + "/copy/site/docs/b.html"),
              "the end");
    EXPECT_TRUE(
        contains(run.out, "stored in or under " + dir.path().toStdString() + "/copy/site/\n"));
}

// --- A site behind a password ---

namespace {

class CliAuth : public ::testing::Test {
protected:
    void SetUp() override {
        QProcess htpasswd;
        htpasswd.start(QStringLiteral("htpasswd"), {"-nbm", "dana", kPassword});
        ASSERT_TRUE(htpasswd.waitForFinished(10000));
        const std::string entry = htpasswd.readAllStandardOutput().trimmed().toStdString();
        ASSERT_EQ(entry.rfind("dana:", 0), 0u) << "htpasswd (apache2-utils) is needed";
        const std::string passwords = dir.path().toStdString() + "/htpasswd";
        testsupport::writeFile(passwords, entry + "\n");
        nginx = std::make_unique<testsupport::NginxServer>(
            "    location /club/ { auth_basic \"Club\"; auth_basic_user_file " + passwords +
            "; }\n");
        ASSERT_TRUE(nginx->start()) << nginx->error();
        nginx->put("club/index.html", "<a href=\"a.html\">a</a><img src=\"logo.gif\">");
        nginx->put("club/a.html", "first");
        nginx->put("club/logo.gif", "GIF89a");
        home = dir.path() + "/home";
        QDir().mkpath(home);
        save = dir.path().toStdString() + "/copy";
    }

    QStringList site(QStringList extra = {}) const {
        return QStringList{QString::fromStdString(nginx->baseUrl() + "/club/"),
                           QString::fromStdString(save)} +
               extra;
    }
    Launch withHome() const {
        Launch launch;
        launch.home = home;
        return launch;
    }
    void expectCopied(const CliRun& run) {
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(testsupport::readFile(save + "/club/a.html"), "first");
        EXPECT_EQ(testsupport::readFile(save + "/club/logo.gif"), "GIF89a");
        expectNoSecret(run);
    }
    void expectNoSecret(const CliRun& run) {
        EXPECT_FALSE(contains(run.out + run.err, kPassword));
        EXPECT_FALSE(contains(testsupport::readFile(save + "/downloads.log"), kPassword));
    }

    static constexpr const char* kPassword = "s3cret-Pw";
    QTemporaryDir dir;
    std::unique_ptr<testsupport::NginxServer> nginx;
    QString home;
    std::string save;
};

}  // namespace

TEST_F(CliAuth, UserAndPasswordOptions) {
    expectCopied(runCli(site({"--user", "dana", "--password", kPassword}), withHome()));
}

TEST_F(CliAuth, PasswordFile) {
    const std::string file = dir.path().toStdString() + "/pw";
    testsupport::writeFile(file, std::string(kPassword) + "\n");
    expectCopied(
        runCli(site({"--user=dana", "--password-file", QString::fromStdString(file)}), withHome()));
    CliRun missing =
        runCli(site({"--user=dana", "--password-file", "/nonexistent/pw"}), withHome());
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(contains(missing.err, "cannot read --password-file /nonexistent/pw"));
}

TEST_F(CliAuth, NetrcInTheHomeFolder) {
    testsupport::writeFile(home.toStdString() + "/.netrc",
                           "machine other.test login x password y\n"
                           "machine 127.0.0.1\n  login dana\n  password " +
                               std::string(kPassword) + "\n");
    expectCopied(runCli(site(), withHome()));
}

TEST_F(CliAuth, RefusedOrMissingCredentialsSaveNothing) {
    CliRun wrong = runCli(site({"--user", "dana", "--password", "wrong"}), withHome());
    EXPECT_EQ(wrong.exitCode, 4) << wrong.err;
    EXPECT_TRUE(
        contains(wrong.err, "the user name and password for \"Club\" on 127.0.0.1 were refused"));
    EXPECT_FALSE(contains(wrong.out + wrong.err, "wrong")) << "no password in any line";

    CliRun none = runCli(site(), withHome());
    EXPECT_EQ(none.exitCode, 4) << none.err;
    EXPECT_TRUE(contains(none.err, "\"Club\" on 127.0.0.1 asks for a user name and password"));
    expectNoSecret(none);
}

TEST_F(CliAuth, PasswordOptionIsBlankedInTheProcessList) {
    // A big file at a slow rate keeps the program running while its
    // arguments are read.
    testsupport::NginxServer slow("    location / { limit_rate 256k; }\n");
    ASSERT_TRUE(slow.start()) << slow.error();
    slow.put("big.gif", std::string(2 * 1024 * 1024, 'b'));
    QProcess process;
    process.start(
        QStringLiteral(HARVEX_CLI_PATH),
        {QString::fromStdString(slow.baseUrl() + "/big.gif"), QString::fromStdString(save),
         "--verbose", "--user", "dana", QStringLiteral("--password=") + kPassword});
    ASSERT_TRUE(process.waitForStarted(10000));
    std::string out;
    ASSERT_TRUE(waitForText(process, QProcess::StandardOutput, "Downloading", out));
    const std::string cmdline =
        testsupport::readFile("/proc/" + std::to_string(process.processId()) + "/cmdline");
    process.kill();
    process.waitForFinished(10000);
    EXPECT_TRUE(contains(cmdline, "--user")) << "the list was read";
    EXPECT_FALSE(contains(cmdline, kPassword));
}

TEST_F(CliInterrupt, SecondCtrlCLeavesTheEarlierCopyAndNoPartialFile) {
    const std::string copy = dir.path().toStdString() + "/copy";
    testsupport::writeFile(copy + "/big.gif", "the earlier copy");
    QProcess process;
    process.start(QStringLiteral(HARVEX_CLI_PATH),
                  {QString::fromStdString(slow.baseUrl() + "/big.gif"),
                   QString::fromStdString(copy), "--verbose"});
    ASSERT_TRUE(process.waitForStarted(10000));
    std::string out, err;
    ASSERT_TRUE(waitForText(process, QProcess::StandardOutput,
                            "Downloading " + slow.baseUrl() + "/big.gif", out));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(waitForText(process, QProcess::StandardError,
                            "Please wait while the Harvex halts downloading...", err));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_EQ(testsupport::readFile(copy + "/big.gif"), "the earlier copy");
    std::vector<std::string> left;
    for (const QString& name : QDir(QString::fromStdString(copy))
                                   .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        left.push_back(name.toStdString());
    EXPECT_EQ(left, (std::vector<std::string>{"big.gif", "downloads.log"}))
        << "no temporary file stays";
}

// On a terminal (here a pseudo-terminal made by script(1)) the steps share one
// line that is redrawn in place: files saved and failed, queued, bytes, rate
// and the current step with its URL; the summary and the end line follow.
TEST_F(CliProgram, OnATerminalOneProgressLineShowsFilesBytesRateAndAddress) {
    const std::string command = std::string("stty cols 200; '") + HARVEX_CLI_PATH + "' '" +
                                nginx.baseUrl() + "/' '" + save + "'";
    QProcess process;
    process.start(QStringLiteral("script"),
                  {"-qec", QString::fromStdString(command), QStringLiteral("/dev/null")});
    ASSERT_TRUE(process.waitForStarted(10000));
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 3) << "one link is missing";
    const std::string terminal = process.readAllStandardOutput().toStdString();
    const std::regex progress(
        R"(\r\x1b\[K\[\d+ saved, \d+ failed, \d+ queued, \d[^,\]]*, \d[^\]]*/s\] Downloading http://127\.0\.0\.1:\d+/docs/b\.html)");
    EXPECT_TRUE(std::regex_search(terminal, progress)) << terminal;
    EXPECT_FALSE(contains(terminal, "Saved " + nginx.baseUrl() + "/docs/b.html\r\n"))
        << "status lines do not scroll";
    EXPECT_TRUE(contains(
        terminal, "Error: Could not Download " + nginx.baseUrl() + "/docs/missing.html\r\n"));
    EXPECT_TRUE(contains(terminal, "Total Files Downloaded: 4\r\n"));
    EXPECT_TRUE(contains(terminal, "4 files saved, 1 failed, 0 left in the queue"));
}
