#include "platform/PartialFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <vector>

namespace platform {

namespace {

constexpr std::string_view kPrefix = ".harvex-";
constexpr std::string_view kSuffix = ".part";
constexpr std::size_t kUniqueChars = 6;
constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kNameAttempts = 100;

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string uniqueName() {
    static std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string name(kPrefix);
    for (std::size_t i = 0; i < kUniqueChars; ++i) name += kAlphabet[pick(generator)];
    name += kSuffix;
    return name;
}

// A run cleaning up leftovers removes a file only after locking it: one that
// still has its name after this program took the lock is safe from it.
bool stillNamed(int fd) {
    struct stat opened {};
    return ::fstat(fd, &opened) == 0 && opened.st_nlink > 0;
}

}  // namespace

std::unique_ptr<PartialFile> PartialFile::create(const std::string& finalPath, int& error) {
    const std::string folder = folderOf(finalPath);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string tempPath = folder + "/" + uniqueName();
        const int fd =
            ::open(tempPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error = errno;
            return nullptr;
        }
        // A run cleaning up leftovers may have taken the new file between its
        // creation and this lock, and removed it: then try another name.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !stillNamed(fd)) {
            ::close(fd);
            continue;
        }
        error = 0;
        return std::unique_ptr<PartialFile>(new PartialFile(fd, tempPath, finalPath));
    }
    error = EEXIST;
    return nullptr;
}

PartialFile::PartialFile(int fd, std::string tempPath, std::string finalPath)
    : fd_(fd), tempPath_(std::move(tempPath)), finalPath_(std::move(finalPath)) {}

PartialFile::~PartialFile() {
    discard();
    ::close(fd_);
}

bool PartialFile::write(std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written_ += n;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool PartialFile::rewind() {
    if (written_ == 0) return true;
    if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) return false;
    written_ = 0;
    return true;
}

int PartialFile::commit() {
    if (done_) return ENOENT;
    done_ = true;
    if (::rename(tempPath_.c_str(), finalPath_.c_str()) == 0) return 0;
    const int error = errno;
    ::unlink(tempPath_.c_str());
    return error;
}

void PartialFile::discard() {
    if (done_) return;
    done_ = true;
    ::unlink(tempPath_.c_str());
}

int PartialFile::probeDirectory(const std::string& directory) {
    int error = 0;
    auto probe = create(directory + "/probe", error);
    return probe ? 0 : error;
}

bool isPartialFileName(std::string_view name) {
    if (name.size() != kPrefix.size() + kUniqueChars + kSuffix.size()) return false;
    if (name.substr(0, kPrefix.size()) != kPrefix) return false;
    if (name.substr(name.size() - kSuffix.size()) != kSuffix) return false;
    for (char c : name.substr(kPrefix.size(), kUniqueChars)) {
        if (kAlphabet.find(c) == std::string_view::npos) return false;
    }
    return true;
}

int removeLeftoverPartialFiles(const std::string& directory) {
    int removed = 0;
    std::vector<std::string> folders{directory};
    while (!folders.empty()) {
        const std::string folder = std::move(folders.back());
        folders.pop_back();
        DIR* listing = ::opendir(folder.c_str());
        if (listing == nullptr) continue;
        const int folderFd = ::dirfd(listing);
        while (const dirent* entry = ::readdir(listing)) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            struct stat st {};
            if (::fstatat(folderFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISDIR(st.st_mode)) {
                folders.push_back(folder + "/" + std::string(name));
                continue;
            }
            if (!S_ISREG(st.st_mode) || !isPartialFileName(name)) continue;
            const int fd =
                ::openat(folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) continue;
            // Held by a running program: its transfer is still going on.
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlinkat(folderFd, entry->d_name, 0) == 0)
                ++removed;
            ::close(fd);
        }
        ::closedir(listing);
    }
    return removed;
}

}  // namespace platform
