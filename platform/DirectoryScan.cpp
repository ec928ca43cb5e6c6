#include "platform/DirectoryScan.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <ctime>

namespace platform {

std::vector<DirectoryScan::Entry> DirectoryScan::list(const std::string& directory) {
    std::vector<Entry> entries;
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) return entries;
    std::string base = directory;
    if (base.empty() || base.back() != '/') base += '/';
    while (dirent* d = ::readdir(dir)) {
        Entry e;
        e.name = d->d_name;
        struct stat st {};
        if (::stat((base + e.name).c_str(), &st) == 0) {
            e.isDirectory = S_ISDIR(st.st_mode);
            e.size = static_cast<std::int64_t>(st.st_size);
            std::tm tm{};
            time_t t = st.st_mtime;
            if (::localtime_r(&t, &tm)) {
                e.year = tm.tm_year + 1900;
                e.month = tm.tm_mon + 1;
                e.day = tm.tm_mday;
                e.weekday = tm.tm_wday;
                e.hour = tm.tm_hour;
                e.minute = tm.tm_min;
                e.second = tm.tm_sec;
            }
        } else if (d->d_type == DT_DIR) {
            e.isDirectory = true;
        }
        entries.push_back(std::move(e));
    }
    ::closedir(dir);
    return entries;
}

std::string DirectoryScan::canonicalDirectory(const std::string& directory) {
    char buf[PATH_MAX];
    if (!::realpath(directory.c_str(), buf)) return {};
    return buf;
}

}  // namespace platform
