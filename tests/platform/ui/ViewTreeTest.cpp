#include <gtest/gtest.h>

#include <cctype>
#include <algorithm>
#include <cmath>

#include "TestEnvironment.h"
#include "platform/graphics/DrawingContext.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Slider.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/Window.h"

namespace {

using namespace plat;

std::vector<long> tags(const View& v) {
    std::vector<long> out;
    for (const auto& s : v.subviews()) out.push_back(s->tag());
    return out;
}

std::shared_ptr<View> tagged(long tag, Rect frame = {}) {
    auto v = std::make_shared<View>(frame);
    v->setTag(tag);
    return v;
}

TEST(ViewTreeTest, SubviewsKeepTheirOrderThroughMovesAndReinsertion) {
    auto root = tagged(0);
    auto a = tagged(1), b = tagged(2), c = tagged(3);
    root->addSubview(a);
    root->addSubview(b);
    root->addSubview(c);
    root->bringSubviewToFront(a.get());
    EXPECT_EQ(tags(*root), (std::vector<long>{2, 3, 1}));
    root->sendSubviewToBack(c.get());
    EXPECT_EQ(tags(*root), (std::vector<long>{3, 2, 1}));
    root->insertSubviewAbove(c, b.get());  // already a subview: moves just above b
    EXPECT_EQ(tags(*root), (std::vector<long>{2, 3, 1}));
    root->insertSubviewBelow(a, b.get());
    EXPECT_EQ(tags(*root), (std::vector<long>{1, 2, 3}));
    root->addSubview(b);  // adding again brings to front
    EXPECT_EQ(tags(*root), (std::vector<long>{1, 3, 2}));

    auto other = tagged(9);
    other->addSubview(b);  // leaves its old superview
    EXPECT_EQ(tags(*root), (std::vector<long>{1, 3}));
    EXPECT_EQ(b->superview(), other.get());

    a->addSubview(root);  // a cycle is refused
    EXPECT_EQ(root->superview(), nullptr);
    EXPECT_TRUE(a->subviews().empty());
    EXPECT_EQ(root->viewWithTag(3), c.get());
    EXPECT_EQ(root->viewWithTag(0), root.get());
    EXPECT_EQ(root->viewWithTag(42), nullptr);
}

TEST(ViewTreeTest, RemovedViewsSurviveWhileHeldAndLoseTheirSuperview) {
    auto root = std::make_shared<View>();
    std::weak_ptr<View> weak;
    View* raw = nullptr;
    {
        auto child = std::make_shared<View>();
        weak = child;
        raw = child.get();
        root->addSubview(child);
    }
    EXPECT_FALSE(weak.expired());  // the superview owns it
    raw->removeFromSuperview();
    EXPECT_TRUE(weak.expired());

    auto parent = std::make_shared<View>();
    auto kept = std::make_shared<View>();
    parent->addSubview(kept);
    parent.reset();
    EXPECT_EQ(kept->superview(), nullptr);
}

// Many subviews taken out at once (a map dropping its pins): the rest keep their order, the
// removed ones are told they left the window and go once nothing else holds them; views of
// another superview, repeated views and none are left alone.
TEST(ViewTreeTest, ManySubviewsLeaveInOnePassAndTheRestKeepTheirOrder) {
    struct Watched : View {
        int windowChanges = 0;
        void didMoveToWindow() override { ++windowChanges; }
    };
    auto window = std::make_shared<Window>(Rect{0, 0, 320, 480});
    auto root = std::make_shared<View>();
    window->addSubview(root);
    std::vector<std::shared_ptr<Watched>> children;
    for (int i = 0; i < 10; ++i) {
        children.push_back(std::make_shared<Watched>());
        children.back()->setTag(i);
        root->addSubview(children.back());
    }
    auto stranger = std::make_shared<View>();
    auto elsewhere = std::make_shared<View>();
    elsewhere->addSubview(stranger);
    std::weak_ptr<View> released = children[3];
    std::vector<std::shared_ptr<View>> leaving{children[1], children[3], children[3], children[8], stranger, nullptr};
    for (auto* c : {&children[1], &children[8]}) (*c)->windowChanges = 0;
    children[3]->windowChanges = 0;
    root->removeSubviews(leaving);

    std::vector<long> left;
    for (const auto& v : root->subviews()) left.push_back(v->tag());
    EXPECT_EQ(left, (std::vector<long>{0, 2, 4, 5, 6, 7, 9}));
    EXPECT_EQ(children[1]->superview(), nullptr);
    EXPECT_EQ(children[1]->window(), nullptr);
    EXPECT_EQ(children[1]->windowChanges, 1);
    EXPECT_EQ(children[3]->windowChanges, 1);  // named twice, told once
    EXPECT_EQ(stranger->superview(), elsewhere.get());
    leaving.clear();
    children[3].reset();
    EXPECT_TRUE(released.expired());
}

TEST(ViewTreeTest, PointsConvertThroughFramesAndScrollOffsets) {
    auto root = std::make_shared<View>(Rect{0, 0, 320, 480});
    auto scroll = std::make_shared<ScrollView>(Rect{10, 20, 100, 100});
    scroll->setContentSize({100, 400});
    auto inner = std::make_shared<View>(Rect{5, 150, 10, 10});
    root->addSubview(scroll);
    scroll->addSubview(inner);
    EXPECT_EQ(inner->convertPoint({1, 1}, root.get()), (Point{16, 171}));
    EXPECT_TRUE(scroll->userScroll({0, 120}));
    EXPECT_EQ(inner->convertPoint({1, 1}, root.get()), (Point{16, 51}));
    EXPECT_EQ(root->convertPoint({16, 51}, inner.get()), (Point{1, 1}));
    EXPECT_EQ(scroll->frame(), (Rect{10, 20, 100, 100}));  // scrolling moves the bounds only
}

TEST(ViewTreeTest, ScrollingByThePersonStaysInsideTheContentAndSnapsToPages) {
    ScrollView scroll(Rect{0, 0, 100, 50});
    scroll.setContentSize({300, 50});
    EXPECT_TRUE(scroll.userScroll({500, 30}));
    EXPECT_EQ(scroll.contentOffset(), (Point{200, 0}));
    scroll.setPagingEnabled(true);
    EXPECT_TRUE(scroll.userScroll({140, 0}));
    EXPECT_EQ(scroll.contentOffset(), (Point{100, 0}));
    scroll.scrollRectToVisible(Rect{10, 0, 20, 10}, true);
    EXPECT_EQ(scroll.contentOffset(), (Point{10, 0}));
    EXPECT_TRUE(scroll.lastScrollAnimated());
    scroll.setScrollEnabled(false);
    EXPECT_FALSE(scroll.userScroll({0, 0}));
}

TEST(ViewTreeTest, VisibilityAndTouchesFollowTheWholeChain) {
    auto root = std::make_shared<View>();
    auto mid = std::make_shared<View>();
    auto button = Button::make(ButtonType::System);
    root->addSubview(mid);
    mid->addSubview(button);
    int taps = 0;
    button->addAction(TouchUpInside, [&](Control&) { ++taps; });
    EXPECT_TRUE(button->performTap());
    mid->setAlpha(0);
    EXPECT_FALSE(button->isEffectivelyVisible());
    EXPECT_FALSE(button->performTap());
    mid->setAlpha(1);
    root->setUserInteractionEnabled(false);
    EXPECT_TRUE(button->isEffectivelyVisible());
    EXPECT_FALSE(button->performTap());
    EXPECT_EQ(taps, 1);
    mid->setAlpha(7);
    EXPECT_EQ(mid->alpha(), 1.0);
}

TEST(ViewTreeTest, ActionsRunInOrderFromASnapshotAndCanBeRemovedByEvent) {
    auto button = Button::make(ButtonType::Custom);
    std::vector<std::string> ran;
    Control::ActionId second = 0;
    button->addAction(TouchUpInside, [&](Control& c) {
        ran.push_back("first");
        c.removeAction(second);  // still runs this time: actions run from a snapshot
    });
    second = button->addAction(TouchUpInside | ValueChanged, [&](Control&) { ran.push_back("second"); });
    button->performTap();
    button->performTap();
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "second", "first"}));
    button->addAction(ValueChanged | TouchUpInside, [&](Control&) { ran.push_back("third"); });
    button->removeActions(TouchUpInside);
    EXPECT_EQ(button->actionCount(TouchUpInside), 0u);
    EXPECT_EQ(button->actionCount(ValueChanged), 1u);
}

