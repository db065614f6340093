#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/ui/ViewController.h"

namespace plat {

enum class SocialService { Twitter, Facebook };
enum class ComposeResult { Cancelled, Done };

// What a compose sheet posted, kept as data.
struct SocialPost {
    SocialService service;
    std::string text;
    std::string title;
    std::vector<std::string> urls;
    std::vector<std::string> imageNames;
};

// The compose sheet of a social network. Whether a network's sheet is available is a setting.
// The person posts or cancels; the completion hears Done or Cancelled (it usually dismisses
// the sheet). Posts are recorded, not sent anywhere.
class SocialComposer : public ViewController {
public:
    using Completion = std::function<void(ComposeResult)>;

    static bool isAvailable(SocialService service);
    static void setAvailable(SocialService service, bool available);
    // A sheet for the network, or nullptr when the network is not available.
    static std::shared_ptr<SocialComposer> make(SocialService service);
    static const std::vector<SocialPost>& posts();
    static void clearPosts();

    explicit SocialComposer(SocialService service);

    SocialService service() const { return service_; }
    // Refused (false) once the sheet is on screen, as on the phone.
    bool setInitialText(std::string text);
    const std::string& initialText() const { return text_; }
    bool addURL(std::string url);
    bool addImage(ImagePtr image);
    const std::vector<std::string>& urls() const { return urls_; }
    const std::vector<ImagePtr>& images() const { return images_; }
    void setCompletion(Completion c) { completion_ = std::move(c); }

    // What the person does; each finishes the sheet once.
    bool post();
    bool cancel();
    bool isFinished() const { return finished_; }

    void loadView() override;
    std::string kindName() const override { return "ComposeSheet"; }

private:
    bool finish(ComposeResult r);

    SocialService service_;
    std::string text_;
    std::vector<std::string> urls_;
    std::vector<ImagePtr> images_;
    Completion completion_;
    bool finished_ = false;
};

}  // namespace plat
