#include "document.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <cerrno>
#include <cstdio>

#include "encoding.h"
#include "numtext.h"
#include "os.h"
#include "workbookfile.h"

namespace quorvane {
namespace {

constexpr std::size_t kRowsBetweenProgress = 4096;

// The line end the file uses, from its first one (CR LF when it has none).
std::string FirstLineEnd(std::string_view bytes) {
    const std::size_t at = bytes.find_first_of("\r\n");
    if (at == std::string_view::npos) return "\r\n";
    if (bytes[at] == '\n') return "\n";
    return at + 1 < bytes.size() && bytes[at + 1] == '\n' ? "\r\n" : "\r";
}

bool EndsWithLineEnd(std::string_view bytes) {
    return !bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r');
}

std::string RowNumbers(const std::vector<long long>& rows) {
    std::string text;
    for (std::size_t i = 0; i < rows.size() && i < 5; ++i) text += (i ? "、" : "") + IntegerText(rows[i]);
    if (rows.size() > 5) text += " 等 " + IntegerText(static_cast<long long>(rows.size())) + " 行";
    return text;
}

}  // namespace

CsvLayout NewScheduleLayout() {
    CsvLayout layout;
    for (std::size_t c = 0; c < kScheduleColumnCount; ++c) {
        layout.columns.push_back(ColumnAt(c));
        layout.headers.emplace_back(ColumnField(ColumnAt(c)));
    }
    return layout;
}

namespace {

// What a reader of a CSV file is told: bytes kept as they were, UTF-16
// text, rows refused (numbered from the header's next) or cut, weights
// taken from materials (materialNote).
std::string CsvWarnings(const CsvReader& reader, const std::vector<long long>& refusedRows,
                        const std::vector<long long>& longRows, const std::string& materialNote) {
    std::string warnings;
    if (reader.keptBytes()) warnings = reader.EncodingWarning() + "\n";
    if (reader.utf16())
        warnings += "这是 UTF-16 文本 (Excel 的“Unicode 文本”),保存时将写成带 BOM 的 UTF-8 CSV。\n";
    if (!refusedRows.empty())
        warnings += "第 " + RowNumbers(refusedRows) +
                    " 行的格子与列名行对不齐 (原因见该行的“错误”列),没有计算;改过这一行的格子之后才计算。\n";
    if (!longRows.empty())
        warnings += "第 " + RowNumbers(longRows) + " 行比列名行多出的格子没有读入,保存时不会写回。\n";
    if (!materialNote.empty()) warnings += materialNote + "\n";
    return warnings;
}

// The file's quoting style, kept for its save: whether every text cell
// came quoted (and one did). Looked at until a bare text shows.
class QuotingStyle {
public:
    void Note(const CsvReader& reader, const std::vector<std::string>& cells) {
        const std::uint64_t quoted = reader.quotedFields();
        for (std::size_t c = 0; c < cells.size() && c < 64 && bareTexts_ == 0; ++c) {
            if (cells[c].empty() || IsCsvNumber(cells[c])) continue;
            if ((quoted >> c) & 1u)
                ++quotedTexts_;
            else
                ++bareTexts_;
        }
    }
    bool AllTextsQuoted() const { return quotedTexts_ > 0 && bareTexts_ == 0; }

private:
    long long quotedTexts_ = 0, bareTexts_ = 0;
};

}  // namespace

Outcome ReadScheduleBytes(std::string bytes, TextEncoding encoding, CsvLayout& layout,
                              std::vector<ScheduleRow>& rows, const ProgressCallback& progress) {
    Outcome outcome;
    CsvLayout read;
    read.lineEnd = FirstLineEnd(bytes);
    read.finalLineEnd = EndsWithLineEnd(bytes);
    CsvReader reader{std::move(bytes), encoding};
    std::vector<std::string> cells;
    if (!reader.Next(cells)) return Failed("文件是空的:第一行应是列名");
    if (Outcome header = HeaderColumns(cells, read.columns); !header.ok) {
        if (reader.keptBytes()) header.message += "\n" + reader.EncodingWarning();
        return header;
    }
    QuotingStyle quoting;
    quoting.Note(reader, cells);
    read.headers = cells;
    read.encoding = reader.encoding();
    read.byteOrderMark = reader.hadByteOrderMark();
    if (reader.utf16()) read.lineEnd = "\r\n";

    const InputTexts defaults = ScheduleRow().texts();
    std::vector<ScheduleRow> taken;
    std::vector<long long> refusedRows, longRows;
    bool tookWeights = false;
    while (reader.Next(cells)) {
        if (reader.blank()) continue;
        quoting.Note(reader, cells);
        std::string_view mark;
        InputTexts texts = defaults;
        MaterialTexts materials{};
        for (std::size_t c = 0; c < read.columns.size() && c < cells.size(); ++c) {
            const ScheduleColumn column = read.columns[c];
            if (column.kind == ColumnKind::Mark) mark = cells[c];
            if (column.kind == ColumnKind::Input) texts[column.index] = cells[c];
            if (column.kind == ColumnKind::Material) materials[column.index] = cells[c];
        }
        taken.push_back(BeamOf(mark, texts, materials, read.columns, tookWeights));
        if (const std::string why = CsvRecordRefusal(reader, cells.size(), read.columns.size()); !why.empty()) {
            taken.back().SetRefusal(why);
            refusedRows.push_back(static_cast<long long>(taken.size()));
            if (cells.size() > read.columns.size()) longRows.push_back(static_cast<long long>(taken.size()));
        }
        if (progress && taken.size() % kRowsBetweenProgress == 0 && !progress(reader.partDone())) return Cancelled();
    }
    read.keptBytes = reader.keptBytes();
    if (quoting.AllTextsQuoted()) read.quoting = CsvQuoting::Texts;
    outcome.warnings = CsvWarnings(reader, refusedRows, longRows, tookWeights ? MaterialWeightNote(read.columns) : "");
    layout = std::move(read);
    rows = std::move(taken);
    return outcome;
}

namespace {

// The whole file, or why not; an Excel file that is no workbook is named.
Outcome ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
    std::FILE* in = os::OpenFileForReading(path);
    if (!in) return Failed(FileMessage("无法打开梁表文件", path, ReadFailureReason(errno)));
    const os::FileInfo info = os::InspectStream(in);
    if (info.kind == os::FileInfo::kRegular) bytes.reserve(static_cast<std::size_t>(info.size));  // never regrown
    const int error = ReadRest(in, bytes);
    std::fclose(in);
    if (error) return Failed(FileMessage("读取梁表文件时出错", path, ReadFailureReason(error)), CauseOf(error));
    if (const std::string excel = RecogniseExcelFile(bytes); !excel.empty())
        return Failed(FileMessage("无法打开梁表文件", path, excel));
    return {};
}

void ComputeRows(ScheduleSheet& sheet) {
    sheet.results.reserve(sheet.rows.size());
    for (const ScheduleRow& row : sheet.rows) sheet.results.emplace_back(EvaluateRow(row));
}

// Floors read by a few threads at once. A thread with no floor left to
// read computes the rows of floors already read, in pieces, so that five
// floors on two cores end together rather than in three rounds.
class FloorReaders {
public:
    FloorReaders(const std::shared_ptr<const std::string>& package, const std::vector<std::size_t>& schedules,
                 std::vector<ScheduleSheet>& read, std::vector<Outcome>& outcomes)
        : package_(package), schedules_(schedules), read_(read), outcomes_(outcomes),
          done_(new std::atomic<int>[schedules.size()]) {
        for (std::size_t k = 0; k < schedules.size(); ++k) done_[k] = 0;
    }

