#include "platform/foundation/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <deque>
#include <list>
#include <mutex>
#include <thread>

#include "platform/foundation/RunLoop.h"

namespace plat {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

// One exchange: what was asked, who waits for it and what came back so far.
struct Transfer {
    HttpRequest request;
    HttpClient::Completion completion;
    HttpResponse response;
    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    char errorText[CURL_ERROR_SIZE] = {};
    bool tooLarge = false;
    RunLoop::WorkId work = 0;  // as the main run loop counts it
};

// The server's name and, when the address gives one, its port; empty for no usable address.
std::string serverOf(const std::string& url) {
    CURLU* parts = curl_url();
    std::string server;
    char* host = nullptr;
    char* port = nullptr;
    if (parts && curl_url_set(parts, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(parts, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
        server = host;
        if (curl_url_get(parts, CURLUPART_PORT, &port, 0) == CURLUE_OK) server += std::string(":") + port;
    }
    curl_free(host);
    curl_free(port);
    curl_url_cleanup(parts);
    return server;
}

// "host:port (purpose)", what a person waiting on the exchange is told it waits for.
std::string waitedOn(const HttpRequest& request) {
    std::string what = serverOf(request.url);
    if (what.empty()) what = request.url;
    if (!request.purpose.empty()) what += " (" + request.purpose + ")";
    return what;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    if (t->response.body.size() + n > HttpClient::kMaxBodySize) {
        t->tooLarge = true;
        return 0;  // ends the transfer with a write error
    }
    t->response.body.append(data, n);
    return n;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    const std::string_view line(data, n);
    if (line.rfind("HTTP/", 0) == 0) {
        t->response.headers.clear();  // an interim reply (100 Continue) came first
    } else if (const auto colon = line.find(':'); colon != std::string_view::npos) {
        t->response.headers.emplace_back(trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
    }
    return n;
}

bool hasHeader(const HttpHeaders& headers, std::string_view name) {
    return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return equalsIgnoringCase(h.first, name); });
}

HttpFailure failureOf(CURLcode result, bool connected) {
    switch (result) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY: return HttpFailure::unknownHost;
        case CURLE_COULDNT_CONNECT: return HttpFailure::cannotConnect;
        case CURLE_OPERATION_TIMEDOUT: return HttpFailure::timedOut;
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE: return HttpFailure::connectionLost;
        // A reply without a status line (HTTP/0.9) is refused as an unsupported protocol, as an
        // address of another scheme is, before any connection.
        case CURLE_UNSUPPORTED_PROTOCOL: return connected ? HttpFailure::notHttp : HttpFailure::other;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_BAD_CONTENT_ENCODING:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM: return HttpFailure::notHttp;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE: return HttpFailure::insecure;
        default: return HttpFailure::other;
    }
}

}  // namespace

std::optional<std::string> HttpResponse::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name)) return value;
    }
    return std::nullopt;
}

struct HttpClient::Impl {
    std::mutex mutex;
    std::deque<std::unique_ptr<Transfer>> waiting;
    std::list<std::unique_ptr<Transfer>> running;
    CURLM* multi = nullptr;
    std::atomic<bool> stopping{false};
    std::thread thread;

