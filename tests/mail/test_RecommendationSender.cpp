#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <ostream>
#include <string>
#include <vector>

#include "mail/RecommendationSender.h"
#include "tests/support/DnsmasqServer.h"
#include "tests/support/Peers.h"
#include "tests/support/SmtpServer.h"

namespace {

const std::string kAdvice =
    "You can still send the message to your friend.  Click the \"To Clipboard\" button and the "
    "email message will be put in the Windows Clipboard.  You can then paste it into a regular "
    "email to your friend.";
const std::string kNoDns =
    "A DNS server cannot be found but you can still send the message to your friend.  Click the "
    "\"To Clipboard\" button and the email message will be put in the Windows Clipboard.  You can "
    "then paste it into a regular email to your friend.";

TRecommendation recommendation(const std::string& from, const std::string& to) {
    TRecommendation r;
    r.SenderName = "Ann";
    r.SenderAddress = from;
    r.FriendName = "Bob";
    r.FriendAddress = to;
    r.Personal = "Try it.\nReally.";
    r.AppTitle = "the Harvex";
    r.DownloadURL = "http://www.corvane.example/gizmorama/";
    r.AppSummary = "which lets you download a Web site to your hard drive";
    r.AppDescription = "A tool that copies a site.";
    return r;
}

// One sender on loopback peers: a real name server (dnsmasq) named by a
// resolv.conf of its own, a real mail server (aiosmtpd), a maker's host that
// refuses connections. Records every callback in order.
struct SenderRun {
    QTemporaryDir dir;
    std::vector<std::string> events;
    int delivered = 0;
    std::string outcome;

    void send(std::uint16_t dnsPort, std::uint16_t smtpPort, const TRecommendation& r) {
        const std::string conf = dir.path().toStdString() + "/resolv.conf";
        testsupport::writeFile(conf, "nameserver 127.0.0.1\n");
        TRecommendationPeers peers;
        peers.NameServers.resolvConfPath = conf;
        peers.NameServers.leaseDirectories = {};
        peers.MakerHost = "127.0.0.1:" + std::to_string(testsupport::freeTcpPort());
        peers.ResolverPort = dnsPort;
        peers.SmtpPort = smtpPort;
        peers.TickIntervalMs = 200;
        TRecommendationSender sender(peers);
        sender.Message().setSubject("the Harvex is available for you.");
        sender.OnStatus = [this](const std::string& text) { events.push_back("status:" + text); };
        sender.OnBusy = [this](bool busy) { events.push_back(busy ? "busy" : "idle"); };
        sender.OnDelivered = [this, &sender] {
            // Reported while the sequence still runs.
            events.push_back(sender.Running() ? "delivered while running" : "delivered late");
            ++delivered;
        };
        outcome = sender.Send(r);
        EXPECT_FALSE(sender.Running());
    }
};

struct Row {
    const char* name;
    // The sender's own domain has an exchanger (localhost) in the name server.
    bool knownDomain;
    const char* senderAddress;
    const char* refusedRecipient;  // empty: every recipient is taken
    std::string outcome;
    std::vector<std::string> events;
    int delivered;
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class RecommendationSenderRow : public ::testing::TestWithParam<Row> {};

TEST_P(RecommendationSenderRow, ReportsProgressAndOutcome) {
    const Row& row = GetParam();
    testsupport::DnsmasqServer dns;
    dns.addMx("sender.test", "localhost", 10);
    ASSERT_TRUE(dns.start()) << dns.error();
    testsupport::SmtpServer mail;
    if (*row.refusedRecipient) mail.refuseRecipient(row.refusedRecipient);
    ASSERT_TRUE(mail.start()) << mail.error();

    SenderRun run;
    run.send(dns.port(), mail.port(), recommendation(row.senderAddress, "bob@friend.test"));
    EXPECT_EQ(run.outcome, row.outcome);
    EXPECT_EQ(run.events, row.events);
    EXPECT_EQ(run.delivered, row.delivered);
    if (row.delivered) {
        ASSERT_TRUE(mail.waitForMessages(1));
        const auto messages = mail.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].mailFrom, row.senderAddress);
        EXPECT_EQ(messages[0].rcptTos, std::vector<std::string>{"bob@friend.test"});
        EXPECT_NE(messages[0].data.find("\r\nSubject: the Harvex is available for you.\r\n"),
                  std::string::npos);
        EXPECT_NE(messages[0].data.find("Hello Bob, \r\nAnn wanted to let you know about the "
                                        "Harvex, which lets you download"),
                  std::string::npos);
        EXPECT_NE(messages[0].data.find("Try it.\r\nReally.\r\n"), std::string::npos);
    } else {
        EXPECT_TRUE(mail.messages().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecommendationSenderRow,
    ::testing::Values(
        Row{"delivered",
            true,
            "ann@sender.test",
            "",
            "",
            {"busy", "status:Building DNS list", "status:1/1 127.0.0.1", "status:DNS OK!",
             "status:Sending through localhost.", "delivered while running", "status:", "idle"},
            1},
        Row{"refused_recipient",
            true,
            "ann@sender.test",
            "bob@friend.test",
            "550 5.1.1 <bob@friend.test>: Recipient address rejected: User unknown\r\n" + kAdvice,
            {"busy", "status:Building DNS list", "status:1/1 127.0.0.1", "status:DNS OK!",
             "status:Sending through localhost.", "status:", "idle"},
            0},
        Row{"unknown_domain",
            false,
            "ann@nowhere.test",
            "",
            kNoDns,
            {"busy", "status:Building DNS list", "status:1/1 127.0.0.1", "status:", "idle"},
            0}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

TEST(RecommendationSender, ComposesPlainAndHtmlBodies) {
    TRecommendationSender sender;
    TRecommendation r = recommendation("ann@sender.test", "bob@friend.test");
    r.SenderName.clear();
    sender.Compose(r);
    EXPECT_EQ(sender.Message().ContentType(), "text/plain");
    EXPECT_EQ(sender.Message().BodyText(),
              "Hello Bob, \r\nA friend wanted to let you know about the Harvex, which lets you "
              "download a Web site to your hard drive  It's available for downloading from "
              "Corvane Software's Web Site.\r\n\r\nJust point your Web Browser to "
              "http://www.corvane.example/gizmorama/\r\n\r\nA friend also wanted to send you a "
              "special message: \r\n\r\nTry it.\r\nReally.\r\n\r\nWhat is the Harvex?\r\n\r\nA "
              "tool that copies a site.\r\n\r\n");
    r.Html = true;
    r.Personal.clear();
    sender.Compose(r);
    EXPECT_EQ(sender.Message().ContentType(), "text/html");
    EXPECT_EQ(sender.Message().BodyText().substr(0, 36),
              "<HTML>\r\n<BODY>\r\n\r\n<P>Hello Bob, <BR>");
    EXPECT_EQ(sender.Message().BodyText().find("special message"), std::string::npos);
    EXPECT_NE(sender.Message().BodyText().find(
                  "<P><A HREF=\"http://www.corvane.example/gizmorama/\">Click here to download "
                  "the Harvex</A><BR>"),
              std::string::npos);
}

}  // namespace
