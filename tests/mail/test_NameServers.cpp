#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "mail/HttpProt.h"
#include "mail/MailServerFinder.h"
#include "mail/msmx.h"
#include "tests/mail/MailTestSupport.h"
#include "tests/support/DnsmasqServer.h"
#include "tests/support/Peers.h"

namespace {

using mailtest::kFastTick;

struct SplitCase {
    const char* name;
    std::string text;
    std::string separator;
    std::vector<std::string> pieces;
};

class SplitStringTable : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitStringTable, SplitsAsTheCandidateListNeeds) {
    std::vector<std::string> list = {"stale"};
    const int result = SplitString(GetParam().text, GetParam().separator, list);
    EXPECT_EQ(list, GetParam().pieces);
    EXPECT_EQ(result, static_cast<int>(GetParam().pieces.size()) - 1);
}

INSTANTIATE_TEST_SUITE_P(
    SplitCases, SplitStringTable,
    ::testing::Values(SplitCase{"TwoWords", "a,b", ",", {"a", "b"}},
                      SplitCase{"DoubleCommaGivesEmptyPiece", "a,,b", ",", {"a", "", "b"}},
                      SplitCase{"TrailingCommaAddsNothing", "a,", ",", {"a"}},
                      SplitCase{"LeadingCommaGivesEmptyFirst", ",a", ",", {"", "a"}},
                      SplitCase{"EmptyTextGivesNoPiece", "", ",", {}},
                      SplitCase{"PiecesAreNotTrimmed", " a , b\r\n", ",", {" a ", " b\r\n"}},
                      SplitCase{"SeparatorIgnoresCase", "1X2x3", "x", {"1", "2", "3"}},
                      SplitCase{"Blank", "10.0.0.1 10.0.0.2", " ", {"10.0.0.1", "10.0.0.2"}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return info.param.name; });

class Folder {
public:
    std::string path(const std::string& name) const {
        return dir_.path().toStdString() + "/" + name;
    }
    std::string write(const std::string& name, const std::string& content) const {
        testsupport::writeFile(path(name), content);
        return path(name);
    }

private:
    QTemporaryDir dir_;
};

TEST(NameServerSource, StaticLinesComeInFileOrderThenDhcpLeases) {
    Folder f;
    platform::NameServerSource source;
    source.resolvConfPath =
        f.write("resolv.conf",
                "# generated\nsearch example.test\nnameserver 127.0.0.1\n"
                "nameserver\t127.0.0.2 # second\n;nameserver 127.0.0.9\noptions ndots:1\n"
                "nameserver ::1\n");
    source.leaseDirectories = {f.path("networkd"), f.path("dhclient"), f.path("missing")};
    f.write("networkd/2", "# This is private data.\nADDRESS=192.0.2.7\nDNS=127.0.0.3 127.0.0.4\n");
    f.write("dhclient/dhclient.eth0.leases",
            "lease {\n  option domain-name-servers 127.0.0.4, 127.0.0.5;\n}\n");
    EXPECT_EQ(source.StaticServers(), (std::vector<std::string>{"127.0.0.1", "127.0.0.2", "::1"}));
    EXPECT_EQ(source.DhcpServers(),
              (std::vector<std::string>{"127.0.0.3", "127.0.0.4", "127.0.0.5"}));
}

TEST(NameServerSource, MissingFilesGiveNoServers) {
    Folder f;
    platform::NameServerSource source;
    source.resolvConfPath = f.path("absent.conf");
    source.leaseDirectories = {f.path("absent")};
    EXPECT_TRUE(source.StaticServers().empty());
    EXPECT_TRUE(source.DhcpServers().empty());
}

// The form's components, wired as the e-mail form wires them.
struct Finder {
    Folder folder;
    TmsMXResolver mx;
    THttpCli http;
    TMailServerFinder finder{mx, http};
    std::vector<std::string> status;

    explicit Finder(const std::string& resolvConf, const std::string& makerHost = "127.0.0.1:1") {
        finder.NameServers.resolvConfPath = folder.write("resolv.conf", resolvConf);
        finder.NameServers.leaseDirectories = {folder.path("leases")};
        finder.MakerHost = makerHost;
        finder.SetStatus = [this](const std::string& s) { status.push_back(s); };
        // The finder's ten-second waits last one real second here.
        mx.Counter().setTickInterval(100);
        http.Counter().setTickInterval(kFastTick);
        http.TimeLimit = 500;
        http.Agent = "Corvane Software Email-A-Friend";
    }
};

TEST(GetDNSServers, SystemServersMeanTheListFileIsNotFetched) {
    testsupport::NginxServer web;
    ASSERT_TRUE(web.start()) << web.error();
    web.put("dnsip/dnsip.dat", "127.0.0.9\r\n");
    Finder f("nameserver 127.0.0.1\n", "127.0.0.1:" + std::to_string(web.port()));
    f.mx.DNSAddress = "127.0.0.8";
    std::vector<std::string> list;
    f.finder.GetDNSServers(list);
    EXPECT_EQ(list, std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(f.mx.DNSAddress, "");
    EXPECT_EQ(testsupport::readFile(web.workDir() + "/access.log"), "");
}

TEST(GetDNSServers, ListFileGivesCommaSeparatedCandidatesKeepingTheLineBreaks) {
    testsupport::NginxServer web;
    ASSERT_TRUE(web.start()) << web.error();
    web.put("dnsip/dnsip.dat", "127.0.0.2,127.0.0.1\r\n");
    Finder f("", "127.0.0.1:" + std::to_string(web.port()));
    std::vector<std::string> list;
    f.finder.GetDNSServers(list);
    EXPECT_EQ(list, (std::vector<std::string>{"127.0.0.2", "127.0.0.1\r\n\r\n"}));
    const std::string access = testsupport::readFile(web.workDir() + "/access.log");
    EXPECT_NE(access.find("GET /dnsip/dnsip.dat HTTP/1.0"), std::string::npos) << access;
    EXPECT_NE(access.find("Corvane Software Email-A-Friend"), std::string::npos);
}

TEST(GetDNSServers, AnUnreachableOrMissingListFileGivesNoCandidate) {
    testsupport::NginxServer web;
    ASSERT_TRUE(web.start()) << web.error();
    Finder missing("", "127.0.0.1:" + std::to_string(web.port()));
    std::vector<std::string> list;
    missing.finder.GetDNSServers(list);
    EXPECT_TRUE(list.empty());
    Finder refused("", "127.0.0.1:" + std::to_string(testsupport::freeTcpPort()));
    refused.finder.GetDNSServers(list);
    EXPECT_TRUE(list.empty());
}

TEST(FindMailServers, AskedInTurnUntilANameServerNamesExchangers) {
    testsupport::DnsmasqServer dns;
    dns.addMx("example.test", "mx-c.example.test", 20);
    dns.addMx("example.test", "mx-b.example.test", 10);
    dns.addMx("example.test", "mx-a.example.test", 10);
    ASSERT_TRUE(dns.start()) << dns.error();
    // The first candidate is silent (nothing listens there) and is passed over.
    Finder f("nameserver 127.0.0.2\nnameserver 127.0.0.1\n");
    f.mx.Port = dns.port();
    std::vector<std::string> list;
    f.finder.FindMailServers("Me@Example.test", list);
    EXPECT_EQ(list, (std::vector<std::string>{"  10|mx-a.example.test.", "  10|mx-b.example.test.",
                                              "  20|mx-c.example.test."}));
    EXPECT_EQ(f.status, (std::vector<std::string>{"1/2 127.0.0.2", "2/2 127.0.0.1", "DNS OK!"}));
    EXPECT_EQ(f.mx.TimeOut(), 10);
}

TEST(FindMailServers, AddressWithoutAtIsTakenWholeAsTheDomain) {
    mailtest::ScriptedDns server;
    server.answerFor = [](const std::string&) {
        mailtest::DnsAnswer a;
        a.records = {
            mailtest::DnsAnswer::mx(12345, mailtest::DnsAnswer::encodeName("big.example.test")),
            mailtest::DnsAnswer::mx(5, mailtest::DnsAnswer::encodeName("Small.example.test"))};
        return a.bytes();
    };
    Finder f("nameserver 127.0.0.1\n");
    f.mx.Port = server.port();
    std::vector<std::string> list;
    f.finder.FindMailServers("example.test", list);
    ASSERT_EQ(server.queries.size(), 1u);
    EXPECT_EQ(server.queries[0], TmsMXResolver::BuildQuery("example.test"));
    EXPECT_EQ(list,
              (std::vector<std::string>{"   5|Small.example.test.", "12345|big.example.test."}));
}

TEST(FindMailServers, EveryFailureOnlyLeavesTheListEmpty) {
    mailtest::ScriptedDns server;
    server.answerFor = [](const std::string&) {
        mailtest::DnsAnswer a;
        a.flags = 0x8183;
        return a.bytes();
    };
    Finder f("nameserver 127.0.0.1\nnameserver not-an-address\nnameserver 127.0.0.1\n");
    f.mx.Port = server.port();
    std::vector<std::string> list;
    EXPECT_NO_THROW(f.finder.FindMailServers("me@nowhere.test", list));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(server.queries.size(), 2u);
    EXPECT_EQ(f.status.size(), 3u);
}

}  // namespace
