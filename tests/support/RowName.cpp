#include "tests/support/RowName.h"

namespace support {

std::string RowName(std::size_t index, std::string_view text) {
    constexpr std::size_t kMaxLength = 48;
    std::string name = std::to_string(index);
    bool gap = true;
    for (char c : text) {
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alnum) {
            if (gap) name += '_';
            name += c;
            gap = false;
        } else {
            gap = true;
        }
        if (name.size() >= kMaxLength) break;
    }
    return name;
}

}  // namespace support
