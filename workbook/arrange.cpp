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

// The sheets arranged, step by step: the workbook's parts read, the new
// sheet list (new sheets with ids and parts not yet used), the workbook
// part edited (names scoped to a sheet follow it, the view opens the
// first), the sheets not placed taken out, the package written.
class SheetArranger {
public:
    SheetArranger(std::string_view package, const std::vector<SheetPlace>& places)
        : package_(package), places_(places), reader_(package) {}

    std::optional<std::string> Arrange(std::string& message) {
        message = Read();
        if (message.empty()) message = List();
        if (!message.empty()) return std::nullopt;
        replaced_[book_] = Applied(bookXml_, BookEdits());
        std::set<std::string> removed = Removed();
        std::optional<std::string> written = RewritePackage(package_, replaced_, removed, added_);
        if (!written) message = "工作簿已损坏,无法写回 (其中有读不出的部分)";
        return written;
    }

private:
    std::string_view TagOf(const Element& e) const { return std::string_view(bookXml_).substr(e.begin, e.tagEnd - e.begin); }

    // The workbook part, its relationships and the content types; the sheet list in them.
    std::string Read() {
        if (std::string opened = reader_.Open(false); !opened.empty()) return opened;
        Package& parts = reader_.package();
        book_ = reader_.workbookPart();
        relsPart_ = RelationshipsOf(book_);
        PartStatus status;
        const std::optional<std::string> bookXml = parts.ReadWhole(book_, status);
        const std::optional<std::string> relsXml = parts.ReadWhole(relsPart_, status);
        const std::optional<std::string> typesXml = parts.ReadWhole("[Content_Types].xml", status);
        if (!bookXml || !relsXml || !typesXml) return "工作簿缺少它的工作表清单或内容类型,无法改动工作表";
        bookXml_ = *bookXml;
        relsXml_ = *relsXml;
        typesXml_ = *typesXml;
        bool ok = true, relsOk = true;
        elements_ = Elements(bookXml_, {"sheets", "sheet", "definedName", "workbookView"}, ok);
        relations_ = Elements(relsXml_, {"Relationship"}, relsOk);
        for (const Element& e : elements_) {
            if (e.name == "sheets") sheetsElement_ = &e;
            if (e.name == "sheet") sheetTags_.push_back(&e);
        }
        if (!ok || !relsOk || !sheetsElement_ || sheetTags_.size() != reader_.sheets().size() || places_.empty())
            return "工作簿的工作表清单读不出来,无法改动工作表";
        return {};
    }

    // The new sheet list, in the places' order; new sheets' parts made.
    std::string List() {
        // Numbers not yet used: sheet ids, relationship ids, part names.
        long maxId = 0;
        for (const Element* e : sheetTags_) maxId = std::max(maxId, std::atol(RawAttribute(TagOf(*e), "sheetId").c_str()));
        std::set<std::string> relationIds;
        for (const Element& r : relations_)
            relationIds.insert(RawAttribute(std::string_view(relsXml_).substr(r.begin, r.tagEnd - r.begin), "Id"));
        const std::string_view open = TagOf(*sheetsElement_);
        prefix_ = std::string(open.substr(1, open.find("sheets") - 1));
        std::string idName = sheetTags_.empty() ? std::string() : FindAttribute(TagOf(*sheetTags_[0]), "id").name;
        if (idName.empty()) idName = "r:id";
        const bool declared = bookXml_.find("xmlns:" + idName.substr(0, idName.find(':')) + "=") != std::string::npos;
        newIndexOf_.assign(sheetTags_.size(), -1);
        int fresh = 0;
        for (std::size_t k = 0; k < places_.size(); ++k) {
            const SheetPlace& place = places_[k];
            if (place.from) {
                const std::size_t i = *place.from;
                if (i >= sheetTags_.size()) return "工作簿中没有要保留的工作表";
                newIndexOf_[i] = static_cast<long>(k);
                std::string tag(TagOf(*sheetTags_[i]));
                if (reader_.sheets()[i].name != place.name) tag = WithAttribute(tag, "name", place.name);
                // An element <sheet>…</sheet> keeps its content.
                list_ += tag + bookXml_.substr(sheetTags_[i]->tagEnd, sheetTags_[i]->end - sheetTags_[i]->tagEnd);
                continue;
            }
            std::string id, part;
            do {
                ++fresh;
                id = "rIdQ" + std::to_string(fresh);
                part = ResolvePart(book_, "worksheets/sheetQ" + std::to_string(fresh) + ".xml");
            } while (relationIds.count(id) || reader_.package().Has(part));
            list_ += "<" + prefix_ + "sheet name=\"" + Escaped(place.name) + "\" sheetId=\"" + std::to_string(++maxId) +
                     "\" " + (declared ? idName : "xmlns:r=\"" + std::string(kRelationships) + "\" r:id") + "=\"" + id +
                     "\"/>";
            const std::string target = part.substr(book_.rfind('/') + 1);
            newRelations_ += "<Relationship Id=\"" + id + "\" Type=\"" + std::string(kRelationships) +
                             "/worksheet\" Target=\"" + target + "\"/>";
            newTypes_ += "<Override PartName=\"/" + part +
                         "\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
            added_.emplace_back(part, place.xml);
        }
        return {};
    }

