#include "platform/TlsSession.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace platform {

namespace {

constexpr int kReadChunk = 16 * 1024;
// Hosts whose last session is kept; a crawl rarely talks to more at once.
constexpr std::size_t kMaxKeptSessions = 256;

// "[::1]" names the same address as "::1"; OpenSSL wants the bare form.
std::string withoutBrackets(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    return std::string(host);
}

bool isAddressLiteral(const std::string& host) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

std::string nameText(const X509_NAME* name) {
    if (!name) return {};
    BIO* bio = BIO_new(BIO_s_mem());
    if (!bio) return {};
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_RFC2253);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string text(data, size > 0 ? static_cast<std::size_t>(size) : 0);
    BIO_free(bio);
    return text;
}

// The verification result in the words a user reads in the log or a dialog.
std::string verifyProblem(long result, const std::string& host) {
    switch (result) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return "certificate has expired";
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return "certificate is not yet valid";
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return "certificate is not valid for " + host;
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
            return "self-signed certificate";
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_CERT_UNTRUSTED:
            return "certificate is not trusted";
        default:
            return X509_verify_cert_error_string(result);
    }
}

// The first SSL-library error queued for this failure: it names the cause,
// the ones after it only the functions it passed through.
unsigned long firstError() {
    unsigned long first = 0;
    while (const unsigned long code = ERR_get_error()) {
        if (first == 0) first = code;
    }
    return first;
}

std::string handshakeProblem(unsigned long code) {
    switch (ERR_GET_REASON(code)) {
        case SSL_R_WRONG_VERSION_NUMBER:
        case SSL_R_PACKET_LENGTH_TOO_LONG:
        case SSL_R_HTTP_REQUEST:
        case SSL_R_UNEXPECTED_MESSAGE:
        case SSL_R_UNEXPECTED_RECORD:
        case SSL_R_BAD_RECORD_TYPE:
        case SSL_R_LENGTH_TOO_SHORT:
            return "the server did not answer in TLS";
        case SSL_R_UNSUPPORTED_PROTOCOL:
        case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
        case SSL_R_NO_PROTOCOLS_AVAILABLE:
        case SSL_R_VERSION_TOO_LOW:
            return "the server offers no TLS version this program accepts (1.2 or newer)";
        case SSL_R_NO_SHARED_CIPHER:
        case SSL_R_NO_CIPHERS_AVAILABLE:
        case SSL_R_SSLV3_ALERT_HANDSHAKE_FAILURE:
        case SSL_R_TLSV1_ALERT_INSUFFICIENT_SECURITY:
            return "the server refused the TLS handshake (no cipher in common)";
        default:
            break;
    }
    const char* reason = ERR_reason_error_string(code);
    return std::string("TLS handshake failed: ") + (reason ? reason : "unknown error");
}

}  // namespace

// The read side of a session: OpenSSL takes its records straight from the
// session's input buffer, where the socket put them (a memory BIO would copy
// them once more on the way in). An empty buffer asks OpenSSL to retry later.
BIO_METHOD* TlsSession::inputMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tls input");
        if (m) {
            BIO_meth_set_read_ex(m, &TlsSession::takeInput);
            BIO_meth_set_ctrl(m, &TlsSession::controlInput);
        }
        return m;
    }();
    return method;
}

int TlsSession::takeInput(BIO* bio, char* out, std::size_t size, std::size_t* taken) {
    auto* self = static_cast<TlsSession*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    const std::size_t waiting = self->inputEnd_ - self->inputStart_;
    if (waiting == 0) {
        // Not the end of the stream: more may come (transportClosed() says when not).
        BIO_set_retry_read(bio);
        *taken = 0;
        return 0;
    }
    const std::size_t n = std::min(size, waiting);
    std::memcpy(out, self->input_.data() + self->inputStart_, n);
    self->inputStart_ += n;
    if (self->inputStart_ == self->inputEnd_) self->inputStart_ = self->inputEnd_ = 0;
    *taken = n;
    return 1;
}

