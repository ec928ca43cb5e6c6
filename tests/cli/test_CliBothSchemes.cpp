#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "tests/cli/CliRun.h"
#include "tests/support/CertificateKit.h"
#include "tests/support/DualSchemeNginxServer.h"
#include "tests/support/Peers.h"

// harvex-cli copying a site that one nginx serves on one address under both
// schemes (http on port 80, https on 443): the two forms of a page are one
// page, fetched once and saved once.
namespace {

using clitest::CliRun;
using clitest::runCli;
using testsupport::AccessLogLine;
using testsupport::DualSchemeNginxServer;

const testsupport::CertificateKit& kit() { return testsupport::sharedCertificateKit(); }

// Distinct binary contents (every byte value, shifted by seed).
std::string binaryBytes(int seed, int rounds) {
    std::string bytes;
    for (int round = 0; round < rounds; ++round)
        for (int b = 0; b < 256; ++b) bytes += static_cast<char>((b + seed) & 0xff);
    return bytes;
}

// The site, by its path under the document root. Its pages link one another
// in absolute http:// and https:// forms and relative forms, so that every
// page and file is reached under both schemes.
struct Site {
    std::map<std::string, std::string> files;  // path -> content
    std::set<std::string> pages;               // fetched whole and read for links
};

// The text with every "{http}" and "{https}" replaced by the site's address
// under that scheme.
std::string onHost(std::string text, const std::string& host) {
    const std::pair<std::string, std::string> marks[] = {{"{https}", "https://" + host},
                                                         {"{http}", "http://" + host}};
    for (const auto& [mark, address] : marks)
        for (auto at = text.find(mark); at != std::string::npos;
             at = text.find(mark, at + address.size()))
            text.replace(at, mark.size(), address);
    return text;
}

Site makeSite(const std::string& host) {
    Site site;
    // clang-format off
    site.files["index.html"] = onHost(
        "<html><head><link rel=\"stylesheet\" href=\"{https}/style.css\"></head><body>"
        "<a href=\"about.html\">about</a> <a href=\"{http}/docs/guide.html\">guide</a> "
        "<a href=\"{https}/docs/guide.html\">guide again</a> "
        "<img src=\"img/logo.gif\"> <img src=\"{http}/img/photo.jpg\"></body></html>", host);
    site.files["about.html"] = onHost(
        "<html><head><link rel=\"stylesheet\" href=\"{http}/style.css\"></head><body>"
        "<a href=\"{http}/\">home</a> <a href=\"{https}/\">home again</a> "
        "<a href=\"docs/guide.html\">guide</a> <img src=\"{https}/img/logo.gif\"></body></html>",
        host);
    site.files["docs/guide.html"] = onHost(
        "<html><head><link rel=\"stylesheet\" href=\"/style.css\"></head><body>"
        "<a href=\"../about.html\">about</a> <a href=\"{https}/about.html\">about</a> "
        "<a href=\"{http}/docs/notes.html\">notes</a> <a href=\"../\">home</a> "
        "<img src=\"../img/photo.jpg\"> <img src=\"{http}/img/diagram.png\"></body></html>", host);
    site.files["docs/notes.html"] = onHost(
        "<html><body><a href=\"{https}/docs/guide.html\">guide</a> "
        "<a href=\"./guide.html\">guide</a> <a href=\"{http}/docs/notes.html\">here</a> "
        "<img src=\"{https}/img/diagram.png\"></body></html>", host);
    // clang-format on
    site.files["style.css"] = "body { color: #222; background: #fff; }\na { color: #06c; }\n";
    site.files["img/logo.gif"] = binaryBytes(1, 3);
    site.files["img/photo.jpg"] = binaryBytes(2, 40);
    site.files["img/diagram.png"] = binaryBytes(3, 7);
    site.pages = {"index.html", "about.html", "docs/guide.html", "docs/notes.html"};
    return site;
}

void putSite(const DualSchemeNginxServer& server, const Site& site) {
    for (const auto& [path, content] : site.files) server.put(path, content);
}

// How often each (method, target) pair met a given status in the log.
using RequestCounts = std::map<std::pair<std::string, std::string>, int>;

RequestCounts countRequests(const std::vector<AccessLogLine>& log, int status,
                            const std::string& scheme = {}) {
    RequestCounts counts;
    for (const AccessLogLine& line : log)
        if (line.status == status && (scheme.empty() || line.scheme == scheme))
            ++counts[{line.method, line.target}];
    return counts;
}

// What a copy of the site asks for: every file's GET once and, for the files
// that are not pages, one HEAD before it. The start folder "/" is resolved to
// its default document first: a HEAD for the folder and one for the name.
RequestCounts expectedRequests(const Site& site) {
    RequestCounts counts;
    for (const auto& [path, content] : site.files) {
        counts[{"GET", "/" + path}] = 1;
        if (!site.pages.contains(path)) counts[{"HEAD", "/" + path}] = 1;
    }
    counts[{"HEAD", "/"}] = 1;
    counts[{"HEAD", "/index.html"}] = 1;
    return counts;
}

int total(const RequestCounts& counts) {
    int sum = 0;
    for (const auto& [request, count] : counts) sum += count;
    return sum;
}

std::string describe(const RequestCounts& counts) {
    std::string text;
    for (const auto& [request, count] : counts)
        text += "  " + request.first + " " + request.second + " x" + std::to_string(count) + "\n";
    return text;
}

// The job's own status log, which the copy keeps beside the site's files.
constexpr const char* kJobLog = "downloads.log";

// Every file under folder but the job log, by its path relative to it, with
// its content.
std::map<std::string, std::string> filesUnder(const std::string& folder) {
    std::map<std::string, std::string> files;
    const QDir root(QString::fromStdString(folder));
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const std::string relative = root.relativeFilePath(path).toStdString();
        if (relative == kJobLog) continue;
        files[relative] = testsupport::readFile(path.toStdString());
    }
    return files;
}

