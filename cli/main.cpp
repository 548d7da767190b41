// quorvane-calc: the window's calculation from the command line.
//   quorvane-calc [NAME=VALUE ...] [--report]
//   quorvane-calc --csv IN [-o OUT] [--report-dir DIR]   (IN a CSV or an .xlsx)
// NAME is a LoadInputs field, VALUE the text as typed in the window.

#include <CLI/CLI.hpp>

#include <array>
#include <cerrno>
#include <clocale>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "calc.h"
#include "materials.h"
#include "pdfbook.h"
#include "row.h"
#include "schedulerun.h"
#include "document.h"
#include "workbookfile.h"
#include "xlsx.h"

#include "os.h"

namespace {

using namespace quorvane;

constexpr int kExitArithmetic = 1;
constexpr int kExitUsage = 2;

// A console gets the text in its own terms; a file or pipe UTF-8.
void Print(std::FILE* out, std::string_view text) { os::WriteText(out, text); }

void PrintError(std::string_view text) {
    Print(stderr, "quorvane-calc: ");
    Print(stderr, text);
    Print(stderr, "\n");
}

// The texts: defaults, overridden by NAME=VALUE arguments in
// order. Returns an empty string, or the message that refuses an argument.
// named: the materials given, as views into args.
std::string ReadAssignments(const std::vector<std::string>& args, BeamTexts& texts, MaterialTexts& named,
                            std::string& warnings) {
    // A material (WallMaterial=普通砖) gives its weight from GB 50009-2012
    // Table A (the upper figure of a range), unless the weight is given too:
    // then that stands, and a weight outside the material's range is said.
    std::vector<std::pair<const MaterialField*, const Material*>> materials;
    std::vector<std::size_t> given;
    for (const std::string& arg : args) {
        const std::size_t eq = arg.find('=');
        if (eq == std::string::npos) return "参数应写成 NAME=VALUE: \"" + MessageExcerpt(arg) + "\"";
        const std::string_view name = std::string_view(arg).substr(0, eq), value = std::string_view(arg).substr(eq + 1);
        if (const MaterialField* field = FindMaterialField(name)) {
            const auto k = static_cast<std::size_t>(field - kMaterialFields);
            if (std::string why = MaterialNameRefusal(k, value); !why.empty()) return why;
            named[k] = value;
            materials.emplace_back(field, FindMaterial(static_cast<std::size_t>(FindParam(field->weight)), value));
            continue;
        }
        // Names match as in a schedule's header: letter case aside, or the caption.
        const std::optional<ScheduleColumn> column = FindColumn(name);
        if (!column || column->kind != ColumnKind::Input)
            return "未知的参数名 \"" + MessageExcerpt(arg.substr(0, eq)) + "\"(可用 --help 查看参数名)";
        texts[column->index] = arg.substr(eq + 1);
        given.push_back(column->index);
    }
    for (const auto& [field, material] : materials) {
        const auto weight = static_cast<std::size_t>(FindParam(field->weight));
        if (std::find(given.begin(), given.end(), weight) == given.end()) {
            texts[weight] = material->high;
            continue;
        }
        const auto k = static_cast<std::size_t>(field - kMaterialFields);
        const std::string said = MaterialMismatch(k, material->name.empty() ? "" : MaterialName(weight, *material),
                                                  texts[weight], std::string(field->weight) + "=" + texts[weight]);
        if (!said.empty()) warnings += said + ";按 " + field->weight + " 计算\n";
    }
    return {};
}

// Standard output that could not be written (a full disk, a closed stream,
// a broken pipe) is a failure, never a silent success.
bool StandardOutputFailed() {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return false;
    PrintError("无法写入标准输出:" + FailureReason(errno ? errno : EIO));
    return true;
}

// GB 50009-2012 Table A as this program uses it: each weight input's
// materials (of one input, or of all), a line each.
int ListMaterials(const std::string& wanted) {
    // By the weight's name or caption, or the material field's.
    const MaterialField* byMaterial = FindMaterialField(wanted);
    const std::optional<ScheduleColumn> column = FindColumn(wanted);
    const bool byWeight = column && column->kind == ColumnKind::Input;
    std::vector<const MaterialField*> fields;
    std::string all;
    for (const MaterialField& f : kMaterialFields) {
        all += (all.empty() ? "" : "、") + std::string(f.weight);
        const auto weight = static_cast<std::size_t>(FindParam(f.weight));
        if (wanted.empty() || &f == byMaterial || (byWeight && column->index == weight)) fields.push_back(&f);
    }
    if (fields.empty()) {
        PrintError("\"" + MessageExcerpt(wanted) + "\" 没有 GB 50009-2012 表A 的材料 (可用 " + all + ")");
        return kExitUsage;
    }
    std::string text = "# GB 50009-2012《建筑结构荷载规范》附录A 表A 常用材料和构件的自重\n参数\t材料字段\t项次\t名称\t重量\t备注\n";
    for (const MaterialField* f : fields) {
        const auto i = static_cast<std::size_t>(FindParam(f->weight));
        for (const Material* m : MaterialsFor(i))
            text += std::string(f->weight) + "\t" + f->field + "\t" + IntegerText(m->item) + "\t" + MaterialName(i, *m) +
                    "\t" + MaterialRange(*m) + "\t" + m->remark + "\n";
    }
    Print(stdout, text);
    return StandardOutputFailed() ? kExitUsage : 0;
}

// The whole of input, or nothing after saying why.
std::optional<std::string> ReadWhole(std::FILE* input, const std::filesystem::path& path) {
    std::string bytes;
    if (const int error = ReadRest(input, bytes)) {
        PrintError(FileMessage("读取梁表文件时出错", path, ReadFailureReason(error)));
        return std::nullopt;
    }
    return bytes;
}

// Whether a file (not a pipe, which cannot be read twice) begins as an
// Excel file: a workbook, or an encrypted one or an .xls to be named.
bool LooksLikeExcelFile(std::FILE* input) {
    if (os::InspectStream(input).kind != os::FileInfo::kRegular) return false;
    char magic[8];
    const std::size_t got = std::fread(magic, 1, sizeof magic, input);
    const std::string_view head(magic, got);
    const bool excel = LooksLikeWorkbook(head) || !RecogniseExcelFile(head).empty();
    return std::fseek(input, 0, SEEK_SET) == 0 && excel;
}

// The sheets of a workbook the run computes: --sheet NAME or number, all
// (every sheet that is a schedule), or by default the first schedule.
std::optional<std::vector<std::size_t>> ChooseSheets(const std::string& bytes, const std::filesystem::path& path,
                                                     const std::string& wanted, std::vector<SheetListing>& sheets) {
    const Outcome listed = ListWorkbookSheets(bytes, sheets);
    if (!listed.ok) {
        PrintError(FileMessage("无法打开梁表文件", path, listed.message));
        return std::nullopt;
    }
    std::vector<std::size_t> chosen;
    if (wanted == "all") {
        // Every floor or none: a floor that cannot be read is never left out unsaid.
        for (const SheetListing& sheet : sheets)
            if (!sheet.damage.empty()) {
                PrintError(FileMessage("无法打开梁表文件", path, sheet.damage));
                return std::nullopt;
            }
        std::string passed;
        for (std::size_t i = 0; i < sheets.size(); ++i) {
            if (sheets[i].schedule)
                chosen.push_back(i);
            else
                passed += (passed.empty() ? "“" : "、“") + sheets[i].name + "”";
        }
        if (chosen.empty()) {
            PrintError(FileMessage("无法打开梁表文件", path, "没有一个工作表的第一行是梁表的列名"));
            return std::nullopt;
        }
        if (!passed.empty()) PrintError("工作表 " + passed + " 的第一行不是梁表的列名,没有计算");
        return chosen;
    }
    if (wanted.empty()) {
        std::size_t first = 0;
        while (first < sheets.size() && !sheets[first].schedule) ++first;
        // A sheet before the first schedule that could not be read may have been the one meant.
        for (std::size_t i = 0; i < first && first < sheets.size(); ++i)
            if (!sheets[i].damage.empty()) PrintError(sheets[i].damage + ";计算的是它后面的梁表工作表“" + sheets[first].name + "”");
        chosen.push_back(first == sheets.size() ? 0 : first);
        return chosen;
    }
    std::size_t sheet = 0;
    if (const Outcome found = FindWorkbookSheet(bytes, wanted, sheet); !found.ok) {
        PrintError("--sheet:" + found.message);
        return std::nullopt;
    }
    chosen.push_back(sheet);
    return chosen;
}

bool IsWorkbookName(std::string name) {
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return name.size() > 5 && (name.compare(name.size() - 5, 5, ".xlsx") == 0 || name.compare(name.size() - 5, 5, ".xlsm") == 0);
}

std::vector<ShownResult> ResultsOf(const std::vector<ScheduleRow>& rows) {
    std::vector<ShownResult> results;
    results.reserve(rows.size());
    for (const ScheduleRow& row : rows) results.emplace_back(EvaluateRow(row));
    return results;
}

// The run's result as a workbook at outPath (opened as out): the input
// workbook with each computed sheet's loads written beside its inputs and
// everything else as it was, or, from a CSV, a new workbook of the schedule.
// results: each sheet's (or the CSV's) rows as the run computed them.
Outcome WriteWorkbookResult(AtomicFile& out, const std::filesystem::path& outPath,
                            std::shared_ptr<const std::string> package, const std::vector<std::size_t>& sheets,
                            const std::string& csvBytes, const std::filesystem::path& inPath, TextEncoding encoding,
                            const std::vector<std::vector<ShownResult>>& results) {
    // (the same file read by the same rule gives the same rows; a count
    // that differs all the same is computed again rather than misplaced)
    std::vector<ShownResult> again;
    const auto resultsOf = [&](std::size_t k, const std::vector<ScheduleRow>& rows) -> const std::vector<ShownResult>& {
        if (k < results.size() && results[k].size() == rows.size()) return results[k];
        return again = ResultsOf(rows);
    };
    if (!package) {
        out.Abort();
        CsvLayout layout;
        std::vector<ScheduleRow> rows;
        const Outcome read = csvBytes.empty() ? ReadScheduleFile(inPath, encoding, layout, rows)
                                              : ReadScheduleBytes(csvBytes, encoding, layout, rows);
        if (!read.ok) return read;
        return ExportXlsx(outPath, rows, resultsOf(0, rows));
    }
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        const std::size_t sheet = sheets[k];
        CsvLayout layout;
        std::vector<ScheduleRow> rows;
        if (Outcome read = ReadWorkbookSchedule(package, sheet, layout, rows); !read.ok) return read;
        WorkbookSave save;
        const Outcome saved =
            WorkbookFileBytes(SavedLayout(layout, rows, true), rows, resultsOf(k, rows), save);
        if (!saved.ok) return saved;
        package = save.bytes;
    }
    errno = 0;
    if (std::fwrite(package->data(), 1, package->size(), out.stream()) != package->size()) {
        const int error = errno ? errno : EIO;
        out.Abort();
        return Failed(FileMessage("无法写入结果文件", outPath, FailureReason(error)));
    }
    return out.Commit();
}

