#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Driver.h"
#include "TestEnvironment.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"

namespace qxtest {

// The rows of the home screen's table: sections of names, one row with a switch, editable
// rows, and a row that opens a screen.
class HomeRows : public plat::TableViewDataSource, public plat::TableViewDelegate {
public:
    struct Section {
        std::string title, footer;
        std::vector<std::string> rows;
    };
    std::vector<Section> sections{{"Dose Rate", "", {"Threshold", "Sound"}}, {"Dose", "Levels in uSv", {"Threshold"}}};
    std::vector<plat::IndexPath> selected;
    std::shared_ptr<plat::Switch> soundSwitch = std::make_shared<plat::Switch>();
    std::function<void(const plat::IndexPath&)> onSelect;

    long numberOfSections(plat::TableView&) override { return static_cast<long>(sections.size()); }
    long numberOfRows(plat::TableView&, long s) override { return static_cast<long>(at(s).rows.size()); }
    plat::TableViewCellPtr cellForRow(plat::TableView&, const plat::IndexPath& ip) override {
        auto cell = std::make_shared<plat::TableViewCell>();
        cell->textLabel().setText(at(ip.section).rows[static_cast<std::size_t>(ip.row)]);
        if (cell->textLabel().text() == "Sound") cell->setAccessoryView(soundSwitch);
        return cell;
    }
    std::string titleForHeader(plat::TableView&, long s) override { return at(s).title; }
    std::string titleForFooter(plat::TableView&, long s) override { return at(s).footer; }
    bool canEditRow(plat::TableView&, const plat::IndexPath&) override { return true; }
    void commitEditingStyle(plat::TableView& table, plat::EditingStyle, const plat::IndexPath& ip) override {
        auto& rows = sections[static_cast<std::size_t>(ip.section)].rows;
        rows.erase(rows.begin() + ip.row);
        table.deleteRows({ip}, plat::RowAnimation::Fade);
    }
    void didSelectRow(plat::TableView&, const plat::IndexPath& ip) override {
        selected.push_back(ip);
        if (onSelect) onSelect(ip);
    }

private:
    Section& at(long s) { return sections[static_cast<std::size_t>(s)]; }
};

// A window with two tabs: a navigation stack on a home screen (a label, buttons, a field, a
// table, an Edit bar button) and a settings screen (a labelled switch, a segmented control).
class DriverTest : public AppTest {
protected:
    void SetUp() override;
    void TearDown() override;

    qx::app::Outcome run(const std::string& line) { return driver->execute(line); }
    std::shared_ptr<plat::Button> addButton(const std::string& title, double y);

    std::unique_ptr<plat::Window> window;
    std::unique_ptr<qx::app::Driver> driver;
    std::shared_ptr<plat::TabBarController> tabs;
    std::shared_ptr<plat::NavigationController> nav;
    std::shared_ptr<plat::ViewController> home, settings;
    std::shared_ptr<plat::TextField> nameField;
    std::shared_ptr<plat::TableView> table;
    std::shared_ptr<HomeRows> rows = std::make_shared<HomeRows>();
    std::shared_ptr<plat::Switch> settingsSwitch;
    std::shared_ptr<plat::SegmentedControl> segments;
    int startTaps = 0, editTaps = 0;
};

}  // namespace qxtest
