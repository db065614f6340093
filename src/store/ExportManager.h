#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "platform/foundation/Dispatch.h"
#include "store/io/WaypointFile.h"
#include "store/io/WaypointRecord.h"

namespace qx {

class ManagedObject;

// Exports chosen waypoints and readings to a CSV or GPX file in Documents/ and offers the file
// as a mail attachment, with a progress overlay on the key window while the file is written. The file is written on the manager's own queue, one export after the
// other, so that two exports never race for a file name.
class ExportManager {
public:
    using Completion = std::function<void()>;

    static ExportManager& sharedInstance();

    // `records`: waypoints and measurements of the main context; `exportFormat` 1 CSV, 2 GPX.
    // An empty list runs the completion at once. Otherwise the completion runs on the main
    // thread once the export has finished (the mail composer closed, or the failure shown).
    void exportWaypoints(const std::vector<std::shared_ptr<ManagedObject>>& records, unsigned exportFormat,
                         Completion completion = {});

    // The same for the waypoints of days (sets of the main context): each day's own waypoints,
    // then each of its tracks' waypoints. The waypoints are read from the store a batch at a
    // time while the file is written, so an export of the whole history never holds them all.
    void exportWaypointsOfDays(const std::vector<std::shared_ptr<ManagedObject>>& days, unsigned exportFormat,
                               Completion completion = {});
    // The waypoints of days in the order above, and how many there are (without reading them).
    static std::vector<std::shared_ptr<ManagedObject>> waypointsOfDays(
        const std::vector<std::shared_ptr<ManagedObject>>& days);
    static std::size_t waypointCountOfDays(const std::vector<std::shared_ptr<ManagedObject>>& days);

    // The file records of waypoints and measurements: a measurement carries its waypoint's
    // position and name when it has one.
    static std::vector<WaypointRecord> recordsOf(const std::vector<std::shared_ptr<ManagedObject>>& objects);

    // What the person is told of readings a GPX file could not hold; empty when none.
    static std::string leftOutNote(std::size_t leftOut);

private:
    // Records are read and written this many at a time.
    static constexpr std::size_t kRecordsPerBatch = 2000;
    // Batches read ahead of the writer at most: a writer slower than the store (GPX) keeps
    // the export's memory at a few batches whatever its size.
    static constexpr std::size_t kBatchesAhead = 2;

    struct Job;

    ExportManager() : queue_("ExportManager") {}
    // Writes the file of an export: `read` is handed a function taking a batch of records, which
    // waits while the writer has kBatchesAhead still to write. The overlay shows meanwhile, and
    // the file is offered once written.
    template <class Read>
    void write(WaypointFormat format, Read&& read, Completion completion);
    // Shows the progress overlay and starts the writer on the queue; `finish` closes the file and
    // offers it.
    std::shared_ptr<Job> start(WaypointFormat format);
    void finish(const std::shared_ptr<Job>& job, Completion completion);
    void written(const std::optional<std::filesystem::path>& file, const std::string& error,
                 const WaypointFile::WriteDetails& details, WaypointFormat format, const Completion& completion);
    // Presents a new mail with the file attached and `note` as its text; false when no mail can
    // be offered.
    bool offerByMail(const std::filesystem::path& file, WaypointFormat format, const std::string& note,
                     const Completion& completion);

    plat::SerialQueue queue_;
};

}  // namespace qx