// The calculation book asked for with --pdf.
struct PdfRequest {
    std::string path;  // empty: none
    BookTitle title;
};

// The book's file, opened with the run's other outputs so that a path it
// cannot have is said before anything is written; false (said) when not.
bool OpenBook(const PdfRequest& pdf, AtomicFile& file) {
    if (pdf.path.empty()) return true;
    const std::filesystem::path path = std::filesystem::u8path(pdf.path);
    RemoveStaleTemporaryFiles(os::FollowLinks(path).parent_path());
    const Outcome opened = file.Open(path, "无法写入 PDF 计算书");
    if (!opened.ok) PrintError(opened.message);
    return opened.ok;
}

// The book of rows into its opened file, not yet in place; false (said)
// when it could not. On a terminal, after a second, how far it is, as the
// CSV run shows its rows.
bool WriteBook(const PdfRequest& pdf, AtomicFile& file, const std::vector<BookFloor>& floors) {
    if (pdf.path.empty()) return true;
    ProgressCallback progress;
    const auto start = std::chrono::steady_clock::now();
    int shown = -1;
    if (os::IsTerminal(stderr))
        progress = [&](double done) {
            const int percent = static_cast<int>(done * 100);
            if (percent != shown && std::chrono::steady_clock::now() - start >= std::chrono::seconds(1)) {
                Print(stderr, "\r正在写出 PDF 计算书 " + IntegerText(percent) + "%");
                shown = percent;
            }
            return true;
        };
    const Outcome written = WritePdfBook(file, std::filesystem::u8path(pdf.path), floors, pdf.title, progress);
    if (shown >= 0) Print(stderr, "\r正在写出 PDF 计算书 100%\n");
    if (!written.ok) PrintError(written.message);
    if (written.ok && !written.warnings.empty()) PrintError(written.warnings);
    return written.ok;
}

