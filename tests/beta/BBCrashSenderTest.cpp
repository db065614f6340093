#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "BetaTestSupport.h"
#include "RawHTTPServer.h"
#include "beta/BBCrashSender.h"
#include "beta/BBCrypto.h"
#include "beta/BBMessagePack.h"
#include "beta/BBSDK.h"
#include "beta/BBServiceHost.h"
#include "beta/BBSessionManager.h"
#include "platform/foundation/FileUtil.h"

namespace bb {
namespace {

using bbtest::RawHTTPServer;
namespace fs = std::filesystem;

constexpr const char* kTokenDigest = "a9993e364706816aba3e25717850c26c9cd0d89d";  // SHA-1 of "abc"

class BBCrashSenderTest : public bbtest::BetaTest {
protected:
    void SetUp() override {
        BetaTest::SetUp();
        BBServiceHost::setSDKHostName("sdk.service.test");
        bb_prepare_crash_sender(std::nullopt);  // forgets what an earlier test kept
    }
    void TearDown() override {
        BBServiceHost::setConnectTo({});
        BetaTest::TearDown();
    }

    // The crash host of the token "abc" is reached at the server.
    void routeTo(const RawHTTPServer& server) {
        BBServiceHost::setConnectTo({std::string(kTokenDigest) + ".sdk.service.test:80:127.0.0.1:" +
                                     std::to_string(server.port())});
    }
    void saveDigestOfABC() {
        bb_save_token_digest("abc");
        drain();
    }
    fs::path digestFile() const { return fs::path(bb_sdk_directory_path()) / kBBTokenDigestFileName; }

