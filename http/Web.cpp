#include "http/Web.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "http/BufferStream.h"
#include "http/DirectoryListing.h"
#include "http/Webcache.h"
#include "http/Webproxy.h"
#include "platform/DirectoryScan.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/HostLookup.h"
#include "platform/MessageReceiver.h"
#include "platform/SocketErrors.h"
#include "platform/TcpSocket.h"

namespace http {

namespace {

// One socket read takes this much; the blocks handed to OnDataAvailable are
// still at most BufferSize - 1 bytes. Large reads keep the event loop out of
// the way of a fast transfer, and the store file gets one write per read.
constexpr std::size_t kReadChunk = 256 * 1024;
constexpr int kMaxPort = 65535;
constexpr const char* kUnsupportedScheme = "Unsupported authentication scheme";
constexpr char kCredentialSeparator = '\x04';

bool& winsockStarted() {
    static bool started = false;
    return started;
}

bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlankOrControl(s[b])) ++b;
    while (e > b && isBlankOrControl(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string leftTrimmedBlanks(const std::string& s) {
    std::size_t b = 0;
    while (b < s.size() && s[b] == ' ') ++b;
    return s.substr(b);
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int digitAt(const std::string& s, std::size_t i) {
    return i < s.size() && isDigit(s[i]) ? s[i] - '0' : 0;
}

// A whole decimal number; 0 for anything else (a hostile or broken header must
// not stop the transfer).
std::int64_t wholeNumber(const std::string& s) {
    if (s.empty() || s.size() > 18) return 0;
    std::int64_t v = 0;
    for (char c : s) {
        if (!isDigit(c)) return 0;
        v = v * 10 + (c - '0');
    }
    return v;
}

// "http:/host" (one slash) is read as "http://host".
std::string withTwoSlashes(const std::string& text) {
    std::string u = upper(text);
    if (u.rfind("HTTP:/", 0) == 0 && u.find("HTTP://") == std::string::npos) {
        return "http://" + text.substr(6);
    }
    return text;
}

std::string base64(const std::string& in) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    while (i + 2 < in.size()) {
        std::uint32_t v = (static_cast<unsigned char>(in[i]) << 16) |
                          (static_cast<unsigned char>(in[i + 1]) << 8) |
                          static_cast<unsigned char>(in[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
        i += 3;
    }
    if (i + 1 == in.size()) {
        std::uint32_t v = static_cast<unsigned char>(in[i]) << 16;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == in.size()) {
        std::uint32_t v = (static_cast<unsigned char>(in[i]) << 16) |
                          (static_cast<unsigned char>(in[i + 1]) << 8);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

// The address as the host cache writes it: its four bytes in network order read
// as one little-endian signed 32-bit number.
std::int32_t cacheNumber(std::uint32_t addressNetworkOrder) {
    unsigned char b[4];
    std::memcpy(b, &addressNetworkOrder, 4);
    std::uint32_t v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    return static_cast<std::int32_t>(v);
}

std::uint32_t fromCacheNumber(std::int64_t number) {
    auto v = static_cast<std::uint32_t>(number);
    unsigned char b[4] = {
        static_cast<unsigned char>(v & 0xFF), static_cast<unsigned char>((v >> 8) & 0xFF),
        static_cast<unsigned char>((v >> 16) & 0xFF), static_cast<unsigned char>((v >> 24) & 0xFF)};
    std::uint32_t a;
    std::memcpy(&a, b, 4);
    return a;
}

// Entry "name|number" for exactly this name. Matching the bare prefix would
// let "host" take the address of "hostile".
bool hostCacheFind(const std::string& name, std::uint32_t& address) {
    const auto& cache = TWeb::HostCache();
    std::string key = name + "|";
    for (auto it = cache.rbegin(); it != cache.rend(); ++it) {
        if (it->compare(0, key.size(), key) == 0) {
            std::string number = it->substr(key.size());
            bool negative = !number.empty() && number[0] == '-';
            std::int64_t v = wholeNumber(negative ? number.substr(1) : number);
            address = fromCacheNumber(negative ? -v : v);
            return true;
        }
    }
    return false;
}

void hostCacheAdd(const std::string& name, std::uint32_t address) {
    auto& cache = TWeb::HostCache();
    std::string entry = name + "|" + std::to_string(cacheNumber(address));
    auto at = std::lower_bound(cache.begin(), cache.end(), entry);
    if (at == cache.end() || *at != entry) cache.insert(at, entry);
}

// The current time as an HTTP date (RFC 7231, section 7.1.1.1).
std::string httpDateNow() {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char buf[64];
    std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return buf;
}

std::string* credentialFind(const std::string& key) {
    auto& cache = TWeb::CredentialCache();
    const std::string prefix = key + "|";
    for (auto it = cache.rbegin(); it != cache.rend(); ++it) {
        if (it->compare(0, prefix.size(), prefix) == 0) return &*it;
    }
    return nullptr;
}

void credentialForget(const std::string& key) {
    auto& cache = TWeb::CredentialCache();
    const std::string prefix = key + "|";
    cache.erase(std::remove_if(
                    cache.begin(), cache.end(),
                    [&](const std::string& e) { return e.compare(0, prefix.size(), prefix) == 0; }),
                cache.end());
}

void credentialAdd(const std::string& key, const std::string& user, const std::string& password) {
    // One entry per key: a newer answer replaces the older one.
    credentialForget(key);
    auto& cache = TWeb::CredentialCache();
    std::string entry = key + "|" + user + kCredentialSeparator + password;
    cache.insert(std::lower_bound(cache.begin(), cache.end(), entry), entry);
}

struct GenerationWatch {
    const std::uintptr_t& current;
    std::uintptr_t start;
    bool changed() const { return current != start; }
};

// A URL taken from a page may hold control characters; sent as they are, a
// CR LF would end the request line early and let the page write request
// headers of its own. They travel percent-encoded (RFC 3986, 2.1).
std::string requestTarget(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += ch;
        }
    }
    return out;
}

}  // namespace

bool isDottedHost(const std::string& host) {
    for (auto it = host.rbegin(); it != host.rend(); ++it) {
        if (*it == '.') continue;
        return isDigit(*it);
    }
    return false;
}

std::uint32_t dottedAddress(const std::string& text) {
    unsigned char b[4];
    int part = 0;
    std::size_t i = 0;
    while (part < 4) {
        if (i >= text.size() || !isDigit(text[i])) return 0;
        int v = 0, digits = 0;
        while (i < text.size() && isDigit(text[i])) {
            v = v * 10 + (text[i++] - '0');
            if (++digits > 3 || v > 255) return 0;
        }
        b[part++] = static_cast<unsigned char>(v);
        if (part < 4) {
            if (i >= text.size() || text[i] != '.') return 0;
            ++i;
        }
    }
    if (i != text.size()) return 0;
    std::uint32_t a;
    std::memcpy(&a, b, 4);
    return a;
}

std::string dottedText(std::uint32_t addressNetworkOrder) {
    unsigned char b[4];
    std::memcpy(b, &addressNetworkOrder, 4);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
           std::to_string(b[3]);
}

std::vector<std::string>& TWeb::HostCache() {
    static std::vector<std::string> cache;
    return cache;
}

std::vector<std::string>& TWeb::CredentialCache() {
    static std::vector<std::string> cache;
    return cache;
}

std::string TWeb::credentialKey(const std::string& realm, const std::string& hostAndPort) {
    return realm + " at " + hostAndPort;
}

std::string challengeRealm(const std::string& value) {
    auto eq = value.find('=');
    if (eq == std::string::npos) return {};
    std::size_t at = eq + 1;
    while (at < value.size() && value[at] == ' ') ++at;
    std::string realm;
    if (at < value.size() && value[at] == '"') {
        // A quoted string ends at its closing quote, whatever parameters follow
        // (RFC 7235, section 2.1); a backslash quotes the next character.
        for (++at; at < value.size() && value[at] != '"'; ++at) {
            if (value[at] == '\\' && at + 1 < value.size()) ++at;
            realm += value[at];
        }
        return realm;
    }
    while (at < value.size() && value[at] != ',' && value[at] != ' ') realm += value[at++];
    return realm;
}

TWeb::TWeb()
    : receiver_(std::make_unique<platform::MessageReceiver>(
          [this](unsigned msg, std::uintptr_t w, std::intptr_t l) { handleMessage(msg, w, l); })),
      lookup_(std::make_unique<platform::HostLookup>(*receiver_, WM_WEBRESOLVED)),
      receiveBuffer_(kReadChunk + 1),
      document_(std::make_unique<TDocumentClass>()) {
    hostAddress_ = "0.0.0.0";
    resetResponse();
    // POSIX sockets need no start-up; the flag stays for the "not started" check.
    winsockStarted() = true;
}

TWeb::~TWeb() {
    ++generation_;
    if (proxyDispatcher_) proxyDispatcher_->detach(this);
    if (cacheControl_) cacheControl_->detach(this);
    lookup_->cancel();
    if (socket_) socket_->close();
}

// ---------------------------------------------------------------- properties

void TWeb::guard(const char* name) {
    if (retrieving_) reportError(SPropertyWhileRetrieving, name);
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
        caching_ = false;
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

void TWeb::setURL(const std::string& v) {
    guard("URL");
    std::string text = withTwoSlashes(trimmed(v));
    url_ = text;
    lastError_.clear();
    if (text.empty()) {
        webService_ = svHTTP;
        webHost_.clear();
        hostName_.clear();
        hostAddress_.clear();
        webPort_ = urlPort_ = 80;
        documentPath_ = "/";
        documentName_.clear();
        return;
    }
    parseURL(text);
}

void TWeb::parseURL(const std::string& text) {
    documentPath_ = "/";
    documentName_.clear();
    if (text.empty()) reportError(SNoURL);

    std::string remainder;
    bool fileScheme = false;
    auto colon = text.find(':');
    if (colon == std::string::npos) {
        url_.clear();
        reportError(SNoService);
        remainder = text;
    } else {
        std::string scheme = lower(text.substr(0, colon));
        if (scheme == "http") {
            webService_ = svHTTP;
        } else if (scheme == "gopher") {
            webService_ = svGOPHER;
        } else if (scheme == "ftp") {
            webService_ = svFTP;
        } else if (scheme == "file") {
            webService_ = svFILE;
            fileScheme = true;
        } else {
            url_.clear();
            reportError(SUnsupportedService, scheme);
        }
        // The "//" after the colon is skipped unseen.
        remainder = colon + 3 <= text.size() ? text.substr(colon + 3) : std::string();
    }

    if (fileScheme) {
        // Local paths are POSIX paths: the third "/" of "file:///" is the root.
        localFile_ = true;
        auto slash = remainder.rfind('/');
        documentName_ = slash == std::string::npos ? remainder : remainder.substr(slash + 1);
        documentPath_ = slash == std::string::npos ? std::string() : remainder.substr(0, slash + 1);
        return;
    }
    localFile_ = false;

    if (remainder.empty()) {
        url_.clear();
        reportError(SInsufficientParameters);
    }

    auto slash = remainder.find('/');
    std::string hostPort = remainder.substr(0, slash);
    std::string path = slash == std::string::npos ? std::string() : remainder.substr(slash);

    std::string host = hostPort;
    std::string portText = "80";
    auto portColon = hostPort.find(':');
    if (portColon != std::string::npos) {
        host = hostPort.substr(0, portColon);
        portText = hostPort.substr(portColon + 1);
    }
    bool badPort = false;
    for (char c : portText) {
        if (!isDigit(c)) {
            url_.clear();
            reportError(SInvalidPort);
            badPort = true;
        }
    }
    if (badPort || portText.empty() || portText.size() > 9) {
        throw EConvertError("'" + portText + "' is not a valid integer value");
    }
    int port = static_cast<int>(wholeNumber(portText));
    if (port > kMaxPort) {
        // A port that does not fit in 16 bits would silently name another port.
        url_.clear();
        reportError(SInvalidPort);
        throw EConvertError("'" + portText + "' is not a valid port");
    }
    webPort_ = urlPort_ = port;

    if (isDottedHost(host)) {
        hostAddress_ = host;
        hostName_.clear();
    } else {
        hostName_ = host;
        hostAddress_.clear();
    }
    webHost_ = host;

    for (auto twin = path.find("//"); twin != std::string::npos; twin = path.find("//")) {
        path.erase(twin, 1);
    }
    auto lastSlash = path.rfind('/');
    documentName_ = lastSlash == std::string::npos ? path : path.substr(lastSlash + 1);
    if (lastSlash != std::string::npos) documentPath_ = path.substr(0, lastSlash + 1);
    if (path.empty()) url_ += documentPath_;
}

void TWeb::rebuildURL() {
    std::string prefix;
    switch (webService_) {
        case svHTTP:
            prefix = "http://";
            break;
        case svGOPHER:
            prefix = "gopher://";
            break;
        case svFTP:
            prefix = "ftp://";
            break;
        case svFILE:
            prefix = "file:///";
            break;
        case svNEWS:
            break;
    }
    std::string rest = webHost_;
    if (webPort_ != 80 && !rest.empty()) rest += ":" + std::to_string(webPort_);
    if (!rest.empty() && !documentPath_.empty()) rest += documentPath_;
    if (!rest.empty() && !documentName_.empty()) rest += documentName_;
    url_ = rest.empty() ? std::string() : prefix + rest;
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
    cutter_.reset();
    infoPending_ = true;
    headerLines_.clear();
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
    if (!lookupName_.empty() && !hostCacheFind(lookupName_, cached)) {
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
    if (!lookupName_.empty()) hostCacheAdd(lookupName_, address_);
    openConnection();
}

void TWeb::openConnection() {
    if (!winsockStarted()) reportError(SWinsockNotStarted);
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
        request += "Authorization: Basic " + base64(userID_ + ":" + password_) + "\r\n";
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
        offset = cutter_.feed(data, size, headerLines_);
        if (!cutter_.complete()) return;
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
        offset = cutter_.finalLineFeed(data, size);
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
    std::string reason;
    bool statusLine = false;
    if (!headerLines_.empty()) {
        const std::string& first = headerLines_[0];
        if (upper(first.substr(0, 4)) == "HTTP") {
            statusLine = true;
            httpMajor_ = digitAt(first, 5);
            httpMinor_ = digitAt(first, 7);
            auto blank = first.find(' ');
            if (blank != std::string::npos) {
                statusText_ = leftTrimmedBlanks(first.substr(blank + 1));
                statusClass_ = digitAt(statusText_, 0);
                statusDetail_ = digitAt(statusText_, 1) * 10 + digitAt(statusText_, 2);
                reason = statusText_.size() > 4 ? statusText_.substr(4) : std::string();
            }
        }
    }
    bool challenge = false;
    std::string basicChallenge, otherChallenge;
    // From the last line back, so that of two equal headers the earlier wins.
    for (std::size_t i = headerLines_.size(); i-- > 1;) {
        const std::string& line = headerLines_[i];
        auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = upper(line.substr(0, colon));
        std::string value = leftTrimmedBlanks(line.substr(colon + 1));
        auto starts = [&](const char* s) { return name.rfind(s, 0) == 0; };
        auto holds = [&](const char* s) { return name.find(s, 1) != std::string::npos; };
        if (starts("MIME")) {
            mimeMajor_ = digitAt(value, 0);
            mimeMinor_ = digitAt(value, 2);
        }
        if (starts("SERV")) serverName_ = value;
        if (starts("DATE")) documentDate_ = value;
        if (holds("ENCO")) contentEncoding_ = value;
        if (starts("EXPI")) expires_ = value;
        if (starts("LOCA")) location_ = withTwoSlashes(value);
        if (holds("TYPE")) {
            auto slash = value.find('/');
            if (slash != std::string::npos) {
                contentType_ = value.substr(0, slash);
                contentSubType_ = value.substr(slash + 1);
            }
        }
        if (holds("AUTH") && statusLine && statusClass_ != 2) {
            challenge = true;
            auto blank = value.find(' ');
            std::string scheme =
                blank == std::string::npos ? std::string() : value.substr(0, blank);
            (upper(scheme) == "BASIC" ? basicChallenge : otherChallenge) = value;
        }
        if (holds("LENG")) contentLength_ = bytesRemaining_ = wholeNumber(value);
        if (starts("LAST")) lastModified_ = value;
        if (starts("WARNI")) warning_ = value;
    }
    if (OnResponse) {
        if (statusLine) {
            OnResponse(this, statusClass_, statusDetail_, reason);
        } else {
            OnResponse(this, 0, 0, std::string());
        }
    }
    if (!challenge) return;
    // Of several challenges a Basic one is answered; only Basic is spoken here.
    const bool basic = !basicChallenge.empty();
    realm_ = challengeRealm(basic ? basicChallenge : otherChallenge);
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

// ---------------------------------------------------------------- request hand-out

void TWeb::raiseContext(const QueuedRequest& r) {
    if (contentLength_ > 0) {
        percentDone_ = static_cast<int>(std::llround(static_cast<double>(bytesReceived_) * 100.0 /
                                                     static_cast<double>(contentLength_)));
        bytesRemaining_ = contentLength_ - bytesReceived_;
    }
    const TContextEvent* events[] = {&OnContext1, &OnContext2, &OnContext3, &OnContext4,
                                     &OnContext5, &OnContext6, &OnContext7, &OnContext8};
    const TContextEvent& e =
        (r.context >= 2 && r.context <= 8) ? *events[r.context - 1] : OnContext1;
    if (e) e(this, r.context, r.level1, r.level2);
}

void TWeb::handOutFromRead() {
    if (!bufferStream_) return;
    QueuedRequest r = requests_.front();
    if (bufferStream_->size() < readPosition_ + r.length) {
        if (!connected_) requests_.clear();
        return;
    }
    requests_.pop_front();
    bufferStream_->seek(readPosition_);
    std::memset(r.buffer, 0, static_cast<std::size_t>(r.length));
    std::size_t n = bufferStream_->read(r.buffer, static_cast<std::size_t>(r.length));
    if (!peekMode_) readPosition_ += static_cast<std::int64_t>(n);
    bufferStream_->seek(readPosition_);
    lengthHandedOut_ = static_cast<int>(n);
    level1_ = r.level1;
    level2_ = r.level2;
    if (!cancelled_) raiseContext(r);
}

void TWeb::handOutFromClose() {
    if (requests_.empty() || !bufferStream_) return;
    QueuedRequest r = requests_.front();
    requests_.pop_front();
    bufferStream_->seek(readPosition_);
    std::memset(r.buffer, 0, static_cast<std::size_t>(r.length));
    std::size_t n = bufferStream_->read(r.buffer, static_cast<std::size_t>(r.length));
    readPosition_ += static_cast<std::int64_t>(n);
    lengthHandedOut_ = static_cast<int>(n);
    if (!cancelled_) raiseContext(r);
}

void TWeb::deliverNext() {
    if (cancelled_ || requests_.empty()) return;
    QueuedRequest r = requests_.front();
    if (peekMode_) {
        requests_.pop_front();
        raiseContext(r);
        return;
    }
    const auto length = static_cast<std::size_t>(r.length);
    if (localStream_) {
        requests_.pop_front();
        std::memset(r.buffer, 0, length);
        std::size_t n = localStream_->read(r.buffer, length);
        lengthHandedOut_ = static_cast<int>(n);
        if (n < length) {
            // A short read ends the document.
            servedFromFile_ = false;
            endOfData_ = true;
            closeConnection();
            GenerationWatch watch{generation_, generation_};
            if (n > 0) raiseContext(r);
            if (!watch.changed()) raiseDisconnectOnce();
        } else {
            raiseContext(r);
        }
        return;
    }
    if (!bufferStream_) return;
    std::int64_t available = bufferStream_->size() - readPosition_;
    if (available < r.length) {
        if (connected_) return;  // the next read hands it out
        requests_.pop_front();
        endOfData_ = true;
        if (available <= 0) {
            closeConnection();
            raiseDisconnectOnce();
            return;
        }
        std::memset(r.buffer, 0, length);
        bufferStream_->seek(readPosition_);
        std::size_t n = bufferStream_->read(r.buffer, static_cast<std::size_t>(available));
        readPosition_ += static_cast<std::int64_t>(n);
        lengthHandedOut_ = static_cast<int>(n);
        GenerationWatch watch{generation_, generation_};
        raiseContext(r);
        if (watch.changed()) return;
        closeConnection();
        raiseDisconnectOnce();
        return;
    }
    requests_.pop_front();
    std::memset(r.buffer, 0, length);
    bufferStream_->seek(readPosition_);
    std::size_t n = bufferStream_->read(r.buffer, length);
    readPosition_ += static_cast<std::int64_t>(n);
    lengthHandedOut_ = static_cast<int>(n);
    raiseContext(r);
}

void TWeb::startLocalFile() {
    const std::string path = documentPath_ + documentName_;
    GenerationWatch watch{generation_, generation_};
    if (platform::fs::fileExists(path)) {
        localStream_ = platform::FileStream::openRead(path);
        servedFromFile_ = true;
        if (OnConnect) OnConnect(this);
        return;
    }
    if (platform::fs::directoryExists(path)) {
        // The listing names the folder by its resolved path; the process's
        // working directory is left alone, since the rest of the program reads
        // relative paths against it.
        requestMode_ = mdRequest;
        std::string directory = platform::DirectoryScan::canonicalDirectory(path);
        if (directory.empty()) directory = path;
        bufferStream_ = std::make_unique<BufferStream>();
        bufferStream_->append(
            DirectoryListing::page(directory, platform::DirectoryScan::list(directory)));
        bufferStream_->seek(readPosition_);
        bytesReceived_ = bufferStream_->size();
        if (OnConnect) OnConnect(this);
        if (watch.changed()) return;
        if (OnResponse) OnResponse(this, 2, 0, "OK");
        if (watch.changed()) return;
        contentType_ = "TEXT";
        contentSubType_ = "HTML";
        if (OnInfo) OnInfo(this);
        return;
    }
    reportError(SFileDoesNotExist, documentName_);
}

// ---------------------------------------------------------------- proxy

std::string TWeb::originHostAndPort() const {
    return (hostName_.empty() ? hostAddress_ : hostName_) + ":" + std::to_string(urlPort_);
}

void TWeb::chooseProxy() {
    if (!proxyDispatcher_) return;
    useProxy_ = true;
    const TProxies& p = proxyDispatcher_->Proxies();
    switch (webService_) {
        case svHTTP:
            setProxy(p.Http);
            proxyPort_ = p.HttpPort;
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
            revalidating_ = true;
            break;
        case TDocumentClass::kNew:
            cacheControl_->Prepare(*document_);
            if (document_->State != TDocumentClass::kWriting) break;
            cacheStream_ = platform::FileStream::create(document_->FileName);
            caching_ = true;
            break;
        default:
            break;
    }
}

void TWeb::cacheHeader() {
    if (!cacheControl_) return;
    if (revalidating_ && !caching_ && statusClass_ == 2) {
        // The document has changed: its new body replaces the entry's.
        cacheControl_->Prepare(*document_);
        if (document_->State == TDocumentClass::kWriting) {
            try {
                cacheStream_ = platform::FileStream::create(document_->FileName);
                caching_ = true;
            } catch (const platform::FileCreateError&) {
                document_->State = TDocumentClass::kAbsent;
                cacheControl_->Update(*document_);
            }
        }
    }
    if (!caching_) return;
    // Error pages and redirections are not documents to serve later.
    if (statusClass_ != 2) {
        finishCacheEntry(false);
        return;
    }
    document_->Date = lastModified_.empty() ? httpDateNow() : lastModified_;
    cacheControl_->Update(*document_);
}

void TWeb::cacheBlock(const char* data, std::size_t size) {
    if (!caching_ || !cacheControl_) return;
    if (!cacheStream_->write(data, size)) {
        finishCacheEntry(false);
        return;
    }
    document_->Size = bytesReceived_ + static_cast<std::int64_t>(size);
    cacheControl_->Update(*document_);
}

void TWeb::finishCacheEntry(bool complete) {
    if (!caching_) return;
    caching_ = false;
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
    caching_ = false;
    cacheStream_.reset();
    if (!cacheControl_ || document_->State != TDocumentClass::kValid ||
        !platform::fs::fileExists(document_->FileName))
        return false;
    closeConnection();
    localStream_ = platform::FileStream::openRead(document_->FileName);
    servedFromFile_ = true;
    if (OnConnect) OnConnect(this);
    return true;
}

bool TWeb::forceCachedCopy() {
    if (!cacheControl_ || document_->State != TDocumentClass::kValid || !OnForceCache) return false;
    GenerationWatch watch{generation_, generation_};
    bool force = false;
    OnForceCache(this, force);
    if (watch.changed() || !force) return false;
    return serveCachedCopy();
}

// ---------------------------------------------------------------- authorization

void TWeb::handleChallenge(bool basic) {
    GenerationWatch watch{generation_, generation_};
    finishCacheEntry(false);
    requests_.clear();
    closeConnection();
    if (!basic) {
        // Basic credentials would travel in clear text to a server that asked
        // for something else, and it would refuse them anyway.
        lastError_ = kUnsupportedScheme;
        return;
    }
    const std::string key = credentialKey(realm_, originHostAndPort());
    if (!sentCredentialKey_.empty()) {
        // The credentials just sent were refused: forget them and ask again.
        credentialForget(sentCredentialKey_);
        sentCredentialKey_.clear();
    }
    if (authAttempts_ >= kMaxAuthorizationAttempts) return;
    ++authAttempts_;

    if (const std::string* entry = credentialFind(key)) {
        std::string value = entry->substr(key.size() + 1);
        auto split = value.find(kCredentialSeparator);
        userID_ = value.substr(0, split);
        password_ = split == std::string::npos ? std::string() : value.substr(split + 1);
        autoHandle_ = false;
    } else {
        // A realm without credentials is always asked for, whatever an earlier
        // challenge left in the flag.
        autoHandle_ = true;
        if (OnAuthorization) {
            OnAuthorization(this, realm_, autoHandle_);
            if (watch.changed()) return;
        }
        if (autoHandle_) {
            if (!AuthorizationDialog) return;
            std::string user, password;
            const bool ok = AuthorizationDialog(this, realm_, webHost_, user, password);
            if (!ok) return;
            if (watch.changed()) {
                // Cancelled while the box was open (a caller's stall watchdog):
                // what the user confirmed still serves the realm's next request.
                credentialAdd(key, user, password);
                return;
            }
            userID_ = user;
            password_ = password;
        }
        credentialAdd(key, userID_, password_);
    }
    sentCredentialKey_ = key;
    repeatRequest();
}

void TWeb::repeatRequest() {
    ++generation_;
    readPosition_ = 0;
    level1_ = level2_ = -1;
    const std::string ifModifiedSince = ifModifiedSince_;
    resetResponse();
    ifModifiedSince_ = ifModifiedSince;
    headerLines_.clear();
    headerPhase_ = true;
    cutter_.reset();
    infoPending_ = true;
    disconnectReported_ = false;
    endOfData_ = false;
    lengthHandedOut_ = 0;
    cancelled_ = false;
    // Closing the challenged connection let go of the store file.
    if (storeToFile_) storeStream_ = platform::FileStream::create(storeName_);
    retrieving_ = true;
    sendCredentials_ = true;
    receiver_->PostMessage(WM_WEBSTART, generation_);
}

}  // namespace http
