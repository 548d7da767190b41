// An Excel workbook (.xlsx) read as sheets of cells: the sheet list in tab
// order, the shared strings, and each sheet's rows streamed one at a time,
// every cell placed by its reference. Text as Excel stores it, a number as
// the shortest text that reads back as the same double. A cell that cannot
// be read faithfully (a shared string that is not there, a formula with no
// stored value) says so; it never reads as an empty cell.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "package.h"

namespace quorvane::workbook {

struct SheetEntry {
    std::string name;  // as the tab shows it
    std::string part;  // its path in the package ("xl/worksheets/sheet1.xml")
    bool hidden = false;
};

enum class CellState {
    Value,          // text holds what the cell shows
    MissingString,  // a shared-string index past the table (a damaged file)
    NoValue,        // a formula without its stored result (as scripts write them); text is "=" and the formula
};

struct Cell {
    std::uint32_t column = 0;  // from 0 (A)
    std::string text;
    CellState state = CellState::Value;
    bool formula = false;
};

// Called with each row that has cells, in the order the sheet lists them;
// row counts from 1, cells are in column order. Returning false stops.
using RowSink = std::function<bool(std::uint32_t row, const std::vector<Cell>& cells)>;

// "E2" for row 2 (from 1), column 4 (from 0).
std::string CellReference(std::uint32_t row, std::uint32_t column);
// The column's letters: 0 → "A", 26 → "AA".
std::string ColumnLetters(std::uint32_t column);
// "C12" → column 2 (from 0), row 12; false when it names no cell of a sheet.
bool ParseReference(std::string_view reference, std::uint32_t& column, std::uint32_t& row);

// What a file that is not a zip package but looks like an Excel file is,
// as a message (an encrypted workbook, an .xls); empty for anything else.
std::string RecogniseNonPackage(std::string_view bytes);

// Whether bytes begin as a zip archive (an .xlsx does).
bool LooksLikePackage(std::string_view bytes);

// A workbook's shared strings as read, with the part's bytes as stored
// (compressed) that they came from: a later reader of a package that
// stores the part the same takes them as they are.
struct SharedStrings {
    std::string part;
    std::string stored;
    std::string text;                 // every string, one after another
    std::vector<std::uint32_t> ends;  // where each ends in text
};

class WorkbookReader {
public:
    // bytes must outlive the reader.
    explicit WorkbookReader(std::string_view bytes);
    ~WorkbookReader();
    WorkbookReader(const WorkbookReader&) = delete;
    WorkbookReader& operator=(const WorkbookReader&) = delete;

    // Reads the sheet list and the shared strings (known: those read from
    // this package before, taken when it still stores them the same).
    // Empty when the workbook reads; else a message in Chinese (damaged,
    // no workbook, too large, no sheet where one is needed).
    std::string Open(bool sheetNeeded = true, std::shared_ptr<const SharedStrings> known = {});
    std::shared_ptr<const SharedStrings> sharedStrings() const { return strings_; }
    const std::vector<SheetEntry>& sheets() const { return sheets_; }
    // The workbook part and its relationships, as Open found them.
    const std::string& workbookPart() const { return workbookPart_; }

    // Streams sheet's rows to sink; progress (0..1, false cancels) now and
    // then. Empty when read whole; else a message in Chinese naming the
    // sheet; "cancelled" comes back as the text kCancelled.
    std::string ReadRows(std::size_t sheet, const RowSink& sink,
                         const std::function<bool(double)>& progress = {});
    static constexpr std::string_view kCancelled = "\x18";
    // The same over the sheet's XML as given (a part of it: some of its rows).
    std::string ReadRowsOf(std::size_t sheet, const std::string* xml, const RowSink& sink,
                           const std::function<bool(double)>& progress = {});

    Package& package() { return package_; }

private:
    std::string ReadSharedStrings(const std::string& part, std::shared_ptr<const SharedStrings> known);

    Package package_;
    bool emptyZip_ = false;
    std::vector<SheetEntry> sheets_;
    std::string workbookPart_;
    std::shared_ptr<const SharedStrings> strings_ = std::make_shared<const SharedStrings>();
};

// The message for a part that did not read, naming it.
std::string PartMessage(std::string_view part, PartStatus status);

// Excel writes characters XML cannot hold as _xHHHH_: the text with them
// turned back into characters.
std::string UnescapeExcel(std::string text);
// And the other way, for a text written into a cell.
std::string EscapeExcel(std::string_view text);

// A part's path resolved against the folder of the part that names it:
// "worksheets/sheet1.xml" from "xl/workbook.xml" is "xl/worksheets/sheet1.xml".
std::string ResolvePart(std::string_view from, std::string_view target);
// The relationships part of a part: "xl/_rels/workbook.xml.rels".
std::string RelationshipsOf(std::string_view part);

}  // namespace quorvane::workbook
