#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/AutosavePolicy.h"
#include "link/DeviceManagerDelegate.h"
#include "link/InstrumentSource.h"
#include "link/ReadingStore.h"
#include "link/VNBTLEDataServiceDelegate.h"
#include "link/VNBTLEManagerDelegate.h"
#include "model/DetectorItem.h"
#include "platform/foundation/Observable.h"
#include "store/CurrentReadingSource.h"

namespace qx {

inline constexpr const char* kDevicePresentNotification = "DevicePresentNotification";
inline constexpr const char* kVersionReceivedNotification = "VersionReceivedNotification";

class VNBTLEDataService;

// The process-wide owner of the instrument link: which instrument is connected, its current
// reading, the commands written to it, the instrument history read, the automatic waypoints,
// and the getters the screens draw from.
//
// Accessory instruments (types 1 and 2) are reached through the accessory port: commands go into
// a queue that is sent in order on the next turn of the run loop. Bluetooth LE instruments are
// reached through VNBTLEManager's data service, whose reports arrive here as its data delegate.
// Main thread only.
class DeviceManager : public VNBTLEManagerDelegate,
                      public VNBTLEDataServiceDelegate,
                      public std::enable_shared_from_this<DeviceManager> {
public:
    using AutosaveSubmitter = std::function<void(double der, const std::optional<plat::Location>& location, plat::Date date)>;

    static DeviceManager& sharedDeviceManager();
    static std::shared_ptr<DeviceManager> sharedPointer();
    static void resetShared();

    DeviceManager();
    ~DeviceManager() override;
    DeviceManager(const DeviceManager&) = delete;
    DeviceManager& operator=(const DeviceManager&) = delete;

    // The connected instrument: 0 none, 1 to 9 the models (DeviceTypes).
    unsigned deviceType() const { return deviceType_; }
    std::string modelName() const;
    bool isConnected() const { return deviceType_ != 0; }

    void setDelegate(std::weak_ptr<DeviceManagerDelegate> delegate) { delegate_ = std::move(delegate); }
    void setTrackDelegate(std::weak_ptr<DeviceManagerLocationDelegate> delegate) { trackDelegate_ = std::move(delegate); }

    // The current reading.
    const DetectorItem& currentItem() const { return item_; }
    DoseUnit getDER() const { return item_.der; }
    DoseUnit getDE() const { return item_.de; }
    double countRate() const { return item_.countRate; }
    double variation() const { return item_.variation; }
    std::string accumulationTimeString() const { return item_.accumulationTimeString(); }
    unsigned systemMode() const { return item_.systemMode; }
    const std::optional<plat::Location>& currentLocation() const { return location_; }
    const std::string& versionString() const { return version_; }

    // Observable properties ("batteryLevel", "serialNumberString").
    plat::Observable<unsigned>& batteryLevel() { return batteryLevel_; }
    plat::Observable<std::string>& serialNumberString() { return serialNumberString_; }

    // Restarts the track autosave time (and distance).
    void setLastSaveTime(plat::Date date) { autosave_.setLastSaveTime(date); }

    // Asks the connected VN2450 for its own history; other models have none to read.
    void loadHistory();
    void deviceFactoryDefaults();
    // Resets the instrument's accumulated dose and statistics.
    void resetStat();
    // Writes alarm threshold `index` (0 first and 1 second dose rate in µSv/h, 2 first and
    // 3 second dose in µSv) to the instrument, by the rules of its model.
    void saveDetectorThreshold(int index, float value);
    // Writes the accessory instrument's parameter block.
    void saveDeviceParams();
    // Puts the search coefficient into the parameter block, which is then written.
    void setCoeffN(float n);
    // The search background count rate; 0 makes the live display take the current count rate.
    std::uint16_t calibrationValue() const { return calibrationValue_; }
    void setCalibrationValue(std::uint16_t value) { calibrationValue_ = value; }
    void saveDetectorHistPeriod(double minutes);
    // 0 cyclic, 1 linear.
    void setDetectorJobMode(unsigned mode);

    // The parameter block read from the accessory instrument, none before it arrived.
    const std::optional<DeviceParams>& parameters() const { return params_; }

    // What the store records with new measurements and tracks (registered with the store's
    // current reading source): the dose, and while connected the instrument, its accumulation,
    // the current dose rate and variation, and the last position fix.
    CurrentReading currentReading() const;

    // Storing: where automatic waypoints and history go (the measurement store unless replaced),
    // and who submits an automatic waypoint to the radiation-reporting service; the services
    // layer installs that at launch, and the upload mode's rule decides when it is called.
    void setReadingStore(std::shared_ptr<ReadingStore> store) { store_ = std::move(store); }
    void setAutosaveSubmitter(AutosaveSubmitter submitter) { submitter_ = std::move(submitter); }
    const AutosavePolicy& autosavePolicy() const { return autosave_; }

    // VNBTLEDataServiceDelegate
    void dataServiceDidConnect(VNBTLEDataService& service) override;
    void dataServiceDidDisconnect(VNBTLEDataService& service) override;
    void dataServiceDidUpdateStatus(VNBTLEDataService& service, unsigned batteryLevel) override;
    void dataServiceDidReceiveReading(VNBTLEDataService& service, const InstrumentReading& reading) override;
    void dataServiceDidReceiveHistoryItem(VNBTLEDataService& service, const DetectorHistoryItem& item) override;
    void dataServiceDidFinishHistory(VNBTLEDataService& service) override;
    void dataServiceDidUpdateDeviceInformation(VNBTLEDataService& service) override;

private:
    enum class Link { none, accessory, bluetooth };

    void attach();
    void accessoryChanged(const std::shared_ptr<InstrumentSource>& source);
    void handleAccessoryEvent(const InstrumentEvent& event);
    void connected(Link link, unsigned type);
    void lost(Link link);
    void applyReading(const InstrumentReading& reading);
    void applySerial(std::uint32_t number, const std::string& text);
    void applyVersion(const std::string& text);
    void applyFix(const plat::Location& fix);
    void historyFinished();
    void autosave();
    bool thresholdExceeded() const;
    InstrumentIdentity identity() const;

    // The accessory command queue.
    void enqueue(InstrumentCommand command);
    void scheduleFlush();
    void flushQueue();
    std::shared_ptr<VNBTLEDataService> bluetoothService() const;
    bool parameterBlockReady(const char* operation) const;

    unsigned deviceType_ = 0;
    Link link_ = Link::none;
    DetectorItem item_;
    bool hasReading_ = false;
    std::string version_;
    plat::Observable<unsigned> batteryLevel_{0};
    plat::Observable<std::string> serialNumberString_;
    std::uint16_t calibrationValue_ = 0;

    std::weak_ptr<DeviceManagerDelegate> delegate_;
    std::weak_ptr<DeviceManagerLocationDelegate> trackDelegate_;
    std::optional<plat::Location> location_;      // the last fix, kept after a loss
    std::optional<plat::Location> previousFix_;   // the last fix of this connection

    std::shared_ptr<InstrumentSource> accessory_;
    std::deque<InstrumentCommand> queue_;
    bool flushPosted_ = false;
    std::optional<DeviceParams> params_;
    bool paramsDirty_ = false;

    bool historyPending_ = false;
    std::vector<DetectorHistoryItem> history_;

    AutosavePolicy autosave_;
    std::shared_ptr<ReadingStore> store_;
    AutosaveSubmitter submitter_;

    plat::Subscription accessorySubscription_;
    plat::Subscription locationSubscription_;
};

}  // namespace qx
