#include "workbookfile.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

#include "document.h"
#include "numtext.h"
#include "package.h"
#include "arrange.h"
#include "patch.h"
#include "sheets.h"

namespace quorvane {

struct SavedSheet {
    std::string part;
    workbook::SheetScan scan;
    workbook::DeflatedPart deflated;
};

namespace {

using workbook::Cell;
using workbook::CellState;

// What a cell that does not read holds, so that its row is refused rather
// than computed with an empty (zero) value.
constexpr std::string_view kMissingString = "#字符串缺失";

std::string Quoted(std::string_view name) { return "“" + std::string(name) + "”"; }

// "一层!E2", with the name quoted as Excel does when it needs to be.
std::string SheetCell(std::string_view sheet, std::uint32_t row, std::uint32_t column) {
    const bool plain = std::all_of(sheet.begin(), sheet.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x80 || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
               (c >= 'a' && c <= 'z') || c == '_';
    });
    std::string name(sheet);
    if (!plain) {
        std::string quoted = "'";
        for (char c : name) quoted += c == '\'' ? std::string("''") : std::string(1, c);
        name = quoted + "'";
    }
    return name + "!" + workbook::CellReference(row, column);
}

std::string ListOf(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size() && i < 5; ++i) text += (i ? "、" : "") + items[i];
    if (items.size() > 5) text += " 等 " + IntegerText(static_cast<long long>(items.size())) + " 格";
    return text;
}

bool Filled(const std::vector<Cell>& cells) {
    return std::any_of(cells.begin(), cells.end(),
                       [](const Cell& c) { return !c.text.empty() || c.state != CellState::Value; });
}

// The header of a sheet: its filled cells' texts, in column order.
struct Header {
    std::vector<std::string> texts;
    std::vector<std::uint32_t> columns;
};

Header HeaderOf(const std::vector<Cell>& cells) {
    Header header;
    for (const Cell& c : cells) {
        if (c.text.empty() && c.state == CellState::Value) continue;
        header.texts.push_back(c.text);
        header.columns.push_back(c.column);
    }
    return header;
}

// Reads a sheet's beams: the one reading rule of the window and the command line.
struct SheetRead {
    Outcome outcome;
    std::uint32_t headerRow = 0;
    Header header;
    std::vector<ScheduleColumn> columns;
    std::vector<ScheduleRow> rows;
    std::vector<std::uint32_t> rowNumbers;  // of rows, in the sheet
    std::vector<std::uint64_t> loadPrints;  // of rows: the load cells as the file holds them
    bool tookWeights = false;  // some row's weight came from its material
};

bool IsLoad(ColumnKind kind) {
    return kind == ColumnKind::Result || kind == ColumnKind::Copied || kind == ColumnKind::Error;
}

// Texts as one number (FNV-1a), each text ended, so that ("a","b") is not ("ab","").
class Fingerprint {
public:
    void Add(std::string_view text) {
        for (const char c : text) h_ = (h_ ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        h_ = (h_ ^ 0xFFu) * 1099511628211ull;
    }
    std::uint64_t value() const { return h_; }

private:
    std::uint64_t h_ = 1469598103934665603ull;
};

// The load cells a row shows, in the order of the file's columns.
std::uint64_t LoadPrint(const std::vector<ScheduleColumn>& fileColumns, const ScheduleRow& row, const ShownResult& result) {
    Fingerprint print;
    for (const ScheduleColumn& column : fileColumns)
        if (IsLoad(column.kind)) print.Add(CellText(column, row, result));
    return print.value();
}

// A row's texts as one number: equal texts, equal prints.
std::uint64_t Print(const ScheduleRow& row) {
    Fingerprint print;
    print.Add(row.mark());
    for (const std::string_view text : row.texts()) print.Add(text);
    for (const std::string_view name : row.materials()) print.Add(name);
    return print.value();
}

// A sheet taken as a schedule, row by row as the reader hands them over:
// the header (the first filled row, or the one given), then each row with
// a cell under the header's columns a beam (one that wanted refuses is
// passed over). Cells that do not read are listed for the warnings.
class ScheduleSheetReader {
public:
    ScheduleSheetReader(std::string name, std::uint32_t headerRow, const std::function<bool(std::uint32_t)>& wanted)
        : name_(std::move(name)), headerRow_(headerRow), wanted_(wanted) {}

    bool Take(std::uint32_t row, const std::vector<Cell>& cells) {
        outOfOrder_ = outOfOrder_ || row <= last_;
        last_ = std::max(last_, row);
        if (!Filled(cells)) return true;
        if (read_.headerRow == 0) {
            if (headerRow_ != 0 && row != headerRow_) return true;  // (second pass) not yet the header
            return TakeHeader(row, cells);
        }
        if (row < read_.headerRow) {
            earlier_ = true;  // the header was not the lowest filled row
            return false;
        }
        TakeBeam(row, cells);  // (the reader gives each row once)
        return true;
    }

    SheetRead& read() { return read_; }
    const std::string& failure() const { return failure_; }
    // A filled row came before the header taken: the header is another.
    bool earlier() const { return earlier_; }

    // The beams in the sheet's order, and the warnings.
    void Finish() {
        if (outOfOrder_) Order();
        std::string& warnings = read_.outcome.warnings;
        if (!noValue_.empty())
            warnings += ListOf(noValue_) + " 是没有保存计算结果的公式 (由程序生成的文件常常如此),读不出值,所在的行不计算;"
                        "请在 Excel 中打开这个文件并保存一次。\n";
        if (!missing_.empty())
            warnings += ListOf(missing_) + " 指向工作簿里不存在的共享字符串 (文件已损坏),读不出值,所在的行不计算。\n";
        if (read_.tookWeights) warnings += "工作表" + Quoted(name_) + ":" + MaterialWeightNote(read_.columns) + "\n";
    }

private:
    bool TakeHeader(std::uint32_t row, const std::vector<Cell>& cells) {
        read_.headerRow = row;
        for (const Cell& c : cells)
            if (c.state != CellState::Value)
                failure_ = "列名格 " + SheetCell(name_, row, c.column) + " 读不出文字 (公式没有保存结果或文件已损坏)";
        read_.header = HeaderOf(cells);
        if (const Outcome header = HeaderColumns(read_.header.texts, read_.columns); !header.ok)
            failure_ = "工作表" + Quoted(name_) + "第 " + IntegerText(row) + " 行 (列名行):" + header.message;
        if (!failure_.empty()) return false;
        positionOf_.assign(read_.header.columns.back() + 1, -1);
        for (std::size_t i = 0; i < read_.columns.size(); ++i) positionOf_[read_.header.columns[i]] = static_cast<int>(i);
        return true;
    }

