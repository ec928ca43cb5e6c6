#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/SavedFiles.h"

namespace engine {

// What an earlier copy saved, read back from its status log ("downloads.log")
// and its tree, so that its links can be converted afterwards. Each "Saved"
// line names a URL; its file is the path of the "File saved to" line beside
// it, or where the local layout puts the URL (with its percent-escapes as
// they are, or decoded as an offline copy names files), whichever fileExists
// finds first. Redirects and default documents found for directories are read
// from their lines too.
TSavedFiles SavedFilesFromLog(std::string_view logText, std::string_view saveDirectory,
                              const std::function<bool(const std::string&)>& fileExists);

}  // namespace engine
