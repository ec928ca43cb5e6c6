#include "platform/FileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

std::unique_ptr<FileStream> FileStream::create(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw FileCreateError("Cannot create file \"" + path + "\". " + std::strerror(errno));
    return std::unique_ptr<FileStream>(new FileStream(fd, path));
}

std::unique_ptr<FileStream> FileStream::openRead(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw FileCreateError("Cannot open file \"" + path + "\". " + std::strerror(errno));
    return std::unique_ptr<FileStream>(new FileStream(fd, path));
}

FileStream::~FileStream() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileStream::write(const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::pwrite(fd_, data, size, position_);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        position_ += n;
    }
    return true;
}

std::size_t FileStream::read(char* buffer, std::size_t size) {
    std::size_t total = 0;
    while (total < size) {
        ssize_t n = ::pread(fd_, buffer + total, size - total, position_);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += static_cast<std::size_t>(n);
        position_ += n;
    }
    return total;
}

void FileStream::seek(std::int64_t position) { position_ = position < 0 ? 0 : position; }

std::int64_t FileStream::size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return 0;
    return static_cast<std::int64_t>(st.st_size);
}

}  // namespace platform
