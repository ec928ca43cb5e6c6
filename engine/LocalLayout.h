#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Where the copy of a URL lives on disk. Local paths are POSIX paths; the host
// is not part of them, so every host's files share one tree under the save
// directory.
namespace engine {

// The save directory followed by the URL's directory path, each without one
// final "/" (a "\\" in the save directory is read as "/"). Other repeated
// slashes stay as the URL has them.
std::string URLToLocalDir(std::string_view saveDirectory, std::string_view url);

// The directory and the name joined by exactly one "/"; the name alone when the
// directory is empty.
std::string FilePath(std::string_view directory, std::string_view name);

// 0 when no file exists at the path.
std::int64_t FileSizeOf(const std::string& path);

std::string GetTempDirectory();

// Creates the directory with its missing parents. True when it exists afterwards.
bool ForceDirectories(const std::string& path);

// The path with "." and ".." segments and repeated "/" resolved as text, the
// way the file system will read it ("/.." stays "/").
std::string NormalisePath(std::string_view path);

// True when path, once normalised, names something strictly below directory.
bool IsInsideDirectory(std::string_view directory, std::string_view path);

// What a site's file named like the status log, at the top of the save
// directory, is saved as.
inline constexpr std::string_view kRenamedSiteLogName = "downloads-1.log";

// The name a site's file is saved under in directory: its own, except that the
// status log's name at the top of the save directory becomes
// kRenamedSiteLogName, so that the log never overwrites the site's file.
std::string LocalFileName(std::string_view saveDirectory, std::string_view directory,
                          std::string_view name);

}  // namespace engine