    void TakeBeam(std::uint32_t row, const std::vector<Cell>& cells) {
        InputTexts texts = defaults_;
        for (std::size_t i = 0; i < read_.columns.size(); ++i)
            if (read_.columns[i].kind == ColumnKind::Input) texts[read_.columns[i].index] = std::string_view();
        std::string_view mark;
        MaterialTexts materials{};
        bool beam = false;
        loads_.assign(read_.columns.size(), std::string_view());
        for (const Cell& c : cells) {
            if (c.column >= positionOf_.size() || positionOf_[c.column] < 0) continue;  // beside the schedule
            const std::size_t position = static_cast<std::size_t>(positionOf_[c.column]);
            const ScheduleColumn column = read_.columns[position];
            std::string_view text = c.text;
            if (c.state == CellState::MissingString) {
                text = kMissingString;
                missing_.push_back(SheetCell(name_, row, c.column));
            } else if (c.state == CellState::NoValue && !IsLoad(column.kind)) {
                noValue_.push_back(SheetCell(name_, row, c.column));
            }
            beam = beam || !text.empty() || c.state != CellState::Value;
            if (column.kind == ColumnKind::Mark) mark = text;
            if (column.kind == ColumnKind::Input) texts[column.index] = text;
            if (column.kind == ColumnKind::Material) materials[column.index] = text;
            loads_[position] = text;
        }
        if (!beam) return;  // cells beside the schedule only
        if (wanted_ && !wanted_(row)) return;
        read_.rows.push_back(BeamOf(mark, texts, materials, read_.columns, read_.tookWeights));
        read_.rowNumbers.push_back(row);
        Fingerprint print;
        for (std::size_t p = 0; p < read_.columns.size(); ++p)
            if (IsLoad(read_.columns[p].kind)) print.Add(loads_[p]);
        read_.loadPrints.push_back(print.value());
    }

    // Rows may come in any order: the beams sorted by their sheet rows.
    void Order() {
        std::vector<std::size_t> order(read_.rows.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::sort(order.begin(), order.end(),
                  [this](std::size_t a, std::size_t b) { return read_.rowNumbers[a] < read_.rowNumbers[b]; });
        std::vector<ScheduleRow> rows;
        std::vector<std::uint32_t> numbers;
        std::vector<std::uint64_t> prints;
        for (std::size_t i : order) {
            rows.push_back(std::move(read_.rows[i]));
            numbers.push_back(read_.rowNumbers[i]);
            prints.push_back(read_.loadPrints[i]);
        }
        read_.rows = std::move(rows);
        read_.rowNumbers = std::move(numbers);
        read_.loadPrints = std::move(prints);
    }

    const std::string name_;
    const std::uint32_t headerRow_;  // 0: the first filled row, as it comes
    const std::function<bool(std::uint32_t)>& wanted_;
    const InputTexts defaults_ = ScheduleRow().texts();
    SheetRead read_;
    std::vector<int> positionOf_;          // sheet column → layout position, -1 none
    std::vector<std::string_view> loads_;  // a row's load cells, by layout position
    std::vector<std::string> noValue_, missing_;
    bool outOfOrder_ = false, earlier_ = false;
    std::uint32_t last_ = 0;
    std::string failure_;
};

// wanted (when given) says which sheet rows to keep; the others are read
// and passed over. xml (when given): the sheet's XML to read instead of its part.
SheetRead ReadSheet(workbook::WorkbookReader& reader, std::size_t sheet, const std::function<bool(double)>& progress,
                    const std::function<bool(std::uint32_t)>& wanted = {}, const std::string* xml = nullptr) {
    const std::string name = reader.sheets()[sheet].name;
    std::uint32_t headerRow = 0;  // 0: the first filled row, as it comes
    // Rows may come in any order: the header is the lowest filled row,
    // found in a first pass when a row comes before one already seen.
    for (int pass = 0;; ++pass) {
        ScheduleSheetReader taking(name, headerRow, wanted);
        const std::string message = reader.ReadRowsOf(
            sheet, xml, [&taking](std::uint32_t row, const std::vector<Cell>& cells) { return taking.Take(row, cells); },
            progress);
        SheetRead& read = taking.read();
        if (!taking.failure().empty()) {
            read.outcome = Failed(taking.failure());
        } else if (taking.earlier() && pass == 0) {
            // The lowest filled row is the header: find it, then read again.
            reader.ReadRowsOf(sheet, xml, [&headerRow](std::uint32_t row, const std::vector<Cell>& cells) {
                if (Filled(cells) && (headerRow == 0 || row < headerRow)) headerRow = row;
                return true;
            });
            continue;
        } else if (message == workbook::WorkbookReader::kCancelled && !taking.earlier()) {
            read.outcome = Cancelled();
        } else if (!message.empty() && !taking.earlier()) {
            read.outcome = Failed(message);
        } else if (read.headerRow == 0) {
            read.outcome = Failed("工作表" + Quoted(name) + "是空的:第一行应是列名");
        } else {
            taking.Finish();
        }
        return std::move(read);
    }
}

Outcome Open(workbook::WorkbookReader& reader, std::shared_ptr<const workbook::SharedStrings> known = {}) {
    const std::string message = reader.Open(true, std::move(known));
    return message.empty() ? Outcome() : Failed(message);
}

// Whether the sheet's first filled row names schedule columns (only the
// first rows are read).
// damage: why its cells could not be read, when they could not.
bool IsSchedule(workbook::WorkbookReader& reader, std::size_t sheet, std::string& damage) {
    bool schedule = false;
    if (reader.sheets()[sheet].part.empty()) return false;  // a chart sheet: no cells, nothing wrong
    const std::string message = reader.ReadRows(sheet, [&schedule](std::uint32_t, const std::vector<Cell>& cells) {
        if (!Filled(cells)) return true;
        schedule = MatchHeader(HeaderOf(cells).texts).header;
        return false;
    });
    if (message != workbook::WorkbookReader::kCancelled) damage = message;  // (stopped at its first row: read)
    return schedule;
}

}  // namespace

bool LooksLikeWorkbook(std::string_view bytes) { return workbook::LooksLikePackage(bytes); }

std::string RecogniseExcelFile(std::string_view bytes) { return workbook::RecogniseNonPackage(bytes); }

Outcome ListWorkbookSheets(std::string_view bytes, std::vector<SheetListing>& sheets) {
    workbook::WorkbookReader reader(bytes);
    if (Outcome opened = Open(reader); !opened.ok) return opened;
    sheets.clear();
    for (std::size_t i = 0; i < reader.sheets().size(); ++i)
    {
        SheetListing sheet{reader.sheets()[i].name, false, {}};
        sheet.schedule = IsSchedule(reader, i, sheet.damage);
        sheets.push_back(std::move(sheet));
    }
    return {};
}

Outcome FindWorkbookSheet(std::string_view bytes, std::string_view wanted, std::size_t& sheet) {
    workbook::WorkbookReader reader(bytes);
    if (Outcome opened = Open(reader); !opened.ok) return opened;
    const auto& sheets = reader.sheets();
    for (std::size_t i = 0; i < sheets.size(); ++i)
        if (sheets[i].name == wanted) {
            sheet = i;
            return {};
        }
    std::size_t number = 0;
    const auto [end, error] = std::from_chars(wanted.data(), wanted.data() + wanted.size(), number);
    if (error == std::errc() && end == wanted.data() + wanted.size() && number >= 1 && number <= sheets.size()) {
        sheet = number - 1;
        return {};
    }
    std::vector<std::string> names;
    for (const auto& s : sheets) names.push_back(Quoted(s.name));
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) list += (i ? "、" : "") + names[i];
    return Failed("工作簿中没有名为" + Quoted(MessageExcerpt(wanted)) + "的工作表,也没有这个编号的工作表;它的 " +
                  IntegerText(static_cast<long long>(sheets.size())) + " 个工作表是:" + list);
}

