#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace platform::fs {

namespace {

bool writeAll(int fd, std::string_view data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool writeWithFlags(const std::string& path, std::string_view data, int flags) {
    int fd = ::open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = writeAll(fd, data);
    if (::close(fd) != 0) ok = false;
    return ok;
}

std::string parentOf(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    auto slash = p.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return p.substr(0, slash);
}

}  // namespace

std::optional<std::int64_t> freeSpace(const std::string& path) {
    std::string p = path.empty() ? std::string(".") : path;
    for (int depth = 0; depth < 4096; ++depth) {
        struct statvfs info {};
        if (::statvfs(p.c_str(), &info) == 0) {
            return static_cast<std::int64_t>(info.f_bavail) *
                   static_cast<std::int64_t>(info.f_frsize);
        }
        if (errno != ENOENT && errno != ENOTDIR) return std::nullopt;
        std::string parent = parentOf(p);
        if (parent == p) return std::nullopt;
        p = parent;
    }
    return std::nullopt;
}

bool directoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool createDirectories(const std::string& path) { return createDirectoriesError(path) == 0; }

int createDirectoriesError(const std::string& path) {
    if (path.empty()) return ENOENT;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT) return errno;
    // Each missing parent first, then the folder itself.
    const std::string parent = parentOf(path);
    if (parent != path && parent != ".") {
        if (const int error = createDirectoriesError(parent); error != 0) return error;
    }
    if (::mkdir(path.c_str(), 0777) == 0) return 0;
    const int error = errno;
    // Someone else may have made it meanwhile.
    return directoryExists(path) ? 0 : error;
}

std::string errorText(int error) { return std::strerror(error); }

std::int64_t fileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool writeFile(const std::string& path, std::string_view data) {
    return writeWithFlags(path, data, O_TRUNC);
}

bool appendToFile(const std::string& path, std::string_view data) {
    return writeWithFlags(path, data, O_APPEND);
}

std::string tempDirectory() {
    const char* fromEnvironment = std::getenv("TMPDIR");
    std::string dir = fromEnvironment != nullptr && isAbsolutePath(fromEnvironment)
                          ? std::string(fromEnvironment)
                          : std::string("/tmp");
    if (dir.back() != '/') dir += '/';
    return dir;
}

std::string expandHome(const std::string& path) {
    if (path == "~" || path.rfind("~/", 0) == 0) {
        const char* fromEnvironment = std::getenv("HOME");
        // Qt asks the password database when HOME is unset; its answer is a
        // system path, ASCII in practice.
        const std::string home = fromEnvironment != nullptr && *fromEnvironment != '\0'
                                     ? std::string(fromEnvironment)
                                     : QDir::homePath().toStdString();
        return home + path.substr(1);
    }
    return path;
}

bool isAbsolutePath(const std::string& path) { return !path.empty() && path.front() == '/'; }

}  // namespace platform::fs
