// The calculation book of a schedule: one report file per beam in a folder,
// and one combined file for the reviewer (a summary of every beam and its
// four results, then each computed beam's report lines). Both in the
// system's code page, like the quick calculator's report.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "document.h"
#include "report.h"
#include "row.h"

namespace quorvane {

// A mark made safe as a file name: characters that no file system takes
// become '_', blanks and dots at the ends go. Empty when nothing is left.
// A mark too long for a file name keeps its first 150 bytes (whole
// characters) and gains '~' and a hash of the whole mark, so that it stays
// recognisable and distinct from other long marks.
std::string SafeFileName(std::string_view mark);

// Report file names: by mark or row number, never twice the same (case
// folded, as Windows compares names).
class ReportNames {
public:
    ReportNames() = default;
    // Names that would land on one of claims' files in folder (the
    // schedule being read, the output) are passed over as well.
    ReportNames(std::filesystem::path folder, const FileClaims* claims)
        : folder_(std::move(folder)), claims_(claims) {}
    std::string Next(std::string_view mark, long long row);
    // The name the last Next() passed over for a claimed file, or empty.
    const std::string& passedOver() const { return passedOver_; }

private:
    std::unordered_set<std::string> used_;
    std::filesystem::path folder_;
    const FileClaims* claims_ = nullptr;
    std::string passedOver_;
};

// The folder made when missing and shown to take files (failed, with its
// cause, when it cannot be made or takes none).
Outcome PrepareReportFolder(const std::filesystem::path& folder);

// One report per computed row (rows with an error have none), named as
// ReportNames gives, never over one of claims' files (the open schedule).
// Stops at the first file that fails. count: the report files written.
// bookSections: when given, each report's part of the combined book is
// added to it, so that the book takes the rows as computed here.
Outcome WriteBeamReports(const std::filesystem::path& folder, const std::vector<ScheduleRow>& rows,
                             const std::vector<ShownResult>& results, const ReportOptions& options,
                             const ProgressCallback& progress = {}, const FileClaims* claims = nullptr,
                             std::string* bookSections = nullptr);

// The combined book as UTF-8 text with CR LF line ends: the summary, then
// each computed beam's report (sections: as WriteBeamReports made them;
// else computed here).
std::string CalculationBookText(const std::vector<ScheduleRow>& rows, const std::vector<ShownResult>& results,
                                std::string_view dateText, const std::string* sections = nullptr);

// The combined book, encoded for options.charset, written atomically.
Outcome WriteCalculationBook(const std::filesystem::path& path, const std::vector<ScheduleRow>& rows,
                                  const std::vector<ShownResult>& results, const ReportOptions& options,
                                  const std::string* sections = nullptr);

}  // namespace quorvane
