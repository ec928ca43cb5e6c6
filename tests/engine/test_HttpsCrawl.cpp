// The engine over https://: the certificate question put to the front end
// once per host, its answer kept for the job, and a handshake that never
// comes ended by the stall watchdog.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "engine/CertificateQuestion.h"
#include "platform/TlsSession.h"
#include "tests/engine/CrawlFixture.h"
#include "tests/support/CertificateKit.h"
#include "tests/support/HttpsNginxServer.h"
#include "tests/support/Peers.h"

using testsupport::Certificate;

namespace {

const std::string kIndex =
    "<html><a href=\"a.html\">a</a> <a href=\"b.html\">b</a> <img src=\"c.gif\"></html>";

struct AnswerRow {
    const char* name;
    platform::DialogResult answer;
    bool fetched;
};

class HttpsCertificateQuestion : public CrawlTest,
                                 public ::testing::WithParamInterface<AnswerRow> {};

}  // namespace

TEST_P(HttpsCertificateQuestion, AskedOncePerHostAndTheAnswerKept) {
    const auto& kit = testsupport::sharedCertificateKit();
    ASSERT_TRUE(kit.ready()) << kit.error();
    testsupport::HttpsNginxServer server(kit, Certificate::Expired);
    ASSERT_TRUE(server.start()) << server.error();
    server.put("index.html", kIndex);
    server.put("a.html", "page a");
    server.put("b.html", "page b");
    server.put("c.gif", "GIF89a-bytes");
    engine.UseTls(platform::TlsContext::create(platform::TlsSettings{kit.caFile()}));
    view.dialogs.messageAnswers.push_back(GetParam().answer);
    view.startURL = server.baseUrl() + "/";

    engine.SetUpObjectLists();

    ASSERT_EQ(view.certificateQuestions.size(), 1u);
    EXPECT_EQ(view.certificateQuestions[0].first, "localhost");
    EXPECT_EQ(view.certificateQuestions[0].second, "certificate has expired");
    ASSERT_EQ(view.dialogs.calls.size(), 1u);
    EXPECT_EQ(view.dialogs.calls[0].text,
              engine::CertificateQuestionText("localhost", "certificate has expired"));
    if (GetParam().fetched) {
        EXPECT_EQ(testsupport::readFile(savePath("a.html")), "page a");
        EXPECT_EQ(testsupport::readFile(savePath("b.html")), "page b");
        EXPECT_EQ(testsupport::readFile(savePath("c.gif")), "GIF89a-bytes");
    } else {
        EXPECT_TRUE(engine.SavedList.empty());
        EXPECT_TRUE(logHas("    certificate has expired"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HttpsCertificateQuestion,
    ::testing::Values(AnswerRow{"Yes", platform::DialogResult::Yes, true},
                      AnswerRow{"No", platform::DialogResult::No, false}),
    [](const ::testing::TestParamInfo<AnswerRow>& info) { return info.param.name; });

// A server that takes the connection and never says a word: the handshake
// waits, and the watchdog ends it like any other stall.
TEST_F(CrawlTest, HandshakeThatNeverComesIsEndedByTheWatchdog) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);  // the kernel completes the connect; nobody answers
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    view.startURL = "https://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";

    int turns = 0;
    bool jumped = false, gaveUp = false;
    whileWaiting([&] {
        if (!engine.Fetching()) return false;
        ++turns;
        // Long after the connect, the handshake still waits: 21 s pass.
        if (turns == 100 && !jumped) {
            jumped = true;
            clock.advance(21);
        }
        if (turns > 3000) {
            gaveUp = true;
            engine.Web1.Cancel();
        }
        return false;
    });
    engine.SetUpObjectLists();
    ::close(listener);

    EXPECT_TRUE(jumped);
    EXPECT_FALSE(gaveUp) << "the watchdog did not end the handshake";
    EXPECT_EQ(countLines("*****File Skipped - Stalled on Download*****"), 1);
    EXPECT_TRUE(engine.SavedList.empty());
}
