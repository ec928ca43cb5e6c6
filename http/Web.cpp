#include "http/Web.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "http/BufferStream.h"
#include "http/CredentialCache.h"
#include "http/HostCache.h"
#include "http/ResponseHead.h"
#include "http/WebInternal.h"
#include "http/Webcache.h"
#include "http/Webproxy.h"
#include "platform/ByteText.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/HostLookup.h"
#include "platform/MessageReceiver.h"
#include "platform/SocketErrors.h"
#include "platform/TcpSocket.h"

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
    ++generation_;
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

void TWeb::Retrieve() {
    // A retrieval still under way is given up silently, so that two never share
    // the component's buffers.
    if (retrieving_ || lookupPending_ || socket_) Cancel();
    ++generation_;
    connectTime_ = {};
    lookupError_ = 0;
    socketError_ = 0;
    lookupPending_ = false;
    readPosition_ = 0;
    level1_ = level2_ = -1;
    lastError_ = "OK";
    endOfData_ = false;
    disconnectReported_ = false;
    lengthHandedOut_ = 0;
    requests_.clear();
    resetResponse();
    cancelled_ = false;
    localStream_.reset();
    servedFromFile_ = false;
    caching_ = false;
    revalidating_ = false;
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
    if (storeToFile_) {
        if (storeName_.empty()) reportError(SNoStoreName);
        storeStream_ = platform::FileStream::create(storeName_);
    }

    chooseProxy();

    headerPhase_ = true;
    headParser_.reset();
    infoPending_ = true;
    sendCredentials_ = false;
    retrieving_ = true;

    if (!localFile_) {
        if (useProxy_) {
            lookupName_ = proxyHostName_;
            address_ = dottedAddress(proxyAddress_);
            connectPort_ = proxyPort_;
        } else {
            lookupName_ = hostName_;
            address_ = dottedAddress(hostAddress_);
            connectPort_ = urlPort_;
        }
        webPort_ = connectPort_;
        receiver_->PostMessage(WM_WEBSTART, generation_);
        return;
    }
    startLocalFile();
}

void TWeb::Cancel() {
    cancelled_ = true;
    ++generation_;
    if (lookupPending_) {
        lookupError_ = lookup_->cancel();
        lookupPending_ = false;
    }
    // An entry being written is given up even when the retrieval never got
    // under way (a report from Retrieve itself).
    finishCacheEntry(false);
    if (retrieving_ || socket_) {
        requests_.clear();
        closeConnection();
    }
}

