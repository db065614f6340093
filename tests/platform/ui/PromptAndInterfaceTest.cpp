#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Interface.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/UiText.h"
#include "platform/ui/Window.h"

namespace {

using namespace plat;

// A cell class made by its interface file, with typed members set by the builder.
class ThresholdCell : public TableViewCell {
public:
    ThresholdCell() : TableViewCell(CellStyle::Default, "ThresholdCell") {}
    std::shared_ptr<Label> title, value;
};

void registerThresholdCell() {
    Interface::registerBuilder("ThresholdCell", [](Outlets& outlets) {
        auto cell = std::make_shared<ThresholdCell>();
        cell->title = std::make_shared<Label>(Rect{50, 10, 150, 24}, "First threshold");
        cell->value = std::make_shared<Label>(Rect{200, 10, 100, 24}, "0.30 uSv/h");
        cell->contentView().addSubview(cell->title);
        cell->contentView().addSubview(cell->value);
        outlets.set("value", cell->value);
        return cell;
    });
}

TEST(InterfaceTest, BuildersMakeTypedViewsAndNameTheirOutlets) {
    registerThresholdCell();
    EXPECT_TRUE(Interface::has("ThresholdCell"));
    Outlets outlets;
    auto cell = Interface::loadAs<ThresholdCell>("ThresholdCell", &outlets);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(outlets.get<Label>("value"), cell->value);
    EXPECT_EQ(cell->reuseIdentifier(), "ThresholdCell");
    EXPECT_EQ(cell->describe(), "Row\n  Label \"First threshold\"\n  Label \"0.30 uSv/h\"\n");
    auto twice = Interface::loadAs<ThresholdCell>("ThresholdCell");
    EXPECT_NE(twice, cell);  // every load builds anew
}

TEST(InterfaceTest, AScreenWithAMissingInterfaceFileStillGetsAView) {
    qxtest::LogCapture log;
    auto screen = std::make_shared<ViewController>("NoSuchFile");
    ASSERT_NE(screen->view(), nullptr);
    EXPECT_TRUE(log.contains("no interface file named NoSuchFile"));
    EXPECT_TRUE(screen->outlets().names().empty());
}

class PromptTest : public qxtest::AppTest {};

TEST_F(PromptTest, TheNewestAlertIsInFrontAndTheOlderOneReturnsAfterIt) {
    Window window;
    window.setRootViewController(std::make_shared<ViewController>());
    window.makeKeyAndVisible();
    auto first = AlertView::make("Contact to the device is lost", "", "Stop track record", {"Continue track record"});
    auto second = AlertView::make("Login Error!", "bad password", "", {"OK"});
    first->show();
    second->show();
    second->show();  // showing twice changes nothing
    EXPECT_EQ(AlertView::visibleAlerts().size(), 2u);
    EXPECT_EQ(ModalPrompt::frontmost(), second);
    EXPECT_EQ(window.frontmostOverlay(), second.get());
    EXPECT_TRUE(second->pressButton("OK"));
    EXPECT_EQ(window.frontmostOverlay(), first.get());
    bool ran = false;
    first->setButtonHandler([&](long) { ran = true; });
    first->dismissWithClickedButtonIndex(5, false);  // no such button: dismissed, nothing runs
    EXPECT_FALSE(ran);
    EXPECT_FALSE(first->lastDismissAnimated());
    EXPECT_EQ(window.frontmostOverlay(), nullptr);
    EXPECT_TRUE(AlertView::visibleAlerts().empty());
}

TEST_F(PromptTest, AnAlertWithoutAWindowIsStillFoundAndPressed) {
    long pressed = -1;
    std::weak_ptr<AlertView> weak;
    {
        auto alert = AlertView::show("Take or select photo", "", "Cancel", {"Take photo", "Select from Library"},
                                     [&](long i) { pressed = i; });
        weak = alert;
    }
    auto alert = AlertView::frontmostAlert();
    ASSERT_NE(alert, nullptr);  // the list of shown prompts keeps it alive
    EXPECT_EQ(alert->superview(), nullptr);
    auto check = std::make_shared<Label>(Rect{0, 0, 100, 30}, "Add To RadResponder");
    alert->setContentView(check);
    alert->updateForInspection();
    EXPECT_EQ(check->superview(), alert.get());
    EXPECT_TRUE(alert->pressButton(2));
    EXPECT_EQ(pressed, 2);
    alert.reset();
    EXPECT_TRUE(weak.expired());  // released once dismissed
}

TEST(UiTextTest, ToolkitWordsGoThroughTheInstalledTranslator) {
    EXPECT_EQ(uiText("Cancel"), "Cancel");
    setUiTextTranslator([](const std::string& s) { return s == "Cancel" ? "Abbrechen" : s; });
    EXPECT_EQ(uiText("Cancel"), "Abbrechen");
    EXPECT_EQ(BarButtonItem::withSystemItem(SystemItem::Cancel)->displayText(), "Abbrechen");
    setUiTextTranslator({});
    EXPECT_EQ(uiText("Cancel"), "Cancel");
}

TEST(RedrawTest, RedrawRequestsAreCountedUntilTheViewIsDrawn) {
    auto label = std::make_shared<Label>(Rect{0, 0, 100, 20}, "a");
    unsigned before = label->displayRequestCount();
    label->setText("a");  // unchanged: no request
    label->setText("b");
    label->setNeedsDisplay();
    EXPECT_EQ(label->displayRequestCount(), before + 2);
    EXPECT_TRUE(label->needsDisplay());
    DrawingContext ctx;
    label->drawHierarchy(ctx);
    EXPECT_FALSE(label->needsDisplay());
    ASSERT_EQ(ctx.commandsOf(DrawOp::DrawText).size(), 1u);
    EXPECT_EQ(ctx.commandsOf(DrawOp::DrawText)[0].text, "b");
}

class LayoutProbe : public View {
public:
    using View::View;
    int layouts = 0;
    void layoutSubviews() override { ++layouts; }
};

TEST(RedrawTest, LayoutRunsOnceAfterAChangeOfSize) {
    auto v = std::make_shared<LayoutProbe>(Rect{0, 0, 10, 10});
    v->layoutIfNeeded();
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 1);
    v->setFrame(Rect{5, 5, 10, 10});  // moved, same size
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 1);
    v->setFrame(Rect{5, 5, 20, 10});
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 2);
    auto c = LayoutConstraint::make(v, LayoutAttribute::Top, LayoutRelation::Equal, nullptr, LayoutAttribute::None, 1, 30);
    v->addConstraint(c);
    c->constant = 42;
    EXPECT_EQ(v->constraints().front()->constant, 42);
    v->removeConstraint(c.get());
    EXPECT_TRUE(v->constraints().empty());
}

}  // namespace
