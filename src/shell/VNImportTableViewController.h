#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "shell/VNTableViewController.h"

namespace qx {

// The import screen: the CSV and GPX files of Documents/, newest first, one row each; choosing
// a row imports that file.
class VNImportTableViewController : public VNTableViewController {
public:
    static std::shared_ptr<VNImportTableViewController> loadFromNib();

    explicit VNImportTableViewController(std::string interfaceName) : VNTableViewController(std::move(interfaceName)) {}

    // Scans Documents/ again and reloads the list.
    void dir();
    const std::vector<std::filesystem::path>& files() const { return files_; }

    // The waypoint files of a folder, newest first (by name among files of the same time):
    // regular files only, neither links (even to a regular file) nor FIFOs, devices or sockets.
    static std::vector<std::filesystem::path> importableFiles(const std::filesystem::path& folder);

    std::string kindName() const override { return "ImportScreen"; }

private:
    std::vector<std::filesystem::path> files_;
};

}  // namespace qx