Outcome ReadWorkbookSchedule(std::shared_ptr<const std::string> bytes, std::size_t sheet, CsvLayout& layout,
                             std::vector<ScheduleRow>& rows, const std::function<bool(double)>& progress) {
    workbook::WorkbookReader reader(*bytes);
    if (Outcome opened = Open(reader); !opened.ok) return opened;
    if (sheet == kFirstScheduleSheet) {
        sheet = 0;
        for (std::size_t i = 0; i < reader.sheets().size(); ++i)
            if (std::string damage; IsSchedule(reader, i, damage)) {
                sheet = i;
                break;
            }
    }
    if (sheet >= reader.sheets().size())
        return Failed("Excel 工作簿中没有第 " + IntegerText(static_cast<long long>(sheet + 1)) + " 个工作表 (共 " +
                      IntegerText(static_cast<long long>(reader.sheets().size())) + " 个)");
    SheetRead read = ReadSheet(reader, sheet, progress);
    if (!read.outcome.ok) return read.outcome;
    auto origin = std::make_shared<WorkbookOrigin>();
    origin->package = std::move(bytes);
    for (const auto& s : reader.sheets()) origin->sheetNames.push_back(s.name);
    origin->sheet = sheet;
    origin->strings = reader.sharedStrings();
    origin->headerRow = read.headerRow;
    origin->kinds = read.columns;
    origin->columns = read.header.columns;
    origin->rowOfId = read.rowNumbers;
    for (std::size_t i = 0; i < read.rows.size(); ++i) read.rows[i].SetOrigin(static_cast<std::uint32_t>(i + 1));
    origin->readPrint.reserve(read.rows.size());
    for (const ScheduleRow& row : read.rows) origin->readPrint.push_back(Print(row));
    origin->loadPrint = read.loadPrints;
    CsvLayout made;
    made.columns = std::move(read.columns);
    made.headers = std::move(read.header.texts);
    made.byteOrderMark = true;
    made.workbook = std::move(origin);
    layout = std::move(made);
    rows = std::move(read.rows);
    return read.outcome;
}

