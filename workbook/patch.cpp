#include "patch.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <map>

#include "sheets.h"
#include "xml.h"

namespace quorvane::workbook {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Attributes of a start tag as written: where each name and value lies.
struct RawAttribute {
    std::size_t begin, end;  // the whole attribute, leading blank included
    std::string_view name, value;
};

std::vector<RawAttribute> RawAttributes(std::string_view tag) {
    std::vector<RawAttribute> found;
    std::size_t i = 1;
    while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '>' && tag[i] != '/') ++i;  // the element's name
    while (i < tag.size()) {
        const std::size_t begin = i;
        while (i < tag.size() && IsSpace(tag[i])) ++i;
        const std::size_t nameBegin = i;
        while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '=' && tag[i] != '>' && tag[i] != '/') ++i;
        if (i == nameBegin) break;
        const std::string_view name = tag.substr(nameBegin, i - nameBegin);
        while (i < tag.size() && (IsSpace(tag[i]) || tag[i] == '=')) ++i;
        if (i >= tag.size()) break;
        const char quote = tag[i];
        const std::size_t close = tag.find(quote, i + 1);
        if (close == std::string_view::npos) break;
        found.push_back({begin, close + 1, name, tag.substr(i + 1, close - i - 1)});
        i = close + 1;
    }
    return found;
}

}  // namespace

TagAttribute FindAttribute(std::string_view tag, std::string_view local) {
    for (const RawAttribute& a : RawAttributes(tag)) {
        const std::size_t colon = a.name.find(':');
        if ((colon == std::string_view::npos ? a.name : a.name.substr(colon + 1)) == local)
            return {std::string(a.name), std::string(a.value)};
    }
    return {};
}

std::string WithAttribute(std::string_view tag, std::string_view name, std::string_view value) {
    for (const RawAttribute& a : RawAttributes(tag)) {
        if (a.name != name) continue;
        std::string out(tag.substr(0, a.begin));
        if (!value.empty()) {
            out += ' ';
            out.append(name);
            out += "=\"";
            AppendEscapedXml(out, value);
            out += '"';
        }
        out.append(tag.substr(a.end));
        return out;
    }
    if (value.empty()) return std::string(tag);
    std::size_t at = tag.size() - 1;  // before '>' or "/>"
    if (at > 0 && tag[at - 1] == '/') --at;
    std::string out(tag.substr(0, at));
    out += ' ';
    out.append(name);
    out += "=\"";
    AppendEscapedXml(out, value);
    out += '"';
    out.append(tag.substr(at));
    return out;
}

namespace {

// A start tag that closed its element ("<row .../>") made an opening one.
std::string Opening(std::string tag) {
    if (tag.size() >= 2 && tag[tag.size() - 2] == '/') tag.erase(tag.size() - 2, 1);
    return tag;
}

std::uint64_t EndOf(const XmlReader& reader, std::uint64_t tagEnd) {
    // An element that closed in its start tag reports a closing of no length.
    return reader.EventLength() == 0 ? tagEnd : reader.EventOffset() + reader.EventLength();
}

// tagEnd: where the cell's start tag ends in out.
void AppendCell(std::string& out, const std::string& prefix, std::uint32_t row, const NewCell& cell,
                std::string_view style, std::uint64_t& tagEnd) {
    out += '<' + prefix + "c r=\"" + CellReference(row, cell.column) + '"';
    if (!style.empty()) {
        out += " s=\"";
        AppendEscapedXml(out, style);
        out += '"';
    }
    if (cell.text.empty()) {
        out += "/>";
        tagEnd = out.size();
        return;
    }
    if (cell.number) {
        out += '>';
        tagEnd = out.size();
        out += "<" + prefix + "v>";
        out += cell.text;
        out += "</" + prefix + "v></" + prefix + "c>";
        return;
    }
    out += " t=\"inlineStr\">";
    tagEnd = out.size();
    out += "<" + prefix + "is><" + prefix + "t xml:space=\"preserve\">";
    AppendEscapedXml(out, EscapeExcel(cell.text));
    out += "</" + prefix + "t></" + prefix + "is></" + prefix + "c>";
}

// A scan's styles, each once, found by their text.
class StyleTable {
public:
    explicit StyleTable(std::vector<std::string>& styles) : styles_(styles) {
        for (std::size_t i = 0; i < styles_.size(); ++i) index_.emplace(styles_[i], static_cast<std::uint32_t>(i));
    }
    std::uint32_t Index(std::string_view style) {
        if (style.empty()) return 0;
        const auto at = index_.find(style);
        if (at != index_.end()) return at->second;
        styles_.emplace_back(style);
        return index_.emplace(std::string(style), static_cast<std::uint32_t>(styles_.size() - 1)).first->second;
    }

private:
    std::vector<std::string>& styles_;
    std::map<std::string, std::uint32_t, std::less<>> index_;
};

// Where a sheet's parts lie, found in one pass of the parser: the cells'
// container, each row and its cells, and the elements around them that a
// save must know of.
class SheetScanner {
public:
    explicit SheetScanner(SheetScan& scan)
        : scan_(scan),
          styles_(scan.styles),
          reader_({[this](std::string_view name, const Attributes& a) { Start(name, a); },
                   [this](std::string_view name) { End(name); },
                   [this](std::string_view text) {
                       if (inFormula_ && std::any_of(text.begin(), text.end(), [](char c) {
                               return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '$' || c == '!';
                           }))
                           cells_.back().dependent = true;
                   }}) {}

