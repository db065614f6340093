#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "TestEnvironment.h"
#include "beta/BBMessagePack.h"
#include "beta/BBMessagePackDescriptor.h"
#include "platform/foundation/FileUtil.h"

using namespace bb;

namespace {

// A scratch file opened for reading and writing; contents() reads it back whole.
class ScratchFile {
public:
    ScratchFile() : path_(dir_.path() / "scratch.mpack") {
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    }
    ~ScratchFile() { ::close(fd_); }
    int fd() const { return fd_; }
    std::string contents() const { return plat::file::read(path_).value_or(""); }
    void write(const std::string& bytes) {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::lseek(fd_, 0, SEEK_SET);
    }

private:
    qxtest::TempDir dir_;
    std::filesystem::path path_;
    int fd_ = -1;
};

}  // namespace

TEST(BBMessagePackDescriptor, WritesWhatThePackerWrites) {
    ScratchFile f;
    EXPECT_EQ(bb_mp_fd_write_map_header(f.fd(), 9), 1);
    EXPECT_EQ(bb_mp_fd_write_cstring(f.fd(), "uint32"), 1);
    EXPECT_EQ(bb_mp_fd_write_uint32(f.fd(), 4'000'000'000u), 1);
    EXPECT_EQ(bb_mp_fd_write_cstring(f.fd(), "uint64"), 1);
    EXPECT_EQ(bb_mp_fd_write_uint64(f.fd(), UINT64_MAX), 1);
    EXPECT_EQ(bb_mp_fd_write_cstring(f.fd(), "int32"), 1);
    EXPECT_EQ(bb_mp_fd_write_int32(f.fd(), -7), 1);
    EXPECT_EQ(bb_mp_fd_write_cstring(f.fd(), "int64"), 1);
    EXPECT_EQ(bb_mp_fd_write_int64(f.fd(), -5'000'000'000), 1);
    EXPECT_EQ(bb_mp_fd_write_cstring(f.fd(), "double"), 1);
    EXPECT_EQ(bb_mp_fd_write_double(f.fd(), 2.25), 1);
    EXPECT_EQ(bb_mp_fd_write_cstring(f.fd(), "nil"), 1);
    EXPECT_EQ(bb_mp_fd_write_nil(f.fd()), 1);
    EXPECT_EQ(bb_mp_fd_write_cstring(f.fd(), "raw"), 1);
    const std::string long_text(40, 'r');
    EXPECT_EQ(bb_mp_fd_write_raw(f.fd(), long_text.data(), long_text.size()), 1);
    EXPECT_EQ(bb_mp_fd_write_cstring(f.fd(), "list"), 1);
    EXPECT_EQ(bb_mp_fd_write_array_header(f.fd(), 2), 1);
    EXPECT_EQ(bb_mp_fd_write_array_header(f.fd(), 0), 1);
    EXPECT_EQ(bb_mp_fd_write_cstring(f.fd(), "x"), 1);
    EXPECT_EQ(bb_mp_fd_write_cstring(f.fd(), "empty"), 1);
    EXPECT_EQ(bb_mp_fd_write_map_header(f.fd(), 0), 1);

    BBDictionary expected{
        {"uint32", 4'000'000'000u}, {"uint64", UINT64_MAX}, {"int32", -7}, {"int64", -5'000'000'000},
        {"double", 2.25},           {"nil", BBValue()},     {"raw", long_text},
        {"list", BBArray{BBArray{}, "x"}},                  {"empty", BBDictionary()},
    };
    auto read = BBMessagePack::unpackDictionary(f.contents());
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, expected);
    EXPECT_EQ(f.contents(), BBMessagePack::pack(expected)->view())
        << "the descriptor writer and the packer must agree byte for byte";

    ScratchFile g;
    EXPECT_EQ(bb_mp_fd_write_array32_header(g.fd(), 1), 1);
    EXPECT_EQ(bb_mp_fd_write_raw32_header(g.fd(), 1), 1);
    ASSERT_EQ(::write(g.fd(), "x", 1), 1);
    EXPECT_EQ(BBMessagePack::unpack(g.contents()), BBValue(BBArray{"x"}));
}

TEST(BBMessagePackDescriptor, ClosedDescriptorFailsWithoutWriting) {
    EXPECT_EQ(bb_mp_fd_write_nil(-1), 0);
    EXPECT_EQ(bb_mp_fd_write_cstring(-1, "x"), 0);
    EXPECT_EQ(bb_mp_fd_write_raw(-1, "x", 1), 0);
    EXPECT_EQ(bb_mp_fd_read_uint32(-1), 0xffffffffu);
    EXPECT_EQ(bb_mp_fd_read_int32(-1), -1);
    EXPECT_EQ(bb_mp_fd_read_double(-1), -1.0);
    EXPECT_EQ(bb_mp_fd_read_fixarray_count(-1), 255u);
    char buffer[4] = {};
    EXPECT_EQ(bb_mp_fd_read_raw(-1, buffer, sizeof buffer), 0xffffffffu);

    ScratchFile f;
    EXPECT_EQ(bb_mp_fd_write_raw(f.fd(), nullptr, 3), 0);
    EXPECT_EQ(f.contents(), "");
    int readOnly = ::open("/dev/null", O_RDONLY);
    EXPECT_EQ(bb_mp_fd_write_uint32(readOnly, 1), 0);
    ::close(readOnly);
}

TEST(BBMessagePackDescriptor, OversizedRawWritesAnEmptyRawAndNoPayload) {
    ScratchFile f;
    const char payload = 'p';  // must never be read
    EXPECT_EQ(bb_mp_fd_write_raw(f.fd(), &payload, 0x1'0000'0000ull), 1);
    EXPECT_EQ(f.contents(), std::string(1, static_cast<char>(0xa0)));
}

TEST(BBMessagePackDescriptor, ReadsRawsIntoTheCallersBuffer) {
    ScratchFile f;
    f.write(std::string("\xda\x00\x28", 3) + std::string(40, 'q'));
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(bb_mp_fd_read_raw(f.fd(), buffer, 50), 40u);
    EXPECT_EQ(std::string(buffer, 40), std::string(40, 'q'));
    EXPECT_EQ(std::string(buffer + 40, 10), std::string(10, '\0')) << "cleared before reading";
    EXPECT_EQ(buffer[50], '#') << "nothing past the capacity is touched";

    ::lseek(f.fd(), 0, SEEK_SET);
    EXPECT_EQ(bb_mp_fd_read_raw(f.fd(), buffer, 30), 65535u);
}

TEST(BBMessagePackDescriptor, ReadFailuresNameTheFormTheyExpected) {
    ScratchFile f;
    f.write(std::string("\xa5" "ab", 3));  // fixraw promising 5 bytes, 2 present
    char buffer[8] = {};
    EXPECT_EQ(bb_mp_fd_read_raw(f.fd(), buffer, sizeof buffer), 255u);

    ScratchFile g;
    g.write(std::string("\xdb\x00\x00\x00\x02" "ok" "\xc0", 8));
    EXPECT_EQ(bb_mp_fd_read_raw(g.fd(), buffer, sizeof buffer), 2u);
    EXPECT_EQ(bb_mp_fd_read_raw(g.fd(), buffer, sizeof buffer), 0xffffffffu) << "nil is not a raw";

    ScratchFile h;
    h.write(std::string("\x93\xdd\x00\x00\x01\x00\xce\x00\x00\x00\x09\xd2\xff\xff\xff\xfe\xcb\x3f\xf0\0\0\0\0\0\0\xc0", 25));
    EXPECT_EQ(bb_mp_fd_read_fixarray_count(h.fd()), 3u);
    EXPECT_EQ(bb_mp_fd_read_array32_count(h.fd()), 256u);
    EXPECT_EQ(bb_mp_fd_read_uint32(h.fd()), 9u);
    EXPECT_EQ(bb_mp_fd_read_int32(h.fd()), -2);
    EXPECT_EQ(bb_mp_fd_read_double(h.fd()), 1.0);
    EXPECT_EQ(bb_mp_fd_read_uint32(h.fd()), 0xffffffffu);  // c0
    EXPECT_EQ(bb_mp_fd_read_int32(h.fd()), -1);             // end of file
}