    // True when cancelled.
    bool Run(std::size_t threads, const ProgressCallback& progress) {
        std::vector<std::thread> workers;
        for (std::size_t t = 0; t < threads; ++t) workers.emplace_back([this] { Work(); });
        const std::size_t floors = schedules_.size();
        {
            std::unique_lock<std::mutex> lock(mutex_);
            while (workersDone_ < threads) {
                wake_.wait_for(lock, std::chrono::milliseconds(50));
                if (!progress || cancel_) continue;
                double sum = 0;
                for (std::size_t k = 0; k < floors; ++k) sum += done_[k] / 1000.0;
                lock.unlock();
                if (!progress(sum / static_cast<double>(floors))) cancel_ = true;
                lock.lock();
            }
        }
        for (std::thread& t : workers) t.join();
        return cancel_;
    }

private:
    static constexpr std::size_t kPiece = 2048;  // rows computed at a time

    void Work() {
        const std::size_t floors = schedules_.size();
        for (std::size_t k; (k = next_++) < floors;) {
            outcomes_[k] = ReadWorkbookSchedule(package_, schedules_[k], read_[k].layout, read_[k].rows,
                                                [this, k](double part) {
                                                    done_[k] = static_cast<int>(part * 1000);
                                                    return !cancel_;
                                                });
            done_[k] = 1000;
            const std::lock_guard<std::mutex> lock(mutex_);
            if (outcomes_[k].ok) {
                read_[k].results.resize(read_[k].rows.size());
                for (std::size_t first = 0; first < read_[k].rows.size(); first += kPiece) pieces_.emplace_back(k, first);
            }
            ++floorsRead_;
            more_.notify_all();
        }
        for (;;) {
            std::pair<std::size_t, std::size_t> piece;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                more_.wait(lock, [&] { return nextPiece_ < pieces_.size() || floorsRead_ == floors; });
                if (nextPiece_ == pieces_.size()) break;
                piece = pieces_[nextPiece_++];
            }
            if (cancel_) continue;
            ScheduleSheet& sheet = read_[piece.first];
            const std::size_t end = std::min(sheet.rows.size(), piece.second + kPiece);
            for (std::size_t r = piece.second; r < end; ++r) sheet.results[r] = ShownResult(EvaluateRow(sheet.rows[r]));
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            ++workersDone_;
        }
        wake_.notify_one();
    }

