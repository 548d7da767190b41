// quorvane-calc --csv: a schedule streamed in, each beam's results (and
// its report) out, row by row.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "csv.h"
#include "files.h"
#include "params.h"
#include "report.h"
#include "row.h"

namespace quorvane {

struct ScheduleOptions {
    std::optional<std::filesystem::path> reportDir;  // one report per computed row
    std::function<void(std::string_view)> progress;  // shows a progress line, when set
    std::string outputName;  // the output file, as messages name it; empty for standard output
    std::string inputName;   // the schedule file, as messages name it; empty for standard input
    // How the input is read (Auto: found out); the output is written the
    // same way, with a byte-order mark when the input had one, so that a
    // file from Excel opens back in Excel with its marks intact.
    TextEncoding encoding = TextEncoding::Auto;
    // The files the run reads and writes: no report lands on one of them.
    FileClaims claims;
    // Each row as read and its outcome (a refused row's: why), in order,
    // for what is written after the run from the rows it computed.
    std::function<void(std::string_view mark, const BeamTexts& texts, const MaterialTexts& materials,
                       const BeamOutcome& outcome)>
        rowSeen;
    // A floor of a building (a workbook's sheet): its name goes in a first
    // column 楼层 of every row, the header written only with floorHeader.
    std::string floor;
    bool floorHeader = true;
    // The reports' date and code page, read from the system once for the
    // whole run by the caller: every report of a run bears one date.
    ReportOptions report;
};

// Reads the schedule from in and writes the results to out (none: the
// rows are only computed, reported and seen), streaming row
// by row. A row that the window would refuse, or whose calculation fails,
// carries its message in the Error column and the others go on: count is
// the number of such rows. A usage or file error (unknown column,
// unreadable input, unwritable output, report folder or report) is !ok
// with the message; out may hold part of the output then. Warnings: bytes
// kept as they were, a report that took another name.
Outcome RunSchedule(std::FILE* in, std::FILE* out, const ScheduleOptions& options);
// The same from a reader made already.
Outcome RunSchedule(CsvReader& reader, std::FILE* out, const ScheduleOptions& options);
// The same over rows read already (a workbook's sheet, its columns as
// given), written in UTF-8, with a byte-order mark when asked.
Outcome RunScheduleRows(const std::vector<ScheduleColumn>& columns, const std::vector<ScheduleRow>& rows,
                        std::FILE* out, bool byteOrderMark, const ScheduleOptions& options);

// The tool's exit code for a run: 0 every row computed, 1 some row failed,
// 2 a usage or file error.
int ExitCodeOf(const Outcome& run);

}  // namespace quorvane