    std::string Scan() {
        if (!reader_.Feed(scan_.xml, true)) return reader_.error();
        if (scan_.dataEnd == 0) return "工作表中没有单元格数据 (sheetData)";
        // Sorted only where a writer listed them out of order (sorting allocates).
        const auto byNumber = [](const ScannedRow& a, const ScannedRow& b) { return a.number < b.number; };
        if (!std::is_sorted(scan_.rows.begin(), scan_.rows.end(), byNumber))
            std::stable_sort(scan_.rows.begin(), scan_.rows.end(), byNumber);
        return {};
    }

private:
    void Start(std::string_view name, const Attributes& a) {
        static const std::set<std::string, std::less<>> kReferencing = {
            "mergeCells", "conditionalFormatting", "dataValidations", "hyperlinks",   "tableParts",
            "drawing",    "legacyDrawing",         "autoFilter",      "sortState",    "rowBreaks",
            "ignoredErrors", "oleObjects",         "controls",        "protectedRanges", "scenarios"};
        ++depth_;
        const std::uint64_t at = reader_.EventOffset(), tagEnd = at + reader_.EventLength();
        if (depth_ == 2 && name == "sheetData") {
            inData_ = true;
            dataTagBegin_ = at;
            dataTagEnd_ = tagEnd;
            scan_.dataBegin = tagEnd;
            const std::string_view tag = std::string_view(scan_.xml).substr(at + 1);
            scan_.prefix = std::string(tag.substr(0, tag.find("sheetData")));
        } else if (depth_ == 2 && name == "dimension") {
            scan_.dimensionBegin = at;
            scan_.dimensionEnd = tagEnd;
        } else if (depth_ == 2 && name == "sheetProtection") {
            scan_.protectedSheet = true;
        } else if (depth_ == 2 && kReferencing.count(name)) {
            scan_.referencing.emplace(name);
        } else if (depth_ == 3 && name == "mergeCell") {
            // Its right edge: new columns go past it, never under a merged cell.
            const std::string_view ref = a.Get("ref");
            std::uint32_t column = 0, row = 0;
            if (ParseReference(ref.substr(ref.find(':') + 1), column, row))
                scan_.mergedRight = std::max(scan_.mergedRight, column);
        } else if (inData_ && depth_ == 3 && name == "row") {
            StartRow(a.Get("r"), at, tagEnd);
        } else if (inRow_ && depth_ == 4 && name == "c") {
            StartCell(a, at, tagEnd);
        } else if (inRow_ && depth_ == 5 && name == "f") {
            cells_.back().formula = true;
            // A shared formula's cells hold no text of their own: taken as naming something.
            cells_.back().dependent = a.Get("t") == "shared";
            inFormula_ = true;
            scan_.formulas = true;
        }
    }

    void StartRow(std::string_view r, std::uint64_t at, std::uint64_t tagEnd) {
        ScannedRow row;
        row.number = scan_.rows.empty() ? 1 : scan_.rows.back().number + 1;
        if (!r.empty()) std::from_chars(r.data(), r.data() + r.size(), row.number);
        row.begin = at;
        row.tagEnd = tagEnd;
        scan_.rows.push_back(std::move(row));
        cells_.clear();
        inRow_ = true;
    }

