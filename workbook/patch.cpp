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

}  // namespace

std::string ScanSheet(std::string xml, SheetScan& scan) {
    scan = SheetScan();
    scan.xml = std::move(xml);
    const std::string& text = scan.xml;
    static const std::set<std::string, std::less<>> kReferencing = {
        "mergeCells", "conditionalFormatting", "dataValidations", "hyperlinks",   "tableParts",
        "drawing",    "legacyDrawing",         "autoFilter",      "sortState",    "rowBreaks",
        "ignoredErrors", "oleObjects",         "controls",        "protectedRanges", "scenarios"};
    int depth = 0;
    bool inData = false, inRow = false;
    std::vector<ScannedCell> cells;  // of the row being read
    std::uint64_t dataTagBegin = 0, dataTagEnd = 0;
    XmlReader* parser = nullptr;
    XmlReader reader(
        {[&](std::string_view name, const Attributes& a) {
             ++depth;
             const std::uint64_t at = parser->EventOffset(), tagEnd = at + parser->EventLength();
             if (depth == 2 && name == "sheetData") {
                 inData = true;
                 dataTagBegin = at;
                 dataTagEnd = tagEnd;
                 scan.dataBegin = tagEnd;
                 const std::string_view tag = std::string_view(text).substr(at + 1);
                 scan.prefix = std::string(tag.substr(0, tag.find("sheetData")));
             } else if (depth == 2 && name == "dimension") {
                 scan.dimensionBegin = at;
                 scan.dimensionEnd = tagEnd;
             } else if (depth == 2 && name == "sheetProtection") {
                 scan.protectedSheet = true;
             } else if (depth == 2 && kReferencing.count(name)) {
                 scan.referencing.emplace(name);
             } else if (inData && depth == 3 && name == "row") {
                 ScannedRow row;
                 const std::string_view r = a.Get("r");
                 row.number = scan.rows.empty() ? 1 : scan.rows.back().number + 1;
                 if (!r.empty()) std::from_chars(r.data(), r.data() + r.size(), row.number);
                 row.begin = at;
                 row.tagEnd = tagEnd;
                 scan.rows.push_back(std::move(row));
                 cells.clear();
                 inRow = true;
             } else if (inRow && depth == 4 && name == "c") {
                 const std::uint64_t rowBegin = scan.rows.back().begin;
                 ScannedCell cell;
                 cell.column = cells.empty() ? 0 : cells.back().column + 1;
                 std::uint32_t column = 0, rowOfCell = 0;
                 if (ParseReference(a.Get("r"), column, rowOfCell)) cell.column = column;
                 cell.begin = at - rowBegin;
                 cell.tagEnd = tagEnd - rowBegin;
                 cell.style = std::string(a.Get("s"));
                 cells.push_back(std::move(cell));
             } else if (inRow && depth == 5 && name == "f") {
                 cells.back().formula = true;
                 scan.formulas = true;
             }
         },
         [&](std::string_view name) {
             if (depth == 2 && name == "sheetData") {
                 inData = false;
                 if (parser->EventLength() == 0) {
                     // The empty tag itself is what gets replaced.
                     scan.emptyData = true;
                     scan.dataBegin = dataTagBegin;
                     scan.dataEnd = dataTagEnd;
                 } else {
                     scan.dataEnd = parser->EventOffset();
                 }
             } else if (inRow && depth == 3 && name == "row") {
                 ScannedRow& row = scan.rows.back();
                 row.end = EndOf(*parser, row.tagEnd);
                 // (sorted only where a writer listed them out of order: sorting allocates)
                 const auto byColumn = [](const ScannedCell& a, const ScannedCell& b) { return a.column < b.column; };
                 if (!std::is_sorted(cells.begin(), cells.end(), byColumn))
                     std::stable_sort(cells.begin(), cells.end(), byColumn);
                 if (!cells.empty()) row.cellList = std::make_shared<const std::vector<ScannedCell>>(std::move(cells));
                 cells.clear();
                 inRow = false;
             } else if (inRow && depth == 4 && name == "c") {
                 ScannedCell& cell = cells.back();
                 const std::uint64_t rowBegin = scan.rows.back().begin;
                 cell.end = EndOf(*parser, cell.tagEnd + rowBegin) - rowBegin;
             }
             --depth;
         },
         {}});
    parser = &reader;
    if (!reader.Feed(text, true)) return reader.error();
    if (scan.dataEnd == 0) return "the sheet has no sheetData";
    // Sorted only where a writer listed them out of order (sorting allocates).
    const auto byNumber = [](const ScannedRow& a, const ScannedRow& b) { return a.number < b.number; };
    if (!std::is_sorted(scan.rows.begin(), scan.rows.end(), byNumber))
        std::stable_sort(scan.rows.begin(), scan.rows.end(), byNumber);
    return {};
}

