// One row of a beam schedule: its texts checked and computed exactly as the
// quick calculator does, and the columns a schedule has, by name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "csv.h"
#include "beam.h"
#include "loads.h"
#include "params.h"

namespace quorvane {

// One beam of a schedule: its mark and its texts. Texts never set are
// the window's defaults; a row of defaults holds no memory of its own.
// The texts lie packed in one buffer (row.cpp): a std::string per cell
// made a 10^6-row schedule thirty times its file.
class ScheduleRow {
public:
    ScheduleRow() = default;
    ScheduleRow(std::string_view mark, const InputTexts& texts);
    std::string_view mark() const;
    std::string_view text(std::size_t index) const;
    InputTexts texts() const;  // views, valid while the row is unchanged
    void SetMark(std::string_view mark);
    void SetText(std::size_t index, std::string_view text);
    // Why the file's record could not be taken as a beam (its cells do
    // not line up with the header), empty when it could. Such a row is
    // shown, saved and refused, never computed, until it is edited.
    std::string_view refusal() const;
    void SetRefusal(std::string_view why);
    // Which row of a workbook's sheet this beam is (an id the workbook
    // keeps, from 1), so that saving into the workbook finds the user's own
    // cells of that row; 0 for a row the file does not have (typed,
    // pasted, a copy).
    std::uint32_t origin() const { return origin_; }
    void SetOrigin(std::uint32_t row) { origin_ = row; }

private:
    std::string packed_;  // the mark, then the texts
    std::uint32_t origin_ = 0;
};

// The row computed as every program computes it: a refused row is its refusal.
BeamOutcome EvaluateRow(const ScheduleRow& row);

// What a table keeps of a row's result: the texts it shows.
class ShownResult {
public:
    ShownResult() = default;
    explicit ShownResult(const BeamOutcome& result);
    bool ok() const { return error().empty(); }
    bool IsRefused(std::size_t index) const { return (refused_ >> index) & 1u; }
    std::string_view result(std::size_t index) const { return Field(index); }
    std::string_view copied() const { return Field(kResultCount); }
    std::string_view error() const { return Field(kResultCount + 1); }

private:
    std::string_view Field(std::size_t index) const;
    std::string packed_;  // the four results, the copied load, the error
    std::uint32_t refused_ = 0;
};

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

// Column c (0 .. kScheduleColumnCount-1) of the full layout: Mark, the
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
                          const BeamTexts& texts, const BeamOutcome& result, std::string_view lineEnd);
void AppendScheduleRecord(std::string& out, const std::vector<ScheduleColumn>& columns, const ScheduleRow& row,
                          const ShownResult& result, std::string_view lineEnd,
                          CsvQuoting quoting = CsvQuoting::AsNeeded);

// The text a row shows in a column (the same as its CSV cell).
std::string_view CellText(ScheduleColumn column, std::string_view mark, const BeamTexts& texts,
                          const BeamOutcome& result);
std::string_view CellText(ScheduleColumn column, const ScheduleRow& row, const ShownResult& result);

}  // namespace quorvane