namespace {

// A sheet's XML is deflated in pieces of this many rows...
constexpr std::size_t kRowsInPiece = 256;
// ...and kept for the next save up to this size of XML (some 7 x 10^4
// beams, kept in about twice that): a bigger sheet is read again rather
// than held in memory twice.
constexpr std::size_t kLargestSavedSheet = 32u << 20;

// A save into the sheet worked out: the edit, and what it would not keep.
// Whether XML (a sheet's, or the workbook's defined names) names cells of sheet.
bool Names(std::string_view xml, const std::string& sheet) {
    return xml.find(sheet + "!") != std::string_view::npos || xml.find("'" + sheet + "'!") != std::string_view::npos;
}

// Where formulas name cells of the sheet called name: the sheets whose
// formulas do (its own too when ownToo), and whether the workbook's
// defined names do.
struct Mentions {
    std::vector<std::string> sheets;
    bool definedNames = false;
};
Mentions MentionsOf(workbook::WorkbookReader& reader, const std::string& name, bool ownToo) {
    Mentions found;
    workbook::PartStatus status;
    for (const workbook::SheetEntry& sheet : reader.sheets()) {
        if ((sheet.name == name && !ownToo) || sheet.part.empty()) continue;
        const auto xml = reader.package().ReadWhole(sheet.part, status);
        if (xml && Names(*xml, name)) found.sheets.push_back(sheet.name);
    }
    const auto xml = reader.package().ReadWhole(reader.workbookPart(), status);
    found.definedNames = xml && Names(*xml, name);
    return found;
}

struct SavePlan {
    const workbook::SheetScan* scan = nullptr;  // own, or the one the last save left
    workbook::SheetScan own;
    const SavedSheet* saved = nullptr;  // when the scan is its
    workbook::SheetEdit edit;
    std::vector<std::uint32_t> rowOfId;  // after the save
    std::vector<std::uint64_t> readPrint;  // after the save
    std::vector<std::uint64_t> loadPrint;  // after the save
    std::vector<std::uint32_t> newIds;   // per row: its id after the save
    std::vector<std::uint32_t> columns;  // per column of the saved layout: its sheet column
    std::vector<std::string> losses;
    bool valuesChanged = false;
};

// Whether the package's part is, byte for byte as stored, the one saved wrote.
bool Holds(workbook::Package& package, const std::string& part, const SavedSheet& saved) {
    if (saved.part != part) return false;
    const auto stored = package.StoredPart(part);
    return stored && saved.deflated.Is(*stored);
}

// A save into the sheet worked out, step by step: where the sheet is, its
// columns, the rows the file holds that changed, where each row goes, the
// cells each writes, what cannot be kept, and the rows' ids after.
class Planner {
public:
    // reader: the workbook as the origin holds it, open.
    Planner(workbook::WorkbookReader& reader, const CsvLayout& layout, const std::vector<ScheduleRow>& rows,
            const std::vector<ShownResult>& results, SavePlan& plan)
        : reader_(reader), layout_(layout), rows_(rows), results_(results), plan_(plan), origin_(*layout.workbook),
          sheet_(reader.sheets().at(origin_.sheet)) {}

    Outcome Make() {
        if (Outcome taken = TakeScan(); !taken.ok) return taken;
        PlaceColumns();
        if (Outcome read = ReadChangedRows(); !read.ok) return read;
        PlaceRows();
        WriteCells();
        SayLosses();
        NumberRows();
        return {};
    }

private:
    // The sheet as the last save left it while the file still holds it, else read and scanned.
    Outcome TakeScan() {
        if (origin_.saved && Holds(reader_.package(), sheet_.part, *origin_.saved)) {
            plan_.saved = origin_.saved.get();
            plan_.scan = &plan_.saved->scan;
            return {};
        }
        workbook::PartStatus status;
        std::optional<std::string> xml = reader_.package().ReadWhole(sheet_.part, status);
        if (!xml) return Failed(workbook::PartMessage(sheet_.part, status));
        if (const std::string why = workbook::ScanSheet(std::move(*xml), plan_.own); !why.empty())
            return Failed("工作簿中的工作表" + Quoted(sheet_.name) + "已损坏:" + why);
        plan_.scan = &plan_.own;
        return {};
    }
    const workbook::SheetScan& scan() const { return *plan_.scan; }

    // The sheet's row of that number (the scan keeps them in order; of twins, the last).
    const workbook::ScannedRow* Scanned(std::uint32_t number) const {
        const auto& rows = scan().rows;
        const auto at = std::upper_bound(rows.begin(), rows.end(), number,
                                         [](std::uint32_t n, const workbook::ScannedRow& r) { return n < r.number; });
        return at != rows.begin() && std::prev(at)->number == number ? &*std::prev(at) : nullptr;
    }

    // Columns: those the sheet has, then new ones after everything the sheet uses.
    void PlaceColumns() {
        std::uint32_t lastUsed = scan().mergedRight;  // (a value under a merged cell is not seen)
        for (const auto& r : scan().rows)
            if (!r.cells().empty()) lastUsed = std::max(lastUsed, r.cells().back().column);
        const auto& columns = layout_.columns;
        inFile_.assign(columns.size(), false);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const auto at = std::find(origin_.kinds.begin(), origin_.kinds.end(), columns[c]);
            inFile_[c] = at != origin_.kinds.end();
            plan_.columns.push_back(inFile_[c] ? origin_.columns[static_cast<std::size_t>(at - origin_.kinds.begin())]
                                               : ++lastUsed);
        }
        newColumns_ = std::find(inFile_.begin(), inFile_.end(), false) != inFile_.end();
    }

