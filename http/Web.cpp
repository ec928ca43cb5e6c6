#include "http/Web.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "http/BufferStream.h"
#include "http/CredentialCache.h"
#include "http/HostCache.h"
#include "http/ProxyTunnel.h"
#include "http/RequestWriter.h"
#include "http/ResponseHead.h"
#include "http/WebInternal.h"
#include "http/Webcache.h"
#include "http/Webproxy.h"
#include "platform/ByteText.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/HostLookup.h"
#include "platform/MessageReceiver.h"
#include "platform/PartialFile.h"
#include "platform/SocketErrors.h"
#include "platform/TcpSocket.h"
#include "platform/TlsSession.h"

namespace http {

std::vector<std::string>& TWeb::HostCache() { return THostCache::shared().entries(); }

std::vector<std::string>& TWeb::CredentialCache() { return TCredentialCache::shared().entries(); }

std::string TWeb::credentialKey(const std::string& realm, const std::string& hostAndPort) {
    return TCredentialCache::key(realm, hostAndPort);
}

TWeb::TWeb()
    : receiver_(std::make_unique<platform::MessageReceiver>(
          [this](unsigned msg, std::uintptr_t w, std::intptr_t l) { handleMessage(msg, w, l); })),
      lookup_(std::make_unique<platform::HostLookup>(*receiver_, WM_WEBRESOLVED)),
      receiveBuffer_(kReadChunk + 1),
      document_(std::make_unique<TDocumentClass>()),
      hostCache_(&THostCache::shared()),
      credentialCache_(&TCredentialCache::shared()) {
    hostAddress_ = "0.0.0.0";
    resetResponse();
}

TWeb::~TWeb() {
    ++attempt_;
    if (proxyDispatcher_) proxyDispatcher_->detach(this);
    if (cacheControl_) cacheControl_->detach(this);
    lookup_->cancel();
    if (socket_) socket_->close();
}

// ---------------------------------------------------------------- errors

void TWeb::reportError(int id, const std::string& argument) {
    report(formatWebMessage(id, argument), id % 100);
}

void TWeb::reportSocketError(int code) {
    socketError_ = code;
    report(platform::socketErrorText(code), code);
}

void TWeb::report(const std::string& text, int code) {
    Cancel();
    if (errorMode_ == emHandler) {
        lastError_ = text;
        if (OnError) OnError(this, code);
        return;
    }
    throw EWebError(text + ", Code: " + std::to_string(code), code);
}

// ---------------------------------------------------------------- retrieval

void TWeb::resetResponse() {
    statusText_ = "NONE";
    statusClass_ = statusDetail_ = 0;
    httpMajor_ = httpMinor_ = mimeMajor_ = mimeMinor_ = 0;
    serverName_ = "NONE";
    documentDate_ = kDefaultDate;
    lastModified_ = kDefaultDate;
    ifModifiedSince_ = kDefaultDate;
    warning_ = "NONE";
    contentType_ = contentSubType_ = "NONE";
    contentLength_ = bytesRemaining_ = bytesReceived_ = 0;
    percentDone_ = 0;
    transferRate_ = 0;
}

bool TWeb::Retrieving() const {
    switch (phase_) {
        case Phase::Starting:
        case Phase::Resolving:
        case Phase::Connecting:
        case Phase::Tunnelling:
        case Phase::Handshaking:
        case Phase::Sending:
        case Phase::ReadingHead:
        case Phase::ReadingBody:
        case Phase::ServingLocal:
            return true;
        case Phase::Closed:
        case Phase::Cancelled:
        case Phase::Ended:
            return false;
    }
    return false;
}

bool TWeb::Connected() const {
    return phase_ == Phase::Sending || phase_ == Phase::ReadingHead ||
           phase_ == Phase::ReadingBody;
}

void TWeb::Retrieve() {
    // A retrieval still under way is given up silently, so that two never share
    // the component's buffers.
    if (Retrieving() || lookup_->pending() || socket_) Cancel();
    ++attempt_;
    connectTime_ = {};
    socketError_ = 0;
    tlsFailure_.clear();
    proxyRefusal_.clear();
    readPosition_ = 0;
    level1_ = level2_ = -1;
    lastError_ = "OK";
    lengthHandedOut_ = 0;
    requests_.clear();
    resetResponse();
    phase_ = Phase::Closed;
    localStream_.reset();
    cacheWork_ = CacheWork::None;
    cacheStream_.reset();
    authAttempts_ = 0;
    sentCredentialKey_.clear();
    document_->reset();

    if (cacheControl_ && !localFile_) consultCache();

    bufferStream_.reset();
    if (streamMode_ == smFile) {
        if (bufferName_.empty()) reportError(SNoBufferName);
        bufferStream_ = std::make_unique<BufferStream>(bufferName_);
    } else {
        bufferStream_ = std::make_unique<BufferStream>();
    }
    if (storeToFile_) openStore();

    chooseProxy();
    sendCredentials_ = false;

    if (localFile_) {
        headParser_.reset();
        phase_ = Phase::ServingLocal;
        startLocalFile();
        return;
    }
    chooseTarget();
    webPort_ = connectPort_;
    beginAttempt();
}

void TWeb::openStore() {
    if (storeName_.empty()) reportError(SNoStoreName);
    if (storeFile_) {
        if (!storeFile_->rewind())
            throw platform::FileCreateError("Cannot create file \"" + storeName_ + "\". " +
                                            std::strerror(errno));
        return;
    }
    storeStream_ = platform::FileStream::create(storeName_);
}

bool TWeb::storeBlock(const char* data, std::size_t size) {
    if (!storeToFile_) return true;
    if (storeFile_) return storeFile_->write(std::string_view(data, size));
    return !storeStream_ || storeStream_->write(data, size);
}

void TWeb::beginAttempt() {
    headParser_.reset();
    phase_ = Phase::Starting;
    receiver_->PostMessage(WM_WEBSTART, attempt_);
}

void TWeb::Cancel() {
    ++attempt_;
    lookup_->cancel();
    // An entry being written is given up even when the retrieval never got
    // under way (a report from Retrieve itself).
    finishCacheEntry(false);
    if (Retrieving() || socket_) {
        requests_.clear();
        closeConnection();
    }
    phase_ = Phase::Cancelled;
}

void TWeb::RequestData(char* Buffer, int Len, int Context, int Level1, int Level2) {
    requests_.push_back({Buffer, std::max(0, Len), Context, Level1, Level2});
    receiver_->PostMessage(WM_WEBDELIVER, attempt_);
}

void TWeb::handleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    // Nothing may escape into the event loop: an error raised here (emException)
    // has no caller to catch it, so its text is kept in LastError instead.
    try {
        dispatch(msg, wParam, lParam);
    } catch (const std::exception& e) {
        lastError_ = e.what();
    }
}

