#include "LinkTestSupport.h"
#include "link/DemoWalk.h"
#include "platform/foundation/UserDefaults.h"

using namespace linktest;
using qx::VNBTLEManager;
using qx::VNBTLEPeripheral;

namespace {

class RefreshCounter : public qx::VNBTLEManagerDelegate {
public:
    int refreshes = 0;
    int poweredOff = 0;
    void managerDidRefresh() override { ++refreshes; }
    void managerStatePoweredOff() override { ++poweredOff; }
};

class VNBTLEManagerTest : public LinkTest {
protected:
    std::shared_ptr<qx::DemoInstrument> makeDemo(unsigned type, std::uint32_t serial) {
        return qx::DemoInstrument::make(type, std::make_shared<qx::DemoWalk>(), serial);
    }
    VNBTLEManager& central() { return VNBTLEManager::sharedInstance(); }
    std::optional<std::string> paired() {
        return plat::UserDefaults::standard().optionalStringForKey(VNBTLEManager::kPairedPeripheralUUIDKey);
    }
};

TEST_F(VNBTLEManagerTest, ScanningFindsAdvertisingInstrumentsInDiscoveryOrder) {
    auto delegate = std::make_shared<RefreshCounter>();
    central().setDelegate(delegate);
    auto& radio = qx::BluetoothRadio::shared();
    auto a = makeDemo(5, 1), b = makeDemo(3, 2), c = makeDemo(9, 3);
    radio.advertise(a);
    radio.advertise(b);
    EXPECT_TRUE(central().foundPeripherals().empty());  // not scanning yet
    central().startScanning();
    radio.advertise(c);
    radio.advertise(c);  // advertising twice is one instrument
    const auto& found = central().foundPeripherals();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0]->name(), a->name());
    EXPECT_EQ(found[1]->name(), b->name());
    EXPECT_EQ(found[2]->name(), c->name());
    EXPECT_EQ(delegate->refreshes, 3);

    central().stopScanning();
    radio.advertise(makeDemo(4, 4));
    EXPECT_EQ(central().foundPeripherals().size(), 3u);
}

TEST_F(VNBTLEManagerTest, ConnectingPairsAndOpensTheDataService) {
    auto demo = makeDemo(4, 77);
    qx::BluetoothRadio::shared().advertise(demo);
    central().startScanning();
    auto peripheral = central().foundPeripherals().at(0);
    central().connectPeripheral(peripheral);
    EXPECT_EQ(peripheral->state(), VNBTLEPeripheral::State::connecting);
    EXPECT_EQ(paired(), peripheral->identifier());
    drain();
    ASSERT_TRUE(central().dataService());
    const auto& service = *central().dataService();
    EXPECT_EQ(service.peripheral(), peripheral);
    EXPECT_EQ(service.deviceType(), 4u);
    EXPECT_EQ(peripheral->state(), VNBTLEPeripheral::State::connected);
    EXPECT_EQ(service.manufacturer(), "Vennorlabs");
    EXPECT_EQ(service.modelNumber(), "VN2340A");
    EXPECT_EQ(service.serialNumber(), "77");
    EXPECT_EQ(service.hardwareRevision(), "B");
    EXPECT_EQ(service.firmwareRevision(), demo->version());

    EXPECT_EQ(peripheral->RSSI(), qx::DemoInstrument::kSignalStrength) << "read as the link comes up";
}

TEST_F(VNBTLEManagerTest, DeviceInformationIsEmptyUntilRead) {
    auto service = std::make_shared<qx::VNBTLEDataService>(
        std::make_shared<VNBTLEPeripheral>(std::make_shared<ScriptedSource>(3, "VN2450A$5", "X")));
    service->start({}, nullptr);
    EXPECT_EQ(service->manufacturer(), "");
    EXPECT_EQ(service->modelNumber(), "");
    EXPECT_EQ(service->serialNumber(), "");
    EXPECT_EQ(service->hardwareRevision(), "");
    EXPECT_EQ(service->firmwareRevision(), "");
    EXPECT_EQ(service->deviceType(), 3u);  // known from the advertised name already
}