    const std::shared_ptr<const std::string>& package_;
    const std::vector<std::size_t>& schedules_;
    std::vector<ScheduleSheet>& read_;
    std::vector<Outcome>& outcomes_;
    std::unique_ptr<std::atomic<int>[]> done_;  // per floor, of 1000
    std::atomic<bool> cancel_{false};
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;
    std::condition_variable wake_, more_;
    // (under mutex_)
    std::vector<std::pair<std::size_t, std::size_t>> pieces_;  // floor, first row
    std::size_t nextPiece_ = 0, floorsRead_ = 0, workersDone_ = 0;
};

// The workbook's floors (sheets by number) read into read, side by side,
// one a core (each reader its own), and every row computed; progress and
// cancel stay with the caller's thread. True when cancelled.
bool ReadFloors(const std::shared_ptr<const std::string>& package, const std::vector<std::size_t>& schedules,
                std::vector<ScheduleSheet>& read, std::vector<Outcome>& outcomes, const ProgressCallback& progress) {
    const std::size_t floors = schedules.size();
    outcomes.assign(floors, Outcome());
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t helpers = floors > 1 && cores > 1 ? std::min(floors, cores) : 0;
    if (helpers == 0) {
        // One floor (or one core): read here, progress as it goes.
        bool cancel = false;
        for (std::size_t k = 0; k < floors && !cancel; ++k) {
            outcomes[k] = ReadWorkbookSchedule(package, schedules[k], read[k].layout, read[k].rows, [&](double part) {
                return !progress || progress((static_cast<double>(k) + part) / static_cast<double>(floors));
            });
            if (outcomes[k].ok) ComputeRows(read[k]);
            cancel = outcomes[k].cancelled;
        }
        return cancel;
    }
    return FloorReaders(package, schedules, read, outcomes).Run(helpers, progress);
}

}  // namespace

