#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/TextField.h"

namespace {

using plat::TextField;

// Records the delegate calls and the control events of a field in one journal.
class Journal : public plat::TextFieldDelegate {
public:
    std::vector<std::string> lines;
    bool allowReturn = true;
    std::string refuse;  // replacement texts containing this are refused

    bool textFieldShouldBeginEditing(TextField&) override { return log("shouldBegin"), true; }
    void textFieldDidBeginEditing(TextField&) override { log("didBegin"); }
    void textFieldDidEndEditing(TextField& f) override { log("didEnd " + f.text()); }
    bool textFieldShouldChangeCharacters(TextField&, plat::TextRange r, const std::string& s) override {
        log("change " + std::to_string(r.location) + "+" + std::to_string(r.length) + " '" + s + "'");
        return refuse.empty() || s.find(refuse) == std::string::npos;
    }
    bool textFieldShouldReturn(TextField&) override { return log("shouldReturn"), allowReturn; }
    void log(const std::string& l) { lines.push_back(l); }
    std::string take() {
        std::string s;
        for (auto& l : lines) s += l + "\n";
        lines.clear();
        return s;
    }
};

void listen(TextField& f, Journal& j) {
    f.addAction(plat::EditingDidBegin, [&j](plat::Control&) { j.log("event began"); });
    f.addAction(plat::EditingChanged, [&j](plat::Control& c) { j.log("event changed " + static_cast<TextField&>(c).text()); });
    f.addAction(plat::EditingDidEnd, [&j](plat::Control& c) { j.log("event ended " + static_cast<TextField&>(c).text()); });
}

TEST(TextInputTest, TypingBeginsEditingAsksTheDelegateAndSendsEvents) {
    auto journal = std::make_shared<Journal>();
    auto field = std::make_shared<TextField>(plat::Rect{0, 0, 200, 30});
    field->setText("ab");  // from code: no events
    field->setDelegate(journal);
    listen(*field, *journal);
    EXPECT_TRUE(journal->lines.empty());

    EXPECT_TRUE(field->typeText("c\u00e9"));
    EXPECT_EQ(journal->take(), "shouldBegin\ndidBegin\nevent began\nchange 2+0 'c\u00e9'\nevent changed abc\u00e9\n");
    EXPECT_TRUE(field->deleteBackward());  // the whole two-byte character goes
    EXPECT_EQ(field->text(), "abc");
    journal->take();

    journal->refuse = "x";
    EXPECT_FALSE(field->typeText("x"));
    EXPECT_EQ(field->text(), "abc");
    EXPECT_EQ(journal->take(), "change 3+0 'x'\n");

    EXPECT_TRUE(field->resignFirstResponder());
    EXPECT_EQ(journal->take(), "didEnd abc\nevent ended abc\n");
    EXPECT_FALSE(field->isEditing());
}

TEST(TextInputTest, ANewFirstResponderEndsTheOtherFieldsEditing) {
    auto journal = std::make_shared<Journal>();
    auto a = std::make_shared<TextField>();
    auto b = std::make_shared<TextField>();
    a->setDelegate(journal);
    listen(*a, *journal);
    ASSERT_TRUE(a->becomeFirstResponder());
    journal->take();
    ASSERT_TRUE(b->becomeFirstResponder());
    EXPECT_EQ(journal->take(), "didEnd \nevent ended \n");
    EXPECT_TRUE(b->isFirstResponder());
    b->setEnabled(false);
    b->resignFirstResponder();
    EXPECT_FALSE(b->becomeFirstResponder());  // disabled fields do not edit
}

TEST(TextInputTest, ReturnAsksTheDelegateAndExitsOnlyWithAnExitAction) {
    auto journal = std::make_shared<Journal>();
    auto field = std::make_shared<TextField>();
    field->setDelegate(journal);
    field->typeText("x");
    EXPECT_TRUE(field->pressReturn());
    EXPECT_TRUE(field->isEditing());  // nobody listens for the exit: the keyboard stays
    int exits = 0;
    field->addAction(plat::EditingDidEndOnExit, [&](plat::Control&) { ++exits; });
    journal->allowReturn = false;
    EXPECT_FALSE(field->pressReturn());
    EXPECT_EQ(exits, 0);
    journal->allowReturn = true;
    EXPECT_TRUE(field->pressReturn());
    EXPECT_EQ(exits, 1);
    EXPECT_FALSE(field->isEditing());
}

class SearchJournal : public plat::SearchBarDelegate {
public:
    std::vector<std::string> texts;
    int cancels = 0;
    void searchBarTextDidChange(plat::SearchBar&, const std::string& t) override { texts.push_back(t); }
    void searchBarCancelButtonClicked(plat::SearchBar& bar) override {
        ++cancels;
        bar.resignFirstResponder();
    }
};

TEST(TextInputTest, SearchBarReportsEveryTextChange) {
    auto journal = std::make_shared<SearchJournal>();
    auto bar = std::make_shared<plat::SearchBar>(plat::Rect{0, 0, 320, 44});
    bar->setDelegate(journal);
    bar->typeText("Ki");
    bar->typeText("t");
    bar->deleteBackward();
    bar->replaceAllText("");
    EXPECT_EQ(journal->texts, (std::vector<std::string>{"Ki", "Kit", "Ki", ""}));
    EXPECT_FALSE(bar->pressCancel());  // no cancel button shown
    bar->setShowsCancelButton(true);
    EXPECT_TRUE(bar->pressCancel());
    EXPECT_FALSE(bar->isFirstResponder());
}

}  // namespace
