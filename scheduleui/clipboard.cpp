#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMainWindow>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTableView>
#include <QUndoStack>

#include <algorithm>
#include <set>

#include "commands.h"
#include "csv.h"
#include "dialogs.h"
#include "htmltable.h"
#include "pasteplan.h"
#include "qttext.h"
#include "schedulemodel.h"

namespace quorvane {
namespace {

constexpr int kRowsBetweenProgress = 4096;

// The selected cells as tab-separated text, left to right as on screen
// (whatever order the file keeps); the CAD load column alone as the
// calculator's copy command gives it; one cell: its text alone.
std::string CopiedText(const ShownTable& table, QModelIndexList selected) {
    std::sort(selected.begin(), selected.end(), [](const QModelIndex& a, const QModelIndex& b) {
        return a.row() != b.row() ? a.row() < b.row() : a.column() < b.column();
    });
    const ScheduleModel& model = *table.model();
    const QSortFilterProxyModel& proxy = *table.proxy();
    const int cad = static_cast<int>(PositionOf({ColumnKind::Result, kCadInputLoad}));
    std::string text;
    if (std::all_of(selected.begin(), selected.end(), [cad](const QModelIndex& i) { return i.column() == cad; })) {
        for (const QModelIndex& index : selected) {
            if (!text.empty()) text += '\n';
            const int row = proxy.mapToSource(index).row();
            if (!model.IsEmptyRow(row)) text += model.results()[static_cast<std::size_t>(row)].copied();
        }
        return text;
    }
    PasteArea block;
    table.SelectedBlock(block, nullptr);
    const std::vector<int> shown = table.Columns();
    const auto* selection = table.view()->selectionModel();
    for (int r = block.top; r < block.top + block.rows; ++r) {
        std::vector<std::string> cells;
        for (int place = block.left; place < block.left + block.columns; ++place) {
            const int c = shown[static_cast<std::size_t>(place)];
            const QModelIndex index = proxy.index(r, c);
            cells.push_back(selected.size() == 1 || selection->isSelected(index)
                                ? model.CellString(proxy.mapToSource(index).row(), c)
                                : std::string());
        }
        AppendTabRecord(text, cells);
    }
    if (selected.size() == 1) text.pop_back();
    return text;
}

// The cells a paste filled, selected as Excel leaves them, the block's
// top-left cell current: a fill or a delete that follows takes them all.
void SelectPasted(const ShownTable& table, int top, int rows, const std::vector<int>& columns) {
    const QAbstractItemModel* shown = table.proxy();
    const int bottom = std::min(top + rows, shown->rowCount()) - 1;
    QItemSelection pasted;
    int first = -1;
    for (const int column : columns) {
        if (column < 0 || bottom < top) continue;
        pasted.select(shown->index(top, column), shown->index(bottom, column));
        if (first < 0 || table.Place(column) < table.Place(first)) first = column;
    }
    if (pasted.isEmpty()) return;
    QItemSelectionModel* selection = table.view()->selectionModel();
    selection->setCurrentIndex(shown->index(top, first), QItemSelectionModel::NoUpdate);
    selection->select(pasted, QItemSelectionModel::ClearAndSelect);
}

}  // namespace

void ScheduleClipboard::Copy(const ShownTable& table) {
    const QModelIndexList selected = table.SelectedCells();
    if (!selected.isEmpty()) QGuiApplication::clipboard()->setText(FromUtf8(CopiedText(table, selected)));
}

void ScheduleClipboard::Cut(const ShownTable& table) {
    Copy(table);
    CutCells cut;
    cut.model = table.model();
    cut.text = QGuiApplication::clipboard()->text();
    for (const QModelIndex& index : table.SelectedCells()) {
        const int row = table.proxy()->mapToSource(index).row();
        if (!table.model()->IsEmptyRow(row)) cut.cells.emplace_back(row, index.column());
    }
    cut_ = std::move(cut);
    window_->statusBar()->showMessage(
        QStringLiteral("已剪切 %1 个单元格:粘贴到别处即移动过去").arg(cut_.cells.size()), 8000);
}

bool ScheduleClipboard::Paste(const ShownTable& table, QUndoStack& undo, const QString& text, const QString& html) {
    auto block = [&text] {
        const QByteArray utf8 = text.toUtf8();  // gone once parsed
        return ParseTabSeparated(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    }();
    if (!html.isEmpty()) TakeFullValues(block, ReadHtmlTable(ToUtf8(html)));
    while (!block.empty() && block.back().size() == 1 && block.back()[0].empty()) block.pop_back();
    if (block.empty()) {
        dialogs_->Inform(window_, QStringLiteral("剪贴板里没有可以粘贴的表格内容。"));
        return false;
    }
    // The selection's top-left cell, as Excel pastes; else the current cell.
    PasteArea area;
    bool whole = false;
    table.SelectedBlock(area, &whole);
    // Only a whole rectangle is filled; a scattered selection takes the block once.
    if (!whole) area.rows = area.columns = 1;
    const std::vector<int> shown = table.Columns();
    PastePlan plan = PlanPaste(std::move(block), area, shown, &ScheduleModel::IsEditableColumn);
    QString leftOut;
    for (const std::string& cell : plan.leftOut)
        leftOut +=
            (leftOut.isEmpty() ? QString() : QStringLiteral("、")) + "“" + FromUtf8(MessageExcerpt(cell)) + "”";
    if (Refused(plan, area, shown.size(), leftOut)) return false;
    std::vector<CellEdit> edits;
    int appended = 0;
    const int pastedRows = static_cast<int>(plan.records.size());  // (the edits take the records)
    if (!MakeEdits(table, plan, edits, appended)) return false;
    // The cells cut (Ctrl+X) and pasted here are moved: emptied where the
    // block did not land, in the same step, undone together.
    const bool moving = cut_.model == table.model() && text == cut_.text;
    if (moving) MoveCutCells(edits);
    cut_ = {};
    undo.push(new ChangeCellsCommand(table.model(), std::move(edits), appended,
                                     moving ? QStringLiteral("移动") : QStringLiteral("粘贴")));
    SelectPasted(table, plan.top, pastedRows, plan.columns);
    // Columns a header named that the table does not have are said, never shifted into others.
    if (!leftOut.isEmpty())
        window_->statusBar()->showMessage(QStringLiteral("没有粘贴这些列:%1 (梁表中没有这样的列)").arg(leftOut), 15000);
    return true;
}

// Whether the block would put values where the table takes none (said):
// a value that would land on a result column is never dropped unseen;
// only whole rows, as copied from this table, bring their results along.
bool ScheduleClipboard::Refused(const PastePlan& plan, const PasteArea& area, std::size_t shownColumns,
                                const QString& leftOut) {
    if (std::none_of(plan.columns.begin(), plan.columns.end(), [](int t) { return t >= 0; })) {
        dialogs_->Inform(window_, plan.byHeader && !leftOut.isEmpty()
                                      ? QStringLiteral("粘贴的列标题 %1 不是梁表的列,没有粘贴。").arg(leftOut)
                                      : QStringLiteral("粘贴的内容落在计算结果的列上;结果列由程序算出,不能粘贴。"));
        return true;
    }
    const bool wholeRows = !plan.byHeader && area.left == 0 && plan.columns.size() == shownColumns;
    if (plan.byHeader || wholeRows) return false;
    for (const auto& record : plan.records)
        for (std::size_t c = 0; c < record.size() && c < plan.columns.size(); ++c)
            if (plan.columns[c] < 0 && !record[c].empty()) {
                dialogs_->Inform(window_, QStringLiteral("粘贴的“%1”会落在计算结果的列上;结果列由程序算出,"
                                                         "不能粘贴。没有粘贴。")
                                              .arg(FromUtf8(MessageExcerpt(record[c]))));
                return true;
            }
    return false;
}

// The block's cells as edits of the rows they land on (past the last beam:
// new beams, counted in appended); false when the user stopped it.
bool ScheduleClipboard::MakeEdits(const ShownTable& table, PastePlan& plan, std::vector<CellEdit>& edits,
                                  int& appended) {
    std::vector<std::vector<std::string>>& records = plan.records;
    const std::vector<int>& targets = plan.columns;
    std::unique_ptr<ProgressReport> progress;
    if (records.size() > static_cast<std::size_t>(kRowsBetweenProgress))
        progress = dialogs_->StartProgress(window_, QStringLiteral("正在粘贴 %1 行...").arg(records.size()));
    edits.reserve(records.size() * targets.size());
    const int existing = table.model()->beamCount();  // from there on, the empty row and below: new beams
    for (std::size_t k = 0; k < records.size(); ++k) {
        const int viewRow = plan.top + static_cast<int>(k);
        const int row = viewRow < existing ? table.proxy()->mapToSource(table.proxy()->index(viewRow, 0)).row()
                                           : existing + appended++;
        for (std::size_t c = 0; c < records[k].size() && c < targets.size(); ++c)
            if (targets[c] >= 0) edits.push_back({row, targets[c], std::move(records[k][c])});
        std::vector<std::string>().swap(records[k]);  // the block shrinks as the edits grow
        if (progress && k % kRowsBetweenProgress == 0 &&
            !progress->Update(static_cast<double>(k) / static_cast<double>(records.size())))
            return false;
    }
    records = {};  // the parsed block, its texts moved out, gone before the table grows
    return true;
}

void ScheduleClipboard::MoveCutCells(std::vector<CellEdit>& edits) const {
    std::set<std::pair<int, int>> landed;
    for (const CellEdit& e : edits) landed.insert({e.row, e.column});
    std::vector<CellEdit> emptied;
    for (const auto& [row, column] : cut_.cells)
        if (!landed.count({row, column}) && ScheduleModel::IsEditableColumn(column)) emptied.push_back({row, column, {}});
    edits.insert(edits.begin(), std::make_move_iterator(emptied.begin()), std::make_move_iterator(emptied.end()));
}

void ScheduleClipboard::Clear(const ShownTable& table, QUndoStack& undo) {
    std::vector<CellEdit> edits;
    for (const QModelIndex& index : table.view()->selectionModel()->selectedIndexes()) {
        if (!ScheduleModel::IsEditableColumn(index.column())) continue;
        const int row = table.proxy()->mapToSource(index).row();
        if (!table.model()->CellString(row, index.column()).empty()) edits.push_back({row, index.column(), {}});
    }
    if (!edits.empty()) undo.push(new ChangeCellsCommand(table.model(), std::move(edits), 0, QStringLiteral("清除")));
}

}  // namespace quorvane
