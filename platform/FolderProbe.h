#pragma once

#include <optional>
#include <string>

namespace platform::fs {

// Why the folder at path cannot hold files, or nothing when it can. An existing
// folder must take a new file; a missing one must be creatable under its
// nearest existing ancestor. The answer comes from a real attempt (a temporary
// entry, removed at once), the one test that the file system, its mount options
// and the user's rights all take part in. The reason is the system's own text
// ("Permission denied", "Read-only file system", "Not a directory").
std::optional<std::string> folderUnusableReason(const std::string& path);

}  // namespace platform::fs
