// The workbook package as hostile and ordinary files make it: parts that
// lie about their size or do not inflate are named, never read short; XML
// reads as Excel and other programs write it; cells land by their
// reference; a sheet written back keeps every byte it did not change.
#include <QtTest>

#include <minizip/unzip.h>
#include <zlib.h>

#include <cstring>

#include "package.h"
#include "patch.h"
#include "sheets.h"
#include "workbooks.h"
#include "xml.h"

using namespace quorvane;
using namespace quorvane::workbook;

namespace {

// The stored (compressed) bytes of a part, as minizip reads them raw.
std::string StoredBytes(const std::string& package, const std::string& name) {
    std::string copy = package;
    QTemporaryFile file;
    if (!file.open()) return "<no file>";
    file.write(copy.data(), static_cast<qint64>(copy.size()));
    file.close();
    unzFile zip = unzOpen64(file.fileName().toLocal8Bit().constData());
    if (!zip || unzLocateFile(zip, name.c_str(), 1) != UNZ_OK) return "<missing>";
    int method = 0, level = 0;
    unzOpenCurrentFile2(zip, &method, &level, 1);
    std::string bytes;
    char chunk[4096];
    for (int got; (got = unzReadCurrentFile(zip, chunk, sizeof chunk)) > 0;) bytes.append(chunk, std::size_t(got));
    unzCloseCurrentFile(zip);
    unzClose(zip);
    return bytes;
}

void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = char((value >> (8 * i)) & 0xFF);
}

// A package whose one part holds the first half of text but whose headers
// declare the whole of it (size and CRC): a deflate stream cut short.
std::string CutShort(const std::string& name, const std::string& text) {
    std::string bytes = NewPackage({{name, text.substr(0, text.size() / 2)}});
    const std::uint32_t crc = std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(text.data()), uInt(text.size())));
    Put32(bytes, 14, crc);  // the local header
    Put32(bytes, 22, std::uint32_t(text.size()));
    const std::size_t central = bytes.find("PK\x01\x02");
    Put32(bytes, central + 16, crc);
    Put32(bytes, central + 24, std::uint32_t(text.size()));
    return bytes;
}

std::string Rows(int count) {
    std::string rows;
    for (int r = 1; r <= count; ++r) rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>" + std::to_string(r) + "</v></c></row>";
    return rows;
}

struct Events {
    QStringList seen;
    XmlEvents Make() {
        return {[this](std::string_view name, const Attributes& a) {
                    seen << QString::fromUtf8(name.data(), int(name.size())) +
                                (a.Get("r").empty() ? QString() : "@" + QString::fromUtf8(a.Get("r").data(), int(a.Get("r").size())));
                },
                {},
                [this](std::string_view text) { seen << "'" + QString::fromUtf8(text.data(), int(text.size())) + "'"; }};
    }
};

// The rows of the first sheet, each as "row: col=text col=text".
QStringList SheetCells(const std::string& package, QString* message = nullptr) {
    WorkbookReader reader(package);
    QStringList rows;
    std::string why = reader.Open();
    if (why.empty())
        why = reader.ReadRows(0, [&rows](std::uint32_t row, const std::vector<Cell>& cells) {
            QString line = QString::number(row) + ":";
            for (const Cell& c : cells)
                line += " " + QString::fromStdString(ColumnLetters(c.column)) + "=" + QString::fromStdString(c.text) +
                        (c.state == CellState::MissingString ? "[missing]" : c.state == CellState::NoValue ? "[no value]" : "");
            rows << line;
            return true;
        });
    if (message) *message = QString::fromStdString(why);
    return rows;
}

}  // namespace

class TestWorkbook : public QObject {
    Q_OBJECT
private slots:
    void partsReadWholeOrAreNamed_data();
    void partsReadWholeOrAreNamed();
    void rewriteCopiesUntouchedPartsAsStored();
    void xmlReadsAsWritersWriteIt_data();
    void xmlReadsAsWritersWriteIt();
    void cellsLandByTheirReference();
    void nonPackagesAreNamed_data();
    void nonPackagesAreNamed();
    void sheetWriteKeepsWhatItDoesNotSet();
    void sheetWriteMovesAndRemovesRows();
};

