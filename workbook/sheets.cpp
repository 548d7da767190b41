#include "sheets.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>

#include "encoding.h"
#include "xml.h"

namespace quorvane::workbook {
namespace {

constexpr std::uint32_t kLastRow = 1048576;
constexpr std::uint32_t kLastColumn = 16383;  // XFD

void AppendCodePoint(std::string& out, std::uint32_t cp) {
    if (cp == 0) {
        out += '\0';  // _x0000_: a NUL the text really holds
        return;
    }
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    AppendUtf8(out, static_cast<char32_t>(cp));
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Whether text is already the shortest that reads back as its double:
// plain digits, at most one point with a digit after it and no trailing
// zero, no leading zero but a lone one, few enough digits to be exact (as
// most cells are: "200", "0.45").
bool IsShortestNumber(std::string_view text) {
    std::size_t digits = 0, point = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && point == std::string_view::npos) {
            point = i;
        } else if (c >= '0' && c <= '9') {
            ++digits;
        } else {
            return false;
        }
    }
    const std::size_t whole = point == std::string_view::npos ? text.size() : point;
    if (digits == 0 || digits > 15 || whole == 0 || (whole > 1 && text[0] == '0')) return false;
    return point == std::string_view::npos || (point + 1 < text.size() && text.back() != '0');
}

// A number as the shortest text that reads back as the same double.
std::string NumberText(std::string_view stored) {
    if (IsShortestNumber(stored)) return std::string(stored);
    std::size_t first = stored.find_first_not_of(" \t\r\n");
    const std::size_t last = stored.find_last_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    stored = stored.substr(first, last - first + 1);
    double value = 0;
    const auto [end, error] = std::from_chars(stored.data(), stored.data() + stored.size(), value);
    if (error != std::errc() || end != stored.data() + stored.size()) return std::string(stored);
    // Written out as Excel shows it (100000, not 1e+05) unless that is long.
    char buffer[400];
    auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (written.ec != std::errc() || written.ptr - buffer > 24)
        written = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, written.ptr);
}

// Relationship targets of a part's relationships: id → target, resolved.
struct Relationship {
    std::string id, type, target;
};

