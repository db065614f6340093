#pragma once

#include <cstdint>
#include <string>

#include "store/EntityDescription.h"
#include "store/StoreError.h"

namespace qx {

class Connection;

// The database layout and its upgrades. The version lives in PRAGMA user_version; opening an
// older file runs the missing upgrade steps in one transaction.
class Schema {
public:
    // Sets the connection up (WAL, foreign keys) and brings the file to the current version.
    static bool prepare(Connection& connection, int targetVersion, StoreError* error);
    // Connection settings alone, for a second connection to a file already prepared.
    static bool configure(Connection& connection, StoreError* error);

    // The table's columns in row order: id, attributes, then each link's id and position.
    static const std::string& columnList(EntityKind entity, const std::string& alias = {});
    static int columnCount(EntityKind entity);
    // The INSERT of `rows` rows at once, their values one row after another.
    static const std::string& insertSql(EntityKind entity, int rows = 1);
    // The UPDATE of the columns of the given keys only (attributes and links, numbered as in
    // EntityDescription), each column's value taken from its place in the row (?1 is the id), so
    // that indexes over unchanged columns, and the pages they live in, are left alone. Empty
    // when the keys name no column.
    static const std::string& updateSql(EntityKind entity, std::uint32_t keys);
    static const std::string& deleteSql(EntityKind entity);
    static std::string quoted(const char* identifier) { return std::string("\"") + identifier + "\""; }
};

}  // namespace qx
