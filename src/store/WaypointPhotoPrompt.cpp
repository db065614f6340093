#include "store/WaypointPhotoPrompt.h"

#include "model/Language.h"
#include "model/Settings.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "store/CurrentReadingSource.h"
#include "store/Store.h"
#include "store/VNPhotoManager.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

// The photo library's own prompt, shown on the visible screen, unless a test installs another.
void pickWithPhotoManager(std::function<void(std::optional<std::string>)> done) {
    plat::Window* window = plat::Application::shared().keyWindow();
    VNPhotoManager::sharedInstance().takePhotoAlertInController(
        window ? window->visibleViewController() : nullptr,
        [done = std::move(done)](const std::optional<std::string>& url) { done(url); });
}

struct Collaborators {
    WaypointPhotoPrompt::PhotoPicker photoPicker = pickWithPhotoManager;
    WaypointPhotoPrompt::ReportingService reporting;
};

Collaborators& collaborators() {
    static Collaborators c;
    return c;
}

constexpr double kCheckBoxHeight = 30;

}  // namespace

void WaypointPhotoPrompt::setPhotoPicker(PhotoPicker picker) { collaborators().photoPicker = std::move(picker); }
void WaypointPhotoPrompt::setReportingService(ReportingService service) {
    collaborators().reporting = std::move(service);
}

WaypointPhotoPrompt::WaypointPhotoPrompt(std::vector<std::string> buttons)
    : plat::AlertView(Language::get("Add Waypoint"), "", Language::get("Cancel"), std::move(buttons)),
      checkBox_(plat::Button::make(plat::ButtonType::Custom)) {
    setAlertViewStyle(plat::AlertStyle::PlainTextInput);
    if (auto field = textFieldAtIndex(0)) field->setPlaceholder(Language::get("Waypoint Name"));
    checkBox_->setTitle(Language::get("Add photo"));
    // Dark text on the alert's light panel, beside its box.
    checkBox_->setTitleColor(plat::Color::black());
    checkBox_->setImage(plat::Image::named("checkbox_unchecked"), plat::ControlState::Normal);
    checkBox_->setImage(plat::Image::named("checkbox_checked"), plat::ControlState::Selected);
    checkBox_->setContentHorizontalAlignment(plat::ContentHorizontalAlignment::Left);
    checkBox_->addAction(plat::TouchUpInside, [](plat::Control& box) { box.setSelected(!box.isSelected()); });
}

void WaypointPhotoPrompt::rebuild() {
    plat::AlertView::rebuild();
    // The check box goes under the name field; the buttons move down to make room.
    auto field = textFieldAtIndex(0);
    if (!field) return;
    const double top = field->frame().maxY() + 4;
    for (const auto& v : subviews()) {
        if (v->frame().minY() >= top) {
            auto f = v->frame();
            f.origin.y += kCheckBoxHeight + 4;
            v->setFrame(f);
        }
    }
    checkBox_->setFrame(plat::Rect{field->frame().minX(), top, field->frame().width(), kCheckBoxHeight});
    addSubview(checkBox_);
}

std::shared_ptr<WaypointPhotoPrompt> WaypointPhotoPrompt::showForCurrentReading() {
    // The reading of the moment the user asked, not of the moment they answer.
    const CurrentReading reading = CurrentReadingSource::current();
    const plat::Date date = plat::Date::now();
    const auto& reporting = collaborators().reporting;
    std::vector<std::string> buttons{Language::get("Save")};
    const bool offerReporting = reporting.isConnected && reporting.isConnected();
    if (offerReporting) buttons.push_back(Language::get("Add To RadResponder"));

    auto prompt = std::shared_ptr<WaypointPhotoPrompt>(new WaypointPhotoPrompt(std::move(buttons)));
    std::weak_ptr<WaypointPhotoPrompt> weak = prompt;
    prompt->setDismissHandler([weak, reading, date, offerReporting](long index) {
        auto self = weak.lock();
        if (!self) return;
        const std::string text = self->textFieldAtIndex(0) ? self->textFieldAtIndex(0)->text() : "";
        const std::optional<std::string> name = text.empty() ? std::nullopt : std::optional<std::string>(text);
        const bool report =
            (offerReporting && index == self->indexOfButton(Language::get("Add To RadResponder"))) ||
            Settings::sharedSettings().RRUploadMode() == 1;
        auto store = [reading, date, name, report](std::optional<std::string> photo) {
            Waypoint::applyData(
                reading, reading.doseRate, reading.dose, reading.variation, reading.location, date,
                [name, photo](Waypoint& w) {
                    w.setName(name);
                    w.setPhotoUrl(photo);
                },
                [reading, date, report](const std::shared_ptr<Waypoint>& w, const StoreError* error) {
                    if (error) {
                        Store::reportFailedChange("Add Waypoint", "Waypoint Not Saved",
                                                  "The waypoint could not be saved: %@.", error);
                        return;
                    }
                    const auto& service = collaborators().reporting;
                    if (w && report && service.submit) service.submit(reading.doseRate, reading.location, date);
                });
        };
        const auto& picker = collaborators().photoPicker;
        if (self->checkBox_->isSelected() && picker) {
            picker(store);
        } else {
            store(std::nullopt);
        }
    });
    prompt->show(true);
    return prompt;
}

}  // namespace qx
