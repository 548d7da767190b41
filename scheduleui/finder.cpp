#include "finder.h"

#include <QItemSelectionModel>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <algorithm>

#include "dialogs.h"
#include "qttext.h"
#include "schedulemodel.h"

namespace quorvane {

namespace {
const QString kFindLabel = QStringLiteral("查找内容 (梁号或数值):");
QString NotFound(const QString& text) { return QStringLiteral("梁表中没有找到“%1”。").arg(text); }
}  // namespace

bool ScheduleFinder::Find(const ShownTable& table) {
    const QString text = dialogs_->AskText(parent_, kFindLabel, found_);
    if (text.isEmpty()) return false;
    found_ = text;
    return FindNext(table);
}

// Round the table to the current cell again.
bool ScheduleFinder::FindNext(const ShownTable& table) {
    if (found_.isEmpty()) return Find(table);
    const std::vector<int> shown = table.Columns();
    const int places = static_cast<int>(shown.size()), rows = table.model()->beamCount();
    const QModelIndex current = table.view()->currentIndex();
    const long long start = current.isValid() && current.row() < rows
                                ? static_cast<long long>(current.row()) * places +
                                      std::max(0, table.Place(current.column()))
                                : -1;
    const long long cells = static_cast<long long>(rows) * places;
    for (long long k = 1; k <= cells; ++k) {
        const long long at = (start + k) % cells;
        const int row = static_cast<int>(at / places), column = shown[static_cast<std::size_t>(at % places)];
        if (table.proxy()->index(row, column).data().toString().contains(found_, Qt::CaseInsensitive)) {
            MakeCurrent(table, row, column);
            return true;
        }
    }
    dialogs_->Inform(parent_, NotFound(found_));
    return false;
}

std::vector<CellEdit> ScheduleFinder::Replace(const ShownTable& table, int& count) {
    count = 0;
    const QString what = dialogs_->AskText(parent_, kFindLabel, found_);
    if (what.isEmpty()) return {};
    const QString with = dialogs_->AskText(parent_, QStringLiteral("替换为:"), QString());
    if (with.isEmpty()) return {};
    found_ = what;
    const ScheduleModel& model = *table.model();
    std::vector<CellEdit> edits;
    for (int row = 0; row < model.beamCount(); ++row)
        for (int column = 0; column < model.columnCount(); ++column) {
            if (!ScheduleModel::IsEditableColumn(column)) continue;
            QString text = FromUtf8(model.CellString(row, column));
            const int here = static_cast<int>(text.count(what, Qt::CaseInsensitive));
            if (here == 0) continue;
            count += here;
            edits.push_back({row, column, ToUtf8(text.replace(what, with, Qt::CaseInsensitive))});
        }
    if (edits.empty()) dialogs_->Inform(parent_, NotFound(what));
    return edits;
}

bool ScheduleFinder::GoToMark(const ShownTable& table) {
    const QString wanted = dialogs_->AskText(parent_, QStringLiteral("定位到梁号:"), QString()).trimmed();
    if (wanted.isEmpty()) return false;
    const ScheduleModel& model = *table.model();
    int found = -1;
    for (int pass = 0; pass < 2 && found < 0; ++pass)
        for (int row = 0; row < model.beamCount() && found < 0; ++row) {
            const QString mark = FromUtf8(model.rows()[static_cast<std::size_t>(row)].mark()).trimmed();
            if (pass == 0 ? mark.compare(wanted, Qt::CaseInsensitive) == 0 : mark.contains(wanted, Qt::CaseInsensitive))
                found = row;
        }
    if (found < 0) {
        dialogs_->Inform(parent_, QStringLiteral("梁表中没有梁号“%1”。").arg(wanted));
        return false;
    }
    MakeCurrent(table, table.proxy()->mapFromSource(model.index(found, 0)).row(), 0);
    return true;
}

void ScheduleFinder::MakeCurrent(const ShownTable& table, int viewRow, int column) const {
    const QModelIndex index = table.proxy()->index(viewRow, column);
    table.view()->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    table.view()->scrollTo(index);
}

}  // namespace quorvane
