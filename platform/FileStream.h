#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace platform {

// Raised when a file cannot be created or opened; the text names the file.
class FileCreateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file opened for writing (created anew) or for reading, with a position.
// Writes go straight to the file: no buffering of its own, so large blocks
// cost one system call.
class FileStream {
public:
    // Creates the file (for writing and reading back), replacing an existing one.
    // Throws FileCreateError.
    static std::unique_ptr<FileStream> create(const std::string& path);
    // Opens an existing file for reading; others may read and write it too.
    // Throws FileCreateError.
    static std::unique_ptr<FileStream> openRead(const std::string& path);

    ~FileStream();
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // Writes every byte at the current position; false on failure (disk full).
    bool write(const char* data, std::size_t size);
    // Reads up to size bytes from the current position; the count read.
    std::size_t read(char* buffer, std::size_t size);
    void seek(std::int64_t position);
    std::int64_t position() const { return position_; }
    std::int64_t size() const;
    const std::string& path() const { return path_; }

private:
    FileStream(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    int fd_;
    std::string path_;
    std::int64_t position_ = 0;
};

}  // namespace platform
