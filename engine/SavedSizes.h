#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace engine {

class TUrlList;

// The bytes counted for each saved local path, found by the path's exact
// bytes (local paths tell letter case apart). The paths themselves live in the
// saved list; this index holds only their positions there and the sizes, a
// few bytes per saved file.
class TSavedSizes {
public:
    // The size counted for path, or null when path was never recorded.
    std::int64_t* find(const TUrlList& saved, std::string_view path);
    // Records the size of the saved list's entry at position.
    void add(const TUrlList& saved, std::size_t position, std::int64_t size);
    void clear();

private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    std::size_t slotOf(const TUrlList& saved, std::string_view path) const;
    void grow(const TUrlList& saved);

    std::vector<std::uint32_t> slots_;  // positions in the saved list; open addressing
    std::vector<std::int64_t> sizes_;   // by position in the saved list
    std::size_t used_ = 0;
};

}  // namespace engine
