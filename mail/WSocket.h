#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/agwsock.h"

namespace platform {
class MessageReceiver;
}

// A small asynchronous TCP client socket: it looks the host up, connects,
// sends (keeping what the socket cannot take yet) and reports data and the
// end of the session through its events, each with an error code (0: none).
class TWSocket {
public:
    static constexpr unsigned WM_ASYNCGETHOSTBYNAME = 1172;
    static constexpr unsigned WM_ASYNCSELECT = 1174;

    enum class TSocketState { wsClosed, wsDnsLookup, wsConnecting, wsConnected };

    TWSocket();
    ~TWSocket();
    TWSocket(const TWSocket&) = delete;
    TWSocket& operator=(const TWSocket&) = delete;

    std::string Addr;
    std::uint16_t Port = 80;

    TSocketState State() const { return state_; }

    void Connect();
    // Queues data; what the socket does not take now is sent when it can.
    void Send(const std::string& data);
    // Up to length bytes that have arrived; 0 when none (or the peer closed).
    int Receive(char* buffer, int length);
    // Ends the session; OnSessionClosed is not raised for it.
    void Abort();

    std::function<void(int error)> OnDnsLookupDone;
    std::function<void(int error)> OnSessionConnected;
    std::function<void(int error)> OnDataAvailable;
    std::function<void(int error)> OnSessionClosed;

private:
    void WndProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    void StartConnect(std::uint32_t address);
    void Flush();
    void Finish(int error);

    std::unique_ptr<platform::MessageReceiver> window_;
    TSocketState state_ = TSocketState::wsClosed;
    TSocket socket_ = INVALID_SOCKET;
    TAsyncHandle lookup_ = 0;
    THostEntry hostEntry_;
    std::string pending_;
};
