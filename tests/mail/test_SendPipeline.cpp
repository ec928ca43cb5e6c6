#include <gtest/gtest.h>

#include "mail/HttpProt.h"
#include "mail/MailErrors.h"
#include "mail/MailServerFinder.h"
#include "mail/msmsg.h"
#include "mail/msmx.h"
#include "mail/mssmtp.h"
#include "tests/support/DnsmasqServer.h"
#include "tests/support/Peers.h"
#include "tests/support/SmtpServer.h"

namespace {

// The whole road of a recommendation without the window: the exchangers of
// the sender's domain from a real name server, then delivery to each in turn
// until one accepts, as the e-mail form does it.
struct Pipeline {
    QTemporaryDir dir;
    TmsMXResolver mx;
    THttpCli http;
    TMailServerFinder finder{mx, http};
    TmsMessage message;
    TmsSMTP smtp;
    std::vector<std::string> status;
    std::string lastError;
    bool sent = false;

    Pipeline(std::uint16_t dnsPort, std::uint16_t smtpPort) {
        const std::string conf = dir.path().toStdString() + "/resolv.conf";
        testsupport::writeFile(conf, "nameserver 127.0.0.1\n");
        finder.NameServers.resolvConfPath = conf;
        finder.NameServers.leaseDirectories = {};
        finder.MakerHost = "127.0.0.1:" + std::to_string(testsupport::freeTcpPort());
        finder.SetStatus = [this](const std::string& s) { status.push_back(s); };
        mx.Port = dnsPort;
        // The exchangers listen on the test's port, which no services entry names.
        smtp.setServiceName("harvex-test-smtp");
        smtp.DefaultPort = smtpPort;
        smtp.Counter().setTickInterval(300);
        smtp.MailMessage = &message;
        smtp.OnMailSent = [this] { sent = true; };
        message.setSubject("the Harvex is available for you.");
        message.setBodyText("Hello , \r\nA friend wanted to let you know.\r\n\r\n");
    }

    void send(const std::string& from, const std::string& to) {
        std::vector<std::string> entries;
        finder.FindMailServers(from, entries);
        message.Sender().setAddress(from);
        for (const auto& entry : entries) {
            const std::string host = entry.substr(entry.find('|') + 1);
            status.push_back("Sending through " + host);
            smtp.Server = host;
            smtp.setTimeOut(7);
            message.Recipients().Clear();
            message.Recipients().Add(to, "");
            try {
                smtp.Send();
                lastError.clear();
                return;
            } catch (const std::exception& e) {
                lastError = e.what();
            }
        }
    }
};

TEST(SendPipeline, FirstExchangerFailsAndTheSecondAccepts) {
    testsupport::DnsmasqServer dns;
    // 127.0.0.2 has no mail server: its connection is refused.
    dns.addMx("sender.test", "127.0.0.2", 5);
    dns.addMx("sender.test", "localhost", 10);
    ASSERT_TRUE(dns.start()) << dns.error();
    testsupport::SmtpServer mail;
    ASSERT_TRUE(mail.start()) << mail.error();

    Pipeline p(dns.port(), mail.port());
    p.send("me@sender.test", "friend@example.test");
    EXPECT_TRUE(p.sent);
    EXPECT_EQ(p.lastError, "");
    EXPECT_EQ(p.status,
              (std::vector<std::string>{"1/1 127.0.0.1", "DNS OK!", "Sending through 127.0.0.2.",
                                        "Sending through localhost."}));
    ASSERT_TRUE(mail.waitForMessages(1));
    const auto messages = mail.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rcptTos, std::vector<std::string>{"friend@example.test"});
    EXPECT_NE(messages[0].data.find("\r\nSubject: the Harvex is available for you.\r\n"),
              std::string::npos);
    EXPECT_EQ(messages[0].data.substr(messages[0].data.size() - 6), "\r\n\r\n\r\n");
}

TEST(SendPipeline, EveryExchangerFailingLeavesTheLastError) {
    testsupport::DnsmasqServer dns;
    dns.addMx("sender.test", "127.0.0.2", 5);
    ASSERT_TRUE(dns.start()) << dns.error();
    Pipeline p(dns.port(), testsupport::freeTcpPort());
    p.send("me@sender.test", "friend@example.test");
    EXPECT_FALSE(p.sent);
    EXPECT_EQ(p.lastError, "Operation timed out");
}

}  // namespace
