#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "platform/TlsSession.h"
#include "tests/support/CertificateKit.h"
#include "tests/support/HttpsNginxServer.h"
#include "tests/support/RowName.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TlsScriptedServer.h"

using platform::TlsCertificate;
using platform::TlsCheck;
using platform::TlsContext;
using platform::TlsSession;
using platform::TlsSettings;
using testsupport::Certificate;

namespace {

constexpr int kPatienceMs = 10000;  // bound for a server that is expected to answer
constexpr int kSilenceMs = 300;     // how long a server that never answers is watched
const std::string kPage = "<html><body>over TLS \x01\xff bytes</body></html>\n";

const testsupport::CertificateKit& kit() { return testsupport::sharedCertificateKit(); }

std::shared_ptr<TlsContext> contextFor(TlsCheck check, bool trustTestCa) {
    TlsSettings settings;
    settings.check = check;
    if (trustTestCa) settings.caFile = kit().caFile();
    std::string error;
    auto context = TlsContext::create(settings, &error);
    EXPECT_TRUE(context) << error;
    return context;
}

// A plain blocking TCP connection that carries a TlsSession's ciphertext; every
// wait is a poll with a bound, so a server that falls silent ends the test.
class LoopbackConnection {
public:
    enum class Wait { Data, Closed, Silent };

    LoopbackConnection(std::uint16_t port, bool ipv6 = false) {
        fd_ = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int result = -1;
        if (ipv6) {
            sockaddr_in6 sa{};
            sa.sin6_family = AF_INET6;
            sa.sin6_addr = in6addr_loopback;
            sa.sin6_port = htons(port);
            result = ::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        } else {
            sockaddr_in sa{};
            sa.sin_family = AF_INET;
            sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            sa.sin_port = htons(port);
            result = ::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        }
        connected_ = result == 0;
    }
    ~LoopbackConnection() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool connected() const { return connected_; }

