// Beam schedules: a CSV of beams in, the window's results for each out.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "csv.h"
#include "files.h"

namespace quorvane {

struct ScheduleOptions {
    std::optional<std::filesystem::path> reportDir;  // one report per computed row
    std::function<void(std::string_view)> progress;  // shows a progress line, when set
    std::string outputName;  // the output file, as messages name it; empty for standard output
    // How the input is read (Auto: found out); the output is written the
    // same way, with a byte-order mark when the input had one, so that a
    // file from Excel opens back in Excel with its marks intact.
    TextEncoding encoding = TextEncoding::Auto;
    // The files the run reads and writes: no report lands on one of them.
    FileClaims claims;
};

enum ScheduleExit { kScheduleOk = 0, kScheduleRowErrors = 1, kScheduleUsageError = 2 };

// Reads the schedule from in and writes the results to out, streaming row
// by row. A row that the window would refuse, or whose calculation fails,
// carries its message in the Error column and the others go on. On a usage
// or file error (unknown column, unreadable input, unwritable output or
// report folder) message says why and the exit is kScheduleUsageError;
// nothing has been computed then, though out may hold part of the output.
// A report that cannot be written is such an error too. Otherwise message
// holds the run's warnings (bytes kept as they were, a report that took
// another name), or nothing.
ScheduleExit RunSchedule(std::FILE* in, std::FILE* out, const ScheduleOptions& options, std::string& message);
// The same from a reader made already (a workbook's sheet as CSV text).
ScheduleExit RunSchedule(CsvReader& reader, std::FILE* out, const ScheduleOptions& options, std::string& message);

// A mark made safe as a file name: characters that no file system takes
// become '_', blanks and dots at the ends go. Empty when nothing is left.
// A mark too long for a file name keeps its first 150 bytes (whole
// characters) and gains '~' and a hash of the whole mark, so that it stays
// recognisable and distinct from other long marks.
std::string SafeFileName(std::string_view mark);

}  // namespace quorvane
