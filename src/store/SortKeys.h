#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "store/Value.h"

namespace qx {

// The sort values of one row of a live list, then its section value. A list of the whole store
// holds one of these per row, so numbers and dates (and nothing) are kept inline in a few bytes;
// only a row with a text or an object among its values, or more values than fit, keeps them all
// as Values.
class SortKeys {
public:
    SortKeys() = default;
    SortKeys(const SortKeys& other);
    SortKeys& operator=(const SortKeys& other);
    SortKeys(SortKeys&&) noexcept = default;
    SortKeys& operator=(SortKeys&&) noexcept = default;
    ~SortKeys() = default;

    void push_back(const Value& value);
    std::size_t size() const { return values_ ? values_->size() : count_; }
    bool empty() const { return size() == 0; }
    Value operator[](std::size_t i) const;

    // Orders the i-th values of two rows as Value::compare does.
    static int compare(const SortKeys& a, const SortKeys& b, std::size_t i);

private:
    static constexpr std::size_t kInline = 2;
    bool isInline() const { return !values_; }

    union Number {
        std::int64_t integer;
        double real;
    };
    Number numbers_[kInline] = {};
    Value::Type types_[kInline] = {};
    std::uint8_t count_ = 0;
    std::unique_ptr<std::vector<Value>> values_;  // every value, once one cannot be kept inline
};

}  // namespace qx
