#include "store/SqlCompiler.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "store/Schema.h"

namespace qx {

namespace {

std::vector<std::string> split(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        auto dot = path.find('.', start);
        parts.push_back(path.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts;
}

const char* sqlOp(Comparison op) {
    switch (op) {
        case Comparison::equal: return " = ";
        case Comparison::notEqual: return " IS NOT ";
        case Comparison::less: return " < ";
        case Comparison::lessOrEqual: return " <= ";
        case Comparison::greater: return " > ";
        case Comparison::greaterOrEqual: return " >= ";
    }
    return " = ";
}

// One FROM clause with its joins: the root scope of the query or that of a sub-select.
struct Scope {
    EntityKind entity;
    std::string alias;
    std::string joins;
    std::map<std::string, std::pair<std::string, EntityKind>> joined;  // path prefix -> alias
};

// Where a key path ends.
struct Terminal {
    enum class Kind { attribute, relation } kind = Kind::attribute;
    std::string expr;
    AttributeType type = AttributeType::integer;
    EntityKind target = EntityKind::set;  // of a relation
};

class Compiler {
public:
    explicit Compiler(CompiledQuery& out, StoreError* error) : out_(out), error_(error) {}

    bool failed() const { return failed_; }
    std::string newAlias() { return "t" + std::to_string(next_++); }

    std::string fail(StoreError::Code code, std::string message) {
        if (!failed_) reportError(error_, StoreError::make(code, std::move(message)));
        failed_ = true;
        return "0";
    }

    // Joins the to-one relation `name` of the scope's entity reached at `prefix` (whose alias
    // is `alias`), once per prefix.
    bool joinToOne(Scope& scope, const std::string& prefixKey, EntityKind entity, const std::string& alias,
                   const std::string& name, std::string& outAlias, EntityKind& outEntity, bool& isToMany) {
        const auto& d = EntityDescription::of(entity);
        isToMany = false;
        const std::string key = prefixKey.empty() ? name : prefixKey + "." + name;
        if (auto it = scope.joined.find(key); it != scope.joined.end()) {
            outAlias = it->second.first;
            outEntity = it->second.second;
            return true;
        }
        if (int l = d.linkIndex(name); l >= 0) {
            const auto& link = d.links[l];
            outAlias = newAlias();
            outEntity = link.target;
            scope.joins += " LEFT JOIN " + Schema::quoted(EntityDescription::of(link.target).table) + " " + outAlias +
                           " ON " + outAlias + ".id = " + alias + "." + link.column;
        } else if (int i = d.inverseIndex(name); i >= 0) {
            const auto& inv = d.inverses[i];
            if (inv.toMany) {
                isToMany = true;
                return false;
            }
            const auto& src = EntityDescription::of(inv.source);
            outAlias = newAlias();
            outEntity = inv.source;
            scope.joins += " LEFT JOIN " + Schema::quoted(src.table) + " " + outAlias + " ON " + outAlias + "." +
                           src.links[inv.link].column + " = " + alias + ".id";
        } else {
            return false;
        }
        scope.joined[key] = {outAlias, outEntity};
        return true;
    }

    // Resolves a key path made of to-one relations and a final attribute or relation.
    bool resolve(Scope& scope, const std::string& path, Terminal& t) {
        const auto parts = split(path);
        std::string alias = scope.alias;
        EntityKind entity = scope.entity;
        std::string prefix;
        std::vector<std::string> chain;
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            bool toMany = false;
            std::string nextAlias;
            EntityKind nextEntity;
            if (!joinToOne(scope, prefix, entity, alias, parts[i], nextAlias, nextEntity, toMany)) {
                unknownOrToMany(entity, parts[i], toMany, path);
                return false;
            }
            chain.push_back(parts[i]);
            prefix = prefix.empty() ? parts[i] : prefix + "." + parts[i];
            alias = nextAlias;
            entity = nextEntity;
        }
        if (!chain.empty() && &scope == root_) out_.toOnePaths.push_back(chain);
        const auto& d = EntityDescription::of(entity);
        const std::string& last = parts.back();
        if (int a = d.attributeIndex(last); a >= 0) {
            t.kind = Terminal::Kind::attribute;
            t.expr = alias + "." + d.attributes[a].name;
            t.type = d.attributes[a].type;
            return true;
        }
        if (int l = d.linkIndex(last); l >= 0) {
            t.kind = Terminal::Kind::relation;
            t.expr = alias + "." + d.links[l].column;
            t.target = d.links[l].target;
            return true;
        }
        if (int i = d.inverseIndex(last); i >= 0 && !d.inverses[i].toMany) {
            bool toMany = false;
            std::string joinedAlias;
            EntityKind joinedEntity;
            joinToOne(scope, prefix, entity, alias, last, joinedAlias, joinedEntity, toMany);
            if (&scope == root_) {
                chain.push_back(last);
                out_.toOnePaths.push_back(chain);
            }
            t.kind = Terminal::Kind::relation;
            t.expr = joinedAlias + ".id";
            t.target = joinedEntity;
            return true;
        }
        unknownOrToMany(entity, last, d.inverseIndex(last) >= 0, path);
        return false;
    }

    void unknownOrToMany(EntityKind entity, const std::string& name, bool toMany, const std::string& path) {
        if (toMany) {
            fail(StoreError::Code::invalidRequest, "the to-many key \"" + name + "\" in \"" + path +
                                                       "\" needs ANY or a SUBQUERY count");
        } else {
            fail(StoreError::Code::unknownKey,
                 std::string("the entity ") + entityName(entity) + " has no key \"" + name + "\" (in \"" + path + "\")");
        }
    }

    std::string bind(const Value& v) {
        out_.binds.push_back(v);
        return "?";
    }

    std::string comparison(Scope& scope, const Terminal& t, Comparison op, const Value& v, const std::string& path) {
        if (v.isNull()) {
            if (op == Comparison::equal) return t.expr + " IS NULL";
            if (op == Comparison::notEqual) return t.expr + " IS NOT NULL";
            return "0";  // nothing is ordered against nothing
        }
        if (t.kind == Terminal::Kind::relation) {
            if (v.type() != Value::Type::object || v.object().entity != t.target)
                return fail(StoreError::Code::invalidRequest, "\"" + path + "\" is a relation to " +
                                                                  entityName(t.target) + ": compare it with such an object");
            if (op != Comparison::equal && op != Comparison::notEqual)
                return fail(StoreError::Code::invalidRequest, "objects compare only for equality (\"" + path + "\")");
            return t.expr + sqlOp(op) + bind(Value(static_cast<long long>(v.object().row)));
        }
        if (v.type() == Value::Type::object)
            return fail(StoreError::Code::invalidRequest, "\"" + path + "\" is an attribute, not a relation");
        (void)scope;
        return t.expr + sqlOp(op) + bind(v);
    }

    // Splits "a.b.many.c" at its first to-many relation: joins the to-one prefix and returns
    // the owner alias, the child entity and its link column, and the rest of the path.
    bool splitAtToMany(Scope& scope, const std::string& path, std::string& ownerAlias, EntityKind& child,
                       std::string& linkColumn, std::string& rest) {
        const auto parts = split(path);
        std::string alias = scope.alias, prefix;
        EntityKind entity = scope.entity;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const auto& d = EntityDescription::of(entity);
            if (int inv = d.inverseIndex(parts[i]); inv >= 0 && d.inverses[inv].toMany) {
                const auto& src = EntityDescription::of(d.inverses[inv].source);
                ownerAlias = alias;
                child = d.inverses[inv].source;
                linkColumn = src.links[d.inverses[inv].link].column;
                rest.clear();
                for (std::size_t j = i + 1; j < parts.size(); ++j) rest += (rest.empty() ? "" : ".") + parts[j];
                return true;
            }
            if (d.attributeIndex(parts[i]) >= 0) break;
            bool toMany = false;
            std::string nextAlias;
            EntityKind nextEntity;
            if (!joinToOne(scope, prefix, entity, alias, parts[i], nextAlias, nextEntity, toMany)) {
                unknownOrToMany(entity, parts[i], false, path);
                return false;
            }
            prefix = prefix.empty() ? parts[i] : prefix + "." + parts[i];
            alias = nextAlias;
            entity = nextEntity;
        }
        fail(StoreError::Code::invalidRequest, "\"" + path + "\" crosses no to-many relation");
        return false;
    }

