#include <filesystem>

#include "ServicesTestSupport.h"
#include "model/DateStrings.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/URLText.h"
#include "platform/ui/MailComposer.h"
#include "platform/ui/SocialComposer.h"
#include "platform/ui/WebView.h"
#include "platform/ui/Window.h"
#include "services/SharingManager.h"
#include "services/SocialText.h"
#include "shell/FBDialog.h"

using namespace qx;

namespace qxtest {

namespace {

constexpr double kNoon = 1719835200;  // 2024-07-01 12:00:00 UTC

std::size_t characters(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& dir, const std::string& extension) {
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(dir, ec); !ec && it != std::filesystem::directory_iterator();
         ++it) {
        if (it->path().extension() == extension) found.push_back(it->path());
    }
    return found;
}

}  // namespace

class SharingManagerTest : public ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        clock().set(plat::Date(kNoon));
        plat::MailComposer::setCanSendMail(true);
        plat::SocialComposer::setAvailable(plat::SocialService::Twitter, true);
        plat::SocialComposer::setAvailable(plat::SocialService::Facebook, true);
        plat::SocialComposer::clearPosts();
        app = std::make_shared<KestrelAppDelegate>();
        app->applicationDidFinishLaunching();
        drain();
    }

    void share(const SharingManager::Records& records, SharingOptions options) {
        sharing().shareObjects(records, options, [this] { ++completions; });
        drain();
    }
    // Picks a channel from the sheet on screen.
    void choose(const std::string& channel) {
        auto sheet = plat::ActionSheet::visibleSheets();
        ASSERT_EQ(sheet.size(), 1u);
        ASSERT_TRUE(sheet[0]->pressButton(channel));
        drain();
    }
    std::vector<std::string> sheetTitles() {
        auto sheets = plat::ActionSheet::visibleSheets();
        std::vector<std::string> titles;
        if (sheets.empty()) return titles;
        for (long i = 0; i < sheets[0]->numberOfButtons(); ++i) titles.push_back(sheets[0]->buttonTitleAtIndex(i));
        return titles;
    }
    plat::ViewController* visible() { return app->window()->visibleViewController(); }

    // A waypoint whose social line is exactly `length` characters long.
    std::shared_ptr<Waypoint> pointWithLine(std::size_t length, double date) {
        auto w = addWaypoint(0.15, plat::Date(date), std::nullopt, 0, "x");
        const std::size_t base = characters(w->description()) - 1;
        w->setName(std::string(length - base, 'n'));
        EXPECT_TRUE(main().save());
        EXPECT_EQ(characters(w->description()), length);
        return w;
    }

    static SharingManager& sharing() { return SharingManager::sharedInstance(); }
    std::shared_ptr<KestrelAppDelegate> app;
    int completions = 0;
};

TEST_F(SharingManagerTest, AnEmptyListShowsNothingAndKeepsTheLastShare) {
    auto w = addWaypoint(0.1, plat::Date(kNoon));
    share({w}, 0);
    plat::ActionSheet::visibleSheets()[0]->pressButton("Cancel");
    share({}, 0);
    EXPECT_TRUE(plat::ActionSheet::visibleSheets().empty());
    EXPECT_EQ(sharing().objectsToShare().size(), 1u);
    EXPECT_EQ(completions, 0);
}

TEST_F(SharingManagerTest, TheSheetOffersTheChannelsOfTheOptionBits) {
    auto w = addWaypoint(0.1, plat::Date(kNoon));
    struct Case {
        SharingOptions options;
        bool canMail;
        std::vector<std::string> titles;
    };
    const std::vector<Case> cases{
        {0, true, {"Email", "Export", "Twitter", "Facebook", "Cancel"}},
        {0, false, {"Export", "Twitter", "Facebook", "Cancel"}},
        {3, true, {"Email", "Export", "Cancel"}},
        {SharingOptionTwitter | SharingOptionFacebook, true, {"Twitter", "Facebook", "Cancel"}},
        {SharingOptionEmail, false, {"Cancel"}},
    };
    for (const auto& c : cases) {
        plat::MailComposer::setCanSendMail(c.canMail);
        share({w}, c.options);
        auto sheets = plat::ActionSheet::visibleSheets();
        ASSERT_EQ(sheets.size(), 1u);
        EXPECT_EQ(sheets[0]->title(), "Share selected");
        EXPECT_EQ(sheetTitles(), c.titles) << "options " << c.options;
        sheets[0]->pressButton("Cancel");
        drain();
    }
    EXPECT_EQ(completions, 0);
}

