#include "http/Web.h"
#include "http/WebInternal.h"
#include "http/Webcache.h"
#include "http/Webproxy.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/TcpSocket.h"

// Where TWeb meets its companions: the proxy list chooses the proxy, the
// document cache serves and keeps copies.

namespace http {

// ---------------------------------------------------------------- proxy

std::string TWeb::originHostAndPort() const {
    // "[::1]:8080" for an IPv6 address: the port follows the brackets.
    return bracketedHost(hostName_.empty() ? hostAddress_ : hostName_) + ":" +
           std::to_string(urlPort_);
}

void TWeb::chooseProxy() {
    // An http proxy would see an "https://" request as plain text: such a
    // request goes through the https proxy's tunnel or straight to its server.
    // Credentials are only ever those of the proxy chosen here.
    proxyCredentials_.reset();
    if (secure_) {
        // Only through a CONNECT tunnel: an http proxy would read the request.
        useProxy_ = false;
        if (!proxyDispatcher_) return;
        const TProxies& p = proxyDispatcher_->Proxies();
        if (p.Security.empty() || proxyDispatcher_->bypasses(originHostAndPort())) return;
        useProxy_ = true;
        setProxy(p.Security);
        proxyPort_ = p.SecurityPort;
        proxyCredentials_ = p.SecurityCredentials;
        return;
    }
    if (!proxyDispatcher_) return;
    useProxy_ = true;
    const TProxies& p = proxyDispatcher_->Proxies();
    switch (webService_) {
        case svHTTP:
            setProxy(p.Http);
            proxyPort_ = p.HttpPort;
            proxyCredentials_ = p.HttpCredentials;
            break;
        case svGOPHER:
            setProxy(p.Gopher);
            proxyPort_ = p.GopherPort;
            break;
        case svFTP:
            setProxy(p.Ftp);
            proxyPort_ = p.FtpPort;
            break;
        case svFILE:
        case svNEWS:
            break;
    }
    if (proxy_.empty() || proxyDispatcher_->bypasses(originHostAndPort())) useProxy_ = false;
    if (!useProxy_) proxyCredentials_.reset();
}

// ---------------------------------------------------------------- document cache

void TWeb::consultCache() {
    // Only a GET carries a body worth keeping; a HEAD must not leave an empty
    // copy that a later 304 would serve.
    if (method_ != mtGET) return;
    if (!cacheControl_->Initialized()) cacheControl_->Initialize();
    if (!cacheControl_->Initialized()) return;  // an invalid index reported in emHandler mode
    document_->reset();
    document_->URL = url_;
    cacheControl_->Lookup(*document_);
    switch (document_->State) {
        case TDocumentClass::kValid:
            ifModifiedSince_ = document_->Date;
            cacheWork_ = CacheWork::Revalidating;
            break;
        case TDocumentClass::kNew:
            cacheControl_->Prepare(*document_);
            if (document_->State != TDocumentClass::kWriting) break;
            cacheStream_ = platform::FileStream::create(document_->FileName);
            cacheWork_ = CacheWork::Writing;
            break;
        default:
            break;
    }
}

void TWeb::cacheHeader() {
    if (!cacheControl_) return;
    if (cacheWork_ == CacheWork::Revalidating && statusClass_ == 2) {
        // The document has changed: its new body replaces the entry's.
        cacheControl_->Prepare(*document_);
        if (document_->State == TDocumentClass::kWriting) {
            try {
                cacheStream_ = platform::FileStream::create(document_->FileName);
                cacheWork_ = CacheWork::Writing;
            } catch (const platform::FileCreateError&) {
                document_->State = TDocumentClass::kAbsent;
                cacheControl_->Update(*document_);
            }
        }
    }
    if (cacheWork_ != CacheWork::Writing) return;
    // Error pages and redirections are not documents to serve later.
    if (statusClass_ != 2) {
        finishCacheEntry(false);
        return;
    }
    document_->Date = lastModified_.empty() ? httpDateNow() : lastModified_;
    cacheControl_->Update(*document_);
}

void TWeb::cacheBlock(const char* data, std::size_t size) {
    if (cacheWork_ != CacheWork::Writing || !cacheControl_) return;
    if (!cacheStream_->write(data, size)) {
        finishCacheEntry(false);
        return;
    }
    document_->Size = bytesReceived_ + static_cast<std::int64_t>(size);
    cacheControl_->Update(*document_);
}

void TWeb::finishCacheEntry(bool complete) {
    if (cacheWork_ != CacheWork::Writing) return;
    cacheWork_ = CacheWork::None;
    cacheStream_.reset();
    if (!cacheControl_) return;
    // A body cut short of its Content-Length is no copy of the document.
    const bool whole = complete && (contentLength_ <= 0 || bytesReceived_ >= contentLength_);
    document_->State = whole ? TDocumentClass::kValid : TDocumentClass::kAbsent;
    document_->Size = bytesReceived_;
    cacheControl_->Update(*document_);
    cacheControl_->SaveIndex();
}

bool TWeb::serveCachedCopy() {
    if (cacheWork_ == CacheWork::Writing) cacheWork_ = CacheWork::None;
    cacheStream_.reset();
    if (!cacheControl_ || document_->State != TDocumentClass::kValid ||
        !platform::fs::fileExists(document_->FileName))
        return false;
    closeConnection();
    localStream_ = platform::FileStream::openRead(document_->FileName);
    raise(OnConnect);
    return true;
}

bool TWeb::forceCachedCopy() {
    if (!cacheControl_ || document_->State != TDocumentClass::kValid || !OnForceCache) return false;
    bool force = false;
    if (!raise(OnForceCache, force) || !force) return false;
    return serveCachedCopy();
}

}  // namespace http