    std::string subSelect(const std::string& ownerAlias, EntityKind child, const std::string& linkColumn,
                          const std::function<std::string(Scope&)>& condition) {
        Scope sub{child, newAlias(), {}, {}};
        const std::string cond = condition(sub);
        return "FROM " + Schema::quoted(EntityDescription::of(child).table) + " " + sub.alias + sub.joins + " WHERE " +
               sub.alias + "." + linkColumn + " = " + ownerAlias + ".id AND (" + cond + ")";
    }

    // The parts of a conjunction or disjunction in the order the database should try them: it
    // evaluates them as written and stops at the first that decides. Plain conditions on the row
    // come first; then searches of related rows by equality, which an index narrows to one key;
    // then other searches (a set of values or a range), which scan each row's related ones.
    static std::vector<const Predicate*> inCostOrder(const std::vector<Predicate>& parts) {
        const auto cost = [](const Predicate& p) {
            const auto& n = p.node();
            if (n.kind == Predicate::Kind::any) return n.op == Comparison::equal ? 1 : 2;
            if (n.kind != Predicate::Kind::subqueryCount) return 0;
            const auto& inner = n.children.front().node();
            return inner.kind == Predicate::Kind::comparison && inner.op == Comparison::equal ? 1 : 2;
        };
        std::vector<const Predicate*> out;
        for (const auto& p : parts) out.push_back(&p);
        std::stable_sort(out.begin(), out.end(), [&](const Predicate* a, const Predicate* b) { return cost(*a) < cost(*b); });
        return out;
    }

