#include "engine/SavedCopyLog.h"

#include <array>
#include <optional>
#include <vector>

#include "engine/LocalLayout.h"
#include "engine/ParseURLFns.h"
#include "engine/PercentEscapes.h"

namespace engine {

namespace {

constexpr std::string_view kPreparing = "Preparing to process ";
constexpr std::string_view kFileSavedTo = "File saved to ";
constexpr std::array<std::string_view, 2> kSavedPhrases = {"Saved ", "Saved Mystery File "};
constexpr std::array<std::string_view, 3> kNewAddressPhrases = {
    "URL Redirected to: ", "Redirection: Correct filename is ",
    "Redirection: Can not determine file size. Downloading "};

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

std::optional<std::string_view> after(std::string_view line, std::string_view phrase) {
    if (line.substr(0, phrase.size()) != phrase) return std::nullopt;
    return line.substr(phrase.size());
}

std::string layoutPath(std::string_view saveDirectory, std::string_view url) {
    const std::string directory = NormalisePath(URLToLocalDir(saveDirectory, url));
    return FilePath(directory, LocalFileName(saveDirectory, directory, SplitURL(url).fileName));
}

}  // namespace

TSavedFiles SavedFilesFromLog(std::string_view logText, std::string_view saveDirectory,
                              const std::function<bool(const std::string&)>& fileExists) {
    TSavedFiles saved;
    const auto lines = linesOf(logText);
    std::string preparing;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (auto url = after(line, kPreparing)) {
            preparing = std::string(*url);
            continue;
        }
        bool newAddress = false;
        for (const auto phrase : kNewAddressPhrases) {
            if (auto target = after(line, phrase); target && !preparing.empty()) {
                saved.AddRedirect(preparing, *target);
                newAddress = true;
            }
        }
        if (newAddress) continue;

        std::optional<std::string_view> url;
        // The longer phrase first: "Saved Mystery File" also begins with "Saved ".
        for (auto phrase = kSavedPhrases.rbegin(); phrase != kSavedPhrases.rend() && !url; ++phrase)
            url = after(line, *phrase);
        if (!url || !IsAbsoluteURL(*url)) continue;

        std::vector<std::string> candidates;
        // A page's path comes before its "Saved" line, a renamed file's after it.
        if (i > 0) {
            if (auto path = after(lines[i - 1], kFileSavedTo)) candidates.emplace_back(*path);
        }
        if (i + 1 < lines.size()) {
            if (auto path = after(lines[i + 1], kFileSavedTo)) candidates.emplace_back(*path);
        }
        candidates.push_back(layoutPath(saveDirectory, DecodePercentEscapes(*url)));
        candidates.push_back(layoutPath(saveDirectory, *url));
        for (const auto& candidate : candidates) {
            if (fileExists(candidate)) {
                saved.Add(*url, NormalisePath(candidate));
                break;
            }
        }
    }
    return saved;
}

}  // namespace engine
