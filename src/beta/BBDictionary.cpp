#include "beta/BBDictionary.h"

#include <algorithm>

#include "beta/BBValue.h"

namespace bb {

BBDictionary::BBDictionary() = default;
BBDictionary::BBDictionary(const BBDictionary&) = default;
BBDictionary::BBDictionary(BBDictionary&&) noexcept = default;
BBDictionary& BBDictionary::operator=(const BBDictionary&) = default;
BBDictionary& BBDictionary::operator=(BBDictionary&&) noexcept = default;
BBDictionary::~BBDictionary() = default;

BBDictionary::BBDictionary(std::initializer_list<Entry> entries) {
    entries_.reserve(entries.size());
    for (const auto& [key, value] : entries) set(key, value);
}

std::size_t BBDictionary::size() const { return entries_.size(); }
bool BBDictionary::empty() const { return entries_.empty(); }
BBDictionary::const_iterator BBDictionary::begin() const { return entries_.begin(); }
BBDictionary::const_iterator BBDictionary::end() const { return entries_.end(); }

const BBValue* BBDictionary::findKey(const BBValue& key) const {
    for (const auto& entry : entries_) {
        if (entry.first == key) return &entry.second;
    }
    return nullptr;
}

const BBValue* BBDictionary::find(std::string_view key) const {
    for (const auto& entry : entries_) {
        const std::string* s = entry.first.asString();
        if (s && *s == key) return &entry.second;
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

void BBDictionary::reserve(std::size_t count) { entries_.reserve(count); }

void BBDictionary::append(BBValue key, BBValue value) {
    entries_.emplace_back(std::move(key), std::move(value));
}

void BBDictionary::removeRepeatedKeys() {
    const std::size_t n = entries_.size();
    std::vector<bool> drop(n, false);
    bool any = false;
    if (n <= 16) {
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = i + 1; j < n && !drop[i]; ++j) drop[i] = entries_[i].first == entries_[j].first;
            any = any || drop[i];
        }
    } else {
        // Large maps come from untrusted input: group equal keys by hash instead of comparing
        // every pair.
        std::vector<std::pair<std::size_t, std::size_t>> byHash(n);
        for (std::size_t i = 0; i < n; ++i) byHash[i] = {entries_[i].first.hash(), i};
        std::sort(byHash.begin(), byHash.end());
        for (std::size_t a = 0; a < n;) {
            std::size_t b = a + 1;
            while (b < n && byHash[b].first == byHash[a].first) ++b;
            for (std::size_t i = a; i < b; ++i) {
                for (std::size_t j = i + 1; j < b && !drop[byHash[i].second]; ++j) {
                    drop[byHash[i].second] = entries_[byHash[i].second].first == entries_[byHash[j].second].first;
                }
                any = any || drop[byHash[i].second];
            }
            a = b;
        }
    }
    if (!any) return;
    std::size_t out = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!drop[i]) {
            if (out != i) entries_[out] = std::move(entries_[i]);
            ++out;
        }
    }
    entries_.resize(out);
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