bool TWeb::ofCurrentAttempt(unsigned msg, std::uintptr_t wParam) const {
    if (msg == WM_WEBRESOLVED) return static_cast<int>(wParam) == lookupHandle_;
    return wParam == attempt_;
}

// The one place that decides what a message does: a message of an attempt
// given up or replaced is dropped, and the phase says which messages still
// mean something.
void TWeb::dispatch(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    if (!ofCurrentAttempt(msg, wParam)) return;
    if (msg == WM_WEBSOCKET && processingBlock_) {
        heldSocketMessages_.push_back({msg, wParam, lParam});
        return;
    }
    const int event = platform::selectEvent(lParam);
    const int error = platform::selectError(lParam);
    switch (phase_) {
        case Phase::Cancelled:
            return;  // nothing more is handed out or announced
        case Phase::Starting:
            if (msg == WM_WEBSTART) return findAddress();
            break;
        case Phase::Resolving:
            if (msg == WM_WEBRESOLVED) {
                if (error == 0) addresses_ = lookup_->addresses(lookupHandle_);
                return addressFound(error);
            }
            break;
        case Phase::Connecting:
            if (msg == WM_WEBSOCKET && event == platform::FD_CONNECT) return connectFinished(error);
            break;
        case Phase::Tunnelling:
            if (msg == WM_WEBSOCKET) return tunnelEvent(event, error);
            break;
        case Phase::Handshaking:
            if (msg == WM_WEBSOCKET) return handshakeEvent(event, error);
            break;
        case Phase::Sending:
        case Phase::ReadingHead:
        case Phase::ReadingBody:
            if (msg == WM_WEBSOCKET) return connectionEvent(event, error);
            break;
        case Phase::ServingLocal:
        case Phase::Closed:
        case Phase::Ended:
            break;
    }
    // In every phase but Cancelled: the posted hand-out and redirection.
    if (msg == WM_WEBDELIVER) {
        deliverNext();
    } else if (msg == WM_WEBREDIRECT) {
        raise(OnRedirection, location_);
    }
}