TEST_F(VNBTLEManagerTest, UsersDisconnectForgetsThePairedPeripheral) {
    NotificationLog present(qx::kDevicePresentNotification);
    launchDemo(3);
    auto peripheral = central().dataService()->peripheral();
    ASSERT_TRUE(paired());
    central().disconnectPeripheral(peripheral);
    drain();
    EXPECT_FALSE(paired());
    EXPECT_FALSE(central().dataService());
    EXPECT_EQ(peripheral->state(), VNBTLEPeripheral::State::disconnected);
    EXPECT_FALSE(demo()->isOpen());
    EXPECT_EQ(present.texts.back(), "");

    // Forgotten: coming back into reach connects nothing.
    qx::LinkLauncher::loseInstrument();
    qx::LinkLauncher::reconnectInstrument();
    drain();
    EXPECT_FALSE(central().dataService());
    EXPECT_EQ(manager().deviceType(), 0u);

    // Disconnecting with nothing connected only forgets.
    central().disconnectPeripheral(nullptr);
    EXPECT_FALSE(paired());
}

TEST_F(VNBTLEManagerTest, LostPairedInstrumentConnectsAgainWhenBack) {
    launchDemo(5);
    auto peripheral = central().dataService()->peripheral();
    qx::LinkLauncher::loseInstrument();
    drain();
    EXPECT_FALSE(central().dataService());
    EXPECT_EQ(peripheral->state(), VNBTLEPeripheral::State::connecting);
    EXPECT_EQ(paired(), peripheral->identifier());
    advance(5);
    qx::LinkLauncher::reconnectInstrument();
    drain();
    ASSERT_TRUE(central().dataService());
    EXPECT_EQ(central().dataService()->peripheral(), peripheral);
    EXPECT_EQ(manager().deviceType(), 5u);
}

TEST_F(VNBTLEManagerTest, PairedInstrumentIsConnectedWhenFoundAtLaunch) {
    auto demo = makeDemo(9, 12);
    plat::UserDefaults::standard().setString(VNBTLEManager::kPairedPeripheralUUIDKey, demo->identifier());
    qx::BluetoothRadio::shared().advertise(demo);
    qx::LinkOptions options;
    options.demo = false;
    ASSERT_TRUE(qx::LinkLauncher::start(options));
    drain();
    EXPECT_EQ(manager().deviceType(), 9u);
    EXPECT_EQ(manager().serialNumberString().get(), "12");
}

TEST_F(VNBTLEManagerTest, ChoosingAnotherInstrumentLetsTheFirstGo) {
    NotificationLog present(qx::kDevicePresentNotification);
    launchDemo(3);
    auto other = makeDemo(6, 9);
    qx::BluetoothRadio::shared().advertise(other);
    auto peripheral = central().foundPeripherals().back();
    ASSERT_EQ(peripheral->identifier(), other->identifier());
    central().stopScanning();
    central().connectPeripheral(peripheral);
    drain();
    EXPECT_FALSE(demo()->isOpen());
    EXPECT_EQ(manager().deviceType(), 6u);
    EXPECT_EQ(paired(), other->identifier());
    EXPECT_EQ(present.texts, (std::vector<std::string>{"VN2450A", "", "VN2340A-GN"}));
}

TEST_F(VNBTLEManagerTest, AdapterSwitchedOffLosesTheInstrumentUntilOnAgain) {
    auto delegate = std::make_shared<RefreshCounter>();
    launchDemo(4);
    central().setDelegate(delegate);
    qx::BluetoothRadio::shared().setPoweredOn(false);
    drain();
    EXPECT_EQ(delegate->poweredOff, 1);
    EXPECT_EQ(manager().deviceType(), 0u);
    qx::BluetoothRadio::shared().setPoweredOn(true);
    drain();
    EXPECT_EQ(manager().deviceType(), 4u);
}

}  // namespace
