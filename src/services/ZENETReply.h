#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qx {

// What the monitoring service's reply says beyond its status: whether it is a SOAP reply at all,
// the text of every SOAP fault ("faultstring", in any namespace), and the last run of text met,
// which the client keeps. A body that is not XML (or stops being XML) gives what came before the
// fault.
struct ZENETReply {
    // A whole SOAP 1.1 envelope with a body and no fault: what the service answers an operation
    // it carried out. A page of anything else that answers 200 (a network's sign-in page) is not.
    bool soapReply = false;
    std::vector<std::string> faults;
    std::string lastText;

    static ZENETReply read(std::string_view body);
};

}  // namespace qx
