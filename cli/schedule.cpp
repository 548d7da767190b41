#include "schedule.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <system_error>
#include <unordered_set>
#include <vector>

#include "calc.h"
#include "csv.h"
#include "encoding.h"

namespace quorvane {
namespace {

constexpr std::string_view kMarkColumn = "Mark";
constexpr std::size_t kFlushSize = 1 << 20;
constexpr long long kRowsBetweenClockReads = 16384;  // the progress line looks at the clock this seldom

class Output {
public:
    // The text is gathered in UTF-8 and written in the given encoding.
    Output(std::FILE* out, TextEncoding encoding, bool byteOrderMark)
        : out_(out), encoding_(encoding), charset_(Gb18030Charset()) {
        buffer_.reserve(kFlushSize + 4096);
        if (byteOrderMark) buffer_ = "\xEF\xBB\xBF";
    }
    std::string& buffer() { return buffer_; }
    bool MaybeFlush() { return buffer_.size() < kFlushSize || Flush(); }
    // False, with the reason kept in error(), when the bytes did not get out.
    bool Flush() {
        if (encoding_ == TextEncoding::Gb18030) {
            if (auto bytes = EncodeFromUtf8(buffer_, charset_)) buffer_.swap(*bytes);
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
    std::string charset_;
    std::string buffer_;
    int error_ = 0;
};

// Report file names: by mark or row number, never twice the same (case
// folded, as Windows compares names).
class ReportNames {
public:
    std::string Next(std::string_view mark, long long row) {
        std::string base = SafeFileName(mark);
        if (base.empty()) base = "row-" + IntegerText(row);
        std::string name = base;
        for (int n = 2; !used_.insert(Folded(name)).second; ++n) name = base + "-" + IntegerText(n);
        return name + ".txt";
    }

private:
    static std::string Folded(std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    }
    std::unordered_set<std::string> used_;
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
    return "无法写入输出文件 \"" + options.outputName + "\":" + FailureReason(error);
}

}  // namespace

std::string SafeFileName(std::string_view mark) {
    std::string name;
    for (char c : mark) {
        const unsigned char u = static_cast<unsigned char>(c);
        name += (u < 0x20 || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) ? '_' : c;
    }
    const auto keep = name.find_first_not_of(" .");
    if (keep == std::string::npos) return {};
    name.erase(0, keep);
    name.erase(name.find_last_not_of(" .") + 1);
    // File names stop at 255 bytes (Linux) or 255 UTF-16 units (Windows);
    // leave room for "-2" and ".txt".
    constexpr std::size_t kLongest = 200, kKept = 150;
    if (name.size() > kLongest) {
        std::size_t cut = kKept;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // whole characters
        std::uint32_t hash = 2166136261u;  // FNV-1a of the whole mark
        for (char c : mark) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        static constexpr char kHex[] = "0123456789abcdef";
        name.erase(cut);
        name += '~';
        for (int shift = 28; shift >= 0; shift -= 4) name += kHex[(hash >> shift) & 0xF];
    }
    // Names that Windows keeps for devices.
    std::string upper = name.substr(0, name.find('.'));
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const char* reserved :
         {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
          "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"})
        if (upper == reserved) return "_" + name;
    return name;
}

namespace {

// Which input column feeds each of the eighteen fields, and the mark (-1: none).
struct ColumnMap {
    std::array<int, kInputCount> field;
    int mark = -1;
    std::size_t width = 0;  // columns of the header row
};

// The header row mapped to the fields; empty message when it is usable.
ColumnMap MapHeader(const std::vector<std::string>& header, std::string& message) {
    ColumnMap map;
    map.field.fill(-1);
    map.width = header.size();
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string& name = header[c];
        const int param = FindParam(name);
        int* slot = name == kMarkColumn ? &map.mark
                    : param >= 0        ? &map.field[static_cast<std::size_t>(param)]
                                        : nullptr;
        if (!slot) {
            message = "未知的列名 \"" + name + "\"(可用的列名: Mark 与 --help 中列出的参数名)";
            return map;
        }
        if (*slot >= 0) {
            message = "列名 \"" + name + "\" 出现了两次";
            return map;
        }
        *slot = static_cast<int>(c);
    }
    return map;
}

// The report folder made and shown to take files; empty message when it does.
std::string PrepareReportFolder(const std::filesystem::path& folder) {
    std::error_code made, ec;
    std::filesystem::create_directories(folder, made);
    if (!std::filesystem::is_directory(folder, ec)) {
        return "无法创建计算过程文件夹 \"" + PathForMessage(folder) + "\":" +
               (std::filesystem::exists(folder, ec)
                    ? std::string("已有同名的文件")
                    : FailureReason(made ? made.default_error_condition().value() : ENOENT));
    }
    // Before the first row: a folder that takes no files is one message, not one per row.
    return CheckFolderWritable(folder, "无法在计算过程文件夹中写入").message;
}

// One beam of the schedule, computed: its texts as used, and either its
// results or the error that stopped it.
struct RowOutcome {
    BeamTexts texts;
    Calculation calculation;
    std::string copied;
    std::string error;
};

std::string RecordError(const CsvReader& reader, std::size_t cells, std::size_t width) {
    if (reader.unterminated()) {
        std::string error =
            "引号没有闭合:第 " + IntegerText(reader.quoteLine()) + " 行的引号直到文件末尾都没有配对的引号,";
        error += reader.swallowedLines() > 0
                     ? "其后 " + IntegerText(reader.swallowedLines()) + " 行都并入了这一格,没有计算"
                     : "这一行没有计算";
        return error;
    }
    if (cells != width)
        return "这一行有 " + IntegerText(static_cast<long long>(cells)) + " 列,列名行有 " +
               IntegerText(static_cast<long long>(width)) + " 列";
    return {};
}

// row.texts starts as the defaults and only the given columns change, so
// absent ones keep them; their readings are made once before the first row.
void ComputeRow(const std::vector<std::string>& cells, const ColumnMap& map,
                const InputReadings& defaultReadings, RowOutcome& row) {
    InputReadings readings = defaultReadings;
    for (std::size_t i = 0; i < kInputCount; ++i) {
        if (map.field[i] < 0) continue;
        const auto column = static_cast<std::size_t>(map.field[i]);
        if (column < cells.size())
            row.texts[i] = cells[column];
        else
            row.texts[i] = kParams[i].defaultText;  // a short row keeps the default
        const Reading reading = ReadText(row.texts[i]);
        readings[i] = reading.value;
        if (row.error.empty() && !IsAcceptableInput(i, row.texts[i], reading))
            row.error = InputRefusal(i, row.texts[i]);
    }
    if (!row.error.empty()) return;
    try {
        row.calculation = ComputeLoadsFromReadings(readings);
        row.copied = CopiedLoadText(row.calculation.results.CadInputLoad);
    } catch (const ArithmeticError& e) {
        row.error = e.what();
    }
}

void AppendHeader(std::string& o, const ColumnMap& map) {
    if (map.mark >= 0) o += "Mark,";
    for (const ParamInfo& p : kParams) {
        o += p.field;
        o += ',';
    }
    o += "BeamSelfWeight,MasonryWeight,TotalDeadLoad,CadInputLoad,CopiedLoad,Error\r\n";
}

void AppendRow(std::string& o, const ColumnMap& map, std::string_view mark, const RowOutcome& row) {
    if (map.mark >= 0) {
        AppendCsvField(o, mark);
        o += ',';
    }
    for (std::size_t i = 0; i < kInputCount; ++i) {
        AppendCsvField(o, row.texts[i]);
        o += ',';
    }
    if (!row.error.empty()) {
        o += ",,,,,";
        AppendCsvField(o, row.error);
        o += "\r\n";
        return;
    }
    for (std::size_t i = 0; i < kResultCount; ++i) {
        o += ResultText(row.calculation.results, i);
        o += ',';
    }
    o += row.copied;
    o += ",\r\n";
}

}  // namespace

ScheduleExit RunSchedule(std::FILE* in, std::FILE* out, const ScheduleOptions& options,
                         std::string& message) {
    CsvReader reader(in, options.encoding);
    std::vector<std::string> cells;
    if (!reader.Next(cells)) {
        message = reader.failed() ? "无法读取输入文件:" + FailureReason(errno) : "输入为空:第一行应是列名";
        return kScheduleUsageError;
    }
    const ColumnMap map = MapHeader(cells, message);
    if (message.empty() && options.reportDir) message = PrepareReportFolder(*options.reportDir);
    if (!message.empty()) return kScheduleUsageError;

    Output output(out, reader.encoding(),
                  reader.encoding() == TextEncoding::Utf8 && reader.hadByteOrderMark());
    AppendHeader(output.buffer(), map);
    RowOutcome row;  // reused: its texts keep the defaults where no column is given
    InputReadings defaultReadings;
    for (std::size_t i = 0; i < kInputCount; ++i) defaultReadings[i] = ReadNumber(row.texts[i]);
    ReportNames reportNames;
    Progress progress(options.progress);
    long long rowNumber = 0;
    bool anyError = false;
    while (reader.Next(cells)) {
        if (cells.size() == 1 && cells[0].empty() && !reader.unterminated()) continue;  // blank line
        ++rowNumber;
        row.error = RecordError(reader, cells.size(), map.width);
        ComputeRow(cells, map, defaultReadings, row);
        const std::string_view mark = map.mark >= 0 && static_cast<std::size_t>(map.mark) < cells.size()
                                          ? std::string_view(cells[static_cast<std::size_t>(map.mark)])
                                          : std::string_view();
        if (row.error.empty() && options.reportDir) {
            const WriteOutcome written = WriteCalculationReport(
                *options.reportDir / std::filesystem::u8path(reportNames.Next(mark, rowNumber)),
                row.calculation.inputs, row.calculation.results);
            if (!written.ok) row.error = written.message;
        }
        anyError = anyError || !row.error.empty();
        AppendRow(output.buffer(), map, mark, row);
        if (!output.MaybeFlush()) {
            message = OutputFailure(options, output.error());
            return kScheduleUsageError;
        }
        progress.Row(rowNumber);
    }
    progress.Done(rowNumber);
    if (reader.failed()) {
        message = "读取输入文件时出错:" + FailureReason(errno);
        return kScheduleUsageError;
    }
    if (!output.Flush()) {
        message = OutputFailure(options, output.error());
        return kScheduleUsageError;
    }
    return anyError ? kScheduleRowErrors : kScheduleOk;
}

}  // namespace quorvane
