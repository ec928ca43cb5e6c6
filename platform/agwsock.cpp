#include "platform/agwsock.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

#include <QPointer>
#include <cerrno>
#include <limits>

#include "platform/AsyncSocket.h"
#include "platform/HostLookup.h"
#include "platform/IpAddress.h"
#include "platform/MessageReceiver.h"

// One socket of the library: the handle the caller holds is its descriptor.
struct TagWinsock::SocketState {
    platform::AsyncSocket socket;
};

// A host lookup under way; its answer comes to the relay as message `handle`.
struct TagWinsock::Lookup {
    QPointer<platform::MessageReceiver> receiver;
    unsigned msg = 0;
    THostEntry* entry = nullptr;
    std::string name;
    std::unique_ptr<platform::HostLookup> lookup;
    int lookupHandle = 0;
};

TagWinsock::TagWinsock() = default;

TagWinsock::~TagWinsock() {
    // A lookup cancels itself when it goes; its answer never arrives.
    lookups_.clear();
    lookupRelay_.reset();
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

TAsyncHandle TagWinsock::takeHandle() {
    // Handles double as the relay's message numbers, which are unsigned.
    const TAsyncHandle handle = nextHandle_++;
    if (nextHandle_ > std::numeric_limits<unsigned>::max()) nextHandle_ = 1;
    return handle;
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
    auto state = std::make_unique<SocketState>();
    const auto kind =
        type == kSockStream ? platform::SocketKind::Stream : platform::SocketKind::Datagram;
    if (const int rc = state->socket.open(platform::IpFamily::V4, kind); rc != 0) return fail(rc);
    const TSocket s = state->socket.descriptor();
    sockets_[s] = std::move(state);
    return s;
}

int TagWinsock::connect(TSocket s, std::uint32_t address, std::uint16_t port) {
    requireLoaded();
    SocketState* state = find(s);
    if (!state) return fail(platform::WSAENOTSOCK);
    const int rc = state->socket.connect(platform::IpAddress::fromIpv4(address), ntohs(port));
    return rc == 0 ? 0 : fail(rc);
}

int TagWinsock::send(TSocket s, const char* data, int length, int /*flags*/) {
    requireLoaded();
    SocketState* state = find(s);
    if (!state) return fail(platform::WSAENOTSOCK);
    if (length <= 0) return 0;
    const std::int64_t n = state->socket.send(data, static_cast<std::size_t>(length));
    return n >= 0 ? static_cast<int>(n) : fail(state->socket.lastError());
}

int TagWinsock::recv(TSocket s, char* buffer, int length, int /*flags*/) {
    requireLoaded();
    SocketState* state = find(s);
    if (!state) return fail(platform::WSAENOTSOCK);
    if (length <= 0) return 0;
    const std::int64_t n = state->socket.receive(buffer, static_cast<std::size_t>(length));
    return n >= 0 ? static_cast<int>(n) : fail(state->socket.lastError());
}

int TagWinsock::closesocket(TSocket s) {
    requireLoaded();
    auto it = sockets_.find(s);
    if (it == sockets_.end()) return fail(platform::WSAENOTSOCK);
    sockets_.erase(it);
    return 0;
}

int TagWinsock::WSAAsyncSelect(TSocket s, platform::MessageReceiver* receiver, unsigned msg,
                               long events) {
    requireLoaded();
    SocketState* state = find(s);
    if (!state) return fail(platform::WSAENOTSOCK);
    state->socket.notify(receiver, msg, static_cast<std::uintptr_t>(s), static_cast<int>(events));
    return 0;
}

TAsyncHandle TagWinsock::WSAAsyncGetHostByName(platform::MessageReceiver* receiver, unsigned msg,
                                               const std::string& name, THostEntry* entry) {
    requireLoaded();
    if (!lookupRelay_) {
        lookupRelay_ = std::make_unique<platform::MessageReceiver>(
            [this](unsigned relayMsg, std::uintptr_t lookupHandle, std::intptr_t lParam) {
                finishLookup(relayMsg, static_cast<int>(lookupHandle), lParam);
            });
    }
    const TAsyncHandle handle = takeHandle();
    auto lookup = std::make_unique<Lookup>();
    lookup->receiver = receiver;
    lookup->msg = msg;
    lookup->entry = entry;
    lookup->name = name;
    lookup->lookup =
        std::make_unique<platform::HostLookup>(*lookupRelay_, static_cast<unsigned>(handle));
    lookup->lookupHandle = lookup->lookup->start(name);
    lookups_[handle] = std::move(lookup);
    return handle;
}

void TagWinsock::finishLookup(TAsyncHandle handle, int lookupHandle, std::intptr_t lParam) {
    auto it = lookups_.find(handle);
    if (it == lookups_.end() || it->second->lookupHandle != lookupHandle) return;  // cancelled
    std::unique_ptr<Lookup> done = std::move(it->second);
    lookups_.erase(it);
    THostEntry result;
    result.name = done->name;
    for (const platform::IpAddress& a : done->lookup->addresses(lookupHandle)) {
        if (a.isV4()) result.addresses.push_back(a.ipv4());
    }
    int error = platform::selectError(lParam);
    if (error == 0 && result.addresses.empty()) error = platform::WSANO_DATA;
    if (done->entry) *done->entry = std::move(result);
    if (done->receiver) done->receiver->PostMessage(done->msg, handle, makeSelectParam(0, error));
}

TAsyncHandle TagWinsock::WSAAsyncGetServByName(platform::MessageReceiver* receiver, unsigned msg,
                                               const std::string& name, const std::string& proto,
                                               TServEntry* entry) {
    requireLoaded();
    const TAsyncHandle handle = takeHandle();
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
    lookups_.erase(it);
    return 0;
}

std::uint32_t TagWinsock::InetAddr(const std::string& text) {
    requireLoaded();
    // What follows the first white space (a line break left by the caller) is
    // not part of the address.
    if (text.find('\0') != std::string::npos) return INADDR_NONE_VALUE;
    const std::size_t end = text.find_first_of(" \t\n\v\f\r");
    const auto address = platform::IpAddress::parse(std::string_view(text).substr(0, end));
    return address && address->isV4() ? address->ipv4() : INADDR_NONE_VALUE;
}

std::string TagWinsock::InetNtoa(std::uint32_t address) {
    return platform::IpAddress::fromIpv4(address).text();
}

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
