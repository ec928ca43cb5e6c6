#pragma once

#include <string_view>

namespace engine {

// True for the URLs the engine fetches: "http://" and "https://" ones, in any
// letter case, with a host whose brackets (an IPv6 literal) are well formed.
// Every other scheme (file:, ftp:, mailto:, ...) and a malformed bracketed host
// are refused like a header that could not be fetched. The one place that
// says which schemes are the web's.
bool IsWebURL(std::string_view url);

}  // namespace engine
