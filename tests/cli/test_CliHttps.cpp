#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <string>

#include "tests/cli/CliRun.h"
#include "tests/support/CertificateKit.h"
#include "tests/support/HttpsNginxServer.h"
#include "tests/support/Peers.h"
#include "tests/support/RowName.h"
#include "tests/support/TinyproxyServer.h"

// harvex-cli copying https:// sites: the real binary against nginx over TLS
// with the test kit's certificates.
namespace {

using testsupport::Certificate;

using clitest::contains;
using clitest::CliRun;
using clitest::runCli;

// A small site with a page, a linked page and a binary file (every byte value).
std::string binaryBytes() {
    std::string bytes;
    for (int round = 0; round < 40; ++round)
        for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
    return bytes;
}

const std::string kIndex = "<html><a href=\"docs/a.html\">a</a> <img src=\"pic.gif\"></html>";
const std::string kPage = "<html>the linked page</html>";

template <class Server>
void putSite(const Server& server) {
    server.put("index.html", kIndex);
    server.put("docs/a.html", kPage);
    server.put("pic.gif", binaryBytes());
}

void expectSiteCopied(const std::string& save) {
    EXPECT_EQ(testsupport::readFile(save + "/index.html"), kIndex);
    EXPECT_EQ(testsupport::readFile(save + "/docs/a.html"), kPage);
    EXPECT_TRUE(testsupport::readFile(save + "/pic.gif") == binaryBytes()) << "pic.gif differs";
}

const testsupport::CertificateKit& kit() { return testsupport::sharedCertificateKit(); }

}  // namespace

TEST(CliHttps, CopyMatchesTheSiteByteForByte) {
    ASSERT_TRUE(kit().ready()) << kit().error();
    testsupport::HttpsNginxServer server(kit());
    ASSERT_TRUE(server.start()) << server.error();
    putSite(server);
    QTemporaryDir dir;
    const std::string save = dir.path().toStdString() + "/copy";
    const CliRun run = runCli({QString::fromStdString(server.baseUrl() + "/"),
                               QString::fromStdString(save), "--everything", "--ca-certificate",
                               QString::fromStdString(kit().caFile())});
    EXPECT_EQ(run.exitCode, 0) << run.err << run.out;
    expectSiteCopied(save);
}

TEST(CliHttps, WithoutTheCaFileTheTestAuthorityIsNotTrusted) {
    ASSERT_TRUE(kit().ready()) << kit().error();
    testsupport::HttpsNginxServer server(kit());
    ASSERT_TRUE(server.start()) << server.error();
    putSite(server);
    QTemporaryDir dir;
    const std::string save = dir.path().toStdString() + "/copy";
    const CliRun run =
        runCli({QString::fromStdString(server.baseUrl() + "/"), QString::fromStdString(save)});
    EXPECT_NE(run.exitCode, 0) << run.out;
    EXPECT_TRUE(contains(run.err, "certificate is not trusted")) << run.err;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(save + "/index.html")));
}

TEST(CliHttps, UnreadableCaFileIsAUsageError) {
    QTemporaryDir dir;
    const std::string missing = dir.path().toStdString() + "/no-such-ca.pem";
    const CliRun run = runCli({"https://127.0.0.1:1/", dir.path() + "/c",
                               "--ca-certificate", QString::fromStdString(missing)});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(contains(run.err, "--ca-certificate")) << run.err;
    EXPECT_TRUE(contains(run.err, missing)) << run.err;
}

// Each defective certificate: refused with its reason, accepted with
// --no-check-certificate.
struct BadCertificateRow {
    const char* name;
    Certificate served;
    const char* reason;
};

class CliHttpsBadCertificate : public ::testing::TestWithParam<BadCertificateRow> {};

TEST_P(CliHttpsBadCertificate, FailsWithItsReasonUnlessTheCheckIsOff) {
    ASSERT_TRUE(kit().ready()) << kit().error();
    const BadCertificateRow& row = GetParam();
    testsupport::HttpsNginxServer server(kit(), row.served);
    ASSERT_TRUE(server.start()) << server.error();
    putSite(server);
    QTemporaryDir dir;
    const QString url = QString::fromStdString(server.baseUrl() + "/");
    const QString ca = QString::fromStdString(kit().caFile());

    const std::string refused = dir.path().toStdString() + "/refused";
    const CliRun checked =
        runCli({url, QString::fromStdString(refused), "--everything", "--ca-certificate", ca});
    EXPECT_NE(checked.exitCode, 0) << checked.out;
    EXPECT_TRUE(contains(checked.err, "    " + std::string(row.reason))) << checked.err;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(refused + "/index.html")));

    const std::string taken = dir.path().toStdString() + "/taken";
    const CliRun unchecked = runCli({url, QString::fromStdString(taken), "--everything",
                                     "--ca-certificate", ca, "--no-check-certificate"});
    EXPECT_EQ(unchecked.exitCode, 0) << unchecked.err;
    expectSiteCopied(taken);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliHttpsBadCertificate,
    ::testing::Values(
        BadCertificateRow{"Expired", Certificate::Expired, "certificate has expired"},
        BadCertificateRow{"OtherHost", Certificate::OtherHost,
                          "certificate is not valid for localhost"},
        BadCertificateRow{"SelfSigned", Certificate::SelfSigned, "self-signed certificate"},
        BadCertificateRow{"UntrustedIssuer", Certificate::UntrustedIssuer,
                          "certificate is not trusted"}),
    [](const ::testing::TestParamInfo<BadCertificateRow>& info) { return info.param.name; });

