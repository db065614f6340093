#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ModelTestFixture.h"
#include "model/DoseUnit.h"

using qx::DoseUnit;

namespace {
std::string text(double microValue, int kind = DoseUnit::doseRateKind) {
    DoseUnit u(microValue);
    return u.stringValue() + " " + u.unitString(kind);
}
}  // namespace

TEST_F(ModelTest, SievertTextsAcrossEveryPrefixBoundary) {
    settings().setUnit(1);
    EXPECT_EQ(text(0.123), "0.12 µSv/h");
    EXPECT_EQ(text(12.34), "12.3 µSv/h");
    EXPECT_EQ(text(999), "999 µSv/h");
    EXPECT_EQ(text(1000), "1.00 mSv/h");
    EXPECT_EQ(text(1500, DoseUnit::doseKind), "1.50 mSv");
    EXPECT_EQ(text(999'000, DoseUnit::doseKind), "999 mSv");
    EXPECT_EQ(text(1'000'000, DoseUnit::doseKind), "1.00 Sv");
    EXPECT_EQ(text(25'000'000), "25.0 Sv/h");
}

TEST_F(ModelTest, RoentgenTextsUseAHundredRoentgenPerSievert) {
    settings().setUnit(0);
    EXPECT_EQ(text(0.12), "12.0 µR/h");
    EXPECT_EQ(text(9.99), "999 µR/h");
    EXPECT_EQ(text(10), "1.00 mR/h");
    EXPECT_EQ(text(9'990, DoseUnit::doseKind), "999 mR");
    EXPECT_EQ(text(10'000, DoseUnit::doseKind), "1.00 R");
}

TEST_F(ModelTest, NoValueReadsNotAvailable) {
    EXPECT_EQ(DoseUnit(0).stringValue(), "n/a");
    EXPECT_EQ(DoseUnit(-1).stringValue(), "n/a");
    EXPECT_EQ(DoseUnit(std::numeric_limits<double>::infinity()).stringValue(), "n/a");
    EXPECT_EQ(DoseUnit(std::nan("")).stringValue(), "n/a");
    EXPECT_EQ(DoseUnit(0).unitString(0), "µSv/h");
    // With its unit: a figure gets one, "n/a" stands alone.
    EXPECT_EQ(DoseUnit(0.4).stringWithUnit(0), "0.40 µSv/h");
    EXPECT_EQ(DoseUnit(1500).stringWithUnit(1), "1.50 mSv");
    EXPECT_EQ(DoseUnit(0).stringWithUnit(0), "n/a");
    EXPECT_EQ(DoseUnit(std::nan("")).stringWithUnit(1), "n/a");
    useLanguage("ru");
    EXPECT_EQ(DoseUnit(0).stringValue(), "н/д");
    EXPECT_EQ(DoseUnit(1500).unitString(1), "мЗв");
    EXPECT_EQ(DoseUnit(0.2).unitString(0), "мкЗв/ч");
}

TEST_F(ModelTest, ValueIsKeptUnchanged) {
    auto u = DoseUnit::doseWithValue(0.1234567);
    EXPECT_DOUBLE_EQ(u->value(), 0.1234567);
    EXPECT_EQ(u->multiplier(), 0);
    u->setValue(3e7);
    EXPECT_DOUBLE_EQ(u->value(), 3e7);
}
