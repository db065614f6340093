#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace plat {

// The application's resources: files under one resource folder, looked up by name and type,
// and the information dictionary (Info.json) with the bundle identifier and versions.
class Bundle {
public:
    // The resources of this program: $QUORIX_RESOURCES when set, else the source tree's.
    static Bundle& main();

    explicit Bundle(std::filesystem::path root);

    const std::filesystem::path& resourcePath() const { return root_; }

    // "<name>.<type>" anywhere under the resource folder (the top folder first); type may be
    // empty when the name carries it.
    std::optional<std::filesystem::path> pathForResource(const std::string& name,
                                                         const std::string& type) const;
    std::optional<std::string> contentsOfResource(const std::string& name,
                                                  const std::string& type) const;

    // A text of the information dictionary ("CFBundleShortVersionString", "CFBundleVersion",
    // "CFBundleIdentifier", ...), empty when missing.
    std::string infoValue(const std::string& key) const;
    const std::map<std::string, std::string>& infoDictionary() const { return info_; }

private:
    std::filesystem::path root_;
    std::map<std::string, std::string> info_;
};

}  // namespace plat
