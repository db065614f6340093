#include "platform/foundation/Bundle.h"

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"

namespace plat {

Bundle& Bundle::main() {
    static Bundle* bundle = [] {
        const char* env = std::getenv("QUORIX_RESOURCES");
        return new Bundle(env && *env ? std::filesystem::path(env) : std::filesystem::path(QX_RESOURCE_DIR));
    }();
    return *bundle;
}

Bundle::Bundle(std::filesystem::path root) : root_(std::move(root)) {
    auto text = file::read(root_ / "Info.json");
    if (!text) {
        Log::line("Bundle: no Info.json in " + root_.string());
        return;
    }
    auto j = nlohmann::json::parse(*text, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        Log::line("Bundle: Info.json is not a JSON object");
        return;
    }
    for (const auto& [key, value] : j.items()) {
        if (value.is_string()) info_[key] = value.get<std::string>();
    }
}

std::optional<std::filesystem::path> Bundle::pathForResource(const std::string& name,
                                                             const std::string& type) const {
    const std::string fileName = type.empty() ? name : name + "." + type;
    std::error_code ec;
    if (auto direct = root_ / fileName; std::filesystem::is_regular_file(direct, ec)) return direct;
    for (auto it = std::filesystem::recursive_directory_iterator(root_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && it->path().filename() == fileName) return it->path();
    }
    return std::nullopt;
}

std::optional<std::string> Bundle::contentsOfResource(const std::string& name,
                                                      const std::string& type) const {
    auto path = pathForResource(name, type);
    if (!path) return std::nullopt;
    return file::read(*path);
}

std::string Bundle::infoValue(const std::string& key) const {
    auto it = info_.find(key);
    return it == info_.end() ? std::string() : it->second;
}

}  // namespace plat