void TestWorkbook::partsReadWholeOrAreNamed_data() {
    QTest::addColumn<QByteArray>("package");
    QTest::addColumn<int>("status");
    const std::string rows = Rows(2000);
    QTest::newRow("whole") << QByteArray::fromStdString(NewPackage({{"a.xml", rows}})) << int(PartStatus::Ok);
    QTest::newRow("missing") << QByteArray::fromStdString(NewPackage({{"b.xml", rows}})) << int(PartStatus::Missing);
    QTest::newRow("cut at half its declared size") << QByteArray::fromStdString(CutShort("a.xml", rows))
                                                   << int(PartStatus::Damaged);
    std::string flipped = NewPackage({{"a.xml", rows}});
    flipped[flipped.find("a.xml") + 5 + 40] ^= 0x55;  // inside the deflate stream
    QTest::newRow("a byte changed in the stream") << QByteArray::fromStdString(flipped) << int(PartStatus::Damaged);
    QTest::newRow("a zip bomb (40 MiB of blanks)")
        << QByteArray::fromStdString(NewPackage({{"a.xml", std::string(40u << 20, ' ')}})) << int(PartStatus::TooLarge);
}

void TestWorkbook::partsReadWholeOrAreNamed() {
    QFETCH(QByteArray, package);
    QFETCH(int, status);
    const std::string bytes = package.toStdString();
    Package p(bytes);
    QVERIFY(p.ok());
    std::uint64_t read = 0;
    const PartStatus got = p.Read("a.xml", [&read](std::string_view piece) {
        read += piece.size();
        return true;
    });
    QCOMPARE(int(got), status);
    if (got == PartStatus::TooLarge) QVERIFY(read <= kRatioFloor + (1u << 16));  // stopped early
    if (got != PartStatus::Ok) QVERIFY(!PartMessage("a.xml", got).empty());
}

void TestWorkbook::rewriteCopiesUntouchedPartsAsStored() {
    const std::string old = test::TwoFloors();
    const auto rewritten = RewritePackage(old, {{"xl/worksheets/sheet1.xml", "<worksheet/>"}}, {"xl/calcChain.xml"});
    QVERIFY(rewritten);
    Package p(*rewritten);
    QVERIFY(p.ok());
    QVERIFY(!p.Has("xl/calcChain.xml"));
    PartStatus status;
    QCOMPARE(p.ReadWhole("xl/worksheets/sheet1.xml", status).value_or("<none>"), std::string("<worksheet/>"));
    Package before(old);
    QCOMPARE(p.names().size() + 1, before.names().size());  // in their order, less the one removed
    for (const std::string& name : before.names()) {
        if (name == "xl/worksheets/sheet1.xml" || name == "xl/calcChain.xml") continue;
        QCOMPARE(StoredBytes(*rewritten, name), StoredBytes(old, name));  // not inflated and compressed again
        QCOMPARE(p.ReadWhole(name, status), before.ReadWhole(name, status));
    }
}

void TestWorkbook::xmlReadsAsWritersWriteIt_data() {
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QStringList>("events");  // empty: refused
    QTest::newRow("CDATA") << "<t><![CDATA[KL<1>]]></t>" << QStringList{"t", "'KL<1>'"};
    QTest::newRow("character references and entities") << "<t>&#x6881;&#26753;&amp;&lt;</t>"
                                                         << QStringList{"t", "'梁'", "'梁'", "'&'", "'<'"};
    QTest::newRow("x: prefix") << "<x:c xmlns:x=\"urn:main\" r=\"B2\"><x:v>1</x:v></x:c>"
                               << QStringList{"c@B2", "v", "'1'"};
    QTest::newRow("markup-compatibility choice read as its fallback")
        << "<r xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"><mc:AlternateContent>"
           "<mc:Choice Requires=\"x14\"><c r=\"A1\"/></mc:Choice><mc:Fallback><c r=\"B1\"/></mc:Fallback>"
           "</mc:AlternateContent></r>"
        << QStringList{"r", "c@B1"};
    QTest::newRow("a document type is refused") << "<!DOCTYPE t [<!ENTITY a \"x\">]><t>&a;</t>" << QStringList{};
    QTest::newRow("an unknown entity is refused") << "<t>&nbsp;</t>" << QStringList{};
}

