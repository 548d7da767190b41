#include "xlsxread.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <map>
#include <optional>

#include "csv.h"
#include "encoding.h"

namespace quorvane {
namespace {

// A part of the package bigger than this is not a schedule (nor a zip bomb).
constexpr std::uint64_t kLargestPart = 1ull << 30;

// minizip reads the package from memory through these.
struct Memory {
    std::string_view bytes;
    std::uint64_t pos = 0;
};

voidpf ZCALLBACK OpenMemory(voidpf opaque, const void*, int) { return opaque; }
uLong ZCALLBACK ReadMemory(voidpf, voidpf stream, void* buffer, uLong size) {
    auto* m = static_cast<Memory*>(stream);
    const std::uint64_t left = m->bytes.size() - m->pos;
    const uLong n = static_cast<uLong>(std::min<std::uint64_t>(size, left));
    std::memcpy(buffer, m->bytes.data() + m->pos, n);
    m->pos += n;
    return n;
}
uLong ZCALLBACK WriteMemory(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZCALLBACK TellMemory(voidpf, voidpf stream) { return static_cast<Memory*>(stream)->pos; }
long ZCALLBACK SeekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* m = static_cast<Memory*>(stream);
    const std::uint64_t base = origin == ZLIB_FILEFUNC_SEEK_CUR   ? m->pos
                               : origin == ZLIB_FILEFUNC_SEEK_END ? m->bytes.size()
                                                                  : 0;
    if (offset > m->bytes.size() || base + offset > m->bytes.size()) return -1;
    m->pos = base + offset;
    return 0;
}
int ZCALLBACK CloseMemory(voidpf, voidpf) { return 0; }
int ZCALLBACK ErrorMemory(voidpf, voidpf) { return 0; }

class Package {
public:
    explicit Package(std::string_view bytes) : memory_{bytes} {
        zlib_filefunc64_def io{};
        io.zopen64_file = OpenMemory;
        io.zread_file = ReadMemory;
        io.zwrite_file = WriteMemory;
        io.ztell64_file = TellMemory;
        io.zseek64_file = SeekMemory;
        io.zclose_file = CloseMemory;
        io.zerror_file = ErrorMemory;
        io.opaque = &memory_;
        zip_ = unzOpen2_64("", &io);
    }
    ~Package() {
        if (zip_) unzClose(zip_);
    }
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;
    bool ok() const { return zip_ != nullptr; }

    // The part's bytes, or nothing when it is missing or unreadable.
    std::optional<std::string> Part(const std::string& name) {
        if (unzLocateFile(zip_, name.c_str(), 2) != UNZ_OK) return std::nullopt;
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
            info.uncompressed_size > kLargestPart || unzOpenCurrentFile(zip_) != UNZ_OK)
            return std::nullopt;
        std::string bytes;
        bytes.reserve(static_cast<std::size_t>(info.uncompressed_size));
        char chunk[1 << 16];
        int got = 0;
        while ((got = unzReadCurrentFile(zip_, chunk, sizeof chunk)) > 0) {
            bytes.append(chunk, static_cast<std::size_t>(got));
            if (bytes.size() > kLargestPart) break;
        }
        const bool whole = unzCloseCurrentFile(zip_) == UNZ_OK && got == 0;
        if (!whole) return std::nullopt;
        return bytes;
    }

private:
    Memory memory_;
    unzFile zip_ = nullptr;
};

// --- just enough XML for the parts of a workbook --------------------------

void AppendCodePoint(std::string& out, unsigned long cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    AppendUtf8(out, static_cast<char32_t>(cp));
}

// Text with its entities and character references replaced.
void AppendXmlText(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != '&') {
            const std::size_t amp = std::min(text.find('&', i), text.size());
            out.append(text.data() + i, amp - i);
            i = amp;
            continue;
        }
        const std::size_t semi = text.find(';', i);
        if (semi == std::string_view::npos || semi - i > 12) {
            out += text[i++];
            continue;
        }
        const std::string_view entity = text.substr(i + 1, semi - i - 1);
        if (entity == "amp")
            out += '&';
        else if (entity == "lt")
            out += '<';
        else if (entity == "gt")
            out += '>';
        else if (entity == "quot")
            out += '"';
        else if (entity == "apos")
            out += '\'';
        else if (entity.size() > 1 && entity[0] == '#') {
            const bool hex = entity[1] == 'x' || entity[1] == 'X';
            unsigned long cp = 0;
            const char* first = entity.data() + (hex ? 2 : 1);
            std::from_chars(first, entity.data() + entity.size(), cp, hex ? 16 : 10);
            AppendCodePoint(out, cp);
        } else {
            out.append(text.data() + i, semi + 1 - i);
        }
        i = semi + 1;
    }
}

