#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <map>
#include <string>

#include "tests/cli/CliRun.h"
#include "tests/support/CertificateKit.h"
#include "tests/support/HttpsNginxServer.h"
#include "tests/support/Peers.h"
#include "tests/support/TinyproxyServer.h"

// harvex-cli with the proxy variables of its environment: the real binary, a
// real tinyproxy in front of a real nginx.
namespace {

using clitest::contains;
using clitest::CliRun;
using clitest::runCli;

// Placeholders in a row's variables: the running proxy's port, a port where
// nothing listens, and the web server's address.
std::string expand(std::string text, int proxyPort, int deadPort) {
    auto replace = [&text](const std::string& from, const std::string& to) {
        for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at))
            text.replace(at, from.size(), to);
    };
    replace("{proxy}", std::to_string(proxyPort));
    replace("{dead}", std::to_string(deadPort));
    return text;
}

}  // namespace

class CliProxy : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        nginx = new testsupport::NginxServer();
        proxy = new testsupport::TinyproxyServer();
        started = nginx->start() && proxy->start();
        if (!started) return;
        nginx->put("index.html", "<html><a href=\"docs/a.html\">a</a></html>");
        nginx->put("docs/a.html", "the end");
    }
    static void TearDownTestSuite() {
        delete proxy;
        delete nginx;
    }
    void SetUp() override {
        ASSERT_TRUE(started) << nginx->error() << proxy->error();
        save = dir.path().toStdString() + "/copy";
    }
    CliRun copy(const std::map<std::string, std::string>& rowVariables, QStringList extra = {}) {
        std::map<std::string, std::string> variables;
        for (const auto& [name, value] : rowVariables)
            variables[name] = expand(value, proxy->port(), deadPort);
        QStringList args{QString::fromStdString(nginx->baseUrl() + "/"),
                         QString::fromStdString(save)};
        return runCli(args + extra, variables);
    }
    bool proxied(const std::string& path) const {
        // The request line as the proxy logs it: the method, the whole URL.
        return contains(proxy->log(), "): GET " + nginx->baseUrl() + path + " HTTP/1.0");
    }

    static testsupport::NginxServer* nginx;
    static testsupport::TinyproxyServer* proxy;
    static bool started;
    const int deadPort = testsupport::freeTcpPort();
    QTemporaryDir dir;
    std::string save;
};

testsupport::NginxServer* CliProxy::nginx = nullptr;
testsupport::TinyproxyServer* CliProxy::proxy = nullptr;
bool CliProxy::started = false;

TEST_F(CliProxy, HttpProxyCarriesEveryRequest) {
    // A fresh folder per test, so the log lines are told apart by the file name.
    nginx->put("via/index.html", "<a href=\"p.html\">p</a>");
    nginx->put("via/p.html", "proxied page");
    const CliRun run =
        runCli({QString::fromStdString(nginx->baseUrl() + "/via/"), QString::fromStdString(save)},
               {{"http_proxy", "http://127.0.0.1:" + std::to_string(proxy->port()) + "/"}});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(testsupport::readFile(save + "/via/p.html"), "proxied page");
    EXPECT_TRUE(proxied("/via/index.html")) << proxy->log();
    EXPECT_TRUE(proxied("/via/p.html")) << proxy->log();
}

// Rows where the copy must succeed, and whether tinyproxy saw it.
struct ProxyRow {
    const char* name;
    std::map<std::string, std::string> variables;
    bool noProxyOption;
    const char* folder;  // each row copies its own folder, to tell its log lines apart
    bool throughProxy;
};

class CliProxyChoice : public CliProxy, public ::testing::WithParamInterface<ProxyRow> {};

TEST_P(CliProxyChoice, CopiesTheSiteTheWayTheEnvironmentSays) {
    const ProxyRow& row = GetParam();
    const std::string folder = std::string("/") + row.folder + "/";
    nginx->put(std::string(row.folder) + "/index.html", "<a href=\"b.html\">b</a>");
    nginx->put(std::string(row.folder) + "/b.html", row.folder);
    std::map<std::string, std::string> variables;
    for (const auto& [name, value] : row.variables)
        variables[name] = expand(value, proxy->port(), deadPort);
    QStringList args{QString::fromStdString(nginx->baseUrl() + folder),
                     QString::fromStdString(save)};
    if (row.noProxyOption) args << QStringLiteral("--no-proxy");
    const CliRun run = runCli(args, variables);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(testsupport::readFile(save + folder + "b.html"), row.folder);
    EXPECT_EQ(proxied(folder + "b.html"), row.throughProxy) << proxy->log();
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliProxyChoice,
    ::testing::Values(
        ProxyRow{"UpperCaseHttpProxy", {{"HTTP_PROXY", "127.0.0.1:{proxy}"}}, false, "upper", true},
        ProxyRow{"LowerCaseBeforeUpperCase",
                 {{"http_proxy", "127.0.0.1:{proxy}"}, {"HTTP_PROXY", "127.0.0.1:{dead}"}},
                 false,
                 "lower",
                 true},
        // The proxy named here is not running: only a bypass can succeed.
        ProxyRow{"NoProxyAddressBypasses",
                 {{"http_proxy", "http://127.0.0.1:{dead}/"}, {"no_proxy", "localhost,127.0.0.1"}},
                 false,
                 "bypass",
                 false},
        ProxyRow{"NoProxyStarBypasses",
                 {{"http_proxy", "127.0.0.1:{proxy}"}, {"no_proxy", "*"}},
                 false,
                 "star",
                 false},
        ProxyRow{"NoProxyOtherHostKeepsTheProxy",
                 {{"http_proxy", "127.0.0.1:{proxy}"}, {"no_proxy", "example.com,10.0.0.0/8"}},
                 false,
                 "other",
                 true},
        ProxyRow{"NoProxyOptionIgnoresTheVariables",
                 {{"http_proxy", "127.0.0.1:{proxy}"}},
                 true,
                 "option",
                 false},
        ProxyRow{"NoProxyOptionIgnoresMalformedValues",
                 {{"http_proxy", "http://127.0.0.1:99999/"}, {"no_proxy", "a b"}},
                 true,
                 "malformedignored",
                 false},
        ProxyRow{"HttpsProxyAloneLeavesHttpStraight",
                 {{"https_proxy", "127.0.0.1:{dead}"}},
                 false,
                 "httpsonly",
                 false}),
    [](const auto& info) { return std::string(info.param.name); });

