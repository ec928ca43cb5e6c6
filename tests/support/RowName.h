#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace support {

// A readable name for a table row that stays the same from build to build:
// its position and the letters and digits of a text that tells it apart
// ("3_http_host_a_b_html"). Without it a row is named by its raw bytes.
std::string RowName(std::size_t index, std::string_view text);

}  // namespace support