Outcome ReadScheduleSheets(const std::filesystem::path& path, TextEncoding encoding, std::vector<ScheduleSheet>& sheets,
                           const ProgressCallback& progress) {
    std::string bytes;
    if (Outcome read = ReadWholeFile(path, bytes); !read.ok) return read;
    std::vector<ScheduleSheet> read(1);
    if (!LooksLikeWorkbook(bytes)) {
        Outcome outcome = ReadScheduleBytes(std::move(bytes), encoding, read[0].layout, read[0].rows, progress);
        if (outcome.ok) {
            ComputeRows(read[0]);
            sheets = std::move(read);
        }
        return outcome;
    }
    auto package = std::make_shared<const std::string>(std::move(bytes));
    std::vector<SheetListing> listed;
    if (Outcome outcome = ListWorkbookSheets(*package, listed); !outcome.ok)
        return Failed(FileMessage("无法打开梁表文件", path, outcome.message));
    std::vector<std::size_t> schedules;
    std::string others, damaged;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (listed[i].schedule)
            schedules.push_back(i);
        else if (!listed[i].damage.empty())
            damaged += listed[i].damage + ";不在窗口中显示。\n";
        else
            others += (others.empty() ? "“" : "、“") + listed[i].name + "”";
    }
    if (schedules.empty()) schedules.push_back(0);  // whose header is refused, and says why
    read.resize(schedules.size());
    std::vector<Outcome> outcomes;
    const bool cancelled = ReadFloors(package, schedules, read, outcomes, progress);
    const std::size_t floors = schedules.size();
    Outcome all;
    for (std::size_t k = 0; k < floors; ++k) {
        const Outcome& outcome = outcomes[k];
        if (outcome.cancelled || cancelled) return Cancelled();
        if (!outcome.ok) return Failed(FileMessage("无法打开梁表文件", path, outcome.message));
        read[k].name = listed[schedules[k]].name;
        all.warnings += outcome.warnings;
    }
    if (!others.empty() && listed[schedules[0]].schedule)
        all.warnings += "工作表 " + others + " 的第一行不是梁表的列名,不在窗口中显示;保存时原样保留。\n";
    if (listed[schedules[0]].schedule) all.warnings += damaged;
    sheets = std::move(read);
    return all;
}

Outcome ReadScheduleFile(const std::filesystem::path& path, TextEncoding encoding, CsvLayout& layout,
                             std::vector<ScheduleRow>& rows, const ProgressCallback& progress) {
    std::string bytes;
    if (Outcome read = ReadWholeFile(path, bytes); !read.ok) return read;
    if (LooksLikeWorkbook(bytes)) {
        auto package = std::make_shared<const std::string>(std::move(bytes));
        Outcome read = ReadWorkbookSchedule(std::move(package), kFirstScheduleSheet, layout, rows, progress);
        if (!read.ok && !read.cancelled) read.message = FileMessage("无法打开梁表文件", path, read.message);
        return read;
    }
    return ReadScheduleBytes(std::move(bytes), encoding, layout, rows, progress);
}

namespace {

// A column's header as the file names its columns (captions when it uses
// them: they are Chinese, field names ASCII).
std::function<std::string(ScheduleColumn)> HeaderNaming(const CsvLayout& layout) {
    bool captions = false;
    for (const std::string& header : layout.headers) {
        const std::size_t first = header.find_first_not_of(" \t");
        captions = captions || (first != std::string::npos && static_cast<unsigned char>(header[first]) >= 0x80);
    }
    return [captions](ScheduleColumn column) {
        return captions ? ColumnCaption(column) : std::string(ColumnField(column));
    };
}

// The inputs a row moved off their defaults, of those the layout lacks.
std::vector<std::size_t> InputsUsed(const CsvLayout& layout, const std::vector<ScheduleRow>& rows) {
    std::vector<std::size_t> missing;
    for (std::size_t i = 0; i < kInputCount; ++i)
        if (std::find(layout.columns.begin(), layout.columns.end(), ScheduleColumn{ColumnKind::Input, i}) ==
            layout.columns.end())
            missing.push_back(i);
    std::vector<bool> changed(kInputCount);
    for (const ScheduleRow& row : rows) {
        if (missing.empty()) break;
        const InputTexts texts = row.texts();
        for (std::size_t i : missing) changed[i] = changed[i] || texts[i] != kParams[i].defaultText;
    }
    std::vector<std::size_t> used;
    for (std::size_t i : missing)
        if (changed[i]) used.push_back(i);
    return used;
}

// The materials some row picked, of those the layout lacks.
std::array<bool, kMaterialCount> MaterialsPicked(const CsvLayout& layout, const std::vector<ScheduleRow>& rows) {
    std::array<bool, kMaterialCount> shown{}, picked{};
    std::size_t unseen = 0;
    for (std::size_t k = 0; k < kMaterialCount; ++k) {
        shown[k] = std::find(layout.columns.begin(), layout.columns.end(), ScheduleColumn{ColumnKind::Material, k}) !=
                   layout.columns.end();
        unseen += shown[k] ? 0 : 1;
    }
    for (auto row = rows.begin(); row != rows.end() && unseen > 0; ++row) {
        const MaterialTexts names = row->materials();  // (one walk over the row's fields)
        for (std::size_t k = 0; k < kMaterialCount; ++k)
            if (!shown[k] && !picked[k] && !names[k].empty()) {
                picked[k] = true;
                --unseen;
            }
    }
    return picked;
}

}  // namespace