    // The rows as the file holds them, to write only what changed: a row
    // whose print still matches is as it was; the others are read from the
    // sheet, in one pass that keeps only them.
    Outcome ReadChangedRows() {
        current_.assign(rows_.size(), 0);
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            const std::uint32_t id = rows_[i].origin();
            if (id >= 1 && id <= origin_.rowOfId.size()) current_[i] = origin_.rowOfId[id - 1];
        }
        std::map<std::uint32_t, std::size_t> changedAt;  // sheet row → row
        prints_.resize(rows_.size());
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            prints_[i] = Print(rows_[i]);
            if (current_[i] && prints_[i] != origin_.readPrint[rows_[i].origin() - 1]) changedAt[current_[i]] = i;
        }
        wasOf_.assign(rows_.size(), nullptr);
        for (std::size_t i = 0; i < rows_.size(); ++i)
            if (current_[i] && !changedAt.count(current_[i])) wasOf_[i] = &rows_[i];
        if (changedAt.empty()) return {};
        // Read from the scan's bytes: the sheet with only the rows up to the
        // header and the changed ones, so that a save reads no row twice.
        const workbook::SheetScan& s = scan();
        std::string few;
        const std::string* only = nullptr;
        if (!s.emptyData) {
            few.append(s.xml, 0, s.dataBegin);
            for (const workbook::ScannedRow& r : s.rows)
                if (r.number <= origin_.headerRow || changedAt.count(r.number)) few.append(s.xml, r.begin, r.end - r.begin);
            few.append(s.xml, s.dataEnd, std::string::npos);
            only = &few;
        }
        fetched_ = ReadSheet(reader_, origin_.sheet, {}, [&changedAt](std::uint32_t row) { return changedAt.count(row) > 0; },
                             only);
        if (!fetched_.outcome.ok) return fetched_.outcome;
        for (std::size_t k = 0; k < fetched_.rows.size(); ++k)
            wasOf_[changedAt[fetched_.rowNumbers[k]]] = &fetched_.rows[k];
        return {};
    }

    // Where each row goes. Rows whose sheet row is still in the file keep
    // it when they can: no row of the file taken out or reordered, new rows
    // only after the last. Else the beams go in order below the header, and
    // other rows in their way after them.
    void PlaceRows() {
        std::vector<std::uint32_t> surviving;
        for (std::uint32_t r : current_)
            if (r) surviving.push_back(r);
        std::vector<std::uint32_t> beamRows;  // the beams' rows in the file now, in order
        for (std::uint32_t r : origin_.rowOfId)
            if (r) beamRows.push_back(r);
        std::sort(beamRows.begin(), beamRows.end());
        inPlace_ = surviving == beamRows;
        std::size_t tailFrom = 0;
        for (std::size_t i = 0; i < rows_.size(); ++i)
            if (current_[i]) tailFrom = i + 1;
        for (std::size_t i = 0; i < tailFrom && inPlace_; ++i) inPlace_ = current_[i] != 0;
        target_.assign(rows_.size(), 0);
        std::uint32_t next = std::max(origin_.headerRow, beamRows.empty() ? 0u : beamRows.back()) + 1;
        for (std::size_t i = 0; i < rows_.size() && inPlace_; ++i) {
            target_[i] = current_[i] ? current_[i] : next++;
            inPlace_ = current_[i] || !Scanned(target_[i]);
        }
        if (!inPlace_) {
            const std::uint32_t first = origin_.headerRow + 1;
            for (std::size_t i = 0; i < rows_.size(); ++i) target_[i] = first + static_cast<std::uint32_t>(i);
            const auto& scanned = scan().rows;
            std::uint32_t after = std::max<std::uint32_t>(first + static_cast<std::uint32_t>(rows_.size()),
                                                          scanned.empty() ? 0 : scanned.back().number + 1);
            for (const auto& r : scanned) {
                if (r.number < first || std::binary_search(beamRows.begin(), beamRows.end(), r.number)) continue;
                if (r.number < first + rows_.size()) others_.emplace_back(r.number, after++);
            }
        }
        std::sort(surviving.begin(), surviving.end());
        for (std::uint32_t r : beamRows)
            if (!std::binary_search(surviving.begin(), surviving.end(), r)) plan_.edit.removed.insert(r);
    }

    // A new row's style in a column: that of the nearest row above it from the file.
    std::string StyleAbove(std::size_t i, std::uint32_t column) const {
        for (std::size_t k = i; k-- > 0;) {
            const workbook::ScannedRow* row = current_[k] ? Scanned(current_[k]) : nullptr;
            if (!row) continue;
            for (const auto& c : row->cells())
                if (c.column == column) return scan().StyleOf(c);
            return {};
        }
        return {};
    }

    // The cells each row writes: what changed, and the loads; rows of the
    // file in the beams' way; the header's new captions.
    void WriteCells() {
        loadPrints_.assign(rows_.size(), 0);
        sameLoadColumns_ = layout_.columns == origin_.kinds;
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            workbook::RowWrite write{current_[i], target_[i], RowCells(i)};
            if (write.cells.empty() && write.origin == write.target) continue;  // untouched
            plan_.edit.rows.push_back(std::move(write));
        }
        for (const auto& [from, to] : others_) plan_.edit.rows.push_back({from, to, {}});
        if (newColumns_) {
            workbook::RowWrite header{origin_.headerRow, origin_.headerRow, {}};
            std::string style;
            const workbook::ScannedRow* row = Scanned(origin_.headerRow);
            if (row && !row->cells().empty()) style = scan().StyleOf(row->cells().back());
            for (std::size_t c = 0; c < layout_.columns.size(); ++c)
                if (!inFile_[c]) header.cells.push_back({plan_.columns[c], layout_.headers[c], false, style});
            plan_.edit.rows.push_back(std::move(header));
        }
        plan_.valuesChanged = !plan_.edit.rows.empty() || !plan_.edit.removed.empty();
    }

    std::vector<workbook::NewCell> RowCells(std::size_t i) {
        // The row as the file holds it, to write only what changed.
        const ScheduleRow* was = wasOf_[i];
        bool loadsAsInFile = false;
        if (current_[i] && !origin_.loadPrint.empty()) {
            const std::uint64_t print = LoadPrint(origin_.kinds, rows_[i], results_[i]);
            if (sameLoadColumns_) loadPrints_[i] = print;
            loadsAsInFile = print == origin_.loadPrint[rows_[i].origin() - 1];
        }
        std::vector<workbook::NewCell> cells;
        // (most rows of most saves: the row, its loads and its place as the file has them)
        if (was == &rows_[i] && loadsAsInFile && !newColumns_ && current_[i] == target_[i]) return cells;
        const ShownResult none;
        for (std::size_t c = 0; c < layout_.columns.size(); ++c) {
            const ScheduleColumn column = layout_.columns[c];
            const bool input = !IsLoad(column.kind);  // the beam's own texts: mark, inputs, materials
            if (!input && loadsAsInFile && inFile_[c]) continue;  // the loads the file shows are these
            const std::string_view text = CellText(column, rows_[i], results_[i]);
            if (input && was && inFile_[c] && CellText(column, *was, none) == text) continue;  // as the file has it
            workbook::NewCell cell;
            cell.column = plan_.columns[c];
            cell.text = std::string(text);
            cell.number = column.kind != ColumnKind::Mark && column.kind != ColumnKind::Error && IsCsvNumber(text);
            if (!was) cell.style = StyleAbove(i, cell.column);
            cells.push_back(std::move(cell));
        }
        return cells;
    }

    // What would not be kept as it was, said before saving.
    void SayLosses() {
        const std::string name = Quoted(sheet_.name);
        const workbook::SheetScan& s = scan();
        const bool changes = !plan_.edit.rows.empty() || !plan_.edit.removed.empty();
        const bool moved = !inPlace_ || !plan_.edit.removed.empty() || !others_.empty();
        if (moved) {
            std::vector<std::string> pointing;
            if (s.formulas) pointing.push_back("公式");
            static const std::map<std::string, std::string> kNames = {
                {"mergeCells", "合并单元格"},   {"conditionalFormatting", "条件格式"}, {"dataValidations", "数据验证"},
                {"hyperlinks", "超链接"},       {"tableParts", "表格 (套用表格格式)"}, {"legacyDrawing", "批注"},
                {"drawing", "图片或图表"},      {"autoFilter", "筛选"},                 {"rowBreaks", "分页符"}};
            for (const auto& [element, what] : kNames)
                if (s.referencing.count(element)) pointing.push_back(what);
            std::string list;
            for (std::size_t i = 0; i < pointing.size(); ++i) list += (i ? "、" : "") + pointing[i];
            if (!pointing.empty())
                plan_.losses.push_back("梁表删除、插入或移动了行,而工作表" + name + "中的" + list +
                                       "按行号指向单元格,不会随行移动,保存后可能指错位置");
            // Formulas elsewhere (other sheets, defined names) that point into this sheet.
            const Mentions mentions = MentionsOf(reader_, sheet_.name, false);  // (its own: said above)
            std::string elsewhere;
            for (const std::string& other : mentions.sheets)
                elsewhere += (elsewhere.empty() ? "工作表" : "、") + Quoted(other);
            if (mentions.definedNames) elsewhere += std::string(elsewhere.empty() ? "" : "和") + "工作簿中定义的名称";
            if (!elsewhere.empty())
                plan_.losses.push_back("梁表删除、插入或移动了行,而" + elsewhere + "中的公式按行号引用了工作表" + name +
                                       "的单元格,不会随行移动,保存后可能指错位置");
            if (!others_.empty())
                plan_.losses.push_back("工作表" + name + "中不属于梁表的第 " + IntegerText(others_.front().first) +
                                       " 行等 " + IntegerText(static_cast<long long>(others_.size())) +
                                       " 行要移到梁表之后");
        }
        if (s.protectedSheet && changes) plan_.losses.push_back("工作表" + name + "设了保护,保存会改动受保护的单元格");
        // Inputs that are formulas of other cells are computed from the values
        // the file holds; Excel computes them again when it opens the saved
        // file, and an input that then changes no longer matches the loads
        // written beside it (4800-300 cannot change).
        if (changes) {
            std::set<std::uint32_t> inputs;
            for (std::size_t c = 0; c < layout_.columns.size(); ++c)
                if (layout_.columns[c].kind == ColumnKind::Input) inputs.insert(plan_.columns[c]);
            long long count = 0;
            std::string first;
            for (const workbook::ScannedRow& r : s.rows)
                for (const workbook::ScannedCell& cell : r.cells())
                    if (r.number > origin_.headerRow && cell.dependent && inputs.count(cell.column) && count++ == 0)
                        first = workbook::ColumnLetters(cell.column) + IntegerText(r.number);
            if (count > 0)
                plan_.losses.push_back("工作表" + name + "中梁表的 " + IntegerText(count) + " 个输入格是公式 (如 " + first +
                                       "):荷载按文件中保存的公式结果计算;Excel 打开时重新计算公式,输入若随之改变,"
                                       "写入的荷载就与它不符");
        }
        // A table object (套用表格格式) keeps its range: rows or columns added
        // past it are outside the table. (When rows move, said above.)
        const bool grows = newColumns_ || std::any_of(plan_.edit.rows.begin(), plan_.edit.rows.end(),
                                                      [](const workbook::RowWrite& w) { return w.origin == 0; });
        if (!moved && grows && s.referencing.count("tableParts"))
            plan_.losses.push_back("工作表" + name + "中的表格 (套用表格格式) 不会随新加的行或列扩大,"
                                   "新的梁或结果列会在表格之外");
    }

    // Ids after the save: each row's id names its new sheet row and the
    // texts the file then holds.
    void NumberRows() {
        plan_.rowOfId.assign(origin_.rowOfId.size(), 0);
        plan_.readPrint = origin_.readPrint;
        plan_.loadPrint = origin_.loadPrint;
        plan_.loadPrint.resize(plan_.readPrint.size());
        plan_.newIds.assign(rows_.size(), 0);
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            std::uint32_t id = rows_[i].origin();
            if (!current_[i]) {
                plan_.rowOfId.push_back(0);
                plan_.readPrint.emplace_back();
                plan_.loadPrint.emplace_back();
                id = static_cast<std::uint32_t>(plan_.rowOfId.size());
            }
            plan_.rowOfId[id - 1] = target_[i];
            plan_.readPrint[id - 1] = prints_[i];
            // (the file's load cells after the save: the row's, in the saved layout's order)
            plan_.loadPrint[id - 1] = sameLoadColumns_ && current_[i] && !origin_.loadPrint.empty()
                                          ? loadPrints_[i]
                                          : LoadPrint(layout_.columns, rows_[i], results_[i]);
            plan_.newIds[i] = id;
        }
    }

    workbook::WorkbookReader& reader_;
    const CsvLayout& layout_;
    const std::vector<ScheduleRow>& rows_;
    const std::vector<ShownResult>& results_;
    SavePlan& plan_;
    const WorkbookOrigin& origin_;
    const workbook::SheetEntry& sheet_;
    std::vector<bool> inFile_;  // per column of the saved layout: the sheet has it
    bool newColumns_ = false;
    std::vector<std::uint32_t> current_;  // per row: the sheet row it comes from, 0 none
    std::vector<std::uint32_t> target_;   // per row: the sheet row it goes to
    std::vector<std::uint64_t> prints_;   // per row: its texts' print
    std::vector<const ScheduleRow*> wasOf_;  // per row: as the file holds it (none: a new row)
    SheetRead fetched_;                      // the changed rows, as the file holds them
    bool inPlace_ = true;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> others_;  // rows of the file that move: from, to
    std::vector<std::uint64_t> loadPrints_;  // per row: its load cells' print, where worked out
    bool sameLoadColumns_ = false;
};

