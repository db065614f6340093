#include "store/Predicate.h"

namespace qx {

Predicate Predicate::make(Node node) { return Predicate(std::make_shared<const Node>(std::move(node))); }

Predicate Predicate::truePredicate() {
    Node n;
    n.kind = Kind::constant;
    n.constant = true;
    return make(std::move(n));
}

Predicate Predicate::falsePredicate() {
    Node n;
    n.kind = Kind::constant;
    n.constant = false;
    return make(std::move(n));
}

Predicate Predicate::compare(std::string keyPath, Comparison op, Value value) {
    Node n;
    n.kind = Kind::comparison;
    n.keyPath = std::move(keyPath);
    n.op = op;
    n.value = std::move(value);
    return make(std::move(n));
}

Predicate Predicate::isNull(std::string keyPath) {
    Node n;
    n.kind = Kind::isNull;
    n.keyPath = std::move(keyPath);
    return make(std::move(n));
}

Predicate Predicate::beginsWith(std::string keyPath, std::string prefix) {
    Node n;
    n.kind = Kind::beginsWith;
    n.keyPath = std::move(keyPath);
    n.value = Value(std::move(prefix));
    return make(std::move(n));
}

Predicate Predicate::in(std::string keyPath, std::vector<Value> values) {
    Node n;
    n.kind = Kind::in;
    n.keyPath = std::move(keyPath);
    n.values = std::move(values);
    return make(std::move(n));
}

Predicate Predicate::any(std::string keyPath, Comparison op, Value value) {
    Node n;
    n.kind = Kind::any;
    n.keyPath = std::move(keyPath);
    n.op = op;
    n.value = std::move(value);
    return make(std::move(n));
}

Predicate Predicate::subqueryCount(std::string relation, Predicate condition, Comparison op, std::int64_t count) {
    Node n;
    n.kind = Kind::subqueryCount;
    n.keyPath = std::move(relation);
    n.children.push_back(std::move(condition));
    n.op = op;
    n.count = count;
    return make(std::move(n));
}

Predicate Predicate::andPredicates(std::vector<Predicate> parts) {
    if (parts.empty()) return truePredicate();
    if (parts.size() == 1) return parts.front();
    Node n;
    n.kind = Kind::conjunction;
    n.children = std::move(parts);
    return make(std::move(n));
}

Predicate Predicate::orPredicates(std::vector<Predicate> parts) {
    if (parts.empty()) return falsePredicate();
    if (parts.size() == 1) return parts.front();
    Node n;
    n.kind = Kind::disjunction;
    n.children = std::move(parts);
    return make(std::move(n));
}

namespace {
// The parts of two conditions joined by one operator, with nested joins of the same kind
// flattened.
std::vector<Predicate> flattened(const Predicate& a, const Predicate& b, Predicate::Kind kind) {
    std::vector<Predicate> parts;
    for (const Predicate* p : {&a, &b}) {
        if (p->node().kind == kind) {
            parts.insert(parts.end(), p->node().children.begin(), p->node().children.end());
        } else {
            parts.push_back(*p);
        }
    }
    return parts;
}
}  // namespace

Predicate Predicate::operator&&(const Predicate& other) const {
    return andPredicates(flattened(*this, other, Kind::conjunction));
}

Predicate Predicate::operator||(const Predicate& other) const {
    return orPredicates(flattened(*this, other, Kind::disjunction));
}

namespace {
const char* opText(Comparison op) {
    switch (op) {
        case Comparison::equal: return "==";
        case Comparison::notEqual: return "!=";
        case Comparison::less: return "<";
        case Comparison::lessOrEqual: return "<=";
        case Comparison::greater: return ">";
        case Comparison::greaterOrEqual: return ">=";
    }
    return "?";
}
}  // namespace

std::string Predicate::description() const {
    const Node& n = *node_;
    switch (n.kind) {
        case Kind::constant: return n.constant ? "TRUEPREDICATE" : "FALSEPREDICATE";
        case Kind::comparison: return n.keyPath + " " + opText(n.op) + " " + n.value.description();
        case Kind::isNull: return n.keyPath + " == nil";
        case Kind::beginsWith: return n.keyPath + " BEGINSWITH \"" + n.value.description() + "\"";
        case Kind::in: {
            std::string s = n.keyPath + " IN {";
            for (std::size_t i = 0; i < n.values.size(); ++i) s += (i ? ", " : "") + n.values[i].description();
            return s + "}";
        }
        case Kind::any: return "ANY " + n.keyPath + " " + opText(n.op) + " " + n.value.description();
        case Kind::subqueryCount:
            return "SUBQUERY(" + n.keyPath + ", " + n.children.front().description() + ").@count " + opText(n.op) + " " +
                   std::to_string(n.count);
        case Kind::conjunction:
        case Kind::disjunction: {
            const char* join = n.kind == Kind::conjunction ? " AND (" : " OR (";
            std::string s;
            for (std::size_t i = 0; i < n.children.size(); ++i)
                s += (i ? join : "(") + n.children[i].description() + ")";
            return s;
        }
    }
    return {};
}

}  // namespace qx
