#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "TestEnvironment.h"
#include "platform/foundation/FileUtil.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// A socket bound under `path`, left there when the descriptor is closed.
bool makeSocket(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) ::close(fd);
    return bound;
}

}  // namespace

// What stands at the name and is no file is never replaced by the file: a device or a FIFO gets
// the bytes as a shell's redirection would give them, anything else is refused.
TEST(FileTargetsTest, AWholeFileGoesThroughADeviceOrFifoAndNeverReplacesIt) {
    qxtest::TempDir dir;
    const std::string bytes(200'000, 'p');  // more than a pipe holds at once
    const auto fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = plat::file::read(fifo).value_or(""); });
    EXPECT_TRUE(plat::file::writeAtomically(fifo, bytes));
    reader.join();
    EXPECT_EQ(received, bytes);
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));

    // A reader that goes away fails the write; the program is not ended by SIGPIPE.
    std::thread quitter([&] { ::close(::open(fifo.c_str(), O_RDONLY | O_CLOEXEC)); });
    std::string error;
    EXPECT_FALSE(plat::file::writeAtomically(fifo, std::string(1 << 20, 'q'), &error));
    EXPECT_EQ(errno, EPIPE) << error;
    quitter.join();

    // A device of its own, like the machine's null device: the machine's is never risked here.
    const auto device = dir.path() / "null";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_TRUE(plat::file::writeAtomically(device, bytes));
        EXPECT_TRUE(fs::is_character_file(fs::symlink_status(device)));
    }

    const auto folder = dir.path() / "folder";
    fs::create_directories(folder);
    const auto socket = dir.path() / "socket";
    ASSERT_TRUE(makeSocket(socket));
    const auto disk = dir.path() / "disk";
    const bool haveDisk = ::mknod(disk.c_str(), S_IFBLK | 0600, makedev(7, 0)) == 0;
    const auto before = namesIn(dir.path());
    const struct {
        fs::path path;
        int cause;
    } refused[] = {{folder, EISDIR}, {socket, ENXIO}, {disk, EPERM}};
    for (const auto& r : refused) {
        if (r.path == disk && !haveDisk) continue;
        const auto type = fs::symlink_status(r.path).type();
        EXPECT_FALSE(plat::file::writeAtomically(r.path, bytes, &error)) << r.path;
        EXPECT_EQ(errno, r.cause) << error;
        EXPECT_NE(error.find(r.path.string()), std::string::npos) << error;
        EXPECT_EQ(fs::symlink_status(r.path).type(), type) << r.path;
    }
    EXPECT_EQ(namesIn(dir.path()), before) << "no temporary file is left";
    EXPECT_TRUE(fs::is_empty(folder));
}

// Run as root (one run under sudo), a file written in another user's folder stays theirs, one
// an earlier run left to root goes back to them, and in root's own folder nothing changes hands.
TEST(FileTargetsTest, RunAsRootInAnotherUsersFolderFilesKeepThatUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    qxtest::TempDir dir;
    constexpr uid_t kTheirs = 65534;
    const auto folder = dir.path() / "theirs";
    fs::create_directories(folder);
    ASSERT_EQ(::chown(folder.c_str(), kTheirs, kTheirs), 0);
    const struct {
        fs::path file;
        uid_t before, after;
    } cases[] = {{folder / "kept.json", kTheirs, kTheirs},
                 {folder / "left.json", 0, kTheirs},
                 {dir.path() / "root.json", 0, 0}};
    for (const auto& c : cases) {
        ASSERT_TRUE(plat::file::writeAtomically(c.file, "old"));
        ASSERT_EQ(::chown(c.file.c_str(), c.before, c.before), 0);
        ASSERT_TRUE(plat::file::writeAtomically(c.file, "new"));
        struct stat info {};
        ASSERT_EQ(::stat(c.file.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, c.after) << c.file;
        EXPECT_EQ(info.st_mode & 07777, 0600u) << c.file;
    }
}
