#pragma once

#include <cstddef>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

#include "beta/BBArena.h"

namespace bb {

class BBValue;

// A dictionary of values keyed by values (in practice by strings). Keys are unique under value
// equality; the pairs keep the order in which their keys were first set.
class BBDictionary {
public:
    using Entry = std::pair<BBValue, BBValue>;
    using Entries = std::vector<Entry, BBArenaAllocator<Entry>>;
    using const_iterator = Entries::const_iterator;

    BBDictionary();
    BBDictionary(std::initializer_list<Entry> entries);
    BBDictionary(const BBDictionary&);
    BBDictionary(BBDictionary&&) noexcept;
    BBDictionary& operator=(const BBDictionary&);
    BBDictionary& operator=(BBDictionary&&) noexcept;
    inline ~BBDictionary();

    inline std::size_t size() const;
    inline bool empty() const;
    inline const_iterator begin() const;
    inline const_iterator end() const;

    const BBValue* findKey(const BBValue& key) const;
    const BBValue* find(std::string_view key) const;
    BBValue* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }

    // Sets the value of `key`, replacing the value an equal key had.
    void set(BBValue key, BBValue value);
    bool erase(const BBValue& key);

    // For builders that add many pairs and settle repeated keys once at the end.
    inline void reserve(std::size_t count);
    inline void append(BBValue key, BBValue value);
    // Keeps, of every group of equal keys, the last value, at the place of the last pair.
    void removeRepeatedKeys();

    // Same keys with equal values, in any order.
    bool operator==(const BBDictionary& other) const;

private:
    friend class BBMessagePackBuilder;  // builds pairs in place
    friend class BBMessagePackPacker;   // walks the pairs without a call per pair
    inline explicit BBDictionary(const BBArenaAllocator<Entry>& allocator);
    // Removes the pairs at the places `dropped(place)` tells, keeping the others in order.
    template <class Dropped>
    void dropPairs(Dropped dropped);
    Entries entries_;
};

}  // namespace bb

// The small members are defined inline once the value type is complete.
#include "beta/BBValue.h"
