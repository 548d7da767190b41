#include "arrange.h"

#include <algorithm>
#include <map>
#include <set>

#include "package.h"
#include "patch.h"
#include "sheets.h"
#include "xml.h"

namespace quorvane::workbook {
namespace {

constexpr std::string_view kRelationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// A stretch of a part replaced by other bytes.
struct Edit {
    std::size_t begin, end;
    std::string text;
};

std::string Applied(const std::string& xml, std::vector<Edit> edits) {
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
    std::string out;
    std::size_t from = 0;
    for (const Edit& e : edits) {
        out.append(xml, from, e.begin - from);
        out += e.text;
        from = e.end;
    }
    out.append(xml, from, std::string::npos);
    return out;
}

// Where the elements of a part lie: the tag (or whole element) of each of
// the given names, with its attributes.
struct Element {
    std::string name;
    std::size_t begin = 0, tagEnd = 0, end = 0;
    std::map<std::string, std::string> attributes;  // local name → value; qualified ones as "ns:local"
};

std::vector<Element> Elements(const std::string& xml, const std::set<std::string>& names, bool& ok) {
    std::vector<Element> found;
    std::vector<std::size_t> open;  // indices into found of elements not yet closed
    XmlReader* parser = nullptr;
    XmlReader reader({[&](std::string_view name, const Attributes&) {
                          if (!names.count(std::string(name))) return;
                          Element e;
                          e.name = std::string(name);
                          e.begin = parser->EventOffset();
                          e.tagEnd = e.begin + parser->EventLength();
                          found.push_back(std::move(e));
                          open.push_back(found.size() - 1);
                      },
                      [&](std::string_view name) {
                          if (!names.count(std::string(name)) || open.empty()) return;
                          Element& e = found[open.back()];
                          open.pop_back();
                          e.end = parser->EventLength() == 0 ? e.tagEnd : parser->EventOffset() + parser->EventLength();
                      },
                      {}});
    parser = &reader;
    ok = reader.Feed(xml, true);
    return found;
}

std::string RawAttribute(std::string_view tag, std::string_view local) { return FindAttribute(tag, local).value; }

std::string Escaped(std::string_view text) {
    std::string out;
    AppendEscapedXml(out, text);
    return out;
}

// Inserts text before the part's last closing tag.
std::string BeforeLastClose(const std::string& xml, const std::string& text) {
    const std::size_t at = xml.rfind("</");
    if (at == std::string::npos) return xml;
    return xml.substr(0, at) + text + xml.substr(at);
}

}  // namespace

std::optional<std::string> ArrangeSheets(std::string_view package, const std::vector<SheetPlace>& places,
                                         std::string& message) {
    WorkbookReader reader(package);
    message = reader.Open(false);
    if (!message.empty()) return std::nullopt;
    Package& parts = reader.package();
    const std::string book = reader.workbookPart();
    const std::string relsPart = RelationshipsOf(book);
    PartStatus status;
    const std::optional<std::string> bookXml = parts.ReadWhole(book, status);
    const std::optional<std::string> relsXml = parts.ReadWhole(relsPart, status);
    const std::optional<std::string> typesXml = parts.ReadWhole("[Content_Types].xml", status);
    if (!bookXml || !relsXml || !typesXml) {
        message = "工作簿缺少它的工作表清单或内容类型,无法改动工作表";
        return std::nullopt;
    }
    bool ok = true;
    const std::vector<Element> elements =
        Elements(*bookXml, {"sheets", "sheet", "definedName", "workbookView"}, ok);
    bool relsOk = true;
    const std::vector<Element> relations = Elements(*relsXml, {"Relationship"}, relsOk);
    if (!ok || !relsOk) {
        message = "工作簿的工作表清单读不出来,无法改动工作表";
        return std::nullopt;
    }
    const Element* sheetsElement = nullptr;
    std::vector<const Element*> sheetTags;
    for (const Element& e : elements) {
        if (e.name == "sheets") sheetsElement = &e;
        if (e.name == "sheet") sheetTags.push_back(&e);
    }
    if (!sheetsElement || sheetTags.size() != reader.sheets().size() || places.empty()) {
        message = "工作簿的工作表清单读不出来,无法改动工作表";
        return std::nullopt;
    }
    const auto tagOf = [&](const Element& e) { return std::string_view(*bookXml).substr(e.begin, e.tagEnd - e.begin); };

    // Numbers not yet used: sheet ids, relationship ids, part names.
    long maxId = 0;
    for (const Element* e : sheetTags) maxId = std::max(maxId, std::atol(RawAttribute(tagOf(*e), "sheetId").c_str()));
    std::set<std::string> relationIds;
    for (const Element& r : relations)
        relationIds.insert(RawAttribute(std::string_view(*relsXml).substr(r.begin, r.tagEnd - r.begin), "Id"));
    const std::string prefix = [&] {
        const std::string_view open = tagOf(*sheetsElement);
        const std::size_t name = open.find("sheets");
        return std::string(open.substr(1, name - 1));
    }();
    std::string idName = sheetTags.empty() ? std::string() : FindAttribute(tagOf(*sheetTags[0]), "id").name;
    if (idName.empty()) idName = "r:id";
    const std::string relPrefix = idName.substr(0, idName.find(':'));
    const bool declared = bookXml->find("xmlns:" + relPrefix + "=") != std::string::npos;

    std::string list;
    std::vector<std::pair<std::string, std::string>> added;
    std::string newRelations, newTypes;
    std::vector<long> newIndexOf(sheetTags.size(), -1);
    int fresh = 0;
    for (std::size_t k = 0; k < places.size(); ++k) {
        const SheetPlace& place = places[k];
        if (place.from) {
            const std::size_t i = *place.from;
            if (i >= sheetTags.size()) {
                message = "工作簿中没有要保留的工作表";
                return std::nullopt;
            }
            newIndexOf[i] = static_cast<long>(k);
            std::string tag(tagOf(*sheetTags[i]));
            if (reader.sheets()[i].name != place.name) tag = WithAttribute(tag, "name", place.name);
            // An element <sheet>…</sheet> keeps its content.
            list += tag + std::string(std::string_view(*bookXml).substr(sheetTags[i]->tagEnd,
                                                                         sheetTags[i]->end - sheetTags[i]->tagEnd));
            continue;
        }
        std::string id, part;
        do {
            ++fresh;
            id = "rIdQ" + std::to_string(fresh);
            part = ResolvePart(book, "worksheets/sheetQ" + std::to_string(fresh) + ".xml");
        } while (relationIds.count(id) || parts.Has(part));
        list += "<" + prefix + "sheet name=\"" + Escaped(place.name) + "\" sheetId=\"" + std::to_string(++maxId) +
                "\" " + (declared ? idName : "xmlns:r=\"" + std::string(kRelationships) + "\" r:id") + "=\"" + id +
                "\"/>";
        const std::string target = part.substr(book.rfind('/') + 1);
        newRelations += "<Relationship Id=\"" + id + "\" Type=\"" + std::string(kRelationships) +
                        "/worksheet\" Target=\"" + target + "\"/>";
        newTypes += "<Override PartName=\"/" + part +
                    "\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
        added.emplace_back(part, place.xml);
    }

    // The workbook part: the new list; names scoped to a sheet follow it;
    // the view opens the first sheet.
    std::vector<Edit> edits;
    if (sheetsElement->end == sheetsElement->tagEnd) {  // <sheets/>
        edits.push_back({sheetsElement->begin, sheetsElement->end,
                         "<" + prefix + "sheets>" + list + "</" + prefix + "sheets>"});
    } else {
        const std::size_t close = bookXml->rfind("</", sheetsElement->end - 1);
        edits.push_back({sheetsElement->tagEnd, close, list});
    }
    for (const Element& e : elements) {
        if (e.name == "definedName") {
            const std::string scope = RawAttribute(tagOf(e), "localSheetId");
            if (scope.empty()) continue;
            const long was = std::atol(scope.c_str());
            if (was < 0 || static_cast<std::size_t>(was) >= newIndexOf.size() || newIndexOf[was] < 0) {
                edits.push_back({e.begin, e.end, ""});
            } else {
                edits.push_back({e.begin, e.tagEnd, WithAttribute(tagOf(e), "localSheetId", std::to_string(newIndexOf[was]))});
            }
        }
        if (e.name == "workbookView") {
            std::string tag(tagOf(e));
            if (!RawAttribute(tag, "activeTab").empty()) tag = WithAttribute(tag, "activeTab", "0");
            if (!RawAttribute(tag, "firstSheet").empty()) tag = WithAttribute(tag, "firstSheet", "0");
            edits.push_back({e.begin, e.tagEnd, tag});
        }
    }
    std::map<std::string, std::string> replaced;
    replaced[book] = Applied(*bookXml, edits);

    // Sheets not placed go, with their relationships, parts and types.
    std::set<std::string> removed;
    std::string rels = *relsXml, types = *typesXml;
    for (std::size_t i = 0; i < sheetTags.size(); ++i) {
        if (newIndexOf[i] >= 0) continue;
        const std::string id = RawAttribute(tagOf(*sheetTags[i]), "id");
        rels = WithoutElements(rels, "Relationship", "Id", id);
        const std::string& part = reader.sheets()[i].part;
        if (part.empty()) continue;
        removed.insert(part);
        removed.insert(RelationshipsOf(part));
        types = WithoutElements(types, "Override", "PartName", "/" + part);
    }
    // The calculation chain names sheets by their places, which changed:
    // Excel builds it anew when it is missing.
    const std::string chain = ResolvePart(book, "calcChain.xml");
    if (parts.Has(chain)) {
        removed.insert(chain);
        rels = WithoutElements(rels, "Relationship", "Type", std::string(kRelationships) + "/calcChain");
        types = WithoutElements(types, "Override", "PartName", "/" + chain);
    }
    replaced[relsPart] = BeforeLastClose(rels, newRelations);
    replaced["[Content_Types].xml"] = BeforeLastClose(types, newTypes);
    std::optional<std::string> written = RewritePackage(package, replaced, removed, added);
    if (!written) message = "工作簿已损坏,无法写回 (其中有读不出的部分)";
    return written;
}

std::string EmptyWorkbook() {
    const std::string rel(kRelationships);
    const std::string type = "application/vnd.openxmlformats-officedocument.spreadsheetml";
    return NewPackage({
        {"[Content_Types].xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<Types "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default Extension=\"rels\" "
         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
         "ContentType=\"application/xml\"/><Override PartName=\"/xl/workbook.xml\" ContentType=\"" + type +
             ".sheet.main+xml\"/><Override PartName=\"/xl/styles.xml\" ContentType=\"" + type +
             ".styles+xml\"/></Types>"},
        {"_rels/.rels", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<Relationships "
                        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
                        "Id=\"rId1\" Type=\"" + rel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<workbook xmlns=\"" +
                                std::string(kMain) + "\" xmlns:r=\"" + rel +
                                "\"><bookViews><workbookView activeTab=\"0\"/></bookViews><sheets/></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"" +
             rel + "/styles\" Target=\"styles.xml\"/></Relationships>"},
        {"xl/styles.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<styleSheet xmlns=\"" +
                              std::string(kMain) +
                              "\"><fonts count=\"1\"><font><sz val=\"11\"/><name val=\"宋体\"/></font></fonts><fills "
                              "count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
                              "patternType=\"gray125\"/></fill></fills><borders count=\"1\"><border/></borders>"
                              "<cellStyleXfs count=\"1\"><xf/></cellStyleXfs><cellXfs count=\"1\"><xf "
                              "xfId=\"0\"/></cellXfs></styleSheet>"},
    });
}

std::string NewSheetXml() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<worksheet xmlns=\"" + std::string(kMain) +
           "\" xmlns:r=\"" + std::string(kRelationships) + "\"><sheetData/></worksheet>";
}

}  // namespace quorvane::workbook
