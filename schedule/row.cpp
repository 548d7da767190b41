#include "row.h"

#include <algorithm>
#include <array>

#include "csv.h"
#include "encoding.h"
#include "numtext.h"

namespace quorvane {

// A few texts in one buffer: each text is its length plus one (a base-128
// varint), then its bytes; a length of 0 stands for the owner's default,
// and an empty buffer for all defaults.
namespace packed {
namespace {

// Reads one varint at p; p moves past it.
std::size_t ReadLength(std::string_view buf, std::size_t& p) {
    std::size_t value = 0;
    for (int shift = 0; p < buf.size(); shift += 7) {
        const auto byte = static_cast<unsigned char>(buf[p++]);
        value |= static_cast<std::size_t>(byte & 0x7f) << shift;
        if (!(byte & 0x80)) break;
    }
    return value;
}

std::size_t LengthSize(std::size_t value) {
    std::size_t bytes = 1;
    for (; value >= 0x80; value >>= 7) ++bytes;
    return bytes;
}

void AppendLength(std::string& out, std::size_t value) {
    for (; value >= 0x80; value >>= 7) out += static_cast<char>((value & 0x7f) | 0x80);
    out += static_cast<char>(value);
}

// Where text index lies in a non-empty buffer: its length from start, its
// bytes from text to end; stored 0 for the default.
struct Field {
    std::size_t start, text, end, stored;
};

Field Locate(std::string_view buf, std::size_t index) {
    Field f{};
    std::size_t p = 0;
    for (std::size_t i = 0;; ++i) {
        f.start = p;
        f.stored = ReadLength(buf, p);
        f.text = p;
        f.end = p + (f.stored ? f.stored - 1 : 0);
        if (i == index) return f;
        p = f.end;
    }
}

// Text index of buf; false, leaving text alone, when it is the default.
bool At(std::string_view buf, std::size_t index, std::string_view& text) {
    if (buf.empty()) return false;
    const Field f = Locate(buf, index);
    if (f.stored == 0) return false;
    text = buf.substr(f.text, f.end - f.text);
    return true;
}

// buf with text index replaced (count texts in all); isDefault packs a 0.
void Set(std::string& buf, std::size_t count, std::size_t index, std::string_view text, bool isDefault) {
    if (buf.empty()) {
        if (isDefault) return;
        buf.assign(count, '\0');
    }
    const Field f = Locate(buf, index);
    std::string field;
    AppendLength(field, isDefault ? 0 : text.size() + 1);
    if (!isDefault) field += text;
    buf.replace(f.start, f.end - f.start, field);
    if (buf.find_first_not_of('\0') == std::string::npos) buf.clear();
}

}  // namespace
}  // namespace packed

namespace {

// The packed form of texts whose defaults are known: one allocation, none
// at all when every text is its default.
template <std::size_t N>
std::string Pack(const std::array<std::string_view, N>& texts, const std::array<bool, N>& isDefault) {
    std::size_t size = 0;
    bool any = false;
    for (std::size_t i = 0; i < N; ++i) {
        any = any || !isDefault[i];
        size += isDefault[i] ? 1 : packed::LengthSize(texts[i].size() + 1) + texts[i].size();
    }
    std::string buf;
    if (!any) return buf;
    buf.reserve(size);
    for (std::size_t i = 0; i < N; ++i) {
        packed::AppendLength(buf, isDefault[i] ? 0 : texts[i].size() + 1);
        if (!isDefault[i]) buf += texts[i];
    }
    return buf;
}

// The mark, the texts, why the row was refused when it was read, the materials.
constexpr std::size_t kRefusalField = 1 + kInputCount;
constexpr std::size_t kFirstMaterialField = kRefusalField + 1;
constexpr std::size_t kRowFields = kFirstMaterialField + kMaterialCount;

}  // namespace

ScheduleRow::ScheduleRow(std::string_view mark, const InputTexts& texts) : ScheduleRow(mark, texts, MaterialTexts{}) {}

ScheduleRow::ScheduleRow(std::string_view mark, const InputTexts& texts, const MaterialTexts& materials) {
    std::array<std::string_view, kRowFields> fields;
    std::array<bool, kRowFields> isDefault;
    fields[0] = mark;
    isDefault[0] = mark.empty();
    for (std::size_t i = 0; i < kInputCount; ++i) {
        fields[i + 1] = texts[i];
        isDefault[i + 1] = texts[i] == kParams[i].defaultText;
    }
    isDefault[kRefusalField] = true;
    for (std::size_t k = 0; k < kMaterialCount; ++k) {
        fields[kFirstMaterialField + k] = materials[k];
        isDefault[kFirstMaterialField + k] = materials[k].empty();
    }
    packed_ = Pack(fields, isDefault);
}

std::string_view ScheduleRow::mark() const {
    std::string_view text;
    return packed::At(packed_, 0, text) ? text : std::string_view();
}

std::string_view ScheduleRow::text(std::size_t index) const {
    std::string_view text;
    return packed::At(packed_, index + 1, text) ? text : kParams[index].defaultText;
}

InputTexts ScheduleRow::texts() const {
    InputTexts texts;
    for (std::size_t i = 0; i < kInputCount; ++i) texts[i] = kParams[i].defaultText;
    if (packed_.empty()) return texts;
    const std::string_view buf = packed_;
    std::size_t p = 0;
    for (std::size_t field = 0; field < kRowFields; ++field) {
        const std::size_t stored = packed::ReadLength(buf, p);
        if (stored == 0) continue;
        if (field > 0 && field < kRefusalField) texts[field - 1] = buf.substr(p, stored - 1);
        p += stored - 1;
    }
    return texts;
}

// An edit makes the row the user's own: what was refused in the file no
// longer describes it.
void ScheduleRow::SetMark(std::string_view mark) {
    packed::Set(packed_, kRowFields, 0, mark, mark.empty());
    SetRefusal({});
}

void ScheduleRow::SetText(std::size_t index, std::string_view text) {
    packed::Set(packed_, kRowFields, index + 1, text, text == kParams[index].defaultText);
    SetRefusal({});
}

std::string_view ScheduleRow::refusal() const {
    std::string_view text;
    return packed::At(packed_, kRefusalField, text) ? text : std::string_view();
}

void ScheduleRow::SetRefusal(std::string_view why) {
    if (why.empty() && packed_.empty()) return;
    packed::Set(packed_, kRowFields, kRefusalField, why, why.empty());
}

std::string_view ScheduleRow::material(std::size_t k) const {
    std::string_view text;
    return packed::At(packed_, kFirstMaterialField + k, text) ? text : std::string_view();
}

MaterialTexts ScheduleRow::materials() const {
    MaterialTexts names;
    // One walk over the fields (a save fingerprints every row with these).
    const std::string_view buf = packed_;
    std::size_t p = 0;
    for (std::size_t field = 0; field < kRowFields && !buf.empty(); ++field) {
        const std::size_t stored = packed::ReadLength(buf, p);
        if (stored == 0) continue;
        if (field >= kFirstMaterialField) names[field - kFirstMaterialField] = buf.substr(p, stored - 1);
        p += stored - 1;
    }
    return names;
}

void ScheduleRow::SetMaterial(std::size_t k, std::string_view name) {
    packed::Set(packed_, kRowFields, kFirstMaterialField + k, name, name.empty());
    SetRefusal({});
}

std::size_t MaterialWeight(std::size_t k) {
    static const std::array<std::size_t, kMaterialCount> weights = [] {
        std::array<std::size_t, kMaterialCount> found{};
        for (std::size_t m = 0; m < kMaterialCount; ++m)
            found[m] = static_cast<std::size_t>(FindParam(kMaterialFields[m].weight));
        return found;
    }();
    return weights[k];
}

std::string MaterialNameRefusal(std::size_t k, std::string_view name) {
    const MaterialField& field = kMaterialFields[k];
    const std::size_t weight = MaterialWeight(k);
    std::vector<std::string> nearest;
    if (FindMaterial(weight, name, &nearest)) return {};
    std::string same, names;
    for (const Material* m : MaterialsFor(weight))
        if (m->name == name) same += (same.empty() ? "" : "、") + MaterialName(weight, *m);
    for (const std::string& n : nearest) names += (names.empty() ? "" : "、") + n;
    if (!same.empty())
        return std::string(field.caption) + " \"" + MessageExcerpt(name) +
               "\" 在 GB 50009-2012 表A 中不止一种,请写明是哪一种:" + same;
    return std::string(field.caption) + " \"" + MessageExcerpt(name) + "\" 不是 GB 50009-2012 表A 中的材料 (最接近的:" +
           names + ";全部列在容重格右键菜单的“常用材料”中,命令行用 --materials " + field.weight + " 列出)";
}

std::string MaterialRefusal(const MaterialTexts& materials) {
    for (std::size_t k = 0; k < kMaterialCount; ++k)
        if (!materials[k].empty())
            if (std::string why = MaterialNameRefusal(k, materials[k]); !why.empty()) return why;
    return {};
}

std::string MaterialMismatch(std::size_t k, std::string_view material, std::string_view weight, std::string_view given) {
    if (material.empty()) return {};
    const auto input = MaterialWeight(k);
    const Material* m = FindMaterial(input, material);
    // (an empty weight is 0, as everywhere; a text that is no number is refused on its own)
    if (!m || (!weight.empty() && !IsCsvNumber(weight))) return {};
    const double value = ReadNumber(weight);
    if (value >= m->Low() && value <= m->High()) return {};
    return std::string(kMaterialFields[k].caption) + " " + MaterialName(input, *m) + " 的重量为 " + MaterialRange(*m) +
           " (GB 50009-2012 表A 第 " + IntegerText(m->item) + " 项),但 " + std::string(given) +
           (weight.empty() ? "(空,按 0 计算)" : "") + " 不在其中";
}

bool TakeMaterialWeights(const std::vector<ScheduleColumn>& columns, const MaterialTexts& materials, InputTexts& texts) {
    bool took = false;
    for (std::size_t k = 0; k < kMaterialCount; ++k) {
        if (materials[k].empty()) continue;
        const std::size_t input = MaterialWeight(k);
        if (std::find(columns.begin(), columns.end(), ScheduleColumn{ColumnKind::Input, input}) != columns.end()) continue;
        if (const Material* m = FindMaterial(input, materials[k])) {
            texts[input] = m->high;
            took = true;
        }
    }
    return took;
}

ScheduleRow BeamOf(std::string_view mark, InputTexts texts, const MaterialTexts& materials,
                   const std::vector<ScheduleColumn>& columns, bool& tookWeights) {
    tookWeights = TakeMaterialWeights(columns, materials, texts) || tookWeights;
    return ScheduleRow(mark, texts, materials);
}

std::size_t AddMaterialColumn(std::vector<ScheduleColumn>& columns, std::size_t k) {
    auto at = std::find(columns.begin(), columns.end(), ScheduleColumn{ColumnKind::Input, MaterialWeight(k)});
    if (at != columns.end()) ++at;
    const auto placed = columns.insert(at, ScheduleColumn{ColumnKind::Material, k});  // (may move the vector)
    return static_cast<std::size_t>(placed - columns.begin());
}

std::string MaterialWeightNote(const std::vector<ScheduleColumn>& columns) {
    std::string named;
    for (std::size_t k = 0; k < kMaterialCount; ++k) {
        const std::size_t input = MaterialWeight(k);
        const auto has = [&](ScheduleColumn c) { return std::find(columns.begin(), columns.end(), c) != columns.end(); };
        if (has({ColumnKind::Material, k}) && !has({ColumnKind::Input, input}))
            named += (named.empty() ? "" : "、") + std::string(kMaterialFields[k].caption);
    }
    return "文件中有" + named + "列而没有它的重量列:重量按 GB 50009-2012 表A 取该材料的数值 (给出范围的取上限)。";
}

BeamOutcome EvaluateRow(const ScheduleRow& row) {
    BeamOutcome refused;
    refused.error = std::string(row.refusal());
    if (refused.error.empty()) refused.error = MaterialRefusal(row.materials());
    if (refused.error.empty()) return EvaluateBeam(row.texts());
    return refused;
}

ShownResult::ShownResult(const BeamOutcome& result) : refused_(result.refused) {
    std::array<std::string_view, kResultCount + 2> fields;
    std::array<bool, kResultCount + 2> isDefault{};
    for (std::size_t i = 0; i < kResultCount; ++i)
        fields[i] = result.ok() ? std::string_view(ResultText(result.calculation.results, i)) : std::string_view();
    fields[kResultCount] = result.ok() ? std::string_view(result.copied) : std::string_view();
    fields[kResultCount + 1] = result.error;
    for (std::size_t i = 0; i < fields.size(); ++i) isDefault[i] = fields[i].empty();
    packed_ = Pack(fields, isDefault);
}

std::string_view ShownResult::Field(std::size_t index) const {
    std::string_view text;
    return packed::At(packed_, index, text) ? text : std::string_view();
}

namespace {

// "mm(层高)" is shown as its unit alone.
std::string_view BareUnit(std::string_view unit) { return unit.substr(0, unit.find('(')); }

std::string_view CaptionName(ScheduleColumn column) {
    switch (column.kind) {
        case ColumnKind::Mark:
            return "梁号";
        case ColumnKind::Input:
            return kParams[column.index].displayName;
        case ColumnKind::Result:
            return ResultName(column.index);
        case ColumnKind::Copied:
            return "复制值";
        case ColumnKind::Error:
            return "错误";
        case ColumnKind::Material:
            return kMaterialFields[column.index].caption;
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
    if (c >= kScheduleColumnCount) return {ColumnKind::Material, c - kScheduleColumnCount};
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
        case ColumnKind::Material:
            return kScheduleColumnCount + column.index;
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
        case ColumnKind::Material:
            return kMaterialFields[column.index].field;
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
        std::size_t length = Utf8SequenceLength(c);
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

std::optional<ScheduleColumn> FindColumn(std::string_view header) {
    const std::string key = HeaderKey(header);
    if (key.empty()) return std::nullopt;
    for (std::size_t c = 0; c < kTableColumnCount; ++c) {
        const ScheduleColumn candidate = ColumnAt(c);
        if (SameLetters(key, ColumnField(candidate)) || key == HeaderKey(CaptionName(candidate)) ||
            key == HeaderKey(ColumnCaption(candidate)))
            return candidate;
    }
    return std::nullopt;
}

HeaderMatch MatchHeader(const std::vector<std::string>& cells) {
    HeaderMatch match;
    std::vector<bool> seen(kTableColumnCount);
    for (const std::string& cell : cells) {
        int position = -1;
        if (const std::optional<ScheduleColumn> column = FindColumn(cell)) {
            position = static_cast<int>(PositionOf(*column));
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

Outcome HeaderColumns(const std::vector<std::string>& header, std::vector<ScheduleColumn>& columns) {
    // A file's header names every column: a cell that names none is refused.
    const HeaderMatch match = MatchHeader(header);
    std::vector<ScheduleColumn> named;
    for (std::size_t c = 0; c < header.size(); ++c) {
        if (match.positions[c] < 0)
            return Failed(FindColumn(header[c]) ? "列名 \"" + MessageExcerpt(header[c]) + "\" 出现了两次"
                                                : "未知的列名 \"" + MessageExcerpt(header[c]) +
                                                      "\"(可用的列名: Mark、参数名 (如 BeamWidth) 或梁表的列标题 (如 梁宽度(mm)))",
                          Cause::Refused);
        named.push_back(ColumnAt(static_cast<std::size_t>(match.positions[c])));
    }
    columns = std::move(named);
    return {};
}

std::string_view CellText(ScheduleColumn column, std::string_view mark, const BeamTexts& texts,
                          const BeamOutcome& result, const MaterialTexts& materials) {
    switch (column.kind) {
        case ColumnKind::Material:
            return materials[column.index];
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

std::string_view CellText(ScheduleColumn column, const ScheduleRow& row, const ShownResult& result) {
    switch (column.kind) {
        case ColumnKind::Material:
            return row.material(column.index);
        case ColumnKind::Mark:
            return row.mark();
        case ColumnKind::Input:
            return row.text(column.index);
        case ColumnKind::Result:
            return result.result(column.index);
        case ColumnKind::Copied:
            return result.copied();
        case ColumnKind::Error:
            break;
    }
    return result.error();
}

namespace {

template <typename CellOf>
void AppendRecord(std::string& out, const std::vector<ScheduleColumn>& columns, const CellOf& cellOf,
                  std::string_view lineEnd, CsvQuoting quoting = CsvQuoting::AsNeeded) {
    // One empty cell alone would be an empty line, which reading skips.
    if (columns.size() == 1 && cellOf(columns[0]).empty()) {
        out += "\"\"";
        out += lineEnd;
        return;
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i) out += ',';
        AppendCsvField(out, cellOf(columns[i]), quoting);
    }
    out += lineEnd;
}

}  // namespace

void AppendScheduleRecord(std::string& out, const std::vector<ScheduleColumn>& columns, std::string_view mark,
                          const BeamTexts& texts, const BeamOutcome& result, std::string_view lineEnd,
                          const MaterialTexts& materials) {
    AppendRecord(
        out, columns, [&](ScheduleColumn c) { return CellText(c, mark, texts, result, materials); }, lineEnd);
}

void AppendScheduleRecord(std::string& out, const std::vector<ScheduleColumn>& columns, const ScheduleRow& row,
                          const ShownResult& result, std::string_view lineEnd, CsvQuoting quoting) {
    AppendRecord(
        out, columns, [&](ScheduleColumn c) { return CellText(c, row, result); }, lineEnd, quoting);
}

}  // namespace quorvane
