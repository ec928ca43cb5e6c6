#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mail/TimeCounter.h"
#include "mail/WSocket.h"

// A small HTTP/1.0 client used to fetch one document into memory.
class THttpCli {
public:
    enum class THttpState {
        httpReady,
        httpDnsLookup,
        httpConnecting,
        httpSending,
        httpWaitingHeader,
        httpWaitingBody
    };

    // Get never takes longer than this many seconds in all: a silent or
    // trickling server must not hang the e-mail form.
    static constexpr int kDefaultTimeLimit = 30;
    static constexpr std::size_t kReceiveBuffer = 2048;
    static constexpr std::size_t kMaxHeaderLine = 8192;
    static constexpr std::size_t kMaxBody = 1024 * 1024;

    THttpCli();

    std::string URL;
    std::string Proxy;
    std::string ProxyPort = "80";
    std::string Agent;
    std::string Sender;
    std::string Reference;
    std::string Username;
    std::string Password;
    std::string Cookie;
    bool NoCache = false;
    std::string ModifiedSince;  // an HTTP date without " GMT"; empty for none
    std::string ContentTypePost = "application/x-www-form-urlencoded";
    std::vector<std::string> RcvdHeader;
    // Receives the body: the whole document as one entry, so that its text
    // arrives unbroken whatever the pieces it came in.
    std::vector<std::string>* RcvdBody = nullptr;
    bool MultiThreaded = false;

    int TimeLimit = kDefaultTimeLimit;
    TTimeCounter& Counter() { return counter_; }

    THttpState State() const { return state_; }
    int StatusCode() const { return statusCode_; }
    const std::string& ReasonPhrase() const { return reasonPhrase_; }
    const std::string& Location() const { return location_; }
    std::int64_t ContentLength() const { return contentLength_; }
    const std::string& ContentType() const { return contentType_; }

    // A synchronous GET of URL; raises EHttpException for a status of 400 or
    // above (every failure ends as one) and when a request is running already.
    void Get();

    // The request text that Get sends for the current settings.
    std::string RequestText() const;

    std::function<void()> OnRequestDone;

    // Splits a URL into its parts; false when it has no host.
    struct TUrlParts {
        std::string protocol = "http";
        std::string host;
        std::string port = "80";
        std::string path = "/";
    };
    static bool ParseURL(const std::string& url, TUrlParts& parts);
    static std::string Base64(const std::string& text);

private:
    void Start();
    void Fail(int status, const std::string& reason);
    void Done();
    void DataAvailable();
    void HeaderLine(const std::string& line);

    TWSocket socket_;
    TTimeCounter counter_;
    THttpState state_ = THttpState::httpReady;
    TUrlParts target_;
    int statusCode_ = 0;
    std::string reasonPhrase_;
    std::string location_;
    std::int64_t contentLength_ = -1;
    std::string contentType_;
    std::string authenticate_;
    std::string lineBuffer_;
    std::string body_;
};
