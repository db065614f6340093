#include "beta/BBValue.h"

#include <cmath>
#include <functional>
#include <limits>

namespace bb {

namespace {

template <class Int>
Int clampedIntegral(double d) {
    if (std::isnan(d)) return 0;
    // The largest double below the integer's limit; comparing against the limit itself would round.
    if (d <= static_cast<double>(std::numeric_limits<Int>::min())) return std::numeric_limits<Int>::min();
    if (d >= static_cast<double>(std::numeric_limits<Int>::max())) return std::numeric_limits<Int>::max();
    return static_cast<Int>(d);
}

bool isSignedType(BBValue::Type t) {
    return t >= BBValue::Type::Int8 && t <= BBValue::Type::Int64;
}

bool isUnsignedType(BBValue::Type t) {
    return t == BBValue::Type::Boolean || (t >= BBValue::Type::UInt8 && t <= BBValue::Type::UInt64);
}

// Every number of either signedness and every float and double is exact as a long double on the
// platforms this runs on, so equal values compare equal across widths.
long double exactValue(const BBValue& v) {
    if (isSignedType(v.type())) return static_cast<long double>(v.int64Value());
    if (isUnsignedType(v.type())) return static_cast<long double>(v.uint64Value());
    return static_cast<long double>(v.doubleValue());
}

std::size_t numberHash(const BBValue& v) {
    const long double x = exactValue(v);
    // Whole numbers in an integer's range hash as that integer, so that 7 and 7.0 meet; the
    // bounds are exact powers of two (-2^63 and 2^64), as any value beyond them cannot convert.
    if (x == std::floor(x) && x >= -9223372036854775808.0L && x < 18446744073709551616.0L) {
        if (x < 0) return std::hash<std::int64_t>()(static_cast<std::int64_t>(x));
        return std::hash<std::uint64_t>()(static_cast<std::uint64_t>(x));
    }
    return std::hash<double>()(static_cast<double>(x));
}

}  // namespace

bool BBValue::boolValue() const {
    if (type_ == Type::Float || type_ == Type::Double) return doubleValue() != 0.0;
    return uint64Value() != 0;
}

std::int64_t BBValue::int64Value() const {
    switch (type_) {
        case Type::Boolean: return bool_ ? 1 : 0;
        case Type::Int8: case Type::Int16: case Type::Int32: case Type::Int64: return int_;
        case Type::UInt8: case Type::UInt16: case Type::UInt32: case Type::UInt64: return static_cast<std::int64_t>(uint_);
        case Type::Float: return clampedIntegral<std::int64_t>(float_);
        case Type::Double: return clampedIntegral<std::int64_t>(double_);
        default: return 0;
    }
}

std::uint64_t BBValue::uint64Value() const {
    switch (type_) {
        case Type::Boolean: return bool_ ? 1 : 0;
        case Type::Int8: case Type::Int16: case Type::Int32: case Type::Int64: return static_cast<std::uint64_t>(int_);
        case Type::UInt8: case Type::UInt16: case Type::UInt32: case Type::UInt64: return uint_;
        case Type::Float: return clampedIntegral<std::uint64_t>(float_);
        case Type::Double: return clampedIntegral<std::uint64_t>(double_);
        default: return 0;
    }
}

double BBValue::doubleValue() const {
    if (type_ == Type::Float) return float_;
    if (type_ == Type::Double) return double_;
    if (isSignedType(type_)) return static_cast<double>(int64Value());
    return static_cast<double>(uint64Value());
}

float BBValue::floatValue() const {
    // Straight from storage, so that a float's bits (a NaN's payload too) survive.
    if (type_ == Type::Float) return float_;
    return static_cast<float>(doubleValue());
}

bool BBValue::operator==(const BBValue& other) const {
    if (isNumber() && other.isNumber()) return exactValue(*this) == exactValue(other);
    if (type_ != other.type_) return false;
    switch (type_) {
        case Type::String: return string_ == other.string_;
        case Type::Data: return data_ == other.data_;
        case Type::Array: return array_ == other.array_;
        case Type::Dictionary: return dictionary_ == other.dictionary_;
        default: return true;  // null
    }
}

std::size_t BBValue::hash() const {
    if (isNumber()) return numberHash(*this);
    switch (type_) {
        case Type::String: return std::hash<std::string_view>()(string_.view());
        case Type::Data: return std::hash<std::string_view>()(asData()->view()) ^ 0x5bd1e995u;
        case Type::Array: {
            std::size_t h = 0x9e3779b9u;
            for (const auto& item : *asArray()) h = h * 31 + item.hash();
            return h;
        }
        case Type::Dictionary: {
            // Order-independent, as the order of pairs carries no meaning.
            std::size_t h = 0x85ebca6bu;
            for (const auto& [key, value] : *asDictionary()) h += key.hash() * 31 ^ value.hash();
            return h;
        }
        default: return 0x27d4eb2fu;
    }
}

}  // namespace bb
