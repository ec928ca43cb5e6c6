#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// An ordered list of texts (URLs, tags, paths) with an index of their
// case-folded forms beside it, so that "is it in the list?" does not scan.
// Positions count from 0; IndexOf gives the first position whose entry equals
// the text as SameURL reads them (letter case aside, "https://" as "http://"),
// or -1, exactly as a linear search with SameURL would: a site's address under
// either scheme is one entry.
//
// A crawl keeps every URL it met in these lists, so an entry costs little: the
// texts live one after another in a single buffer, the order is a list of
// 4-byte slot numbers and the index an open-addressed table of slot numbers.
// Entries are handed out as copies (or views, which the next change of the
// list invalidates).
class TUrlList {
public:
    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = std::string;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string;

        const_iterator(const TUrlList* list, std::size_t position)
            : list_(list), position_(position) {}
        std::string operator*() const { return std::string(list_->view(position_)); }
        const_iterator& operator++() {
            ++position_;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++position_;
            return before;
        }
        bool operator==(const const_iterator& other) const { return position_ == other.position_; }
        bool operator!=(const const_iterator& other) const { return position_ != other.position_; }

    private:
        const TUrlList* list_;
        std::size_t position_;
    };

    std::size_t size() const { return order_.size(); }
    bool empty() const { return order_.empty(); }
    // The entry at position; at() throws std::out_of_range past the end.
    std::string at(std::size_t position) const;
    std::string operator[](std::size_t position) const { return std::string(view(position)); }
    std::string front() const { return std::string(view(0)); }
    std::string back() const { return std::string(view(order_.size() - 1)); }
    // The entry's text without a copy; valid until the list next changes.
    std::string_view view(std::size_t position) const { return text(order_[position]); }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, order_.size()}; }

    void push_back(std::string_view text);
    void pop_front();
    void erase(std::size_t position);
    // Replaces the entry at position, keeping its place in the order.
    void replace(std::size_t position, std::string_view text);
    void clear();

    bool contains(std::string_view text) const;
    long IndexOf(std::string_view text) const;

    // Bytes the list holds on the heap (for the benchmarks).
    std::size_t memoryBytes() const;

private:
    using SlotId = std::uint32_t;
    static constexpr SlotId kNoSlot = 0xFFFFFFFFu;
    enum class SlotState : std::uint8_t { Free, Listed, Indexed };
    struct Slot {
        std::uint64_t offset = 0;  // into texts_
        std::uint32_t length = 0;
        // Listed: an entry of the list. Indexed: no longer listed, but kept
        // because its bucket still names it for other entries equal to it.
        SlotState state = SlotState::Free;
    };
    // One entry of the index per distinct folded text: a slot holding it and
    // how many entries of the list fold to it.
    struct Bucket {
        SlotId slot = kNoSlot;
        std::uint32_t count = 0;
    };

    std::string_view text(SlotId slot) const {
        return std::string_view(texts_).substr(slots_[slot].offset, slots_[slot].length);
    }
    SlotId store(std::string_view text);
    void release(SlotId slot);
    void compactTexts();

    std::size_t bucketOf(std::string_view text) const;  // its bucket, or an empty one
    void indexAdd(SlotId slot);
    // The listed slot leaves the list; it is released unless its bucket keeps it.
    void unlist(SlotId slot);
    void eraseBucket(std::size_t bucket);
    void growIndex();

    std::string texts_;          // every stored text, one after another
    std::size_t deadBytes_ = 0;  // bytes of texts_ no slot uses any more
    std::vector<Slot> slots_;
    std::vector<SlotId> freeSlots_;
    std::deque<SlotId> order_;     // the list, as slot numbers
    std::vector<Bucket> buckets_;  // open addressing, linear probing; size a power of 2
    std::size_t distinct_ = 0;     // buckets in use
};

}  // namespace engine
