#include "store/SortKeys.h"

#include <algorithm>
#include <iterator>

namespace qx {

SortKeys::SortKeys(const SortKeys& other)
    : count_(other.count_),
      values_(other.values_ ? std::make_unique<std::vector<Value>>(*other.values_) : nullptr) {
    std::copy(std::begin(other.numbers_), std::end(other.numbers_), numbers_);
    std::copy(std::begin(other.types_), std::end(other.types_), types_);
}

SortKeys& SortKeys::operator=(const SortKeys& other) {
    if (this != &other) *this = SortKeys(other);
    return *this;
}

void SortKeys::push_back(const Value& value) {
    const bool inlineKind = value.isNull() || value.isNumber();
    if (isInline() && inlineKind && count_ < kInline) {
        types_[count_] = value.type();
        if (value.type() == Value::Type::integer) numbers_[count_].integer = value.integer();
        else numbers_[count_].real = value.real();
        ++count_;
        return;
    }
    if (isInline()) {
        auto all = std::make_unique<std::vector<Value>>();
        all->reserve(count_ + 1u);
        for (std::size_t i = 0; i < count_; ++i) all->push_back((*this)[i]);
        values_ = std::move(all);
        count_ = 0;
    }
    values_->push_back(value);
}

Value SortKeys::operator[](std::size_t i) const {
    if (!isInline()) return (*values_)[i];
    switch (types_[i]) {
        case Value::Type::integer: return Value(static_cast<long long>(numbers_[i].integer));
        case Value::Type::real: return Value(numbers_[i].real);
        default: return Value();
    }
}

int SortKeys::compare(const SortKeys& a, const SortKeys& b, std::size_t i) {
    if (!a.isInline() || !b.isInline()) return Value::compare(a[i], b[i]);
    const Value::Type ta = a.types_[i], tb = b.types_[i];
    if (ta == Value::Type::null || tb == Value::Type::null)
        return ta == tb ? 0 : (ta == Value::Type::null ? -1 : 1);
    if (ta == Value::Type::integer && tb == Value::Type::integer) {
        const std::int64_t x = a.numbers_[i].integer, y = b.numbers_[i].integer;
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    const double x = ta == Value::Type::integer ? static_cast<double>(a.numbers_[i].integer) : a.numbers_[i].real;
    const double y = tb == Value::Type::integer ? static_cast<double>(b.numbers_[i].integer) : b.numbers_[i].real;
    return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace qx
