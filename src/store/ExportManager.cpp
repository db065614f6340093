#include "store/ExportManager.h"

#include <algorithm>
#include <unordered_map>

#include "model/Language.h"
#include "model/StorageAlert.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/MailComposer.h"
#include "platform/ui/ProgressOverlay.h"
#include "platform/ui/Window.h"
#include "store/Context.h"
#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Track.h"
#include "store/Waypoint.h"
#include "store/io/WaypointBatchQueue.h"
#include "store/io/WaypointFile.h"
#include "store/io/WaypointFileWriter.h"

namespace qx {

namespace {

WaypointRecord recordOf(const Measurement& m, const Waypoint* w) {
    WaypointRecord r;
    r.date = m.date();
    r.der = m.der();
    r.variation = m.variation();
    r.de = m.de();
    r.accumulation = m.accumulation().value_or("");
    r.deviceType = static_cast<int>(m.deviceType());
    r.deviceName = m.deviceName().value_or("");
    r.deviceSerial = m.deviceSerial().value_or("");
    if (w) {
        // The store's -1 marks mean "unknown": a file gets no value rather than a made-up place.
        if (w->hasPosition()) {
            r.latitude = w->latitude();
            r.longitude = w->longitude();
            if (w->hasAltitude()) r.altitude = w->altitude();
        }
        r.name = w->name().value_or("");
    }
    return r;
}

// Reads the readings' waypoints in a few batched queries rather than one query per record; the
// result holds them while the records are read.
std::vector<std::shared_ptr<ManagedObject>> loadWaypointsOf(const std::vector<std::shared_ptr<ManagedObject>>& objects) {
    Context* context = nullptr;
    std::vector<std::shared_ptr<ManagedObject>> readings;
    for (const auto& o : objects) {
        if (!o || o->entity() != EntityKind::measurement || !o->managedObjectContext()) continue;
        if (!context) context = o->managedObjectContext();
        if (o->managedObjectContext() == context) readings.push_back(o);
    }
    if (!context) return {};
    return context->prefetch(FetchRequest(EntityKind::measurement).prefetching("waypoint"), readings);
}

// The readings of the waypoints among the objects, by waypoint, in one query. They are not kept
// on the waypoints: an export of the whole history holds a batch of readings at a time.
std::unordered_map<std::int64_t, std::shared_ptr<Measurement>> readingsOf(
    const std::vector<std::shared_ptr<ManagedObject>>& objects) {
    std::unordered_map<std::int64_t, std::shared_ptr<Measurement>> out;
    Context* context = nullptr;
    std::vector<Value> waypoints;
    for (const auto& o : objects) {
        if (!o || o->entity() != EntityKind::waypoint || !o->managedObjectContext() || o->isInserted()) continue;
        if (!context) context = o->managedObjectContext();
        if (o->managedObjectContext() == context) waypoints.emplace_back(o->objectID());
    }
    if (!context) return out;
    StoreError error;
    const auto readings =
        context->fetch<Measurement>(FetchRequest::of<Measurement>().where(Key("waypoint").in(std::move(waypoints))), &error);
    if (error) plat::Log::line("ExportManager: " + error.message);
    // The waypoints are the caller's: finding them reads nothing.
    for (const auto& m : readings)
        if (const auto w = m->waypoint()) out.emplace(w->objectID().row, m);
    return out;
}

// Hands `visit` the waypoint rows of each day in order: the day's own, then each track's. The
// rows are a copy: reading the waypoints may refresh the relation they were kept on.
template <class Visit>
void forEachWaypointList(const std::vector<std::shared_ptr<ManagedObject>>& days, Visit&& visit) {
    for (const auto& object : days) {
        if (!object || object->entity() != EntityKind::set || !object->managedObjectContext()) continue;
        const auto& day = static_cast<const Set&>(*object);
        Context& context = *object->managedObjectContext();
        visit(context, std::vector<std::int64_t>(day.waypointRows()));
        for (const auto& track : day.tracks()) visit(context, std::vector<std::int64_t>(track->waypointRows()));
    }
}

}  // namespace

ExportManager& ExportManager::sharedInstance() {
    static ExportManager* manager = new ExportManager();
    return *manager;
}

std::vector<WaypointRecord> ExportManager::recordsOf(const std::vector<std::shared_ptr<ManagedObject>>& objects) {
    std::vector<WaypointRecord> out;
    out.reserve(objects.size());
    const auto waypoints = loadWaypointsOf(objects);
    const auto readings = readingsOf(objects);
    for (const auto& object : objects) {
        if (!object) continue;
        std::shared_ptr<Waypoint> w;
        std::shared_ptr<Measurement> m;
        if (object->entity() == EntityKind::waypoint) {
            w = std::static_pointer_cast<Waypoint>(object);
            const auto it = readings.find(w->objectID().row);
            m = it != readings.end() && !w->isInserted() ? it->second : w->measurement();
        } else if (object->entity() == EntityKind::measurement) {
            m = std::static_pointer_cast<Measurement>(object);
            w = m->waypoint();
        }
        if (!m) {
            plat::Log::line("ExportManager: a record without reading is left out");
            continue;
        }
        out.push_back(recordOf(*m, w.get()));
    }
    return out;
}

struct ExportManager::Job {
    WaypointFormat format;
    std::shared_ptr<plat::ProgressOverlay> overlay;
    std::shared_ptr<WaypointFileWriter> writer;
    // Batches read and not yet written: reading waits for the writer when it gets ahead.
    WaypointBatchQueue batches{kBatchesAhead};
};

std::shared_ptr<ExportManager::Job> ExportManager::start(WaypointFormat format) {
    auto job = std::make_shared<Job>();
    job->format = format;
    job->overlay = plat::ProgressOverlay::showOn(plat::Window::keyWindow(), true);
    job->overlay->setTitle(Language::get("Exporting data..."));
    job->writer = std::make_shared<WaypointFileWriter>(format, plat::DataFolder::documents(), plat::Date::now());
    // The writer takes the batches as they come until the reading side has none left.
    plat::dispatch::onQueue(queue_, [job] {
        while (auto batch = job->batches.pop()) job->writer->append(*batch);
    });
    return job;
}

template <class Read>
void ExportManager::write(WaypointFormat format, Read&& read, Completion completion) {
    const auto job = start(format);
    try {
        read([&job](std::vector<WaypointRecord> batch) { job->batches.push(std::move(batch)); });
    } catch (...) {
        job->batches.stop();  // the writer lets the file go rather than wait for more
        throw;
    }
    finish(job, std::move(completion));
}

void ExportManager::finish(const std::shared_ptr<Job>& job, Completion completion) {
    job->batches.finish();
    // Runs after the writer took the last batch: the queue runs its tasks one after the other.
    plat::dispatch::onQueue(queue_, [this, job, completion] {
        std::string error;
        WaypointFile::WriteDetails details;
        const auto file = job->writer->finish(&error, &details);
        plat::dispatch::toMain([this, job, file, error, details, completion] {
            job->overlay->hide(true);
            written(file, error, details, job->format, completion);
        });
    });
}

void ExportManager::exportWaypoints(const std::vector<std::shared_ptr<ManagedObject>>& records, unsigned exportFormat,
                                    Completion completion) {
    const auto format = WaypointFile::formatFromNumber(exportFormat);
    if (records.empty() || !format) {
        if (!records.empty()) plat::Log::line("ExportManager: unknown export format " + std::to_string(exportFormat));
        if (completion) completion();
        return;
    }
    // The records are read here, where the objects live, a batch at a time, and written on the
    // queue as they come: neither the file nor all its records are ever held whole, and reading
    // waits while the writer has a few batches still to write.
    write(*format, [&](const auto& append) {
        for (std::size_t first = 0; first < records.size(); first += kRecordsPerBatch) {
            const auto last = records.begin() + static_cast<long>(std::min(records.size(), first + kRecordsPerBatch));
            append(recordsOf({records.begin() + static_cast<long>(first), last}));
        }
    }, std::move(completion));
}

void ExportManager::exportWaypointsOfDays(const std::vector<std::shared_ptr<ManagedObject>>& days,
                                          unsigned exportFormat, Completion completion) {
    const auto format = WaypointFile::formatFromNumber(exportFormat);
    if (!format || waypointCountOfDays(days) == 0) {
        if (format == std::nullopt) plat::Log::line("ExportManager: unknown export format " + std::to_string(exportFormat));
        if (completion) completion();
        return;
    }
    write(*format, [&](const auto& append) {
        forEachWaypointList(days, [&](Context& context, std::vector<std::int64_t> rows) {
            for (std::size_t first = 0; first < rows.size(); first += kRecordsPerBatch) {
                const auto last = rows.begin() + static_cast<long>(std::min(rows.size(), first + kRecordsPerBatch));
                // The batch's waypoints live only while their records are read.
                append(recordsOf(context.objectsWithRows(EntityKind::waypoint,
                                                         {rows.begin() + static_cast<long>(first), last})));
            }
        });
    }, std::move(completion));
}

std::vector<std::shared_ptr<ManagedObject>> ExportManager::waypointsOfDays(
    const std::vector<std::shared_ptr<ManagedObject>>& days) {
    std::vector<std::shared_ptr<ManagedObject>> out;
    forEachWaypointList(days, [&](Context& context, const std::vector<std::int64_t>& rows) {
        auto objects = context.objectsWithRows(EntityKind::waypoint, rows);
        out.insert(out.end(), std::make_move_iterator(objects.begin()), std::make_move_iterator(objects.end()));
    });
    return out;
}

std::size_t ExportManager::waypointCountOfDays(const std::vector<std::shared_ptr<ManagedObject>>& days) {
    std::size_t count = 0;
    forEachWaypointList(days, [&](Context&, const std::vector<std::int64_t>& rows) { count += rows.size(); });
    return count;
}

std::string ExportManager::leftOutNote(std::size_t leftOut) {
    if (leftOut == 0) return {};
    std::string note = Language::get("Readings without a position, left out of the GPX file: %d");
    if (const auto at = note.find("%d"); at != std::string::npos) note.replace(at, 2, std::to_string(leftOut));
    return note;
}

void ExportManager::written(const std::optional<std::filesystem::path>& file, const std::string& error,
                            const WaypointFile::WriteDetails& details, WaypointFormat format,
                            const Completion& completion) {
    if (!file) {
        plat::Log::line("ExportManager: " + error);
        StorageAlert::show("Export failed", "The file could not be written: %@.",
                           StorageAlert::reasonForErrno(details.cause));
        if (completion) completion();
        return;
    }
    plat::Log::line("ExportManager: wrote " + plat::Log::quoted(file->filename().string()) +
                    (details.leftOut ? ", leaving out " + std::to_string(details.leftOut) + " without position" : ""));
    const std::string note = leftOutNote(details.leftOut);
    if (offerByMail(*file, format, note, completion)) return;
    // Without a mail sheet to say it in, the person still learns what the file lacks.
    if (!note.empty()) {
        plat::AlertView::show(Language::get("Data export"), note, Language::get("OK"), {}, {}, [completion] {
            if (completion) completion();
        });
        return;
    }
    if (completion) completion();
}

bool ExportManager::offerByMail(const std::filesystem::path& file, WaypointFormat format, const std::string& note,
                                const Completion& completion) {
    auto* window = plat::Window::keyWindow();
    auto* screen = window ? window->visibleViewController() : nullptr;
    auto composer = std::make_shared<plat::MailComposer>();
    // The file is attached as it lies in Documents, not read into memory: it may be very large.
    if (!plat::MailComposer::canSendMail() || !screen ||
        !composer->addAttachmentFile(file, WaypointFile::mimeType(format), file.filename().string())) {
        plat::Log::line("ExportManager: the file is not mailed; it stays in Documents");
        return false;
    }
    composer->setSubject(Language::get("Data export"));
    composer->setMessageBody(note, false);
    composer->setCompletion([completion](plat::MailComposer& mail, plat::MailResult, const std::string&) {
        mail.dismissViewController(true);
        if (completion) completion();
    });
    return screen->presentViewController(composer, true);
}

}  // namespace qx