    void StartCell(const Attributes& a, std::uint64_t at, std::uint64_t tagEnd) {
        const std::uint64_t rowBegin = scan_.rows.back().begin;
        ScannedCell cell;
        cell.column = cells_.empty() ? 0 : cells_.back().column + 1;
        std::uint32_t column = 0, rowOfCell = 0;
        if (ParseReference(a.Get("r"), column, rowOfCell)) cell.column = column;
        cell.begin = static_cast<std::uint32_t>(at - rowBegin);
        cell.tagEnd = static_cast<std::uint32_t>(tagEnd - rowBegin);
        cell.style = styles_.Index(a.Get("s"));
        cells_.push_back(cell);
    }

    void End(std::string_view name) {
        if (inFormula_ && name == "f") inFormula_ = false;
        if (depth_ == 2 && name == "sheetData") {
            inData_ = false;
            if (reader_.EventLength() == 0) {
                // The empty tag itself is what gets replaced.
                scan_.emptyData = true;
                scan_.dataBegin = dataTagBegin_;
                scan_.dataEnd = dataTagEnd_;
            } else {
                scan_.dataEnd = reader_.EventOffset();
            }
        } else if (inRow_ && depth_ == 3 && name == "row") {
            ScannedRow& row = scan_.rows.back();
            row.end = EndOf(reader_, row.tagEnd);
            // (sorted only where a writer listed them out of order: sorting allocates)
            const auto byColumn = [](const ScannedCell& a, const ScannedCell& b) { return a.column < b.column; };
            if (!std::is_sorted(cells_.begin(), cells_.end(), byColumn))
                std::stable_sort(cells_.begin(), cells_.end(), byColumn);
            if (!cells_.empty()) row.cellList = std::make_shared<const std::vector<ScannedCell>>(std::move(cells_));
            cells_.clear();
            inRow_ = false;
        } else if (inRow_ && depth_ == 4 && name == "c") {
            ScannedCell& cell = cells_.back();
            const std::uint64_t rowBegin = scan_.rows.back().begin;
            cell.end = static_cast<std::uint32_t>(EndOf(reader_, cell.tagEnd + rowBegin) - rowBegin);
        }
        --depth_;
    }

    SheetScan& scan_;
    StyleTable styles_;
    XmlReader reader_;
    int depth_ = 0;
    bool inData_ = false, inRow_ = false, inFormula_ = false;
    std::vector<ScannedCell> cells_;  // of the row being read
    std::uint64_t dataTagBegin_ = 0, dataTagEnd_ = 0;
};

}  // namespace

std::string ScanSheet(std::string xml, SheetScan& scan) {
    scan = SheetScan();
    scan.xml = std::move(xml);
    return SheetScanner(scan).Scan();
}

namespace {

// The new sheet written: what comes before the cells (a dimension widened
// to the rows and columns written), the rows in order, each an old row
// kept as it was or a row written, and what comes after; with the scan of
// the new XML made on the way.
class SheetWriter {
public:
    SheetWriter(const SheetScan& scan, const SheetEdit& edit) : scan_(scan), edit_(edit), xml_(scan.xml) {}

    std::optional<SheetScan> Write(bool& formulasTouched, std::string& message) {
        if (!Place(message)) return std::nullopt;
        for (std::uint32_t removed : edit_.removed)
            if (const ScannedRow* row = Old(removed))
                for (const ScannedCell& c : row->cells()) formulas_ = formulas_ || c.formula;
        after_.prefix = scan_.prefix;
        after_.styles = scan_.styles;  // (the kept cells' places in it stand)
        styles_.emplace(after_.styles);
        after_.referencing = scan_.referencing;
        after_.protectedSheet = scan_.protectedSheet;
        after_.mergedRight = scan_.mergedRight;
        after_.rows.reserve(placed_.size());
        after_.xml.reserve(xml_.size() + edit_.rows.size() * 64);
        WriteHead();
        for (const Placed& entry : placed_) {
            if (entry.kept)
                KeepRow(*entry.kept);
            else
                WriteRow(entry.number, *entry.written);
        }
        WriteTail();
        formulasTouched = formulas_;
        return std::move(after_);
    }

private:
    struct Placed {
        std::uint32_t number;
        const ScannedRow* kept;
        const RowWrite* written;
    };