TEST(ViewTreeTest, ButtonStatesFallBackToTheNormalState) {
    auto b = Button::make(ButtonType::Custom);
    b->setTitle("Record");
    b->setTitle("Recording", ControlState::Selected);
    b->setBackgroundImage(Image::named("btn-track"));
    EXPECT_EQ(b->currentTitle(), "Record");
    b->setSelected(true);
    EXPECT_EQ(b->currentTitle(), "Recording");
    EXPECT_EQ(b->currentBackgroundImage()->name(), "btn-track");
    b->setEnabled(false);
    EXPECT_EQ(b->currentTitle(), "Record");  // disabled wins over selected
    EXPECT_EQ(b->describeLine(), "Button \"Record\" (disabled) (selected)");
    auto info = Button::make(ButtonType::DetailDisclosure);
    EXPECT_EQ(info->frame().size, (Size{22, 22}));
    EXPECT_EQ(info->describeLine(), "Button (i)");
}

TEST(ViewTreeTest, EveryKindOfLineEndIsABlankOnOneLineAndABreakOnMany) {
    for (const std::string end : {"\n", "\r\n", "\r"}) {
        const std::string name = "Old mill" + end + "(ruin) Dec 5, 2026";
        Label one(Rect{0, 0, 300, 20}, name);
        one.setFont(Font::system(12));
        EXPECT_EQ(one.layoutLines(300), (std::vector<std::string>{"Old mill (ruin) Dec 5, 2026"}));
        // Cut short, the line ends in an ellipsis; no line end is ever drawn (a CR is a box).
        Label narrow(Rect{0, 0, 90, 20}, name);
        narrow.setFont(Font::system(12));
        DrawingContext drawn;
        narrow.drawRect(drawn, narrow.bounds());
        const std::string text = drawn.commandsOf(DrawOp::DrawText).at(0).text;
        EXPECT_TRUE(text.starts_with("Old mill ") && text.ends_with("\u2026")) << text;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
        Label many(Rect{0, 0, 300, 60}, name);
        many.setFont(Font::system(12));
        many.setNumberOfLines(0);
        EXPECT_EQ(many.layoutLines(300), (std::vector<std::string>{"Old mill", "(ruin) Dec 5, 2026"}));
    }
}

