#include <gtest/gtest.h>

#include "FakeHttpServer.h"
#include "TestEnvironment.h"
#include "platform/ui/Application.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/HtmlText.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/ImagePickerController.h"
#include "platform/ui/Label.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/ProgressOverlay.h"
#include "platform/ui/WebView.h"

namespace {

using namespace plat;

// Three wheels "0".."9" (the first 2..9), 100 points wide, as a coefficient picker has.
class Digits : public PickerViewDataSource, public PickerViewDelegate {
public:
    std::vector<std::pair<long, long>> picked;
    long numberOfComponents(PickerView&) override { return 3; }
    long numberOfRows(PickerView&, long c) override { return c == 0 ? 8 : 10; }
    std::string titleForRow(PickerView&, long row, long c) override { return std::to_string(c == 0 ? row + 2 : row); }
    double widthForComponent(PickerView&, long) override { return 100; }
    void didSelectRow(PickerView&, long row, long c) override { picked.push_back({row, c}); }
};

TEST(PickerTest, SelectionFromCodeIsSilentAndASpinTellsTheDelegate) {
    auto digits = std::make_shared<Digits>();
    auto picker = std::make_shared<PickerView>(Rect{0, 0, 320, 216});
    picker->setDataSource(digits);
    picker->setDelegate(digits);
    picker->selectRow(3, 0, true);
    picker->selectRow(12, 1, false);  // no such row: nothing changes
    EXPECT_EQ(picker->selectedRow(0), 3);
    EXPECT_EQ(picker->selectedRow(1), 0);
    EXPECT_EQ(picker->selectedRow(7), -1);
    EXPECT_TRUE(picker->lastSelectAnimated());
    EXPECT_TRUE(digits->picked.empty());
    EXPECT_TRUE(picker->spin(4, 2));
    EXPECT_EQ(digits->picked, (std::vector<std::pair<long, long>>{{4, 2}}));
    EXPECT_EQ(picker->titleForRow(picker->selectedRow(0), 0), "5");
    picker->reloadAllComponents();
    EXPECT_EQ(picker->selectedRow(0), 3);  // a reload keeps rows that still exist
    EXPECT_EQ(picker->describe(),
              "Picker\n  Wheel 0 \"5\" (row 3 of 8)\n  Wheel 1 \"0\" (row 0 of 10)\n  Wheel 2 \"4\" (row 4 of 10)\n");
}

TEST(PickerTest, SelectionBarLabelsSitOverTheirWheelAndAreNotRepeated) {
    auto digits = std::make_shared<Digits>();
    auto picker = std::make_shared<PickerView>(Rect{0, 0, 320, 216});
    picker->setDataSource(digits);
    picker->setDelegate(digits);
    picker->addLabel(".", 21, 0, 60, 21);
    picker->addLabel(".", 21, 0, 60, 21);
    picker->addLabel("km", 21, 1, 40, 21);
    auto labels = picker->selectionLabels();
    ASSERT_EQ(labels.size(), 2u);
    // Three wheels of 100 points 5 apart, centred in 320: they start at 5, 110 and 215.
    EXPECT_DOUBLE_EQ(labels[0]->frame().x(), 65);
    EXPECT_DOUBLE_EQ(labels[1]->frame().x(), 150);
    EXPECT_EQ(labels[0]->frame().y(), labels[1]->frame().y());
    EXPECT_LT(labels[0]->frame().y(), 108);
    EXPECT_GT(labels[0]->frame().maxY(), 108);  // across the middle of the picker
}

TEST(DatePickerTest, DatesStayInRangeAndOnlyThePersonsChangesAreSent) {
    DatePicker picker;
    int changes = 0;
    picker.addAction(ValueChanged, [&](Control&) { ++changes; });
    picker.setMaximumDate(Date(1000));
    picker.setDate(Date(5000));
    EXPECT_EQ(picker.date(), Date(1000));
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(picker.pickDate(Date(900)));
    EXPECT_EQ(changes, 1);
    picker.setMode(DatePickerMode::CountDownTimer);
    EXPECT_FALSE(picker.pickDate(Date(800)));
    EXPECT_TRUE(picker.pickCountDownDuration(3725));
    EXPECT_EQ(picker.countDownDuration(), 3720);  // whole minutes
    picker.setCountDownDuration(200000);
    EXPECT_EQ(picker.countDownDuration(), (23 * 60 + 59) * 60);
    EXPECT_EQ(picker.describeLine(), "DatePicker count-down 23:59");
}

class PageLog : public WebViewDelegate {
public:
    std::vector<std::string> events;
    std::string block;
    bool shouldStartLoad(WebView&, const URLRequest& r, WebNavigationType) override {
        events.push_back("should " + r.url);
        return block.empty() || r.url.rfind(block, 0) != 0;
    }
    void didFinishLoad(WebView&) override { events.push_back("finished"); }
    void didFailLoad(WebView&, const std::string&) override { events.push_back("failed"); }
};

class PageTest : public qxtest::AppTest {};

TEST_F(PageTest, PagesFinishLoadingOnTheRunLoopAndKeepTheirContent) {
    auto log = std::make_shared<PageLog>();
    auto web = std::make_shared<WebView>(Rect{0, 0, 320, 400});
    web->setDelegate(log);
    web->loadHTMLString("<html><body><h1>Help</h1>\n<p>Read the   manual</p></body></html>");
    EXPECT_TRUE(web->isLoading());
    EXPECT_TRUE(log->events.empty());
    drain();
    EXPECT_EQ(log->events, (std::vector<std::string>{"finished"}));
    EXPECT_EQ(web->plainText(), "Help Read the manual");

    qxtest::TempDir dir;
    plat::file::writeAtomically(dir.path() / "terms.html", "<p>Terms</p>");
    web->loadRequest(URLRequest{"file://" + (dir.path() / "terms.html").string()});
    web->loadRequest(URLRequest{"http://127.0.0.1:9/unknown"});  // replaces the first load
    drain();
    EXPECT_EQ(log->events.back(), "failed");
    EXPECT_EQ(std::count(log->events.begin(), log->events.end(), "finished"), 1);

    // A redirect the delegate intercepts loads nothing.
    log->block = "quorix://";
    EXPECT_FALSE(web->navigate("quorix://authorize?code=1", WebNavigationType::Other));
    EXPECT_FALSE(web->isLoading());
    web->loadRequest(URLRequest{"file://" + (dir.path() / "terms.html").string()});
    drain();
    EXPECT_EQ(web->html(), "<p>Terms</p>");

    // A report as a page shows it: the head left out, references decoded once, a table's rows
    // one a line with their cells apart.
    const std::string report =
        "<html><head><title>Report</title><style>td{}</style></head><body><h2>Waypoints:</h2><table>"
        "<tr><th>Name</th><th>Date</th></tr><tr><td>Bridge &amp;amp; <i>river</i> &lt;b&gt;</td>"
        "<td>2:16\u202fPM</td></tr><tr><td></td><td>x</td></tr></table><ul><li>one</li></ul><!-- <p>no</p> -->"
        "<p>&#x65E5; &#26412; &bogus; &#0; AT&T</p></body></html>";
    EXPECT_EQ(HtmlText::lines(report),
              "Waypoints:\nName \u00B7 Date\nBridge &amp; river <b> \u00B7 2:16\u202fPM\nx\n\u2022 one\n"
              "\u65E5 \u672C &bogus; \uFFFD AT&T");
    EXPECT_EQ(plainTextOfHtml(report).substr(0, 16), "Waypoints: Name ");

    // A page longer than the view scrolls over the whole document: nothing is cut short, and
    // scrolled to its end the view draws the last paragraph whole.
    web->setFrame(Rect{0, 0, 200, 120});
    std::string page = "<h1>Help</h1>";
    for (int i = 1; i <= 6; ++i) {
        page += "<h2>Part " + std::to_string(i) + "</h2><p>Read the manual of the instrument before the first walk.</p>";
    }
    web->loadHTMLString(page + "<p>The end.</p>");
    drain();
    const Size content = web->contentSize();
    EXPECT_GT(content.height, 500);
    EXPECT_EQ(content.width, 200);
    EXPECT_TRUE(web->userScroll(Point{0, 1e9}));
    EXPECT_EQ(web->contentOffset().y, content.height - 120);
    DrawingContext ctx;
    web->drawRect(ctx, web->bounds());
    const auto texts = ctx.commandsOf(DrawOp::DrawText);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back().text, "The end.");
    for (const auto& t : texts) EXPECT_EQ(t.text.find("\u2026"), std::string::npos) << t.text;
    // A new page starts at its top.
    web->loadHTMLString("<p>Short</p>");
    drain();
    EXPECT_EQ(web->contentOffset().y, 0);
    EXPECT_EQ(web->contentSize().height, 120);
}

