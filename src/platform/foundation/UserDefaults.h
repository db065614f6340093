#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/ReadFailure.h"

namespace plat {

// Typed preferences kept in one JSON file. Setters change memory only; synchronize() writes the
// whole file atomically. A file that is damaged (no JSON object) is moved aside, never replaced,
// and reported once. A file that cannot be read at all (closed to this user, a folder or a FIFO
// at its name, too large) is left as it is and never written over: the defaults apply in memory
// only. A value of the wrong type for a key reads as that key's default.
class UserDefaults {
public:
    // The most a settings file holds, read or written: bounds what a wrong file costs.
    static constexpr std::size_t kMostBytes = std::size_t{64} << 20;

    using StringSet = std::set<std::string>;
    using StringList = std::vector<std::string>;
    using Value = std::variant<bool, std::int64_t, double, std::string, Date, StringSet, StringList>;

    // The preferences of the data folder (DataFolder::preferencesFile()), loaded on first use.
    static UserDefaults& standard();
    // Forgets the standard object, so the next standard() loads the current data folder's file.
    static void resetStandard();

    explicit UserDefaults(std::filesystem::path file);

    bool contains(const std::string& key) const;
    bool boolForKey(const std::string& key, bool fallback = false) const;
    std::int64_t integerForKey(const std::string& key, std::int64_t fallback = 0) const;
    double doubleForKey(const std::string& key, double fallback = 0) const;
    std::string stringForKey(const std::string& key, const std::string& fallback = {}) const;
    std::optional<std::string> optionalStringForKey(const std::string& key) const;
    std::optional<Date> dateForKey(const std::string& key) const;
    StringSet stringSetForKey(const std::string& key) const;
    StringList stringListForKey(const std::string& key) const;
    // None when the key is missing or holds another type: a caller can tell a stored value it
    // cannot use from one never stored.
    std::optional<bool> optionalBoolForKey(const std::string& key) const;
    std::optional<std::int64_t> optionalIntegerForKey(const std::string& key) const;
    std::optional<double> optionalDoubleForKey(const std::string& key) const;
    std::optional<StringSet> optionalStringSetForKey(const std::string& key) const;
    // Whether the file held a value under `key` that no type here can read (a null, an object).
    bool hadUnreadableValue(const std::string& key) const;

    void setValue(const std::string& key, Value value);
    void setBool(const std::string& key, bool v) { setValue(key, v); }
    void setInteger(const std::string& key, std::int64_t v) { setValue(key, v); }
    void setDouble(const std::string& key, double v) { setValue(key, v); }
    void setString(const std::string& key, std::string v) { setValue(key, std::move(v)); }
    void setDate(const std::string& key, Date v) { setValue(key, v); }
    void setStringSet(const std::string& key, StringSet v) { setValue(key, std::move(v)); }
    void setStringList(const std::string& key, StringList v) { setValue(key, std::move(v)); }
    void remove(const std::string& key);

    // Writes every value to the file at once; false (and a log line) when that failed, `cause`
    // then getting the errno of the failed write. Refused while readFailure() holds, and for
    // more than kMostBytes (file::kTooLarge).
    bool synchronize(int* cause = nullptr);
    // Reads the file again, dropping unsaved changes.
    void reload();

    const std::filesystem::path& file() const { return file_; }
    // Where a corrupt file was moved, when that happened on load.
    std::optional<std::filesystem::path> movedAsideFile() const;
    // Why the file could not be read on load, when it could not.
    std::optional<ReadFailure> readFailure() const;

private:
    template <class T>
    std::optional<T> typed(const std::string& key) const;
    void wrongType(const std::string& key, const char* expected) const;
    void load();
    void moveAside();

    std::filesystem::path file_;
    mutable std::mutex mutex_;
    std::map<std::string, Value> values_;
    mutable std::set<std::string> reportedKeys_;
    std::set<std::string> unreadableKeys_;
    std::optional<std::filesystem::path> movedAside_;
    std::optional<ReadFailure> readFailure_;
};

}  // namespace plat
