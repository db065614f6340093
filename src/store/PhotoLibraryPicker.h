#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

namespace qx {

// The photo library's picker: the pictures of Photos/ in the data folder, one row each, and a
// Cancel button. Choosing a row or cancelling runs the pick block once.
class PhotoLibraryPicker : public plat::ViewController,
                           public plat::TableViewDataSource,
                           public plat::TableViewDelegate {
public:
    using PickBlock = std::function<void(const std::optional<std::filesystem::path>& photo)>;

    static std::shared_ptr<PhotoLibraryPicker> make(std::filesystem::path folder, PickBlock block);

    // The pictures of the folder the platform reads (PNG, JPEG), by name.
    static std::vector<std::filesystem::path> photosIn(const std::filesystem::path& folder);

    const std::vector<std::filesystem::path>& photos() const { return photos_; }
    const std::shared_ptr<plat::TableView>& tableView() const { return table_; }
    void cancel();

    void viewDidLoad() override;
    long numberOfRows(plat::TableView&, long section) override;
    plat::TableViewCellPtr cellForRow(plat::TableView&, const plat::IndexPath& ip) override;
    void didSelectRow(plat::TableView&, const plat::IndexPath& ip) override;
    std::string kindName() const override { return "PhotoLibraryPicker"; }

private:
    PhotoLibraryPicker(std::vector<std::filesystem::path> photos, PickBlock block)
        : photos_(std::move(photos)), block_(std::move(block)) {}
    void pick(const std::optional<std::filesystem::path>& photo);

    std::vector<std::filesystem::path> photos_;
    PickBlock block_;
    std::shared_ptr<plat::TableView> table_;
};

}  // namespace qx
