#include "commands.h"

#include <algorithm>

namespace quorvane {

ChangeCellsCommand::ChangeCellsCommand(ScheduleModel* model, std::vector<CellEdit> edits, int appendRows,
                                       const QString& text)
    : QUndoCommand(text), model_(model), after_(std::move(edits)), append_(appendRows) {
    // The old texts of rows that exist now; rows the command adds are taken
    // away whole on undo and need none.
    for (const CellEdit& e : after_) {
        if (model_->IsEmptyRow(e.row)) continue;
        before_.push_back({e.row, e.column, model_->CellString(e.row, e.column)});
        const std::string_view why = model_->rows()[static_cast<std::size_t>(e.row)].refusal();
        if (!why.empty() && (refused_.empty() || refused_.back().first != e.row)) refused_.emplace_back(e.row, why);
    }
    std::reverse(before_.begin(), before_.end());  // undone last to first
}

void ChangeCellsCommand::redo() {
    model_->Append(append_);
    model_->Apply(after_);
}

void ChangeCellsCommand::undo() {
    model_->Apply(before_);
    for (const auto& [row, why] : refused_) model_->Refuse(row, why);
    if (append_ > 0) model_->Take(model_->beamCount() - append_, append_);
}

InsertRowsCommand::InsertRowsCommand(ScheduleModel* model, int at, std::vector<ScheduleRow> rows,
                                     const QString& text)
    : QUndoCommand(text), model_(model), at_(at), rows_(std::move(rows)) {}

void InsertRowsCommand::redo() { model_->Insert(at_, rows_); }

void InsertRowsCommand::undo() { model_->Take(at_, static_cast<int>(rows_.size())); }

RemoveRowsCommand::RemoveRowsCommand(ScheduleModel* model, std::vector<int> rows, const QString& text)
    : QUndoCommand(text), model_(model), indices_(std::move(rows)) {
    std::sort(indices_.begin(), indices_.end());
    indices_.erase(std::unique(indices_.begin(), indices_.end()), indices_.end());
}

// More runs than this go in one pass with one reset of the views: each
// removal would make the sort proxy walk the whole table again.
constexpr std::size_t kRunsRemovedOneByOne = 32;

namespace {

std::size_t Runs(const std::vector<int>& sorted) {
    std::size_t runs = sorted.empty() ? 0 : 1;
    for (std::size_t i = 1; i < sorted.size(); ++i) runs += sorted[i] != sorted[i - 1] + 1 ? 1 : 0;
    return runs;
}

}  // namespace

void RemoveRowsCommand::redo() {
    removed_.clear();
    if (Runs(indices_) > kRunsRemovedOneByOne) {
        removed_ = model_->TakeScattered(indices_);
        return;
    }
    removed_.reserve(indices_.size());
    // From the bottom, in runs, so the indices above stay valid.
    for (std::size_t end = indices_.size(); end > 0;) {
        std::size_t begin = end - 1;
        while (begin > 0 && indices_[begin - 1] == indices_[begin] - 1) --begin;
        auto taken = model_->Take(indices_[begin], static_cast<int>(end - begin));
        removed_.insert(removed_.begin(), std::make_move_iterator(taken.begin()),
                        std::make_move_iterator(taken.end()));
        end = begin;
    }
}

void RemoveRowsCommand::undo() {
    if (Runs(indices_) > kRunsRemovedOneByOne) {
        model_->InsertScattered(indices_, std::move(removed_));
        removed_.clear();
        return;
    }
    for (std::size_t begin = 0; begin < indices_.size();) {
        std::size_t end = begin + 1;
        while (end < indices_.size() && indices_[end] == indices_[end - 1] + 1) ++end;
        model_->Insert(indices_[begin], std::vector<ScheduleRow>(removed_.begin() + static_cast<long>(begin),
                                                                 removed_.begin() + static_cast<long>(end)));
        begin = end;
    }
    removed_.clear();
}

}  // namespace quorvane
