// The 梁表's clipboard: cells copied as Excel puts them, a block pasted
// where Excel would (with the full values of another spreadsheet's HTML),
// cells cleared, and cut cells moved by the paste that follows. It acts on
// the sheet the window shows, handed in with each command.
#pragma once

#include <QString>

#include <string>
#include <utility>
#include <vector>

#include "showntable.h"

class QMainWindow;
class QUndoStack;

namespace quorvane {

class ScheduleDialogs;
struct CellEdit;
struct PastePlan;

class ScheduleClipboard {
public:
    // window: where messages are said (its dialogs, its status bar).
    ScheduleClipboard(QMainWindow* window, ScheduleDialogs* dialogs) : window_(window), dialogs_(dialogs) {}

    void Copy(const ShownTable& table);
    // As Excel cuts: the cells stay until the paste moves them; any change
    // in between (or another cut or copy) forgets the cut.
    void Cut(const ShownTable& table);
    void Forget() { cut_ = {}; }
    // Rows and columns of text as the clipboard carries them, at the
    // selection's top-left cell (false, said, when nothing usable);
    // html: the same table in HTML, for its cells' full values.
    bool Paste(const ShownTable& table, QUndoStack& undo, const QString& text, const QString& html);
    void Clear(const ShownTable& table, QUndoStack& undo);

private:
    bool Refused(const PastePlan& plan, const PasteArea& area, std::size_t shownColumns, const QString& leftOut);
    bool MakeEdits(const ShownTable& table, PastePlan& plan, std::vector<CellEdit>& edits, int& appended);
    void MoveCutCells(std::vector<CellEdit>& edits) const;

    QMainWindow* window_;
    ScheduleDialogs* dialogs_;
    // The cells of the last Ctrl+X, until a paste moves them.
    struct CutCells {
        const ScheduleModel* model = nullptr;
        QString text;                            // as put on the clipboard
        std::vector<std::pair<int, int>> cells;  // model row, column
    };
    CutCells cut_;
};

}  // namespace quorvane
