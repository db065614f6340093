#pragma once

#include "TestEnvironment.h"
#include "model/DateStrings.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/UserDefaults.h"

// Fresh preferences in a fresh data folder, English, local time in Berlin.
class ModelTest : public qxtest::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        qx::Settings::resetShared();
        qx::DateStrings::setTimeZone("Europe/Berlin");
        useLanguage("en");
    }
    void TearDown() override {
        qx::Settings::resetShared();
        AppTest::TearDown();
    }
    qx::Settings& settings() { return qx::Settings::sharedSettings(); }
    void useLanguage(const std::string& code) {
        settings().setLanguage(code);
        qx::Language::setCurrentLanguage();
    }
    // Drops the in-memory preferences and loads them again from the file.
    qx::Settings& reload() {
        qx::Settings::resetShared();
        plat::UserDefaults::resetStandard();
        return settings();
    }
};