    // The old row of that number (of twins, the first).
    const ScannedRow* Old(std::uint32_t number) const {
        const auto at = std::lower_bound(scan_.rows.begin(), scan_.rows.end(), number,
                                         [](const ScannedRow& r, std::uint32_t n) { return r.number < n; });
        return at != scan_.rows.end() && at->number == number ? &*at : nullptr;
    }

    // What the new sheet holds, by row number (sorted vectors rather than
    // maps: a sheet has tens of thousands of rows, a save touches few).
    bool Place(std::string& message) {
        std::vector<std::uint32_t> consumed(edit_.removed.begin(), edit_.removed.end());
        for (const RowWrite& w : edit_.rows)
            if (w.origin != 0) consumed.push_back(w.origin);
        std::sort(consumed.begin(), consumed.end());
        std::vector<Placed> keptRows, writtenRows;
        for (const ScannedRow& row : scan_.rows)
            if (!std::binary_search(consumed.begin(), consumed.end(), row.number)) {
                if (!keptRows.empty() && keptRows.back().number == row.number) keptRows.pop_back();  // the last of twins
                keptRows.push_back({row.number, &row, nullptr});
            }
        for (const RowWrite& w : edit_.rows) {
            writtenRows.push_back({w.target, nullptr, &w});
            lastRow_ = std::max(lastRow_, w.target);
            for (const NewCell& c : w.cells) lastColumn_ = std::max(lastColumn_, c.column);
        }
        const auto byNumber = [](const Placed& a, const Placed& b) { return a.number < b.number; };
        std::stable_sort(writtenRows.begin(), writtenRows.end(), byNumber);
        placed_.reserve(keptRows.size() + writtenRows.size());
        std::merge(keptRows.begin(), keptRows.end(), writtenRows.begin(), writtenRows.end(), std::back_inserter(placed_),
                   byNumber);
        for (std::size_t i = 1; i < placed_.size(); ++i)
            if (placed_[i].number == placed_[i - 1].number) {
                message = "row " + std::to_string(placed_[i].number) + " would be written twice";
                return false;
            }
        return true;
    }

    // Up to the first row, the dimension widened where rows or columns go past it.
    void WriteHead() {
        std::string& out = after_.xml;
        std::uint64_t copiedTo = 0;
        if (scan_.dimensionEnd > scan_.dimensionBegin && scan_.dimensionBegin < scan_.dataBegin) {
            const std::string_view tag = xml_.substr(scan_.dimensionBegin, scan_.dimensionEnd - scan_.dimensionBegin);
            const std::string ref = FindAttribute(tag, "ref").value;
            const std::size_t colon = ref.find(':');
            const std::string first = colon == std::string::npos ? ref : ref.substr(0, colon);
            const std::string last = colon == std::string::npos ? ref : ref.substr(colon + 1);
            std::uint32_t oldColumn = 0, oldRow = 0;
            if (ParseReference(last, oldColumn, oldRow) && !first.empty() &&
                (lastRow_ > oldRow || lastColumn_ > oldColumn)) {
                const std::string wider = first + ":" + ColumnLetters(std::max(lastColumn_, oldColumn)) +
                                          std::to_string(std::max(lastRow_, oldRow));
                out.append(xml_.substr(0, scan_.dimensionBegin));
                out += WithAttribute(tag, "ref", wider);
                copiedTo = scan_.dimensionEnd;
                headShift_ = out.size() - scan_.dimensionEnd;
            }
        }
        out.append(xml_.substr(copiedTo, scan_.dataBegin - copiedTo));
        if (scan_.emptyData) out += '<' + scan_.prefix + "sheetData>";
        after_.dataBegin = out.size();
    }

    // An old row as it was, where it now falls.
    void KeepRow(const ScannedRow& kept) {
        std::string& out = after_.xml;
        const std::uint64_t shift = out.size() - kept.begin;  // (modulo 2^64: may be "negative")
        ScannedRow row = kept;  // (its cells shared: placed from the row's start)
        row.begin += shift;
        row.end += shift;
        row.tagEnd += shift;
        after_.rows.push_back(std::move(row));
        out.append(xml_.substr(kept.begin, kept.end - kept.begin));
    }

