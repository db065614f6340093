#include "FakeServices.h"

#include <atomic>
#include <memory>


namespace qxtest {

namespace {

std::string valueOf(const std::string& target, const std::string& key) {
    const auto q = target.find('?');
    if (q == std::string::npos) return {};
    const std::string query = "&" + target.substr(q + 1);
    const auto at = query.find("&" + key + "=");
    if (at == std::string::npos) return {};
    const auto start = at + key.size() + 2;
    return query.substr(start, query.find('&', start) - start);
}

const char* const kSoapReply =
    "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body/></s:Envelope>";

const char* const kPortalPage =
    "<!DOCTYPE html><html><head><title>Guest Wi-Fi</title></head><body><p>Sign in to use the network</p>"
    "<form method=\"post\"><input name=\"room\"><button>Sign in</button></form></body></html>";

}  // namespace

const char* const kFakeTokens =
    R"({"access_token":"acc-1","refresh_token":"ref-1","token_type":"Bearer","expires_in":3600})";
const char* const kFakeEvents =
    R"([{"id":7,"name":"Drill","sponsorName":"County"},{"id":12,"name":"Flood Exercise","sponsorName":""}])";

FakeHttpServer::Handler radResponderService(std::string tokens, std::string events) {
    return [tokens = std::move(tokens), events = std::move(events)](const RecordedRequest& r) {
        const std::string path = r.path();
        if (path == "/oauth/authorize") {
            return FakeReply::with(302, "<p>Redirecting</p>",
                                   {{"Location", "quorix://authorize?code=c0de&state=" + valueOf(r.target, "state")}});
        }
        if (path == "/oauth/token") return FakeReply::with(200, tokens);
        if (path == "/api/v1/event") return FakeReply::with(200, events);
        if (path == "/api/v1/fieldsurvey") return FakeReply::with(200, R"({"status":"ok"})");
        return FakeReply::with(404, "not here");
    };
}

FakeHttpServer::Handler radResponderRecovering() {
    auto working = radResponderService(kFakeTokens, kFakeEvents);
    auto exchanges = std::make_shared<std::atomic<int>>(0);
    return [working, exchanges](const RecordedRequest& r) {
        if (r.path() == "/oauth/token" && r.body.find("grant_type=authorization_code") != std::string::npos) {
            ++*exchanges;
        }
        if (*exchanges < 2 && r.path() == "/api/v1/event") return FakeReply::with(500, "busy");
        if (*exchanges < 2 && r.path() == "/api/v1/fieldsurvey") return FakeReply::drop();
        return working(r);
    };
}

FakeHttpServer::Handler radResponderRefusing() {
    auto working = radResponderService(kFakeTokens, kFakeEvents);
    auto pages = std::make_shared<std::atomic<int>>(0);
    auto exchanges = std::make_shared<std::atomic<int>>(0);
    auto eventLists = std::make_shared<std::atomic<int>>(0);
    return [working, pages, exchanges, eventLists](const RecordedRequest& r) {
        if (r.path() == "/oauth/authorize") {
            const int page = ++*pages;
            const std::string state = valueOf(r.target, "state");
            if (page == 3) {
                return FakeReply::with(302, "", {{"Location", "quorix://authorize?error=access_denied&state=" + state}});
            }
            if (page == 4) return FakeReply::with(302, "", {{"Location", "quorix://authorize?code=c0de&state=x" + state}});
        }
        if (r.path() == "/oauth/token") {
            const int n = ++*exchanges;
            if (n == 1) return FakeReply::drop();
            if (n == 2) return FakeReply::with(200, "<html><body>Service temporarily unavailable</body></html>");
        }
        if (r.path() == "/api/v1/event" && ++*eventLists == 1) return FakeReply::with(500, "busy");
        return working(r);
    };
}

FakeHttpServer::Handler socialNetworkPages() {
    return [](const RecordedRequest& r) {
        if (r.path() != "/dialog/feed") return FakeReply::with(404, "not here");
        return FakeReply::with(200, "<html><body><h1>Post to Facebook</h1><p>Say something about this</p></body></html>",
                               {{"Content-Type", "text/html"}});
    };
}

FakeHttpServer::Handler deepPages() {
    std::string page = "<html><body><h1>Deep page</h1>";
    for (int i = 0; i < 20000; ++i) page += "<div>";
    page += "<p>Nested deep down</p>";
    for (int i = 0; i < 20000; ++i) page += "</div>";
    page += "<table border=1><tr><td colspan=1e10>Across</td></tr><tr><td>left</td><td>right</td></tr></table>"
            "<p>After the nest</p></body></html>";
    return [page = std::move(page)](const RecordedRequest& r) {
        if (r.path() != "/dialog/feed" && r.path() != "/oauth/authorize") return FakeReply::with(404, "not here");
        return FakeReply::with(200, page, {{"Content-Type", "text/html"}});
    };
}

FakeHttpServer::Handler feedPages() {
    const std::string western = "<p>Caf\xE9 au lait \xE0 3 \x80</p>";
    const std::string japanese = "<p>\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x79\x81\x5B\x83\x57</p>";
    struct Page {
        std::string body, contentType;
    };
    auto pages = std::make_shared<std::vector<Page>>(std::vector<Page>{
        {"<html><body>" + western, "text/html; charset=windows-1252"},
        {"<html><head><meta charset=\"windows-1252\"></head><body>" + western, "text/html"},
        {"<html><body>" + japanese, "text/html; charset=Shift_JIS"},
        {"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\"></head><body>" +
             japanese,
         "text/html"},
        {"<html><head><title>Feed</title><header>Post to the feed</header><!-->Comments end early<!--->"
         "<p>Caf&eacute; &pound;3 &#x80;5 &notit;</p><table border=1><caption>Readings</caption>Loose text"
         "<tr><td><div><p>In a cell</p></div></td></tr></table><!DOCTYPE x \"quoted>After the DOCTYPE",
         "text/html"}});
    auto served = std::make_shared<std::size_t>(0);
    return [pages, served](const RecordedRequest& r) {
        if (r.path() != "/dialog/feed") return FakeReply::with(404, "not here");
        const Page& page = (*pages)[(*served)++ % pages->size()];
        return FakeReply::with(200, page.body, {{"Content-Type", page.contentType}});
    };
}

FakeHttpServer::Handler zenetAncientServer() {
    return [](const RecordedRequest&) { return FakeReply::raw("<html><body>It works!</body></html>\n"); };
}

FakeReply zenetAnswer() { return FakeReply::with(200, kSoapReply); }

FakeHttpServer::Handler zenetBehindPortal() {
    return [](const RecordedRequest& r) {
        const bool login = r.header("SOAPAction").value_or("").find("SubmitLogin") != std::string::npos;
        if (login && r.path() != "/portal") return zenetAnswer();
        return FakeReply::with(200, kPortalPage, {{"Content-Type", "text/html"}});
    };
}

FakeHttpServer::Handler zenetService(std::string password) {
    return [password = std::move(password)](const RecordedRequest& r) {
        const bool login = r.header("SOAPAction").value_or("").find("SubmitLogin") != std::string::npos;
        if (login && r.body.find("<a:DevicePassword>" + password + "</a:DevicePassword>") == std::string::npos) {
            return FakeReply::with(500,
                                   "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>"
                                   "<s:Fault><faultcode>s:Client</faultcode><faultstring>Unknown device or "
                                   "password</faultstring></s:Fault></s:Body></s:Envelope>");
        }
        return zenetAnswer();
    };
}

}  // namespace qxtest
