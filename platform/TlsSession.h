#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// OpenSSL's types, kept out of every file that includes this one.
struct ssl_ctx_st;
struct ssl_st;
struct bio_st;
struct bio_method_st;
struct ssl_session_st;

// A TLS client session that never touches a socket: ciphertext goes in and out
// through memory buffers, so a non-blocking state machine can drive it from its
// own socket events. TLS 1.2 or newer only.
//
// Bulk data take the short way: the socket receives straight into the
// session's ciphertext input (inputSpace/received), and read() decrypts
// straight into the caller's buffer, so a body is copied once in user space
// on its way to a file.
namespace platform {

// Whether the server's certificate is judged at all.
enum class TlsCheck { Verify, DoNotCheck };

struct TlsSettings {
    // PEM file of the certificate authorities to trust instead of the system
    // store; empty: the system store.
    std::string caFile;
    TlsCheck check = TlsCheck::Verify;
};

// The OpenSSL context of one configuration, shared by all its sessions so that
// a connection costs only a session object (a crawl opens thousands).
class TlsContext {
public:
    // Null (and a reason in `error`) when the CA file cannot be read.
    static std::shared_ptr<TlsContext> create(const TlsSettings& settings,
                                              std::string* error = nullptr);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    const TlsSettings& settings() const { return settings_; }

private:
    friend class TlsSession;
    TlsContext() = default;
    // The last session each host gave us, offered again on the next connection
    // so a crawl saves the full handshake (RFC 8446 section 2.2, RFC 5077).
    void keepSession(const std::string& host, ::ssl_session_st* session);
    ::ssl_session_st* takeSessionFor(const std::string& host);  // a reference, or null
    static int onNewSession(::ssl_st* ssl, ::ssl_session_st* session);
    // Makes the OpenSSL context; false (and why in `error`) when it cannot.
    bool build(std::string* error);
    // The OpenSSL context, made at the first call; null when TLS is not available.
    ::ssl_ctx_st* ctx();

    std::mutex buildLock_;
    ::ssl_ctx_st* ctx_ = nullptr;
    TlsSettings settings_;
    std::mutex sessionsLock_;
    std::map<std::string, ::ssl_session_st*> sessions_;
};

// What became of the server's certificate once the handshake is done.
enum class TlsCertificate {
    Unknown,     // the handshake is not done yet
    Trusted,     // chain and host name verified
    Rejected,    // see certificateProblem()
    NotChecked,  // TlsCheck::DoNotCheck
};

class TlsSession {
public:
    enum class Handshake { WantsInput, Done, Failed };
    enum class Closure {
        Open,       // nothing has ended the stream yet
        Clean,      // the server sent close_notify: everything it meant to send arrived
        Truncated,  // the connection ended without close_notify: data may be missing
    };

    // `host` is the name asked for (a DNS name, an IPv4 literal or an IPv6
    // literal with or without brackets); it is sent as SNI unless it is an
    // address, and the certificate is checked against it.
    TlsSession(std::shared_ptr<TlsContext> context, std::string host);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // --- the transport side
    // Ciphertext received from the server.
    void feed(const char* data, std::size_t size);
    void feed(std::string_view data) { feed(data.data(), data.size()); }
    // The same without a copy: room for up to `size` bytes at the end of the
    // ciphertext input for a socket to receive into, then the count that came.
    // The room is valid until the next inputSpace() or feed().
    char* inputSpace(std::size_t size);
    void received(std::size_t count);
    // Ciphertext waiting to be sent to the server (takes it).
    std::string takeOutgoing();
    bool hasOutgoing() const;
    // The server closed the connection (recv returned 0 or failed). Decides a
    // handshake in progress (Failed) and the closure (Clean or Truncated).
    void transportClosed();

    // --- the handshake: call it after start and after every feed until it is
    // no longer WantsInput (then send what takeOutgoing() holds).
    Handshake handshake();
    Handshake handshakeState() const { return handshake_; }
    // Why the handshake failed, in plain words; empty otherwise.
    const std::string& failure() const { return failure_; }

    // --- the certificate, once the handshake is done
    TlsCertificate certificate() const { return certificate_; }
    bool verified() const { return certificate_ == TlsCertificate::Trusted; }
    // "certificate has expired", "certificate is not valid for HOST", ... when Rejected.
    const std::string& certificateProblem() const { return certificateProblem_; }
    // Subject and issuer of the server's certificate ("CN=localhost"), for the
    // question a window puts to the user.
    const std::string& peerSubject() const { return peerSubject_; }
    const std::string& peerIssuer() const { return peerIssuer_; }
    // "TLSv1.3" and the like.
    std::string protocolVersion() const;
    // Whether the handshake resumed an earlier session with this host.
    bool resumed() const;

    // --- application data (after the handshake is Done)
    // Encrypts plaintext; false when the session cannot carry it (not done,
    // failed, closed).
    bool write(std::string_view plaintext);
    // All plaintext that can be decrypted from what was fed so far.
    std::string read();
    // Up to `size` bytes of it, decrypted straight into `buffer`; the count.
    std::size_t read(char* buffer, std::size_t size);
    // Plaintext decrypted and not read yet.
    std::size_t decryptedWaiting() const;
    // Whether read() has plaintext to give before more ciphertext comes: some
    // is decrypted already, or the last read() stopped at the end of its buffer.
    bool readable() const { return readStoppedFull_ || decryptedWaiting() > 0; }
    // Queues close_notify (send it with takeOutgoing()).
    void close();
    Closure closure() const { return closure_; }

private:
    friend class TlsContext;
    void decideCertificate();
    void fail(std::string reason);
    void failFromOpenSsl(int sslError);
    void drain();
    void noteReadEnd(int sslError);
    // The input buffer's side of in_: OpenSSL takes ciphertext from input_.
    static ::bio_method_st* inputMethod();
    static int takeInput(::bio_st* bio, char* out, std::size_t size, std::size_t* taken);
    static long controlInput(::bio_st* bio, int command, long number, void* pointer);

    std::shared_ptr<TlsContext> context_;
    std::string host_;
    ::ssl_st* ssl_ = nullptr;
    ::bio_st* in_ = nullptr;   // reads input_, owned by ssl_
    ::bio_st* out_ = nullptr;  // ciphertext to the server, owned by ssl_
    // Ciphertext from the server not yet taken by OpenSSL: input_[inputStart_, inputEnd_).
    std::vector<char> input_;
    std::size_t inputStart_ = 0;
    std::size_t inputEnd_ = 0;
    bool readStoppedFull_ = false;
    Handshake handshake_ = Handshake::WantsInput;
    TlsCertificate certificate_ = TlsCertificate::Unknown;
    Closure closure_ = Closure::Open;
    bool transportClosed_ = false;
    bool closeSent_ = false;
    std::string plain_;  // decrypted before the caller asked (while draining at close)
    std::string failure_;
    std::string certificateProblem_;
    std::string peerSubject_;
    std::string peerIssuer_;
};

}  // namespace platform
