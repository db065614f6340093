#include "platform/ui/UiText.h"
#include "platform/ui/SocialComposer.h"

#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/TextView.h"

namespace plat {

namespace {

bool gAvailable[2] = {true, true};

std::vector<SocialPost>& postList() {
    static std::vector<SocialPost> list;
    return list;
}

const char* serviceName(SocialService s) { return s == SocialService::Twitter ? "Twitter" : "Facebook"; }

// The sheet: the network's name, Cancel and Post, the text, links and pictures.
class ComposeView : public View {
public:
    explicit ComposeView(const Rect& frame) : View(frame) {}

    void build(SocialComposer& sheet) {
        SocialComposer* s = &sheet;  // the sheet owns this view
        auto bar = std::make_shared<NavigationBar>(Rect{0, 0, frame().width(), NavigationBar::kHeight});
        item_ = std::make_shared<NavigationItem>(serviceName(sheet.service()));
        item_->setLeftBarButtonItem(BarButtonItem::withTitle(uiText("Cancel"), BarButtonStyle::Plain, [s](BarButtonItem&) { s->cancel(); }));
        item_->setRightBarButtonItem(BarButtonItem::withTitle(uiText("Post"), BarButtonStyle::Done, [s](BarButtonItem&) { s->post(); }));
        bar->pushNavigationItem(item_);
        addSubview(bar);
        text_ = std::make_shared<TextView>(Rect{0, NavigationBar::kHeight, frame().width(), 160});
        text_->setEditable(false);
        addSubview(text_);
        extras_ = std::make_shared<Label>(Rect{0, NavigationBar::kHeight + 160, frame().width(), 60});
        extras_->setNumberOfLines(0);
        addSubview(extras_);
    }

    void updateForInspection() override {
        auto* s = dynamic_cast<SocialComposer*>(viewController());
        if (!s || !text_) return;
        text_->setText(s->initialText());
        std::string extras;
        for (const auto& u : s->urls()) extras += (extras.empty() ? "" : "\n") + u;
        for (const auto& i : s->images()) extras += (extras.empty() ? "" : "\n") + ("[image " + (i ? i->name() : "") + "]");
        extras_->setText(extras);
    }

private:
    std::shared_ptr<NavigationItem> item_;
    std::shared_ptr<TextView> text_;
    std::shared_ptr<Label> extras_;
};

}  // namespace

bool SocialComposer::isAvailable(SocialService service) { return gAvailable[static_cast<int>(service)]; }

void SocialComposer::setAvailable(SocialService service, bool available) {
    gAvailable[static_cast<int>(service)] = available;
}

std::shared_ptr<SocialComposer> SocialComposer::make(SocialService service) {
    if (!isAvailable(service)) return nullptr;
    return std::make_shared<SocialComposer>(service);
}

const std::vector<SocialPost>& SocialComposer::posts() { return postList(); }

void SocialComposer::clearPosts() { postList().clear(); }

SocialComposer::SocialComposer(SocialService service) : service_(service) {}

bool SocialComposer::setInitialText(std::string text) {
    if (isOnScreen() || finished_) return false;
    text_ = std::move(text);
    return true;
}

bool SocialComposer::addURL(std::string url) {
    if (isOnScreen() || finished_) return false;
    urls_.push_back(std::move(url));
    return true;
}

bool SocialComposer::addImage(ImagePtr image) {
    if (isOnScreen() || finished_ || !image) return false;
    images_.push_back(std::move(image));
    return true;
}

bool SocialComposer::finish(ComposeResult r) {
    if (finished_) return false;
    finished_ = true;
    auto keep = weak_from_this().lock();
    if (completion_) {
        auto done = completion_;
        done(r);
    }
    return true;
}

bool SocialComposer::post() {
    if (finished_) return false;
    SocialPost p{service_, text_, title(), urls_, {}};
    for (const auto& i : images_) p.imageNames.push_back(i->name());
    postList().push_back(std::move(p));
    return finish(ComposeResult::Done);
}

bool SocialComposer::cancel() { return finish(ComposeResult::Cancelled); }

void SocialComposer::loadView() {
    auto v = std::make_shared<ComposeView>(makeScreenView()->frame());
    setView(v);
    v->build(*this);
}

}  // namespace plat
