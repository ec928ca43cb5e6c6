#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "http/RequestWriter.h"
#include "http/ResponseHead.h"
#include "http/WebCompanion.h"
#include "http/WebConst.h"
#include "platform/IpAddress.h"

namespace platform {
class MessageReceiver;
class TcpSocket;
class HostLookup;
class FileStream;
class PartialFile;
class TlsContext;
class TlsSession;
}  // namespace platform

namespace http {

class BufferStream;
class TWeb;
class TWebProxy;
class TWebCache;
struct TDocumentClass;
class THostCache;
class TCredentialCache;

enum TMethod { mtGET, mtHEAD, mtPUT, mtPOST, mtDELETE, mtLINK, mtUNLINK };
enum TMode { mdStreaming, mdRequest };
enum TService { svHTTP, svGOPHER, svFILE, svFTP, svNEWS };
enum TStreamMode { smMemory, smFile };
enum TErrorMode { emException, emHandler };

// Raised in emException mode; the text ends with ", Code: " and the code.
class EWebError : public std::runtime_error {
public:
    EWebError(const std::string& text, int code) : std::runtime_error(text), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// Raised when a port text cannot be read as a number.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using TNotifyEvent = std::function<void(TWeb* Sender)>;
using TReadEvent = std::function<void(TWeb* Sender, const char* Buffer, int Len)>;
using TErrorEvent = std::function<void(TWeb* Sender, int ErrorCode)>;
using TRedirEvent = std::function<void(TWeb* Sender, const std::string& Location)>;
using TResolvedEvent =
    std::function<void(TWeb* Sender, const std::string& Host, const std::string& Address)>;
using TResolvingEvent = std::function<void(TWeb* Sender, const std::string& Host)>;
using TResponseEvent =
    std::function<void(TWeb* Sender, int Status, int ReasonCode, const std::string& Reason)>;
using TContextEvent = std::function<void(TWeb* Sender, int Context, int Level1, int Level2)>;
using TAuthEvent = std::function<void(TWeb* Sender, const std::string& Realm, bool& AutoHandle)>;
using TCacheEvent = std::function<void(TWeb* Sender, bool& ForceCache)>;
// Asks the user for credentials (the window shows its authorization dialog);
// true with UserID and Password filled when the user confirmed.
// A server's certificate failed the check (reason: "certificate has
// expired", ...): true when the retrieval goes on all the same.
using TCertificateQuestion =
    std::function<bool(TWeb* Sender, const std::string& Host, const std::string& Reason)>;
using TAuthDialog =
    std::function<bool(TWeb* Sender, const std::string& Realm, const std::string& Host,
                       std::string& UserID, std::string& Password)>;

// An HTTP/1.0 client that fetches one document at a time. Everything after
// Retrieve runs in messages on its own receiver: callers pump the event loop
// while Retrieving() holds and learn the rest through the events.
class TWeb final : public WebCompanionUser {
public:
    static constexpr const char* kDefaultDate = "Sun, 01 Jan 1980 12:00:00 GMT";
    static constexpr int kMinBufferSize = 1024;
    static constexpr int kMaxBufferSize = 8192;
    // A server that refuses every credential must not keep the request going
    // round: at most this many repeated requests per Retrieve.
    static constexpr int kMaxAuthorizationAttempts = 3;

    TWeb();
    ~TWeb();
    TWeb(const TWeb&) = delete;
    TWeb& operator=(const TWeb&) = delete;

    // --- retrieval
    void Retrieve();
    void Cancel();
    bool Retrieving() const;
    // Queues a request for the next len bytes of the buffered document; they
    // are copied into buffer and announced by OnContext1..OnContext8.
    void RequestData(char* Buffer, int Len, int Context, int Level1 = -1, int Level2 = -1);