// The workbook's parts that change with its sheet's values: formulas that
// read changed cells computed again when the file opens (valuesChanged);
// the calculation chain, which lists formula cells, taken out with what
// names it when formula cells went (Excel builds it anew when missing).
Outcome ForRecalculation(workbook::WorkbookReader& reader, bool valuesChanged, bool formulasTouched,
                         std::map<std::string, std::string>& replaced, std::set<std::string>& removed) {
    const std::string& book = reader.workbookPart();
    workbook::PartStatus status;
    if (valuesChanged) {
        std::optional<std::string> xml = reader.package().ReadWhole(book, status);
        if (!xml) return Failed(workbook::PartMessage(book, status));
        replaced[book] = workbook::WithFullCalcOnLoad(*xml);
    }
    const std::string chain = workbook::ResolvePart(book, "calcChain.xml");
    if (!formulasTouched || !reader.package().Has(chain)) return {};
    removed.insert(chain);
    const std::string rels = workbook::RelationshipsOf(book);
    std::optional<std::string> relXml = reader.package().ReadWhole(rels, status);
    std::optional<std::string> types = reader.package().ReadWhole("[Content_Types].xml", status);
    if (relXml)
        replaced[rels] = workbook::WithoutElements(
            *relXml, "Relationship", "Type", "http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain");
    if (types) replaced["[Content_Types].xml"] = workbook::WithoutElements(*types, "Override", "PartName", "/" + chain);
    return {};
}

