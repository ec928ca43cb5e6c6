#include "engine/SavedSizes.h"

#include <functional>

#include "engine/UrlList.h"

namespace engine {

std::size_t TSavedSizes::slotOf(const TUrlList& saved, std::string_view path) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t s = std::hash<std::string_view>{}(path)&mask;
    while (slots_[s] != kEmpty && saved.view(slots_[s]) != path) s = (s + 1) & mask;
    return s;
}

void TSavedSizes::grow(const TUrlList& saved) {
    std::vector<std::uint32_t> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, kEmpty);
    for (std::uint32_t position : old) {
        if (position != kEmpty) slots_[slotOf(saved, saved.view(position))] = position;
    }
}

std::int64_t* TSavedSizes::find(const TUrlList& saved, std::string_view path) {
    if (slots_.empty()) return nullptr;
    const std::uint32_t position = slots_[slotOf(saved, path)];
    return position == kEmpty ? nullptr : &sizes_[position];
}

void TSavedSizes::add(const TUrlList& saved, std::size_t position, std::int64_t size) {
    if ((used_ + 1) * 2 > slots_.size()) grow(saved);
    slots_[slotOf(saved, saved.view(position))] = static_cast<std::uint32_t>(position);
    ++used_;
    if (sizes_.size() <= position) sizes_.resize(position + 1, 0);
    sizes_[position] = size;
}

void TSavedSizes::clear() {
    slots_.clear();
    slots_.shrink_to_fit();
    sizes_.clear();
    sizes_.shrink_to_fit();
    used_ = 0;
}

}  // namespace engine
