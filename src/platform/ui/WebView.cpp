#include "platform/ui/WebView.h"

#include <mutex>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/RunLoop.h"
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

std::optional<std::string> loadContent(const std::string& url) {
    WebView::ContentLoader loader;
    {
        std::lock_guard lock(loaderMutex());
        loader = loaderSlot();
    }
    if (loader) return loader(url);
    const std::string scheme = "file://";
    if (url.rfind(scheme, 0) == 0) return file::read(url.substr(scheme.size()));
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

void WebView::fetch(const URLRequest& request) {
    request_ = request;
    error_.clear();
    startLoad([url = request.url](WebView& w) {
        auto content = loadContent(url);
        auto d = w.delegate();
        if (!content) {
            w.error_ = "The page at " + url + " could not be loaded";
            if (d) d->didFailLoad(w, w.error_);
            return;
        }
        w.html_ = *content;
        w.baseURL_ = url;
        w.setNeedsDisplay();
        if (d) d->didFinishLoad(w);
    });
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

std::string plainTextOfHtml(const std::string& html) {
    std::string out;
    bool inTag = false, space = false;
    for (char c : html) {
        if (c == '<') {
            inTag = true;
            space = true;
        } else if (c == '>') {
            inTag = false;
        } else if (!inTag) {
            if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
                space = true;
            } else {
                if (space && !out.empty()) out += ' ';
                space = false;
                out += c;
            }
        }
    }
    return out;
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
