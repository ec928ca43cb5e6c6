#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The entries of one directory, in the order the file system returns them
// ("." and ".." included), with what a listing shows of each.
class DirectoryScan {
public:
    struct Entry {
        std::string name;
        bool isDirectory = false;
        std::int64_t size = 0;
        // Modification time, local: year, month 1-12, day 1-31, weekday 0-6
        // (Sunday first), hour, minute, second.
        int year = 0, month = 1, day = 1, weekday = 0, hour = 0, minute = 0, second = 0;
    };

    // Empty when the directory cannot be read.
    static std::vector<Entry> list(const std::string& directory);

    // The directory's absolute path with every symbolic link, "." and ".."
    // resolved, without a trailing "/" (except for "/"); empty when it cannot be
    // resolved. The process's working directory is never changed.
    static std::string canonicalDirectory(const std::string& directory);
};

}  // namespace platform
