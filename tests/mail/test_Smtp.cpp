#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTimer>
#include <random>
#include <sstream>

#include "mail/MailErrors.h"
#include "mail/msmime.h"
#include "mail/msmsg.h"
#include "mail/mssmtp.h"
#include "platform/EventPump.h"
#include "tests/mail/MailTestSupport.h"
#include "tests/support/SmtpServer.h"

namespace {

using mailtest::kFastTick;
using mailtest::ScriptedSmtp;

TmsMessage friendMessage() {
    TmsMessage m;
    m.Sender().setAddress("me@sender.test");
    m.Sender().setName("J. Sender");
    m.setSubject("the Harvex is available for you.");
    m.Recipients().Add("friend@example.test", "");
    m.setBodyText("Hello Bob, \r\n.leading dot\r\n\r\nBye\r\n\r\n");
    return m;
}

std::string encoded(const TmsMessage& m) {
    std::stringstream out;
    m.EncodeTo(out);
    return out.str();
}

struct Client {
    TmsMessage message = friendMessage();
    TmsSMTP smtp;
    std::vector<std::string> received;
    std::vector<std::string> sent;

    // Generous unless a test is about the time-out itself.
    explicit Client(std::uint16_t port, int timeOut = 500) {
        smtp.Server = "127.0.0.1:" + std::to_string(port);
        smtp.setTimeOut(timeOut);
        smtp.Counter().setTickInterval(kFastTick);
        smtp.MailMessage = &message;
        smtp.OnLineReceived = [this](const std::string& l) { received.push_back(l); };
        smtp.OnLineSent = [this](const std::string& l) { sent.push_back(l); };
    }
};

template <typename E>
std::string failureOf(TmsSMTP& smtp) {
    try {
        smtp.Send();
    } catch (const E& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("wrong error: ") + e.what();
    }
    return "no error";
}

TEST(SmtpRealServer, MessageArrivesWithExactHeadersBodyAndTheExtraBlankLine) {
    testsupport::SmtpServer server;
    ASSERT_TRUE(server.start()) << server.error();
    Client c(server.port(), 30);
    c.smtp.Counter().setTickInterval(1000);  // a real server gets real seconds
    bool mailSent = false;
    c.smtp.OnMailSent = [&] { mailSent = true; };
    c.smtp.Send();
    EXPECT_TRUE(mailSent);
    EXPECT_FALSE(c.smtp.Connected());
    ASSERT_TRUE(server.waitForMessages(1));
    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].mailFrom, "me@sender.test");
    EXPECT_EQ(messages[0].rcptTos, std::vector<std::string>{"friend@example.test"});
    EXPECT_EQ(messages[0].data,
              "From:     \"J. Sender\" <me@sender.test>\r\n"
              "To:        <friend@example.test>\r\n"
              "Subject: the Harvex is available for you.\r\n"
              "Mime-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
              "Content-Transfer-Encoding: 7bit\r\n"
              "\r\n"
              "Hello Bob, \r\n"
              ".leading dot\r\n"
              "\r\n"
              "Bye\r\n"
              "\r\n"
              "\r\n");
}

TEST(SmtpScripted, DialogueIsSentInOrderAndTheDataEndsWithABlankLineAndADot) {
    ScriptedSmtp server;
    Client c(server.port());
    c.smtp.Send();
    std::string host = c.smtp.LocalHostName();
    EXPECT_EQ(server.commands,
              (std::vector<std::string>{"HELO " + host, "MAIL FROM:<me@sender.test>",
                                        "RCPT TO:<friend@example.test>", "DATA", ".", "QUIT"}));
    std::string expected = encoded(c.message);
    // The dot-stuffed line comes back with its doubled dot on the wire.
    EXPECT_EQ(server.data, expected + "\r\n");
    EXPECT_NE(server.data.find("\r\n..leading dot\r\n"), std::string::npos);
    EXPECT_TRUE(platform::waitUntilFor([&] { return server.clientClosed; }, mailtest::kWatchdogMs));
}

TEST(SmtpScripted, MultiLineGreetingIsReadWholeBeforeHelo) {
    ScriptedSmtp server;
    server.greeting = "220-first line\r\n220-second line\r\n220 last line\r\n";
    Client c(server.port());
    c.smtp.Send();
    ASSERT_GE(c.received.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(c.received.begin(), c.received.begin() + 4),
              (std::vector<std::string>{"220-first line", "220-second line", "220 last line",
                                        "250 scripted"}));
    EXPECT_EQ(server.commands.back(), "QUIT");
    EXPECT_EQ(server.commands.size(), 6u);
}

