#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "tests/support/Peers.h"

// harvex-cli copying a site that listens on the IPv6 loopback only.
namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(CliIpv6, CopiesASiteOnIpv6LoopbackUnderTheSaveFolder) {
    if (!testsupport::haveIpv6Loopback())
        GTEST_SKIP() << "this machine has no IPv6 loopback (::1 cannot be bound); the IPv6 "
                        "paths are not exercised here";
    QTemporaryDir dir;
    const std::string hostLog = dir.path().toStdString() + "/host.log";
    testsupport::NginxServer nginx("    access_log " + hostLog + " harvex_host;\n");
    nginx.listenOnIpv6Loopback();
    ASSERT_TRUE(nginx.start()) << nginx.error();
    const std::string base = nginx.baseUrl();  // http://[::1]:PORT
    // Relative links, an absolute one to the same bracketed host, and one to
    // the same server under another host name, which the crawl stays out of.
    nginx.put("index.html", "<html><a href=\"docs/a.html\">a</a> <img src=\"pic.gif\"> <a href=\"" +
                                base + "/docs/b.html\">b</a> <a href=\"http://127.0.0.1:" +
                                std::to_string(nginx.port()) + "/other.html\">o</a></html>");
    nginx.put("docs/a.html", "<a href=\"b.html\">b</a>");
    nginx.put("docs/b.html", "the end");
    nginx.put("pic.gif", std::string(3000, 'g'));
    nginx.put("other.html", "elsewhere");
    const std::string save = dir.path().toStdString() + "/copy";

    QProcess process;
    process.start(QStringLiteral(HARVEX_CLI_PATH),
                  {QString::fromStdString(base + "/index.html"), QString::fromStdString(save)});
    ASSERT_TRUE(process.waitForStarted(10000));
    ASSERT_TRUE(process.waitForFinished(60000));
    const std::string out = process.readAllStandardOutput().toStdString();
    const std::string err = process.readAllStandardError().toStdString();
    EXPECT_EQ(process.exitCode(), 0) << out << err;
    for (const char* file : {"/index.html", "/docs/a.html", "/docs/b.html", "/pic.gif"}) {
        EXPECT_EQ(testsupport::readFile(save + file), testsupport::readFile(nginx.rootDir() + file))
            << file;
    }
    EXPECT_TRUE(testsupport::readFile(save + "/other.html").empty());
    EXPECT_TRUE(contains(out, "Saved " + base + "/docs/b.html\n")) << out;
    const std::string hosts = testsupport::readFile(hostLog);
    EXPECT_TRUE(contains(hosts, "[::1] \"GET /index.html HTTP/1.0\" 200")) << hosts;
    EXPECT_FALSE(contains(hosts, "other.html")) << hosts;
}
