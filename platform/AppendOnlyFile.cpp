#include "platform/AppendOnlyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

AppendOnlyFile::~AppendOnlyFile() { close(); }

void AppendOnlyFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    path_.clear();
    size_ = 0;
}

bool AppendOnlyFile::writeAll(std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        size_ += n;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool AppendOnlyFile::rewrite(const std::string& path, std::string_view data) {
    close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) return false;
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        close();
        return false;
    }
    device_ = info.st_dev;
    inode_ = info.st_ino;
    path_ = path;
    if (!writeAll(data)) {
        close();
        return false;
    }
    return true;
}

bool AppendOnlyFile::append(std::string_view data) {
    if (fd_ < 0) return false;
    if (!writeAll(data)) {
        close();
        return false;
    }
    return true;
}

bool AppendOnlyFile::unchanged() const {
    if (fd_ < 0) return false;
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) return false;
    return info.st_dev == device_ && info.st_ino == inode_ && info.st_size == size_;
}

}  // namespace platform
