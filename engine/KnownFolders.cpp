#include "engine/KnownFolders.h"

#include "engine/LocalLayout.h"

namespace engine {

bool TKnownFolders::ensure(const std::string& directory) {
    if (known_.count(directory) != 0) return true;
    if (!ForceDirectories(directory)) return false;
    known_.insert(directory);
    return true;
}

}  // namespace engine