bool CommitBook(const PdfRequest& pdf, AtomicFile& file) {
    if (pdf.path.empty()) return true;
    const Outcome committed = file.Commit();
    if (!committed.ok) PrintError(committed.message);
    return committed.ok;
}

// What the command line asks for, as given.
struct Request {
    std::vector<std::string> assignments;
    bool report = false;
    std::string csvIn, csvOut = "-", reportDir, sheet, encodingName = "auto";
    std::optional<std::string> materials;  // --materials [FIELD]
    PdfRequest pdf;
    std::optional<std::string> date;
    std::vector<std::string> revisions;
};

// One run over a schedule file: its input, its result, its reports and
// its book, each refused before anything is written, all put in place
// together at the end.
class ScheduleFilesRun {
public:
    ScheduleFilesRun(const Request& request, TextEncoding encoding, const ReportOptions& report)
        : in_(request.csvIn),
          out_(request.csvOut),
          sheet_(request.sheet),
          encoding_(encoding),
          pdf_(request.pdf),
          inPath_(std::filesystem::u8path(in_)),
          outPath_(std::filesystem::u8path(out_)),
          bookOut_(out_ != "-" && IsWorkbookName(out_)) {
        options_.report = report;
        options_.encoding = encoding;
        if (bookOut_) results_.emplace_back();
        if (!request.reportDir.empty()) options_.reportDir = std::filesystem::u8path(request.reportDir);
    }
    ~ScheduleFilesRun() { CloseInput(); }
    ScheduleFilesRun(const ScheduleFilesRun&) = delete;
    ScheduleFilesRun& operator=(const ScheduleFilesRun&) = delete;

