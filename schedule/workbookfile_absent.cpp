// The workbook side of a build made without the workbook library: a
// workbook is recognised and refused with a message, never read as text.
#include "workbookfile.h"

#include "document.h"

namespace quorvane {
namespace {

Outcome NoWorkbooks() { return Failed("这个版本不能读 Excel 工作簿;请在 Excel 中另存为 CSV"); }

}  // namespace

bool LooksLikeWorkbook(std::string_view bytes) { return bytes.substr(0, 4) == std::string_view("PK\x03\x04", 4); }

std::string RecogniseExcelFile(std::string_view) { return {}; }

Outcome ListWorkbookSheets(std::string_view, std::vector<SheetListing>&) { return NoWorkbooks(); }

Outcome FindWorkbookSheet(std::string_view, std::string_view, std::size_t&) { return NoWorkbooks(); }

Outcome ReadWorkbookSchedule(std::shared_ptr<const std::string>, std::size_t, CsvLayout&, std::vector<ScheduleRow>&,
                             const std::function<bool(double)>&) {
    return NoWorkbooks();
}

Outcome WorkbookFileBytes(const CsvLayout&, const std::vector<ScheduleRow>&, const std::vector<ShownResult>&,
                          WorkbookSave&) {
    return NoWorkbooks();
}

}  // namespace quorvane
