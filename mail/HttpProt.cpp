#include "mail/HttpProt.h"

#include <algorithm>
#include <cctype>

#include "mail/MailErrors.h"
#include "platform/ByteText.h"
#include "platform/EventPump.h"
#include "platform/SocketErrors.h"

namespace {

std::string errorText(int code) {
    std::string description = platform::socketErrorDescription(code);
    return description.empty() ? "Socket error" : description;
}

}  // namespace

THttpCli::THttpCli() {
    socket_.OnDnsLookupDone = [this](int error) {
        if (error != 0) {
            Fail(404, "can't resolve hostname to IP address");
            return;
        }
        state_ = THttpState::httpConnecting;
    };
    socket_.OnSessionConnected = [this](int error) {
        if (error != 0) {
            Fail(404, errorText(error) + " (Error #" + std::to_string(error) + ")");
            return;
        }
        state_ = THttpState::httpSending;
        socket_.Send(RequestText());
        state_ = THttpState::httpWaitingHeader;
    };
    socket_.OnDataAvailable = [this](int /*error*/) { DataAvailable(); };
    socket_.OnSessionClosed = [this](int /*error*/) { Done(); };
}

bool THttpCli::ParseURL(const std::string& url, TUrlParts& parts) {
    parts = TUrlParts{};
    std::string rest = url;
    const auto scheme = rest.find("://");
    if (scheme != std::string::npos) {
        parts.protocol = platform::LowerCase(rest.substr(0, scheme));
        rest.erase(0, scheme + 3);
    }
    const auto slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    if (slash != std::string::npos) parts.path = rest.substr(slash);
    const auto at = authority.rfind('@');
    if (at != std::string::npos) authority.erase(0, at + 1);
    const auto colon = authority.find(':');
    if (colon != std::string::npos) {
        parts.port = authority.substr(colon + 1);
        authority.erase(colon);
    }
    parts.host = authority;
    return !parts.host.empty();
}

std::string THttpCli::Base64(const std::string& text) { return platform::Base64(text); }

std::string THttpCli::RequestText() const {
    TUrlParts parts;
    ParseURL(URL, parts);
    const std::string target = Proxy.empty() ? parts.path : URL;
    std::string request = "GET " + target + " HTTP/1.0\r\n";
    if (!Sender.empty()) request += "From: " + Sender + "\r\n";
    if (!Reference.empty()) request += "Referer: " + Reference + "\r\n";
    if (!Agent.empty()) request += "User-Agent: " + Agent + "\r\n";
    if (!parts.host.empty()) request += "Host: " + parts.host + "\r\n";
    if (NoCache) request += "Pragma: no-cache\r\n";
    if (!ModifiedSince.empty()) request += "If-Modified-Since: " + ModifiedSince + " GMT\r\n";
    if (!Username.empty())
        request += "Authorization: Basic " + Base64(Username + ":" + Password) + "\r\n";
    if (!Cookie.empty()) request += "Cookie: " + Cookie + "\r\n";
    request += "\r\n";
    return request;
}

void THttpCli::Start() {
    RcvdHeader.clear();
    statusCode_ = 0;
    reasonPhrase_.clear();
    location_.clear();
    contentLength_ = -1;
    contentType_.clear();
    authenticate_.clear();
    lineBuffer_.clear();
    body_.clear();
    if (!ParseURL(URL, target_)) {
        state_ = THttpState::httpDnsLookup;
        Fail(404, "can't resolve hostname to IP address");
        return;
    }
    socket_.Addr = Proxy.empty() ? target_.host : Proxy;
    const std::string port = Proxy.empty() ? target_.port : ProxyPort;
    int portNumber = 0;
    for (char c : port)
        portNumber =
            (c >= '0' && c <= '9' && portNumber < 65536) ? portNumber * 10 + (c - '0') : -1;
    if (portNumber <= 0 || portNumber > 65535) {
        state_ = THttpState::httpConnecting;
        Fail(404, "can't connect: " + errorText(platform::WSAEADDRNOTAVAIL) + " (Error #" +
                      std::to_string(platform::WSAEADDRNOTAVAIL) + ")");
        return;
    }
    socket_.Port = static_cast<std::uint16_t>(portNumber);
    state_ = THttpState::httpDnsLookup;
    socket_.Connect();
}

