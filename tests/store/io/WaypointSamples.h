#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "store/io/WaypointRecord.h"

namespace qx {

// Lets failed comparisons show the records rather than their bytes.
inline void PrintTo(const WaypointRecord& r, std::ostream* os) {
    const auto opt = [](const std::optional<double>& v) { return v ? std::to_string(*v) : std::string("-"); };
    *os << "{" << std::to_string(r.date.timeIntervalSince1970()) << " der " << r.der << " var " << r.variation
        << " de " << r.de << " acc '" << r.accumulation << "' pos " << opt(r.latitude) << "," << opt(r.longitude)
        << "," << opt(r.altitude) << " name '" << r.name << "' dev " << r.deviceType << " '" << r.deviceName
        << "' '" << r.deviceSerial << "'}";
}

}  // namespace qx

namespace qxtest {

// Readings that exercise every field: fractions that have no short binary form, negative
// positions, a waypoint without altitude, a reading without waypoint, names that need quoting
// or escaping in every format, and non-Latin scripts.
inline std::vector<qx::WaypointRecord> sampleRecords() {
    std::vector<qx::WaypointRecord> out;
    qx::WaypointRecord a;
    a.date = plat::Date(1796637600.25);  // 2026-12-07T10:00:00.250Z
    a.der = 0.123456789012;
    a.variation = 12.5;
    a.de = 1.0e-5;
    a.accumulation = "00:10:00";
    a.latitude = 48.858222;
    a.longitude = -2.2945;
    a.altitude = 35.75;
    a.name = "Ridge <north> & \"quoted\", 'single'";
    a.deviceType = 4;
    a.deviceName = "VN2340A";
    a.deviceSerial = "SN-0042";
    out.push_back(a);

    qx::WaypointRecord b;
    b.date = plat::Date(1796641200);
    b.der = 2.5;
    b.variation = 3;
    b.de = 0.75;
    b.accumulation = "1h, 5m";
    b.latitude = -33.8568;
    b.longitude = 151.2153;
    b.name = "測定点 東京 — Точка, «Москва»\nsecond line";
    out.push_back(b);

    qx::WaypointRecord c;  // a reading of no waypoint
    c.date = plat::Date(1796644800);
    c.der = 0.11;
    c.variation = 40;
    c.de = 0.8;
    c.deviceType = 2;
    c.deviceName = "VN2450";
    out.push_back(c);

    qx::WaypointRecord d;  // taken without a fix: the store keeps -1 everywhere
    d.date = plat::Date(1796648400);
    d.der = 0.2;
    d.latitude = -1;
    d.longitude = -1;
    d.altitude = -1;
    d.name = "  padded  ";
    out.push_back(d);
    return out;
}

inline std::vector<qx::WaypointRecord> withPosition(const std::vector<qx::WaypointRecord>& records) {
    std::vector<qx::WaypointRecord> out;
    for (const auto& r : records) {
        if (r.hasPosition()) out.push_back(r);
    }
    return out;
}

// CSV files carry no instrument fields.
inline std::vector<qx::WaypointRecord> withoutDeviceFields(std::vector<qx::WaypointRecord> records) {
    for (auto& r : records) {
        r.deviceType = 0;
        r.deviceName.clear();
        r.deviceSerial.clear();
    }
    return records;
}

}  // namespace qxtest