struct MalformedRow {
    const char* name;
    std::map<std::string, std::string> variables;
    const char* message;
};

class CliMalformedProxy : public CliProxy, public ::testing::WithParamInterface<MalformedRow> {};

TEST_P(CliMalformedProxy, IsAUsageErrorWithAClearMessage) {
    const CliRun run = copy(GetParam().variables);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(contains(run.err, std::string("harvex-cli: ") + GetParam().message)) << run.err;
    EXPECT_TRUE(contains(run.err, "--no-proxy")) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(QDir(QString::fromStdString(save)).exists()) << "nothing is started";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliMalformedProxy,
    ::testing::Values(
        MalformedRow{"PortOutOfRange",
                     {{"http_proxy", "http://127.0.0.1:99999/"}},
                     "http_proxy is not a proxy address (the proxy port must be a number from 1 "
                     "to 65535: 99999): http://127.0.0.1:99999/"},
        MalformedRow{"SocksScheme",
                     {{"HTTP_PROXY", "socks5://127.0.0.1:1080"}},
                     "HTTP_PROXY is not a proxy address (proxies are reached over http:// only"},
        MalformedRow{"NoProxyEntry",
                     {{"http_proxy", "127.0.0.1:{proxy}"}, {"no_proxy", "example.com, a b"}},
                     "no_proxy has an entry that is not a host"}),
    [](const auto& info) { return std::string(info.param.name); });

// Credentials are sent now, so there is nothing to warn about; a proxy that
// asks for none lets the requests through all the same.
TEST_F(CliProxy, CredentialsInTheProxyAddressAreSentWithoutAWarning) {
    const CliRun run = copy({{"http_proxy", "http://u:p@127.0.0.1:{proxy}/"}});
    EXPECT_EQ(run.exitCode, 0) << run.err;  // tinyproxy asks for none
    EXPECT_FALSE(contains(run.err, "warning")) << run.err;
    EXPECT_EQ(testsupport::readFile(save + "/docs/a.html"), "the end");
    EXPECT_TRUE(proxied("/docs/a.html")) << proxy->log();
}

TEST_F(CliProxy, HelpNamesTheOption) {
    const CliRun run = runCli({QStringLiteral("--help")}, {});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(contains(run.out, "      --no-proxy "));
    EXPECT_TRUE(contains(run.out, "http_proxy"));
    EXPECT_TRUE(contains(run.out, "user:password@ before the proxy's host")) << run.out;
    EXPECT_TRUE(contains(run.out, "as Basic authorization (Proxy-Authorization)")) << run.out;
}

// ---------------------------------------------------------------- proxy credentials

namespace {

// tinyproxy's BasicAuth takes letters, digits, '-', '.' and '_': the right
// row writes the '.' as %2E, so the copy only gets through when it is decoded.
constexpr const char* kProxyUser = "user";
constexpr const char* kProxyPassword = "pa.ss-9";

// Every file under folder but the log, by relative path, with its bytes.
std::map<std::string, std::string> filesUnder(const std::string& folder) {
    std::map<std::string, std::string> files;
    QDirIterator it(QString::fromStdString(folder), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const std::string path = it.next().toStdString();
        const std::string relative = path.substr(folder.size() + 1);
        if (relative != "downloads.log") files[relative] = testsupport::readFile(path);
    }
    return files;
}

const std::map<std::string, std::string> kLockedSite = {
    {"index.html", "<html><a href=\"docs/a.html\">a</a> <img src=\"pic.gif\"></html>"},
    {"docs/a.html", "<html>behind the proxy's password</html>"},
    {"pic.gif", std::string("GIF89a\0\x01\x02\xff", 10)},
};

std::string proxyAddress(const std::string& userInfo, int port) {
    return "http://" + userInfo + "127.0.0.1:" + std::to_string(port) + "/";
}

}  // namespace

