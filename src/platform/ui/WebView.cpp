#include "platform/ui/WebView.h"

#include <mutex>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/HtmlText.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/URLText.h"
#include "platform/ui/Application.h"
#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/Label.h"

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
        w.html_ = html;
        w.baseURL_ = baseURL;
        w.setNeedsDisplay();
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
        w.finishWith(std::move(*content), url);
    });
}

void WebView::fetchFromWeb(const URLRequest& request, int redirectsLeft) {
    const unsigned gen = ++generation_;
    loading_ = true;
    if (auto d = delegate()) d->didStartLoad(*this);
    HttpRequest http;
    http.url = request.url;
    http.timeout = request.timeoutInterval;
    std::weak_ptr<View> weak = weak_from_this();
    HttpClient::shared().send(std::move(http), [weak, gen, request, redirectsLeft](const HttpResponse& r) {
        auto self = std::static_pointer_cast<WebView>(weak.lock());
        if (!self || self->generation_ != gen) return;  // gone, stopped or replaced by a newer load
        self->loading_ = false;
        self->failure_ = r.failure;
        const bool redirect = r.status >= 300 && r.status < 400 && r.status != 304;
        self->received(request, r.status, redirect ? r.header("Location") : std::nullopt, r.body, r.error,
                       redirectsLeft);
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
    html_ = std::move(html);
    baseURL_ = url;
    setNeedsDisplay();
    if (auto d = delegate()) d->didFinishLoad(*this);
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

std::string WebView::plainText() const { return plainTextOfHtml(html_); }

std::string plainTextOfHtml(const std::string& html) { return HtmlText::plainText(html); }

void WebView::drawRect(DrawingContext& ctx, const Rect& rect) {
    // The page as a browser sets it: white, blocks one under another, each wrapped to the
    // width; what would run past the bottom is scrolled out of sight.
    constexpr double kMargin = 8;
    ctx.setFillColor(Color::white());
    ctx.fillRect(rect);
    const double width = rect.width() - 2 * kMargin;
    double y = rect.y() + kMargin;
    bool first = true;
    for (const auto& block : HtmlText::blocks(html_)) {
        if (y >= rect.maxY() || width <= 0) break;
        Label label(Rect{}, block.text);
        label.setNumberOfLines(0);
        double indent = 0, before = 0, after = 8;
        switch (block.kind) {
            case HtmlText::Block::Kind::Heading:
                label.setFont(Font::boldSystem(block.level <= 1 ? 22 : block.level == 2 ? 19 : 16));
                before = first ? 0 : 8;
                after = 6;
                break;
            case HtmlText::Block::Kind::Paragraph: label.setFont(Font::system(15)); break;
            case HtmlText::Block::Kind::Item:
                label.setText("\u2022 " + block.text);
                label.setFont(Font::system(15));
                indent = 12;
                after = 4;
                break;
            case HtmlText::Block::Kind::Row:
                label.setFont(block.header ? Font::boldSystem(13) : Font::system(13));
                after = 3;
                break;
        }
        y += before;
        // The last block that shows keeps the whole lines there is room for, ending in "…".
        const auto room = static_cast<int>((rect.maxY() - y) / label.font().lineHeight());
        if (room <= 0) break;
        if (label.layoutLines(width - indent).size() > static_cast<std::size_t>(room)) label.setNumberOfLines(room);
        const double height = label.sizeThatFits(Size{width - indent, 0}).height;
        ctx.saveState();
        ctx.translate(rect.x() + kMargin + indent, y);
        label.drawRect(ctx, Rect{0, 0, width - indent, height});
        ctx.restoreState();
        y += height + after;
        first = false;
    }
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

}  // namespace plat