TEST_F(PageTest, WebPagesFollowRedirectsAndHandTheApplicationsOwnAddressesBack) {
    qxtest::FakeHttpServer server;
    server.setHandler([](const qxtest::RecordedRequest& r) {
        if (r.path() == "/start") return qxtest::FakeReply::with(302, "", {{"Location", "next?step=2"}});
        if (r.path() == "/next") return qxtest::FakeReply::with(200, "<h1>Sign in</h1><p>Welcome</p>");
        if (r.path() == "/done") {
            return qxtest::FakeReply::with(303, "", {{"Location", "quorix://authorize?code=1&state=s"}});
        }
        if (r.path() == "/loop") return qxtest::FakeReply::with(302, "", {{"Location", "/loop"}});
        return qxtest::FakeReply::with(404, "<p>Not found</p>");
    });
    std::vector<std::string> handedBack;
    auto& application = Application::shared();
    application.reset();
    application.setOwnURLHandler("quorix", [&](const std::string& url) {
        handedBack.push_back(url);
        return true;
    });
    auto log = std::make_shared<PageLog>();
    auto web = std::make_shared<WebView>(Rect{0, 0, 320, 400});
    web->setDelegate(log);

    web->loadRequest(URLRequest{server.url("/start")});
    drain();
    EXPECT_EQ(web->plainText(), "Sign in Welcome");
    EXPECT_EQ(web->request()->url, server.url("/next?step=2"));
    EXPECT_EQ(log->events, (std::vector<std::string>{"should " + server.url("/start"),
                                                     "should " + server.url("/next?step=2"), "finished"}));

    // A page the server refuses is still a page; the address of the application goes back to it.
    web->loadRequest(URLRequest{server.url("/missing")});
    drain();
    EXPECT_EQ(web->plainText(), "Not found");
    log->events.clear();
    web->loadRequest(URLRequest{server.url("/done")});
    drain();
    EXPECT_EQ(handedBack, std::vector<std::string>{"quorix://authorize?code=1&state=s"});
    EXPECT_FALSE(web->isLoading());
    EXPECT_TRUE(web->lastError().empty());
    EXPECT_TRUE(application.openedURLs().empty());

    // A delegate may keep the redirect from being followed; endless redirects fail.
    log->block = "quorix://";
    web->loadRequest(URLRequest{server.url("/done")});
    drain();
    EXPECT_EQ(handedBack.size(), 1u);
    web->loadRequest(URLRequest{server.url("/loop")});
    drain();
    EXPECT_EQ(log->events.back(), "failed");
    EXPECT_EQ(server.requestCount(), 5u + WebView::kMaxRedirects + 1u);
    application.reset();
}

