#include "platform/ui/WebView.h"

#include <algorithm>
#include <mutex>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/HtmlEncoding.h"
#include "platform/foundation/HtmlText.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/URLText.h"
#include "platform/ui/Application.h"
#include "platform/ui/DescriptionWriter.h"

namespace plat {

namespace {

std::mutex& loaderMutex() {
    static std::mutex m;
    return m;
}

WebView::ContentLoader& loaderSlot() {
    static WebView::ContentLoader loader;
    return loader;
}

WebView::ContentLoader installedLoader() {
    std::lock_guard lock(loaderMutex());
    return loaderSlot();
}

// Whether the page at the address comes off disk or a web server at all (otherwise it belongs
// to another program); an installed loader takes every address.
bool isPageAddress(const std::string& url) {
    const std::string scheme = url::scheme(url);
    return scheme == "file" || scheme == "http" || scheme == "https";
}

std::optional<std::string> loadLocally(const std::string& url) {
    if (auto loader = installedLoader()) return loader(url);
    const std::string prefix = "file://";
    if (url.rfind(prefix, 0) == 0) return file::read(url.substr(prefix.size()));
    return std::nullopt;
}

}  // namespace

void WebView::setContentLoader(ContentLoader loader) {
    std::lock_guard lock(loaderMutex());
    loaderSlot() = std::move(loader);
}

void WebView::startLoad(std::function<void(WebView&)> finish) {
    unsigned gen = ++generation_;
    loading_ = true;
    if (auto d = delegate()) d->didStartLoad(*this);
    std::weak_ptr<View> weak = weak_from_this();
    RunLoop::main().post([weak, gen, finish = std::move(finish)] {
        auto self = std::static_pointer_cast<WebView>(weak.lock());
        if (!self || self->generation_ != gen) return;  // gone, stopped or replaced by a newer load
        self->loading_ = false;
        finish(*self);
    });
}

void WebView::loadHTMLString(std::string html, std::string baseURL) {
    request_.reset();
    error_.clear();
    startLoad([html = std::move(html), baseURL = std::move(baseURL)](WebView& w) {
        w.show(html, baseURL);
        if (auto d = w.delegate()) d->didFinishLoad(w);
    });
}

void WebView::fetch(const URLRequest& request, int redirectsLeft) {
    if (!installedLoader() && !isPageAddress(request.url)) {
        handOver(request.url);
        return;
    }
    request_ = request;
    error_.clear();
    failure_ = HttpFailure::none;
    const std::string scheme = url::scheme(request.url);
    if (!installedLoader() && (scheme == "http" || scheme == "https")) {
        fetchFromWeb(request, redirectsLeft);
        return;
    }
    startLoad([url = request.url](WebView& w) {
        auto content = loadLocally(url);
        if (!content) return w.failWith("The page at " + url + " could not be loaded");
        w.finishWith(HtmlEncoding::decoded(*content), url);
    });
}

void WebView::fetchFromWeb(const URLRequest& request, int redirectsLeft) {
    const unsigned gen = ++generation_;
    loading_ = true;
    if (auto d = delegate()) d->didStartLoad(*this);
    HttpRequest http;
    http.url = request.url;
    http.timeout = request.timeoutInterval;
    http.purpose = "web page";
    std::weak_ptr<View> weak = weak_from_this();
    HttpClient::shared().send(std::move(http), [weak, gen, request, redirectsLeft](const HttpResponse& r) {
        auto self = std::static_pointer_cast<WebView>(weak.lock());
        if (!self || self->generation_ != gen) return;  // gone, stopped or replaced by a newer load
        self->loading_ = false;
        self->failure_ = r.failure;
        const bool redirect = r.status >= 300 && r.status < 400 && r.status != 304;
        self->received(request, r.status, redirect ? r.header("Location") : std::nullopt,
                       HtmlEncoding::decoded(r.body, r.header("Content-Type").value_or("")), r.error, redirectsLeft);
    });
}

void WebView::received(const URLRequest& request, long status, std::optional<std::string> location, std::string body,
                       const std::string& error, int redirectsLeft) {
    if (status == 0) return failWith("The page at " + request.url + " could not be loaded: " + error);
    if (!location) return finishWith(std::move(body), request.url);
    if (redirectsLeft <= 0) return failWith("The page at " + request.url + " redirects too often");
    URLRequest next = request;
    next.url = url::resolved(request.url, *location);
    if (auto d = delegate(); d && !d->shouldStartLoad(*this, next, WebNavigationType::Other)) return;
    fetch(next, redirectsLeft - 1);
}

void WebView::handOver(const std::string& url) {
    // The page that led here stays shown; the load is over.
    ++generation_;
    loading_ = false;
    Application::shared().openURL(url);
}

void WebView::finishWith(std::string html, const std::string& url) {
    show(std::move(html), url);
    if (auto d = delegate()) d->didFinishLoad(*this);
}

void WebView::show(std::string html, std::string url) {
    html_ = std::move(html);
    baseURL_ = std::move(url);
    document_ = HtmlDocument::parse(html_);
    laidOutWidth_ = -1;
    pageLayout();
    setContentOffset(Point{0, 0});
    setNeedsDisplay();
}

const HtmlLayout& WebView::pageLayout() {
    const double width = bounds().width();
    if (laidOutWidth_ != width) {
        layout_ = HtmlLayout(document_, width);
        laidOutWidth_ = width;
    }
    // A short page fills the view, as on a phone.
    setContentSize(Size{layout_.size().width, std::max(layout_.size().height, bounds().height())});
    return layout_;
}

void WebView::setFrame(const Rect& frame) {
    ScrollView::setFrame(frame);
    pageLayout();
}

void WebView::failWith(std::string error) {
    error_ = std::move(error);
    if (auto d = delegate()) d->didFailLoad(*this, error_);
}

void WebView::loadRequest(const URLRequest& request) {
    if (auto d = delegate(); d && !d->shouldStartLoad(*this, request, WebNavigationType::Other)) return;
    fetch(request);
}

bool WebView::navigate(const std::string& url, WebNavigationType type) {
    URLRequest r{url};
    if (auto d = delegate(); d && !d->shouldStartLoad(*this, r, type)) return false;
    fetch(r);
    return true;
}

void WebView::stopLoading() {
    ++generation_;
    loading_ = false;
}

std::string WebView::plainText() const { return layout_.text(); }

std::string plainTextOfHtml(const std::string& html) { return HtmlText::plainText(html); }

void WebView::drawRect(DrawingContext& ctx, const Rect& rect) {
    ctx.setFillColor(Color::white());
    ctx.fillRect(rect);
    pageLayout().draw(ctx, rect);
}

std::string WebView::describeLine() const {
    std::string s = "WebView";
    if (request_) s += " " + request_->url;
    if (loading_) s += " (loading)";
    if (!error_.empty()) s += " (failed)";
    const std::string text = DescriptionWriter::shortened(plainText(), 120);
    if (!text.empty()) s += " " + DescriptionWriter::quoted(text);
    return s;
}

void WebView::describeContent(DescriptionWriter& out) const {
    out.line(describeLine());
    DescriptionWriter::Nested nested(out);
    HtmlLayout::describe(document_, out);
    describeSubviews(out);
}

}  // namespace plat
