#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <functional>
#include <optional>
#include <ostream>

#include "engine/JobValidation.h"
#include "testing/EngineUnderTest.h"
#include "testing/PlainJobView.h"
#include "engine/wsmain.h"
#include "tests/support/Peers.h"

using engine::CheckStartPage;

namespace {

std::vector<std::string> texts(const platform::ScriptedDialogs& dialogs) {
    std::vector<std::string> out;
    for (const auto& call : dialogs.calls) out.push_back(call.text);
    return out;
}

const std::string kBlank = "One or more of the text boxes have been left blank.";
const std::string kDrive = "The Drive you have specified is invalid. Please specify another.";
const std::string kHttp = "The Web site you are downloading must start with \"http://\" or \"https://\"";

}  // namespace

TEST(CheckStartPage, EmptyAddressGivesBothMessagesInOrder) {
    engine::PlainJobView view;
    engine::EngineUnderTest engine(view);
    view.startURL = "";
    view.saveDirectory = "/tmp";
    EXPECT_FALSE(CheckStartPage(engine));
    EXPECT_EQ(texts(view.dialogs), (std::vector<std::string>{kBlank, kHttp}));
}

TEST(CheckStartPage, DefaultAddressWithAUsableFolderPasses) {
    QTemporaryDir tmp;
    engine::PlainJobView view;
    engine::EngineUnderTest engine(view);
    view.saveDirectory = tmp.path().toStdString() + "/Not/Yet/There";
    EXPECT_TRUE(CheckStartPage(engine));
    EXPECT_TRUE(view.dialogs.calls.empty());
    EXPECT_GT(engine.iDiskFree, 0);
    EXPECT_EQ(view.saveDirectory, tmp.path().toStdString() + "/Not/Yet/There")
        << "letter case is kept";
}

TEST(CheckStartPage, RelativeFolderIsAnInvalidDrive) {
    engine::PlainJobView view;
    engine::EngineUnderTest engine(view);
    view.startURL = "ftp://h.test/";
    view.saveDirectory = "relative/place";
    EXPECT_FALSE(CheckStartPage(engine));
    EXPECT_EQ(texts(view.dialogs), (std::vector<std::string>{kDrive, kHttp}));
    EXPECT_EQ(engine.iDiskFree, -1);
}

TEST(CheckStartPage, HomeFolderIsExpandedInTheSetting) {
    engine::PlainJobView view;
    engine::EngineUnderTest engine(view);
    view.startURL = "HTTP://h.test/";
    view.saveDirectory = "~/harvex-validation-check";
    EXPECT_TRUE(CheckStartPage(engine));
    EXPECT_EQ(view.saveDirectory.front(), '/');
    EXPECT_NE(view.saveDirectory.find("/harvex-validation-check"), std::string::npos);
}

// A save folder that cannot be created or cannot take files is refused on the
// start-address page, with the system's reason, before any page is fetched.
namespace {

const std::string kCannotWrite =
    "The Directory you have specified can not be created or written to (";

struct FolderCase {
    const char* name;
    // The folder to check, made under a fresh temporary folder.
    std::function<std::string(const std::string& tmp)> make;
    const char* reason;  // empty: the folder is accepted
};

std::ostream& operator<<(std::ostream& os, const FolderCase& c) { return os << c.name; }

std::vector<std::string> folderEntries(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : QDir(QString::fromStdString(path))
                                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        names.push_back(entry.toStdString());
    return names;
}

class SaveFolder : public ::testing::TestWithParam<FolderCase> {};

}  // namespace

TEST_P(SaveFolder, IsRefusedWhenItCannotHoldFiles) {
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    testsupport::writeFile(root + "/notes.txt", "a file where a folder would go");
    const std::string folder = GetParam().make(root);

    engine::PlainJobView view;
    engine::EngineUnderTest engine(view);
    view.startURL = "http://h.test/";
    view.saveDirectory = folder;
    const engine::StartPageFindings findings = engine::ValidateStartPage(engine);
    const std::string reason = GetParam().reason;
    if (reason.empty()) {
        EXPECT_TRUE(findings.passed());
        EXPECT_TRUE(view.dialogs.calls.empty());
    } else {
        EXPECT_TRUE(findings.folderNotWritable);
        EXPECT_FALSE(findings.invalidDrive) << "free space of an ancestor is no reason to accept";
        EXPECT_EQ(texts(view.dialogs),
                  (std::vector<std::string>{kCannotWrite + reason + "). Please specify another."}));
        EXPECT_EQ(view.dialogs.calls[0].kind, platform::DialogKind::Error);
    }
    // The check leaves nothing behind: no folder made, no probe left over.
    EXPECT_EQ(folderEntries(root), (std::vector<std::string>{"notes.txt"})) << folder;
}

