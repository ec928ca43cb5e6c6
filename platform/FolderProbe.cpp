#include "platform/FolderProbe.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/PartialFile.h"

namespace platform::fs {

namespace {

constexpr const char* kProbeName = "/.harvex-probe-XXXXXX";
// /proc, /sys and their kind report no blocks at all: nothing saved there
// would be a file.
constexpr const char* kPseudoFileSystem = "Pseudo file system";

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string systemText(int error) { return errorText(error); }

// Creates and removes a file (in an existing folder, as a saved file would be
// made) or a folder (under the nearest existing ancestor of a missing one).
std::optional<std::string> probe(const std::string& folder, bool exists) {
    if (exists) {
        const int error = PartialFile::probeDirectory(folder);
        if (error != 0) return systemText(error);
        return std::nullopt;
    }
    std::string name = (folder == "/" ? std::string() : folder) + kProbeName;
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) return systemText(errno);
    ::rmdir(buffer.data());
    return std::nullopt;
}

}  // namespace

std::optional<std::string> folderUnusableReason(const std::string& path) {
    const std::string folder = withoutTrailingSlashes(path);
    std::string existing = folder;
    for (;;) {
        struct stat st {};
        if (::stat(existing.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) return systemText(ENOTDIR);
            break;
        }
        // Any answer but "missing" (a file on the way, no right to look) is final.
        if (errno != ENOENT) return systemText(errno);
        const std::string parent = parentOf(existing);
        if (parent == existing) return systemText(ENOENT);
        existing = parent;
    }

    struct statvfs info {};
    if (::statvfs(existing.c_str(), &info) == 0 && info.f_blocks == 0) return kPseudoFileSystem;
    return probe(existing, existing == folder);
}

}  // namespace platform::fs