    std::string predicate(Scope& scope, const Predicate& p) {
        const auto& n = p.node();
        switch (n.kind) {
            case Predicate::Kind::constant: return n.constant ? "1" : "0";
            case Predicate::Kind::conjunction:
            case Predicate::Kind::disjunction: {
                const bool all = n.kind == Predicate::Kind::conjunction;
                std::string s;
                for (const auto* c : inCostOrder(n.children))
                    s += (s.empty() ? "(" : all ? " AND (" : " OR (") + predicate(scope, *c) + ")";
                if (s.empty()) return all ? "1" : "0";
                return all ? s : "(" + s + ")";
            }
            case Predicate::Kind::comparison: {
                Terminal t;
                if (!resolve(scope, n.keyPath, t)) return "0";
                return comparison(scope, t, n.op, n.value, n.keyPath);
            }
            case Predicate::Kind::isNull: {
                Terminal t;
                if (!resolve(scope, n.keyPath, t)) return "0";
                return t.expr + " IS NULL";
            }
            case Predicate::Kind::beginsWith: {
                Terminal t;
                if (!resolve(scope, n.keyPath, t)) return "0";
                if (t.kind != Terminal::Kind::attribute || t.type != AttributeType::text)
                    return fail(StoreError::Code::invalidRequest, "BEGINSWITH needs a text key (\"" + n.keyPath + "\")");
                // Compares the first characters exactly: case and accents count.
                const std::string a = bind(n.value);
                const std::string b = bind(n.value);
                return "substr(" + t.expr + ", 1, length(" + a + ")) = " + b;
            }
            case Predicate::Kind::in: {
                Terminal t;
                if (!resolve(scope, n.keyPath, t)) return "0";
                if (n.values.empty()) return "0";
                std::string s = t.expr + " IN (";
                for (std::size_t i = 0; i < n.values.size(); ++i) {
                    const Value& v = n.values[i];
                    if (t.kind == Terminal::Kind::relation && v.type() == Value::Type::object) {
                        s += (i ? ", " : "") + bind(Value(static_cast<long long>(v.object().row)));
                    } else {
                        s += (i ? ", " : "") + bind(v);
                    }
                }
                return s + ")";
            }
            case Predicate::Kind::any: {
                out_.crossesToMany = true;
                std::string owner, linkColumn, rest;
                EntityKind child;
                if (!splitAtToMany(scope, n.keyPath, owner, child, linkColumn, rest)) return "0";
                return "EXISTS (SELECT 1 " + subSelect(owner, child, linkColumn, [&](Scope& sub) {
                           Terminal t;
                           if (rest.empty()) {
                               t.kind = Terminal::Kind::relation;
                               t.expr = sub.alias + ".id";
                               t.target = child;
                           } else if (!resolve(sub, rest, t)) {
                               return std::string("0");
                           }
                           return comparison(sub, t, n.op, n.value, n.keyPath);
                       }) + ")";
            }
            case Predicate::Kind::subqueryCount: {
                out_.crossesToMany = true;
                std::string owner, linkColumn, rest;
                EntityKind child;
                if (!splitAtToMany(scope, n.keyPath, owner, child, linkColumn, rest)) return "0";
                if (!rest.empty())
                    return fail(StoreError::Code::invalidRequest, "a SUBQUERY runs over a to-many key, not \"" +
                                                                      n.keyPath + "\"");
                // "Some" and "none" are asked most; EXISTS stops at the first match.
                const bool some = (n.op == Comparison::notEqual && n.count == 0) ||
                                  (n.op == Comparison::greater && n.count == 0) ||
                                  (n.op == Comparison::greaterOrEqual && n.count == 1);
                const bool none = (n.op == Comparison::equal && n.count == 0) ||
                                  (n.op == Comparison::less && n.count == 1) ||
                                  (n.op == Comparison::lessOrEqual && n.count == 0);
                if ((some || none) && scope.entity == EntityKind::set && child == EntityKind::waypoint &&
                    owner == scope.alias) {
                    if (auto onReading = rebased(n.children.front(), "measurement.")) {
                        const std::string exists = daysReadingsExist(owner, *onReading);
                        return some ? exists : "NOT " + exists;
                    }
                }
                const std::string body = subSelect(owner, child, linkColumn,
                                                   [&](Scope& sub) { return predicate(sub, n.children.front()); });
                if (some) return "EXISTS (SELECT 1 " + body + ")";
                if (none) return "NOT EXISTS (SELECT 1 " + body + ")";
                const std::string op = n.op == Comparison::notEqual ? " != " : sqlOp(n.op);
                return "(SELECT COUNT(*) " + body + ")" + op + bind(Value(static_cast<long long>(n.count)));
            }
        }
        return "0";
    }

