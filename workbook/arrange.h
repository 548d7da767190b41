// A workbook's sheets added, renamed, reordered and removed, the rest of
// the package left as it was: the sheet list in the workbook part, its
// relationships and content types, and the parts of sheets added or gone.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::workbook {

struct SheetPlace {
    std::optional<std::size_t> from;  // the workbook's sheet it is (index in tab order), or none: new
    std::string name;
    std::string xml;  // a new sheet's part
};

// The package with exactly these sheets in this order: existing ones keep
// their parts (renamed where the name differs), new ones are added, the
// sheets not placed are removed with their parts. A name scoped to a sheet
// follows it, or goes with it. Nothing (with why) when the package does
// not read as a workbook.
std::optional<std::string> ArrangeSheets(std::string_view package, const std::vector<SheetPlace>& places,
                                         std::string& message);

// A workbook of no sheets yet (the parts every workbook has), for ArrangeSheets to fill.
std::string EmptyWorkbook();

// A new sheet's part with no cells yet, for WriteSheet to fill.
std::string NewSheetXml();

}  // namespace quorvane::workbook
