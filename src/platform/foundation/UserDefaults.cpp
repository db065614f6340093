#include "platform/foundation/UserDefaults.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>

#include "platform/foundation/Clock.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"

namespace plat {

using nlohmann::json;

namespace {

std::mutex standardMutex;
std::unique_ptr<UserDefaults>& standardSlot() {
    static std::unique_ptr<UserDefaults> slot;
    return slot;
}

// Dates and sets have no JSON type of their own: they are tagged objects.
json encode(const UserDefaults::Value& value) {
    return std::visit(
        [](const auto& v) -> json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Date>) {
                return json{{"date", v.timeIntervalSince1970()}};
            } else if constexpr (std::is_same_v<T, UserDefaults::StringSet>) {
                return json{{"set", json(v)}};
            } else {
                return json(v);
            }
        },
        value);
}

bool isStringArray(const json& j) {
    if (!j.is_array()) return false;
    for (const auto& e : j) {
        if (!e.is_string()) return false;
    }
    return true;
}

std::optional<UserDefaults::Value> decode(const json& j) {
    if (j.is_boolean()) return j.get<bool>();
    if (j.is_number_integer()) return j.get<std::int64_t>();
    if (j.is_number_float()) return j.get<double>();
    if (j.is_string()) return j.get<std::string>();
    if (isStringArray(j)) return j.get<UserDefaults::StringList>();
    if (j.is_object() && j.size() == 1) {
        if (j.contains("date") && j["date"].is_number()) return Date(j["date"].get<double>());
        if (j.contains("set") && isStringArray(j["set"])) {
            return j["set"].get<UserDefaults::StringSet>();
        }
    }
    return std::nullopt;
}

}  // namespace

UserDefaults& UserDefaults::standard() {
    std::lock_guard lock(standardMutex);
    auto& slot = standardSlot();
    if (!slot) slot = std::make_unique<UserDefaults>(DataFolder::preferencesFile());
    return *slot;
}

void UserDefaults::resetStandard() {
    std::lock_guard lock(standardMutex);
    standardSlot().reset();
}

UserDefaults::UserDefaults(std::filesystem::path file) : file_(std::move(file)) { load(); }

void UserDefaults::load() {
    values_.clear();
    unreadableKeys_.clear();
    readFailure_.reset();
    int cause = 0;
    const auto text = file::readPlainFile(file_, kMostBytes, cause);
    if (!text) {
        if (cause == ENOENT) return;
        // Nothing read is nothing known to be damaged: the stored values stay where they are.
        readFailure_ = ReadFailure::of(file_, cause);
        Log::line("UserDefaults load: cannot read " + Log::quoted(file_.string()) + ": " + readFailure_->reason({}) +
                  "; using defaults, and the file is left as it is");
        return;
    }
    json root = json::parse(*text, nullptr, /*allow_exceptions=*/false);
    if (root.is_discarded() || !root.is_object()) {
        moveAside();
        return;
    }
    for (const auto& [key, j] : root.items()) {
        if (auto v = decode(j)) {
            values_[key] = std::move(*v);
        } else {
            Log::line("UserDefaults load: ignoring unreadable value of \"" + key + "\"");
            unreadableKeys_.insert(key);
        }
    }
}

void UserDefaults::moveAside() {
    // Kept for the user to inspect, under a name no earlier damaged file holds; the defaults
    // apply from here on.
    const std::string stamp =
        ".corrupt-" + std::to_string(static_cast<long long>(Date::now().timeIntervalSince1970()));
    std::filesystem::path aside;
    const int moved = file::moveAside(file_, stamp, aside);
    if (moved == 0) movedAside_ = aside;
    Log::line("UserDefaults load: cannot read " + Log::quoted(file_.string()) +
              (moved != 0 ? ", and cannot move it aside: " + std::string(std::strerror(moved))
                          : ", moved aside to " + Log::quoted(aside.string())) +
              "; using defaults");
}

void UserDefaults::reload() {
    std::lock_guard lock(mutex_);
    load();
}

std::optional<std::filesystem::path> UserDefaults::movedAsideFile() const {
    std::lock_guard lock(mutex_);
    return movedAside_;
}

std::optional<ReadFailure> UserDefaults::readFailure() const {
    std::lock_guard lock(mutex_);
    return readFailure_;
}

bool UserDefaults::contains(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return values_.count(key) != 0;
}

void UserDefaults::wrongType(const std::string& key, const char* expected) const {
    if (reportedKeys_.insert(key).second) {
        Log::line("UserDefaults: value of \"" + key + "\" is not " + expected + "; using its default");
    }
}

