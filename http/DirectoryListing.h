#pragma once

#include <string>
#include <vector>

#include "platform/DirectoryScan.h"

namespace http {

// The HTML page shown for a "file:///" URL that names a directory.
class DirectoryListing {
public:
    // The whole page for directory (its path without a trailing "/") and its entries.
    static std::string page(const std::string& directory,
                            const std::vector<platform::DirectoryScan::Entry>& entries);
    // One entry's line, CR LF included.
    static std::string line(const std::string& directory, const platform::DirectoryScan::Entry& e);
};

}  // namespace http
