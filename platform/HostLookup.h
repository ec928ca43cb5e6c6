#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class MessageReceiver;

// An asynchronous, cancellable IPv4 host-name lookup. The answer is posted to
// the receiver as `message`, wParam the handle that start() returned, lParam
// the error code (SocketErrors.h: 11001 "Host not found", ...) in its high
// word. A cancelled lookup posts nothing.
//
// Names under the reserved top-level domain "invalid" (RFC 6761, 6.4) are
// answered "Host not found" at once, without asking any name server.
class HostLookup {
public:
    HostLookup(MessageReceiver& receiver, unsigned message);
    ~HostLookup();
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    // Starts a lookup (cancelling one still pending) and returns its handle (> 0).
    int start(const std::string& name);
    // Cancels the pending lookup: 0 when one was pending, else WSAEINVAL.
    int cancel();
    bool pending() const;

    // The first address of the answer to lookup `handle`, in network byte
    // order; 0 when that lookup failed or is not the latest one.
    std::uint32_t address(int handle) const;

    // True for "invalid" and every name below it, in any letter case, with
    // or without a final ".".
    static bool reservedInvalid(const std::string& name);

    struct Shared;

private:
    MessageReceiver& receiver_;
    unsigned message_;
    std::shared_ptr<Shared> current_;
    int nextHandle_ = 1;
};

}  // namespace platform
