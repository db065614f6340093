#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/ui/Button.h"
#include "platform/ui/WebView.h"

namespace qx {

class FBDialog;

// Told how a dialog of the social network ended; every operation is optional.
class FBDialogDelegate {
public:
    virtual ~FBDialogDelegate() = default;
    // The page finished with its success address (the post's id in its query).
    virtual void dialogCompleteWithUrl(FBDialog& dialog, const std::string& url) {
        (void)dialog;
        (void)url;
    }
    virtual void dialogDidNotCompleteWithUrl(FBDialog& dialog, const std::string& url) {
        (void)dialog;
        (void)url;
    }
    virtual void dialogDidComplete(FBDialog& dialog) { (void)dialog; }
    // Closed by the person before the page finished.
    virtual void dialogDidNotComplete(FBDialog& dialog) { (void)dialog; }
    virtual void dialogDidFailWithError(FBDialog& dialog, const std::string& error) {
        (void)dialog;
        (void)error;
    }
    // Whether a link the person follows leaves for the browser.
    virtual bool dialogShouldOpenURLInExternalBrowser(FBDialog& dialog, const std::string& url) {
        (void)dialog;
        (void)url;
        return true;
    }
};

// A dialog page of the social network (the "feed" dialog) shown over the window in a web view.
// The page ends by going to "fbconnect://success" (or "fbconnect://cancel"), which closes the
// dialog and tells the delegate.
class FBDialog : public plat::View, public plat::WebViewDelegate {
public:
    static constexpr const char* kDialogBaseURL = "https://m.facebook.com/dialog/";
    // The site the dialog pages come from: the network's own unless another was chosen (a
    // stand-in of the network's pages, for trying the dialog without the network); empty for
    // the network's own.
    static void setSite(std::string site);
    static constexpr const char* kRedirectURL = "fbconnect://success";

    FBDialog(std::string action, std::map<std::string, std::string> params, std::weak_ptr<FBDialogDelegate> delegate);

    const std::string& action() const { return action_; }
    const std::map<std::string, std::string>& params() const { return params_; }
    // The page's address: the action and its parameters, escaped.
    std::string url() const;

    // Puts the dialog over the application's window and loads the page; false without a window.
    bool show();
    bool isShown() const { return superview() != nullptr; }
    // The close button.
    void cancel();

    plat::WebView& webView() { return *webView_; }

    // WebViewDelegate
    bool shouldStartLoad(plat::WebView&, const plat::URLRequest& request, plat::WebNavigationType type) override;
    void didFailLoad(plat::WebView&, const std::string& error) override;

    bool isModalOverlay() const override { return true; }
    std::string kindName() const override { return "SocialDialog"; }
    std::string describeLine() const override { return "SocialDialog " + action_; }

private:
    void dismiss();

    std::string action_;
    std::map<std::string, std::string> params_;
    std::weak_ptr<FBDialogDelegate> delegate_;
    std::shared_ptr<plat::WebView> webView_;
    std::shared_ptr<plat::Button> closeButton_;
};

}  // namespace qx