TEST(SmtpScripted, GreetingInPiecesOverSeveralReadsIsReadAsItsLines) {
    std::mt19937 rng(11);
    const std::string greeting = "220-mx.example.test ESMTP\r\n220-second line\r\n220 last\r\n";
    for (int round = 0; round < 10; ++round) {
        ScriptedSmtp server;
        server.greeting.clear();
        Client c(server.port());
        c.smtp.OnConnected = [&] {
            std::size_t pos = 0;
            int delay = 0;
            while (pos < greeting.size()) {
                const std::size_t n = 1 + rng() % 9;
                const std::string piece = greeting.substr(pos, n);
                pos += n;
                QTimer::singleShot(delay++, &server, [&server, piece] { server.sendRaw(piece); });
            }
        };
        c.smtp.Send();
        ASSERT_GE(c.received.size(), 3u);
        EXPECT_EQ(
            std::vector<std::string>(c.received.begin(), c.received.begin() + 3),
            (std::vector<std::string>{"220-mx.example.test ESMTP", "220-second line", "220 last"}));
        EXPECT_EQ(server.commands.front().rfind("HELO ", 0), 0u);
    }
}

TEST(SmtpScripted, RefusedHeloWithNameIsRetriedBare) {
    ScriptedSmtp server;
    server.answer = [](const std::string& line) -> std::string {
        if (line.rfind("HELO ", 0) == 0) return "501 Syntax: HELO hostname\r\n";
        return ScriptedSmtp::defaultAnswer(line);
    };
    Client c(server.port());
    c.smtp.Send();
    ASSERT_GE(server.commands.size(), 2u);
    EXPECT_EQ(server.commands[0].rfind("HELO ", 0), 0u);
    EXPECT_EQ(server.commands[1], "HELO");
}

TEST(SmtpScripted, HeloRefusedTwiceFailsWithTheServersLine) {
    ScriptedSmtp server;
    server.answer = [](const std::string& line) -> std::string {
        if (line.rfind("HELO", 0) == 0) return "502 No greeting for you\r\n";
        return ScriptedSmtp::defaultAnswer(line);
    };
    Client c(server.port());
    EXPECT_EQ(failureOf<EServerError>(c.smtp), "502 No greeting for you");
    EXPECT_FALSE(c.smtp.Connected());
}

TmsMessage twoRecipients() {
    TmsMessage m = friendMessage();
    m.Recipients().Add("nobody@example.test", "");
    m.CC().Add("cc@example.test", "");
    return m;
}

std::string rejectNobody(const std::string& line) {
    if (line == "RCPT TO:<nobody@example.test>") return "550 5.1.1 No such user\r\n";
    return ScriptedSmtp::defaultAnswer(line);
}

TEST(SmtpScripted, RejectedRecipientWithoutHandlerEndsTheSendWithTheReply) {
    ScriptedSmtp server;
    server.answer = rejectNobody;
    Client c(server.port());
    c.message = twoRecipients();
    EXPECT_EQ(failureOf<EServerError>(c.smtp), "550 5.1.1 No such user");
    EXPECT_EQ(std::count(server.commands.begin(), server.commands.end(), "DATA"), 0);
    EXPECT_EQ(server.commands.back(), "QUIT");
    EXPECT_FALSE(c.smtp.Connected());
}

TEST(SmtpScripted, RejectedRecipientWithProceedingHandlerSendsTheRestAndTheData) {
    ScriptedSmtp server;
    server.answer = rejectNobody;
    Client c(server.port());
    c.message = twoRecipients();
    std::vector<std::pair<std::string, std::string>> rejected;
    c.smtp.OnAddressRejected = [&](const std::string& address, const std::string& reply,
                                   bool& proceed) {
        rejected.emplace_back(address, reply);
        proceed = true;
    };
    c.smtp.Send();
    EXPECT_EQ(rejected, (std::vector<std::pair<std::string, std::string>>{
                            {"nobody@example.test", "550 5.1.1 No such user"}}));
    EXPECT_NE(
        std::find(server.commands.begin(), server.commands.end(), "RCPT TO:<cc@example.test>"),
        server.commands.end());
    EXPECT_NE(std::find(server.commands.begin(), server.commands.end(), "DATA"),
              server.commands.end());
}

TEST(SmtpScripted, EnvelopeRecipientsReplaceTheMessagesOnes) {
    ScriptedSmtp server;
    Client c(server.port());
    c.smtp.EnvelopeRecipients = {"envelope@example.test"};
    c.smtp.Send();
    EXPECT_EQ(server.commands.at(2), "RCPT TO:<envelope@example.test>");
    EXPECT_EQ(server.commands.at(3), "DATA");
}