long TlsSession::controlInput(BIO* bio, int command, long, void*) {
    switch (command) {
        case BIO_CTRL_PENDING: {
            auto* self = static_cast<TlsSession*>(BIO_get_data(bio));
            return static_cast<long>(self->inputEnd_ - self->inputStart_);
        }
        case BIO_CTRL_FLUSH:
            return 1;
        default:
            return 0;
    }
}

std::shared_ptr<TlsContext> TlsContext::create(const TlsSettings& settings, std::string* error) {
    std::shared_ptr<TlsContext> context(new TlsContext);
    context->settings_ = settings;
    // A CA file the user named is read now, so that a bad one is said before
    // the copy starts. Otherwise OpenSSL and the system store (several MiB)
    // wait for the first https address: most copies never meet one.
    if (!settings.caFile.empty() && settings.check == TlsCheck::Verify &&
        !context->build(error))
        return nullptr;
    return context;
}

bool TlsContext::build(std::string* error) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) {
        if (error) *error = "TLS is not available";
        return false;
    }
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    // The chain is still verified and its result kept; the handshake goes on
    // so that the caller decides (a command line fails, a window asks).
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(ctx, &TlsContext::onNewSession);
    if (settings_.check == TlsCheck::Verify) {
        if (settings_.caFile.empty()) {
            SSL_CTX_set_default_verify_paths(ctx);
        } else if (SSL_CTX_load_verify_locations(ctx, settings_.caFile.c_str(), nullptr) != 1) {
            ERR_clear_error();
            SSL_CTX_free(ctx);
            if (error) *error = "cannot read the CA certificates in " + settings_.caFile;
            return false;
        }
    }
    ctx_ = ctx;
    return true;
}

::ssl_ctx_st* TlsContext::ctx() {
    std::lock_guard<std::mutex> guard(buildLock_);
    if (!ctx_) build(nullptr);
    return ctx_;
}

TlsContext::~TlsContext() {
    for (auto& [host, session] : sessions_) SSL_SESSION_free(session);
    SSL_CTX_free(ctx_);
}

int TlsContext::onNewSession(SSL* ssl, SSL_SESSION* session) {
    auto* owner = static_cast<TlsSession*>(SSL_get_app_data(ssl));
    if (!owner || !SSL_SESSION_is_resumable(session)) return 0;
    owner->context_->keepSession(owner->host_, session);
    return 1;  // the reference is ours now
}

void TlsContext::keepSession(const std::string& host, SSL_SESSION* session) {
    std::lock_guard<std::mutex> guard(sessionsLock_);
    auto found = sessions_.find(host);
    if (found != sessions_.end()) {
        SSL_SESSION_free(found->second);
        found->second = session;
        return;
    }
    if (sessions_.size() >= kMaxKeptSessions) {
        SSL_SESSION_free(sessions_.begin()->second);
        sessions_.erase(sessions_.begin());
    }
    sessions_.emplace(host, session);
}

SSL_SESSION* TlsContext::takeSessionFor(const std::string& host) {
    std::lock_guard<std::mutex> guard(sessionsLock_);
    auto found = sessions_.find(host);
    if (found == sessions_.end()) return nullptr;
    // OpenSSL marks a session unusable when its connection broke off.
    if (!SSL_SESSION_is_resumable(found->second)) {
        SSL_SESSION_free(found->second);
        sessions_.erase(found);
        return nullptr;
    }
    SSL_SESSION_up_ref(found->second);
    return found->second;
}

