#include "engine/UrlList.h"

#include <random>
#include <stdexcept>

#include "engine/ParseURLFns.h"

namespace engine {

namespace {

constexpr char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A seed per process keeps a hostile page from choosing texts that all land in
// one chain of the index.
std::uint64_t hashSeed() {
    static const std::uint64_t seed = [] {
        std::random_device device;
        return (std::uint64_t{device()} << 32) ^ device() ^ 0xcbf29ce484222325ULL;
    }();
    return seed;
}

// The "s" of an "https://" text, which the hash passes over as SameURL does;
// npos when there is none.
std::size_t secureLetter(std::string_view text) {
    constexpr std::string_view kSecure = "https://";
    return text.size() >= kSecure.size() && EqualsCaseBlind(text.substr(0, kSecure.size()), kSecure)
               ? 4
               : std::string_view::npos;
}

// FNV-1a over the case-folded bytes, finished with a mixer so that the low
// bits, which pick the bucket, depend on every byte. Texts that SameURL finds
// equal hash alike.
std::uint64_t foldedHash(std::string_view text) {
    std::uint64_t h = hashSeed();
    const std::size_t skip = secureLetter(text);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == skip) continue;
        h ^= static_cast<unsigned char>(fold(text[i]));
        h *= 0x100000001b3ULL;
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return h;
}

constexpr std::size_t kFirstIndexSize = 16;
// Dead text is squeezed out once it is this large and outweighs the live text.
constexpr std::size_t kCompactAfterBytes = 64 * 1024;

}  // namespace

std::string TUrlList::at(std::size_t position) const {
    if (position >= order_.size()) throw std::out_of_range("TUrlList::at");
    return std::string(view(position));
}

TUrlList::SlotId TUrlList::store(std::string_view text) {
    SlotId slot;
    if (!freeSlots_.empty()) {
        slot = freeSlots_.back();
        freeSlots_.pop_back();
    } else {
        slot = static_cast<SlotId>(slots_.size());
        slots_.emplace_back();
    }
    // An empty text sits at 0, so that giving back the bytes before it never
    // leaves it past the end.
    const std::uint64_t offset = text.empty() ? 0 : texts_.size();
    slots_[slot] = {offset, static_cast<std::uint32_t>(text.size()), SlotState::Listed};
    texts_.append(text);
    return slot;
}

void TUrlList::release(SlotId slot) {
    Slot& s = slots_[slot];
    if (s.length > 0 && s.offset + s.length == texts_.size()) {
        // The newest text (a queue taken from its end): its bytes are reused at once.
        texts_.resize(s.offset);
    } else {
        deadBytes_ += s.length;
    }
    s = {};
    freeSlots_.push_back(slot);
    if (deadBytes_ > kCompactAfterBytes && deadBytes_ * 2 > texts_.size()) compactTexts();
}

void TUrlList::compactTexts() {
    std::string live;
    live.reserve(texts_.size() - deadBytes_);
    for (auto& s : slots_) {
        if (s.state == SlotState::Free) continue;
        const std::uint64_t offset = live.size();
        live.append(texts_, s.offset, s.length);
        s.offset = offset;
    }
    texts_ = std::move(live);
    texts_.shrink_to_fit();
    deadBytes_ = 0;
}

std::size_t TUrlList::bucketOf(std::string_view text) const {
    const std::size_t mask = buckets_.size() - 1;
    std::size_t b = static_cast<std::size_t>(foldedHash(text)) & mask;
    while (buckets_[b].slot != kNoSlot && !SameURL(this->text(buckets_[b].slot), text))
        b = (b + 1) & mask;
    return b;
}

void TUrlList::growIndex() {
    std::vector<Bucket> old = std::move(buckets_);
    buckets_.assign(old.empty() ? kFirstIndexSize : old.size() * 2, Bucket{});
    for (const Bucket& bucket : old) {
        if (bucket.slot != kNoSlot) buckets_[bucketOf(text(bucket.slot))] = bucket;
    }
}

