#include "beta/BBURLConnectionOperation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>

#include "BetaTestSupport.h"
#include "FakeService.h"
#include "beta/BBServiceHost.h"
#include "beta/BBSDK.h"

namespace bb {
namespace {

using bbtest::FakeService;
using bbtest::Reply;

struct Outcome {
    std::optional<std::string> data;
    std::optional<BBURLResponse> response;
    std::optional<BBURLError> error;
    bool onSDKQueue = false;
};

class BBURLConnectionOperationTest : public bbtest::BetaTest {
protected:
    // Runs one operation to its end and returns what its handler got; `meanwhile` runs once the
    // operation has started.
    Outcome run(const BBURLRequest& request, std::optional<std::string> streamPath = std::nullopt,
                const std::function<void()>& meanwhile = {}) {
        auto promise = std::make_shared<std::promise<Outcome>>();
        auto operation = BBURLConnectionOperation::initWithRequestStreamPathCompletionHandler(
            request, std::move(streamPath), [promise](const auto&, auto data, auto response, auto error) {
                promise->set_value({std::move(data), std::move(response), std::move(error), bb_sdk_queue().isCurrent()});
            });
        EXPECT_TRUE(operation);
        if (!operation) return {};
        auto result = promise->get_future();
        operation->start();
        if (meanwhile) meanwhile();
        EXPECT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        EXPECT_TRUE(waitUntil([&] { return operation->isFinished(); }));
        EXPECT_FALSE(operation->isExecuting());
        return result.get();
    }

    static BBURLRequest post(const std::string& url, std::string body = {}) {
        BBURLRequest request;
        request.url = url;
        request.httpMethod = "POST";
        request.httpBody = std::move(body);
        return request;
    }
};

TEST_F(BBURLConnectionOperationTest, RequestsTheTransportCannotSendGiveNoOperation) {
    for (const char* url : {"ftp://example.org/x", "https://", "not a url", "file:///etc/passwd"}) {
        EXPECT_FALSE(BBURLConnectionOperation::initWithRequestCompletionHandler(post(url), nullptr)) << url;
    }
    EXPECT_TRUE(BBURLConnectionOperation::initWithRequestCompletionHandler(post("https://example.org/"), nullptr));
}

TEST_F(BBURLConnectionOperationTest, PostsTheBodyWithNoHeaderOfItsOwnAndDeliversTheReplyOnTheSDKQueue) {
    FakeService service;
    service.enqueue(Reply::withStatus(201, std::string("\x81\xa5valid\xc3", 8)));
    const std::string body = bbtest::binaryBytes(3000);
    auto outcome = run(post(service.url("/beamdeck/1.0/tokens.mpack"), body));

    ASSERT_TRUE(outcome.response);
    EXPECT_EQ(outcome.response->statusCode, 201);
    EXPECT_EQ(outcome.data, std::string("\x81\xa5valid\xc3", 8));
    EXPECT_FALSE(outcome.error);
    EXPECT_TRUE(outcome.onSDKQueue);

    auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, "POST /beamdeck/1.0/tokens.mpack HTTP/1.1");
    EXPECT_EQ(requests[0].body, body);
    auto names = requests[0].headerNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Content-Length", "Host"}));
}

TEST_F(BBURLConnectionOperationTest, StreamsTheBodyFromTheFileWithTheDeclaredLength) {
    FakeService service;
    const std::string bytes = bbtest::binaryBytes(200'000);
    auto path = writeFile("queue.msgpack", bytes);
    auto request = post(service.url("/upload"));
    request.setValueForHTTPHeaderField(std::to_string(bytes.size()), "Content-Length");
    auto outcome = run(request, path.string());

    ASSERT_TRUE(outcome.response);
    EXPECT_EQ(outcome.response->statusCode, 200);
    auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].header("Content-Length"), std::to_string(bytes.size()));
    EXPECT_FALSE(requests[0].header("Transfer-Encoding"));
    EXPECT_EQ(requests[0].body, bytes);
}

TEST_F(BBURLConnectionOperationTest, ConnectsByTheMappingWhileNamingAndVerifyingTheServiceHost) {
    FakeService service("sdk.service.test");
    BBServiceHost::setCertificateAuthorityFile(service.certificateAuthorityFile());
    BBServiceHost::setConnectTo({"abc.sdk.service.test:443:127.0.0.1:" + std::to_string(service.port())});
    auto outcome = run(post("https://abc.sdk.service.test/beamdeck/1.0/tokens.mpack", "x"));

    ASSERT_TRUE(outcome.response) << (outcome.error ? outcome.error->description : "");
    ASSERT_EQ(service.requests().size(), 1u);
    EXPECT_EQ(service.requests()[0].host, "abc.sdk.service.test");
    BBServiceHost::setConnectTo({});
}

// Each failure of the transport arrives as its URL-loading code, with no data and no response.
TEST_F(BBURLConnectionOperationTest, FailuresArriveAsURLLoadingErrors) {
    FakeService service;
    service.enqueue(Reply::silence());
    service.enqueue(Reply::drop());

    // Silence lasts until the library's clock has gone past the time limit.
    auto silent = run(post(service.url("/a"), "x"), std::nullopt, [&] {
        EXPECT_TRUE(service.waitForRequests(1));
        advanceLibraryTime(BBURLConnectionOperation::timeLimit());
    });
    ASSERT_TRUE(silent.error);
    EXPECT_EQ(silent.error->code, BBURLError::TimedOut);
    EXPECT_EQ(silent.error->domain, BBURLError::kDomain);
    EXPECT_FALSE(silent.response);
    EXPECT_FALSE(silent.data);
    EXPECT_TRUE(service.waitForClosedConnections(1));

    auto dropped = run(post(service.url("/b"), "x"));
    ASSERT_TRUE(dropped.error);
    EXPECT_EQ(dropped.error->code, BBURLError::NetworkConnectionLost);

    const int closedPort = [] {
        FakeService gone;
        return gone.port();
    }();
    auto refused = run(post("https://127.0.0.1:" + std::to_string(closedPort) + "/", "x"));
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->code, BBURLError::CannotConnectToHost);

    BBServiceHost::setCertificateAuthorityFile("");  // the system's authorities only
    auto untrusted = run(post(service.url("/c"), "x"));
    ASSERT_TRUE(untrusted.error);
    EXPECT_EQ(untrusted.error->code, BBURLError::ServerCertificateUntrusted);
}

TEST_F(BBURLConnectionOperationTest, AMissingBodyFileFailsWithoutSendingAnything) {
    FakeService service;
    auto outcome = run(post(service.url("/a")), (dataDir() / "gone.msgpack").string());
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code, BBURLError::RequestBodyStreamExhausted);
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(BBURLConnectionOperationTest, ACancelledOperationFinishesWithoutCallingItsHandler) {
    FakeService service;
    service.enqueue(Reply::silence());
    bool called = false;
    auto operation = BBURLConnectionOperation::initWithRequestCompletionHandler(
        post(service.url("/a"), "x"), [&](const auto&, auto, auto, auto) { called = true; });
    operation->start();
    ASSERT_TRUE(service.waitForRequests(1));
    operation->cancel();
    EXPECT_TRUE(waitUntil([&] { return operation->isFinished(); }));
    EXPECT_TRUE(operation->isCancelled());
    EXPECT_TRUE(service.waitForClosedConnections(1));
    onSDKQueue([] {});
    EXPECT_FALSE(called);
}

}  // namespace
}  // namespace bb