TlsSession::TlsSession(std::shared_ptr<TlsContext> context, std::string host)
    : context_(std::move(context)), host_(withoutBrackets(host)) {
    ssl_ = SSL_new(context_->ctx());
    BIO_METHOD* method = inputMethod();
    in_ = method ? BIO_new(method) : nullptr;
    out_ = BIO_new(BIO_s_mem());
    if (!ssl_ || !in_ || !out_) {
        BIO_free(in_);
        BIO_free(out_);
        in_ = out_ = nullptr;
        fail("TLS is not available");
        return;
    }
    BIO_set_data(in_, this);
    BIO_set_init(in_, 1);
    SSL_set_bio(ssl_, in_, out_);
    SSL_set_connect_state(ssl_);
    SSL_set_app_data(ssl_, this);

    const bool address = isAddressLiteral(host_);
    // RFC 6066: SNI carries DNS names only, never addresses.
    if (!address && !host_.empty()) SSL_set_tlsext_host_name(ssl_, host_.c_str());
    if (SSL_SESSION* earlier = context_->takeSessionFor(host_)) {
        SSL_set_session(ssl_, earlier);
        SSL_SESSION_free(earlier);
    }
    if (context_->settings().check == TlsCheck::DoNotCheck) return;
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
    const int ok =
        address ? X509_VERIFY_PARAM_set1_ip_asc(param, host_.c_str())
                : (X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS),
                   X509_VERIFY_PARAM_set1_host(param, host_.c_str(), host_.size()));
    if (ok != 1 || host_.empty()) fail("the host name \"" + host_ + "\" cannot be checked");
}

TlsSession::~TlsSession() {
    // OpenSSL forgets the session of a connection that did not end with a
    // close_notify sent (RFC 5246 section 7.2.1). One the server ended cleanly
    // is as sound as one we closed, so it stays offered for the next
    // connection; a truncated one is forgotten.
    if (ssl_ && closure_ == Closure::Clean)
        SSL_set_shutdown(ssl_, SSL_get_shutdown(ssl_) | SSL_SENT_SHUTDOWN);
    SSL_free(ssl_);  // frees both buffers
}

void TlsSession::feed(const char* data, std::size_t size) {
    if (!in_ || size == 0) return;
    std::memcpy(inputSpace(size), data, size);
    received(size);
}

char* TlsSession::inputSpace(std::size_t size) {
    if (input_.size() - inputEnd_ < size) {
        // What is left is the start of a record (OpenSSL takes whole records
        // as soon as they are there): move it to the front.
        if (inputStart_ > 0) {
            std::memmove(input_.data(), input_.data() + inputStart_, inputEnd_ - inputStart_);
            inputEnd_ -= inputStart_;
            inputStart_ = 0;
        }
        if (input_.size() - inputEnd_ < size) input_.resize(inputEnd_ + size);
    }
    return input_.data() + inputEnd_;
}

void TlsSession::received(std::size_t count) {
    if (!in_) return;
    inputEnd_ += std::min(count, input_.size() - inputEnd_);
}

std::string TlsSession::takeOutgoing() {
    std::string bytes;
    if (!out_) return bytes;
    const std::size_t pending = BIO_ctrl_pending(out_);
    bytes.resize(pending);
    const int got = pending ? BIO_read(out_, bytes.data(), static_cast<int>(pending)) : 0;
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}

bool TlsSession::hasOutgoing() const { return out_ && BIO_ctrl_pending(out_) > 0; }

TlsSession::Handshake TlsSession::handshake() {
    if (handshake_ != Handshake::WantsInput) return handshake_;
    ERR_clear_error();
    const int result = SSL_do_handshake(ssl_);
    if (result == 1) {
        handshake_ = Handshake::Done;
        decideCertificate();
        return handshake_;
    }
    const int error = SSL_get_error(ssl_, result);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
        if (transportClosed_) fail("the server closed the connection during the TLS handshake");
        return handshake_;
    }
    failFromOpenSsl(error);
    return handshake_;
}

void TlsSession::decideCertificate() {
    const X509* peer = SSL_get0_peer_certificate(ssl_);
    if (peer) {
        peerSubject_ = nameText(X509_get_subject_name(peer));
        peerIssuer_ = nameText(X509_get_issuer_name(peer));
    }
    if (context_->settings().check == TlsCheck::DoNotCheck) {
        certificate_ = TlsCertificate::NotChecked;
        return;
    }
    if (!peer) {
        certificate_ = TlsCertificate::Rejected;
        certificateProblem_ = "the server sent no certificate";
        return;
    }
    const long result = SSL_get_verify_result(ssl_);
    if (result == X509_V_OK) {
        certificate_ = TlsCertificate::Trusted;
    } else {
        certificate_ = TlsCertificate::Rejected;
        certificateProblem_ = verifyProblem(result, host_);
    }
}

