#include "platform/HostLookup.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>

#include "platform/MessageReceiver.h"
#include "platform/SocketErrors.h"
#include "platform/SocketEvents.h"

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
    Wanted wanted = Wanted::Ipv4;
    std::vector<IpAddress> addresses;
};

namespace {

// The error posted for what was found, given what the caller wants.
int answerError(const std::vector<IpAddress>& found, HostLookup::Wanted wanted) {
    if (found.empty()) return WSAHOST_NOT_FOUND;
    if (wanted == HostLookup::Wanted::AnyFamily) return 0;
    const bool haveIpv4 =
        std::any_of(found.begin(), found.end(), [](const IpAddress& a) { return a.isV4(); });
    return haveIpv4 ? 0 : WSANO_DATA;
}

// Every address of the answer, in its order, each once: one address comes
// back once per socket type and protocol unless the hints name one, and a
// hosts file may list it twice.
std::vector<IpAddress> collect(const addrinfo* result) {
    std::vector<IpAddress> found;
    for (const addrinfo* a = result; a; a = a->ai_next) {
        if (!a->ai_addr || a->ai_addrlen > sizeof(sockaddr_storage)) continue;
        sockaddr_storage storage{};
        std::memcpy(&storage, a->ai_addr, a->ai_addrlen);
        const auto address = IpAddress::fromSocketAddress(storage);
        if (address && std::find(found.begin(), found.end(), *address) == found.end())
            found.push_back(*address);
    }
    return found;
}

}  // namespace

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

void HostLookup::answerNow(const std::shared_ptr<Shared>& shared, std::vector<IpAddress> found,
                           int error) {
    std::lock_guard<std::mutex> guard(shared->lock);
    shared->answered = true;
    shared->addresses = std::move(found);
    receiver_.PostMessage(message_, static_cast<std::uintptr_t>(shared->handle),
                          makeSelectParam(0, error));
}

int HostLookup::start(const std::string& name, Wanted wanted) {
    cancel();
    auto shared = std::make_shared<Shared>();
    shared->receiver = &receiver_;
    shared->message = message_;
    shared->handle = nextHandle_++;
    shared->wanted = wanted;
    if (nextHandle_ <= 0) nextHandle_ = 1;
    current_ = shared;
    if (reservedInvalid(name)) {
        answerNow(shared, {}, WSAHOST_NOT_FOUND);
        return shared->handle;
    }
    if (const auto literal = IpAddress::parse(name)) {
        // An IPv4-only caller reads an IPv6 literal as no host at all, as the
        // IPv4 resolver answers it.
        const int error = literal->isV6() && wanted == Wanted::Ipv4 ? WSAHOST_NOT_FOUND : 0;
        answerNow(shared, {*literal}, error);
        return shared->handle;
    }
    std::thread([shared, name] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* result = nullptr;
        const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &result);
        std::vector<IpAddress> found;
        if (rc == 0) found = collect(result);
        if (result) ::freeaddrinfo(result);
        const int error = rc != 0 ? socketErrorFromLookup(rc) : answerError(found, shared->wanted);
        std::lock_guard<std::mutex> guard(shared->lock);
        if (shared->cancelled) return;
        shared->answered = true;
        shared->addresses = std::move(found);
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
    for (const IpAddress& a : addresses(handle)) {
        if (a.isV4()) return a.ipv4();
    }
    return 0;
}

std::vector<IpAddress> HostLookup::addresses(int handle) const {
    if (!current_) return {};
    std::lock_guard<std::mutex> guard(current_->lock);
    if (current_->handle != handle || !current_->answered) return {};
    return current_->addresses;
}

}  // namespace platform
