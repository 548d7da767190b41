#include "schedulerun.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <vector>

#include "book.h"
#include "calc.h"
#include "csv.h"
#include "encoding.h"
#include "row.h"

namespace quorvane {
namespace {

constexpr std::size_t kFlushSize = 1 << 20;
constexpr long long kRowsBetweenClockReads = 16384;  // the progress line looks at the clock this seldom

class Output {
public:
    // The text is gathered in UTF-8 and written in the given encoding.
    Output(std::FILE* out, TextEncoding encoding, bool byteOrderMark)
        : out_(out), encoding_(encoding), byteOrderMark_(byteOrderMark) {}
    std::string& buffer() { return buffer_; }
    bool MaybeFlush() { return buffer_.size() < kFlushSize || Flush(); }
    // Once the input has kept bytes, they go out as they came in.
    void KeepBytes(bool kept) { keptBytes_ = keptBytes_ || kept; }
    // False, with the reason kept in error(), when the bytes did not get out.
    bool Flush() {
        // UTF-8 without a mark pending goes out as gathered, uncopied.
        if (encoding_ == TextEncoding::Gb18030 || byteOrderMark_ || (keptBytes_ && HasKeptBytes(buffer_))) {
            buffer_ = EncodeCsvText(buffer_, encoding_, byteOrderMark_, keptBytes_);
            byteOrderMark_ = false;  // once, at the start
        }
        if (!out_) {  // the results go elsewhere (a workbook)
            buffer_.clear();
            return true;
        }
        errno = 0;
        const bool ok =
            std::fwrite(buffer_.data(), 1, buffer_.size(), out_) == buffer_.size() && std::fflush(out_) == 0;
        if (!ok) error_ = errno ? errno : EIO;
        buffer_.clear();
        return ok;
    }
    int error() const { return error_; }

private:
    std::FILE* out_;
    TextEncoding encoding_;
    bool byteOrderMark_, keptBytes_ = false;
    std::string buffer_;
    int error_ = 0;
};

class Progress {
public:
    explicit Progress(const std::function<void(std::string_view)>& show)
        : show_(show), start_(std::chrono::steady_clock::now()) {}
    void Row(long long rows) {
        if (!show_ || rows % kRowsBetweenClockReads != 0) return;
        if (std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1)) return;
        show_("\r已处理 " + IntegerText(rows) + " 行");
        shown_ = true;
    }
    void Done(long long rows) {
        if (shown_) show_("\r已处理 " + IntegerText(rows) + " 行\n");
    }

private:
    const std::function<void(std::string_view)>& show_;
    std::chrono::steady_clock::time_point start_;
    bool shown_ = false;
};

std::string OutputFailure(const ScheduleOptions& options, int error) {
    if (options.outputName.empty()) return "无法写入标准输出:" + FailureReason(error);
    return FileMessage("无法写入结果文件", std::filesystem::u8path(options.outputName), FailureReason(error));
}

}  // namespace


namespace {

// Which input column feeds each field, and the mark (-1:
// none). Result columns (a schedule written by this tool, read again) are
// recomputed, not read.
struct ColumnMap {
    std::array<int, kInputCount> field;
    std::array<int, kMaterialCount> material;
    int mark = -1;
    std::size_t width = 0;  // columns of the header row
    std::vector<ScheduleColumn> columns;
};

// The header row mapped to the fields (refused: the header is not usable).
Outcome MapHeader(const std::vector<std::string>& header, ColumnMap& map) {
    map.field.fill(-1);
    map.material.fill(-1);
    map.width = header.size();
    if (Outcome named = HeaderColumns(header, map.columns); !named.ok) return named;
    for (std::size_t c = 0; c < map.columns.size(); ++c) {
        const ScheduleColumn column = map.columns[c];
        if (column.kind == ColumnKind::Mark) map.mark = static_cast<int>(c);
        if (column.kind == ColumnKind::Input) map.field[column.index] = static_cast<int>(c);
        if (column.kind == ColumnKind::Material) map.material[column.index] = static_cast<int>(c);
    }
    return {};
}

// texts starts as the defaults and only the given columns change, so absent
// ones keep them.
void TakeRow(const std::vector<std::string>& cells, const ColumnMap& map, BeamTexts& texts) {
    for (std::size_t i = 0; i < kInputCount; ++i) {
        if (map.field[i] < 0) continue;
        const auto column = static_cast<std::size_t>(map.field[i]);
        if (column < cells.size())
            texts[i] = cells[column];
        else
            texts[i] = kParams[i].defaultText;  // a short row keeps the default
    }
}

// The material names a row gives (views into cells).
MaterialTexts TakeMaterials(const std::vector<std::string>& cells, const ColumnMap& map) {
    MaterialTexts materials{};
    for (std::size_t k = 0; k < kMaterialCount; ++k)
        if (map.material[k] >= 0 && static_cast<std::size_t>(map.material[k]) < cells.size())
            materials[k] = cells[static_cast<std::size_t>(map.material[k])];
    return materials;
}

bool Has(const std::vector<ScheduleColumn>& columns, ScheduleColumn column) {
    return std::find(columns.begin(), columns.end(), column) != columns.end();
}

// The output's columns: every input and result, the mark when the input has
// one, and a material the input names in a column of its own, beside its weight.
std::vector<ScheduleColumn> OutputColumns(const std::vector<ScheduleColumn>& given) {
    std::vector<ScheduleColumn> columns;
    for (std::size_t c = Has(given, {ColumnKind::Mark, 0}) ? 0 : 1; c < kScheduleColumnCount; ++c)
        columns.push_back(ColumnAt(c));
    for (std::size_t k = 0; k < kMaterialCount; ++k)
        if (Has(given, {ColumnKind::Material, k})) AddMaterialColumn(columns, k);
    return columns;
}

// A run's rows, one at a time, whatever they are read from: computed,
// reported, seen for the book and written out.
class RowWriter {
public:
    // given: the input's columns; out as in RunSchedule.
    RowWriter(std::FILE* out, TextEncoding encoding, bool byteOrderMark, const std::vector<ScheduleColumn>& given,
              const ScheduleOptions& options)
        : options_(options),
          columns_(OutputColumns(given)),
          output_(out, encoding, byteOrderMark),
          reportNames_(options.reportDir.value_or(std::filesystem::path()), &options.claims),
          progress_(options.progress) {
        for (std::size_t k = 0; k < kMaterialCount; ++k) weightGiven_[k] = Has(given, {ColumnKind::Input, MaterialWeight(k)});
    }

