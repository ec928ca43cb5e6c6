#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The image candidates of a srcset attribute, split by HTML's rules: a URL runs
// to the next blank (so it may hold commas), trailing commas end it, and a
// comma inside parentheses belongs to a descriptor.
namespace engine {

struct TSrcsetCandidate {
    // Where the URL stands in the attribute value.
    std::size_t offset = 0;
    std::size_t length = 0;
    std::string url;
    // The descriptors as written, each separated by one blank ("2x", "480w").
    std::string descriptors;
};

std::vector<TSrcsetCandidate> ParseSrcset(std::string_view value);

}  // namespace engine
