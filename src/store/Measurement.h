#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Date.h"
#include "store/ManagedObject.h"

namespace qx {

class Set;
class Waypoint;

// One reading: it belongs to its day set, and to a waypoint unless it came from the
// instrument's own history.
class Measurement : public ManagedObject {
public:
    static constexpr EntityKind kEntity = EntityKind::measurement;
    enum Attribute {
        kDate, kDer, kDe, kVariation, kAccumulation, kDeviceType, kDeviceName, kDeviceSerial, kAlarmEvent, kUploaded
    };

    plat::Date date() const { return date_; }
    void setDate(plat::Date d);
    double der() const { return der_; }  // dose rate, µSv/h
    void setDer(double v);
    double de() const { return de_; }  // dose, µSv
    void setDe(double v);
    double variation() const { return variation_; }  // percent
    void setVariation(double v);
    // The instrument's accumulation time as display text.
    const std::optional<std::string>& accumulation() const { return accumulation_; }
    void setAccumulation(std::optional<std::string> v);
    std::int64_t deviceType() const { return deviceType_; }
    void setDeviceType(std::int64_t v);
    const std::optional<std::string>& deviceName() const { return deviceName_; }
    void setDeviceName(std::optional<std::string> v);
    // Whether the reading's instrument measures dose: the dose of one that does not is shown
    // as not available wherever the reading is shown.
    bool measuresDose() const;
    // The dose of such an instrument, else 0 (which every screen shows as not available).
    double shownDe() const { return measuresDose() ? de_ : 0; }
    const std::optional<std::string>& deviceSerial() const { return deviceSerial_; }
    void setDeviceSerial(std::optional<std::string> v);
    std::int64_t alarmEvent() const { return alarmEvent_; }  // the instrument's alarm event code
    void setAlarmEvent(std::int64_t v);
    bool uploaded() const { return uploaded_; }
    void setUploaded(bool v);

    std::shared_ptr<Waypoint> waypoint() const;
    void setWaypoint(const std::shared_ptr<Waypoint>& waypoint);
    // The day set. The reading of a waypoint that belongs to a day always belongs to that day
    // too: linking it to such a waypoint, or moving the waypoint, moves the reading along, and
    // setting another set is then ignored.
    std::shared_ptr<Set> set() const;
    void setSet(const std::shared_ptr<Set>& set);

    static std::string measurementTableHeader();
    static std::string measurementTableFooter();
    std::string measurementTable() const;
    // One line for a social post.
    std::string description() const;

protected:
    Value attributeValue(int index) const override;
    void assignAttribute(int index, const Value& value) override;

private:
    friend class Context;
    Measurement() : ManagedObject(kEntity) {}

    plat::Date date_;
    double der_ = 0;
    double de_ = 0;
    double variation_ = 0;
    std::optional<std::string> accumulation_;
    std::int64_t deviceType_ = 0;
    std::optional<std::string> deviceName_;
    std::optional<std::string> deviceSerial_;
    std::int64_t alarmEvent_ = 0;
    bool uploaded_ = false;
};

}  // namespace qx
