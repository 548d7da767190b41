#include "xlsx.h"

#include <algorithm>

#include <xlsxwriter.h>

#include <cerrno>
#include <cmath>
#include <optional>
#include <string>
#include <system_error>

#include "numtext.h"
#include "os.h"

namespace quorvane {
namespace {

constexpr lxw_color_t kResultShade = 0xE2EFDA;
constexpr lxw_color_t kHeaderShade = 0xDDEBF7;

class Workbook {
public:
    Workbook(const std::string& file, const std::string& tmpdir) : tmpdir_(tmpdir) {
        lxw_workbook_options options = {};
        options.constant_memory = LXW_TRUE;  // rows go straight to a temporary file
        options.tmpdir = tmpdir_.data();
        book_ = workbook_new_opt(file.c_str(), &options);
    }
    ~Workbook() {
        if (book_) workbook_close(book_);
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;
    lxw_workbook* get() const { return book_; }
    lxw_error Close() {
        const lxw_error error = workbook_close(book_);
        book_ = nullptr;
        return error;
    }

private:
    std::string tmpdir_;
    lxw_workbook* book_ = nullptr;
};

// The schedule's one sheet: captions, then a row a beam, numbers as numbers.
void WriteScheduleSheet(lxw_workbook* book, const std::vector<ScheduleRow>& rows,
                        const std::vector<ShownResult>& results) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, "梁表");
    lxw_format* header = workbook_add_format(book);
    format_set_bold(header);
    format_set_bg_color(header, kHeaderShade);
    format_set_text_wrap(header);
    lxw_format* result = workbook_add_format(book);
    format_set_bg_color(result, kResultShade);
    lxw_format* copied = workbook_add_format(book);
    format_set_bg_color(copied, kResultShade);
    format_set_num_format(copied, "0.0");
    lxw_format* refused = workbook_add_format(book);
    format_set_font_color(refused, LXW_COLOR_RED);

    // Every column, and a material's where a row names one.
    std::vector<ScheduleColumn> columns;
    for (std::size_t c = 0; c < kScheduleColumnCount; ++c) columns.push_back(ColumnAt(c));
    for (std::size_t k = 0; k < kMaterialCount; ++k)
        if (std::any_of(rows.begin(), rows.end(), [k](const ScheduleRow& row) { return !row.material(k).empty(); }))
            AddMaterialColumn(columns, k);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const auto col = static_cast<lxw_col_t>(c);
        worksheet_write_string(sheet, 0, col, ColumnCaption(columns[c]).c_str(), header);
        const ColumnKind kind = columns[c].kind;
        const double width = kind == ColumnKind::Error ? 40 : kind == ColumnKind::Result ? 18 : 11;
        worksheet_set_column(sheet, col, col, width, nullptr);
    }
    worksheet_freeze_panes(sheet, 1, 1);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto row = static_cast<lxw_row_t>(r + 1);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const ScheduleColumn column = columns[c];
            const auto col = static_cast<lxw_col_t>(c);
            const std::string text(CellText(column, rows[r], results[r]));
            if (text.empty()) continue;
            lxw_format* format = column.kind == ColumnKind::Result   ? result
                                 : column.kind == ColumnKind::Copied ? copied
                                 : column.kind == ColumnKind::Input && results[r].IsRefused(column.index)
                                     ? refused
                                     : nullptr;
            const Reading reading = ReadText(text);
            const bool number = column.kind != ColumnKind::Mark && column.kind != ColumnKind::Error &&
                                column.kind != ColumnKind::Material && reading.numeric && std::isfinite(reading.value);
            if (number)
                worksheet_write_number(sheet, row, col, reading.value, format);
            else
                worksheet_write_string(sheet, row, col, text.c_str(), format);
        }
    }
}

}  // namespace

Outcome ExportXlsx(const std::filesystem::path& path, const std::vector<ScheduleRow>& rows,
                        const std::vector<ShownResult>& results) {
    const auto failed = [&path](std::string_view reason) -> Outcome {
        return Failed(FileMessage("无法导出 Excel 文件", path, reason));
    };
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    // The library opens its files with the C library's narrow fopen: its
    // own temporary file gets a plain name in the folder's narrow form.
    const std::optional<std::string> narrowFolder = os::NarrowFolderPath(folder);
    if (!narrowFolder) return failed("文件夹的名字无法交给导出程序,请换一个文件夹");
    const std::string tempName = "~quorvane-export-" + IntegerText(os::ProcessId()) + ".tmp";
    const std::filesystem::path temp = folder / tempName;
    // The library prints numbers with the C library's printf, which follows
    // the locale (a German one would write "2,908").
    const os::ClassicNumbersOnThisThread classic;
    Workbook book(*narrowFolder + "/" + tempName, *narrowFolder);
    if (!book.get()) return failed("无法创建文件");
    WriteScheduleSheet(book.get(), rows, results);
    const lxw_error closed = book.Close();
    std::error_code ec;
    if (closed != LXW_NO_ERROR) {
        std::filesystem::remove(temp, ec);
        return failed(closed == LXW_ERROR_CREATING_XLSX_FILE || closed == LXW_ERROR_CREATING_TMPFILE
                          ? std::string("无法在这个文件夹里创建文件")
                          : std::string(lxw_strerror(closed)));
    }
    // The library's file, handed to the file service like any other write
    // (a link kept, a read-only file refused, the old file whole on failure).
    std::string bytes;
    if (std::FILE* made = os::OpenFileForReading(temp)) {
        const bool failed = ReadRest(made, bytes) != 0;
        std::fclose(made);
        if (failed) bytes.clear();
    }
    std::filesystem::remove(temp, ec);
    if (bytes.empty()) return failed("无法在这个文件夹里创建文件");
    return ReplaceFileAtomically(path, bytes, "无法导出 Excel 文件");
}

}  // namespace quorvane