void TWeb::connectFinished(int error) {
    // A refused connect moves on to the host's next address; after the last
    // one it ends the retrieval now, with its reason: nothing more will
    // arrive, and waiting for the caller's time limit would report a stall
    // that never was.
    if (error != 0) {
        if (connectNextAddress(error)) return;
        if (forceCachedCopy()) return;
        reportSocketError(error);
        return;
    }
    addressAnswered();
    if (secure_) return useProxy_ ? openTunnel() : startHandshake();
    sendRequest();
}

// Connected (and, for "https://", the handshake done): the request goes out.
void TWeb::sendRequest() {
    phase_ = Phase::Sending;
    if (!raise(OnConnect)) return;
    writeRequest();
    connectTime_ = std::chrono::steady_clock::now();
    if (phase_ == Phase::Sending) phase_ = Phase::ReadingHead;
}

void TWeb::connectionEvent(int event, int error) {
    // A reset connection ends the retrieval at once, like a refused connect.
    if (error != 0) {
        reportSocketError(error);
        return;
    }
    switch (event) {
        case platform::FD_WRITE:
            if (method_ == mtPOST) raise(OnWrite);
            break;
        case platform::FD_READ:
            readBlock();
            break;
        case platform::FD_CLOSE:
            onClose();
            break;
        default:
            break;
    }
}

bool TWeb::sendBytes(const std::string& bytes) {
    if (!socket_ || !Connected()) return false;
    if (tls_) return tls_->write(bytes) && flushTls();
    if (const int rc = socket_->sendAll(bytes.data(), bytes.size()); rc != 0) {
        if (forceCachedCopy()) return false;
        socketError_ = rc;
        reportError(SSendError);
        return false;
    }
    return true;
}

std::int64_t TWeb::receiveBytes(char* buffer, std::size_t size) {
    if (!socket_) return -1;
    if (tls_) return receiveTls(buffer, size);
    return socket_->receive(buffer, size);
}

bool TWeb::inputWaiting() const {
    if (tls_ && tls_->readable()) return true;
    return socket_ && socket_->pendingBytes() > 0;
}

void TWeb::writeRequest() {
    static const char* kMethodWords[] = {"GET", "HEAD", "PUT", "POST", "DELETE", "LINK", "UNLINK"};
    RequestFields fields;
    // The request line is fixed before OnPrepare; the headers take what the
    // handler left in the properties.
    fields.method = kMethodWords[method_];
    // Inside a CONNECT tunnel the server itself reads the request.
    fields.throughProxy = useProxy_ && !secure_;
    fields.absoluteUrl = url_;
    fields.path = documentPath_ + documentName_;
    if (!raise(OnPrepare)) return;
    fields.from = from_;
    fields.host = webHost_;
    if (ifModifiedSince_ != kDefaultDate) fields.ifModifiedSince = ifModifiedSince_;
    fields.referer = referer_;
    fields.userAgent = userAgent_;
    fields.accept = accept_;
    if (sendCredentials_) {
        sendCredentials_ = false;
        fields.credentials = RequestFields::Credentials{userID_, password_};
    }
    // Only a request the proxy itself reads carries its credentials; inside
    // a CONNECT tunnel the server reads the request.
    if (fields.throughProxy) fields.proxyCredentials = proxyCredentials_;
    // The request goes whole to the socket in one send: every piece sent alone
    // costs a system call, a packet and a wake-up of the server.
    sendBytes(requestText(fields));
}

