#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Paths are byte strings in the local (POSIX) form.
namespace platform::fs {

// Bytes available to the user on the file system that holds path, or on that of
// its nearest existing ancestor when path does not exist yet. Empty when no
// ancestor's file system can be read.
std::optional<std::int64_t> freeSpace(const std::string& path);

bool directoryExists(const std::string& path);
bool fileExists(const std::string& path);

// Creates the directory and every missing parent, each named by the path's
// own bytes (no conversion to Unicode: a folder name need not be UTF-8). True
// when the directory exists afterwards.
bool createDirectories(const std::string& path);
// The same; 0 when the directory exists afterwards, else the errno of the step
// that failed (ENOTDIR when a file stands where a folder must be).
int createDirectoriesError(const std::string& path);

// The system's text for an errno value ("Permission denied").
std::string errorText(int error);

// Size of a regular file in bytes, or -1 when it cannot be read.
std::int64_t fileSize(const std::string& path);

bool removeFile(const std::string& path);

// Writes data as the whole content of the file, creating or replacing it.
// False when the file cannot be opened or not every byte was written.
bool writeFile(const std::string& path, std::string_view data);

// Appends data at the end of an existing file (creating it when missing).
// False when the file cannot be opened or not every byte was written.
bool appendToFile(const std::string& path, std::string_view data);

// The temporary directory (TMPDIR, else /tmp), with a trailing "/".
std::string tempDirectory();

// A leading "~/" (or a lone "~") becomes the home folder (HOME's bytes).
std::string expandHome(const std::string& path);

bool isAbsolutePath(const std::string& path);

}  // namespace platform::fs
