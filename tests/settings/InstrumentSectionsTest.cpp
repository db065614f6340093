#include "SettingsTestFixture.h"
#include "dashboard/DashboardController.h"
#include "dashboard/VNBTLETableViewController.h"
#include "link/DemoWalk.h"
#include "settings/SettingsLayer.h"
#include "settings/VNBTLEInfoSection.h"
#include "settings/VNBluetoothDevicesSection.h"
#include "settings/VNBluetoothTableHeader.h"
#include "settings/VNDeviceSettingSection.h"
#include "settings/VNPeripheralTableViewCell.h"

using qx::VNDeviceSettingSection;

namespace {

class InstrumentSectionsTest : public SettingsTest {
protected:
    qx::DeviceManager& device() { return qx::DeviceManager::sharedDeviceManager(); }
    qx::VNBTLEManager& central() { return qx::VNBTLEManager::sharedInstance(); }
    std::shared_ptr<VNDeviceSettingSection> deviceSection() {
        return showNew<VNDeviceSettingSection>(central().dataService());
    }
    // An accessory instrument of `type` that records what it is sent.
    std::shared_ptr<linktest::ScriptedSource> plugScripted(unsigned type) {
        auto source = std::make_shared<linktest::ScriptedSource>(type);
        device();
        qx::AccessoryPort::shared().plugIn(source);
        source->report(qx::event::Connected{});
        drain();
        source->sent.clear();
        return source;
    }
    std::shared_ptr<qx::DemoInstrument> advertise(unsigned type, std::uint32_t serial) {
        auto demo = qx::DemoInstrument::make(type, std::make_shared<qx::DemoWalk>(), serial);
        qx::BluetoothRadio::shared().advertise(demo);
        return demo;
    }
};

TEST_F(InstrumentSectionsTest, DeviceRowsFollowTheModel) {
    connectDemo(8);
    auto section = deviceSection();
    EXPECT_EQ(rowTexts(*section), (std::vector<std::string>{"Model:", "Serial Number:", "Hardware:", "Firmware:"}))
        << "the model without a battery report has no Battery row";
    const auto& service = *central().dataService();
    EXPECT_EQ(detailTexts(*section), (std::vector<std::string>{service.modelNumber(), service.serialNumber(),
                                                               service.hardwareRevision(), service.firmwareRevision()}));
    EXPECT_FALSE(service.modelNumber().empty());
    for (const auto& row : section->rows()) EXPECT_EQ(row->accessoryType(), plat::AccessoryType::None);
    resetLink();

    connectDemo(9);
    section = deviceSection();
    ASSERT_EQ(section->numRows(), 5u);
    EXPECT_EQ(section->rows().back(), section->batteryCell());
    EXPECT_EQ(section->batteryCell()->textLabel().text(), "Battery");
    EXPECT_EQ(section->batteryCell()->detailTextLabel().text(), std::to_string(device().batteryLevel().get()) + "%");

    // Without a data service a Bluetooth LE instrument has no rows.
    EXPECT_EQ(showNew<VNDeviceSettingSection>()->numRows(), 0u);
}

TEST_F(InstrumentSectionsTest, AccessoryModelsShowOneRow) {
    connectDemo(2);
    auto section = deviceSection();
    ASSERT_EQ(section->numRows(), 1u);
    EXPECT_EQ(section->rows()[0], section->batteryCell());
    resetLink();

    plugScripted(1);
    section = deviceSection();
    EXPECT_EQ(rowTexts(*section), std::vector<std::string>{"Reset Detector to Factory Defaults"});
    EXPECT_TRUE(std::dynamic_pointer_cast<qx::VNActionTableViewCell>(section->rows()[0]));
}

TEST_F(InstrumentSectionsTest, BatteryDetailFollowsTheInstrumentUntilTheSectionGoes) {
    connectDemo(3);
    device().batteryLevel().set(80);
    auto section = deviceSection();
    EXPECT_EQ(section->batteryCell()->detailTextLabel().text(), "80%");
    device().batteryLevel().set(75);
    EXPECT_EQ(section->batteryCell()->detailTextLabel().text(), "75%");

    const auto watching = device().batteryLevel().subscriberCount();
    section->initRows();
    EXPECT_EQ(device().batteryLevel().subscriberCount(), watching) << "one subscription however often rows are built";
    host->setSections({});
    section.reset();
    EXPECT_EQ(device().batteryLevel().subscriberCount(), watching - 1);
}

TEST_F(InstrumentSectionsTest, FactoryResetAsksAndOnlyResetSendsIt) {
    auto source = plugScripted(1);
    auto section = deviceSection();
    section->resetDeviceCell()->onSelectCell();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), "Are you sure?");
    EXPECT_EQ(alert()->message(), "Reset device settings to factory defaults?");
    ASSERT_TRUE(alert()->pressButton("Cancel"));
    drain();
    EXPECT_TRUE(source->sentOf<qx::command::FactoryDefaults>().empty());

    section->resetDeviceCell()->onSelectCell();
    ASSERT_TRUE(alert()->pressButton("Reset"));
    drain();
    EXPECT_EQ(source->sentOf<qx::command::FactoryDefaults>().size(), 1u);
}

