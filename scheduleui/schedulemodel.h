// The 梁表 window's table: one row per beam over the schedule library, its
// results recomputed the moment a text changes, formatted only when the
// view asks, and below them an empty row, as in a spreadsheet: typing or
// pasting into it makes a beam, else it is nothing (never saved, counted
// or computed). An edit from the view goes to the window as a request (it
// makes the undo command); the commands change the rows through the
// Apply/Insert/Take calls.
#pragma once

#include <QAbstractTableModel>

#include <string>
#include <vector>

#include "document.h"
#include "row.h"

namespace quorvane {

struct CellEdit {
    int row;
    int column;  // a ColumnAt position: the mark or an input
    std::string text;
};

class ScheduleModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ScheduleModel(QObject* parent = nullptr);


    // A new document: these rows in this file form.
    // results: the rows' own when already computed (as a file's reader does).
    void Reset(std::vector<ScheduleRow> rows, CsvLayout layout, std::vector<ShownResult> results = {});
    const std::vector<ScheduleRow>& rows() const { return rows_; }
    int beamCount() const { return static_cast<int>(rows_.size()); }
    bool IsEmptyRow(int row) const { return row >= beamCount(); }
    const std::vector<ShownResult>& results() const { return results_; }
    const CsvLayout& layout() const { return layout_; }
    void SetLayout(CsvLayout layout) { layout_ = std::move(layout); }  // as the file was last saved
    // Each row's id in the workbook it was saved into (ScheduleRow::origin).
    void SetOrigins(const std::vector<std::uint32_t>& ids) {
        for (std::size_t i = 0; i < rows_.size() && i < ids.size(); ++i) rows_[i].SetOrigin(ids[i]);
    }

    // The text of a cell as a file or the clipboard has it.
    std::string CellString(int row, int column) const;
    static bool IsEditableColumn(int column);
    // For a unit weight or its material's cell: what to say when the weight
    // lies outside the range of the material named beside it; else empty.
    std::string MaterialNote(int row, int column) const;
    // edits with, for each material named in them, its weight (the upper
    // figure of a range) where they do not set that row's weight themselves.
    std::vector<CellEdit> WithMaterialWeights(std::vector<CellEdit> edits) const;

    // The changes the commands make. Each recomputes the rows it touches.
    void Apply(const std::vector<CellEdit>& edits);
    // A refusal from the file given back to its row (an edit undone).
    void Refuse(int row, std::string_view why);
    void Insert(int at, std::vector<ScheduleRow> rows);
    // count new rows of default texts at the end, made in place: a large
    // paste needs no second copy of them, nor a calculation each. The
    // empty row becomes the first of them (a view's place in it stays).
    void Append(int count);
    std::vector<ScheduleRow> Take(int at, int count);
    // Many scattered rows at once (rows sorted): one pass and one reset of
    // the views instead of a removal each. Insert puts rows[i] at rows[i]'s
    // final index at[i].
    std::vector<ScheduleRow> TakeScattered(const std::vector<int>& rows);
    void InsertScattered(const std::vector<int>& at, std::vector<ScheduleRow> rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Sorting reads this role: a number for numeric cells, else the text.
    static constexpr int kSortRole = Qt::UserRole + 1;

signals:
    // A cell typed into the view: the window applies it as an undoable
    // command (unconnected, nothing changes).
    void editRequested(const quorvane::CellEdit& edit);
    // A material column's cells changed (an edit, rows that name a material
    // added or taken, each undone or redone): the window shows the columns
    // in use, and only those.
    void materialsChanged();

private:
    void Recompute(int first, int last);

    std::vector<ScheduleRow> rows_;
    std::vector<ShownResult> results_;
    CsvLayout layout_;
};

}  // namespace quorvane
