#include "store/ImportManager.h"

#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

#include "model/DateStrings.h"
#include "model/Language.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Utf8Text.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/ProgressOverlay.h"
#include "platform/ui/Window.h"
#include "store/Context.h"
#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Waypoint.h"
#include "store/WaypointGrid.h"
#include "store/io/WaypointBatchQueue.h"
#include "store/io/WaypointFile.h"

namespace qx {

namespace {

// The language table's text of `key` with its "%d" replaced by `number`.
std::string withNumber(const std::string& key, std::size_t number) {
    std::string text = Language::get(key);
    const auto at = text.find("%d");
    if (at != std::string::npos) text.replace(at, 2, std::to_string(number));
    return text;
}

// `text` with its "%@" replaced by `values` in order (a value's own "%@" stays as it is).
std::string withText(std::string text, std::initializer_list<std::string> values) {
    std::size_t from = 0;
    for (const auto& value : values) {
        const auto at = text.find("%@", from);
        if (at == std::string::npos) break;
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

// Texts taken from a file are quoted only in part, so that a message stays short whatever the
// file holds: a list names its first few and how many more there are, a line stops near 80
// characters.
constexpr std::size_t kShownColumns = 5;
constexpr std::size_t kExcerptCharacters = 80;

// Past the longest day (25 hours where clocks go back) and short of the day after.
constexpr double kDayAndAQuarter = 30 * 3600.0;

// Batches read ahead of the one being stored: enough to keep both threads busy, few enough that
// memory holds a handful of batches.
constexpr std::size_t kBatchesAhead = 2;

// A text of the file as a message shows it: control characters (a binary file's, say) are
// shown as replacement characters, so that the message neither breaks lines nor hides them.
std::string excerpt(const std::string& text) {
    std::string shown;
    for (const char c : plat::Utf8Text::valid(text)) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            shown += plat::Utf8Text::kReplacement;
        } else {
            shown += c;
        }
    }
    return plat::DescriptionWriter::shortened(shown, kExcerptCharacters);
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& name : names) out += (out.empty() ? "" : ", ") + name;
    return out;
}

// The columns a file named, in part.
std::string fileColumns(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size() && i < kShownColumns; ++i) {
        out += (i == 0 ? "" : ", ") + excerpt(names[i]);
    }
    out = excerpt(out);
    if (names.size() > kShownColumns) out += " " + withNumber("and %d more", names.size() - kShownColumns);
    return out;
}

std::optional<std::string> optionalText(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return text;
}

// Stops a batch queue when it goes.
struct StopOnExit {
    WaypointBatchQueue& queue;
    ~StopOnExit() { queue.stop(); }
};

}  // namespace

ImportManager& ImportManager::sharedImportManager() {
    static ImportManager* manager = new ImportManager();
    return *manager;
}

void ImportManager::storeRecords(const std::vector<WaypointRecord>& records, Context& context) {
    std::map<plat::Date, std::shared_ptr<Set>> days;
    // Rows come mostly in time order, so the day of the row before mostly holds the next one too:
    // that spares a calendar computation per row.
    plat::Date dayStart, nextDayStart;
    for (const auto& r : records) {
        if (!(dayStart <= r.date && r.date < nextDayStart)) {
            dayStart = DateStrings::beginningOfDay(r.date);
            nextDayStart = DateStrings::beginningOfDay(dayStart.addingTimeInterval(kDayAndAQuarter));
        }
        auto& set = days[dayStart];
        if (!set) set = Set::setForDay(r.date, context);
        auto m = context.insertNew<Measurement>();
        m->setDate(r.date);
        m->setDer(r.der);
        m->setVariation(r.variation);
        m->setDe(r.de);
        m->setAccumulation(optionalText(r.accumulation));
        m->setDeviceType(r.deviceType);
        m->setDeviceName(optionalText(r.deviceName));
        m->setDeviceSerial(optionalText(r.deviceSerial));
        m->setUploaded(false);
        set->addMeasurementsObject(m);
        // A named row is a waypoint even without a position (one taken without a fix, as
        // exported), so that its name comes back.
        if (!r.hasPosition() && r.name.empty()) continue;
        auto w = context.insertNew<Waypoint>();
        if (r.hasPosition()) {
            w->setLatitude(*r.latitude);
            w->setLongitude(*r.longitude);
            w->setAltitude(r.altitude.value_or(Waypoint::kNoFix));
        } else {
            w->applyLocation(std::nullopt);
        }
        w->setName(optionalText(r.name));
        m->setWaypoint(w);
        set->addWaypointsObject(w);
    }
}

std::string ImportManager::summaryText(const ImportResult& result) {
    std::string text;
    if (!result.success) {
        text = Language::get("Nothing was imported.");
        if (!result.error.empty()) text += "\n" + withText(Language::get(result.error), {excerpt(result.errorName)});
        if (result.errorLine > 0) text += "\n" + withNumber("Line %d", result.errorLine);
    } else {
        text = withNumber("Imported: %d", result.imported);
        text += "\n" + withNumber("Skipped: %d", result.skipped);
        if (result.firstBadLine > 0) text += "\n" + withNumber("First unreadable row: line %d", result.firstBadLine);
        if (result.withoutTime == 1) text += "\n" + Language::get("1 waypoint has no time");
        if (result.withoutTime > 1) text += "\n" + withNumber("%d waypoints have no time", result.withoutTime);
        if (result.tracksLeftOut > 0) text += "\n" + withNumber("Tracks not imported: %d", result.tracksLeftOut);
        if (result.routesLeftOut > 0) text += "\n" + withNumber("Routes not imported: %d", result.routesLeftOut);
    }
    return text + encodingText(result) + diagnosisText(result.diagnosis);
}

