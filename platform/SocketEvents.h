#pragma once

#include <cstdint>

namespace platform {

// The kinds of socket notification, as bits: a component asks for a set of
// them and learns each one as a message.
enum SocketEvent : int {
    FD_READ = 0x01,
    FD_WRITE = 0x02,
    FD_CONNECT = 0x10,
    FD_CLOSE = 0x20,
};

// The second message parameter of a socket or lookup notification: the event
// in the low word, the error code (see SocketErrors.h) in the high word.
inline std::intptr_t makeSelectParam(int event, int error) {
    return static_cast<std::intptr_t>(((static_cast<std::uint32_t>(error) & 0xFFFFu) << 16) |
                                      (static_cast<std::uint32_t>(event) & 0xFFFFu));
}
inline int selectEvent(std::intptr_t lParam) { return static_cast<int>(lParam & 0xFFFF); }
inline int selectError(std::intptr_t lParam) { return static_cast<int>((lParam >> 16) & 0xFFFF); }

}  // namespace platform
