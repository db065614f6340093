#include "platform/foundation/WriteFailure.h"

#include <cerrno>
#include <cstring>

#include "platform/foundation/FileUtil.h"

namespace plat {

const char* WriteFailure::reasonKey(int code) {
    if (file::isOutOfRoom(code)) return "the disk is full";
    switch (code) {
        case EROFS: return "the disk is read-only";
        case EACCES:
        case EPERM: return "quorix has no permission to write there";
        case EIO: return "the disk reported an error";
        default: return nullptr;
    }
}

std::string WriteFailure::reason(int code, const Translate& translate) {
    if (const char* key = reasonKey(code)) return translate ? translate(key) : std::string(key);
    // A failure that set no errno still must not read "Success".
    return std::strerror(code != 0 ? code : EIO);
}

}  // namespace plat