TEST(SmtpScripted, ServerThatNeverGreetsTimesOutAndTheSocketIsClosed) {
    ScriptedSmtp server;
    server.greeting.clear();
    Client c(server.port(), 7);
    std::vector<std::string> errors;
    c.smtp.OnError = [&](std::string& msg) { errors.push_back(msg); };
    EXPECT_EQ(failureOf<ETimedOutError>(c.smtp), "Operation timed out");
    EXPECT_FALSE(c.smtp.Connected());
    EXPECT_EQ(errors, std::vector<std::string>{"Operation timed out"});
    EXPECT_TRUE(platform::waitUntilFor([&] { return server.clientClosed; }, mailtest::kWatchdogMs));
    EXPECT_TRUE(server.commands.empty());
}

TEST(SmtpScripted, RefusedConnectionEndsAsTimeOut) {
    const std::uint16_t port = testsupport::freeTcpPort();
    Client c(port, 7);
    EXPECT_EQ(failureOf<ETimedOutError>(c.smtp), "Operation timed out");
    EXPECT_FALSE(c.smtp.Connected());
}

TEST(SmtpScripted, CancelDuringTheGreetingWaitEndsWithCanceled) {
    ScriptedSmtp server;
    server.greeting.clear();
    Client c(server.port(), 1000);
    bool cancelled = false;
    c.smtp.OnConnected = [&] { QTimer::singleShot(0, [&] { c.smtp.Cancel(); }); };
    c.smtp.OnCancel = [&] { cancelled = true; };
    EXPECT_EQ(failureOf<ECanceledError>(c.smtp), "Operation has been canceled");
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(c.smtp.Connected());
    EXPECT_TRUE(platform::waitUntilFor([&] { return server.clientClosed; }, mailtest::kWatchdogMs));
}

TEST(SmtpScripted, AServerClosingInsteadOfAnsweringLeavesTheReplyEmpty) {
    ScriptedSmtp server;
    server.closeOn = "MAIL FROM";
    Client c(server.port());
    std::vector<std::string> errors;
    c.smtp.OnError = [&](std::string& msg) { errors.push_back(msg); };
    EXPECT_EQ(failureOf<EServerError>(c.smtp), "");
    EXPECT_FALSE(c.smtp.Connected());
    // Nothing waited for a reply that a closed connection cannot bring.
    EXPECT_EQ(std::count(errors.begin(), errors.end(), "Operation timed out"), 0);
}

TEST(SmtpScripted, AnOverlongReplyLineIsCutNotOverrun) {
    ScriptedSmtp server;
    server.greeting = "220 " + std::string(5000, 'x') + "\r\n";
    Client c(server.port());
    c.smtp.Send();
    ASSERT_FALSE(c.received.empty());
    EXPECT_EQ(c.received[0].size(), TagSocket::kMaxLine);
    EXPECT_EQ(c.received[1], "250 scripted");
}

TEST(SmtpScripted, AnEndlessContinuedReplyIsCutOff) {
    ScriptedSmtp server;
    server.greeting.clear();
    for (int i = 0; i < 1500; ++i) server.greeting += "220-more\r\n";
    Client c(server.port());
    EXPECT_EQ(failureOf<EServerError>(c.smtp), "220-more");
    EXPECT_FALSE(c.smtp.Connected());
}

TEST(SmtpScripted, AResetInTheMiddleOfALineIsASocketError) {
    ScriptedSmtp server;
    server.greeting.clear();
    Client c(server.port());
    c.smtp.OnConnected = [&] {
        QTimer::singleShot(0, &server, [&server] {
            server.sendRaw("220 half a li");
            QTimer::singleShot(20, &server, [&server] { server.reset(); });
        });
    };
    EXPECT_EQ(failureOf<ESocketError>(c.smtp), "[10054] Connection reset by peer");
    EXPECT_FALSE(c.smtp.Connected());
}

TEST(SmtpScripted, AConnectionIsNotReusedAfterAFailure) {
    ScriptedSmtp first;
    first.answer = [](const std::string& line) -> std::string {
        if (line == "QUIT") return "500 Not now\r\n";
        if (line.rfind("MAIL", 0) == 0) return "451 Try later\r\n";
        return ScriptedSmtp::defaultAnswer(line);
    };
    ScriptedSmtp second;
    Client c(first.port());
    EXPECT_EQ(failureOf<EServerError>(c.smtp), "451 Try later");
    EXPECT_FALSE(c.smtp.Connected());
    c.smtp.Server = "127.0.0.1:" + std::to_string(second.port());
    c.smtp.Send();
    EXPECT_EQ(second.connections, 1);
    EXPECT_EQ(second.commands.back(), "QUIT");
}

