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

    // Makes directory the process's current directory; false when it cannot.
    static bool setCurrentDirectory(const std::string& directory);
    // The process's current directory, without a trailing "/" (except for "/").
    static std::string currentDirectory();
};

}  // namespace platform
