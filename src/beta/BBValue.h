#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <new>
#include <vector>

#include "beta/BBArena.h"
#include "beta/BBData.h"
#include "beta/BBDictionary.h"
#include "beta/BBString.h"

namespace bb {

class BBValue;
using BBArray = std::vector<BBValue, BBArenaAllocator<BBValue>>;

// One node of the object graphs the library keeps, packs and unpacks: the null object, booleans,
// numbers that remember their width and signedness, strings, data, arrays and dictionaries.
// A number built from a C++ integer takes that integer's width (5 is a 32-bit integer, 5L a
// 64-bit one), because the packer writes every number in its declared width. A value moved from
// keeps its type with empty contents, and may be assigned one of its own items.
class BBValue {
public:
    enum class Type : std::uint8_t {
        Null, Boolean,
        Int8, Int16, Int32, Int64,
        UInt8, UInt16, UInt32, UInt64,
        Float, Double,
        String, Data, Array, Dictionary,
    };

    BBValue() : bits_(0) {}  // the null object
    BBValue(std::nullptr_t) : bits_(0) {}
    // Narrow scalars clear the whole word first: copies move the word as it stands.
    BBValue(bool b) : type_(Type::Boolean), bits_(0) { bool_ = b; }
    template <std::integral T>
        requires(!std::same_as<T, bool>)
    BBValue(T v) : type_(integerType<T>()) {
        if constexpr (std::is_signed_v<T>) {
            int_ = static_cast<std::int64_t>(v);
        } else {
            uint_ = static_cast<std::uint64_t>(v);
        }
    }
    BBValue(float f) : type_(Type::Float), bits_(0) { float_ = f; }
    BBValue(double d) : type_(Type::Double), double_(d) {}
    BBValue(const char* s) : type_(Type::String), string_(std::string_view(s ? s : "")) {}
    BBValue(const std::string& s) : type_(Type::String), string_(std::string_view(s)) {}
    BBValue(std::string_view s) : type_(Type::String), string_(s) {}
    BBValue(const char* bytes, std::size_t length) : type_(Type::String), string_(std::string_view(bytes, length)) {}
    BBValue(BBString s) : type_(Type::String), string_(std::move(s)) {}
    BBValue(BBData d) : type_(Type::Data), data_(std::move(d)) {}
    BBValue(BBArray a) : type_(Type::Array), array_(std::move(a)) {}
    BBValue(BBDictionary d) : type_(Type::Dictionary), dictionary_(std::move(d)) {}

    BBValue(const BBValue& other) : type_(other.type_) { copyFrom(other); }
    BBValue(BBValue&& other) noexcept : type_(other.type_) { moveFrom(std::move(other)); }
    BBValue& operator=(const BBValue& other) {
        if (this != &other) {
            BBValue copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    BBValue& operator=(BBValue&& other) noexcept {
        if (this != &other) {
            // `other` may lie inside this value (one of its items): it is taken out before this
            // value's contents go.
            BBValue taken(std::move(other));
            destroy();
            type_ = taken.type_;
            moveFrom(std::move(taken));
        }
        return *this;
    }
    ~BBValue() { destroy(); }

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
    const BBString* asString() const { return type_ == Type::String ? &string_ : nullptr; }
    const BBData* asData() const { return type_ == Type::Data ? &data_ : nullptr; }
    const BBArray* asArray() const { return type_ == Type::Array ? &array_ : nullptr; }
    BBArray* asArray() { return type_ == Type::Array ? &array_ : nullptr; }
    const BBDictionary* asDictionary() const { return type_ == Type::Dictionary ? &dictionary_ : nullptr; }
    BBDictionary* asDictionary() { return type_ == Type::Dictionary ? &dictionary_ : nullptr; }

    // The string, or the empty string for any other type.
    std::string_view string() const { return type_ == Type::String ? string_.view() : std::string_view(); }

    // Equality as keys compare: numbers by value whatever their width (true equals 1), strings and
    // data by their bytes, containers by their contents; a string never equals data.
    bool operator==(const BBValue& other) const;
    // A hash consistent with ==.
    std::size_t hash() const;

private:
    friend class BBMessagePackPacker;  // reads numbers straight from storage
    friend class BBMessagePackBuilder;  // builds values in place

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

    // Scalars live in bits_ (copied as they stand); the other types are constructed in place.
    void copyFrom(const BBValue& other) {
        switch (type_) {
            case Type::String: new (&string_) BBString(other.string_); break;
            case Type::Data: new (&data_) BBData(other.data_); break;
            case Type::Array: new (&array_) BBArray(other.array_); break;
            case Type::Dictionary: new (&dictionary_) BBDictionary(other.dictionary_); break;
            default: bits_ = other.bits_; break;
        }
    }
    void moveFrom(BBValue&& other) {
        switch (type_) {
            case Type::String: new (&string_) BBString(std::move(other.string_)); break;
            case Type::Data: new (&data_) BBData(std::move(other.data_)); break;
            case Type::Array: new (&array_) BBArray(std::move(other.array_)); break;
            case Type::Dictionary: new (&dictionary_) BBDictionary(std::move(other.dictionary_)); break;
            default: bits_ = other.bits_; break;
        }
    }
    // The scalars come first among the types and own nothing: one inlined test, well predicted in
    // arrays of numbers, spares them the call and the dispatch.
    void destroy() {
        if (type_ == Type::String) {
            string_.~BBString();  // inline: text of a document needs nothing done
        } else if (type_ > Type::String) {
            destroyOwned();
        }
    }
    void destroyOwned() {
        switch (type_) {
            case Type::String: string_.~BBString(); break;
            case Type::Data: data_.~BBData(); break;
            case Type::Array: array_.~BBArray(); break;
            case Type::Dictionary: dictionary_.~BBDictionary(); break;
            default: break;
        }
    }

    Type type_ = Type::Null;
    union {
        std::uint64_t bits_;
        bool bool_;
        std::int64_t int_;
        std::uint64_t uint_;
        float float_;
        double double_;
        BBString string_;
        BBData data_;
        BBArray array_;
        BBDictionary dictionary_;
    };
};

inline BBDictionary::BBDictionary(const BBArenaAllocator<Entry>& allocator) : entries_(allocator) {}
inline BBDictionary::~BBDictionary() = default;
inline std::size_t BBDictionary::size() const { return entries_.size(); }
inline bool BBDictionary::empty() const { return entries_.empty(); }
inline BBDictionary::const_iterator BBDictionary::begin() const { return entries_.begin(); }
inline BBDictionary::const_iterator BBDictionary::end() const { return entries_.end(); }
inline void BBDictionary::reserve(std::size_t count) { entries_.reserve(count); }
inline void BBDictionary::append(BBValue key, BBValue value) { entries_.emplace_back(std::move(key), std::move(value)); }

}  // namespace bb
