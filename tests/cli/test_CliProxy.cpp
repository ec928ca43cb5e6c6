#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <map>
#include <string>

#include "tests/cli/CliRun.h"
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

TEST_F(CliProxy, CredentialsInTheProxyAddressAreWarnedAbout) {
    const CliRun run = copy({{"http_proxy", "http://u:p@127.0.0.1:{proxy}/"}});
    EXPECT_EQ(run.exitCode, 0) << run.err;  // tinyproxy asks for none
    EXPECT_TRUE(contains(run.err, "warning: the user name and password in the proxy address"))
        << run.err;
}

TEST_F(CliProxy, HelpNamesTheOption) {
    const CliRun run = runCli({QStringLiteral("--help")}, {});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(contains(run.out, "      --no-proxy "));
    EXPECT_TRUE(contains(run.out, "http_proxy"));
}