TEST_F(PageTest, ProgressOverlayHidesAfterItsDelayAndRunsItsCompletionOnce) {
    auto screen = std::make_shared<View>(Rect{0, 0, 320, 480});
    auto overlay = ProgressOverlay::showOn(screen.get(), true);
    overlay->setTitle("Exporting data...");
    overlay->setMode(ProgressMode::Determinate);
    overlay->setProgress(0.456);
    EXPECT_EQ(ProgressOverlay::overlayOn(screen.get()), overlay);
    EXPECT_EQ(screen->describe(), "ProgressOverlay \"Exporting data...\" 46%\n");
    int done = 0;
    overlay->setCompletion([&] { ++done; });
    overlay->hide(true, 2.0);
    advance(1.9);
    EXPECT_TRUE(overlay->isShowing());
    advance(0.2);
    EXPECT_FALSE(overlay->isShowing());
    EXPECT_EQ(overlay->superview(), nullptr);
    overlay->hide(false);
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(ProgressOverlay::hideOn(screen.get(), false));
}

}  // namespace

namespace {

TEST(ImagePickerTest, UnavailableSourcesAreRefusedAndThePickerFinishesOnce) {
    plat::ImagePickerController::setSourceTypeAvailable(plat::ImageSource::Camera, false);
    auto picker = std::make_shared<plat::ImagePickerController>();
    EXPECT_FALSE(picker->setSourceType(plat::ImageSource::Camera));
    EXPECT_EQ(picker->sourceType(), plat::ImageSource::PhotoLibrary);
    std::string got;
    int cancels = 0;
    picker->setPickedHandler([&](plat::ImagePickerController&, plat::ImagePtr image) { got = image->name(); });
    picker->setCancelHandler([&](plat::ImagePickerController&) { ++cancels; });
    EXPECT_TRUE(picker->pick(plat::Image::withPixels(plat::PixelImage(4, 3), "photo-1")));
    EXPECT_FALSE(picker->cancel());
    EXPECT_EQ(got, "photo-1");
    EXPECT_EQ(cancels, 0);
}

}  // namespace
