// The 梁表 window's table as a spreadsheet user's hands expect it:
// Ctrl+arrow to the edge of the data, Ctrl+Space / Shift+Space to select
// a column / row, Enter down, Ctrl+End to the last beam (its last row is
// the empty one below the beams), the mark typed into the frozen column that stays on top
// of it (not under it, unseen), and Ctrl+Enter in a cell's editor to fill
// the whole selection with what was typed.
#pragma once

#include <QStyledItemDelegate>
#include <QTableView>

class QLineEdit;

namespace quorvane {

class ScheduleTable : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;
    // The view laid over this one's first column: its cells are edited there.
    void SetFrozen(ScheduleTable* frozen) {
        frozen_ = frozen;
        frozen->covered_ = this;
    }
    bool EditHere(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
        return QTableView::edit(index, trigger, event);
    }
    // Where Ctrl+arrow goes from (row, place) as shown, as Excel decides:
    // along a run of filled cells to its end, else to the next filled
    // cell, else to the table's edge.
    int Step(int place, int step) const;
    QPoint EdgeFrom(int row, int place, int rowStep, int placeStep) const;

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    bool Filled(int row, int place) const;
    ScheduleTable* frozen_ = nullptr;
    ScheduleTable* covered_ = nullptr;  // (the frozen column's:) the table it lies over
};

class ScheduleDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    // A material's cell offers Table A's names for its weight as they are typed.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

signals:
    // Ctrl+Enter in an editor: the text for every selected cell (the
    // editor is closed without writing its own cell alone).
    void fillRequested(const QString& text);
    // A right click (or the menu key) in an editor: its context menu is the
    // window's, which adds the standard's materials to a unit weight's.
    void editorMenuRequested(QLineEdit* editor, int column, const QPoint& global);

protected:
    bool eventFilter(QObject* editor, QEvent* event) override;
};

}  // namespace quorvane
