#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Window.h"

namespace {

using plat::ActionSheet;
using plat::AlertView;

class AlertViewTest : public qxtest::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        window.setRootViewController(std::make_shared<plat::ViewController>());
        window.makeKeyAndVisible();
    }
    plat::Window window;
};

TEST_F(AlertViewTest, CancelIsIndexZeroAndOtherButtonsCountFromOne) {
    std::vector<long> dismissed;
    int cancelled = 0;
    auto alert = AlertView::show("Data sharing", "Export selected data to file?", "Cancel", {"to CSV file", "to GPX file"},
                                 [&](long i) { dismissed.push_back(i); }, [&] { ++cancelled; });
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
    EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
    EXPECT_EQ(AlertView::frontmostAlert(), alert);
    EXPECT_EQ(window.frontmostOverlay(), alert.get());
    EXPECT_TRUE(alert->pressButton("to GPX file"));
    EXPECT_EQ(dismissed, (std::vector<long>{2}));
    EXPECT_FALSE(alert->isVisible());
    EXPECT_EQ(alert->superview(), nullptr);
    EXPECT_FALSE(alert->pressButton(1));  // gone from the screen

    auto again = AlertView::show("Data sharing", "", "Cancel", {"OK"}, [&](long i) { dismissed.push_back(i); },
                                 [&] { ++cancelled; });
    EXPECT_TRUE(again->pressButton(0));
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(dismissed.size(), 1u);  // the cancel button does not reach the dismiss block

    auto noCancel = AlertView::show("Login Error!", "bad", "", {"OK"}, [&](long i) { dismissed.push_back(i); });
    EXPECT_EQ(noCancel->cancelButtonIndex(), AlertView::kNoButton);
    EXPECT_TRUE(noCancel->pressButton(0));
    EXPECT_EQ(dismissed.back(), 0);
}

TEST_F(AlertViewTest, ButtonsAreTappableViewsAndFieldsFollowTheStyle) {
    std::string entered;
    auto alert = AlertView::make("Login to ZENET", "Please enter username and password", "Cancel", {"Login"});
    alert->setAlertViewStyle(plat::AlertStyle::LoginAndPasswordInput);
    alert->textFieldAtIndex(0)->setPlaceholder("username");
    alert->setDismissHandler([&](long) { entered = alert->textFieldAtIndex(0)->text() + "/" + alert->textFieldAtIndex(1)->text(); });
    alert->show();
    alert->textFieldAtIndex(0)->typeText("ann");
    alert->textFieldAtIndex(1)->typeText("pw");
    EXPECT_TRUE(alert->textFieldAtIndex(1)->isSecureTextEntry());
    {
        qxtest::LogCapture log;
        EXPECT_EQ(alert->textFieldAtIndex(2), nullptr);
        EXPECT_TRUE(log.contains("no text field at index 2"));
    }
    EXPECT_EQ(window.describe(),
              "Window\n"
              "  Screen \"\"\n"
              "  Alert \"Login to ZENET\"\n"
              "    Label \"Please enter username and password\"\n"
              "    TextField \"ann\" placeholder \"username\"\n"
              "    TextField \"\u2022\u2022\" placeholder \"Password\" (secure) (editing)\n"
              "    Button \"Cancel\"\n"
              "    Button \"Login\"\n");
    auto login = std::dynamic_pointer_cast<plat::Button>(alert->subviews().back());
    ASSERT_TRUE(login);
    EXPECT_TRUE(login->performTap());
    EXPECT_EQ(entered, "ann/pw");
}

TEST_F(AlertViewTest, ActionSheetPutsCancelLastAndReportsTheChosenIndex) {
    long chosen = -1;
    bool cancelled = false;
    auto sheet = ActionSheet::show(window.rootViewController()->view().get(), "Share selected", "Cancel", "",
                                   {"Email", "Export"}, [&](long i) { chosen = i; }, [&] { cancelled = true; });
    EXPECT_EQ(sheet->numberOfButtons(), 3);
    EXPECT_EQ(sheet->cancelButtonIndex(), 2);
    EXPECT_EQ(sheet->firstOtherButtonIndex(), 0);
    EXPECT_TRUE(sheet->pressButton("Export"));
    EXPECT_EQ(sheet->buttonTitleAtIndex(chosen), "Export");

    auto withDestructive = ActionSheet::make("Delete?", "Cancel", "Delete", {"Keep"});
    EXPECT_EQ(withDestructive->destructiveButtonIndex(), 0);
    EXPECT_EQ(withDestructive->indexOfButton("Keep"), 1);
    withDestructive->showInView(nullptr);
    withDestructive->setCancelHandler([&] { cancelled = true; });
    EXPECT_TRUE(withDestructive->pressButton("Cancel"));
    EXPECT_TRUE(cancelled);
}

}  // namespace
