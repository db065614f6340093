#include "store/Measurement.h"

#include "model/DateStrings.h"
#include "model/DeviceModels.h"
#include "model/Language.h"
#include "store/ReportHtml.h"
#include "store/Set.h"
#include "store/Waypoint.h"

namespace qx {

void Measurement::setDate(plat::Date d) { assign(date_, d, kDate); }
void Measurement::setDer(double v) { assign(der_, v, kDer); }
void Measurement::setDe(double v) { assign(de_, v, kDe); }
void Measurement::setVariation(double v) { assign(variation_, v, kVariation); }
void Measurement::setAccumulation(std::optional<std::string> v) { assign(accumulation_, std::move(v), kAccumulation); }
void Measurement::setDeviceType(std::int64_t v) { assign(deviceType_, v, kDeviceType); }
void Measurement::setDeviceName(std::optional<std::string> v) { assign(deviceName_, std::move(v), kDeviceName); }
void Measurement::setDeviceSerial(std::optional<std::string> v) { assign(deviceSerial_, std::move(v), kDeviceSerial); }
void Measurement::setAlarmEvent(std::int64_t v) { assign(alarmEvent_, v, kAlarmEvent); }
void Measurement::setUploaded(bool v) { assign(uploaded_, v, kUploaded); }

std::shared_ptr<Waypoint> Measurement::waypoint() const { return std::static_pointer_cast<Waypoint>(linkedObject(1)); }
void Measurement::setWaypoint(const std::shared_ptr<Waypoint>& waypoint) {
    setLinkedObject(1, waypoint.get());
    if (waypoint)
        if (auto day = waypoint->set()) setLinkedObject(0, day.get());
}

std::shared_ptr<Set> Measurement::set() const { return std::static_pointer_cast<Set>(linkedObject(0)); }

void Measurement::setSet(const std::shared_ptr<Set>& set) {
    // The reading of a day's waypoint is that day's reading.
    if (auto w = waypoint())
        if (auto day = w->set()) {
            setLinkedObject(0, day.get());
            return;
        }
    setLinkedObject(0, set.get());
}

Value Measurement::attributeValue(int index) const {
    switch (index) {
        case kDate: return Value(date_);
        case kDer: return Value(der_);
        case kDe: return Value(de_);
        case kVariation: return Value(variation_);
        case kAccumulation: return textValue(accumulation_);
        case kDeviceType: return Value(static_cast<long long>(deviceType_));
        case kDeviceName: return textValue(deviceName_);
        case kDeviceSerial: return textValue(deviceSerial_);
        case kAlarmEvent: return Value(static_cast<long long>(alarmEvent_));
        case kUploaded: return Value(uploaded_);
        default: return {};
    }
}

void Measurement::assignAttribute(int index, const Value& v) {
    switch (index) {
        case kDate: date_ = plat::Date(v.real()); break;
        case kDer: der_ = v.real(); break;
        case kDe: de_ = v.real(); break;
        case kVariation: variation_ = v.real(); break;
        case kAccumulation: accumulation_ = optionalText(v); break;
        case kDeviceType: deviceType_ = v.integer(); break;
        case kDeviceName: deviceName_ = optionalText(v); break;
        case kDeviceSerial: deviceSerial_ = optionalText(v); break;
        case kAlarmEvent: alarmEvent_ = v.integer(); break;
        case kUploaded: uploaded_ = v.integer() != 0; break;
        default: break;
    }
}

bool Measurement::measuresDose() const { return deviceName_ && DeviceModels::nameReportsDose(*deviceName_); }

std::string Measurement::measurementTableHeader() {
    return ReportHtml::tableOpening({"Date", "Dose rate", "Dose", "Device", "Serial number"});
}

std::string Measurement::measurementTableFooter() { return ReportHtml::kTableClosing; }

std::string Measurement::measurementTable() const {
    return "<tr>" + ReportHtml::cell(DateStrings::dateTimeMediumStr(date_)) + ReportHtml::cell(ReportHtml::dose(der_, 0)) +
           ReportHtml::cell(ReportHtml::dose(shownDe(), 1)) + ReportHtml::cell(deviceName_.value_or("")) +
           ReportHtml::cell(deviceSerial_.value_or("")) + "</tr>";
}

std::string Measurement::description() const {
    std::string s = DateStrings::dateTimeMediumStr(date_) + " " + ReportHtml::dose(der_, 0);
    if (shownDe() > 0) s += ", " + ReportHtml::dose(shownDe(), 1);
    return s;
}

}  // namespace qx
