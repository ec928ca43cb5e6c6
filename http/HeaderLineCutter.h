#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace http {

// Cuts a response header into lines as blocks arrive. A line, a line end
// (CR LF, LF CR, or a lone CR or LF) or the empty line that ends the header may
// be split between two blocks: the partial line and the pending line end are
// kept until the next block.
class HeaderLineCutter {
public:
    // A header line longer than this keeps its first kMaxLineLength bytes, and
    // lines past kMaxLines are dropped, so a hostile server cannot exhaust memory.
    static constexpr std::size_t kMaxLineLength = 64 * 1024;
    static constexpr std::size_t kMaxLines = 4096;

    // Feeds a block. Every completed non-empty line, trimmed of blanks and
    // control characters at both ends, is appended to lines. Returns the number
    // of bytes that belong to the header; the rest of the block is body.
    std::size_t feed(const char* data, std::size_t size, std::vector<std::string>& lines);

    // True once the empty line that ends the header has been seen.
    bool complete() const { return complete_; }

    // When the header ended with a CR at the very end of a block, an LF at the
    // start of the next block still belongs to it: 1 to skip, else 0.
    std::size_t finalLineFeed(const char* data, std::size_t size);

    void reset();

private:
    void endLine(std::vector<std::string>& lines);

    std::string line_;
    char pendingEnd_ = 0;  // a CR or LF whose partner may follow
    bool lineHasText_ = false;
    bool afterLineEnd_ = false;
    bool complete_ = false;
    bool awaitsLineFeed_ = false;
};

}  // namespace http
