#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../link/LinkTestSupport.h"
#include "../shell/ShellTestFixture.h"
#include "dashboard/DashboardSections.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/MailComposer.h"
#include "platform/ui/Window.h"
#include "shell/VNTableViewController.h"

// Fresh preferences, instrument link and store, and a window whose root screen hosts the
// sections under test.
class SettingsTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        resetLink();
        qx::Store::closeDefaultStore();
        qx::DashboardSections::clear();
        plat::MailComposer::setCanSendMail(true);
        window = std::make_unique<plat::Window>();
        host = qx::VNTableViewController::make();
        window->setRootViewController(host);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        // Alerts a test left open would stay up for the next one.
        for (const auto& prompt : plat::ModalPrompt::visiblePrompts()) prompt->dismissWithClickedButtonIndex(-1, false);
        window.reset();
        host.reset();
        drain();
        resetLink();
        qx::DashboardSections::clear();
        qx::CurrentReadingSource::setProvider(nullptr);
        qx::Store::closeDefaultStore();
        ShellTest::TearDown();
    }
    static void resetLink() {
        qx::LinkLauncher::shutDown();
        qx::DeviceManager::resetShared();
        qx::VNBTLEManager::resetShared();
        qx::BluetoothRadio::resetShared();
        qx::AccessoryPort::resetShared();
        qx::LocationFeed::resetShared();
    }

    // Shows the section on the host screen.
    template <class T>
    std::shared_ptr<T> show(std::shared_ptr<T> section) {
        host->setSections({section});
        host->tableView()->reloadData();
        return section;
    }
    template <class T, class... Args>
    std::shared_ptr<T> showNew(Args&&... args) {
        return show(qx::VNSection::create<T>(std::forward<Args>(args)...));
    }

    // Connects the demo instrument of `type` the way the program's launch does.
    void connectDemo(unsigned type) {
        qx::LinkOptions options;
        options.demoDeviceType = type;
        ASSERT_TRUE(qx::LinkLauncher::start(options));
        drain();
        ASSERT_EQ(qx::DeviceManager::sharedDeviceManager().deviceType(), type);
    }

    // The screen covering the window, as T (none when it is something else).
    template <class T>
    T* shown() const {
        return dynamic_cast<T*>(window->visibleViewController());
    }
    static std::shared_ptr<plat::AlertView> alert() { return plat::AlertView::frontmostAlert(); }
    // The preferences as stored, read from their file afresh.
    static plat::UserDefaults saved() { return plat::UserDefaults(plat::UserDefaults::standard().file()); }

    static std::vector<std::string> rowTexts(const qx::VNSection& section) {
        std::vector<std::string> texts;
        for (const auto& row : section.rows()) texts.push_back(row->textLabel().text());
        return texts;
    }
    static std::vector<std::string> detailTexts(const qx::VNSection& section) {
        std::vector<std::string> texts;
        for (const auto& row : section.rows()) texts.push_back(row->detailTextLabel().text());
        return texts;
    }
    // The rows carrying the check mark, by position.
    static std::vector<std::size_t> checkedRows(const qx::VNSection& section) {
        std::vector<std::size_t> rows;
        for (std::size_t i = 0; i < section.numRows(); ++i) {
            if (section.rows()[i]->accessoryType() == plat::AccessoryType::Checkmark) rows.push_back(i);
        }
        return rows;
    }

    // Writes the screen as a picture; with QX_SCREENSHOT_DIR naming a folder, a copy goes there
    // for a person to look at.
    void snapshot(plat::ViewController& screen, const std::string& name) {
        const auto file = dataDir() / (name + ".png");
        std::string error;
        ASSERT_TRUE(screen.view()->renderToPng(file, 1, &error)) << error;
        EXPECT_GT(std::filesystem::file_size(file), 0u);
        if (const char* dir = std::getenv("QX_SCREENSHOT_DIR")) {
            std::filesystem::copy_file(file, std::filesystem::path(dir) / file.filename(),
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }

    std::unique_ptr<plat::Window> window;
    std::shared_ptr<qx::VNTableViewController> host;
};
