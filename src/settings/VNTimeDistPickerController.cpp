#include "settings/VNTimeDistPickerController.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <mutex>
#include <vector>

#include "model/Language.h"
#include "model/Settings.h"
#include "platform/ui/Interface.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/Screen.h"
#include "settings/SecondaryScreens.h"
#include "settings/VNTrackAutoSaveSettingSection.h"

namespace qx {

namespace {

constexpr std::array<long, 3> kMinutesAfterTen{15, 30, 45};
constexpr std::array<long, 7> kSeconds{0, 1, 5, 10, 15, 30, 45};
constexpr std::array<long, 10> kMapDistances{1, 2, 3, 5, 10, 15, 20, 30, 40, 50};
// The distance step's second wheel: 0 to 100, then hundreds up to 900.
constexpr long kPlainRows = 101;
constexpr long kHundredRows = 8;

constexpr double kLabelFontSize = 21;
constexpr double kNoteMargin = 16;
// A stored time step within this many seconds of what the wheels show is shown exactly.
constexpr double kSameSeconds = 0.5;

long unitsPerLargeUnit() { return Settings::sharedSettings().metric() ? 1000 : 1760; }

template <std::size_t N>
long entry(const std::array<long, N>& table, long row) {
    return row >= 0 && row < static_cast<long>(N) ? table[static_cast<std::size_t>(row)] : -1;
}

// The screen: its bar on top and the wheels below it.
std::shared_ptr<plat::View> buildPickerScreen(plat::Outlets& outlets) {
    const auto bounds = plat::Screen::bounds();
    auto root = std::make_shared<plat::View>(plat::Rect{0, 0, bounds.width(), bounds.height()});
    root->setBackgroundColor(plat::Color::white());
    auto bar = std::make_shared<plat::NavigationBar>(plat::Rect{0, 0, bounds.width(), plat::NavigationBar::kHeight});
    auto picker = std::make_shared<plat::PickerView>(
        plat::Rect{0, bar->frame().maxY(), bounds.width(), plat::PickerView::kHeight});
    picker->setBackgroundColor(plat::Color::white());
    // Says when the wheels cannot show the stored step and show the nearest one instead.
    auto note = std::make_shared<plat::Label>(plat::Rect{kNoteMargin, 0, bounds.width() - 2 * kNoteMargin, 0});
    note->setNumberOfLines(0);
    note->setTextAlignment(plat::TextAlignment::Center);
    note->setFont(plat::Font::system(15));
    note->setHidden(true);
    root->addSubview(picker);
    root->addSubview(note);
    root->addSubview(bar);
    outlets.set("navBar", bar);
    outlets.set("picker", picker);
    outlets.set("note", note);
    return root;
}

void registerInterface() {
    static std::once_flag once;
    std::call_once(once, [] {
        plat::Interface::registerBuilder(VNTimeDistPickerController::kNibName, buildPickerScreen);
    });
}

}  // namespace

VNTimeDistPickerController::VNTimeDistPickerController() : VNBaseViewController(kNibName) { registerInterface(); }

std::shared_ptr<VNTimeDistPickerController> VNTimeDistPickerController::present(std::uint64_t mode,
                                                                                ValueBlock onSelectValue) {
    auto screen = std::make_shared<VNTimeDistPickerController>();
    screen->setMode(mode);
    screen->setOnSelectValue(std::move(onSelectValue));
    SecondaryScreens::present(screen);
    return screen;
}

VNTimeDistPickerController::Kind VNTimeDistPickerController::kind() const {
    switch (mode_) {
        case kDistanceMode: return Kind::distance;
        case kMapDistanceMode: return Kind::mapDistance;
        default: return Kind::time;
    }
}

void VNTimeDistPickerController::setMode(std::uint64_t mode) {
    mode_ = mode;
    showTitle();
    if (picker_) picker_->reloadAllComponents();
}

void VNTimeDistPickerController::showTitle() {
    // The screen says which step it sets, in the words of the row that opened it.
    static constexpr const char* kTitles[] = {"Time, every", "Distance, every", "Distance"};
    setTitle(Language::get(kTitles[static_cast<int>(kind())]));
}

std::shared_ptr<plat::PickerView> VNTimeDistPickerController::picker() {
    view();
    return picker_;
}

void VNTimeDistPickerController::viewDidLoad() {
    VNBaseViewController::viewDidLoad();
    picker_ = outlet<plat::PickerView>("picker");
    if (!picker_) {
        picker_ = std::make_shared<plat::PickerView>();
        view()->addSubview(picker_);
    }
    auto self = weak_from_this().lock();
    picker_->setDataSource(std::shared_ptr<plat::PickerViewDataSource>(self, this));
    picker_->setDelegate(std::shared_ptr<plat::PickerViewDelegate>(self, this));
    picker_->setShowsSelectionIndicator(true);
    // The wheels stand in the middle of the screen, as a phone centres a lone picker.
    const auto area = contentFrame();
    picker_->setFrame(plat::Rect{0, area.y() + std::max(0.0, (area.height() - plat::PickerView::kHeight) / 2),
                                 area.width(), plat::PickerView::kHeight});
    note_ = outlet<plat::Label>("note");
    showTitle();
    picker_->reloadAllComponents();
    updatePickerLabels();
    initSelection();
}

long VNTimeDistPickerController::numberAt(long row, long component) const {
    if (row < 0) return -1;
    switch (kind()) {
        case Kind::time:
            if (component == 0) return row <= 24 ? row : -1;
            if (component == 1) return row <= 10 ? row : entry(kMinutesAfterTen, row - 11);
            if (component == 2) return entry(kSeconds, row);
            return -1;
        case Kind::distance:
            if (component == 0) return row < kPlainRows ? row : -1;
            if (component == 1) {
                if (row < kPlainRows) return row;
                return row < kPlainRows + kHundredRows ? row * 100 - 9900 : -1;
            }
            return -1;
        case Kind::mapDistance: return component == 0 ? entry(kMapDistances, row) : -1;
    }
    return -1;
}

long VNTimeDistPickerController::rowShowing(long number, long component) const {
    for (long row = 0; numberAt(row, component) >= 0; ++row) {
        if (numberAt(row, component) == number) return row;
    }
    return -1;
}

long VNTimeDistPickerController::numberOfComponents(plat::PickerView&) {
    switch (kind()) {
        case Kind::time: return 3;
        case Kind::distance: return 2;
        case Kind::mapDistance: return 1;
    }
    return 0;
}

long VNTimeDistPickerController::numberOfRows(plat::PickerView&, long component) {
    long rows = 0;
    while (numberAt(rows, component) >= 0) ++rows;
    return rows;
}

std::string VNTimeDistPickerController::titleForRow(plat::PickerView&, long row, long component) {
    const long number = numberAt(row, component);
    return number >= 0 ? std::to_string(number) : std::string{};
}

double VNTimeDistPickerController::widthForComponent(plat::PickerView&, long) {
    return kind() == Kind::time ? 100.0 : 160.0;
}

std::shared_ptr<plat::View> VNTimeDistPickerController::viewForRow(plat::PickerView& picker, long row, long component,
                                                                   std::shared_ptr<plat::View> reusing) {
    auto label = std::dynamic_pointer_cast<plat::Label>(reusing);
    if (!label) {
        label = std::make_shared<plat::Label>(plat::Rect{0, 0, 70, 50});
        label->setBackgroundColor(plat::Color::clear());
        label->setTextAlignment(plat::TextAlignment::Left);
        label->setTextColor(plat::Color::black());
        label->setFont(plat::Font::named("HelveticaNeue-Bold", kLabelFontSize));
    }
    label->setText(titleForRow(picker, row, component));
    return label;
}

double VNTimeDistPickerController::selectedValue() {
    const auto shown = [this](long component) {
        return std::max(0L, numberAt(picker_->selectedRow(component), component));
    };
    switch (kind()) {
        case Kind::time: return static_cast<double>(shown(0) * 60 + shown(1)) + static_cast<double>(shown(2)) / 60.0;
        case Kind::distance: return static_cast<double>(shown(1) + shown(0) * unitsPerLargeUnit());
        case Kind::mapDistance: return static_cast<double>(shown(0));
    }
    return 0;
}

void VNTimeDistPickerController::didSelectRow(plat::PickerView&, long, long) {
    const double value = selectedValue();
    // A copy: the block may close the screen.
    if (auto block = onSelectValue_) block(value);
    updatePickerLabels();
}

void VNTimeDistPickerController::updatePickerLabels() {
    const bool metric = Settings::sharedSettings().metric();
    const auto add = [this](const char* key, long component, double x) {
        picker_->addLabel(Language::get(key), kLabelFontSize, component, x, kLabelFontSize);
    };
    switch (kind()) {
        case Kind::time:
            add("hours", 0, 40);
            add("mins", 1, 45);
            add("secs", 2, 50);
            break;
        case Kind::distance:
            add(metric ? "km" : "mi", 0, 100);
            add(metric ? "short.meters" : "y", 1, 100);
            break;
        case Kind::mapDistance: add(metric ? "km" : "mi", 0, 100); break;
    }
}

std::vector<long> VNTimeDistPickerController::nearestRows(double stored, double unit, bool& exact) const {
    // Every combination of the wheels' rows, the nearest to the stored value kept (the first of
    // equals, so the smaller value). Few enough: at most 25 x 14 x 7 for the time.
    const long wheels = kind() == Kind::time ? 3 : kind() == Kind::distance ? 2 : 1;
    // What one step of each wheel is worth in the stored value's unit.
    std::array<double, 3> weights{1, 0, 0};
    if (kind() == Kind::time) weights = {3600, 60, 1};
    if (kind() == Kind::distance) weights = {unit, 1, 0};
    std::vector<long> rows(static_cast<std::size_t>(wheels), 0), best = rows;
    double bestDistance = std::numeric_limits<double>::infinity();
    const auto visit = [&](const auto& self, long wheel, double value) -> void {
        if (wheel == wheels) {
            if (const double d = std::abs(value - stored); d < bestDistance) {
                bestDistance = d;
                best = rows;
            }
            return;
        }
        for (long row = 0; numberAt(row, wheel) >= 0; ++row) {
            rows[static_cast<std::size_t>(wheel)] = row;
            self(self, wheel + 1, value + static_cast<double>(numberAt(row, wheel)) * weights[static_cast<std::size_t>(wheel)]);
        }
    };
    visit(visit, 0, 0);
    exact = bestDistance < (kind() == Kind::time ? kSameSeconds : 0.5);
    return best;
}

void VNTimeDistPickerController::initSelection() {
    const auto& settings = Settings::sharedSettings();
    const bool metric = settings.metric();
    // The stored step in the unit the wheels add up (seconds, metres or yards, kilometres or
    // miles) and as the person reads it.
    double stored = 0;
    std::string shown;
    switch (kind()) {
        case Kind::time:
            stored = settings.trackTime() * 60;
            shown = VNTrackAutoSaveSettingSection::timeText(settings.trackTime());
            break;
        case Kind::distance:
            stored = static_cast<double>(settings.trackDistance());
            shown = std::to_string(settings.trackDistance()) + " " + Language::get(metric ? "meters" : "yards");
            break;
        case Kind::mapDistance:
            stored = static_cast<double>(settings.WMDistance());
            shown = std::to_string(settings.WMDistance()) + " " + Language::get(metric ? "km" : "mi");
            break;
    }
    // Preferences read from a file may hold anything: what is not a number is taken as 0.
    if (!std::isfinite(stored)) stored = 0;
    bool exact = false;
    const auto rows = nearestRows(stored, static_cast<double>(unitsPerLargeUnit()), exact);
    for (std::size_t wheel = 0; wheel < rows.size(); ++wheel) {
        picker_->selectRow(rows[wheel], static_cast<long>(wheel), kind() == Kind::mapDistance);
    }
    if (!note_) return;
    std::string text;
    if (stored == 0 && kind() != Kind::mapDistance) {
        text = Language::get("A step of 0 saves nothing: choose one.");
    } else if (!exact) {
        text = Language::get("The wheels cannot show the stored value, %@; they show the nearest.");
        text.replace(text.find("%@"), 2, shown);
    }
    note_->setText(text);
    note_->setHidden(text.empty());
    const double width = note_->frame().width();
    note_->setFrame(plat::Rect{note_->frame().x(), picker_->frame().maxY() + 8, width, note_->sizeThatFits({width, 0}).height});
}

}  // namespace qx