TEST_F(SharingManagerTest, EmailMailsTheHtmlReportAndThenCompletes) {
    auto w = addWaypoint(0.1, plat::Date(kNoon), 50.45, 30.52, "Río 日本");
    auto m = addHistoryReading(0.2, plat::Date(kNoon - 60));
    share({m, w}, 15);
    choose("Email");
    auto confirm = plat::AlertView::frontmostAlert();
    ASSERT_TRUE(confirm);
    EXPECT_EQ(confirm->title(), "Data sharing");
    EXPECT_EQ(confirm->message(), "Generate and email report of selected sets?");
    ASSERT_TRUE(confirm->pressButton("OK"));
    drain();

    auto* mail = dynamic_cast<plat::MailComposer*>(visible());
    ASSERT_TRUE(mail);
    const std::string date = DateStrings::dateTimeLongStr(plat::Date(kNoon));
    EXPECT_EQ(mail->subject(), "Vennorlabs App Report " + date);
    EXPECT_TRUE(mail->isBodyHTML());
    EXPECT_TRUE(mail->toRecipients().empty());
    EXPECT_TRUE(mail->attachments().empty());
    EXPECT_EQ(mail->messageBody(), sharing().generateReport());
    EXPECT_NE(mail->messageBody().find("Río 日本"), std::string::npos);
    EXPECT_EQ(completions, 0);

    mail->setToRecipients({"ann@example.org"});
    ASSERT_TRUE(mail->send());
    drain();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(dynamic_cast<plat::MailComposer*>(visible()), nullptr);
    const auto sent = filesIn(plat::DataFolder::outbox(), ".eml");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(plat::file::read(sent[0]).value_or("").find("text/html"), std::string::npos);
}

TEST_F(SharingManagerTest, ExportOffersGpxUnlessTheListEndsWithAHistoryReading) {
    auto w = addWaypoint(0.1, plat::Date(kNoon));
    auto m = addHistoryReading(0.2, plat::Date(kNoon - 60));
    share({w, m}, 2);
    choose("Export");
    auto alert = plat::AlertView::frontmostAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), "Export selected data to file?");
    EXPECT_EQ(alert->numberOfButtons(), 2);
    EXPECT_EQ(alert->buttonTitleAtIndex(1), "to CSV file");
    alert->pressButton("Cancel");
    drain();

    share({m, w}, 2);
    choose("Export");
    alert = plat::AlertView::frontmostAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->buttonTitleAtIndex(2), "to GPX file");
    ASSERT_TRUE(alert->pressButton("to GPX file"));
    drain();
    EXPECT_EQ(filesIn(plat::DataFolder::documents(), ".gpx").size(), 1u);
    auto* mail = dynamic_cast<plat::MailComposer*>(visible());
    ASSERT_TRUE(mail);
    EXPECT_EQ(completions, 0);
    mail->cancel();
    drain();
    EXPECT_EQ(completions, 1);
}

TEST_F(SharingManagerTest, DaysShareTheirWaypointsAndExportThemFromTheStore) {
    auto w = addWaypoint(0.1, plat::Date(kNoon), 50.45, 30.52, "Pier");
    auto day = w->set();
    auto empty = main().insertNew<qx::Set>();
    empty->setDate(plat::Date(kNoon - 86400));
    ASSERT_TRUE(main().save());
    sharing().shareWaypointsOfDays({empty}, 3, [this] { ++completions; });
    drain();
    EXPECT_TRUE(plat::ActionSheet::visibleSheets().empty());  // no waypoints: nothing happens

    sharing().shareWaypointsOfDays({empty, day}, 3, [this] { ++completions; });
    drain();
    EXPECT_EQ(sheetTitles(), (std::vector<std::string>{"Email", "Export", "Cancel"}));
    // The report channels see the waypoints, not the days.
    ASSERT_EQ(sharing().objectsToShare().size(), 1u);
    EXPECT_EQ(sharing().objectsToShare()[0], w);
    EXPECT_NE(sharing().generateReport().find("Pier"), std::string::npos);

    choose("Export");
    auto alert = plat::AlertView::frontmostAlert();
    ASSERT_TRUE(alert);
    ASSERT_TRUE(alert->pressButton("to GPX file"));
    drain();
    const auto files = filesIn(plat::DataFolder::documents(), ".gpx");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(plat::file::read(files[0]).value_or("").find("<name>Pier</name>"), std::string::npos);
    auto* mail = dynamic_cast<plat::MailComposer*>(visible());
    ASSERT_TRUE(mail);
    mail->cancel();
    drain();
    EXPECT_EQ(completions, 1);
}

TEST_F(SharingManagerTest, TwitterTakesTheNewestLinesUpTo140Characters) {
    auto oldest = pointWithLine(60, kNoon - 300);
    auto newest = pointWithLine(60, kNoon);
    auto middle = pointWithLine(60, kNoon - 100);
    const std::string all = newest->description() + "\n" + middle->description() + "\n" + oldest->description() + "\n";
    const std::string twitter = SocialText::twitterText({oldest, newest, middle});
    EXPECT_EQ(characters(twitter), 140u);
    EXPECT_EQ(twitter, all.substr(0, twitter.size()));

    // 139 characters and one more line break: exactly 140, sent whole.
    auto exact = pointWithLine(139, kNoon + 10);
    EXPECT_EQ(SocialText::twitterText({exact, oldest}), exact->description() + "\n");
    // Characters, not bytes, and no letter cut in two.
    auto wide = addWaypoint(0.15, plat::Date(kNoon + 20), std::nullopt, 0, "x");
    std::string japanese;
    for (int i = 0; i < 150; ++i) japanese += "日";
    wide->setName(japanese);
    const std::string cut = SocialText::twitterText({wide});
    EXPECT_EQ(characters(cut), 140u);
    EXPECT_EQ(cut, japanese.substr(0, 140 * 3));
}

