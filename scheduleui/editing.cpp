// The 梁表 window's spreadsheet commands: fills, find and replace, going
// to a mark. Each change is one undoable command.
#include <QAbstractItemDelegate>
#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTableView>

#include <memory>

#include "commands.h"
#include "materials.h"
#include "qttext.h"
#include "schedulewindow.h"

namespace quorvane {

// Edits of existing beams, and of the empty row (which becomes a beam).
void ScheduleWindow::PushEdits(std::vector<CellEdit> edits, const QString& text) {
    if (edits.empty()) return;
    const bool grows = std::any_of(edits.begin(), edits.end(), [this](const CellEdit& e) { return model_->IsEmptyRow(e.row); });
    const bool materials = std::any_of(edits.begin(), edits.end(), [](const CellEdit& e) {
        return ColumnAt(static_cast<std::size_t>(e.column)).kind == ColumnKind::Material;
    });
    undo_->push(new ChangeCellsCommand(model_, model_->WithMaterialWeights(std::move(edits)), grows ? 1 : 0, text));
    if (materials) ShowMaterialColumns(view_, *model_, false);
}

void ScheduleWindow::FillDown() { Fill(true); }

void ScheduleWindow::FillRight() { Fill(false); }

// The block's first row (or column, as shown) across the rest of it; a
// single row (column) takes the one above (left of) it.
void ScheduleWindow::Fill(bool down) {
    CommitEdit();
    const ShownTable table = Shown();
    PasteArea block;
    if (!table.SelectedBlock(block, nullptr)) return;
    int& start = down ? block.top : block.left;
    int& size = down ? block.rows : block.columns;
    if (size == 1) {
        if (start == 0) return;
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
            edits.push_back({table.ModelRow(r), column, model_->CellString(table.ModelRow(down ? block.top : r), from)});
        }
    PushEdits(std::move(edits), down ? QStringLiteral("向下填充") : QStringLiteral("向右填充"));
}

void ScheduleWindow::FillSelection(const QString& text) {
    std::vector<CellEdit> edits;
    const std::string utf8 = ToUtf8(text);
    const ShownTable table = Shown();
    for (const QModelIndex& index : table.SelectedCells())
        if (ScheduleModel::IsEditableColumn(index.column()))
            edits.push_back({table.ModelRow(index.row()), index.column(), utf8});
    PushEdits(std::move(edits), QStringLiteral("填充"));
}

bool ScheduleWindow::Find() {
    CommitEdit();
    const QString text = dialogs_->AskText(this, QStringLiteral("查找内容 (梁号或数值):"), found_);
    if (text.isEmpty()) return false;
    found_ = text;
    return FindNext();
}

// Row by row as shown, from the cell after the current one, round to it again.
bool ScheduleWindow::FindNext() {
    if (found_.isEmpty()) return Find();
    CommitEdit();
    const ShownTable table = Shown();
    const std::vector<int> shown = table.Columns();
    const int places = static_cast<int>(shown.size()), rows = model_->beamCount();
    const QModelIndex current = view_->currentIndex();
    const long long start = current.isValid() && current.row() < rows
                                ? static_cast<long long>(current.row()) * places +
                                      std::max(0, table.Place(current.column()))
                                : -1;
    const long long cells = static_cast<long long>(rows) * places;
    for (long long k = 1; k <= cells; ++k) {
        const long long at = (start + k) % cells;
        const QModelIndex index = proxy_->index(static_cast<int>(at / places), shown[static_cast<std::size_t>(at % places)]);
        if (index.data().toString().contains(found_, Qt::CaseInsensitive)) {
            view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
            view_->scrollTo(index);
            return true;
        }
    }
    dialogs_->Inform(this, QStringLiteral("梁表中没有找到“%1”。").arg(found_));
    return false;
}

int ScheduleWindow::Replace() {
    CommitEdit();
    const QString what = dialogs_->AskText(this, QStringLiteral("查找内容 (梁号或数值):"), found_);
    if (what.isEmpty()) return 0;
    const QString with = dialogs_->AskText(this, QStringLiteral("替换为:"), QString());
    if (with.isEmpty()) return 0;
    found_ = what;
    std::vector<CellEdit> edits;
    int count = 0;
    for (int row = 0; row < model_->beamCount(); ++row)
        for (int column = 0; column < model_->columnCount(); ++column) {
            if (!ScheduleModel::IsEditableColumn(column)) continue;
            QString text = FromUtf8(model_->CellString(row, column));
            const int here = static_cast<int>(text.count(what, Qt::CaseInsensitive));
            if (here == 0) continue;
            count += here;
            edits.push_back({row, column, ToUtf8(text.replace(what, with, Qt::CaseInsensitive))});
        }
    if (edits.empty()) {
        dialogs_->Inform(this, QStringLiteral("梁表中没有找到“%1”。").arg(what));
        return 0;
    }
    PushEdits(std::move(edits), QStringLiteral("替换"));
    statusBar()->showMessage(QStringLiteral("替换了 %1 处。").arg(count), 5000);
    return count;
}

// The beam of that mark (case and spaces aside), else the first whose mark holds it.
bool ScheduleWindow::GoToMark() {
    CommitEdit();
    const QString wanted = dialogs_->AskText(this, QStringLiteral("定位到梁号:"), QString()).trimmed();
    if (wanted.isEmpty()) return false;
    int found = -1;
    for (int pass = 0; pass < 2 && found < 0; ++pass)
        for (int row = 0; row < model_->beamCount() && found < 0; ++row) {
            const QString mark = FromUtf8(model_->rows()[static_cast<std::size_t>(row)].mark()).trimmed();
            if (pass == 0 ? mark.compare(wanted, Qt::CaseInsensitive) == 0 : mark.contains(wanted, Qt::CaseInsensitive))
                found = row;
        }
    if (found < 0) {
        dialogs_->Inform(this, QStringLiteral("梁表中没有梁号“%1”。").arg(wanted));
        return false;
    }
    const QModelIndex index = proxy_->mapFromSource(model_->index(found, 0));
    view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    view_->scrollTo(index);
    return true;
}

// A unit weight's editor: its own menu and the materials. A material
// picked ends the edit without writing what was typed over it.
void ScheduleWindow::EditorMenu(QAbstractItemDelegate* delegate, QLineEdit* editor, int column, const QPoint& at) {
    std::unique_ptr<QMenu> menu(editor->createStandardContextMenu());
    if (QMenu* materials = MaterialMenu(column, menu.get())) {
        menu->addSeparator();
        menu->addMenu(materials);
        const QPointer<QLineEdit> alive(editor);
        for (QAction* pick : materials->actions())
            connect(pick, &QAction::triggered, this, [delegate, alive] {
                if (alive) emit delegate->closeEditor(alive, QAbstractItemDelegate::NoHint);
            });
    }
    menu->exec(at);
}

// On a unit weight or its material's cell: picking sets both, in the
// selected rows of that column (the material's column shown from then on).
QMenu* ScheduleWindow::MaterialMenu(int column, QWidget* parent) {
    const ScheduleColumn kind = ColumnAt(static_cast<std::size_t>(column));
    std::size_t k = 0;
    while (k < kMaterialCount && !(kind == ScheduleColumn{ColumnKind::Input, MaterialWeight(k)} ||
                                   kind == ScheduleColumn{ColumnKind::Material, k}))
        ++k;
    if (k == kMaterialCount) return nullptr;
    const int weight = static_cast<int>(PositionOf({ColumnKind::Input, MaterialWeight(k)}));
    const int material = static_cast<int>(PositionOf({ColumnKind::Material, k}));
    auto* menu = new QMenu(QStringLiteral("常用材料 (GB 50009)(&M)"), parent);
    for (const Material* m : MaterialsFor(MaterialWeight(k))) {
        const QString name = FromUtf8(MaterialName(MaterialWeight(k), *m));
        menu->addAction(name + QStringLiteral("    ") + FromUtf8(MaterialRange(*m)), this,
                        [this, column, weight, material, m, name] {
                            std::vector<CellEdit> edits;
                            const ShownTable table = Shown();
                            for (const QModelIndex& index : table.SelectedCells()) {
                                if (index.column() != column) continue;
                                edits.push_back({table.ModelRow(index.row()), weight, m->high});
                                edits.push_back({table.ModelRow(index.row()), material, name.toStdString()});
                            }
                            PushEdits(std::move(edits), QStringLiteral("材料 %1").arg(name));
                        });
    }
    return menu;
}

void ScheduleWindow::AppendBeam(const HandedBeam& beam) {
    CommitEdit();
    ScheduleRow row;
    row.SetMark(beam.mark);
    for (std::size_t i = 0; i < kInputCount; ++i) row.SetText(i, beam.texts[i]);
    for (std::size_t k = 0; k < kMaterialCount; ++k) row.SetMaterial(k, beam.materials[k]);
    const int at = model_->beamCount();
    undo_->push(new InsertRowsCommand(model_, at, {std::move(row)}, QStringLiteral("从计算器添加")));
    ShowMaterialColumns(view_, *model_, false);
    const QModelIndex added = proxy_->mapFromSource(model_->index(at, 0));
    view_->selectionModel()->setCurrentIndex(added, QItemSelectionModel::ClearAndSelect);
    view_->scrollTo(added);
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
    statusBar()->showMessage(QStringLiteral("已从计算器添加一根梁 (第 %1 行)").arg(at + 1), 5000);
}

bool ScheduleWindow::OpenInCalculator() {
    CommitEdit();
    const int row = CurrentSourceRow();
    if (row < 0 || model_->IsEmptyRow(row)) {
        dialogs_->Inform(this, QStringLiteral("请先选中一根梁。"));
        return false;
    }
    const ScheduleRow& beam = model_->rows()[static_cast<std::size_t>(row)];
    HandedBeam handed;
    handed.mark = std::string(beam.mark());
    for (std::size_t i = 0; i < kInputCount; ++i) handed.texts[i] = std::string(beam.text(i));
    for (std::size_t k = 0; k < kMaterialCount; ++k) handed.materials[k] = std::string(beam.material(k));
#ifdef Q_OS_WIN
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/quorvane.exe");
#else
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/quorvane");
#endif
    QString reason;
    if (!SendBeam(Inbox::Calculator, handed, program, &reason)) {
        dialogs_->Inform(this, QStringLiteral("没有在计算器中打开:") + reason);
        return false;
    }
    statusBar()->showMessage(QStringLiteral("已在计算器中打开 %1").arg(FromUtf8(handed.mark)), 5000);
    return true;
}

}  // namespace quorvane
