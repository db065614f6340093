#include <array>
#include <charconv>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "CommandGroups.h"
#include "CommandSupport.h"
#include "Driver.h"
#include "link/DeviceManager.h"
#include "link/LinkLauncher.h"
#include "link/LocationFeed.h"
#include "platform/foundation/RunLoop.h"
#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qx::app {

namespace {

const char* const kNoDemo = "no demo instrument (the program was started with --no-demo)";

// A number of at least 0, written in full.
std::optional<double> quantity(const Word& word) {
    if (word.separator || word.index != 0) return std::nullopt;
    const std::string& text = word.text;
    double value = 0;
    const char* end = text.data() + text.size();
    auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || stop != end || !std::isfinite(value) || value < 0) return std::nullopt;
    return value;
}

Outcome withDemo(void (*action)()) {
    if (!LinkLauncher::demoInstrument()) return Outcome::failure(kNoDemo);
    action();
    return Outcome::success();
}

Outcome connect(Driver&, const std::vector<Word>& args) {
    if (auto bad = checkArgCount(args, 0, 0, "connect")) return *bad;
    if (!LinkLauncher::demoInstrument()) return Outcome::failure(kNoDemo);
    if (!LinkLauncher::connectInstrument()) return Outcome::failure("the instrument was not found (Bluetooth is off)");
    // A connection asked for while the adapter is off waits for it to come on.
    plat::RunLoop::main().drain();
    if (!DeviceManager::sharedDeviceManager().isConnected()) {
        return Outcome::failure("the instrument has not connected (Bluetooth is off); it connects once it can");
    }
    return Outcome::success();
}

Outcome lose(Driver&, const std::vector<Word>& args) {
    if (auto bad = checkArgCount(args, 0, 0, "lose")) return *bad;
    return withDemo(&LinkLauncher::loseInstrument);
}

Outcome reconnect(Driver&, const std::vector<Word>& args) {
    if (auto bad = checkArgCount(args, 0, 0, "reconnect")) return *bad;
    return withDemo(&LinkLauncher::reconnectInstrument);
}

Outcome reading(Driver&, const std::vector<Word>& args) {
    if (auto bad = checkArgCount(args, 1, 2, "reading DOSE-RATE [DOSE]")) return *bad;
    DemoInstrument::NextReading next;
    next.der = quantity(args[0]);
    if (!next.der) return Outcome::failure("the dose rate is not a number of µSv/h, 0 or more: " + args[0].text);
    if (args.size() == 2) {
        next.de = quantity(args[1]);
        if (!next.de) return Outcome::failure("the dose is not a number of µSv, 0 or more: " + args[1].text);
    }
    if (!LinkLauncher::setNextReading(next)) return Outcome::failure(kNoDemo);
    return Outcome::success();
}

// What the store holds, by the names the commands use.
struct StoreCount {
    const char* name;
    std::size_t count;
};

std::array<StoreCount, 6> storeCounts() {
    Context& context = Store::defaultStore().mainContext();
    auto count = [&](FetchRequest request) { return context.count(request).value_or(0); };
    return {{
        {"sets", count(FetchRequest::of<Set>())},
        {"tracks", count(FetchRequest::of<Track>())},
        {"waypoints", count(FetchRequest::of<Waypoint>())},
        {"autosaved", count(FetchRequest::of<Waypoint>().where(Predicate::compare("autoSaved", Comparison::equal, true)))},
        {"measurements", count(FetchRequest::of<Measurement>())},
        {"uploaded",
         count(FetchRequest::of<Measurement>().where(Predicate::compare("uploaded", Comparison::equal, true)))},
    }};
}

Outcome store(Driver&, const std::vector<Word>& args) {
    if (auto bad = checkArgCount(args, 0, 0, "store")) return *bad;
    std::string line;
    for (const StoreCount& c : storeCounts()) line += (line.empty() ? "" : ", ") + std::string(c.name) + " " + std::to_string(c.count);
    return Outcome::success(line + "\n");
}

