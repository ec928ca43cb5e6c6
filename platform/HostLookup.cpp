#include "platform/HostLookup.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <string_view>
#include <thread>

#include "platform/MessageReceiver.h"
#include "platform/SocketErrors.h"
#include "platform/TcpSocket.h"

namespace platform {

// What the lookup thread and the owner share. The thread posts its answer only
// while holding the lock and only when not cancelled, so after cancel() (or the
// owner's destruction) nothing more reaches the receiver.
struct HostLookup::Shared {
    std::mutex lock;
    bool cancelled = false;
    bool answered = false;
    MessageReceiver* receiver = nullptr;
    unsigned message = 0;
    int handle = 0;
    std::uint32_t address = 0;
};

bool HostLookup::reservedInvalid(const std::string& name) {
    std::string_view n = name;
    if (!n.empty() && n.back() == '.') n.remove_suffix(1);
    constexpr std::string_view kLabel = "invalid";
    if (n.size() < kLabel.size()) return false;
    const std::string_view tail = n.substr(n.size() - kLabel.size());
    const bool matches = std::equal(tail.begin(), tail.end(), kLabel.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
    return matches && (n.size() == kLabel.size() || n[n.size() - kLabel.size() - 1] == '.');
}

HostLookup::HostLookup(MessageReceiver& receiver, unsigned message)
    : receiver_(receiver), message_(message) {}

HostLookup::~HostLookup() { cancel(); }

int HostLookup::start(const std::string& name) {
    cancel();
    auto shared = std::make_shared<Shared>();
    shared->receiver = &receiver_;
    shared->message = message_;
    shared->handle = nextHandle_++;
    if (nextHandle_ <= 0) nextHandle_ = 1;
    current_ = shared;
    if (reservedInvalid(name)) {
        // The answer is known; it still arrives as a message, like any other.
        shared->answered = true;
        receiver_.PostMessage(message_, static_cast<std::uintptr_t>(shared->handle),
                              makeSelectParam(0, WSAHOST_NOT_FOUND));
        return shared->handle;
    }
    std::thread([shared, name] {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* result = nullptr;
        int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &result);
        std::uint32_t address = 0;
        int error = socketErrorFromLookup(rc);
        if (rc == 0) {
            error = WSAHOST_NOT_FOUND;
            for (addrinfo* a = result; a; a = a->ai_next) {
                if (a->ai_family == AF_INET && a->ai_addr) {
                    address = reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
                    error = 0;
                    break;
                }
            }
        }
        if (result) ::freeaddrinfo(result);
        std::lock_guard<std::mutex> guard(shared->lock);
        if (shared->cancelled) return;
        shared->answered = true;
        shared->address = address;
        shared->receiver->PostMessage(shared->message, static_cast<std::uintptr_t>(shared->handle),
                                      makeSelectParam(0, error));
    }).detach();
    return shared->handle;
}

int HostLookup::cancel() {
    if (!current_) return WSAEINVAL;
    std::lock_guard<std::mutex> guard(current_->lock);
    if (current_->cancelled || current_->answered) return WSAEINVAL;
    current_->cancelled = true;
    return 0;
}

bool HostLookup::pending() const {
    if (!current_) return false;
    std::lock_guard<std::mutex> guard(current_->lock);
    return !current_->cancelled && !current_->answered;
}

std::uint32_t HostLookup::address(int handle) const {
    if (!current_) return 0;
    std::lock_guard<std::mutex> guard(current_->lock);
    if (current_->handle != handle || !current_->answered) return 0;
    return current_->address;
}

}  // namespace platform
