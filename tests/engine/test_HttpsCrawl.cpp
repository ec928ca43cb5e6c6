// The engine over https://: the certificate question put to the front end
// once per host, its answer kept for the job, and a handshake that never
// comes ended by the stall watchdog.
#include <gtest/gtest.h>

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
