#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Date.h"
#include "platform/map/Location.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Button.h"

namespace qx {

// The prompt that stores the current reading as a waypoint: a name field, a check box to add a
// photo, Cancel, Save and, while the radiation-reporting service is connected, "Add To
// RadResponder". The photo comes from VNPhotoManager unless another picker is set; the reporting
// service lives in a higher layer and registers here.
class WaypointPhotoPrompt : public plat::AlertView {
public:
    // Asks for a photo and calls back once with its asset URL, or none when the user gave none.
    using PhotoPicker = std::function<void(std::function<void(std::optional<std::string> assetUrl)>)>;
    struct ReportingService {
        std::function<bool()> isConnected;
        std::function<void(double doseRate, const std::optional<plat::Location>& location, plat::Date date)> submit;
    };
    static void setPhotoPicker(PhotoPicker picker);
    static void setReportingService(ReportingService service);

    // Shows the prompt for the reading of this moment.
    static std::shared_ptr<WaypointPhotoPrompt> showForCurrentReading();

    std::shared_ptr<plat::Button> photoCheckBox() const { return checkBox_; }

protected:
    void rebuild() override;

private:
    WaypointPhotoPrompt(std::vector<std::string> buttons);
    std::shared_ptr<plat::Button> checkBox_;
};

}  // namespace qx