    Impl() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        multi = curl_multi_init();
        curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, 6L);
        thread = std::thread([this] { loop(); });
    }

    ~Impl() {
        stopping = true;
        curl_multi_wakeup(multi);
        thread.join();
        // Exchanges cut short by the end of the client never complete; they stop being waited for.
        for (auto& t : running) {
            curl_multi_remove_handle(multi, t->easy);
            cleanUp(*t);
            RunLoop::main().endBackgroundWork(t->work);
        }
        for (auto& t : waiting) RunLoop::main().endBackgroundWork(t->work);
        curl_multi_cleanup(multi);
    }

    void loop() {
        while (!stopping) {
            startWaiting();
            int active = 0;
            curl_multi_perform(multi, &active);
            collectFinished();
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
    }

    void startWaiting() {
        std::deque<std::unique_ptr<Transfer>> fresh;
        {
            std::lock_guard lock(mutex);
            fresh.swap(waiting);
        }
        for (auto& t : fresh) {
            if (!configure(*t)) {
                finish(std::move(t), CURLE_FAILED_INIT);
                continue;
            }
            curl_multi_add_handle(multi, t->easy);
            running.push_back(std::move(t));
        }
    }

    bool configure(Transfer& t) {
        t.easy = curl_easy_init();
        if (!t.easy) return false;
        CURL* e = t.easy;
        const HttpRequest& r = t.request;
        curl_easy_setopt(e, CURLOPT_URL, r.url.c_str());
        curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
        // Loopback addresses never go through a proxy.
        curl_easy_setopt(e, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
        curl_easy_setopt(e, CURLOPT_PRIVATE, &t);
        curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.errorText);
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
        curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
        const long limit = static_cast<long>(std::max(0.001, r.timeout) * 1000);
        curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, limit);
        if (!r.acceptEncoding.empty()) curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, r.acceptEncoding.c_str());

        if (r.method == "GET") {
            curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
        } else if (r.method == "HEAD") {
            curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
        } else {
            if (r.method != "POST") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, r.method.c_str());
            curl_easy_setopt(e, CURLOPT_POST, 1L);
            curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.body.size()));
            curl_easy_setopt(e, CURLOPT_POSTFIELDS, r.body.data());
        }

        for (const auto& [name, value] : r.headers) {
            // The coding offered goes through acceptEncoding, so that the reply is decoded.
            if (equalsIgnoringCase(name, "Accept-Encoding")) continue;
            t.headerList = curl_slist_append(t.headerList, (name + ": " + value).c_str());
        }
        // Send exactly the headers asked for: no waiting for "100 Continue", no invented type.
        t.headerList = curl_slist_append(t.headerList, "Expect:");
        if (!hasHeader(r.headers, "Content-Type")) t.headerList = curl_slist_append(t.headerList, "Content-Type:");
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, t.headerList);
        return true;
    }

    void collectFinished() {
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg != CURLMSG_DONE) continue;
            CURL* easy = msg->easy_handle;
            const CURLcode result = msg->data.result;
            auto it = std::find_if(running.begin(), running.end(), [easy](const auto& t) { return t->easy == easy; });
            if (it == running.end()) continue;
            auto transfer = std::move(*it);
            running.erase(it);
            curl_multi_remove_handle(multi, easy);
            finish(std::move(transfer), result);
        }
    }

    static void cleanUp(Transfer& t) {
        if (t.easy) curl_easy_cleanup(t.easy);
        if (t.headerList) curl_slist_free_all(t.headerList);
        t.easy = nullptr;
        t.headerList = nullptr;
    }

    void finish(std::unique_ptr<Transfer> t, CURLcode result) {
        HttpResponse& response = t->response;
        if (result == CURLE_OK) {
            long status = 0;
            curl_easy_getinfo(t->easy, CURLINFO_RESPONSE_CODE, &status);
            response.status = status;
        } else {
            // A reply that broke off is no reply: nobody may take half a body for an answer.
            response.status = 0;
            response.body.clear();
            response.error = t->tooLarge ? std::string("the reply is too large")
                             : t->errorText[0] ? std::string(t->errorText)
                                               : std::string(curl_easy_strerror(result));
            char* peer = nullptr;  // set once a connection (new or reused) was made
            curl_easy_getinfo(t->easy, CURLINFO_PRIMARY_IP, &peer);
            response.failure = t->tooLarge ? HttpFailure::tooLarge : failureOf(result, peer && *peer);
        }
        cleanUp(*t);
        auto completion = std::move(t->completion);
        RunLoop::main().endBackgroundWork(t->work, [completion = std::move(completion), response = std::move(response)] {
            if (completion) completion(response);
        });
    }
};

HttpClient& HttpClient::shared() {
    // Leaked on purpose: its thread may still be working while static objects are destroyed.
    static HttpClient* client = new HttpClient();
    return *client;
}

HttpClient::HttpClient() : impl_(std::make_unique<Impl>()) {}

HttpClient::~HttpClient() = default;

void HttpClient::send(HttpRequest request, Completion completion) {
    auto t = std::make_unique<Transfer>();
    t->request = std::move(request);
    t->completion = std::move(completion);
    t->work = RunLoop::main().beginBackgroundWork(waitedOn(t->request));
    {
        std::lock_guard lock(impl_->mutex);
        impl_->waiting.push_back(std::move(t));
    }
    curl_multi_wakeup(impl_->multi);
}

}  // namespace plat
