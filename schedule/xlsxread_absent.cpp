// The workbook reader of a build made without minizip: a workbook is
// recognised and refused with a message, never read as text.
#include "xlsxread.h"

namespace quorvane {

bool LooksLikeWorkbook(std::string_view bytes) { return bytes.substr(0, 4) == std::string_view("PK\x03\x04", 4); }

WorkbookSheet ReadWorkbookSheet(std::string_view, std::size_t) {
    WorkbookSheet sheet;
    sheet.message = "这个版本不能读 Excel 工作簿;请在 Excel 中另存为 CSV";
    return sheet;
}

std::string SheetAsCsv(const WorkbookSheet&) { return {}; }

}  // namespace quorvane
