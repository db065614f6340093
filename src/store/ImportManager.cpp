#include "store/ImportManager.h"

#include <map>
#include <memory>

#include "model/DateStrings.h"
#include "model/Language.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ProgressOverlay.h"
#include "platform/ui/Window.h"
#include "store/Context.h"
#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Waypoint.h"
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

std::optional<std::string> optionalText(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return text;
}

}  // namespace

ImportManager& ImportManager::sharedImportManager() {
    static ImportManager* manager = new ImportManager();
    return *manager;
}

void ImportManager::storeRecords(const std::vector<WaypointRecord>& records, Context& context) {
    std::map<plat::Date, std::shared_ptr<Set>> days;
    for (const auto& r : records) {
        auto& set = days[DateStrings::beginningOfDay(r.date)];
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
        if (!r.hasPosition()) continue;
        auto w = context.insertNew<Waypoint>();
        w->setLatitude(*r.latitude);
        w->setLongitude(*r.longitude);
        w->setAltitude(r.altitude.value_or(Waypoint::kNoFix));
        w->setName(optionalText(r.name));
        m->setWaypoint(w);
        set->addWaypointsObject(w);
    }
}

std::string ImportManager::summaryText(const ImportResult& result) {
    if (!result.success) {
        std::string text = Language::get("Nothing was imported.");
        if (!result.error.empty()) text += "\n" + Language::get(result.error);
        if (result.errorLine > 0) text += "\n" + withNumber("Line %d", result.errorLine);
        return text;
    }
    std::string text = withNumber("Imported: %d", result.imported);
    text += "\n" + withNumber("Skipped: %d", result.skipped);
    if (result.firstBadLine > 0) text += "\n" + withNumber("First unreadable row: line %d", result.firstBadLine);
    return text;
}

void ImportManager::importFile(const std::filesystem::path& path, Completion completion) {
    plat::Log::line("ImportManager importFile: " + path.filename().string());
    auto overlay = plat::ProgressOverlay::showOn(plat::Window::keyWindow(), true);
    overlay->setTitle(Language::get("Importing data..."));
    auto read = std::make_shared<WaypointReadResult>();
    Completion done = [overlay, completion = std::move(completion)](const ImportResult& result) {
        overlay->hide(true);
        plat::AlertView::show(Language::get("Data import"), summaryText(result), Language::get("OK"), {}, {});
        if (completion) completion(result);
    };
    plat::dispatch::backgroundThenMain([path, read] { *read = WaypointFile::read(path); },
                                       [read, done] { store(read, done); });
}

void ImportManager::store(const std::shared_ptr<WaypointReadResult>& read, const Completion& completion) {
    ImportResult result;
    result.success = read->readable;
    result.skipped = read->skipped;
    result.firstBadLine = read->firstBadLine;
    result.error = read->error;
    result.errorLine = read->errorLine;
    if (!read->readable || read->records.empty()) {
        completion(result);
        return;
    }
    Store::defaultStore().saveWithBlock(
        [read](Context& context) { storeRecords(read->records, context); },
        [result, read, completion](bool ok, const StoreError* error) mutable {
            if (ok) {
                result.imported = read->records.size();
            } else {
                result.success = false;
                result.error = "The data could not be saved.";
                plat::Log::line("ImportManager: save failed: " + (error ? error->message : std::string()));
            }
            completion(result);
        });
}

}  // namespace qx