// A plain server that sends every request to the https one: the start page
// is fetched from where it moved. (The links of the moved page lie on another
// port than the start address here, so the copy is the page itself.)
TEST(CliHttps, RedirectFromHttpToHttpsIsFollowed) {
    ASSERT_TRUE(kit().ready()) << kit().error();
    testsupport::HttpsNginxServer secure(kit());
    ASSERT_TRUE(secure.start()) << secure.error();
    const std::string page = "<html>moved to https</html>";
    secure.put("index.html", page);
    testsupport::NginxServer plain("return 301 https://127.0.0.1:" +
                                   std::to_string(secure.port()) + "$request_uri;");
    ASSERT_TRUE(plain.start()) << plain.error();
    QTemporaryDir dir;
    const std::string save = dir.path().toStdString() + "/copy";
    const CliRun run =
        runCli({QString::fromStdString(plain.baseUrl() + "/"), QString::fromStdString(save),
                "--ca-certificate", QString::fromStdString(kit().caFile())});
    EXPECT_EQ(run.exitCode, 0) << run.err << run.out;
    EXPECT_TRUE(contains(run.out, "URL Redirected to: https://127.0.0.1:")) << run.out;
    EXPECT_EQ(testsupport::readFile(save + "/index.html"), page) << run.out;
}

// https_proxy names tinyproxy: the copy goes through its CONNECT tunnel, and
// the proxy never sees a request line of the site.
TEST(CliHttps, CopyThroughTheHttpsProxyTunnel) {
    ASSERT_TRUE(kit().ready()) << kit().error();
    testsupport::HttpsNginxServer server(kit());
    ASSERT_TRUE(server.start()) << server.error();
    putSite(server);
    testsupport::TinyproxyServer proxy;
    proxy.allowConnectTo(server.port());
    ASSERT_TRUE(proxy.start()) << proxy.error();
    QTemporaryDir dir;
    const std::string save = dir.path().toStdString() + "/copy";
    const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(proxy.port()) + "/";
    const CliRun run = runCli({QString::fromStdString(server.baseUrl() + "/"),
                               QString::fromStdString(save), "--everything", "--ca-certificate",
                               QString::fromStdString(kit().caFile())},
                              {{"https_proxy", proxyUrl}});
    EXPECT_EQ(run.exitCode, 0) << run.err << run.out;
    expectSiteCopied(save);
    const std::string log = proxy.log();
    EXPECT_TRUE(contains(log, "CONNECT localhost:" + std::to_string(server.port()))) << log;
    EXPECT_FALSE(contains(log, "GET ")) << log;
}

// A proxy that refuses the tunnel (CONNECT to a port it does not allow): the
// fetch fails with the proxy's reason, and nothing goes out in plain text.
TEST(CliHttps, RefusedTunnelFailsWithTheProxysReason) {
    ASSERT_TRUE(kit().ready()) << kit().error();
    testsupport::HttpsNginxServer server(kit());
    ASSERT_TRUE(server.start()) << server.error();
    putSite(server);
    testsupport::TinyproxyServer proxy;
    proxy.allowConnectTo(static_cast<std::uint16_t>(server.port() == 1 ? 2 : 1));
    ASSERT_TRUE(proxy.start()) << proxy.error();
    QTemporaryDir dir;
    const std::string save = dir.path().toStdString() + "/copy";
    const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(proxy.port()) + "/";
    const CliRun run = runCli({QString::fromStdString(server.baseUrl() + "/"),
                               QString::fromStdString(save), "--ca-certificate",
                               QString::fromStdString(kit().caFile())},
                              {{"https_proxy", proxyUrl}});
    EXPECT_NE(run.exitCode, 0) << run.out;
    EXPECT_TRUE(contains(run.err, "    proxy refused the tunnel")) << run.err;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(save + "/index.html")));
}
