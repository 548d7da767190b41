#include "scheduletable.h"

#include <QCompleter>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStringList>

#include "qttext.h"
#include "row.h"

namespace quorvane {

bool ScheduleTable::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (frozen_ && index.isValid() && index.column() == 0 && !isColumnHidden(0))
        return frozen_->EditHere(index, trigger, event);
    return QTableView::edit(index, trigger, event);
}

// Tab (Shift+Tab) out of a mark edited in the frozen column goes on along
// the row in the table it covers, to the next cell that takes typing (the
// results may stand beside the mark): the frozen column's own next cell
// would be the next row's mark.
void ScheduleTable::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    const bool along = hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem;
    if (!covered_ || !along) {
        QTableView::closeEditor(editor, hint);
        return;
    }
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    const QModelIndex from = covered_->currentIndex();
    if (!from.isValid()) return;
    const int step = hint == QAbstractItemDelegate::EditNextItem ? 1 : -1;
    const QHeaderView* header = covered_->horizontalHeader();
    for (int place = covered_->Step(header->visualIndex(from.column()), step); place >= 0 && place < header->count();
         place = covered_->Step(place, step)) {
        const QModelIndex next = from.siblingAtColumn(header->logicalIndex(place));
        if (!(next.flags() & Qt::ItemIsEditable)) continue;
        // The keys go on into it (the window gives the table back its focus as an editor closes).
        covered_->selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect);
        return;
    }
}

bool ScheduleTable::Filled(int row, int place) const {
    const int column = horizontalHeader()->logicalIndex(place);
    return !model()->index(row, column).data().toString().isEmpty();
}

// The next place from place in the direction step, past hidden columns.
int ScheduleTable::Step(int place, int step) const {
    const QHeaderView* header = horizontalHeader();
    do place += step;
    while (step != 0 && place >= 0 && place < header->count() && header->isSectionHidden(header->logicalIndex(place)));
    return place;
}

QPoint ScheduleTable::EdgeFrom(int row, int place, int rowStep, int placeStep) const {
    const int rows = model()->rowCount(), places = horizontalHeader()->count();
    const auto inside = [&](int r, int p) { return r >= 0 && r < rows && p >= 0 && p < places; };
    int r = row + rowStep, p = Step(place, placeStep);
    if (!inside(r, p)) return {place, row};
    if (Filled(row, place) && Filled(r, p)) {
        while (inside(r + rowStep, Step(p, placeStep)) && Filled(r + rowStep, Step(p, placeStep))) {
            r += rowStep;
            p = Step(p, placeStep);
        }
        return {p, r};
    }
    while (inside(r, p) && !Filled(r, p)) {
        if (!inside(r + rowStep, Step(p, placeStep))) break;  // none: the edge itself
        r += rowStep;
        p = Step(p, placeStep);
    }
    return {p, r};
}

void ScheduleTable::keyPressEvent(QKeyEvent* event) {
    const QModelIndex current = currentIndex();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (current.isValid() && (mods & Qt::ControlModifier) && !(mods & (Qt::AltModifier | Qt::MetaModifier))) {
        int rowStep = 0, placeStep = 0;
        switch (event->key()) {
            case Qt::Key_Up: rowStep = -1; break;
            case Qt::Key_Down: rowStep = 1; break;
            case Qt::Key_Left: placeStep = -1; break;
            case Qt::Key_Right: placeStep = 1; break;
            default: break;
        }
        if (rowStep || placeStep) {
            const QPoint to =
                EdgeFrom(current.row(), horizontalHeader()->visualIndex(current.column()), rowStep, placeStep);
            const QModelIndex target = model()->index(to.y(), horizontalHeader()->logicalIndex(to.x()));
            if (mods & Qt::ShiftModifier) {
                // The block from the cell where the selection began out to the edge.
                QItemSelection block;
                const int from = std::min(horizontalHeader()->visualIndex(current.column()), to.x()),
                          upto = std::max(horizontalHeader()->visualIndex(current.column()), to.x());
                for (int place = from; place <= upto; ++place) {
                    const int column = horizontalHeader()->logicalIndex(place);
                    block.select(model()->index(std::min(current.row(), to.y()), column),
                                 model()->index(std::max(current.row(), to.y()), column));
                }
                selectionModel()->select(block, QItemSelectionModel::ClearAndSelect);
            } else {
                selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
            }
            scrollTo(target);
            return;
        }
        if (event->key() == Qt::Key_Space && !(mods & Qt::ShiftModifier)) {
            selectionModel()->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Columns);
            return;
        }
    }
    // Enter (Shift+Enter) moves down (up) when no cell is being edited, as in Excel.
    if (current.isValid() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (mods == Qt::NoModifier || mods == Qt::ShiftModifier) && state() != EditingState) {
        const QModelIndex next = current.siblingAtRow(current.row() + (mods == Qt::ShiftModifier ? -1 : 1));
        if (next.isValid()) selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect);
        return;
    }
    // Ctrl+End: the last beam's last cell, not the empty row below it.
    if (mods == Qt::ControlModifier && event->key() == Qt::Key_End && model()->rowCount() > 1) {
        const int place = Step(horizontalHeader()->count(), -1);
        const QModelIndex last = model()->index(model()->rowCount() - 2, horizontalHeader()->logicalIndex(place));
        selectionModel()->setCurrentIndex(last, QItemSelectionModel::ClearAndSelect);
        scrollTo(last);
        return;
    }
    // (the current cell stays where it is, as in Excel)
    if (current.isValid() && mods == Qt::ShiftModifier && event->key() == Qt::Key_Space) {
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return;
    }
    QTableView::keyPressEvent(event);
}

bool ScheduleDelegate::eventFilter(QObject* editor, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (line && (key->modifiers() & Qt::ControlModifier) &&
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            const QString text = line->text();
            emit closeEditor(line, NoHint);
            emit fillRequested(text);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(editor, event);
}

QWidget* ScheduleDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    const ScheduleColumn column = ColumnAt(static_cast<std::size_t>(index.column()));
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line && column.kind == ColumnKind::Input && !MaterialsFor(column.index).empty()) {
        line->setContextMenuPolicy(Qt::CustomContextMenu);
        const int at = index.column();
        auto* self = const_cast<ScheduleDelegate*>(this);  // (createEditor is const; the signal is not)
        connect(line, &QWidget::customContextMenuRequested, self, [self, line, at](const QPoint& point) {
            emit self->editorMenuRequested(line, at, line->mapToGlobal(point));
        });
    }
    if (!line || column.kind != ColumnKind::Material) return editor;
    const std::size_t weight = MaterialWeight(column.index);
    QStringList names;
    for (const Material* m : MaterialsFor(weight)) names << FromUtf8(MaterialName(weight, *m));
    auto* completer = new QCompleter(names, line);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    line->setCompleter(completer);
    line->setAccessibleName(FromUtf8(kMaterialFields[column.index].caption));
    line->setAccessibleDescription(QStringLiteral("输入材料名称的一部分,列出 GB 50009-2012 表A 中的材料"));
    return editor;
}

}  // namespace quorvane