    int Run() {
        if (!OpenInput() || !OpenResult() || !OpenBookFile()) return kExitUsage;
        KeepRows();
        Outcome run;
        if (!Compute(run)) return kExitUsage;
        CloseInput();
        if (!run.ok) {
            outFile_.Abort();  // an existing output file keeps its old content
            PrintError(run.message);
            return kExitUsage;
        }
        return Finish(run);
    }

private:
    void CloseInput() {
        if (input_ && input_ != stdin) std::fclose(input_);
        input_ = nullptr;
    }

    bool OpenInput() {
        if (in_ != "-" && os::Inspect(inPath_).kind == os::FileInfo::kFolder) {
            PrintError(FileMessage("无法打开梁表文件", inPath_, ReadFailureReason(EISDIR)));
            return false;
        }
        errno = 0;
        input_ = in_ == "-" ? stdin : os::OpenFileForReading(inPath_);
        if (!input_) {
            PrintError(FileMessage("无法打开梁表文件", inPath_, ReadFailureReason(errno ? errno : ENOENT)));
            return false;
        }
        inputInfo_ = os::InspectStream(input_);
        options_.claims.Add(inputInfo_);
        if (in_ != "-") options_.claims.Add(inPath_);
        if (in_ != "-") options_.inputName = in_;
        return true;
    }