    // Posts a crash file of `size` bytes; the result of the send.
    int sendFileOfSize(std::size_t size, std::string* bytes = nullptr) {
        const auto path = writeFile("crash.bin", bbtest::binaryBytes(size));
        if (bytes) *bytes = bbtest::binaryBytes(size);
        const int fd = ::open(path.c_str(), O_RDONLY);
        const int result = bb_send_crash_file(fd, bb_sdk_directory_path().c_str());
        ::close(fd);
        return result;
    }
};

TEST_F(BBCrashSenderTest, TakeOffKeepsTheTokenDigestAndTheRequestCarriesTheCrashFileAsItsOnlyBody) {
    RawHTTPServer server;
    routeTo(server);
    saveDigestOfABC();

    EXPECT_EQ(plat::file::read(digestFile()), std::string("\xda\x00\x28", 3) + kTokenDigest);
    ASSERT_TRUE(bb_crash_sender_prepared());

    std::string body;
    EXPECT_EQ(sendFileOfSize(1234, &body), 0);
    ASSERT_TRUE(server.waitForRequests(1));
    const std::string request = server.requests()[0];
    EXPECT_EQ(RawHTTPServer::head(request), std::string("POST /beamdeck/1.0/sessions.mpack HTTP/1.1\r\n") +
                                                "Host: " + kTokenDigest + ".sdk.service.test\r\n" +
                                                "Content-Length: 1234\r\n\r\n");
    EXPECT_EQ(RawHTTPServer::body(request), body);
    // The socket is used up by the post.
    EXPECT_FALSE(bb_crash_sender_prepared());
    EXPECT_EQ(sendFileOfSize(10), -1);
}

TEST_F(BBCrashSenderTest, OnlyAnExactOKStatusLineCountsAsDelivered) {
    struct Case {
        const char* reply;
        int result;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", 0},
        {"HTTP/1.0 200 OK\r\n\r\n", 0},
        {"HTTP/1.1 201 Created\r\n\r\n", -1},
        {"HTTP/1.1 200 OK \r\n\r\n", -1},
        {"HTTP/1.1 500 Internal Server Error\r\n\r\n", -1},
        // A peer that closes after the status line: the status decides.
        {"HTTP/1.1 200 OK\r\n", 0},
        {"", -1},
    };
    for (const auto& c : cases) {
        RawHTTPServer server;
        server.enqueue({c.reply, true});
        routeTo(server);
        bb_prepare_crash_sender(kTokenDigest);
        if (!fs::exists(digestFile())) saveDigestOfABC();
        EXPECT_EQ(sendFileOfSize(100), c.result) << c.reply;
    }
}

TEST_F(BBCrashSenderTest, ReadingEndsAtTheEndOfTheReplyHeadWithoutWaitingForThePeer) {
    RawHTTPServer server;
    // The peer keeps the connection open; the post must not wait for its receive time-out.
    server.enqueue({"HTTP/1.0 200 OK\r\n\r\n", false});
    routeTo(server);
    saveDigestOfABC();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sendFileOfSize(64), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
}

TEST_F(BBCrashSenderTest, WithoutAPreparedSocketOrDigestNothingIsSent) {
    RawHTTPServer server;
    routeTo(server);
    // Not prepared.
    EXPECT_EQ(sendFileOfSize(10), -1);

    // Prepared, but the digest file is missing.
    bb_prepare_crash_sender(kTokenDigest);
    ASSERT_TRUE(bb_crash_sender_prepared());
    EXPECT_EQ(sendFileOfSize(10), -1);

    // A digest file holding something other than a text, or a text other than 40 hexadecimal
    // digits: it would end up in the request's Host field.
    const std::string digest = kTokenDigest;
    const std::string notDigests[] = {
        std::string("\xd2\x00\x00\x00\x07", 5),
        std::string(BBMessagePack::pack(BBValue(digest.substr(1)))->view()),
        std::string(BBMessagePack::pack(BBValue(digest + "0"))->view()),
        std::string(BBMessagePack::pack(BBValue(digest.substr(2) + "\r\n"))->view()),
        std::string(BBMessagePack::pack(BBValue(digest.substr(1) + "g"))->view()),
    };
    for (const auto& bytes : notDigests) {
        plat::file::writeAtomically(digestFile(), bytes);
        bb_prepare_crash_sender(kTokenDigest);
        EXPECT_EQ(sendFileOfSize(10), -1);
    }
    EXPECT_TRUE(server.requests().empty());

    // The very digest, in upper case too, is taken.
    plat::file::writeAtomically(digestFile(), std::string(BBMessagePack::pack(BBValue(std::string(
        "A9993E364706816ABA3E25717850C26C9CD0D89D")))->view()));
    bb_prepare_crash_sender(kTokenDigest);
    EXPECT_EQ(sendFileOfSize(10), 0);
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(BBCrashSenderTest, AConnectFailureUsesUpTheSocket) {
    int port;
    {
        RawHTTPServer gone;
        port = gone.port();
    }
    BBServiceHost::setConnectTo({std::string(kTokenDigest) + ".sdk.service.test:80:127.0.0.1:" + std::to_string(port)});
    saveDigestOfABC();
    ASSERT_TRUE(bb_crash_sender_prepared());
    EXPECT_EQ(sendFileOfSize(10), -1);
    EXPECT_FALSE(bb_crash_sender_prepared());
}

TEST_F(BBCrashSenderTest, AHostThatDoesNotResolveKeepsNoSocket) {
    BBServiceHost::setSDKHostName("host.invalid");
    bb_prepare_crash_sender(kTokenDigest);
    EXPECT_FALSE(bb_crash_sender_prepared());
}

TEST_F(BBCrashSenderTest, NoDigestAndNoSocketWhenTheServiceRefusesCrashReports) {
    const BBDictionary refused{{"valid", true}, {"send_checkpoints", true}, {"send_logs", true},
                               {"send_crashes", false}};
    plat::file::writeAtomically(BBSessionManager::permissionsFilePath(),
                                BBMessagePack::pack(BBValue(refused))->view());
    RawHTTPServer server;
    routeTo(server);
    saveDigestOfABC();
    EXPECT_FALSE(fs::exists(digestFile()));
    EXPECT_FALSE(bb_crash_sender_prepared());
}

TEST(BBHTTPReplyTest, TheReplyHeadEndsAtTheEmptyLineOfOneChunk) {
    bb_http_reply_reset();
    EXPECT_EQ(bb_http_status_ok("HTTP/1.0 200 OK\r\n\r\n"), 1);
    EXPECT_TRUE(bb_http_reply_status_ok());

    // The status line and the head's end in separate chunks.
    bb_http_reply_reset();
    EXPECT_EQ(bb_http_status_ok("HTTP/1.1 200 OK\r\n"), 0);
    EXPECT_EQ(bb_http_status_ok("Server: x\r\n\r\nbody"), 1);
    EXPECT_TRUE(bb_http_reply_status_ok());

    // A head end cut after its second CR is found once a later line break arrives.
    bb_http_reply_reset();
    EXPECT_EQ(bb_http_status_ok("HTTP/1.1 404 Not Found\r\n\r"), 0);
    EXPECT_EQ(bb_http_status_ok("\nbody"), 0);
    EXPECT_EQ(bb_http_status_ok("more\r\n"), 1);
    EXPECT_FALSE(bb_http_reply_status_ok());

    // The status line is only ever the first line of the first chunk.
    bb_http_reply_reset();
    EXPECT_EQ(bb_http_status_ok("HTTP/1.1 302 Found\r\n"), 0);
    EXPECT_EQ(bb_http_status_ok("HTTP/1.1 200 OK\r\n\r\n"), 1);
    EXPECT_FALSE(bb_http_reply_status_ok());
}

}  // namespace
}  // namespace bb
