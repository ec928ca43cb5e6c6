#pragma once

#include <string_view>

namespace engine {

// True for the URLs the engine fetches: "http://" ones, in any letter case.
// Every other scheme (file:, ftp:, mailto:, ...) is refused like a header that
// could not be fetched. The one place that says which schemes are the web's.
bool IsWebURL(std::string_view url);

}  // namespace engine
