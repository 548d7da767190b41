// Writing into a sheet without disturbing the rest of it: the sheet's XML
// is scanned once for where each row and cell lies, and a save rewrites
// only the rows it names; every other row, every cell it does not set and
// everything outside the cells (widths, merges, formats, drawings) keep
// their bytes. A cell that is set keeps its style; one that is cleared
// goes. Then the package is written anew around the one changed part.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::workbook {

// (Small: a save keeps the scan of a sheet of 10^5 rows between saves.)
struct ScannedCell {
    std::uint32_t column = 0;
    // The whole element, from the start of its row (a part is under 4 GiB);
    // its start tag ends at tagEnd.
    std::uint32_t begin = 0, end = 0, tagEnd = 0;
    std::uint32_t style = 0;  // the s attribute: its place in the scan's styles (0: none)
    bool formula = false;
    // Its formula names something (a cell, a name, a function) and so may
    // come out otherwise when computed again; 4800-300 does not.
    bool dependent = false;
};

struct ScannedRow {
    std::uint32_t number = 0;
    std::uint64_t begin = 0, end = 0, tagEnd = 0;
    // Its cells in column order, shared: a row a save keeps as it was moves
    // to its new place without copying them.
    std::shared_ptr<const std::vector<ScannedCell>> cellList;
    const std::vector<ScannedCell>& cells() const {
        static const std::vector<ScannedCell> none;
        return cellList ? *cellList : none;
    }
};

// A sheet's XML and where its parts lie.
struct SheetScan {
    std::string xml;
    std::vector<std::string> styles{std::string()};  // the cells' s attributes, each once; [0] none
    const std::string& StyleOf(const ScannedCell& cell) const { return styles[cell.style]; }
    std::vector<ScannedRow> rows;  // in row order
    std::uint64_t dataBegin = 0, dataEnd = 0;  // the content of sheetData (or, when empty, the empty tag itself)
    bool emptyData = false;
    std::string prefix;  // of the sheet's elements as written ("x:" or "")
    std::uint64_t dimensionBegin = 0, dimensionEnd = 0;  // the dimension tag, when there is one
    bool formulas = false;
    // Elements after the cells that point at cells by reference and so go
    // stale when rows move: "mergeCells", "conditionalFormatting", ...
    std::set<std::string> referencing;
    bool protectedSheet = false;  // sheetProtection
    std::uint32_t mergedRight = 0;  // the rightmost column (from 0) a merged range covers; 0: none beyond A
};

// Scans xml; empty when it reads, else why not (English, from the parser).
std::string ScanSheet(std::string xml, SheetScan& scan);

struct NewCell {
    std::uint32_t column = 0;
    std::string text;     // empty: the cell is removed
    bool number = false;  // written as a number (text a plain decimal), else as text
    std::string style;    // for a cell the row did not have: the style to give it
};

// A row of the new sheet that a save writes: built from the old row origin
// (0: none) with cells set, placed at target.
struct RowWrite {
    std::uint32_t origin = 0;
    std::uint32_t target = 0;
    std::vector<NewCell> cells;
};

struct SheetEdit {
    std::vector<RowWrite> rows;
    std::set<std::uint32_t> removed;  // old rows that go (and are no row's origin)
};

// The sheet's new XML: old rows neither written nor removed stay where
// they were, byte for byte. Nothing (with why) when two rows would land
// on one number. formulasTouched: a formula cell was removed, replaced or
// moved (the workbook's calculation chain no longer holds).
std::optional<std::string> WriteSheet(const SheetScan& scan, const SheetEdit& edit, bool& formulasTouched,
                                      std::string& message);
// The same, with where the new sheet's parts lie: the scan ScanSheet would
// make of its XML, without reading it again.
std::optional<SheetScan> RewriteSheet(const SheetScan& scan, const SheetEdit& edit, bool& formulasTouched,
                                      std::string& message);

// An attribute of a start tag as written, found by its local name
// (whatever its prefix): its name as written and its value, or empty.
struct TagAttribute {
    std::string name, value;
};
TagAttribute FindAttribute(std::string_view tag, std::string_view local);

// A start tag as written with attribute name set to value (added when
// missing), or removed when value is empty.
std::string WithAttribute(std::string_view tag, std::string_view name, std::string_view value);

// The workbook part asking for every formula to be computed again on
// opening (a value it depends on may have changed).
std::string WithFullCalcOnLoad(const std::string& workbookXml);

// A part's XML with the elements of the given local name whose attribute
// has the value removed (a relationship, a content-type override).
std::string WithoutElements(const std::string& xml, std::string_view name, std::string_view attribute,
                            std::string_view value);

}  // namespace quorvane::workbook
