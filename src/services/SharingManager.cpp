#include "services/SharingManager.h"

#include "model/DateStrings.h"
#include "model/Language.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URLText.h"
#include "platform/graphics/Image.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/MailComposer.h"
#include "platform/ui/SocialComposer.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"
#include "services/HtmlReport.h"
#include "services/SocialText.h"
#include "shell/AppWindow.h"
#include "shell/Facebook.h"
#include "store/ExportManager.h"
#include "store/ManagedObject.h"

namespace qx {

namespace {

std::string L(const char* text) { return Language::get(text); }

std::string& socialWebSite() {
    static std::string site;  // set once at launch, on the main thread
    return site;
}

}  // namespace

void SharingManager::setSocialWebSite(const std::string& site) {
    socialWebSite() = site;
    FBDialog::setSite(site);
}

SharingManager& SharingManager::sharedInstance() {
    // Held by a shared pointer so that the Facebook dialog can keep a weak one; never released.
    static auto* instance = new std::shared_ptr<SharingManager>(new SharingManager());
    return **instance;
}

void SharingManager::shareObjects(const Records& objects, SharingOptions options, Completion completion) {
    if (objects.empty()) return;
    completion_ = std::move(completion);
    objects_ = objects;
    days_.clear();
    offerChannels(options);
}

void SharingManager::shareWaypointsOfDays(const Records& days, SharingOptions options, Completion completion) {
    if (ExportManager::waypointCountOfDays(days) == 0) return;
    completion_ = std::move(completion);
    objects_.clear();
    days_ = days;
    offerChannels(options);
}

// Read afresh for each use rather than kept: the days may hold the whole history.
SharingManager::Records SharingManager::objectsToShare() const {
    return days_.empty() ? objects_ : ExportManager::waypointsOfDays(days_);
}

void SharingManager::offerChannels(SharingOptions options) {
    const bool all = options == 0;
    std::vector<std::string> titles;
    if ((all || (options & SharingOptionEmail)) && plat::MailComposer::canSendMail()) titles.push_back(L("Email"));
    if (all || (options & SharingOptionExport)) titles.push_back(L("Export"));
    if (all || (options & SharingOptionTwitter)) titles.push_back(L("Twitter"));
    if (all || (options & SharingOptionFacebook)) titles.push_back(L("Facebook"));

    auto sheet = plat::ActionSheet::make(L("Share selected"), L("Cancel"), "", titles);
    const long first = sheet->firstOtherButtonIndex();
    sheet->setDismissHandler([titles, first](long index) {
        const long at = index - first;
        if (at >= 0 && at < static_cast<long>(titles.size())) sharedInstance().channelChosen(titles[at]);
    });
    auto* screen = visibleViewController();
    sheet->showInView(screen ? screen->view().get() : nullptr, true);
}

void SharingManager::channelChosen(const std::string& title) {
    if (title == L("Email")) {
        confirmEmail();
    } else if (title == L("Export")) {
        confirmExport();
    } else if (title == L("Twitter")) {
        postOnTwitter();
    } else if (title == L("Facebook")) {
        postOnFacebook();
    }
}

void SharingManager::confirmEmail() {
    plat::AlertView::show(L("Data sharing"), L("Generate and email report of selected sets?"), L("Cancel"), {L("OK")},
                          [](long) { sharedInstance().showComposer(); });
}

void SharingManager::confirmExport() {
    // Instrument history readings have no position, which a GPX file cannot do without.
    std::vector<std::string> formats{L("to CSV file")};
    // (The waypoints of days always may.)
    if (!days_.empty() || objects_.empty() || !objects_.back() || objects_.back()->entity() != EntityKind::measurement) {
        formats.push_back(L("to GPX file"));
    }
    plat::AlertView::show(L("Data sharing"), L("Export selected data to file?"), L("Cancel"), formats,
                          [](long index) { sharedInstance().exportData(static_cast<unsigned>(index)); });
}

void SharingManager::exportData(unsigned exportFormat) {
    if (!days_.empty()) {
        ExportManager::sharedInstance().exportWaypointsOfDays(days_, exportFormat, completion_);
        return;
    }
    if (objects_.empty()) return;
    ExportManager::sharedInstance().exportWaypoints(objects_, exportFormat, completion_);
}

plat::ViewController* SharingManager::rootController() const {
    auto* window = mainWindow();
    if (!window || !window->rootViewController()) return nullptr;
    auto* root = window->rootViewController().get();
    if (auto* tabs = dynamic_cast<plat::TabBarController*>(root)) return tabs->selectedViewController().get();
    return root;
}

void SharingManager::runCompletion() const {
    // A copy: the completion may start another share, which replaces the stored one.
    if (auto completion = completion_) completion();
}

bool SharingManager::presentComposeSheet(const std::shared_ptr<plat::SocialComposer>& sheet) {
    // From the screen on top, wherever the share began: the tab's own screen is covered while
    // a day's, a track's or a waypoint's details are open.
    auto* top = visibleViewController();
    if (!sheet || !top) return false;
    std::weak_ptr<plat::SocialComposer> weak = sheet;
    sheet->setCompletion([weak](plat::ComposeResult) {
        if (auto shown = weak.lock()) shown->dismissViewController(true);
        sharedInstance().runCompletion();
    });
    return top->presentViewController(sheet, true);
}

void SharingManager::postOnTwitter() {
    const std::string text = SocialText::twitterText(objectsToShare());
    if (auto sheet = plat::SocialComposer::make(plat::SocialService::Twitter)) {
        sheet->setInitialText(text);
        if (presentComposeSheet(sheet)) return;
    }
    const std::string& site = socialWebSite();
    const std::string url = (site.empty() ? std::string(kTwitterShareURL) : site + "/share") + "?text=" +
                            plat::url::percentEncoded(text);
    auto& application = plat::Application::shared();
    if (!application.canOpenURL(url) || !application.openURL(url)) {
        plat::Log::line("SharingManager postOnTwitter: no way to post");
        return;
    }
    runCompletion();
}

void SharingManager::postOnFacebook() {
    const std::string text = SocialText::facebookText(objectsToShare());
    if (auto sheet = plat::SocialComposer::make(plat::SocialService::Facebook)) {
        sheet->setInitialText(text);
        sheet->setTitle(L("Quorix App Report"));
        sheet->addURL(kMakerURL);
        sheet->addImage(plat::Image::named("logo.jpg"));
        if (presentComposeSheet(sheet)) return;
    }
    std::map<std::string, std::string> params{{"name", L("I'm using the Quorix for iOS app")},
                                              {"caption", "Quorix App Report"},
                                              {"description", text},
                                              {"link", kMakerURL},
                                              {"picture", kMakerLogoURL}};
    if (!Facebook::sharedFacebook().dialog("feed", std::move(params), weak_from_this())) {
        plat::Log::line("SharingManager postOnFacebook: no window for the dialog");
    }
}

void SharingManager::dialogCompleteWithUrl(FBDialog&, const std::string& url) {
    if (plat::url::query(url).empty()) {
        plat::Log::line("User canceled dialog or there was an error");
        return;
    }
    runCompletion();
}

bool SharingManager::dialogShouldOpenURLInExternalBrowser(FBDialog&, const std::string&) { return false; }

std::string SharingManager::generateReport() const { return HtmlReport::generateReport(objectsToShare(), plat::Date::now()); }

void SharingManager::showComposer() {
    const plat::Date date = plat::Date::now();
    auto composer = std::make_shared<plat::MailComposer>();
    composer->setSubject(L("Vennorlabs App Report") + " " + DateStrings::dateTimeLongStr(date));
    composer->setMessageBody(HtmlReport::generateReport(objectsToShare(), date), true);
    composer->setCompletion([](plat::MailComposer& mail, plat::MailResult, const std::string&) {
        mail.dismissViewController(true);
        sharedInstance().runCompletion();
    });
    auto* screen = visibleViewController();
    if (!screen || !screen->presentViewController(composer, true)) {
        plat::Log::line("SharingManager showComposer: no screen to show the mail on");
    }
}

}  // namespace qx
