#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// Ends every line of the pane and of "downloads.log".
inline constexpr std::string_view kLogLineEnd = "\r\n";

// The text of the log pane exactly as "downloads.log" holds it (every line
// followed by CR LF), kept so that the file can be written again whole when
// someone else changed or replaced it. A crawl adds several lines per file, so
// the text is kept packed: every full block of kBlockBytes is compressed, only
// the newest block stays as it is.
class TPaneRecord {
public:
    static constexpr std::size_t kBlockBytes = 64 * 1024;

    void append(std::string_view line);
    void clear();

    std::size_t lineCount() const { return lines_; }
    std::int64_t bytes() const { return bytes_; }
    // The whole text, unpacked.
    std::string text() const;
    std::vector<std::string> lines() const;

    // Bytes held on the heap (for the benchmarks).
    std::size_t memoryBytes() const;

private:
    std::vector<std::string> packed_;  // compressed full blocks, in order
    std::string tail_;                 // the newest block, as it is
    std::size_t lines_ = 0;
    std::int64_t bytes_ = 0;
};

}  // namespace engine
