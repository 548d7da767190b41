// The 梁表 window and the clipboard: copying cells as Excel puts them,
// pasting a block where Excel would, clearing cells.
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTableView>

#include <algorithm>
#include <limits>
#include <set>

#include "commands.h"
#include "csv.h"
#include "htmltable.h"
#include "pasteplan.h"
#include "qttext.h"
#include "schedulewindow.h"

namespace quorvane {
namespace {

constexpr int kRowsBetweenProgress = 4096;

}  // namespace

// The model column at each place on screen, left to right.
int ScheduleWindow::ShownPlace(int column) const {
    const std::vector<int> shown = ShownColumns();
    const auto at = std::find(shown.begin(), shown.end(), column);
    return at == shown.end() ? -1 : static_cast<int>(at - shown.begin());
}

std::vector<int> ScheduleWindow::ShownColumns() const {
    const QHeaderView* header = view_->horizontalHeader();
    std::vector<int> shown;
    for (int place = 0; place < header->count(); ++place)
        if (!header->isSectionHidden(header->logicalIndex(place))) shown.push_back(header->logicalIndex(place));
    return shown;
}

// The cells selected, or the current one when none is.
QModelIndexList ScheduleWindow::SelectedCells() const {
    QModelIndexList selected = view_->selectionModel()->selectedIndexes();
    if (selected.isEmpty() && view_->currentIndex().isValid()) selected << view_->currentIndex();
    return selected;
}

// The smallest block of cells, as shown, that holds the selection (or the
// current cell); false when there is neither.
bool ScheduleWindow::SelectedBlock(PasteArea& block, bool* whole) const {
    const QModelIndexList selected = SelectedCells();
    if (selected.isEmpty()) return false;
    const std::vector<int> shown = ShownColumns();
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

void ScheduleWindow::CopySelection() {
    CommitEdit();
    QModelIndexList selected = SelectedCells();
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
        // Left to right as on screen, whatever order the file keeps.
        PasteArea block;
        SelectedBlock(block, nullptr);
        const std::vector<int> shown = ShownColumns();
        const auto* selection = view_->selectionModel();
        for (int r = block.top; r < block.top + block.rows; ++r) {
            std::vector<std::string> cells;
            for (int place = block.left; place < block.left + block.columns; ++place) {
                const int c = shown[static_cast<std::size_t>(place)];
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

// As Excel cuts: the cells stay until the paste moves them; any change
// in between (or another cut or copy) forgets the cut.
void ScheduleWindow::CutSelection() {
    CopySelection();
    Cut cut;
    cut.model = model_;
    cut.text = QGuiApplication::clipboard()->text();
    for (const QModelIndex& index : SelectedCells()) {
        const int row = proxy_->mapToSource(index).row();
        if (!model_->IsEmptyRow(row)) cut.cells.emplace_back(row, index.column());
    }
    cut_ = std::move(cut);
    statusBar()->showMessage(QStringLiteral("已剪切 %1 个单元格:粘贴到别处即移动过去").arg(cut_.cells.size()), 8000);
}

// The text flavour places the cells; where another spreadsheet also gave
// its HTML, a number shown rounded there comes in at its full value.
bool ScheduleWindow::Paste() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    const QString html = mime && mime->hasHtml() ? mime->html() : QString();
    return PasteText(QGuiApplication::clipboard()->text(), html);
}

bool ScheduleWindow::PasteText(const QString& text, const QString& html) {
    auto block = [&text] {
        const QByteArray utf8 = text.toUtf8();  // gone once parsed
        return ParseTabSeparated(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    }();
    if (!html.isEmpty()) TakeFullValues(block, ReadHtmlTable(ToUtf8(html)));
    while (!block.empty() && block.back().size() == 1 && block.back()[0].empty()) block.pop_back();
    if (block.empty()) {
        dialogs_->Inform(this, QStringLiteral("剪贴板里没有可以粘贴的表格内容。"));
        return false;
    }
    // The selection's top-left cell, as Excel pastes; else the current cell.
    PasteArea area;
    bool whole = false;
    SelectedBlock(area, &whole);
    // Only a whole rectangle is filled; a scattered selection takes the block once.
    if (!whole) area.rows = area.columns = 1;
    const std::vector<int> shown = ShownColumns();
    PastePlan plan = PlanPaste(std::move(block), area, shown, &ScheduleModel::IsEditableColumn);
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
    // A value that would land on a result column is never dropped unseen;
    // only whole rows, as copied from this table, bring their results along.
    const bool wholeRows = !plan.byHeader && area.left == 0 && plan.columns.size() == shown.size();
    if (!plan.byHeader && !wholeRows) {
        for (const auto& record : plan.records)
            for (std::size_t c = 0; c < record.size() && c < plan.columns.size(); ++c)
                if (plan.columns[c] < 0 && !record[c].empty()) {
                    dialogs_->Inform(this, QStringLiteral("粘贴的“%1”会落在计算结果的列上;结果列由程序算出,"
                                                          "不能粘贴。没有粘贴。")
                                               .arg(FromUtf8(MessageExcerpt(record[c]))));
                    return false;
                }
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
    // The cells cut (Ctrl+X) and pasted here are moved: emptied where the
    // block did not land, in the same step, undone together.
    const bool moving = cut_.model == model_ && text == cut_.text;
    if (moving) {
        std::set<std::pair<int, int>> landed;
        for (const CellEdit& e : edits) landed.insert({e.row, e.column});
        std::vector<CellEdit> emptied;
        for (const auto& [row, column] : cut_.cells)
            if (!landed.count({row, column}) && ScheduleModel::IsEditableColumn(column))
                emptied.push_back({row, column, {}});
        edits.insert(edits.begin(), std::make_move_iterator(emptied.begin()), std::make_move_iterator(emptied.end()));
    }
    cut_ = {};
    undo_->push(new ChangeCellsCommand(model_, std::move(edits), appended,
                                       moving ? QStringLiteral("移动") : QStringLiteral("粘贴")));
    // Columns a header named that the table does not have are said, never shifted into others.
    if (!leftOut.isEmpty())
        statusBar()->showMessage(QStringLiteral("没有粘贴这些列:%1 (梁表中没有这样的列)").arg(leftOut), 15000);
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
