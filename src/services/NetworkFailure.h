#pragma once

#include <string>

#include "platform/foundation/HttpClient.h"

namespace qx {

// Why a web service gave no reply, in the program's own words and the interface language: what
// a person is told, never the transfer library's text (which goes to the log).
class NetworkFailure {
public:
    static std::string text(plat::HttpFailure failure);
};

}  // namespace qx
