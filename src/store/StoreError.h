#pragma once

#include <string>

namespace qx {

// Why a store operation failed. Operations report it through an out-parameter or a completion;
// nothing is thrown.
struct StoreError {
    enum class Code {
        none = 0,
        cannotOpen,      // the database file could not be opened or set up
        sqlite,          // the database refused a statement (message holds its text)
        diskFull,        // the database could not grow: the disk (or its quota) is full
        readOnly,        // the database file (or its file system) cannot be written
        noPermission,    // the system refused this user the database file
        damaged,         // the file is not a database, or a damaged one
        unknownKey,      // a key path names no attribute or relation of the entity
        invalidRequest,  // a key path used where its kind cannot be (a to-many key in a sort)
        notFound,        // the object is not in the store (deleted, or never saved)
        closed,          // the store has been closed
    };

    Code code = Code::none;
    std::string message;

    explicit operator bool() const { return code != Code::none; }
    static StoreError make(Code code, std::string message) { return StoreError{code, std::move(message)}; }
};

// Sets *out when the caller asked for the error.
inline void reportError(StoreError* out, StoreError error) {
    if (out) *out = std::move(error);
}

}  // namespace qx