std::optional<Comparison> comparison(const std::string& text) {
    if (text == "==" || text == "=") return Comparison::equal;
    if (text == "!=") return Comparison::notEqual;
    if (text == "<") return Comparison::less;
    if (text == "<=") return Comparison::lessOrEqual;
    if (text == ">") return Comparison::greater;
    if (text == ">=") return Comparison::greaterOrEqual;
    return std::nullopt;
}

template <class T>
bool holds(T value, Comparison op, T wanted) {
    switch (op) {
        case Comparison::equal: return value == wanted;
        case Comparison::notEqual: return value != wanted;
        case Comparison::less: return value < wanted;
        case Comparison::lessOrEqual: return value <= wanted;
        case Comparison::greater: return value > wanted;
        case Comparison::greaterOrEqual: return value >= wanted;
    }
    return false;
}

// "expect-store waypoints >= 1". An unquoted ">" reaches the command as a path separator, so the
// operator is put back together from the words between the kind and the number.
Outcome expectStore(Driver&, const std::vector<Word>& args) {
    const std::string usage =
        "usage: expect-store sets|tracks|waypoints|autosaved|measurements|uploaded ==|!=|<|<=|>|>= N";
    if (args.size() < 3) return Outcome::failure(usage);
    std::string opText;
    for (std::size_t i = 1; i + 1 < args.size(); ++i) opText += args[i].text;
    const auto op = comparison(opText);
    const auto wanted = quantity(args.back());
    if (!op || !wanted || *wanted != std::floor(*wanted)) return Outcome::failure(usage);
    const auto wantedCount = static_cast<std::size_t>(*wanted);
    for (const StoreCount& c : storeCounts()) {
        if (args[0].text != c.name) continue;
        if (holds(c.count, *op, wantedCount)) return Outcome::success();
        return Outcome::failure("the store holds " + std::to_string(c.count) + " " + c.name + ", not " + opText + " " +
                                args.back().text);
    }
    return Outcome::failure(usage);
}

// "expect-waypoints Alpha - Beta": every stored waypoint's name, in the order of their readings,
// "-" standing for none; a rename that reached the wrong record shows here.
Outcome expectWaypoints(Driver&, const std::vector<Word>& args) {
    std::string stored, wanted;
    for (const auto& w : Store::defaultStore().mainContext().fetch<Waypoint>(
             FetchRequest::of<Waypoint>().sortedBy("measurement.date"))) {
        stored += (stored.empty() ? "" : ", ") + ("\"" + w->name().value_or("-") + "\"");
    }
    for (const auto& word : args) wanted += (wanted.empty() ? "" : ", ") + ("\"" + word.text + "\"");
    if (stored == wanted) return Outcome::success();
    return Outcome::failure("the stored waypoints are named " + (stored.empty() ? "nothing" : stored) + ", not " +
                            (wanted.empty() ? "nothing" : wanted));
}

// The fixes the machine was given, kept so that a track's distance can be checked against the
// ground its recording covered.
struct FixLog {
    plat::Subscription subscription;
    std::vector<plat::Location> fixes;
};

FixLog& fixLog() {
    static FixLog log;
    return log;
}

void startFixLog() {
    auto& log = fixLog();
    log.fixes.clear();
    log.subscription = LocationFeed::shared().subscribe([](const plat::Location& fix) { fixLog().fixes.push_back(fix); });
}

// The summed great-circle steps between the fixes given while the track was recording.
double fixedDistance(const Track& track) {
    double metres = 0;
    const plat::Location* previous = nullptr;
    const bool recording = Track::recordingTrack().get() == &track;
    const plat::Date end = recording ? plat::Date::now() : track.dateTo();
    for (const auto& fix : fixLog().fixes) {
        if (fix.timestamp() < track.dateFrom() || fix.timestamp() > end) continue;
        if (previous) metres += fix.distanceFromLocation(*previous);
        previous = &fix;
    }
    return metres;
}

struct TrackFigures {
    std::size_t waypoints = 0, autosaved = 0, byHand = 0, alarms = 0;
    double distance = 0, fixes = 0;
    // As its details show them: km/h, metres, seconds and µSv (0 for a dose not shown).
    double avgSpeed = 0, maxSpeed = 0, minAltitude = 0, maxAltitude = 0, duration = 0, dose = 0;
    // How far the stored distance is from the fixes' distance, in percent of the latter.
    double distanceOff() const { return fixes > 0 ? std::abs(distance - fixes) / fixes * 100 : (distance > 0 ? 100 : 0); }
};

