#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/DemoScript.h"

namespace qx {

// A recorded walk played back by the demo instrument. The file is CSV, one row a sample:
//   time offset (s), dose rate (µSv/h), dose (µSv), latitude, longitude, altitude (m), speed (m/s)
// Dose may be empty (the instrument then integrates the dose rate); latitude, longitude and
// altitude are all given or all empty (a sample without a fix); speed may be empty (unknown).
// A first line that does not start with a number is a header. A row that breaks these rules, or
// whose offset does not follow the previous good row's, is reported with its line and skipped.
// At the end the recording starts again from the top.
class DemoReplay final : public DemoScript {
public:
    struct BadRow {
        std::size_t line;  // 1-based
        std::string reason;
    };

    // None (and `error`) when the file cannot be read or holds no good row.
    static std::shared_ptr<DemoReplay> load(const std::filesystem::path& file, std::vector<BadRow>* badRows,
                                            std::string* error);
    static std::shared_ptr<DemoReplay> parse(std::string_view text, std::vector<BadRow>* badRows, std::string* error);

    DemoSample sample(std::size_t index) const override;
    std::size_t rowCount() const { return rows_.size(); }
    // Seconds from the start of one round to the start of the next.
    double period() const { return period_; }

private:
    explicit DemoReplay(std::vector<DemoSample> rows);

    std::vector<DemoSample> rows_;
    double period_ = 1;
};

}  // namespace qx
