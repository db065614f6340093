#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/Timer.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace qx {

// The record control of the Track tab: a Record button while idle; while recording, a Stop
// button beside the time elapsed since the current track began, counted every second. The
// owner installs what starting and stopping do.
class VNTrackRecordControl : public plat::View {
public:
    using Handler = std::function<void()>;

    explicit VNTrackRecordControl(const plat::Rect& frame);
    ~VNTrackRecordControl() override;

    // Once the interface file built it: the idle look, with its titles.
    void awakeFromNib();

    void setOnStartHandler(Handler handler) { onStartHandler_ = std::move(handler); }
    void setOnStopHandler(Handler handler) { onStopHandler_ = std::move(handler); }

    // The buttons' actions.
    void start();
    void stop();
    // Shows the time since the current track's start as hours (not wrapped at a day), minutes
    // and seconds.
    void updateDurationLabel();
    void updateTitles();
    // "hh:mm:ss" of a whole number of seconds; the hours grow past 24.
    static std::string durationText(unsigned long seconds);

    bool isRecording() const { return !stopContainerView_->isHidden(); }
    const std::shared_ptr<plat::Timer>& recordTimer() const { return recordTimer_; }
    plat::Button& startButton() { return *startButton_; }
    plat::Button& stopButton() { return *stopButton_; }
    plat::Label& durationLabel() { return *durationLabel_; }
    plat::View& stopContainerView() { return *stopContainerView_; }

    std::string kindName() const override { return "RecordControl"; }

private:
    void stopTimer();

    Handler onStartHandler_, onStopHandler_;
    std::shared_ptr<plat::Timer> recordTimer_;
    std::shared_ptr<plat::Button> startButton_, stopButton_;
    std::shared_ptr<plat::Label> durationLabel_;
    std::shared_ptr<plat::View> stopContainerView_;
};

}  // namespace qx
