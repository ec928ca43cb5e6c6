#include "engine/SavedFiles.h"

#include "engine/ParseURLFns.h"
#include "engine/PercentEscapes.h"

namespace engine {

namespace {

// More hops than the engine ever follows: a circle of redirects ends here.
constexpr int kMaxRedirectHops = 32;

}  // namespace

std::string SavedFileKey(std::string_view url) {
    // Both schemes of one address name one local file.
    std::string key = SchemeBlindURL(DecodePercentEscapes(url));
    const auto separator = key.find("://");
    if (separator == std::string::npos) return key;
    auto hostEnd = key.find('/', separator + 3);
    if (hostEnd == std::string::npos) hostEnd = key.size();
    for (std::size_t i = 0; i < hostEnd; ++i) {
        if (key[i] >= 'A' && key[i] <= 'Z') key[i] = static_cast<char>(key[i] - 'A' + 'a');
    }
    return key;
}

void TSavedFiles::Add(std::string_view url, std::string path, TSavedKind kind) {
    const std::string key = SavedFileKey(url);
    if (const auto known = byKey_.find(key); known != byKey_.end()) {
        TEntry& entry = entries_[known->second];
        entry.path = std::move(path);
        if (kind == TSavedKind::Stylesheet) entry.kind = kind;
        return;
    }
    byKey_.emplace(key, entries_.size());
    entries_.push_back({std::string(url), std::move(path), kind});
}

void TSavedFiles::AddRedirect(std::string_view from, std::string_view to) {
    const std::string fromKey = SavedFileKey(from);
    const std::string toKey = SavedFileKey(to);
    if (fromKey != toKey) redirects_[fromKey] = toKey;
}

std::optional<std::string> TSavedFiles::ownPath(const std::string& key) const {
    if (const auto known = byKey_.find(key); known != byKey_.end()) {
        return entries_[known->second].path;
    }
    if (!key.empty() && key.back() == '/') {
        for (const auto name : kDefaultDocumentNames) {
            if (const auto known = byKey_.find(key + std::string(name)); known != byKey_.end()) {
                return entries_[known->second].path;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> TSavedFiles::PathOf(std::string_view url) const {
    std::string key = SavedFileKey(url);
    for (int hop = 0; hop <= kMaxRedirectHops; ++hop) {
        if (auto path = ownPath(key)) return path;
        const auto next = redirects_.find(key);
        if (next == redirects_.end()) break;
        key = next->second;
    }
    return std::nullopt;
}

}  // namespace engine
