// TWeb's TLS layer for "https://": the handshake between the connect and the
// request, and the encryption under sendBytes and receiveBytes.
#include "http/Web.h"
#include "http/WebInternal.h"
#include "platform/SocketEvents.h"
#include "platform/TcpSocket.h"
#include "platform/TlsSession.h"

namespace http {

namespace {

// The configuration of a component that was given none: the system store,
// checked. One for the process, so that every component shares its sessions.
std::shared_ptr<platform::TlsContext> defaultTlsContext() {
    static std::shared_ptr<platform::TlsContext> context =
        platform::TlsContext::create(platform::TlsSettings{});
    return context;
}

}  // namespace

void TWeb::setTlsContext(std::shared_ptr<platform::TlsContext> context) {
    tlsContext_ = std::move(context);
}

void TWeb::startHandshake(const std::string& leftover) {
    phase_ = Phase::Handshaking;
    if (!tlsContext_) tlsContext_ = defaultTlsContext();
    if (!tlsContext_) return failTls("TLS is not available");
    tls_ = std::make_unique<platform::TlsSession>(tlsContext_, webHost_);
    if (!leftover.empty()) tls_->feed(leftover);
    advanceHandshake();
}

void TWeb::handshakeEvent(int event, int error) {
    if (error != 0) {
        reportSocketError(error);
        return;
    }
    if (event == platform::FD_READ) {
        const std::int64_t n = receiveCiphertext();
        if (n == 0) tls_->transportClosed();
        advanceHandshake();
    } else if (event == platform::FD_CLOSE) {
        while (socket_->pendingBytes() > 0 && receiveCiphertext() > 0) {
        }
        tls_->transportClosed();
        advanceHandshake();
    }
}

void TWeb::advanceHandshake() {
    const platform::TlsSession::Handshake state = tls_->handshake();
    if (!flushTls()) return;
    if (state == platform::TlsSession::Handshake::Failed) return failTls(tls_->failure());
    if (state != platform::TlsSession::Handshake::Done) return;
    if (!certificateAccepted()) return;
    // Whatever came with the last handshake flight stays in the session for
    // the response reader.
    sendRequest();
}

bool TWeb::certificateAccepted() {
    if (tls_->certificate() != platform::TlsCertificate::Rejected) return true;
    const std::string problem = tls_->certificateProblem();
    const std::uintptr_t attempt = attempt_;
    const bool accepted = CertificateQuestion && CertificateQuestion(this, webHost_, problem);
    if (attempt != attempt_) return false;  // the question's handler gave the attempt up
    if (!accepted) failTls(problem);
    return accepted;
}

void TWeb::failTls(const std::string& reason) {
    if (forceCachedCopy()) return;
    tlsFailure_ = reason.empty() ? std::string("TLS handshake failed") : reason;
    tls_.reset();
    report(tlsFailure_, 0);
}

bool TWeb::flushTls() {
    if (!tls_ || !tls_->hasOutgoing()) return true;
    const std::string bytes = tls_->takeOutgoing();
    if (const int rc = socket_->sendAll(bytes.data(), bytes.size()); rc != 0) {
        if (forceCachedCopy()) return false;
        tls_.reset();
        socketError_ = rc;
        reportError(SSendError);
        return false;
    }
    return true;
}

std::int64_t TWeb::receiveCiphertext() {
    const std::int64_t n = socket_->receive(tls_->inputSpace(kReadChunk), kReadChunk);
    if (n > 0) tls_->received(static_cast<std::size_t>(n));
    return n;
}

std::int64_t TWeb::receiveTls(char* buffer, std::size_t size) {
    // One socket read per call, as without TLS: it re-arms the read
    // notification, and what it brings is decrypted straight into the
    // caller's buffer together with anything left from before.
    const std::int64_t n = receiveCiphertext();
    const std::size_t got = tls_->read(buffer, size);
    // OpenSSL may have an answer to send (a key update).
    if (!flushTls()) return -1;
    if (got > 0) return static_cast<std::int64_t>(got);
    return n > 0 ? 0 : n;
}

bool TWeb::finishTlsInput() {
    if (!tls_) return true;
    tls_->transportClosed();
    const std::uintptr_t attempt = attempt_;
    while (tls_ && tls_->decryptedWaiting() > 0) {
        const std::size_t before = tls_->decryptedWaiting();
        readBlock();
        if (attempt != attempt_) return false;
        if (tls_ && tls_->decryptedWaiting() == before) break;
    }
    return true;
}

void TWeb::endTls() {
    if (!tls_) return;
    // close_notify tells the server we are done and keeps the session for the
    // next connection to this host.
    if (tls_->handshakeState() == platform::TlsSession::Handshake::Done && socket_) {
        tls_->close();
        if (tls_->hasOutgoing()) {
            const std::string bytes = tls_->takeOutgoing();
            socket_->sendAll(bytes.data(), bytes.size());
        }
    }
    tls_.reset();
}

}  // namespace http
