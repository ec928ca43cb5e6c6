#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "http/Web.h"
#include "platform/TlsSession.h"
#include "tests/http/WebTestSupport.h"
#include "tests/support/CertificateKit.h"
#include "tests/support/HttpsNginxServer.h"
#include "tests/support/Peers.h"
#include "tests/support/TlsScriptedServer.h"

using http::TWeb;
using webtest::EventLog;

// Bodies over https:// reach the handler or the file whole and unchanged,
// however the server cuts them into records and however the stream ends.
namespace {

const testsupport::CertificateKit& kit() { return testsupport::sharedCertificateKit(); }

std::shared_ptr<platform::TlsContext> trustingTestCa() {
    platform::TlsSettings settings;
    settings.caFile = kit().caFile();
    return platform::TlsContext::create(settings);
}

enum class Peer {
    Nginx,           // a real server: large records, close_notify at the end
    ScriptedClose,   // the body in many small TLS writes, then close_notify
    ScriptedCut,     // the same, then FIN without close_notify
    ScriptedOneGo,   // head and body in one TLS write, then close_notify
};

struct TlsBodyRow {
    std::string name;
    Peer peer;
    std::size_t bodySize;
    bool storeToFile;
};

class WebTlsBody : public ::testing::TestWithParam<TlsBodyRow> {
protected:
    void SetUp() override { ASSERT_TRUE(kit().ready()) << kit().error(); }
};

}  // namespace

TEST_P(WebTlsBody, ArrivesWholeAndUnchanged) {
    const TlsBodyRow& row = GetParam();
    const std::string body = webtest::randomBytes(row.bodySize, 11);
    const std::string head =
        "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
        std::to_string(body.size()) + "\r\n\r\n";

    testsupport::HttpsNginxServer nginx(kit());
    testsupport::TlsScriptedServer scripted(kit());
    std::string url;
    if (row.peer == Peer::Nginx) {
        ASSERT_TRUE(nginx.start()) << nginx.error();
        nginx.put("data.bin", body);
        url = nginx.baseUrl() + "/data.bin";
    } else {
        if (row.peer == Peer::ScriptedOneGo) {
            scripted.send(head + body);
        } else {
            scripted.send(head);
            for (std::size_t at = 0; at < body.size(); at += 997) scripted.send(body.substr(at, 997));
        }
        if (row.peer == Peer::ScriptedCut)
            scripted.cut();
        else
            scripted.close();
        ASSERT_TRUE(scripted.start()) << scripted.error();
        url = scripted.baseUrl() + "/data.bin";
    }

    TWeb web;
    webtest::configureLikeEngine(web);
    web.setTlsContext(trustingTestCa());
    EventLog log;
    log.attach(web);
    const std::string store = webtest::tempPath("tls-" + row.name + ".bin");
    if (row.storeToFile) {
        web.setStoreToFile(true);
        web.setStoreName(store);
    }
    web.setURL(url);
    web.Retrieve();
    ASSERT_TRUE(webtest::waitForEnd(web)) << log.joined();

    EXPECT_EQ(web.StatusText(), "200 OK") << web.tlsFailure();
    EXPECT_EQ(web.BytesReceived(), static_cast<std::int64_t>(body.size()));
    EXPECT_TRUE(log.body == body) << "handed-out bytes differ: " << log.body.size() << " of "
                                  << body.size();
    EXPECT_LE(log.largestBlock, 8191);
    EXPECT_EQ(log.unterminatedBlocks, 0);
    EXPECT_EQ(log.count("Disconnect"), 1) << log.joined();
    EXPECT_TRUE(log.errors.empty()) << log.joined();
    if (row.storeToFile)
        EXPECT_TRUE(testsupport::readFile(store) == body) << "stored bytes differ";
}

INSTANTIATE_TEST_SUITE_P(
    Peers, WebTlsBody,
    ::testing::Values(TlsBodyRow{"nginx_streaming", Peer::Nginx, 3 * 1024 * 1024 + 17, false},
                      TlsBodyRow{"nginx_store_to_file", Peer::Nginx, 3 * 1024 * 1024 + 17, true},
                      TlsBodyRow{"small_records_close_notify", Peer::ScriptedClose, 300 * 1000,
                                 true},
                      TlsBodyRow{"small_records_cut", Peer::ScriptedCut, 300 * 1000, false},
                      TlsBodyRow{"one_write_close_notify", Peer::ScriptedOneGo, 700 * 1000 + 3,
                                 true},
                      TlsBodyRow{"empty_body", Peer::ScriptedClose, 0, true}),
    [](const auto& info) { return info.param.name; });
