#include "platform/agwsock.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <cerrno>

#include "platform/Ipv4Text.h"
#include "platform/MessageReceiver.h"

struct TagWinsock::SocketState {
    TSocket fd = INVALID_SOCKET;
    int type = kSockStream;
    QPointer<platform::MessageReceiver> receiver;
    unsigned msg = 0;
    long events = 0;
    std::unique_ptr<QSocketNotifier> readNotifier;
    std::unique_ptr<QSocketNotifier> writeNotifier;
    bool connecting = false;
    bool writeWanted = false;
    bool readPending = false;  // FD_READ posted, no recv since
    bool ended = false;        // end of stream or a fatal error seen
    bool closePosted = false;

    // The peer's close (or a fatal error) is reported exactly once.
    void markEnded(int error) {
        ended = true;
        if (!closePosted) {
            closePosted = true;
            post(FD_CLOSE, error);
        }
    }

    void post(long event, int error) {
        if (receiver && (events & event)) {
            receiver->PostMessage(msg, static_cast<std::uintptr_t>(fd),
                                  TagWinsock::makeSelectParam(static_cast<int>(event), error));
        }
    }

    // Notifications are re-armed only when the owner can act on them, so that a
    // readable socket does not flood the queue.
    void arm() {
        const bool haveReceiver = !receiver.isNull() && events != 0;
        readNotifier->setEnabled(haveReceiver && !ended && !readPending && !connecting &&
                                 (events & (FD_READ | FD_CLOSE)));
        writeNotifier->setEnabled(haveReceiver && (connecting || writeWanted));
    }

    void onReadable() {
        readNotifier->setEnabled(false);
        char probe = 0;
        ssize_t r = ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (type == kSockDgram) {
            if (r >= 0) {
                readPending = true;
                post(FD_READ, 0);
            } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
                // An ICMP error on a connected datagram socket: reported once,
                // then the socket listens on.
                post(FD_READ, platform::socketErrorFromErrno(errno));
            }
            arm();
            return;
        }
        if (r > 0) {
            readPending = true;
            post(FD_READ, 0);
        } else if (r == 0) {
            // A graceful close reads as readable (recv gives 0) and then closed.
            post(FD_READ, 0);
            markEnded(0);
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            markEnded(platform::socketErrorFromErrno(errno));
        }
        arm();
    }

    void onWritable() {
        writeNotifier->setEnabled(false);
        if (connecting) {
            connecting = false;
            int err = 0;
            socklen_t len = sizeof(err);
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
            if (err != 0) {
                ended = true;
                post(FD_CONNECT, platform::socketErrorFromErrno(err));
            } else {
                post(FD_CONNECT, 0);
                post(FD_WRITE, 0);
            }
        } else if (writeWanted) {
            writeWanted = false;
            post(FD_WRITE, 0);
        }
        arm();
    }
};

struct TagWinsock::Lookup {
    QPointer<platform::MessageReceiver> receiver;
    unsigned msg = 0;
    THostEntry* entry = nullptr;
    int qtId = -1;
};

namespace {

// Receives the results of host lookups on the GUI thread.
QObject& lookupContext() {
    static QObject context;
    return context;
}

}  // namespace

TagWinsock::TagWinsock() = default;

TagWinsock::~TagWinsock() {
    for (auto& [handle, lookup] : lookups_) {
        if (lookup->qtId >= 0) QHostInfo::abortHostLookup(lookup->qtId);
    }
    lookups_.clear();
    for (auto& [fd, state] : sockets_) {
        state->readNotifier.reset();
        state->writeNotifier.reset();
        ::close(fd);
    }
    sockets_.clear();
}

TagWinsock& agWinsock() {
    static TagWinsock instance;
    return instance;
}

void TagWinsock::Load() { loaded_ = true; }
void TagWinsock::Unload() { loaded_ = false; }

void TagWinsock::requireLoaded() const {
    if (!loaded_) throw EWinsockDLLError(kWinsockNotLoaded);
}

int TagWinsock::fail(int code) {
    lastError_ = code;
    return SOCKET_ERROR;
}

TagWinsock::SocketState* TagWinsock::find(TSocket s) {
    auto it = sockets_.find(s);
    return it == sockets_.end() ? nullptr : it->second.get();
}

