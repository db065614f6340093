#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "ServicesTestSupport.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "platform/ui/MailComposer.h"
#include "platform/ui/MimeCoding.h"
#include "platform/ui/Window.h"
#include "services/SharingManager.h"

using namespace qx;

namespace qxtest {

namespace {

const char* const kBrowser = "/usr/bin/chromium-headless-shell";

// Names a person might type, each of which a careless report would turn into markup.
const char* const kNames[] = {
    "<script>document.body.setAttribute('data-ran','script')</script>",
    "<img src=x onerror=\"document.body.setAttribute('data-ran','img')\">",
    "Ann's \"quoted\" place & co",
    "Пруд у дороги",
    "東京タワー展望台",
};

// What a browser's serialised DOM shows for a text typed as `name`.
std::string asSerialised(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '&') out += "&amp;";
        else out += c;
    }
    return out;
}

// Runs the browser with `arguments` on the page; its standard output.
std::string runBrowser(const std::string& arguments, const std::filesystem::path& page) {
    const std::string command = std::string(kBrowser) +
                                " --no-sandbox --disable-gpu --hide-scrollbars --virtual-time-budget=2000 " +
                                arguments + " 'file://" + page.string() + "' 2>/dev/null";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

std::filesystem::path onlyFile(const std::filesystem::path& dir) {
    std::filesystem::path found;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.is_regular_file()) found = entry.path();
    }
    return found;
}

class EmailReportBrowserTest : public ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        plat::MailComposer::setCanSendMail(true);
        app = std::make_shared<KestrelAppDelegate>();
        app->applicationDidFinishLaunching();
        drain();
    }
    std::shared_ptr<KestrelAppDelegate> app;
};

// The mailed report, as a mail reader's browser shows it: the names appear as they were typed
// and nothing in them runs.
TEST_F(EmailReportBrowserTest, MailedReportShowsHostileNamesAsTypedAndRunsNothing) {
    if (!std::filesystem::exists(kBrowser)) {
        GTEST_SKIP() << "headless Chromium is not installed (" << kBrowser
                     << "; scripts/install-deps installs chromium-headless-shell): the report is not checked in a browser";
    }
    SharingManager::Records records;
    double t = plat::Date::now().timeIntervalSince1970();
    for (const char* name : kNames) records.push_back(addWaypoint(0.12, plat::Date(t -= 60), 50.45, 30.52, name));
    records.push_back(addHistoryReading(0.3, plat::Date(t - 60)));

    SharingManager::sharedInstance().shareObjects(records, SharingOptionEmail, {});
    drain();
    ASSERT_EQ(plat::ActionSheet::visibleSheets().size(), 1u);
    plat::ActionSheet::visibleSheets()[0]->pressButton("Email");
    drain();
    ASSERT_TRUE(plat::AlertView::frontmostAlert());
    plat::AlertView::frontmostAlert()->pressButton("OK");
    drain();
    auto* mail = dynamic_cast<plat::MailComposer*>(app->window()->visibleViewController());
    ASSERT_TRUE(mail);
    mail->setToRecipients({"Ann \u00d6degaard <ann@example.org>"});
    ASSERT_TRUE(mail->send());
    drain();

    // The body of the sent message, decoded, is the page the browser gets.
    const auto message = plat::file::read(onlyFile(plat::DataFolder::outbox())).value_or("");
    const auto bodyStart = message.find("\r\n\r\n");
    ASSERT_NE(bodyStart, std::string::npos);
    const std::string html = plat::mime::quotedPrintableDecode(message.substr(bodyStart + 4));
    const auto page = dataDir() / "report.html";
    ASSERT_TRUE(plat::file::writeAtomically(page, html, nullptr));

    const std::string dom = runBrowser("--dump-dom", page);
    ASSERT_NE(dom.find("<body"), std::string::npos) << "the browser gave no page";
    EXPECT_EQ(dom.find("data-ran=\""), std::string::npos) << "a script of a name ran";
    EXPECT_EQ(dom.find("<script"), std::string::npos);
    EXPECT_EQ(dom.find("<img"), std::string::npos);
    for (const char* name : kNames) EXPECT_NE(dom.find(asSerialised(name)), std::string::npos) << name;
    EXPECT_NE(dom.find("Measurements:"), std::string::npos);

    const char* dir = std::getenv("QX_RENDER_DIR");
    const auto shot = (dir ? std::filesystem::path(dir) : dataDir()) / "email-report.png";
    runBrowser("--screenshot=" + shot.string() + " --window-size=900,900", page);
    ASSERT_TRUE(std::filesystem::exists(shot));
    EXPECT_GT(std::filesystem::file_size(shot), 5000u);
}

}  // namespace

}  // namespace qxtest
