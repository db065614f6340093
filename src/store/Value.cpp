#include "store/Value.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace qx {

const char* entityName(EntityKind entity) {
    switch (entity) {
        case EntityKind::set: return "Set";
        case EntityKind::track: return "Track";
        case EntityKind::waypoint: return "Waypoint";
        case EntityKind::measurement: return "Measurement";
    }
    return "?";
}

std::string ObjectID::description() const { return std::string(entityName(entity)) + "/" + std::to_string(row); }

std::int64_t Value::integer() const {
    if (type_ == Type::integer) return integer_;
    if (type_ == Type::real && std::isfinite(real_)) return static_cast<std::int64_t>(real_);
    return 0;
}

double Value::real() const {
    if (type_ == Type::real) return real_;
    if (type_ == Type::integer) return static_cast<double>(integer_);
    return 0;
}

std::string Value::description() const {
    switch (type_) {
        case Type::null: return "null";
        case Type::integer: return std::to_string(integer_);
        case Type::real: {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.17g", real_);
            return buf;
        }
        case Type::text: return text_;
        case Type::object: return object_.description();
    }
    return {};
}

namespace {
int rank(Value::Type t) {
    switch (t) {
        case Value::Type::null: return 0;
        case Value::Type::integer:
        case Value::Type::real: return 1;
        case Value::Type::text: return 2;
        case Value::Type::object: return 3;
    }
    return 4;
}
}  // namespace

int Value::compare(const Value& a, const Value& b) {
    const int ra = rank(a.type_), rb = rank(b.type_);
    if (ra != rb) return ra < rb ? -1 : 1;
    switch (a.type_) {
        case Type::null: return 0;
        case Type::integer:
        case Type::real:
            if (a.type_ == Type::integer && b.type_ == Type::integer) {
                return a.integer_ < b.integer_ ? -1 : (a.integer_ > b.integer_ ? 1 : 0);
            } else {
                const double x = a.real(), y = b.real();
                return x < y ? -1 : (x > y ? 1 : 0);
            }
        case Type::text: {
            const std::size_t n = std::min(a.text_.size(), b.text_.size());
            const int c = n ? std::memcmp(a.text_.data(), b.text_.data(), n) : 0;
            if (c != 0) return c < 0 ? -1 : 1;
            return a.text_.size() < b.text_.size() ? -1 : (a.text_.size() > b.text_.size() ? 1 : 0);
        }
        case Type::object:
            return a.object_ < b.object_ ? -1 : (a.object_ == b.object_ ? 0 : 1);
    }
    return 0;
}

}  // namespace qx