INSTANTIATE_TEST_SUITE_P(
    CheckStartPage, SaveFolder,
    ::testing::Values(
        FolderCase{"UnderAFile", [](const std::string& t) { return t + "/notes.txt/copy"; },
                   "Not a directory"},
        FolderCase{"AFile", [](const std::string& t) { return t + "/notes.txt"; },
                   "Not a directory"},
        FolderCase{"Proc", [](const std::string&) { return std::string("/proc"); },
                   "Pseudo file system"},
        FolderCase{"UnderProc", [](const std::string&) { return std::string("/proc/harvex-copy"); },
                   "Pseudo file system"},
        FolderCase{"UnderSys", [](const std::string&) { return std::string("/sys/harvex/copy"); },
                   "Pseudo file system"},
        FolderCase{"MissingUnderAWritableFolder",
                   [](const std::string& t) { return t + "/not/yet/there/"; }, ""},
        FolderCase{"ExistingWritable", [](const std::string& t) { return t; }, ""}),
    [](const ::testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

namespace {

// Runs the check on a folder as the unprivileged user "nobody" (root may write
// anywhere): in a child process whose identity is dropped before the check.
// Returns the box texts, or nothing when the child failed.
std::optional<std::vector<std::string>> checkAsNobody(engine::THvxEngine& engine,
                                                      engine::PlainJobView& view) {
    int fds[2];
    if (::pipe(fds) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        ::close(fds[0]);
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody || ::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
            ::setuid(nobody->pw_uid) != 0)
            ::_exit(3);
        engine::CheckStartPage(engine);
        std::string out;
        for (const auto& text : texts(view.dialogs)) out += text + "\n";
        const bool written =
            ::write(fds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
        ::_exit(written ? 0 : 4);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[1024];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(out.substr(start, end - start));
    return lines;
}

}  // namespace

TEST(CheckStartPage, ReadOnlyFolderIsRefusedForAUserWhoCannotWriteIt) {
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    const std::string readOnly = root + "/read-only";
    ASSERT_EQ(::mkdir(readOnly.c_str(), 0555), 0);
    // Whoever runs the check must be able to reach the folder, not to write it.
    ASSERT_EQ(::chmod(root.c_str(), 0755), 0);

    const std::vector<std::string> expected{kCannotWrite +
                                            "Permission denied). Please specify another."};
    for (const std::string& folder : {readOnly, readOnly + "/copy"}) {
        engine::PlainJobView view;
        engine::EngineUnderTest engine(view);
        view.startURL = "http://h.test/";
        view.saveDirectory = folder;
        if (::geteuid() != 0) {
            EXPECT_FALSE(engine::CheckStartPage(engine));
            EXPECT_EQ(texts(view.dialogs), expected) << folder;
            continue;
        }
        auto boxes = checkAsNobody(engine, view);
        if (!boxes) GTEST_SKIP() << "cannot run the check as the user nobody on this machine";
        EXPECT_EQ(*boxes, expected) << folder;
    }
    EXPECT_EQ(folderEntries(readOnly), std::vector<std::string>{});
}

struct SchemeCase {
    const char* name;
    const char* startURL;
    bool accepted;
};

class StartAddressScheme : public ::testing::TestWithParam<SchemeCase> {};

TEST_P(StartAddressScheme, HttpAndHttpsAreTheWebsSchemes) {
    const SchemeCase& c = GetParam();
    QTemporaryDir tmp;
    engine::PlainJobView view;
    engine::EngineUnderTest engine(view);
    view.startURL = c.startURL;
    view.saveDirectory = tmp.path().toStdString() + "/copy";
    EXPECT_EQ(CheckStartPage(engine), c.accepted) << c.startURL;
    EXPECT_EQ(texts(view.dialogs),
              c.accepted ? std::vector<std::string>{} : std::vector<std::string>{kHttp});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StartAddressScheme,
    ::testing::Values(SchemeCase{"Http", "http://h.test/", true},
                      SchemeCase{"Https", "https://h.test/docs/", true},
                      SchemeCase{"HttpsUpperCase", "HTTPS://H.test/", true},
                      SchemeCase{"HttpsBracketedHost", "https://[::1]:8443/", true},
                      SchemeCase{"Ftp", "ftp://h.test/", false},
                      SchemeCase{"HttpsMissingSlash", "https:/h.test/", false},
                      SchemeCase{"NoScheme", "h.test/", false}),
    [](const auto& info) { return std::string(info.param.name); });