    // The report folder made ready and the header written.
    Outcome Start() {
        if (options_.reportDir)
            if (Outcome prepared = PrepareReportFolder(*options_.reportDir); !prepared.ok) return prepared;
        std::vector<std::string> names;
        const bool floors = !options_.floor.empty();
        if (floors) names.emplace_back("楼层");
        for (const ScheduleColumn& column : columns_) names.emplace_back(ColumnField(column));
        if (!floors || options_.floorHeader) AppendCsvRecord(output_.buffer(), names, kCsvLineEnd);
        return {};
    }

    // One row; refused: why it is not computed (empty: it is). !ok only
    // for a failure of the whole run (a report or the output not written).
    Outcome Row(std::string_view mark, const BeamTexts& texts, const MaterialTexts& materials, std::string refused,
                bool keptBytes) {
        ++rowNumber_;
        if (refused.empty()) refused = MaterialRefusal(materials);
        if (refused.empty()) NoteMismatches(texts, materials);
        BeamOutcome row;
        if (refused.empty())
            row = EvaluateBeam(texts);
        else
            row.error = std::move(refused);
        if (options_.rowSeen) options_.rowSeen(mark, texts, materials, row);
        if (row.error.empty() && options_.reportDir)
            if (Outcome written = Report(mark, row); !written.ok) return written;
        if (!row.ok()) ++run_.count;
        if (!options_.floor.empty()) {
            AppendCsvField(output_.buffer(), options_.floor);
            output_.buffer() += ',';
        }
        AppendScheduleRecord(output_.buffer(), columns_, mark, texts, row, kCsvLineEnd, materials);
        output_.KeepBytes(keptBytes);
        if (!output_.MaybeFlush()) return Failed(OutputFailure(options_, output_.error()));
        progress_.Row(rowNumber_);
        return {};
    }

    // The output flushed; the run's outcome, its notes gathered.
    Outcome Finish() {
        progress_.Done(rowNumber_);
        if (!output_.Flush()) return Failed(OutputFailure(options_, output_.error()));
        return run_;
    }

    void Note(const std::string& text) { run_.warnings += (run_.warnings.empty() ? "" : "\n") + text; }

private:
    // A weight given beside its material that the material's range does not hold.
    void NoteMismatches(const BeamTexts& texts, const MaterialTexts& materials) {
        for (std::size_t k = 0; k < kMaterialCount; ++k) {
            if (materials[k].empty() || !weightGiven_[k]) continue;  // (every row passes here)
            const std::size_t weight = MaterialWeight(k);
            const std::string name(kParams[weight].displayName);
            const std::string said = MaterialMismatch(k, materials[k], texts[weight], name + " " + texts[weight]);
            if (!said.empty()) Note("第 " + IntegerText(rowNumber_) + " 行:" + said + ";按" + name + "计算");
        }
    }

