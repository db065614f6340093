// Draws every screen a screen walk reaches, in one language, on one contact sheet:
//   quorix-contact-sheet --home FOLDER LANG WALK.qx OUT.png
// The application runs on a fresh data folder with the demo instrument as a VN2450, as the
// walk expects; a step that fails ends the sheet there, naming the step.

#include <cstdio>
#include <string>

#include "AppHost.h"
#include "CommandLine.h"
#include "ContactSheet.h"
#include "Driver.h"
#include "ScreenWalk.h"
#include "platform/ui/Window.h"

int main(int argc, char** argv) {
    using namespace qx::app;
    if (argc != 6 || std::string(argv[1]) != "--home") {
        std::fprintf(stderr, "usage: quorix-contact-sheet --home FOLDER LANG WALK.qx OUT.png\n");
        return 2;
    }
    const std::string language = argv[3];
    std::string error;
    ScreenWalk walk;
    if (!walk.load(argv[4], error)) {
        std::fprintf(stderr, "quorix-contact-sheet: %s\n", error.c_str());
        return 2;
    }
    qx::LinkOptions link;
    link.demoDeviceType = 2;
    AppHost host;
    // Pictures that show dates come out the same on every run.
    if (host.start(argv[2], link, error, parseLocalTime("2026-12-07T09:00")) != AppHost::StartResult::started) {
        std::fprintf(stderr, "quorix-contact-sheet: %s\n", error.c_str());
        return 1;
    }
    Driver driver([&host] { return host.window(); });
    ContactSheet sheet;
    int status = 0;
    walk.run(driver, language, [&](const ScreenWalk::Step& step, const Outcome& outcome) {
        if (step.check && host.window()) sheet.addScreen(*host.window(), std::to_string(sheet.size() + 1) + ". ");
        if (outcome.ok || step.check) return true;
        std::fprintf(stderr, "quorix-contact-sheet: line %d: %s\n  %s\n", step.line, step.text.c_str(),
                     outcome.text.c_str());
        status = 1;
        return false;
    });
    if (!sheet.writePng(argv[5], error)) {
        std::fprintf(stderr, "quorix-contact-sheet: %s\n", error.c_str());
        return 1;
    }
    std::printf("%zu screens in %s\n", sheet.size(), argv[5]);
    return status;
}