    // --- properties
    const std::string& Accept() const { return accept_; }
    void setAccept(const std::string& v) { accept_ = v; }
    const std::string& BufferName() const { return bufferName_; }
    void setBufferName(const std::string& v);
    int BufferSize() const { return bufferSize_; }
    void setBufferSize(int v);
    TWebCache* CacheControl() const { return cacheControl_; }
    void setCacheControl(TWebCache* v);
    const std::string& DocumentName() const { return documentName_; }
    void setDocumentName(const std::string& v);
    const std::string& DocumentPath() const { return documentPath_; }
    void setDocumentPath(const std::string& v);
    TErrorMode ErrorMode() const { return errorMode_; }
    void setErrorMode(TErrorMode v) { errorMode_ = v; }
    const std::string& From() const { return from_; }
    void setFrom(const std::string& v) { from_ = v; }
    TMethod Method() const { return method_; }
    void setMethod(TMethod v) { method_ = v; }
    const std::string& Password() const { return password_; }
    void setPassword(const std::string& v) { password_ = v; }
    bool PeekMode() const { return peekMode_; }
    void setPeekMode(bool v) { peekMode_ = v; }
    const std::string& Proxy() const { return proxy_; }
    void setProxy(const std::string& v);
    TWebProxy* ProxyDispatcher() const { return proxyDispatcher_; }
    void setProxyDispatcher(TWebProxy* v);
    int ProxyPort() const { return proxyPort_; }
    void setProxyPort(int v);
    const std::string& Referer() const { return referer_; }
    void setReferer(const std::string& v) { referer_ = v; }
    TMode RequestMode() const { return requestMode_; }
    void setRequestMode(TMode v);
    TStreamMode StreamMode() const { return streamMode_; }
    void setStreamMode(TStreamMode v);
    int TimeOut() const { return timeOut_; }
    void setTimeOut(int v);
    const std::string& URL() const { return url_; }
    void setURL(const std::string& v);
    bool UseProxy() const { return useProxy_; }
    void setUseProxy(bool v);
    const std::string& UserAgent() const { return userAgent_; }
    void setUserAgent(const std::string& v) { userAgent_ = v; }
    const std::string& UserID() const { return userID_; }
    void setUserID(const std::string& v) { userID_ = v; }
    const std::string& WebHost() const { return webHost_; }
    void setWebHost(const std::string& v);
    TService WebService() const { return webService_; }
    void setWebService(TService v);
    int WebPort() const { return webPort_; }
    void setWebPort(int v);
    // True when the URL is an "https://" one: the retrieval goes over TLS.
    bool Secure() const { return secure_; }
    // The URL's server as "host:port" ("[::1]:8080" for an IPv6 address): what
    // credentials are kept under and what no_proxy entries are matched with.
    std::string originHostAndPort() const;

    bool StoreToFile() const { return storeToFile_; }
    void setStoreToFile(bool v) { storeToFile_ = v; }
    const std::string& StoreName() const { return storeName_; }
    void setStoreName(const std::string& v) { storeName_ = v; }
    // A file the caller already holds open for the body (not owned): with
    // StoreToFile the body goes there instead of to a file opened by
    // StoreName, which then only names it in messages. Null: StoreName.
    void setStoreFile(platform::PartialFile* file) { storeFile_ = file; }
    const std::string& IfModifiedSince() const { return ifModifiedSince_; }
    void setIfModifiedSince(const std::string& v) { ifModifiedSince_ = v; }

    // --- response fields
    const std::string& StatusText() const { return statusText_; }
    int StatusClass() const { return statusClass_; }
    int StatusDetail() const { return statusDetail_; }
    int HTTPMajor() const { return httpMajor_; }
    int HTTPMinor() const { return httpMinor_; }
    int MIMEMajor() const { return mimeMajor_; }
    int MIMEMinor() const { return mimeMinor_; }
    const std::string& ServerName() const { return serverName_; }
    const std::string& DocumentDate() const { return documentDate_; }
    const std::string& ContentEncoding() const { return contentEncoding_; }
    const std::string& Expires() const { return expires_; }
    const std::string& Location() const { return location_; }
    const std::string& ContentType() const { return contentType_; }
    const std::string& ContentSubType() const { return contentSubType_; }
    std::int64_t ContentLength() const { return contentLength_; }
    const std::string& LastModified() const { return lastModified_; }
    const std::string& Warning() const { return warning_; }
    const std::string& Realm() const { return realm_; }
    const std::vector<std::string>& HeaderLines() const { return headParser_.lines(); }
    std::int64_t BytesReceived() const { return bytesReceived_; }
    std::int64_t BytesRemaining() const { return bytesRemaining_; }
    int PercentDone() const { return percentDone_; }
    double TransferRate() const { return transferRate_; }
    const std::string& LastError() const { return lastError_; }
    // The socket error code (10061 "Connection refused", 11001 "Host not
    // found", ...) that ended the current retrieval, or 0. A refused or reset
    // connection and a failed lookup end the retrieval at once with OnError.
    // A host with several addresses (IPv6 and IPv4) is tried at each in the
    // order the lookup gave them; only when none takes the connection does
    // the retrieval end, with the last address's error.
    int socketError() const { return socketError_; }
    // Why the TLS layer ended the current retrieval ("certificate has
    // expired", a failed handshake), or empty.
    const std::string& tlsFailure() const { return tlsFailure_; }
    // Why the proxy turned the current request away (407: it wants a user
    // name and password, or refused the ones sent), or empty. The response
    // itself still arrives as usual.
    const std::string& proxyRefusal() const { return proxyRefusal_; }
    // The TLS configuration of "https://" retrievals; without one, the
    // system's certificate store with the check on.
    void setTlsContext(std::shared_ptr<platform::TlsContext> context);
    bool Connected() const;

