#pragma once

#include <string>
#include <string_view>

namespace engine {

class TSavedFiles;

// A saved page or stylesheet with its links rewritten for reading from disk.
struct TConvertedText {
    std::string text;
    int linksChanged = 0;
};

// Rewrites every link of a saved HTML page: a link to a saved file becomes the
// relative path from the page to it (a directory link the path to its default
// document), a link to a file not saved becomes its absolute URL; fragments are
// kept, and the query of a link to a saved file is dropped, since the copy holds
// the one file that was fetched. A base tag's address becomes the page itself,
// so the relative links resolve against the page's own folder. Only the bytes of
// the links change.
TConvertedText ConvertPageLinks(std::string_view page, std::string_view pageURL,
                                std::string_view pagePath, const TSavedFiles& saved);

// The same for a saved stylesheet's url() and @import links.
TConvertedText ConvertStylesheetLinks(std::string_view css, std::string_view cssURL,
                                      std::string_view cssPath, const TSavedFiles& saved);

// The relative link from the file at fromPath to the file at toPath (both local
// paths), percent-encoded so that a browser resolving it as a file: URL finds
// toPath.
std::string RelativeLinkPath(std::string_view fromPath, std::string_view toPath);

}  // namespace engine
