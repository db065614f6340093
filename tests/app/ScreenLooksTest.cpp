// Every screen the program can reach, in every language, is drawn as a person would want to
// see it: no text cut, shrunk past reading, faint, over another or over a picture, no view off
// the screen, no modal screen without a backdrop, no image without a picture and no blank
// control. The walk is tests/app/walks/screens.qx (see ScreenWalk): add a screen there with
// the steps that open it, a `check-layout` and the steps back. scripts/contact-sheet draws
// the screens the same walk reaches.

#include <gtest/gtest.h>

#include <algorithm>

#include "HostFixture.h"
#include "ScreenWalk.h"
#include "platform/ui/LayoutCheck.h"
#include "platform/ui/Window.h"

namespace {

using Kind = plat::LayoutProblem::Kind;

// Faults some screens still show while their drawing is being mended (modal screens drawn
// without a backdrop; texts fainter than 3:1 against what is beneath them): named by
// `check-layout`, not yet required of the walk. Every other kind is.
const std::vector<Kind> kStillBeingMended = {Kind::NoBackdrop, Kind::LowContrast};

// The problems of the shown screen that the walk requires to be gone.
std::string requiredProblems(plat::Window& window) {
    auto problems = plat::LayoutCheck::run(window);
    std::erase_if(problems, [](const plat::LayoutProblem& p) {
        return std::find(kStillBeingMended.begin(), kStillBeingMended.end(), p.kind) != kStillBeingMended.end();
    });
    return plat::LayoutCheck::report(problems);
}

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
        if (step.check) {
            ++checks;
            EXPECT_EQ(requiredProblems(*driver->window()), "") << "screens.qx:" << step.line;
            return true;
        }
        // A step that does not reach its screen makes every later step meaningless.
        EXPECT_TRUE(outcome.ok) << "screens.qx:" << step.line << ": " << step.text << "\n" << outcome.text;
        return outcome.ok;
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