TrackFigures figuresOf(const std::shared_ptr<Track>& track) {
    TrackFigures f;
    for (const auto& w : track->waypoints()) {
        ++f.waypoints;
        (w->autoSaved() ? f.autosaved : f.byHand) += 1;
    }
    f.alarms = static_cast<std::size_t>(track->alarms());
    f.distance = track->distance();
    f.fixes = fixedDistance(*track);
    f.avgSpeed = track->avgSpeed() * 3.6;
    f.maxSpeed = track->maxSpeed() * 3.6;
    f.minAltitude = track->minAltitude();
    f.maxAltitude = track->maxAltitude();
    f.duration = track->currentDateTo().timeIntervalSince(track->dateFrom());
    f.dose = track->shownDe();
    return f;
}

std::string describeTrack(const std::shared_ptr<Track>& track) {
    const TrackFigures f = figuresOf(track);
    char text[256];
    std::snprintf(text, sizeof text,
                  ": %zu waypoints (%zu autosaved, %zu by hand), %zu alarms, distance %.1f m, the fixes of its "
                  "recording %.1f m, speed %.2f km/h average and %.2f km/h most, altitude %.1f m to %.1f m, "
                  "%.0f s, dose %.4f µSv\n",
                  f.waypoints, f.autosaved, f.byHand, f.alarms, f.distance, f.fixes, f.avgSpeed, f.maxSpeed,
                  f.minAltitude, f.maxAltitude, f.duration, f.dose);
    return "\"" + track->name().value_or("") + "\"" + text;
}

Outcome tracks(Driver&, const std::vector<Word>& args) {
    if (auto bad = checkArgCount(args, 0, 0, "tracks")) return *bad;
    std::string out;
    for (const auto& t : Store::defaultStore().mainContext().fetch<Track>(FetchRequest::of<Track>().sortedBy("dateFrom"))) {
        out += describeTrack(t);
    }
    return Outcome::success(out.empty() ? "no tracks\n" : out);
}

// "expect-track NAME autosaved >= 1", with the keys waypoints, autosaved, by-hand, alarms,
// distance-off (percent between the stored distance and the recording's fixes), avg-speed and
// max-speed (km/h), min-altitude and max-altitude (m), duration (s) and dose (µSv, 0 when the
// track's instrument measures none).
Outcome expectTrack(Driver&, const std::vector<Word>& args) {
    const std::string usage =
        "usage: expect-track NAME waypoints|autosaved|by-hand|alarms|distance-off|avg-speed|max-speed|min-altitude|"
        "max-altitude|duration|dose ==|!=|<|<=|>|>= N";
    if (args.size() < 4) return Outcome::failure(usage);
    std::string opText;
    for (std::size_t i = 2; i + 1 < args.size(); ++i) opText += args[i].text;
    const auto op = comparison(opText);
    const auto wanted = quantity(args.back());
    if (!op || !wanted) return Outcome::failure(usage);
    auto track = Store::defaultStore().mainContext().fetchFirst<Track>(
        FetchRequest::of<Track>().where(Key("name") == Value(args[0].text)));
    if (!track) return Outcome::failure("no stored track is named \"" + args[0].text + "\"");
    const TrackFigures f = figuresOf(track);
    const std::string& key = args[1].text;
    double value = 0;
    if (key == "waypoints") value = static_cast<double>(f.waypoints);
    else if (key == "autosaved") value = static_cast<double>(f.autosaved);
    else if (key == "by-hand") value = static_cast<double>(f.byHand);
    else if (key == "alarms") value = static_cast<double>(f.alarms);
    else if (key == "distance-off") value = f.distanceOff();
    else if (key == "avg-speed") value = f.avgSpeed;
    else if (key == "max-speed") value = f.maxSpeed;
    else if (key == "min-altitude") value = f.minAltitude;
    else if (key == "max-altitude") value = f.maxAltitude;
    else if (key == "duration") value = f.duration;
    else if (key == "dose") value = f.dose;
    else return Outcome::failure(usage);
    if (holds(value, *op, *wanted)) return Outcome::success();
    return Outcome::failure("the track " + describeTrack(track) + "has " + key + " not " + opText + " " + args.back().text);
}

