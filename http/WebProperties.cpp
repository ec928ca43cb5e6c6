#include "http/Web.h"
#include "http/WebInternal.h"
#include "http/Webcache.h"
#include "http/Webproxy.h"
#include "platform/FileStream.h"

// The properties of TWeb whose setters do more than store the value.

namespace http {

void TWeb::guard(const char* name) {
    if (Retrieving()) reportError(SPropertyWhileRetrieving, name);
}

void TWeb::setCacheControl(TWebCache* v) {
    if (cacheControl_) cacheControl_->detach(this);
    cacheControl_ = v;
    if (cacheControl_) cacheControl_->attach(this);
}

void TWeb::setProxyDispatcher(TWebProxy* v) {
    if (proxyDispatcher_) proxyDispatcher_->detach(this);
    proxyDispatcher_ = v;
    if (proxyDispatcher_) proxyDispatcher_->attach(this);
}

void TWeb::Notification(WebCompanion* removed) {
    if (removed == proxyDispatcher_) proxyDispatcher_ = nullptr;
    if (removed == cacheControl_) {
        cacheControl_ = nullptr;
        if (cacheWork_ == CacheWork::Writing) cacheWork_ = CacheWork::None;
        cacheStream_.reset();
    }
}

void TWeb::setBufferName(const std::string& v) {
    guard("BufferName");
    bufferName_ = v;
}

void TWeb::setBufferSize(int v) {
    guard("BufferSize");
    bufferSize_ = std::clamp(v, kMinBufferSize, kMaxBufferSize);
}

void TWeb::setDocumentName(const std::string& v) {
    if (v.find('/') != std::string::npos) {
        documentName_.clear();
        reportError(SInvalidDocumentName);
        return;
    }
    documentName_ = v;
    rebuildURL();
}

void TWeb::setDocumentPath(const std::string& v) {
    std::string p = v;
    if (p.empty() || p.front() != '/') p.insert(p.begin(), '/');
    if (p.back() != '/') p.push_back('/');
    documentPath_ = p;
    rebuildURL();
}

void TWeb::setProxy(const std::string& v) {
    proxy_ = v;
    if (isDottedHost(v)) {
        proxyAddress_ = v;
        proxyHostName_.clear();
    } else {
        proxyHostName_ = v;
        proxyAddress_.clear();
    }
}

void TWeb::setProxyPort(int v) {
    guard("ProxyPort");
    proxyPort_ = v;
}

void TWeb::setRequestMode(TMode v) {
    guard("RequestMode");
    requestMode_ = v;
}

void TWeb::setStreamMode(TStreamMode v) {
    guard("StreamMode");
    streamMode_ = v;
}

void TWeb::setTimeOut(int v) {
    guard("TimeOut");
    timeOut_ = v;
}

void TWeb::setUseProxy(bool v) {
    guard("Proxy");
    useProxy_ = v;
}

void TWeb::setWebHost(const std::string& v) {
    if (isDottedHost(v)) {
        hostAddress_ = v;
        hostName_.clear();
    } else {
        hostName_ = v;
        hostAddress_.clear();
    }
    webHost_ = v;
    rebuildURL();
}

void TWeb::setWebService(TService v) {
    webService_ = v;
    rebuildURL();
}

void TWeb::setWebPort(int v) {
    guard("WebPort");
    webPort_ = v;
    rebuildURL();
}

}  // namespace http
