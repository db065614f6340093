#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/WebView.h"
#include "shell/VNBaseViewController.h"

namespace qx {

// A screen showing one web page: an HTML text of the application's own (help, terms) or a page
// loaded from an address (the service's login page).
class VNWebViewController : public VNBaseViewController, public plat::WebViewDelegate {
public:
    static constexpr const char* kNibName = "VNWebViewController";
    static constexpr double kLoadTimeout = 30;

    static std::shared_ptr<VNWebViewController> make();
    VNWebViewController() : VNBaseViewController(kNibName) {}

    // The page view (loads the screen's view).
    std::shared_ptr<plat::WebView> webView();
    const std::string& contentString() const { return contentString_; }

    // Shows the HTML text as it is; the screen does not follow the page's loading.
    void setContentString(const std::string& html);
    // Loads the page at the address, never from a cached copy, and follows its loading.
    void loadContent(const std::string& url);
    // Closes the screen when `name` is posted (the login succeeded), through its back block.
    void closeOnNotification(const std::string& name);
    void stopClosingOnNotification() { closeObserver_.reset(); }
    // Runs when a page loaded from an address could not be loaded, with why no reply came.
    void setOnLoadFailed(std::function<void(plat::HttpFailure why)> block) { onLoadFailed_ = std::move(block); }
    void webViewForceClose();

    void viewDidLoad() override;
    void didFinishLoad(plat::WebView& view) override;
    void didFailLoad(plat::WebView& view, const std::string& error) override;
    void webViewDidFinishLoad(plat::WebView& view);

    std::string kindName() const override { return "WebScreen"; }

private:
    std::shared_ptr<plat::WebView> webView_;
    std::string contentString_;
    plat::ObserverToken closeObserver_;
    std::function<void(plat::HttpFailure)> onLoadFailed_;
};

}  // namespace qx
