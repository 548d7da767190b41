#include "xml.h"

#include <expat.h>

#include <algorithm>
#include <cstring>

namespace quorvane::workbook {
namespace {

// Names arrive as written: "c" or "x:c". Namespaces are not expanded (that
// made every name 60 bytes long, measured again at each tag); a prefix
// matters only for markup compatibility, found by the URI it is bound to.
constexpr std::string_view kCompatibility = "http://schemas.openxmlformats.org/markup-compatibility/2006";
constexpr std::string_view kDeclaration = "xmlns:";

// The local name and the prefix ("" when none) of a name, in one pass
// (names are a letter or three: a call to measure them costs more).
std::string_view Split(const char* name, std::string_view& prefix) {
    const char* colon = nullptr;
    const char* end = name;
    for (; *end; ++end)
        if (*end == ':' && !colon) colon = end;
    if (!colon) {
        prefix = {};
        return std::string_view(name, static_cast<std::size_t>(end - name));
    }
    prefix = std::string_view(name, static_cast<std::size_t>(colon - name));
    return std::string_view(colon + 1, static_cast<std::size_t>(end - colon - 1));
}

// Whether a NUL-terminated name is exactly text.
bool Is(const char* name, std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && name[i] == text[i]) ++i;
    return i == text.size() && name[i] == '\0';
}

bool IsDeclaration(const char* name) {
    return name[0] == 'x' && std::strncmp(name, kDeclaration.data(), kDeclaration.size()) == 0;
}

XML_Parser Parser(void* parser) { return static_cast<XML_Parser>(parser); }

// What is wrong with the XML, in the user's words (the messages all end in Chinese).
const char* XmlErrorText(XML_Error code) {
    switch (code) {
        case XML_ERROR_NO_MEMORY: return "内存不足";
        case XML_ERROR_NO_ELEMENTS: return "XML 中没有内容";
        case XML_ERROR_INVALID_TOKEN: return "XML 中有无效的字符或标记";
        case XML_ERROR_UNCLOSED_TOKEN: return "XML 的标记没有结束 (文件被截断?)";
        case XML_ERROR_PARTIAL_CHAR: return "XML 中有不完整的字符";
        case XML_ERROR_TAG_MISMATCH: return "XML 的开始和结束标记不匹配";
        case XML_ERROR_DUPLICATE_ATTRIBUTE: return "XML 元素的属性重复";
        case XML_ERROR_JUNK_AFTER_DOC_ELEMENT: return "XML 的根元素之后还有内容";
        case XML_ERROR_UNDEFINED_ENTITY: return "XML 中有未定义的实体";
        case XML_ERROR_UNKNOWN_ENCODING: return "XML 声明了不认识的编码";
        case XML_ERROR_INCORRECT_ENCODING: return "XML 的内容与声明的编码不符";
        case XML_ERROR_UNCLOSED_CDATA_SECTION: return "XML 的 CDATA 段没有结束";
        case XML_ERROR_BAD_CHAR_REF: return "XML 中的字符引用不是合法的字符";
        case XML_ERROR_MISPLACED_XML_PI: return "XML 声明不在文件开头";
        case XML_ERROR_UNBOUND_PREFIX: return "XML 中有未声明的前缀";
        case XML_ERROR_ABORTED: return "读取被中止";
        default: return "XML 格式错误";
    }
}

}  // namespace

std::string_view Attributes::Get(std::string_view local, bool qualified) const {
    // (Called for every cell: names compared in place, not measured first.)
    for (const char** at = pairs_; at && *at; at += 2) {
        const char* name = at[0];
        const char* colon = nullptr;
        for (const char* c = name; *c && !colon; ++c)
            if (*c == ':') colon = c;
        if ((colon != nullptr) != qualified) continue;
        if (colon && IsDeclaration(name)) continue;
        if (Is(colon ? colon + 1 : name, local)) return at[1];
    }
    return {};
}

XmlReader::XmlReader(XmlEvents events) : events_(std::move(events)) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    parser_ = parser;
    if (!parser) return;
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, &XmlReader::OnStart, &XmlReader::OnEnd);
    XML_SetCharacterDataHandler(parser, &XmlReader::OnText);
    XML_SetStartDoctypeDeclHandler(parser, &XmlReader::OnDoctype);
    XML_SetEntityDeclHandler(parser, &XmlReader::OnEntity);
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
}

