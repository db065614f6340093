#include "services/NetworkFailure.h"

#include "model/Language.h"

namespace qx {

std::string NetworkFailure::text(plat::HttpFailure failure) {
    using plat::HttpFailure;
    switch (failure) {
        case HttpFailure::unknownHost: return Language::get("The server's name could not be found.");
        case HttpFailure::cannotConnect: return Language::get("The server could not be reached.");
        case HttpFailure::timedOut: return Language::get("The server did not answer in time.");
        case HttpFailure::connectionLost: return Language::get("The server closed the connection before it answered.");
        case HttpFailure::notHttp: return Language::get("The server's answer was not a web reply.");
        case HttpFailure::insecure: return Language::get("No secure connection to the server could be made.");
        case HttpFailure::tooLarge: return Language::get("The server's answer was too large.");
        case HttpFailure::none:
        case HttpFailure::other: break;
    }
    return Language::get("The network connection failed.");
}

}  // namespace qx