// The copy on disk is the site: the same paths (one tree, whatever scheme a
// file came by) and the same bytes.
void expectCopyIsTheSite(const std::string& save, const Site& site) {
    const std::map<std::string, std::string> copy = filesUnder(save);
    std::string missing;
    std::string differing;
    std::string extra;
    for (const auto& [path, content] : site.files) {
        const auto found = copy.find(path);
        if (found == copy.end())
            missing += " " + path;
        else if (found->second != content)
            differing += " " + path;
    }
    for (const auto& [path, content] : copy)
        if (!site.files.contains(path)) extra += " " + path;
    EXPECT_EQ(missing, "") << "files not copied";
    EXPECT_EQ(differing, "") << "files whose bytes differ from the site's";
    EXPECT_EQ(extra, "") << "files on disk the site does not have";
}

// Skips when ports 80/443 cannot be had, fails when nginx cannot start.
#define START_OR_SKIP(server)                                                           \
    do {                                                                                \
        ASSERT_TRUE(kit().ready()) << kit().error();                                    \
        const DualSchemeNginxServer::Start started = (server).start();                  \
        if (started == DualSchemeNginxServer::Start::PortsUnavailable)                  \
            GTEST_SKIP() << "needs ports 80 and 443 on loopback: " << (server).error(); \
        ASSERT_EQ(started, DualSchemeNginxServer::Start::Started) << (server).error();  \
    } while (false)

struct StartRow {
    const char* name;
    bool secure;  // start at https:// (else http://)
};

void PrintTo(const StartRow& row, std::ostream* out) { *out << row.name; }

class CliBothSchemes : public ::testing::TestWithParam<StartRow> {};

TEST_P(CliBothSchemes, EachFileIsFetchedOnceIntoOneTree) {
    DualSchemeNginxServer server(kit());
    START_OR_SKIP(server);
    const Site site = makeSite(server.address());
    putSite(server, site);
    QTemporaryDir dir;
    const std::string save = dir.path().toStdString() + "/copy";
    const std::string start = (GetParam().secure ? server.httpsUrl() : server.httpUrl()) + "/";
    const CliRun run =
        runCli({QString::fromStdString(start), QString::fromStdString(save), "--everything",
                "--ca-certificate", QString::fromStdString(kit().caFile())});
    EXPECT_EQ(run.exitCode, 0) << run.err << run.out;

    const std::vector<AccessLogLine> log = server.accessLog();
    const RequestCounts answered = countRequests(log, 200);
    EXPECT_EQ(answered, expectedRequests(site)) << "asked for:\n"
                                                << describe(answered) << "access log:\n"
                                                << server.accessLogText();
    EXPECT_EQ(static_cast<std::size_t>(total(answered)), log.size())
        << "requests not answered with 200:\n"
        << server.accessLogText();
    expectCopyIsTheSite(save, site);
}

INSTANTIATE_TEST_SUITE_P(Rows, CliBothSchemes,
                         ::testing::Values(StartRow{"StartAtHttp", false},
                                           StartRow{"StartAtHttps", true}),
                         [](const ::testing::TestParamInfo<StartRow>& info) {
                             return info.param.name;
                         });

// The http listener sends every request to its https form: the whole site is
// copied from https, each redirect followed once, each file fetched once.
TEST(CliBothSchemesRedirect, HttpToHttpsRedirectCopiesTheWholeSite) {
    DualSchemeNginxServer server(kit());
    server.plainServerConfig("return 301 https://$host$request_uri;");
    START_OR_SKIP(server);
    const Site site = makeSite(server.address());
    putSite(server, site);
    QTemporaryDir dir;
    const std::string save = dir.path().toStdString() + "/copy";
    const CliRun run =
        runCli({QString::fromStdString(server.httpUrl() + "/"), QString::fromStdString(save),
                "--everything", "--ca-certificate", QString::fromStdString(kit().caFile())});
    EXPECT_EQ(run.exitCode, 0) << run.err << run.out;

    const std::vector<AccessLogLine> log = server.accessLog();
    const RequestCounts secure = countRequests(log, 200, "https");
    EXPECT_EQ(secure, expectedRequests(site)) << "asked over https:\n"
                                              << describe(secure) << "access log:\n"
                                              << server.accessLogText();
    // Whatever reached the http listener was redirected, and nothing was
    // sent there twice.
    const RequestCounts redirected = countRequests(log, 301, "http");
    EXPECT_EQ(redirected.count({"HEAD", "/"}), 1u) << server.accessLogText();
    for (const auto& [request, count] : redirected)
        EXPECT_EQ(count, 1) << request.first << " " << request.second << " redirected " << count
                            << " times";
    const std::size_t plainRequests = static_cast<std::size_t>(std::count_if(
        log.begin(), log.end(), [](const AccessLogLine& l) { return l.scheme == "http"; }));
    EXPECT_EQ(plainRequests, static_cast<std::size_t>(total(redirected)))
        << "http requests not answered with the redirect:\n"
        << server.accessLogText();
    expectCopyIsTheSite(save, site);
}

}  // namespace