void TestWorkbook::xmlReadsAsWritersWriteIt() {
    QFETCH(QString, xml);
    QFETCH(QStringList, events);
    Events seen;
    XmlReader reader(seen.Make());
    const bool ok = reader.Feed(xml.toStdString(), true);
    QCOMPARE(ok, !events.isEmpty());
    if (ok) QCOMPARE(seen.seen, events);
    else QVERIFY(!reader.error().empty());
}

void TestWorkbook::cellsLandByTheirReference() {
    const std::string strings = "<si><t>a</t></si><si><r><t>b</t></r><r><t>c</t></r><rPh><t>x</t></rPh></si>";
    const std::string sheet = test::ExcelSheet(
        "<row r=\"3\"><c r=\"C3\"><v>500</v></c><c r=\"A3\" t=\"s\"><v>1</v></c><c r=\"B3\"><v>2.50</v></c></row>"
        "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>K_x000D_L</t></is></c><c><v>1E3</v></c>"
        "<c r=\"E2\"><f>B2+C2</f></c><c r=\"F2\" t=\"s\"><v>9</v></c></row>"
        "<row r=\"4\"><c r=\"B4\" t=\"str\"><f>A1</f><v>x</v></c><c r=\"D4\" t=\"b\"><v>1</v></c></row>"
        "<row r=\"5\"><c r=\"A5\"><v>100000</v></c><c r=\"B5\"><v>1.0000000000000001E-4</v></c><c r=\"C5\"><v>"
        "0.30000000000000004</v></c><c r=\"D5\"><v>1E+300</v></c><c r=\"E5\"><v>-.5</v></c><c r=\"F5\"><v>0.450</v></c></row>");
    QString message;
    const QStringList rows = SheetCells(test::ExcelWorkbook({{"一层", sheet}}, strings), &message);
    QCOMPARE(message, QString());
    QCOMPARE(rows, (QStringList{"3: A=bc B=2.5 C=500", "2: A=K\rL B=1000 E==B2+C2[no value] F=[missing]",
                                "4: B=x D=TRUE", "5: A=100000 B=0.0001 C=0.30000000000000004 D=1e+300 E=-0.5 F=0.45"}));
    // A cell named twice in one row is a damaged file, named.
    SheetCells(test::ExcelWorkbook({{"一层", test::ExcelSheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"A1\"><v>2</v></c></row>")}}, ""), &message);
    QVERIFY2(message.contains("A1") && message.contains("两次"), qPrintable(message));
    // So is a row twice (either of which a save would write over the other), whatever lies between.
    SheetCells(test::ExcelWorkbook({{"一层", test::ExcelSheet("<row r=\"2\"><c r=\"E2\"><v>1</v></c></row><row r=\"3\"/>"
                                                             "<row r=\r\"2\"><c r=\"A2\"><v>2</v></c></row>")}},
                                   ""),
               &message);
    QVERIFY2(message.contains("第 2 行") && message.contains("两次"), qPrintable(message));
    // Shared strings declared and not in the file: an incomplete file, named (its text cells read as nothing).
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    SheetCells(NewPackage({{"xl/workbook.xml", "<workbook xmlns:r=\"" + rel +
                                                   "\"><sheets><sheet name=\"一层\" r:id=\"s1\"/></sheets></workbook>"},
                           {"xl/_rels/workbook.xml.rels",
                            "<Relationships><Relationship Id=\"s1\" Type=\"" + rel +
                                "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"s2\" Type=\"" + rel +
                                "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
                           {"xl/worksheets/sheet1.xml", test::ExcelSheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>")}}),
               &message);
    QVERIFY2(message.contains("sharedStrings.xml") && message.contains("不存在"), qPrintable(message));
}

void TestWorkbook::nonPackagesAreNamed_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("says");
    QTest::newRow("an encrypted workbook") << QByteArray::fromStdString(test::EncryptedWorkbook()) << "加密";
    QTest::newRow("an .xls") << QByteArray::fromStdString(test::OldExcelFile()) << ".xls";
    QTest::newRow("a plain text") << QByteArray("梁号,梁宽度\n") << "";
}

void TestWorkbook::nonPackagesAreNamed() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, says);
    const QString message = QString::fromStdString(RecogniseNonPackage(bytes.toStdString()));
    QVERIFY2(says.isEmpty() ? message.isEmpty() : message.contains(says), qPrintable(message));
    // An empty zip and a zip without a workbook say what they are.
    const std::string empty = NewPackage({});
    QVERIFY(LooksLikePackage(empty));
    WorkbookReader none(empty);
    const QString noneSays = QString::fromStdString(none.Open());
    QVERIFY2(noneSays.contains("空的 zip"), qPrintable(noneSays));
    const std::string other = NewPackage({{"readme.txt", "hello"}});
    WorkbookReader notBook(other);
    QVERIFY(QString::fromStdString(notBook.Open()).contains("不是 Excel 工作簿"));
}

