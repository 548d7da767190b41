#include "row.h"

#include <algorithm>
#include <array>

#include "csv.h"
#include "numtext.h"

namespace quorvane {

RowResult ComputeBeamRow(const BeamTexts& texts) {
    // A schedule leaves most columns at their defaults: those are read once.
    static const std::array<Reading, kInputCount> defaults = [] {
        std::array<Reading, kInputCount> read{};
        for (std::size_t i = 0; i < kInputCount; ++i) read[i] = ReadText(kParams[i].defaultText);
        return read;
    }();
    RowResult row;
    InputReadings readings;
    for (std::size_t i = 0; i < kInputCount; ++i) {
        if (std::string_view(texts[i]) == kParams[i].defaultText) {
            readings[i] = defaults[i].value;  // a default is always acceptable
            continue;
        }
        const Reading reading = ReadText(texts[i]);
        readings[i] = reading.value;
        if (IsAcceptableInput(i, texts[i], reading)) continue;
        if (!row.refused) row.error = InputRefusal(i, texts[i]);
        row.refused |= 1u << i;
    }
    if (row.refused) return row;
    try {
        row.calculation = ComputeLoadsFromReadings(readings);
        row.copied = CopiedLoadText(row.calculation.results.CadInputLoad);
    } catch (const ArithmeticError& e) {
        row.error = e.what();
    }
    return row;
}

namespace {

constexpr std::array<std::string_view, kResultCount> kResultFields = {"BeamSelfWeight", "MasonryWeight",
                                                                      "TotalDeadLoad", "CadInputLoad"};

// "mm(层高)" is shown as its unit alone.
std::string_view BareUnit(std::string_view unit) { return unit.substr(0, unit.find('(')); }

std::string_view WithoutColon(std::string_view caption) {
    constexpr std::string_view kColon = ":";
    if (caption.size() >= kColon.size() && caption.substr(caption.size() - kColon.size()) == kColon)
        caption.remove_suffix(kColon.size());
    return caption;
}

std::string_view CaptionName(ScheduleColumn column) {
    switch (column.kind) {
        case ColumnKind::Mark:
            return "梁号";
        case ColumnKind::Input:
            return kParams[column.index].displayName;
        case ColumnKind::Result:
            return WithoutColon(kResultCaptions[column.index]);
        case ColumnKind::Copied:
            return "复制值";
        case ColumnKind::Error:
            return "错误";
    }
    return {};
}

std::string_view CaptionUnit(ScheduleColumn column) {
    switch (column.kind) {
        case ColumnKind::Input:
            return BareUnit(kParams[column.index].unit);
        case ColumnKind::Result:
        case ColumnKind::Copied:
            return kResultUnit;
        default:
            return {};
    }
}

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

ScheduleColumn ColumnAt(std::size_t c) {
    if (c == 0) return {ColumnKind::Mark, 0};
    if (c <= kInputCount) return {ColumnKind::Input, c - 1};
    if (c <= kInputCount + kResultCount) return {ColumnKind::Result, c - 1 - kInputCount};
    if (c == kInputCount + kResultCount + 1) return {ColumnKind::Copied, 0};
    return {ColumnKind::Error, 0};
}

std::size_t PositionOf(ScheduleColumn column) {
    switch (column.kind) {
        case ColumnKind::Mark:
            return 0;
        case ColumnKind::Input:
            return 1 + column.index;
        case ColumnKind::Result:
            return 1 + kInputCount + column.index;
        case ColumnKind::Copied:
            return 1 + kInputCount + kResultCount;
        case ColumnKind::Error:
            break;
    }
    return kScheduleColumnCount - 1;
}

std::string_view ColumnField(ScheduleColumn column) {
    switch (column.kind) {
        case ColumnKind::Mark:
            return "Mark";
        case ColumnKind::Input:
            return kParams[column.index].field;
        case ColumnKind::Result:
            return kResultFields[column.index];
        case ColumnKind::Copied:
            return "CopiedLoad";
        case ColumnKind::Error:
            break;
    }
    return "Error";
}

std::string ColumnCaption(ScheduleColumn column) {
    std::string caption(CaptionName(column));
    const std::string_view unit = CaptionUnit(column);
    if (!unit.empty()) caption.append("(").append(unit).append(")");
    return caption;
}

std::string MessageExcerpt(std::string_view text) {
    constexpr std::size_t kCharacters = 40;
    std::string out;
    std::size_t characters = 0, i = 0;
    for (; i < text.size() && characters < kCharacters; ++characters) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
            ++i;
            continue;
        }
        std::size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        length = std::min(length, text.size() - i);
        out.append(text.data() + i, length);
        i += length;
    }
    if (i < text.size()) out += "…";
    return out;
}