std::string ImportManager::encodingText(const ImportResult& result) {
    std::string text;
    if (!result.readAs.empty()) {
        text += "\n" + withText(Language::get("The file is not UTF-8; its text was read as %@"), {result.readAs});
    }
    if (result.replacedCharacters > 0) {
        text += "\n" + withNumber("Unreadable characters replaced by \"\uFFFD\": %d", result.replacedCharacters);
    }
    return text;
}

std::string ImportManager::diagnosisText(const WaypointReadDiagnosis& d) {
    std::string text;
    if (!d.firstBadExpected.empty()) {
        const std::string expected = Language::get(d.firstBadExpected);
        text += "\n" + (d.firstBadField.empty()
                            ? withText(Language::get("The row could not be read; expected %@"), {expected})
                            : withText(Language::get("The field \"%@\" could not be read; expected %@"),
                                       {excerpt(d.firstBadField), expected}));
    }
    if (!d.unknownColumns.empty()) text += "\n" + withText(Language::get("Columns not recognised: %@"), {fileColumns(d.unknownColumns)});
    if (!d.expectedColumns.empty()) text += "\n" + withText(Language::get("Expected columns: %@"), {joined(d.expectedColumns)});
    if (!d.foundColumns.empty()) text += "\n" + withText(Language::get("Found columns: %@"), {fileColumns(d.foundColumns)});
    return text;
}

void ImportManager::importFile(const std::filesystem::path& path, Completion completion) {
    plat::Log::line("ImportManager importFile: " + plat::Log::quoted(path.filename().string()));
    auto overlay = plat::ProgressOverlay::showOn(plat::Window::keyWindow(), true);
    overlay->setTitle(Language::get("Importing data..."));
    // Filled by the save's block; stays empty when the store could not even begin the save.
    auto outcome = std::make_shared<std::optional<ImportResult>>();
    Store::defaultStore().saveWithBlock(
        [path, outcome](Context& context) { *outcome = storeFile(path, context); },
        [outcome, overlay, completion = std::move(completion)](bool ok, const StoreError* error) {
            ImportResult result = outcome->value_or(ImportResult{});
            // An unreadable file says why itself; any other failure is the store's.
            if (!ok && (result.success || !outcome->has_value())) {
                result.success = false;
                result.imported = 0;
                // The store's cause (a full disk, a read-only file) is one the person can act on.
                result.error = error ? "The data could not be saved: %@." : "The data could not be saved.";
                result.errorName = error ? Store::failureReason(*error) : std::string();
                plat::Log::line("ImportManager: save failed: " + (error ? error->message : std::string()));
            }
            overlay->hide(true);
            plat::AlertView::show(Language::get("Data import"), summaryText(result), Language::get("OK"), {}, {});
            if (completion) completion(result);
        });
}

ImportResult ImportManager::storeFile(const std::filesystem::path& path, Context& context) {
    // The file is read on a thread of its own while this one stores what it read before.
    WaypointBatchQueue queue(kBatchesAhead);
    WaypointReadResult read;
    std::jthread reader([&] {
        read = WaypointFile::read(path, [&](std::vector<WaypointRecord>& batch) { return queue.push(std::exchange(batch, {})); });
        queue.finish();
    });
    // Storing or saving may throw (out of memory): the reader, perhaps waiting for room, is let go
    // before it is joined on the way out.
    const StopOnExit stopReading{queue};
    std::size_t stored = 0;
    StoreError failure;
    while (auto batch = queue.pop()) {
        // A large file puts each batch's points on the map grid at once rather than row by row;
        // their squares are made in one pass when a map next asks.
        WaypointGrid::setAsideForImport(context.connection(), static_cast<std::int64_t>(stored + batch->size()));
        storeRecords(*batch, context);
        stored += batch->size();
        batch.reset();
        // Written into the open transaction; the objects of the batch are let go with it.
        if (!context.save(&failure) || !WaypointGrid::keepPointsOfImport(context.connection(), &failure)) {
            queue.stop();
            break;
        }
    }
    reader.join();
    ImportResult result = resultOf(read);
    if (!failure) WaypointGrid::endImport(context.connection(), &failure);
    if (failure) {
        context.abandonSave(failure);  // the save fails with the batch's (or the grid's) error
        return result;
    }
    if (!read.readable) {
        context.abandonSave(StoreError::make(StoreError::Code::invalidRequest, read.error));
        return result;
    }
    result.imported = stored;
    return result;
}

ImportResult ImportManager::resultOf(const WaypointReadResult& read) {
    ImportResult result;
    result.success = read.readable;
    result.skipped = read.skipped;
    result.firstBadLine = read.firstBadLine;
    result.error = read.error;
    result.errorName = read.errorName;
    result.errorLine = read.errorLine;
    result.diagnosis = read.diagnosis;
    result.tracksLeftOut = read.tracksLeftOut;
    result.routesLeftOut = read.routesLeftOut;
    result.withoutTime = read.withoutTime;
    result.readAs = read.readAs;
    result.replacedCharacters = read.replacedCharacters;
    return result;
}

}  // namespace qx