namespace {

// (Styles by their text: the two scans may list them in another order.)
bool SameCells(const SheetScan& s, const std::vector<ScannedCell>& a, const SheetScan& t,
               const std::vector<ScannedCell>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](const ScannedCell& x, const ScannedCell& y) {
        return x.column == y.column && x.begin == y.begin && x.end == y.end && x.tagEnd == y.tagEnd &&
               s.StyleOf(x) == t.StyleOf(y) && x.formula == y.formula;
    });
}

bool SameScan(const SheetScan& a, const SheetScan& b) {
    const bool rows = std::equal(a.rows.begin(), a.rows.end(), b.rows.begin(), b.rows.end(),
                                 [&](const ScannedRow& x, const ScannedRow& y) {
                                     return x.number == y.number && x.begin == y.begin && x.end == y.end &&
                                            x.tagEnd == y.tagEnd && SameCells(a, x.cells(), b, y.cells());
                                 });
    return rows && a.xml == b.xml && a.dataBegin == b.dataBegin && a.dataEnd == b.dataEnd &&
           a.emptyData == b.emptyData && a.prefix == b.prefix && a.dimensionBegin == b.dimensionBegin &&
           a.dimensionEnd == b.dimensionEnd && a.formulas == b.formulas && a.referencing == b.referencing &&
           a.protectedSheet == b.protectedSheet;
}

// The sheet written; and the scan the writer hands the next save is the
// one reading its XML afresh makes.
std::optional<std::string> Written(const SheetScan& scan, const SheetEdit& edit, bool& formulas, std::string& why) {
    std::optional<SheetScan> after = RewriteSheet(scan, edit, formulas, why);
    if (!after) return std::nullopt;
    SheetScan fresh;
    const bool reads = ScanSheet(after->xml, fresh).empty();
    QTest::qVerify(reads && SameScan(*after, fresh), "the written sheet's scan", "", __FILE__, __LINE__);
    return std::move(after->xml);
}

}  // namespace

