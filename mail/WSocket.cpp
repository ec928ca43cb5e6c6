#include "mail/WSocket.h"

#include "platform/MessageReceiver.h"

TWSocket::TWSocket()
    : window_(std::make_unique<platform::MessageReceiver>(
          [this](unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
              WndProc(msg, wParam, lParam);
          })) {}

TWSocket::~TWSocket() {
    Abort();
    window_.reset();
}

void TWSocket::Connect() {
    Abort();
    agWinsock().Load();
    const std::uint32_t address = agWinsock().InetAddr(Addr);
    if (address != INADDR_NONE_VALUE) {
        StartConnect(address);
        return;
    }
    state_ = TSocketState::wsDnsLookup;
    hostEntry_ = THostEntry{};
    lookup_ =
        agWinsock().WSAAsyncGetHostByName(window_.get(), WM_ASYNCGETHOSTBYNAME, Addr, &hostEntry_);
}

void TWSocket::StartConnect(std::uint32_t address) {
    TagWinsock& ws = agWinsock();
    state_ = TSocketState::wsConnecting;
    socket_ = ws.socket(AF_INET_FAMILY, kSockStream, 0);
    int error = 0;
    if (socket_ == INVALID_SOCKET) {
        error = ws.WSAGetLastError();
    } else if (ws.WSAAsyncSelect(socket_, window_.get(), WM_ASYNCSELECT,
                                 FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE) == SOCKET_ERROR) {
        error = ws.WSAGetLastError();
    } else if (ws.connect(socket_, address, TagWinsock::Htons(Port)) == SOCKET_ERROR &&
               ws.WSAGetLastError() != platform::WSAEWOULDBLOCK) {
        error = ws.WSAGetLastError();
    }
    if (error != 0) {
        // Reported from the event loop, like every other outcome.
        window_->PostMessage(WM_ASYNCSELECT, 0, TagWinsock::makeSelectParam(FD_CONNECT, error));
    }
}

void TWSocket::Send(const std::string& data) {
    pending_ += data;
    if (state_ == TSocketState::wsConnected) Flush();
}

void TWSocket::Flush() {
    while (!pending_.empty()) {
        const int r =
            agWinsock().send(socket_, pending_.data(), static_cast<int>(pending_.size()), 0);
        if (r == SOCKET_ERROR) {
            const int code = agWinsock().WSAGetLastError();
            if (code != platform::WSAEWOULDBLOCK) Finish(code);
            return;  // the rest goes on FD_WRITE
        }
        pending_.erase(0, static_cast<std::size_t>(r));
    }
}

int TWSocket::Receive(char* buffer, int length) {
    if (socket_ == INVALID_SOCKET) return 0;
    const int r = agWinsock().recv(socket_, buffer, length, 0);
    return r > 0 ? r : 0;
}

void TWSocket::Abort() {
    if (lookup_ != 0) {
        agWinsock().WSACancelAsyncRequest(lookup_);
        lookup_ = 0;
    }
    if (socket_ != INVALID_SOCKET) {
        agWinsock().closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    if (window_) window_->discardPending();
    pending_.clear();
    state_ = TSocketState::wsClosed;
}

void TWSocket::Finish(int error) {
    Abort();
    if (OnSessionClosed) OnSessionClosed(error);
}

void TWSocket::WndProc(unsigned msg, std::uintptr_t /*wParam*/, std::intptr_t lParam) {
    const int error = TagWinsock::WSAGetSelectError(lParam);
    if (msg == WM_ASYNCGETHOSTBYNAME) {
        lookup_ = 0;
        int code = error;
        if (code == 0 && hostEntry_.addresses.empty()) code = platform::WSAHOST_NOT_FOUND;
        if (OnDnsLookupDone) OnDnsLookupDone(code);
        if (code != 0) {
            state_ = TSocketState::wsClosed;
            return;
        }
        StartConnect(hostEntry_.addresses.front());
        return;
    }
    if (msg != WM_ASYNCSELECT) return;
    switch (TagWinsock::WSAGetSelectEvent(lParam)) {
        case FD_CONNECT:
            if (state_ != TSocketState::wsConnecting) return;
            if (error != 0) {
                Abort();
                if (OnSessionConnected) OnSessionConnected(error);
                return;
            }
            state_ = TSocketState::wsConnected;
            if (OnSessionConnected) OnSessionConnected(0);
            Flush();
            break;
        case FD_WRITE:
            if (state_ == TSocketState::wsConnected) Flush();
            break;
        case FD_READ:
            if (OnDataAvailable) OnDataAvailable(error);
            break;
        case FD_CLOSE:
            if (state_ == TSocketState::wsConnected) Finish(error);
            break;
        default:
            break;
    }
}
