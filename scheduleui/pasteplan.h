// Where a block pasted from a spreadsheet goes, decided as Excel decides
// it: at the top-left cell of the selection; a single value, or a block
// whose size divides the selection, repeated to fill it; a first row that
// names columns is a header, and its columns go by name. A block is never
// shifted: header cells that name no column are left out and listed.
#pragma once

#include <string>
#include <vector>

namespace quorvane {

struct PasteArea {
    int top = 0, left = 0, rows = 1, columns = 1;  // the selection in view rows and columns as shown
};

struct PastePlan {
    std::vector<std::vector<std::string>> records;  // the rows to place, in order from top
    std::vector<int> columns;                       // the model column of each cell of a record; -1: left out
    int top = 0;                                    // the view row of the first record
    bool byHeader = false;
    std::vector<std::string> leftOut;  // header cells that name no column, or name one twice
};

// records as ParseTabSeparated gives them; shown: the model column at
// each place on screen, left to right (a block lands as it is seen);
// editable says which model columns take text (results do not).
PastePlan PlanPaste(std::vector<std::vector<std::string>> records, const PasteArea& selection,
                    const std::vector<int>& shown, bool (*editable)(int column));

}  // namespace quorvane
