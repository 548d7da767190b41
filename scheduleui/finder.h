// 查找, 替换 and 定位 on the sheet shown: a text looked for in the marks
// and values (case aside) row by row as shown, from the cell after the
// current one; replaced in the marks and inputs; a mark gone to. What was
// looked for last is kept, so that F3 looks again.
#pragma once

#include <QString>

#include <vector>

#include "showntable.h"

class QWidget;

namespace quorvane {

class ScheduleDialogs;
struct CellEdit;

class ScheduleFinder {
public:
    // parent: where questions and messages are said.
    ScheduleFinder(QWidget* parent, ScheduleDialogs* dialogs) : parent_(parent), dialogs_(dialogs) {}

    // Asks what to find, then finds it; false when not found (said) or not asked.
    bool Find(const ShownTable& table);
    bool FindNext(const ShownTable& table);
    // Asks what and with what; the edits that replace it, and how many
    // times it was found (none: said).
    std::vector<CellEdit> Replace(const ShownTable& table, int& count);
    // That mark's beam made current (case and spaces aside), else the
    // first whose mark holds it; false when none (said) or not asked.
    bool GoToMark(const ShownTable& table);

private:
    void MakeCurrent(const ShownTable& table, int viewRow, int column) const;

    QWidget* parent_;
    ScheduleDialogs* dialogs_;
    QString found_;
};

}  // namespace quorvane