void TWeb::readBlock() {
    if (!readOneBlock()) return;
    // The close has usually come with the last bytes: looking for it now
    // saves a wait for a notification. Once only: a server that sends on
    // past the end is read at the pace of the notifications, so no stream
    // of its can pile up calls here.
    if (onlyTheCloseCanFollow()) readOneBlock();
}

bool TWeb::readOneBlock() {
    std::int64_t n = receiveBytes(receiveBuffer_.data(), kReadChunk);
    if (n <= 0) return false;  // a failed read is ignored
    struct Scope {
        TWeb& web;
        explicit Scope(TWeb& w) : web(w) { web.processingBlock_ = true; }
        ~Scope() {
            web.processingBlock_ = false;
            // What waited goes back to the queue in its order; a message of
            // an attempt given up meanwhile is dropped there.
            for (const HeldMessage& held : web.heldSocketMessages_)
                web.receiver_->PostMessage(held.msg, held.wParam, held.lParam);
            web.heldSocketMessages_.clear();
        }
    };
    Scope scope(*this);
    processBlock(receiveBuffer_.data(), static_cast<std::size_t>(n));
    return true;
}

bool TWeb::onlyTheCloseCanFollow() const {
    if (phase_ != Phase::ReadingBody || !socket_ || tls_) return false;
    if (method_ == mtHEAD) return true;
    return contentLength_ > 0 && bytesReceived_ >= contentLength_;
}

void TWeb::processBlock(char* data, std::size_t size) {
    std::size_t offset = 0;
    if (phase_ == Phase::Sending || phase_ == Phase::ReadingHead) {
        offset = headParser_.feed(data, size);
        if (!headParser_.complete()) return;
        phase_ = Phase::ReadingBody;
        const std::uintptr_t attempt = attempt_;
        parseHeader();
        if (attempt != attempt_ || phase_ != Phase::ReadingBody) return;
        cacheHeader();
        if (attempt != attempt_ || phase_ != Phase::ReadingBody) return;
        if (statusClass_ == 3 && (statusDetail_ == 1 || statusDetail_ == 2)) {
            receiver_->PostMessage(WM_WEBREDIRECT, attempt_);
        }
    } else {
        offset = headParser_.bodyStart(data, size);
    }
    if (offset < size) deliverBody(data + offset, size - offset);
}

void TWeb::deliverBody(char* data, std::size_t size) {
    auto account = [this](std::size_t n) {
        bytesReceived_ += static_cast<std::int64_t>(n);
        if (contentLength_ > 0) {
            percentDone_ = static_cast<int>(std::llround(
                static_cast<double>(bytesReceived_) * 100.0 / static_cast<double>(contentLength_)));
            bytesRemaining_ = contentLength_ - bytesReceived_;
        }
        double seconds =
            connectTime_ == std::chrono::steady_clock::time_point{}
                ? 0.0
                : std::chrono::duration<double>(std::chrono::steady_clock::now() - connectTime_)
                      .count();
        transferRate_ = seconds > 0 ? static_cast<double>(bytesReceived_) / 1024.0 / seconds : 0.0;
    };
    // OnInfo comes before the first body block of a response.
    bool infoPending = bytesReceived_ == 0;

    cacheBlock(data, size);
    if (!storeBlock(data, size)) {
        // A full disk: going on would only lose more bytes.
        std::string name = storeName_;
        Cancel();
        lastError_ = "Cannot write file " + name;
        return;
    }

    if (requestMode_ == mdRequest) {
        account(size);
        if (bufferStream_) {
            bufferStream_->append(data, size);
            bufferStream_->seek(readPosition_);
        }
        if (infoPending && !raise(OnInfo)) return;
        if (!requests_.empty()) handOutFromRead();
        return;
    }

    const std::size_t maxBlock = static_cast<std::size_t>(bufferSize_ - 1);
    for (std::size_t at = 0; at < size;) {
        std::size_t n = std::min(maxBlock, size - at);
        account(n);
        if (infoPending) {
            infoPending = false;
            if (!raise(OnInfo)) return;
        }
        // Each block is handed out zero-terminated after its length.
        char saved = data[at + n];
        data[at + n] = '\0';
        const bool same = raise(OnDataAvailable, static_cast<const char*>(data + at),
                                static_cast<int>(n));
        data[at + n] = saved;
        if (!same) return;
        at += n;
    }
}

