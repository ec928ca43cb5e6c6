#pragma once

#include <string>
#include <unordered_set>

namespace engine {

// The folders a job has made or found, so that saving the next file into one
// of them costs no look at the disk. Knowledge is only a shortcut: when a file
// cannot be made in a known folder (someone removed it meanwhile), the caller
// forgets it and asks again, which looks and makes it anew.
class TKnownFolders {
public:
    // True when the folder exists afterwards: a known one without a look, any
    // other one looked at and made with its parents when missing.
    bool ensure(const std::string& directory);
    // The folder is no longer taken on trust. True when it was known.
    bool forget(const std::string& directory) { return known_.erase(directory) != 0; }
    void clear() { known_.clear(); }

private:
    std::unordered_set<std::string> known_;
};

}  // namespace engine
