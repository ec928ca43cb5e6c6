#pragma once

#include <string>
#include <vector>

namespace platform {

// Replaces the file with the lines, each ended by CR LF. False when the file
// cannot be written; a component's log is never worth a failure of its own.
bool writeLineFile(const std::string& path, const std::vector<std::string>& lines);

}  // namespace platform
