#include "shell/VNImportTableViewController.h"

#include <algorithm>

#include "platform/foundation/DataFolder.h"
#include "platform/foundation/Utf8Text.h"
#include "shell/ShellInterfaces.h"
#include "store/ImportManager.h"
#include "store/io/WaypointFile.h"

namespace qx {

std::shared_ptr<VNImportTableViewController> VNImportTableViewController::loadFromNib() {
    registerShellInterfaces();
    return std::make_shared<VNImportTableViewController>(kNibName);
}

std::vector<std::filesystem::path> VNImportTableViewController::importableFiles(const std::filesystem::path& folder) {
    struct Entry {
        std::filesystem::path path;
        std::filesystem::file_time_type modified;
    };
    std::vector<Entry> entries;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
        // The entry itself, never what a link points at: a link or special file is not offered.
        if (!WaypointFile::formatOfFile(it->path()) || !it->is_regular_file(ec) || it->is_symlink(ec)) continue;
        entries.push_back({it->path(), it->last_write_time(ec)});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.modified != b.modified ? a.modified > b.modified : a.path < b.path;
    });
    std::vector<std::filesystem::path> out;
    for (auto& e : entries) out.push_back(std::move(e.path));
    return out;
}

void VNImportTableViewController::dir() {
    files_ = importableFiles(plat::DataFolder::documents());
    std::vector<VNTableViewCellPtr> rows;
    for (const auto& file : files_) {
        auto cell = VNTableViewCell::loadFromNib();
        // A file name is bytes: one that is not UTF-8 is shown with replacement characters.
        cell->textLabel().setText(plat::Utf8Text::valid(file.filename().string()));
        cell->setOnSelectCellBlock([file](VNTableViewCell&) { ImportManager::sharedImportManager().importFile(file); });
        rows.push_back(cell);
    }
    auto section = VNSection::create<VNSection>();
    section->setRows(std::move(rows));
    setSections({section});
    tableView()->reloadData();
}

}  // namespace qx