XmlReader::~XmlReader() {
    if (parser_) XML_ParserFree(Parser(parser_));
}

bool XmlReader::Feed(std::string_view piece, bool last) {
    if (!parser_) {
        if (error_.empty()) error_ = "内存不足";
        return false;
    }
    if (!error_.empty()) return false;
    // expat runs nearly twice as fast on pieces that stay in the cache as
    // on one whole part (and takes no more than an int at once anyway).
    constexpr std::size_t kPiece = 1 << 16;
    while (piece.size() > kPiece) {
        if (!Feed(piece.substr(0, kPiece), false)) return false;
        piece.remove_prefix(kPiece);
    }
    if (XML_Parse(Parser(parser_), piece.data(), static_cast<int>(piece.size()), last) == XML_STATUS_OK)
        return true;
    if (error_.empty()) {
        const XML_Parser parser = Parser(parser_);
        error_ = std::string(XmlErrorText(XML_GetErrorCode(parser))) + " (第 " +
                 std::to_string(XML_GetCurrentLineNumber(parser)) + " 行)";
    }
    return false;
}

std::uint64_t XmlReader::EventOffset() const {
    return static_cast<std::uint64_t>(XML_GetCurrentByteIndex(Parser(parser_)));
}

std::uint64_t XmlReader::EventLength() const {
    return static_cast<std::uint64_t>(XML_GetCurrentByteCount(Parser(parser_)));
}

void XmlReader::Stop(std::string reason) {
    if (error_.empty()) error_ = std::move(reason);
    XML_StopParser(Parser(parser_), XML_FALSE);
}

// Inside mc:Choice nothing is seen; mc:AlternateContent and mc:Fallback
// themselves are invisible, their fallback content is read in their place.
bool XmlReader::Hidden(std::string_view prefix, std::string_view local, bool starting) {
    const bool compatibility =
        !prefix.empty() && std::find(compatibility_.begin(), compatibility_.end(), prefix) != compatibility_.end();
    if (!compatibility && skipped_ == 0) return false;
    if (skipped_ > 0) {
        skipped_ += starting ? 1 : -1;
        return true;
    }
    if (local == "Choice" && starting) {
        skipped_ = 1;
        return true;
    }
    return local == "AlternateContent" || local == "Fallback" || local == "Choice";
}

void XmlReader::OnStart(void* self, const char* name, const char** attributes) {
    auto* reader = static_cast<XmlReader*>(self);
    // The prefixes bound to markup compatibility (wherever declared: a
    // writer binds one name to one namespace throughout).
    for (const char** at = attributes; *at; at += 2)
        if (IsDeclaration(at[0]) && Is(at[1], kCompatibility)) {
            const std::string_view prefix = at[0] + kDeclaration.size();
            auto& bound = reader->compatibility_;
            if (std::find(bound.begin(), bound.end(), prefix) == bound.end()) bound.emplace_back(prefix);
        }
    std::string_view prefix;
    const std::string_view local = Split(name, prefix);
    if (reader->Hidden(prefix, local, true) || !reader->events_.start) return;
    reader->events_.start(local, Attributes(attributes));
}

void XmlReader::OnEnd(void* self, const char* name) {
    auto* reader = static_cast<XmlReader*>(self);
    std::string_view prefix;
    const std::string_view local = Split(name, prefix);
    if (reader->Hidden(prefix, local, false) || !reader->events_.end) return;
    reader->events_.end(local);
}

void XmlReader::OnText(void* self, const char* text, int length) {
    auto* reader = static_cast<XmlReader*>(self);
    if (reader->skipped_ > 0 || !reader->events_.text) return;
    reader->events_.text(std::string_view(text, static_cast<std::size_t>(length)));
}

void XmlReader::OnDoctype(void* self, const char*, const char*, const char*, int) {
    static_cast<XmlReader*>(self)->Stop("有文档类型声明 (工作簿中不应有)");
}

void XmlReader::OnEntity(void* self, const char*, int, const char*, int, const char*, const char*, const char*,
                         const char*) {
    static_cast<XmlReader*>(self)->Stop("有实体声明 (工作簿中不应有)");
}

void AppendEscapedXml(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
}

}  // namespace quorvane::workbook
