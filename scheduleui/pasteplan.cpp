#include "pasteplan.h"

#include <algorithm>

#include "row.h"

namespace quorvane {

PastePlan PlanPaste(std::vector<std::vector<std::string>> records, const PasteArea& selection,
                    const std::vector<int>& shown, bool (*editable)(int column)) {
    PastePlan plan;
    plan.top = selection.top;
    if (records.empty()) return plan;
    const HeaderMatch header = MatchHeader(records.front());
    if (header.header) {
        plan.byHeader = true;
        for (int position : header.positions)
            plan.columns.push_back(position >= 0 && editable(position) ? position : -1);
        plan.leftOut = header.unknown;
        plan.leftOut.insert(plan.leftOut.end(), header.repeated.begin(), header.repeated.end());
        records.erase(records.begin());
        plan.records = std::move(records);
        return plan;
    }
    std::size_t width = 0;
    for (const auto& record : records) width = std::max(width, record.size());
    for (auto& record : records) record.resize(width);
    const auto height = records.size();
    // A single value or a block that divides the selection fills it.
    const bool fills = (selection.rows > 1 || selection.columns > 1) &&
                       static_cast<std::size_t>(selection.rows) % height == 0 &&
                       static_cast<std::size_t>(selection.columns) % width == 0;
    if (fills) {
        std::vector<std::vector<std::string>> tiled(static_cast<std::size_t>(selection.rows));
        for (std::size_t r = 0; r < tiled.size(); ++r)
            for (std::size_t c = 0; c < static_cast<std::size_t>(selection.columns); ++c)
                tiled[r].push_back(records[r % height][c % width]);
        records = std::move(tiled);
        width = static_cast<std::size_t>(selection.columns);
    }
    for (std::size_t c = 0; c < width; ++c) {
        const auto place = static_cast<std::size_t>(selection.left) + c;
        const int column = place < shown.size() ? shown[place] : -1;
        plan.columns.push_back(column >= 0 && editable(column) ? column : -1);
    }
    plan.records = std::move(records);
    return plan;
}

}  // namespace quorvane
