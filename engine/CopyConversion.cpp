#include "engine/CopyConversion.h"

#include <array>
#include <optional>

#include "engine/LinkConversion.h"
#include "engine/ParseURLFns.h"
#include "engine/SavedFiles.h"
#include "platform/FileStream.h"
#include "platform/PartialFile.h"

namespace engine {

namespace {

constexpr std::array<std::string_view, 10> kPageExtensions = {
    ".html", ".htm", ".shtml", ".shtm", ".xhtml", ".asp", ".aspx", ".php", ".jsp", ".cfm"};
// Larger files are left as they are: they are held whole while converted,
// like a page the engine fetches.
constexpr std::int64_t kMaxConvertedBytes = std::int64_t{64} * 1024 * 1024;
constexpr std::size_t kReadBlock = 64 * 1024;

bool endsWithCaseBlind(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() &&
           EqualsCaseBlind(text.substr(text.size() - ending.size()), ending);
}

}  // namespace

std::optional<std::string> ReadSavedFile(const std::string& path) {
    try {
        auto file = platform::FileStream::openRead(path);
        if (file->size() > kMaxConvertedBytes) return std::nullopt;
        std::string text;
        char block[kReadBlock];
        while (const std::size_t count = file->read(block, sizeof block)) text.append(block, count);
        return text;
    } catch (const platform::FileCreateError&) {
        return std::nullopt;
    }
}

namespace {

bool replaceWhole(const std::string& path, std::string_view text) {
    int error = 0;
    auto file = platform::PartialFile::create(path, error);
    return file && file->write(text) && file->commit() == 0;
}

}  // namespace

bool IsPageName(std::string_view path) {
    for (const auto extension : kPageExtensions) {
        if (endsWithCaseBlind(path, extension)) return true;
    }
    return false;
}

bool IsStylesheetName(std::string_view path) { return endsWithCaseBlind(path, ".css"); }

void ConvertCopy(const TSavedFiles& saved,
                 const std::function<void(const TConversionReport&)>& report) {
    for (const auto& entry : saved.Entries()) {
        const bool stylesheet =
            entry.kind == TSavedKind::Stylesheet || IsStylesheetName(entry.path);
        if (!stylesheet && !IsPageName(entry.path)) continue;
        TConversionReport outcome;
        outcome.path = entry.path;
        const auto text = ReadSavedFile(entry.path);
        if (!text) {
            outcome.ok = false;
            report(outcome);
            continue;
        }
        const TConvertedText converted =
            stylesheet ? ConvertStylesheetLinks(*text, entry.url, entry.path, saved)
                       : ConvertPageLinks(*text, entry.url, entry.path, saved);
        outcome.linksChanged = converted.linksChanged;
        if (converted.linksChanged > 0) outcome.ok = replaceWhole(entry.path, converted.text);
        report(outcome);
    }
}

}  // namespace engine