struct CredentialRow {
    const char* name;
    const char* userInfo;  // before the proxy's host, "" for none
    const char* reason;    // the indented reason of the failed files; "" when the copy succeeds
};

// A site behind tinyproxy with BasicAuth: http:// through its absolute-URI
// requests, https:// through its CONNECT tunnel.
class CliProxyCredentials : public ::testing::TestWithParam<CredentialRow> {
protected:
    static void SetUpTestSuite() {
        nginx = new testsupport::NginxServer();
        proxy = new testsupport::TinyproxyServer();
        proxy->requireCredentials(kProxyUser, kProxyPassword);
        started = nginx->start() && proxy->start();
        if (!started) return;
        for (const auto& [path, bytes] : kLockedSite) nginx->put(path, bytes);
    }
    static void TearDownTestSuite() {
        delete proxy;
        delete nginx;
    }
    void SetUp() override {
        ASSERT_TRUE(started) << nginx->error() << proxy->error();
        save = dir.path().toStdString() + "/copy";
    }
    // Checks a run by its row: the whole site, or nothing saved and the reason.
    void expectOutcome(const CliRun& run, const std::map<std::string, std::string>& site) {
        const CredentialRow& row = GetParam();
        if (*row.reason == '\0') {
            EXPECT_EQ(run.exitCode, 0) << run.err << run.out;
            EXPECT_EQ(filesUnder(save), site);
            EXPECT_FALSE(contains(run.err, "the proxy")) << run.err;
            return;
        }
        EXPECT_EQ(run.exitCode, 4) << run.err << run.out;  // nothing could be saved
        EXPECT_TRUE(contains(run.err, std::string("\n    ") + row.reason + "\n")) << run.err;
        EXPECT_TRUE(filesUnder(save).empty());
        EXPECT_FALSE(contains(run.out, "Saved")) << run.out;
        // The proxy's refusal is no question for the site's password.
        EXPECT_FALSE(contains(run.err, "--user")) << run.err;
    }

    static testsupport::NginxServer* nginx;
    static testsupport::TinyproxyServer* proxy;
    static bool started;
    QTemporaryDir dir;
    std::string save;
};

testsupport::NginxServer* CliProxyCredentials::nginx = nullptr;
testsupport::TinyproxyServer* CliProxyCredentials::proxy = nullptr;
bool CliProxyCredentials::started = false;

TEST_P(CliProxyCredentials, HttpThroughTheProxy) {
    const CliRun run = runCli(
        {QString::fromStdString(nginx->baseUrl() + "/"), QString::fromStdString(save), "-v",
         "--everything"},
        {{"http_proxy", proxyAddress(GetParam().userInfo, proxy->port())}});
    expectOutcome(run, kLockedSite);
    // Every request went to the proxy, none straight to the server.
    // (A refused row stops at the first request, the start page's HEAD.)
    EXPECT_TRUE(contains(proxy->log(), " " + nginx->baseUrl() + "/ HTTP/1.0")) << proxy->log();
}

TEST_P(CliProxyCredentials, HttpsThroughTheTunnel) {
    const testsupport::CertificateKit& kit = testsupport::sharedCertificateKit();
    ASSERT_TRUE(kit.ready()) << kit.error();
    testsupport::HttpsNginxServer server(kit);
    ASSERT_TRUE(server.start()) << server.error();
    for (const auto& [path, bytes] : kLockedSite) server.put(path, bytes);
    testsupport::TinyproxyServer tunnel;
    tunnel.allowConnectTo(server.port()).requireCredentials(kProxyUser, kProxyPassword);
    ASSERT_TRUE(tunnel.start()) << tunnel.error();
    const CliRun run = runCli(
        {QString::fromStdString(server.baseUrl() + "/"), QString::fromStdString(save), "-v",
         "--everything", "--ca-certificate", QString::fromStdString(kit.caFile())},
        {{"https_proxy", proxyAddress(GetParam().userInfo, tunnel.port())}});
    expectOutcome(run, kLockedSite);
    const std::string log = tunnel.log();
    EXPECT_TRUE(contains(log, "CONNECT localhost:" + std::to_string(server.port()))) << log;
    EXPECT_FALSE(contains(log, "GET ")) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliProxyCredentials,
    ::testing::Values(
        CredentialRow{"RightPassword", "user:pa%2Ess-9@", ""},
        // tinyproxy refuses wrong credentials with a 401 of its own.
        CredentialRow{"WrongPassword", "user:pa.ss-8@",
                      "the proxy refused the user name and password (401 Unauthorized)"},
        CredentialRow{"UnknownUser", "someone:pa.ss-9@",
                      "the proxy refused the user name and password (401 Unauthorized)"},
        CredentialRow{"NoCredentials", "",
                      "the proxy wants a user name and password (407 Proxy Authentication "
                      "Required)"}),
    [](const auto& info) { return std::string(info.param.name); });
