#include "htmltable.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

namespace quorvane {
namespace {

bool Named(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::string Attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!value) return {};
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

bool HasAttribute(xmlNode* node, const char* name) {
    return xmlHasProp(node, reinterpret_cast<const xmlChar*>(name)) != nullptr;
}

// Runs of white space as one space, none at the ends (as a browser shows it).
std::string ShownText(xmlNode* node) {
    xmlChar* content = xmlNodeGetContent(node);
    std::string shown;
    bool space = false;
    for (const char* c = content ? reinterpret_cast<const char*>(content) : ""; *c; ++c) {
        const bool blank = *c == ' ' || *c == '\t' || *c == '\n' || *c == '\r';
        if (blank) {
            space = !shown.empty();
            continue;
        }
        if (space) shown += ' ';
        space = false;
        shown += *c;
    }
    if (content) xmlFree(content);
    return shown;
}

xmlNode* FirstTable(xmlNode* node) {
    for (; node; node = node->next) {
        if (Named(node, "table")) return node;
        if (xmlNode* inside = FirstTable(node->children)) return inside;
    }
    return nullptr;
}

// Rows of the table itself, not of a table inside one of its cells.
void CollectRows(xmlNode* node, std::vector<xmlNode*>& rows) {
    for (; node; node = node->next) {
        if (Named(node, "tr"))
            rows.push_back(node);
        else if (Named(node, "thead") || Named(node, "tbody") || Named(node, "tfoot"))
            CollectRows(node->children, rows);
    }
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

constexpr long kWidestSpan = 256;  // more than any schedule has columns

}  // namespace

std::vector<std::vector<HtmlCell>> ReadHtmlTable(std::string_view html) {
    if (html.empty() || html.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return {};
    const std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> document(
        htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, "UTF-8",
                       HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET | HTML_PARSE_NOIMPLIED),
        xmlFreeDoc);
    if (!document) return {};
    xmlNode* table = FirstTable(xmlDocGetRootElement(document.get()));
    if (!table) return {};
    std::vector<xmlNode*> rows;
    CollectRows(table->children, rows);
    std::vector<std::vector<HtmlCell>> cells;
    for (xmlNode* row : rows) {
        std::vector<HtmlCell>& record = cells.emplace_back();
        for (xmlNode* cell = row->children; cell; cell = cell->next) {
            if (!Named(cell, "td") && !Named(cell, "th")) continue;
            HtmlCell read{ShownText(cell), {}};
            if (HasAttribute(cell, "sdval"))
                read.value = Attribute(cell, "sdval");
            else if (HasAttribute(cell, "x:num"))
                read.value = Attribute(cell, "x:num");  // (empty: the shown text is the value)
            record.push_back(std::move(read));
            const long span = std::strtol(Attribute(cell, "colspan").c_str(), nullptr, 10);
            for (long k = 1; k < span && k < kWidestSpan; ++k) record.emplace_back();
        }
    }
    return cells;
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
