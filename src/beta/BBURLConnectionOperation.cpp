#include "beta/BBURLConnectionOperation.h"

#include <curl/curl.h>
#include <strings.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "beta/BBServiceHost.h"
#include "beta/BBBackgroundTask.h"
#include "beta/BBSDK.h"

namespace bb {

namespace {

std::atomic<double>& sharedTimeLimit() {
    static std::atomic<double> limit{BBURLConnectionOperation::kDefaultTimeLimit};
    return limit;
}

using Operation = BBURLConnectionOperation;

std::string trimmed(std::string text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::size_t onBody(char* bytes, std::size_t size, std::size_t count, void* operation) {
    static_cast<Operation*>(operation)->connectionDidReceiveData(bytes, size * count);
    return size * count;
}

// Each status line starts a new response (an interim 1xx reply is followed by the final one).
std::size_t onHeader(char* bytes, std::size_t size, std::size_t count, void* operation) {
    auto* op = static_cast<Operation*>(operation);
    const std::string line(bytes, size * count);
    if (line.rfind("HTTP/", 0) == 0) {
        const auto space = line.find(' ');
        BBURLResponse response;
        response.url = op->request().url;
        if (space != std::string::npos) response.statusCode = std::strtol(line.c_str() + space + 1, nullptr, 10);
        op->connectionDidReceiveResponse(std::move(response));
    } else if (const auto colon = line.find(':'); colon != std::string::npos) {
        op->connectionDidReceiveHeaderField(trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
    }
    return size * count;
}

std::size_t onReadBody(char* buffer, std::size_t size, std::size_t count, void* operation) {
    std::FILE* stream = static_cast<Operation*>(operation)->bodyStream();
    if (!stream) return CURL_READFUNC_ABORT;
    const std::size_t got = std::fread(buffer, 1, size * count, stream);
    if (std::ferror(stream)) return CURL_READFUNC_ABORT;
    return got;
}

// libcurl asks to rewind the body when it must send it again; a fresh stream of the file is the
// answer, as a connection asks for a new body stream.
int onSeekBody(void* operation, curl_off_t offset, int origin) {
    std::FILE* stream = static_cast<Operation*>(operation)->connectionNeedNewBodyStream();
    if (!stream || ::fseeko(stream, static_cast<off_t>(offset), origin) != 0) return CURL_SEEKFUNC_FAIL;
    return CURL_SEEKFUNC_OK;
}

bool hasField(const BBURLRequest& request, const char* name) {
    return request.valueForHTTPHeaderField(name).has_value();
}

bool isContentLength(const std::string& name) { return ::strcasecmp(name.c_str(), "Content-Length") == 0; }

// The request's own fields, and nothing libcurl would add of its own accord.
curl_slist* headerListFor(const BBURLRequest& request) {
    curl_slist* list = nullptr;
    for (const auto& [name, value] : request.headerFields) {
        if (isContentLength(name)) continue;  // libcurl writes it from the body size
        list = curl_slist_append(list, (name + ": " + value).c_str());
    }
    for (const char* field : {"Accept", "Expect", "Content-Type"}) {
        if (!hasField(request, field)) list = curl_slist_append(list, (std::string(field) + ":").c_str());
    }
    return list;
}

curl_off_t declaredLength(const BBURLRequest& request) {
    auto value = request.valueForHTTPHeaderField("Content-Length");
    if (!value || value->empty()) return -1;
    char* end = nullptr;
    const long long length = std::strtoll(value->c_str(), &end, 10);
    return (*end == '\0' && length >= 0) ? static_cast<curl_off_t>(length) : -1;
}

}  // namespace

std::shared_ptr<BBURLConnectionOperation> BBURLConnectionOperation::initWithRequestCompletionHandler(
    const BBURLRequest& request, Handler handler) {
    return initWithRequestStreamPathCompletionHandler(request, std::nullopt, std::move(handler));
}

std::shared_ptr<BBURLConnectionOperation> BBURLConnectionOperation::initWithRequestStreamPathCompletionHandler(
    const BBURLRequest& request, std::optional<std::string> streamPath, Handler handler) {
    BBNetworkThread::shared();  // the thread starts with the class's first use
    if (!BBURLRequest::isHTTPURL(request.url)) return nullptr;
    return std::shared_ptr<BBURLConnectionOperation>(
        new BBURLConnectionOperation(request, std::move(streamPath), std::move(handler), timeLimit()));
}

BBURLConnectionOperation::BBURLConnectionOperation(BBURLRequest request,
                                                   std::optional<std::string> streamPath,
                                                   Handler handler, double limit)
    : request_(std::move(request)),
      streamPath_(std::move(streamPath)),
      handler_(std::move(handler)),
      timeLimit_(limit),
      backgroundTaskID_(BBBackgroundTask::kInvalid) {}

BBURLConnectionOperation::~BBURLConnectionOperation() {
    // Normally dropped on the network thread already; an operation never started owns nothing.
    if (connection_) curl_easy_cleanup(static_cast<CURL*>(connection_));
    curl_slist_free_all(static_cast<curl_slist*>(headerList_));
    curl_slist_free_all(static_cast<curl_slist*>(connectToList_));
    if (bodyStream_) std::fclose(bodyStream_);
}

double BBURLConnectionOperation::timeLimit() { return sharedTimeLimit(); }

void BBURLConnectionOperation::setTimeLimit(double seconds) {
    if (std::isfinite(seconds) && seconds > 0) sharedTimeLimit() = seconds;
}

void BBURLConnectionOperation::start() {
    auto self = std::static_pointer_cast<BBURLConnectionOperation>(shared_from_this());
    BBNetworkThread::shared().post([self] { self->_start(); });
}

void BBURLConnectionOperation::cancel() {
    auto self = std::static_pointer_cast<BBURLConnectionOperation>(shared_from_this());
    BBNetworkThread::shared().post([self] { self->_cancel(); });
}

void BBURLConnectionOperation::_start() {
    if (isCancelled()) return;
    setExecuting(true);
    auto self = std::static_pointer_cast<BBURLConnectionOperation>(shared_from_this());
    backgroundTaskID_ = BBBackgroundTask::begin([self] { self->endBackgroundTask(); });
    startTimer();
    if (!prepareConnection()) {
        BBURLError error;
        error.code = streamPath_ ? BBURLError::RequestBodyStreamExhausted : BBURLError::BadURL;
        error.description = "the request could not be prepared";
        _finishWithDataResponseError(std::nullopt, std::nullopt, error);
        return;
    }
    BBNetworkThread::shared().addTransfer(connection_, [self](int result) { self->connectionDidFinish(result); });
}

bool BBURLConnectionOperation::prepareConnection() {
    CURL* easy = curl_easy_init();
    if (!easy) return false;
    connection_ = easy;
    curl_easy_setopt(easy, CURLOPT_URL, request_.url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);

    const std::string& method = request_.httpMethod;
    if (method == "GET") {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        if (method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
        if (streamPath_) {
            bodyStream_ = std::fopen(streamPath_->c_str(), "rb");
            if (!bodyStream_) return false;
            curl_easy_setopt(easy, CURLOPT_READFUNCTION, onReadBody);
            curl_easy_setopt(easy, CURLOPT_READDATA, this);
            curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, onSeekBody);
            curl_easy_setopt(easy, CURLOPT_SEEKDATA, this);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, declaredLength(request_));
        } else {
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request_.httpBody.size()));
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request_.httpBody.data());
        }
    }
    auto* headers = headerListFor(request_);
    headerList_ = headers;
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);

    if (auto ca = BBServiceHost::certificateAuthorityFile(); !ca.empty()) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, ca.c_str());  // libcurl copies option strings
    }
    curl_slist* connectTo = nullptr;
    for (const auto& mapping : BBServiceHost::connectTo()) connectTo = curl_slist_append(connectTo, mapping.c_str());
    connectToList_ = connectTo;
    if (connectTo) curl_easy_setopt(easy, CURLOPT_CONNECT_TO, connectTo);
    return true;
}

