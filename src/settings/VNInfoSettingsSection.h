#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Observable.h"
#include "shell/VNSection.h"

namespace qx {

// Help and terms pages in the interface language, the application's version, the connected
// instrument's serial number (followed live) and a pre-addressed feedback mail.
class VNInfoSettingsSection : public VNSection {
public:
    // Where feedback goes: the US office for English, general support for every other language.
    static constexpr const char* kFeedbackAddressUS = "info-us@vennorlabs.com";
    static constexpr const char* kFeedbackAddress = "support@vennorlabs.com";

    void initRows() override;
    void updateCellsTitles() override;

    VNTableViewCellPtr helpCell();
    VNTableViewCellPtr termsCell();
    VNTableViewCellPtr versionCell();
    VNTableViewCellPtr deviceCell();
    VNTableViewCellPtr feedbackCell();
    bool observesSerialNumber() const { return serialDisposable_.isActive(); }

    // Points the help and terms rows at the pages of the current language.
    void updateURLs();
    // Makes the row open the page at the file URL.
    void setWebControllerForCell(const VNTableViewCellPtr& cell, const std::string& contentUrl);
    // Opens the feedback mail, when this device can send mail.
    void sendFeedback();

    // The page resources of a language.
    static std::string helpResource(const std::string& language);
    static std::string termsResource(const std::string& language);
    static std::string feedbackAddress(const std::string& language);

private:
    static std::string pageURL(const std::string& resource);
    void openPage(const std::string& title, const std::string& contentUrl);

    VNTableViewCellPtr helpCell_, termsCell_, versionCell_, deviceCell_, feedbackCell_;
    plat::Subscription serialDisposable_;
    plat::ObserverToken urlObserver_;
};

}  // namespace qx