// What the demo instrument keeps of what the application wrote to it, by the names the
// commands use (thresholds in µSv/h and µSv, the history period in minutes).
struct InstrumentValue {
    const char* name;
    double value;
};

std::array<InstrumentValue, 7> instrumentValues(const DemoInstrument& demo) {
    const auto& t = demo.thresholds();
    return {{
        {"dose-rate-1", t[0]},
        {"dose-rate-2", t[1]},
        {"dose-1", t[2]},
        {"dose-2", t[3]},
        {"coefficient", demo.coeffN()},
        {"history-period", demo.historyPeriod()},
        {"recording-mode", static_cast<double>(demo.jobMode())},
    }};
}

std::string numberText(double value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", value);
    return buf;
}

Outcome instrument(Driver&, const std::vector<Word>& args) {
    if (auto bad = checkArgCount(args, 0, 0, "instrument")) return *bad;
    auto demo = LinkLauncher::demoInstrument();
    if (!demo) return Outcome::failure(kNoDemo);
    std::string line;
    for (const auto& v : instrumentValues(*demo)) line += (line.empty() ? "" : ", ") + std::string(v.name) + " " + numberText(v.value);
    return Outcome::success(line + "\n");
}

// The instrument keeps single-precision values: a value matches within their precision.
Outcome expectInstrument(Driver&, const std::vector<Word>& args) {
    const std::string usage =
        "usage: expect-instrument dose-rate-1|dose-rate-2|dose-1|dose-2|coefficient|history-period|recording-mode N";
    if (args.size() != 2) return Outcome::failure(usage);
    const auto wanted = quantity(args[1]);
    if (!wanted) return Outcome::failure(usage);
    auto demo = LinkLauncher::demoInstrument();
    if (!demo) return Outcome::failure(kNoDemo);
    for (const auto& v : instrumentValues(*demo)) {
        if (args[0].text != v.name) continue;
        if (std::fabs(v.value - *wanted) <= 1e-6 * std::max(1.0, std::fabs(*wanted))) return Outcome::success();
        return Outcome::failure("the instrument's " + std::string(v.name) + " is " + numberText(v.value) + ", not " +
                                args[1].text);
    }
    return Outcome::failure(usage);
}

}  // namespace

void registerInstrumentCommands(CommandRegistry& registry) {
    startFixLog();
    registry.add({"connect", "", "connect the demo instrument", connect});
    registry.add({"lose", "", "take the demo instrument out of reach (or unplug it)", lose});
    registry.add({"reconnect", "", "bring the demo instrument back into reach (or plug it in)", reconnect});
    registry.add({"reading", "DOSE-RATE [DOSE]", "the demo instrument's next reading, in µSv/h and µSv", reading});
    registry.add({"store", "", "print the stored counts (sets, tracks, waypoints, autosaved, measurements, uploaded)",
                  store});
    registry.add({"expect-store", "KIND OP N", "fail unless a stored count compares so: expect-store autosaved >= 1",
                  expectStore});
    registry.add({"expect-waypoints", "NAME...",
                  "fail unless the stored waypoints, oldest reading first, have these names (- for none)",
                  expectWaypoints});
    registry.add({"tracks", "", "print each stored track's waypoints, alarms, distance, speeds, altitudes, duration and dose", tracks});
    registry.add({"expect-track", "NAME KEY OP N",
                  "fail unless the named track's figure compares so (waypoints, autosaved, by-hand, alarms, "
                  "distance-off in percent of its recording's fixes, avg-speed and max-speed in km/h, "
                  "min-altitude and max-altitude in m, duration in s, dose in µSv)",
                  expectTrack});
    registry.add({"instrument", "", "print the thresholds, coefficient N and history settings the demo instrument keeps",
                  instrument});
    registry.add({"expect-instrument", "NAME N", "fail unless the demo instrument keeps that value: expect-instrument coefficient 7.35",
                  expectInstrument});
}

}  // namespace qx::app
