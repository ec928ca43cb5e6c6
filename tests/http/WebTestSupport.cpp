#include "tests/http/WebTestSupport.h"

#include <QTemporaryDir>
#include <random>

#include "platform/EventPump.h"

namespace webtest {

void configureLikeEngine(http::TWeb& web) {
    web.setAccept("*/*");
    web.setBufferSize(8192);
    web.setErrorMode(http::emHandler);
    web.setMethod(http::mtGET);
    web.setPeekMode(false);
    web.setProxyPort(0);
    web.setRequestMode(http::mdStreaming);
    web.setStreamMode(http::smMemory);
    web.setTimeOut(2);
    web.setUseProxy(false);
    web.setUserAgent("tectonix' dope fly downloader");
    web.setWebService(http::svHTTP);
    web.setWebPort(80);
}

void EventLog::attach(http::TWeb& web) {
    using http::TWeb;
    web.OnResolving = [this](TWeb*, const std::string& host) {
        events.push_back("Resolving " + host);
    };
    web.OnResolved = [this](TWeb*, const std::string& host, const std::string& address) {
        events.push_back("Resolved " + host + " " + address);
    };
    web.OnConnect = [this](TWeb*) { events.push_back("Connect"); };
    web.OnPrepare = [this](TWeb*) { events.push_back("Prepare"); };
    web.OnResponse = [this](TWeb*, int status, int code, const std::string& reason) {
        events.push_back("Response " + std::to_string(status) + " " + std::to_string(code) + " " +
                         reason);
    };
    web.OnRedirection = [this](TWeb*, const std::string& location) {
        events.push_back("Redirection " + location);
    };
    web.OnInfo = [this](TWeb*) { events.push_back("Info"); };
    web.OnDataAvailable = [this](TWeb*, const char* buffer, int len) {
        body.append(buffer, static_cast<std::size_t>(len));
        ++dataEvents;
        largestBlock = std::max(largestBlock, len);
        if (buffer[len] != '\0') ++unterminatedBlocks;
        if (events.empty() || events.back() != "Data") events.push_back("Data");
    };
    web.OnDisconnect = [this](TWeb*) { events.push_back("Disconnect"); };
    web.OnError = [this](TWeb*, int code) {
        errors.push_back(code);
        events.push_back("Error " + std::to_string(code));
    };
    web.OnTimeOut = [this](TWeb*) { events.push_back("TimeOut"); };
}

bool EventLog::saw(const std::string& event) const { return count(event) > 0; }

int EventLog::count(const std::string& event) const {
    int n = 0;
    for (const auto& e : events) n += e == event ? 1 : 0;
    return n;
}

std::string EventLog::joined() const {
    std::string out;
    for (const auto& e : events) out += (out.empty() ? "" : ", ") + e;
    return out;
}

bool waitForEnd(http::TWeb& web, int timeoutMs) {
    return platform::waitUntilFor([&] { return !web.Retrieving(); }, timeoutMs);
}

std::string tempPath(const std::string& name) {
    static QTemporaryDir dir;
    return dir.path().toStdString() + "/" + name;
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string out(size, '\0');
    for (auto& c : out) c = static_cast<char>(gen() & 0xFF);
    return out;
}

}  // namespace webtest
