#pragma once

#include <string>
#include <vector>

#include "store/EntityDescription.h"
#include "store/FetchRequest.h"
#include "store/StoreError.h"
#include "store/Value.h"

namespace qx {

// A fetch request turned into SQL pieces. Every value of the request is a bound parameter, in
// `binds` order; key paths are resolved against the entity descriptions, so only known table
// and column names ever reach the SQL text.
struct CompiledQuery {
    std::string from;   // FROM ... with the joins of to-one key paths
    std::string where;  // a condition, "1" when there is none
    std::vector<Value> binds;
    std::vector<std::string> sortExprs;
    std::vector<bool> ascending;
    std::string sectionExpr;  // empty without sections
    bool crossesToMany = false;  // an ANY or a count over a to-many relation
    std::vector<std::vector<std::string>> toOnePaths;  // relation chains the query reads through

    std::string orderBy() const;  // the sort keys, then the row id for a stable order
};

class SqlCompiler {
public:
    static bool compile(const FetchRequest& request, CompiledQuery& out, StoreError* error);
    // The alias of the request's own entity in the compiled SQL.
    static constexpr const char* kRootAlias = "t0";
};

}  // namespace qx
