// The calculation report: 25 lines that show every formula with its
// numbers, built as UTF-8 by a pure function and written by a separate
// writer that encodes and replaces the file atomically.
#pragma once

#include <array>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

#include "loads.h"

namespace quorvane {

// The product's web address: report footer and About window.
inline constexpr std::string_view kWebAddress = "http://quorvane.cn";

inline constexpr std::string_view kReportFileName = "计算过程.txt";

constexpr std::size_t kReportLineCount = 25;
using ReportLines = std::array<std::string, kReportLineCount>;

// The 25 lines (without line ends) of one finished calculation; dateText is
// line 24's date and time as it should stand.
ReportLines BuildReportLines(const LoadInputs& in, const LoadResults& r, std::string_view dateText);

// The lines joined, each ended by CR LF, in UTF-8.
std::string ReportText(const ReportLines& lines);

// Date form of a local time: "2026-12-10 08:30:05".
std::string FormatReportDate(const std::tm& local);

// The current local date and time in date form; on Windows in the user's
// short date and time format instead.
std::string CurrentReportDate();

struct WriteOutcome {
    bool ok = true;
    std::string message;  // Chinese, naming the path and the reason, when !ok
};

// Writes bytes as the whole new content of path: into a temporary file in
// the same folder, then renamed over the old one, so a failure at any point
// leaves the old file whole and no half report behind.
WriteOutcome ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// The report of one calculation, in the system's code page (see
// encoding.h), dated now, written by ReplaceFileAtomically.
WriteOutcome WriteCalculationReport(const std::filesystem::path& path, const LoadInputs& in,
                                    const LoadResults& r);

// Creates path as an empty file when neither a file nor a folder of that
// name exists; an existing report is never touched.
WriteOutcome EnsureReportFileExists(const std::filesystem::path& path);

// A path shown to the user in a message, as UTF-8.
std::string PathForMessage(const std::filesystem::path& path);

}  // namespace quorvane
