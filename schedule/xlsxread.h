// Reading an Excel workbook (.xlsx) as a schedule: the cells of one sheet
// as the rows of a CSV, so that the same header rules and row reading
// serve both. Text as Excel stores it (shared and inline strings), numbers
// as the shortest text that reads back as the same double.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// Whether bytes are a zip archive (an .xlsx starts as one).
bool LooksLikeWorkbook(std::string_view bytes);

struct WorkbookSheet {
    bool ok = false;
    std::string message;                         // why not, in Chinese
    std::string name;                            // the sheet's name
    std::vector<std::vector<std::string>> rows;  // UTF-8 cells; an empty row where the sheet has none
};

// The sheet at index (0: the first) of the workbook in bytes.
WorkbookSheet ReadWorkbookSheet(std::string_view bytes, std::size_t index = 0);

// The sheet as CSV text (UTF-8 with a byte-order mark, CR LF), as the CSV
// reader takes it.
std::string SheetAsCsv(const WorkbookSheet& sheet);

}  // namespace quorvane
