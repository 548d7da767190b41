// One row of a beam schedule: its texts checked and computed exactly as the
// quick calculator does, and the columns a schedule has, by name.
#pragma once

#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "csv.h"
#include "files.h"
#include "beam.h"
#include "loads.h"
#include "materials.h"
#include "params.h"

namespace quorvane {

// A row's material names, one per entry of kMaterialFields (empty: none).
constexpr std::size_t kMaterialCount = std::size(kMaterialFields);
using MaterialTexts = std::array<std::string_view, kMaterialCount>;

// The input (its index in kParams) whose weight material k names.
std::size_t MaterialWeight(std::size_t k);

// One beam of a schedule: its mark and its texts. Texts never set are
// the window's defaults; a row of defaults holds no memory of its own.
// The texts lie packed in one buffer (row.cpp): a std::string per cell
// made a 10^6-row schedule thirty times its file.
class ScheduleRow {
public:
    ScheduleRow() = default;
    ScheduleRow(std::string_view mark, const InputTexts& texts);
    // With the materials named (empty: none).
    ScheduleRow(std::string_view mark, const InputTexts& texts, const MaterialTexts& materials);
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
    // The material named for kMaterialFields[k]'s weight (empty: none).
    std::string_view material(std::size_t k) const;
    MaterialTexts materials() const;
    void SetMaterial(std::size_t k, std::string_view name);
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

// The row computed as every program computes it: a refused row is its
// refusal, a material the table does not have refuses the row.
BeamOutcome EvaluateRow(const ScheduleRow& row);
// Why name is no material of kMaterialFields[k] (not in Table A, with the
// nearest names; or a name several rows share); empty when it is one.
std::string MaterialNameRefusal(std::size_t k, std::string_view name);
// The first such refusal among a row's materials; empty when none.
std::string MaterialRefusal(const MaterialTexts& materials);
// A weight outside the range of the material named beside it: what to
// say, the weight named as given ("WallDensity=20", "墙容重 20"); empty
// when it lies within, or no known material is named.
std::string MaterialMismatch(std::size_t k, std::string_view material, std::string_view weight, std::string_view given);

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
enum class ColumnKind { Mark, Input, Result, Copied, Error, Material };

struct ScheduleColumn {
    ColumnKind kind;
    std::size_t index;  // parameter (Input) or ResultIndex (Result); 0 otherwise
    friend bool operator==(const ScheduleColumn& a, const ScheduleColumn& b) {
        return a.kind == b.kind && a.index == b.index;
    }
};

constexpr std::size_t kScheduleColumnCount = 1 + kInputCount + kResultCount + 2;
// With the material columns after them: the columns a table can show
// (a file has a material column only where one is used).
constexpr std::size_t kTableColumnCount = kScheduleColumnCount + kMaterialCount;

// Column c (0 .. kTableColumnCount-1): Mark, the inputs, the four
// results, the copied load, the error, the materials.
ScheduleColumn ColumnAt(std::size_t c);
std::size_t PositionOf(ScheduleColumn column);

// A file's reading rule for materials: where the file has a material
// column but not its weight column, the weight is the material's figure
// (the upper one of a range). True when some row took one.
bool TakeMaterialWeights(const std::vector<ScheduleColumn>& columns, const MaterialTexts& materials, InputTexts& texts);

// A file's beam as read under columns: its mark, inputs and materials,
// with that rule applied (tookWeights set when it took a weight).
ScheduleRow BeamOf(std::string_view mark, InputTexts texts, const MaterialTexts& materials,
                   const std::vector<ScheduleColumn>& columns, bool& tookWeights);
// The note a file gets once when rows took weights so.
std::string MaterialWeightNote(const std::vector<ScheduleColumn>& columns);

// Puts material k's column into columns, right after its weight's (at
// the end when the weight has none); where it went.
std::size_t AddMaterialColumn(std::vector<ScheduleColumn>& columns, std::size_t k);

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
// method types them, count as their ASCII forms. None when it names none.
std::optional<ScheduleColumn> FindColumn(std::string_view header);

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

// The columns a header row names, in its order, when every cell names a
// column and none twice; else refused, saying which cell does not.
Outcome HeaderColumns(const std::vector<std::string>& header, std::vector<ScheduleColumn>& columns);

// Appends one beam as a CSV record of the given columns: its mark, its
// texts, and its results, or empty result cells and the error.
void AppendScheduleRecord(std::string& out, const std::vector<ScheduleColumn>& columns, std::string_view mark,
                          const BeamTexts& texts, const BeamOutcome& result, std::string_view lineEnd,
                          const MaterialTexts& materials = {});
void AppendScheduleRecord(std::string& out, const std::vector<ScheduleColumn>& columns, const ScheduleRow& row,
                          const ShownResult& result, std::string_view lineEnd,
                          CsvQuoting quoting = CsvQuoting::AsNeeded);

// The text a row shows in a column (the same as its CSV cell).
std::string_view CellText(ScheduleColumn column, std::string_view mark, const BeamTexts& texts,
                          const BeamOutcome& result, const MaterialTexts& materials = {});
std::string_view CellText(ScheduleColumn column, const ScheduleRow& row, const ShownResult& result);

}  // namespace quorvane
