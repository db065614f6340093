#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "beta/BBData.h"
#include "beta/BBDictionary.h"

namespace bb {

class BBValue;
using BBArray = std::vector<BBValue>;

// One node of the object graphs the library keeps, packs and unpacks: the null object, booleans,
// numbers that remember their width and signedness, strings, data, arrays and dictionaries.
// A number built from a C++ integer takes that integer's width (5 is a 32-bit integer, 5L a
// 64-bit one), because the packer writes every number in its declared width.
class BBValue {
public:
    enum class Type : std::uint8_t {
        Null, Boolean,
        Int8, Int16, Int32, Int64,
        UInt8, UInt16, UInt32, UInt64,
        Float, Double,
        String, Data, Array, Dictionary,
    };

    BBValue() = default;  // the null object
    BBValue(std::nullptr_t) {}
    BBValue(bool b) : type_(Type::Boolean), storage_(b) {}
    template <std::integral T>
        requires(!std::same_as<T, bool>)
    BBValue(T v) : type_(integerType<T>()) {
        if constexpr (std::is_signed_v<T>) {
            storage_ = static_cast<std::int64_t>(v);
        } else {
            storage_ = static_cast<std::uint64_t>(v);
        }
    }
    BBValue(float f) : type_(Type::Float), storage_(f) {}
    BBValue(double d) : type_(Type::Double), storage_(d) {}
    BBValue(const char* s) : type_(Type::String), storage_(std::string(s ? s : "")) {}
    BBValue(std::string s) : type_(Type::String), storage_(std::move(s)) {}
    BBValue(std::string_view s) : type_(Type::String), storage_(std::string(s)) {}
    BBValue(BBData d) : type_(Type::Data), storage_(std::move(d)) {}
    BBValue(BBArray a) : type_(Type::Array), storage_(std::move(a)) {}
    BBValue(BBDictionary d) : type_(Type::Dictionary), storage_(std::move(d)) {}

    Type type() const { return type_; }
    bool isNull() const { return type_ == Type::Null; }
    bool isBoolean() const { return type_ == Type::Boolean; }
    // Booleans count as numbers, as they are numbers to every reader of the library's files.
    bool isNumber() const { return type_ >= Type::Boolean && type_ <= Type::Double; }
    bool isInteger() const { return type_ >= Type::Int8 && type_ <= Type::UInt64; }
    bool isString() const { return type_ == Type::String; }
    bool isData() const { return type_ == Type::Data; }
    bool isArray() const { return type_ == Type::Array; }
    bool isDictionary() const { return type_ == Type::Dictionary; }

    // Numeric readings of a number (booleans read 0 or 1); 0 for anything else. Floating values
    // outside the integer's range are clamped.
    bool boolValue() const;
    std::int64_t int64Value() const;
    std::uint64_t uint64Value() const;
    double doubleValue() const;
    float floatValue() const;

    // The contents when the value has that type, else nullptr.
    const std::string* asString() const { return std::get_if<std::string>(&storage_); }
    const BBData* asData() const { return std::get_if<BBData>(&storage_); }
    const BBArray* asArray() const { return std::get_if<BBArray>(&storage_); }
    BBArray* asArray() { return std::get_if<BBArray>(&storage_); }
    const BBDictionary* asDictionary() const { return std::get_if<BBDictionary>(&storage_); }
    BBDictionary* asDictionary() { return std::get_if<BBDictionary>(&storage_); }

    // The string, or the empty string for any other type.
    const std::string& string() const;

    // Equality as keys compare: numbers by value whatever their width (true equals 1), strings and
    // data by their bytes, containers by their contents; a string never equals data.
    bool operator==(const BBValue& other) const;
    // A hash consistent with ==.
    std::size_t hash() const;

private:
    template <class T>
    static constexpr Type integerType() {
        constexpr bool s = std::is_signed_v<T>;
        switch (sizeof(T)) {
            case 1: return s ? Type::Int8 : Type::UInt8;
            case 2: return s ? Type::Int16 : Type::UInt16;
            case 4: return s ? Type::Int32 : Type::UInt32;
            default: return s ? Type::Int64 : Type::UInt64;
        }
    }

    Type type_ = Type::Null;
    std::variant<std::monostate, bool, std::int64_t, std::uint64_t, float, double, std::string,
                 BBData, BBArray, BBDictionary>
        storage_;
};

}  // namespace bb