    // Class-wide cache of looked-up hosts: "name|address" entries, sorted,
    // without duplicates, an IPv4 address as a signed decimal number, an IPv6
    // address as its text.
    static std::vector<std::string>& HostCache();

    // Class-wide credentials already given: sorted, without duplicates, each
    // entry the realm key, "|", the user name, the character 4 and the
    // password. The key is the realm and the server it belongs to, so that no
    // other server or realm is ever sent them.
    static std::vector<std::string>& CredentialCache();
    static std::string credentialKey(const std::string& realm, const std::string& hostAndPort);

    // The caches this component consults: the class-wide ones above unless it
    // is given others (which must outlive it).
    void setHostCache(THostCache& cache) { hostCache_ = &cache; }
    void setCredentialCache(TCredentialCache& cache) { credentialCache_ = &cache; }

    // The cache entry of the current document (State 2 when there is none).
    const TDocumentClass& CacheEntry() const { return *document_; }

    // A component this one refers to is going away.
    void Notification(WebCompanion* removed) override;

    // Shown when a Basic challenge's realm has no credentials yet and
    // OnAuthorization leaves AutoHandle true. Without it such a challenge ends
    // the retrieval as if the dialog had been cancelled.
    TAuthDialog AuthorizationDialog;
    // Asked when a server's certificate is rejected; without it the retrieval
    // ends with the reason in tlsFailure().
    TCertificateQuestion CertificateQuestion;

    // --- events
    TAuthEvent OnAuthorization;
    TNotifyEvent OnConnect;
    TContextEvent OnContext1, OnContext2, OnContext3, OnContext4, OnContext5, OnContext6,
        OnContext7, OnContext8;
    TReadEvent OnDataAvailable;
    TNotifyEvent OnDisconnect;
    TCacheEvent OnForceCache;
    TErrorEvent OnError;
    TNotifyEvent OnInfo;
    TNotifyEvent OnPrepare;
    TRedirEvent OnRedirection;
    TResolvedEvent OnResolved;
    TResolvingEvent OnResolving;
    TResponseEvent OnResponse;
    TNotifyEvent OnTimeOut;  // kept for callers that bind it; time limits are theirs
    TNotifyEvent OnWrite;

private:
    struct QueuedRequest {
        char* buffer;
        int length;
        int context;
        int level1;
        int level2;
    };

    // Where the current attempt stands. One attempt is one connection: Retrieve
    // starts one, a request repeated with credentials starts the next; Cancel
    // gives it up. The phase alone decides what an incoming message does
    // (dispatch).
    enum class Phase {
        Closed,        // no retrieval under way; requests are answered from what is buffered
        Cancelled,     // given up by Cancel or a report: nothing more is handed out
        Starting,      // WM_WEBSTART posted
        Resolving,     // the host's address being found (lookup or host cache)
        Connecting,    // connect under way
        Tunnelling,    // connected to the https proxy, its answer to CONNECT awaited
        Handshaking,   // connected to an "https://" server, the TLS handshake under way
        Sending,       // connected, the request being written
        ReadingHead,   // reading up to the blank line that ends the response head
        ReadingBody,   // reading the body, until the server closes
        ServingLocal,  // a local file or folder listing, handed out on request
        Ended,         // OnDisconnect raised: the document is used up
    };

