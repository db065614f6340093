#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/Value.h"

namespace qx {

enum class Comparison : std::uint8_t {
    equal,
    notEqual,
    less,
    lessOrEqual,
    greater,
    greaterOrEqual,
};

// A condition on the objects of one entity, built from a small vocabulary: and, or; comparisons of
// a key path with a value (== with nothing tests for nothing); is-null; constant true and
// false; case-sensitive begins-with; membership in a set of values; "any" over a key path that
// crosses one to-many relation; and the count of a sub-condition over a to-many relation.
// Key paths run through to-one relations ("measurement.date"); a relation compared with an
// object tests its identity ("set" == a set). Key paths are checked against the entity when the
// request runs: an unknown key is reported as an error, never guessed at.
class Predicate {
public:
    enum class Kind : std::uint8_t {
        constant,
        comparison,
        isNull,
        beginsWith,
        in,
        any,
        subqueryCount,
        conjunction,
        disjunction
    };

    struct Node {
        Kind kind = Kind::constant;
        bool constant = true;
        std::string keyPath;
        Comparison op = Comparison::equal;
        Value value;
        std::vector<Value> values;
        std::vector<Predicate> children;  // conjunction and disjunction parts; the sub-condition of a count
        std::int64_t count = 0;
    };

    static Predicate truePredicate();
    static Predicate falsePredicate();
    static Predicate compare(std::string keyPath, Comparison op, Value value);
    static Predicate isNull(std::string keyPath);
    static Predicate beginsWith(std::string keyPath, std::string prefix);
    static Predicate in(std::string keyPath, std::vector<Value> values);
    template <class Range>
    static Predicate inRange(std::string keyPath, const Range& range) {
        std::vector<Value> values;
        for (const auto& v : range) values.emplace_back(v);
        return in(std::move(keyPath), std::move(values));
    }
    // True when at least one object reached through the to-many relation on `keyPath` compares
    // true ("waypoints.measurement.der" > 0.3 on a track).
    static Predicate any(std::string keyPath, Comparison op, Value value);
    // Compares the number of objects of the to-many relation `relation` that satisfy
    // `condition` (whose key paths start at those objects) with `count`.
    static Predicate subqueryCount(std::string relation, Predicate condition, Comparison op, std::int64_t count);
    // All of `parts`; true when there is none.
    static Predicate andPredicates(std::vector<Predicate> parts);
    // Any of `parts`; false when there is none.
    static Predicate orPredicates(std::vector<Predicate> parts);

    Predicate operator&&(const Predicate& other) const;
    Predicate operator||(const Predicate& other) const;

    const Node& node() const { return *node_; }
    std::string description() const;  // for logs and test messages

private:
    explicit Predicate(std::shared_ptr<const Node> node) : node_(std::move(node)) {}
    static Predicate make(Node node);
    std::shared_ptr<const Node> node_;
};

// Shorthand for building conditions: Key("measurement.der") > 0.3, Key("set") == set,
// Key("name").beginsWith("Ri"), Key("waypoints.measurement.der").any() > t.
class Key {
public:
    explicit Key(std::string path) : path_(std::move(path)) {}

    Predicate operator==(Value v) const { return make(Comparison::equal, std::move(v)); }
    Predicate operator!=(Value v) const { return make(Comparison::notEqual, std::move(v)); }
    Predicate operator<(Value v) const { return make(Comparison::less, std::move(v)); }
    Predicate operator<=(Value v) const { return make(Comparison::lessOrEqual, std::move(v)); }
    Predicate operator>(Value v) const { return make(Comparison::greater, std::move(v)); }
    Predicate operator>=(Value v) const { return make(Comparison::greaterOrEqual, std::move(v)); }
    Predicate isNull() const { return Predicate::isNull(path_); }
    Predicate beginsWith(std::string prefix) const { return Predicate::beginsWith(path_, std::move(prefix)); }
    Predicate in(std::vector<Value> values) const { return Predicate::in(path_, std::move(values)); }
    template <class Range>
    Predicate inRange(const Range& range) const {
        return Predicate::inRange(path_, range);
    }
    Key any() const {
        Key k(path_);
        k.any_ = true;
        return k;
    }

private:
    Predicate make(Comparison op, Value v) const {
        return any_ ? Predicate::any(path_, op, std::move(v)) : Predicate::compare(path_, op, std::move(v));
    }
    std::string path_;
    bool any_ = false;
};

}  // namespace qx
