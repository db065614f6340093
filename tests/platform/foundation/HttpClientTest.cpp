#include <gtest/gtest.h>
#include <zlib.h>

#include "FakeHttpServer.h"
#include "TestEnvironment.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/RunLoop.h"

namespace {

using plat::HttpClient;
using plat::HttpFailure;
using plat::HttpRequest;
using plat::HttpResponse;

class HttpClientTest : public qxtest::AppTest {
protected:
    // Sends and waits for the reply, which must come on the main run loop.
    HttpResponse exchange(HttpRequest request) {
        std::optional<HttpResponse> reply;
        bool onMain = false;
        HttpClient::shared().send(std::move(request), [&](const HttpResponse& r) {
            reply = r;
            onMain = plat::RunLoop::main().isLoopThread();
        });
        EXPECT_FALSE(reply.has_value()) << "the completion must not run inside send()";
        drain();
        EXPECT_TRUE(reply.has_value());
        EXPECT_TRUE(onMain);
        return reply.value_or(HttpResponse{});
    }

    static std::string gzipped(const std::string& text) {
        z_stream z{};
        deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
        std::string out(compressBound(static_cast<uLong>(text.size())) + 32, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        z.avail_in = static_cast<uInt>(text.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, Z_FINISH);
        out.resize(z.total_out);
        deflateEnd(&z);
        return out;
    }

    qxtest::FakeHttpServer server;
};

TEST_F(HttpClientTest, PostsExactlyTheRequestAndReportsTheWholeReply) {
    server.enqueue(qxtest::FakeReply::with(201, "created", {{"X-Reply", "yes"}}));
    HttpRequest request;
    request.method = "POST";
    request.url = server.url("/path/to?x=1");
    request.headers = {{"Content-Type", "text/xml; charset=utf-8"}, {"SOAPAction", "\"urn:a\""}};
    request.body = std::string(3000, 'b');  // long enough for a client that would wait for "100 Continue"
    const auto reply = exchange(request);

    EXPECT_EQ(reply.status, 201);
    EXPECT_EQ(reply.body, "created");
    EXPECT_EQ(reply.header("x-reply").value_or(""), "yes");
    EXPECT_TRUE(reply.error.empty());
    ASSERT_EQ(server.requestCount(), 1u);
    const auto seen = server.requests()[0];
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.target, "/path/to?x=1");
    EXPECT_EQ(seen.header("Content-Type").value_or(""), "text/xml; charset=utf-8");
    EXPECT_EQ(seen.header("SOAPAction").value_or(""), "\"urn:a\"");
    EXPECT_FALSE(seen.header("Expect").has_value());
    EXPECT_EQ(seen.body, request.body);
}

TEST_F(HttpClientTest, BodiesWithoutATypeGoOutWithoutAnInventedOne) {
    HttpRequest request;
    request.method = "PUT";
    request.url = server.url("/x");
    request.body = "a=b";
    EXPECT_EQ(exchange(request).status, 200);
    const auto seen = server.requests().at(0);
    EXPECT_EQ(seen.method, "PUT");
    EXPECT_FALSE(seen.header("Content-Type").has_value());
    EXPECT_EQ(seen.body, "a=b");
}

TEST_F(HttpClientTest, DecodesCompressedRepliesOnlyWhenTheCodingWasOffered) {
    const std::string text = "<Envelope>" + std::string(500, 'z') + "</Envelope>";
    server.setHandler([text](const qxtest::RecordedRequest&) {
        return qxtest::FakeReply::with(200, gzipped(text), {{"Content-Encoding", "gzip"}});
    });
    HttpRequest offered;
    offered.url = server.url("/");
    offered.acceptEncoding = "gzip, deflate";
    EXPECT_EQ(exchange(offered).body, text);
    EXPECT_EQ(server.requests().at(0).header("Accept-Encoding").value_or(""), "gzip, deflate");

    HttpRequest plain;
    plain.url = server.url("/");
    EXPECT_EQ(exchange(plain).body, gzipped(text));
    EXPECT_FALSE(server.requests().at(1).header("Accept-Encoding").has_value());
}

TEST_F(HttpClientTest, NoCompleteReplyIsStatusZeroWithAReason) {
    // Nobody listening.
    int closedPort;
    {
        qxtest::FakeHttpServer gone;
        closedPort = gone.port();
    }
    HttpRequest refused;
    refused.url = "http://127.0.0.1:" + std::to_string(closedPort) + "/";
    auto reply = exchange(refused);
    EXPECT_EQ(reply.status, 0);
    EXPECT_FALSE(reply.error.empty());
    EXPECT_EQ(reply.failure, HttpFailure::cannotConnect);

    // The connection closes without a word.
    server.enqueue(qxtest::FakeReply::drop());
    HttpRequest dropped;
    dropped.url = server.url("/");
    reply = exchange(dropped);
    EXPECT_EQ(reply.status, 0);
    EXPECT_FALSE(reply.error.empty());
    EXPECT_EQ(reply.failure, HttpFailure::connectionLost);

    // The server never answers within the time limit.
    server.enqueue(qxtest::FakeReply::silence());
    HttpRequest slow;
    slow.url = server.url("/");
    slow.timeout = 0.3;
    reply = exchange(slow);
    EXPECT_EQ(reply.status, 0);
    EXPECT_FALSE(reply.error.empty());
    EXPECT_EQ(reply.failure, HttpFailure::timedOut);

    // A reply of another age (HTTP/0.9, a bare body) is no reply either.
    server.enqueue(qxtest::FakeReply::raw("<html>hello</html>\n"));
    HttpRequest ancient;
    ancient.url = server.url("/");
    reply = exchange(ancient);
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(reply.failure, HttpFailure::notHttp);
}

TEST_F(HttpClientTest, OnlyWebAddressesAreFetched) {
    for (const char* url : {"file:///etc/hostname", "ftp://127.0.0.1/", "not a url"}) {
        HttpRequest request;
        request.url = url;
        const auto reply = exchange(request);
        EXPECT_EQ(reply.status, 0) << url;
        EXPECT_TRUE(reply.body.empty()) << url;
        EXPECT_FALSE(reply.error.empty()) << url;
        EXPECT_EQ(reply.failure, HttpFailure::other) << url;
    }
}

TEST_F(HttpClientTest, ManyExchangesAtOnceEachGetTheirOwnReply) {
    server.setHandler([](const qxtest::RecordedRequest& r) { return qxtest::FakeReply::with(200, "echo " + r.target); });
    std::map<int, std::string> replies;
    for (int i = 0; i < 24; ++i) {
        HttpRequest request;
        request.url = server.url("/" + std::to_string(i));
        HttpClient::shared().send(request, [&replies, i](const HttpResponse& r) { replies[i] = r.body; });
    }
    drain();
    ASSERT_EQ(replies.size(), 24u);
    for (const auto& [i, body] : replies) EXPECT_EQ(body, "echo /" + std::to_string(i));
}

}  // namespace