void BBURLConnectionOperation::connectionDidReceiveResponse(BBURLResponse response) {
    data_.clear();
    response_ = std::move(response);
}

void BBURLConnectionOperation::connectionDidReceiveData(const char* bytes, std::size_t length) {
    data_.append(bytes, length);
}

void BBURLConnectionOperation::connectionDidReceiveHeaderField(std::string name, std::string value) {
    if (response_) response_->headerFields.emplace_back(std::move(name), std::move(value));
}

std::FILE* BBURLConnectionOperation::connectionNeedNewBodyStream() {
    if (bodyStream_) std::fclose(bodyStream_);
    bodyStream_ = streamPath_ ? std::fopen(streamPath_->c_str(), "rb") : nullptr;
    return bodyStream_;
}

void BBURLConnectionOperation::connectionDidFinish(int curlResult) {
    if (curlResult == CURLE_OK && response_) {
        _finishWithDataResponseError(std::move(data_), response_, std::nullopt);
        return;
    }
    long osErrno = 0;
    curl_easy_getinfo(static_cast<CURL*>(connection_), CURLINFO_OS_ERRNO, &osErrno);
    BBURLError error;
    error.code = curlResult == CURLE_OK ? BBURLError::BadServerResponse
                                        : errorCodeForCurlResult(curlResult, osErrno);
    error.description = curl_easy_strerror(static_cast<CURLcode>(curlResult));
    _finishWithDataResponseError(std::nullopt, std::nullopt, error);
}

