// A schedule file as the 梁表 window holds it: the beams' marks and texts,
// and the file's own form (encoding, byte-order mark, line ends, its
// columns and their header texts), so that saving an unchanged schedule
// gives back the same bytes.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "csv.h"
#include "report.h"
#include "row.h"
#include "workbookfile.h"

namespace quorvane {

struct CsvLayout {
    TextEncoding encoding = TextEncoding::Utf8;
    bool byteOrderMark = true;  // a new file: so that Excel reads its Chinese right
    std::string lineEnd = "\r\n";
    bool finalLineEnd = true;
    std::vector<ScheduleColumn> columns;  // as the file had them
    std::vector<std::string> headers;     // their header texts as they stood
    bool keptBytes = false;               // bytes that did not decode, to be written back as they were
    std::shared_ptr<const WorkbookOrigin> workbook;  // read from a sheet of an Excel workbook
    CsvQuoting quoting = CsvQuoting::AsNeeded;  // Texts: every text cell was quoted (LibreOffice's option)
};

// The layout of a new schedule: every column, by field name, as
// quorvane-calc --csv writes it (which reads it back).
CsvLayout NewScheduleLayout();

// Called now and then while a long operation runs, with the part done
// (0..1); returning false cancels it.
using ProgressCallback = std::function<bool(double done)>;

// Reads a schedule CSV, or the first schedule sheet of an Excel workbook; the
// outcome's warnings name what the user should know (bytes kept as they
// were, cells beyond the header, a quote never closed). The header row must name known columns (field names
// or captions, each once); result columns are recomputed, not read. Rows
// keep their texts as they stand, refused ones too; a short row's missing
// cells get the default texts.
Outcome ReadScheduleFile(const std::filesystem::path& path, TextEncoding encoding, CsvLayout& layout,
                             std::vector<ScheduleRow>& rows, const ProgressCallback& progress = {});

// A schedule file's sheets as the 梁表 window opens them: a CSV file is
// one sheet (its name empty); a workbook gives each sheet that is a
// schedule, in tab order (the others are kept, not shown, and said so).
struct ScheduleSheet {
    std::string name;
    CsvLayout layout;
    std::vector<ScheduleRow> rows;
    std::vector<ShownResult> results;  // each row's, computed as it was read
};
Outcome ReadScheduleSheets(const std::filesystem::path& path, TextEncoding encoding, std::vector<ScheduleSheet>& sheets,
                           const ProgressCallback& progress = {});

// The same from bytes in memory.
Outcome ReadScheduleBytes(std::string bytes, TextEncoding encoding, CsvLayout& layout,
                              std::vector<ScheduleRow>& rows, const ProgressCallback& progress = {});

// The layout a save writes: layout's columns, with any input column that
// is missing from it but no longer holds its default in some row added at
// the end, a mark column when a row has a mark, and, withResults, the
// result, copied-load and error columns it lacks, all named in the
// header's own language.
CsvLayout SavedLayout(const CsvLayout& layout, const std::vector<ScheduleRow>& rows, bool withResults = false);

// The file's bytes in exactly that layout: rows in order, each with the
// results of results[i].
std::string ScheduleFileBytes(const CsvLayout& layout, const std::vector<ScheduleRow>& rows,
                              const std::vector<ShownResult>& results);

// Writes those bytes over path atomically: on failure the old file is whole.
Outcome SaveScheduleFile(const std::filesystem::path& path, const CsvLayout& layout,
                         const std::vector<ScheduleRow>& rows, const std::vector<ShownResult>& results);

}  // namespace quorvane
