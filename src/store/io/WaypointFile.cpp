#include "store/io/WaypointFile.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <ctime>

#include "platform/foundation/FileUtil.h"
#include "store/io/CsvWaypointReader.h"
#include "store/io/GpxWaypointReader.h"
#include "store/io/WaypointFileWriter.h"

namespace qx {

namespace {

std::string stampOf(plat::Date when) {
    const auto secs = static_cast<std::time_t>(std::floor(when.timeIntervalSince1970()));
    std::tm local{};
    localtime_r(&secs, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H-%M-%S", &local);
    return text;
}

}  // namespace

std::optional<WaypointFormat> WaypointFile::formatFromNumber(unsigned number) {
    if (number == 1) return WaypointFormat::CSV;
    if (number == 2) return WaypointFormat::GPX;
    return std::nullopt;
}

std::optional<WaypointFormat> WaypointFile::formatOfFile(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".csv") return WaypointFormat::CSV;
    if (ext == ".gpx") return WaypointFormat::GPX;
    return std::nullopt;
}

const char* WaypointFile::extension(WaypointFormat format) {
    return format == WaypointFormat::CSV ? ".csv" : ".gpx";
}

const char* WaypointFile::mimeType(WaypointFormat format) {
    return format == WaypointFormat::CSV ? "text/csv" : "application/gpx+xml";
}

std::optional<std::filesystem::path> WaypointFile::writeNew(const std::vector<WaypointRecord>& records,
                                                            WaypointFormat format, const std::filesystem::path& dir,
                                                            plat::Date when, std::string* error,
                                                            WriteDetails* details) {
    WaypointFileWriter writer(format, dir, when);
    writer.append(records);
    return writer.finish(error, details);
}

std::filesystem::path WaypointFile::newExportPath(WaypointFormat format, const std::filesystem::path& dir,
                                                  plat::Date when) {
    return plat::file::uniqueName(dir, "Waypoints " + stampOf(when), extension(format));
}

bool WaypointFile::isExportName(std::string_view name) {
    return plat::file::isUniqueNameOf(name, "Waypoints ####-##-## ##-##-##",
                                      {extension(WaypointFormat::CSV), extension(WaypointFormat::GPX)});
}

WaypointReadResult WaypointFile::read(const std::filesystem::path& path, const WaypointRecordSink& sink) {
    const auto format = formatOfFile(path);
    if (!format) {
        WaypointReadResult result;
        result.fail("The file is neither CSV nor GPX", 0);
        return result;
    }
    return *format == WaypointFormat::CSV ? CsvWaypointReader::readFile(path, sink)
                                                : GpxWaypointReader::readFile(path, sink);
}

}  // namespace qx
