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

}  // namespace quorvane
