#include "book.h"

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "encoding.h"
#include "numtext.h"

namespace quorvane {
namespace {

constexpr std::size_t kRowsBetweenProgress = 64;

std::string RowName(const std::vector<ScheduleRow>& rows, std::size_t r) {
    return rows[r].mark().empty() ? "第 " + IntegerText(static_cast<long long>(r + 1)) + " 行"
                                  : std::string(rows[r].mark());
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
    // Names that Windows keeps for devices, whatever follows the first
    // dot and with blanks before it ("nul .txt" is NUL too).
    std::string stem = FoldFileName(name.substr(0, name.find('.')));
    stem.erase(stem.find_last_not_of(' ') + 1);
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" ||
        stem == "CONOUT$")
        return "_" + name;
    if (stem.size() >= 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0)) {
        const std::string_view digit = std::string_view(stem).substr(3);
        if ((digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\u00B9" ||
            digit == "\u00B2" || digit == "\u00B3")
            return "_" + name;
    }
    return name;
}

std::string ReportNames::Next(std::string_view mark, long long row) {
    std::string base = SafeFileName(mark);
    if (base.empty()) base = "row-" + IntegerText(row);
    passedOver_.clear();
    std::string name = base;
    for (int n = 2;; ++n) {
        if (used_.insert(FoldFileName(name)).second) {
            if (!claims_ || !claims_->Holds(folder_ / std::filesystem::u8path(name + ".txt"))) break;
            if (passedOver_.empty()) passedOver_ = name + ".txt";
        }
        name = base + "-" + IntegerText(n);
    }
    return name + ".txt";
}

Outcome PrepareReportFolder(const std::filesystem::path& folder) {
    std::error_code made, ec;
    std::filesystem::create_directories(folder, made);
    if (!std::filesystem::is_directory(folder, ec)) {
        if (std::filesystem::exists(folder, ec))
            return Failed(FileMessage("无法创建计算过程文件夹", folder, "已有同名的文件"), Cause::Refused);
        const int error = made ? made.default_error_condition().value() : ENOENT;
        return Failed(FileMessage("无法创建计算过程文件夹", folder, FailureReason(error)), CauseOf(error));
    }
    // Before the first row: a folder that takes no files is one message, not one per row.
    return CheckFolderWritable(folder, "无法在计算过程文件夹中写入");
}

namespace {

// A computed beam's part of the combined book: its number, name and report.
std::string BookSection(const std::vector<ScheduleRow>& rows, std::size_t r, std::string_view report) {
    std::string section = "\r\n==== " + IntegerText(static_cast<long long>(r + 1)) + ". " + RowName(rows, r) + " ====\r\n";
    section += report;
    return section;
}

}  // namespace

Outcome WriteBeamReports(const std::filesystem::path& folder, const std::vector<ScheduleRow>& rows,
                             const std::vector<ShownResult>& results, const ReportOptions& options,
                             const ProgressCallback& progress, const FileClaims* claims, std::string* bookSections) {
    Outcome outcome = PrepareReportFolder(folder);
    if (!outcome.ok) return outcome;
    ReportNames names(folder, claims);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (!results[r].ok()) continue;
        const std::string name = names.Next(rows[r].mark(), static_cast<long long>(r + 1));
        // The table keeps only the texts it shows; the report's steps are computed here, once.
        const Calculation c = EvaluateRow(rows[r]).calculation;
        const std::string text = ReportText(BuildReportLines(c.inputs, c.results, options.date));
        if (bookSections) *bookSections += BookSection(rows, r, text);
        const Outcome written = WriteCalculationReport(folder / std::filesystem::u8path(name), text, options);
        if (!written.ok) {
            outcome.ok = false;
            outcome.message = written.message;
            return outcome;
        }
        ++outcome.count;
        if (progress && r % kRowsBetweenProgress == 0 &&
            !progress(static_cast<double>(r) / static_cast<double>(rows.size()))) {
            const long long written = outcome.count;
            outcome = Cancelled();
            outcome.count = written;
            return outcome;
        }
    }
    return outcome;
}

std::string CalculationBookText(const std::vector<ScheduleRow>& rows, const std::vector<ShownResult>& results,
                                std::string_view dateText, const std::string* sections) {
    std::string text = "梁上恒载计算书\r\n";
    text.append("Date：").append(dateText).append("\r\n");
    long long computed = 0;
    for (const ShownResult& result : results) computed += result.ok() ? 1 : 0;
    text += "共 " + IntegerText(static_cast<long long>(rows.size())) + " 根梁,已计算 " +
            IntegerText(computed) + " 根\r\n\r\n";
    // The summary: tab-separated, so that it also pastes into a spreadsheet.
    text += "序号\t" + ColumnCaption({ColumnKind::Mark, 0});
    for (std::size_t i = 0; i < kResultCount; ++i) text += "\t" + ColumnCaption({ColumnKind::Result, i});
    text +=
        "\t" + ColumnCaption({ColumnKind::Copied, 0}) + "\t" + ColumnCaption({ColumnKind::Error, 0}) + "\r\n";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        text.append(IntegerText(static_cast<long long>(r + 1))).append("\t").append(rows[r].mark());
        for (std::size_t i = 0; i < kResultCount; ++i) text.append("\t").append(results[r].result(i));
        text.append("\t").append(results[r].copied());
        text.append("\t").append(results[r].error()).append("\r\n");
    }
    if (sections) return text + *sections;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (!results[r].ok()) continue;
        const Calculation c = EvaluateRow(rows[r]).calculation;
        text += BookSection(rows, r, ReportText(BuildReportLines(c.inputs, c.results, dateText)));
    }
    return text;
}

Outcome WriteCalculationBook(const std::filesystem::path& path, const std::vector<ScheduleRow>& rows,
                                  const std::vector<ShownResult>& results, const ReportOptions& options,
                                  const std::string* sections) {
    return ReplaceFileAtomically(
        path, EncodeReport(CalculationBookText(rows, results, options.date, sections), options.charset),
        "无法写入计算书");
}

}  // namespace quorvane