std::optional<SheetScan> RewriteSheet(const SheetScan& scan, const SheetEdit& edit, bool& formulasTouched,
                                      std::string& message) {
    formulasTouched = false;
    const std::string_view xml = scan.xml;
    // (sorted vectors rather than maps: a sheet has tens of thousands of rows, a save touches few)
    const auto old = [&scan](std::uint32_t number) -> const ScannedRow* {
        const auto at = std::lower_bound(scan.rows.begin(), scan.rows.end(), number,
                                         [](const ScannedRow& r, std::uint32_t n) { return r.number < n; });
        return at != scan.rows.end() && at->number == number ? &*at : nullptr;
    };
    std::vector<std::uint32_t> consumed(edit.removed.begin(), edit.removed.end());
    for (const RowWrite& w : edit.rows)
        if (w.origin != 0) consumed.push_back(w.origin);
    std::sort(consumed.begin(), consumed.end());
    // What the new sheet holds, by row number: an old row kept as it was, or a row written.
    struct Placed {
        std::uint32_t number;
        const ScannedRow* kept;
        const RowWrite* written;
    };
    std::vector<Placed> keptRows, writtenRows, placed;
    for (const ScannedRow& row : scan.rows)
        if (!std::binary_search(consumed.begin(), consumed.end(), row.number)) {
            if (!keptRows.empty() && keptRows.back().number == row.number) keptRows.pop_back();  // the last of twins
            keptRows.push_back({row.number, &row, nullptr});
        }
    std::uint32_t lastRow = 0, lastColumn = 0;
    for (const RowWrite& w : edit.rows) {
        writtenRows.push_back({w.target, nullptr, &w});
        lastRow = std::max(lastRow, w.target);
        for (const NewCell& c : w.cells) lastColumn = std::max(lastColumn, c.column);
    }
    const auto byNumber = [](const Placed& a, const Placed& b) { return a.number < b.number; };
    std::stable_sort(writtenRows.begin(), writtenRows.end(), byNumber);
    placed.reserve(keptRows.size() + writtenRows.size());
    std::merge(keptRows.begin(), keptRows.end(), writtenRows.begin(), writtenRows.end(), std::back_inserter(placed),
               byNumber);
    for (std::size_t i = 1; i < placed.size(); ++i)
        if (placed[i].number == placed[i - 1].number) {
            message = "row " + std::to_string(placed[i].number) + " would be written twice";
            return std::nullopt;
        }
    for (std::uint32_t removed : edit.removed)
        if (const ScannedRow* row = old(removed))
            for (const ScannedCell& c : row->cells()) formulasTouched = formulasTouched || c.formula;

    SheetScan after;
    after.prefix = scan.prefix;
    after.referencing = scan.referencing;
    after.protectedSheet = scan.protectedSheet;
    after.rows.reserve(placed.size());
    std::string& out = after.xml;
    out.reserve(xml.size() + edit.rows.size() * 64);
    std::uint64_t copiedTo = 0;
    std::int64_t headShift = 0;  // of what lies before the cells, past a widened dimension
    if (scan.dimensionEnd > scan.dimensionBegin && scan.dimensionBegin < scan.dataBegin) {
        const std::string_view tag = xml.substr(scan.dimensionBegin, scan.dimensionEnd - scan.dimensionBegin);
        const std::string ref = FindAttribute(tag, "ref").value;
        const std::size_t colon = ref.find(':');
        const std::string first = colon == std::string::npos ? ref : ref.substr(0, colon);
        const std::string last = colon == std::string::npos ? ref : ref.substr(colon + 1);
        std::uint32_t oldColumn = 0, oldRow = 0;
        if (ParseReference(last, oldColumn, oldRow) && !first.empty() && (lastRow > oldRow || lastColumn > oldColumn)) {
            const std::string wider = first + ":" + ColumnLetters(std::max(lastColumn, oldColumn)) +
                                      std::to_string(std::max(lastRow, oldRow));
            out.append(xml.substr(0, scan.dimensionBegin));
            out += WithAttribute(tag, "ref", wider);
            copiedTo = scan.dimensionEnd;
            headShift = static_cast<std::int64_t>(out.size()) - static_cast<std::int64_t>(scan.dimensionEnd);
        }
    }
    out.append(xml.substr(copiedTo, scan.dataBegin - copiedTo));
    const std::string& p = scan.prefix;
    if (scan.emptyData) out += '<' + p + "sheetData>";
    after.dataBegin = out.size();

    for (const Placed& entry : placed) {
        const std::uint32_t number = entry.number;
        const ScannedRow* kept = entry.kept;
        const RowWrite* written = entry.written;
        if (kept) {
            // Where it was, moved by as much as the sheet before it grew or shrank.
            const std::uint64_t shift = out.size() - kept->begin;  // (modulo 2^64: may be "negative")
            ScannedRow row = *kept;
            row.begin += shift;
            row.end += shift;
            row.tagEnd += shift;
            after.rows.push_back(std::move(row));
            out.append(xml.substr(kept->begin, kept->end - kept->begin));
            continue;
        }
        const ScannedRow* origin = written->origin ? old(written->origin) : nullptr;
        const bool moved = origin && origin->number != number;
        const std::string r = std::to_string(number);
        ScannedRow row;
        row.number = number;
        row.begin = out.size();
        if (origin) {
            const std::string_view tag = xml.substr(origin->begin, origin->tagEnd - origin->begin);
            out += Opening(WithAttribute(WithAttribute(tag, "spans", ""), "r", r));
        } else {
            out += '<' + p + "row r=\"" + r + "\">";
        }
        row.tagEnd = out.size();
        std::vector<ScannedCell> rowCells;
        std::vector<NewCell> cells = written->cells;
        std::sort(cells.begin(), cells.end(), [](const NewCell& a, const NewCell& b) { return a.column < b.column; });
        std::size_t next = 0;
        const auto writeNew = [&](const NewCell& cell, const ScannedCell* was) {
            if (was && was->formula) formulasTouched = true;
            if (cell.text.empty() && !was) return;  // nothing there, nothing to clear
            ScannedCell written;
            written.column = cell.column;
            written.begin = out.size() - row.begin;
            written.style = was ? was->style : cell.style;
            AppendCell(out, p, number, cell, written.style, written.tagEnd);
            written.tagEnd -= row.begin;
            written.end = out.size() - row.begin;
            rowCells.push_back(std::move(written));
        };
        // A cell of the old row, copied at its new place (tag: its start tag as now written).
        const auto keepCell = [&](const ScannedCell& c, std::uint64_t begin, std::uint64_t tagLength) {
            ScannedCell copy = c;
            copy.begin = begin - row.begin;
            copy.tagEnd = copy.begin + tagLength;
            copy.end = out.size() - row.begin;
            rowCells.push_back(std::move(copy));
        };
        if (origin) {
            for (const ScannedCell& c : origin->cells()) {
                while (next < cells.size() && cells[next].column < c.column) writeNew(cells[next++], nullptr);
                if (next < cells.size() && cells[next].column == c.column) {
                    writeNew(cells[next++], &c);
                    continue;
                }
                const std::string_view whole = xml.substr(origin->begin + c.begin, c.end - c.begin);
                const std::uint64_t begin = out.size();
                if (!moved) {
                    out.append(whole);
                    keepCell(c, begin, c.tagEnd - c.begin);
                    continue;
                }
                formulasTouched = formulasTouched || c.formula;
                const std::string_view tag = whole.substr(0, c.tagEnd - c.begin);
                const std::string movedTag = WithAttribute(tag, "r", CellReference(number, c.column));
                out += movedTag;
                // (a cell closed in its start tag has nothing after it)
                out.append(whole.substr(tag.size()));
                keepCell(c, begin, movedTag.size());
            }
        }
        while (next < cells.size()) writeNew(cells[next++], nullptr);
        out += "</" + p + "row>";
        row.end = out.size();
        if (!rowCells.empty()) row.cellList = std::make_shared<const std::vector<ScannedCell>>(std::move(rowCells));
        after.rows.push_back(std::move(row));
    }

    after.dataEnd = out.size();
    if (scan.emptyData) out += "</" + p + "sheetData>";
    // What lies after the cells moved by as much as the cells grew or shrank.
    const std::uint64_t tailShift = out.size() - scan.dataEnd;
    out.append(xml.substr(scan.dataEnd));
    if (scan.dimensionEnd > scan.dimensionBegin) {
        const bool beforeData = scan.dimensionBegin < scan.dataBegin;
        after.dimensionBegin = beforeData ? scan.dimensionBegin : scan.dimensionBegin + tailShift;
        after.dimensionEnd = beforeData ? scan.dimensionEnd + static_cast<std::uint64_t>(headShift)
                                        : scan.dimensionEnd + tailShift;
    }
    for (const ScannedRow& row : after.rows)
        for (const ScannedCell& c : row.cells()) after.formulas = after.formulas || c.formula;
    return after;
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