// The limit runs on the library's clock, as its other timers do: the timer fires on the SDK queue
// and hands the timeout to the network thread, where it counts only while the timer is still the
// operation's (the operation may have finished meanwhile).
void BBURLConnectionOperation::startTimer() {
    auto timer = BBTimerSource::create(bb_sdk_queue());
    std::weak_ptr<BBURLConnectionOperation> weakSelf = std::static_pointer_cast<BBURLConnectionOperation>(shared_from_this());
    std::weak_ptr<BBTimerSource> weakTimer = timer;
    timer->setEventHandler([weakSelf, weakTimer] {
        auto self = weakSelf.lock();
        auto fired = weakTimer.lock();
        if (!self || !fired) return;
        fired->cancel();
        BBNetworkThread::shared().post([self, fired] {
            if (self->timeoutTimer_ == fired) self->_timeout();
        });
    });
    timer->setTimer(plat::Date::now().addingTimeInterval(timeLimit_), timeLimit_);
    timer->resume();
    timeoutTimer_ = std::move(timer);
}

void BBURLConnectionOperation::_timeout() {
    timeoutTimer_.reset();  // it has fired
    dropConnection();
    BBURLError error;
    error.code = BBURLError::TimedOut;
    error.description = "the request timed out";
    _finishWithDataResponseError(std::nullopt, std::nullopt, error);
}

// The handler runs on the SDK queue, and the operation counts as finished only after it: the
// queue then starts the next upload after a failure had the chance to pause it.
void BBURLConnectionOperation::_finishWithDataResponseError(std::optional<std::string> data,
                                                            std::optional<BBURLResponse> response,
                                                            std::optional<BBURLError> error) {
    dropConnection();
    dropTimer();
    endBackgroundTask();
    auto self = std::static_pointer_cast<BBURLConnectionOperation>(shared_from_this());
    bb_sdk_queue().async([self, data = std::move(data), response = std::move(response),
                          error = std::move(error)]() mutable {
        if (self->handler_) self->handler_(self, std::move(data), std::move(response), std::move(error));
        self->handler_ = nullptr;
        self->markFinished();
    });
}

void BBURLConnectionOperation::_cancel() {
    dropConnection();
    setCancelled();
    dropTimer();
    endBackgroundTask();
    markFinished();
}

void BBURLConnectionOperation::dropConnection() {
    if (connection_) {
        BBNetworkThread::shared().removeTransfer(connection_);
        curl_easy_cleanup(static_cast<CURL*>(connection_));
        connection_ = nullptr;
    }
    curl_slist_free_all(static_cast<curl_slist*>(headerList_));
    headerList_ = nullptr;
    curl_slist_free_all(static_cast<curl_slist*>(connectToList_));
    connectToList_ = nullptr;
    if (bodyStream_) std::fclose(bodyStream_);
    bodyStream_ = nullptr;
}

void BBURLConnectionOperation::dropTimer() {
    if (timeoutTimer_) timeoutTimer_->cancel();
    timeoutTimer_.reset();
}

void BBURLConnectionOperation::endBackgroundTask() {
    if (backgroundTaskID_ == BBBackgroundTask::kInvalid) return;
    BBBackgroundTask::end(backgroundTaskID_);
    backgroundTaskID_ = BBBackgroundTask::kInvalid;
}

long BBURLConnectionOperation::errorCodeForCurlResult(int curlResult, long osErrno) {
    switch (curlResult) {
    case CURLE_OPERATION_TIMEDOUT:
        return BBURLError::TimedOut;
    case CURLE_URL_MALFORMAT:
        return BBURLError::BadURL;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return BBURLError::UnsupportedURL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return BBURLError::CannotFindHost;
    case CURLE_COULDNT_CONNECT:
        return osErrno == ENETUNREACH || osErrno == ENETDOWN ? BBURLError::NotConnectedToInternet
                                                              : BBURLError::CannotConnectToHost;
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
        return BBURLError::NetworkConnectionLost;
    case CURLE_TOO_MANY_REDIRECTS:
        return BBURLError::HTTPTooManyRedirects;
    case CURLE_WEIRD_SERVER_REPLY:
        return BBURLError::BadServerResponse;
    case CURLE_READ_ERROR:
    case CURLE_SEND_FAIL_REWIND:
        return BBURLError::RequestBodyStreamExhausted;
    case CURLE_SSL_CONNECT_ERROR:
        return BBURLError::SecureConnectionFailed;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        return BBURLError::ServerCertificateUntrusted;
    case CURLE_ABORTED_BY_CALLBACK:
        return BBURLError::Cancelled;
    default:
        return BBURLError::Unknown;
    }
}

}  // namespace bb
