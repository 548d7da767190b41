// A schedule kept in an Excel workbook: a sheet's cells read as beams by
// the same header rule as a CSV file, and saved back into that sheet so
// that the rest of the workbook (other sheets, formulas, formats) stays
// as the user left it.
//
//   file bytes ─ WorkbookSheets ─ names, which sheets are schedules
//              ─ ReadWorkbookSchedule(sheet) ─ layout + rows (each knowing
//                its sheet row) ─ … edited in the window …
//              ─ PlanWorkbookSave ─ what cannot be kept (said before saving)
//              ─ WorkbookFileBytes ─ the package with that sheet rewritten
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files.h"
#include "row.h"

namespace quorvane {

struct CsvLayout;
struct SavedSheet;
namespace workbook {
struct SharedStrings;
}

// The sheet a schedule came from: what a save into it needs.
struct WorkbookOrigin {
    std::shared_ptr<const std::string> package;  // the file's bytes as read
    std::vector<std::string> sheetNames;         // every sheet, in tab order
    std::size_t sheet = 0;                       // which of them
    std::uint32_t headerRow = 0;                 // from 1
    std::vector<ScheduleColumn> kinds;           // the schedule's columns the sheet has...
    std::vector<std::uint32_t> columns;          // ...and where: their sheet columns (from 0)
    // Per row id (ScheduleRow::origin, from 1): its row in the sheet now,
    // 0 once a save has taken it out of the file, and a fingerprint of its
    // texts as the file holds them (a row that still matches is not
    // written; one that does not is compared cell by cell with the file).
    std::vector<std::uint32_t> rowOfId;
    std::vector<std::uint64_t> readPrint;
    std::vector<std::uint64_t> loadPrint;  // and of its load cells (results, copied load, error)
    // The sheet as the last save wrote it (its XML, where its rows lie,
    // its deflated pieces), so that the next save neither reads the sheet
    // again nor deflates what did not change; used only while the package
    // still holds those very bytes.
    std::shared_ptr<const SavedSheet> saved;
    // The workbook's shared strings as read, for a save not to read them again.
    std::shared_ptr<const workbook::SharedStrings> strings;
};

// Whether bytes begin as a zip archive (an .xlsx does).
bool LooksLikeWorkbook(std::string_view bytes);

// What a file that is an Excel file but no .xlsx is (an encrypted
// workbook, an .xls), as the reason a message gives; empty otherwise.
std::string RecogniseExcelFile(std::string_view bytes);

// The workbook's sheets in tab order.
struct SheetListing {
    std::string name;
    bool schedule = false;  // its first filled row names schedule columns
    std::string damage;     // why its cells could not be read (a part missing or damaged), else empty
};
Outcome ListWorkbookSheets(std::string_view bytes, std::vector<SheetListing>& sheets);

// The sheet ReadWorkbookSchedule reads when told this: the first that is a
// schedule (a notes sheet may come first), else the first.
inline constexpr std::size_t kFirstScheduleSheet = static_cast<std::size_t>(-1);

// Reads sheet (index from 0) as a schedule: the first filled row is the
// header, each later row with a cell under it a beam (its texts as shown,
// an empty cell as empty text); cells beside the header's columns are not
// read. A cell that does not read (a formula without its value, a damaged
// shared string) is a warning naming it (一层!E2), and its text is one the
// row refuses.
Outcome ReadWorkbookSchedule(std::shared_ptr<const std::string> bytes, std::size_t sheet, CsvLayout& layout,
                             std::vector<ScheduleRow>& rows, const std::function<bool(double)>& progress = {});

// Finds a sheet by its name or number ("2"); the message says which exist.
Outcome FindWorkbookSheet(std::string_view bytes, std::string_view wanted, std::size_t& sheet);

// A save into the workbook, made: its bytes, the sheet as it then is,
// each row's id in it (ScheduleRow::SetOrigin), and what it does not keep
// as it was (rows that move while formulas, merged cells or the like
// point at them; a protected sheet), one reason a line: said before the
// bytes are written.
struct WorkbookSave {
    std::shared_ptr<const std::string> bytes;
    std::shared_ptr<const WorkbookOrigin> origin;
    std::vector<std::uint32_t> ids;
    std::string losses;
};

// The workbook's new bytes: the schedule's sheet with the rows written in,
// every other part copied as it was. layout is the layout the save writes
// (SavedLayout): its load columns are brought up to date (a load the file
// shows that is no longer the row's is never left standing), and only
// where they differ from what the file holds.
Outcome WorkbookFileBytes(const CsvLayout& layout, const std::vector<ScheduleRow>& rows,
                          const std::vector<ShownResult>& results, WorkbookSave& save);

// A floor of the window as it goes into a workbook: the sheet of the file
// it was read from (none: a new sheet), its name, and its beams in the
// layout a save writes.
struct FloorInBook {
    std::optional<std::size_t> fromFile;
    std::string name;
    const CsvLayout* layout = nullptr;
    const std::vector<ScheduleRow>* rows = nullptr;
    const std::vector<ShownResult>* results = nullptr;
};

// The workbook (package; none: a new one) with its floors as given, in
// that order, among the sheets that are not floors (kept where they
// were); the floors in dropped (sheets of the file) are taken out. New
// floors get sheets of their own. out: the bytes; origins: each floor's
// sheet in them (ids: its rows', for a new floor 1..n); losses: formulas
// elsewhere that name a floor renamed or taken out.
struct ArrangedBook {
    std::shared_ptr<const std::string> bytes;
    std::vector<std::shared_ptr<const WorkbookOrigin>> origins;
    std::vector<std::vector<std::uint32_t>> ids;  // per new floor; empty for one read from the file
    std::string losses;
};
Outcome ArrangeWorkbookFloors(std::shared_ptr<const std::string> package, const std::vector<FloorInBook>& floors,
                              const std::vector<std::size_t>& dropped, ArrangedBook& book);

}  // namespace quorvane