    // The result file (a workbook when named .xlsx: the input workbook
    // with the loads written into its sheets, or a new one from a CSV;
    // never CSV text under a workbook's name), and the report folder.
    bool OpenResult() {
        // The output replaces its file only once the run has succeeded, so
        // writing over the schedule being read would lose it: refused.
        if (out_ != "-" && inputInfo_.kind == os::FileInfo::kRegular && os::Inspect(outPath_).SameFileAs(inputInfo_)) {
            PrintError(FileMessage("结果文件不能写在读入的梁表上", outPath_, "它就是输入文件;请另给一个结果文件名"));
            return false;
        }
        if (out_ != "-") {
            RemoveStaleTemporaryFiles(os::FollowLinks(outPath_).parent_path());
            if (const Outcome opened = outFile_.Open(outPath_, "无法写入结果文件"); !opened.ok) {
                PrintError(opened.message);
                return false;
            }
            output_ = bookOut_ ? nullptr : outFile_.stream();
            options_.outputName = out_;
            options_.claims.Add(outPath_);
            options_.claims.Add(outFile_.info());
        } else {
            options_.claims.Add(os::InspectStream(stdout));
        }
        if (options_.reportDir) RemoveStaleTemporaryFiles(*options_.reportDir);
        if (os::IsTerminal(stderr)) options_.progress = [](std::string_view line) { Print(stderr, line); };
        return true;
    }

    bool OpenBookFile() {
        if (pdf_.path.empty()) return true;
        const std::filesystem::path pdfPath = std::filesystem::u8path(pdf_.path);
        if (options_.claims.Holds(pdfPath)) {
            PrintError(FileMessage("无法写入 PDF 计算书", pdfPath, "它是本次读写的梁表文件;请另给一个文件名"));
            return false;
        }
        if (!OpenBook(pdf_, bookFile_)) return false;
        options_.claims.Add(pdfPath);  // by name too: a report never takes the book's place
        options_.claims.Add(bookFile_.info());
        return true;
    }

    // What the outputs written after the run (the book, a result
    // workbook) take of each row the run computed.
    void KeepRows() {
        if (pdf_.path.empty() && !bookOut_) return;
        options_.rowSeen = [this](std::string_view mark, const BeamTexts& texts, const MaterialTexts& materials,
                                  const BeamOutcome& outcome) {
            if (bookOut_) results_.back().emplace_back(outcome);
            if (pdf_.path.empty()) return;
            BookFloor& floor = bookFloors_.back();
            floor.rows.emplace_back(mark, texts.Views(), materials);
            floor.outcomes.push_back(outcome);
        };
    }

    // The rows computed into run; false (said) when the input is refused.
    bool Compute(Outcome& run) {
        // A workbook (or a file on standard input, which may be one) is read whole.
        if (in_ != "-" && !LooksLikeExcelFile(input_)) {
            run = RunSchedule(input_, output_, options_);
            return true;
        }
        std::optional<std::string> whole = ReadWhole(input_, inPath_);
        if (!whole) return false;
        if (const std::string excel = RecogniseExcelFile(*whole); !excel.empty()) {
            PrintError(FileMessage("无法打开梁表文件", in_ == "-" ? std::filesystem::u8path("标准输入") : inPath_, excel));
            return false;
        }
        if (LooksLikeWorkbook(*whole)) return ComputeWorkbook(std::move(*whole), run);
        if (bookOut_) csvBytes_ = *whole;
        CsvReader reader(std::move(*whole), encoding_);
        run = RunSchedule(reader, output_, options_);
        return true;
    }

