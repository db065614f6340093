#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>

#include "TestEnvironment.h"
#include "beta/BBCrashFile.h"
#include "beta/BBCrypto.h"
#include "beta/BBExecutableImage.h"
#include "beta/BBLoadedImages.h"
#include "beta/BBMessagePack.h"
#include "beta/BBRegisterState.h"
#include "beta/BBSignalSafeText.h"
#include "beta/BBStackWalker.h"
#include "beta/BBTaskThreads.h"
#include "beta/BBThreadSuspension.h"
#include "platform/foundation/FileUtil.h"

namespace bb {
namespace {

namespace fs = std::filesystem;

// What a writer puts into a scratch file.
class Written {
public:
    Written() : path_((dir_.path() / "out").string()), fd_(::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644)) {}
    ~Written() { ::close(fd_); }
    int fd() const { return fd_; }
    std::string bytes() const { return plat::file::read(path_).value_or(""); }

private:
    qxtest::TempDir dir_;
    std::string path_;
    int fd_;
};

std::string frameLine(std::size_t index, const char* image, const char* symbol, std::uintptr_t address,
                      std::uint64_t distance) {
    BBTextLine line;
    bb_format_frame_line(line, index, image, symbol, address, distance);
    return line.c_str();
}

TEST(BBCrashTextTest, FrameLinesKeepTheirColumns) {
    EXPECT_EQ(frameLine(3, "/usr/lib/abcde", "abc", 0x1000, 16),
              "3   abcde" + std::string(31, ' ') + "0x0000000000001000 abc + 16");
    // No image, no symbol.
    EXPECT_EQ(frameLine(0, nullptr, nullptr, 0x10, 99), "0   " + std::string(36, ' ') + "0x0000000000000010   + 0");
    // A long file name keeps 35 characters and one space.
    const std::string longName(40, 'n');
    EXPECT_EQ(frameLine(12, ("/lib/" + longName).c_str(), "f", 0xffffffffffffffff, 0),
              "12  " + std::string(35, 'n') + " 0xffffffffffffffff f + 0");
}

TEST(BBCrashTextTest, NumbersAndTextsFitTheirBuffers) {
    char text[32];
    EXPECT_EQ(bb_itoa(INT32_MIN, text, sizeof text), 11u);
    EXPECT_STREQ(text, "-2147483648");
    EXPECT_EQ(bb_ltoa(INT64_MIN, text, sizeof text), 20u);
    EXPECT_STREQ(text, "-9223372036854775808");
    EXPECT_EQ(bb_itoa(0, text, sizeof text), 1u);
    EXPECT_STREQ(text, "0");
    EXPECT_EQ(bb_itoa(12345, text, 5), 0u);  // no room for the terminator
    EXPECT_STREQ(text, "");

    EXPECT_EQ(bb_hex(0xabc, 6, text, sizeof text), 6u);
    EXPECT_STREQ(text, "000abc");
    bb_hex(0x1234, 2, text, sizeof text);
    EXPECT_STREQ(text, "34");

    std::strcpy(text, "ab");
    EXPECT_EQ(bb_pad(text, 5, sizeof text), text + 5);
    EXPECT_STREQ(text, "ab   ");
    EXPECT_EQ(bb_pad(text, 40, 8), text + 7);  // stops at the buffer's end
    EXPECT_STREQ(text, "ab     ");

    EXPECT_STREQ(bb_basename("/a/b/libc.so.6"), "libc.so.6");
    EXPECT_STREQ(bb_basename("plain"), "plain");
    EXPECT_STREQ(bb_basename("/dir/"), "");
    EXPECT_EQ(bb_line_length("HTTP/1.1 200 OK\r\n"), 15u);
    EXPECT_EQ(bb_line_length("no end"), 6u);
    EXPECT_EQ(bb_strcmp("same", "same"), 0);
    EXPECT_EQ(bb_strcmp("same", "samE"), -1);
    EXPECT_EQ(bb_strcmp("same", nullptr), -1);
}

TEST(BBCrashTextTest, ArchitectureNamesFromTheImageHeader) {
    char name[32];
    bb_arch_name(62, 0, name, sizeof name);
    EXPECT_STREQ(name, "x86_64");
    bb_arch_name(183, 0, name, sizeof name);
    EXPECT_STREQ(name, "arm64");
    bb_arch_name(12, 12, name, sizeof name);
    EXPECT_STREQ(name, "12,12");
    bb_arch_name(183, -1, name, sizeof name);
    EXPECT_STREQ(name, "183,-1");
}

int findLibc(const BBImage& image, void* context) {
    if (std::string(bb_basename(image.path)).starts_with("libc.so")) {
        *static_cast<BBImage*>(context) = image;
        return 1;
    }
    return 0;
}

TEST(BBLoadedImagesTest, AnImageLineNamesItsRangeProcessorBuildIDAndPath) {
    BBImage libc{};
    bb_visit_images(findLibc, &libc);
    ASSERT_NE(libc.path, nullptr);
    Written out;
    ASSERT_EQ(bb_write_image_line(out.fd(), libc), 1);
    const auto line = BBMessagePack::unpack(out.bytes());
    ASSERT_TRUE(line && line->isString());

    std::smatch parts;
    const std::string text(line->string());
    ASSERT_TRUE(std::regex_match(text, parts, std::regex("0x([0-9a-f]{16}) - 0x([0-9a-f]{16}) (\\S+) (\\S+)  <([0-9a-f]{32})> (.+)")))
        << text;
    EXPECT_LT(std::stoull(parts[1], nullptr, 16), std::stoull(parts[2], nullptr, 16));
    EXPECT_EQ(parts[3], bb_basename(libc.path));
    EXPECT_EQ(parts[6], libc.path);
    const auto onDisk = BBExecutableImage::read(libc.path);
    ASSERT_TRUE(onDisk && onDisk->buildID().size() >= 16);
    EXPECT_EQ(parts[5], BBCrypto::lowerHex(reinterpret_cast<const unsigned char*>(onDisk->buildID().data()), 16));
    EXPECT_EQ(parts[4], onDisk->architectureName().value_or("?"));

    // The list holds one line for each loaded image.
    Written list;
    ASSERT_EQ(bb_write_image_list(list.fd()), 1);
    const auto lines = BBMessagePack::unpackArray(list.bytes());
    ASSERT_TRUE(lines);
    EXPECT_GE(lines->size(), 3u);
}

TEST(BBStackWalkerTest, SymbolsAreTheNearestDefinedOnesBelowTheAddress) {
    const auto getpidAddress = reinterpret_cast<std::uintptr_t>(&::getpid);
    const BBSymbol symbol = bb_lookup_symbol(getpidAddress + 3);
    ASSERT_NE(symbol.imagePath, nullptr);
    ASSERT_NE(symbol.name, nullptr);
    EXPECT_TRUE(std::string(symbol.name).ends_with("getpid")) << symbol.name;
    EXPECT_EQ(symbol.distance, 3u);

    int onTheStack = 0;
    const BBSymbol nowhere = bb_lookup_symbol(reinterpret_cast<std::uintptr_t>(&onTheStack));
    EXPECT_EQ(nowhere.imagePath, nullptr);
    EXPECT_EQ(nowhere.name, nullptr);
}

TEST(BBStackWalkerTest, AFramePointerWalkFollowsValidRisingLinksOnly) {
    alignas(16) std::uintptr_t stack[64] = {};
    const auto at = [&](int i) { return reinterpret_cast<std::uintptr_t>(&stack[i]); };
    stack[4] = at(10);
    stack[5] = 0x1001;
    stack[10] = at(20);
    stack[11] = 0x2001;
    stack[20] = 0;  // the outermost frame
    stack[21] = 0x3001;
    const BBStackWalkStart start{at(4), at(0), at(64)};

    std::uintptr_t frames[8];
    std::size_t count = 0;
    bb_walk_stack(start, frames, 8, &count, 0);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(frames[0], 0x1000u);
    EXPECT_EQ(frames[2], 0x3000u);
    bb_walk_stack(start, frames, 8, &count, 1);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(frames[0], 0x2000u);
    bb_walk_stack(start, frames, 2, &count, 0);
    EXPECT_EQ(count, 2u);

    // A saved frame pointer outside the stack, an odd one, or a link that does not rise.
    bb_walk_stack({at(4), at(8), at(64)}, frames, 8, &count, 0);
    EXPECT_EQ(count, 0u);
    bb_walk_stack({at(4) + 1, at(0), at(64)}, frames, 8, &count, 0);
    EXPECT_EQ(count, 0u);
    stack[10] = at(4);
    bb_walk_stack(start, frames, 8, &count, 0);
    EXPECT_EQ(count, 2u);
    bb_walk_stack(start, frames, 8, &count, 2);
    EXPECT_EQ(count, 0u);
}

TEST(BBRegisterStateTest, TheRegisterMapFollowsItsFixedLayout) {
    Written none;
    ASSERT_EQ(bb_write_register_state(none.fd(), nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(none.bytes(), "\x80");

#if defined(__x86_64__)
    ucontext_t context = {};
    auto& r = context.uc_mcontext.gregs;
    const int general[] = {REG_RAX, REG_RBX, REG_RCX, REG_RDX, REG_RSI, REG_RDI, REG_R8,
                           REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15};
    for (int i = 0; i < 14; ++i) r[general[i]] = i + 1;
    r[REG_RBP] = 0x100;
    r[REG_RSP] = 0x200;
    r[REG_RIP] = 0x300;
    r[REG_EFL] = 0x246;
    r[REG_CR2] = 0xdead;
    r[REG_ERR] = 6;
    r[REG_TRAPNO] = 14;
    Written out;
    ASSERT_EQ(bb_write_register_state(out.fd(), nullptr, nullptr, &context), 1);
    const std::string bytes = out.bytes();
    EXPECT_EQ(bytes.substr(0, 3), std::string("\xde\x00\x25", 3));
    const auto map = BBMessagePack::unpackDictionary(bytes);
    ASSERT_TRUE(map);
    std::vector<std::string> keys;
    for (const auto& [key, value] : *map) keys.emplace_back(key.string());
    ASSERT_EQ(keys.size(), 37u);
    EXPECT_EQ(keys[0], "x0");
    EXPECT_EQ(keys[28], "x28");
    EXPECT_EQ(std::vector<std::string>(keys.begin() + 29, keys.end()),
              (std::vector<std::string>{"fp", "lr", "sp", "pc", "cpsr", "far", "esr", "exception"}));
    EXPECT_EQ(map->find("x0")->uint64Value(), 1u);
    EXPECT_EQ(map->find("x13")->uint64Value(), 14u);
    EXPECT_EQ(map->find("x14")->uint64Value(), 0u);
    EXPECT_EQ(map->find("fp")->uint64Value(), 0x100u);
    EXPECT_EQ(map->find("pc")->uint64Value(), 0x300u);
    EXPECT_EQ(map->find("cpsr")->type(), BBValue::Type::UInt32);
    EXPECT_EQ(map->find("far")->uint64Value(), 0xdeadu);
    EXPECT_EQ(map->find("esr")->uint64Value(), 6u);
    EXPECT_EQ(map->find("exception")->uint64Value(), 14u);
#endif
}

TEST(BBCrashFileTest, WithoutStartDataTheFileIsStillOneMap) {
    qxtest::TempDir dir;
    const std::string path = (dir.path() / "backtrace.mpack").string();
    const int fd = bb_open_crash_file(path.c_str(), dir.path().c_str());
    ASSERT_NE(fd, -1);
    ::close(fd);
    const std::string bytes = plat::file::read(path).value_or("");
    EXPECT_EQ(bytes.substr(0, 10), std::string("\x81\xa6" "events\x92\x8d", 10));

    // An unopened file: nothing is written, every writer fails.
    EXPECT_EQ(bb_open_crash_file((dir.path() / "missing" / "x").c_str(), dir.path().c_str()), -1);
    EXPECT_EQ(bb_write_thread_backtraces(-1, nullptr, 0), 0);
    EXPECT_EQ(bb_write_crash_session_end(-1, dir.path().c_str()), 0);
}

TEST(BBTaskThreadsTest, ThreadsAreListedNamedAndRecordWhereTheyStandWhenSuspended) {
    int never[2];
    ASSERT_EQ(::pipe(never), 0);
    std::atomic<pid_t> namedID{0};
    std::atomic<pid_t> unnamedID{0};
    auto block = [&](std::atomic<pid_t>* id, const char* name) {
        if (name) ::pthread_setname_np(::pthread_self(), name);
        *id = BBTaskThreads::currentThreadID();
        char byte;
        (void)::read(never[0], &byte, 1);
    };
    std::thread named(block, &namedID, "bb-named");
    std::thread unnamed(block, &unnamedID, nullptr);
    while (namedID == 0 || unnamedID == 0) std::this_thread::yield();

    pid_t threads[BBTaskThreads::kCapacity];
    const std::size_t count = BBTaskThreads::list(threads, BBTaskThreads::kCapacity);
    const auto listed = [&](pid_t tid) { return std::find(threads, threads + count, tid) != threads + count; };
    EXPECT_TRUE(listed(BBTaskThreads::currentThreadID()));
    EXPECT_TRUE(listed(namedID));
    EXPECT_TRUE(listed(unnamedID));
    // A full buffer still holds the calling thread.
    EXPECT_EQ(BBTaskThreads::list(threads, 1), 1u);
    EXPECT_EQ(threads[0], BBTaskThreads::currentThreadID());

    char name[64];
    EXPECT_GT(BBTaskThreads::name(namedID, name, sizeof name), 0u);
    EXPECT_STREQ(name, "bb-named");
    EXPECT_EQ(BBTaskThreads::name(unnamedID, name, sizeof name), 0u);

    std::uintptr_t bottom = 0;
    std::uintptr_t top = 0;
    int local = 0;
    ASSERT_TRUE(BBTaskThreads::stackBounds(reinterpret_cast<std::uintptr_t>(&local), &bottom, &top));
    EXPECT_LE(bottom, reinterpret_cast<std::uintptr_t>(&local));
    EXPECT_GT(top, reinterpret_cast<std::uintptr_t>(&local));

    bb_set_parked_thread_recorder(BBTaskThreads::recordCurrentThread);
    BBTaskThreads::forgetSnapshots();
    bb_suspend_other_threads();
    const BBThreadSnapshot* snapshot = BBTaskThreads::snapshot(namedID);
    std::uintptr_t frames[kBBMaxFrames];
    const std::size_t frameCount = bb_backtrace(namedID, frames, kBBMaxFrames);
    bb_resume_other_threads();
    bb_set_parked_thread_recorder(nullptr);
    ASSERT_NE(snapshot, nullptr);
    EXPECT_NE(snapshot->pc, 0u);
    EXPECT_GT(frameCount, 1u);
    // The thread stood in the read it blocks in.
    EXPECT_EQ(frames[0], snapshot->pc);

    ::close(never[1]);
    named.join();
    unnamed.join();
    ::close(never[0]);
}

}  // namespace
}  // namespace bb
