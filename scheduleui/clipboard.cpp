// The 梁表 window and the clipboard: copying cells as Excel puts them,
// pasting a block where Excel would, clearing cells.
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTableView>

#include <algorithm>
#include <limits>

#include "commands.h"
#include "csv.h"
#include "pasteplan.h"
#include "qttext.h"
#include "schedulewindow.h"

namespace quorvane {
namespace {

constexpr int kRowsBetweenProgress = 4096;

}  // namespace

void ScheduleWindow::CopySelection() {
    CommitEdit();
    QModelIndexList selected = view_->selectionModel()->selectedIndexes();
    if (selected.isEmpty() && view_->currentIndex().isValid()) selected << view_->currentIndex();
    if (selected.isEmpty()) return;
    std::sort(selected.begin(), selected.end(), [](const QModelIndex& a, const QModelIndex& b) {
        return a.row() != b.row() ? a.row() < b.row() : a.column() < b.column();
    });
    const int cad = static_cast<int>(PositionOf({ColumnKind::Result, kCadInputLoad}));
    const bool cadOnly = std::all_of(selected.begin(), selected.end(),
                                     [cad](const QModelIndex& i) { return i.column() == cad; });
    std::string text;
    if (cadOnly) {
        // The CAD load as the quick calculator's copy command gives it.
        for (const QModelIndex& index : selected) {
            if (!text.empty()) text += '\n';
            const int row = proxy_->mapToSource(index).row();
            if (!model_->IsEmptyRow(row)) text += model_->results()[static_cast<std::size_t>(row)].copied();
        }
    } else {
        int top = selected.front().row(), bottom = top, left = selected.front().column(), right = left;
        for (const QModelIndex& i : selected) {
            top = std::min(top, i.row());
            bottom = std::max(bottom, i.row());
            left = std::min(left, i.column());
            right = std::max(right, i.column());
        }
        const auto* selection = view_->selectionModel();
        for (int r = top; r <= bottom; ++r) {
            std::vector<std::string> cells;
            for (int c = left; c <= right; ++c) {
                const QModelIndex index = proxy_->index(r, c);
                cells.push_back(selected.size() == 1 || selection->isSelected(index)
                                    ? model_->CellString(proxy_->mapToSource(index).row(), c)
                                    : std::string());
            }
            AppendTabRecord(text, cells);
        }
        if (selected.size() == 1) text.pop_back();  // one cell: its text alone
    }
    QGuiApplication::clipboard()->setText(FromUtf8(text));
}

bool ScheduleWindow::Paste() { return PasteText(QGuiApplication::clipboard()->text()); }

bool ScheduleWindow::PasteText(const QString& text) {
    auto block = [&text] {
        const QByteArray utf8 = text.toUtf8();  // gone once parsed
        return ParseTabSeparated(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    }();
    while (!block.empty() && block.back().size() == 1 && block.back()[0].empty()) block.pop_back();
    if (block.empty()) {
        dialogs_->Inform(this, QStringLiteral("剪贴板里没有可以粘贴的表格内容。"));
        return false;
    }
    // The selection's top-left cell, as Excel pastes; else the current cell.
    PasteArea area;
    const QModelIndexList selected = view_->selectionModel()->selectedIndexes();
    if (!selected.isEmpty()) {
        int bottom = 0, right = 0;
        area.top = area.left = std::numeric_limits<int>::max();
        for (const QModelIndex& i : selected) {
            area.top = std::min(area.top, i.row());
            area.left = std::min(area.left, i.column());
            bottom = std::max(bottom, i.row());
            right = std::max(right, i.column());
        }
        // Only a whole rectangle is filled; a scattered selection takes the block once.
        if (static_cast<long long>(bottom - area.top + 1) * (right - area.left + 1) == selected.size()) {
            area.rows = bottom - area.top + 1;
            area.columns = right - area.left + 1;
        }
    } else if (view_->currentIndex().isValid()) {
        area.top = view_->currentIndex().row();
        area.left = view_->currentIndex().column();
    }
    PastePlan plan =
        PlanPaste(std::move(block), area, model_->columnCount(), &ScheduleModel::IsEditableColumn);
    QString leftOut;
    for (const std::string& cell : plan.leftOut)
        leftOut +=
            (leftOut.isEmpty() ? QString() : QStringLiteral("、")) + "“" + FromUtf8(MessageExcerpt(cell)) + "”";
    if (std::none_of(plan.columns.begin(), plan.columns.end(), [](int t) { return t >= 0; })) {
        dialogs_->Inform(this,
                         plan.byHeader && !leftOut.isEmpty()
                             ? QStringLiteral("粘贴的列标题 %1 不是梁表的列,没有粘贴。").arg(leftOut)
                             : QStringLiteral("粘贴的内容落在计算结果的列上;结果列由程序算出,不能粘贴。"));
        return false;
    }
    std::vector<std::vector<std::string>>& records = plan.records;
    const std::vector<int>& targets = plan.columns;
    const int startRow = plan.top;
    std::unique_ptr<ProgressReport> progress;
    if (records.size() > static_cast<std::size_t>(kRowsBetweenProgress))
        progress = dialogs_->StartProgress(this, QStringLiteral("正在粘贴 %1 行...").arg(records.size()));
    std::vector<CellEdit> edits;
    edits.reserve(records.size() * targets.size());
    const int existing = model_->beamCount();  // from there on, the empty row and below: new beams
    int appended = 0;
    for (std::size_t k = 0; k < records.size(); ++k) {
        const int viewRow = startRow + static_cast<int>(k);
        const int row = viewRow < existing ? proxy_->mapToSource(proxy_->index(viewRow, 0)).row()
                                           : existing + appended++;
        for (std::size_t c = 0; c < records[k].size() && c < targets.size(); ++c)
            if (targets[c] >= 0) edits.push_back({row, targets[c], std::move(records[k][c])});
        std::vector<std::string>().swap(records[k]);  // the block shrinks as the edits grow
        if (progress && k % kRowsBetweenProgress == 0 &&
            !progress->Update(static_cast<double>(k) / static_cast<double>(records.size())))
            return false;
    }
    records = {};  // the parsed block, its texts moved out, gone before the table grows
    undo_->push(new ChangeCellsCommand(model_, std::move(edits), appended, QStringLiteral("粘贴")));
    // Columns a header named that the table does not have are said, never shifted into others.
    if (!leftOut.isEmpty())
        statusBar()->showMessage(QStringLiteral("没有粘贴这些列:%1 (梁表中没有这样的列)").arg(leftOut));
    return true;
}

void ScheduleWindow::ClearSelection() {
    std::vector<CellEdit> edits;
    for (const QModelIndex& index : view_->selectionModel()->selectedIndexes()) {
        if (!ScheduleModel::IsEditableColumn(index.column())) continue;
        const int row = proxy_->mapToSource(index).row();
        if (!model_->CellString(row, index.column()).empty()) edits.push_back({row, index.column(), {}});
    }
    if (!edits.empty())
        undo_->push(new ChangeCellsCommand(model_, std::move(edits), 0, QStringLiteral("清除")));
}

}  // namespace quorvane