    Outcome Report(std::string_view mark, const BeamOutcome& row) {
        const std::string name = reportNames_.Next(mark, rowNumber_);
        if (!reportNames_.passedOver().empty())
            Note("第 " + IntegerText(rowNumber_) + " 行的计算过程写入 \"" + name + "\":\"" + reportNames_.passedOver() +
                 "\" 是本次读写的文件 (梁表、结果或计算书),没有改写它");
        return WriteCalculationReport(*options_.reportDir / std::filesystem::u8path(name), row.calculation.inputs,
                                      row.calculation.results, options_.report);
    }

    const ScheduleOptions& options_;
    std::vector<ScheduleColumn> columns_;
    std::array<bool, kMaterialCount> weightGiven_{};  // the input has the weight's column
    Output output_;
    ReportNames reportNames_;
    Progress progress_;
    Outcome run_;
    long long rowNumber_ = 0;
};

}  // namespace

int ExitCodeOf(const Outcome& run) { return !run.ok ? 2 : run.count > 0 ? 1 : 0; }

Outcome RunSchedule(std::FILE* in, std::FILE* out, const ScheduleOptions& options) {
    CsvReader reader(in, options.encoding);
    return RunSchedule(reader, out, options);
}

Outcome RunSchedule(CsvReader& reader, std::FILE* out, const ScheduleOptions& options) {
    std::vector<std::string> cells;
    if (!reader.Next(cells))
        return reader.failed() ? Failed("无法读取梁表:" + ReadFailureReason(errno), CauseOf(errno))
               : options.inputName.empty()
                   ? Failed("输入为空:第一行应是列名", Cause::Refused)
                   : Failed(FileMessage("无法读取梁表文件", std::filesystem::u8path(options.inputName), "文件是空的:第一行应是列名"),
                            Cause::Refused);
    ColumnMap map;
    if (Outcome header = MapHeader(cells, map); !header.ok) {
        if (reader.keptBytes()) header.message += "\n" + reader.EncodingWarning();
        return header;
    }
    RowWriter writer(out, reader.encoding(), reader.encoding() == TextEncoding::Utf8 && reader.hadByteOrderMark(),
                     map.columns, options);
    if (Outcome started = writer.Start(); !started.ok) return started;
    if (reader.utf16()) writer.Note("输入是 UTF-16 文本 (Excel 的“Unicode 文本”),按制表符分隔读入;结果写成带 BOM 的 UTF-8 CSV");
    BeamTexts texts;  // reused: keeps the defaults where no column is given
    bool tookWeights = false;
    const bool named = std::any_of(map.material.begin(), map.material.end(), [](int c) { return c >= 0; });
    while (reader.Next(cells)) {
        if (reader.blank()) continue;
        TakeRow(cells, map, texts);
        const MaterialTexts materials = TakeMaterials(cells, map);
        if (named) {
            // A weight the file has no column for: the default, or its material's figure.
            InputTexts taken;
            for (std::size_t i = 0; i < kInputCount; ++i)
                taken[i] = map.field[i] < 0 ? kParams[i].defaultText : std::string_view(texts[i]);
            tookWeights = TakeMaterialWeights(map.columns, materials, taken) || tookWeights;
            for (std::size_t i = 0; i < kInputCount; ++i)
                if (map.field[i] < 0) texts[i] = std::string(taken[i]);
        }
        const std::string_view mark = map.mark >= 0 && static_cast<std::size_t>(map.mark) < cells.size()
                                          ? std::string_view(cells[static_cast<std::size_t>(map.mark)])
                                          : std::string_view();
        const Outcome row =
            writer.Row(mark, texts, materials, CsvRecordRefusal(reader, cells.size(), map.width), reader.keptBytes());
        if (!row.ok) return row;
    }
    if (tookWeights) writer.Note(MaterialWeightNote(map.columns));
    if (reader.failed()) return Failed("读取梁表时出错:" + ReadFailureReason(errno));
    Outcome run = writer.Finish();
    if (run.ok && reader.keptBytes()) run.warnings += (run.warnings.empty() ? "" : "\n") + reader.EncodingWarning();
    return run;
}

Outcome RunScheduleRows(const std::vector<ScheduleColumn>& columns, const std::vector<ScheduleRow>& rows,
                        std::FILE* out, bool byteOrderMark, const ScheduleOptions& options) {
    RowWriter writer(out, TextEncoding::Utf8, byteOrderMark, columns, options);
    if (Outcome started = writer.Start(); !started.ok) return started;
    BeamTexts texts;
    for (const ScheduleRow& row : rows) {
        const InputTexts read = row.texts();
        for (std::size_t i = 0; i < kInputCount; ++i) texts[i] = std::string(read[i]);
        if (Outcome written = writer.Row(row.mark(), texts, row.materials(), std::string(row.refusal()), false);
            !written.ok)
            return written;
    }
    return writer.Finish();
}

}  // namespace quorvane
