#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../shell/ShellTestFixture.h"
#include "dashboard/InstrumentControl.h"
#include "platform/ui/Window.h"
#include "shell/VNTableViewController.h"
#include "store/Context.h"
#include "store/Measurement.h"
#include "store/Store.h"

// The connected model as the sections see it; nothing is written to an instrument here.
class FakeInstrument : public qx::InstrumentControl {
public:
    unsigned type = 0;
    unsigned deviceType() const override { return type; }
    void saveDetectorThreshold(int, float) override {}
    void resetStat() override {}
    void setCoeffN(float) override {}
    void saveDeviceParams() override {}
    void setCalibrationValue(std::uint16_t) override {}
};

// A plain table screen in a window hosting the sections under test, a fresh store, and a fake
// instrument.
class FilterSectionsTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        qx::Store::closeDefaultStore();
        qx::InstrumentControl::setShared(instrument);
        window = std::make_unique<plat::Window>();
        host = qx::VNTableViewController::make();
        window->setRootViewController(host);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        drain();
        window.reset();
        host.reset();
        qx::InstrumentControl::setShared(nullptr);
        qx::Store::closeDefaultStore();
        ShellTest::TearDown();
    }

    void show(std::vector<qx::VNSectionPtr> sections) {
        host->setSections(std::move(sections));
        host->tableView()->reloadData();
    }
    template <class T>
    std::shared_ptr<T> showNew() {
        auto section = qx::VNSection::create<T>();
        show({section});
        return section;
    }
    plat::ViewController* visible() { return window->visibleViewController(); }
    template <class T>
    T* visibleAs() {
        return dynamic_cast<T*>(visible());
    }
    // What is on disk, as opposed to the preferences in memory.
    plat::UserDefaults saved() { return plat::UserDefaults(plat::UserDefaults::standard().file()); }

    // Stores one reading per entry; none stands for a reading without a serial.
    void storeReadings(const std::vector<std::optional<std::string>>& serials) {
        ASSERT_TRUE(qx::Store::defaultStore().saveWithBlockAndWait([&](qx::Context& c) {
            for (const auto& serial : serials) {
                auto m = c.insertNew<qx::Measurement>();
                m->setDeviceSerial(serial);
            }
        }));
        drain();
    }

    // Renders the view to a PNG in QX_RENDER_DIR (or the test's data folder) and checks that
    // it drew something.
    void render(plat::View& view, const std::string& name) {
        const char* dir = std::getenv("QX_RENDER_DIR");
        const std::filesystem::path folder = dir ? std::filesystem::path(dir) : dataDir();
        std::string error;
        ASSERT_TRUE(view.renderToPng(folder / (name + ".png"), 1, &error)) << error;
        EXPECT_GT(std::filesystem::file_size(folder / (name + ".png")), 1000u);
    }

    std::shared_ptr<FakeInstrument> instrument = std::make_shared<FakeInstrument>();
    std::unique_ptr<plat::Window> window;
    std::shared_ptr<qx::VNTableViewController> host;
};
