#pragma once

#include <memory>
#include <vector>

#include "platform/ui/TableView.h"
#include "shell/VNBaseViewController.h"
#include "shell/VNSection.h"

namespace qx {

// A screen whose table shows an ordered list of sections: each table section is one VNSection,
// which gives its rows, header and footer. Selecting a row deselects it and runs the cell's
// selection block.
class VNTableViewController : public VNBaseViewController,
                              public plat::TableViewDataSource,
                              public plat::TableViewDelegate {
public:
    static constexpr const char* kNibName = "VNTableViewController";

    // A plain screen (its table is made in code).
    static std::shared_ptr<VNTableViewController> make();
    // The screen from the interface file "VNTableViewController".
    static std::shared_ptr<VNTableViewController> loadFromNib();

    VNTableViewController() = default;
    explicit VNTableViewController(std::string interfaceName) : VNBaseViewController(std::move(interfaceName)) {}
    ~VNTableViewController() override;

    // Keeps the list and makes this screen each section's parent; does not reload.
    void setSections(std::vector<VNSectionPtr> sections);
    const std::vector<VNSectionPtr>& sections() const { return sections_; }
    // The table (loads the view).
    std::shared_ptr<plat::TableView> tableView();
    // The section at a table section index; none past the list.
    VNSectionPtr sectionAt(long index) const;

    void viewDidLoad() override;
    // The base titles, then the table reloads.
    void languageDidSwitch() override;

    // The table's questions.
    long numberOfSections(plat::TableView&) override;
    long numberOfRows(plat::TableView&, long section) override;
    plat::TableViewCellPtr cellForRow(plat::TableView&, const plat::IndexPath& ip) override;
    std::shared_ptr<plat::View> viewForHeader(plat::TableView&, long section) override;
    std::shared_ptr<plat::View> viewForFooter(plat::TableView&, long section) override;
    double heightForHeader(plat::TableView&, long section) override;
    double heightForFooter(plat::TableView&, long section) override;
    double heightForRow(plat::TableView&, const plat::IndexPath& ip) override;
    void didSelectRow(plat::TableView&, const plat::IndexPath& ip) override;

    std::string kindName() const override { return "TableScreen"; }

private:
    std::vector<VNSectionPtr> sections_;
    std::shared_ptr<plat::TableView> tableView_;
};

using VNTableViewControllerPtr = std::shared_ptr<VNTableViewController>;

}  // namespace qx