void THttpCli::Fail(int status, const std::string& reason) {
    statusCode_ = status;
    reasonPhrase_ = reason;
    socket_.Abort();
    Done();
}

void THttpCli::Done() {
    if (state_ == THttpState::httpReady) return;
    if (statusCode_ == 0) {
        statusCode_ = 404;
        reasonPhrase_ = "Connection closed before an answer";
    }
    if (statusCode_ < 400 && !body_.empty() && RcvdBody) RcvdBody->push_back(body_);
    body_.clear();
    state_ = THttpState::httpReady;
    if (OnRequestDone) OnRequestDone();
}

void THttpCli::HeaderLine(const std::string& line) {
    RcvdHeader.push_back(line);
    if (line.rfind("HTTP/1.0", 0) == 0 || line.rfind("HTTP/1.1", 0) == 0) {
        int code = 0;
        for (std::size_t i = 9; i < 12 && i < line.size(); ++i) {
            code =
                std::isdigit(static_cast<unsigned char>(line[i])) ? code * 10 + (line[i] - '0') : 0;
        }
        statusCode_ = code;
        reasonPhrase_ = line.size() > 13 ? line.substr(13) : std::string();
        return;
    }
    const auto colon = line.find(':');
    if (colon == std::string::npos) return;
    const std::string name = platform::LowerCase(line.substr(0, colon));
    const std::string value = platform::TrimmedBlanks(line.substr(colon + 1));
    if (name == "location") location_ = value;
    if (name == "content-type") contentType_ = value;
    if (name == "www-authenticate") authenticate_ = value;
    if (name == "content-length") {
        std::int64_t n = 0;
        bool ok = !value.empty() && value.size() < 19;
        for (char c : value)
            ok = ok && std::isdigit(static_cast<unsigned char>(c)) &&
                 ((n = n * 10 + (c - '0')), true);
        contentLength_ = ok ? n : -1;
    }
}

void THttpCli::DataAvailable() {
    char buffer[kReceiveBuffer];
    const int n = socket_.Receive(buffer, static_cast<int>(kReceiveBuffer - 1));
    if (n <= 0) return;
    std::size_t pos = 0;
    const auto count = static_cast<std::size_t>(n);
    while (state_ == THttpState::httpWaitingHeader && pos < count) {
        const char c = buffer[pos++];
        if (c != '\n') {
            // A header line longer than any real one is a broken answer.
            if (lineBuffer_.size() >= kMaxHeaderLine) return Fail(404, "Header line too long");
            lineBuffer_ += c;
            continue;
        }
        if (!lineBuffer_.empty() && lineBuffer_.back() == '\r') lineBuffer_.pop_back();
        if (lineBuffer_.empty()) {
            state_ = THttpState::httpWaitingBody;
            if (statusCode_ >= 400) {
                // An error answer's page is not wanted.
                socket_.Abort();
                Done();
                return;
            }
            break;
        }
        HeaderLine(lineBuffer_);
        lineBuffer_.clear();
        if (statusCode_ >= 400) {
            socket_.Abort();
            Done();
            return;
        }
    }
    if (state_ == THttpState::httpWaitingBody && pos < count) {
        if (body_.size() + (count - pos) > kMaxBody) return Fail(404, "Document too large");
        body_.append(buffer + pos, count - pos);
    }
}

void THttpCli::Get() {
    if (state_ != THttpState::httpReady) throw EHttpException("HTTP component is busy", 1);
    counter_.setTimeOut(TimeLimit);
    counter_.setTimedOut(false);
    counter_.Start();
    Start();
    platform::waitUntil([this] { return state_ == THttpState::httpReady || counter_.TimedOut(); });
    counter_.Stop();
    if (state_ != THttpState::httpReady) Fail(404, "Request timed out");
    if (statusCode_ >= 400) throw EHttpException(reasonPhrase_, statusCode_);
}