    // Each chosen sheet's rows as read; a building's floors one after another.
    bool ComputeWorkbook(std::string bytes, Outcome& run) {
        std::vector<SheetListing> sheets;
        const auto chosen = ChooseSheets(bytes, inPath_, sheet_, sheets);
        if (!chosen) return false;
        package_ = std::make_shared<const std::string>(std::move(bytes));
        sheetsRun_ = *chosen;
        const bool floors = sheet_ == "all";
        std::string readWarnings;
        for (std::size_t k = 0; k < chosen->size() && run.ok; ++k) {
            CsvLayout layout;
            std::vector<ScheduleRow> rows;
            const Outcome read = ReadWorkbookSchedule(package_, (*chosen)[k], layout, rows);
            if (!read.ok) {
                PrintError(FileMessage("无法打开梁表文件", inPath_, read.message));
                return false;
            }
            readWarnings += read.warnings;
            if (k > 0 && bookOut_) results_.emplace_back();  // this sheet's results
            ScheduleOptions each = options_;
            if (floors) {
                each.floor = sheets[(*chosen)[k]].name;
                each.floorHeader = k == 0;
                if (k > 0) bookFloors_.emplace_back();  // the rows seen go to this floor's part of the book
                bookFloors_.back().name = each.floor;
                if (options_.reportDir) each.reportDir = *options_.reportDir / std::filesystem::u8path(each.floor);
            }
            // (the sheet's rows as read, with the weight a material gave where it has no weight column)
            const Outcome part = RunScheduleRows(SavedLayout(layout, rows).columns, rows, output_, k == 0, each);
            run.ok = part.ok;
            run.count += part.count;
            run.message = part.message;
            if (!part.warnings.empty()) run.warnings += (run.warnings.empty() ? "" : "\n") + part.warnings;
        }
        if (!readWarnings.empty()) {
            if (readWarnings.back() == '\n') readWarnings.pop_back();
            run.warnings = readWarnings + (run.warnings.empty() ? "" : "\n") + run.warnings;
        }
        return true;
    }

    // The book is made before either file takes its place: a book that
    // fails (or Ctrl+C while it is made) leaves the old result and the old book.
    int Finish(const Outcome& run) {
        if (!WriteBook(pdf_, bookFile_, bookFloors_)) return kExitUsage;
        if (bookOut_) {
            const Outcome written =
                WriteWorkbookResult(outFile_, outPath_, package_, sheetsRun_, csvBytes_, inPath_, encoding_, results_);
            if (!written.ok) {
                PrintError(written.message);
                return kExitUsage;
            }
        } else if (out_ != "-") {
            if (const Outcome committed = outFile_.Commit(); !committed.ok) {
                PrintError(committed.message);
                return kExitUsage;
            }
        } else if (StandardOutputFailed()) {
            return kExitUsage;
        }
        if (!CommitBook(pdf_, bookFile_)) return kExitUsage;
        if (!run.warnings.empty()) PrintError(run.warnings);
        return ExitCodeOf(run);
    }

    const std::string in_, out_, sheet_;
    const TextEncoding encoding_;
    const PdfRequest& pdf_;
    const std::filesystem::path inPath_, outPath_;
    const bool bookOut_;
    ScheduleOptions options_;
    std::FILE* input_ = nullptr;
    os::FileInfo inputInfo_;
    std::FILE* output_ = stdout;
    AtomicFile outFile_, bookFile_;
    std::vector<BookFloor> bookFloors_ = std::vector<BookFloor>(1);  // a building's: one per floor
    std::shared_ptr<const std::string> package_;  // the input workbook
    std::vector<std::size_t> sheetsRun_;
    std::string csvBytes_;  // a CSV on standard input, for a workbook result
    std::vector<std::vector<ShownResult>> results_;  // per sheet run, for a workbook result
};

std::string ParameterHelp() {
    std::string text =
        "\n梁表的编码: UTF-8 (有无 BOM 均可) 或 GB18030/GBK (中文 Excel 保存的 CSV);\n"
        "  以 BOM 开头或全文都是合法 UTF-8 时按 UTF-8 读, 否则按 GBK 读; --encoding 可指定。\n"
        "  结果文件与输入的编码相同, 输入有 BOM 时结果也有 BOM, 因此能在 Excel 中原样打开。\n"
        "\n退出码: 0 成功; 1 计算出错 (梁表中有出错或被拒绝的行, 各行的 Error 列写明原因);\n"
        "  2 用法或文件错误 (参数被拒绝、文件无法读写, 已有的结果文件保持原样)。\n"
        "\nNAME (默认值, 单位):\n";
    for (const ParamInfo& p : kParams) {
        text += "  " + std::string(p.field) + " (" + std::string(p.displayName) +
                ") = " + std::string(p.defaultText);
        if (!p.unit.empty()) text += " " + std::string(p.unit);
        text += "\n";
    }
    return text;
}


