#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "mail/TimeCounter.h"
#include "platform/agwsock.h"

namespace platform {
class MessageReceiver;
}

// A dial-up hook: asked to dial before a connection opens and to hang up
// after it closes.
class TagRas {
public:
    virtual ~TagRas() = default;
    virtual void Dial() = 0;
    virtual void HangUp() = 0;
};

// The socket base of the mail clients: it connects, sends lines and reads
// lines of a text protocol, waiting for the socket's notifications by pumping
// the event loop, so that the program (and its Cancel button) stays alive.
class TagSocket {
public:
    static constexpr unsigned WM_ASYNCGETHOSTBYNAME = 1172;  // WM_USER + 148
    static constexpr unsigned WM_ASYNCGETSERVBYNAME = 1173;  // WM_USER + 149
    static constexpr unsigned WM_ASYNCSELECT = 1174;         // WM_USER + 150
    static constexpr std::size_t kLineBufferSize = 1025;
    static constexpr std::size_t kMaxLine = kLineBufferSize - 1;
    static constexpr std::size_t kHostBufferSize = 128;
    static constexpr std::size_t kStreamChunk = 2047;
    static constexpr int kMaxReplyLines = 1000;

    TagSocket();
    virtual ~TagSocket();
    TagSocket(const TagSocket&) = delete;
    TagSocket& operator=(const TagSocket&) = delete;

    bool WinsockLoaded() const;
    void setWinsockLoaded(bool value);

    TagRas* RAS = nullptr;

    bool Connected() const { return socket_ != INVALID_SOCKET; }
    const std::string& LocalHostName() const { return localHostName_; }
    const std::string& ServiceName() const { return serviceName_; }
    void setServiceName(const std::string& name) { serviceName_ = name; }
    const std::string& LastReply() const { return lastReply_; }
    std::string LogFileName;
    const std::vector<std::string>& Log() const { return log_; }

    int TimeOut() const { return counter_.TimeOut(); }
    void setTimeOut(int seconds) { counter_.setTimeOut(seconds); }
    TTimeCounter& Counter() { return counter_; }

    // Aborts whatever the component is doing; the wait in progress ends with
    // ECanceledError.
    void Cancel();

    // The line layer of the text protocol.
    int ReadLine(std::string& line);
    int GetReply();
    void SendLine(const std::string& text);
    void SendStream(std::istream& stream, std::int64_t size);

    std::function<void()> OnOpen;
    std::function<void()> OnConnected;
    std::function<void()> OnClosing;
    std::function<void()> OnClosed;
    std::function<void()> OnCancel;
    std::function<void(std::string& msg)> OnError;
    std::function<void(int perc, std::int64_t transferred)> OnProgress;
    std::function<void(const std::string& line)> OnLineSent;
    std::function<void(const std::string& line)> OnLineReceived;

protected:
    // Opens the TCP connection to host:port of server (steps shared by every
    // protocol); a failure leaves the socket closed.
    void OpenConnection(const std::string& server, std::uint16_t defaultPort);
    void Reset();
    void Close();
    void AddLog(const std::string& text);

    [[noreturn]] void RaiseError(int code);
    void RaiseErrorIfAny(int code);
    [[noreturn]] void RaiseTimeout();
    [[noreturn]] void RaiseCancel();

    bool cancel_ = false;

private:
    void WndProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    void StoreError(std::intptr_t lParam);
    void CancelLookup();
    void ConnectSteps(const std::string& server, std::uint16_t defaultPort);
    std::uint32_t ResolveHost(const std::string& host);
    std::uint16_t ChoosePort(const std::string& server, std::uint16_t defaultPort);
    void SendBytes(const char* data, std::size_t length, bool restartOnProgress);

    std::unique_ptr<platform::MessageReceiver> window_;
    TTimeCounter counter_;
    TSocket socket_ = INVALID_SOCKET;
    TAsyncHandle lookup_ = 0;
    THostEntry hostEntry_;
    TServEntry servEntry_;
    int startups_ = 0;

    bool hostDone_ = false;
    bool servDone_ = false;
    bool connected_ = false;
    bool readReady_ = false;
    bool writeReady_ = false;
    bool closedByPeer_ = false;
    bool error_ = false;
    int errorCode_ = 0;

    std::string localHostName_;
    std::string serviceName_;
    std::string lastReply_;
    std::vector<std::string> log_;

    friend class TmsMailBase;
};

// Splits "host:port" as the mail components read it: the host is the text
// before the first ":", the port the decimal number after it (0 when there is
// none or it cannot be read).
std::string HostPart(const std::string& server);
int PortPart(const std::string& server);
