#include "platform/TempFileStream.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/FileSystem.h"

TTempFileStream::TTempFileStream() {
    std::string pattern = platform::fs::tempDirectory() + "msXXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = ::mkstemp(buffer.data());
    if (fd < 0) throw std::runtime_error(std::strerror(errno));
    ::close(fd);
    fileName_ = buffer.data();
    stream_.open(fileName_, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
    if (!stream_.is_open()) {
        const int err = errno;
        platform::fs::removeFile(fileName_);
        throw std::runtime_error(std::strerror(err != 0 ? err : EIO));
    }
}

TTempFileStream::~TTempFileStream() {
    stream_.close();
    platform::fs::removeFile(fileName_);
}

std::int64_t TTempFileStream::size() {
    stream_.flush();
    return platform::fs::fileSize(fileName_);
}
