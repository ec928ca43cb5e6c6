#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class FileStream;
}

namespace http {

// The buffer that received data are collected in for the request hand-out:
// in memory, or in a file of its own.
class BufferStream {
public:
    // An empty buffer in memory.
    BufferStream();
    // A buffer in the file at path, created anew. Throws platform::FileCreateError.
    explicit BufferStream(const std::string& path);
    ~BufferStream();
    BufferStream(const BufferStream&) = delete;
    BufferStream& operator=(const BufferStream&) = delete;

    // Appends at the end and leaves the position where it was.
    bool append(const char* data, std::size_t size);
    void append(const std::string& text) { append(text.data(), text.size()); }
    // Reads from the position and advances it; the count read.
    std::size_t read(char* buffer, std::size_t size);
    void seek(std::int64_t position);
    std::int64_t position() const { return position_; }
    std::int64_t size() const;

    // The whole content of a buffer in memory (empty for a file buffer).
    const std::string& memory() const { return memory_; }

private:
    std::string memory_;
    std::unique_ptr<platform::FileStream> file_;
    std::int64_t position_ = 0;
};

}  // namespace http
