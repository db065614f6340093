#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qx {

// What the monitoring service's reply to a login says beyond its status: the text of every SOAP
// fault ("faultstring", in any namespace), and the last run of text met, which the client keeps.
// A body that is not XML (or stops being XML) gives what came before the fault.
struct ZENETReply {
    std::vector<std::string> faults;
    std::string lastText;

    static ZENETReply read(std::string_view body);
};

}  // namespace qx
