// The undoable edits of the 梁表 window: each one a QUndoCommand over the
// model's Apply/Insert/Take, so undo gives back the table exactly.
#pragma once

#include <QUndoCommand>

#include <functional>
#include <vector>

#include "schedulemodel.h"

namespace quorvane {

// Cell texts changed, after appending rows of default texts when a paste
// runs past the end.
class ChangeCellsCommand : public QUndoCommand {
public:
    ChangeCellsCommand(ScheduleModel* model, std::vector<CellEdit> edits, int appendRows,
                       const QString& text);
    void redo() override;
    void undo() override;

private:
    ScheduleModel* model_;
    std::vector<CellEdit> after_, before_;
    std::vector<std::pair<int, std::string>> refused_;  // rows the file's reading refused, and why
    int append_;
};

// Rows put in at a position (new, pasted or duplicated).
class InsertRowsCommand : public QUndoCommand {
public:
    InsertRowsCommand(ScheduleModel* model, int at, std::vector<ScheduleRow> rows, const QString& text);
    void redo() override;
    void undo() override;

private:
    ScheduleModel* model_;
    int at_;
    std::vector<ScheduleRow> rows_;
};

// Rows taken out, wherever they are.
class RemoveRowsCommand : public QUndoCommand {
public:
    RemoveRowsCommand(ScheduleModel* model, std::vector<int> rows, const QString& text);
    void redo() override;
    void undo() override;

private:
    ScheduleModel* model_;
    std::vector<int> indices_;  // ascending
    std::vector<ScheduleRow> removed_;
};

// A change of the window's own (a sheet added, taken out, renamed, moved):
// what it does and what undoes it.
class FunctionCommand : public QUndoCommand {
public:
    FunctionCommand(const QString& text, std::function<void()> redo, std::function<void()> undo)
        : QUndoCommand(text), redo_(std::move(redo)), undo_(std::move(undo)) {}
    void redo() override { redo_(); }
    void undo() override { undo_(); }

private:
    std::function<void()> redo_, undo_;
};

}  // namespace quorvane