void TWeb::RequestData(char* Buffer, int Len, int Context, int Level1, int Level2) {
    requests_.push_back({Buffer, std::max(0, Len), Context, Level1, Level2});
    receiver_->PostMessage(WM_WEBDELIVER, generation_);
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

void TWeb::dispatch(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (msg) {
        case WM_WEBSTART:
            if (!stale(wParam)) startLookupOrConnect();
            break;
        case WM_WEBRESOLVED:
            if (lookupPending_ && static_cast<int>(wParam) == lookupHandle_) {
                int error = platform::selectError(lParam);
                if (error == 0) address_ = lookup_->address(lookupHandle_);
                afterLookup(error);
            }
            break;
        case WM_WEBSOCKET:
            if (stale(wParam) || !socket_) break;
            if (inRead_) {
                // A handler that pumps events must not see blocks out of order.
                receiver_->PostMessage(msg, wParam, lParam);
                break;
            }
            onSocket(platform::selectEvent(lParam), platform::selectError(lParam));
            break;
        case WM_WEBREDIRECT:
            if (!stale(wParam) && OnRedirection) OnRedirection(this, location_);
            break;
        case WM_WEBDELIVER:
            if (!stale(wParam)) deliverNext();
            break;
        default:
            break;
    }
}

void TWeb::startLookupOrConnect() {
    std::uint32_t cached = 0;
    if (!lookupName_.empty() && !hostCache_->find(lookupName_, cached)) {
        lookupPending_ = true;
        lookupError_ = 0;
        lookupHandle_ = lookup_->start(lookupName_);
        if (OnResolving) OnResolving(this, lookupName_);
        return;
    }
    if (!lookupName_.empty()) address_ = cached;
    afterLookup(0);
}

void TWeb::afterLookup(int error) {
    lookupPending_ = false;
    lookupError_ = error;
    if (error != 0 || (lookupName_.empty() && address_ == 0)) {
        if (forceCachedCopy()) return;
        std::string host = lookupName_;
        if (host.empty()) host = useProxy_ ? proxy_ : webHost_;
        // The socket-level reason stays beside the component's own message.
        socketError_ = error != 0 ? error : platform::WSAHOST_NOT_FOUND;
        reportError(SHostNotFound, host);
        return;
    }
    GenerationWatch watch{generation_, generation_};
    if (OnResolved) OnResolved(this, lookupName_, dottedText(address_));
    if (watch.changed()) return;
    if (!lookupName_.empty()) hostCache_->add(lookupName_, address_);
    openConnection();
}

void TWeb::openConnection() {
    socket_ = std::make_unique<platform::TcpSocket>(*receiver_, WM_WEBSOCKET, generation_);
    if (const int rc = socket_->open(); rc != 0) {
        socket_.reset();
        socketError_ = rc;
        reportError(SCannotCreateSocket);
        return;
    }
    int rc = socket_->connect(address_, static_cast<std::uint16_t>(connectPort_));
    if (rc != 0 && rc != platform::WSAEWOULDBLOCK) {
        socketError_ = rc;
        reportError(SOpenFailed);
    }
}

void TWeb::onSocket(int event, int error) {
    // A refused connect or a reset connection ends the retrieval now, with its
    // reason: nothing more will arrive, and waiting for the caller's time limit
    // would report a stall that never was.
    if (error != 0) {
        if (event == platform::FD_CONNECT && forceCachedCopy()) return;
        reportSocketError(error);
        return;
    }
    switch (event) {
        case platform::FD_CONNECT:
            onConnected();
            break;
        case platform::FD_WRITE:
            if (OnWrite && method_ == mtPOST) OnWrite(this);
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

void TWeb::onConnected() {
    connected_ = true;
    GenerationWatch watch{generation_, generation_};
    if (OnConnect) OnConnect(this);
    if (watch.changed()) return;
    writeRequest();
    connectTime_ = std::chrono::steady_clock::now();
}

bool TWeb::sendPiece(const std::string& piece) {
    if (!socket_ || !connected_) return false;
    if (const int rc = socket_->sendAll(piece.data(), piece.size()); rc != 0) {
        if (forceCachedCopy()) return false;
        socketError_ = rc;
        reportError(SSendError);
        return false;
    }
    return true;
}

void TWeb::writeRequest() {
    static const char* kMethodWords[] = {"GET", "HEAD", "PUT", "POST", "DELETE", "LINK", "UNLINK"};
    std::string target = requestTarget(useProxy_ ? url_ : documentPath_ + documentName_);
    // The request is built whole and handed to the socket in one send: every
    // piece sent alone costs a system call, a packet and a wake-up of the server.
    std::string request = std::string(kMethodWords[method_]) + " " + target + " HTTP/1.0\r\n";
    GenerationWatch watch{generation_, generation_};
    if (OnPrepare) OnPrepare(this);
    if (watch.changed()) return;
    auto header = [&request](const char* name, const std::string& value) {
        if (value.empty()) return;
        request += name;
        request += value;
        request += "\r\n";
    };
    header("From: ", from_);
    header("Host: ", webHost_);
    if (ifModifiedSince_ != kDefaultDate) header("If-Modified-Since: ", ifModifiedSince_);
    header("Referer: ", referer_);
    header("User-Agent: ", userAgent_);
    header("Accept: ", accept_);
    if (sendCredentials_) {
        sendCredentials_ = false;
        request += "Authorization: Basic " + platform::Base64(userID_ + ":" + password_) + "\r\n";
    }
    request += "\r\n";
    sendPiece(request);
}

void TWeb::readBlock() {
    if (!socket_) return;
    std::int64_t n = socket_->receive(receiveBuffer_.data(), kReadChunk);
    if (n <= 0) return;  // a failed read is ignored
    struct ReadScope {
        bool& flag;
        explicit ReadScope(bool& f) : flag(f) { flag = true; }
        ~ReadScope() { flag = false; }
    } scope(inRead_);
    processBlock(receiveBuffer_.data(), static_cast<std::size_t>(n));
}

void TWeb::processBlock(char* data, std::size_t size) {
    std::size_t offset = 0;
    if (headerPhase_) {
        offset = headParser_.feed(data, size);
        if (!headParser_.complete()) return;
        headerPhase_ = false;
        GenerationWatch watch{generation_, generation_};
        parseHeader();
        if (watch.changed() || !retrieving_) return;
        cacheHeader();
        if (watch.changed() || !retrieving_) return;
        if (statusClass_ == 3 && (statusDetail_ == 1 || statusDetail_ == 2)) {
            receiver_->PostMessage(WM_WEBREDIRECT, generation_);
        }
    } else {
        offset = headParser_.bodyStart(data, size);
    }
    if (offset < size) deliverBody(data + offset, size - offset);
}

void TWeb::deliverBody(char* data, std::size_t size) {
    GenerationWatch watch{generation_, generation_};
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

    cacheBlock(data, size);
    if (storeStream_ && !storeStream_->write(data, size)) {
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
        if (infoPending_) {
            infoPending_ = false;
            if (OnInfo) OnInfo(this);
            if (watch.changed()) return;
        }
        if (!requests_.empty()) handOutFromRead();
        return;
    }

    const std::size_t maxBlock = static_cast<std::size_t>(bufferSize_ - 1);
    for (std::size_t at = 0; at < size;) {
        std::size_t n = std::min(maxBlock, size - at);
        account(n);
        if (infoPending_) {
            infoPending_ = false;
            if (OnInfo) OnInfo(this);
            if (watch.changed()) return;
        }
        // Each block is handed out zero-terminated after its length.
        char saved = data[at + n];
        data[at + n] = '\0';
        if (OnDataAvailable) OnDataAvailable(this, data + at, static_cast<int>(n));
        data[at + n] = saved;
        if (watch.changed()) return;
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
    if (!head.challenge) return;
    // Of several challenges a Basic one is answered; only Basic is spoken here.
    const bool basic = !head.basicChallenge.empty();
    realm_ = challengeRealm(basic ? head.basicChallenge : head.otherChallenge);
    handleChallenge(basic);
}

void TWeb::onClose() {
    GenerationWatch watch{generation_, generation_};
    const bool notModified = statusClass_ == 3 && statusDetail_ == 4;
    while (socket_ && socket_->pendingBytes() > 0) {
        std::int64_t before = bytesReceived_;
        readBlock();
        if (watch.changed()) return;
        if (bytesReceived_ == before && !headerPhase_) break;
    }
    closeConnection();
    if (requestMode_ == mdRequest && !notModified) {
        handOutFromClose();
        if (watch.changed()) return;
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
    if (socket_) {
        socket_->close();
        socket_.reset();
    }
    storeStream_.reset();
    connected_ = false;
    retrieving_ = false;
    lastError_.clear();
}

void TWeb::raiseDisconnectOnce() {
    if (disconnectReported_) return;
    disconnectReported_ = true;
    if (OnDisconnect) OnDisconnect(this);
}

}  // namespace http
