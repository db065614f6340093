#pragma once

#include "../shell/ShellTestFixture.h"
#include "dashboard/DashboardSections.h"
#include "dashboard/LiveReadings.h"
#include "link/BluetoothRadio.h"
#include "link/DeviceManager.h"
#include "link/VNBTLEManager.h"

// Readings set by the test.
class FakeReadings : public qx::LiveReadings {
public:
    double der = 0, de = 0;
    unsigned type = 0;
    std::weak_ptr<qx::DeviceManagerDelegate> delegate;

    double doseRate() const override { return der; }
    double dose() const override { return de; }
    unsigned deviceType() const override { return type; }
    void setDelegate(std::weak_ptr<qx::DeviceManagerDelegate> d) override { delegate = std::move(d); }
    // A new reading arrives.
    void report(double doseRate, double doseValue) {
        der = doseRate;
        de = doseValue;
        if (auto d = delegate.lock()) d->valueUpdate();
    }
};

class DashboardTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        qx::DashboardSections::clear();
    }
    void TearDown() override {
        qx::DashboardSections::clear();
        qx::VNBTLEManager::resetShared();
        qx::DeviceManager::resetShared();
        qx::BluetoothRadio::resetShared();
        ShellTest::TearDown();
    }
};
