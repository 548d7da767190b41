// The .xlsx export of a build made without libxlsxwriter: said, never
// written as something else.
#include "xlsx.h"

namespace quorvane {

Outcome ExportXlsx(const std::filesystem::path& path, const std::vector<ScheduleRow>&,
                   const std::vector<ShownResult>&) {
    return Failed(FileMessage("无法导出 Excel 文件", path, "这个版本的程序不能写新的 Excel 工作簿;请写成 CSV"));
}

}  // namespace quorvane
