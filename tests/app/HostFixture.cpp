#include "HostFixture.h"

#include "CommandLine.h"

#include "link/AccessoryPort.h"
#include "link/BluetoothRadio.h"
#include "link/DeviceManager.h"
#include "link/LocationFeed.h"
#include "link/VNBTLEManager.h"
#include "model/Settings.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ModalPrompt.h"
#include "platform/ui/UiText.h"
#include "shell/Facebook.h"
#include "shell/LaunchHooks.h"
#include "shell/OpenURLHandlers.h"
#include "shell/TabScreens.h"
#include "store/Store.h"

namespace qxtest {

void HostTest::resetProcessObjects() {
    qx::LinkLauncher::shutDown();
    qx::DeviceManager::resetShared();
    qx::VNBTLEManager::resetShared();
    qx::BluetoothRadio::resetShared();
    qx::AccessoryPort::resetShared();
    qx::LocationFeed::resetShared();
    qx::Store::closeDefaultStore();
    qx::LaunchHooks::clear();
    qx::OpenURLHandlers::clear();
    qx::TabScreens::clear();
    qx::Facebook::resetShared();
    qx::Settings::resetShared();
    plat::setUiTextTranslator({});
}

void HostTest::SetUp() {
    AppTest::SetUp();
    resetProcessObjects();
}

void HostTest::TearDown() {
    for (const auto& prompt : plat::ModalPrompt::visiblePrompts()) prompt->dismissWithClickedButtonIndex(-1, false);
    driver.reset();
    host.reset();
    resetProcessObjects();
    AppTest::TearDown();
}

qx::app::AppHost::StartResult HostTest::start(const qx::LinkOptions& link) {
    host = std::make_unique<qx::app::AppHost>();
    // A fixed morning: tests that move the clock by hours stay on one day whenever they run.
    auto result = host->start(dataDir(), link, error, qx::app::parseLocalTime("2026-12-07T09:00"));
    driver = std::make_unique<qx::app::Driver>([this] { return host->window(); });
    return result;
}

void HostTest::launch(const qx::LinkOptions& link) {
    ASSERT_EQ(start(link), qx::app::AppHost::StartResult::started) << error;
}

std::string HostTest::takeAlert() {
    auto alert = plat::AlertView::frontmostAlert();
    if (!alert) return {};
    std::string text = alert->title() + ": " + alert->message();
    alert->dismissWithClickedButtonIndex(alert->cancelButtonIndex(), false);
    return text;
}

std::string HostTest::output(const std::string& line) {
    auto outcome = run(line);
    EXPECT_TRUE(outcome.ok) << line << ": " << outcome.text;
    return outcome.text;
}

}  // namespace qxtest
