#pragma once

#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mailtest {

// Ticks of the mail time-outs in tests: a "second" lasts this long, so that a
// time-out of 7 passes in a fraction of a real second.
constexpr int kFastTick = 10;
// Every wait in a test is bounded by this.
constexpr int kWatchdogMs = 20000;

// A scripted SMTP peer on loopback: greets (or not), answers each command
// line by a script and records what the client sent.
class ScriptedSmtp : public QObject {
public:
    ScriptedSmtp();

    std::uint16_t port() const { return server_.serverPort(); }

    // Written when a client connects; empty: the server never greets.
    std::string greeting = "220 scripted ready\r\n";
    // The answer to one command line (with its CR LF), or empty for silence.
    // The default accepts everything; "." stands for the end of the data.
    std::function<std::string(const std::string& line)> answer;
    // Closes the connection instead of answering this command.
    std::string closeOn;

    std::vector<std::string> commands;
    std::string data;
    bool clientClosed = false;
    int connections = 0;

    static std::string defaultAnswer(const std::string& line);
    // Writes bytes to the connected client as they stand.
    void sendRaw(const std::string& bytes);
    // Drops the connection with a reset (RST) instead of a graceful close.
    void reset();

private:
    void onRead();

    QTcpServer server_;
    QTcpSocket* client_ = nullptr;
    std::string buffer_;
    bool inData_ = false;
};

// A scripted name server on loopback UDP: answers each query with the bytes
// that answerFor returns (nothing when it returns empty).
class ScriptedDns : public QObject {
public:
    ScriptedDns();
    std::uint16_t port() const { return socket_.localPort(); }
    std::function<std::string(const std::string& query)> answerFor;
    std::vector<std::string> queries;

private:
    QUdpSocket socket_;
};

// Builds DNS answers for the parser tests.
struct DnsAnswer {
    std::uint16_t id = 0x1234;
    std::uint16_t flags = 0x8180;  // response, RD, RA
    std::string question = encodeName("example.test") + word(15) + word(1);
    std::vector<std::string> records;
    std::uint16_t qdcount = 1;
    int ancountOverride = -1;

    static std::string word(std::uint16_t v);
    static std::string dword(std::uint32_t v);
    static std::string encodeName(const std::string& dotted);
    static std::string pointer(std::uint16_t offset);
    // One resource record with the given owner (already encoded) and data.
    static std::string record(const std::string& owner, std::uint16_t type,
                              const std::string& rdata);
    static std::string mx(std::uint16_t preference, const std::string& exchangeEncoded);

    std::string bytes() const;
};

}  // namespace mailtest