CsvLayout SavedLayout(const CsvLayout& original, const std::vector<ScheduleRow>& rows, bool withResults) {
    CsvLayout layout = original;
    const auto headerOf = HeaderNaming(layout);
    // An input column the file lacked keeps nothing on save unless a row has
    // moved off its default: then it joins the file, at the end, named in
    // the header's own language.
    for (std::size_t i : InputsUsed(layout, rows)) {
        layout.columns.push_back({ColumnKind::Input, i});
        layout.headers.push_back(headerOf({ColumnKind::Input, i}));
    }
    // A material picked in some row: its column, beside its weight.
    const std::array<bool, kMaterialCount> picked = MaterialsPicked(layout, rows);
    for (std::size_t k = 0; k < kMaterialCount; ++k) {
        if (!picked[k]) continue;
        const std::size_t at = AddMaterialColumn(layout.columns, k);
        layout.headers.insert(layout.headers.begin() + static_cast<long>(at), headerOf({ColumnKind::Material, k}));
    }
    // The loads the window shows, so that the file carries them too.
    for (std::size_t c = 1 + kInputCount; withResults && c < kScheduleColumnCount; ++c) {
        const ScheduleColumn column = ColumnAt(c);
        if (std::find(layout.columns.begin(), layout.columns.end(), column) != layout.columns.end()) continue;
        layout.columns.push_back(column);
        layout.headers.push_back(headerOf(column));
    }
    const bool hasMark = std::any_of(layout.columns.begin(), layout.columns.end(),
                                     [](const ScheduleColumn& c) { return c.kind == ColumnKind::Mark; });
    if (!hasMark && std::any_of(rows.begin(), rows.end(), [](const ScheduleRow& row) { return !row.mark().empty(); })) {
        layout.columns.insert(layout.columns.begin(), ScheduleColumn{ColumnKind::Mark, 0});
        layout.headers.insert(layout.headers.begin(), headerOf(layout.columns[0]));
    }
    return layout;
}

std::string ScheduleFileBytes(const CsvLayout& layout, const std::vector<ScheduleRow>& rows,
                              const std::vector<ShownResult>& results) {
    std::string text;
    text.reserve((rows.size() + 1) * 160);
    AppendCsvRecord(text, layout.headers, layout.lineEnd, layout.quoting);
    for (std::size_t r = 0; r < rows.size(); ++r)
        AppendScheduleRecord(text, layout.columns, rows[r], results[r], layout.lineEnd, layout.quoting);
    if (!layout.finalLineEnd && !rows.empty()) text.resize(text.size() - layout.lineEnd.size());
    return EncodeCsvText(text, layout.encoding, layout.byteOrderMark, layout.keptBytes);
}

Outcome SaveScheduleFile(const std::filesystem::path& path, const CsvLayout& layout,
                         const std::vector<ScheduleRow>& rows, const std::vector<ShownResult>& results) {
    return ReplaceFileAtomically(path, ScheduleFileBytes(layout, rows, results), "无法保存梁表文件");
}

}  // namespace quorvane
