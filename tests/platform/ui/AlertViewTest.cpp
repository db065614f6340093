#include <gtest/gtest.h>

#include <functional>

#include "TestEnvironment.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Label.h"
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

// What a person sees of a shown prompt: an opaque picture, the screen beneath dimmed, a light
// panel; a sheet's cancel button on a panel apart from the others; an alert's long message
// wrapped, never cut.
TEST_F(AlertViewTest, PromptsArePaintedOpaqueOverTheDimmedScreen) {
    const std::string longMessage = "選択したセットのレポートを作成してメールで送信しますか？送信後は元に戻せません。";
    struct Case {
        const char* name;
        std::function<std::shared_ptr<plat::ModalPrompt>()> show;
        double gapY;  // a point between panels, where only the backdrop shows
    };
    const std::vector<Case> cases{
        {"sheet",
         [&] {
             return ActionSheet::show(window.rootViewController()->view().get(), "Share selected", "Cancel", "",
                                      {"Email", "Export"}, {});
         },
         window.bounds().height() - 8 - 50 - 4},
        {"alert", [&] { return AlertView::show("Data sharing", longMessage, "Cancel", {"OK"}, {}); }, 20},
    };
    const double dimmed = 1 - plat::ModalPrompt::kBackdrop.a;  // the white page beneath, darkened
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto prompt = c.show();
        const plat::PixelImage picture = window.renderImage();
        bool opaque = true;
        for (auto word : picture.words()) opaque = opaque && (word >> 24) == 0xFF;
        EXPECT_TRUE(opaque);
        const int midX = static_cast<int>(window.bounds().width() / 2);
        EXPECT_NEAR(picture.pixel(2, 2).r, dimmed, 0.01);
        EXPECT_NEAR(picture.pixel(midX, static_cast<int>(c.gapY)).g, dimmed, 0.01);
        const auto& buttons = prompt->subviews();
        const auto last = buttons.back()->frame();
        EXPECT_GT(picture.pixel(midX, static_cast<int>(last.minY()) + 3).r, 0.9);  // on a panel
        std::size_t messageLines = 0;
        for (const auto& v : buttons) {
            auto label = std::dynamic_pointer_cast<plat::Label>(v);
            if (!label || label->text() != longMessage) continue;
            messageLines = label->layoutLines(label->bounds().width()).size();
            EXPECT_GE(label->bounds().height(), static_cast<double>(messageLines) * label->font().lineHeight());
        }
        EXPECT_EQ(messageLines >= 2, std::string(c.name) == "alert");
        prompt->dismissWithClickedButtonIndex(0, false);
    }
}

}  // namespace
