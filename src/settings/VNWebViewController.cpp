#include "settings/VNWebViewController.h"

#include "platform/foundation/Log.h"
#include "settings/SettingsInterfaces.h"

namespace qx {

std::shared_ptr<VNWebViewController> VNWebViewController::make() {
    registerSettingsInterfaces();
    return std::make_shared<VNWebViewController>();
}

void VNWebViewController::viewDidLoad() {
    VNBaseViewController::viewDidLoad();
    webView_ = outlet<plat::WebView>("webView");
    if (!webView_) {
        webView_ = std::make_shared<plat::WebView>(contentFrame());
        view()->addSubview(webView_);
    }
}

std::shared_ptr<plat::WebView> VNWebViewController::webView() {
    view();
    return webView_;
}

void VNWebViewController::setContentString(const std::string& html) {
    contentString_ = html;
    auto page = webView();
    page->setDelegate({});
    page->loadHTMLString(contentString_);
}

void VNWebViewController::loadContent(const std::string& url) {
    contentString_.clear();
    auto page = webView();
    auto self = weak_from_this().lock();
    page->setDelegate(std::shared_ptr<plat::WebViewDelegate>(self, this));
    plat::URLRequest request;
    request.url = url;
    request.cachePolicy = plat::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData;
    request.timeoutInterval = kLoadTimeout;
    page->loadRequest(request);
}

void VNWebViewController::didFinishLoad(plat::WebView& view) { webViewDidFinishLoad(view); }

void VNWebViewController::webViewDidFinishLoad(plat::WebView&) { plat::Log::line("finish"); }

void VNWebViewController::didFailLoad(plat::WebView& view, const std::string& error) {
    plat::Log::line("VNWebViewController: " + error);
    if (auto block = onLoadFailed_) block(view.lastFailure());  // a copy: the block may close the screen
}

void VNWebViewController::closeOnNotification(const std::string& name) {
    closeObserver_ = plat::NotificationCenter::defaultCenter().addObserver(
        name, [this](const plat::Notification&) { webViewForceClose(); });
}

void VNWebViewController::webViewForceClose() {
    auto keep = weak_from_this().lock();  // the back block usually lets the screen go
    plat::Log::line("closing");
    closeObserver_.reset();
    onBack();
}

}  // namespace qx