// The origin of the sheet as a save leaves it: the package, the rows'
// places and prints, and what the next save takes as it is.
std::shared_ptr<WorkbookOrigin> OriginAfter(const WorkbookOrigin& origin, std::string package, SavePlan& plan,
                                            const CsvLayout& layout, const workbook::WorkbookReader& reader,
                                            std::string part, workbook::SheetScan sheet, workbook::DeflatedPart deflated) {
    auto after = std::make_shared<WorkbookOrigin>(origin);
    after->strings = reader.sharedStrings();  // (the save writes none: the part is copied as it was)
    after->saved = nullptr;
    if (sheet.xml.size() <= kLargestSavedSheet) {
        auto saved = std::make_shared<SavedSheet>();
        saved->part = std::move(part);
        saved->scan = std::move(sheet);
        saved->deflated = std::move(deflated);
        after->saved = std::move(saved);
    }
    after->package = std::make_shared<const std::string>(std::move(package));
    after->kinds = layout.columns;
    after->columns = plan.columns;
    after->rowOfId = std::move(plan.rowOfId);
    after->readPrint = std::move(plan.readPrint);
    after->loadPrint = std::move(plan.loadPrint);
    return after;
}

}  // namespace

Outcome WorkbookFileBytes(const CsvLayout& layout, const std::vector<ScheduleRow>& rows,
                          const std::vector<ShownResult>& results, WorkbookSave& save) {
    if (!layout.workbook) return Failed("这个梁表不是从 Excel 工作簿读来的");
    const WorkbookOrigin& origin = *layout.workbook;
    workbook::WorkbookReader reader(*origin.package);
    if (Outcome opened = Open(reader, origin.strings); !opened.ok) return opened;
    SavePlan plan;
    if (Outcome planned = Planner(reader, layout, rows, results, plan).Make(); !planned.ok) return planned;
    const std::string part = reader.sheets().at(origin.sheet).part;
    bool formulasTouched = false;
    std::string why;
    std::optional<workbook::SheetScan> sheet = workbook::RewriteSheet(*plan.scan, plan.edit, formulasTouched, why);
    if (!sheet) return Failed("无法写入工作表:" + why);
    // Deflated in pieces of a few hundred rows: the next save deflates only those it changes.
    std::vector<std::uint64_t> cuts;
    for (std::size_t r = kRowsInPiece; r < sheet->rows.size(); r += kRowsInPiece) cuts.push_back(sheet->rows[r].begin);
    std::optional<workbook::DeflatedPart> deflated =
        workbook::DeflateInPieces(sheet->xml, cuts, plan.saved ? &plan.saved->deflated : nullptr,
                                  plan.saved ? std::string_view(plan.saved->scan.xml) : std::string_view());
    if (!deflated) return Failed("内存不足,无法写入工作表");
    std::map<std::string, std::string> replaced;
    std::set<std::string> removed;
    if (Outcome recalc = ForRecalculation(reader, plan.valuesChanged || formulasTouched, formulasTouched, replaced, removed);
        !recalc.ok)
        return recalc;
    std::optional<std::string> written =
        workbook::RewritePackage(*origin.package, replaced, removed, {}, {{part, &*deflated}});
    if (!written) return Failed("工作簿已损坏,无法写回 (其中有读不出的部分)");
    auto after = OriginAfter(origin, std::move(*written), plan, layout, reader, part, std::move(*sheet), std::move(*deflated));
    save.bytes = after->package;
    save.origin = std::move(after);
    save.ids = std::move(plan.newIds);
    for (const std::string& loss : plan.losses) save.losses += loss + "\n";
    return {};
}

