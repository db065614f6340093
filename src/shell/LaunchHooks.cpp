#include "shell/LaunchHooks.h"

#include <deque>

namespace qx {

namespace {

// A deque keeps entries in place while hooks of a running launch add more.
std::deque<LaunchHooks::Entry>& registry() {
    static std::deque<LaunchHooks::Entry> entries;
    return entries;
}

}  // namespace

void LaunchHooks::add(LaunchStep step, std::string name, Hook hook) {
    if (!hook) return;
    registry().push_back(Entry{step, std::move(name), std::move(hook)});
}

std::vector<const LaunchHooks::Entry*> LaunchHooks::hooksFor(LaunchStep step) {
    std::vector<const Entry*> found;
    for (const auto& entry : registry()) {
        if (entry.step == step) found.push_back(&entry);
    }
    return found;
}

void LaunchHooks::clear() { registry().clear(); }

const std::vector<LaunchStep>& LaunchHooks::orderedSteps() {
    static const std::vector<LaunchStep> steps{
        LaunchStep::applyLanguage,      LaunchStep::keepScreenAwake,     LaunchStep::setUpStore,
        LaunchStep::showWindow,         LaunchStep::playbackAudio,       LaunchStep::restoreFacebook,
        LaunchStep::checkFacebookScheme, LaunchStep::importOpenedFile,   LaunchStep::startBluetoothScan,
        LaunchStep::linkDeviceManager,  LaunchStep::radResponderLive,    LaunchStep::startReachability,
    };
    return steps;
}

const char* LaunchHooks::stepName(LaunchStep step) {
    switch (step) {
        case LaunchStep::applyLanguage: return "applyLanguage";
        case LaunchStep::keepScreenAwake: return "keepScreenAwake";
        case LaunchStep::setUpStore: return "setUpStore";
        case LaunchStep::showWindow: return "showWindow";
        case LaunchStep::playbackAudio: return "playbackAudio";
        case LaunchStep::restoreFacebook: return "restoreFacebook";
        case LaunchStep::checkFacebookScheme: return "checkFacebookScheme";
        case LaunchStep::importOpenedFile: return "importOpenedFile";
        case LaunchStep::startBluetoothScan: return "startBluetoothScan";
        case LaunchStep::linkDeviceManager: return "linkDeviceManager";
        case LaunchStep::radResponderLive: return "radResponderLive";
        case LaunchStep::startReachability: return "startReachability";
    }
    return "";
}

}  // namespace qx
