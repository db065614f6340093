#include "platform/ui/Interface.h"

#include <mutex>

#include "platform/foundation/Log.h"
#include "platform/ui/View.h"

namespace plat {

std::shared_ptr<View> Outlets::get(const std::string& name) const {
    auto it = views_.find(name);
    return it == views_.end() ? nullptr : it->second;
}

std::vector<std::string> Outlets::names() const {
    std::vector<std::string> out;
    for (const auto& [name, view] : views_) out.push_back(name);
    return out;
}

void Outlets::merge(const Outlets& other) {
    for (const auto& [name, view] : other.views_) views_[name] = view;
}

namespace {

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

std::map<std::string, Interface::Builder>& registry() {
    static std::map<std::string, Interface::Builder> r;
    return r;
}

}  // namespace

void Interface::registerBuilder(const std::string& name, Builder builder) {
    std::lock_guard lock(registryMutex());
    registry()[name] = std::move(builder);
}

bool Interface::has(const std::string& name) {
    std::lock_guard lock(registryMutex());
    return registry().count(name) > 0;
}

std::shared_ptr<View> Interface::load(const std::string& name, Outlets* outlets) {
    Builder builder;
    {
        std::lock_guard lock(registryMutex());
        auto it = registry().find(name);
        if (it != registry().end()) builder = it->second;
    }
    if (!builder) {
        Log::line("Interface: no interface file named " + name);
        return nullptr;
    }
    Outlets local;
    auto view = builder(outlets ? *outlets : local);
    return view;
}

std::vector<std::string> Interface::names() {
    std::lock_guard lock(registryMutex());
    std::vector<std::string> out;
    for (const auto& [name, b] : registry()) out.push_back(name);
    return out;
}

}  // namespace plat