namespace {

// A header cell as it is compared: blanks left out, full-width forms
// (U+FF01..U+FF5E) as ASCII.
std::string HeaderKey(std::string_view text) {
    std::string key;
    key.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == ' ' || c == '\t') {
            ++i;
            continue;
        }
        if (c == 0xE3 && text.substr(i, 3) == "\u3000") {  // ideographic space
            i += 3;
            continue;
        }
        if ((c == 0xEF) && i + 2 < text.size()) {
            const auto b1 = static_cast<unsigned char>(text[i + 1]),
                       b2 = static_cast<unsigned char>(text[i + 2]);
            const unsigned cp = (c & 0x0Fu) << 12 | (b1 & 0x3Fu) << 6 | (b2 & 0x3Fu);
            if (cp >= 0xFF01 && cp <= 0xFF5E) {
                key += static_cast<char>(cp - 0xFF01 + 0x21);
                i += 3;
                continue;
            }
        }
        key += text[i++];
    }
    return key;
}

}  // namespace

bool FindColumn(std::string_view header, ScheduleColumn& column) {
    const std::string key = HeaderKey(header);
    if (key.empty()) return false;
    for (std::size_t c = 0; c < kScheduleColumnCount; ++c) {
        const ScheduleColumn candidate = ColumnAt(c);
        if (SameLetters(key, ColumnField(candidate)) || key == HeaderKey(CaptionName(candidate)) ||
            key == HeaderKey(ColumnCaption(candidate))) {
            column = candidate;
            return true;
        }
    }
    return false;
}

HeaderMatch MatchHeader(const std::vector<std::string>& cells) {
    HeaderMatch match;
    std::vector<bool> seen(kScheduleColumnCount);
    for (const std::string& cell : cells) {
        ScheduleColumn column{};
        int position = -1;
        if (FindColumn(cell, column)) {
            position = static_cast<int>(PositionOf(column));
            match.header = true;
            if (seen[static_cast<std::size_t>(position)]) {
                match.repeated.push_back(cell);
                position = -1;
            }
            if (position >= 0) seen[static_cast<std::size_t>(position)] = true;
        } else if (!Trimmed(cell).empty()) {
            match.unknown.push_back(cell);
        }
        match.positions.push_back(position);
    }
    return match;
}

std::vector<ScheduleColumn> HeaderColumns(const std::vector<std::string>& header, std::string& message) {
    // A file's header names every column: a cell that names none is refused.
    const HeaderMatch match = MatchHeader(header);
    std::vector<ScheduleColumn> columns;
    for (std::size_t c = 0; c < header.size(); ++c) {
        if (match.positions[c] >= 0) {
            columns.push_back(ColumnAt(static_cast<std::size_t>(match.positions[c])));
            continue;
        }
        ScheduleColumn column{};
        message = FindColumn(header[c], column)
                      ? "列名 \"" + MessageExcerpt(header[c]) + "\" 出现了两次"
                      : "未知的列名 \"" + MessageExcerpt(header[c]) +
                            "\"(可用的列名: Mark、参数名 (如 BeamWidth) 或梁表的列标题 (如 梁宽度(mm)))";
        return {};
    }
    return columns;
}

std::string_view CellText(ScheduleColumn column, std::string_view mark, const BeamTexts& texts,
                          const RowResult& result) {
    switch (column.kind) {
        case ColumnKind::Mark:
            return mark;
        case ColumnKind::Input:
            return texts[column.index];
        case ColumnKind::Result:
            return result.ok() ? std::string_view(ResultText(result.calculation.results, column.index))
                               : std::string_view();
        case ColumnKind::Copied:
            return result.ok() ? std::string_view(result.copied) : std::string_view();
        case ColumnKind::Error:
            break;
    }
    return result.error;
}

void AppendScheduleRecord(std::string& out, const std::vector<ScheduleColumn>& columns, std::string_view mark,
                          const BeamTexts& texts, const RowResult& result, std::string_view lineEnd) {
    // One empty cell alone would be an empty line, which reading skips.
    if (columns.size() == 1 && CellText(columns[0], mark, texts, result).empty()) {
        out += "\"\"";
        out += lineEnd;
        return;
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i) out += ',';
        AppendCsvField(out, CellText(columns[i], mark, texts, result));
    }
    out += lineEnd;
}

}  // namespace quorvane
