#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "services/SharingOptions.h"
#include "shell/FBDialog.h"

namespace plat {
class SocialComposer;
class ViewController;
}  // namespace plat

namespace qx {

class ManagedObject;

// Shares the stored records a screen selected: the person picks a channel from a sheet, confirms
// where asked, and the records go out as an HTML report by mail, a CSV or GPX file, a short
// Twitter text or a Facebook post. When a channel has finished, the completion given with the
// share runs (the screens clear their selection with it); cancelling runs nothing.
// Main thread only.
class SharingManager : public FBDialogDelegate, public std::enable_shared_from_this<SharingManager> {
public:
    using Records = std::vector<std::shared_ptr<ManagedObject>>;
    using Completion = std::function<void()>;

    // The maker's site, linked from Facebook posts, and its logo picture there.
    static constexpr const char* kMakerURL = "https://www.vennorlabs.com";
    static constexpr const char* kMakerLogoURL = "https://www.vennorlabs.com/images/logo.jpg";
    // The web page that shares a text when no Twitter sheet is available.
    static constexpr const char* kTwitterShareURL = "http://twitter.com/share";
    // Takes the social networks' web pages (the share page, the feed dialog) from `site`
    // ("http://host:port") instead of the networks' own sites; empty for their own.
    static void setSocialWebSite(const std::string& site);

    static SharingManager& sharedInstance();

    // Starts a share of `objects` (sets, tracks, waypoints, measurements) over the channels of
    // `options`; returns at once. An empty list does nothing at all.
    void shareObjects(const Records& objects, SharingOptions options, Completion completion = {});
    // The same for the waypoints of days (each day's own, then its tracks'). An export reads them
    // from the store batch by batch; the other channels read them when chosen. Days without
    // waypoints do nothing at all.
    void shareWaypointsOfDays(const Records& days, SharingOptions options, Completion completion = {});

    // The channels, on the records of the current share.
    void exportData(unsigned exportFormat);  // 1 CSV, 2 GPX
    void postOnTwitter();
    void postOnFacebook();
    // Builds the report and opens the mail composer with it.
    void showComposer();

    // The report of the current share: one HTML document per kind of record; empty without
    // records.
    std::string generateReport() const;

    // The selected screen of the window's tab bar.
    plat::ViewController* rootController() const;

    // The records of the current share; the waypoints of shared days are read here.
    Records objectsToShare() const;
    const Completion& completionHandler() const { return completion_; }
    void setCompletionHandler(Completion completion) { completion_ = std::move(completion); }

    // Facebook dialog delegate.
    void dialogCompleteWithUrl(FBDialog& dialog, const std::string& url) override;
    bool dialogShouldOpenURLInExternalBrowser(FBDialog& dialog, const std::string& url) override;

private:
    SharingManager() = default;
    void channelChosen(const std::string& title);
    void confirmEmail();
    void confirmExport();
    void runCompletion() const;
    // Presents a compose sheet from the screen on top; false when it cannot be shown.
    bool presentComposeSheet(const std::shared_ptr<plat::SocialComposer>& sheet);

    void offerChannels(SharingOptions options);

    // Either the records, or the days whose waypoints are shared (read from them at each use).
    Records objects_;
    Records days_;
    Completion completion_;
};

}  // namespace qx
