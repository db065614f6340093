#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/HtmlDocument.h"
#include "platform/foundation/HttpClient.h"
#include "platform/ui/HtmlLayout.h"
#include "platform/ui/ScrollView.h"

namespace plat {

class WebView;

struct URLRequest {
    enum class CachePolicy { UseProtocolCachePolicy, ReloadIgnoringLocalCacheData, ReturnCacheDataElseLoad };
    std::string url;
    CachePolicy cachePolicy = CachePolicy::UseProtocolCachePolicy;
    double timeoutInterval = 60;
};

enum class WebNavigationType { LinkClicked, FormSubmitted, BackForward, Reload, FormResubmitted, Other };

class WebViewDelegate {
public:
    virtual ~WebViewDelegate() = default;
    virtual bool shouldStartLoad(WebView&, const URLRequest&, WebNavigationType) { return true; }
    virtual void didStartLoad(WebView&) {}
    virtual void didFinishLoad(WebView&) {}
    virtual void didFailLoad(WebView&, const std::string& error) { (void)error; }
};

// A page view. HTML given as text is shown as it is; a URL request is loaded through the
// content loader when one is installed, else file: URLs from disk and http and https pages
// through the HTTP client. The view is headless: it keeps the page's text and follows the
// server's redirects itself, asking the delegate before each; a redirect to an address that is
// no web page (the application's own scheme) is handed to the application to open, as a
// browser would, and ends the load. Loading finishes on the main run loop, then the delegate
// hears of it. The loaded content is kept as data, in UTF-8: a page in another encoding is
// read in the one its reply or its <meta> declares.
//
// The page scrolls as on a phone: its content is the whole document set at the view's width
// (wider when a table needs it), and a newly shown page starts at its top.
class WebView : public ScrollView {
public:
    // Returns the document at a URL, or nothing when it cannot be had.
    using ContentLoader = std::function<std::optional<std::string>(const std::string& url)>;

    using ScrollView::ScrollView;

    void setDelegate(std::weak_ptr<WebViewDelegate> d) { delegate_ = std::move(d); }
    std::shared_ptr<WebViewDelegate> delegate() const { return delegate_.lock(); }

    void loadHTMLString(std::string html, std::string baseURL = {});
    void loadRequest(const URLRequest& request);
    // A link followed or a redirect by the page: asks the delegate, then loads.
    bool navigate(const std::string& url, WebNavigationType type = WebNavigationType::LinkClicked);
    void stopLoading();

    bool isLoading() const { return loading_; }
    const std::string& html() const { return html_; }
    const std::string& baseURL() const { return baseURL_; }
    const std::optional<URLRequest>& request() const { return request_; }
    const std::string& lastError() const { return error_; }
    // Why the last load from the web got no reply (none while it did or is under way).
    HttpFailure lastFailure() const { return failure_; }
    // The text drawn of the page, in document order.
    std::string plainText() const;

    static void setContentLoader(ContentLoader loader);

    // Redirects followed in one load before it counts as failed.
    static constexpr int kMaxRedirects = 10;

    // The document as set at the current width.
    const HtmlLayout& pageLayout();

    void setFrame(const Rect& frame) override;
    void updateForInspection() override { pageLayout(); }
    void drawRect(DrawingContext& context, const Rect& rect) override;
    std::string kindName() const override { return "WebView"; }
    std::string displayText() const override { return plainText(); }
    std::string describeLine() const override;
    // The line, then the whole document.
    void describeContent(DescriptionWriter& out) const override;

private:
    void startLoad(std::function<void(WebView&)> finish);
    void fetch(const URLRequest& request, int redirectsLeft = kMaxRedirects);
    void fetchFromWeb(const URLRequest& request, int redirectsLeft);
    void received(const URLRequest& request, long status, std::optional<std::string> location, std::string body,
                  const std::string& error, int redirectsLeft);
    // A navigation to an address of no web scheme: the application opens it.
    void handOver(const std::string& url);
    void finishWith(std::string html, const std::string& url);
    void failWith(std::string error);
    // Shows a new document from its top.
    void show(std::string html, std::string url);

    std::weak_ptr<WebViewDelegate> delegate_;
    std::string html_, baseURL_, error_;
    HttpFailure failure_ = HttpFailure::none;
    std::optional<URLRequest> request_;
    HtmlNode document_;
    HtmlLayout layout_;
    double laidOutWidth_ = -1;  // the width layout_ was made for; below 0 when it must be made again
    bool loading_ = false;
    unsigned generation_ = 0;
};

// The text of an HTML document without its markup, runs of blanks made one blank, character
// references decoded.
std::string plainTextOfHtml(const std::string& html);

}  // namespace plat