template <class T>
std::optional<T> UserDefaults::typed(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    const Value& v = it->second;
    if (const T* exact = std::get_if<T>(&v)) return *exact;
    // Numbers convert where no information is lost; sets and lists convert both ways.
    if constexpr (std::is_same_v<T, double>) {
        if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    } else if constexpr (std::is_same_v<T, std::int64_t>) {
        if (const auto* d = std::get_if<double>(&v); d && std::isfinite(*d) && std::trunc(*d) == *d &&
                                                     std::fabs(*d) < 9.0e15) {
            return static_cast<std::int64_t>(*d);
        }
    } else if constexpr (std::is_same_v<T, StringSet>) {
        if (const auto* l = std::get_if<StringList>(&v)) return StringSet(l->begin(), l->end());
    } else if constexpr (std::is_same_v<T, StringList>) {
        if (const auto* s = std::get_if<StringSet>(&v)) return StringList(s->begin(), s->end());
    }
    wrongType(key, typeid(T) == typeid(bool)           ? "a boolean"
                   : typeid(T) == typeid(std::int64_t) ? "an integer"
                   : typeid(T) == typeid(double)       ? "a number"
                   : typeid(T) == typeid(std::string)  ? "a text"
                   : typeid(T) == typeid(Date)         ? "a date"
                                                       : "a list of texts");
    return std::nullopt;
}

bool UserDefaults::boolForKey(const std::string& key, bool fallback) const {
    return typed<bool>(key).value_or(fallback);
}
std::int64_t UserDefaults::integerForKey(const std::string& key, std::int64_t fallback) const {
    return typed<std::int64_t>(key).value_or(fallback);
}
double UserDefaults::doubleForKey(const std::string& key, double fallback) const {
    return typed<double>(key).value_or(fallback);
}
std::string UserDefaults::stringForKey(const std::string& key, const std::string& fallback) const {
    return typed<std::string>(key).value_or(fallback);
}
std::optional<std::string> UserDefaults::optionalStringForKey(const std::string& key) const {
    return typed<std::string>(key);
}
std::optional<Date> UserDefaults::dateForKey(const std::string& key) const { return typed<Date>(key); }
UserDefaults::StringSet UserDefaults::stringSetForKey(const std::string& key) const {
    return typed<StringSet>(key).value_or(StringSet{});
}
UserDefaults::StringList UserDefaults::stringListForKey(const std::string& key) const {
    return typed<StringList>(key).value_or(StringList{});
}

std::optional<bool> UserDefaults::optionalBoolForKey(const std::string& key) const { return typed<bool>(key); }
std::optional<std::int64_t> UserDefaults::optionalIntegerForKey(const std::string& key) const {
    return typed<std::int64_t>(key);
}
std::optional<double> UserDefaults::optionalDoubleForKey(const std::string& key) const { return typed<double>(key); }
std::optional<UserDefaults::StringSet> UserDefaults::optionalStringSetForKey(const std::string& key) const {
    return typed<StringSet>(key);
}

bool UserDefaults::hadUnreadableValue(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return unreadableKeys_.count(key) != 0;
}

void UserDefaults::setValue(const std::string& key, Value value) {
    std::lock_guard lock(mutex_);
    values_[key] = std::move(value);
    reportedKeys_.erase(key);
}

void UserDefaults::remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    values_.erase(key);
}

bool UserDefaults::synchronize(int* cause) {
    std::string text;
    {
        std::lock_guard lock(mutex_);
        if (readFailure_) {
            // Its values were never read: writing would replace them with defaults.
            if (cause) *cause = readFailure_->code;
            Log::line("UserDefaults synchronize: " + Log::quoted(file_.string()) +
                      " is not written, for it could not be read");
            return false;
        }
        json root = json::object();
        for (const auto& [key, value] : values_) root[key] = encode(value);
        text = root.dump(2);
    }
    if (text.size() > kMostBytes) {
        // A file the next start would refuse to read would cost every value in it.
        if (cause) *cause = file::kTooLarge;
        Log::line("UserDefaults synchronize: " + std::to_string(text.size()) +
                  " bytes are more than a settings file holds");
        return false;
    }
    std::string error;
    if (!file::writeAtomically(file_, text, &error)) {
        if (cause) *cause = errno;
        Log::line("UserDefaults synchronize: " + error);
        return false;
    }
    return true;
}

}  // namespace plat
