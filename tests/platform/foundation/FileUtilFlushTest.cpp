#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>

#include "TestEnvironment.h"
#include "platform/foundation/FileUtil.h"

namespace {

// This program's fsync is the system's, unless a test makes the flushes of files or of folders
// fail; it notes the last folder it flushed.
enum class Failing { nothing, files, folders };
std::atomic<Failing> failing{Failing::nothing};
std::atomic<int> flushError{0};
std::atomic<ino_t> lastFolderFlushed{0};

int openDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

int filesIn(const std::filesystem::path& folder) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
    return count;
}

}  // namespace

extern "C" int fsync(int fd) {
    struct stat st {};
    const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    if (folder) lastFolderFlushed = st.st_ino;
    if (failing == (folder ? Failing::folders : Failing::files)) {
        errno = flushError;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

// A flush that fails (a disk full or failing) leaves the old file, no temporary and no open
// descriptor behind. A write that succeeds flushes the folder holding the new name.
TEST(FileUtilTest, AFailedFlushClosesTheTemporaryAndTheFolderIsFlushedAfterTheRename) {
    qxtest::TempDir dir;
    const auto target = dir.path() / "f.txt";
    ASSERT_TRUE(plat::file::writeAtomically(target, "old"));
    for (const int cause : {ENOSPC, EIO}) {
        const int before = openDescriptors();
        flushError = cause;
        failing = Failing::files;
        std::string error;
        EXPECT_FALSE(plat::file::writeAtomically(target, "new", &error));
        EXPECT_EQ(errno, cause);
        failing = Failing::nothing;
        EXPECT_NE(error.find("cannot flush"), std::string::npos) << error;
        EXPECT_EQ(openDescriptors(), before) << cause;
        EXPECT_EQ(plat::file::read(target).value_or(""), "old");
        EXPECT_EQ(filesIn(dir.path()), 1);
    }

    lastFolderFlushed = 0;
    ASSERT_TRUE(plat::file::writeAtomically(target, "new"));
    struct stat folder {};
    ASSERT_EQ(::stat(dir.path().c_str(), &folder), 0);
    EXPECT_EQ(lastFolderFlushed, folder.st_ino);

    // The file is in place and whole when only the folder's flush fails: the write succeeded,
    // and the log keeps the failure.
    const int before = openDescriptors();
    qxtest::LogCapture log;
    flushError = EIO;
    failing = Failing::folders;
    EXPECT_TRUE(plat::file::writeAtomically(target, "newer"));
    failing = Failing::nothing;
    EXPECT_TRUE(log.contains("was not flushed"));
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(plat::file::read(target).value_or(""), "newer");
    EXPECT_EQ(filesIn(dir.path()), 1);
}
