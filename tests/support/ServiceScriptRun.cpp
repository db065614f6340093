// Runs one quorix script against a fake web service on 127.0.0.1 and checks what the service
// heard:
//   qx_service_script SERVICE SCRIPT WORKDIR PROGRAM [ARGS...]
// SERVICE names one of the fakes below. WORKDIR is made afresh; "@SERVER@" in the script becomes
// the fake service's address, and the program runs on the data folder WORKDIR/home with the
// filled-in script (and program options). SCRIPT may name several scripts joined by "|", run one
// after the other.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "FakeHttpServer.h"
#include "FakeServices.h"

namespace {

using qxtest::RecordedRequest;

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

int runProgram(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execv(argv[0], argv.data());
        std::perror("exec");
        ::_exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::size_t countPath(const std::vector<RecordedRequest>& requests, const std::string& path) {
    std::size_t n = 0;
    for (const auto& r : requests) n += r.path() == path;
    return n;
}

bool check(bool ok, const std::string& what) {
    if (!ok) std::cerr << "service check failed: " << what << "\n";
    return ok;
}

// The login went through the page and its redirect once; the forged redirect was not exchanged;
// the autosaved reading went out as a survey of the event picked.
bool checkRadResponder(const std::vector<RecordedRequest>& requests, const std::string&) {
    bool ok = check(countPath(requests, "/oauth/authorize") >= 1, "the login page was loaded");
    std::size_t exchanges = 0;
    for (const auto& r : requests) {
        if (r.path() != "/oauth/token") continue;
        ok = check(r.body.find("forged") == std::string::npos, "a forged code was exchanged") && ok;
        exchanges += r.body.find("code=c0de") != std::string::npos;
    }
    ok = check(exchanges == 1, "one code exchange, not " + std::to_string(exchanges)) && ok;
    ok = check(countPath(requests, "/api/v1/event") >= 1, "the events were loaded") && ok;
    std::size_t surveys = 0;
    for (const auto& r : requests) {
        if (r.path() != "/api/v1/fieldsurvey") continue;
        ++surveys;
        ok = check(r.body.find("\"eventId\":12,") != std::string::npos, "survey of event 12: " + r.body) && ok;
        ok = check(r.header("Authorization").value_or("") == "Bearer acc-1", "survey authorised") && ok;
    }
    return check(surveys >= 1, "an autosaved reading was submitted") && ok;
}

// Four logins through the page, the first three failing; the code of each of the two that got
// a reply went to the token endpoint once, after the one whose connection was closed.
bool checkRadResponderRefusing(const std::vector<RecordedRequest>& requests, const std::string&) {
    bool ok = check(countPath(requests, "/oauth/authorize") == 6,
                    "six login pages, not " + std::to_string(countPath(requests, "/oauth/authorize")));
    // The forged redirect's code is never exchanged.
    ok = check(countPath(requests, "/oauth/token") == 4,
               "four code exchanges, not " + std::to_string(countPath(requests, "/oauth/token"))) && ok;
    return check(countPath(requests, "/api/v1/event") == 2, "the events asked after the two logins that worked") && ok;
}

// Every pending reading went out once: no two submissions of the same date and value.
bool checkZenet(const std::vector<RecordedRequest>& requests, const std::string&) {
    std::set<std::string> seen;
    std::size_t measures = 0, logins = 0;
    bool ok = true;
    for (const auto& r : requests) {
        const std::string action = r.header("SOAPAction").value_or("");
        logins += action.find("SubmitLogin") != std::string::npos;
        if (action.find("SubmitMeasure") == std::string::npos) continue;
        ++measures;
        const auto date = r.body.find("<a:DateTaken>");
        const auto value = r.body.find("<a:MeasureValue>");
        const std::string key = r.body.substr(date, 40) + r.body.substr(value, 30);
        ok = check(seen.insert(key).second, "a reading went out twice: " + key) && ok;
    }
    ok = check(logins >= 1, "a login was sent") && ok;
    std::cout << "zenet: " << measures << " readings submitted\n";
    // Three readings waited for the login; two more were stored while logged in.
    return check(measures == 5, "every reading submitted once, not " + std::to_string(measures)) && ok;
}

// The readings the failing service did not take in the first session all went out, once each,
// in the second.
bool checkRadResponderRecovering(const std::vector<RecordedRequest>& requests, const std::string&) {
    std::size_t exchanges = 0;
    std::multiset<std::string> refused, delivered;
    for (const auto& r : requests) {
        if (r.path() == "/oauth/token") exchanges += r.body.find("grant_type=authorization_code") != std::string::npos;
        if (r.path() != "/api/v1/fieldsurvey") continue;
        (exchanges < 2 ? refused : delivered).insert(r.body);
    }
    bool ok = check(exchanges == 2, "two sessions logged in, not " + std::to_string(exchanges));
    const std::set<std::string> refusedReadings(refused.begin(), refused.end());
    ok = check(refusedReadings.size() >= 2, "readings were refused in the first session") && ok;
    for (const auto& survey : refusedReadings) {
        ok = check(delivered.count(survey) == 1, "delivered " + std::to_string(delivered.count(survey)) +
                                                     " times: " + survey) && ok;
    }
    return ok;
}

// Behind the sign-in page: the readings were offered (and the script checked that none counts
// as uploaded).
bool checkZenetPortal(const std::vector<RecordedRequest>& requests, const std::string&) {
    std::size_t measures = 0;
    for (const auto& r : requests) measures += r.header("SOAPAction").value_or("").find("SubmitMeasure") != std::string::npos;
    return check(measures >= 1, "the readings were submitted");
}

// The login reached the server whose reply was not understood (the script checked what the
// person was told).
bool checkZenetAncient(const std::vector<RecordedRequest>& requests, const std::string& log) {
    bool ok = check(!requests.empty() && requests[0].header("SOAPAction").value_or("").find("SubmitLogin") !=
                                             std::string::npos,
                    "the login was sent");
    return check(log.find("HTTP/0.9") != std::string::npos, "the log keeps the transfer's own words") && ok;
}

// Without social accounts: the Twitter text went to the share page, handed to another program
// (as the log says), and the feed dialog was loaded with the post's fields.
bool checkSocial(const std::vector<RecordedRequest>& requests, const std::string& log) {
    bool ok = check(log.find("handed to another program: http://127.0.0.1:") != std::string::npos &&
                        log.find("/share?text=") != std::string::npos,
                    "the share page was opened");
    std::size_t dialogs = 0;
    for (const auto& r : requests) {
        if (r.path() != "/dialog/feed") continue;
        ++dialogs;
        ok = check(r.target.find("caption=Quorix%20App%20Report") != std::string::npos, "the caption: " + r.target) && ok;
        ok = check(r.target.find("description=") != std::string::npos &&
                       r.target.find("%C2%B5Sv%2Fh") != std::string::npos,
                   "the reading in the description: " + r.target) && ok;
    }
    return check(dialogs == 1, "one feed dialog, not " + std::to_string(dialogs)) && ok;
}

// The deep pages were each asked for once: the feed dialog and the login page.
bool checkDeepPages(const std::vector<RecordedRequest>& requests, const std::string&) {
    const bool ok = check(countPath(requests, "/dialog/feed") == 1, "one feed dialog");
    return check(countPath(requests, "/oauth/authorize") == 1, "one login page") && ok;
}

// The feed dialog was loaded once for each of the five pages.
bool checkFeedPages(const std::vector<RecordedRequest>& requests, const std::string&) {
    return check(countPath(requests, "/dialog/feed") == 5, "five feed dialogs");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::cerr << "usage: qx_service_script SERVICE SCRIPT[|SCRIPT...] WORKDIR PROGRAM [ARGS...]\n";
        return 2;
    }
    const std::string service = argv[1];
    const std::filesystem::path work = argv[3];
    struct Service {
        const char* name;
        qxtest::FakeHttpServer::Handler handler;
        bool (*check)(const std::vector<RecordedRequest>&, const std::string& log);
    };
    const Service services[] = {
        {"radresponder", qxtest::radResponderService(qxtest::kFakeTokens, qxtest::kFakeEvents), checkRadResponder},
        {"radresponder-recovering", qxtest::radResponderRecovering(), checkRadResponderRecovering},
        {"radresponder-refusing", qxtest::radResponderRefusing(), checkRadResponderRefusing},
        {"zenet", qxtest::zenetService("s3cret&amp;pw"), checkZenet},
        {"zenet-portal", qxtest::zenetBehindPortal(), checkZenetPortal},
        {"zenet-ancient", qxtest::zenetAncientServer(), checkZenetAncient},
        {"social", qxtest::socialNetworkPages(), checkSocial},
        {"deep-pages", qxtest::deepPages(), checkDeepPages},
        {"feed-pages", qxtest::feedPages(), checkFeedPages},
    };
    const Service* chosen = nullptr;
    for (const auto& s : services) chosen = service == s.name ? &s : chosen;
    if (!chosen) {
        std::cerr << "unknown service " << service << "\n";
        return 2;
    }
    qxtest::FakeHttpServer server;
    server.setHandler(chosen->handler);
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    // Each script runs in a program of its own on the same data folder, as after a restart.
    std::stringstream scripts(argv[2]);
    for (std::string name; std::getline(scripts, name, '|');) {
        const std::filesystem::path script = name;
        const auto filled = work / script.filename();
        std::ofstream(filled, std::ios::binary) << replaced(readAll(script), "@SERVER@", server.url());
        std::vector<std::string> args(argv + 4, argv + argc);
        for (auto& a : args) a = replaced(a, "@SERVER@", server.url());
        // A fixed morning: readings made hours apart by the script stay on one day.
        args.insert(args.end(), {"--home", (work / "home").string(), "--script", filled.string(), "--start-time",
                                 "2026-12-07T09:00"});
        const int status = runProgram(args);
        if (status != 0) {
            std::cerr << "the program ended with " << status << " on " << script.filename() << "\n";
            return 1;
        }
    }
    return chosen->check(server.requests(), readAll(work / "home" / "quorix.log")) ? 0 : 1;
}
