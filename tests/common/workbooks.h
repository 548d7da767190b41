// Workbooks for tests, in the form Excel writes them: the package's
// relationships and content types, a theme and styles, shared strings
// (rich runs, phonetic runs), x14ac attributes, mc:AlternateContent,
// and each sheet's XML as given (its sheetData and whatever surrounds it).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "package.h"

namespace quorvane::test {

struct SheetXml {
    std::string name;
    std::string xml;  // the whole worksheet part
};

inline std::string ExcelSheet(const std::string& data, const std::string& after = {}) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
           "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
           "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
           "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" mc:Ignorable=\"x14ac\" "
           "xmlns:x14ac=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac\">"
           "<dimension ref=\"A1:E3\"/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"
           "<sheetFormatPr defaultRowHeight=\"13.5\" x14ac:dyDescent=\"0.15\"/>"
           "<cols><col min=\"1\" max=\"1\" width=\"14.625\" customWidth=\"1\"/></cols>"
           "<sheetData>" +
           data + "</sheetData>" + after +
           "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
           "</worksheet>";
}

inline std::string ExcelWorkbook(const std::vector<SheetXml>& sheets, const std::string& sharedStrings,
                                 const std::vector<std::pair<std::string, std::string>>& extra = {}) {
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const std::string type = "application/vnd.openxmlformats-officedocument.spreadsheetml";
    std::string types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" + type + ".sheet.main+xml\"/>"
        "<Override PartName=\"/xl/styles.xml\" ContentType=\"" + type + ".styles+xml\"/>"
        "<Override PartName=\"/xl/theme/theme1.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.theme+xml\"/>"
        "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"" + type + ".sharedStrings+xml\"/>";
    std::string book =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"" + rel +
        "\" xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" mc:Ignorable=\"x15\">"
        "<fileVersion appName=\"xl\" lastEdited=\"7\"/><workbookPr defaultThemeVersion=\"166925\"/>"
        "<mc:AlternateContent xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\">"
        "<mc:Choice Requires=\"x15\"><x15ac:absPath xmlns:x15ac=\"http://schemas.microsoft.com/office/"
        "spreadsheetml/2010/11/ac\" url=\"D:\\梁表\\\"/></mc:Choice></mc:AlternateContent>"
        "<bookViews><workbookView xWindow=\"0\" yWindow=\"0\"/></bookViews><sheets>";
    std::string rels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    std::vector<std::pair<std::string, std::string>> parts;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        book += "<sheet name=\"" + sheets[i].name + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + rel + "/worksheet\" Target=\"worksheets/sheet" + n +
                ".xml\"/>";
        types += "<Override PartName=\"/xl/worksheets/sheet" + n + ".xml\" ContentType=\"" + type +
                 ".worksheet+xml\"/>";
        parts.emplace_back("xl/worksheets/sheet" + n + ".xml", sheets[i].xml);
    }
    book += "</sheets><calcPr calcId=\"191029\"/></workbook>";
    rels += "<Relationship Id=\"rIdH\" Type=\"" + rel + "/theme\" Target=\"theme/theme1.xml\"/>"
            "<Relationship Id=\"rIdS\" Type=\"" + rel + "/styles\" Target=\"styles.xml\"/>"
            "<Relationship Id=\"rIdT\" Type=\"" + rel + "/sharedStrings\" Target=\"sharedStrings.xml\"/>"
            "<Relationship Id=\"rIdC\" Type=\"" + rel + "/calcChain\" Target=\"calcChain.xml\"/></Relationships>";
    types += "<Override PartName=\"/xl/calcChain.xml\" ContentType=\"" + type + ".calcChain+xml\"/></Types>";
    parts.insert(parts.begin(), {{"[Content_Types].xml", types},
                                 {"_rels/.rels",
                                  "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                                  "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                                  "relationships\"><Relationship Id=\"rId1\" Type=\"" + rel +
                                      "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
                                 {"xl/workbook.xml", book},
                                 {"xl/_rels/workbook.xml.rels", rels}});
    parts.emplace_back("xl/styles.xml",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                       "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                       "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"等线\"/></font></fonts>"
                       "<fills count=\"3\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
                       "patternType=\"gray125\"/></fill><fill><patternFill patternType=\"solid\"><fgColor "
                       "rgb=\"FFFFFF00\"/></patternFill></fill></fills>"
                       "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\"/><xf numFmtId=\"2\" "
                       "fontId=\"0\" fillId=\"2\" applyFill=\"1\"/></cellXfs></styleSheet>");
    parts.emplace_back("xl/sharedStrings.xml",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                       "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + sharedStrings +
                           "</sst>");
    parts.emplace_back("xl/calcChain.xml",
                       "<calcChain xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                       "<c r=\"E2\" i=\"1\"/></calcChain>");
    parts.emplace_back("docProps/app.xml", "<Properties><Application>Microsoft Excel</Application></Properties>");
    parts.emplace_back("xl/theme/theme1.xml",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<a:theme "
                       "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" name=\"Office 主题\">"
                       "<a:themeElements><a:clrScheme name=\"Office\"><a:dk1><a:sysClr val=\"windowText\" "
                       "lastClr=\"000000\"/></a:dk1></a:clrScheme></a:themeElements></a:theme>");
    for (const auto& part : extra) parts.push_back(part);
    return workbook::NewPackage(parts);
}

// A building of two floors: 一层 with a formula beside the schedule (E2 =
// B2+C2) and a styled width, 二层 with a beam of its own.
inline std::string TwoFloors() {
    const std::string strings = "<si><t>梁号</t></si><si><r><t>梁宽度</t></r><r><rPr><b/></rPr><t>(mm)</t></r>"
                                "<rPh sb=\"0\" eb=\"1\"><t>リョウ</t></rPh></si><si><t>KL1</t></si><si><t>KL2</t></si>";
    const std::string header =
        "<row r=\"1\" spans=\"1:4\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
        "<c r=\"C1\" t=\"inlineStr\"><is><t>梁高度(mm)</t></is></c><c r=\"D1\" t=\"inlineStr\"><is><t>梁长度(mm)"
        "</t></is></c></row>";
    return ExcelWorkbook(
        {{"一层", ExcelSheet(header + "<row r=\"2\" spans=\"1:5\" x14ac:dyDescent=\"0.15\"><c r=\"A2\" t=\"s\"><v>2</v>"
                                      "</c><c r=\"B2\" s=\"1\"><v>200</v></c><c r=\"C2\"><v>500</v></c>"
                                      "<c r=\"D2\"><v>4500</v></c><c r=\"E2\"><f>B2+C2</f><v>700</v></c></row>")},
         {"二层", ExcelSheet(header + "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>3</v></c><c r=\"B2\"><v>250</v></c>"
                                      "<c r=\"C2\"><v>600</v></c><c r=\"D2\"><v>6000</v></c></row>",
                             "<mergeCells count=\"1\"><mergeCell ref=\"F1:G1\"/></mergeCells>")}},
        strings);
}

// Excel files that are no .xlsx: an OLE compound file, as an .xls is, and
// one holding the stream "EncryptedPackage", as a workbook with a password is.
inline std::string OldExcelFile() { return std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(300, 'x'); }
inline std::string EncryptedWorkbook() {
    std::string bytes = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(100, '\0');
    for (const char c : std::string("EncryptedPackage")) bytes += {c, '\0'};
    return bytes;
}

}  // namespace quorvane::test
