#include "engine/UrlList.h"

#include <algorithm>

#include "engine/ParseURLFns.h"

namespace engine {

void TUrlList::indexAdd(const std::string& text) { ++folded_[LowerCase(text)]; }

void TUrlList::indexRemove(const std::string& text) {
    auto it = folded_.find(LowerCase(text));
    if (it == folded_.end()) return;
    if (--it->second == 0) folded_.erase(it);
}

void TUrlList::push_back(std::string text) {
    indexAdd(text);
    entries_.push_back(std::move(text));
}

void TUrlList::pop_front() {
    if (entries_.empty()) return;
    indexRemove(entries_.front());
    entries_.pop_front();
}

void TUrlList::erase(std::size_t position) {
    if (position >= entries_.size()) return;
    indexRemove(entries_[position]);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position));
}

void TUrlList::replace(std::size_t position, std::string text) {
    if (position >= entries_.size()) return;
    indexRemove(entries_[position]);
    indexAdd(text);
    entries_[position] = std::move(text);
}

void TUrlList::clear() {
    entries_.clear();
    folded_.clear();
}

bool TUrlList::contains(std::string_view text) const { return folded_.count(LowerCase(text)) != 0; }

long TUrlList::IndexOf(std::string_view text) const {
    auto it = folded_.find(LowerCase(text));
    if (it == folded_.end()) return -1;
    const auto matches = [&](const std::string& entry) { return EqualsCaseBlind(entry, text); };
    if (it->second == 1) {
        // A single match is usually the entry just taken from the end of the
        // queue: look from the back.
        auto found = std::find_if(entries_.rbegin(), entries_.rend(), matches);
        return static_cast<long>(entries_.rend() - found) - 1;
    }
    auto found = std::find_if(entries_.begin(), entries_.end(), matches);
    return static_cast<long>(found - entries_.begin());
}

}  // namespace engine