int TagWinsock::WSAStartup(std::uint16_t versionRequested) {
    requireLoaded();
    if ((versionRequested & 0xFF) < 1) return platform::WSAVERNOTSUPPORTED;
    ++startups_;
    return 0;
}

int TagWinsock::WSACleanup() {
    requireLoaded();
    if (startups_ == 0) return fail(platform::WSANOTINITIALISED);
    --startups_;
    return 0;
}

int TagWinsock::WSAGetLastError() const {
    requireLoaded();
    return lastError_;
}

// Nothing here ever blocks: every call is non-blocking and waits pump events.
bool TagWinsock::WSAIsBlocking() {
    requireLoaded();
    return false;
}

int TagWinsock::WSACancelBlockingCall() {
    requireLoaded();
    return fail(platform::WSAEINVAL);
}

TSocket TagWinsock::socket(int af, int type, int /*protocol*/) {
    requireLoaded();
    if (af != AF_INET_FAMILY) return fail(platform::WSAEAFNOSUPPORT);
    if (type != kSockStream && type != kSockDgram) return fail(platform::WSAESOCKTNOSUPPORT);
    const int sysType =
        (type == kSockStream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_NONBLOCK | SOCK_CLOEXEC;
    int fd = ::socket(AF_INET, sysType, 0);
    if (fd < 0) return fail(platform::socketErrorFromErrno(errno));
    auto state = std::make_unique<SocketState>();
    state->fd = fd;
    state->type = type;
    SocketState* raw = state.get();
    state->readNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    state->writeNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    state->readNotifier->setEnabled(false);
    state->writeNotifier->setEnabled(false);
    QObject::connect(state->readNotifier.get(), &QSocketNotifier::activated,
                     [raw] { raw->onReadable(); });
    QObject::connect(state->writeNotifier.get(), &QSocketNotifier::activated,
                     [raw] { raw->onWritable(); });
    sockets_[fd] = std::move(state);
    return fd;
}

int TagWinsock::connect(TSocket s, std::uint32_t address, std::uint16_t port) {
    requireLoaded();
    SocketState* state = find(s);
    if (!state) return fail(platform::WSAENOTSOCK);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address;
    sa.sin_port = port;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)) == 0) {
        if (state->type == kSockStream) {
            state->post(FD_CONNECT, 0);
            state->post(FD_WRITE, 0);
        }
        state->arm();
        return 0;
    }
    if (errno == EINPROGRESS) {
        state->connecting = true;
        state->arm();
        return fail(platform::WSAEWOULDBLOCK);
    }
    return fail(platform::socketErrorFromErrno(errno));
}

int TagWinsock::send(TSocket s, const char* data, int length, int /*flags*/) {
    requireLoaded();
    SocketState* state = find(s);
    if (!state) return fail(platform::WSAENOTSOCK);
    if (length <= 0) return 0;
    ssize_t r = ::send(s, data, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (r >= 0) return static_cast<int>(r);
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
        state->writeWanted = true;
        state->arm();
        return fail(platform::WSAEWOULDBLOCK);
    }
    return fail(platform::socketErrorFromErrno(errno));
}

int TagWinsock::recv(TSocket s, char* buffer, int length, int /*flags*/) {
    requireLoaded();
    SocketState* state = find(s);
    if (!state) return fail(platform::WSAENOTSOCK);
    if (length <= 0) return 0;
    ssize_t r = ::recv(s, buffer, static_cast<size_t>(length), MSG_DONTWAIT);
    const int err = errno;
    state->readPending = false;
    if (r == 0 && state->type == kSockStream) state->markEnded(0);
    state->arm();
    if (r >= 0) return static_cast<int>(r);
    if (err == EAGAIN || err == EWOULDBLOCK) return fail(platform::WSAEWOULDBLOCK);
    return fail(platform::socketErrorFromErrno(err));
}

int TagWinsock::closesocket(TSocket s) {
    requireLoaded();
    auto it = sockets_.find(s);
    if (it == sockets_.end()) return fail(platform::WSAENOTSOCK);
    it->second->readNotifier.reset();
    it->second->writeNotifier.reset();
    sockets_.erase(it);
    ::close(s);
    return 0;
}

