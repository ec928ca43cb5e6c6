#include "engine/LocalLayout.h"

#include <algorithm>
#include <vector>

#include "engine/ParseURLFns.h"
#include "engine/StatusLog.h"
#include "platform/FileSystem.h"

namespace engine {

namespace {

std::string withoutFinalSlash(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    if (!text.empty() && text.back() == '/') text.pop_back();
    return text;
}

}  // namespace

std::string URLToLocalDir(std::string_view saveDirectory, std::string_view url) {
    return withoutFinalSlash(std::string(saveDirectory)) +
           withoutFinalSlash(SplitURL(url).directory);
}

std::string FilePath(std::string_view directory, std::string_view name) {
    if (directory.empty()) return std::string(name);
    if (!name.empty() && name.front() == '/') name.remove_prefix(1);
    std::string path(directory);
    if (path.back() != '/') path += '/';
    path += name;
    return path;
}

std::int64_t FileSizeOf(const std::string& path) {
    if (!platform::fs::fileExists(path)) return 0;
    return std::max<std::int64_t>(0, platform::fs::fileSize(path));
}

std::string GetTempDirectory() { return platform::fs::tempDirectory(); }

bool ForceDirectories(const std::string& path) {
    const std::string directory = withoutFinalSlash(path);
    if (directory.empty()) return false;
    if (platform::fs::directoryExists(directory)) return true;
    return platform::fs::createDirectories(directory);
}

std::string NormalisePath(std::string_view path) {
    const bool absolute = !path.empty() && path.front() == '/';
    std::vector<std::string_view> segments;
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t end = path.find('/', at);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view segment = path.substr(at, end - at);
        if (segment == "..") {
            if (!segments.empty() && segments.back() != "..") {
                segments.pop_back();
            } else if (!absolute) {
                segments.push_back(segment);
            }
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        at = end + 1;
    }
    std::string out = absolute ? "/" : "";
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) out += '/';
        out += segments[i];
    }
    return out.empty() ? "." : out;
}

bool IsInsideDirectory(std::string_view directory, std::string_view path) {
    std::string base = NormalisePath(directory);
    const std::string candidate = NormalisePath(path);
    if (base != "/") base += '/';
    return candidate.size() > base.size() && candidate.compare(0, base.size(), base) == 0;
}

std::string LocalFileName(std::string_view saveDirectory, std::string_view directory,
                          std::string_view name) {
    if (name == kLogFileName && NormalisePath(directory) == NormalisePath(saveDirectory))
        return std::string(kRenamedSiteLogName);
    return std::string(name);
}

}  // namespace engine
