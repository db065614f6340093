#include "platform/foundation/ReadFailure.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/foundation/FileUtil.h"

namespace plat {

namespace {

std::string userName(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->pw_name;
    return std::to_string(uid);
}

}  // namespace

ReadFailure ReadFailure::of(const std::filesystem::path& path, int code) {
    ReadFailure failure{code, {}};
    struct stat info {};
    // A file left to root by one run under sudo is the common case: the person sees whose it is.
    if ((code == EACCES || code == EPERM) && ::stat(path.c_str(), &info) == 0 && info.st_uid != ::geteuid())
        failure.owner = userName(info.st_uid);
    return failure;
}

std::string ReadFailure::reason(const WriteFailure::Translate& translate) const {
    auto words = [&translate](const std::string& key) { return translate ? translate(key) : key; };
    switch (code) {
        case EACCES:
        case EPERM: {
            if (owner.empty()) return words("quorix has no permission to read it");
            std::string text = words("it belongs to %@, and quorix has no permission to read it");
            if (const auto at = text.find("%@"); at != std::string::npos) text.replace(at, 2, owner);
            return text;
        }
        case EISDIR: return words("it is a folder");
        case file::kNotPlainFile: return words("it is not a plain file");
        case file::kTooLarge: return words("it is too large");
        case EIO: return words("the disk reported an error");
        default: return std::strerror(code != 0 ? code : EIO);
    }
}

}  // namespace plat
