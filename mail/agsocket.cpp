#include "mail/agsocket.h"

#include <cmath>

#include "mail/MailErrors.h"
#include "mail/MailStrings.h"
#include "platform/EventPump.h"
#include "platform/LineFile.h"
#include "platform/MessageReceiver.h"

std::string HostPart(const std::string& server) { return server.substr(0, server.find(':')); }

int PortPart(const std::string& server) {
    const auto colon = server.find(':');
    if (colon == std::string::npos) return 0;
    const std::string text = server.substr(colon + 1);
    if (text.empty() || text.size() > 9) return 0;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

TagSocket::TagSocket()
    : window_(std::make_unique<platform::MessageReceiver>(
          [this](unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
              WndProc(msg, wParam, lParam);
          })) {}

TagSocket::~TagSocket() {
    CancelLookup();
    if (Connected()) {
        agWinsock().closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    window_.reset();
    if (agWinsock().Loaded()) {
        for (; startups_ > 0; --startups_) agWinsock().WSACleanup();
    }
    if (!LogFileName.empty()) platform::writeLineFile(LogFileName, log_);
}

bool TagSocket::WinsockLoaded() const { return agWinsock().Loaded(); }

void TagSocket::setWinsockLoaded(bool value) {
    if (value && !agWinsock().Loaded()) agWinsock().Load();
    if (!value && agWinsock().Loaded()) agWinsock().Unload();
}

void TagSocket::WndProc(unsigned msg, std::uintptr_t /*wParam*/, std::intptr_t lParam) {
    switch (msg) {
        case WM_ASYNCGETHOSTBYNAME:
            hostDone_ = true;
            StoreError(lParam);
            break;
        case WM_ASYNCGETSERVBYNAME:
            servDone_ = true;
            StoreError(lParam);
            break;
        case WM_ASYNCSELECT:
            StoreError(lParam);
            if (!error_) {
                switch (TagWinsock::WSAGetSelectEvent(lParam)) {
                    case FD_READ:
                        readReady_ = true;
                        break;
                    case FD_WRITE:
                        writeReady_ = true;
                        break;
                    case FD_CONNECT:
                        connected_ = true;
                        break;
                    case FD_CLOSE:
                        closedByPeer_ = true;
                        break;
                    default:
                        break;
                }
            }
            break;
        default:
            break;
    }
}

void TagSocket::StoreError(std::intptr_t lParam) {
    errorCode_ = TagWinsock::WSAGetSelectError(lParam);
    error_ = errorCode_ != 0;
}

void TagSocket::Reset() {
    cancel_ = false;
    counter_.setTimedOut(false);
    lookup_ = 0;
    error_ = false;
    errorCode_ = 0;
    hostDone_ = servDone_ = connected_ = readReady_ = writeReady_ = closedByPeer_ = false;
}

void TagSocket::AddLog(const std::string& text) {
    if (!LogFileName.empty()) log_.push_back(text);
}

void TagSocket::CancelLookup() {
    if (lookup_ != 0) {
        agWinsock().WSACancelAsyncRequest(lookup_);
        lookup_ = 0;
    }
}

void TagSocket::Close() {
    if (Connected()) {
        if (OnClosing) OnClosing();
        agWinsock().closesocket(socket_);
        socket_ = INVALID_SOCKET;
        // Notifications of the closed socket must not reach the next one.
        window_->discardPending();
        if (OnClosed) OnClosed();
    }
    if (RAS) RAS->HangUp();
}

void TagSocket::RaiseError(int code) {
    std::string text = MailErrorText(code);
    if (OnError) OnError(text);
    if (code == platform::WSAECONNRESET) Close();
    throw ESocketError(text, code);
}

void TagSocket::RaiseErrorIfAny(int code) {
    if (code != 0) RaiseError(code);
}

void TagSocket::RaiseTimeout() {
    counter_.Stop();
    std::string text = kTimedOutText;
    if (OnError) OnError(text);
    CancelLookup();
    if (agWinsock().WSAIsBlocking()) agWinsock().WSACancelBlockingCall();
    Close();
    throw ETimedOutError();
}

void TagSocket::RaiseCancel() {
    counter_.Stop();
    std::string text = kCanceledText;
    if (OnError) OnError(text);
    throw ECanceledError();
}

void TagSocket::Cancel() {
    cancel_ = true;
    if (OnCancel) OnCancel();
    CancelLookup();
    Close();
}

std::uint32_t TagSocket::ResolveHost(const std::string& host) {
    TagWinsock& ws = agWinsock();
    std::uint32_t address = ws.InetAddr(host);
    if (address != INADDR_NONE_VALUE) return address;
    hostEntry_ = THostEntry{};
    hostDone_ = false;
    lookup_ = ws.WSAAsyncGetHostByName(window_.get(), WM_ASYNCGETHOSTBYNAME, host, &hostEntry_);
    counter_.Start();
    platform::waitUntil([this] { return hostDone_ || counter_.TimedOut() || cancel_; });
    counter_.Stop();
    if (!hostDone_) CancelLookup();  // a late answer must not arrive afterwards
    lookup_ = 0;
    if (hostDone_ && error_) RaiseError(errorCode_);
    if (counter_.TimedOut()) RaiseTimeout();
    if (cancel_) RaiseCancel();
    if (hostEntry_.addresses.empty()) RaiseError(kErrResolvingHost);
    address = ws.InetAddr(TagWinsock::InetNtoa(hostEntry_.addresses.front()));
    if (address == INADDR_NONE_VALUE) RaiseError(kErrResolvingHost);
    return address;
}

std::uint16_t TagSocket::ChoosePort(const std::string& server, std::uint16_t defaultPort) {
    const int explicitPort = PortPart(server);
    if (explicitPort > 0 && explicitPort <= 0xFFFF) return static_cast<std::uint16_t>(explicitPort);
    if (serviceName_.empty()) RaiseError(kErrServiceNameRequired);
    if (cancel_) RaiseCancel();
    servDone_ = false;
    servEntry_ = TServEntry{};
    TAsyncHandle handle = agWinsock().WSAAsyncGetServByName(window_.get(), WM_ASYNCGETSERVBYNAME,
                                                            serviceName_, "tcp", &servEntry_);
    if (handle == 0) return defaultPort;
    counter_.Start();
    platform::waitUntil([this] { return servDone_ || counter_.TimedOut() || cancel_; });
    counter_.Stop();
    if (cancel_) RaiseCancel();
    if (!servDone_ || error_) {
        // A service that is not known locally is no reason to fail; the
        // time-out of this lookup must not cut the connect wait short either.
        counter_.setTimedOut(false);
        error_ = false;
        errorCode_ = 0;
        return defaultPort;
    }
    return TagWinsock::Ntohs(servEntry_.port);
}

void TagSocket::OpenConnection(const std::string& server, std::uint16_t defaultPort) {
    try {
        ConnectSteps(server, defaultPort);
    } catch (...) {
        // A half-opened socket would make the next Connect believe it is
        // connected (to the previous server); never keep it.
        if (Connected()) {
            agWinsock().closesocket(socket_);
            socket_ = INVALID_SOCKET;
            window_->discardPending();
        }
        throw;
    }
}

void TagSocket::ConnectSteps(const std::string& server, std::uint16_t defaultPort) {
    TagWinsock& ws = agWinsock();
    if (ws.WSAStartup(257) != 0) RaiseError(kErrInvalidWinsockVersion);
    ++startups_;
    std::string host = HostPart(server);
    if (ws.gethostname(localHostName_) == SOCKET_ERROR) localHostName_ = host;
    // Exchanger names from an MX answer end in "."; the absolute form names the
    // same host, but the local hosts file only knows the relative one.
    if (host.size() > 1 && host.back() == '.') host.pop_back();
    // The host name buffer holds 127 characters; no valid host name is
    // longer, so a longer one is refused outright.
    if (host.size() >= kHostBufferSize || host.empty()) RaiseError(kErrResolvingHost);
    const std::uint32_t address = ResolveHost(host);
    const std::uint16_t port = ChoosePort(server, defaultPort);

    socket_ = ws.socket(AF_INET_FAMILY, kSockStream, 0);
    if (socket_ == INVALID_SOCKET) RaiseError(ws.WSAGetLastError());
    if (cancel_) RaiseCancel();
    if (ws.WSAAsyncSelect(socket_, window_.get(), WM_ASYNCSELECT,
                          FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE) == SOCKET_ERROR)
        RaiseError(ws.WSAGetLastError());
    counter_.Start();
    if (ws.connect(socket_, address, TagWinsock::Htons(port)) == SOCKET_ERROR) {
        const int code = ws.WSAGetLastError();
        if (code != platform::WSAEWOULDBLOCK) {
            counter_.Stop();
            RaiseError(code);
        }
    }
    // A notification of a failed connection does not end this wait; the
    // attempt then ends by time-out.
    platform::waitUntil([this] { return connected_ || cancel_ || counter_.TimedOut(); });
    counter_.Stop();
    if (cancel_) RaiseCancel();
    if (counter_.TimedOut()) RaiseTimeout();
    if (OnConnected) OnConnected();
}

int TagSocket::ReadLine(std::string& line) {
    TagWinsock& ws = agWinsock();
    if (!Connected()) RaiseError(kErrNotConnected);
    counter_.Start();
    // A peer that has closed will send nothing more: read what is left
    // instead of waiting for the time-out.
    platform::waitUntil(
        [this] { return readReady_ || closedByPeer_ || cancel_ || counter_.TimedOut() || error_; });
    counter_.Stop();
    if (cancel_) RaiseCancel();
    if (counter_.TimedOut()) RaiseTimeout();
    if (error_) RaiseError(errorCode_);
    counter_.Start();
    readReady_ = false;
    platform::processPendingEvents();

    // One byte per call, so that nothing after the line feed is taken from
    // the socket; a line longer than the buffer is cut, never overrun.
    std::string buffer;
    bool gotLineFeed = false;
    while (!cancel_ && !counter_.TimedOut() && Connected()) {
        if (error_) {
            counter_.Stop();
            RaiseError(errorCode_);
        }
        char c = 0;
        readReady_ = false;
        const int r = ws.recv(socket_, &c, 1, 0);
        if (r == 1) {
            if (buffer.size() < kMaxLine) buffer += c;
            if (c == '\n') {
                gotLineFeed = true;
                break;
            }
            continue;
        }
        if (r == SOCKET_ERROR) {
            const int code = ws.WSAGetLastError();
            if (code != platform::WSAEWOULDBLOCK) {
                counter_.Stop();
                RaiseError(code);
            }
        } else if (closedByPeer_) {
            break;
        }
        platform::waitUntil([this] {
            return readReady_ || cancel_ || counter_.TimedOut() || closedByPeer_ || error_;
        });
    }
    counter_.Stop();
    int code = -1;
    line.clear();
    if (gotLineFeed) {
        line = buffer;
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
            std::isdigit(static_cast<unsigned char>(line[1])) &&
            std::isdigit(static_cast<unsigned char>(line[2])))
            code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    }
    if (counter_.TimedOut()) RaiseTimeout();
    if (cancel_) RaiseCancel();
    AddLog(line);
    if (OnLineReceived) OnLineReceived(line);
    return code;
}

int TagSocket::GetReply() {
    const int code = ReadLine(lastReply_);
    // A continued reply ("250-...") ends with a line of the same code and a blank.
    if (code > 0 && lastReply_.find('-') == 3) {
        int lines = 1;
        while (!closedByPeer_) {
            const int next = ReadLine(lastReply_);
            if (next == code && lastReply_.find(' ') == 3) break;
            if (++lines >= kMaxReplyLines) throw EServerError(lastReply_);
        }
    }
    return code;
}

void TagSocket::SendBytes(const char* data, std::size_t length, bool restartOnProgress) {
    TagWinsock& ws = agWinsock();
    std::size_t sent = 0;
    while (sent < length && !counter_.TimedOut() && !cancel_) {
        platform::processPendingEvents();
        if (counter_.TimedOut() || cancel_ || !Connected()) break;
        writeReady_ = false;
        const int r = ws.send(socket_, data + sent,
                              static_cast<int>(std::min<std::size_t>(length - sent, 65536)), 0);
        if (r == SOCKET_ERROR) {
            const int code = ws.WSAGetLastError();
            if (code != platform::WSAEWOULDBLOCK) {
                counter_.Stop();
                RaiseError(code);
            }
            platform::waitUntil(
                [this] { return writeReady_ || cancel_ || counter_.TimedOut() || error_; });
            if (error_) {
                counter_.Stop();
                RaiseError(errorCode_);
            }
            continue;
        }
        sent += static_cast<std::size_t>(r);
        if (r > 0 && restartOnProgress) counter_.Start();
    }
}

void TagSocket::SendLine(const std::string& text) {
    if (!Connected()) RaiseError(kErrNotConnected);
    const std::string data = text + "\r\n";
    counter_.Start();
    SendBytes(data.data(), data.size(), false);
    counter_.Stop();
    if (counter_.TimedOut()) RaiseTimeout();
    if (cancel_) RaiseCancel();
    AddLog(text);
    if (OnLineSent) OnLineSent(text);
}

void TagSocket::SendStream(std::istream& stream, std::int64_t size) {
    stream.clear();
    stream.seekg(0);
    AddLog("Suppressing the message body");
    char chunk[kStreamChunk];
    std::int64_t position = 0;
    while (true) {
        stream.read(chunk, static_cast<std::streamsize>(kStreamChunk));
        const auto got = static_cast<std::size_t>(stream.gcount());
        counter_.Start();
        if (got > 0) {
            if (!Connected()) RaiseError(kErrNotConnected);
            SendBytes(chunk, got, true);
        }
        counter_.Stop();
        position += static_cast<std::int64_t>(got);
        if (OnProgress) {
            const int perc =
                size > 0
                    ? static_cast<int>(std::llround(static_cast<double>(position) * 100.0 / size))
                    : 100;
            OnProgress(perc, position);
        }
        if (got < kStreamChunk || counter_.TimedOut() || cancel_) break;
    }
    if (counter_.TimedOut()) RaiseTimeout();
    if (cancel_) RaiseCancel();
    if (OnProgress) OnProgress(0, 0);
}
