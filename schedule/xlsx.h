// The schedule as an Excel workbook: a header row of captions, numbers as
// numbers (the value each text reads as), the result columns shaded, the
// header and the mark column frozen.
#pragma once

#include <filesystem>
#include <vector>

#include "document.h"
#include "report.h"
#include "row.h"

namespace quorvane {

// Written to a temporary file beside path, then renamed over it: on failure
// an old file of that name is whole.
Outcome ExportXlsx(const std::filesystem::path& path, const std::vector<ScheduleRow>& rows,
                        const std::vector<ShownResult>& results);

}  // namespace quorvane
