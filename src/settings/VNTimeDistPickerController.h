#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Label.h"
#include "platform/ui/PickerView.h"
#include "shell/VNBaseViewController.h"

namespace qx {

// A modal wheel picker of a step: the track's time step (minutes), the track's distance step
// (metres, or yards in imperial units) or the world map's search radius (kilometres or miles).
// Every turn of a wheel reports the new value at once; there is no confirm step, so the value
// reported last before the back button closes the screen is the one kept.
class VNTimeDistPickerController : public VNBaseViewController,
                                   public plat::PickerViewDataSource,
                                   public plat::PickerViewDelegate {
public:
    static constexpr const char* kNibName = "VNTimeDistPickerController";
    // Modes; any other value picks a time.
    static constexpr std::uint64_t kTimeMode = 0;
    static constexpr std::uint64_t kDistanceMode = 1;
    static constexpr std::uint64_t kMapDistanceMode = 2;
    using ValueBlock = std::function<void(double value)>;

    VNTimeDistPickerController();

    // Makes a picker in that mode reporting to the block and presents it on the visible screen;
    // its back button closes it.
    static std::shared_ptr<VNTimeDistPickerController> present(std::uint64_t mode, ValueBlock onSelectValue);

    std::uint64_t mode() const { return mode_; }
    // Stores the mode and reloads the wheels.
    void setMode(std::uint64_t mode);
    const ValueBlock& onSelectValue() const { return onSelectValue_; }
    void setOnSelectValue(ValueBlock block) { onSelectValue_ = std::move(block); }
    // The wheels (loads the view).
    std::shared_ptr<plat::PickerView> picker();

    void viewDidLoad() override;

    long numberOfComponents(plat::PickerView&) override;
    long numberOfRows(plat::PickerView&, long component) override;
    std::string titleForRow(plat::PickerView&, long row, long component) override;
    double widthForComponent(plat::PickerView&, long component) override;
    std::shared_ptr<plat::View> viewForRow(plat::PickerView&, long row, long component,
                                           std::shared_ptr<plat::View> reusing) override;
    void didSelectRow(plat::PickerView& picker, long row, long component) override;

private:
    enum class Kind { time, distance, mapDistance };
    Kind kind() const;
    void showTitle();
    // The number a row shows; -1 for a row or wheel outside the table.
    long numberAt(long row, long component) const;
    // The row of a wheel that shows the number; -1 when none does.
    long rowShowing(long number, long component) const;
    // The value the wheels stand at, in the unit of the mode.
    double selectedValue();
    // Puts the unit texts on the selection bar over the wheels.
    void updatePickerLabels();
    // Turns the wheels to the stored step of the mode, or the nearest they show, and says so
    // when it is not the stored one.
    void initSelection();
    // The rows whose value is nearest to `stored` (in seconds for the time; in the small unit
    // for the distance, with `unit` of them to the large one); `exact` when it is the value.
    std::vector<long> nearestRows(double stored, double unit, bool& exact) const;

    std::uint64_t mode_ = kTimeMode;
    ValueBlock onSelectValue_;
    std::shared_ptr<plat::PickerView> picker_;
    std::shared_ptr<plat::Label> note_;
};

}  // namespace qx