    // The workbook part: the new list; names scoped to a sheet follow it;
    // the view opens the first sheet.
    std::vector<Edit> BookEdits() const {
        std::vector<Edit> edits;
        if (sheetsElement_->end == sheetsElement_->tagEnd) {  // <sheets/>
            edits.push_back({sheetsElement_->begin, sheetsElement_->end,
                             "<" + prefix_ + "sheets>" + list_ + "</" + prefix_ + "sheets>"});
        } else {
            const std::size_t close = bookXml_.rfind("</", sheetsElement_->end - 1);
            edits.push_back({sheetsElement_->tagEnd, close, list_});
        }
        for (const Element& e : elements_) {
            if (e.name == "definedName") {
                const std::string scope = RawAttribute(TagOf(e), "localSheetId");
                if (scope.empty()) continue;
                const long was = std::atol(scope.c_str());
                if (was < 0 || static_cast<std::size_t>(was) >= newIndexOf_.size() || newIndexOf_[was] < 0)
                    edits.push_back({e.begin, e.end, ""});
                else
                    edits.push_back(
                        {e.begin, e.tagEnd, WithAttribute(TagOf(e), "localSheetId", std::to_string(newIndexOf_[was]))});
            }
            if (e.name == "workbookView") {
                std::string tag(TagOf(e));
                if (!RawAttribute(tag, "activeTab").empty()) tag = WithAttribute(tag, "activeTab", "0");
                if (!RawAttribute(tag, "firstSheet").empty()) tag = WithAttribute(tag, "firstSheet", "0");
                edits.push_back({e.begin, e.tagEnd, tag});
            }
        }
        return edits;
    }

    // Sheets not placed go, with their relationships, parts and types; the
    // calculation chain names sheets by their places, which changed (Excel
    // builds it anew when it is missing). The new sheets' are added.
    std::set<std::string> Removed() {
        std::set<std::string> removed;
        std::string rels = relsXml_, types = typesXml_;
        for (std::size_t i = 0; i < sheetTags_.size(); ++i) {
            if (newIndexOf_[i] >= 0) continue;
            rels = WithoutElements(rels, "Relationship", "Id", RawAttribute(TagOf(*sheetTags_[i]), "id"));
            const std::string& part = reader_.sheets()[i].part;
            if (part.empty()) continue;
            removed.insert(part);
            removed.insert(RelationshipsOf(part));
            types = WithoutElements(types, "Override", "PartName", "/" + part);
        }
        const std::string chain = ResolvePart(book_, "calcChain.xml");
        if (reader_.package().Has(chain)) {
            removed.insert(chain);
            rels = WithoutElements(rels, "Relationship", "Type", std::string(kRelationships) + "/calcChain");
            types = WithoutElements(types, "Override", "PartName", "/" + chain);
        }
        replaced_[relsPart_] = BeforeLastClose(rels, newRelations_);
        replaced_["[Content_Types].xml"] = BeforeLastClose(types, newTypes_);
        return removed;
    }

    std::string_view package_;
    const std::vector<SheetPlace>& places_;
    WorkbookReader reader_;
    std::string book_, relsPart_, bookXml_, relsXml_, typesXml_;
    std::vector<Element> elements_, relations_;
    const Element* sheetsElement_ = nullptr;
    std::vector<const Element*> sheetTags_;
    std::string prefix_;  // of the workbook's elements as written
    std::string list_, newRelations_, newTypes_;
    std::vector<long> newIndexOf_;  // per sheet of the file: its place, -1 gone
    std::vector<std::pair<std::string, std::string>> added_;
    std::map<std::string, std::string> replaced_;
};

}  // namespace

std::optional<std::string> ArrangeSheets(std::string_view package, const std::vector<SheetPlace>& places,
                                         std::string& message) {
    return SheetArranger(package, places).Arrange(message);
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
