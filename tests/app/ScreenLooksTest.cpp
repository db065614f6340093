// Every screen the program can reach, in every language, is drawn as a person would want to
// see it: no text cut, shrunk past reading, over another or over a picture, no view off the
// screen, no text too faint to read, no modal screen without a backdrop, no image without a
// picture and no blank control. The walk is
// tests/app/walks/screens.qx (see ScreenWalk): add a screen there with the steps that open it,
// a `check-layout` and the steps back. scripts/contact-sheet draws the screens it reaches.

#include <gtest/gtest.h>

#include "HostFixture.h"
#include "ScreenWalk.h"

namespace {

class ScreenLooks : public qxtest::HostTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ScreenLooks, EveryReachableScreenIsDrawnCleanly) {
    qx::LinkOptions link;
    link.demoDeviceType = 2;
    launch(link);
    qx::app::ScreenWalk walk;
    std::string error;
    ASSERT_TRUE(walk.load(QX_SOURCE_DIR "/tests/app/walks/screens.qx", error)) << error;
    int checks = 0;
    walk.run(*driver, GetParam(), [&](const qx::app::ScreenWalk::Step& step, const qx::app::Outcome& outcome) {
        if (step.check) ++checks;
        EXPECT_TRUE(outcome.ok) << "screens.qx:" << step.line << ": " << step.text << "\n" << outcome.text;
        // A step that does not reach its screen makes every later step meaningless.
        return outcome.ok || step.check;
    });
    EXPECT_GT(checks, 10);
}

INSTANTIATE_TEST_SUITE_P(Languages, ScreenLooks, ::testing::Values("en", "ja", "zh-Hans", "ru", "fr", "de"),
                         [](const ::testing::TestParamInfo<const char*>& language) {
                             std::string name = language.param;
                             std::erase(name, '-');
                             return name;
                         });

}  // namespace