void TlsSession::fail(std::string reason) {
    handshake_ = Handshake::Failed;
    if (failure_.empty()) failure_ = std::move(reason);
}

void TlsSession::failFromOpenSsl(int sslError) {
    const unsigned long code = firstError();
    if (code == 0 || sslError == SSL_ERROR_SYSCALL) {
        fail("the server closed the connection during the TLS handshake");
    } else {
        fail(handshakeProblem(code));
    }
}

std::string TlsSession::protocolVersion() const {
    return handshake_ == Handshake::Done ? SSL_get_version(ssl_) : "";
}

bool TlsSession::resumed() const {
    return handshake_ == Handshake::Done && SSL_session_reused(ssl_) == 1;
}

bool TlsSession::write(std::string_view plaintext) {
    if (handshake_ != Handshake::Done || closeSent_ || closure_ != Closure::Open) return false;
    if (plaintext.empty()) return true;
    ERR_clear_error();
    // The output buffer grows as needed, so one call takes all of it.
    const int written = SSL_write(ssl_, plaintext.data(), static_cast<int>(plaintext.size()));
    if (written == static_cast<int>(plaintext.size())) return true;
    ERR_clear_error();
    return false;
}

void TlsSession::noteReadEnd(int sslError) {
    if (sslError == SSL_ERROR_ZERO_RETURN) {
        closure_ = Closure::Clean;
    } else if (sslError != SSL_ERROR_WANT_READ && sslError != SSL_ERROR_WANT_WRITE) {
        // A damaged record: nothing after it can be trusted.
        ERR_clear_error();
        closure_ = Closure::Truncated;
    }
}

void TlsSession::drain() {
    readStoppedFull_ = false;
    if (handshake_ != Handshake::Done || closure_ != Closure::Open) return;
    char buffer[kReadChunk];
    for (;;) {
        ERR_clear_error();
        const int got = SSL_read(ssl_, buffer, sizeof buffer);
        if (got > 0) {
            plain_.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        noteReadEnd(SSL_get_error(ssl_, got));
        return;
    }
}

std::string TlsSession::read() {
    drain();
    return std::exchange(plain_, {});
}

std::size_t TlsSession::read(char* buffer, std::size_t size) {
    // What an earlier drain decrypted comes first.
    std::size_t got = std::min(size, plain_.size());
    if (got > 0) {
        std::memcpy(buffer, plain_.data(), got);
        plain_.erase(0, got);
    }
    readStoppedFull_ = false;
    if (handshake_ != Handshake::Done || closure_ != Closure::Open) return got;
    while (got < size) {
        std::size_t n = 0;
        ERR_clear_error();
        if (SSL_read_ex(ssl_, buffer + got, size - got, &n) == 1) {
            got += n;
            continue;
        }
        noteReadEnd(SSL_get_error(ssl_, 0));
        return got;
    }
    readStoppedFull_ = true;
    return got;
}

std::size_t TlsSession::decryptedWaiting() const {
    const int inRecord = ssl_ && closure_ == Closure::Open ? SSL_pending(ssl_) : 0;
    return plain_.size() + static_cast<std::size_t>(std::max(inRecord, 0));
}

void TlsSession::close() {
    if (handshake_ != Handshake::Done || closeSent_) return;
    closeSent_ = true;
    ERR_clear_error();
    SSL_shutdown(ssl_);
    ERR_clear_error();
}

void TlsSession::transportClosed() {
    if (transportClosed_) return;
    transportClosed_ = true;
    if (handshake_ == Handshake::WantsInput) handshake();
    if (handshake_ != Handshake::Done) return;
    drain();  // what was fed may still hold data and the close_notify
    if (closure_ == Closure::Open) closure_ = Closure::Truncated;
}

}  // namespace platform
