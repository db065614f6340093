#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "beta/BBBackgroundTask.h"
#include "beta/BBNetworkThread.h"
#include "beta/BBOperation.h"
#include "beta/BBTimerSource.h"
#include "beta/BBURLRequest.h"

namespace bb {

// One request sent on the library's network thread: the body from memory or streamed from a
// file, the reply collected whole, the result handed to the handler on the SDK queue. A request
// that has not finished within the time limit ends with a timed-out error.
class BBURLConnectionOperation : public BBOperation {
public:
    using Handler = std::function<void(const std::shared_ptr<BBURLConnectionOperation>& operation,
                                       std::optional<std::string> data,
                                       std::optional<BBURLResponse> response,
                                       std::optional<BBURLError> error)>;

    static constexpr double kDefaultTimeLimit = 61.0;

    // No operation when the request is not one the transport can send (an http or https
    // address with a host).
    static std::shared_ptr<BBURLConnectionOperation> initWithRequestCompletionHandler(
        const BBURLRequest& request, Handler handler);
    static std::shared_ptr<BBURLConnectionOperation> initWithRequestStreamPathCompletionHandler(
        const BBURLRequest& request, std::optional<std::string> streamPath, Handler handler);

    ~BBURLConnectionOperation() override;

    void start() override;
    void cancel() override;
    bool isConcurrent() const { return true; }

    const BBURLRequest& request() const { return request_; }
    const std::optional<std::string>& streamPath() const { return streamPath_; }

    // Seconds a request may take in all, on the library's clock (like its other timers); shared
    // by every operation made afterwards.
    static double timeLimit();
    static void setTimeLimit(double seconds);

    // The URL-loading code of a libcurl result (`osErrno` refines connect failures).
    static long errorCodeForCurlResult(int curlResult, long osErrno);

    // Used by the transfer callbacks on the network thread.
    void connectionDidReceiveResponse(BBURLResponse response);
    void connectionDidReceiveData(const char* bytes, std::size_t length);
    void connectionDidReceiveHeaderField(std::string name, std::string value);
    std::FILE* connectionNeedNewBodyStream();
    std::FILE* bodyStream() const { return bodyStream_; }

private:
    BBURLConnectionOperation(BBURLRequest request, std::optional<std::string> streamPath,
                             Handler handler, double timeLimit);

    void _start();
    void _cancel();
    void _timeout();
    void _finishWithDataResponseError(std::optional<std::string> data,
                                      std::optional<BBURLResponse> response,
                                      std::optional<BBURLError> error);
    void connectionDidFinish(int curlResult);
    bool prepareConnection();
    void dropConnection();
    void startTimer();
    void dropTimer();
    void endBackgroundTask();

    BBURLRequest request_;
    std::optional<std::string> streamPath_;
    Handler handler_;
    double timeLimit_;

    // Touched on the network thread only.
    void* connection_ = nullptr;  // CURL*
    void* headerList_ = nullptr;  // curl_slist*
    void* connectToList_ = nullptr;  // curl_slist*
    std::FILE* bodyStream_ = nullptr;
    std::optional<BBURLResponse> response_;
    std::string data_;
    std::shared_ptr<BBTimerSource> timeoutTimer_;
    BBBackgroundTask::Identifier backgroundTaskID_;
};

}  // namespace bb
