// A sheet's table as the user sees it: its columns in their places on
// screen (moved, or hidden), its rows in the sort's order, and what is
// selected. The clipboard and the fills work in these terms, as Excel's
// do, whatever order the model keeps.
#pragma once

#include <QModelIndexList>

#include <string>
#include <vector>

#include "pasteplan.h"

class QSortFilterProxyModel;
class QTableView;

namespace quorvane {

class ScheduleModel;
struct CellEdit;

class ShownTable {
public:
    ShownTable(QTableView* view, QSortFilterProxyModel* proxy, ScheduleModel* model)
        : view_(view), proxy_(proxy), model_(model) {}

    QTableView* view() const { return view_; }
    QSortFilterProxyModel* proxy() const { return proxy_; }
    ScheduleModel* model() const { return model_; }

    // The model column at each place on screen, left to right.
    std::vector<int> Columns() const;
    // Where a column stands among those shown (-1: hidden).
    int Place(int column) const;
    // The model row a view row stands for; the empty row's is the next beam's.
    int ModelRow(int viewRow) const;
    // The cells selected, or the current one when none is.
    QModelIndexList SelectedCells() const;
    // The smallest block of cells, as shown, that holds the selection (or
    // the current cell); false when there is neither. whole: the selection
    // is the whole block.
    bool SelectedBlock(PasteArea& block, bool* whole) const;

private:
    QTableView* view_;
    QSortFilterProxyModel* proxy_;
    ScheduleModel* model_;
};

// Excel's fills: the selection's first row down it (a single row: the
// row above into it), or its first column right across it.
std::vector<CellEdit> FillEdits(const ShownTable& table, bool down);
// Ctrl+Enter: text into every selected cell that takes one.
std::vector<CellEdit> FillSelectionEdits(const ShownTable& table, const std::string& text);

}  // namespace quorvane