// The options' values that no run takes (said, with the usage exit code).
std::optional<int> RefusedValues(const std::vector<std::pair<const CLI::Option*, const std::string*>>& given,
                                 const Request& r, const std::string& date) {
    // An option given with an empty value is a mistake, not "not given".
    for (const auto& [option, value] : given) {
        if (option->count() > 0 && value->empty()) {
            PrintError("选项 " + option->get_name() + " 的值不能为空");
            return kExitUsage;
        }
    }
    // (a line break would split the report's date line in two)
    if (std::any_of(date.begin(), date.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
        PrintError("选项 --date 的值不能含有换行等控制字符:\"" + MessageExcerpt(date) + "\"");
        return kExitUsage;
    }
    if (!r.csvIn.empty() && !r.assignments.empty()) {
        PrintError("--csv 不能与 NAME=VALUE 同时使用");
        return kExitUsage;
    }
    return std::nullopt;
}

// The options read into request; an exit code when the run ends here (help
// shown, or an option refused and said).
std::optional<int> ParseOptions(int argc, char** argv, Request& request) {
    CLI::App app{
        "Quorvane 梁上恒载计算 (命令行)。\n"
        "VALUE 与窗口中输入的文字相同, 长度单位为 mm; 未给出的参数取窗口的默认值。"};
    Request& r = request;
    app.add_option("NAME=VALUE", r.assignments, "输入参数");
    auto* reportFlag = app.add_flag("--report", r.report, "输出 25 行计算过程 (UTF-8), 代替结果");
    auto* csvOption =
        app.add_option("--csv", r.csvIn, "梁表: 从 CSV 文件 (- 为标准输入) 计算每一行")->excludes(reportFlag);
    auto* outOption = app.add_option("-o,--output", r.csvOut, "梁表结果写入的 CSV 文件 (默认 - 为标准输出)")
                          ->needs(csvOption);
    auto* reportDirOption =
        app.add_option("--report-dir", r.reportDir, "为梁表的每一行在此文件夹写一份计算过程")->needs(csvOption);
    auto* sheetOption = app.add_option("--sheet", r.sheet,
                                       "梁表是 Excel 工作簿 (.xlsx) 时读哪个工作表: 名称、编号 (从 1 起) 或 all "
                                       "(每个梁表工作表, 结果的第一列为楼层); 默认第一个梁表工作表")
                            ->needs(csvOption);
    app.add_option("--encoding", r.encodingName, "梁表的编码: auto (默认, 自动识别)、utf-8 或 gbk")
        ->check(CLI::IsMember({"auto", "utf-8", "utf8", "gbk", "gb18030"}, CLI::ignore_case))
        ->needs(csvOption);
    std::string materialsOf, date;
    auto* materialsOption = app.add_option("--materials", materialsOf,
                                           "列出 GB 50009-2012 表A 中可用的材料及其重量 (可只列一个参数的, 如 WallDensity);"
                                           "WallMaterial=名称 等即按材料取重量")
                                ->expected(0, 1);
    auto* pdfOption = app.add_option("--pdf", r.pdf.path, "另写一份 PDF 计算书 (立面和截面示意、计算公式、汇总表)");
    for (const TitleField& field : kTitleFields)
        app.add_option(field.option, r.pdf.title.*field.member, field.help)->needs(pdfOption);
    auto* dateOption = app.add_option("--date", date, "计算书和计算过程上的日期 (默认为今天)");
    app.add_option("--revision", r.revisions, "计算书封面修订记录的一行:\"版次 日期 修改内容\" (可多次给出)")
        ->needs(pdfOption);
    pdfOption->excludes(reportFlag);
    app.footer(ParameterHelp());
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        Print(stdout, app.help());
        return 0;
    } catch (const CLI::ParseError& e) {
        PrintError(std::string(e.what()) + " (用法见 --help)");
        return kExitUsage;
    }
    if (materialsOption->count() > 0) r.materials = materialsOf;
    if (dateOption->count() > 0) r.date = date;
    return RefusedValues({{csvOption, &r.csvIn},
                          {outOption, &r.csvOut},
                          {reportDirOption, &r.reportDir},
                          {pdfOption, &r.pdf.path},
                          {sheetOption, &r.sheet},
                          {dateOption, &date}},
                         r, date);
}

