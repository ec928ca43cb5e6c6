#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace engine {

// The names a server gives a directory's default document, in the order the
// engine probes them.
inline constexpr std::array<std::string_view, 6> kDefaultDocumentNames = {
    "index.html", "index.htm", "default.html", "default.htm", "home.html", "home.htm"};

// What a copy holds: for each URL saved, the local path it was saved to, and
// the redirects met on the way. URLs are compared with their percent-escapes
// decoded, their scheme and host in lower case and "https://" read as
// "http://", the way two spellings of one address name one file.
enum class TSavedKind {
    File,        // a page or a file; pages are told by their names
    Stylesheet,  // linked as a stylesheet, whatever its name
};

class TSavedFiles {
public:
    struct TEntry {
        std::string url;
        std::string path;
        TSavedKind kind = TSavedKind::File;
    };

    void Add(std::string_view url, std::string path, TSavedKind kind = TSavedKind::File);
    void AddRedirect(std::string_view from, std::string_view to);

    // The local path for a URL: its own file, the file of the URL it was
    // redirected to, or for a directory URL its saved default document.
    std::optional<std::string> PathOf(std::string_view url) const;

    // Every saved file, in the order added (a URL saved twice once, at its
    // latest path).
    const std::vector<TEntry>& Entries() const { return entries_; }
    bool Empty() const { return entries_.empty(); }

private:
    std::optional<std::string> ownPath(const std::string& key) const;

    std::vector<TEntry> entries_;
    std::unordered_map<std::string, std::size_t> byKey_;      // key -> entry index
    std::unordered_map<std::string, std::string> redirects_;  // key -> key
};

// The key under which a URL is compared.
std::string SavedFileKey(std::string_view url);

}  // namespace engine
