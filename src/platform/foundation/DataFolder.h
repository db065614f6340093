#pragma once

#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

namespace plat {

// The one folder that holds everything the application keeps: the database, the preferences,
// the secret store, Documents/ (exports and files to import), Photos/ (the photo library),
// Outbox/ (sent mail) and Caches/ (the beta library's files).
class DataFolder {
public:
    static std::filesystem::path root();
    // Makes `path` the data folder, creating it and its subfolders. The folders it makes are
    // its owner's only; a folder that was there, and every file in it, keeps its rights.
    static bool setRoot(const std::filesystem::path& path);
    // A folder in which the program writes whole files (file::writeAtomically), and the test of
    // the names it gives them there.
    struct WrittenFiles {
        std::filesystem::path folder;
        std::function<bool(std::string_view name)> isOwnName;
    };
    // Removes what whole-file writes of an ended program left: the temporary files of the names
    // `places` own, directly in their folders and nowhere else (a folder of the person's inside
    // Documents/ is theirs). Only while this program owns the folder (DataFolderLock). Returns
    // how many.
    static std::size_t removeLeftovers(const std::vector<WrittenFiles>& places);
    // $XDG_DATA_HOME/quorix, else ~/.local/share/quorix.
    static std::filesystem::path defaultRoot();

    static std::filesystem::path documents() { return root() / "Documents"; }
    static std::filesystem::path photos() { return root() / "Photos"; }
    static std::filesystem::path outbox() { return root() / "Outbox"; }
    static std::filesystem::path caches() { return root() / "Caches"; }
    static std::filesystem::path preferencesFile() { return root() / "Preferences.json"; }
};

}  // namespace plat
