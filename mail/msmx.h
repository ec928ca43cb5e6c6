#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mail/TimeCounter.h"
#include "mail/msmxcls.h"
#include "platform/agwsock.h"

namespace platform {
class MessageReceiver;
}

// Asks one name server, over UDP, for the MX records of a domain.
class TmsMXResolver {
public:
    static constexpr unsigned WM_ASYNCSELECT = 1174;  // WM_USER + 150
    static constexpr std::uint16_t kQueryId = 0x1234;
    static constexpr int kMaxAnswer = 1024;

    TmsMXResolver();
    ~TmsMXResolver();
    TmsMXResolver(const TmsMXResolver&) = delete;
    TmsMXResolver& operator=(const TmsMXResolver&) = delete;

    // A dotted IPv4 address, optionally followed by white space.
    std::string DNSAddress = "127.0.0.1";
    std::string Domain;
    std::uint16_t Port = 53;
    int TimeOut() const { return counter_.TimeOut(); }
    void setTimeOut(int seconds) { counter_.setTimeOut(seconds); }
    TTimeCounter& Counter() { return counter_; }

    std::function<void()> OnSendingQuery;
    std::function<void()> OnWaitingForResponse;
    std::function<void()> OnClosingConnection;

    TMXList MXList;
    std::string LogFileName;
    const std::vector<std::string>& Log() const { return log_; }

    // One MX query for Domain; MXList then holds the answer's records, sorted.
    void Resolve();
    void Cancel() { cancel_ = true; }

    // The query datagram for a domain (RFC 1035, 4.1).
    static std::string BuildQuery(const std::string& domain);
    // Parses an answer into list; raises EResolverError for an error answer
    // and for one that is malformed (cut short, a pointer loop, ...).
    static void ParseAnswer(const std::string& answer, TMXList& list,
                            const std::function<void(const std::string&)>& log = {});

private:
    void AddLog(const std::string& text);
    void WndProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    void Exchange();

    std::unique_ptr<platform::MessageReceiver> window_;
    TTimeCounter counter_;
    TSocket socket_ = INVALID_SOCKET;
    bool dataReady_ = false;
    bool cancel_ = false;
    int lastError_ = 0;
    bool started_ = false;
    std::string stream_;
    std::vector<std::string> log_;
};
