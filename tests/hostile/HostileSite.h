#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A loopback web site whose every path plays its own script, for the answers a
// real server will not give: a header that never ends, a body cut short, a
// reset, a stall, a redirect to itself. One host serves the whole crawl, so
// the engine's scope rules let it reach every path.
//
// Connections are served one after another on the site's own thread with
// blocking sockets (the engine fetches one URL at a time). A path without a
// script answers 404.
namespace hostile {

class HostileSite {
public:
    class Script {
    public:
        Script& send(std::string bytes);
        // bytes, count times over (a stream too large to hold in memory).
        Script& sendRepeated(std::string bytes, std::size_t count);
        // Holds the connection open, silent, until the client closes it or the
        // site stops.
        Script& stall();
        Script& close();  // FIN, the default end of every script
        Script& reset();  // RST

        // A complete answer: status line, Content-Type, Content-Length and body.
        Script& page(const std::string& body, const std::string& type = "text/html");

    private:
        friend class HostileSite;
        struct Step {
            enum Kind { Send, Stall, Close, Reset } kind;
            std::string bytes;
            std::size_t count = 1;
        };
        std::vector<Step> steps_;
    };

    HostileSite() = default;
    ~HostileSite();
    HostileSite(const HostileSite&) = delete;
    HostileSite& operator=(const HostileSite&) = delete;

    // The script of one request target (exactly as the request line names it),
    // for every method; at("HEAD", target) for one method only, which wins.
    Script& at(const std::string& target);
    Script& at(const std::string& method, const std::string& target);
    // The script of every target without its own (a 404 unless set).
    Script& otherwise();

    // Listens on a free loopback port. Scripts may still be set afterwards,
    // until the first connection arrives. Starting twice does nothing.
    bool start();
    void stop();

    std::string baseUrl() const;  // "http://127.0.0.1:<port>"
    // Request targets in the order they arrived.
    std::vector<std::string> targets() const;
    int requestsFor(const std::string& target) const;
    // Every request as it arrived, up to the blank line that ends its header.
    std::vector<std::string> requests() const;
    // Connections now held silent by a stall step.
    int stalled() const { return stalled_.load(); }
    // Connections for target whose script has run to its end.
    int finishedFor(const std::string& target) const;

private:
    void run();
    void serve(int fd);
    bool sendAll(int fd, const std::string& bytes);
    bool waitForPeerClose(int fd);

    std::map<std::string, Script> scripts_;  // "METHOD target" or " target"
    Script otherwise_;
    bool otherwiseSet_ = false;
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::thread thread_;
    mutable std::mutex lock_;
    std::vector<std::string> targets_;
    std::vector<std::string> requests_;
    std::vector<std::string> finished_;
    std::atomic<int> stalled_{0};
    std::atomic<bool> stopping_{false};
};

}  // namespace hostile