TEST(ViewTreeTest, OnlyALongWordBreaksAcrossLinesAndAUnitStaysWhole) {
    const Font font = Font::system(12);
    Label label;
    label.setFont(font);
    label.setNumberOfLines(0);
    auto lines = [&](const std::string& text, double width) {
        label.setText(text);
        return label.layoutLines(width);
    };
    // A time that just fits a line moves there whole, its AM with it.
    EXPECT_EQ(lines("Dec 7, 2026, 9:01:00 AM", font.widthOf("9:01:00 AM") + 0.5).back(), "9:01:00 AM");
    // A word of a few letters, a number or a time wider than the line is not broken at all.
    for (const std::string whole : {"Skipped", "1796664054", "10:00:40"}) {
        EXPECT_EQ(lines(whole, font.widthOf(whole) / 2), std::vector<std::string>{whole});
    }
    // A unit keeps the part after its slash.
    for (const auto& line : lines("0.10 \u00B5Sv/h (47.3779, 8.5402)", font.widthOf("0.10 \u00B5Sv/") + 1)) {
        EXPECT_FALSE(line.ends_with("/")) << line;
    }
    // A long word breaks, with a hyphen between its letters.
    const auto word = lines("Dosisleistungseinstellungen", 80);
    ASSERT_GT(word.size(), 1u);
    EXPECT_TRUE(word.front().ends_with("-")) << word.front();
}