TEST_F(InstrumentSectionsTest, DetailPageShowsTheConnectedInstrumentAndDisconnects) {
    connectDemo(5);
    auto service = central().dataService();
    auto info = qx::VNSection::create<qx::VNBTLEInfoSection>(service);
    host->setSections({info});
    EXPECT_EQ(info->title(), "    Detector Info");
    EXPECT_EQ(rowTexts(*info), (std::vector<std::string>{"Manufaturer Name:", "Model:", "Serial Number:", "Hardware:",
                                                         "Firmware:", "RSSI:", "Disconnect"}));
    EXPECT_EQ(info->manufacturerCell()->detailTextLabel().text(), service->manufacturer());
    EXPECT_EQ(info->firmwareRevisionCell()->detailTextLabel().text(), service->firmwareRevision());
    info->updateRSSI(-61);
    EXPECT_EQ(info->rssiCell()->detailTextLabel().text(), "-61 db");
    EXPECT_EQ(qx::VNSection::create<qx::VNBTLEInfoSection>()->numRows(), 0u);

    info->disconnectCell()->onSelectCell();
    drain();
    EXPECT_EQ(central().dataService(), nullptr);
    EXPECT_EQ(device().deviceType(), 0u);
    EXPECT_FALSE(central().pairedPeripheralIdentifier()) << "the user's disconnect forgets the instrument";
}

TEST_F(InstrumentSectionsTest, InstrumentListShowsFoundInstrumentsAfterDemoMode) {
    qx::registerSettingsLayer();
    advertise(3, 41);
    advertise(9, 42);
    central().startScanning();
    auto list = std::dynamic_pointer_cast<qx::VNBluetoothDevicesSection>(qx::DashboardSections::makeInstrumentListSection());
    ASSERT_TRUE(list) << "the settings give the dashboard its instrument list";
    show(list);
    EXPECT_EQ(rowTexts(*list), (std::vector<std::string>{"Demo Mode", "VN2450A", "VN2110BT"}))
        << "names are cut before the \"$\"";
    EXPECT_EQ(list->rows()[0]->detailTextLabel().text(), "Without radiometric data");
    EXPECT_EQ(list->rows()[1]->detailTextLabel().text(), "Not Connected");
    EXPECT_EQ(list->footer(), "");
    EXPECT_EQ(list->headerHeight(), 32);
    EXPECT_EQ(list->footerHeight(), 24);
    auto header = std::dynamic_pointer_cast<qx::VNBluetoothTableHeader>(list->viewForHeader());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->titleLabel().text(), "Discovery instruments");
    EXPECT_TRUE(header->activityIndicator().isAnimating());
    EXPECT_EQ(qx::VNBluetoothDevicesSection::displayName("VN2340A-GN$1234"), "VN2340A-GN");
    EXPECT_EQ(qx::VNBluetoothDevicesSection::displayName("$"), "");
}

TEST_F(InstrumentSectionsTest, ChoosingInstrumentsFromTheDashboardList) {
    qx::registerSettingsLayer();
    qx::LinkOptions noDemo;
    noDemo.demo = false;
    ASSERT_TRUE(qx::LinkLauncher::start(noDemo));
    auto dashboard = qx::DashboardController::make();
    window->setRootViewController(dashboard);
    advertise(4, 51);
    advertise(7, 52);
    auto screen = dashboard->showInstrumentList();
    ASSERT_TRUE(screen);
    auto list = std::dynamic_pointer_cast<qx::VNBluetoothDevicesSection>(screen->sections().at(0));
    ASSERT_TRUE(list);
    ASSERT_EQ(list->numRows(), 3u) << "scanning found both";

    // Another instrument: its spinner turns, it connects and the list closes.
    auto row = std::dynamic_pointer_cast<qx::VNPeripheralTableViewCell>(list->rows()[2]);
    ASSERT_TRUE(row);
    ASSERT_TRUE(screen->tableView()->userSelectRow({0, 2}));
    EXPECT_TRUE(row->activityIndicator().isAnimating());
    EXPECT_EQ(window->visibleViewController(), dashboard.get());
    EXPECT_EQ(central().delegate(), qx::DeviceManager::sharedPointer());
    EXPECT_FALSE(central().isScanning());
    drain();
    EXPECT_EQ(device().deviceType(), 7u);

    // The connected one opens its detail page.
    screen = dashboard->showInstrumentList();
    list = std::dynamic_pointer_cast<qx::VNBluetoothDevicesSection>(screen->sections().at(0));
    ASSERT_EQ(list->rows()[2]->detailTextLabel().text(), "Connected");
    snapshot(*screen, "instrument-list");
    EXPECT_EQ(list->rows()[2]->accessoryType(), plat::AccessoryType::DetailButton);
    ASSERT_TRUE(screen->tableView()->userSelectRow({0, 2}));
    auto* page = shown<qx::VNTableViewController>();
    ASSERT_NE(page, screen.get());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->title(), "VN2340A-GNM");
    EXPECT_TRUE(std::dynamic_pointer_cast<qx::VNBTLEInfoSection>(page->sections().at(0)));
    page->onBack();
    EXPECT_EQ(window->visibleViewController(), screen.get());

    // Demo Mode lets the instrument go and closes the list.
    ASSERT_TRUE(screen->tableView()->userSelectRow({0, 0}));
    drain();
    EXPECT_EQ(window->visibleViewController(), dashboard.get());
    EXPECT_EQ(device().deviceType(), 0u);
    EXPECT_FALSE(central().pairedPeripheralIdentifier());
}

}  // namespace
