#include "LogFile.h"

#include <cerrno>
#include <cstring>

#include "platform/foundation/FileUtil.h"

namespace qx::app {

LogFile::~LogFile() { close(); }

bool LogFile::open(const std::filesystem::path& folder, bool echo, std::string& error) {
    close();
    const auto path = folder / kFileName;
    if (plat::file::ensureDirectory(folder)) file_ = std::fopen(path.c_str(), "w");
    if (!file_) {
        error = "cannot write the log " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    // Line by line, so that the log is complete up to the moment of a crash.
    std::setvbuf(file_, nullptr, _IOLBF, 0);
    std::FILE* file = file_;
    previous_ = plat::Log::setSink([file, echo](const std::string& line) {
        std::fprintf(file, "%s\n", line.c_str());
        if (echo) std::fprintf(stderr, "%s\n", line.c_str());
    });
    installed_ = true;
    return true;
}

void LogFile::close() {
    if (installed_) plat::Log::setSink(std::move(previous_));
    installed_ = false;
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

}  // namespace qx::app
