#pragma once

#include <filesystem>
#include <string>

#include "platform/foundation/WriteFailure.h"

namespace plat {

// Why a file could not be read, in words a person can act on: no permission (naming the owner
// when the file is another user's), a folder or a FIFO where the file belongs, a file too large.
// The words are keys of the language tables, as WriteFailure's are.
struct ReadFailure {
    int code = 0;       // an errno, file::kNotPlainFile or file::kTooLarge
    std::string owner;  // the user the file belongs to, when that is why it could not be read

    // The failure of reading `path` with `code`, its owner looked up when that explains it.
    static ReadFailure of(const std::filesystem::path& path, int code);
    std::string reason(const WriteFailure::Translate& translate) const;
};

}  // namespace plat
