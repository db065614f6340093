#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/io/WaypointRecord.h"

namespace qx {

class Context;

// How an import ended. `success` is false when the file could not be read at all or the
// store refused the save; then nothing was stored.
struct ImportResult {
    bool success = false;
    std::size_t imported = 0;
    std::size_t skipped = 0;
    std::size_t firstBadLine = 0;
    std::string error;  // English text, a key of the language table
    std::string errorName;  // what its "%@" stands for (a name taken from the file)
    std::size_t errorLine = 0;
    WaypointReadDiagnosis diagnosis;
    std::size_t tracksLeftOut = 0;  // GPX tracks and routes, which only waypoints are taken from
    std::size_t routesLeftOut = 0;
    std::size_t withoutTime = 0;  // GPX waypoints skipped for having no time
    std::string readAs;           // the encoding a file that is not UTF-8 was read in
    std::size_t replacedCharacters = 0;
};

// Imports waypoints from a CSV or GPX file into the day sets of their dates. The file is read
// and stored on the store's save thread, a few thousand rows at a time, all in one save, so that
// the store holds all of the file's readable rows or nothing of it while memory holds one batch
// whatever the file's size. The person sees a progress overlay meanwhile and is then told what
// was imported and skipped.
class ImportManager {
public:
    using Completion = std::function<void(const ImportResult& result)>;

    static ImportManager& sharedImportManager();

    // Main thread only; `completion` runs on the main thread after the person was told.
    void importFile(const std::filesystem::path& path, Completion completion = {});

    // Stores the records in `context`: each in the set of its local calendar day (made when
    // missing); a record with a position or a name becomes a waypoint owning its measurement
    // (without a position: one taken without a fix), any other a reading of the day alone.
    static void storeRecords(const std::vector<WaypointRecord>& records, Context& context);
    // Reads the file and stores its records in `context`, a private context of a save with a
    // block: each batch is written into the save's open transaction and let go. When the file
    // turns out unreadable, or a batch cannot be written, the save is made to fail, so that it
    // writes nothing. `imported` is what the save holds when it commits.
    static ImportResult storeFile(const std::filesystem::path& path, Context& context);

    // The text of the message the person is shown after an import.
    static std::string summaryText(const ImportResult& result);
    // The lines that say what could not be read and what was expected; empty when all was read.
    static std::string diagnosisText(const WaypointReadDiagnosis& diagnosis);
    // The lines that say how the file's text was read, when it was not plain UTF-8.
    static std::string encodingText(const ImportResult& result);

private:
    ImportManager() = default;
    static ImportResult resultOf(const WaypointReadResult& read);
};

}  // namespace qx