    // A condition on waypoints that reads only their measurement, rebased onto the measurement;
    // none when it reads anything else.
    static std::optional<Predicate> rebased(const Predicate& p, const std::string& prefix) {
        const auto& n = p.node();
        switch (n.kind) {
            case Predicate::Kind::constant: return p;
            case Predicate::Kind::conjunction: {
                std::vector<Predicate> parts;
                for (const auto& c : n.children) {
                    auto r = rebased(c, prefix);
                    if (!r) return std::nullopt;
                    parts.push_back(*r);
                }
                return Predicate::andPredicates(std::move(parts));
            }
            case Predicate::Kind::disjunction: {
                std::vector<Predicate> parts;
                for (const auto& c : n.children) {
                    auto r = rebased(c, prefix);
                    if (!r) return std::nullopt;
                    parts.push_back(*r);
                }
                return Predicate::orPredicates(std::move(parts));
            }
            case Predicate::Kind::comparison:
            case Predicate::Kind::isNull:
            case Predicate::Kind::beginsWith:
            case Predicate::Kind::in: {
                if (n.keyPath.rfind(prefix, 0) != 0 || n.keyPath.size() == prefix.size()) return std::nullopt;
                const std::string rest = n.keyPath.substr(prefix.size());
                if (n.kind == Predicate::Kind::comparison) return Predicate::compare(rest, n.op, n.value);
                if (n.kind == Predicate::Kind::isNull) return Predicate::isNull(rest);
                if (n.kind == Predicate::Kind::beginsWith) return Predicate::beginsWith(rest, n.value.text());
                return Predicate::in(rest, n.values);
            }
            case Predicate::Kind::any:
            case Predicate::Kind::subqueryCount: return std::nullopt;
        }
        return std::nullopt;
    }

    // "Some waypoint of the day has a reading that ...": the reading of a day's waypoint is
    // always that day's reading, so the day's readings are searched (one range of an index)
    // and only a match is checked for being a waypoint of the day.
    std::string daysReadingsExist(const std::string& day, const Predicate& onReading) {
        Scope reading{EntityKind::measurement, newAlias(), {}, {}};
        const std::string cond = predicate(reading, onReading);
        const std::string point = newAlias();
        return "EXISTS (SELECT 1 FROM \"Measurement\" " + reading.alias + reading.joins + " WHERE " + reading.alias +
               ".set_id = " + day + ".id AND (" + cond + ") AND EXISTS (SELECT 1 FROM \"Waypoint\" " + point +
               " WHERE " + point + ".id = " + reading.alias + ".waypoint_id AND " + point + ".set_id = " + day +
               ".id))";
    }

    Scope* root_ = nullptr;

private:
    CompiledQuery& out_;
    StoreError* error_;
    bool failed_ = false;
    int next_ = 1;
};

}  // namespace

std::string CompiledQuery::orderBy() const {
    std::string s;
    for (std::size_t i = 0; i < sortExprs.size(); ++i) s += sortExprs[i] + (ascending[i] ? " ASC, " : " DESC, ");
    return s + SqlCompiler::kRootAlias + ".id ASC";
}

bool SqlCompiler::compile(const FetchRequest& request, CompiledQuery& out, StoreError* error) {
    out = CompiledQuery{};
    Compiler c(out, error);
    Scope root{request.entity, kRootAlias, {}, {}};
    c.root_ = &root;
    out.where = request.predicate ? c.predicate(root, *request.predicate) : "1";
    auto keyExpr = [&](const std::string& path, const char* what) -> std::string {
        Terminal t;
        if (!c.resolve(root, path, t)) return {};
        if (t.kind != Terminal::Kind::attribute) {
            c.fail(StoreError::Code::invalidRequest, std::string(what) + " \"" + path + "\" is not an attribute");
            return {};
        }
        return t.expr;
    };
    for (const auto& sd : request.sortDescriptors) {
        out.sortExprs.push_back(keyExpr(sd.keyPath, "the sort key"));
        out.ascending.push_back(sd.ascending);
    }
    if (request.sectionNameKeyPath) out.sectionExpr = keyExpr(*request.sectionNameKeyPath, "the section key");
    out.from = "FROM " + Schema::quoted(EntityDescription::of(request.entity).table) + " " + kRootAlias + root.joins;
    return !c.failed();
}

}  // namespace qx
