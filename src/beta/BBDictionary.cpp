#include "beta/BBDictionary.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "beta/BBValue.h"

namespace bb {

BBDictionary::BBDictionary() = default;
BBDictionary::BBDictionary(const BBDictionary&) = default;
BBDictionary::BBDictionary(BBDictionary&&) noexcept = default;
BBDictionary& BBDictionary::operator=(const BBDictionary&) = default;
BBDictionary& BBDictionary::operator=(BBDictionary&&) noexcept = default;

BBDictionary::BBDictionary(std::initializer_list<Entry> entries) {
    entries_.reserve(entries.size());
    for (const auto& [key, value] : entries) set(key, value);
}


const BBValue* BBDictionary::findKey(const BBValue& key) const {
    for (const auto& entry : entries_) {
        if (entry.first == key) return &entry.second;
    }
    return nullptr;
}

const BBValue* BBDictionary::find(std::string_view key) const {
    for (const auto& entry : entries_) {
        const BBString* s = entry.first.asString();
        if (s && s->view() == key) return &entry.second;
    }
    return nullptr;
}

BBValue* BBDictionary::find(std::string_view key) {
    return const_cast<BBValue*>(std::as_const(*this).find(key));
}

void BBDictionary::set(BBValue key, BBValue value) {
    for (auto& entry : entries_) {
        if (entry.first == key) {
            entry.second = std::move(value);
            return;
        }
    }
    entries_.emplace_back(std::move(key), std::move(value));
}

bool BBDictionary::erase(const BBValue& key) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& entry) { return entry.first == key; });
    if (it == entries_.end()) return false;
    entries_.erase(it);
    return true;
}


namespace {

// A quick hash for telling keys apart; equal keys must hash alike, others may collide.
std::size_t quickHash(const BBValue& key) {
    const BBString* s = key.asString();
    if (!s) return key.hash();
    const auto* p = reinterpret_cast<const unsigned char*>(s->data());
    const std::size_t n = s->size();
    // The first and the last bytes, in two loads that overlap for short keys.
    std::uint64_t head = 0, tail = 0;
    if (n >= 8) {
        std::memcpy(&head, p, 8);
        std::memcpy(&tail, p + n - 8, 8);
    } else if (n >= 4) {
        std::uint32_t first, last;
        std::memcpy(&first, p, 4);
        std::memcpy(&last, p + n - 4, 4);
        head = first;
        tail = last;
    } else {
        for (std::size_t i = 0; i < n; ++i) head = (head << 8) | p[i];
    }
    const std::uint64_t h = (head * 0x9e3779b97f4a7c15ull) ^ (tail * 0xc2b2ae3d27d4eb4full) ^ n;
    return static_cast<std::size_t>(h ^ (h >> 29));
}

// Of up to this many pairs, the keys' hashes are compared with each other straight away.
constexpr std::size_t kFewKeys = 16;

// Whether any two keys may be equal, for a map of at most kFewKeys pairs: their quick hashes are
// compared pair by pair, which takes no table to set up. Nearly every map repeats no key, and
// this alone settles it.
bool mayRepeatAKey(const BBDictionary::Entries& entries) {
    std::size_t hashes[kFewKeys];
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t hash = quickHash(entries[i].first);
        for (std::size_t j = 0; j < i; ++j) {
            if (hashes[j] == hash) return true;
        }
        hashes[i] = hash;
    }
    return false;
}

constexpr std::size_t kSmallMap = 64;
constexpr std::uint64_t kEmptySlots = ~std::uint64_t{0};

// Marks in `drop` every pair whose key comes again later, with a small open-addressing table.
bool markRepeatsOfSmallMap(const BBDictionary::Entries& entries, std::uint64_t& drop) {
    // At least twice as many slots as keys, a power of two; most maps need only a few words of
    // them. They are emptied a word at a time: a call of memset costs more for so few bytes,
    // and byte loads read back from word stores without delay.
    std::size_t slotCount = 16;
    while (slotCount < 2 * entries.size()) slotCount *= 2;
    const std::size_t mask = slotCount - 1;
    alignas(8) std::uint8_t slots[2 * kSmallMap];
    for (std::size_t i = 0; i < slotCount; i += 8) std::memcpy(slots + i, &kEmptySlots, 8);
    bool any = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        for (std::size_t h = quickHash(entries[i].first) & mask;; h = (h + 1) & mask) {
            if (slots[h] == 0xff) {
                slots[h] = static_cast<std::uint8_t>(i);
                break;
            }
            if (entries[slots[h]].first == entries[i].first) {
                drop |= std::uint64_t{1} << slots[h];
                slots[h] = static_cast<std::uint8_t>(i);
                any = true;
                break;
            }
        }
    }
    return any;
}

// The same for maps of any size, grouping keys by hash.
bool markRepeatsOfLargeMap(const BBDictionary::Entries& entries, std::vector<bool>& drop) {
    const std::size_t n = entries.size();
    std::vector<std::pair<std::size_t, std::size_t>> byHash(n);
    for (std::size_t i = 0; i < n; ++i) byHash[i] = {entries[i].first.hash(), i};
    std::sort(byHash.begin(), byHash.end());
    bool any = false;
    for (std::size_t a = 0; a < n;) {
        std::size_t b = a + 1;
        while (b < n && byHash[b].first == byHash[a].first) ++b;
        for (std::size_t i = a; i < b; ++i) {
            const std::size_t at = byHash[i].second;
            for (std::size_t j = i + 1; j < b && !drop[at]; ++j) drop[at] = entries[at].first == entries[byHash[j].second].first;
            any = any || drop[at];
        }
        a = b;
    }
    return any;
}

}  // namespace

template <class Dropped>
void BBDictionary::dropPairs(Dropped dropped) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!dropped(i)) {
            if (out != i) entries_[out] = std::move(entries_[i]);
            ++out;
        }
    }
    entries_.resize(out);
}

void BBDictionary::removeRepeatedKeys() {
    const std::size_t n = entries_.size();
    if (n < 2) return;
    // Pairs of a time and a text, and the like, are common: one comparison settles them.
    if (n == 2) {
        if (entries_[0].first == entries_[1].first) entries_.erase(entries_.begin());
        return;
    }
    if (n <= kFewKeys && !mayRepeatAKey(entries_)) return;
    if (n <= kSmallMap) {
        std::uint64_t bits = 0;
        if (markRepeatsOfSmallMap(entries_, bits)) dropPairs([bits](std::size_t i) { return (bits >> i) & 1; });
        return;
    }
    // Large maps come from untrusted input: group equal keys by hash instead of comparing every
    // pair.
    std::vector<bool> drop(n);
    if (markRepeatsOfLargeMap(entries_, drop)) dropPairs([&drop](std::size_t i) { return drop[i]; });
}


bool BBDictionary::operator==(const BBDictionary& other) const {
    if (entries_.size() != other.entries_.size()) return false;
    for (const auto& [key, value] : entries_) {
        const BBValue* theirs = other.findKey(key);
        if (!theirs || !(*theirs == value)) return false;
    }
    return true;
}

}  // namespace bb
