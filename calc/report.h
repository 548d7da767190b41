// The calculation report: 25 lines that show every formula with its
// numbers, built as UTF-8 by a pure function and written by a separate
// writer that encodes and replaces the file atomically.
#pragma once

#include <array>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

#include "loads.h"

namespace quorvane {

// The product's web address: report footer and About window.
inline constexpr std::string_view kWebAddress = "http://quorvane.cn";

inline constexpr std::string_view kReportFileName = "计算过程.txt";

constexpr std::size_t kReportLineCount = 25;
using ReportLines = std::array<std::string, kReportLineCount>;

// The 25 lines (without line ends) of one finished calculation; dateText is
// line 24's date and time as it should stand.
ReportLines BuildReportLines(const LoadInputs& in, const LoadResults& r, std::string_view dateText);

// The lines joined, each ended by CR LF, in UTF-8.
std::string ReportText(const ReportLines& lines);

// Date form of a local time: "2026-12-10 08:30:05".
std::string FormatReportDate(const std::tm& local);

// The current local date and time in date form; on Windows in the user's
// short date and time format instead.
std::string CurrentReportDate();

struct WriteOutcome {
    bool ok = true;
    std::string message;  // Chinese, naming the path and the reason, when !ok
};

// A file written whole before it takes the place of path: the bytes go to
// a temporary file in the same folder, which Commit() writes through to the
// disk and renames over path. Until then, and after any failure, path keeps
// its old content byte for byte and no temporary file is left behind.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();  // drops an uncommitted file
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // what begins every failure message: "无法写入输出文件" and so on.
    WriteOutcome Open(const std::filesystem::path& path, std::string_view what);
    std::FILE* stream() const { return stream_; }  // while open
    WriteOutcome Commit();
    void Abort();

private:
    void RemoveTemp();
    std::filesystem::path path_, temp_;
    std::string what_;
    std::FILE* stream_ = nullptr;
};

// Whether a file can be made in folder (one is made and removed again);
// the failure message begins with what and names the folder.
WriteOutcome CheckFolderWritable(const std::filesystem::path& folder, std::string_view what);

// Writes bytes as the whole new content of path: into a temporary file in
// the same folder, then renamed over the old one, so a failure at any point
// leaves the old file whole and no half report behind.
WriteOutcome ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// How a report is written: its date text (line 24) and the character set
// of the file. The window and the command-line tool pass the system's own.
struct ReportOptions {
    std::string date;     // as it should stand after "Date："
    std::string charset;  // see EncodeReport in encoding.h
};

// The current local date and time and the system's code page.
ReportOptions SystemReportOptions();

// The report of one calculation, written by ReplaceFileAtomically.
WriteOutcome WriteCalculationReport(const std::filesystem::path& path, const LoadInputs& in,
                                    const LoadResults& r,
                                    const ReportOptions& options = SystemReportOptions());

// Creates path as an empty file when neither a file nor a folder of that
// name exists; an existing report is never touched.
WriteOutcome EnsureReportFileExists(const std::filesystem::path& path);

// Why a file operation failed, in the user's words with the system's own
// text after it: "磁盘空间不足 (No space left on device)".
std::string FailureReason(int error);

// A path shown to the user in a message, as UTF-8.
std::string PathForMessage(const std::filesystem::path& path);

}  // namespace quorvane