    // A row written: from its old row (its attributes, the cells it does
    // not set) when it has one, with the cells set, at number.
    void WriteRow(std::uint32_t number, const RowWrite& written) {
        std::string& out = after_.xml;
        const std::string& p = scan_.prefix;
        const ScannedRow* origin = written.origin ? Old(written.origin) : nullptr;
        const std::string r = std::to_string(number);
        ScannedRow row;
        row.number = number;
        row.begin = out.size();
        if (origin) {
            const std::string_view tag = xml_.substr(origin->begin, origin->tagEnd - origin->begin);
            out += Opening(WithAttribute(WithAttribute(tag, "spans", ""), "r", r));
        } else {
            out += '<' + p + "row r=\"" + r + "\">";
        }
        row.tagEnd = out.size();
        std::vector<ScannedCell> cells;
        std::vector<NewCell> set = written.cells;
        std::sort(set.begin(), set.end(), [](const NewCell& a, const NewCell& b) { return a.column < b.column; });
        std::size_t next = 0;
        if (origin) {
            for (const ScannedCell& c : origin->cells()) {
                while (next < set.size() && set[next].column < c.column) SetCell(row, set[next++], nullptr, cells);
                if (next < set.size() && set[next].column == c.column)
                    SetCell(row, set[next++], &c, cells);
                else
                    KeepCell(row, *origin, c, cells);
            }
        }
        while (next < set.size()) SetCell(row, set[next++], nullptr, cells);
        out += "</" + p + "row>";
        row.end = out.size();
        if (!cells.empty()) row.cellList = std::make_shared<const std::vector<ScannedCell>>(std::move(cells));
        after_.rows.push_back(std::move(row));
    }

    // A cell set, over the old one (was) when there is one: its style kept.
    void SetCell(const ScannedRow& row, const NewCell& cell, const ScannedCell* was, std::vector<ScannedCell>& cells) {
        if (was && was->formula) formulas_ = true;
        if (cell.text.empty() && !was) return;  // nothing there, nothing to clear
        std::string& out = after_.xml;
        ScannedCell written;
        written.column = cell.column;
        written.begin = static_cast<std::uint32_t>(out.size() - row.begin);
        written.style = was ? was->style : styles_->Index(cell.style);
        std::uint64_t tagEnd = 0;
        AppendCell(out, scan_.prefix, row.number, cell, after_.styles[written.style], tagEnd);
        written.tagEnd = static_cast<std::uint32_t>(tagEnd - row.begin);
        written.end = static_cast<std::uint32_t>(out.size() - row.begin);
        cells.push_back(written);
    }

    // A cell of the old row as it was, its reference made anew when the row moved.
    void KeepCell(const ScannedRow& row, const ScannedRow& origin, const ScannedCell& c, std::vector<ScannedCell>& cells) {
        std::string& out = after_.xml;
        const std::string_view whole = xml_.substr(origin.begin + c.begin, c.end - c.begin);
        ScannedCell copy = c;
        copy.begin = static_cast<std::uint32_t>(out.size() - row.begin);
        std::uint32_t tagLength = c.tagEnd - c.begin;
        if (origin.number == row.number) {
            out.append(whole);
        } else {
            formulas_ = formulas_ || c.formula;
            const std::string_view tag = whole.substr(0, tagLength);
            const std::string moved = WithAttribute(tag, "r", CellReference(row.number, c.column));
            out += moved;
            out.append(whole.substr(tag.size()));  // (none for a cell closed in its start tag)
            tagLength = static_cast<std::uint32_t>(moved.size());
        }
        copy.tagEnd = copy.begin + tagLength;
        copy.end = static_cast<std::uint32_t>(out.size() - row.begin);
        cells.push_back(copy);
    }

