#include "engine/PaneRecord.h"

#include "platform/Compression.h"

namespace engine {

void TPaneRecord::append(std::string_view line) {
    tail_.append(line);
    tail_.append(kLogLineEnd);
    ++lines_;
    bytes_ += static_cast<std::int64_t>(line.size() + kLogLineEnd.size());
    if (tail_.size() >= kBlockBytes) {
        packed_.push_back(platform::compress(tail_));
        packed_.back().shrink_to_fit();
        tail_.clear();
    }
}

void TPaneRecord::clear() {
    packed_.clear();
    packed_.shrink_to_fit();
    tail_.clear();
    tail_.shrink_to_fit();
    lines_ = 0;
    bytes_ = 0;
}

std::string TPaneRecord::text() const {
    std::string text;
    text.reserve(static_cast<std::size_t>(bytes_));
    for (const auto& block : packed_) {
        // Blocks are made here from memory; one that does not unpack would be
        // a fault of the program, and an empty stand-in keeps the log going.
        if (auto data = platform::uncompress(block)) text += *data;
    }
    text += tail_;
    return text;
}

std::vector<std::string> TPaneRecord::lines() const {
    std::vector<std::string> lines;
    lines.reserve(lines_);
    const std::string all = text();
    std::size_t from = 0;
    while (from < all.size()) {
        const std::size_t end = all.find(kLogLineEnd, from);
        if (end == std::string::npos) break;
        lines.push_back(all.substr(from, end - from));
        from = end + kLogLineEnd.size();
    }
    return lines;
}

std::size_t TPaneRecord::memoryBytes() const {
    std::size_t bytes = tail_.capacity() + packed_.capacity() * sizeof(std::string);
    for (const auto& block : packed_) bytes += block.capacity();
    return bytes;
}

}  // namespace engine
