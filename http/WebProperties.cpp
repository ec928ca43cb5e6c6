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
    // An IPv6 proxy ("::1" or "[::1]") is an address, never a name to look up.
    splitHost(v, proxyHostName_, proxyAddress_);
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
    // "[::1]" and "::1" are both looked up as the bare address; the URL and
    // the Host header carry it in brackets.
    splitHost(v, hostName_, hostAddress_);
    webHost_ = hostAddress_.find(':') != std::string::npos ? bracketedHost(v) : v;
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
