#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/SocketErrors.h"
#include "platform/SocketEvents.h"

namespace platform {
class MessageReceiver;
}

// The socket library of the mail components, an asynchronous socket
// interface: non-blocking sockets whose read, write,
// connect and close events arrive as messages to a component's hidden
// receiver, and host and service lookups that report the same way. It is a
// thin layer over the program's one socket core (AsyncSocket), host lookup
// (HostLookup) and address text (IpAddress).
//
// On Linux the socket functions belong to the C library and cannot be
// missing, so Load always succeeds; the "Winsock not found", "Winsock is not
// loaded" and "Function %s not found" texts stay for callers that unload it.

using TSocket = int;
constexpr TSocket INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;
constexpr std::uint32_t INADDR_NONE_VALUE = 0xFFFFFFFFu;

constexpr int AF_INET_FAMILY = 2;
enum TSocketType : int { kSockStream = 1, kSockDgram = 2 };

// Notification events, as bits of the low word of a select message's lParam.
using platform::FD_CLOSE;
using platform::FD_CONNECT;
using platform::FD_READ;
using platform::FD_WRITE;

using TAsyncHandle = std::uintptr_t;

// A host entry: the IPv4 addresses of a name, in network byte order.
struct THostEntry {
    std::string name;
    std::vector<std::uint32_t> addresses;
};

// A service entry: the port in network byte order.
struct TServEntry {
    std::string name;
    std::uint16_t port = 0;
};

class EWinsockDLLError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline const char* const kWinsockNotFound = "Winsock not found";
inline const char* const kWinsockNotLoaded = "Winsock is not loaded";
inline const char* const kWinsockFunctionNotFound = "Function %s not found";

class TagWinsock {
public:
    TagWinsock();
    ~TagWinsock();
    TagWinsock(const TagWinsock&) = delete;
    TagWinsock& operator=(const TagWinsock&) = delete;

    bool Loaded() const { return loaded_; }
    void Load();
    void Unload();

    int WSAStartup(std::uint16_t versionRequested);
    int WSACleanup();
    int WSAGetLastError() const;
    bool WSAIsBlocking();
    int WSACancelBlockingCall();

    // af must be AF_INET_FAMILY; type kSockStream or kSockDgram. The socket
    // is non-blocking from the start.
    TSocket socket(int af, int type, int protocol);
    // address and port in network byte order.
    int connect(TSocket s, std::uint32_t address, std::uint16_t port);
    int send(TSocket s, const char* data, int length, int flags);
    int recv(TSocket s, char* buffer, int length, int flags);
    int closesocket(TSocket s);

    // Asks for the given events (FD_*) as message msg to receiver; the
    // message's wParam is the socket, its lParam the event in the low word
    // and the error code in the high word. Events of 0 stops notifications.
    int WSAAsyncSelect(TSocket s, platform::MessageReceiver* receiver, unsigned msg, long events);

    // Starts a host lookup whose end is posted as msg (wParam the handle,
    // high word of lParam the error). The entry is written into *entry just
    // before the message is posted. Returns 0 when it cannot be started.
    TAsyncHandle WSAAsyncGetHostByName(platform::MessageReceiver* receiver, unsigned msg,
                                       const std::string& name, THostEntry* entry);
    TAsyncHandle WSAAsyncGetServByName(platform::MessageReceiver* receiver, unsigned msg,
                                       const std::string& name, const std::string& proto,
                                       TServEntry* entry);
    // The lookup's message is never posted afterwards.
    int WSACancelAsyncRequest(TAsyncHandle handle);

    // A dotted IPv4 address, optionally followed by white space, in network
    // byte order; INADDR_NONE_VALUE when the text is not one.
    std::uint32_t InetAddr(const std::string& text);
    static std::string InetNtoa(std::uint32_t address);
    // Byte order (named apart from the C library's macros).
    static std::uint16_t Htons(std::uint16_t v);
    static std::uint16_t Ntohs(std::uint16_t v);
    static std::uint32_t Ntohl(std::uint32_t v);
    // The local host name, or SOCKET_ERROR.
    int gethostname(std::string& name);

    static int WSAGetSelectError(std::intptr_t lParam) { return platform::selectError(lParam); }
    static int WSAGetSelectEvent(std::intptr_t lParam) { return platform::selectEvent(lParam); }
    static std::intptr_t makeSelectParam(int event, int error) {
        return platform::makeSelectParam(event, error);
    }

    struct SocketState;
    struct Lookup;

private:
    void requireLoaded() const;
    SocketState* find(TSocket s);
    int fail(int code);
    TAsyncHandle takeHandle();
    void finishLookup(TAsyncHandle handle, int lookupHandle, std::intptr_t lParam);

    bool loaded_ = true;
    int startups_ = 0;
    mutable int lastError_ = 0;
    TAsyncHandle nextHandle_ = 1;
    std::map<TSocket, std::unique_ptr<SocketState>> sockets_;
    std::map<TAsyncHandle, std::unique_ptr<Lookup>> lookups_;
    // Receives the answers of the host lookups, numbered by request handle.
    std::unique_ptr<platform::MessageReceiver> lookupRelay_;
};

// The one loader for the whole process.
TagWinsock& agWinsock();
