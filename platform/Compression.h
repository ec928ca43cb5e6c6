#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Fast zlib compression of a block of bytes, and its inverse. uncompress is
// empty when the bytes are not something compress made.
std::string compress(std::string_view data);
std::optional<std::string> uncompress(std::string_view packed);

}  // namespace platform
