#include "beta/BBServiceHost.h"

#include <mutex>

namespace bb {

namespace {
struct Settings {
    std::mutex mutex;
    std::string sdkHostName = "sdk.betabeam.example";
    std::string certificateAuthorityFile;
    std::vector<std::string> connectTo;
};

Settings& settings() {
    static Settings* instance = new Settings();
    return *instance;
}
}  // namespace

std::string BBServiceHost::sdkHostName() {
    std::lock_guard lock(settings().mutex);
    return settings().sdkHostName;
}

void BBServiceHost::setSDKHostName(std::string hostName) {
    std::lock_guard lock(settings().mutex);
    settings().sdkHostName = std::move(hostName);
}

std::string BBServiceHost::webAddress() { return "https://www.betabeam.example/"; }

std::string BBServiceHost::certificateAuthorityFile() {
    std::lock_guard lock(settings().mutex);
    return settings().certificateAuthorityFile;
}

void BBServiceHost::setCertificateAuthorityFile(std::string path) {
    std::lock_guard lock(settings().mutex);
    settings().certificateAuthorityFile = std::move(path);
}

std::vector<std::string> BBServiceHost::connectTo() {
    std::lock_guard lock(settings().mutex);
    return settings().connectTo;
}

void BBServiceHost::setConnectTo(std::vector<std::string> mappings) {
    std::lock_guard lock(settings().mutex);
    settings().connectTo = std::move(mappings);
}

}  // namespace bb
