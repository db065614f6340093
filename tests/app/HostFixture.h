#pragma once

#include <memory>
#include <string>

#include "AppHost.h"
#include "Driver.h"
#include "TestEnvironment.h"

namespace qxtest {

// The whole application launched by the program's host on the test's data folder, with a
// driver on its window; every process-wide object of the launch made afresh.
class HostTest : public AppTest {
protected:
    void SetUp() override;
    void TearDown() override;

    qx::app::AppHost::StartResult start(const qx::LinkOptions& link = {});
    // Starts and fails the test unless the launch succeeded.
    void launch(const qx::LinkOptions& link = {});
    qx::app::Outcome run(const std::string& line) { return driver->execute(line); }
    // Runs a command that must succeed and returns what it printed.
    std::string output(const std::string& line);
    // The alert in front as "title: message", pressed away; empty when none is shown.
    static std::string takeAlert();

    std::unique_ptr<qx::app::AppHost> host;
    std::unique_ptr<qx::app::Driver> driver;
    std::string error;

private:
    static void resetProcessObjects();
};

}  // namespace qxtest
