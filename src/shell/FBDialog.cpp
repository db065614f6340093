#include "shell/FBDialog.h"

#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "shell/AppWindow.h"
#include "platform/foundation/URLText.h"

namespace qx {

namespace {

std::string& chosenSite() {
    static std::string site;  // set once at launch, on the main thread
    return site;
}

}  // namespace

void FBDialog::setSite(std::string site) { chosenSite() = std::move(site); }

FBDialog::FBDialog(std::string action, std::map<std::string, std::string> params,
                   std::weak_ptr<FBDialogDelegate> delegate)
    : action_(std::move(action)), params_(std::move(params)), delegate_(std::move(delegate)) {
    params_.emplace("display", "touch");
    params_.emplace("redirect_uri", kRedirectURL);
}

std::string FBDialog::url() const {
    const std::string& site = chosenSite();
    std::string text =
        (site.empty() ? std::string(kDialogBaseURL) : site + "/dialog/") + plat::url::percentEncoded(action_);
    char separator = '?';
    for (const auto& [key, value] : params_) {
        text += separator + plat::url::percentEncoded(key) + "=" + plat::url::percentEncoded(value);
        separator = '&';
    }
    return text;
}

bool FBDialog::show() {
    auto* window = mainWindow();
    if (!window) {
        plat::Log::line("FBDialog show: no window to show the dialog in");
        return false;
    }
    const auto bounds = window->bounds();
    setFrame(bounds);
    setBackgroundColor(plat::Color::rgba(0, 0, 0, 0.6));
    if (!webView_) {
        webView_ = std::make_shared<plat::WebView>(bounds.insetBy(10, 30));
        closeButton_ = plat::Button::make(plat::ButtonType::Custom, plat::Rect{bounds.maxX() - 40, 20, 30, 30});
        closeButton_->setImage(plat::Image::named("close"));
        closeButton_->setAccessibilityLabel("Close");
        closeButton_->addAction(plat::TouchUpInside, [this](plat::Control&) { cancel(); });
        addSubview(webView_);
        addSubview(closeButton_);
    }
    auto self = std::static_pointer_cast<FBDialog>(shared_from_this());
    webView_->setDelegate(std::shared_ptr<plat::WebViewDelegate>(self, this));
    window->addSubview(self);
    webView_->loadRequest(plat::URLRequest{url()});
    return true;
}

void FBDialog::dismiss() {
    if (webView_) webView_->stopLoading();
    removeFromSuperview();
}

void FBDialog::cancel() {
    auto keep = shared_from_this();
    dismiss();
    if (auto d = delegate_.lock()) d->dialogDidNotComplete(*this);
}

bool FBDialog::shouldStartLoad(plat::WebView&, const plat::URLRequest& request, plat::WebNavigationType type) {
    auto keep = shared_from_this();
    const auto d = delegate_.lock();
    if (plat::url::scheme(request.url) == "fbconnect") {
        dismiss();
        if (request.url.find("fbconnect://cancel") == 0) {
            if (d) d->dialogDidNotCompleteWithUrl(*this, request.url);
        } else if (d) {
            d->dialogCompleteWithUrl(*this, request.url);
            d->dialogDidComplete(*this);
        }
        return false;
    }
    if (type == plat::WebNavigationType::LinkClicked && d && d->dialogShouldOpenURLInExternalBrowser(*this, request.url)) {
        plat::Application::shared().openURL(request.url);
        return false;
    }
    return true;
}

void FBDialog::didFailLoad(plat::WebView&, const std::string& error) {
    auto keep = shared_from_this();
    dismiss();
    if (auto d = delegate_.lock()) d->dialogDidFailWithError(*this, error);
}

}  // namespace qx