namespace {

// A new floor's sheet: its header and every row's cells (and the loads).
std::string NewFloorXml(const FloorInBook& floor) {
    workbook::SheetScan scan;
    workbook::ScanSheet(workbook::NewSheetXml(), scan);
    workbook::SheetEdit edit;
    const CsvLayout& layout = *floor.layout;
    workbook::RowWrite header{0, 1, {}};
    for (std::size_t c = 0; c < layout.columns.size(); ++c)
        header.cells.push_back({static_cast<std::uint32_t>(c), layout.headers[c], false, ""});
    edit.rows.push_back(std::move(header));
    for (std::size_t r = 0; r < floor.rows->size(); ++r) {
        workbook::RowWrite row{0, static_cast<std::uint32_t>(r + 2), {}};
        for (std::size_t c = 0; c < layout.columns.size(); ++c) {
            const ScheduleColumn column = layout.columns[c];
            const std::string_view text = CellText(column, (*floor.rows)[r], (*floor.results)[r]);
            const bool number = column.kind != ColumnKind::Mark && column.kind != ColumnKind::Error && IsCsvNumber(text);
            row.cells.push_back({static_cast<std::uint32_t>(c), std::string(text), number, ""});
        }
        edit.rows.push_back(std::move(row));
    }
    bool formulas = false;
    std::string why;
    return workbook::WriteSheet(scan, edit, formulas, why).value_or(workbook::NewSheetXml());
}

// Formulas (in any sheet, or defined names) that name a floor renamed or
// taken out no longer find it: one line each.
std::string RenameLosses(workbook::WorkbookReader& reader, const std::vector<FloorInBook>& floors,
                         const std::vector<bool>& floorSheet) {
    std::vector<std::string> gone;
    for (std::size_t i = 0; i < floorSheet.size(); ++i) {
        const auto f = std::find_if(floors.begin(), floors.end(),
                                    [i](const FloorInBook& x) { return x.fromFile && *x.fromFile == i; });
        if (f == floors.end() ? floorSheet[i] : f->name != reader.sheets()[i].name) gone.push_back(reader.sheets()[i].name);
    }
    std::string losses;
    for (const std::string& name : gone) {
        const Mentions mentions = MentionsOf(reader, name, true);
        for (const std::string& other : mentions.sheets)
            losses += "工作表“" + other + "”中的公式引用了“" + name + "”,改名或删除后不会随之改变\n";
        if (mentions.definedNames) losses += "工作簿中定义的名称引用了“" + name + "”,改名或删除后不会随之改变\n";
    }
    return losses;
}

// A floor's sheet in the arranged workbook (at place among names); a new
// floor's rows are 2.. under its header, their ids 1.. (into ids).
std::shared_ptr<const WorkbookOrigin> FloorOrigin(const FloorInBook& f, std::shared_ptr<const std::string> bytes,
                                                  const std::vector<std::string>& names, std::size_t place,
                                                  std::vector<std::uint32_t>& ids) {
    auto origin = f.layout->workbook && f.fromFile ? std::make_shared<WorkbookOrigin>(*f.layout->workbook)
                                                    : std::make_shared<WorkbookOrigin>();
    origin->package = std::move(bytes);
    origin->sheetNames = names;
    origin->sheet = place;
    if (f.fromFile) return origin;
    origin->headerRow = 1;
    origin->kinds = f.layout->columns;
    origin->columns.clear();
    for (std::size_t c = 0; c < f.layout->columns.size(); ++c) origin->columns.push_back(static_cast<std::uint32_t>(c));
    for (std::size_t r = 0; r < f.rows->size(); ++r) {
        origin->rowOfId.push_back(static_cast<std::uint32_t>(r + 2));
        origin->readPrint.push_back(Print((*f.rows)[r]));
        origin->loadPrint.push_back(LoadPrint(f.layout->columns, (*f.rows)[r], (*f.results)[r]));
        ids.push_back(static_cast<std::uint32_t>(r + 1));
    }
    return origin;
}

}  // namespace

Outcome ArrangeWorkbookFloors(std::shared_ptr<const std::string> package, const std::vector<FloorInBook>& floors,
                              const std::vector<std::size_t>& dropped, ArrangedBook& book) {
    const std::string base = package ? *package : workbook::EmptyWorkbook();
    workbook::WorkbookReader reader(base);
    if (Outcome opened = Open(reader); !opened.ok && package) return opened;
    const std::size_t fileSheets = package ? reader.sheets().size() : 0;
    // Which sheets of the file are floors (shown or taken out); the others stay in their places.
    std::vector<bool> floorSheet(fileSheets, false);
    for (const FloorInBook& f : floors)
        if (f.fromFile && *f.fromFile < fileSheets) floorSheet[*f.fromFile] = true;
    for (std::size_t d : dropped)
        if (d < fileSheets) floorSheet[d] = true;
    std::vector<workbook::SheetPlace> places;
    std::vector<std::size_t> placeOfFloor(floors.size());
    std::size_t next = 0;
    const auto placeFloor = [&](std::size_t k) {
        const FloorInBook& f = floors[k];
        placeOfFloor[k] = places.size();
        places.push_back({f.fromFile, f.name, f.fromFile ? std::string() : NewFloorXml(f)});
    };
    for (std::size_t i = 0; i < fileSheets; ++i) {
        if (!floorSheet[i]) {
            places.push_back({i, reader.sheets()[i].name, {}});
            continue;
        }
        // A floor's place: the next floor in the window's order (one taken out leaves it empty).
        const bool stays = std::any_of(floors.begin(), floors.end(),
                                       [i](const FloorInBook& f) { return f.fromFile && *f.fromFile == i; });
        if (stays && next < floors.size()) placeFloor(next++);
    }
    while (next < floors.size()) placeFloor(next++);
    book.losses += RenameLosses(reader, floors, floorSheet);
    std::string message;
    std::optional<std::string> arranged = workbook::ArrangeSheets(base, places, message);
    if (!arranged) return Failed(message);
    book.bytes = std::make_shared<const std::string>(std::move(*arranged));
    std::vector<std::string> names;
    for (const auto& p : places) names.push_back(p.name);
    book.origins.clear();
    book.ids.assign(floors.size(), {});
    for (std::size_t k = 0; k < floors.size(); ++k)
        book.origins.push_back(FloorOrigin(floors[k], book.bytes, names, placeOfFloor[k], book.ids[k]));
    return {};
}

}  // namespace quorvane