    // After the last row: the rest as it was, moved by as much as the cells grew or shrank.
    void WriteTail() {
        std::string& out = after_.xml;
        after_.dataEnd = out.size();
        if (scan_.emptyData) out += "</" + scan_.prefix + "sheetData>";
        const std::uint64_t tailShift = out.size() - scan_.dataEnd;
        out.append(xml_.substr(scan_.dataEnd));
        if (scan_.dimensionEnd > scan_.dimensionBegin) {
            const bool beforeData = scan_.dimensionBegin < scan_.dataBegin;
            after_.dimensionBegin = beforeData ? scan_.dimensionBegin : scan_.dimensionBegin + tailShift;
            after_.dimensionEnd = beforeData ? scan_.dimensionEnd + headShift_ : scan_.dimensionEnd + tailShift;
        }
        for (const ScannedRow& row : after_.rows)
            for (const ScannedCell& c : row.cells()) after_.formulas = after_.formulas || c.formula;
    }

    const SheetScan& scan_;
    const SheetEdit& edit_;
    const std::string_view xml_;
    std::vector<Placed> placed_;
    std::uint32_t lastRow_ = 0, lastColumn_ = 0;
    std::uint64_t headShift_ = 0;  // of what lies before the cells, past a widened dimension (modulo 2^64)
    bool formulas_ = false;        // a formula cell removed, replaced or moved
    SheetScan after_;
    std::optional<StyleTable> styles_;  // over after_'s
};

}  // namespace

std::optional<SheetScan> RewriteSheet(const SheetScan& scan, const SheetEdit& edit, bool& formulasTouched,
                                      std::string& message) {
    formulasTouched = false;
    return SheetWriter(scan, edit).Write(formulasTouched, message);
}

std::optional<std::string> WriteSheet(const SheetScan& scan, const SheetEdit& edit, bool& formulasTouched,
                                      std::string& message) {
    std::optional<SheetScan> after = RewriteSheet(scan, edit, formulasTouched, message);
    if (!after) return std::nullopt;
    return std::move(after->xml);
}

std::string WithFullCalcOnLoad(const std::string& workbookXml) {
    std::uint64_t calcBegin = 0, calcEnd = 0, after = 0;
    std::string prefix;
    int depth = 0;
    XmlReader* parser = nullptr;
    XmlReader reader({[&](std::string_view name, const Attributes&) {
                          ++depth;
                          if (depth == 1) {
                              const std::string_view tag = std::string_view(workbookXml).substr(parser->EventOffset() + 1);
                              prefix = std::string(tag.substr(0, tag.find("workbook")));
                          }
                          if (depth == 2 && name == "calcPr") {
                              calcBegin = parser->EventOffset();
                              calcEnd = calcBegin + parser->EventLength();
                          }
                      },
                      [&](std::string_view name) {
                          if (depth == 2 && (name == "sheets" || name == "functionGroups" ||
                                             name == "externalReferences" || name == "definedNames"))
                              after = parser->EventLength() == 0 ? 0 : parser->EventOffset() + parser->EventLength();
                          --depth;
                      },
                      {}});
    parser = &reader;
    if (!reader.Feed(workbookXml, true)) return workbookXml;
    if (calcEnd > calcBegin) {
        const std::string tag = workbookXml.substr(calcBegin, calcEnd - calcBegin);
        return workbookXml.substr(0, calcBegin) + WithAttribute(tag, "fullCalcOnLoad", "1") +
               workbookXml.substr(calcEnd);
    }
    if (after == 0) return workbookXml;
    return workbookXml.substr(0, after) + '<' + prefix + "calcPr fullCalcOnLoad=\"1\"/>" + workbookXml.substr(after);
}

std::string WithoutElements(const std::string& xml, std::string_view name, std::string_view attribute,
                            std::string_view value) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> cut;
    std::uint64_t begin = 0, tagEnd = 0;
    bool matched = false;
    XmlReader* parser = nullptr;
    XmlReader reader({[&](std::string_view element, const Attributes& a) {
                          if (element != name) return;
                          begin = parser->EventOffset();
                          tagEnd = begin + parser->EventLength();
                          matched = a.Get(attribute) == value;
                      },
                      [&](std::string_view element) {
                          if (element != name || !matched) return;
                          cut.emplace_back(begin, EndOf(*parser, tagEnd));
                          matched = false;
                      },
                      {}});
    parser = &reader;
    if (!reader.Feed(xml, true)) return xml;
    std::string out;
    std::uint64_t from = 0;
    for (const auto& [b, e] : cut) {
        out.append(xml, from, b - from);
        from = e;
    }
    out.append(xml, from, std::string::npos);
    return out;
}

}  // namespace quorvane::workbook