TEST(ViewTreeTest, LabelsWrapAtTheirWidthAndStopAtTheirLineCount) {
    Label label(Rect{0, 0, 100, 20}, "one two three four five");
    label.setFont(Font::system(10));
    EXPECT_EQ(label.layoutLines(100), (std::vector<std::string>{"one two three four five"}));  // one line
    label.setNumberOfLines(0);
    EXPECT_EQ(label.layoutLines(60), (std::vector<std::string>{"one two", "three four", "five"}));
    label.setNumberOfLines(2);
    EXPECT_EQ(label.layoutLines(60).size(), 2u);
    // A long word with no break opportunity breaks at any character, every piece within the
    // width; a break between two letters takes a hyphen. The number stays whole on its line.
    label.setNumberOfLines(0);
    const std::string name = "Preferences.json.corrupt-1796664054";
    label.setText("kept as " + name);
    const auto lines = label.layoutLines(66);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "kept as");
    EXPECT_EQ(lines.back(), "1796664054");
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_LE(label.font().widthOf(lines[i]), 66) << lines[i];
        if (i) joined += lines[i];
        if (i && i + 1 < lines.size() && lines[i].ends_with("-") && std::isalpha(static_cast<unsigned char>(lines[i + 1][0]))) {
            joined.pop_back();
        }
    }
    EXPECT_EQ(joined, name);
    // A two-line label that may shrink takes its second line first, then shrinks until both
    // lines hold the text, before anything is cut.
    Label row(Rect{0, 0, 120, 44}, "Use dose rate settings now");
    row.setFont(Font::boldSystem(17));
    row.setNumberOfLines(2);
    row.setAdjustsFontSizeToFitWidth(true);
    row.setMinimumScaleFactor(0.5);
    DrawingContext drawn;
    row.drawRect(drawn, row.bounds());
    const auto& commands = drawn.commands();
    const auto found = std::find_if(commands.begin(), commands.end(), [](const DrawCommand& c) { return c.op == DrawOp::DrawText; });
    ASSERT_NE(found, commands.end());
    const DrawCommand& text = *found;
    EXPECT_LT(text.font.size, 17);
    EXPECT_GE(text.font.size, 9);
    EXPECT_EQ(text.text.find("\u2026"), std::string::npos) << text.text;
    EXPECT_NE(text.text.find('\n'), std::string::npos) << text.text;
    label.setText("a\nbb");
    label.setNumberOfLines(0);
    label.sizeToFit();
    EXPECT_EQ(label.frame().size, (Size{13, 24}));
}

// What a label draws in its frame.
std::string drawnText(Label& label, double* size = nullptr) {
    DrawingContext ctx;
    label.drawRect(ctx, label.bounds());
    const auto texts = ctx.commandsOf(DrawOp::DrawText);
    if (texts.empty()) return {};
    if (size) *size = texts[0].font.size;
    return texts[0].text;
}

TEST(ViewTreeTest, LabelsBreakLinesWhereTheirLanguageAllows) {
    struct Case {
        std::string text;
        double width;
        bool shrinks;
        std::string lines;  // as drawn
    };
    const std::vector<Case> cases = {
        // A closing mark stays with the text before it.
        {"測定値を記録しますか？", 10 * 17 + 4, false, "測定値を記録します\nか？"},
        {"線量率の設定を使用する。", 11 * 17 + 4, false, "線量率の設定を使用す\nる。"},
        // A number keeps its unit on its line.
        {"Erster Schwellenwert 0.30 µSv/h", 200, false, "Erster Schwellenwert\n0.30 µSv/h"},
        // A word too long for the line shrinks first...
        {"Dosisleistungseinstellungen verwenden", 230, true, "Dosisleistungseinstellungen\nverwenden"},
        // ...and, at the smallest size, breaks with a hyphen.
        {"Dosisleistungseinstellungen verwenden", 110, true, "Dosisleistungseinstellu-\nngen verwenden"},
        // A break after a hyphen of the text needs none of its own.
        {"Track-Wegpunkte", 120, false, "Track-\nWegpunkte"},
    };
    for (const auto& c : cases) {
        Label label(Rect{0, 0, c.width, 44}, c.text);
        label.setFont(Font::system(17));
        label.setNumberOfLines(2);
        label.setAdjustsFontSizeToFitWidth(c.shrinks);
        label.setMinimumScaleFactor(0.5);
        double size = 0;
        EXPECT_EQ(drawnText(label, &size), c.lines) << c.text << " in " << c.width;
        if (c.shrinks) {
            EXPECT_LT(size, 17) << c.text;
        }
    }
}

