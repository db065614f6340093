#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace plat {

class View;

// The named elements of a loaded interface file: the outlets its owner connects to.
class Outlets {
public:
    void set(const std::string& name, std::shared_ptr<View> view) { views_[name] = std::move(view); }
    std::shared_ptr<View> get(const std::string& name) const;
    template <class T>
    std::shared_ptr<T> get(const std::string& name) const {
        return std::dynamic_pointer_cast<T>(get(name));
    }
    bool has(const std::string& name) const { return views_.count(name) > 0; }
    std::vector<std::string> names() const;
    void merge(const Outlets& other);

private:
    std::map<std::string, std::shared_ptr<View>> views_;
};

// Interface files are code: a builder function registered under the file's name makes the view
// tree with fixed frames and names its outlets. A builder may create its own view class (a
// cell, a panel) and set that class's typed members directly.
//
// Builders are registered at start-up by each layer's registration function (static
// registration objects would be dropped by the linker from a static library).
class Interface {
public:
    using Builder = std::function<std::shared_ptr<View>(Outlets& outlets)>;

    static void registerBuilder(const std::string& name, Builder builder);
    static bool has(const std::string& name);
    // The first top-level view of the named file, with its outlets; nullptr (and a log line)
    // when no builder has that name.
    static std::shared_ptr<View> load(const std::string& name, Outlets* outlets = nullptr);
    template <class T>
    static std::shared_ptr<T> loadAs(const std::string& name, Outlets* outlets = nullptr) {
        return std::dynamic_pointer_cast<T>(load(name, outlets));
    }
    static std::vector<std::string> names();
};

}  // namespace plat
