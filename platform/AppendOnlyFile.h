#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// A file the program keeps writing at its end through one descriptor, opened
// once for appending, and a cheap test (one stat) that the name still leads to
// that file with exactly the bytes written through it: nobody replaced,
// removed, truncated or extended it meanwhile.
class AppendOnlyFile {
public:
    AppendOnlyFile() = default;
    ~AppendOnlyFile();
    AppendOnlyFile(const AppendOnlyFile&) = delete;
    AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;

    // Creates or empties the file at path and writes data as its whole
    // content; the descriptor stays open for append(). False (and closed) when
    // the file cannot be opened or not every byte was written.
    bool rewrite(const std::string& path, std::string_view data);
    // Writes data at the end. False (and closed) when not every byte was written.
    bool append(std::string_view data);
    // Whether the path still names the file written, holding exactly the
    // bytes written to it.
    bool unchanged() const;
    void close();

    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    std::int64_t size() const { return size_; }

private:
    bool writeAll(std::string_view data);

    int fd_ = -1;
    std::string path_;
    std::int64_t size_ = 0;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
};

}  // namespace platform
