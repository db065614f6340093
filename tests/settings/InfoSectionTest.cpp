#include "SettingsTestFixture.h"
#include "platform/foundation/Bundle.h"
#include "settings/VNInfoSettingsSection.h"
#include "settings/VNWebViewController.h"

using qx::VNInfoSettingsSection;

namespace {

class InfoSectionTest : public SettingsTest {
protected:
    // Opens the page of a row and gives the text it shows.
    std::string openPage(const std::shared_ptr<VNInfoSettingsSection>& section, long row) {
        EXPECT_TRUE(host->tableView()->userSelectRow({0, row}));
        auto* page = shown<qx::VNWebViewController>();
        if (!page) return "<no page>";
        EXPECT_EQ(page->title(), section->rows()[static_cast<std::size_t>(row)]->textLabel().text());
        EXPECT_EQ(page->modalTransitionStyle(), plat::TransitionStyle::FlipHorizontal);
        drain();  // the page loads on the run loop
        auto html = page->webView()->html();
        page->onBack();
        EXPECT_EQ(window->visibleViewController(), host.get());
        return html;
    }
    static std::string resource(const std::string& name) {
        return plat::Bundle::main().contentsOfResource(name, "html").value_or("<missing " + name + ">");
    }
    qx::DeviceManager& device() { return qx::DeviceManager::sharedDeviceManager(); }
};

TEST_F(InfoSectionTest, RowsShowTheVersionAndFollowTheSerialNumber) {
    device().serialNumberString().set("100234");
    auto section = showNew<VNInfoSettingsSection>();
    EXPECT_EQ(rowTexts(*section),
              (std::vector<std::string>{"Help", "Terms and Conditions", "Version", "Device", "Feedback/Report Issue"}));
    const auto version = plat::Bundle::main().infoValue("CFBundleShortVersionString");
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(section->versionCell()->detailTextLabel().text(), version);
    EXPECT_EQ(section->versionCell()->accessoryType(), plat::AccessoryType::None);
    EXPECT_EQ(section->deviceCell()->detailTextLabel().text(), "100234");

    device().serialNumberString().set("555");
    EXPECT_EQ(section->deviceCell()->detailTextLabel().text(), "555") << "no rebuild needed";

    // Building the rows again keeps the one subscription; it ends with the section.
    EXPECT_EQ(device().serialNumberString().subscriberCount(), 1u);
    section->initRows();
    EXPECT_EQ(device().serialNumberString().subscriberCount(), 1u);
    host->setSections({});
    section.reset();
    EXPECT_EQ(device().serialNumberString().subscriberCount(), 0u);
    device().serialNumberString().set("777");
}

TEST_F(InfoSectionTest, PagesComeInTheInterfaceLanguage) {
    struct Case {
        const char* language;
        const char* help;
        const char* terms;
    };
    for (const auto& c : {Case{"ru", "helpRu", "terms"}, Case{"ja", "helpJa", "termsJa"}, Case{"fr", "help", "terms"}}) {
        useLanguage(c.language);
        auto section = showNew<VNInfoSettingsSection>();
        EXPECT_TRUE(openPage(section, 0) == resource(c.help)) << c.language << " opens " << c.help;
        EXPECT_TRUE(openPage(section, 1) == resource(c.terms)) << c.language << " opens " << c.terms;
    }
    // Every page the section can open is shipped.
    for (const auto* name : {"help", "helpJa", "helpRu", "terms", "termsJa"}) {
        EXPECT_TRUE(plat::Bundle::main().pathForResource(name, "html")) << name;
    }
}

TEST_F(InfoSectionTest, LanguageSwitchChangesThePageOfTheNextTap) {
    auto section = showNew<VNInfoSettingsSection>();
    EXPECT_TRUE(openPage(section, 0) == resource("help"));
    useLanguage("ja");
    EXPECT_EQ(section->helpCell()->textLabel().text(), qx::Language::get("Help"));
    EXPECT_TRUE(openPage(section, 0) == resource("helpJa"));
    EXPECT_TRUE(openPage(section, 1) == resource("termsJa"));
}

TEST_F(InfoSectionTest, FeedbackMailIsAddressedByLanguage) {
    auto section = showNew<VNInfoSettingsSection>();
    plat::MailComposer::setCanSendMail(false);
    section->feedbackCell()->onSelectCell();
    EXPECT_EQ(window->visibleViewController(), host.get()) << "no mail account: nothing happens";

    plat::MailComposer::setCanSendMail(true);
    section->feedbackCell()->onSelectCell();
    auto* mail = shown<plat::MailComposer>();
    ASSERT_NE(mail, nullptr);
    EXPECT_EQ(mail->subject(), "Build " + plat::Bundle::main().infoValue("CFBundleVersion"));
    EXPECT_EQ(mail->toRecipients(), std::vector<std::string>{VNInfoSettingsSection::kFeedbackAddressUS});
    EXPECT_TRUE(mail->ccRecipients().empty());
    EXPECT_TRUE(mail->bccRecipients().empty());
    EXPECT_TRUE(mail->messageBody().empty());
    EXPECT_TRUE(mail->attachments().empty());
    ASSERT_TRUE(mail->cancel());
    EXPECT_EQ(window->visibleViewController(), host.get()) << "finishing the mail closes it";

    useLanguage("de");
    section->feedbackCell()->onSelectCell();
    mail = shown<plat::MailComposer>();
    ASSERT_NE(mail, nullptr);
    EXPECT_EQ(mail->toRecipients(), std::vector<std::string>{VNInfoSettingsSection::kFeedbackAddress});
    ASSERT_TRUE(mail->send());
    EXPECT_EQ(window->visibleViewController(), host.get());
}

}  // namespace
