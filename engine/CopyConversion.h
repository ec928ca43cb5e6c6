#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace engine {

class TSavedFiles;

// How one file of a copy was converted.
struct TConversionReport {
    std::string path;
    int linksChanged = 0;
    // False when the file could not be read or the converted file not written;
    // the file then stays as it was.
    bool ok = true;
};

// True for the names of HTML pages (".html", ".htm", ".shtml", ".xhtml",
// ".asp", ".php", ... in any letter case).
bool IsPageName(std::string_view path);
// True for ".css" in any letter case.
bool IsStylesheetName(std::string_view path);

// The whole content of a saved file; empty when it cannot be read or is larger
// than a page may be (64 MiB).
std::optional<std::string> ReadSavedFile(const std::string& path);

// Converts the links of every saved page and stylesheet of a copy in place:
// each converted file is written beside its name and moved over it only when
// whole, so a failure never leaves it torn. report is called once per page or
// stylesheet, in the order the files were saved.
void ConvertCopy(const TSavedFiles& saved,
                 const std::function<void(const TConversionReport&)>& report);

}  // namespace engine
