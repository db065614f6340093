#pragma once

#include <string>
#include <vector>

namespace bb {

// Where the library's service lives and how its connections reach it. The defaults name the
// service; a host (or a test) may point the library elsewhere before it starts.
class BBServiceHost {
public:
    // Host name of the service's SDK endpoint; the base address prefixes it with a label.
    static std::string sdkHostName();
    static void setSDKHostName(std::string hostName);

    // The service's web address, quoted to the developer in warnings.
    static std::string webAddress();

    // A file of certificate authorities to trust instead of the system's; empty for the system's.
    static std::string certificateAuthorityFile();
    static void setCertificateAuthorityFile(std::string path);

    // Connection overrides, each "HOST:PORT:CONNECT-TO-HOST:CONNECT-TO-PORT": a request for the
    // first pair connects to the second while still naming (and verifying) the first.
    static std::vector<std::string> connectTo();
    static void setConnectTo(std::vector<std::string> mappings);
};

}  // namespace bb