void TestWorkbook::sheetWriteKeepsWhatItDoesNotSet() {
    const std::string row2 = "<row r=\"2\" spans=\"1:5\" x14ac:dyDescent=\"0.15\"><c r=\"A2\" t=\"s\"><v>2</v></c>"
                             "<c r=\"B2\" s=\"1\"><v>200</v></c><c r=\"E2\"><f>B2+C2</f><v>700</v></c></row>";
    const std::string row3 = "<row r=\"3\"><c r=\"A3\" s=\"1\" t=\"inlineStr\"><is><t>KL2</t></is></c></row>";
    SheetScan scan;
    QCOMPARE(ScanSheet(test::ExcelSheet(row2 + row3, "<mergeCells count=\"1\"><mergeCell ref=\"E2:F2\"/></mergeCells>"), scan), std::string());
    QVERIFY(scan.formulas);
    QVERIFY(scan.referencing.count("mergeCells"));
    SheetEdit edit;
    edit.rows.push_back({2, 2, {{1, "4500", true, ""}, {2, "KL<&>\r", false, ""}}});  // B2 changes, C2 is new
    edit.rows.push_back({0, 4, {{0, "KL3", false, "1"}, {1, "300", true, "1"}}});
    bool formulas = true;
    std::string why;
    const auto xml = Written(scan, edit, formulas, why);
    QVERIFY2(xml, why.c_str());
    QVERIFY(!formulas);  // E2 kept as it was
    QVERIFY(xml->find(row3) != std::string::npos);                                         // an untouched row: its bytes
    QVERIFY(xml->find("<c r=\"E2\"><f>B2+C2</f><v>700</v></c>") != std::string::npos);      // the formula beside
    QVERIFY(xml->find("<c r=\"B2\" s=\"1\"><v>4500</v></c>") != std::string::npos);          // its style kept
    QVERIFY(xml->find("x14ac:dyDescent=\"0.15\"") != std::string::npos);                    // the row's own attributes
    QVERIFY(xml->find("spans") == std::string::npos);
    QVERIFY(xml->find("<mergeCell ref=\"E2:F2\"/>") != std::string::npos);
    QVERIFY(xml->find("<dimension ref=\"A1:E4\"/>") != std::string::npos);
    // Read back: every cell where it was put, text as it was written.
    const std::string book = test::ExcelWorkbook({{"一层", *xml}}, "<si><t>a</t></si><si><t>b</t></si><si><t>KL1</t></si>");
    QCOMPARE(SheetCells(book), (QStringList{"2: A=KL1 B=4500 C=KL<&>\r E=700", "3: A=KL2", "4: A=KL3 B=300"}));
    // An empty sheet gets rows, in the writer's prefix.
    QCOMPARE(ScanSheet("<x:worksheet xmlns:x=\"urn:m\"><x:sheetData/></x:worksheet>", scan), std::string());
    const auto filled = Written(scan, {{{0, 1, {{0, "梁号", false, ""}}}}, {}}, formulas, why);
    QVERIFY(filled);
    QCOMPARE(*filled, std::string("<x:worksheet xmlns:x=\"urn:m\"><x:sheetData><x:row r=\"1\"><x:c r=\"A1\" "
                                  "t=\"inlineStr\"><x:is><x:t xml:space=\"preserve\">梁号</x:t></x:is></x:c></x:row>"
                                  "</x:sheetData></x:worksheet>"));
}

void TestWorkbook::sheetWriteMovesAndRemovesRows() {
    SheetScan scan;
    QCOMPARE(ScanSheet(test::ExcelSheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"2\"><c r=\"A2\"><v>2</v>"
                                        "</c><c r=\"E2\"><f>A2*2</f><v>4</v></c></row><row r=\"3\"><c r=\"A3\"><v>3</v></c>"
                                        "<c r=\"B3\" s=\"1\"><v>9</v></c><c r=\"C3\" s=\"1\"/></row>"),
                       scan),
             std::string());
    SheetEdit edit;
    edit.removed = {2};
    edit.rows.push_back({3, 2, {}});  // row 3 moves up with its cells
    bool formulas = false;
    std::string why;
    const auto xml = Written(scan, edit, formulas, why);
    QVERIFY(xml);
    QVERIFY(formulas);  // a formula went with the removed row
    QCOMPARE(SheetCells(test::ExcelWorkbook({{"一层", *xml}}, "")), (QStringList{"1: A=1", "2: A=3 B=9"}));
    QVERIFY(xml->find("<c r=\"B2\" s=\"1\"><v>9</v></c>") != std::string::npos);
    // Two rows on one number is refused, not written.
    edit.rows.push_back({0, 2, {{0, "x", false, ""}}});
    QVERIFY(!Written(scan, edit, formulas, why));
    QVERIFY(!why.empty());
}

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