void TWeb::parseHeader() {
    const TResponseHead head = headParser_.head();
    if (head.statusLine) {
        httpMajor_ = head.httpMajor;
        httpMinor_ = head.httpMinor;
    }
    if (head.statusText) {
        statusText_ = *head.statusText;
        statusClass_ = head.statusClass;
        statusDetail_ = head.statusDetail;
    }
    if (head.mimeMajor) mimeMajor_ = *head.mimeMajor;
    if (head.mimeMinor) mimeMinor_ = *head.mimeMinor;
    auto take = [](std::string& field, const std::optional<std::string>& value) {
        if (value) field = *value;
    };
    take(serverName_, head.serverName);
    take(documentDate_, head.documentDate);
    take(contentEncoding_, head.contentEncoding);
    take(expires_, head.expires);
    take(location_, head.location);
    take(contentType_, head.contentType);
    take(contentSubType_, head.contentSubType);
    take(lastModified_, head.lastModified);
    take(warning_, head.warning);
    if (head.contentLength) contentLength_ = bytesRemaining_ = *head.contentLength;
    if (OnResponse) {
        if (head.statusLine) {
            OnResponse(this, statusClass_, statusDetail_, head.reason);
        } else {
            OnResponse(this, 0, 0, std::string());
        }
    }
    if (proxyRefused(head)) {
        // The proxy's own challenge: the site's credentials are never the
        // answer, and the proxy's were already sent with the request.
        proxyRefusal_ = ProxyAuthenticationFailure(proxyCredentials_.has_value(), statusText_);
        return;
    }
    if (!head.challenge) return;
    // Of several challenges a Basic one is answered; only Basic is spoken here.
    const bool basic = !head.basicChallenge.empty();
    realm_ = challengeRealm(basic ? head.basicChallenge : head.otherChallenge);
    handleChallenge(basic);
}

bool TWeb::proxyRefused(const TResponseHead& head) const {
    // Without a proxy, or inside a tunnel, the server answered.
    if (!useProxy_ || secure_) return false;
    // 407 is the proxy's challenge, never the site's.
    if (statusClass_ == 4 && statusDetail_ == 7) return true;
    if (!proxyCredentials_) return false;
    // Some proxies (tinyproxy) refuse wrong credentials with a 401 of their
    // own; the server's 401 passed on by the proxy carries Via.
    return statusClass_ == 4 && statusDetail_ == 1 && !head.forwardedByProxy;
}

void TWeb::onClose() {
    const std::uintptr_t attempt = attempt_;
    const bool notModified = statusClass_ == 3 && statusDetail_ == 4;
    while (inputWaiting()) {
        std::int64_t before = bytesReceived_;
        readBlock();
        if (attempt != attempt_) return;
        if (bytesReceived_ == before && phase_ != Phase::Sending && phase_ != Phase::ReadingHead)
            break;
    }
    if (!finishTlsInput()) return;
    closeConnection();
    if (requestMode_ == mdRequest && !notModified) {
        handOutFromClose();
        if (attempt != attempt_) return;
    }
    finishCacheEntry(true);
    requests_.clear();
    if (statusClass_ == 3 && (statusDetail_ == 1 || statusDetail_ == 2)) return;
    if (statusText_.find("304") != std::string::npos) {
        serveCachedCopy();
        return;
    }
    if (requestMode_ == mdStreaming) raiseDisconnectOnce();
}

void TWeb::closeConnection() {
    endTls();
    if (socket_) {
        socket_->close();
        socket_.reset();
    }
    storeStream_.reset();
    // An attempt under way ends here; one already over keeps its phase.
    if (Retrieving()) phase_ = Phase::Closed;
    lastError_.clear();
}

void TWeb::raiseDisconnectOnce() {
    if (phase_ == Phase::Ended) return;
    phase_ = Phase::Ended;
    raise(OnDisconnect);
}

}  // namespace http
