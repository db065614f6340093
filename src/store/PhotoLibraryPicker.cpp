#include "store/PhotoLibraryPicker.h"

#include <algorithm>

#include "model/Language.h"
#include "platform/graphics/PixelImage.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"

namespace qx {

std::shared_ptr<PhotoLibraryPicker> PhotoLibraryPicker::make(std::filesystem::path folder, PickBlock block) {
    return std::shared_ptr<PhotoLibraryPicker>(new PhotoLibraryPicker(photosIn(folder), std::move(block)));
}

std::vector<std::filesystem::path> PhotoLibraryPicker::photosIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
        if (plat::PixelImage::isReadablePictureName(it->path()) && it->is_regular_file(ec)) out.push_back(it->path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

void PhotoLibraryPicker::viewDidLoad() {
    // The library opens as its own screen over the one that asked: a bar with its title and a
    // way back, then the pictures.
    setTitle(Language::get("Photos"));
    const plat::Rect bounds = view()->frame();
    constexpr double kBar = plat::NavigationBar::kHeight;
    auto bar = std::make_shared<plat::NavigationBar>(plat::Rect(0, 0, bounds.size.width, kBar));
    navigationItem().setTitle(title());
    navigationItem().setRightBarButtonItem(plat::BarButtonItem::withTitle(
        Language::get("Cancel"), plat::BarButtonStyle::Plain, [this](plat::BarButtonItem&) { cancel(); }));
    bar->setItems({navigationItemPtr()});
    table_ = std::make_shared<plat::TableView>(
        plat::Rect(0, kBar, bounds.size.width, std::max(0.0, bounds.size.height - kBar)));
    table_->setDataSource(sharedAs<PhotoLibraryPicker>());
    table_->setDelegate(sharedAs<PhotoLibraryPicker>());
    view()->addSubview(table_);
    view()->addSubview(bar);
}

long PhotoLibraryPicker::numberOfRows(plat::TableView&, long) { return static_cast<long>(photos_.size()); }

plat::TableViewCellPtr PhotoLibraryPicker::cellForRow(plat::TableView&, const plat::IndexPath& ip) {
    auto cell = std::make_shared<plat::TableViewCell>();
    cell->textLabel().setText(photos_.at(static_cast<std::size_t>(ip.row)).filename().string());
    return cell;
}

void PhotoLibraryPicker::didSelectRow(plat::TableView&, const plat::IndexPath& ip) {
    pick(photos_.at(static_cast<std::size_t>(ip.row)));
}

void PhotoLibraryPicker::cancel() { pick(std::nullopt); }

void PhotoLibraryPicker::pick(const std::optional<std::filesystem::path>& photo) {
    // The block usually dismisses this screen; it must outlive the call that got here.
    const auto keepAlive = sharedAs<PhotoLibraryPicker>();
    auto block = std::move(block_);
    block_ = nullptr;
    if (block) block(photo);
}

}  // namespace qx