    bool flush(TlsSession& session) {
        const std::string bytes = session.takeOutgoing();
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Feeds what arrives within timeoutMs, in ever-changing piece sizes so the
    // session meets records split anywhere.
    Wait receive(TlsSession& session, int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return Wait::Silent;
        static constexpr std::array<std::size_t, 6> kPieces = {1, 5, 17, 300, 4096, 16384};
        char buffer[16384];
        const std::size_t piece = kPieces[turn_++ % kPieces.size()];
        const ssize_t n = ::recv(fd_, buffer, piece, 0);
        if (n <= 0) {
            session.transportClosed();
            return Wait::Closed;
        }
        session.feed(buffer, static_cast<std::size_t>(n));
        return Wait::Data;
    }

    // Receives what arrives within timeoutMs straight into the session's input.
    Wait receiveInPlace(TlsSession& session, int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return Wait::Silent;
        constexpr std::size_t kRoom = 64 * 1024;
        const ssize_t n = ::recv(fd_, session.inputSpace(kRoom), kRoom, 0);
        if (n <= 0) {
            session.transportClosed();
            return Wait::Closed;
        }
        session.received(static_cast<std::size_t>(n));
        return Wait::Data;
    }

    TlsSession::Handshake handshake(TlsSession& session, int timeoutMs = kPatienceMs) {
        for (;;) {
            const TlsSession::Handshake state = session.handshake();
            flush(session);
            if (state != TlsSession::Handshake::WantsInput) return state;
            if (receive(session, timeoutMs) != Wait::Data) return session.handshake();
        }
    }

    // Sends a request and collects the plaintext answer until the stream ends.
    std::string exchange(TlsSession& session, const std::string& request) {
        EXPECT_TRUE(session.write(request));
        flush(session);
        std::string answer;
        for (;;) {
            const Wait wait = receive(session, kPatienceMs);
            answer += session.read();
            flush(session);
            if (wait != Wait::Data || session.closure() != TlsSession::Closure::Open) break;
        }
        return answer;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
    std::size_t turn_ = 0;
};

std::string get(const std::string& path, const std::string& host) {
    // An IPv6 literal goes into the Host header in brackets (RFC 3986).
    const bool bare6 = host.find(':') != std::string::npos && host.front() != '[';
    const std::string name = bare6 ? "[" + host + "]" : host;
    return "GET " + path + " HTTP/1.0\r\nHost: " + name + "\r\nConnection: close\r\n\r\n";
}

std::string bodyOf(const std::string& answer) {
    const std::size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

class TlsSessionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(kit().ready()) << kit().error(); }
};

}  // namespace

TEST(TlsContext, UnreadableCaFileIsRefusedWithItsName) {
    TlsSettings settings;
    settings.caFile = "/nonexistent/harvex-ca.pem";
    std::string error;
    EXPECT_FALSE(TlsContext::create(settings, &error));
    EXPECT_NE(error.find("/nonexistent/harvex-ca.pem"), std::string::npos) << error;
}

TEST(TlsSessionOffline, StartsWithAClientHelloAndRefusesDataBeforeTheHandshake) {
    TlsSession session(TlsContext::create({}), "localhost");
    EXPECT_EQ(session.handshake(), TlsSession::Handshake::WantsInput);
    EXPECT_TRUE(session.hasOutgoing());
    const std::string hello = session.takeOutgoing();
    ASSERT_GE(hello.size(), 5u);
    EXPECT_EQ(hello[0], '\x16');  // a handshake record
    EXPECT_NE(hello.find("localhost"), std::string::npos) << "SNI carries the host name";
    EXPECT_FALSE(session.write("GET / HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(session.certificate(), TlsCertificate::Unknown);
}

TEST(TlsSessionOffline, AddressLiteralsAreNotSentAsServerName) {
    TlsSession session(TlsContext::create({}), "127.0.0.1");
    session.handshake();
    EXPECT_EQ(session.takeOutgoing().find("127.0.0.1"), std::string::npos);
}

// --- a trusted certificate, reached by name and by address

struct TrustedRow {
    std::string name;
    std::string host;
    bool ipv6;
};

class TrustedCertificate : public TlsSessionTest,
                           public ::testing::WithParamInterface<TrustedRow> {};

TEST_P(TrustedCertificate, HandshakeVerifiesAndAGetReturnsTheFileBytes) {
    const TrustedRow& row = GetParam();
    if (row.ipv6 && !testsupport::loopbackIpv6Available()) GTEST_SKIP() << "no [::1] here";
    testsupport::HttpsNginxServer nginx(kit());
    if (row.ipv6) nginx.alsoOnIpv6();
    ASSERT_TRUE(nginx.start()) << nginx.error();
    nginx.put("dir/page.html", kPage);

    LoopbackConnection connection(nginx.port(), row.ipv6);
    ASSERT_TRUE(connection.connected());
    TlsSession session(contextFor(TlsCheck::Verify, true), row.host);
    ASSERT_EQ(connection.handshake(session), TlsSession::Handshake::Done) << session.failure();
    EXPECT_EQ(session.certificate(), TlsCertificate::Trusted) << session.certificateProblem();
    EXPECT_TRUE(session.verified());
    EXPECT_EQ(session.certificateProblem(), "");
    EXPECT_EQ(session.peerSubject(), "CN=localhost");
    EXPECT_EQ(session.peerIssuer(), "CN=Harvex Test CA,O=Harvex Test");
    EXPECT_EQ(session.protocolVersion().rfind("TLSv1.", 0), 0u) << session.protocolVersion();

    const std::string answer = connection.exchange(session, get("/dir/page.html", row.host));
    EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer.substr(0, 200);
    EXPECT_EQ(bodyOf(answer), kPage);
    EXPECT_EQ(session.closure(), TlsSession::Closure::Clean);
}

INSTANTIATE_TEST_SUITE_P(Hosts, TrustedCertificate,
                         ::testing::Values(TrustedRow{"host_name", "localhost", false},
                                           TrustedRow{"ipv4_literal", "127.0.0.1", false},
                                           TrustedRow{"ipv6_literal", "::1", true},
                                           TrustedRow{"ipv6_literal_in_brackets", "[::1]", true}),
                         [](const auto& info) { return info.param.name; });

// --- certificates a user must be asked about

struct RejectedRow {
    std::string name;
    Certificate served;
    std::string host;
    bool trustTestCa;
    std::string problem;
};

class RejectedCertificate : public TlsSessionTest,
                            public ::testing::WithParamInterface<RejectedRow> {};

TEST_P(RejectedCertificate, HandshakeCompletesAndNamesTheProblem) {
    const RejectedRow& row = GetParam();
    testsupport::HttpsNginxServer nginx(kit(), row.served);
    ASSERT_TRUE(nginx.start()) << nginx.error();
    nginx.put("index.html", kPage);

    LoopbackConnection connection(nginx.port());
    ASSERT_TRUE(connection.connected());
    TlsSession session(contextFor(TlsCheck::Verify, row.trustTestCa), row.host);
    ASSERT_EQ(connection.handshake(session), TlsSession::Handshake::Done) << session.failure();
    EXPECT_EQ(session.certificate(), TlsCertificate::Rejected);
    EXPECT_FALSE(session.verified());
    EXPECT_EQ(session.certificateProblem(), row.problem);
    EXPECT_EQ(session.failure(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, RejectedCertificate,
    ::testing::Values(RejectedRow{"expired", Certificate::Expired, "localhost", true,
                                  "certificate has expired"},
                      RejectedRow{"not_yet_valid", Certificate::NotYetValid, "localhost", true,
                                  "certificate is not yet valid"},
                      RejectedRow{"other_host_name", Certificate::OtherHost, "localhost", true,
                                  "certificate is not valid for localhost"},
                      RejectedRow{"other_address", Certificate::Good, "127.0.0.2", true,
                                  "certificate is not valid for 127.0.0.2"},
                      RejectedRow{"self_signed", Certificate::SelfSigned, "localhost", true,
                                  "self-signed certificate"},
                      RejectedRow{"unknown_issuer", Certificate::UntrustedIssuer, "localhost", true,
                                  "certificate is not trusted"},
                      RejectedRow{"test_ca_not_in_system_store", Certificate::Good, "localhost",
                                  false, "certificate is not trusted"}),
    [](const auto& info) { return info.param.name; });

// --- "do not check": any certificate is taken, nothing is judged

class UncheckedCertificate : public TlsSessionTest,
                             public ::testing::WithParamInterface<Certificate> {};

TEST_P(UncheckedCertificate, IsAcceptedAndCarriesTheGet) {
    testsupport::HttpsNginxServer nginx(kit(), GetParam());
    ASSERT_TRUE(nginx.start()) << nginx.error();
    nginx.put("page.html", kPage);

    LoopbackConnection connection(nginx.port());
    TlsSession session(contextFor(TlsCheck::DoNotCheck, false), "localhost");
    ASSERT_EQ(connection.handshake(session), TlsSession::Handshake::Done) << session.failure();
    EXPECT_EQ(session.certificate(), TlsCertificate::NotChecked);
    EXPECT_EQ(session.certificateProblem(), "");
    EXPECT_EQ(bodyOf(connection.exchange(session, get("/page.html", "localhost"))), kPage);
}

INSTANTIATE_TEST_SUITE_P(Certificates, UncheckedCertificate,
                         ::testing::Values(Certificate::SelfSigned, Certificate::Expired,
                                           Certificate::OtherHost),
                         [](const auto& info) { return testsupport::certificateName(info.param); });

// --- SNI: two names on one port, each with its own certificate

struct SniRow {
    std::string name;
    std::string host;
    std::string subject;
};

class ServerNameIndication : public TlsSessionTest, public ::testing::WithParamInterface<SniRow> {};

TEST_P(ServerNameIndication, ServerSendsTheCertificateOfTheNameAskedFor) {
    const SniRow& row = GetParam();
    testsupport::HttpsNginxServer nginx(kit(), Certificate::Good);
    nginx.addServerName(testsupport::kOtherHostName, Certificate::OtherHost);
    ASSERT_TRUE(nginx.start()) << nginx.error();

    LoopbackConnection connection(nginx.port());
    TlsSession session(contextFor(TlsCheck::Verify, true), row.host);
    ASSERT_EQ(connection.handshake(session), TlsSession::Handshake::Done) << session.failure();
    EXPECT_EQ(session.peerSubject(), row.subject);
    EXPECT_EQ(session.certificate(), TlsCertificate::Trusted) << session.certificateProblem();
}

INSTANTIATE_TEST_SUITE_P(
    Names, ServerNameIndication,
    ::testing::Values(SniRow{"default_name", "localhost", "CN=localhost"},
                      SniRow{"second_name", testsupport::kOtherHostName, "CN=other.test"},
                      SniRow{"address_sends_no_name", "127.0.0.1", "CN=localhost"}),
    [](const auto& info) { return info.param.name; });

// --- handshakes that cannot succeed

struct BrokenServerRow {
    std::string name;
    std::vector<std::string> sends;  // what the server sends before it closes
    std::string failure;
};

class BrokenServer : public TlsSessionTest,
                     public ::testing::WithParamInterface<BrokenServerRow> {};

TEST_P(BrokenServer, HandshakeFailsWithAPlainReason) {
    const BrokenServerRow& row = GetParam();
    testsupport::ScriptedServer server;
    server.readRequest(false);
    for (const std::string& bytes : row.sends) server.send(bytes);
    server.close();
    ASSERT_TRUE(server.start());

    LoopbackConnection connection(server.port());
    TlsSession session(contextFor(TlsCheck::Verify, true), "localhost");
    EXPECT_EQ(connection.handshake(session), TlsSession::Handshake::Failed);
    EXPECT_EQ(session.failure(), row.failure);
    EXPECT_EQ(session.certificate(), TlsCertificate::Unknown);
    EXPECT_FALSE(session.write("GET / HTTP/1.0\r\n\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Servers, BrokenServer,
    ::testing::Values(
        BrokenServerRow{
            "plain_http_answer",
            {"HTTP/1.0 400 Bad Request\r\nContent-Type: text/plain\r\n\r\nno TLS here\n"},
            "the server did not answer in TLS"},
        BrokenServerRow{"binary_garbage",
                        {std::string("\x16\x03\x03\xff\xff") + std::string(64, '\x07')},
                        "the server did not answer in TLS"},
        BrokenServerRow{
            "closes_at_once", {}, "the server closed the connection during the TLS handshake"},
        BrokenServerRow{"closes_inside_a_record",
                        {std::string("\x16\x03\x03\x00\x40", 5) + "abc"},
                        "the server closed the connection during the TLS handshake"}),
    [](const auto& info) { return info.param.name; });

TEST_F(TlsSessionTest, ServerOfferingOnlyOldProtocolsIsRefusedWithAReason) {
    testsupport::HttpsNginxServer nginx(kit(), Certificate::Good);
    nginx.protocols("TLSv1 TLSv1.1");
    ASSERT_TRUE(nginx.start()) << nginx.error();

    LoopbackConnection connection(nginx.port());
    TlsSession session(contextFor(TlsCheck::Verify, true), "localhost");
    EXPECT_EQ(connection.handshake(session), TlsSession::Handshake::Failed);
    EXPECT_EQ(session.failure(),
              "the server offers no TLS version this program accepts (1.2 or newer)");
}

TEST_F(TlsSessionTest, SilentServerLeavesTheHandshakeWantingInput) {
    testsupport::ScriptedServer server;
    server.readRequest(false).stall();
    ASSERT_TRUE(server.start());

    LoopbackConnection connection(server.port());
    TlsSession session(contextFor(TlsCheck::Verify, true), "localhost");
    EXPECT_EQ(connection.handshake(session, kSilenceMs), TlsSession::Handshake::WantsInput);
    EXPECT_EQ(session.handshakeState(), TlsSession::Handshake::WantsInput);
    EXPECT_EQ(session.failure(), "");
    EXPECT_EQ(server.connections(), 1);
    server.stop();
}

// --- how the stream ends

struct ClosureRow {
    std::string name;
    bool cut;
    TlsSession::Closure closure;
};

class StreamEnd : public TlsSessionTest, public ::testing::WithParamInterface<ClosureRow> {};

TEST_P(StreamEnd, CloseNotifyIsCleanAndACutIsTruncation) {
    const ClosureRow& row = GetParam();
    const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n";
    const std::string part(3000, 'x');
    testsupport::TlsScriptedServer server(kit());
    server.send(head).send(part);
    if (row.cut)
        server.cut();
    else
        server.close();
    ASSERT_TRUE(server.start()) << server.error();

    LoopbackConnection connection(server.port());
    TlsSession session(contextFor(TlsCheck::Verify, true), "localhost");
    ASSERT_EQ(connection.handshake(session), TlsSession::Handshake::Done) << session.failure();
    const std::string answer = connection.exchange(session, get("/big", "localhost"));
    EXPECT_EQ(answer, head + part) << "everything sent before the end arrives";
    EXPECT_EQ(session.closure(), row.closure);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0], get("/big", "localhost"));
}

INSTANTIATE_TEST_SUITE_P(
    Ends, StreamEnd,
    ::testing::Values(ClosureRow{"close_notify", false, TlsSession::Closure::Clean},
                      ClosureRow{"cut_without_close_notify", true, TlsSession::Closure::Truncated}),
    [](const auto& info) { return info.param.name; });

TEST_F(TlsSessionTest, OwnCloseQueuesCloseNotifyAndEndsWriting) {
    testsupport::HttpsNginxServer nginx(kit());
    ASSERT_TRUE(nginx.start()) << nginx.error();
    LoopbackConnection connection(nginx.port());
    TlsSession session(contextFor(TlsCheck::Verify, true), "localhost");
    ASSERT_EQ(connection.handshake(session), TlsSession::Handshake::Done) << session.failure();
    session.takeOutgoing();
    session.close();
    const std::string alert = session.takeOutgoing();
    ASSERT_GE(alert.size(), 5u);
    // An alert record, or under TLS 1.3 one disguised as application data.
    EXPECT_TRUE(alert[0] == '\x15' || alert[0] == '\x17') << int(alert[0]);
    EXPECT_FALSE(session.write("more"));
}

// --- session resumption: a second connection to the same host skips the full
// handshake, yet reports the certificate as the first one judged it

struct ResumptionRow {
    std::string name;
    Certificate served;
    std::string secondHost;
    bool resumed;
    TlsCertificate certificate;
    std::string problem;
};

class Resumption : public TlsSessionTest, public ::testing::WithParamInterface<ResumptionRow> {};

TEST_P(Resumption, SecondConnectionResumesOnlyWithTheSameHost) {
    const ResumptionRow& row = GetParam();
    testsupport::HttpsNginxServer nginx(kit(), row.served);
    ASSERT_TRUE(nginx.start()) << nginx.error();
    nginx.put("page.html", kPage);
    const auto context = contextFor(TlsCheck::Verify, true);
    {
        LoopbackConnection first(nginx.port());
        TlsSession session(context, "localhost");
        ASSERT_EQ(first.handshake(session), TlsSession::Handshake::Done) << session.failure();
        EXPECT_FALSE(session.resumed());
        // TLS 1.3 sends its session ticket after the handshake: read the answer.
        EXPECT_EQ(bodyOf(first.exchange(session, get("/page.html", "localhost"))), kPage);
    }
    LoopbackConnection second(nginx.port());
    TlsSession session(context, row.secondHost);
    ASSERT_EQ(second.handshake(session), TlsSession::Handshake::Done) << session.failure();
    EXPECT_EQ(session.resumed(), row.resumed);
    EXPECT_EQ(session.certificate(), row.certificate);
    EXPECT_EQ(session.certificateProblem(), row.problem);
    EXPECT_EQ(session.peerSubject(), "CN=localhost");
    EXPECT_EQ(bodyOf(second.exchange(session, get("/page.html", row.secondHost))), kPage);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, Resumption,
    ::testing::Values(ResumptionRow{"same_host_trusted", Certificate::Good, "localhost", true,
                                    TlsCertificate::Trusted, ""},
                      ResumptionRow{"same_host_still_expired", Certificate::Expired, "localhost",
                                    true, TlsCertificate::Rejected, "certificate has expired"},
                      ResumptionRow{"other_host_full_handshake", Certificate::Good, "127.0.0.1",
                                    false, TlsCertificate::Trusted, ""}),
    [](const auto& info) { return info.param.name; });

class ResumptionAfterEnd : public TlsSessionTest,
                           public ::testing::WithParamInterface<ClosureRow> {};

TEST_P(ResumptionAfterEnd, OnlyACleanlyEndedSessionIsOfferedAgain) {
    const ClosureRow& row = GetParam();
    testsupport::TlsScriptedServer server(kit());
    server.send("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n0123");
    if (row.cut)
        server.cut();
    else
        server.close();
    ASSERT_TRUE(server.start()) << server.error();
    const auto context = contextFor(TlsCheck::Verify, true);
    {
        LoopbackConnection first(server.port());
        TlsSession session(context, "localhost");
        ASSERT_EQ(first.handshake(session), TlsSession::Handshake::Done) << session.failure();
        first.exchange(session, get("/", "localhost"));
        ASSERT_EQ(session.closure(), row.closure);
    }
    LoopbackConnection second(server.port());
    TlsSession session(context, "localhost");
    ASSERT_EQ(second.handshake(session), TlsSession::Handshake::Done) << session.failure();
    EXPECT_EQ(session.resumed(), !row.cut);
    EXPECT_EQ(session.certificate(), TlsCertificate::Trusted);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, ResumptionAfterEnd,
    ::testing::Values(ClosureRow{"close_notify", false, TlsSession::Closure::Clean},
                      ClosureRow{"cut_without_close_notify", true, TlsSession::Closure::Truncated}),
    [](const auto& info) { return info.param.name; });

// --- plaintext decrypted straight into the reader's buffer, whatever its size

struct BufferRow {
    std::string name;
    std::size_t bufferSize;
};

class ReadIntoBuffer : public TlsSessionTest, public ::testing::WithParamInterface<BufferRow> {};

TEST_P(ReadIntoBuffer, GivesEveryByteInOrderAndSaysWhenMoreWaits) {
    const BufferRow& row = GetParam();
    std::string file(200 * 1000 + 7, '\0');
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<char>((i * 7919) >> 3);
    testsupport::HttpsNginxServer nginx(kit());
    ASSERT_TRUE(nginx.start()) << nginx.error();
    nginx.put("file.bin", file);

    LoopbackConnection connection(nginx.port());
    TlsSession session(contextFor(TlsCheck::Verify, true), "localhost");
    ASSERT_EQ(connection.handshake(session), TlsSession::Handshake::Done) << session.failure();
    ASSERT_TRUE(session.write(get("/file.bin", "localhost")));
    connection.flush(session);

    std::string answer;
    std::vector<char> buffer(row.bufferSize);
    int fullReads = 0;
    for (;;) {
        const LoopbackConnection::Wait wait = connection.receiveInPlace(session, kPatienceMs);
        // Read until the session has nothing more without new ciphertext.
        do {
            const std::size_t got = session.read(buffer.data(), buffer.size());
            ASSERT_LE(got, buffer.size());
            if (got == buffer.size()) {
                ++fullReads;
                EXPECT_TRUE(session.readable()) << "a full buffer may leave more behind";
            }
            answer.append(buffer.data(), got);
        } while (session.readable());
        EXPECT_EQ(session.decryptedWaiting(), 0u);
        connection.flush(session);
        if (wait != LoopbackConnection::Wait::Data ||
            session.closure() != TlsSession::Closure::Open)
            break;
    }
    EXPECT_TRUE(bodyOf(answer) == file) << "body differs: " << bodyOf(answer).size() << " of "
                                        << file.size() << " bytes";
    EXPECT_EQ(session.closure(), TlsSession::Closure::Clean);
    EXPECT_FALSE(session.readable());
    EXPECT_EQ(session.read(buffer.data(), buffer.size()), 0u);
    if (row.bufferSize < file.size()) {
        EXPECT_GT(fullReads, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ReadIntoBuffer,
    ::testing::Values(BufferRow{"one_byte", 1}, BufferRow{"odd_1021", 1021},
                      BufferRow{"one_record_16384", 16384}, BufferRow{"large_256k", 256 * 1024}),
    [](const auto& info) { return info.param.name; });

TEST_F(TlsSessionTest, FedAndReceivedInPlaceCiphertextMixInOrder) {
    testsupport::HttpsNginxServer nginx(kit());
    ASSERT_TRUE(nginx.start()) << nginx.error();
    nginx.put("page.html", kPage);
    LoopbackConnection connection(nginx.port());
    TlsSession session(contextFor(TlsCheck::Verify, true), "localhost");
    ASSERT_EQ(connection.handshake(session), TlsSession::Handshake::Done) << session.failure();
    ASSERT_TRUE(session.write(get("/page.html", "localhost")));
    connection.flush(session);
    std::string answer;
    for (int turn = 0;; ++turn) {
        // Every other piece goes through feed(), the rest in place.
        const LoopbackConnection::Wait wait = turn % 2 ? connection.receiveInPlace(session, kPatienceMs)
                                                       : connection.receive(session, kPatienceMs);
        if (turn % 3 == 0) {
            answer += session.read();
        } else {
            char buffer[100];
            while (const std::size_t got = session.read(buffer, sizeof buffer))
                answer.append(buffer, got);
        }
        if (wait != LoopbackConnection::Wait::Data ||
            session.closure() != TlsSession::Closure::Open)
            break;
    }
    answer += session.read();
    EXPECT_EQ(bodyOf(answer), kPage);
    EXPECT_EQ(session.closure(), TlsSession::Closure::Clean);
}
