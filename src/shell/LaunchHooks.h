#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qx {

class KestrelAppDelegate;

// The steps of the launch, in the order they run. The shell does its own part of a step
// (language, screen kept awake, window, social session, opened file) and then runs what the
// other layers registered for that step, so the store, the instrument link and the web
// clients join the launch without the shell knowing them.
enum class LaunchStep {
    applyLanguage,        // the stored interface language
    keepScreenAwake,      // the idle timer is switched off
    setUpStore,           // the object store
    showWindow,           // the window with the tab bar
    playbackAudio,        // the audio session plays back
    restoreFacebook,      // the social network's session from the user defaults
    checkFacebookScheme,  // the social network's callback URL scheme is set up
    importOpenedFile,     // the file the application was opened with
    startBluetoothScan,   // scanning for instruments when auto-connect is on
    linkDeviceManager,    // the device manager becomes the Bluetooth LE manager's delegates
    radResponderLive,     // the RadResponder client leaves its test mode
    startReachability,    // network reachability monitoring
};

class LaunchHooks {
public:
    using Hook = std::function<void(KestrelAppDelegate&)>;
    struct Entry {
        LaunchStep step;
        std::string name;
        Hook hook;
    };

    // Hooks of one step run in the order they were added, after the shell's own work.
    static void add(LaunchStep step, std::string name, Hook hook);
    static std::vector<const Entry*> hooksFor(LaunchStep step);
    static void clear();

    static const std::vector<LaunchStep>& orderedSteps();
    static const char* stepName(LaunchStep step);
};

}  // namespace qx
