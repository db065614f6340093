#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/ui/Control.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/LayoutCheck.h"
#include "platform/ui/Switch.h"

namespace {

using namespace plat;
using Kind = LayoutProblem::Kind;

std::shared_ptr<Label> label(const std::string& text, Rect frame) {
    auto l = std::make_shared<Label>(frame, text);
    l->setFont(Font::boldSystem(17));
    return l;
}

// A view that draws its text in one line whatever its width.
class Caption : public View {
public:
    Caption(const Rect& frame, std::string text) : View(frame), text_(std::move(text)) {}
    void drawRect(DrawingContext& ctx, const Rect& rect) override {
        ctx.drawText(text_, rect, Font::boldSystem(17), Color::black());
    }

private:
    std::string text_;
};

// A sheet over the screen: what lies behind it is not judged.
class Sheet : public View {
public:
    using View::View;
    bool isModalOverlay() const override { return true; }
};

std::vector<Kind> kinds(const std::vector<LayoutProblem>& problems) {
    std::vector<Kind> out;
    for (const auto& p : problems) out.push_back(p.kind);
    return out;
}

TEST(LayoutCheck, ACleanScreenHasNoProblems) {
    View root(Rect{0, 0, 320, 200});
    auto title = label("Sound alarm", {15, 0, 200, 44});
    title->setShadowColor(Color::white());  // a text and its own shadow are not two texts
    title->setShadowOffset({0, 1});
    root.addSubview(title);
    root.addSubview(std::make_shared<Switch>(Rect{259, 6, 51, 31}));
    root.addSubview(label("Second row", {15, 44, 200, 44}));
    // Text cut by a clipping parent stays inside what can be seen.
    auto clip = std::make_shared<View>(Rect{0, 100, 100, 44});
    clip->setClipsToBounds(true);
    clip->addSubview(label("A long text cut by its row", {15, 0, 300, 44}));
    root.addSubview(clip);
    const auto problems = LayoutCheck::run(root);
    EXPECT_TRUE(problems.empty()) << LayoutCheck::report(problems);
}

TEST(LayoutCheck, NamesTextsOutsideOverAndUnderOtherViews) {
    View root(Rect{0, 0, 320, 300});
    root.addSubview(std::make_shared<Caption>(Rect{15, 0, 100, 44}, "Auto Save Period in sec"));  // too long
    root.addSubview(label("Server Address", {15, 50, 160, 44}));
    root.addSubview(label("http://zenet", {90, 50, 200, 44}));          // over its neighbour
    root.addSubview(label("Sound OFF by Shake", {15, 100, 280, 44}));   // runs under the switch
    root.addSubview(std::make_shared<Switch>(Rect{150, 106, 51, 31}));
    root.addSubview(label("Hidden", {15, 150, 100, 44}));                // wholly under an opaque view
    auto cover = std::make_shared<View>(Rect{0, 150, 320, 44});
    cover->setBackgroundColor(Color::white());
    root.addSubview(cover);

    const auto problems = LayoutCheck::run(root);
    ASSERT_EQ(kinds(problems), (std::vector<Kind>{Kind::TextOutsideView, Kind::TextCovered, Kind::TextsOverlap}))
        << LayoutCheck::report(problems);
    EXPECT_EQ(problems[0].text, "Auto Save Period in sec");
    EXPECT_EQ(problems[1].text, "Sound OFF by Shake");
    EXPECT_EQ(problems[1].other, "Switch");
    EXPECT_EQ(problems[2].text, "Server Address");
    EXPECT_EQ(problems[2].other, "http://zenet");
    EXPECT_NE(LayoutCheck::report(problems).find("\"Server Address\" and \"http://zenet\" are drawn over each other"),
              std::string::npos);
}

TEST(LayoutCheck, FindsMissingPicturesAndBlankControls) {
    View root(Rect{0, 0, 320, 200});
    auto missing = std::make_shared<ImageView>(Image::named("no-such-picture"));
    missing->setFrame({10, 10, 30, 30});
    root.addSubview(missing);
    auto drawn = std::make_shared<ImageView>(Image::withPixels(PixelImage(4, 4), "drawn"));
    drawn->setFrame({50, 10, 30, 30});
    root.addSubview(drawn);
    root.addSubview(std::make_shared<Control>(Rect{10, 60, 100, 40}));  // draws nothing at all
    auto tinted = std::make_shared<Control>(Rect{10, 110, 100, 40});
    tinted->setBackgroundColor(Color::red());
    root.addSubview(tinted);

    const auto problems = LayoutCheck::run(root);
    ASSERT_EQ(kinds(problems), (std::vector<Kind>{Kind::ImageMissing, Kind::DrawsNothing})) << LayoutCheck::report(problems);
    EXPECT_EQ(problems[0].text, "no-such-picture");
}

TEST(LayoutCheck, OnlyTheModalOverlayIsJudgedOverTheScreen) {
    View root(Rect{0, 0, 320, 200});
    root.addSubview(label("Behind", {15, 0, 100, 44}));
    root.addSubview(label("Behind too", {15, 0, 100, 44}));
    auto sheet = std::make_shared<Sheet>(Rect{0, 100, 320, 100});
    sheet->addSubview(label("Cancel", {15, 0, 100, 44}));
    sheet->addSubview(label("OK", {40, 0, 100, 44}));
    root.addSubview(sheet);

    const auto problems = LayoutCheck::run(root);
    ASSERT_EQ(kinds(problems), std::vector<Kind>{Kind::TextsOverlap}) << LayoutCheck::report(problems);
    EXPECT_EQ(problems[0].text, "Cancel");
}

}  // namespace
