// One row of a beam schedule: its texts checked and computed exactly as the
// quick calculator does, and the columns a schedule has, by name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "loads.h"
#include "params.h"

namespace quorvane {

// What one beam's texts come to: results, or the first refused text, or
// the step that failed.
struct RowResult {
    Calculation calculation;    // valid when ok()
    std::string copied;         // the copy command's text of the CAD load
    std::string error;          // Chinese, empty when ok()
    std::uint32_t refused = 0;  // bit i: text i breaks its rule
    bool ok() const { return error.empty(); }
    bool IsRefused(std::size_t index) const { return (refused >> index) & 1u; }
};

// Checks every text by its rule (each refused one gets its bit; the error
// names the first), then computes. Never throws.
RowResult ComputeBeamRow(const BeamTexts& texts);

// The columns of a schedule, in the order the command-line tool writes them.
enum class ColumnKind { Mark, Input, Result, Copied, Error };

struct ScheduleColumn {
    ColumnKind kind;
    std::size_t index;  // parameter (Input) or ResultIndex (Result); 0 otherwise
    friend bool operator==(const ScheduleColumn& a, const ScheduleColumn& b) {
        return a.kind == b.kind && a.index == b.index;
    }
};

constexpr std::size_t kScheduleColumnCount = 1 + kInputCount + kResultCount + 2;

// Column c (0 .. kScheduleColumnCount-1) of the full layout: Mark, the 18
// inputs, the four results, the copied load, the error.
ScheduleColumn ColumnAt(std::size_t c);
std::size_t PositionOf(ScheduleColumn column);

// The column's name in a file ("Mark", "BeamWidth", "CadInputLoad"...).
std::string_view ColumnField(ScheduleColumn column);

// The column's caption as the window shows it: "梁宽度(mm)", "梁自重(KN/M)".
std::string ColumnCaption(ScheduleColumn column);

// A text as a message quotes it: at most 40 characters, control
// characters shown as \xNN, "…" where it was cut.
std::string MessageExcerpt(std::string_view text);

// The column a header cell names: the field name (letter case aside), the
// caption with or without its unit; blanks (the ideographic one too) are
// ignored and full-width letters, digits and brackets, as a Chinese input
// method types them, count as their ASCII forms. False when it names none.
bool FindColumn(std::string_view header, ScheduleColumn& column);

// A first row read as a header: each cell's column, the cells that name
// none, and whether it is a header at all (some cell names a column). One
// rule for files, the command line and a pasted block.
struct HeaderMatch {
    bool header = false;
    std::vector<int> positions;         // per cell: PositionOf its column, or -1
    std::vector<std::string> unknown;   // filled cells that name no column
    std::vector<std::string> repeated;  // cells that name a column an earlier cell named
};
HeaderMatch MatchHeader(const std::vector<std::string>& cells);

// The columns a header row names, in its order. Empty message when every
// cell names a column and none twice; else the message says which does not.
std::vector<ScheduleColumn> HeaderColumns(const std::vector<std::string>& header, std::string& message);

// Appends one beam as a CSV record of the given columns: its mark, its
// texts, and its results, or empty result cells and the error.
void AppendScheduleRecord(std::string& out, const std::vector<ScheduleColumn>& columns, std::string_view mark,
                          const BeamTexts& texts, const RowResult& result, std::string_view lineEnd);

// The text a row shows in a column (the same as its CSV cell).
std::string_view CellText(ScheduleColumn column, std::string_view mark, const BeamTexts& texts,
                          const RowResult& result);

}  // namespace quorvane