void TUrlList::indexAdd(SlotId slot) {
    // At most half full: probes stay short.
    if ((distinct_ + 1) * 2 > buckets_.size()) growIndex();
    Bucket& bucket = buckets_[bucketOf(text(slot))];
    if (bucket.slot == kNoSlot) {
        bucket.slot = slot;
        ++distinct_;
    }
    ++bucket.count;
}

void TUrlList::eraseBucket(std::size_t hole) {
    // Backward-shift deletion: later members of the probe chain move into the
    // hole so that every lookup still finds them without tombstones.
    const std::size_t mask = buckets_.size() - 1;
    buckets_[hole] = Bucket{};
    --distinct_;
    for (std::size_t b = (hole + 1) & mask; buckets_[b].slot != kNoSlot; b = (b + 1) & mask) {
        const std::size_t home =
            static_cast<std::size_t>(foldedHash(text(buckets_[b].slot))) & mask;
        // Moves when its home is not in the cyclic range (hole, b].
        const bool homeAfterHole = ((b - home) & mask) < ((b - hole) & mask);
        if (homeAfterHole) continue;
        buckets_[hole] = buckets_[b];
        buckets_[b] = Bucket{};
        hole = b;
    }
}

void TUrlList::unlist(SlotId slot) {
    const std::size_t b = bucketOf(text(slot));
    Bucket& bucket = buckets_[b];
    if (--bucket.count == 0) {
        const SlotId kept = bucket.slot;
        eraseBucket(b);
        if (kept != slot) release(kept);  // the Indexed stand-in of an earlier entry
        release(slot);
        return;
    }
    if (bucket.slot == slot) {
        slots_[slot].state = SlotState::Indexed;  // still stands for the others
    } else {
        release(slot);
    }
}

void TUrlList::push_back(std::string_view text) {
    const SlotId slot = store(text);
    indexAdd(slot);
    order_.push_back(slot);
}

void TUrlList::pop_front() {
    if (order_.empty()) return;
    const SlotId slot = order_.front();
    order_.pop_front();
    unlist(slot);
}

void TUrlList::erase(std::size_t position) {
    if (position >= order_.size()) return;
    const SlotId slot = order_[position];
    order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(position));
    unlist(slot);
}

void TUrlList::replace(std::size_t position, std::string_view text) {
    if (position >= order_.size()) return;
    // Stored before the old entry goes: text may view that entry's bytes.
    const SlotId slot = store(text);
    indexAdd(slot);
    const SlotId old = order_[position];
    order_[position] = slot;
    unlist(old);
}

void TUrlList::clear() {
    texts_.clear();
    texts_.shrink_to_fit();
    deadBytes_ = 0;
    slots_.clear();
    slots_.shrink_to_fit();
    freeSlots_.clear();
    freeSlots_.shrink_to_fit();
    order_.clear();
    order_.shrink_to_fit();
    buckets_.clear();
    buckets_.shrink_to_fit();
    distinct_ = 0;
}

bool TUrlList::contains(std::string_view text) const {
    return !buckets_.empty() && buckets_[bucketOf(text)].slot != kNoSlot;
}

long TUrlList::IndexOf(std::string_view text) const {
    if (buckets_.empty()) return -1;
    const Bucket& bucket = buckets_[bucketOf(text)];
    if (bucket.slot == kNoSlot) return -1;
    if (bucket.count == 1) {
        // A single match is usually the entry just taken from the end of the
        // queue: look from the back.
        for (std::size_t i = order_.size(); i-- > 0;) {
            if (SameURL(view(i), text)) return static_cast<long>(i);
        }
        return -1;
    }
    for (std::size_t i = 0; i < order_.size(); ++i) {
        if (SameURL(view(i), text)) return static_cast<long>(i);
    }
    return -1;
}

std::size_t TUrlList::memoryBytes() const {
    return texts_.capacity() + slots_.capacity() * sizeof(Slot) +
           freeSlots_.capacity() * sizeof(SlotId) + order_.size() * sizeof(SlotId) +
           buckets_.capacity() * sizeof(Bucket);
}

}  // namespace engine