// Excel writes characters XML cannot hold as _xHHHH_.
std::string UnescapeExcel(std::string text) {
    std::string out;
    std::size_t i = 0;
    for (std::size_t at; (at = text.find("_x", i)) != std::string::npos;) {
        const bool code =
            at + 7 <= text.size() && text[at + 6] == '_' &&
            std::all_of(text.begin() + static_cast<long>(at) + 2, text.begin() + static_cast<long>(at) + 6,
                        [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
        out.append(text, i, at - i);
        if (code) {
            AppendCodePoint(out, std::stoul(text.substr(at + 2, 4), nullptr, 16));
            i = at + 7;
        } else {
            out += "_x";
            i = at + 2;
        }
    }
    if (i == 0) return text;
    out.append(text, i, std::string::npos);
    return out;
}

// One tag at a time: its name (prefix dropped), its attributes' text and
// whether it opens, closes or is empty.
struct Tag {
    std::string_view name, attributes;
    bool closing = false, empty = false;
    std::size_t begin = 0, end = 0;  // of the whole tag in the document

    std::string Attribute(std::string_view wanted) const {
        for (std::size_t i = 0; i < attributes.size();) {
            const std::size_t eq = attributes.find('=', i);
            if (eq == std::string_view::npos) break;
            std::string_view key = attributes.substr(i, eq - i);
            key.remove_prefix(std::min(key.find_first_not_of(" \t\r\n"), key.size()));
            key = key.substr(0, key.find_last_not_of(" \t\r\n") + 1);
            const std::size_t open = attributes.find_first_of("\"'", eq);
            if (open == std::string_view::npos) break;
            const std::size_t close = attributes.find(attributes[open], open + 1);
            if (close == std::string_view::npos) break;
            const std::string_view local =
                key.substr(key.find(':') == std::string_view::npos ? 0 : key.find(':') + 1);
            if (key == wanted || local == wanted) {
                std::string value;
                AppendXmlText(value, attributes.substr(open + 1, close - open - 1));
                return value;
            }
            i = close + 1;
        }
        return {};
    }
};

class XmlTags {
public:
    explicit XmlTags(std::string_view xml) : xml_(xml) {}
    // The next element tag (comments, declarations and CDATA passed over).
    bool Next(Tag& tag) {
        for (;;) {
            const std::size_t lt = xml_.find('<', pos_);
            if (lt == std::string_view::npos) return false;
            if (xml_.compare(lt, 4, "<!--") == 0) {
                pos_ = Skip(lt, "-->");
                continue;
            }
            if (xml_.compare(lt, 2, "<?") == 0 || xml_.compare(lt, 2, "<!") == 0) {
                pos_ = Skip(lt, ">");
                continue;
            }
            const std::size_t gt = xml_.find('>', lt);
            if (gt == std::string_view::npos) return false;
            std::string_view inside = xml_.substr(lt + 1, gt - lt - 1);
            tag = Tag{};
            tag.begin = lt;
            tag.end = gt + 1;
            if (!inside.empty() && inside[0] == '/') {
                tag.closing = true;
                inside.remove_prefix(1);
            }
            if (!inside.empty() && inside.back() == '/') {
                tag.empty = true;
                inside.remove_suffix(1);
            }
            const std::size_t space = std::min(inside.find_first_of(" \t\r\n"), inside.size());
            tag.name = inside.substr(0, space);
            if (const std::size_t colon = tag.name.find(':'); colon != std::string_view::npos)
                tag.name.remove_prefix(colon + 1);
            tag.attributes = inside.substr(space);
            pos_ = gt + 1;
            return true;
        }
    }
    // The text from the end of open up to the matching close of name.
    std::string_view TextUntilClose(const Tag& open, std::string_view name) {
        Tag tag;
        while (Next(tag))
            if (tag.closing && tag.name == name) return xml_.substr(open.end, tag.begin - open.end);
        return xml_.substr(open.end);
    }

private:
    std::size_t Skip(std::size_t from, std::string_view end) const {
        const std::size_t at = xml_.find(end, from);
        return at == std::string_view::npos ? xml_.size() : at + end.size();
    }
    std::string_view xml_;
    std::size_t pos_ = 0;
};

// The text of every <t> in an <si> or <is>, phonetic runs (<rPh>) aside.
std::string RichText(std::string_view xml) {
    std::string text;
    XmlTags tags(xml);
    Tag tag;
    int phonetic = 0;
    while (tags.Next(tag)) {
        if (tag.name == "rPh" && !tag.empty) phonetic += tag.closing ? -1 : 1;
        if (tag.name == "t" && !tag.closing && !tag.empty) {
            const std::string_view inside = tags.TextUntilClose(tag, "t");
            if (phonetic == 0) AppendXmlText(text, inside);
        }
    }
    return UnescapeExcel(std::move(text));
}

std::vector<std::string> SharedStrings(std::string_view xml) {
    std::vector<std::string> strings;
    XmlTags tags(xml);
    Tag tag;
    while (tags.Next(tag)) {
        if (tag.name != "si" || tag.closing) continue;
        strings.push_back(tag.empty ? std::string() : RichText(tags.TextUntilClose(tag, "si")));
    }
    return strings;
}

// "C12" → column 2 (from 0); -1 when it names none.
long ColumnOf(std::string_view reference) {
    long column = 0;
    std::size_t i = 0;
    for (; i < reference.size() && std::isalpha(static_cast<unsigned char>(reference[i])); ++i) {
        column = column * 26 + (std::toupper(static_cast<unsigned char>(reference[i])) - 'A' + 1);
        if (column > 16384) return -1;
    }
    return i == 0 ? -1 : column - 1;
}

// A number cell as the shortest text that reads back as the same double.
std::string NumberText(std::string_view stored) {
    double value = 0;
    const auto [end, error] = std::from_chars(stored.data(), stored.data() + stored.size(), value);
    if (error != std::errc() || end != stored.data() + stored.size()) return std::string(stored);
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, written.ptr);
}

std::string CellValue(std::string_view type, std::string_view inside,
                      const std::vector<std::string>& shared) {
    XmlTags tags(inside);
    Tag tag;
    std::string stored;
    bool haveValue = false;
    while (tags.Next(tag)) {
        if (tag.closing) continue;
        if (tag.name == "is" && !tag.empty) return RichText(tags.TextUntilClose(tag, "is"));
        if (tag.name == "v" && !tag.empty) {
            AppendXmlText(stored, tags.TextUntilClose(tag, "v"));
            haveValue = true;
        }
    }
    if (!haveValue) return {};
    if (type == "s") {
        std::size_t index = 0;
        const auto [end, error] = std::from_chars(stored.data(), stored.data() + stored.size(), index);
        return error == std::errc() && index < shared.size() ? shared[index] : std::string();
    }
    if (type == "b") return stored == "1" ? "TRUE" : "FALSE";
    if (type == "str" || type == "e") return UnescapeExcel(stored);
    return NumberText(stored);
}

std::vector<std::vector<std::string>> SheetRows(std::string_view xml,
                                                const std::vector<std::string>& shared) {
    std::vector<std::vector<std::string>> rows;
    XmlTags tags(xml);
    Tag tag;
    long rowIndex = -1;
    long column = -1;
    while (tags.Next(tag)) {
        if (tag.closing) continue;
        if (tag.name == "row") {
            const std::string r = tag.Attribute("r");
            long number = 0;
            const auto [end, error] = std::from_chars(r.data(), r.data() + r.size(), number);
            rowIndex = error == std::errc() && number > rowIndex + 1 && number <= 1048576 ? number - 1
                                                                                          : rowIndex + 1;
            if (static_cast<std::size_t>(rowIndex) >= rows.size())
                rows.resize(static_cast<std::size_t>(rowIndex) + 1);
            column = -1;
            continue;
        }
        if (tag.name != "c" || rowIndex < 0) continue;
        const long at = ColumnOf(tag.Attribute("r"));
        column = at > column ? at : column + 1;
        const std::string value =
            tag.empty ? std::string() : CellValue(tag.Attribute("t"), tags.TextUntilClose(tag, "c"), shared);
        if (value.empty()) continue;
        std::vector<std::string>& row = rows[static_cast<std::size_t>(rowIndex)];
        if (static_cast<std::size_t>(column) >= row.size()) row.resize(static_cast<std::size_t>(column) + 1);
        row[static_cast<std::size_t>(column)] = value;
    }
    return rows;
}

// The path in the package of the sheet at index, and its name.
std::optional<std::pair<std::string, std::string>> SheetPart(Package& package, std::size_t index) {
    const auto workbook = package.Part("xl/workbook.xml");
    const auto rels = package.Part("xl/_rels/workbook.xml.rels");
    if (!workbook) return std::nullopt;
    std::vector<std::pair<std::string, std::string>> sheets;  // name, relationship id
    XmlTags tags(*workbook);
    Tag tag;
    while (tags.Next(tag))
        if (tag.name == "sheet" && !tag.closing)
            sheets.emplace_back(tag.Attribute("name"), tag.Attribute("r:id"));
    if (index >= sheets.size()) return std::nullopt;
    std::string target = "worksheets/sheet" + std::to_string(index + 1) + ".xml";
    if (rels) {
        XmlTags relations(*rels);
        while (relations.Next(tag))
            if (tag.name == "Relationship" && tag.Attribute("Id") == sheets[index].second)
                target = tag.Attribute("Target");
    }
    const std::string path = !target.empty() && target[0] == '/' ? target.substr(1) : "xl/" + target;
    return std::pair{path, sheets[index].first};
}

}  // namespace

