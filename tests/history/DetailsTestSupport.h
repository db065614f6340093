#pragma once

#include <memory>

#include "HistoryTestSupport.h"
#include "history/HistoryScreenHooks.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace qxtest {

// History tests with a window whose root screen presents the screens under test.
class DetailsTest : public HistoryTest {
protected:
    void SetUp() override {
        HistoryTest::SetUp();
        window_ = std::make_unique<plat::Window>();
        root_ = std::make_shared<plat::ViewController>();
        window_->setRootViewController(root_);
        window_->makeKeyAndVisible();
        qx::HistoryScreenHooks::setShareHandler([this](const Records& records, unsigned options, Completion done) {
            shared = records;
            sharedOptions = options;
            shareDone = std::move(done);
            ++shares;
        });
    }
    void TearDown() override {
        if (root_->presentedViewController()) root_->dismissViewController(false);
        qx::HistoryScreenHooks::setShareHandler({});
        window_.reset();
        root_.reset();
        HistoryTest::TearDown();
    }

    // Shows a screen over the root, as the lists and the map callouts do.
    void present(const std::shared_ptr<plat::ViewController>& screen) { root_->presentViewController(screen, false); }

    // A reading of the instrument's own history: in the day, without a waypoint.
    std::shared_ptr<qx::Measurement> addReading(const std::shared_ptr<qx::Set>& set, double der, plat::Date date) {
        auto m = main().insertNew<qx::Measurement>();
        m->setDate(date);
        m->setDer(der);
        set->addMeasurementsObject(m);
        return m;
    }

    std::shared_ptr<qx::Track> makeTrack(const std::shared_ptr<qx::Set>& set, plat::Date from) {
        auto track = main().insertNew<qx::Track>();
        set->addTracksObject(track);
        track->setDateFrom(from);
        track->setDateTo(from);
        return track;
    }

    using Records = qx::HistoryScreenHooks::Records;
    using Completion = qx::HistoryScreenHooks::Completion;
    // What the last share handed to the share service.
    Records shared;
    unsigned sharedOptions = 99;
    Completion shareDone;
    int shares = 0;

    std::unique_ptr<plat::Window> window_;
    std::shared_ptr<plat::ViewController> root_;
};

}  // namespace qxtest