TEST(SmtpScripted, LineBreaksInAnAddressCannotAddACommand) {
    ScriptedSmtp server;
    Client c(server.port());
    c.message.Recipients().Clear();
    c.message.Recipients().Add("friend@example.test>\r\nRSET", "");
    c.smtp.Send();
    for (const auto& command : server.commands) EXPECT_NE(command, "RSET");
}

TEST(SmtpChecks, MissingServerMessageAndConnectionGiveTheirNumberedTexts) {
    TmsSMTP smtp;
    EXPECT_EQ(failureOf<ESocketError>(smtp), "Server property is required");
    try {
        smtp.SendLine("NOOP");
        FAIL();
    } catch (const ESocketError& e) {
        EXPECT_STREQ(e.what(), "You have to connect to the server first");
    }
    ScriptedSmtp server;
    Client c(server.port());
    c.smtp.MailMessage = nullptr;
    EXPECT_EQ(failureOf<ESocketError>(c.smtp), "MailMessage property must be assigned");
    c.smtp.MailMessage = &c.message;
    c.message.Recipients().Clear();
    EXPECT_EQ(failureOf<EMessageError>(c.smtp),
              "At least one Recipient, CC or BCC must be entered");
    EXPECT_FALSE(c.smtp.Connected());
}

TEST(SmtpChecks, OverlongHostNameIsRefusedWithoutALookup) {
    TmsSMTP smtp;
    smtp.Server = std::string(200, 'h') + ".example:25";
    EXPECT_EQ(failureOf<ESocketError>(smtp), "Error resolving remote host");
}

TEST(SmtpChecks, WithoutAPortTheServiceOrDefaultPortIsUsed) {
    ScriptedSmtp server;
    Client c(server.port());
    c.smtp.Server = "127.0.0.1:letters";
    c.smtp.setServiceName("harvex-no-such-service");
    c.smtp.DefaultPort = server.port();
    c.smtp.Send();
    EXPECT_EQ(server.connections, 1);
}

TEST(SmtpChecks, ProgressIsReportedAndTheLogWrittenWhenTheComponentGoes) {
    ScriptedSmtp server;
    QTemporaryDir dir;
    const std::string logFile = dir.path().toStdString() + "/smtp.log";
    std::vector<int> percents;
    {
        Client c(server.port());
        c.smtp.OnProgress = [&](int perc, std::int64_t) { percents.push_back(perc); };
        c.smtp.LogFileName = logFile;
        c.smtp.Send();
        EXPECT_EQ(testsupport::readFile(logFile), "");
    }
    ASSERT_GE(percents.size(), 2u);
    EXPECT_EQ(percents[percents.size() - 2], 100);
    EXPECT_EQ(percents.back(), 0);
    const std::string log = testsupport::readFile(logFile);
    EXPECT_NE(log.find("220 scripted ready\r\nHELO "), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nDATA\r\n354 End data with <CR><LF>.<CR><LF>\r\nSuppressing the message "
                       "body\r\n\r\n.\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("QUIT\r\n221 Bye\r\n"), std::string::npos) << log;
}

TEST(SmtpChecks, LargeMessageIsSentWhole) {
    ScriptedSmtp server;
    Client c(server.port());
    std::string body;
    for (int i = 0; i < 20000; ++i) body += "line " + std::to_string(i) + " of a long message\r\n";
    c.message.setBodyText(body);
    c.smtp.Send();
    EXPECT_EQ(server.data, encoded(c.message) + "\r\n");
}

}  // namespace

namespace {

TEST(SmtpChecks, UnresolvableHostNameFailsWithTheLookupText) {
    TmsMessage message = friendMessage();
    TmsSMTP smtp;
    smtp.MailMessage = &message;
    smtp.setTimeOut(30);
    smtp.Counter().setTickInterval(mailtest::kFastTick);
    // Not a valid host name, so the lookup fails without asking any server.
    smtp.Server = "bad..host";
    EXPECT_EQ(failureOf<ESocketError>(smtp), "[11001] Host not found");
    EXPECT_FALSE(smtp.Connected());
}

}  // namespace

namespace {

TEST(SmtpChecks, ExchangerNameEndingInADotIsTheSameHost) {
    ScriptedSmtp server;
    Client c(server.port());
    c.smtp.Server = "localhost.:" + std::to_string(server.port());
    c.smtp.Send();
    EXPECT_EQ(server.connections, 1);
    EXPECT_EQ(server.commands.back(), "QUIT");
}

}  // namespace
