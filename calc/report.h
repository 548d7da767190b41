// The calculation report: 25 lines that show every formula with its
// numbers, built as UTF-8 by a pure function and written by a separate
// writer that encodes it and hands it to the file service (files.h).
#pragma once

#include <array>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

#include "files.h"
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

// How a report is written: its date text (line 24) and the character set
// of the file. The window and the command-line tool pass the system's own.
struct ReportOptions {
    std::string date;     // as it should stand after "Date："
    std::string charset;  // see EncodeReport in encoding.h
};

// The current local date and time and the system's code page.
ReportOptions SystemReportOptions();

// The report of one calculation, written by ReplaceFileAtomically.
Outcome WriteCalculationReport(const std::filesystem::path& path, const LoadInputs& in,
                                    const LoadResults& r,
                                    const ReportOptions& options);
// The same from its text (ReportText), for a caller that also keeps it.
Outcome WriteCalculationReport(const std::filesystem::path& path, std::string_view text,
                               const ReportOptions& options);

}  // namespace quorvane
