#include "store/io/WaypointFileWriter.h"

#include <cerrno>

#include "store/io/CsvWaypointWriter.h"
#include "store/io/GpxWaypointWriter.h"

namespace qx {

WaypointFileWriter::WaypointFileWriter(WaypointFormat format, std::filesystem::path dir, plat::Date when)
    : format_(format), dir_(std::move(dir)), when_(when) {}

bool WaypointFileWriter::start() {
    if (started_) return cause_ == 0;
    started_ = true;
    if (!plat::file::ensureDirectory(dir_, &cause_)) {
        error_ = "cannot create " + dir_.string();
        return false;
    }
    path_ = WaypointFile::newExportPath(format_, dir_, when_);
    if (format_ == WaypointFormat::CSV) {
        CsvWaypointWriter::appendHeader(pending_);
    } else {
        GpxWaypointWriter::appendStart(pending_);
    }
    if (!file_.open(path_, &error_)) {
        cause_ = file_.cause();
        return false;
    }
    return true;
}

void WaypointFileWriter::flush() {
    if (cause_ == 0 && !file_.append(pending_, &error_)) cause_ = file_.cause();
    pending_.clear();
}

void WaypointFileWriter::append(const std::vector<WaypointRecord>& records) {
    if (!start()) return;
    if (format_ == WaypointFormat::CSV) {
        CsvWaypointWriter::appendRows(pending_, records);
    } else {
        leftOut_ += GpxWaypointWriter::appendWaypoints(pending_, records);
    }
    if (pending_.size() >= kFlushBytes) flush();
}

std::optional<std::filesystem::path> WaypointFileWriter::finish(std::string* error,
                                                                WaypointFile::WriteDetails* details) {
    WaypointFile::WriteDetails own;
    WaypointFile::WriteDetails& told = details ? *details : own;
    told = WaypointFile::WriteDetails{};
    if (start()) {
        if (format_ == WaypointFormat::GPX) GpxWaypointWriter::appendEnd(pending_);
        flush();
        // The name was chosen at the first batch: another export may have taken it since.
        const auto another = [this] { return WaypointFile::newExportPath(format_, dir_, when_); };
        if (cause_ == 0 && !file_.commitAsNew(another, &error_)) cause_ = file_.cause();
        path_ = file_.path();
    }
    told.leftOut = leftOut_;
    if (cause_ != 0) {
        told.cause = cause_;
        if (error) *error = error_;
        return std::nullopt;
    }
    return path_;
}

}  // namespace qx