// One beam from NAME=VALUE: its results (or its report) on standard
// output, and its book when asked.
int RunOneBeam(const Request& request, const ReportOptions& system) {
    BeamTexts texts;
    MaterialTexts materials{};
    std::string materialWarnings;
    if (std::string refusal = ReadAssignments(request.assignments, texts, materials, materialWarnings);
        !refusal.empty()) {
        PrintError(refusal);
        return kExitUsage;
    }
    if (!materialWarnings.empty()) {
        materialWarnings.pop_back();
        PrintError(materialWarnings);
    }
    // The one way a beam is checked and computed, as for a schedule's row.
    const BeamOutcome row = EvaluateBeam(texts);
    if (row.refused) {
        PrintError(row.error);
        return kExitUsage;
    }
    const Calculation& c = row.calculation;
    // (A failure before the last load leaves no results; one in the copy rule leaves them all.)
    if (c.results.CadInputLoad.empty()) {
        PrintError(row.error);
        return kExitArithmetic;
    }
    if (request.report) {
        Print(stdout, ReportText(BuildReportLines(c.inputs, c.results, system.date)));
        return StandardOutputFailed() ? kExitUsage : 0;
    }
    for (std::size_t i = 0; i < kResultCount; ++i)
        Print(stdout, std::string(kResultCaptions[i]) + " " + ResultText(c.results, i) + " " +
                          std::string(kResultUnit) + "\n");
    if (!row.ok()) {
        PrintError(row.error);
        return StandardOutputFailed() ? kExitUsage : kExitArithmetic;
    }
    Print(stdout, "复制: " + row.copied + "\n");
    if (StandardOutputFailed()) return kExitUsage;
    const PdfRequest& pdf = request.pdf;
    if (!pdf.path.empty()) {
        AtomicFile bookFile;
        const BookFloor beam{{}, {ScheduleRow({}, texts.Views(), materials)}, {row}};
        if (!OpenBook(pdf, bookFile) || !WriteBook(pdf, bookFile, {beam}) || !CommitBook(pdf, bookFile))
            return kExitUsage;
    }
    return 0;
}

int Run(int argc, char** argv) {
    Request request;
    if (const std::optional<int> ended = ParseOptions(argc, argv, request)) return *ended;
    if (request.materials) return ListMaterials(*request.materials);
    // The system's date and code page read once: the reports and the book of a run bear one date.
    ReportOptions system = SystemReportOptions();
    if (request.date) system.date = *request.date;  // the engineer's own, for the whole run
    request.pdf.title.date = system.date;
    for (const std::string& revision : request.revisions) request.pdf.title.revisions += revision + "\n";
    if (request.csvIn.empty()) return RunOneBeam(request, system);
    const std::string& name = request.encodingName;
    const TextEncoding encoding = name == "auto"                     ? TextEncoding::Auto
                                  : name == "utf-8" || name == "utf8" ? TextEncoding::Utf8
                                                                      : TextEncoding::Gb18030;
    return ScheduleFilesRun(request, encoding, system).Run();
}

}  // namespace

int main(int argc, char** argv) {
    // Report files follow the system's character set; numbers never do.
    std::setlocale(LC_CTYPE, "");
    os::UseBinaryStandardStreams();
    std::vector<std::string> args = os::CommandLineArguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& arg : args) pointers.push_back(arg.data());
    if (!pointers.empty()) {
        argc = static_cast<int>(pointers.size());
        argv = pointers.data();
    }
    // Every failure is a message and an exit code, never an abort.
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        PrintError("内存不足,无法完成计算;请关闭其他程序后重试,或把梁表分成几个文件");
        return kExitUsage;
    } catch (const std::exception& e) {
        PrintError(std::string("内部错误: ") + e.what());
        return kExitUsage;
    }
}
