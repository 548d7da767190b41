#include "htmltable.h"

#include <libxml/HTMLparser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace quorvane {
namespace {

// The parser's events, kept as the first table's rows (a table inside one
// of its cells is read as that cell's text).
struct Reading {
    std::vector<std::vector<HtmlCell>> rows;
    int tables = 0;      // open tables, the first one's included
    bool done = false;   // the first table has ended
    bool inCell = false;
    std::string text;    // the open cell's, as it comes
    long span = 1;
};

bool Is(const xmlChar* name, const char* wanted) {
    return std::strcmp(reinterpret_cast<const char*>(name), wanted) == 0;
}

// The attribute's value ("" for one without), or null when the tag has none so named.
const char* Find(const xmlChar** attributes, const char* wanted) {
    for (const xmlChar** at = attributes; at && *at; at += 2)
        if (Is(at[0], wanted)) return at[1] ? reinterpret_cast<const char*>(at[1]) : "";
    return nullptr;
}

// Runs of white space as one space, none at the ends (as a browser shows it).
std::string Shown(const std::string& raw) {
    std::string shown;
    bool space = false;
    for (const char c : raw) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            space = !shown.empty();
            continue;
        }
        if (space) shown += ' ';
        space = false;
        shown += c;
    }
    return shown;
}

void EndCell(Reading& r) {
    if (!r.inCell || r.rows.empty()) return;
    r.rows.back().back().text = Shown(r.text);
    for (long k = 1; k < r.span && k < 256; ++k) r.rows.back().emplace_back();  // (256: more than any schedule's columns)
    r.inCell = false;
}

void OnStart(void* context, const xmlChar* name, const xmlChar** attributes) {
    auto& r = *static_cast<Reading*>(context);
    if (r.done) return;
    if (Is(name, "table")) {
        ++r.tables;
        return;
    }
    if (r.tables != 1) return;
    if (Is(name, "tr")) {
        EndCell(r);
        r.rows.emplace_back();
    } else if ((Is(name, "td") || Is(name, "th")) && !r.rows.empty()) {
        EndCell(r);
        HtmlCell cell;
        const char* full = Find(attributes, "sdval");
        if (!full) full = Find(attributes, "x:num");  // (empty: the shown text is the value)
        cell.value = full ? full : "";
        const char* span = Find(attributes, "colspan");
        r.span = span ? std::max(1L, std::strtol(span, nullptr, 10)) : 1;
        r.rows.back().push_back(std::move(cell));
        r.inCell = true;
        r.text.clear();
    } else if (Is(name, "br") && r.inCell) {
        r.text += ' ';
    }
}

void OnEnd(void* context, const xmlChar* name) {
    auto& r = *static_cast<Reading*>(context);
    if (r.done) return;
    if (Is(name, "table")) {
        if (r.tables == 1) {
            EndCell(r);
            r.done = true;
        }
        --r.tables;
    } else if (r.tables == 1 && (Is(name, "td") || Is(name, "th") || Is(name, "tr"))) {
        EndCell(r);
    }
}

void OnText(void* context, const xmlChar* text, int length) {
    auto& r = *static_cast<Reading*>(context);
    if (r.inCell && !r.done) r.text.append(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
}

// A number as a sheet shows it (thousands separated, a percentage, an
// exponent): never a date or a time, whose value is a day count.
bool LooksNumeric(std::string_view shown) {
    bool digit = false;
    for (const char c : shown) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (!std::strchr(".,-+eE% ", c))
            return false;
    }
    return digit;
}


}  // namespace

std::vector<std::vector<HtmlCell>> ReadHtmlTable(std::string_view html) {
    if (html.empty() || html.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return {};
    // Events only, no tree: a clipboard of 10^5 rows costs its rows, not a document of them.
    htmlSAXHandler handler{};
    handler.startElement = &OnStart;
    handler.endElement = &OnEnd;
    handler.characters = &OnText;
    handler.cdataBlock = &OnText;
    Reading reading;
    const htmlParserCtxtPtr parser = htmlCreateMemoryParserCtxt(html.data(), static_cast<int>(html.size()));
    if (!parser) return {};
    htmlCtxtUseOptions(parser, HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET | HTML_PARSE_NOIMPLIED |
                                   HTML_PARSE_IGNORE_ENC);  // (UTF-8 whatever its meta says: Qt decoded it)
    // (the context's own handler is freed with it: ours stands in for it while it parses)
    htmlSAXHandlerPtr own = parser->sax;
    parser->sax = &handler;
    parser->userData = &reading;
    xmlSwitchEncoding(parser, XML_CHAR_ENCODING_UTF8);
    htmlParseDocument(parser);
    parser->sax = own;
    parser->userData = nullptr;
    htmlFreeParserCtxt(parser);
    return std::move(reading.rows);
}

void TakeFullValues(std::vector<std::vector<std::string>>& block, const std::vector<std::vector<HtmlCell>>& table) {
    for (std::size_t r = 0; r < block.size() && r < table.size(); ++r)
        for (std::size_t c = 0; c < block[r].size() && c < table[r].size(); ++c) {
            const HtmlCell& cell = table[r][c];
            if (cell.value.empty() || cell.text.empty()) continue;
            std::string_view shown = block[r][c];
            while (!shown.empty() && (shown.front() == ' ' || shown.front() == '\t')) shown.remove_prefix(1);
            while (!shown.empty() && (shown.back() == ' ' || shown.back() == '\t')) shown.remove_suffix(1);
            if (shown == cell.text && LooksNumeric(shown)) block[r][c] = cell.value;
        }
}

}  // namespace quorvane
