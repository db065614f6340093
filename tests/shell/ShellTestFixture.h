#pragma once

#include <memory>
#include <string>

#include "TestEnvironment.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/foundation/UserDefaults.h"
#include "shell/Facebook.h"
#include "shell/LaunchHooks.h"
#include "shell/OpenURLHandlers.h"
#include "shell/TabScreens.h"

// Fresh preferences, English, and no hooks or makers left over from another test.
class ShellTest : public qxtest::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        qx::Settings::resetShared();
        qx::Facebook::resetShared();
        qx::LaunchHooks::clear();
        qx::OpenURLHandlers::clear();
        qx::TabScreens::clear();
        useLanguage("en");
    }
    void TearDown() override {
        qx::LaunchHooks::clear();
        qx::OpenURLHandlers::clear();
        qx::TabScreens::clear();
        qx::Facebook::resetShared();
        qx::Settings::resetShared();
        AppTest::TearDown();
    }
    qx::Settings& settings() { return qx::Settings::sharedSettings(); }
    void useLanguage(const std::string& code) {
        settings().setLanguage(code);
        qx::Language::setCurrentLanguage();
        drain();
    }
};
