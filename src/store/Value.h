#pragma once

#include <concepts>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/Date.h"
#include "store/ObjectID.h"

namespace qx {

// One value of a fetch condition or of a stored column: nothing, a whole number (booleans are
// 0 and 1), a real number (dates are seconds since 1970), a text, or a stored object.
class Value {
public:
    enum class Type : std::uint8_t { null, integer, real, text, object };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool v) : type_(Type::integer), integer_(v ? 1 : 0) {}
    Value(int v) : type_(Type::integer), integer_(v) {}
    Value(unsigned v) : type_(Type::integer), integer_(v) {}
    Value(long v) : type_(Type::integer), integer_(v) {}
    Value(unsigned long v) : type_(Type::integer), integer_(static_cast<std::int64_t>(v)) {}
    Value(long long v) : type_(Type::integer), integer_(v) {}
    Value(unsigned long long v) : type_(Type::integer), integer_(static_cast<std::int64_t>(v)) {}
    Value(float v) : type_(Type::real), real_(v) {}
    Value(double v) : type_(Type::real), real_(v) {}
    Value(plat::Date d) : type_(Type::real), real_(d.timeIntervalSince1970()) {}
    Value(std::string v) : type_(Type::text), text_(std::move(v)) {}
    Value(const char* v) : type_(Type::text), text_(v) {}
    Value(std::string_view v) : type_(Type::text), text_(v) {}
    Value(ObjectID id) : type_(Type::object), object_(id) {}
    // A stored object stands for its identity; none stands for nothing.
    template <class T>
        requires requires(const T& t) {
            { t.objectID() } -> std::same_as<ObjectID>;
        }
    Value(const std::shared_ptr<T>& object) {
        if (object) *this = Value(object->objectID());
    }

    Type type() const { return type_; }
    bool isNull() const { return type_ == Type::null; }
    bool isNumber() const { return type_ == Type::integer || type_ == Type::real; }

    std::int64_t integer() const;  // a real is truncated; anything else is 0
    double real() const;           // an integer is widened; anything else is 0
    const std::string& text() const { return text_; }
    ObjectID object() const { return object_; }

    // A readable form ("12", "0.5", "abc", "Set/3", "null"): section names and messages.
    std::string description() const;

    // The order the database sorts in: null, then numbers by value, then texts byte by byte,
    // then objects by identity. Returns <0, 0 or >0.
    static int compare(const Value& a, const Value& b);
    bool operator==(const Value& other) const { return compare(*this, other) == 0; }

private:
    Type type_ = Type::null;
    std::int64_t integer_ = 0;
    double real_ = 0;
    std::string text_;
    ObjectID object_;
};

}  // namespace qx
