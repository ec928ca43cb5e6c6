#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

namespace engine {

// An ordered list of texts (URLs, tags, paths) with an index of their
// case-folded forms beside it, so that "is it in the list?" does not scan.
// Positions count from 0; IndexOf gives the first position whose entry equals
// the text without regard to letter case, or -1, exactly as a linear
// case-blind search would.
class TUrlList {
public:
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const std::string& at(std::size_t position) const { return entries_.at(position); }
    const std::string& operator[](std::size_t position) const { return entries_[position]; }
    const std::string& front() const { return entries_.front(); }
    const std::string& back() const { return entries_.back(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

    void push_back(std::string text);
    void pop_front();
    void erase(std::size_t position);
    // Replaces the entry at position, keeping its place in the order.
    void replace(std::size_t position, std::string text);
    void clear();

    bool contains(std::string_view text) const;
    long IndexOf(std::string_view text) const;

private:
    void indexAdd(const std::string& text);
    void indexRemove(const std::string& text);

    std::deque<std::string> entries_;
    std::unordered_map<std::string, std::size_t> folded_;  // folded text -> entries with it
};

}  // namespace engine
