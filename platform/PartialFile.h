#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// A file written under a temporary name in the folder of its final name and
// moved over that name only once complete, so that a failed, cut or stopped
// write never destroys an earlier file and never leaves a torn one under the
// final name. The temporary name is hidden and recognisable
// (".harvex-XXXXXX.part"); the file is locked for as long as it lives, so a
// temporary file nobody holds is one a crashed run left behind.
class PartialFile {
public:
    // A new, empty temporary file beside finalPath (same folder, same file
    // system, so that the final move is one rename). Null when the folder does
    // not take one; error is then the errno.
    static std::unique_ptr<PartialFile> create(const std::string& finalPath, int& error);

    // Removes the temporary file unless it was committed.
    ~PartialFile();
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    const std::string& tempPath() const { return tempPath_; }
    const std::string& finalPath() const { return finalPath_; }

    // Appends every byte; false when not all could be written (a full disk).
    bool write(std::string_view data);
    // The bytes written since creation or the last rewind(), counted rather
    // than asked of the file system.
    std::int64_t written() const { return written_; }
    // Empties the file for a fresh start (a request repeated with
    // credentials). False when the file cannot be emptied.
    bool rewind();
    // Moves the temporary file over the final name. 0, or the errno (and the
    // temporary file is gone either way).
    int commit();
    // Removes the temporary file now; a later commit fails.
    void discard();

    // 0 when a new file can be made in directory, else the errno.
    static int probeDirectory(const std::string& directory);

private:
    PartialFile(int fd, std::string tempPath, std::string finalPath);
    int fd_;
    std::string tempPath_;
    std::string finalPath_;
    std::int64_t written_ = 0;
    bool done_ = false;  // committed or discarded
};

// True for a name PartialFile gives its temporary files.
bool isPartialFileName(std::string_view name);

// Removes, below directory, the temporary files of PartialFile that no running
// program holds (left by a crash). Symbolic links are not followed. The number
// of files removed.
int removeLeftoverPartialFiles(const std::string& directory);

}  // namespace platform
