#include "ShellTestFixture.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "shell/FBDialog.h"
#include "shell/KestrelAppDelegate.h"

namespace {

struct DialogRecorder : qx::FBDialogDelegate {
    std::vector<std::string> events;
    bool external = false;
    void dialogCompleteWithUrl(qx::FBDialog&, const std::string& url) override { events.push_back("complete " + url); }
    void dialogDidNotCompleteWithUrl(qx::FBDialog&, const std::string& url) override {
        events.push_back("not complete " + url);
    }
    void dialogDidComplete(qx::FBDialog&) override { events.push_back("did complete"); }
    void dialogDidNotComplete(qx::FBDialog&) override { events.push_back("closed"); }
    void dialogDidFailWithError(qx::FBDialog&, const std::string&) override { events.push_back("failed"); }
    bool dialogShouldOpenURLInExternalBrowser(qx::FBDialog&, const std::string&) override { return external; }
};

class FBDialogTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        plat::Application::shared().reset();
        plat::WebView::setContentLoader([](const std::string& url) -> std::optional<std::string> {
            if (url.rfind(qx::FBDialog::kDialogBaseURL, 0) == 0) return "<html><body>Post to wall</body></html>";
            return std::nullopt;
        });
        app = std::make_shared<qx::KestrelAppDelegate>();
        app->applicationDidFinishLaunching();
        drain();
        auto& fb = qx::Facebook::sharedFacebook();
        fb.setAppId("123");
        fb.setAccessToken("tok/1");
        fb.setExpirationDate(plat::Date::now().addingTimeInterval(600));
    }
    void TearDown() override {
        plat::WebView::setContentLoader({});
        ShellTest::TearDown();
    }
    std::shared_ptr<qx::FBDialog> open() {
        auto dialog = qx::Facebook::sharedFacebook().dialog(
            "feed", {{"name", "I'm using it"}, {"description", "a&b=c"}}, recorder);
        drain();
        return dialog;
    }
    std::shared_ptr<qx::KestrelAppDelegate> app;
    std::shared_ptr<DialogRecorder> recorder = std::make_shared<DialogRecorder>();
};

TEST_F(FBDialogTest, ShowsTheEscapedRequestAndCompletesOnTheSuccessAddress) {
    auto dialog = open();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->superview(), app->window().get());
    const auto url = dialog->url();
    for (const char* part : {"https://m.facebook.com/dialog/feed?", "access_token=tok%2F1", "app_id=123",
                             "description=a%26b%3Dc", "name=I%27m%20using%20it",
                             "redirect_uri=fbconnect%3A%2F%2Fsuccess"}) {
        EXPECT_NE(url.find(part), std::string::npos) << part << " in " << url;
    }
    EXPECT_EQ(dialog->webView().plainText(), "Post to wall");

    EXPECT_FALSE(dialog->webView().navigate("fbconnect://success?post_id=42", plat::WebNavigationType::FormSubmitted));
    EXPECT_EQ(recorder->events,
              (std::vector<std::string>{"complete fbconnect://success?post_id=42", "did complete"}));
    EXPECT_FALSE(dialog->isShown());
}

TEST_F(FBDialogTest, CancelCloseLinksAndFailures) {
    auto dialog = open();
    dialog->webView().navigate("fbconnect://cancel", plat::WebNavigationType::Other);
    EXPECT_EQ(recorder->events, std::vector<std::string>{"not complete fbconnect://cancel"});

    recorder->events.clear();
    dialog = open();
    recorder->external = true;
    EXPECT_FALSE(dialog->webView().navigate("https://example.org/terms"));
    EXPECT_EQ(plat::Application::shared().openedURLs(), std::vector<std::string>{"https://example.org/terms"});
    EXPECT_TRUE(dialog->isShown());
    dialog->cancel();
    EXPECT_EQ(recorder->events, std::vector<std::string>{"closed"});

    recorder->events.clear();
    plat::WebView::setContentLoader({});
    dialog = open();
    EXPECT_EQ(recorder->events, std::vector<std::string>{"failed"}) << "a page that cannot load ends the dialog";
    EXPECT_FALSE(dialog->isShown());
}

}  // namespace
