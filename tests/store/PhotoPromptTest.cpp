#include "StoreTestSupport.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "store/WaypointPhotoPrompt.h"

using namespace qx;

namespace qxtest {

class PhotoPromptTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        window.setRootViewController(std::make_shared<plat::ViewController>());
        window.makeKeyAndVisible();
        CurrentReadingSource::setProvider([] {
            CurrentReading r;
            r.doseRate = 0.42;
            r.dose = 3;
            r.variation = 7;
            r.location = plat::Location(51.5, -0.1275);
            r.deviceName = "VN2450";
            return r;
        });
        WaypointPhotoPrompt::setReportingService({[this] { return connected; },
                                                  [this](double der, const std::optional<plat::Location>& loc,
                                                         plat::Date) { submitted.push_back(loc ? der : -der); }});
    }
    void TearDown() override {
        for (const auto& p : plat::ModalPrompt::visiblePrompts()) p->dismissWithClickedButtonIndex(-1, false);
        WaypointPhotoPrompt::setReportingService({});
        WaypointPhotoPrompt::setPhotoPicker({});
        StoreTest::TearDown();
    }
    std::shared_ptr<Waypoint> onlyWaypoint() {
        auto all = main().fetch<Waypoint>(FetchRequest::of<Waypoint>());
        return all.size() == 1 ? all.front() : nullptr;
    }

    plat::Window window;
    bool connected = false;
    std::vector<double> submitted;
};

TEST_F(PhotoPromptTest, SavesTheReadingOfTheMomentUnderTheTypedName) {
    Waypoint::addWaypointWithPhotoPrompt();
    auto prompt = std::dynamic_pointer_cast<WaypointPhotoPrompt>(plat::ModalPrompt::frontmost());
    ASSERT_TRUE(prompt);
    EXPECT_EQ(prompt->title(), "Add Waypoint");
    EXPECT_EQ(prompt->numberOfButtons(), 2);  // Cancel, Save: the service is not connected
    EXPECT_EQ(prompt->textFieldAtIndex(0)->placeholder(), "Waypoint Name");
    // The reading changes while the user types; the one asked for is stored.
    CurrentReadingSource::setProvider([] { return CurrentReading{}; });
    prompt->textFieldAtIndex(0)->setText("Río <1>");
    ASSERT_TRUE(prompt->pressButton("Save"));
    drain();
    auto w = onlyWaypoint();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->name(), "Río <1>");
    EXPECT_DOUBLE_EQ(w->latitude(), 51.5);
    EXPECT_DOUBLE_EQ(w->measurement()->der(), 0.42);
    EXPECT_DOUBLE_EQ(w->measurement()->variation(), 7);
    EXPECT_EQ(w->measurement()->deviceName(), "VN2450");
    EXPECT_FALSE(w->autoSaved());
    EXPECT_FALSE(w->photoUrl());
    EXPECT_TRUE(w->set());
    EXPECT_TRUE(submitted.empty());
}

TEST_F(PhotoPromptTest, AnEmptyNameLeavesThePointUnnamedAndCancelStoresNothing) {
    Waypoint::addWaypointWithPhotoPrompt();
    ASSERT_TRUE(plat::ModalPrompt::frontmost()->pressButton("Cancel"));
    drain();
    EXPECT_EQ(main().count(FetchRequest::of<Waypoint>()), 0u);

    auto track = Track::startTrack();
    Waypoint::addWaypointWithPhotoPrompt();
    ASSERT_TRUE(plat::ModalPrompt::frontmost()->pressButton("Save"));
    drain();
    auto w = onlyWaypoint();
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->name());
    EXPECT_EQ(w->track(), track);  // a recording track takes the point
}

TEST_F(PhotoPromptTest, TheCheckedBoxAsksForAPhoto) {
    int asked = 0;
    WaypointPhotoPrompt::setPhotoPicker([&](std::function<void(std::optional<std::string>)> done) {
        ++asked;
        done("assets-library://asset/1.JPG");
    });
    Waypoint::addWaypointWithPhotoPrompt();
    auto prompt = std::dynamic_pointer_cast<WaypointPhotoPrompt>(plat::ModalPrompt::frontmost());
    ASSERT_TRUE(prompt);
    EXPECT_TRUE(prompt->photoCheckBox()->performTap());
    EXPECT_TRUE(prompt->photoCheckBox()->isSelected());
    ASSERT_TRUE(prompt->pressButton("Save"));
    drain();
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(onlyWaypoint());
    EXPECT_EQ(onlyWaypoint()->photoUrl(), "assets-library://asset/1.JPG");
}

TEST_F(PhotoPromptTest, ReportsWhenChosenOrWhenEveryPointIsReported) {
    connected = true;
    Waypoint::addWaypointWithPhotoPrompt();
    auto prompt = plat::ModalPrompt::frontmost();
    EXPECT_EQ(prompt->numberOfButtons(), 3);
    ASSERT_TRUE(prompt->pressButton("Save"));
    drain();
    EXPECT_TRUE(submitted.empty());

    Waypoint::addWaypointWithPhotoPrompt();
    ASSERT_TRUE(plat::ModalPrompt::frontmost()->pressButton("Add To RadResponder"));
    drain();
    EXPECT_EQ(submitted, std::vector<double>{0.42});

    connected = false;
    Settings::sharedSettings().setRRUploadMode(1);
    Waypoint::addWaypointWithPhotoPrompt();
    ASSERT_TRUE(plat::ModalPrompt::frontmost()->pressButton("Save"));
    drain();
    EXPECT_EQ(submitted, (std::vector<double>{0.42, 0.42}));
    EXPECT_EQ(main().count(FetchRequest::of<Waypoint>()), 3u);
}

}  // namespace qxtest