    void handleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    void dispatch(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    bool ofCurrentAttempt(unsigned msg, std::uintptr_t wParam) const;
    // Raises an event; false when its handler gave the attempt up (Cancel,
    // Retrieve, a report), so that what the caller was about to do no longer
    // applies.
    template <class Event, class... Args>
    bool raise(const Event& event, Args&&... args) {
        const std::uintptr_t attempt = attempt_;
        if (event) event(this, std::forward<Args>(args)...);
        return attempt == attempt_;
    }
    void guard(const char* name);
    void reportError(int id, const std::string& argument = {});
    void reportSocketError(int code);
    void report(const std::string& text, int code);
    void parseURL(const std::string& text);
    void rebuildURL();
    void resetResponse();
    void beginAttempt();
    // Readies the body's file: StoreFile emptied, or a new file at StoreName.
    void openStore();
    // False when a body block could not be written whole.
    bool storeBlock(const char* data, std::size_t size);
    // The lookup and connect steps (WebConnect.cpp).
    void chooseTarget();
    void findAddress();
    void addressFound(int error);
    void openConnection();
    bool connectNextAddress(int error);
    void addressAnswered();
    void connectFinished(int error);
    void connectionEvent(int event, int error);
    void sendRequest();
    // The response is the proxy's refusal (407, or a 401 of its own), not
    // the server's answer.
    bool proxyRefused(const TResponseHead& head) const;
    // The TLS layer (WebTls.cpp).
    // The CONNECT tunnel through an https proxy (WebTunnel.cpp).
    void openTunnel();
    void tunnelEvent(int event, int error);
    // leftover: bytes from the server that came with the proxy's answer.
    void startHandshake(const std::string& leftover = {});
    void handshakeEvent(int event, int error);
    void advanceHandshake();
    bool certificateAccepted();
    void failTls(const std::string& reason);
    bool flushTls();
    // One socket read straight into the session's ciphertext input.
    std::int64_t receiveCiphertext();
    std::int64_t receiveTls(char* buffer, std::size_t size);
    // The server closed: the plaintext the TLS layer still holds is read;
    // false when a handler gave the attempt up meanwhile.
    bool finishTlsInput();
    void endTls();
    void writeRequest();
    // Every byte TWeb sends or receives passes these three: a layer between
    // the socket and the HTTP text (TLS) wraps them and nothing else.
    bool sendBytes(const std::string& bytes);
    std::int64_t receiveBytes(char* buffer, std::size_t size);
    bool inputWaiting() const;
    void readBlock();
    // One read and what it brought processed; false when it brought nothing.
    bool readOneBlock();
    // The whole response is in (a HEAD's head, or every byte Content-Length
    // gave) on a plain connection: the server's close is all that can follow.
    bool onlyTheCloseCanFollow() const;
    void processBlock(char* data, std::size_t size);
    void deliverBody(char* data, std::size_t size);
    void parseHeader();
    void onClose();
    void closeConnection();
    void raiseDisconnectOnce();
    void handOutFromRead();
    void handOutFromClose();
    void deliverNext();
    bool raiseContext(const QueuedRequest& r);
    void startLocalFile();
    void chooseProxy();
    void consultCache();
    void cacheHeader();
    void cacheBlock(const char* data, std::size_t size);
    void finishCacheEntry(bool complete);
    bool serveCachedCopy();
    bool forceCachedCopy();
    void handleChallenge(bool basic);
    void repeatRequest();

    // properties
    std::string accept_ = "*/*";
    std::string bufferName_;
    int bufferSize_ = kMaxBufferSize;
    TWebCache* cacheControl_ = nullptr;
    std::string documentName_;
    std::string documentPath_;
    TErrorMode errorMode_ = emHandler;
    std::string from_;
    TMethod method_ = mtGET;
    std::string password_;
    bool peekMode_ = false;
    std::string proxy_;
    std::string proxyHostName_;
    std::string proxyAddress_;
    TWebProxy* proxyDispatcher_ = nullptr;
    int proxyPort_ = 0;
    // The chosen proxy's credentials, sent in Proxy-Authorization to that
    // proxy alone.
    std::optional<BasicCredentials> proxyCredentials_;
    std::string referer_;
    TMode requestMode_ = mdStreaming;
    TStreamMode streamMode_ = smMemory;
    int timeOut_ = 0;
    std::string url_;
    bool useProxy_ = false;
    std::string userAgent_ = "ZEPHYRKIT/1.0";
    std::string userID_;
    std::string webHost_;
    TService webService_ = svHTTP;
    int webPort_ = 80;
    bool storeToFile_ = false;
    std::string storeName_;
    platform::PartialFile* storeFile_ = nullptr;
    std::string ifModifiedSince_ = kDefaultDate;

    // URL state
    std::string hostName_;
    std::string hostAddress_;
    int urlPort_ = 80;
    bool localFile_ = false;
    bool secure_ = false;

    // response
    std::string statusText_, serverName_, documentDate_, contentEncoding_, expires_, location_,
        contentType_, contentSubType_, lastModified_, warning_, realm_, lastError_;
    int statusClass_ = 0, statusDetail_ = 0, httpMajor_ = 0, httpMinor_ = 0, mimeMajor_ = 0,
        mimeMinor_ = 0, percentDone_ = 0;
    std::int64_t contentLength_ = 0, bytesRemaining_ = 0, bytesReceived_ = 0;
    double transferRate_ = 0;

    // retrieval
    std::unique_ptr<platform::MessageReceiver> receiver_;
    std::unique_ptr<platform::TcpSocket> socket_;
    std::unique_ptr<platform::HostLookup> lookup_;
    std::unique_ptr<BufferStream> bufferStream_;
    std::unique_ptr<platform::FileStream> storeStream_;
    std::unique_ptr<platform::FileStream> localStream_;
    // Identifies the current attempt: the start and hand-out messages and the
    // socket's notifications carry it, so that those of an attempt given up are
    // told apart (the lookup's answer carries its own handle).
    std::uintptr_t attempt_ = 1;
    Phase phase_ = Phase::Closed;
    std::string lookupName_;
    // The addresses of the host (or proxy), tried in turn until one takes the
    // connection; addressIndex_ is the one being tried.
    std::vector<platform::IpAddress> addresses_;
    std::size_t addressIndex_ = 0;
    std::shared_ptr<platform::TlsContext> tlsContext_;
    std::unique_ptr<platform::TlsSession> tls_;
    std::string tlsFailure_;
    std::string proxyRefusal_;
    std::string tunnelReply_;  // the proxy's answer to CONNECT so far
    int connectPort_ = 80;
    int lookupHandle_ = 0;
    int socketError_ = 0;
    // A handler that pumps events while a block is processed must not see
    // later blocks before it returns: socket messages wait meanwhile, here
    // rather than in the queue, where a pump inside the handler would take
    // them round and round and never get back to its own loop.
    bool processingBlock_ = false;
    struct HeldMessage {
        unsigned msg;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    std::vector<HeldMessage> heldSocketMessages_;
    // The next request carries the Basic credentials (a repeat after a challenge).
    bool sendCredentials_ = false;
    TResponseHeadParser headParser_;
    std::vector<char> receiveBuffer_;
    std::chrono::steady_clock::time_point connectTime_{};
    std::int64_t readPosition_ = 0;
    int lengthHandedOut_ = 0;
    int level1_ = -1, level2_ = -1;
    std::deque<QueuedRequest> requests_;

    // document cache
    std::unique_ptr<TDocumentClass> document_;
    std::unique_ptr<platform::FileStream> cacheStream_;
    // What this retrieval does with its cache entry: nothing, checking a
    // valid copy (If-Modified-Since), or writing the body into it.
    enum class CacheWork { None, Revalidating, Writing };
    CacheWork cacheWork_ = CacheWork::None;

    // caches
    THostCache* hostCache_;
    TCredentialCache* credentialCache_;

    // authorization
    bool autoHandle_ = true;
    int authAttempts_ = 0;
    std::string sentCredentialKey_;
};

// The realm of a challenge value such as: Basic realm="Members only".
std::string challengeRealm(const std::string& value);

// Parsing helpers, exposed for their tests.
// A host "reads as a dotted address" when its last character other than "." is
// a decimal digit.
bool isDottedHost(const std::string& host);
// The IPv4 address in network byte order, or 0 when text is not a dotted quad.
std::uint32_t dottedAddress(const std::string& text);
// "a.b.c.d" from an address in network byte order.
std::string dottedText(std::uint32_t addressNetworkOrder);

}  // namespace http