TEST_F(SharingManagerTest, TwitterPostsThroughTheSheetOrElseTheWebPage) {
    auto w = addWaypoint(0.1, plat::Date(kNoon));
    share({w}, 4);
    auto* top = visible();
    choose("Twitter");
    auto* sheet = dynamic_cast<plat::SocialComposer*>(visible());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->presentingViewController(), top);
    EXPECT_EQ(sheet->initialText(), w->description() + "\n");
    sheet->cancel();  // cancelling the sheet also finishes the share
    drain();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(dynamic_cast<plat::SocialComposer*>(visible()), nullptr);

    plat::SocialComposer::setAvailable(plat::SocialService::Twitter, false);
    share({w}, 4);
    choose("Twitter");
    ASSERT_EQ(plat::Application::shared().openedURLs().size(), 1u);
    EXPECT_EQ(plat::Application::shared().openedURLs()[0],
              "http://twitter.com/share?text=" + plat::url::percentEncoded(w->description() + "\n"));
    EXPECT_EQ(completions, 2);

    plat::Application::shared().setCanOpenURL([](const std::string&) { return false; });
    share({w}, 4);
    choose("Twitter");
    EXPECT_EQ(completions, 2);
}

TEST_F(SharingManagerTest, FacebookTextsHaveAHeadingOfTheNewestKindForSeveralRecords) {
    auto w = addWaypoint(0.1, plat::Date(kNoon));
    auto m = addHistoryReading(0.2, plat::Date(kNoon - 60));
    EXPECT_EQ(SocialText::facebookText({w}), w->description() + "\n");
    EXPECT_EQ(SocialText::facebookText({m, w}), "Waypoints:\n" + w->description() + "\n" + m->description() + "\n");
    auto later = addHistoryReading(0.3, plat::Date(kNoon + 60));
    EXPECT_EQ(SocialText::facebookText({w, later, m}),
              "Measurements:\n" + later->description() + "\n" + w->description() + "\n" + m->description() + "\n");
}

TEST_F(SharingManagerTest, FacebookPostsThroughTheSheetOrElseTheFeedDialog) {
    auto w = addWaypoint(0.1, plat::Date(kNoon));
    share({w}, 8);
    choose("Facebook");
    auto* sheet = dynamic_cast<plat::SocialComposer*>(visible());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->title(), "Quorix App Report");
    EXPECT_EQ(sheet->urls(), std::vector<std::string>{SharingManager::kMakerURL});
    ASSERT_EQ(sheet->images().size(), 1u);
    EXPECT_EQ(sheet->images()[0]->name(), "logo.jpg");
    sheet->post();
    drain();
    EXPECT_EQ(completions, 1);
    ASSERT_EQ(plat::SocialComposer::posts().size(), 1u);

    // Without the sheet, the social network's own feed dialog.
    plat::WebView::setContentLoader([](const std::string&) -> std::optional<std::string> { return "<p>feed</p>"; });
    plat::SocialComposer::setAvailable(plat::SocialService::Facebook, false);
    auto findDialog = [this]() -> std::shared_ptr<FBDialog> {
        for (const auto& v : app->window()->subviews()) {
            if (auto d = std::dynamic_pointer_cast<FBDialog>(v)) return d;
        }
        return nullptr;
    };
    qxtest::LogCapture log;
    for (const char* ending : {"fbconnect://success", "fbconnect://success?post_id=1"}) {
        share({w}, 8);
        choose("Facebook");
        auto dialog = findDialog();
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->action(), "feed");
        EXPECT_EQ(dialog->params().at("caption"), "Quorix App Report");
        EXPECT_EQ(dialog->params().at("description"), w->description() + "\n");
        EXPECT_EQ(dialog->params().at("link"), SharingManager::kMakerURL);
        EXPECT_EQ(dialog->params().at("picture"), SharingManager::kMakerLogoURL);
        // Links stay inside the dialog.
        dialog->webView().navigate("https://elsewhere.example/", plat::WebNavigationType::LinkClicked);
        EXPECT_TRUE(plat::Application::shared().openedURLs().empty());
        dialog->webView().navigate(ending);
        drain();
    }
    EXPECT_EQ(log.count("User canceled dialog or there was an error"), 1u);
    EXPECT_EQ(completions, 2);
    plat::WebView::setContentLoader({});
}

}  // namespace qxtest