TEST(ViewTreeTest, SegmentsKeepTheSelectionOnTheSameSegmentWhenOthersComeAndGo) {
    SegmentedControl seg({"Map", "Satellite", "Hybrid"});
    seg.setSelectedSegmentIndex(1);
    seg.insertSegment("Terrain", 0);
    EXPECT_EQ(seg.selectedSegmentIndex(), 2);
    seg.removeSegment(2);
    EXPECT_EQ(seg.selectedSegmentIndex(), SegmentedControl::kNoSegment);
    seg.setSelectedSegmentIndex(9);
    EXPECT_EQ(seg.selectedSegmentIndex(), SegmentedControl::kNoSegment);
    int changes = 0;
    seg.addAction(ValueChanged, [&](Control&) { ++changes; });
    seg.setSegmentEnabled(false, 0);
    EXPECT_FALSE(seg.tapSegment(0));
    EXPECT_TRUE(seg.tapSegment(1));
    seg.setMomentary(true);
    EXPECT_TRUE(seg.tapSegment(2));
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(seg.selectedSegmentIndex(), SegmentedControl::kNoSegment);
}

TEST(ViewTreeTest, SliderValuesStayInRange) {
    Slider slider;
    slider.setMinimumValue(1);
    slider.setMaximumValue(5);
    slider.setValue(9);
    EXPECT_EQ(slider.value(), 5);
    slider.setValue(std::nan(""));
    EXPECT_EQ(slider.value(), 1);
    slider.setMaximumValue(3);
    slider.setValue(4);
    EXPECT_EQ(slider.value(), 3);
}

TEST(ViewTreeTest, ToolbarSharesFreeRoomBetweenFlexibleSpaces) {
    Toolbar bar(Rect{0, 0, 320, 44});
    int presses = 0;
    auto done = BarButtonItem::withSystemItem(SystemItem::Done, [&](BarButtonItem&) { ++presses; });
    auto share = BarButtonItem::withTitle("Share");
    share->setEnabled(false);
    bar.setItems({BarButtonItem::withSystemItem(SystemItem::FlexibleSpace), share,
                  BarButtonItem::withSystemItem(SystemItem::FlexibleSpace), done});
    ASSERT_EQ(bar.subviews().size(), 2u);
    // 320 - 8 - (60 + 8) * 2 = 176 free, 88 per space.
    EXPECT_EQ(bar.subviews()[0]->frame().x(), 96);
    EXPECT_EQ(bar.subviews()[1]->frame().x(), 252);
    EXPECT_FALSE(bar.subviews()[0]->performTap());
    EXPECT_TRUE(bar.subviews()[1]->performTap());
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(bar.describe(), "Toolbar\n  [Share] (disabled)\n  [Done]\n");
}

TEST(ViewTreeTest, ToolbarItemsWidenToLongTitlesAndStayOnTheBar) {
    Toolbar bar(Rect{0, 0, 320, 44});
    auto space = [] { return BarButtonItem::withSystemItem(SystemItem::FlexibleSpace); };
    auto shortItem = BarButtonItem::withTitle("OK");
    auto longItem = BarButtonItem::withTitle("\u0423\u043f\u0440\u0430\u0432\u043b\u0435\u043d\u0438\u0435");
    bar.setItems({shortItem, space(), longItem});
    bar.fitItemsToTitles();
    EXPECT_EQ(shortItem->width(), Toolbar::kDefaultItemWidth);
    EXPECT_GT(longItem->width(), Toolbar::kDefaultItemWidth);
    EXPECT_EQ(longItem->width(), std::ceil(Font::system(17).widthOf(longItem->title())) + 4);
    EXPECT_LE(bar.subviews()[1]->frame().maxX(), 320);
}

class EndEditingTest : public qxtest::AppTest {};

TEST_F(EndEditingTest, EndingEditingInATreeResignsOnlyItsOwnField) {
    auto screen = std::make_shared<View>();
    auto field = std::make_shared<TextField>();
    auto elsewhere = std::make_shared<TextField>();
    screen->addSubview(field);
    ASSERT_TRUE(elsewhere->becomeFirstResponder());
    EXPECT_TRUE(screen->endEditing(false));
    EXPECT_TRUE(elsewhere->isFirstResponder());
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_TRUE(screen->endEditing(false));
    EXPECT_EQ(View::currentFirstResponder(), nullptr);
}

}  // namespace