int TagWinsock::WSAAsyncSelect(TSocket s, platform::MessageReceiver* receiver, unsigned msg,
                               long events) {
    requireLoaded();
    SocketState* state = find(s);
    if (!state) return fail(platform::WSAENOTSOCK);
    state->receiver = receiver;
    state->msg = msg;
    state->events = events;
    state->arm();
    return 0;
}

TAsyncHandle TagWinsock::WSAAsyncGetHostByName(platform::MessageReceiver* receiver, unsigned msg,
                                               const std::string& name, THostEntry* entry) {
    requireLoaded();
    const TAsyncHandle handle = nextHandle_++;
    auto lookup = std::make_unique<Lookup>();
    lookup->receiver = receiver;
    lookup->msg = msg;
    lookup->entry = entry;
    Lookup* raw = lookup.get();
    lookups_[handle] = std::move(lookup);
    raw->qtId = QHostInfo::lookupHost(
        QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())), &lookupContext(),
        [this, handle](const QHostInfo& info) {
            auto it = lookups_.find(handle);
            if (it == lookups_.end()) return;  // cancelled
            std::unique_ptr<Lookup> done = std::move(it->second);
            lookups_.erase(it);
            int error = 0;
            THostEntry result;
            result.name = info.hostName().toStdString();
            if (info.error() == QHostInfo::NoError) {
                for (const QHostAddress& a : info.addresses()) {
                    bool ok = false;
                    quint32 v4 = a.toIPv4Address(&ok);
                    if (ok) result.addresses.push_back(::htonl(v4));
                }
                if (result.addresses.empty()) error = platform::WSANO_DATA;
            } else if (info.error() == QHostInfo::HostNotFound) {
                error = platform::WSAHOST_NOT_FOUND;
            } else {
                error = platform::WSATRY_AGAIN;
            }
            if (done->entry) *done->entry = std::move(result);
            if (done->receiver) {
                done->receiver->PostMessage(done->msg, handle, makeSelectParam(0, error));
            }
        });
    return handle;
}

TAsyncHandle TagWinsock::WSAAsyncGetServByName(platform::MessageReceiver* receiver, unsigned msg,
                                               const std::string& name, const std::string& proto,
                                               TServEntry* entry) {
    requireLoaded();
    const TAsyncHandle handle = nextHandle_++;
    // The services file is local and small; the answer still arrives as a
    // message, as the caller expects.
    servent result{};
    servent* found = nullptr;
    char buffer[1024];
    int error = platform::WSANO_DATA;
    if (::getservbyname_r(name.c_str(), proto.c_str(), &result, buffer, sizeof(buffer), &found) ==
            0 &&
        found != nullptr) {
        error = 0;
        if (entry) {
            entry->name = found->s_name ? found->s_name : "";
            entry->port = static_cast<std::uint16_t>(found->s_port);
        }
    }
    if (receiver) receiver->PostMessage(msg, handle, makeSelectParam(0, error));
    return handle;
}

int TagWinsock::WSACancelAsyncRequest(TAsyncHandle handle) {
    requireLoaded();
    auto it = lookups_.find(handle);
    if (it == lookups_.end()) return fail(platform::WSAEINVAL);
    if (it->second->qtId >= 0) QHostInfo::abortHostLookup(it->second->qtId);
    lookups_.erase(it);
    return 0;
}

std::uint32_t TagWinsock::InetAddr(const std::string& text) {
    requireLoaded();
    // inet_aton accepts trailing white space, which callers may leave.
    in_addr a{};
    if (text.empty() || ::inet_aton(text.c_str(), &a) == 0) return INADDR_NONE_VALUE;
    if (text.find('\0') != std::string::npos) return INADDR_NONE_VALUE;
    return a.s_addr;
}

std::string TagWinsock::InetNtoa(std::uint32_t address) { return platform::dottedText(address); }

std::uint16_t TagWinsock::Htons(std::uint16_t v) { return htons(v); }
std::uint16_t TagWinsock::Ntohs(std::uint16_t v) { return ntohs(v); }
std::uint32_t TagWinsock::Ntohl(std::uint32_t v) { return ntohl(v); }

int TagWinsock::gethostname(std::string& name) {
    requireLoaded();
    char buffer[512] = {};
    if (::gethostname(buffer, sizeof(buffer) - 1) != 0)
        return fail(platform::socketErrorFromErrno(errno));
    name = buffer;
    return 0;
}