std::vector<Relationship> ReadRelationships(Package& package, const std::string& part, std::string& message) {
    std::vector<Relationship> found;
    const std::string rels = RelationshipsOf(part);
    PartStatus status;
    const std::optional<std::string> xml = package.ReadWhole(rels, status);
    if (!xml) {
        if (status != PartStatus::Missing) message = PartMessage(rels, status);
        return found;
    }
    XmlReader reader({[&](std::string_view name, const Attributes& a) {
                          if (name != "Relationship") return;
                          const std::string_view target = a.Get("Target");
                          found.push_back({std::string(a.Get("Id")), std::string(a.Get("Type")),
                                           a.Get("TargetMode") == "External" ? std::string(target)
                                                                             : ResolvePart(part, target)});
                      },
                      {},
                      {}});
    if (!reader.Feed(*xml, true)) message = "工作簿中的“" + rels + "”已损坏:" + reader.error();
    return found;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

std::string CellReference(std::uint32_t row, std::uint32_t column) {
    return ColumnLetters(column) + std::to_string(row);
}

std::string ColumnLetters(std::uint32_t column) {
    std::string letters;
    for (std::uint32_t n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

bool ParseReference(std::string_view reference, std::uint32_t& column, std::uint32_t& row) {
    std::size_t i = 0;
    std::uint32_t letters = 0;
    for (; i < reference.size(); ++i) {
        char c = reference[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (c < 'A' || c > 'Z') break;
        letters = letters * 26 + static_cast<std::uint32_t>(c - 'A' + 1);
        if (letters > kLastColumn + 1) return false;
    }
    std::uint32_t number = 0;
    const auto [end, error] = std::from_chars(reference.data() + i, reference.data() + reference.size(), number);
    if (i == 0 || error != std::errc() || end != reference.data() + reference.size() || number < 1 ||
        number > kLastRow)
        return false;
    column = letters - 1;
    row = number;
    return true;
}

bool LooksLikePackage(std::string_view bytes) {
    // A zip begins with a part, or (when it holds none) with its directory's end.
    const std::string_view head = bytes.substr(0, 4);
    return head == std::string_view("PK\x03\x04", 4) || head == std::string_view("PK\x05\x06", 4);
}

std::string RecogniseNonPackage(std::string_view bytes) {
    constexpr std::string_view kCompoundFile("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    if (bytes.substr(0, 8) != kCompoundFile) return {};
    // A workbook with a password to open is an OLE compound file that holds
    // the real package as the stream "EncryptedPackage" (names in UTF-16).
    static const std::string kEncrypted = [] {
        std::string name;
        for (const char c : std::string_view("EncryptedPackage")) name += {c, '\0'};
        return name;
    }();
    if (bytes.find(kEncrypted) != std::string_view::npos)
        return "这是设了打开密码的 (加密的) Excel 工作簿,读不出;请在 Excel 中去掉密码 (文件 → 信息 → 保护工作簿) "
               "后再打开";
    return "这是旧版 Excel 97-2003 工作簿 (.xls),读不出;请在 Excel 中另存为 Excel 工作簿 (.xlsx) 或 CSV 后再打开";
}

std::string PartMessage(std::string_view part, PartStatus status) {
    const std::string named = "工作簿中的“" + std::string(part) + "”";
    switch (status) {
        case PartStatus::Missing:
            return named + "不存在:文件不完整";
        case PartStatus::Damaged:
            return named + "已损坏:解压出的内容与文件目录所记的大小或校验和不符";
        case PartStatus::TooLarge:
            return named + "解压后过大 (超过 " + std::to_string(kLargestPart >> 20) +
                   " MiB,或远超其压缩大小),不像是正常的工作簿,没有读入";
        case PartStatus::Ok:
        case PartStatus::Stopped:
            break;
    }
    return {};
}

std::string UnescapeExcel(std::string text) {
    std::size_t at = text.find("_x");
    if (at == std::string::npos) return text;
    std::string out;
    std::size_t i = 0;
    for (; at != std::string::npos; at = text.find("_x", i)) {
        out.append(text, i, at - i);
        const bool code = at + 7 <= text.size() && text[at + 6] == '_' && IsHex(text[at + 2]) &&
                          IsHex(text[at + 3]) && IsHex(text[at + 4]) && IsHex(text[at + 5]);
        if (code) {
            std::uint32_t cp = 0;
            std::from_chars(text.data() + at + 2, text.data() + at + 6, cp, 16);
            AppendCodePoint(out, cp);
            i = at + 7;
        } else {
            out += "_x";
            i = at + 2;
        }
    }
    out.append(text, i, std::string::npos);
    return out;
}

std::string EscapeExcel(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        // XML holds only characters: a byte that is not one becomes U+FFFD.
        const std::size_t valid = ValidUtf8Prefix(text.substr(i), false);
        if (valid == 0) {
            AppendUtf8(out, U'\uFFFD');
            ++i;
            continue;
        }
        for (const std::size_t end = i + valid; i < end; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            const bool literal = text.compare(i, 2, "_x") == 0 && i + 7 <= text.size() && text[i + 6] == '_' &&
                                 IsHex(text[i + 2]) && IsHex(text[i + 3]) && IsHex(text[i + 4]) &&
                                 IsHex(text[i + 5]);
            // A control character (CR too: XML would read it as LF), or a
            // literal "_x0041_" that would read as one, as Excel writes them.
            if ((c < 0x20 && c != '\t' && c != '\n') || literal) {
                static const char* const kHex = "0123456789ABCDEF";
                out += "_x00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
                out += '_';
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

std::string ResolvePart(std::string_view from, std::string_view target) {
    if (!target.empty() && target[0] == '/') return std::string(target.substr(1));
    std::string folder(from.substr(0, from.rfind('/') == std::string_view::npos ? 0 : from.rfind('/') + 1));
    std::vector<std::string> parts;
    for (std::size_t i = 0; i <= folder.size();) {
        const std::size_t slash = std::min(folder.find('/', i), folder.size());
        if (slash > i) parts.emplace_back(folder.substr(i, slash - i));
        i = slash + 1;
    }
    for (std::size_t i = 0; i <= target.size();) {
        const std::size_t slash = std::min(target.find('/', i), target.size());
        const std::string_view piece = target.substr(i, slash - i);
        if (piece == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!piece.empty() && piece != ".") {
            parts.emplace_back(piece);
        }
        i = slash + 1;
    }
    std::string path;
    for (const std::string& p : parts) path += (path.empty() ? "" : "/") + p;
    return path;
}

std::string RelationshipsOf(std::string_view part) {
    const std::size_t slash = part.rfind('/');
    const std::string_view folder = slash == std::string_view::npos ? std::string_view() : part.substr(0, slash + 1);
    const std::string_view file = slash == std::string_view::npos ? part : part.substr(slash + 1);
    return std::string(folder) + "_rels/" + std::string(file) + ".rels";
}

WorkbookReader::WorkbookReader(std::string_view bytes) : package_(bytes), emptyZip_(bytes.substr(0, 4) == "PK\x05\x06") {}
WorkbookReader::~WorkbookReader() = default;

std::string WorkbookReader::Open(bool sheetNeeded, std::shared_ptr<const SharedStrings> known) {
    const std::string notWorkbook = "这是一个 zip 压缩文件,但不是 Excel 工作簿 (里面没有工作簿部分 xl/workbook.xml)";
    // (minizip does not open a zip of no files: it is known by its first bytes.)
    if (emptyZip_ || (package_.ok() && package_.names().empty())) return "这是一个空的 zip 压缩文件,不是 Excel 工作簿";
    if (!package_.ok()) return "这不是一个能读出的 Excel 工作簿 (.xlsx):文件已损坏或不完整";
    // The workbook part is the package's office document.
    std::string message;
    for (const Relationship& r : ReadRelationships(package_, "", message))
        if (EndsWith(r.type, "/officeDocument")) workbookPart_ = r.target;
    if (!message.empty()) return message;
    if (workbookPart_.empty() && package_.Has("xl/workbook.xml")) workbookPart_ = "xl/workbook.xml";
    if (workbookPart_.empty() || !package_.Has(workbookPart_)) return notWorkbook;
    if (EndsWith(workbookPart_, ".bin")) return "这是二进制 Excel 工作簿 (.xlsb),读不出;请在 Excel 中另存为 .xlsx 或 CSV";

    const std::vector<Relationship> relations = ReadRelationships(package_, workbookPart_, message);
    if (!message.empty()) return message;
    PartStatus status;
    const std::optional<std::string> workbook = package_.ReadWhole(workbookPart_, status);
    if (!workbook) return PartMessage(workbookPart_, status);
    std::vector<std::pair<SheetEntry, std::string>> listed;  // with their relationship ids
    XmlReader reader({[&](std::string_view name, const Attributes& a) {
                          if (name != "sheet") return;
                          SheetEntry entry;
                          entry.name = std::string(a.Get("name"));
                          entry.hidden = !a.Get("state").empty() && a.Get("state") != "visible";
                          listed.emplace_back(std::move(entry), std::string(a.Get("id", true)));
                      },
                      {},
                      {}});
    if (!reader.Feed(*workbook, true)) return "工作簿中的“" + workbookPart_ + "”已损坏:" + reader.error();
    for (auto& [entry, id] : listed) {
        // A chart or dialog sheet has no cells; a worksheet's type is taken
        // on trust, as other readers do.
        for (const Relationship& r : relations)
            if (r.id == id && !EndsWith(r.type, "/chartsheet") && !EndsWith(r.type, "/dialogsheet") &&
                (package_.Has(r.target) || EndsWith(r.type, "/worksheet")))
                entry.part = r.target;  // (a worksheet whose part is missing is said so when read)
        sheets_.push_back(std::move(entry));
    }
    if (sheets_.empty() && sheetNeeded) return "Excel 工作簿中没有工作表";
    std::string strings;
    for (const Relationship& r : relations)
        if (EndsWith(r.type, "/sharedStrings")) strings = r.target;
    // Declared and missing, the file is incomplete (its text cells would read as nothing).
    if (!strings.empty() && !package_.Has(strings)) return "工作簿中的“" + strings + "”不存在:文件不完整";
    if (strings.empty()) strings = ResolvePart(workbookPart_, "sharedStrings.xml");  // where Excel keeps them
    return ReadSharedStrings(strings, std::move(known));
}

std::string WorkbookReader::ReadSharedStrings(const std::string& part, std::shared_ptr<const SharedStrings> known) {
    const auto stored = package_.StoredPart(part);
    if (known && stored && known->part == part && known->stored == stored->data) {
        strings_ = std::move(known);
        return {};
    }
    auto read = std::make_shared<SharedStrings>();
    read->part = part;
    if (stored) read->stored = std::string(stored->data);
    int phonetic = 0;
    bool inText = false, inItem = false;
    std::string item;
    XmlReader reader({[&](std::string_view name, const Attributes&) {
                          if (name == "si") {
                              inItem = true;
                              item.clear();
                          } else if (name == "rPh") {
                              ++phonetic;
                          } else if (name == "t") {
                              inText = inItem && phonetic == 0;
                          }
                      },
                      [&](std::string_view name) {
                          if (name == "t") {
                              inText = false;
                          } else if (name == "rPh") {
                              --phonetic;
                          } else if (name == "si" && inItem) {
                              inItem = false;
                              read->text += UnescapeExcel(std::move(item));
                              item.clear();
                              read->ends.push_back(static_cast<std::uint32_t>(read->text.size()));
                          }
                      },
                      [&](std::string_view text) {
                          if (inText) item.append(text);
                      }});
    const PartStatus status = package_.Read(part, [&](std::string_view piece) { return reader.Feed(piece, false); });
    if (status == PartStatus::Missing) return {};  // no strings at all
    if (status != PartStatus::Ok && status != PartStatus::Stopped) return PartMessage(part, status);
    if (!reader.Feed({}, true)) return "工作簿中的“" + part + "”已损坏:" + reader.error();
    strings_ = std::move(read);
    return {};
}

namespace {

// A sheet's rows as the parser hands its elements over: each cell by its
// reference (or, without one, after the one before), its text as a reader
// sees it (a shared string looked up, a number as written, a formula's
// value), handed to the sink a row at a time. A damaged row or cell stops
// the reading with the reason.
class RowReader {
public:
    RowReader(const SheetEntry& sheet, const SharedStrings& strings, const RowSink& sink)
        : sheet_(sheet), strings_(strings), sink_(sink),
          reader_({[this](std::string_view name, const Attributes& a) { Start(name, a); },
                   [this](std::string_view name) { End(name); },
                   [this](std::string_view text) { Text(text); }}) {}

    XmlReader& parser() { return reader_; }
    const std::string& failure() const { return failure_; }
    bool stopped() const { return stopped_; }
    void Stop() { stopped_ = true; }

private:
    void Fail(std::string why) {
        if (failure_.empty()) failure_ = std::move(why);
        reader_.Stop("");
    }

    void Start(std::string_view name, const Attributes& a) {
        if (name == "row") return StartRow(a.Get("r"));
        if (name == "c" && inRow_) return StartCell(a);
        if (!inCell_) return;
        if (name == "v") {
            into_ = Into::Value;
            haveValue_ = true;
        } else if (name == "f") {
            into_ = Into::Formula;
            cell_.formula = true;
        } else if (name == "is") {
            inInline_ = true;
            haveValue_ = true;
        } else if (name == "rPh") {
            ++phonetic_;
        } else if (name == "t" && inInline_ && phonetic_ == 0) {
            into_ = Into::InlineText;
        }
    }

    void StartRow(std::string_view r) {
        std::uint32_t number = 0;
        if (r.empty()) {
            number = rowNumber_ + 1;
        } else if (std::from_chars(r.data(), r.data() + r.size(), number).ec != std::errc() || number < 1 ||
                   number > kLastRow) {
            return Fail("工作表“" + sheet_.name + "”的行号“" + std::string(r.substr(0, 20)) + "”不对:文件已损坏");
        }
        // A row twice (Excel writes each once) leaves no telling which is the sheet's.
        if (number >= seenRows_.size()) seenRows_.resize(std::max<std::size_t>(number + 1, seenRows_.size() * 2));
        if (seenRows_[number])
            return Fail("工作表“" + sheet_.name + "”的第 " + std::to_string(number) + " 行出现了两次:文件已损坏");
        seenRows_[number] = true;
        rowNumber_ = number;
        column_ = 0;
        seenCell_ = false;
        inRow_ = true;
        cells_.clear();
    }

    void StartCell(const Attributes& a) {
        cell_ = Cell();
        const std::string_view r = a.Get("r");
        std::uint32_t row = rowNumber_;
        if (r.empty()) {
            cell_.column = seenCell_ ? column_ + 1 : 0;
        } else if (!ParseReference(r, cell_.column, row)) {
            return Fail("工作表“" + sheet_.name + "”第 " + std::to_string(rowNumber_) + " 行有单元格引用“" +
                        std::string(r.substr(0, 20)) + "”不对:文件已损坏");
        }
        column_ = cell_.column;
        seenCell_ = true;
        type_ = std::string(a.Get("t"));
        value_.clear();
        formula_.clear();
        haveValue_ = false;
        inCell_ = true;
    }

    void End(std::string_view name) {
        if (name == "v" || name == "f" || name == "t") {
            into_ = Into::Nothing;
        } else if (name == "rPh") {
            --phonetic_;
        } else if (name == "is") {
            inInline_ = false;
        } else if (name == "c" && inCell_) {
            inCell_ = false;
            EndCell();
        } else if (name == "row" && inRow_) {
            inRow_ = false;
            EndRow();
        }
    }

    // The cell's text by its type; one without text, formula or fault is no cell.
    void EndCell() {
        if (!haveValue_ && cell_.formula) {
            cell_.state = CellState::NoValue;
            cell_.text = "=" + formula_;
        } else if (type_ == "s") {
            std::size_t at = 0;
            const auto parsed = std::from_chars(value_.data(), value_.data() + value_.size(), at);
            const bool found = parsed.ec == std::errc() && parsed.ptr == value_.data() + value_.size() &&
                               at < strings_.ends.size();
            if (found) {
                const std::size_t begin = at == 0 ? 0 : strings_.ends[at - 1];
                cell_.text = strings_.text.substr(begin, strings_.ends[at] - begin);
            } else {
                cell_.state = CellState::MissingString;
            }
        } else if (type_ == "inlineStr" || type_ == "str" || type_ == "e") {
            cell_.text = UnescapeExcel(std::move(value_));
        } else if (type_ == "b") {
            cell_.text = value_ == "1" ? "TRUE" : "FALSE";
        } else if (type_ == "d") {
            cell_.text = value_;
        } else {
            cell_.text = NumberText(value_);
        }
        if (!cell_.text.empty() || cell_.formula || cell_.state != CellState::Value) cells_.push_back(std::move(cell_));
    }

    void EndRow() {
        const auto byColumn = [](const Cell& a, const Cell& b) { return a.column < b.column; };
        if (!std::is_sorted(cells_.begin(), cells_.end(), byColumn))  // (sorting allocates)
            std::stable_sort(cells_.begin(), cells_.end(), byColumn);
        for (std::size_t i = 1; i < cells_.size(); ++i)
            if (cells_[i].column == cells_[i - 1].column)
                return Fail("工作表“" + sheet_.name + "”的单元格 " + CellReference(rowNumber_, cells_[i].column) +
                            " 出现了两次:文件已损坏");
        if (!cells_.empty() && !sink_(rowNumber_, cells_)) {
            stopped_ = true;
            reader_.Stop("");
        }
        cells_.clear();
    }

    void Text(std::string_view text) {
        if (into_ == Into::Value || into_ == Into::InlineText) value_.append(text);
        if (into_ == Into::Formula) formula_.append(text);
    }

    const SheetEntry& sheet_;
    const SharedStrings& strings_;
    const RowSink& sink_;
    XmlReader reader_;
    std::uint32_t rowNumber_ = 0, column_ = 0;
    std::vector<bool> seenRows_;
    bool inRow_ = false, inCell_ = false, seenCell_ = false;
    std::vector<Cell> cells_;
    Cell cell_;
    std::string type_, value_, formula_;
    enum class Into { Nothing, Value, Formula, InlineText } into_ = Into::Nothing;
    bool haveValue_ = false, inInline_ = false;
    int phonetic_ = 0;
    std::string failure_;
    bool stopped_ = false;
};

}  // namespace

std::string WorkbookReader::ReadRows(std::size_t index, const RowSink& sink,
                                     const std::function<bool(double)>& progress) {
    return ReadRowsOf(index, nullptr, sink, progress);
}

std::string WorkbookReader::ReadRowsOf(std::size_t index, const std::string* xml, const RowSink& sink,
                                       const std::function<bool(double)>& progress) {
    const SheetEntry& sheet = sheets_.at(index);
    if (sheet.part.empty() && !xml) return "“" + sheet.name + "”是图表或对话框工作表,没有单元格";
    RowReader rows(sheet, *strings_, sink);
    XmlReader& reader = rows.parser();
    std::uint64_t seen = 0;
    const double declared =
        static_cast<double>(std::max<std::uint64_t>(xml ? xml->size() : package_.PartSize(sheet.part), 1));
    const auto piece = [&](std::string_view piece) {
        seen += piece.size();
        if (progress && seen % (1 << 22) < piece.size() && !progress(static_cast<double>(seen) / declared)) {
            rows.Stop();
            return false;
        }
        return reader.Feed(piece, false);
    };
    const PartStatus status =
        xml ? (piece(*xml) ? PartStatus::Ok : PartStatus::Stopped) : package_.Read(sheet.part, piece);
    if (rows.stopped()) return std::string(kCancelled);
    if (!rows.failure().empty()) return rows.failure();
    if (status == PartStatus::Missing) return "工作簿中的工作表“" + sheet.name + "”(" + sheet.part + ")不存在:文件不完整";
    if (status != PartStatus::Ok && status != PartStatus::Stopped) return PartMessage(sheet.part, status);
    if (!reader.Feed({}, true)) {
        if (!rows.failure().empty()) return rows.failure();
        return "工作簿中的工作表“" + sheet.name + "”已损坏:" + reader.error();
    }
    if (rows.stopped()) return std::string(kCancelled);
    return rows.failure();
}

}  // namespace quorvane::workbook
