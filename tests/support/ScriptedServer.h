#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small scripted TCP server on 127.0.0.1 (port 0) for behaviour a real
// server will not produce: an answer cut into chosen pieces, a stall, an early
// close, a reset. It runs on its own thread with blocking sockets, so the test
// thread stays free to pump its event loop.
//
// Every accepted connection plays the same script: first the request is read
// (up to the empty line that ends its header, unless readRequest(false)), then
// the steps run in order, then the connection is closed.
namespace testsupport {

// A listening TCP socket on 127.0.0.1 (::1 when ipv6) at a port the system
// chose (stored in port), or -1.
int listenOnLoopback(std::uint16_t& port, bool ipv6 = false);

class ScriptedServer {
public:
    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    // --- the script (set it before start())
    ScriptedServer& readRequest(bool read);   // default true
    ScriptedServer& send(std::string bytes);  // one send() of these bytes
    // As send, with every "{port}" in bytes replaced by the port listened on
    // (for an answer that names the server's own address).
    ScriptedServer& sendNamingPort(std::string bytes);
    ScriptedServer& waitForRelease();  // blocks until release() is called
    ScriptedServer& stall();           // holds the connection open until stop()
    ScriptedServer& close();           // orderly close (FIN), ends the script
    ScriptedServer& reset();           // abortive close (RST), ends the script

    // Listens on ::1 instead of 127.0.0.1 (call before start()).
    ScriptedServer& onIpv6Loopback();

    // Listens on a free loopback port and starts serving. False when it cannot.
    bool start();
    void stop();

    std::uint16_t port() const { return port_; }
    std::string baseUrl() const;  // "http://127.0.0.1:<port>" ("http://[::1]:<port>")

    // Lets one waitForRelease step go on.
    void release();
    // Steps completed so far, over all connections (a send counts once it is sent).
    int stepsDone() const { return stepsDone_.load(); }
    int connections() const { return connections_.load(); }
    // The request text each connection sent, in order of acceptance.
    std::vector<std::string> requests() const;
    // Waits (bounded, real time) until `count` steps are done.
    bool waitForSteps(int count, int timeoutMs = 10000) const;

private:
    struct Step {
        enum Kind { Send, WaitRelease, Stall, Close, Reset } kind;
        std::string bytes;
        bool namingPort = false;
    };
    void run();
    void serve(int fd);

    std::vector<Step> steps_;
    bool readRequest_ = true;
    bool ipv6_ = false;
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::thread thread_;
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    int releases_ = 0;
    std::vector<std::string> requests_;
    std::atomic<int> stepsDone_{0};
    std::atomic<int> connections_{0};
};

}  // namespace testsupport