bool LooksLikeWorkbook(std::string_view bytes) {
    return bytes.substr(0, 4) == std::string_view("PK\x03\x04", 4);
}

WorkbookSheet ReadWorkbookSheet(std::string_view bytes, std::size_t index) {
    WorkbookSheet sheet;
    Package package(bytes);
    if (!package.ok()) {
        sheet.message = "这不是一个能读出的 Excel 工作簿 (.xlsx):文件已损坏或不完整";
        return sheet;
    }
    const auto part = SheetPart(package, index);
    if (!part) {
        sheet.message = "Excel 工作簿中找不到第 " + std::to_string(index + 1) + " 个工作表";
        return sheet;
    }
    const auto xml = package.Part(part->first);
    if (!xml) {
        sheet.message = "Excel 工作簿中的工作表“" + part->second + "”读不出来:文件已损坏或不完整";
        return sheet;
    }
    const auto strings = package.Part("xl/sharedStrings.xml");
    sheet.rows = SheetRows(*xml, strings ? SharedStrings(*strings) : std::vector<std::string>());
    sheet.name = part->second;
    sheet.ok = true;
    return sheet;
}

std::string SheetAsCsv(const WorkbookSheet& sheet) {
    // A sheet leaves out a row's empty cells at its end: the rows are as
    // wide as the header again.
    std::size_t width = 0;
    for (const std::vector<std::string>& row : sheet.rows) {
        if (row.empty()) continue;
        width = row.size();
        break;
    }
    std::string csv = "\xEF\xBB\xBF";
    std::vector<std::string> padded;
    for (const std::vector<std::string>& row : sheet.rows) {
        if (row.empty()) {
            csv += kCsvLineEnd;  // a blank line, as the sheet has no cells there
            continue;
        }
        padded = row;
        if (padded.size() < width) padded.resize(width);
        AppendCsvRecord(csv, padded, kCsvLineEnd);
    }
    return csv;
}

}  // namespace quorvane
