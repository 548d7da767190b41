#include "showntable.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <algorithm>
#include <limits>

#include "schedulemodel.h"

namespace quorvane {

std::vector<int> ShownTable::Columns() const {
    const QHeaderView* header = view_->horizontalHeader();
    std::vector<int> shown;
    for (int place = 0; place < header->count(); ++place)
        if (!header->isSectionHidden(header->logicalIndex(place))) shown.push_back(header->logicalIndex(place));
    return shown;
}

int ShownTable::Place(int column) const {
    const std::vector<int> shown = Columns();
    const auto at = std::find(shown.begin(), shown.end(), column);
    return at == shown.end() ? -1 : static_cast<int>(at - shown.begin());
}

int ShownTable::ModelRow(int viewRow) const {
    const int row = proxy_->mapToSource(proxy_->index(viewRow, 0)).row();
    return model_->IsEmptyRow(row) ? model_->beamCount() : row;
}

QModelIndexList ShownTable::SelectedCells() const {
    QModelIndexList selected = view_->selectionModel()->selectedIndexes();
    if (selected.isEmpty() && view_->currentIndex().isValid()) selected << view_->currentIndex();
    return selected;
}

bool ShownTable::SelectedBlock(PasteArea& block, bool* whole) const {
    const QModelIndexList selected = SelectedCells();
    if (selected.isEmpty()) return false;
    const std::vector<int> shown = Columns();
    int top = std::numeric_limits<int>::max(), left = top, bottom = -1, right = -1;
    for (const QModelIndex& i : selected) {
        const auto at = std::find(shown.begin(), shown.end(), i.column());
        if (at == shown.end()) continue;  // (a hidden column)
        const int place = static_cast<int>(at - shown.begin());
        top = std::min(top, i.row());
        bottom = std::max(bottom, i.row());
        left = std::min(left, place);
        right = std::max(right, place);
    }
    block = {top, left, bottom - top + 1, right - left + 1};
    if (whole) *whole = static_cast<long long>(block.rows) * block.columns == selected.size();
    return true;
}

std::vector<CellEdit> FillEdits(const ShownTable& table, bool down) {
    PasteArea block;
    if (!table.SelectedBlock(block, nullptr)) return {};
    int& start = down ? block.top : block.left;
    int& size = down ? block.rows : block.columns;
    if (size == 1) {
        if (start == 0) return {};
        --start;
        ++size;
    }
    const std::vector<int> shown = table.Columns();
    std::vector<CellEdit> edits;
    for (int r = block.top; r < block.top + block.rows; ++r)
        for (int place = block.left; place < block.left + block.columns; ++place) {
            const int column = shown[static_cast<std::size_t>(place)];
            if ((down ? r : place) == start || !ScheduleModel::IsEditableColumn(column)) continue;
            const int from = down ? column : shown[static_cast<std::size_t>(block.left)];
            edits.push_back(
                {table.ModelRow(r), column, table.model()->CellString(table.ModelRow(down ? block.top : r), from)});
        }
    return edits;
}

std::vector<CellEdit> FillSelectionEdits(const ShownTable& table, const std::string& text) {
    std::vector<CellEdit> edits;
    for (const QModelIndex& index : table.SelectedCells())
        if (ScheduleModel::IsEditableColumn(index.column())) edits.push_back({table.ModelRow(index.row()), index.column(), text});
    return edits;
}

}  // namespace quorvane
