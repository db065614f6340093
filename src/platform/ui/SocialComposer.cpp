#include "platform/ui/UiText.h"
#include "platform/ui/SocialComposer.h"

#include "platform/ui/ImageView.h"
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

// The sheet: the network's name, Cancel and Post, the text (scrolling when long), and below
// it the links and the pictures the post carries, as small pictures beside the links.
class ComposeView : public View {
public:
    static constexpr double kTextHeight = 160, kPicture = 56, kGap = 8;

    explicit ComposeView(const Rect& frame) : View(frame) {}

    void build(SocialComposer& sheet) {
        SocialComposer* s = &sheet;  // the sheet owns this view
        const double width = frame().width();
        auto bar = std::make_shared<NavigationBar>(Rect{0, 0, width, NavigationBar::kHeight});
        item_ = std::make_shared<NavigationItem>(serviceName(sheet.service()));
        item_->setLeftBarButtonItem(BarButtonItem::withTitle(uiText("Cancel"), BarButtonStyle::Plain, [s](BarButtonItem&) { s->cancel(); }));
        item_->setRightBarButtonItem(BarButtonItem::withTitle(uiText("Post"), BarButtonStyle::Done, [s](BarButtonItem&) { s->post(); }));
        bar->pushNavigationItem(item_);
        addSubview(bar);
        text_ = std::make_shared<TextView>(Rect{0, NavigationBar::kHeight, width, kTextHeight});
        text_->setEditable(false);
        addSubview(text_);
        const double extrasTop = NavigationBar::kHeight + kTextHeight + kGap;
        for (std::size_t i = 0; i < sheet.images().size(); ++i) {
            const double x = kGap + static_cast<double>(i) * (kPicture + kGap);
            auto picture = std::make_shared<ImageView>(sheet.images()[i]);
            picture->setFrame(Rect{x, extrasTop, kPicture, kPicture});
            picture->setContentMode(ContentMode::ScaleAspectFit);
            addSubview(picture);
        }
        const double linksLeft = kGap + static_cast<double>(sheet.images().size()) * (kPicture + kGap);
        links_ = std::make_shared<Label>(Rect{linksLeft, extrasTop, std::max(0.0, width - linksLeft - kGap), kPicture});
        links_->setNumberOfLines(0);
        links_->setFont(Font::system(14));
        links_->setTextColor(Color::rgba(0.0, 0.48, 1.0));
        addSubview(links_);
    }

    void updateForInspection() override {
        auto* s = dynamic_cast<SocialComposer*>(viewController());
        if (!s || !text_) return;
        text_->setText(s->initialText());
        std::string links;
        for (const auto& u : s->urls()) links += (links.empty() ? "" : "\n") + u;
        links_->setText(links);
    }

private:
    std::shared_ptr<NavigationItem> item_;
    std::shared_ptr<TextView> text_;
    std::shared_ptr<Label> links_;
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
