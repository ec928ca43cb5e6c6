#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/IpAddress.h"

namespace platform {

class MessageReceiver;

// An asynchronous, cancellable host-name lookup of IPv4 and IPv6 addresses
// (getaddrinfo on a thread of its own). The answer is posted to the receiver
// as `message`, wParam the handle that start() returned, lParam the error code
// (SocketErrors.h: 11001 "Host not found", ...) in its high word. A cancelled
// lookup posts nothing.
//
// Literal addresses ("127.0.0.1", "::1") and names under the reserved
// top-level domain "invalid" (RFC 6761, 6.4; "Host not found") are answered
// at once, without asking any name server; the answer still arrives as a
// message.
class HostLookup {
public:
    // Which addresses make a lookup succeed. Every lookup asks for both
    // families; this only decides the error posted.
    enum class Wanted {
        // An IPv4 address: a name with IPv6 addresses only is posted as 11004
        // ("Valid name, no data record of requested type"), a literal IPv6
        // address as 11001.
        Ipv4,
        // An address of either family.
        AnyFamily,
    };

    HostLookup(MessageReceiver& receiver, unsigned message);
    ~HostLookup();
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    // Starts a lookup (cancelling one still pending) and returns its handle (> 0).
    int start(const std::string& name, Wanted wanted = Wanted::Ipv4);
    // Cancels the pending lookup: 0 when one was pending, else WSAEINVAL.
    int cancel();
    bool pending() const;

    // The first IPv4 address of the answer to lookup `handle`, in network byte
    // order; 0 when that lookup found none or is not the latest one.
    std::uint32_t address(int handle) const;
    // Every address of the answer to lookup `handle`, both families, in the
    // order getaddrinfo gave them (RFC 6724: the most promising first), each
    // once (also those of a lookup posted as 11004 for want of IPv4); empty
    // when nothing was found or that lookup is not the latest one.
    std::vector<IpAddress> addresses(int handle) const;

    // True for "invalid" and every name below it, in any letter case, with
    // or without a final ".".
    static bool reservedInvalid(const std::string& name);

    struct Shared;

private:
    void answerNow(const std::shared_ptr<Shared>& shared, std::vector<IpAddress> found, int error);

    MessageReceiver& receiver_;
    unsigned message_;
    std::shared_ptr<Shared> current_;
    int nextHandle_ = 1;
};

}  // namespace platform
