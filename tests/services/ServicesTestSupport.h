#pragma once

#include <memory>
#include <string>

#include "FakeHttpServer.h"
#include "TestEnvironment.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "services/VNRadResponderManager.h"
#include "services/VNZENETManager.h"
#include "shell/Facebook.h"
#include "shell/KestrelAppDelegate.h"
#include "shell/LaunchHooks.h"
#include "shell/OpenURLHandlers.h"
#include "shell/TabScreens.h"
#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Waypoint.h"

namespace qxtest {

// Fresh preferences in English, an empty store, no registrations left from elsewhere, and the
// web clients logged out again afterwards.
class ServicesTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        qx::Settings::resetShared();
        qx::Store::closeDefaultStore();
        qx::Facebook::resetShared();
        qx::LaunchHooks::clear();
        qx::OpenURLHandlers::clear();
        qx::TabScreens::clear();
        plat::Application::shared().reset();
        settings().setLanguage("en");
        qx::Language::setCurrentLanguage();
        drain();
    }
    void TearDown() override {
        drain();
        for (const auto& p : plat::ModalPrompt::visiblePrompts()) p->dismissWithClickedButtonIndex(-1, false);
        qx::VNZENETManager::sharedInstance().dropPendingLists();
        qx::VNRadResponderManager::sharedInstance().reset();
        qx::LaunchHooks::clear();
        qx::OpenURLHandlers::clear();
        qx::TabScreens::clear();
        qx::Facebook::resetShared();
        qx::Store::closeDefaultStore();
        qx::Settings::resetShared();
        AppTest::TearDown();
    }

    qx::Settings& settings() { return qx::Settings::sharedSettings(); }
    qx::Store& store() { return qx::Store::defaultStore(); }
    qx::Context& main() { return store().mainContext(); }

    // A stored waypoint with its reading in today's set (no position when `latitude` is none).
    std::shared_ptr<qx::Waypoint> addWaypoint(double der, plat::Date date, std::optional<double> latitude = 50.45,
                                              double longitude = 30.5234, const char* name = nullptr) {
        auto& c = main();
        auto set = c.fetchFirst<qx::Set>(qx::FetchRequest::of<qx::Set>());
        if (!set) {
            set = c.insertNew<qx::Set>();
            set->setDate(date);
        }
        auto m = c.insertNew<qx::Measurement>();
        m->setDate(date);
        m->setDer(der);
        auto w = c.insertNew<qx::Waypoint>();
        if (name) w->setName(std::string(name));
        if (latitude) {
            w->setLatitude(*latitude);
            w->setLongitude(longitude);
            w->setAltitude(100);
        }
        m->setWaypoint(w);
        set->addMeasurementsObject(m);
        set->addWaypointsObject(w);
        EXPECT_TRUE(c.save());
        return w;
    }

    // A stored reading of the instrument's own history: no waypoint.
    std::shared_ptr<qx::Measurement> addHistoryReading(double der, plat::Date date) {
        auto& c = main();
        auto m = c.insertNew<qx::Measurement>();
        m->setDate(date);
        m->setDer(der);
        EXPECT_TRUE(c.save());
        return m;
    }

    // Counts the notifications of that name while the test runs.
    std::shared_ptr<int> count(const std::string& name) {
        auto n = std::make_shared<int>(0);
        tokens_.push_back(plat::NotificationCenter::defaultCenter().addObserver(name, [n](const plat::Notification&) {
            ++*n;
        }));
        return n;
    }

    FakeHttpServer server;

private:
    std::vector<plat::ObserverToken> tokens_;
};

}  // namespace qxtest
